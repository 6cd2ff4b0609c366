#include "manager/FrmSet.h"

#include "manager/LabelledCombo.h"
#include "storage/TextCodec.h"

#include "announce/AnnounceRules.h"
#include "announce/CharacterControl.h"
#include "calendar/BandRules.h"
#include "calendar/MonthView.h"
#include "engine/TickRules.h"
#include "ical/Exchange.h"
#include "manager/Logging.h"
#include "manager/ManagerRules.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/Printer.h"
#include "platform/Services.h"
#include "storage/IniFuncs.h"
#include "storage/ModClock.h"
#include "storage/Settings.h"

#include <QAccessible>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QTabBar>
#include <QTextDocument>
#include <QTimer>
#include <QToolButton>

namespace {

// The tab strip's height: control positions count from the tab control's top.
constexpr double kTabStripTwips = 360;
// Tab 0 and tab 1: the window's and the tab control's sizes, in twips.
constexpr int kTab0Width = 7455, kTab0Height = 6165, kTab0TabWidth = 7365, kTab0TabHeight = 5775;
constexpr int kTab1Width = 9735, kTab1Height = 3760, kTab1TabWidth = 9645, kTab1TabHeight = 3375;

QString readError()
{
    return QStringLiteral("I can`t seem to open your data file. This error occured in the frm_set "
                          "module. please email")
        + QLatin1Char(' ') + QLatin1String(tick::kProblemAddress)
        + QStringLiteral(" with this problem");
}

void name(QWidget *widget, const char *objectName, const QString &accessibleName,
    const QString &toolTip = {})
{
    widget->setObjectName(QLatin1String(objectName));
    widget->setAccessibleName(accessibleName);
    if (!toolTip.isEmpty()) {
        widget->setToolTip(toolTip);
        if (accessibleName != toolTip)
            widget->setAccessibleDescription(toolTip);
    }
}

} // namespace

void ClickLabel::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
    QLabel::mouseReleaseEvent(event);
}

OpenListCombo::OpenListCombo(QWidget *parent)
    : QWidget(parent)
{
    edit = new QLineEdit(this);
    edit->setObjectName(QStringLiteral("Combo1_edit"));
    list = new QListWidget(this);
    list->setObjectName(QStringLiteral("Combo1_list"));
    edit->setReadOnly(true);
    edit->setPlaceholderText(QStringLiteral("Choose an appointment in the list"));
    list->setUniformItemSizes(true); // long files: no per-line measuring
    connect(list, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row < 0)
            return;
        edit->setText(list->item(row)->text());
        if (!m_quiet)
            emit clicked();
    });
    connect(list, &QListWidget::itemClicked, this, [this](QListWidgetItem *clickedItem) {
        // A click on the line already chosen previews it again.
        if (list->row(clickedItem) == list->currentRow() && edit->text() == clickedItem->text())
            emit clicked();
    });
}

QString OpenListCombo::text() const
{
    return edit->text();
}

void OpenListCombo::setText(const QString &text)
{
    edit->setText(text);
}

void OpenListCombo::addItem(const QString &line)
{
    // The key stays out of sight; the line as a whole is what the list holds.
    auto *row = new QListWidgetItem(line.mid(17));
    row->setData(Qt::UserRole, line);
    list->addItem(row);
}

int OpenListCombo::count() const
{
    return list->count();
}

QString OpenListCombo::item(int row) const
{
    const QListWidgetItem *it = list->item(row);
    return it ? it->data(Qt::UserRole).toString() : QString();
}

QString OpenListCombo::chosenLine() const
{
    return list->currentRow() >= 0 ? item(list->currentRow()) : QString();
}

void OpenListCombo::clickItem(int row)
{
    if (!list->item(row))
        return;
    if (row == list->currentRow()) {
        edit->setText(list->item(row)->text());
        emit clicked();
    } else {
        list->setCurrentRow(row);
    }
}

void OpenListCombo::chooseQuietly(int row)
{
    m_quiet = true;
    list->setCurrentRow(row);
    m_quiet = false;
}

void OpenListCombo::clearLines()
{
    list->clear();
    edit->clear();
}

void OpenListCombo::setLeftMargin(int pixels)
{
    m_leftMargin = pixels;
    resizeEvent(nullptr);
}

void OpenListCombo::resizeEvent(QResizeEvent *)
{
    const int editHeight = edit->sizeHint().height();
    edit->setGeometry(m_leftMargin, 0, width() - m_leftMargin, editHeight);
    list->setGeometry(
        m_leftMargin, editHeight + 2, width() - m_leftMargin, height() - editHeight - 2);
}

