#include "colour/FrmColour.h"

#include "calendar/MonthView.h"
#include "calendar/WindowLinks.h"
#include "colour/Logging.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/Services.h"
#include "storage/Conversions.h"
#include "storage/Settings.h"

#include <QCloseEvent>
#include <QFrame>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace {

// What a person reads on a control: its caption without the accelerator mark.
QString readable(const char *caption)
{
    return QString::fromLatin1(caption).remove(QLatin1Char('&'));
}

QFrame *line(QWidget *parent, const char *objectName, QFrame::Shape shape)
{
    auto *frame = new QFrame(parent);
    frame->setObjectName(QLatin1String(objectName));
    frame->setAccessibleName(QStringLiteral("Line"));
    frame->setFrameShape(shape);
    frame->setFrameShadow(QFrame::Sunken);
    return frame;
}

} // namespace

FrmColour::FrmColour(Services &services, SettingsStore &settings, Host host, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
    , m_services(services)
    , m_settings(settings)
    , m_host(std::move(host))
{
    setObjectName(QStringLiteral("frm_colour"));
    setWindowTitle(QLatin1String(colour::kCaption));
    setAccessibleName(windowTitle());
    setAttribute(Qt::WA_DeleteOnClose, false);

    test = new MonthView(this);
    test->setObjectName(QStringLiteral("test"));
    test->setAccessibleName(QStringLiteral("Preview"));
    // The calendar window's size; as tall as the buttons beside it.
    test->setFixedWidth(232);
    test->setMinimumHeight(204);
    test->setFocusPolicy(Qt::NoFocus); // a picture of the colours, not a place to pick dates
    for (ColourRole role : colour::previewReadOrder())
        setMonthViewColour(*test, role, colour::designColour(role));

    QList<QPushButton *> colourButtons;
    for (const colour::ColourButton &b : colour::colourButtons())
        colourButtons << makeButton(b.objectName, b.caption, b.toolTip);
    Command1 = colourButtons.at(0);
    Command2 = colourButtons.at(1);
    Command3 = colourButtons.at(2);
    Command4 = colourButtons.at(3);
    Command6 = colourButtons.at(4);
    Command7 = makeButton("Command7", colour::kRestoreCaption, colour::kRestoreTip);
    Command5 = makeButton("Command5", colour::kExitCaption, colour::kExitTip);
    connect(Command1, &QPushButton::clicked, this, &FrmColour::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &FrmColour::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &FrmColour::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &FrmColour::Command4_Click);
    connect(Command6, &QPushButton::clicked, this, &FrmColour::Command6_Click);
    connect(Command7, &QPushButton::clicked, this, &FrmColour::Command7_Click);
    connect(Command5, &QPushButton::clicked, this, &FrmColour::Command5_Click);

    Frame1 = new QGroupBox(QLatin1String(colour::kTitleFrame), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setAccessibleName(Frame1->title());
    auto *titleButtons = new QVBoxLayout(Frame1);
    titleButtons->addWidget(Command1);
    titleButtons->addWidget(Command2);

    Frame2 = new QGroupBox(QLatin1String(colour::kMonthFrame), this);
    Frame2->setObjectName(QStringLiteral("Frame2"));
    Frame2->setAccessibleName(Frame2->title());
    auto *monthButtons = new QVBoxLayout(Frame2);
    monthButtons->addWidget(Command3);
    monthButtons->addWidget(Command4);
    monthButtons->addWidget(Command6);

    Line1 = line(this, "Line1", QFrame::VLine);
    Line2 = line(this, "Line2", QFrame::HLine);

    auto *frames = new QVBoxLayout;
    frames->addWidget(Frame1);
    frames->addWidget(Frame2);

    auto *top = new QHBoxLayout;
    top->addWidget(test);
    top->addWidget(Line1);
    top->addLayout(frames);

    auto *bottom = new QHBoxLayout;
    bottom->addWidget(Command7);
    bottom->addStretch();
    bottom->addWidget(Command5);

    auto *all = new QVBoxLayout(this);
    all->setSizeConstraint(QLayout::SetFixedSize);
    all->addLayout(top);
    all->addWidget(Line2);
    all->addLayout(bottom);
}

QPushButton *FrmColour::makeButton(const char *objectName, const char *caption, const char *tip)
{
    auto *b = new QPushButton(QString::fromLatin1(caption), this);
    b->setObjectName(QLatin1String(objectName));
    b->setAccessibleName(readable(caption));
    b->setToolTip(QString::fromLatin1(tip));
    b->setAutoDefault(false);
    return b;
}

void FrmColour::readPreview()
{
    // Read without defaults: a colour never stored (or unreadable) leaves
    // the preview's colour as it is.
    for (ColourRole role : colour::previewReadOrder()) {
        if (const auto stored = parseColour(m_settings.read(colour::settingFor(role), QString())))
            setMonthViewColour(*test, role, *stored);
    }
}

CalendarColours *FrmColour::calendar() const
{
    return m_host.calendar ? m_host.calendar() : nullptr;
}

void FrmColour::Form_Load()
{
    const QDate today = m_services.clock.now().date();
    test->setToday(today);
    test->setValue(today);
    readPreview();
    adjustSize();
    // Where no window manager places it: in the middle of the screen, clear
    // of the calendar in its corner, so the changes can be watched.
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - rect().center());
    }
    show();
}

