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
        frm = std::make_unique<FrmMain>(fakes.services, settings, modClock, home.paths(),
            FrmMain::Links { announcer, manager, versionCheck, marking, backup, colourPanel },
            agentControl, quiet);
        frm->Form_Load();
        return *frm;
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
    std::unique_ptr<FrmMain> frm;
};
