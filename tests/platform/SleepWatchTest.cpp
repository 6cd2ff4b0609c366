#include "platform/linux/LogindSleepWatch.h"
#include "tests/support/PrivateBus.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

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
