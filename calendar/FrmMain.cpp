#include "calendar/FrmMain.h"

#include "announce/CharacterBeside.h"
#include "announce/CharacterControl.h"
#include "calendar/BandRules.h"
#include "calendar/CalendarMod.h"
#include "calendar/FrmAbout.h"
#include "calendar/HelpPages.h"
#include "calendar/Logging.h"
#include "calendar/MainMenu.h"
#include "calendar/MarkingRules.h"
#include "calendar/MenuRules.h"
#include "calendar/MonthView.h"
#include "calendar/PlacementRules.h"
#include "calendar/WindowLinks.h"
#include "colour/ColourRules.h"
#include "engine/TickRules.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/Launcher.h"
#include "platform/Services.h"
#include "storage/AtomicFile.h"
#include "storage/Backup.h"
#include "storage/Conversions.h"
#include "storage/IniFuncs.h"
#include "storage/ModClock.h"
#include "storage/Settings.h"
#include "tray/FrmSysTray.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QFile>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QToolButton>
#include <QWindow>

#include <limits>

namespace {

// How long the load waits for the calendar's first frame at most.
constexpr int kLongestFirstDrawMs = 500;

// Ends a wait once the window it watches is exposed; the quit is queued so
// that the frame drawn for the exposure is on the screen first.
class FirstExposure : public QObject
{
public:
    explicit FirstExposure(QEventLoop &loop)
        : m_loop(loop)
    { }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Expose)
            QMetaObject::invokeMethod(&m_loop, &QEventLoop::quit, Qt::QueuedConnection);
        return QObject::eventFilter(watched, event);
    }

private:
    QEventLoop &m_loop;
};

QString cssColour(quint32 bgr)
{
    return colourFromBgr(bgr).name();
}

// A chevron for the paging buttons, drawn in the title's text colour so it
// reads on any title colour the user picks.
QIcon chevron(const QColor &colour, bool left)
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(colour, 4.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    const qreal tip = left ? 10 : 22;
    const qreal back = left ? 20 : 12;
    p.drawPolyline(QPolygonF({ QPointF(back, 7), QPointF(tip, 16), QPointF(back, 25) }));
    p.end();
    return QIcon(pixmap);
}

} // namespace

