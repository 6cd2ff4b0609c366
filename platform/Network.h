#pragma once

#include <QByteArray>
#include <QUrl>

#include <optional>

class Network
{
public:
    virtual ~Network() = default;
    // Whether the machine has a connection; a failed test counts as offline.
    virtual bool isOnline() = 0;
    // The body of a URL, or nothing on any failure or after the timeout.
    virtual std::optional<QByteArray> fetch(const QUrl &url, int timeoutMs) = 0;
};
