#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>

#include <memory>

class InstanceListener;

// One calendar per data folder: the first instance holds a lock file in the
// data folder and listens for later ones, which ask it to come forward and
// exit. The restart program waits for the lock to be released.
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    explicit SingleInstance(const QString &dataFolder, QObject *parent = nullptr);
    ~SingleInstance() override;

    enum class Claim {
        Acquired, // this process now holds the lock
        AlreadyRunning, // a live calendar holds it and has been asked to come forward
        Failed, // the lock cannot be taken at all (see error())
    };
    // A full, read-only or missing data folder is not a running calendar:
    // it is told apart through the lock's own error.
    Claim acquire();
    void release();
    // Why the lock could not be taken, in words a user can read.
    QString error() const { return m_error; }

    enum class LockState { Free, Held, Broken };
    // Whether some process holds the lock (the restart program waits on
    // it), or whether it cannot be examined at all, with the reason.
    static LockState lockState(const QString &dataFolder, QString *error = nullptr);

    static QString lockPath(const QString &dataFolder);
    // Where the running calendar listens for later starts.
    static QString socketPath(const QString &dataFolder);
    // What the user is told when the calendar cannot run for `why`.
    static QString cannotRunText(const QString &why);

signals:
    void raiseRequested();

private:
    QString m_dataFolder;
    QString m_error;
    std::unique_ptr<QLockFile> m_lock;
    std::unique_ptr<InstanceListener> m_listener;
};