FrmMain::FrmMain(Services &services, SettingsStore &settings, ModClock &modClock, AppPaths paths,
    Links links, agent::Control &agentControl, bool quietRestart, QWidget *parent)
    : QWidget(parent, Qt::FramelessWindowHint)
    , m_services(services)
    , m_settings(settings)
    , m_modClock(modClock)
    , m_paths(std::move(paths))
    , m_startAtLogin(modClock, m_paths.program(QStringLiteral("quillory")))
    , m_links(links)
    , m_quietRestart(quietRestart)
{
    setObjectName(QStringLiteral("frm_main"));
    setWindowTitle(QStringLiteral("Quillory"));
    setAttribute(Qt::WA_DeleteOnClose, false);

    maincalendar = new MonthView(this);
    maincalendar->setObjectName(QStringLiteral("maincalendar"));
    maincalendar->setToolTip(
        QStringLiteral("Right click for options, Double click to make an appointment."));
    maincalendar->setAccessibleName(QStringLiteral("Calendar"));

    Text1 = new QLabel(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setAutoFillBackground(true);

    com_left = new QToolButton(this);
    com_left->setObjectName(QStringLiteral("com_left"));
    com_left->setAutoRaise(true);
    com_left->setIconSize(QSize(12, 12));
    com_left->setToolTip(QStringLiteral("Click here to move backwards one month"));
    com_left->setAccessibleName(QStringLiteral("Previous month"));
    com_right = new QToolButton(this);
    com_right->setObjectName(QStringLiteral("com_right"));
    com_right->setAutoRaise(true);
    com_right->setIconSize(QSize(12, 12));
    com_right->setToolTip(QStringLiteral("Click here to move forwards one month"));
    com_right->setAccessibleName(QStringLiteral("Next month"));
    connect(com_left, &QToolButton::clicked, this, &FrmMain::com_left_Click);
    connect(com_right, &QToolButton::clicked, this, &FrmMain::com_right_Click);
    connect(maincalendar, &MonthView::DblClick, this, &FrmMain::maincalendar_DblClick);
    connect(maincalendar, &MonthView::menuKey, this,
        [this](const QPoint &pos) { emit mainMenuRequested(maincalendar->mapToGlobal(pos)); });
    connect(maincalendar, &MonthView::MouseUp, this,
        [this](Qt::MouseButton button, Qt::KeyboardModifiers, int x, int y) {
            maincalendar_MouseUp(button, x, y);
        });

    lab_time = new QLabel(this);
    lab_time->setObjectName(QStringLiteral("lab_time"));
    lab_time->setAlignment(Qt::AlignCenter);
    lab_time->setAutoFillBackground(true);
    QFont bandFont = lab_time->font();
    bandFont.setBold(true);
    lab_time->setFont(bandFont);

    lab_time->installEventFilter(this);
    // Moving over the band tells that it drags the window.
    lab_time->setMouseTracking(true);
    lab_time->setToolTip(tr("Drag to move the calendar, double-click to hear the date, "
                            "right-click for the menu"));
    lab_time->setAccessibleName(QStringLiteral("Time"));

    character = new CharacterControl(agentControl, m_settings, m_modClock, m_services.dialogs,
        m_services.clock,
        CharacterControl::Host { [this] { return isVisible(); },
            [this] {
                announce::HomeInput in;
                const double tpp = twipsPerPixel();
                in.left = float(x() * tpp);
                in.top = float(y() * tpp);
                in.width = float(width() * tpp);
                in.height = float(height() * tpp);
                const QScreen *s = screen();
                in.screenWidth = float((s ? s->geometry().width() : 1280) * tpp);
                in.twipsPerPixelX = in.twipsPerPixelY = tpp;
                return in;
            },
            [this] { saydate(); }, [this] { Form_Unload(); },
            [this](const QString &command) {
                if (command == QLatin1String(CharacterControl::kAskToday))
                    ask(agendaquery::Ask::Today);
                else if (command == QLatin1String(CharacterControl::kAskTomorrow))
                    ask(agendaquery::Ask::Tomorrow);
                else
                    ask(agendaquery::Ask::Next);
            } },
        this);
    qApp->installEventFilter(new CharacterBeside(*character, this));

    blink = new QTimer(this);
    blink->setObjectName(QStringLiteral("blink"));
    connect(blink, &QTimer::timeout, this, &FrmMain::blink_Timer);
    m_scheduler = new MinuteScheduler(
        m_services.clock, { m_paths.dataFile(), m_paths.schedulerFile() }, this);
    connect(m_scheduler, &MinuteScheduler::minuteBegan, this, &FrmMain::blink_Timer);
    connect(m_scheduler, &MinuteScheduler::due, this, &FrmMain::announceDue);
    connect(m_scheduler, &MinuteScheduler::writeProblem, this, &FrmMain::reportWriteProblem);
    createMainMenu();
    m_help = new HelpPages(m_services, m_paths.programFolder, this);

    // The designed look, kept wherever a stored colour cannot be read.
    lab_time->setStyleSheet(QStringLiteral("QLabel { background: %1; color: %2; }")
                                .arg(cssColour(m_bandBack), cssColour(m_bandText)));
    // The window around the month view shows the month's background.
    setColour(ColourRole::MonthBack, colour(ColourRole::MonthBack));
    applyLayout(false);
}

FrmMain::~FrmMain() = default;

double FrmMain::twipsPerPixel() const
{
    const QScreen *s = screen() ? screen() : QGuiApplication::primaryScreen();
    return ::twipsPerPixel(s ? s->logicalDotsPerInch() : 96.0);
}

void FrmMain::placeTwips(QWidget *widget, double left, double top, double width, double height)
{
    const double tpp = twipsPerPixel();
    widget->setGeometry(
        qRound(left / tpp), qRound(top / tpp), qRound(width / tpp), qRound(height / tpp));
}

void FrmMain::Form_Load()
{
    const QDate today = m_services.clock.now().date();
    // A restart of the program's own shows nothing the user saw today.
    m_restartedByUs = restartmark::take(m_paths.restartMarkFile(), m_services.clock.now());
    m_shown.emplace(m_paths.shownFile(), today);
    // The date of this start, for the daily restart; settings that cannot
    // be written are told once a run (the scheduler keeps the date itself)
    QString settingsError;
    if (!m_settings.write(setting::LastReboot, tick::dayText(today), &settingsError))
        m_services.dialogs.messageBox(tick::settingsProblemText(m_settings.path(), settingsError),
            MsgButtons::Ok, MsgIcon::Critical, QStringLiteral("Settings not saved"));

    // The stored position, in twips; unreadable text keeps the designed place
    const auto left = m_settings.position(setting::FormX);
    const auto top = m_settings.position(setting::FormY);
    if (left && top)
        moveToTwips({ *left, *top });
    else
        qCInfo(lcCalendar) << "stored window position unreadable; designed position kept";
    // On screen from here on, so the character walks out beside a calendar
    // that is already there rather than on an empty desktop; in its stored
    // look from the first frame.
    applyLookBeforeShow(m_services.clock.now());
    keepOnScreen();
    if (m_showDuringLoad)
        showDrawn();
    // Asked to end while the window came up or the character walked out:
    // nothing more starts.
    if (m_unloaded)
        return;
    emit windowShown();

    // The character, its sounds, its entrance, the start-at-login value
    loadCharacterAndAppear();
    if (m_unloaded)
        return;
    setOptionChecks();
    // The first sentence goes with the first gesture.
    character->restartGestures();
    m_dragStart = positionTwips();

    // What passed while the calendar was not running: repeats move on past
    // now, and everything that passed is reported as old messages.
    const QList<OldAppointment> old = m_scheduler->catchUpAtStart();
    if (!old.isEmpty()) {
        oldCount = static_cast<qint16>(
            std::min<qsizetype>(old.size(), std::numeric_limits<qint16>::max()));
        oldMessages = schedule::oldMessagesText(old);
    }
    if (!m_scheduler->isNewMinute(m_services.clock.now()))
        lastMinute = tick::minuteOf(m_services.clock.now().time());

    // The tray icon and its menu
    createTray();

    // The heartbeat
    blink->setInterval(2000);
    blink->start();
    m_scheduler->start();

    // The greeting, only while the start-at-login value has never been
    // written, and once a day across the program's own restarts
    if (!m_quietRestart && m_startAtLogin.neverSet()
        && !(m_restartedByUs && m_shown->contains(ShownToday::greeting()))) {
        say(QStringLiteral("\\emp\\Welcome to Quillory !"));
        m_shown->add(ShownToday::greeting());
    }

    // Today's month
    maincalendar->setToday(today);
    maincalendar->setValue(today);
    remarkOnly = false;

    // Colours and layout
    applyColours();
    applyLayout(m_settings.read(setting::FontSize) == QLatin1String("large"));

    // Marks, old messages, early warnings
    underline();
    m_loaded = true;
    qCInfo(lcCalendar) << "calendar window loaded at" << pos() << "data file" << m_paths.dataFile();
}

void FrmMain::showDrawn()
{
    // Reading the character and the data file takes longer than the window
    // itself: the calendar is drawn first, so the desktop is not left empty
    // meanwhile. The wait ends once the window is exposed (its first frame
    // is drawn then), or at a bound for a display that never exposes it.
    QEventLoop drawn;
    show();
    FirstExposure exposure(drawn);
    windowHandle()->installEventFilter(&exposure);
    QTimer::singleShot(kLongestFirstDrawMs, &drawn, &QEventLoop::quit);
    drawn.exec();
    windowHandle()->removeEventFilter(&exposure);
}

void FrmMain::applyLookBeforeShow(const QDateTime &now)
{
    // The load's own colour, layout and month steps come later and do the
    // same again; this only spares the first frames the toolkit's colours.
    maincalendar->setToday(now.date());
    maincalendar->setValue(now.date());
    applyColours();
    applyLayout(m_settings.read(setting::FontSize) == QLatin1String("large"));
    lab_time->setText(tick::timeBandText(now.time()));
}

void FrmMain::loadCharacterAndAppear()
{
    character->appearAtLoad(m_quietRestart);
    oldCount = 0;

    startAtLogin = m_startAtLogin.isOn();
}

void FrmMain::createTray()
{
    m_frmSysTray = new FrmSysTray(nullptr, this);
    m_frmSysTray->AddMenuItem(
        QStringLiteral(" -= Appointment manager =-"), QStringLiteral("appointment"), true);
    m_frmSysTray->AddMenuItem(QStringLiteral("-"), {}, false);
    m_frmSysTray->AddMenuItem(QStringLiteral("&Hide the calendar"), QStringLiteral("hide"), true);
    m_frmSysTray->AddMenuItem(QStringLiteral("-"), {}, false);
    m_frmSysTray->AddMenuItem(QStringLiteral("&Show the calendar"), QStringLiteral("show"), true);
    m_frmSysTray->AddMenuItem(QStringLiteral("-"), {}, false);
    m_frmSysTray->AddMenuItem(QStringLiteral("&About Quillory"), QStringLiteral("about"), true);
    m_frmSysTray->AddMenuItem(QStringLiteral("-"), {}, false);
    m_frmSysTray->AddMenuItem(
        QStringLiteral("&Instructions and Help"), QStringLiteral("instructions"), true);
    m_frmSysTray->AddMenuItem(QStringLiteral("-"), {}, false);
    m_frmSysTray->AddMenuItem(QStringLiteral("&Exit"), QStringLiteral("exit"), true);
    m_frmSysTray->setToolTip(QStringLiteral("Double click to set an appointment. Quillory !"));
    // settrayicon: the picture the window holds for the purpose
    m_frmSysTray->setIconHandle(QIcon(QStringLiteral(":/icons/quillory.svg")));
    connect(m_frmSysTray, &FrmSysTray::MenuClick, this, &FrmMain::m_frmSysTray_MenuClick);
    connect(
        m_frmSysTray, &FrmSysTray::SysTrayMouseDown, this, &FrmMain::m_frmSysTray_SysTrayMouseDown);
    connect(m_frmSysTray, &FrmSysTray::SysTrayDoubleClick, this,
        &FrmMain::m_frmSysTray_SysTrayDoubleClick);
}

void FrmMain::m_frmSysTray_MenuClick(int index, const QString &key)
{
    qCInfo(lcCalendar) << "tray menu" << index << key;
    if (key == QLatin1String("appointment")) {
        m_links.manager.showAtTab(0);
    } else if (key == QLatin1String("about")) {
        showAbout();
    } else if (key == QLatin1String("instructions")) {
        showHelp();
    } else if (key == QLatin1String("hide")) {
        hideCalendar();
    } else if (key == QLatin1String("show")) {
        if (!isVisible())
            showCalendar();
        else
            rescueUnseenWindow();
    } else if (key == QLatin1String("exit")) {
        Form_Unload();
    }
}

void FrmMain::m_frmSysTray_SysTrayMouseDown(int button)
{
    if (button == FrmSysTray::RightButton)
        m_frmSysTray->ShowMenu();
    else
        saydate();
}

void FrmMain::m_frmSysTray_SysTrayDoubleClick(int button)
{
    Q_UNUSED(button);
    m_links.manager.showAtTab(0);
}

void FrmMain::createMainMenu()
{
    m_menu = new MainMenu(this);
    const MainMenu &m = *m_menu;
    auto on = [this](QAction *action, void (FrmMain::*handler)()) {
        connect(action, &QAction::triggered, this, handler);
    };
    on(m.mnu_setalarm, &FrmMain::mnu_setalarm_Click);
    on(m.mnu_spkdate, &FrmMain::saydate);
    connect(m.mnu_ontoday, &QAction::triggered, this, [this] { ask(agendaquery::Ask::Today); });
    connect(
        m.mnu_ontomorrow, &QAction::triggered, this, [this] { ask(agendaquery::Ask::Tomorrow); });
    connect(m.mnu_next, &QAction::triggered, this, [this] { ask(agendaquery::Ask::Next); });
    on(m.mnu_briefing, &FrmMain::mnu_briefing_Click);
    on(m.mnu_hidecal, &FrmMain::mnu_hidecal_Click);
    on(m.mnu_delay, &FrmMain::mnu_delay_Click);
    on(m.mnu_notify, &FrmMain::mnu_notify_Click);
    on(m.mnu_load, &FrmMain::mnu_load_Click);
    on(m.mnu_largefont, &FrmMain::mnu_largefont_Click);
    on(m.mnu_moveme, &FrmMain::mnu_moveme_Click);
    on(m.mnu_newchar, &FrmMain::mnu_newchar_Click);
    on(m.mnu_fx, &FrmMain::mnu_fx_Click);
    on(m.mnu_hide, &FrmMain::mnu_hide_Click);
    on(m.mnu_colour, &FrmMain::mnu_colour_Click);
    on(m.mnu_backup, &FrmMain::mnu_backup_Click);
    on(m.mnu_help, &FrmMain::mnu_help_Click);
    on(m.mnu_About, &FrmMain::mnu_About_Click);
    on(m.mnu_exit, &FrmMain::Form_Unload);
    connect(this, &FrmMain::mainMenuRequested, this, &FrmMain::popUpMainMenu);
}

void FrmMain::setOptionChecks()
{
    // The check marks follow the stored options; a checkable action flips
    // itself when clicked, so each handler sets its mark explicitly.
    const bool fx = m_settings.flag(setting::SoundFx) == Flag::True;
    m_menu->mnu_fx->setChecked(fx);
    m_menu->mnu_fx->setText(menu::soundEffectsCaption(fx));
    m_menu->mnu_hide->setChecked(m_settings.flag(setting::Hide) == Flag::True);
    m_menu->mnu_notify->setChecked(m_settings.flag(setting::Notify) != Flag::False);
    m_menu->mnu_briefing->setChecked(m_settings.flag(setting::Briefing) == Flag::True);
    m_menu->mnu_load->setChecked(startAtLogin);
    m_menu->mnu_largefont->setChecked(m_settings.read(setting::FontSize) == QLatin1String("large"));
}

void FrmMain::popUpMainMenu(const QPoint &globalPos)
{
    m_menu->popUp(globalPos);
}

void FrmMain::mnu_setalarm_Click()
{
    m_links.manager.showAtDate(m_services.clock.now().date());
}

void FrmMain::mnu_hidecal_Click()
{
    hideCalendar();
}

void FrmMain::hideCalendar()
{
    setVisible(false);
    m_settings.setFlag(setting::Visible, false);
    say(menu::hiddenSentence());
}

void FrmMain::showCalendar()
{
    setVisible(true);
    raise();
    m_settings.setFlag(setting::Visible, true);
    say(menu::shownSentence());
}

void FrmMain::toggleOption(QAction *item, menu::Toggle which, const SettingKey &key, bool on,
    const std::function<void(bool)> &apply)
{
    if (character->isLoading()) {
        item->setChecked(!item->isChecked()); // undo the click's own flip
        return;
    }
    const menu::ToggleStep step = menu::toggle(which, on);
    if (step.writeFirst)
        m_settings.write(key, step.settingText);
    item->setChecked(step.checked);
    if (!step.caption.isEmpty())
        item->setText(step.caption);
    if (!step.writeFirst)
        m_settings.write(key, step.settingText);
    if (apply)
        apply(step.checked);
    say(step.sentence);
}

void FrmMain::mnu_delay_Click()
{
    toggleOption(m_menu->mnu_delay, menu::Toggle::Delay, setting::Delay,
        m_settings.read(setting::Delay, QLatin1String(setting::kDelayMenuDefault))
            == QLatin1String("True"));
}

void FrmMain::mnu_fx_Click()
{
    toggleOption(m_menu->mnu_fx, menu::Toggle::SoundFx, setting::SoundFx,
        m_settings.flag(setting::SoundFx) == Flag::True,
        [this](bool on) { character->setSoundEffects(on); });
}

void FrmMain::mnu_hide_Click()
{
    toggleOption(m_menu->mnu_hide, menu::Toggle::Hide, setting::Hide,
        m_settings.flag(setting::Hide) == Flag::True);
}

void FrmMain::mnu_notify_Click()
{
    // Only "False" turns them off, so an odd text keeps the default.
    toggleOption(m_menu->mnu_notify, menu::Toggle::Notify, setting::Notify,
        m_settings.flag(setting::Notify) != Flag::False);
}

void FrmMain::mnu_briefing_Click()
{
    toggleOption(m_menu->mnu_briefing, menu::Toggle::Briefing, setting::Briefing,
        m_settings.flag(setting::Briefing) == Flag::True);
}

agendaquery::Context FrmMain::agendaContext()
{
    return { m_services.dialogs, m_services.clock, m_paths.dataFile(),
        [this](const QString &text) { say(text); }, readDataFile };
}

void FrmMain::ask(agendaquery::Ask which)
{
    agendaquery::tell(agendaContext(), which);
}

void FrmMain::briefIfDue(const QDateTime &now)
{
    if (!m_shown || m_shown->contains(ShownToday::briefing())) {
        m_briefingLookAgain = false;
        return;
    }
    if (m_settings.flag(setting::Briefing) != Flag::True) {
        m_briefingLookAgain = false;
        m_briefingMoment = briefing::Moment::Running;
        return;
    }
    // A restart of our own is no start of the day.
    const briefing::Moment moment = m_restartedByUs ? briefing::Moment::Running : m_briefingMoment;
    if (!briefing::due(moment, now.time(), false)) {
        m_briefingLookAgain = false;
        m_briefingMoment = briefing::Moment::Running;
        return;
    }
    // Never over an announcement or other speech: the next tick looks again.
    if (m_announcing || character->isBusy()) {
        m_briefingLookAgain = true;
        return;
    }
    m_briefingLookAgain = false;
    m_briefingMoment = briefing::Moment::Running;
    // Kept first: the briefing's box lets ticks run inside it.
    m_shown->add(ShownToday::briefing());
    agendaquery::brief(agendaContext());
}

void FrmMain::mnu_load_Click()
{
    QAction *item = m_menu->mnu_load;
    // The click has flipped the mark already: the state before it decides.
    const bool wasOn = !item->isChecked();
    const bool written = m_startAtLogin.set(!wasOn);
    // The mark shows what the run list really holds, whether or not the
    // write went through.
    startAtLogin = m_startAtLogin.isOn();
    item->setChecked(startAtLogin);
    if (!written) {
        qCWarning(lcCalendar) << "start-at-login value not changed:" << m_startAtLogin.lastError();
        m_services.dialogs.messageBox(
            menu::startAtLoginFailedText(!wasOn, m_startAtLogin.lastError()), MsgButtons::Ok,
            MsgIcon::Critical, QStringLiteral("Error!"));
        return;
    }
    say(menu::startAtLoginSentence(!wasOn));
}

void FrmMain::mnu_largefont_Click()
{
    QAction *item = m_menu->mnu_largefont;
    const bool wasOn = !item->isChecked();
    item->setChecked(!wasOn);
    m_settings.write(setting::FontSize, wasOn ? QStringLiteral("small") : QStringLiteral("large"));
    restartmark::leave(m_paths.restartMarkFile(), m_services.clock.now());
    startRestartProgram({ QStringLiteral("/n") }, WindowStyle::NormalNoFocus);
    endForQuietRestart();
}

void FrmMain::endForQuietRestart()
{
    // Ends at once, without the unload's backup and releases: the restart
    // brings the same calendar straight back.
    qCInfo(lcCalendar) << "ending for a quiet restart";
    m_unloaded = true;
    blink->stop();
    m_scheduler->stop();
    hide();
    emit endedWithoutUnload();
}

void FrmMain::mnu_moveme_Click()
{
    say(menu::moveHomeSentence());
    moveme();
}

void FrmMain::mnu_newchar_Click()
{
    character->newCharacter();
    // The change reloads the character and its sound effects.
    setOptionChecks();
}

void FrmMain::mnu_colour_Click()
{
    if (m_links.colourPanel)
        m_links.colourPanel->show();
}

void FrmMain::mnu_backup_Click()
{
    if (m_links.backup)
        m_links.backup->show();
}

void FrmMain::mnu_help_Click()
{
    showHelp();
}

void FrmMain::showHelp()
{
    if (m_help->open(objectName()))
        m_services.dialogs.beep();
}

void FrmMain::mnu_About_Click()
{
    showAbout();
}

void FrmMain::showAbout()
{
    if (!m_about) {
        m_about = new FrmAbout(this);
        m_about->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_about->show();
    m_about->raise();
}

void FrmMain::rescueUnseenWindow()
{
    say(menu::rescueSentence());
    if (m_services.dialogs.messageBox(
            menu::rescueQuestion(), MsgButtons::YesNo, MsgIcon::None, QStringLiteral("Warning!"))
        != MsgAnswer::Yes)
        return;
    moveToTwips({ menu::kRescueTwips, menu::kRescueTwips });
    // The position asked for, not its nearest pixel.
    m_settings.setPosition(setting::FormX, menu::kRescueTwips);
    m_settings.setPosition(setting::FormY, menu::kRescueTwips);
    m_services.dialogs.messageBox(menu::rescueRestartText(), MsgButtons::Ok, MsgIcon::Exclamation);
    startRestartProgram({}, WindowStyle::MinimizedNoFocus);
    Form_Unload();
}

QPointF FrmMain::positionTwips() const
{
    const double tpp = twipsPerPixel();
    return { x() * tpp, y() * tpp };
}

void FrmMain::moveToTwips(QPointF twips)
{
    const double tpp = twipsPerPixel();
    move(qRound(twips.x() / tpp), qRound(twips.y() / tpp));
}

void FrmMain::storePosition()
{
    const QPointF at = positionTwips();
    m_settings.setPosition(setting::FormX, float(at.x()));
    m_settings.setPosition(setting::FormY, float(at.y()));
}

void FrmMain::keepOnScreen()
{
    QList<QRect> screens;
    for (const QScreen *s : QGuiApplication::screens())
        screens << s->geometry();
    const QScreen *primary = QGuiApplication::primaryScreen();
    if (!primary)
        return;
    const double tpp = twipsPerPixel();
    const QPoint designed(qRound(QByteArray(setting::FormX.defaultValue).toDouble() / tpp),
        qRound(QByteArray(setting::FormY.defaultValue).toDouble() / tpp));
    const QPoint at
        = placement::visibleTopLeft(frameGeometry(), screens, primary->geometry(), designed);
    if (at != pos()) {
        qCInfo(lcCalendar) << "stored position" << pos() << "is off every screen; moved to" << at;
        move(at);
    }
}

void FrmMain::lab_time_MouseDown(Qt::MouseButton button, QPointF twips)
{
    if (button != Qt::LeftButton || m_dragging)
        return;
    m_grab = twips.toPoint();
    m_base = positionTwips();
    m_dragStart = m_base;
    m_dragging = true;
}

void FrmMain::lab_time_MouseMove(QPointF twips)
{
    lab_time->setText(band::dragText());
    if (!m_dragging)
        return;
    if (character->agentchar)
        character->agentchar->Stop();
    moveToTwips(band::dragTarget(m_base, m_grab, twips));
    m_base = positionTwips();
}

void FrmMain::lab_time_MouseUp(Qt::MouseButton button, QPointF twips)
{
    m_dragging = false;
    if (band::characterFollows(m_dragStart, positionTwips()))
        moveme();
    // A later right click without a drag must not walk the character again.
    m_dragStart = positionTwips();
    if (button == Qt::RightButton) {
        const double tpp = twipsPerPixel();
        popUpMainMenu(
            lab_time->mapToGlobal(QPoint(qRound(twips.x() / tpp), qRound(twips.y() / tpp))));
    }
    storePosition();
}

void FrmMain::say(const QString &text)
{
    character->say(text);
}

void FrmMain::sayagain(const QVariant &text)
{
    character->sayagain(text);
}

void FrmMain::moveme()
{
    character->moveme();
}

void FrmMain::reshowset()
{
    m_links.manager.showAtTab(0);
}

void FrmMain::saydate()
{
    say(announce::dateSentence(m_services.clock.now().date(), QLocale::system()));
}

bool FrmMain::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != lab_time)
        return QWidget::eventFilter(watched, event);
    const double tpp = twipsPerPixel();
    auto twipsOf = [tpp](const QMouseEvent *e) { return e->position() * tpp; };
    switch (event->type()) {
    case QEvent::MouseButtonDblClick:
        saydate();
        return true;
    case QEvent::MouseButtonPress: {
        const auto *e = static_cast<QMouseEvent *>(event);
        lab_time_MouseDown(e->button(), twipsOf(e));
        return true;
    }
    case QEvent::MouseMove:
        lab_time_MouseMove(twipsOf(static_cast<QMouseEvent *>(event)));
        return true;
    case QEvent::MouseButtonRelease: {
        const auto *e = static_cast<QMouseEvent *>(event);
        lab_time_MouseUp(e->button(), twipsOf(e));
        return true;
    }
    default:
        return QWidget::eventFilter(watched, event);
    }
}

