#include "calendar/FrmMain.h"
#include "calendar/MonthView.h"
#include "calendar/WindowLinks.h"
#include "engine/TickRules.h"
#include "storage/ModClock.h"
#include "storage/Settings.h"
#include "tests/support/CalendarFixture.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QSignalSpy>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace {

class TickTest : public CalendarFixture
{
protected:
    FrmMain &load(const QDateTime &start = QDateTime(QDate(2026, 12, 8), QTime(10, 15, 30)))
    {
        fakes.clock.set(start);
        frm = makeCalendar(quiet);
        frm->Form_Load();
        return *frm;
    }
    void tickAt(const QTime &time)
    {
        fakes.clock.set(QDateTime(fakes.clock.now().date(), time));
        frm->blink_Timer();
    }

    bool quiet = false;
};

TEST_F(TickTest, FirstTickFiresTheCurrentMinuteOnceAndShowsTheTime)
{
    home.writeData("[alarms]\r\n10/15/08/12/2026=NCall home\r\n10/16/08/12/2026=NToo late\r\n");
    load();
    EXPECT_EQ(frm->blink->interval(), 2000);
    EXPECT_TRUE(frm->blink->isActive());

    tickAt(QTime(10, 15, 32));
    EXPECT_EQ(frm->lab_time->text(), "The time is 10:15 AM");
    ASSERT_EQ(announcer.displays.size(), 1);
    EXPECT_EQ(announcer.displays[0], qMakePair(false, QString("Call home")));
    tickAt(QTime(10, 15, 58));
    EXPECT_EQ(announcer.displays.size(), 1);

    // No tick ran between 10:16:00 and 10:16:59: the next one catches it up.
    tickAt(QTime(10, 17, 0));
    ASSERT_EQ(announcer.displays.size(), 2);
    EXPECT_EQ(announcer.displays[1], qMakePair(false, QString("Too late")));
    EXPECT_EQ(home.readData(),
        QByteArray("[alarms]\r\n10/15/08/12/2026=nothing\r\n10/16/08/12/2026=nothing\r\n"));
}

// Runs ticks inside its announcement, as the real window's waits do.
class NestingAnnouncer final : public Announcer
{
public:
    void Show() override { }
    void display(bool, const QString &text) override
    {
        texts.append(text);
        ++depth;
        maxDepth = std::max(maxDepth, depth);
        if (inside)
            inside();
        --depth;
    }
    std::function<void()> inside;
    QStringList texts;
    int depth = 0;
    int maxDepth = 0;
};

class NestingTest : public TickTest
{
protected:
    void loadNesting()
    {
        fakes.clock.set(QDateTime(QDate(2026, 12, 8), QTime(10, 15, 30)));
        messageLink = &nesting;
        window = makeCalendar(true);
        window->Form_Load();
    }
    void tickInsideAt(const QTime &time)
    {
        fakes.clock.set(QDateTime(QDate(2026, 12, 8), time));
        window->blink_Timer();
    }
    NestingAnnouncer nesting;
    std::unique_ptr<FrmMain> window;
};

TEST_F(NestingTest, ATickInsideTheAnnouncementDoesNotFireAgain)
{
    home.writeData("[alarms]\r\n10/15/08/12/2026=TDaily\r\n");
    loadNesting();
    nesting.inside = [this] {
        if (nesting.texts.size() < 5)
            tickInsideAt(QTime(10, 15, 40));
    };
    window->blink_Timer();
    EXPECT_EQ(nesting.texts.size(), 1);
    EXPECT_EQ(home.readData(),
        QByteArray("[alarms]\r\n10/15/08/12/2026=nothing\r\n10/15/09/12/2026=TDaily\r\n"));
}

TEST_F(NestingTest, MinutesReachedInsideAWaitAreAnnouncedAfterItInOrder)
{
    home.writeData("[alarms]\r\n10/15/08/12/2026=NFirst\r\n10/16/08/12/2026=NSecond\r\n"
                   "10/17/08/12/2026=NThird\r\n");
    loadNesting();
    QList<QByteArray> fileWhenInside;
    nesting.inside = [&] {
        if (nesting.texts.size() == 1) {
            tickInsideAt(QTime(10, 16, 1));
            // Written the moment its minute is handled, not when announced.
            fileWhenInside.append(home.readData());
            tickInsideAt(QTime(10, 17, 1));
        }
    };
    window->blink_Timer();
    EXPECT_EQ(nesting.texts, (QStringList { "First", "Second", "Third" }));
    EXPECT_EQ(nesting.maxDepth, 1); // each announced after the previous returned
    ASSERT_EQ(fileWhenInside.size(), 1);
    EXPECT_EQ(fileWhenInside[0],
        QByteArray("[alarms]\r\n10/15/08/12/2026=nothing\r\n10/16/08/12/2026=nothing\r\n"
                   "10/17/08/12/2026=NThird\r\n"));
}

