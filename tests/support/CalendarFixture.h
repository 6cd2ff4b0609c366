#pragma once

#include "calendar/FrmMain.h"
#include "calendar/WindowLinks.h"
#include "storage/ModClock.h"
#include "storage/Settings.h"
#include "tests/support/FakeAgent.h"
#include "tests/support/Fakes.h"
#include "tests/support/RecordingLinks.h"
#include "tests/support/TestHome.h"

#include <gtest/gtest.h>

#include <memory>

// What every test of the calendar window needs: fakes, an isolated home, the
// settings, recording links and the window itself, loaded on demand.
class CalendarFixture : public ::testing::Test
{
protected:
    CalendarFixture()
    {
        settings.write(setting::TwoRun, "False");
        agentControl.completeAtOnce = true;
    }

    // A fresh calendar window, loaded; the character of an earlier one goes.
    FrmMain &loadCalendar(
        bool quiet, BackupWindow *backup = nullptr, ColourPanel *colourPanel = nullptr)
    {
        frm.reset();
        agentControl.characters.clear();
        frm = makeCalendar(quiet, backup, colourPanel);
        frm->setShowDuringLoad(showDuringLoad);
        frm->Form_Load();
        return *frm;
    }
    // A calendar window on the fixture's fakes and links, not yet loaded:
    // for a look before its load, or beside the fixture's own.
    std::unique_ptr<FrmMain> makeCalendar(
        bool quiet, BackupWindow *backup = nullptr, ColourPanel *colourPanel = nullptr)
    {
        return std::make_unique<FrmMain>(fakes.services, settings, modClock, home.paths(),
            FrmMain::Links {
                *messageLink, manager, versionCheck, *markingLink, backup, colourPanel },
            agentControl, quiet);
    }
    FakeCharacter &character() { return *agentControl.characters.at(settings.read(setting::Char)); }

    FakeServices fakes;
    TestHome home;
    SettingsStore settings { home.paths().settingsFile };
    ModClock modClock { fakes.clock, fakes.autostart, fakes.network, home.paths().windowsFolder() };
    RecordingAnnouncer announcer;
    RecordingManager manager;
    RecordingVersionCheck versionCheck;
    RecordingDayMarking marking;
    FakeAgentControl agentControl;
    // What the windows are linked to: a test may point these at its own
    // before it makes a window (and resets `frm` before they go).
    Announcer *messageLink = &announcer;
    DayMarking *markingLink = &marking;
    bool showDuringLoad = true;
    std::unique_ptr<FrmMain> frm;
};
