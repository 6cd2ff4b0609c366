// quillory: the calendar. Wires the real services and hands over to the
// start-up windows.
#include "Version.h"
#include "agent/CharacterFolders.h"
#include "agent/character/AgentEngine.h"
#include "agent/speech/AudioDevices.h"
#include "agent/speech/SpeechSynth.h"
#include "agent/speech/WavCapture.h"
#include "announce/MessageWindowOnDemand.h"
#include "backup/BackupWizard.h"
#include "calendar/DayMarker.h"
#include "calendar/FrmMain.h"
#include "calendar/HelpPages.h"
#include "calendar/Logging.h"
#include "calendar/StartWindows.h"
#include "calendar/WindowLinks.h"
#include "cli/CommandLine.h"
#include "colour/ColourWindow.h"
#include "ical/Exchange.h"
#include "ical/VdirSync.h"
#include "manager/AppointmentManager.h"
#include "platform/LoadedLibrary.h"
#include "platform/Logging.h"
#include "platform/Memory.h"
#include "platform/Services.h"
#include "platform/SingleInstance.h"
#include "platform/linux/DBusCalendar.h"
#include "platform/linux/DBusNotifier.h"
#include "platform/linux/DisplayCheck.h"
#include "platform/linux/LocalFiles.h"
#include "platform/linux/LogindSleepWatch.h"
#include "platform/linux/OnDemandNetwork.h"
#include "platform/linux/OnDemandPrinter.h"
#include "platform/linux/ProcessLauncher.h"
#include "platform/linux/QtDialogs.h"
#include "platform/linux/RecognizerModelFiles.h"
#include "platform/linux/SystemClock.h"
#include "platform/linux/TerminationWatcher.h"
#include "platform/linux/X11GlobalKey.h"
#include "platform/linux/X11WindowShape.h"
#include "platform/linux/XdgAutostart.h"
#include "storage/AppPaths.h"
#include "storage/ModClock.h"
#include "storage/Settings.h"
#include "update/UpdateCheck.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDir>
#include <QIcon>
#include <QTextStream>
#include <QTimer>

#include <cstdio>
#include <optional>

namespace {

// How long after the calendar shows its start-up work is done.
constexpr int kStartSettledMs = 3000;

// `quillory add|list|next|remove|--help|--version`: no display, no window.
int runCommandLine(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quillory"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(quillory::kVersionText));
    const AppPaths paths = AppPaths::fromEnvironment(QCoreApplication::applicationDirPath());
    DBusCalendarLink calendar(QDBusConnection::sessionBus());
    QTextStream out(stdout);
    QTextStream err(stderr);
    const SettingsStore settings { paths.settingsFile };
    cli::Context context { paths.dataFolder, paths.dataFile(),
        [] { return QDateTime::currentDateTime(); }, calendar, out, err,
        settings.read(setting::AllDayTime) };
    return cli::run(QCoreApplication::arguments(), context);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc > 1 && cli::isCommand({ QString::fromLocal8Bit(argv[1]) }))
        return runCommandLine(argc, argv);
    // Without a display Qt aborts in QApplication: a clear line instead.
    if (const QString missing = missingDisplay(); !missing.isEmpty()) {
        std::fprintf(stderr, "quillory: %s\n", qPrintable(missing));
        return 1;
    }
    const bool onXWayland = preferXWayland(argc, argv);
    if (onXWayland)
        qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    if (onXWayland)
        qCInfo(lcPlatform) << "Wayland session: running on XWayland (xcb), where the calendar can "
                              "place its windows and listen for its key";
    QApplication::setApplicationName(QStringLiteral("Quillory"));
    QApplication::setApplicationVersion(QString::fromLatin1(quillory::kVersionText));
    QApplication::setQuitOnLastWindowClosed(false);

    const AppPaths paths = AppPaths::fromEnvironment(QApplication::applicationDirPath());
    QDir().mkpath(paths.dataFolder);
    const QStringList args = QApplication::arguments().mid(1);
    const bool quietRestart = args == QStringList { QStringLiteral("/n") };

