#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>

// How a later start of the calendar reaches the one already running: a
// local socket only this user can connect to. A start sends one line and
// goes; the running calendar reads that line and lets the peer go.
class InstanceListener : public QObject
{
    Q_OBJECT
public:
    explicit InstanceListener(QObject *parent = nullptr);
    ~InstanceListener() override;

    // Listens at `path`, taking the place of a socket a crashed calendar
    // left there (the caller holds the lock that says none runs). False,
    // with error(), when it cannot.
    bool listen(const QString &path);
    void close();
    QString error() const { return m_error; }

    // What a peer may send before it is let go, and how long it may take.
    static constexpr int kMaxLineBytes = 256;
    static constexpr int kPeerTimeoutMs = 5000;

signals:
    // A peer's line, without its newline.
    void received(const QByteArray &line);

private:
    class Peer;
    void acceptPeers();

    int m_fd = -1;
    QString m_path;
    QString m_error;
    std::unique_ptr<class QSocketNotifier> m_notifier;
};

// Sends `line` to whoever listens at `path`; false when nobody takes it
// within `timeoutMs`.
bool sendToInstance(const QString &path, const QByteArray &line, int timeoutMs);
