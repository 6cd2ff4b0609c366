#include "cli/CommandLine.h"
#include "platform/SingleInstance.h"
#include "tests/support/TestHome.h"

#include <QLockFile>

#include <gtest/gtest.h>

#include <functional>

namespace {

const QDateTime kNow(QDate(2026, 12, 9), QTime(14, 7, 30));

// A calendar on the bus as the command line sees it; each call is recorded
// and answered as the test says.
class FakeCalendar final : public CalendarLink
{
public:
    bool onBus = false;
    QStringList calls;
    std::function<Reply()> answer = [] { return Reply { Reach::Answered, "done", {} }; };

    bool present(int) override { return onBus; }
    Reply add(const remote::AddRequest &request) override
    {
        calls << "add " + remote::minuteText(request.date, request.time) + " " + request.repeat
                + " " + request.message;
        return answer();
    }
    Reply list(const QString &from, const QString &to) override
    {
        calls << "list " + from + " " + to;
        return answer();
    }
    Reply next() override
    {
        calls << "next";
        return answer();
    }
    Reply remove(const QString &minute) override
    {
        calls << "remove " + minute;
        return answer();
    }
};

struct Outcome
{
    int status = -1;
    QString out;
    QString err;
};

class CommandLine : public ::testing::Test
{
protected:
    Outcome run(const QStringList &arguments)
    {
        Outcome r;
        QTextStream out(&r.out);
        QTextStream err(&r.err);
        cli::Context context { home.paths().dataFolder, home.dataFile(), [] { return kNow; },
            calendar, out, err };
        r.status = cli::run(QStringList { "quillory" } + arguments, context);
        return r;
    }

    TestHome home;
    FakeCalendar calendar;
};

} // namespace

TEST_F(CommandLine, WithoutACalendarTheFileIsChangedAndListed)
{
    const Outcome added
        = run({ "add", "--at", "2026-12-10 09:00", "--repeat", "daily", "Pick up the parcel" });
    EXPECT_EQ(added.status, cli::kDone) << added.err.toStdString();
    EXPECT_EQ(added.out, "Added 2026-12-10 09:00 daily: Pick up the parcel\n");
    EXPECT_TRUE(home.readData().contains("09/00/10/12/2026=TPick up the parcel"));
    EXPECT_TRUE(calendar.calls.isEmpty());
    // The lock is let go again: a calendar may start.
    EXPECT_EQ(SingleInstance::lockState(home.paths().dataFolder), SingleInstance::LockState::Free);

    EXPECT_EQ(run({ "add", "--in", "20m", "--confirm", "--early-warning", "Tea", "time" }).status,
        cli::kDone);
    EXPECT_TRUE(home.readData().contains("14/27/09/12/2026=RTea time}"));

    const Outcome list = run({ "list" });
    EXPECT_EQ(list.status, cli::kDone);
    EXPECT_EQ(list.out,
        "2026-12-09 14:27\tonce\tconfirm,early-warning\tTea time\n"
        "2026-12-10 09:00\tdaily\t-\tPick up the parcel\n");
    EXPECT_EQ(run({ "list", "--from", "tomorrow" }).out.count('\n'), 1);
    EXPECT_TRUE(run({ "list", "--json" }).out.contains("\"earlyWarning\": true"));
    EXPECT_EQ(run({ "next" }).out, "2026-12-09 14:27\tonce\tconfirm,early-warning\tTea time\n");

    const Outcome removed = run({ "remove", "2026-12-09 14:27" });
    EXPECT_EQ(removed.status, cli::kDone);
    EXPECT_EQ(removed.out, "Removed 2026-12-09 14:27 once: Tea time\n");
    run({ "remove", "2026-12-10 09:00" });
    const Outcome none = run({ "next" });
    EXPECT_EQ(none.status, cli::kRefused);
    EXPECT_TRUE(none.out.isEmpty());
    EXPECT_TRUE(none.err.isEmpty());
}

