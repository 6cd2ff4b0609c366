#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>

#include <memory>

class QLocalServer;

// One calendar per data folder: the first instance holds a lock file in the
// data folder and listens for later ones, which ask it to come forward and
// exit. The restart program waits for the lock to be released.
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    explicit SingleInstance(const QString &dataFolder, QObject *parent = nullptr);
    ~SingleInstance() override;

    // True when this process now holds the lock. Otherwise the running
    // instance has been asked to come forward.
    bool acquire();
    void release();

    static QString lockPath(const QString &dataFolder);
    static QString serverName(const QString &dataFolder);
    // Whether some process holds the lock (the restart program waits on it).
    static bool isHeld(const QString &dataFolder);

signals:
    void raiseRequested();

private:
    QString m_dataFolder;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer *m_server = nullptr;
};
