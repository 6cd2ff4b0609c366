#include "calendar/DayMarker.h"
#include "calendar/FrmMain.h"
#include "calendar/MarkingRules.h"
#include "calendar/MonthView.h"
#include "early/FrmEarly.h"
#include "storage/IniFuncs.h"
#include "storage/ModClock.h"
#include "storage/Settings.h"
#include "tests/support/CalendarFixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

// The calendar window with the real day marking, on the fake clock.
class DayMarkingTest : public CalendarFixture
{
protected:
    DayMarkingTest()
    {
        markingLink = &marker;
        showDuringLoad = false;
    }
    // The window goes before the marking it is linked to.
    ~DayMarkingTest() override { frm.reset(); }

    FrmMain &load(const QDateTime &start, bool quiet = false)
    {
        fakes.clock.set(start);
        // Unlike loadCalendar, the characters of earlier windows stay.
        frm = makeCalendar(quiet);
        frm->setShowDuringLoad(showDuringLoad);
        frm->Form_Load();
        return *frm;
    }
    bool bold(int year, int month, int day) const
    {
        return frm->maincalendar->DayBold(QDate(year, month, day));
    }
    QStringList spoken() const
    {
        QStringList out;
        for (const auto &[name, character] : agentControl.characters)
            out << ::spoken(character->calls);
        return out;
    }
    // Double-clicks `date` on the calendar's month view.
    void doubleClick(const QDate &date)
    {
        frm->maincalendar->setValue(date);
        frm->maincalendar_DblClick();
    }

    int beeps = 0;
    DayMarker marker { fakes.services, modClock, home.paths(), manager, [this] { ++beeps; } };
};

TEST_F(DayMarkingTest, StartUpMarksTheMonthReportsOldMessagesAndWarnsAhead)
{
    home.writeData("[alarms]\r\n09/00/03/03/2027=NDentist\r\n09/30/15/03/2027=NBus\r\n"
                   "10/00/15/03/2027=NCall Anna\r\n11/00/15/03/2027=NLunch\r\n"
                   "12/00/22/03/2027=NTrip to Rome}\r\n12/00/18/03/2027=NPay rent}\r\n"
                   "12/00/19/03/2027=NNot yet}\r\n12/00/24/03/2027=nothing\r\n"
                   "12/00/02/04/2027=NEaster}\r\n");
    load(QDateTime(QDate(2027, 3, 15), QTime(10, 0, 5)));

    for (int day : { 3, 15, 18, 19, 22 })
        EXPECT_TRUE(bold(2027, 3, day)) << day;
    EXPECT_FALSE(bold(2027, 3, 24));
    EXPECT_FALSE(bold(2027, 4, 2));
    EXPECT_EQ(beeps, 7);
    EXPECT_FALSE(frm->remarkOnly);
    EXPECT_GE(fakes.clock.monotonicMs(), 1000); // the pause after the marks

    FrmEarly *early = marker.early();
    ASSERT_TRUE(early);
    EXPECT_EQ(early->windowTitle(), "Early appointment warning");
    EXPECT_EQ(early->txt_message->toPlainText(),
        "This appointment is due in 1 week:\nMonday 22 March 2027, 12:00: Trip to Rome\n\n"
        "This appointment is due in 3 days:\nThursday 18 March 2027, 12:00: Pay rent\n\n");
    early->Command2->click();
    EXPECT_EQ(manager.tabs, QList<int>({ 0 }));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(marker.early());

    // The first tick reports the old messages: the three boxes, then the
    // manager's second tab. They come from the scheduler (any month, with
    // their date and time); the current minute is the tick's to announce, not old.
    fakes.dialogs.answers = { MsgAnswer::Ok, MsgAnswer::Ok, MsgAnswer::Yes };
    frm->blink_Timer();
    ASSERT_EQ(fakes.dialogs.boxes.size(), 3);
    EXPECT_EQ(fakes.dialogs.boxes[0].title, "Old messages!");
    EXPECT_EQ(fakes.dialogs.boxes[1].text,
        "This is old message #1, Wednesday 3 March 2027, 9:00: Dentist\r\n"
        "This is old message #2, Monday 15 March 2027, 9:30: Bus\r\n");
    EXPECT_EQ(manager.tabs, QList<int>({ 0, 1 }));
    // Once reported, they are not reported again.
    frm->blink_Timer();
    EXPECT_EQ(fakes.dialogs.boxes.size(), 3);
}

