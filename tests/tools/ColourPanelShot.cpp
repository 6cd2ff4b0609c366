// Shows the colour panel beside a calendar window on fakes, so the panel can
// be looked at on a real display, and saves a picture of it.
//
//   quillory_colour_shot PANEL.png [restore]
//
// With "restore" the panel's "Restore to default" is pressed first. The two
// windows stay open for a screenshot of the whole screen until closed.
#include "calendar/FrmMain.h"
#include "colour/FrmColour.h"
#include "storage/ModClock.h"
#include "storage/Settings.h"
#include "tests/support/FakeAgent.h"
#include "tests/support/Fakes.h"
#include "tests/support/RecordingLinks.h"
#include "tests/support/TestHome.h"

#include <QApplication>
#include <QPushButton>
#include <QTimer>

#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s PANEL.png [restore]\n", argv[0]);
        return 2;
    }
    const QString picture = QString::fromLocal8Bit(argv[1]);
    const bool restore = argc > 2 && QByteArray(argv[2]) == "restore";

    FakeServices fakes;
    fakes.clock.set(QDateTime::currentDateTime());
    TestHome home;
    SettingsStore settings(home.paths().settingsFile);
    settings.write(setting::TwoRun, "False");
    ModClock modClock(fakes.clock, fakes.autostart, fakes.network, home.paths().windowsFolder());
    RecordingAnnouncer announcer;
    RecordingManager manager;
    RecordingVersionCheck versionCheck;
    RecordingDayMarking marking;
    FakeAgentControl agentControl;
    agentControl.completeAtOnce = true;

    FrmMain calendar(fakes.services, settings, modClock, home.paths(),
        FrmMain::Links { announcer, manager, versionCheck, marking }, agentControl, true);
    calendar.Form_Load();
    calendar.move(40, 40);
    FrmColour panel(fakes.services, settings,
        FrmColour::Host { [&](const QString &text) { calendar.say(text); },
            [&]() -> CalendarColours * { return &calendar; } });
    panel.Form_Load();
    panel.move(calendar.frameGeometry().right() + 40, 40);
    if (restore)
        panel.Command7->click();

    QTimer::singleShot(500, &panel, [&] {
        if (!panel.grab().save(picture))
            std::fprintf(stderr, "cannot write %s\n", argv[1]);
    });
    QObject::connect(&panel, &FrmColour::closed, &app, &QApplication::quit);
    return app.exec();
}