TEST_F(NestingTest, ALeapDuringAnAnnouncementIsQueuedAndToldAfterIt)
{
    home.writeData("[alarms]\r\n10/15/08/12/2026=NFirst\r\n11/00/08/12/2026=TWater the plants\r\n"
                   "12/00/08/12/2026=NLunch\r\n");
    loadNesting();
    nesting.inside = [&] {
        // The computer sleeps while the first one is being told.
        if (nesting.texts.size() == 1)
            tickInsideAt(QTime(12, 30, 1));
    };
    window->blink_Timer();
    ASSERT_EQ(nesting.texts.size(), 3);
    EXPECT_EQ(nesting.texts[0], "First");
    EXPECT_EQ(nesting.texts[1],
        QString::fromUtf8("Missed while the computer was asleep: Tuesday 8 December, 11:00 \u2014 "
                          "Water the plants"));
    EXPECT_EQ(nesting.maxDepth, 1);
    EXPECT_EQ(home.readData(),
        QByteArray("[alarms]\r\n10/15/08/12/2026=nothing\r\n11/00/08/12/2026=nothing\r\n"
                   "12/00/08/12/2026=nothing\r\n11/00/09/12/2026=TWater the plants\r\n"));
}

TEST_F(TickTest, MissedAppointmentsArePagesOfTheOneWindowWithOneSpokenSummary)
{
    home.writeData("[alarms]\r\n11/00/08/12/2026=RSecret\r\n12/00/08/12/2026=NLunch\r\n"
                   "13/05/08/12/2026=NNow\r\n");
    load();
    tickAt(QTime(10, 15, 32));
    tickAt(QTime(13, 5, 2)); // woke from sleep
    ASSERT_EQ(announcer.pages.size(), 2);
    EXPECT_TRUE(announcer.pages[0].first); // asks for "Ok" before it shows
    EXPECT_TRUE(announcer.pages[0].second.endsWith("11:00 \u2014 Secret"));
    EXPECT_FALSE(announcer.pages[1].first);
    EXPECT_EQ(announcer.spoken,
        QStringList { "You missed 2 appointments while the computer was asleep. They are in the "
                      "message window." });
    // The minute it woke in is told as ever.
    ASSERT_EQ(announcer.displays.size(), 1);
    EXPECT_EQ(announcer.displays[0].second, "Now");
}

TEST_F(TickTest, TheFileIsMovedOnBeforeTheAnnouncementBegins)
{
    home.writeData("[alarms]\r\n10/15/08/12/2026=VWeekly\r\n");
    NestingAnnouncer reading;
    QByteArray fileWhenAnnounced;
    reading.inside = [&] { fileWhenAnnounced = home.readData(); };
    fakes.clock.set(QDateTime(QDate(2026, 12, 8), QTime(10, 15, 30)));
    FrmMain window(fakes.services, settings, modClock, home.paths(),
        FrmMain::Links { reading, manager, versionCheck, marking }, agentControl, true);
    window.Form_Load();
    window.blink_Timer();
    EXPECT_EQ(fileWhenAnnounced,
        QByteArray("[alarms]\r\n10/15/08/12/2026=nothing\r\n10/15/15/12/2026=VWeekly\r\n"));
}

TEST_F(TickTest, AFiredAppointmentRemarksTheMonthOnceAfterItsAnnouncement)
{
    home.writeData("[alarms]\r\n10/15/08/12/2026=TDaily\r\n");
    load(QDateTime(QDate(2026, 12, 8), QTime(10, 14, 30)));
    tickAt(QTime(10, 14, 40));
    const qsizetype before = marking.calls.size();
    frm->maincalendar->setDayBold(QDate(2026, 12, 8), true); // as the load marked it
    tickAt(QTime(10, 15, 2));
    ASSERT_EQ(announcer.displays.size(), 1);
    // The repeat now stands on the 9th, the 8th is cleared: marked anew.
    EXPECT_FALSE(frm->maincalendar->DayBold(QDate(2026, 12, 8)));
    ASSERT_EQ(marking.calls.size(), before + 1);
    EXPECT_TRUE(marking.calls.last());
    tickAt(QTime(10, 15, 20));
    EXPECT_EQ(marking.calls.size(), before + 1);
}

