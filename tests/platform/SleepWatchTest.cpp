#include "platform/linux/LogindSleepWatch.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// A bus of the test's own, standing in for the system bus: a real
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

TEST(SleepWatch, AWakeFromLogindIsToldAndItsAbsenceIsKnown)
{
    PrivateBus bus;
    if (bus.address.isEmpty())
        GTEST_SKIP() << "dbus-daemon could not be started";

    // No logind on this bus: sleep is left to the clocks.
    {
        const LogindSleepWatch without(bus.connect(QStringLiteral("watch-without")));
        EXPECT_FALSE(without.available());
    }

    QDBusConnection logind = bus.connect(QStringLiteral("logind"));
    ASSERT_TRUE(logind.registerService(QStringLiteral("org.freedesktop.login1")));
    LogindSleepWatch watch(bus.connect(QStringLiteral("watch")));
    EXPECT_TRUE(watch.available());
    int wakes = 0;
    watch.setOnResume([&wakes] { ++wakes; });

    auto emitSleep = [&](bool sleeping) {
        QDBusMessage signal = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/login1"),
            QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"));
        signal << sleeping;
        ASSERT_TRUE(logind.send(signal));
    };
    emitSleep(true);
    emitSleep(false);
    EXPECT_TRUE(QTest::qWaitFor([&wakes] { return wakes == 1; }, 5000));
    QTest::qWait(50);
    EXPECT_EQ(wakes, 1); // going to sleep is not a wake
}

} // namespace