void FrmMain::applyColours()
{
    // Each part on its own: a colour that cannot be read leaves its part as
    // it was, in its designed colour.
    for (const colour::CalendarTarget &target : colour::calendarTargets()) {
        if (const auto stored = m_settings.colour(target.setting))
            setColour(target.role, *stored);
    }
    const QString flat = QStringLiteral(
        "QToolButton { border: none; background: transparent; padding-bottom: 9px; }");
    com_left->setStyleSheet(flat);
    com_right->setStyleSheet(flat);
    paintArrows();
}

void FrmMain::setColour(ColourRole role, quint32 colour)
{
    switch (role) {
    case ColourRole::TimeBandBack:
    case ColourRole::TimeBandText:
        (role == ColourRole::TimeBandBack ? m_bandBack : m_bandText) = colour;
        lab_time->setStyleSheet(QStringLiteral("QLabel { background: %1; color: %2; }")
                                    .arg(cssColour(m_bandBack), cssColour(m_bandText)));
        return;
    case ColourRole::Text1Back: {
        QPalette p = Text1->palette();
        p.setColor(QPalette::Window, colourFromBgr(colour));
        Text1->setPalette(p);
        return;
    }
    case ColourRole::MonthBack: {
        // The large layout is wider than the month view: the strip beside
        // it takes the month's background rather than the toolkit's grey.
        QPalette p = palette();
        p.setColor(QPalette::Window, colourFromBgr(colour));
        setPalette(p);
        setAutoFillBackground(true);
        setMonthViewColour(*maincalendar, role, colour);
        return;
    }
    default:
        setMonthViewColour(*maincalendar, role, colour);
        if (role == ColourRole::TitleFore)
            paintArrows();
        return;
    }
}