TEST_F(TickTest, AnUnwritableDataFileIsToldOnceKeptWholeAndWrittenWhenItCanBe)
{
    const QByteArray original = "[alarms]\r\n10/15/08/12/2026=TTea\r\n10/16/08/12/2026=TCake\r\n";
    home.writeData(original);
    load();
    {
        FileSizeLimit full(16); // a disk with no room for a new copy of the file
        tickAt(QTime(10, 15, 31));
        tickAt(QTime(10, 16, 1));
        tickAt(QTime(10, 16, 3));
    }
    // Both were still announced, and the user was told once, with the reason.
    ASSERT_EQ(announcer.displays.size(), 2);
    ASSERT_EQ(fakes.dialogs.boxes.size(), 1);
    EXPECT_EQ(fakes.dialogs.boxes[0].title, "Appointments not saved");
    EXPECT_TRUE(fakes.dialogs.boxes[0].text.contains(home.dataFile()));
    EXPECT_EQ(fakes.dialogs.boxes[0].icon, MsgIcon::Critical);
    EXPECT_EQ(home.readData(), original);

    // Room again: the next minute makes the postponed writes, in order.
    tickAt(QTime(10, 17, 1));
    EXPECT_EQ(home.readData(),
        QByteArray("[alarms]\r\n10/15/08/12/2026=nothing\r\n10/16/08/12/2026=nothing\r\n"
                   "10/15/09/12/2026=TTea\r\n10/16/09/12/2026=TCake\r\n"));
    EXPECT_EQ(fakes.dialogs.boxes.size(), 1);
}

TEST_F(TickTest, APostponedWriteNeverOverwritesWhatTheUserSetMeanwhile)
{
    home.writeData("[alarms]\r\n10/15/08/12/2026=TTea\r\n");
    load();
    {
        FileSizeLimit full(16);
        tickAt(QTime(10, 15, 31));
    }
    // The user saved another appointment where the daily one would move to.
    home.writeData("[alarms]\r\n10/15/08/12/2026=TTea\r\n10/15/09/12/2026=NDentist\r\n");
    tickAt(QTime(10, 16, 1));
    EXPECT_EQ(home.readData(),
        QByteArray("[alarms]\r\n10/15/08/12/2026=nothing\r\n10/15/09/12/2026=NDentist\r\n"));
}

TEST_F(TickTest, TheSchedulersTimerLooksJustAfterEachMinuteBoundaryUntilUnload)
{
    home.writeData("[alarms]\r\n10/16/08/12/2026=NCall home\r\n10/18/08/12/2026=NToo late\r\n");
    load(QDateTime(QDate(2026, 12, 8), QTime(10, 15, 30, 250)));
    // Armed from the clock once the window had loaded (its waits move the clock).
    const int intoMinute = fakes.clock.now().time().msecsSinceStartOfDay() % 60000;
    fakes.clock.advance(60000 - intoMinute);
    EXPECT_TRUE(announcer.displays.isEmpty());
    fakes.clock.advance(tick::kMinuteTickLag);
    ASSERT_EQ(announcer.displays.size(), 1);
    EXPECT_EQ(frm->lab_time->text(), "The time is 10:16 AM");

    frm->Form_Unload();
    fakes.clock.advance(3 * 60000);
    EXPECT_EQ(announcer.displays.size(), 1);
}

TEST_F(TickTest, ANewDayRestartsThroughTheRestartProgram)
{
    load(QDateTime(QDate(2026, 12, 8), QTime(23, 59, 58)));
    QSignalSpy unloaded(frm.get(), &FrmMain::unloaded);
    tickAt(QTime(23, 59, 59));
    EXPECT_TRUE(fakes.launcher.started.isEmpty());

    fakes.clock.set(QDateTime(QDate(2026, 12, 9), QTime(0, 0, 1)));
    frm->blink_Timer();
    ASSERT_EQ(fakes.launcher.started.size(), 1);
    EXPECT_EQ(fakes.launcher.started[0].program, home.paths().program("quillory-restart"));
    EXPECT_TRUE(fakes.launcher.started[0].arguments.isEmpty());
    EXPECT_EQ(fakes.launcher.started[0].style, WindowStyle::MinimizedNoFocus);
    EXPECT_EQ(unloaded.count(), 1);
    EXPECT_FALSE(frm->blink->isActive());
}

