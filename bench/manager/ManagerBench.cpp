// The appointment manager opening on a long data file: 100,000 lines of
// which 5,000 are live, from the request to the painted list.
#include "announce/CharacterControl.h"
#include "manager/AppointmentManager.h"
#include "manager/FrmSet.h"
#include "storage/ModClock.h"
#include "storage/Settings.h"
#include "tests/support/FakeAgent.h"
#include "tests/support/Fakes.h"
#include "tests/support/TestHome.h"

#include <QApplication>
#include <QListWidget>

#include <benchmark/benchmark.h>

namespace {

void BM_ManagerListOf100kLines(benchmark::State &state)
{
    FakeServices fakes;
    TestHome home;
    home.writeData(
        TestHome::longDataFile(100000, 20, QStringLiteral("TWater the plants and feed the cat}")));
    SettingsStore settings(home.paths().settingsFile);
    ModClock modClock(fakes.clock, fakes.autostart, fakes.network, home.paths().windowsFolder());
    FakeAgentControl agentControl;
    agentControl.completeAtOnce = true;
    CharacterControl character(agentControl, settings, modClock, fakes.dialogs, fakes.clock,
        CharacterControl::Host {
            [] { return true; }, [] { return announce::HomeInput {}; }, [] {}, [] {}, {} });
    character.loadCharacter("Tockel", CharacterControl::kMoveVoiceAtLoad);
    AppointmentManager manager(fakes.services, settings, modClock, home.paths(),
        FrmSet::Host {
            [] {}, [] {}, [] { return 15.0; }, [] {}, [] { return false; }, [] { return false; } });
    manager.setCharacter(&character);
    int listed = 0;
    for (auto _ : state) {
        manager.showAtTab(1);
        FrmSet *w = manager.window();
        w->repaint();
        listed = w->Combo1->count();
        state.PauseTiming();
        w->exitManager();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        state.ResumeTiming();
    }
    state.counters["listed"] = listed;
}
BENCHMARK(BM_ManagerListOf100kLines)->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
