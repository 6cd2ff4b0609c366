#include "agent/Agent.h"
#include "calendar/FrmMain.h"
#include "calendar/InterimMessageWindow.h"
#include "calendar/Logging.h"
#include "calendar/WindowLinks.h"
#include "platform/Services.h"
#include "platform/linux/ProcessLauncher.h"
#include "platform/linux/QtDialogs.h"
#include "platform/linux/QtNetworkService.h"
#include "platform/linux/SystemClock.h"
#include "platform/linux/XdgAutostart.h"
#include "storage/AppPaths.h"
#include "storage/ModClock.h"
#include "storage/Settings.h"

#include <QApplication>
#include <QDir>

namespace {

// Stand-ins for the windows that are not part of this build yet; each says
// in the log what it was asked to do.
class PendingManager final : public ManagerWindow
{
public:
    void showAtTab(int tab) override
    {
        qCInfo(lcCalendar) << "appointment manager requested at tab" << tab << "(not available)";
    }
};

class PendingVersionCheck final : public VersionCheck
{
public:
    void run() override { qCInfo(lcCalendar) << "version check requested (not available)"; }
};

class NoCharacters final : public agent::Control
{
public:
    bool Load(const QString &id, const QString &) override
    {
        qCInfo(lcCalendar) << "no character engine in this build;" << id << "not loaded";
        return false;
    }
    agent::Character *Characters(const QString &) override { return nullptr; }
    void Unload(const QString &) override {}
    void setPropertySheetVisible(bool) override {}
};

class PendingDayMarking final : public DayMarking
{
public:
    void underline(bool remarkOnly) override
    {
        qCDebug(lcCalendar) << "day marking requested, remarkOnly" << remarkOnly;
    }
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillory"));
    QApplication::setOrganizationName(QStringLiteral("Quillory"));

    const AppPaths paths = AppPaths::fromEnvironment(QApplication::applicationDirPath());
    QDir().mkpath(paths.dataFolder);

    SystemClock clock;
    QtDialogs dialogs;
    ProcessLauncher launcher;
    QtNetworkService network;
    XdgAutostart autostart(XdgAutostart::defaultFolder());
    Services services{clock, dialogs, launcher, network, autostart};

    SettingsStore settings(paths.settingsFile);
    ModClock modClock(clock, autostart, network, paths.windowsFolder());

    InterimMessageWindow message;
    PendingManager manager;
    PendingVersionCheck versionCheck;
    PendingDayMarking dayMarking;
    NoCharacters agentControl;
    const bool quietRestart = QApplication::arguments().size() == 2
        && QApplication::arguments().at(1) == QLatin1String("/n");
    FrmMain frmMain(services, settings, modClock, paths,
                    FrmMain::Links{message, manager, versionCheck, dayMarking}, agentControl,
                    quietRestart);
    QObject::connect(&frmMain, &FrmMain::unloaded, &app, &QApplication::quit);
    app.setQuitOnLastWindowClosed(false);

    frmMain.Form_Load();
    frmMain.show();
    return app.exec();
}