TEST_F(TickTest, StartedAfterMidnightDoesNotRestartAndAMissingRestartProgramKeepsItRunning)
{
    load(QDateTime(QDate(2026, 12, 9), QTime(0, 0, 30)));
    tickAt(QTime(0, 0, 32));
    EXPECT_TRUE(fakes.launcher.started.isEmpty());

    fakes.launcher.succeed = false;
    QSignalSpy unloaded(frm.get(), &FrmMain::unloaded);
    fakes.clock.set(QDateTime(QDate(2026, 12, 10), QTime(0, 0, 1)));
    frm->blink_Timer();
    frm->blink_Timer();
    EXPECT_EQ(fakes.launcher.started.size(), 1);
    EXPECT_EQ(unloaded.count(), 0);
    EXPECT_EQ(settings.read(setting::LastReboot), "10/12/2026");
}

TEST_F(TickTest, SettingsThatCannotKeepTheDateAreToldOnceAndRestartNoMoreThanDaily)
{
    settings.write(setting::LastReboot, "07/12/2026");
    FileSizeLimit full(16); // a full disk: the settings read, but no write succeeds
    load();
    ASSERT_EQ(fakes.dialogs.boxes.size(), 1);
    EXPECT_EQ(fakes.dialogs.boxes[0].title, "Settings not saved");
    EXPECT_EQ(fakes.dialogs.boxes[0].icon, MsgIcon::Critical);
    // The stored date stays yesterday's; the calendar runs on without restarting.
    for (int i = 0; i < 5; ++i)
        tickAt(QTime(10, 16 + i));
    EXPECT_TRUE(fakes.launcher.started.isEmpty());
    // The next midnight restarts it once, not on every tick after.
    fakes.launcher.succeed = false;
    fakes.clock.set(QDateTime(QDate(2026, 12, 9), QTime(0, 0, 2)));
    frm->blink_Timer();
    frm->blink_Timer();
    EXPECT_EQ(fakes.launcher.started.size(), 1);
    EXPECT_EQ(std::count_if(fakes.dialogs.boxes.begin(), fakes.dialogs.boxes.end(),
                  [](const RecordedBox &b) { return b.title == "Settings not saved"; }),
        1);
}

TEST_F(TickTest, HiddenCalendarStaysHiddenOnEveryTick)
{
    load();
    frm->show();
    settings.write(setting::Visible, "false"); // not the literal "False"
    frm->blink_Timer();
    EXPECT_TRUE(frm->isVisible());
    settings.write(setting::Visible, "False");
    frm->blink_Timer();
    EXPECT_FALSE(frm->isVisible());
    frm->show();
    frm->blink_Timer();
    EXPECT_FALSE(frm->isVisible());
}

TEST_F(TickTest, IntroductionOnceUntilTheSettingIsSetBack)
{
    settings.write(setting::TwoRun, "True");
    load();
    frm->blink_Timer();
    frm->blink_Timer();
    ASSERT_EQ(announcer.displays.size(), 1);
    EXPECT_FALSE(announcer.displays[0].first);
    EXPECT_TRUE(announcer.displays[0].second.contains("help@quillory.example"));
    EXPECT_EQ(settings.read(setting::TwoRun), "False");
    settings.write(setting::TwoRun, "True");
    frm->blink_Timer();
    EXPECT_EQ(announcer.displays.size(), 2);
}

TEST_F(TickTest, OldMessagesAreReportedInThreeBoxesOnce)
{
    // Three appointments passed while the calendar was not running.
    home.writeData("[alarms]\r\n09/00/07/12/2026=NOne\r\n08/00/08/12/2026=NTwo\r\n"
                   "10/00/08/12/2026=NThree\r\n");
    load();
    frm->blink_Timer();
    ASSERT_EQ(fakes.dialogs.boxes.size(), 3);
    EXPECT_EQ(fakes.dialogs.boxes[0].title, "Old messages!");
    EXPECT_EQ(fakes.dialogs.boxes[0].icon, MsgIcon::Information);
    EXPECT_EQ(fakes.dialogs.boxes[1].text.count("This is old message #"), 3);
    EXPECT_EQ(fakes.dialogs.boxes[2].title, "Attention!");
    EXPECT_EQ(fakes.dialogs.boxes[2].buttons, MsgButtons::YesNo);
    EXPECT_TRUE(manager.tabs.isEmpty());
    frm->blink_Timer();
    EXPECT_EQ(fakes.dialogs.boxes.size(), 3);

    // One more passes before the next start; "Yes" opens the manager's list.
    home.writeData("[alarms]\r\n11/00/08/12/2026=NAgain\r\n");
    fakes.dialogs.answers = { MsgAnswer::Ok, MsgAnswer::Ok, MsgAnswer::Yes };
    load(QDateTime(QDate(2026, 12, 8), QTime(11, 20, 30)));
    frm->blink_Timer();
    ASSERT_EQ(fakes.dialogs.boxes.size(), 6);
    EXPECT_TRUE(fakes.dialogs.boxes[4].text.startsWith("This is old message #1, "));
    EXPECT_TRUE(fakes.dialogs.boxes[4].text.contains("Again"));
    EXPECT_EQ(manager.tabs, QList<int> { 1 });
}

