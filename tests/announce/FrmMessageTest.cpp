#include "announce/FrmMessage.h"
#include "storage/ModClock.h"
#include "storage/Settings.h"
#include "tests/support/FakeAgent.h"
#include "tests/support/FakeNotifier.h"
#include "tests/support/Fakes.h"
#include "tests/support/TestHome.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

class MessageTest : public ::testing::Test
{
protected:
    MessageTest()
    {
        agentControl.Load("Tockel", "Tockel.acs");
        character = agentControl.characters.at("Tockel").get();
        window = std::make_unique<FrmMessage>(settings, modClock, agentControl,
            FrmMessage::Host { [this](const QString &t) { said << t; }, [this] { ++restarts; },
                [] { return 15.0; }, home.paths().pendingFile(), {} });
    }
    QString shown() const { return window->txt_message->toPlainText(); }

    FakeServices fakes;
    TestHome home;
    SettingsStore settings { home.paths().settingsFile };
    ModClock modClock { fakes.clock, fakes.autostart, fakes.network, home.paths().windowsFolder() };
    FakeAgentControl agentControl;
    FakeCharacter *character = nullptr;
    std::unique_ptr<FrmMessage> window;
    QStringList said;
    int restarts = 0;
};

TEST_F(MessageTest, UnconfirmedTextIsShownAlertedAndSpokenWithoutTheMarker)
{
    window->Show();
    EXPECT_EQ(window->size(), QSize(486, 183)); // 7290 x 2745 twips
    EXPECT_EQ(window->windowTitle(), "You have a new message waiting");
    const qint64 before = fakes.clock.monotonicMs();
    window->display(false, "Buy bread}");
    EXPECT_EQ(shown(), "Buy bread");
    EXPECT_EQ(said, QStringList { "Buy bread" });
    EXPECT_EQ(character->calls, (QStringList { "Show", "Play:alert", "Play:alert" }));
    EXPECT_EQ(fakes.clock.monotonicMs() - before, 4000);

    window->Command1_Click(); // revealed: acknowledging restarts the calendar
    EXPECT_EQ(restarts, 1);
}

TEST_F(MessageTest, ConfirmedTextWaitsForOkThenRestartsOnTheSecond)
{
    window->Show();
    window->display(true, "Dentist, This announcement will not be repeated");
    EXPECT_EQ(shown(), FrmMessage::kPlaceholder);
    EXPECT_TRUE(said.isEmpty());
    window->Command1_Click();
    EXPECT_EQ(shown(), "Dentist, This announcement will not be repeated");
    EXPECT_EQ(said.size(), 1);
    EXPECT_EQ(restarts, 0);
    window->Command1_Click();
    EXPECT_EQ(restarts, 1);
}

TEST_F(MessageTest, TheAlertIsHeardEvenWithSoundEffectsOff)
{
    character->soundEffects = false;
    window->Show();
    window->display(false, "Tea");
    EXPECT_EQ(character->calls,
        (QStringList {
            "Show", "SoundEffectsOn:true", "Play:alert", "Play:alert", "SoundEffectsOn:false" }));
    EXPECT_FALSE(character->soundEffects);
}

TEST_F(MessageTest, WithoutACharacterTheTextIsStillShownAndSpoken)
{
    agentControl.characters.clear();
    window->Show();
    window->display(false, "Tea");
    EXPECT_EQ(shown(), "Tea");
    EXPECT_EQ(said, QStringList { "Tea" });
}

TEST_F(MessageTest, SnoozeComesBackOnTheFifthMinuteOnlyOnce)
{
    window->Show();
    window->display(false, "Tea");
    said.clear();
    window->com_snooze_Click();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(said, QStringList { "The appointment will show again in five minutes" });
    EXPECT_EQ(window->snooze->interval(), 60000);
    for (int minute = 1; minute <= 4; ++minute) {
        window->snooze_Timer();
        EXPECT_FALSE(window->isVisible()) << minute;
    }
    window->snooze_Timer();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(said.last(), "Please respond to this appointment");
    EXPECT_FALSE(window->snooze->isActive());
    EXPECT_EQ(shown(), "Tea"); // back in the state it was in
}

