// Shows the manager at its list tab on fakes, with the appointments of a
// data file, so the tab can be looked at on a real display, and saves a
// picture of it.
//
//   quillory_manager_shot LIST.png [DATAFILE]
#include "announce/CharacterControl.h"
#include "manager/FrmSet.h"
#include "storage/ModClock.h"
#include "storage/Settings.h"
#include "tests/support/FakeAgent.h"
#include "tests/support/Fakes.h"
#include "tests/support/TestHome.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s LIST.png [DATAFILE]\n", argv[0]);
        return 2;
    }
    const QString picture = QString::fromLocal8Bit(argv[1]);
    FakeServices fakes;
    fakes.clock.set(QDateTime::currentDateTime());
    TestHome home;
    if (argc > 2)
        home.writeData(TestHome::readFile(QString::fromLocal8Bit(argv[2])));
    SettingsStore settings(home.paths().settingsFile);
    ModClock modClock(fakes.clock, fakes.autostart, fakes.network, home.paths().windowsFolder());
    FakeAgentControl agentControl;
    agentControl.completeAtOnce = true;
    CharacterControl character(agentControl, settings, modClock, fakes.dialogs, fakes.clock,
        CharacterControl::Host {
            [] { return true; }, [] { return announce::HomeInput {}; }, [] {}, [] {}, {} });
    character.loadCharacter("Tockel", CharacterControl::kMoveVoiceAtLoad);
    FrmSet manager(fakes.services, settings, modClock, home.paths(), character,
        FrmSet::Host {
            [] {}, [] {}, [] { return 15.0; }, [] {}, [] { return true; }, [] { return false; } });
    manager.Form_Load();
    manager.SSTab1_Click(1);
    manager.move(40, 40);
    QTimer::singleShot(500, &manager, [&] {
        if (!manager.grab().save(picture))
            std::fprintf(stderr, "cannot write %s\n", argv[1]);
    });
    QObject::connect(&manager, &FrmSet::closed, &app, &QApplication::quit);
    return app.exec();
}
