#include "cli/CommandLine.h"
#include "platform/SingleInstance.h"
#include "platform/linux/DBusCalendar.h"
#include "tests/support/PrivateBus.h"
#include "tests/support/TestHome.h"

#include <QDBusMessage>
#include <QLockFile>
#include <QMessageBox>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

namespace {

const QDateTime kNow(QDate(2026, 12, 9), QTime(14, 7, 30));

// The command line blocks on its calls while the calendar's side answers
// from this thread's event loop, as two processes would.
template<typename Work> void offThread(Work work)
{
    std::unique_ptr<QThread> thread(QThread::create(work));
    thread->start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return thread->isFinished(); }, 20000));
}

remote::AddRequest parcel()
{
    return { QDate(2026, 12, 10), QTime(9, 0), "daily", false, false, "Pick up the parcel" };
}

class CalendarBus : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (bus.address.isEmpty())
            GTEST_SKIP() << "dbus-daemon could not be started";
    }

    PrivateBus bus;
    TestHome home;
    int changed = 0;
    int shown = 0;
    CalendarBusService::Host host()
    {
        return { home.dataFile(), [] { return kNow; }, [this] { ++changed; }, [this] { ++shown; } };
    }
};

class AnnouncedListener final : public QObject
{
    Q_OBJECT
public:
    QStringList told;
public slots:
    void heard(const QString &key, const QString &message) { told << key + " " + message; }
};

// A calendar that ends while a call waits for its answer.
class EndingCalendar final : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.quillory.Calendar1")
public:
    std::function<void()> onEnd;
public slots:
    QString Add(const QString &, const QString &, bool, bool, const QString &)
    {
        setDelayedReply(true);
        QTimer::singleShot(0, this, [this] { onEnd(); });
        return {};
    }
};

} // namespace

TEST_F(CalendarBus, EachCallWorksOnTheFileAndTheCalendarCatchesUp)
{
    CalendarBusService service(host());
    ASSERT_TRUE(service.publish(bus.connect("calendar")));
    // A second calendar in the session cannot take the name.
    CalendarBusService second(host());
    EXPECT_FALSE(second.publish(bus.connect("second")));
    DBusCalendarLink link(bus.connect("cli"));

    CalendarLink::Reply added, taken, listed, next, removed, after;
    offThread([&] {
        if (!link.present(1000))
            return;
        added = link.add(parcel());
        remote::AddRequest other = parcel();
        other.message = "Feed the cat";
        taken = link.add(other);
        listed = link.list("", "2026-12-31");
        next = link.next();
        removed = link.remove("2026-12-10 09:00");
        after = link.next();
    });
    EXPECT_EQ(added.reach, CalendarLink::Reach::Answered);
    EXPECT_EQ(added.text, "Added 2026-12-10 09:00 daily: Pick up the parcel");
    EXPECT_EQ(taken.reach, CalendarLink::Reach::Refused);
    EXPECT_TRUE(taken.text.contains("already holds the appointment \"Pick up the parcel\""));
    ASSERT_EQ(listed.entries.size(), 1);
    EXPECT_EQ(listed.entries[0]["key"].toString(), "09/00/10/12/2026");
    EXPECT_EQ(listed.entries[0]["earlyWarning"].toBool(), false);
    ASSERT_EQ(next.entries.size(), 1);
    EXPECT_EQ(next.entries[0]["message"].toString(), "Pick up the parcel");
    EXPECT_EQ(removed.text, "Removed 2026-12-10 09:00 daily: Pick up the parcel");
    EXPECT_TRUE(after.entries.isEmpty());
    EXPECT_TRUE(home.readData().contains("09/00/10/12/2026=nothing"));
    // The month is marked again after each change, once the answer went out.
    EXPECT_TRUE(QTest::qWaitFor([&] { return changed == 2; }, 2000));

    // A minute not of the form is the caller's mistake.
    QDBusMessage call = QDBusMessage::createMethodCall(
        calendarbus::kService, calendarbus::kPath, calendarbus::kInterface, "Remove");
    call << QString("tomorrow");
    QDBusMessage error;
    offThread([&] { error = bus.connect("raw").call(call, QDBus::Block, 5000); });
    EXPECT_EQ(error.errorName(), "org.freedesktop.DBus.Error.InvalidArgs");

    // Show brings the calendar forward; Announced reaches listeners.
    AnnouncedListener listener;
    ASSERT_TRUE(bus.connect("listener")
                    .connect(calendarbus::kService, calendarbus::kPath, calendarbus::kInterface,
                        "Announced", &listener, SLOT(heard(QString, QString))));
    emit service.Announced("09/00/10/12/2026", "Pick up the parcel");
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return listener.told == QStringList { "09/00/10/12/2026 Pick up the parcel" }; },
        2000));
    QDBusMessage show = QDBusMessage::createMethodCall(
        calendarbus::kService, calendarbus::kPath, calendarbus::kInterface, "Show");
    offThread([&] { bus.connect("raw").call(show, QDBus::Block, 5000); });
    EXPECT_TRUE(QTest::qWaitFor([&] { return shown == 1; }, 2000));
}

