#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

class Network
{
public:
    // How a fetch ended. Anything but Ok is a failure; the kinds differ only
    // in what the log says.
    enum class Outcome { Ok, Failed, TimedOut, TooLarge, Refused };

    struct FetchOptions
    {
        // The whole transfer, not just a silence, is bounded by this.
        int timeoutMs = 30000;
        // A body announced or received beyond this ends the transfer.
        qint64 maxBytes = 1024 * 1024;
        // When set, the body goes here as it arrives instead of being kept;
        // false from it (a full disk, say) ends the transfer as failed.
        std::function<bool(QByteArrayView chunk)> onData;
        // Bytes received so far and the announced total (-1 when unknown).
        std::function<void(qint64 received, qint64 total)> onProgress;
    };

    struct FetchResult
    {
        Outcome outcome = Outcome::Failed;
        QByteArray body; // empty when the body went to onData
        qint64 received = 0;
        int httpStatus = 0;
        QString error; // why it failed, for the log
        bool ok() const { return outcome == Outcome::Ok; }
    };

    // A fetch under way. Deleting it cancels the transfer without a call of
    // its handler; it may be deleted from inside its own handlers.
    class Transfer
    {
    public:
        virtual ~Transfer() = default;
    };

    virtual ~Network() = default;
    // Whether the machine has a connection; a failed test counts as offline.
    virtual bool isOnline() = 0;
    // The body of a URL, or nothing on any failure or after the timeout.
    // Waits with the event loop running.
    virtual std::optional<QByteArray> fetch(const QUrl &url, int timeoutMs) = 0;
    // Starts fetching `url` and returns at once; `finished` is called once,
    // from the event loop, never from inside this call. Only http and https
    // are fetched, a redirect must stay on the same scheme, host and port,
    // and a TLS error fails the fetch.
    virtual std::unique_ptr<Transfer> fetchAsync(const QUrl &url, FetchOptions options,
        std::function<void(const FetchResult &result)> finished)
        = 0;
};
