#include "calendar/StartWindows.h"

#include "Version.h"
#include "agent/CharacterFolders.h"
#include "calendar/Logging.h"
#include "platform/Files.h"
#include "platform/Launcher.h"
#include "storage/AppPaths.h"
#include "storage/Conversions.h"
#include "storage/ModClock.h"
#include "storage/Settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTextBrowser>
#include <QTimer>
#include <QVBoxLayout>

QString versionText()
{
    return QStringLiteral("This is version %1.%2.%3")
        .arg(quillory::kVersionMajor)
        .arg(quillory::kVersionMinor)
        .arg(quillory::kVersionRevision);
}

void placeTopLeft(QWidget *window, double widthTwips, double heightTwips)
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    const double tpp = twipsPerPixel(screen ? screen->logicalDotsPerInch() : 96.0);
    window->setWindowFlag(Qt::WindowStaysOnTopHint);
    window->setAttribute(Qt::WA_ShowWithoutActivating);
    window->setFixedSize(qRound(widthTwips / tpp), qRound(heightTwips / tpp));
    window->move(screen ? screen->availableGeometry().topLeft() : QPoint(0, 0));
}

FrmWait::FrmWait(SettingsStore &settings, ModClock &modClock, Launcher &launcher,
    const AppPaths &paths, StartFlow flow, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_settings(settings)
    , m_modClock(modClock)
    , m_launcher(launcher)
    , m_paths(paths)
    , m_flow(std::move(flow))
{
    setObjectName(QStringLiteral("frm_wait"));
    setWindowTitle(QStringLiteral("Quillory"));
    Label1 = new QLabel(
        QStringLiteral(
            "PLEASE WAIT!  Whilst important files are being installed on to your computer."),
        this);
    Label1->setWordWrap(true);
    QFont bold = Label1->font();
    bold.setBold(true);
    Label1->setFont(bold);
    Label2 = new QLabel(QStringLiteral("Seconds remaining to install = "), this);
    lab_secs = new QLabel(QStringLiteral("21"), this);
    lab_secs->setObjectName(QStringLiteral("lab_secs"));
    lab_secs->setFont(bold);
    auto *row = new QHBoxLayout;
    row->addWidget(Label2);
    row->addWidget(lab_secs);
    row->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addLayout(row);
    Timer1 = new QTimer(this);
    connect(Timer1, &QTimer::timeout, this, &FrmWait::Timer1_Timer);
}

void FrmWait::Form_Load()
{
    if (m_settings.flag(setting::TwoRun) != Flag::True
        || m_settings.flag(setting::OneRun) != Flag::True) {
        m_flow.showSplash();
        close();
        return;
    }
    qCInfo(lcCalendar) << "first run: installing the character and speech engines";
    placeTopLeft(this, 6345, 1215);
    show();
    n = 0;
    Timer1->start(1000);
}

void FrmWait::Timer1_Timer()
{
    lab_secs->setText(QString::number(21 - n));
    // The installers are optional here: the engines are part of Quillory.
    if (n == 2)
        m_launcher.start(m_paths.program(QStringLiteral("agent-setup")), { QStringLiteral("/Q:A") },
            WindowStyle::NormalFocus);
    if (n == 7)
        QDir().mkpath(userCharacterFolder(m_modClock.WindowsFolder()));
    if (n == 13)
        m_launcher.start(m_paths.program(QStringLiteral("speech-setup")),
            { QStringLiteral("/Q:A") }, WindowStyle::NormalFocus);
    if (n == 20) {
        Timer1->stop();
        m_flow.showNewUser();
        close();
        return;
    }
    ++n;
}

NewUser::NewUser(SettingsStore &settings, StartFlow flow, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_settings(settings)
    , m_flow(std::move(flow))
{
    setObjectName(QStringLiteral("New_User"));
    setWindowTitle(QStringLiteral("Welcome to Quillory"));
    terms = new QTextBrowser(this);
    terms->setObjectName(QStringLiteral("terms"));
    terms->setPlainText(termsOfUse());
    Command1 = new QPushButton(QStringLiteral("&DON`T AGREE"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command3 = new QPushButton(QStringLiteral("I &AGREE"), this);
    Command3->setObjectName(QStringLiteral("Command3"));
    Command3->setDefault(true);
    connect(Command1, &QPushButton::clicked, this, &NewUser::Command1_Click);
    connect(Command3, &QPushButton::clicked, this, &NewUser::Command3_Click);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(Command1);
    buttons->addStretch();
    buttons->addWidget(Command3);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(terms, 1);
    layout->addLayout(buttons);
}

QString NewUser::termsOfUse()
{
    return QStringLiteral(
        "Terms of use\n\n"
        "Quillory is a talking desktop calendar. Before you start, please read these terms.\n\n"
        "1. Quillory keeps your appointments and settings on this computer only, in your own "
        "folders. Nothing you type is sent anywhere.\n\n"
        "2. Once per run Quillory asks our web server which version is current, and offers you "
        "an update when there is a newer one. Nothing else is sent with that question.\n\n"
        "3. Quillory reminds you of your appointments as well as it can, but it is a helper, "
        "not a guarantee: it can only announce an appointment while it is running. Please do "
        "not rely on it alone for anything where a missed reminder could cause harm, such as "
        "taking medicine.\n\n"
        "4. Keep a backup of your appointments (Backup / Restore in the menu), especially "
        "before you move to another computer.\n\n"
        "5. Quillory is provided as it is, without warranty of any kind.\n\n"
        "Click \"I AGREE\" to accept these terms and start Quillory, or \"DON'T AGREE\" to "
        "leave without starting it.");
}

void NewUser::Form_Load()
{
    placeTopLeft(this, 4590, 4845);
    show();
}

void NewUser::Command1_Click()
{
    m_settings.setFlag(setting::TwoRun, true);
    qCInfo(lcCalendar) << "agreement declined; the program ends";
    m_flow.endNow();
}

void NewUser::Command3_Click()
{
    m_settings.setFlag(setting::SoundFx, true);
    m_settings.setFlag(setting::Delay, false);
    m_settings.setFlag(setting::Hide, false);
    m_flow.showMain();
    hide();
    close();
}

FrmSplash::FrmSplash(
    const AppPaths &paths, Files &files, bool quietRestart, StartFlow flow, QWidget *parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
    , m_programFolder(paths.programFolder)
    , m_files(files)
    , m_quietRestart(quietRestart)
    , m_flow(std::move(flow))
{
    setObjectName(QStringLiteral("frm_splash"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    Timer1 = new QTimer(this);
    Timer1->setSingleShot(true);
    connect(Timer1, &QTimer::timeout, this, &FrmSplash::Timer1_Timer);
}

void FrmSplash::buildLook()
{
    // Built only for a splash that shows: a quiet restart goes straight to
    // the calendar, whose window would wait for the drawing of the picture
    // and the style sheet.
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setAlignment(Qt::AlignCenter);
    Image1->setPixmap(QIcon(QStringLiteral(":/icons/quillory.svg")).pixmap(128, 128));
    auto *title = new QLabel(QStringLiteral("Quillory"), this);
    QFont big = title->font();
    big.setPointSizeF(big.pointSizeF() * 2.2);
    big.setBold(true);
    title->setFont(big);
    title->setAlignment(Qt::AlignCenter);
    auto *tagline = new QLabel(QStringLiteral("your talking desktop calendar"), this);
    tagline->setAlignment(Qt::AlignCenter);
    lab_version = new QLabel(QStringLiteral("This is version 1.1.11"), this);
    lab_version->setObjectName(QStringLiteral("lab_version"));
    lab_version->setAlignment(Qt::AlignCenter);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(32, 24, 32, 20);
    layout->addWidget(Image1);
    layout->addWidget(title);
    layout->addWidget(tagline);
    layout->addSpacing(8);
    layout->addWidget(lab_version);
    setStyleSheet(QStringLiteral("FrmSplash { background: #400080; } QLabel { color: white; }"));
    setAttribute(Qt::WA_StyledBackground);
}

void FrmSplash::Form_Load()
{
    if (m_quietRestart) {
        Timer1->stop();
        m_flow.showMain();
        close();
        return;
    }
    buildLook();
    // A stale update file of that name may lie in the program folder; the
    // running program is never it, whatever its own name.
    for (const QString &name : m_files.fileNames(m_programFolder)) {
        if (name.toLower() != QLatin1String("quillory.exe"))
            continue;
        const QString path = QDir(m_programFolder).filePath(name);
        if (m_files.isRunningProgram(path))
            continue;
        if (m_files.remove(path))
            qCInfo(lcCalendar) << "removed" << path;
    }
    lab_version->setText(versionText());
    adjustSize();
    if (const QScreen *s = QGuiApplication::primaryScreen())
        move(s->availableGeometry().center() - QPoint(width() / 2, height() / 2));
    show();
    Timer1->start(1000);
}

void FrmSplash::Timer1_Timer()
{
    Timer1->stop();
    hide();
    m_flow.showMain();
    close();
}
