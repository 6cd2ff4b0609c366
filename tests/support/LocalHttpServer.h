#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QPair>
#include <QStringList>
#include <QTcpServer>
#include <QUrl>

class QTcpSocket;

// An HTTP server inside the test process, for fetches that must meet a
// real socket: each path answers as told, and every request is recorded.
class LocalHttpServer : public QTcpServer
{
    Q_OBJECT
public:
    static constexpr qint64 kUnannounced = -2;
    struct Response
    {
        int status = 200;
        QByteArray body;
        QList<QPair<QByteArray, QByteArray>> headers;
        // The body is `body` repeated up to this many bytes (large bodies
        // without holding them); 0 sends `body` once.
        qint64 repeatTo = 0;
        // Content-Length sent; -1 gives the body's true length, kUnannounced
        // none (the body ends when the connection closes).
        qint64 announcedLength = -1;
        // Nothing at all is sent: the server never answers.
        bool stall = false;
        // After this many body bytes the server stops sending but keeps the
        // connection (-1: never).
        qint64 stallAfter = -1;
        // After this many body bytes the connection is closed (-1: never).
        qint64 closeAfter = -1;
    };

    // Listens on 127.0.0.1, or on every local address when `anyAddress`.
    explicit LocalHttpServer(bool anyAddress = false);
    ~LocalHttpServer() override;

    void route(const QString &path, const Response &response) { m_routes.insert(path, response); }
    void route(const QString &path, const QByteArray &body, int status = 200)
    {
        Response r;
        r.status = status;
        r.body = body;
        route(path, r);
    }
    // Serves TLS with this certificate and key (PEM) from now on.
    void useTls(const QByteArray &certificatePem, const QByteArray &keyPem);

    QUrl url(const QString &path = {}, const QString &host = QStringLiteral("127.0.0.1")) const;
    // Paths requested, in order.
    QStringList requests;
    int count(const QString &path) const { return int(requests.count(path)); }

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    struct Connection
    {
        QByteArray request;
        bool answered = false;
        Response response;
        qint64 total = 0;
        qint64 sent = 0;
    };
    void onReadyRead(QTcpSocket *socket);
    void answer(QTcpSocket *socket, Connection &c);
    void pump(QTcpSocket *socket);

    QHash<QString, Response> m_routes;
    QHash<QTcpSocket *, Connection> m_connections;
    QByteArray m_certificate;
    QByteArray m_key;
};