quint32 FrmMain::colour(ColourRole role) const
{
    switch (role) {
    case ColourRole::TimeBandBack:
        return m_bandBack;
    case ColourRole::TimeBandText:
        return m_bandText;
    case ColourRole::Text1Back: {
        const QColor c = Text1->palette().color(QPalette::Window);
        return bgrFromRgb(c.red(), c.green(), c.blue());
    }
    default:
        return monthViewColour(*maincalendar, role).value_or(0);
    }
}

void FrmMain::paintArrows()
{
    // The paging arrows sit on the title band (most of which is above the
    // buttons' middle) and take its text colour.
    const QColor arrow = colourFromBgr(maincalendar->TitleForeColor());
    com_left->setIcon(chevron(arrow, true));
    com_right->setIcon(chevron(arrow, false));
}

void FrmMain::applyLayout(bool large)
{
    // The designed layout, in twips; the large layout moves a few controls
    // and keeps every width and height.
    if (large) {
        resize(qRound(3650 / twipsPerPixel()), qRound(2904 / twipsPerPixel()));
        placeTwips(maincalendar, 0, -20, 3480, 3060);
        placeTwips(Text1, -210, -165, 3810, 195);
        placeTwips(com_right, 3165, 90, 400, 360);
        placeTwips(com_left, 50, 90, 400, 360);
        placeTwips(lab_time, 145, 2580, 3285, 270);
        QFont f = maincalendar->font();
        f.setPointSizeF(QApplication::font().pointSizeF() * 1.25);
        maincalendar->setFont(f);
    } else {
        resize(qRound(3480 / twipsPerPixel()), qRound(2955 / twipsPerPixel()));
        placeTwips(maincalendar, 0, -90, 3480, 3060);
        placeTwips(Text1, -210, -180, 3810, 195);
        placeTwips(com_left, 70, 65, 400, 360);
        placeTwips(com_right, 3000, 65, 400, 360);
        placeTwips(lab_time, 90, 2650, 3285, 270);
    }
    // The band covers the month view's foot; keep the grid clear of it.
    maincalendar->setFooterHeight(qMax(0, maincalendar->geometry().bottom() - lab_time->y() + 2));
    Text1->raise();
    com_left->raise();
    com_right->raise();
    lab_time->raise();
}

