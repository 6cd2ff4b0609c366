#include "tests/support/LocalHttpServer.h"

#include <QSslCertificate>
#include <QSslKey>
#include <QSslSocket>

namespace {

QByteArray reason(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 404:
        return "Not Found";
    case 500:
        return "Internal Server Error";
    default:
        return "Status";
    }
}

constexpr qint64 kChunk = 64 * 1024;

} // namespace

LocalHttpServer::LocalHttpServer(bool anyAddress)
{
    listen(anyAddress ? QHostAddress::Any : QHostAddress::LocalHost);
}

LocalHttpServer::~LocalHttpServer()
{
    for (QTcpSocket *socket : m_connections.keys()) {
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
    }
}

void LocalHttpServer::useTls(const QByteArray &certificatePem, const QByteArray &keyPem)
{
    m_certificate = certificatePem;
    m_key = keyPem;
}

QUrl LocalHttpServer::url(const QString &path, const QString &host) const
{
    QUrl u;
    u.setScheme(m_certificate.isEmpty() ? QStringLiteral("http") : QStringLiteral("https"));
    u.setHost(host);
    u.setPort(serverPort());
    u.setPath(path);
    return u;
}

void LocalHttpServer::incomingConnection(qintptr descriptor)
{
    QTcpSocket *socket = nullptr;
    if (m_certificate.isEmpty()) {
        socket = new QTcpSocket(this);
        socket->setSocketDescriptor(descriptor);
    } else {
        auto *tls = new QSslSocket(this);
        tls->setSocketDescriptor(descriptor);
        tls->setLocalCertificate(QSslCertificate(m_certificate));
        tls->setPrivateKey(QSslKey(m_key, QSsl::Rsa));
        // A client that refuses the certificate just goes away.
        connect(tls, &QSslSocket::sslErrors, tls, [tls] { tls->abort(); });
        tls->startServerEncryption();
        socket = tls;
    }
    m_connections.insert(socket, Connection {});
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
    connect(socket, &QTcpSocket::bytesWritten, this, [this, socket] { pump(socket); });
    connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
        m_connections.remove(socket);
        socket->deleteLater();
    });
}

void LocalHttpServer::onReadyRead(QTcpSocket *socket)
{
    auto it = m_connections.find(socket);
    if (it == m_connections.end())
        return;
    Connection &c = *it;
    c.request += socket->readAll();
    if (c.answered || !c.request.contains("\r\n\r\n"))
        return;
    c.answered = true;
    const QList<QByteArray> first = c.request.left(c.request.indexOf("\r\n")).split(' ');
    const QString path = first.size() >= 2 ? QString::fromLatin1(first[1]) : QString();
    requests << path;
    if (!m_routes.contains(path)) {
        Response missing;
        missing.status = 404;
        missing.body = "not here";
        c.response = missing;
    } else {
        c.response = m_routes.value(path);
    }
    answer(socket, c);
}

void LocalHttpServer::answer(QTcpSocket *socket, Connection &c)
{
    const Response &r = c.response;
    if (r.stall)
        return;
    c.total = r.repeatTo > 0 ? r.repeatTo : r.body.size();
    const qint64 announced = r.announcedLength >= 0 ? r.announcedLength : c.total;
    QByteArray head = "HTTP/1.1 " + QByteArray::number(r.status) + ' ' + reason(r.status) + "\r\n";
    if (r.announcedLength != kUnannounced)
        head += "Content-Length: " + QByteArray::number(announced) + "\r\n";
    head += "Connection: close\r\n";
    for (const auto &h : r.headers)
        head += h.first + ": " + h.second + "\r\n";
    head += "\r\n";
    socket->write(head);
    pump(socket);
}

void LocalHttpServer::pump(QTcpSocket *socket)
{
    auto it = m_connections.find(socket);
    if (it == m_connections.end() || !it->answered || it->response.stall)
        return;
    Connection &c = *it;
    const Response &r = c.response;
    while (c.sent < c.total && socket->bytesToWrite() < 4 * kChunk) {
        qint64 limit = c.total;
        if (r.stallAfter >= 0)
            limit = qMin(limit, r.stallAfter);
        if (r.closeAfter >= 0)
            limit = qMin(limit, r.closeAfter);
        if (c.sent >= limit)
            break;
        const qint64 n = qMin(kChunk, limit - c.sent);
        QByteArray chunk;
        if (r.repeatTo > 0) {
            chunk.reserve(n);
            while (chunk.size() < n)
                chunk += r.body.isEmpty() ? QByteArray(n, 'x') : r.body;
            chunk.truncate(n);
        } else {
            chunk = r.body.mid(c.sent, n);
        }
        socket->write(chunk);
        c.sent += n;
    }
    const bool closeNow = r.closeAfter >= 0 && c.sent >= r.closeAfter;
    const bool done = c.sent >= c.total && (r.stallAfter < 0 || r.stallAfter >= c.total);
    // What was written still goes out before the close.
    if (closeNow || done)
        socket->disconnectFromHost();
}