TEST_F(MessageTest, ANewAppointmentWhileSnoozingShowsAtOnce)
{
    window->Show();
    window->display(false, "First");
    window->com_snooze_Click();
    window->Show();
    window->display(false, "Second");
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(shown(), "Second");
    EXPECT_TRUE(window->snooze->isActive());
}

TEST_F(MessageTest, TheDelayOfTheFirstShowComesAfterTheAnnouncementIsKept)
{
    settings.write(setting::Delay, "True");
    const qint64 start = fakes.clock.monotonicMs();
    window->Show();
    // Looked at one second into the delay, as a crash there would leave it.
    QList<announce::Announcement> keptDuringDelay;
    auto look = fakes.clock.timer(
        [&] { keptDuringDelay = announce::readPendingFile(home.paths().pendingFile()).pending; },
        false);
    look->start(1000);
    window->display(false, "Dentist");
    ASSERT_EQ(keptDuringDelay.size(), 1);
    EXPECT_EQ(keptDuringDelay[0].text, "Dentist");
    const qint64 first = fakes.clock.monotonicMs() - start;
    EXPECT_GE(first, 8000);
    window->hide();
    window->Show();
    window->display(false, "Lunch");
    EXPECT_LT(fakes.clock.monotonicMs() - start - first, 8000); // only the first show waits
}

TEST_F(MessageTest, SpeechTagsAreNeverShown)
{
    window->Show();
    window->display(false, "\\emp\\Enjoy the calendar");
    EXPECT_EQ(shown(), "Enjoy the calendar");
    EXPECT_EQ(said, QStringList { "\\emp\\Enjoy the calendar" });
}

TEST_F(MessageTest, AnnouncementsQueueAndEachOkAcknowledgesTheOneShown)
{
    window->Show();
    window->display(false, "Tea");
    window->display(true, "Dentist, This announcement will not be repeated");
    // The newest is shown, with the way back to the first.
    EXPECT_EQ(shown(), FrmMessage::kPlaceholder);
    EXPECT_FALSE(window->lab_page->isHidden());
    EXPECT_EQ(window->lab_page->text(), "2 of 2");
    EXPECT_FALSE(window->com_next->isEnabled());

    window->com_previous_Click();
    EXPECT_EQ(shown(), "Tea");
    EXPECT_EQ(window->lab_page->text(), "1 of 2");
    said.clear();
    window->Command1_Click(); // acknowledges "Tea" only
    EXPECT_EQ(restarts, 0);
    ASSERT_EQ(window->pending().size(), 1);
    EXPECT_EQ(shown(), FrmMessage::kPlaceholder);
    EXPECT_TRUE(window->lab_page->isHidden());

    window->Command1_Click(); // reveals
    EXPECT_EQ(shown(), "Dentist, This announcement will not be repeated");
    EXPECT_EQ(said, QStringList { "Dentist, This announcement will not be repeated" });
    EXPECT_EQ(restarts, 0);
    window->Command1_Click(); // none left: the calendar restarts
    EXPECT_EQ(restarts, 1);
    EXPECT_FALSE(QFile::exists(home.paths().pendingFile()));
}

TEST_F(MessageTest, AnAnnouncementMadeDuringAnotherOnesAlertKeepsBothTexts)
{
    window->Show();
    // The alert's wait runs events: another announcement comes in it.
    QTimer::singleShot(0, window.get(), [this] { window->display(false, "Inner"); });
    window->display(false, "Outer");
    EXPECT_EQ(said, (QStringList { "Inner", "Outer" }));
    ASSERT_EQ(window->pending().size(), 2);
    EXPECT_EQ(window->pending()[0].text, "Outer");
    EXPECT_EQ(window->pending()[1].text, "Inner");
}

TEST_F(MessageTest, UnacknowledgedAnnouncementsComeBackAfterARestart)
{
    window->Show();
    window->display(false, "Tea");
    window->display(true, "Dentist");
    window->com_snooze_Click(); // then the program ends within the snooze
    const QList<announce::Announcement> before = window->pending();
    window.reset();

    said.clear();
    character->calls.clear();
    FrmMessage next(settings, modClock, agentControl,
        FrmMessage::Host { [this](const QString &t) { said << t; }, [this] { ++restarts; },
            [] { return 15.0; }, home.paths().pendingFile(), {} });
    next.restorePending();
    EXPECT_EQ(next.pending(), before);
    EXPECT_TRUE(next.isVisible());
    EXPECT_EQ(next.txt_message->toPlainText(), FrmMessage::kPlaceholder);
    EXPECT_EQ(said, QStringList { "Please respond to this appointment" });
    EXPECT_TRUE(character->calls.contains("Play:alert"));

    next.Command1_Click();
    next.Command1_Click();
    next.Command1_Click();
    EXPECT_EQ(restarts, 1);
    EXPECT_FALSE(QFile::exists(home.paths().pendingFile()));
}