void FrmMain::blink_Timer()
{
    blink->setInterval(2000);
    showIntroductionOnce();
    if (restartOnNewDay())
        return;
    // A manager that hid the calendar and ended keeps it hidden.
    if (m_settings.flag(setting::Visible) == Flag::False)
        setVisible(false);

    // One reading of the clock for the whole tick, so the minute that is
    // remembered is the minute that is looked up.
    const QDateTime now = m_services.clock.now();
    lab_time->setText(tick::timeBandText(now.time()));
    reportOldMessages();
    remarkOnMonthChange();

    // Within a minute already handled only the waiting work is looked at.
    if (!m_scheduler->isNewMinute(now)) {
        // A new minute's announcements come first; the briefing follows them.
        if (m_briefingLookAgain)
            briefIfDue(now);
        if (!updateStarted)
            versionGate();
        return;
    }
    lastMinute = tick::minuteOf(now.time());
    // Every minute since the last one handled, written before it is told
    m_scheduler->check();
    briefIfDue(now);
}

void FrmMain::announceDue()
{
    // The outer call makes the announcements a nested tick added.
    if (m_announcing)
        return;
    m_announcing = true;
    bool fired = false;
    while (!m_unloaded) {
        if (std::exchange(m_introductionDue, false)) {
            m_links.message.Show();
            m_links.message.display(false,
                tick::introductionText(colour::colourName(colour(ColourRole::TimeBandBack))));
            continue;
        }
        if (!m_scheduler->hasDue())
            break;
        DueAnnouncement next = m_scheduler->takeDue();
        qCInfo(lcCalendar).noquote() << "announcing" << next.key << next.plan.text << next.page;
        switch (next.kind) {
        case DueAnnouncement::Kind::OnTime:
            fired = true;
            emit announced(next.key, next.plan.text);
            m_links.message.Show();
            m_links.message.display(next.plan.confirm, next.plan.text);
            break;
        case DueAnnouncement::Kind::Missed:
            fired = true;
            announceMissed(std::move(next));
            break;
        case DueAnnouncement::Kind::Notice:
            m_links.message.Show();
            m_links.message.displayPages({ { false, next.page } }, {});
            break;
        }
    }
    m_announcing = false;
    // What fired was moved on to its next day or cleared: the month shows
    // that, not the marks of the start.
    if (fired && !m_unloaded)
        remark();
}

