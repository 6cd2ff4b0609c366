#include "platform/SingleInstance.h"

#include "platform/Logging.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>

SingleInstance::SingleInstance(const QString &dataFolder, QObject *parent)
    : QObject(parent)
    , m_dataFolder(QDir(dataFolder).absolutePath())
{ }

SingleInstance::~SingleInstance()
{
    release();
}

QString SingleInstance::lockPath(const QString &dataFolder)
{
    return QDir(dataFolder).absolutePath() + QStringLiteral("/quillory.lock");
}

QString SingleInstance::serverName(const QString &dataFolder)
{
    const QByteArray hash = QCryptographicHash::hash(
        QDir(dataFolder).absolutePath().toUtf8(), QCryptographicHash::Sha1);
    return QStringLiteral("quillory-") + QString::fromLatin1(hash.toHex().left(16));
}

bool SingleInstance::isHeld(const QString &dataFolder)
{
    QLockFile probe(lockPath(dataFolder));
    probe.setStaleLockTime(0); // only a lock of a dead process is stale
    if (!probe.tryLock(0))
        return true;
    probe.unlock();
    return false;
}

bool SingleInstance::acquire()
{
    QDir().mkpath(m_dataFolder);
    m_lock = std::make_unique<QLockFile>(lockPath(m_dataFolder));
    m_lock->setStaleLockTime(0);
    if (!m_lock->tryLock(0)) {
        qCInfo(lcPlatform) << "a calendar is already running on" << m_dataFolder
                           << "; asking it to come forward";
        QLocalSocket socket;
        socket.connectToServer(serverName(m_dataFolder));
        if (socket.waitForConnected(1000)) {
            socket.write("raise\n");
            socket.waitForBytesWritten(1000);
            socket.disconnectFromServer();
        }
        m_lock.reset();
        return false;
    }
    m_server = new QLocalServer(this);
    QLocalServer::removeServer(serverName(m_dataFolder)); // left by a crashed instance
    if (!m_server->listen(serverName(m_dataFolder)))
        qCWarning(lcPlatform) << "cannot listen for other instances:" << m_server->errorString();
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *peer = m_server->nextPendingConnection()) {
            connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
            connect(peer, &QLocalSocket::readyRead, this, [this, peer] {
                if (peer->readAll().startsWith("raise"))
                    emit raiseRequested();
            });
        }
    });
    return true;
}

void SingleInstance::release()
{
    if (m_server) {
        m_server->close();
        delete m_server;
        m_server = nullptr;
    }
    if (m_lock) {
        m_lock->unlock();
        m_lock.reset();
    }
}