TEST_F(CommandLine, ExportAndImportGoThroughICalendar)
{
    ASSERT_EQ(run({ "add", "--at", "2026-12-10 09:00", "--repeat", "weekly", "Choir" }).status,
        cli::kDone);
    const Outcome shown = run({ "export" });
    EXPECT_EQ(shown.status, cli::kDone);
    EXPECT_TRUE(shown.out.startsWith("BEGIN:VCALENDAR"));
    EXPECT_TRUE(shown.out.contains("SUMMARY:Choir"));
    EXPECT_TRUE(shown.out.contains("RRULE:FREQ=WEEKLY"));
    const QString file = home.paths().dataFolder + "/out.ics";
    const Outcome written = run({ "export", file });
    EXPECT_EQ(written.out, QString("1 appointments exported to %1\n").arg(file));

    // Into an empty calendar, then again: the taken minute is skipped, never overwritten.
    run({ "remove", "2026-12-10 09:00" });
    const Outcome imported = run({ "import", file });
    EXPECT_EQ(imported.status, cli::kDone) << imported.err.toStdString();
    EXPECT_TRUE(imported.out.startsWith("1 added")) << imported.out.toStdString();
    EXPECT_TRUE(home.readData().contains("09/00/10/12/2026=ZChoir"))
        << home.readData().toStdString();
    EXPECT_TRUE(run({ "import", file }).out.startsWith("0 added, 1 skipped"));

    EXPECT_EQ(run({ "import", home.paths().dataFolder + "/missing.ics" }).status, cli::kRefused);
    EXPECT_EQ(run({ "import" }).status, cli::kBadUsage);
    // A running calendar imports from its manager, never beside it.
    QLockFile held(SingleInstance::lockPath(home.paths().dataFolder));
    ASSERT_TRUE(held.tryLock(0));
    const Outcome refused = run({ "import", file });
    EXPECT_EQ(refused.status, cli::kRefused);
    EXPECT_TRUE(refused.err.contains("Import..."));
}

TEST_F(CommandLine, RefusalsExitOneAndBadUsageTwo)
{
    ASSERT_EQ(run({ "add", "--at", "2026-12-10 09:00", "Pick up the parcel" }).status, cli::kDone);
    const QByteArray before = home.readData();
    struct Case
    {
        QStringList arguments;
        int status;
        const char *err; // the start of what standard error says
    };
    for (const Case &c :
        { Case { { "add", "--at", "2027-02-31 09:00", "x!" }, 1, "Sorry, that day is not" },
            Case { { "add", "--at", "2026-12-10 24:00", "x!" }, 1,
                "Sorry, you have chosen and invalid hour" },
            Case { { "add", "--at", "2026-12-01 10:00", "Late" }, 1,
                "Sorry, 2026-12-01 10:00 has already passed" },
            Case { { "add", "--at", "2026-12-10 09:00", "" }, 1,
                "Sorry, you must enter a valid message" },
            Case { { "add", "--at", "2026-12-10 09:00", QString(10000, 'y') }, 1,
                "Sorry, your message is too long" },
            Case { { "add", "--at", "2026-12-10 09:00", "Other" }, 1,
                "Sorry, 2026-12-10 09:00 already holds the appointment \"Pick up the parcel\"" },
            Case { { "remove", "2026-12-11 09:00" }, 1, "There is no appointment" },
            Case { { "add", "--at", "2026-12-10 10:00", "--repeat", "fortnightly", "x!" }, 2,
                "quillory: \"fortnightly\" is not a repeat" },
            Case { { "add", "--at", "soon", "x!" }, 2, "quillory: --at takes" },
            Case { { "add", "--at", "9:00", "--in", "2h", "x!" }, 2, "quillory: add needs either" },
            Case { { "add", "--at", "9:00" }, 2, "quillory: add needs the message" },
            Case { { "add", "--when", "9:00", "x!" }, 2, "quillory: Unknown option 'when'" },
            Case { { "list", "--from", "someday" }, 2, "quillory: --from takes" },
            Case { { "remove" }, 2, "quillory: remove takes one" },
            Case { { "remove", "2026-12-10" }, 2, "quillory: the minute is" },
            Case { { "frobnicate" }, 2, "quillory: unknown command" } }) {
        const Outcome r = run(c.arguments);
        EXPECT_EQ(r.status, c.status) << c.arguments.join(' ').left(60).toStdString();
        EXPECT_TRUE(r.err.startsWith(QString::fromUtf8(c.err))) << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty());
        EXPECT_EQ(home.readData(), before);
    }
    EXPECT_TRUE(calendar.calls.isEmpty());

    EXPECT_TRUE(cli::isCommand({ "add" }));
    EXPECT_TRUE(cli::isCommand({ "--version" }));
    EXPECT_FALSE(cli::isCommand({}));
    EXPECT_FALSE(cli::isCommand({ "/n" }));
    const Outcome help = run({ "--help" });
    EXPECT_EQ(help.status, cli::kDone);
    EXPECT_TRUE(help.out.contains("remove \"YYYY-MM-DD HH:MM\""));
    const Outcome addHelp = run({ "add", "--help" });
    EXPECT_TRUE(addHelp.out.startsWith("Usage: quillory add [options] message"))
        << addHelp.out.toStdString();
    EXPECT_TRUE(addHelp.out.contains("--early-warning"));
    EXPECT_TRUE(run({ "--version" }).out.startsWith("quillory 1."));
}