void FrmMain::announceMissed(DueAnnouncement first)
{
    // All that a leap passed over, on pages of their own, with one alert
    // and one spoken summary instead of an alarm for each.
    QList<DueAnnouncement> missed { std::move(first) };
    while (m_scheduler->hasDue()) {
        DueAnnouncement next = m_scheduler->takeDue();
        if (next.kind == DueAnnouncement::Kind::OnTime) {
            // Late but on time: after the missed ones, as its minute came later.
            missed.append(std::move(next));
            break;
        }
        missed.append(std::move(next));
    }
    QList<QPair<bool, QString>> pages;
    QStringList rest;
    qsizetype count = 0;
    std::optional<DueAnnouncement> onTime;
    for (const DueAnnouncement &item : missed) {
        if (item.kind != DueAnnouncement::Kind::Notice)
            emit announced(item.key, item.plan.text);
        if (item.kind == DueAnnouncement::Kind::OnTime) {
            onTime = item;
            continue;
        }
        if (item.kind == DueAnnouncement::Kind::Missed)
            ++count;
        if (pages.size() < schedule::kMissedPages - 1)
            pages.append(
                { item.plan.confirm && item.kind == DueAnnouncement::Kind::Missed, item.page });
        else
            rest.append(item.page);
    }
    if (!rest.isEmpty())
        pages.append({ false, schedule::missedRestText(rest) });
    m_links.message.Show();
    m_links.message.displayPages(pages, schedule::missedSummary(missed.front().gap, count));
    if (onTime) {
        m_links.message.Show();
        m_links.message.display(onTime->plan.confirm, onTime->plan.text);
    }
}