TEST_F(MessageTest, ASnoozeOutlivesARestartAndEndsWhenItsFiveMinutesAreUp)
{
    auto host = [this] {
        return FrmMessage::Host { [this](const QString &t) { said << t; }, [this] { ++restarts; },
            [] { return 15.0; }, home.paths().pendingFile(), [this] { return fakes.clock.now(); } };
    };
    window = std::make_unique<FrmMessage>(settings, modClock, agentControl, host());
    window->Show();
    window->display(false, "Tea");
    window->com_snooze_Click();
    window.reset();

    // Restarted two minutes into the snooze: still hidden, back after three.
    fakes.clock.set(fakes.clock.now().addSecs(120));
    said.clear();
    FrmMessage next(settings, modClock, agentControl, host());
    next.restorePending();
    EXPECT_FALSE(next.isVisible());
    EXPECT_TRUE(said.isEmpty());
    ASSERT_TRUE(next.snooze->isActive());
    EXPECT_EQ(next.snooze->interval(), 180000);
    next.snooze_Timer();
    EXPECT_TRUE(next.isVisible());
    EXPECT_EQ(next.txt_message->toPlainText(), "Tea");
    EXPECT_EQ(said, QStringList { "Please respond to this appointment" });
    EXPECT_FALSE(announce::readPendingFile(home.paths().pendingFile()).snoozedUntil.isValid());

    // A snooze whose time passed while the calendar was not running shows at once.
    next.com_snooze_Click();
    fakes.clock.set(fakes.clock.now().addSecs(600));
    FrmMessage later(settings, modClock, agentControl, host());
    later.restorePending();
    EXPECT_TRUE(later.isVisible());
}

TEST_F(MessageTest, NothingToRestoreShowsNothing)
{
    TestHome::writeFile(home.paths().pendingFile(), "quillory pending 1\nnot a line\n");
    window->restorePending();
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(said.isEmpty());
}

TEST(PendingFile, RoundTripsAnyTextAndSkipsWhatItCannotRead)
{
    const QList<announce::Announcement> pending {
        { "Line one\nline two\ttabbed \\ back\\slash \u00e9t\u00e9 \u20ac", false, true },
        { "Dentist, This announcement will not be repeated", true, false },
        { "Revealed", true, true },
        { "", false, true },
    };
    const QByteArray bytes = announce::pendingFileText(pending);
    EXPECT_EQ(bytes.count('\n'), 5); // one line each, after the header
    EXPECT_EQ(announce::readPendingText(bytes).pending, pending);

    const announce::PendingRead bad = announce::readPendingText(
        "quillory pending 1\r\n--\tok\r\nXX\tbad flags\r\n-\r\n\r\nC-\tconfirm\r\n");
    ASSERT_EQ(bad.pending.size(), 2);
    EXPECT_EQ(bad.pending[0].text, "ok");
    EXPECT_TRUE(bad.pending[0].revealed); // an unconfirmed one is always readable
    EXPECT_TRUE(bad.pending[1].confirm);
    EXPECT_EQ(bad.skipped, 2);
    // No header (a file from elsewhere): its lines are still judged one by one.
    EXPECT_EQ(announce::readPendingText("--\tok\n").pending.size(), 1);
    EXPECT_TRUE(announce::readPendingText(QByteArray("\0\xff\xfe", 3)).pending.isEmpty());
}

TEST(PendingFile, LimitsCutAHugeFile)
{
    QByteArray huge = "quillory pending 1\n";
    for (int i = 0; i < announce::kMaxPending + 10; ++i)
        huge += "--\t" + QByteArray(announce::kMaxPendingText + 100, 'x') + "\n";
    const announce::PendingRead read = announce::readPendingText(huge);
    EXPECT_LE(read.pending.size(), announce::kMaxPending);
    for (const auto &a : read.pending)
        EXPECT_EQ(a.text.size(), announce::kMaxPendingText);
}

