#include "announce/CharacterControl.h"
#include "calendar/FrmMain.h"
#include "calendar/MonthView.h"
#include "calendar/WindowLinks.h"
#include "platform/Autostart.h"
#include "storage/ModClock.h"
#include "storage/Settings.h"
#include "tests/support/CalendarFixture.h"
#include "tests/support/FakeAgent.h"
#include "tests/support/Fakes.h"
#include "tests/support/RecordingLinks.h"
#include "tests/support/TestHome.h"
#include "tray/FrmSysTray.h"

#include <QTimer>
#include <QWindow>

#include <gtest/gtest.h>

namespace {

class LoadTest : public CalendarFixture
{
protected:
    FakeCharacter &start(bool quiet)
    {
        loadCalendar(quiet);
        return character();
    }
    static QStringList without(QStringList calls, const QString &prefix)
    {
        calls.removeIf([&](const QString &c) { return c.startsWith(prefix); });
        return calls;
    }
};

TEST_F(LoadTest, TheLoadStepsComeInOrder)
{
    for (bool quiet : { false, true }) {
        QStringList journal;
        agentControl.journal = &journal;
        fakes.autostart.journal = &journal;
        marking.journal = &journal;
        agentControl.characters.clear();
        settings.write(setting::LastReboot, "01/01/2000");
        start(quiet);
        journal.removeIf([](const QString &c) { return c.startsWith("MoveTo"); });
        const QStringList normal { "Load:Tockel", "SoundEffectsOn:true", "Show", "Play:Pleased",
            "RunListRead", "RunListRead", "Stop", "Show", "Speak:\\emp\\Welcome to Quillory !",
            "Play:Pleased", "underline:0" };
        const QStringList restart { "Load:Tockel", "SoundEffectsOn:true", "Show", "RunListRead",
            "underline:0" };
        EXPECT_EQ(journal, quiet ? restart : normal) << (quiet ? "/n" : "normal");
        // Step 1 before all, 9 and 10 before the greeting's end, 12 to 14 at the end.
        EXPECT_EQ(settings.read(setting::LastReboot), "08/12/2026");
        EXPECT_TRUE(frm->m_frmSysTray);
        EXPECT_TRUE(frm->blink->isActive());
        EXPECT_EQ(frm->maincalendar->Value(), QDate(2026, 12, 8));
        EXPECT_EQ(frm->character->nextGesture(), quiet ? 0 : 1);
        EXPECT_FALSE(frm->remarkOnly);
        agentControl.journal = nullptr;
        fakes.autostart.journal = nullptr;
        marking.journal = nullptr;
    }
}

TEST_F(LoadTest, TheCalendarIsDrawnBeforeTheCharacterLoadsAndAnEndAskedMeanwhileStopsTheLoad)
{
    // A paint of the calendar is journalled when it happens: before "Load".
    QStringList journal;
    agentControl.journal = &journal;
    frm = makeCalendar(true);
    struct PaintSpy : QObject
    {
        QStringList &journal;
        explicit PaintSpy(QStringList &j)
            : journal(j)
        { }
        bool eventFilter(QObject *, QEvent *e) override
        {
            if (e->type() == QEvent::Expose && !journal.contains("drawn"))
                journal << "drawn";
            return false;
        }
    } spy(journal);
    frm->winId();
    frm->windowHandle()->installEventFilter(&spy);
    frm->Form_Load();
    ASSERT_GE(journal.size(), 2);
    EXPECT_EQ(journal.mid(0, 2), (QStringList { "drawn", "Load:Tockel" }));
    EXPECT_TRUE(frm->isVisible());
    frm->windowHandle()->removeEventFilter(&spy);
    agentControl.journal = nullptr;

    // The system asks the calendar to end while its window comes up: the
    // character is not loaded and neither the heartbeat nor the tray starts.
    agentControl.characters.clear();
    agentControl.loads.clear();
    frm = makeCalendar(true);
    QTimer::singleShot(0, frm.get(), [this] { frm->Form_Unload(); });
    frm->Form_Load();
    EXPECT_TRUE(frm->isUnloaded());
    EXPECT_TRUE(agentControl.loads.isEmpty());
    EXPECT_FALSE(frm->blink->isActive());
    EXPECT_EQ(frm->m_frmSysTray, nullptr);
    EXPECT_FALSE(frm->isVisible());
}

TEST_F(LoadTest, NormalStartWalksOutPlaysPleasedAndGreets)
{
    FakeCharacter &c = start(false);
    EXPECT_EQ(agentControl.loads, QStringList { "Tockel|Tockel.acs" });
    const QStringList calls = without(c.calls, "MoveTo");
    EXPECT_EQ(calls.mid(0, 3), (QStringList { "SoundEffectsOn:true", "Show", "Play:Pleased" }));
    EXPECT_TRUE(c.calls.contains("Speak:\\emp\\Welcome to Quillory !"));
    EXPECT_EQ(c.calls.count("Hide"), 0);
    EXPECT_EQ(frm->character->nextGesture(), 1); // the greeting played gesture 0
}

TEST_F(LoadTest, QuietRestartNeitherGreetsNorPlaysAndShowsOnlyWhenNotHidden)
{
    settings.write(setting::SoundFx, "false");
    FakeCharacter &c = start(true);
    EXPECT_EQ(without(c.calls, "MoveTo"), (QStringList { "SoundEffectsOn:false", "Show" }));

    settings.write(setting::Hide, "True");
    agentControl.characters.clear();
    FakeCharacter &hidden = start(true);
    EXPECT_EQ(without(hidden.calls, "MoveTo"), (QStringList { "SoundEffectsOn:false", "Hide" }));
}

TEST_F(LoadTest, GreetingOnlyWhileTheStartAtLoginValueWasNeverWritten)
{
    fakes.autostart.write(Autostart::List::Run, "Quillory", "");
    FakeCharacter &c = start(false);
    EXPECT_FALSE(c.calls.contains("Speak:\\emp\\Welcome to Quillory !"));
    EXPECT_FALSE(frm->startAtLogin);

    fakes.autostart.write(Autostart::List::Run, "Quillory", "/usr/bin/quillory");
    agentControl.characters.clear();
    start(false);
    EXPECT_TRUE(frm->startAtLogin);
}

TEST_F(LoadTest, AMissingCharacterStillBringsTheCalendarUp)
{
    agentControl.loadable = { "Bramble" };
    frm = std::make_unique<FrmMain>(fakes.services, settings, modClock, home.paths(),
        FrmMain::Links { announcer, manager, versionCheck, marking }, agentControl, false);
    frm->Form_Load();
    EXPECT_TRUE(frm->blink->isActive());
    EXPECT_EQ(frm->character->agentchar, nullptr);
    EXPECT_LT(fakes.clock.monotonicMs(), 1000); // the wait for "Pleased" ended at once
}

TEST_F(LoadTest, HomeOfTheCharacterFollowsTheWindow)
{
    settings.write(setting::FormX, "300");
    settings.write(setting::FormY, "300");
    FakeCharacter &c = start(true);
    const double tpp = frm->twipsPerPixel();
    const int x = qRound((300 + frm->width() * tpp + 1000) / tpp - 64);
    const int y = qRound((300 + frm->height() * tpp - 900) / tpp - 64);
    EXPECT_EQ(c.calls[1], QString("MoveTo:%1,%2").arg(x).arg(y));
}

} // namespace