void FrmMain::reportWriteProblem(const QString &reason)
{
    if (m_writeProblemTold || m_tellingWriteProblem)
        return;
    // Told before the box is answered: the box keeps timers running.
    m_tellingWriteProblem = true;
    m_services.dialogs.messageBox(tick::writeProblemText(m_paths.dataFile(), reason),
        MsgButtons::Ok, MsgIcon::Critical, QStringLiteral("Appointments not saved"));
    m_writeProblemTold = true;
    m_tellingWriteProblem = false;
}

void FrmMain::showIntroductionOnce()
{
    if (m_settings.flag(setting::TwoRun) != Flag::True)
        return;
    m_settings.setFlag(setting::TwoRun, false);
    m_introductionDue = true;
    announceDue();
}

bool FrmMain::restartOnNewDay()
{
    const QString today = tick::dayText(m_services.clock.now().date());
    if (!m_scheduler->restartDue(m_settings.read(setting::LastReboot, today)))
        return false;
    qCInfo(lcCalendar) << "the date has changed since start; restarting";
    if (!restart({})) {
        // Carry on into the new day rather than try again every tick.
        m_settings.write(setting::LastReboot, today);
        return false;
    }
    return true;
}

bool FrmMain::startRestartProgram(const QStringList &arguments, WindowStyle style)
{
    const QString program = m_paths.program(QStringLiteral("quillory-restart"));
    if (m_services.launcher.start(program, arguments, style))
        return true;
    qCWarning(lcCalendar) << "restart program" << program << "not started";
    return false;
}