    // Never two calendars announcing the same appointment.
    SingleInstance instance(paths.dataFolder);
    switch (instance.acquire()) {
    case SingleInstance::Claim::Acquired:
        break;
    case SingleInstance::Claim::AlreadyRunning:
        return 0;
    case SingleInstance::Claim::Failed: {
        // Not "already running": nothing runs, and the user is told why.
        const QString text = SingleInstance::cannotRunText(instance.error());
        std::fprintf(stderr, "quillory: %s\n", qPrintable(text));
        QtDialogs().messageBox(text, MsgButtons::Ok, MsgIcon::Critical, QStringLiteral("Error!"));
        return 1;
    }
    }

    SystemClock clock;
    QtDialogs dialogs;
    ProcessLauncher launcher;
    LocalFiles files;
    OnDemandNetwork network;
    XdgAutostart autostart(XdgAutostart::defaultFolder());
    OnDemandPrinter printer(OnDemandPrinter::defaultDocumentsFolder());
    Services services { clock, dialogs, launcher, network, autostart, printer };

    // Before the engine, which lets go of the listening key as it ends.
    X11GlobalKey globalKey;
    X11WindowShape windowShape;
    agent::SystemAudioDevices audioDevices(installedModuleFolders());
    agent::SpeechSynthesizer synthesizer;
    // QUILLORY_AUDIO_FILE: every sound is copied to that WAV file as well.
    std::optional<agent::WavCapture> capture;
    if (const QString file = qEnvironmentVariable("QUILLORY_AUDIO_FILE"); !file.isEmpty())
        capture.emplace(file);
    SettingsStore settings(paths.settingsFile);
    ModClock modClock(clock, autostart, network, paths.windowsFolder());
    agent::AgentEngine agentEngine(characterFolders(userCharacterFolder(paths.windowsFolder())),
        agent::EngineServices { clock, windowShape, audioDevices, &synthesizer, &globalKey,
            capture ? &*capture : nullptr,
            { installedRecognizerModel(), installedRecognizerDictionary() } },
        &settings);

    FrmMain *frmMain = nullptr;
    UpdateCheck versionCheck(services, settings, paths,
        UpdateCheck::Host {
            [&](const QString &text) { frmMain->say(text); }, [&] { frmMain->Form_Unload(); } });
    BackupWizard backupWindow(services, settings, paths,
        FrmBackup::Host { [&](const QString &text) { frmMain->say(text); },
            [&] { return frmMain->restart({ QStringLiteral("/n") }); } });
    ColourWindow colourWindow(services, settings,
        FrmColour::Host { [&](const QString &text) { frmMain->say(text); },
            [&]() -> CalendarColours * { return frmMain; } });
    AppointmentManager manager(services, settings, modClock, paths,
        FrmSet::Host { [&] { frmMain->hide(); }, [&] { frmMain->setVisible(true); },
            [&] { return frmMain->twipsPerPixel(); }, [&] { frmMain->reshowset(); },
            [&] { return frmMain->restart({}); }, [&] { return frmMain->isUnloaded(); } });
    DayMarker dayMarking(services, modClock, paths, manager, [&] { services.dialogs.beep(); });
    // Before the message window, which posts through it to its end.
    DBusNotifier notifier;
    MessageWindowOnDemand message([&] {
        auto window = std::make_unique<FrmMessage>(settings, modClock, agentEngine,
            FrmMessage::Host { [&](const QString &text) { frmMain->say(text); },
                [&] {
                    if (!frmMain->restart({}))
                        message.built()->hide();
                },
                [&] { return frmMain->twipsPerPixel(); }, paths.pendingFile(),
                [&] { return clock.now(); } });
        window->setNotifier(&notifier);
        return window;
    });
    FrmMain main(services, settings, modClock, paths,
        FrmMain::Links { message, manager, versionCheck, dayMarking, &backupWindow, &colourWindow },
        agentEngine, quietRestart);
    frmMain = &main;
    manager.setCharacter(main.character);
    // The sync folder and the repeats of richer rules: looked at each minute
    // and whenever either side changes. What it takes into the data file is
    // read by the scheduler at its next minute and marked at once.
    ical::VdirWatcher vdir({ paths.dataFile(), [&] { return settings.read(setting::SyncFolder); },
        [&] { return clock.now(); },
        [&] { return ical::allDayTime(settings.read(setting::AllDayTime)); } });
    QObject::connect(
        &main.scheduler(), &MinuteScheduler::minuteBegan, &vdir, &ical::VdirWatcher::look);
    QObject::connect(&vdir, &ical::VdirWatcher::dataChanged, &main, [&] {
        if (!main.isUnloaded())
            main.remark();
    });
    QObject::connect(&vdir, &ical::VdirWatcher::tell, &main, [&](const QString &text) {
        if (!main.isUnloaded())
            main.say(text);
    });
    QObject::connect(&main, &FrmMain::unloaded, &app, [&] {
        instance.release();
        QApplication::quit();
    });
    QObject::connect(&main, &FrmMain::endedWithoutUnload, &app, [&] {
        instance.release();
        QApplication::quit();
    });
    app.installEventFilter(main.help());
    TerminationWatcher termination;
    QObject::connect(&termination, &TerminationWatcher::terminationRequested, &main,
        [&] { main.Form_Unload(); });
    // Starting the calendar again is a way back to a hidden one, with or
    // without a notification area.
    QObject::connect(&instance, &SingleInstance::raiseRequested, &main, [&] {
        if (!main.isVisible())
            main.showCalendar();
        main.raise();
        main.activateWindow();
    });