TEST_F(CommandLine, ARunningCalendarIsAskedAndItsAnswerPassedOn)
{
    QLockFile running(SingleInstance::lockPath(home.paths().dataFolder));
    ASSERT_TRUE(running.tryLock(0));
    calendar.onBus = true;
    calendar.answer = [] {
        return CalendarLink::Reply { CalendarLink::Reach::Answered, "Added it", {} };
    };
    const Outcome added = run({ "add", "--at", "tomorrow 9:00", "--repeat", "daily", "Parcel" });
    EXPECT_EQ(added.status, cli::kDone);
    EXPECT_EQ(added.out, "Added it\n");
    EXPECT_EQ(calendar.calls, QStringList { "add 2026-12-10 09:00 daily Parcel" });
    EXPECT_FALSE(home.readData().contains("Parcel")); // the calendar writes, not the command

    calendar.answer = [] {
        return CalendarLink::Reply { CalendarLink::Reach::Refused, "Sorry, no.", {} };
    };
    const Outcome refused = run({ "remove", "2026-12-10 09:00" });
    EXPECT_EQ(refused.status, cli::kRefused);
    EXPECT_EQ(refused.err, "Sorry, no.\n");

    calendar.answer = [] {
        return CalendarLink::Reply { CalendarLink::Reach::Answered, {},
            { { { "key", "09/00/10/12/2026" }, { "date", "2026-12-10" }, { "time", "09:00" },
                { "repeat", "daily" }, { "confirm", false }, { "earlyWarning", false },
                { "message", "Parcel" } } } };
    };
    EXPECT_EQ(run({ "list", "--to", "2026-12-31" }).out, "2026-12-10 09:00\tdaily\t-\tParcel\n");
    EXPECT_EQ(calendar.calls.last(), "list  2026-12-31");
    calendar.answer = [] { return CalendarLink::Reply { CalendarLink::Reach::Answered, {}, {} }; };
    EXPECT_EQ(run({ "next" }).status, cli::kRefused);

    // Holding the lock but never on the bus: told, nothing written.
    calendar.onBus = false;
    const Outcome unreachable = run({ "add", "--in", "2h", "Tea" });
    EXPECT_EQ(unreachable.status, cli::kRefused);
    EXPECT_TRUE(unreachable.err.contains("cannot be reached on the session bus"));
    EXPECT_FALSE(home.readData().contains("Tea"));
}

TEST_F(CommandLine, ACalendarEndingMidCallLeavesTheWorkToTheFile)
{
    auto running = std::make_unique<QLockFile>(SingleInstance::lockPath(home.paths().dataFolder));
    ASSERT_TRUE(running->tryLock(0));
    calendar.onBus = true;
    calendar.answer = [&] {
        // The calendar quits before it answers: off the bus, lock let go.
        calendar.onBus = false;
        running.reset();
        return CalendarLink::Reply { CalendarLink::Reach::Gone, "Remote peer disconnected", {} };
    };
    const Outcome added = run({ "add", "--at", "2026-12-10 09:00", "--repeat", "daily", "Parcel" });
    EXPECT_EQ(added.status, cli::kDone) << added.err.toStdString();
    EXPECT_EQ(added.out, "Added 2026-12-10 09:00 daily: Parcel\n");
    EXPECT_TRUE(home.readData().contains("09/00/10/12/2026=TParcel"));
}