bool FrmMain::restart(const QStringList &arguments)
{
    restartmark::leave(m_paths.restartMarkFile(), m_services.clock.now());
    if (!startRestartProgram(arguments, WindowStyle::MinimizedNoFocus)) {
        // Ending without a restart would leave nobody to announce the
        // appointments still to come.
        qCInfo(lcCalendar) << "the calendar carries on without a restart";
        return false;
    }
    Form_Unload();
    return true;
}

void FrmMain::reportOldMessages()
{
    // Message boxes keep timers running: a nested tick must not start the
    // report again while one is showing.
    if (oldCount <= 0 || m_reportingOld)
        return;
    m_reportingOld = true;
    Dialogs &dialogs = m_services.dialogs;
    dialogs.messageBox(tick::oldMessagesNotice(), MsgButtons::Ok, MsgIcon::Information,
        QLatin1String(tick::kOldMessagesTitle));
    dialogs.messageBox(oldMessages, MsgButtons::Ok, MsgIcon::Information);
    oldCount = 0;
    oldMessages.clear();
    const MsgAnswer answer = dialogs.messageBox(
        tick::deleteOldQuestion(), MsgButtons::YesNo, MsgIcon::None, QStringLiteral("Attention!"));
    if (answer == MsgAnswer::Yes)
        m_links.manager.showAtTab(1);
    m_reportingOld = false;
}

void FrmMain::appointmentsChanged()
{
    // Before the load the load's own marking comes; after the unload nothing shows.
    if (!m_loaded || m_unloaded)
        return;
    remark();
    m_scheduler->check();
}

void FrmMain::remarkOnMonthChange()
{
    const int month = maincalendar->Month();
    const int year = maincalendar->Year();
    if (shownMonth == month && shownYear == year)
        return;
    shownMonth = month;
    shownYear = year;
    remarkOnly = true;
    underline();
}

void FrmMain::versionGate()
{
    if (updateStarted)
        return;
    // Asking whether the machine is online loads the network libraries, so
    // only a check still to be made today asks.
    if (m_links.versionCheck.isDue(m_services.clock.now().date()) && !m_modClock.IsOnline())
        return;
    updateStarted = true;
    m_links.versionCheck.run();
}

void FrmMain::underline()
{
    m_links.dayMarking.underline({ *maincalendar, remarkOnly, oldCount, oldMessages, m_quietRestart,
        [this] { Form_Unload(); }, m_shown ? &*m_shown : nullptr, m_restartedByUs });
}

void FrmMain::remark()
{
    // Marks are only ever set: the month is cleared and marked afresh from
    // the file, so a day whose appointments went is no longer marked.
    for (int cell = 1; cell <= 42; ++cell)
        maincalendar->setDayBold(maincalendar->VisibleDays(cell), false);
    remarkOnly = true;
    underline();
}

void FrmMain::com_left_Click()
{
    remarkOnly = true;
    // addMonths keeps the day and cuts it back to a shorter month's last day.
    maincalendar->setValue(maincalendar->Value().addMonths(-1));
    blink->setInterval(1); // a tick follows at once and re-marks the month
}

void FrmMain::com_right_Click()
{
    remarkOnly = true;
    maincalendar->setValue(maincalendar->Value().addMonths(1));
    blink->setInterval(1);
}

void FrmMain::maincalendar_DblClick()
{
    // The cell of the shown month's first day
    const int d = maincalendar->Day();
    const QDate first = maincalendar->Value().addDays(-(d - 1));
    const std::optional<int> offset = marking::gridOffset(
        [this](int index) { return maincalendar->VisibleDays(index); }, first);
    if (!offset) {
        m_services.dialogs.messageBox(marking::cellSearchError(), MsgButtons::Ok, MsgIcon::Critical,
            QStringLiteral("Error!"));
        Form_Unload();
        return;
    }
    // The clicked day's mark, then the query
    const bool marked = maincalendar->DayBold(maincalendar->VisibleDays(*offset + d));
    calendarmod::dayquery(
        dayQueryContext(), static_cast<qint16>(maincalendar->Day()), marked ? 1 : 0);
}

calendarmod::DayQuery FrmMain::dayQueryContext()
{
    return { *maincalendar, m_services.dialogs, m_services.clock, m_links.manager,
        m_paths.dataFile(), [this](const QString &text) { say(text); }, readDataFile };
}

void FrmMain::maincalendar_MouseUp(Qt::MouseButton button, int x, int y)
{
    if (button != Qt::RightButton)
        return;
    emit mainMenuRequested(maincalendar->mapToGlobal(QPoint(x, y)));
}

void FrmMain::Form_Unload()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    blink->stop();
    // The minute handled is kept, so a calendar started in the same minute
    // does not announce it again.
    m_scheduler->stop();
    qCInfo(lcCalendar) << "calendar window unloads";
    // The automatic backup
    if (m_settings.flag(setting::AutoBackup) == Flag::True)
        backup::automaticBackup(m_paths.dataFile(), m_settings.read(setting::BackDir));
    // A version check or download still running
    m_links.versionCheck.cancel();
    // The character
    character->unloadCharacter();
    // The tray icon
    if (m_frmSysTray) {
        m_frmSysTray->unload();
        delete m_frmSysTray;
        m_frmSysTray = nullptr;
    }
    emit unloadTray();
    hide();
    // Tell the owner, which ends the program
    emit unloaded();
}

void FrmMain::closeEvent(QCloseEvent *event)
{
    Form_Unload();
    event->accept();
}
