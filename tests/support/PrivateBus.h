#pragma once

#include <QDBusConnection>
#include <QProcess>
#include <QString>
#include <QStringList>

// A bus of the test's own, standing in for the system or the session bus: a real
// dbus-daemon, stopped by the test.
class PrivateBus
{
public:
    PrivateBus()
    {
        m_daemon.start(QStringLiteral("dbus-daemon"),
            { QStringLiteral("--session"), QStringLiteral("--nofork"),
                QStringLiteral("--print-address=1") });
        if (!m_daemon.waitForStarted(5000) || !m_daemon.waitForReadyRead(5000))
            return;
        address = QString::fromLatin1(m_daemon.readLine()).trimmed();
    }
    ~PrivateBus()
    {
        for (const QString &name : m_names)
            QDBusConnection::disconnectFromBus(name);
        m_daemon.kill();
        m_daemon.waitForFinished(5000);
    }
    QDBusConnection connect(const QString &name)
    {
        m_names.append(name);
        return QDBusConnection::connectToBus(address, name);
    }
    QString address;

private:
    QProcess m_daemon;
    QStringList m_names;
};
