#pragma once

#include "calendar/AgendaQuery.h"
#include "calendar/BriefingRules.h"
#include "calendar/CalendarMod.h"
#include "calendar/MenuRules.h"
#include "calendar/ShownToday.h"
#include "calendar/WindowLinks.h"
#include "engine/Firing.h"
#include "engine/MinuteScheduler.h"
#include "storage/AppPaths.h"
#include "storage/Settings.h"
#include "storage/StartAtLogin.h"

#include <QPointer>
#include <QVariant>
#include <QWidget>

#include <deque>
#include <functional>
#include <optional>

namespace agent {
class Control;
}
class CharacterControl;
class FrmSysTray;
class FrmAbout;
class HelpPages;
class MainMenu;
class QAction;
class QLabel;
class QTimer;
class QToolButton;
class MonthView;
class ModClock;
class SettingsStore;
enum class WindowStyle;
class ManagerWindow;
class VersionCheck;
class DayMarking;
class BackupWindow;
struct Services;

// The calendar window: a small borderless month view with paging buttons
// and the coloured time band along its bottom. Its `blink` timer is the
// program's heartbeat.
class FrmMain : public QWidget, public CalendarColours
{
    Q_OBJECT
public:
    struct Links
    {
        Announcer &message; // the message window
        ManagerWindow &manager;
        VersionCheck &versionCheck;
        DayMarking &dayMarking;
        BackupWindow *backup = nullptr; // for the main menu's "Backup / Restore"
        ColourPanel *colourPanel = nullptr; // for the main menu's colour panel
    };

    FrmMain(Services &services, SettingsStore &settings, ModClock &modClock, AppPaths paths,
        Links links, agent::Control &agentControl, bool quietRestart, QWidget *parent = nullptr);
    ~FrmMain() override;

    void Form_Load();
    void Form_Unload();
    void blink_Timer();
    void underline();
    // The data file changed (the sync folder, a fired appointment): the
    // shown month is marked afresh, without the start-up's warnings.
    void remark();
    // Starts the restart program with `arguments` and unloads; false (and
    // the calendar carries on) when the restart program cannot be started.
    bool restart(const QStringList &arguments);
    // The character's public procedures.
    void say(const QString &text);
    void sayagain(const QVariant &text);
    void moveme();
    void saydate();
    // Opens a fresh appointment manager (after a save or a delete).
    void reshowset();
    // The data file was changed from outside (the session bus): the month
    // is marked again and the scheduler looks at once.
    void appointmentsChanged();
    bool isUnloaded() const { return m_unloaded; }
    // One colour of the window, shown at once (the load, the colour panel).
    void setColour(ColourRole role, quint32 colour) override;
    quint32 colour(ColourRole role) const override;

    // Controls, named as the rest of the program knows them.
    MonthView *maincalendar = nullptr;
    QLabel *Text1 = nullptr;
    QToolButton *com_left = nullptr;
    QToolButton *com_right = nullptr;
    QLabel *lab_time = nullptr;
    QTimer *blink = nullptr;

    // Decides what is due, minute by minute, whatever the clock does; its
    // own timer runs the tick just after each minute boundary.
    MinuteScheduler &scheduler() { return *m_scheduler; }

    // The tick's state: the minute handled, the month shown, whether the
    // version check has begun, and what the day marking is handed.
    QString lastMinute;
    std::optional<int> shownMonth;
    std::optional<int> shownYear;
    bool remarkOnly = false;
    bool updateStarted = false;
    qint16 oldCount = 0;
    QString oldMessages;

    CharacterControl *character = nullptr;
    FrmSysTray *m_frmSysTray = nullptr;
    // Whether the start-at-login value was on at load.
    bool startAtLogin = false;

    // Tests load the window without putting it on screen.
    void setShowDuringLoad(bool show) { m_showDuringLoad = show; }

    // Twips per pixel of the screen the window is on.
    double twipsPerPixel() const;

    // The day query's reader of the data file; empty for the usual one.
    std::function<std::optional<QByteArray>(const QString &)> readDataFile;

    void com_left_Click();
    void com_right_Click();
    void maincalendar_DblClick();

    // The main menu and what its items do.
    MainMenu *menu() const { return m_menu; }
    // The help pages; the application hands them F1.
    HelpPages *help() const { return m_help; }
    void popUpMainMenu(const QPoint &globalPos);
    void mnu_setalarm_Click();
    void mnu_hidecal_Click();
    void mnu_delay_Click();
    void mnu_notify_Click();
    void mnu_load_Click();
    void mnu_largefont_Click();
    void mnu_moveme_Click();
    void mnu_newchar_Click();
    void mnu_fx_Click();
    void mnu_hide_Click();
    void mnu_briefing_Click();
    // What is on today, tomorrow, next: said, and listed in a box.
    void ask(agendaquery::Ask which);
    void mnu_colour_Click();
    void mnu_backup_Click();
    void mnu_help_Click();
    void mnu_About_Click();

