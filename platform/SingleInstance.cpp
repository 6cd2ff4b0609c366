#include "platform/SingleInstance.h"

#include "platform/InstanceChannel.h"
#include "platform/Logging.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>

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

QString SingleInstance::socketPath(const QString &dataFolder)
{
    // Where earlier versions listened too, so that an update started while
    // an older calendar runs still brings that one forward.
    const QByteArray hash = QCryptographicHash::hash(
        QDir(dataFolder).absolutePath().toUtf8(), QCryptographicHash::Sha1);
    return QDir::tempPath() + QStringLiteral("/quillory-")
        + QString::fromLatin1(hash.toHex().left(16));
}

namespace {

// The lock's failure in words, with what the folder shows of the cause.
QString lockProblem(const QString &dataFolder, QLockFile::LockError error)
{
    const QFileInfo folder(dataFolder);
    if (!folder.exists())
        return QStringLiteral("the data folder %1 does not exist and cannot be made")
            .arg(dataFolder);
    if (!folder.isDir())
        return QStringLiteral("%1 is not a folder").arg(dataFolder);
    if (error == QLockFile::PermissionError)
        return QStringLiteral("the data folder %1 cannot be written to (no permission, or a "
                              "read-only disk)")
            .arg(dataFolder);
    return QStringLiteral("the lock file %1 cannot be written (is the disk full?)")
        .arg(SingleInstance::lockPath(dataFolder));
}

} // namespace

QString SingleInstance::cannotRunText(const QString &why)
{
    return QStringLiteral("Quillory cannot run: %1. Please make room or mend the folder, then "
                          "start Quillory again.")
        .arg(why);
}

SingleInstance::LockState SingleInstance::lockState(const QString &dataFolder, QString *error)
{
    // No folder yet: no calendar has run there, and the calendar makes it.
    if (!QFileInfo::exists(dataFolder))
        return LockState::Free;
    QLockFile probe(lockPath(dataFolder));
    probe.setStaleLockTime(0); // only a lock of a dead process is stale
    if (probe.tryLock(0)) {
        probe.unlock();
        return LockState::Free;
    }
    if (probe.error() == QLockFile::LockFailedError)
        return LockState::Held;
    if (error)
        *error = lockProblem(QDir(dataFolder).absolutePath(), probe.error());
    return LockState::Broken;
}

SingleInstance::Claim SingleInstance::acquire()
{
    QDir().mkpath(m_dataFolder);
    m_lock = std::make_unique<QLockFile>(lockPath(m_dataFolder));
    m_lock->setStaleLockTime(0);
    if (!m_lock->tryLock(0)) {
        const QLockFile::LockError error = m_lock->error();
        m_lock.reset();
        if (error != QLockFile::LockFailedError) {
            m_error = lockProblem(m_dataFolder, error);
            qCCritical(lcPlatform).noquote() << "cannot take the single-instance lock:" << m_error;
            return Claim::Failed;
        }
        qCInfo(lcPlatform) << "a calendar is already running on" << m_dataFolder
                           << "; asking it to come forward";
        if (!sendToInstance(socketPath(m_dataFolder), "raise", 1000))
            qCInfo(lcPlatform) << "the running calendar did not take the call to come forward";
        return Claim::AlreadyRunning;
    }
    m_listener = std::make_unique<InstanceListener>();
    if (!m_listener->listen(socketPath(m_dataFolder)))
        qCWarning(lcPlatform).noquote()
            << "cannot listen for other instances:" << m_listener->error();
    connect(m_listener.get(), &InstanceListener::received, this, [this](const QByteArray &line) {
        if (line.startsWith("raise"))
            emit raiseRequested();
    });
    return Claim::Acquired;
}

void SingleInstance::release()
{
    m_listener.reset();
    if (m_lock) {
        m_lock->unlock();
        m_lock.reset();
    }
}