TEST_F(DayMarkingTest, ARestartOfTheProgramsOwnShowsNoWarningOrGreetingSeenToday)
{
    home.writeData("[alarms]\r\n12/00/22/03/2027=NTrip}\r\n09/00/02/01/2027=NNew year lunch}\r\n");
    const QDateTime morning(QDate(2027, 3, 15), QTime(10, 0, 5));
    load(morning);
    ASSERT_TRUE(marker.early());
    EXPECT_EQ(spoken().filter("Welcome").size(), 1);

    // "Ok" restarts the calendar: the same day, nothing seen is shown again.
    frm->restart({});
    delete marker.early();
    agentControl.characters.clear();
    load(morning.addSecs(60));
    EXPECT_FALSE(marker.early());
    EXPECT_TRUE(spoken().filter("Welcome").isEmpty());

    // The user starting it again is a start like any other.
    agentControl.characters.clear();
    load(morning.addSecs(120));
    ASSERT_TRUE(marker.early());
    EXPECT_EQ(spoken().filter("Welcome").size(), 1);
}

TEST_F(DayMarkingTest, AWarningComesByDateEvenForAnotherMonth)
{
    home.writeData("[alarms]\r\n09/00/02/01/2027=NNew year lunch}\r\n");
    load(QDateTime(QDate(2026, 12, 26), QTime(10, 0)));
    ASSERT_TRUE(marker.early());
    EXPECT_EQ(marker.early()->txt_message->toPlainText(),
        "This appointment is due in 1 week:\nSaturday 2 January 2027, 9:00: New year lunch\n\n");
}

TEST_F(DayMarkingTest, AQuietStartGivesOnlyTheThreeDayWarning)
{
    home.writeData("[alarms]\r\n12/00/22/03/2027=NTrip}\r\n12/00/18/03/2027=NRent}\r\n");
    load(QDateTime(QDate(2027, 3, 15), QTime(10, 0, 5)), true);
    ASSERT_TRUE(marker.early());
    EXPECT_EQ(marker.early()->txt_message->toPlainText(),
        "This appointment is due in 3 days:\nThursday 18 March 2027, 12:00: Rent\n\n");
}

TEST_F(DayMarkingTest, PagingMarksTheNewMonthAfterTheImmediateTick)
{
    home.writeData("[alarms]\r\n09/00/10/02/2027=NValentine prep}\r\n"
                   "09/00/28/02/2027=NEnd of month\r\n09/00/05/01/2027=NOld one\r\n");
    load(QDateTime(QDate(2027, 1, 31), QTime(9, 30, 5)));
    frm->blink_Timer();
    const int beepsBefore = beeps;
    const qsizetype boxesBefore = fakes.dialogs.boxes.size();

    frm->com_right_Click();
    EXPECT_EQ(frm->maincalendar->Value(), QDate(2027, 2, 28));
    EXPECT_TRUE(frm->remarkOnly);
    EXPECT_EQ(frm->blink->interval(), 1);
    EXPECT_FALSE(bold(2027, 2, 10));
    frm->blink_Timer();
    EXPECT_TRUE(bold(2027, 2, 10));
    EXPECT_TRUE(bold(2027, 2, 28));
    EXPECT_EQ(beeps, beepsBefore + 2);
    EXPECT_EQ(fakes.dialogs.boxes.size(), boxesBefore); // no old messages either
    EXPECT_FALSE(marker.early()); // paging never warns
    EXPECT_FALSE(frm->remarkOnly);

    frm->com_left_Click();
    EXPECT_EQ(frm->maincalendar->Value(), QDate(2027, 1, 28));
}

TEST_F(DayMarkingTest, AChangeFromOutsideMarksTheMonthAfresh)
{
    home.writeData("[alarms]\r\n09/00/10/02/2027=NStays\r\n09/00/12/02/2027=NGoes\r\n");
    frm.reset();
    // Before the load nothing is marked: the load marks.
    auto early = makeCalendar(false);
    early->appointmentsChanged();
    EXPECT_EQ(beeps, 0);
    early.reset();

    load(QDateTime(QDate(2027, 2, 1), QTime(8, 0, 5)));
    ASSERT_TRUE(bold(2027, 2, 12));
    INIFuncs::INIWrite(home.dataFile(), "alarms", "09/00/12/02/2027", "nothing");
    INIFuncs::INIWrite(home.dataFile(), "alarms", "09/00/04/02/2027", "TSoon}");
    frm->appointmentsChanged();
    EXPECT_TRUE(bold(2027, 2, 10));
    EXPECT_FALSE(bold(2027, 2, 12));
    EXPECT_TRUE(bold(2027, 2, 4));
    EXPECT_FALSE(marker.early()); // marking only: warnings come with the start
}