FrmSet::FrmSet(Services &services, SettingsStore &settings, ModClock &modClock, AppPaths paths,
    CharacterControl &character, Host host, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
    , m_services(services)
    , m_settings(settings)
    , m_modClock(modClock)
    , m_paths(std::move(paths))
    , m_character(character)
    , m_host(std::move(host))
{
    setObjectName(QStringLiteral("frm_set"));
    setWindowTitle(QStringLiteral("Appointment Manager."));
    setAccessibleName(windowTitle());
    setAttribute(Qt::WA_DeleteOnClose, false);
    // The designed geometry was drawn for an 8-point dialog font.
    QFont dialogFont = font();
    dialogFont.setPointSizeF(8);
    setFont(dialogFont);

    SSTab1 = new QWidget(this);
    name(SSTab1, "SSTab1", QStringLiteral("Appointment Manager tabs"));
    tabs = new QTabBar(SSTab1);
    tabs->setObjectName(QStringLiteral("SSTab1_tabs"));
    tabs->setDrawBase(false);
    tabs->addTab(QStringLiteral("&Set new appointment"));
    tabs->addTab(QStringLiteral("Existing Appointments"));
    tabs->setAccessibleName(QStringLiteral("Appointment Manager tabs"));
    pages = new QStackedWidget(SSTab1);
    pages->setObjectName(QStringLiteral("SSTab1_pages"));
    pages->setFrameShape(QFrame::StyledPanel);
    auto *page0 = new QWidget;
    name(page0, "SSTab1_page0", QStringLiteral("Set new appointment"));
    auto *page1 = new QWidget;
    name(page1, "SSTab1_page1", QStringLiteral("Existing Appointments"));
    pages->addWidget(page0);
    pages->addWidget(page1);
    buildTab0(page0);
    buildTab1(page1);
    connect(tabs, &QTabBar::currentChanged, this, [this](int tab) { SSTab1_Click(tab); });

    // Dragging by the background: the window's own and the pages'.
    for (QWidget *background : { static_cast<QWidget *>(this), SSTab1, page0, page1 })
        background->installEventFilter(this);
    setFormSize(kTab0Width, kTab0Height, kTab0TabWidth, kTab0TabHeight);
    // Until the file says otherwise the month view shows today.
    cal->setToday(m_services.clock.now().date());
    cal->setValue(m_services.clock.now().date());
}

FrmSet::~FrmSet() = default;

void FrmSet::place(
    QWidget *widget, double left, double top, double width, double height, bool onPage)
{
    const double tpp = m_host.twipsPerPixel();
    const double shift = onPage ? kTabStripTwips : 0;
    widget->setGeometry(
        qRound(left / tpp), qRound((top - shift) / tpp), qRound(width / tpp), qRound(height / tpp));
}

void FrmSet::buildTab0(QWidget *page)
{
    cal = new MonthView(page);
    name(cal, "cal", QStringLiteral("Appointment date"),
        QStringLiteral(
            "Select the appointment date with this calendar, then choose the appointment "
            "time"));
    cal->setFocusPolicy(Qt::StrongFocus);
    place(cal, 240, 525, 2625, 2520);
    connect(cal, &MonthView::Click, this, [this] {
        if (dateHintGiven)
            return;
        dateHintGiven = true;
        if (helpOn)
            m_character.sayagain(manager::dateHint());
    });

    Frame2 = new QGroupBox(QStringLiteral("Announcement Time"), page);
    name(Frame2, "Frame2", QStringLiteral("Announcement Time"));
    place(Frame2, 2985, 480, 2640, 1020);
    auto *label7 = new QLabel(QStringLiteral("Hour"), Frame2);
    name(label7, "Label7", QStringLiteral("Hour"));
    place(label7, 150, 250, 405, 240, false);
    auto *label8 = new QLabel(QStringLiteral("Minute"), Frame2);
    name(label8, "Label8", QStringLiteral("Minute"));
    place(label8, 950, 250, 585, 240, false);
    auto *label1 = new QLabel(QStringLiteral("am/pm"), Frame2);
    name(label1, "Label1", QStringLiteral("am/pm"));
    place(label1, 1800, 250, 600, 240, false);

    auto combo = [this](QWidget *parent, const char *objectName, const QString &label,
                     const QString &tip) {
        auto *box = new QComboBox(parent);
        box->setEditable(true);
        box->setInsertPolicy(QComboBox::NoInsert);
        readByLabel(box, label);
        name(box, objectName, label, tip);
        box->lineEdit()->setAccessibleName(label);
        box->installEventFilter(this);
        return box;
    };
    // Typed numbers are kept as typed: a completion turns "1" into "10".
    auto timeCombo = [this, combo](const char *objectName, const QString &label, const QString &tip,
                         manager::TimeField field) {
        QComboBox *box = combo(Frame2, objectName, label, tip);
        box->setCompleter(nullptr);
        connect(box, &QComboBox::editTextChanged, this,
            [this, box, field, tip] { markTimeField(box, field, tip); });
        return box;
    };
    com_hr = timeCombo("com_hr", QStringLiteral("Hour"), QStringLiteral("Select the hour in here"),
        manager::TimeField::Hour);
    place(com_hr, 135, 570, 615, 360, false);
    label7->setBuddy(com_hr);
    com_min = timeCombo("com_min", QStringLiteral("Minute"),
        QStringLiteral("Select the minute in here"), manager::TimeField::Minute);
    place(com_min, 960, 570, 600, 360, false);
    label8->setBuddy(com_min);
    com_am = timeCombo("com_am", QStringLiteral("am/pm"),
        QStringLiteral("Please choose between am or pm"), manager::TimeField::AmPm);
    place(com_am, 1800, 570, 705, 360, false);
    label1->setBuddy(com_am);
    com_hr->setEditText(QStringLiteral("01"));
    com_min->setEditText(QStringLiteral("01"));
    com_am->setEditText(QStringLiteral("am"));

    Frame1 = new QGroupBox(QStringLiteral("Optional settings"), page);
    name(Frame1, "Frame1", QStringLiteral("Optional settings"));
    // Captions drawn for a narrower face than ours keep whole in a condensed one.
    QFont condensed = font();
    condensed.setStretch(QFont::SemiCondensed);
    Frame1->setFont(condensed);
    place(Frame1, 2985, 1560, 2670, 1485);
    com_repeat = combo(Frame1, "com_repeat", QStringLiteral("Repeat"),
        QStringLiteral("Select whether you want this message to repeat or not"));
    place(com_repeat, 90, 240, 2430, 330, false);
    com_repeat->setEditText(QLatin1String(manager::kNoRepeatChoice));

    auto tick = [this](const char *objectName, const QString &label, const QString &tip) {
        auto *box = new QCheckBox(Frame1);
        name(box, objectName, label, tip);
        box->installEventFilter(this);
        return box;
    };
    auto caption = [this](const char *objectName, const QString &text, const QString &tip) {
        auto *l = new ClickLabel(text, Frame1);
        name(l, objectName, text, tip);
        return l;
    };
    const QString confirmTip = QStringLiteral("Click here to enable or disable user confirmation");
    const QString warnTip
        = QStringLiteral("Enabling this setting will warn you of your appointment, "
                         "1 week before and then 3 days before it is due");
    const QString helpTip
        = QStringLiteral("Enable or disable the speaking help from the Agent character");
    chk_confirm = tick("chk_confirm", QStringLiteral("Request user confirmation"), confirmTip);
    place(chk_confirm, 105, 600, 225, 255, false);
    Label2 = caption("Label2", QStringLiteral("Request user confirmation"), confirmTip);
    place(Label2, 405, 630, 2895, 225, false);
    chk_warn = tick("chk_warn", QStringLiteral("Remind me 1 week in advance"), warnTip);
    place(chk_warn, 105, 900, 285, 255, false);
    Label3 = caption("Label3", QStringLiteral("Remind me 1 week in advance"), warnTip);
    place(Label3, 390, 930, 2715, 225, false);
    chk_help = tick("chk_help", QStringLiteral("Turn off the speaking help"), helpTip);
    place(chk_help, 105, 1170, 285, 255, false);
    Label4 = caption("Label4", QStringLiteral("Turn off the speaking help"), helpTip);
    place(Label4, 390, 1200, 3255, 225, false);
    for (ClickLabel *l : { Label2, Label3, Label4 })
        l->setMinimumWidth(0);
    // A tick box captioned "Turn off": ticked means help off.
    connect(Label2, &ClickLabel::clicked, this, [this] { chk_confirm->toggle(); });
    connect(Label3, &ClickLabel::clicked, this, [this] { chk_warn->toggle(); });
    connect(Label4, &ClickLabel::clicked, this, [this] {
        chk_help->toggle();
        helpChange(chk_help->isChecked());
    });
    connect(chk_help, &QCheckBox::clicked, this, [this](bool ticked) { helpChange(ticked); });

    auto picture = [this, page](const char *objectName, const QString &icon, const QString &label,
                       const QString &tip) {
        auto *button = new QToolButton(page);
        name(button, objectName, label, tip);
        button->setIcon(QIcon(icon));
        button->setIconSize(QSize(32, 32));
        button->setAutoRaise(true);
        button->installEventFilter(this);
        return button;
    };
    Picture2 = picture("Picture2", QStringLiteral(":/icons/close.svg"), QStringLiteral("Exit"),
        QStringLiteral("Click here to close this window"));
    place(Picture2, 6240, 600, 480, 480);
    lab_exit = new ClickLabel(QStringLiteral("Exit"), page);
    name(lab_exit, "lab_exit", QStringLiteral("Exit"),
        QStringLiteral("Click here to exit Appointment manager"));
    lab_exit->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    place(lab_exit, 6200, 1150, 570, 375);
    Picture3 = picture("Picture3", QStringLiteral(":/icons/save.svg"), QStringLiteral("Save"),
        QStringLiteral("Click here to save the alarm"));
    place(Picture3, 6240, 1800, 480, 480);
    lab_save = new ClickLabel(QStringLiteral("Save"), page);
    name(lab_save, "lab_save", QStringLiteral("Save"),
        QStringLiteral("Click here to save the alarm"));
    lab_save->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    place(lab_save, 6220, 2390, 570, 315);
    connect(Picture2, &QToolButton::clicked, this, &FrmSet::exitManager);
    connect(lab_exit, &ClickLabel::clicked, this, &FrmSet::exitManager);
    connect(Picture3, &QToolButton::clicked, this, &FrmSet::save);
    connect(lab_save, &ClickLabel::clicked, this, &FrmSet::save);

    Label5 = new QLabel(QStringLiteral("Announcement/Message"), page);
    name(Label5, "Label5", QStringLiteral("Announcement/Message"));
    place(Label5, 2400, 3150, 2565, 300);
    lab_room = new QLabel(page);
    name(lab_room, "lab_room", QStringLiteral("Characters left"));
    lab_room->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    place(lab_room, 5000, 3150, 2095, 300);
    txt_message = new QPlainTextEdit(page);
    name(txt_message, "txt_message", QStringLiteral("Announcement/Message"),
        QStringLiteral("Type your message or appointment in here. This will be spoken on "
                       "activation"));
    txt_message->setTabChangesFocus(true);
    txt_message->installEventFilter(this);
    Label5->setBuddy(txt_message);
    place(txt_message, 240, 3480, 6855, 2085);
    connect(txt_message, &QPlainTextEdit::textChanged, this, &FrmSet::limitMessage);
    limitMessage();

    // The keyboard's way through the first tab.
    QWidget::setTabOrder(cal, com_hr);
    QWidget::setTabOrder(com_hr, com_min);
    QWidget::setTabOrder(com_min, com_am);
    QWidget::setTabOrder(com_am, com_repeat);
    QWidget::setTabOrder(com_repeat, chk_confirm);
    QWidget::setTabOrder(chk_confirm, chk_warn);
    QWidget::setTabOrder(chk_warn, chk_help);
    QWidget::setTabOrder(chk_help, txt_message);
    QWidget::setTabOrder(txt_message, Picture3);
    QWidget::setTabOrder(Picture3, Picture2);
}

void FrmSet::buildTab1(QWidget *page)
{
    Combo1 = new OpenListCombo(page);
    name(Combo1, "Combo1", QStringLiteral("Existing Appointments"),
        QStringLiteral("To preview the alarm, just click on the line you wish to look at"));
    Combo1->edit->setAccessibleName(QStringLiteral("Selected appointment"));
    Combo1->list->setAccessibleName(QStringLiteral("Existing Appointments"));
    Combo1->list->setToolTip(Combo1->toolTip());
    Combo1->edit->installEventFilter(this);
    Combo1->list->installEventFilter(this);
    place(Combo1, 120, 480, 9360, 2265);
    Combo1->setText(manager::noAlarmsText());
    connect(Combo1, &OpenListCombo::clicked, this, &FrmSet::Combo1_Click);

    Text1 = new QPlainTextEdit(manager::listHelpText(), page);
    name(Text1, "Text1", QStringLiteral("How to preview and delete"));
    Text1->setReadOnly(true);
    Text1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Text1->document()->setDocumentMargin(2);
    QFont condensed = font();
    condensed.setStretch(QFont::SemiCondensed);
    condensed.setPointSizeF(7.5);
    Text1->setFont(condensed);
    Text1->setFocusPolicy(Qt::NoFocus);
    Text1->setFrameShape(QFrame::NoFrame);
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Text1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QPalette p = Text1->palette();
    p.setColor(QPalette::Base, p.color(QPalette::Button));
    p.setColor(QPalette::Text, p.color(QPalette::ButtonText));
    Text1->setPalette(p);
    place(Text1, 125, 510, 1590, 2200);
    Text1->raise();
    // The instructions cover the list's left edge, as designed.
    Combo1->setLeftMargin(Text1->geometry().right() - Combo1->x() + 4);

    com_del = new QPushButton(QStringLiteral("&Delete"), page);
    name(com_del, "com_del", QStringLiteral("Delete"),
        QStringLiteral("Click here to delete the highlighted message"));
    place(com_del, 120, 2880, 1500, 330);
    Command1 = new QPushButton(QStringLiteral("&Print"), page);
    name(Command1, "Command1", QStringLiteral("Print"),
        QStringLiteral("Click here to print a list of your appointments, using your default "
                       "printer."));
    place(Command1, 1680, 2880, 1500, 330);
    Command2 = new QPushButton(QStringLiteral("Exit"), page);
    name(Command2, "Command2", QStringLiteral("Exit"),
        QStringLiteral("Click here to close this window"));
    place(Command2, 8000, 2880, 1500, 330);
    cmdImport = new QPushButton(QStringLiteral("&Import…"), page);
    name(cmdImport, "cmdImport", QStringLiteral("Import"),
        QStringLiteral("Click here to add the appointments of an iCalendar (.ics) file"));
    place(cmdImport, 3240, 2880, 1500, 330);
    cmdExport = new QPushButton(QStringLiteral("E&xport…"), page);
    name(cmdExport, "cmdExport", QStringLiteral("Export"),
        QStringLiteral("Click here to save all your appointments as an iCalendar (.ics) file"));
    place(cmdExport, 4800, 2880, 1500, 330);
    connect(cmdImport, &QPushButton::clicked, this, &FrmSet::cmdImport_Click);
    connect(cmdExport, &QPushButton::clicked, this, &FrmSet::cmdExport_Click);
    connect(com_del, &QPushButton::clicked, this, &FrmSet::com_del_Click);
    connect(Command1, &QPushButton::clicked, this, &FrmSet::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &FrmSet::exitManager);

    using manager::HelpTopic;
    m_helpTopics = { { chk_confirm, HelpTopic::Confirm }, { chk_help, HelpTopic::HelpSwitch },
        { chk_warn, HelpTopic::Warn }, { com_am, HelpTopic::AmPm }, { com_hr, HelpTopic::Hour },
        { com_min, HelpTopic::Minute }, { com_repeat, HelpTopic::Repeat },
        { Combo1->edit, HelpTopic::List }, { Combo1->list, HelpTopic::List },
        { Picture2, HelpTopic::Exit }, { Picture3, HelpTopic::Save } };
}

void FrmSet::setFormSize(int width, int height, int tabWidth, int tabHeight)
{
    const double tpp = m_host.twipsPerPixel();
    m_formWidth = width;
    m_formHeight = height;
    const int tw = qRound(tabWidth / tpp);
    const int th = qRound(tabHeight / tpp);
    const int strip = qRound(kTabStripTwips / tpp);
    // The frame and title of the window lie outside its client area.
    setFixedSize(tw, th);
    SSTab1->setGeometry(0, 0, tw, th);
    tabs->setGeometry(0, 0, tw, strip);
    pages->setGeometry(0, strip, tw, th - strip);
}

void FrmSet::Form_Load()
{
    // The stored position
    const double tpp = m_host.twipsPerPixel();
    const float left = m_settings.position(setting::SetX).value_or(200);
    const float top = m_settings.position(setting::SetY).value_or(200);
    move(qRound(left / tpp), qRound(top / tpp));
    // The first tab and its size
    tabs->blockSignals(true);
    tabs->setCurrentIndex(0);
    tabs->blockSignals(false);
    pages->setCurrentIndex(0);
    setFormSize(kTab0Width, kTab0Height, kTab0TabWidth, kTab0TabHeight);
    // The character beside the manager
    if (agent::Character *c = m_character.current())
        c->Show();
    placeCharacter();
    // The manager stands in for the calendar while it is open
    m_host.hideCalendar();
    // Spoken help as stored; the date hint is given once a load
    helpOn = m_settings.read(setting::SpkHelp) == QLatin1String("on");
    chk_help->setChecked(!helpOn);
    dateHintGiven = false;
    // The choices, the next full time, and the window itself
    fillChoices();
    setDefaultTime();
    show();
    cal->setFocus();
    // The appointment list, once there is a data file
    watchDataFile();
    if (!QFileInfo(dataFile()).isFile()) {
        qCInfo(lcManager) << "no data file: the list is empty";
        return;
    }
    if (!buildList(false))
        return;
    cal->setValue(m_services.clock.now().date());
}

void FrmSet::fillChoices()
{
    com_hr->addItems(manager::hourChoices());
    com_am->addItems(manager::ampmChoices());
    com_am->setEditText(QStringLiteral("am"));
    com_min->addItems(manager::minuteChoices());
    com_repeat->addItems(manager::repeatChoices());
    com_repeat->setEditText(QLatin1String(manager::kNoRepeatChoice));
    com_repeat->lineEdit()->setCursorPosition(0);
}

void FrmSet::setDefaultTime()
{
    const manager::TimeFields t = manager::defaultTime(m_services.clock.now().time());
    com_hr->setEditText(t.hour);
    com_am->setEditText(t.ampm);
    com_min->setEditText(t.minute);
}

bool FrmSet::buildList(bool quiet)
{
    const QLocale locale = QLocale::system();
    QStringList lines;
    const ScanRetry retry = quiet
        ? ScanRetry { {}, MsgIcon::None, {}, 0, 1, false }
        : ScanRetry { readError(), MsgIcon::Exclamation, {}, 1, kScanAttempts + 1, true };
    const ScanOutcome outcome = scanDataFile(dataFile(), ScanFilter {}, retry,
        ScanServices {
            m_services.dialogs, [this](int s) { m_modClock.PauseSeconds(quint8(s)); }, readFile },
        [&](const AppointmentLine &line) { lines << manager::listLine(line, locale); });
    if (outcome == ScanOutcome::GaveUp) {
        qCWarning(lcManager) << "the data file could not be read for the list";
        return false;
    }
    // The folder also holds other files (settings, the pending list) that
    // change often; a list that reads the same stays as it is.
    if (quiet && lines.size() == Combo1->count()) {
        bool same = true;
        for (int i = 0; same && i < lines.size(); ++i)
            same = lines[i] == Combo1->item(i);
        if (same)
            return true;
    }
    const QString chosen = Combo1->chosenLine();
    Combo1->list->setUpdatesEnabled(false);
    Combo1->clearLines();
    for (const QString &line : lines)
        Combo1->addItem(line);
    Combo1->list->setUpdatesEnabled(true);
    if (lines.isEmpty())
        Combo1->setText(manager::noAlarmsText());
    else if (const qsizetype row = chosen.isEmpty() ? -1 : lines.indexOf(chosen); row >= 0)
        Combo1->chooseQuietly(int(row));
    qCDebug(lcManager) << "listed" << lines.size() << "appointments";
    return true;
}

void FrmSet::watchDataFile()
{
    // The file is replaced whole on every write, so its folder is watched
    // too: a watch on the old file ends with it.
    m_watcher = new QFileSystemWatcher(this);
    m_relist = new QTimer(this);
    m_relist->setSingleShot(true);
    m_relist->setInterval(100);
    auto rewatch = [this] {
        if (QFileInfo(dataFile()).isFile() && !m_watcher->files().contains(dataFile()))
            m_watcher->addPath(dataFile());
    };
    m_watcher->addPath(QFileInfo(dataFile()).absolutePath());
    rewatch();
    connect(m_watcher, &QFileSystemWatcher::fileChanged, m_relist, qOverload<>(&QTimer::start));
    connect(
        m_watcher, &QFileSystemWatcher::directoryChanged, m_relist, qOverload<>(&QTimer::start));
    connect(m_relist, &QTimer::timeout, this, [this, rewatch] {
        if (m_unloaded)
            return;
        rewatch();
        buildList(true);
    });
}

void FrmSet::markTimeField(QComboBox *box, manager::TimeField field, const QString &tip)
{
    // The accessible name stays the label; the description says what is wrong.
    const bool valid = manager::validTimeField(field, box->currentText());
    const QString said = valid ? tip : manager::invalidFieldText(field);
    box->setStyleSheet(
        valid ? QString() : QStringLiteral("QComboBox { border: 2px solid #c62828; }"));
    box->setToolTip(said);
    box->setAccessibleDescription(said);
    box->lineEdit()->setAccessibleDescription(valid ? QString() : said);
}

void FrmSet::placeCharacter()
{
    // Beside the window as it stands, frame included, never over its
    // controls; he follows it when it moves (CharacterBeside).
    if (agent::Character *c = m_character.current())
        c->MoveBeside(frameGeometry());
}

void FrmSet::SSTab1_Click(int tab)
{
    if (tabs->currentIndex() != tab) {
        tabs->blockSignals(true);
        tabs->setCurrentIndex(tab);
        tabs->blockSignals(false);
    }
    pages->setCurrentIndex(tab);
    if (tab == 1)
        setFormSize(kTab1Width, kTab1Height, kTab1TabWidth, kTab1TabHeight);
    else
        setFormSize(kTab0Width, kTab0Height, kTab0TabWidth, kTab0TabHeight);
    if (agent::Character *c = m_character.current()) {
        c->Show();
        c->Stop();
    }
    placeCharacter();
}

void FrmSet::helpChange(bool helpOff)
{
    m_settings.write(setting::SpkHelp, helpOff ? QStringLiteral("off") : QStringLiteral("on"));
    helpOn = !helpOff;
    beep();
    m_character.sayagain(manager::helpSwitchSentence(helpOff));
}

void FrmSet::speakHelp(QObject *control)
{
    if (!helpOn)
        return;
    if (const auto topic = m_helpTopics.constFind(control); topic != m_helpTopics.cend())
        m_character.sayagain(manager::spokenHelp(*topic));
}

void FrmSet::limitMessage()
{
    if (m_trimming)
        return;
    const manager::MessageFit fit = manager::fitTyped(txt_message->toPlainText());
    if (fit.cut) {
        // Pasted or typed past what a key read returns: keep what fits, and say so.
        m_trimming = true;
        txt_message->setPlainText(fit.text);
        txt_message->moveCursor(QTextCursor::End);
        m_trimming = false;
    }
    lab_room->setText(fit.room);
    lab_room->setAccessibleDescription(fit.room);
}

bool FrmSet::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::FocusIn:
        if (watched == txt_message)
            txt_message->selectAll();
        else
            speakHelp(watched);
        break;
    case QEvent::MouseButtonPress:
        if (watched == this || watched == SSTab1 || watched->parent() == pages) {
            auto *mouse = static_cast<QMouseEvent *>(event);
            if (mouse->button() == Qt::LeftButton && !dragging) {
                const double tpp = m_host.twipsPerPixel();
                const QPoint at
                    = static_cast<QWidget *>(watched)->mapTo(this, mouse->position().toPoint());
                grabX = qRound(at.x() * tpp);
                grabY = qRound(at.y() * tpp);
                dragLeft = float(x() * tpp);
                dragTop = float(y() * tpp);
                dragging = true;
                return true; // one drag, however far up the press travels
            }
        }
        break;
    case QEvent::MouseMove:
        if (dragging) {
            auto *mouse = static_cast<QMouseEvent *>(event);
            const double tpp = m_host.twipsPerPixel();
            const QPoint at
                = static_cast<QWidget *>(watched)->mapTo(this, mouse->position().toPoint());
            const QPointF target = band::dragTarget(QPointF(dragLeft, dragTop),
                QPoint(grabX, grabY), QPointF(at.x() * tpp, at.y() * tpp));
            move(qRound(target.x() / tpp), qRound(target.y() / tpp));
            dragLeft = float(x() * tpp);
            dragTop = float(y() * tpp);
            storePosition();
            return true;
        }
        break;
    case QEvent::MouseButtonRelease:
        dragging = false;
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void FrmSet::storePosition()
{
    const double tpp = m_host.twipsPerPixel();
    m_settings.setPosition(setting::SetX, float(x() * tpp));
    m_settings.setPosition(setting::SetY, float(y() * tpp));
}

void FrmSet::beep()
{
    m_services.dialogs.beep();
}

void FrmSet::save()
{
    m_character.sayagain(QStringLiteral("Please wait"));
    manager::SaveFields fields;
    fields.hour = com_hr->currentText();
    fields.minute = com_min->currentText();
    fields.ampm = com_am->currentText();
    fields.date = QDate(cal->Year(), cal->Month(), cal->Day());
    fields.message = txt_message->toPlainText();
    fields.repeat = com_repeat->currentText();
    fields.confirm = chk_confirm->isChecked();
    fields.warn = chk_warn->isChecked();
    const manager::SavePlan plan = manager::planSave(fields, m_services.clock.now());
    switch (plan.refusal) {
    case manager::SaveRefusal::None:
        break;
    case manager::SaveRefusal::InvalidMinute:
    case manager::SaveRefusal::InvalidHour:
    case manager::SaveRefusal::InvalidAmPm:
        m_services.dialogs.messageBox(manager::refusalText(plan.refusal), MsgButtons::Ok,
            MsgIcon::Critical, QStringLiteral("Error!"));
        return;
    default:
        m_services.dialogs.messageBox(
            manager::refusalText(plan.refusal), MsgButtons::Ok, MsgIcon::Exclamation);
        return;
    }
    // A time gone today would only come back as an old message.
    if (plan.passedToday
        && m_services.dialogs.messageBox(manager::passedTodayQuestion(), MsgButtons::YesNo,
               MsgIcon::Question, QStringLiteral("Attention!"))
            != MsgAnswer::Yes)
        return;
    // One appointment a minute: another one there is replaced only when the user says so.
    const QString held = INIFuncs::INIRead(
        dataFile(), QLatin1String(kAlarmsSection), plan.key, QLatin1String(kNothing));
    if (const std::optional<QString> question = manager::replaceQuestion(held, plan.value)) {
        if (m_services.dialogs.messageBox(
                *question, MsgButtons::YesNo, MsgIcon::None, QStringLiteral("Attention!"))
            != MsgAnswer::Yes)
            return;
    }
    // The calendar restarts to take up the new appointment.
    m_settings.setFlag(setting::NeedsReboot, true);
    // The message on one line, as it is stored
    const QString oneLine = textcodec::oneLine(txt_message->toPlainText());
    if (oneLine != txt_message->toPlainText())
        txt_message->setPlainText(oneLine);
    // Written into the data file
    QString error;
    if (!INIFuncs::INIWrite(
            dataFile(), QLatin1String(kAlarmsSection), plan.key, plan.value, &error)) {
        // The fields keep the appointment so that nothing typed is lost.
        m_services.dialogs.messageBox(manager::writeFailureText(error), MsgButtons::Ok,
            MsgIcon::Critical, QStringLiteral("Error!"));
        return;
    }
    qCInfo(lcManager) << "saved" << plan.key;
    // Closed, and opened fresh for the next appointment
    Form_Unload();
    m_host.reshowset();
}

void FrmSet::Combo1_Click()
{
    const QString key = Combo1->chosenLine().left(16);
    const QString value = INIFuncs::INIRead(
        dataFile(), QLatin1String(kAlarmsSection), key, QLatin1String(kNothing));
    const auto fields = manager::preview(key, value);
    if (!fields)
        return;
    beep();
    com_min->setEditText(fields->minute);
    cal->setYear(fields->year);
    cal->setMonth(fields->month);
    cal->setDay(fields->day);
    txt_message->setPlainText(fields->message);
    chk_warn->setChecked(fields->warn);
    com_am->setEditText(fields->ampm);
    com_hr->setEditText(fields->hour);
    if (helpOn) {
        m_character.sayagain(
            manager::previewSentence(*fields, cal->Day(), cal->Month(), cal->Year()));
    }
    chk_confirm->setChecked(fields->repeat.confirm);
    com_repeat->setEditText(fields->repeat.choice);
}

void FrmSet::com_del_Click()
{
    // Only the line the user chose, when it still holds an appointment, is cleared.
    const auto key = manager::deletableKey(Combo1->chosenLine());
    auto valueNow = [this, &key] {
        return INIFuncs::INIRead(
            dataFile(), QLatin1String(kAlarmsSection), *key, QLatin1String(kNothing));
    };
    const QString chosen = key ? valueNow() : QString();
    const bool present = key && chosen != QLatin1String(kNothing);
    if (!present) {
        m_character.sayagain(
            QStringLiteral("You didnt select a valid appointment, please try again!"));
        m_services.dialogs.messageBox(
            QStringLiteral("You didn`t select a valid appointment, please try again!"),
            MsgButtons::Ok, MsgIcon::Exclamation);
        return;
    }
    if (m_services.dialogs.messageBox(manager::deleteQuestion(*key, chosen, QLocale::system()),
            MsgButtons::YesNo, MsgIcon::None, QStringLiteral("WARNING!"))
        != MsgAnswer::Yes)
        return;
    // The question keeps timers running: the appointment may have fired and
    // moved on meanwhile, and its key may hold another one by now.
    if (valueNow() != chosen) {
        m_services.dialogs.messageBox(manager::movedOnText(), MsgButtons::Ok, MsgIcon::Information);
        return;
    }
    QString error;
    if (!INIFuncs::INIWrite(
            dataFile(), QLatin1String(kAlarmsSection), *key, QLatin1String(kNothing), &error)) {
        m_services.dialogs.messageBox(manager::writeFailureText(error), MsgButtons::Ok,
            MsgIcon::Critical, QStringLiteral("Error!"));
        return;
    }
    qCInfo(lcManager) << "deleted" << *key;
    m_settings.setFlag(setting::NeedsReboot, true);
    Form_Unload();
    m_host.reshowset();
}

void FrmSet::cmdImport_Click()
{
    const QString file = m_services.dialogs.chooseOpenFile(QStringLiteral("Import appointments"),
        QDir::homePath(), QStringLiteral("iCalendar files (*.ics);;All files (*)"));
    if (file.isEmpty())
        return;
    const ical::ImportReport report = ical::importFile(file, dataFile(),
        { m_services.clock.now(), ical::allDayTime(m_settings.read(setting::AllDayTime)) });
    m_services.dialogs.messageBox(ical::reportText(report), MsgButtons::Ok,
        report.error.isEmpty() ? MsgIcon::Information : MsgIcon::Exclamation,
        QStringLiteral("Import"));
    if (report.added == 0)
        return;
    // The calendar takes the new appointments in at its restart, as after a save.
    m_settings.setFlag(setting::NeedsReboot, true);
    buildList(true);
}

void FrmSet::cmdExport_Click()
{
    const QString file = m_services.dialogs.chooseSaveFile(QStringLiteral("Export appointments"),
        QDir::homePath() + QStringLiteral("/appointments.ics"),
        QStringLiteral("iCalendar files (*.ics)"));
    if (file.isEmpty())
        return;
    const ical::ExportResult result = ical::exportToFile(dataFile(), file);
    if (!result.error.isEmpty()) {
        m_services.dialogs.messageBox(
            QStringLiteral("Your appointments were not exported: %1.").arg(result.error),
            MsgButtons::Ok, MsgIcon::Exclamation, QStringLiteral("Export"));
        return;
    }
    m_services.dialogs.messageBox(
        QStringLiteral("%1 appointments exported to %2.").arg(result.events).arg(file),
        MsgButtons::Ok, MsgIcon::Information, QStringLiteral("Export"));
}

void FrmSet::Command1_Click()
{
    beep();
    QList<AppointmentLine> lines;
    ScanFilter filter;
    filter.skipNonDigit = false;
    // A file that cannot be read still prints its header and footer.
    scanDataFile(dataFile(), filter, ScanRetry { {}, MsgIcon::None, {}, 0, 1, false },
        ScanServices { m_services.dialogs, {}, readFile },
        [&](const AppointmentLine &line) { lines << line; });
    const QStringList document = manager::printDocument(lines, QLocale::system());
    const Printer::Result result
        = m_services.printer.printLines(QStringLiteral("Quillory appointments"), document);
    switch (result.outcome) {
    case Printer::Outcome::Printed:
        qCInfo(lcManager) << "list printed on" << result.where;
        break;
    case Printer::Outcome::SavedAsPdf:
        m_character.sayagain(QStringLiteral("There is no printer, so I have saved your list of "
                                            "appointments in the file ")
            + result.where);
        break;
    case Printer::Outcome::Failed:
        m_services.dialogs.messageBox(
            QStringLiteral("Sorry, your list of appointments could not be printed: %1.")
                .arg(result.error),
            MsgButtons::Ok, MsgIcon::Exclamation);
        break;
    }
}

void FrmSet::exitManager()
{
    if (m_settings.flag(setting::NeedsReboot) != Flag::True) {
        Form_Unload();
        return;
    }
    m_settings.setFlag(setting::NeedsReboot, false);
    storePosition();
    if (!m_host.restartProgram()) {
        // Without a restart the calendar carries on; the manager still closes.
        Form_Unload();
    }
}

void FrmSet::Form_Unload()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    // A blank sentence cuts short whatever the character was saying.
    m_character.say(QStringLiteral(" "));
    if (m_settings.flag(setting::Visible) == Flag::True)
        m_host.showCalendar();
    storePosition();
    // A restart to come brings the character home anyway.
    if (m_settings.flag(setting::NeedsReboot) != Flag::True)
        m_character.moveme();
    hide();
    emit closed();
}

void FrmSet::closeEvent(QCloseEvent *event)
{
    // The title bar's close leaves the manager as its Exit controls do, so a
    // saved change still restarts the calendar.
    if (!m_unloaded && !(m_host.calendarUnloading && m_host.calendarUnloading()))
        exitManager();
    event->accept();
}