TEST(PendingFile, WritesAtomicallyRemovesWhenEmptyAndReportsFailure)
{
    TestHome home;
    const QString path = home.paths().pendingFile();
    QString error;
    EXPECT_TRUE(announce::writePendingFile(path, { { "Tea", false, true } }, {}, &error));
    EXPECT_EQ(announce::readPendingFile(path).pending.size(), 1);
    EXPECT_TRUE(announce::writePendingFile(path, {}, {}, &error));
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_TRUE(announce::readPendingFile(path).pending.isEmpty()); // missing: nothing waits

    EXPECT_FALSE(announce::writePendingFile(
        home.paths().dataFolder + "/missing/pending.txt", { { "Tea", false, true } }, {}, &error));
    EXPECT_FALSE(error.isEmpty());
}

// The message window with a notification server and a clock of its own.
class NoticeTest : public MessageTest
{
protected:
    NoticeTest() { reopen(); }
    void reopen()
    {
        window = std::make_unique<FrmMessage>(settings, modClock, agentControl,
            FrmMessage::Host { [this](const QString &t) { said << t; }, [this] { ++restarts; },
                [] { return 15.0; }, home.paths().pendingFile(),
                [this] { return fakes.clock.now(); } });
        window->setNotifier(&notifier);
    }
    bool alerted() const { return character->calls.contains("Play:alert"); }

    FakeNotifier notifier;
};

TEST_F(NoticeTest, EachAnnouncementIsPostedAndAnsweringTheWindowWithdrawsIt)
{
    window->Show();
    window->display(false, "Tea}");
    window->display(true, "Dentist");
    ASSERT_EQ(notifier.posted.size(), 2);
    EXPECT_EQ(notifier.posted[0].summary, "Quillory");
    EXPECT_TRUE(notifier.posted[0].body.endsWith("\nTea"));
    EXPECT_FALSE(notifier.posted[1].body.contains("Dentist")); // asks to be confirmed first
    EXPECT_EQ(notifier.shown.size(), 2);

    window->Command1_Click(); // reveals "Dentist" at the window
    EXPECT_EQ(notifier.shown.size(), 1);
    window->Command1_Click();
    window->Command1_Click(); // "Tea"
    EXPECT_TRUE(notifier.shown.isEmpty());
    EXPECT_EQ(notifier.withdrawn.size(), 2); // each withdrawn once
    EXPECT_EQ(restarts, 1);
}

TEST_F(NoticeTest, AnActionAnswersItsOwnPageAsTheButtonsWould)
{
    window->Show();
    window->display(false, "Tea");
    window->display(false, "Lunch");
    notifier.answer(notifier.handleOf("Tea"), "ok");
    ASSERT_EQ(window->pending().size(), 1);
    EXPECT_EQ(window->pending()[0].text, "Lunch");
    EXPECT_EQ(restarts, 0);

    said.clear();
    notifier.answer(notifier.handleOf("Lunch"), "snooze-15");
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(said, QStringList { "The appointment will show again in fifteen minutes" });
    EXPECT_EQ(announce::readPendingFile(home.paths().pendingFile()).snoozedUntil,
        fakes.clock.now().addSecs(15 * 60));
    for (int minute = 1; minute < 15; ++minute)
        window->snooze_Timer();
    EXPECT_FALSE(window->isVisible());
    const qsizetype posted = notifier.posted.size();
    window->snooze_Timer();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(notifier.posted.size(), posted + 1); // back with the window
    EXPECT_TRUE(notifier.posted.last().body.endsWith("\nLunch"));

    // A confirmed appointment's "Ok" from the notification reveals it.
    window->display(true, "Dentist");
    said.clear();
    notifier.answer(notifier.handleOf(QString::fromUtf8("press Ok to read")), "ok");
    EXPECT_EQ(shown(), "Dentist");
    EXPECT_EQ(said, QStringList { "Dentist" });
    notifier.answer(12345, "ok"); // nothing of ours
    EXPECT_EQ(window->pending().size(), 2);
}