TEST_F(CalendarBus, ACallIsAnsweredWhileAMessageBoxIsOpen)
{
    CalendarBusService service(host());
    ASSERT_TRUE(service.publish(bus.connect("calendar")));
    DBusCalendarLink link(bus.connect("cli"));

    QMessageBox box(QMessageBox::Question, "Attention!", "Replace it?", QMessageBox::Yes);
    CalendarLink::Reply reply;
    bool openWhenAnswered = false;
    std::unique_ptr<QThread> client(QThread::create([&] { reply = link.add(parcel()); }));
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &box, [&] {
        if (!client->isFinished())
            return;
        openWhenAnswered = box.isVisible();
        box.done(0);
    });
    QTimer::singleShot(0, &box, [&] {
        client->start();
        poll.start(20);
    });
    box.exec();
    client->wait(5000);
    EXPECT_TRUE(openWhenAnswered);
    EXPECT_EQ(reply.reach, CalendarLink::Reach::Answered);
    EXPECT_TRUE(home.readData().contains("09/00/10/12/2026=TPick up the parcel"));
}

TEST_F(CalendarBus, ACalendarEndingMidCallLeavesTheCommandToTheFile)
{
    auto lock = std::make_unique<QLockFile>(SingleInstance::lockPath(home.paths().dataFolder));
    ASSERT_TRUE(lock->tryLock(0));
    EndingCalendar ending;
    ending.onEnd = [&] {
        // The last reference goes: the connection closes as a quitting process's would.
        QDBusConnection::disconnectFromBus("ending");
        lock.reset();
    };
    {
        QDBusConnection calendar = bus.connect("ending");
        ASSERT_TRUE(
            calendar.registerObject(calendarbus::kPath, &ending, QDBusConnection::ExportAllSlots));
        ASSERT_TRUE(calendar.registerService(calendarbus::kService));
    }

    DBusCalendarLink link(bus.connect("cli"));
    QString out, err;
    int status = -1;
    offThread([&] {
        QTextStream o(&out), e(&err);
        cli::Context context { home.paths().dataFolder, home.dataFile(), [] { return kNow; }, link,
            o, e };
        status = cli::run({ "quillory", "add", "--at", "2026-12-10 09:00", "--repeat", "daily",
                              "Pick up the parcel" },
            context);
    });
    EXPECT_EQ(status, cli::kDone) << err.toStdString();
    EXPECT_EQ(out, "Added 2026-12-10 09:00 daily: Pick up the parcel\n");
    EXPECT_TRUE(home.readData().contains("09/00/10/12/2026=TPick up the parcel"));
}

#include "CalendarBusTest.moc"