    // The time band, with the pointer in twips inside the band.
    void lab_time_MouseDown(Qt::MouseButton button, QPointF twips);
    void lab_time_MouseMove(QPointF twips);
    void lab_time_MouseUp(Qt::MouseButton button, QPointF twips);

    // The tray component's events.
    void m_frmSysTray_MenuClick(int index, const QString &key);
    void m_frmSysTray_SysTrayMouseDown(int button);
    void m_frmSysTray_SysTrayDoubleClick(int button);

    // Shows the calendar again after it was hidden (also when the program
    // is started a second time).
    void showCalendar();
    // The window's position in twips.
    QPointF positionTwips() const;
    void moveToTwips(QPointF twips);

signals:
    // Unload step 4: the tray component leaves the notification area.
    void unloadTray();
    void unloaded();
    // Large-font mode ends the program at once, without the unload's steps.
    void endedWithoutUnload();
    // A right click asks for the main menu at this point of the screen.
    void mainMenuRequested(const QPoint &globalPos);
    // An appointment was announced (on time or missed): its key and text.
    void announced(const QString &key, const QString &text);
    // The load has put the window on screen; the character and the data
    // file come next.
    void windowShown();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // A menu option kept in a setting: while the character loads the click
    // changes nothing (its own flip of the mark is undone); otherwise the
    // setting turns over, the item shows it, `apply` acts on the new state
    // and the character says so.
    void toggleOption(QAction *item, menu::Toggle which, const SettingKey &key, bool on,
        const std::function<void(bool)> &apply = {});
    // Starts the restart program; false (logged) when it did not start.
    bool startRestartProgram(const QStringList &arguments, WindowStyle style);
    void showIntroductionOnce();
    void announceDue();
    void announceMissed(DueAnnouncement first);
    void reportWriteProblem(const QString &reason);
    bool restartOnNewDay();
    void reportOldMessages();
    void remarkOnMonthChange();
    void versionGate();
    void applyColours();
    void paintArrows();
    void applyLayout(bool large);
    void placeTwips(QWidget *widget, double left, double top, double width, double height);
    void maincalendar_MouseUp(Qt::MouseButton button, int x, int y);
    calendarmod::DayQuery dayQueryContext();
    void loadCharacterAndAppear();
    void setOptionChecks();
    void createTray();
    void createMainMenu();
    void applyLookBeforeShow(const QDateTime &now);
    void showDrawn();
    void keepOnScreen();
    void hideCalendar();
    void rescueUnseenWindow();
    void showAbout();
    void showHelp();
    void storePosition();
    void endForQuietRestart();
    agendaquery::Context agendaContext();
    // The morning briefing, once a day when the option is on and the
    // character has finished what it was saying.
    void briefIfDue(const QDateTime &now);

    Services &m_services;
    SettingsStore &m_settings;
    ModClock &m_modClock;
    AppPaths m_paths;
    StartAtLogin m_startAtLogin;
    Links m_links;
    bool m_reportingOld = false;
    MinuteScheduler *m_scheduler = nullptr;
    // Announcements are made one after the other: a tick inside an
    // announcement's wait only adds to the scheduler's queue.
    bool m_announcing = false;
    bool m_introductionDue = false;
    // What was shown today, and whether this start is a restart of our own.
    std::optional<ShownToday> m_shown;
    bool m_restartedByUs = false;
    // Until the first look at the briefing, this run counts as a start of
    // the day; a look that finds the character speaking looks again.
    briefing::Moment m_briefingMoment = briefing::Moment::UserStart;
    bool m_briefingLookAgain = true;
    bool m_writeProblemTold = false; // once per run
    bool m_tellingWriteProblem = false;
    bool m_unloaded = false;
    bool m_loaded = false;
    bool m_quietRestart = false;
    bool m_showDuringLoad = true;
    QPointer<FrmAbout> m_about;
    MainMenu *m_menu = nullptr;
    HelpPages *m_help = nullptr;
    // The time band's drag: the grab point inside the band, the window's
    // position after the last move step and where the drag began (twips).
    bool m_dragging = false;
    QPoint m_grab;
    QPointF m_base;
    QPointF m_dragStart;
    // The time band's colours, kept together because one style sheet holds both.
    quint32 m_bandBack = setting::defaultColour(setting::TitleBackColor);
    quint32 m_bandText = setting::defaultColour(setting::TitleForeColor);
};