TEST_F(NoticeTest, ANotificationClosedByTheUserLeavesTheWindowAsItIs)
{
    window->Show();
    window->display(false, "Tea");
    notifier.dismiss(notifier.handleOf("Tea"));
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(shown(), "Tea");
    ASSERT_EQ(window->pending().size(), 1);
    window->Command1_Click();
    EXPECT_TRUE(notifier.withdrawn.isEmpty()); // gone already: nothing to withdraw
    EXPECT_EQ(restarts, 1);
}

TEST_F(NoticeTest, TurnedOffOrWithoutAServerNothingElseChanges)
{
    for (const bool off : { true, false }) {
        settings.write(setting::Notify, off ? "False" : "True");
        notifier.server = off; // off with a server, on without one
        said.clear();
        character->calls.clear();
        reopen();
        window->Show();
        window->display(false, "Tea");
        EXPECT_TRUE(notifier.posted.isEmpty());
        EXPECT_EQ(said, QStringList { "Tea" });
        EXPECT_TRUE(alerted());
        window->Command1_Click();
    }
}

TEST_F(NoticeTest, DoNotDisturbHoldsTheSoundUntilTheUserIsBack)
{
    notifier.setInhibited(true);
    window->Show();
    window->display(false, "Tea");
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(shown(), "Tea");
    EXPECT_EQ(notifier.posted.size(), 1);
    EXPECT_TRUE(said.isEmpty());
    EXPECT_FALSE(alerted());

    // The first key pressed anywhere in the program.
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Shift, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &press);
    QCoreApplication::processEvents();
    EXPECT_EQ(said, QStringList { "Tea" });
    EXPECT_TRUE(alerted());

    // Or the end of the do-not-disturb.
    said.clear();
    character->calls.clear();
    window->display(false, "Lunch");
    EXPECT_TRUE(said.isEmpty());
    notifier.setInhibited(false);
    EXPECT_EQ(said, QStringList { "Lunch" });
    EXPECT_TRUE(alerted());
}

TEST_F(NoticeTest, TheSnoozeChoiceSetsThisSnoozesLengthAndOutlivesARestart)
{
    // Reached with Tab right after "Snooze !".
    EXPECT_EQ(window->com_snoozefor->focusPolicy(), Qt::StrongFocus);
    EXPECT_EQ(window->com_snooze->nextInFocusChain(), window->com_snoozefor);
    EXPECT_EQ(window->com_snoozefor->accessibleName(), "Snooze for");
    QStringList captions;
    for (const QAction *a : window->com_snoozefor->menu()->actions())
        captions << a->text();
    EXPECT_EQ(captions,
        QStringList({ "5 minutes", "10 minutes", "15 minutes", "30 minutes", "1 hour",
            "until tomorrow 9:00" }));

    window->Show();
    window->display(false, "Tea");
    window->com_snoozefor->menu()->actions().last()->trigger();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(said.last(), "The appointment will show again tomorrow at nine");
    const QDateTime nine(fakes.clock.now().date().addDays(1), QTime(9, 0));
    EXPECT_EQ(announce::readPendingFile(home.paths().pendingFile()).snoozedUntil, nine);
    EXPECT_TRUE(notifier.shown.isEmpty()); // the notification waits with the window

    // Restarted in the evening: still snoozed; back at nine by the wall clock.
    fakes.clock.set(fakes.clock.now().addSecs(8 * 3600));
    said.clear();
    reopen();
    window->restorePending();
    EXPECT_FALSE(window->isVisible());
    ASSERT_TRUE(window->snooze->isActive());
    window->snooze_Timer();
    EXPECT_FALSE(window->isVisible());
    fakes.clock.set(nine); // the computer slept through the night's minutes
    window->snooze_Timer();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(said, QStringList { "Please respond to this appointment" });
    EXPECT_EQ(notifier.shown.size(), 1);

    // A click on "Snooze !" itself keeps its five minutes.
    window->com_snooze_Click();
    EXPECT_EQ(
        announce::readPendingFile(home.paths().pendingFile()).snoozedUntil, nine.addSecs(5 * 60));

    // An end no snooze could have (a file gone wrong) hides nothing.
    TestHome::writeFile(
        home.paths().pendingFile(), "quillory pending 1\nZ\t2999-01-01T09:00:00\n-R\tTea\n");
    reopen();
    window->restorePending();
    EXPECT_TRUE(window->isVisible());
}

} // namespace