void FrmColour::Command1_Click()
{
    changeColour(QStringLiteral("Command1"));
}

void FrmColour::Command2_Click()
{
    changeColour(QStringLiteral("Command2"));
}

void FrmColour::Command3_Click()
{
    changeColour(QStringLiteral("Command3"));
}

void FrmColour::Command4_Click()
{
    changeColour(QStringLiteral("Command4"));
}

void FrmColour::Command6_Click()
{
    changeColour(QStringLiteral("Command6"));
}

void FrmColour::changeColour(const QString &name)
{
    const auto button = colour::colourButton(name);
    if (!button)
        return;
    CalendarColours *cal = calendar();

    // 1. the colour dialog, starting at the colour the calendar shows; Cancel
    // changes nothing
    const quint32 current = cal ? cal->colour(button->targets.first())
                                : monthViewColour(*test, button->preview).value_or(0);
    const std::optional<quint32> chosen = m_services.dialogs.chooseColour(current);
    if (!chosen) {
        qCDebug(lcColour) << name << "cancelled";
        return;
    }
    // 2. the preview
    setMonthViewColour(*test, button->preview, *chosen);
    // 3. the calendar window, part by part
    if (cal) {
        for (ColourRole role : button->targets)
            cal->setColour(role, *chosen);
    }
    // 4. the setting, as decimal text
    m_settings.write(button->setting, colour::storedText(*chosen));
    qCInfo(lcColour) << button->setting.key << "set to" << *chosen;
    // 5.
    m_services.dialogs.beep();
}

void FrmColour::Command7_Click()
{
    // 1. the sentence
    if (m_host.say)
        m_host.say(QLatin1String(colour::kRestoredSentence));
    // 2. the palette
    for (const colour::PaletteEntry &entry : colour::restorePalette())
        m_settings.write(entry.setting, QLatin1String(entry.text));
    // 3. the preview, from what was stored
    readPreview();
    // 4. the calendar window, each read falling back on the palette itself
    if (CalendarColours *cal = calendar()) {
        for (const colour::CalendarTarget &target : colour::calendarTargets()) {
            const QString text
                = m_settings.read(target.setting, colour::restoreText(target.setting));
            if (const auto stored = parseColour(text))
                cal->setColour(target.role, *stored);
        }
    }
    qCInfo(lcColour) << "colours restored to the default palette";
}

void FrmColour::Command5_Click()
{
    close();
}

void FrmColour::closeEvent(QCloseEvent *event)
{
    QWidget::closeEvent(event);
    emit closed();
}
