#pragma once

#include <QDBusConnection>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A bus of the test's own, standing in for the system or the session bus: a real
// dbus-daemon, stopped by the test.
class PrivateBus
{
public:
    enum class Services {
        OnDemand, // as a session bus: installed services start when called
        None, // nothing starts on demand: an installed server never answers for a fake
    };

    explicit PrivateBus(Services services = Services::OnDemand)
    {
        QString config = QStringLiteral("--session");
        if (services == Services::None) {
            const QString file = m_dir.filePath(QStringLiteral("bus.conf"));
            QFile out(file);
            if (!out.open(QIODevice::WriteOnly))
                return;
            out.write("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration "
                      "1.0//EN\" \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                      "<busconfig><type>session</type><listen>unix:tmpdir=/tmp</listen>"
                      "<policy context=\"default\"><allow send_destination=\"*\" "
                      "eavesdrop=\"true\"/><allow eavesdrop=\"true\"/><allow own=\"*\"/>"
                      "</policy></busconfig>\n");
            out.close();
            config = QStringLiteral("--config-file=") + file;
        }
        m_daemon.start(QStringLiteral("dbus-daemon"),
            { config, QStringLiteral("--nofork"), QStringLiteral("--print-address=1") });
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
    QTemporaryDir m_dir;
    QProcess m_daemon;
    QStringList m_names;
};