TEST_F(DayMarkingTest, AnUnreadableDataFileIsReportedAndMarksNothing)
{
    QDir().mkpath(home.dataFile()); // a folder where the file should be
    load(QDateTime(QDate(2027, 3, 15), QTime(10, 0, 5)));
    ASSERT_EQ(fakes.dialogs.boxes.size(), 1);
    EXPECT_EQ(fakes.dialogs.boxes[0].text, marking::kRetryMessage);
    EXPECT_EQ(fakes.dialogs.boxes[0].title, "Error!");
    EXPECT_EQ(fakes.dialogs.boxes[0].icon, MsgIcon::Critical);
    EXPECT_EQ(beeps, 0);
    EXPECT_FALSE(frm->isUnloaded());
}

TEST_F(DayMarkingTest, NoDataFileMarksNothingQuietly)
{
    load(QDateTime(QDate(2027, 3, 15), QTime(10, 0, 5)));
    EXPECT_TRUE(fakes.dialogs.boxes.isEmpty());
    EXPECT_EQ(beeps, 0);
}

// The day query, reached by double-clicks on the calendar on 15 March 2027.
class DayQueryTest : public DayMarkingTest
{
protected:
    void SetUp() override
    {
        home.writeData("[alarms]\r\n09/00/15/03/2027=NToday's one\r\n08/00/24/03/2027=NFirst\r\n"
                       "09/00/24/03/2027=NSecond}\r\n10/00/24/03/2027=NThird\r\n"
                       "09/00/10/04/2027=NApril tenth\r\n09/00/14/03/2027=NYesterday\r\n");
        load(QDateTime(QDate(2027, 3, 15), QTime(8, 0, 5)));
        // Old messages reported, the warning window put away.
        fakes.dialogs.boxes.clear();
        beeps = 0;
        for (auto &[name, character] : agentControl.characters)
            character->calls.clear();
    }
};

TEST_F(DayQueryTest, PastDatesAreRefused)
{
    for (const QDate &date : { QDate(2027, 3, 14), QDate(2027, 2, 20), QDate(2026, 12, 31) }) {
        fakes.dialogs.boxes.clear();
        for (auto &[name, character] : agentControl.characters)
            character->calls.clear();
        doubleClick(date);
        EXPECT_EQ(spoken(), QStringList({ "Sorry, this action is not allowed!" }))
            << date.toString().toStdString();
        ASSERT_EQ(fakes.dialogs.boxes.size(), 1);
        EXPECT_EQ(
            fakes.dialogs.boxes[0].text, "Sorry, you can't set an appointment for an old date");
        EXPECT_EQ(fakes.dialogs.boxes[0].icon, MsgIcon::Exclamation);
    }
    EXPECT_TRUE(manager.dates.isEmpty());
}

TEST_F(DayQueryTest, ABoldDateIsCountedSaidAndListed)
{
    fakes.dialogs.answers = { MsgAnswer::Yes };
    doubleClick(QDate(2027, 3, 24));
    EXPECT_EQ(spoken(), QStringList({ "\\emp\\You have 3 appointments set for this date" }));
    ASSERT_EQ(fakes.dialogs.boxes.size(), 2);
    EXPECT_EQ(fakes.dialogs.boxes[0].text,
        "You have 3 message(s) set for day 24. Would you like to have a quick look at them");
    EXPECT_EQ(fakes.dialogs.boxes[0].title, "Messages!");
    EXPECT_EQ(fakes.dialogs.boxes[0].buttons, MsgButtons::YesNo);
    EXPECT_EQ(fakes.dialogs.boxes[1].text,
        "Message 1 reads:  First\r\nMessage 2 reads:  Second\r\nMessage 3 reads:  Third\r\n");
    EXPECT_EQ(fakes.dialogs.boxes[1].icon, MsgIcon::Information);

    // Today is not past; declining the look offers an appointment, Yes opens the manager.
    fakes.dialogs.boxes.clear();
    fakes.dialogs.answers = { MsgAnswer::No, MsgAnswer::Yes };
    doubleClick(QDate(2027, 3, 15));
    ASSERT_EQ(fakes.dialogs.boxes.size(), 2);
    EXPECT_EQ(fakes.dialogs.boxes[0].text,
        "You have 1 message set for day 15. Would you like to have a quick look at it?");
    EXPECT_EQ(fakes.dialogs.boxes[1].title, "Would you?");
    EXPECT_EQ(manager.dates, QList<QDate>({ QDate(2027, 3, 15) }));
}