TEST_F(TickTest, PagingToAnotherMonthRemarksOnTheNextTickOnly)
{
    load();
    EXPECT_EQ(marking.calls, QList<bool> { false }); // the load's own marking
    frm->blink_Timer();
    EXPECT_EQ(marking.calls, (QList<bool> { false, true }));
    frm->blink_Timer();
    EXPECT_EQ(marking.calls.size(), 2);
    frm->com_right->click();
    EXPECT_EQ(frm->blink->interval(), 1);
    frm->blink_Timer();
    EXPECT_EQ(marking.calls.size(), 3);
    EXPECT_EQ(frm->shownMonth, 1);
    EXPECT_EQ(frm->shownYear, 2027);
    EXPECT_EQ(frm->blink->interval(), 2000);
}

TEST_F(TickTest, VersionCheckStartsOnceOnASecondTickWithAConnection)
{
    load();
    fakes.network.online = true;
    tickAt(QTime(10, 15, 32)); // a new minute never starts it
    EXPECT_EQ(versionCheck.runs, 0);
    fakes.network.online = false;
    tickAt(QTime(10, 15, 34));
    EXPECT_EQ(versionCheck.runs, 0);
    fakes.network.online = true;
    tickAt(QTime(10, 15, 36));
    EXPECT_EQ(versionCheck.runs, 1);
    // Once started, the gate no longer asks for a connection.
    const int queries = fakes.network.onlineQueries;
    tickAt(QTime(10, 15, 38));
    EXPECT_EQ(versionCheck.runs, 1);
    EXPECT_EQ(fakes.network.onlineQueries, queries);
}

TEST_F(TickTest, ACheckMadeTodayDoesNotAskForTheNetwork)
{
    load();
    versionCheck.due = false;
    tickAt(QTime(10, 15, 32));
    tickAt(QTime(10, 15, 34));
    EXPECT_EQ(fakes.network.onlineQueries, 0);
    EXPECT_EQ(versionCheck.runs, 1); // it says so in its log and ends
}

TEST_F(TickTest, PositionAndLayoutInTwips)
{
    settings.write(setting::FormX, "1500");
    settings.write(setting::FormY, "3000.5");
    load();
    const double tpp = frm->twipsPerPixel();
    EXPECT_EQ(frm->pos(), QPoint(qRound(1500 / tpp), qRound(3000.5 / tpp)));
    EXPECT_EQ(frm->size(), QSize(qRound(3480 / tpp), qRound(2955 / tpp)));
    EXPECT_EQ(frm->lab_time->geometry().topLeft(), QPoint(qRound(90 / tpp), qRound(2650 / tpp)));

    settings.write(setting::FormX, "left");
    settings.write(setting::FontSize, "large");
    const QPoint before(7, 9);
    frm = makeCalendar(quiet);
    frm->move(before);
    frm->Form_Load();
    EXPECT_EQ(frm->pos(), before);
    EXPECT_EQ(frm->size(), QSize(qRound(3650 / tpp), qRound(2904 / tpp)));
    EXPECT_EQ(frm->lab_time->geometry().topLeft(), QPoint(qRound(145 / tpp), qRound(2580 / tpp)));
}

TEST_F(TickTest, ColoursComeFromSettingsAndUnreadableOnesKeepTheDesign)
{
    settings.write(setting::MonthBackColor, "&H00FFFFFF");
    settings.write(setting::ForeColor, "not a colour");
    load();
    EXPECT_EQ(frm->maincalendar->MonthBackColor(), 0xFFFFFFu);
    EXPECT_EQ(frm->maincalendar->TitleBackColor(), 8388672u);
    EXPECT_EQ(frm->maincalendar->TrailingForeColor(), 16744576u);
    EXPECT_EQ(frm->maincalendar->ForeColor(), MonthView().ForeColor());
    EXPECT_EQ(frm->maincalendar->Value(), QDate(2026, 12, 8));
}

} // namespace