    StartFlow flow;
    std::unique_ptr<FrmSplash> splash;
    std::unique_ptr<NewUser> newUser;
    // The buses are joined once the calendar's window is on screen, before
    // the character walks out: the window does not wait for them.
    std::optional<LogindSleepWatch> sleepWatch;
    std::optional<CalendarBusService> bus;
    auto joinBuses = [&] {
        // Drawing it is not the window's to wait for either.
        QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/quillory.svg")));
        // Woken from sleep: the minutes slept through are looked at at once.
        sleepWatch.emplace();
        main.scheduler().setSleepSignals(sleepWatch->available());
        sleepWatch->setOnResume([&] { main.scheduler().resumed(); });
        notifier.start();
        // Scripts and the command line reach the running calendar on the
        // session bus.
        bus.emplace(CalendarBusService::Host { paths.dataFile(), [&] { return clock.now(); },
            [&] { main.appointmentsChanged(); },
            [&] {
                if (!main.isVisible())
                    main.showCalendar();
                main.raise();
                main.activateWindow();
            } });
        bus->publish(QDBusConnection::sessionBus());
        QObject::connect(&main, &FrmMain::announced, &*bus, &CalendarBusService::Announced);
    };
    QObject::connect(&main, &FrmMain::windowShown, &app, joinBuses, Qt::SingleShotConnection);
    flow.showMain = [&] {
        main.Form_Load();
        if (main.isUnloaded())
            return;
        main.show();
        if (!main.isUnloaded())
            message.restorePending(paths.pendingFile());
        // By then the character has loaded and the data file been read;
        // the start-up windows are done with.
        QTimer::singleShot(kStartSettledMs, &main, [&] {
            splash.reset();
            newUser.reset();
            releaseFreedMemory();
        });
    };
    flow.showSplash = [&] {
        splash = std::make_unique<FrmSplash>(paths, files, quietRestart, flow);
        splash->Form_Load();
    };
    flow.showNewUser = [&] {
        newUser = std::make_unique<NewUser>(settings, flow);
        newUser->Form_Load();
    };
    flow.endNow = [&] { QCoreApplication::exit(0); };

    FrmWait wait(settings, modClock, launcher, paths, flow);
    QMetaObject::invokeMethod(&wait, &FrmWait::Form_Load, Qt::QueuedConnection);
    return QApplication::exec();
}
