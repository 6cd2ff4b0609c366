#include "platform/InstanceChannel.h"

#include "platform/Logging.h"

#include <QFile>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <cstring>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// The socket address of `path`; false when the path does not fit in one.
bool toAddress(const QString &path, sockaddr_un &address)
{
    const QByteArray encoded = QFile::encodeName(path);
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (encoded.isEmpty() || std::size_t(encoded.size()) >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, encoded.constData(), std::size_t(encoded.size()));
    return true;
}

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

// One connected start: read until its newline, then let go of it. A peer
// that sends too much or too little is let go without a word.
class InstanceListener::Peer : public QObject
{
public:
    Peer(int fd, InstanceListener *listener)
        : QObject(listener)
        , m_fd(fd)
        , m_notifier(fd, QSocketNotifier::Read)
    {
        connect(
            &m_notifier, &QSocketNotifier::activated, this, [this, listener] { read(listener); });
        QTimer::singleShot(kPeerTimeoutMs, this, [this] { deleteLater(); });
    }
    ~Peer() override
    {
        m_notifier.setEnabled(false);
        ::close(m_fd);
    }

private:
    void read(InstanceListener *listener)
    {
        char chunk[kMaxLineBytes];
        const ssize_t got = ::recv(m_fd, chunk, sizeof chunk, 0);
        if (got < 0 && (errno == EAGAIN || errno == EINTR))
            return;
        if (got > 0)
            m_line.append(chunk, got);
        const qsizetype end = m_line.indexOf('\n');
        if (got <= 0 || end >= 0 || m_line.size() > kMaxLineBytes) {
            m_notifier.setEnabled(false);
            deleteLater();
        }
        // Last: what the line sets off may end the listener, and this with it.
        if (end >= 0)
            emit listener->received(m_line.left(end));
    }

    int m_fd;
    QSocketNotifier m_notifier;
    QByteArray m_line;
};

InstanceListener::InstanceListener(QObject *parent)
    : QObject(parent)
{ }

InstanceListener::~InstanceListener()
{
    close();
}

bool InstanceListener::listen(const QString &path)
{
    close();
    sockaddr_un address {};
    if (!toAddress(path, address)) {
        m_error = QStringLiteral("the socket path %1 is too long").arg(path);
        return false;
    }
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        m_error = systemError();
        return false;
    }
    ::unlink(address.sun_path); // left by a calendar that crashed
    if (::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0
        || ::chmod(address.sun_path, S_IRUSR | S_IWUSR) != 0 || ::listen(fd, 8) != 0) {
        m_error = systemError();
        ::close(fd);
        return false;
    }
    m_fd = fd;
    m_path = path;
    m_notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &InstanceListener::acceptPeers);
    return true;
}

void InstanceListener::close()
{
    if (m_fd < 0)
        return;
    m_notifier.reset();
    ::close(m_fd);
    m_fd = -1;
    ::unlink(QFile::encodeName(m_path).constData());
    m_path.clear();
}

void InstanceListener::acceptPeers()
{
    for (;;) {
        const int peer = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (peer < 0) {
            if (errno != EAGAIN && errno != EINTR && errno != ECONNABORTED)
                qCWarning(lcPlatform).noquote()
                    << "cannot take a later start's call:" << systemError();
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            return;
        }
        new Peer(peer, this);
    }
}

bool sendToInstance(const QString &path, const QByteArray &line, int timeoutMs)
{
    sockaddr_un address {};
    if (!toAddress(path, address))
        return false;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    // On a local socket this bounds the connection as well as the sending:
    // a calendar too busy to take calls makes the caller wait no longer.
    const timeval limit { timeoutMs / 1000, (timeoutMs % 1000) * 1000 };
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    const QByteArray message = line + '\n';
    const bool sent
        = ::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0
        && ::send(fd, message.constData(), std::size_t(message.size()), MSG_NOSIGNAL)
            == ssize_t(message.size());
    ::close(fd);
    return sent;
}