TEST_F(DayQueryTest, ALaterMonthsSmallerDayGetsNoOfferAfterDecliningTheLook)
{
    fakes.dialogs.answers = { MsgAnswer::No };
    doubleClick(QDate(2027, 4, 10));
    frm->blink_Timer(); // the month changed: April's marks
    fakes.dialogs.boxes.clear();
    fakes.dialogs.answers = { MsgAnswer::No };
    doubleClick(QDate(2027, 4, 10));
    ASSERT_EQ(fakes.dialogs.boxes.size(), 1);
    EXPECT_EQ(fakes.dialogs.boxes[0].title, "Messages!");
    EXPECT_TRUE(manager.dates.isEmpty());
}

TEST_F(DayQueryTest, AnUnmarkedDateOffersAnAppointmentWithoutReadingTheFile)
{
    int reads = 0;
    frm->readDataFile = [&](const QString &) -> std::optional<QByteArray> {
        ++reads;
        return QByteArray();
    };
    fakes.dialogs.answers = { MsgAnswer::Yes };
    doubleClick(QDate(2027, 3, 25));
    EXPECT_EQ(spoken(),
        QStringList({ "\\emp\\You dont have any appointments set for this day, \\emp\\do you want "
                      "to set one now?" }));
    ASSERT_EQ(fakes.dialogs.boxes.size(), 1);
    EXPECT_EQ(fakes.dialogs.boxes[0].title, "Attention!");
    EXPECT_EQ(fakes.dialogs.boxes[0].text,
        "You don`t have any appointments set for this date, do you want to set one now?");
    EXPECT_EQ(reads, 0);
    EXPECT_EQ(manager.dates, QList<QDate>({ QDate(2027, 3, 25) }));
}

TEST_F(DayQueryTest, AppointmentsClearedSinceTheMarkingShowNothing)
{
    home.writeData("[alarms]\r\n08/00/24/03/2027=nothing\r\n");
    doubleClick(QDate(2027, 3, 24));
    EXPECT_TRUE(spoken().isEmpty());
    EXPECT_TRUE(fakes.dialogs.boxes.isEmpty());

    // Gone altogether between the count and the list: still nothing, no box.
    home.writeData("[alarms]\r\n08/00/24/03/2027=NFirst\r\n");
    int reads = 0;
    frm->readDataFile = [&](const QString &path) -> std::optional<QByteArray> {
        if (++reads > 1)
            QFile::remove(path);
        return readWholeFile(path);
    };
    fakes.dialogs.answers = { MsgAnswer::Yes };
    doubleClick(QDate(2027, 3, 24));
    EXPECT_EQ(fakes.dialogs.boxes.size(), 1); // the question only
}

TEST_F(DayQueryTest, AFileThatCannotBeReadSkipsTheCountAndRetriesTheList)
{
    int reads = 0;
    frm->readDataFile = [&](const QString &) -> std::optional<QByteArray> {
        ++reads;
        return std::nullopt;
    };
    doubleClick(QDate(2027, 3, 24));
    EXPECT_TRUE(spoken().isEmpty());
    EXPECT_EQ(reads, 1 + 10);
    ASSERT_EQ(fakes.dialogs.boxes.size(), 1);
    EXPECT_EQ(fakes.dialogs.boxes[0].text, marking::kRetryMessage);
    EXPECT_EQ(fakes.dialogs.boxes[0].icon, MsgIcon::Information);

    // A failure on the third attempt of the list, then the file: a complete list.
    reads = 0;
    fakes.dialogs.boxes.clear();
    frm->readDataFile = [&](const QString &path) -> std::optional<QByteArray> {
        if (++reads <= 3)
            return std::nullopt;
        return readWholeFile(path);
    };
    doubleClick(QDate(2027, 3, 24));
    ASSERT_EQ(fakes.dialogs.boxes.size(), 1);
    EXPECT_TRUE(fakes.dialogs.boxes[0].text.startsWith("Message 1 reads:  First"));
}

} // namespace

namespace {

TEST_F(DayMarkingTest, ARightReleaseOnTheMonthAsksForTheMainMenu)
{
    load(QDateTime(QDate(2027, 3, 15), QTime(10, 0, 5)));
    QList<QPoint> asked;
    QObject::connect(
        frm.get(), &FrmMain::mainMenuRequested, [&](const QPoint &at) { asked << at; });
    emit frm->maincalendar->MouseUp(Qt::LeftButton, Qt::NoModifier, 30, 40);
    EXPECT_TRUE(asked.isEmpty());
    emit frm->maincalendar->MouseUp(Qt::RightButton, Qt::NoModifier, 30, 40);
    ASSERT_EQ(asked.size(), 1);
    EXPECT_EQ(asked[0], frm->maincalendar->mapToGlobal(QPoint(30, 40)));
}

} // namespace
