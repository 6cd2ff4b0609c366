#include "announce/FrmMessage.h"

#include "agent/Agent.h"
#include "announce/Logging.h"
#include "storage/ModClock.h"
#include "storage/Settings.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>
#include <QVBoxLayout>

FrmMessage::FrmMessage(SettingsStore &settings, ModClock &modClock, agent::Control &agentControl,
    Host host, QWidget *parent)
    : QWidget(parent,
        Qt::Window | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint | Qt::CustomizeWindowHint)
    , m_settings(settings)
    , m_modClock(modClock)
    , m_agent(agentControl)
    , m_host(std::move(host))
{
    setObjectName(QStringLiteral("frm_message"));
    setWindowTitle(QStringLiteral("You have a new message waiting"));
    setAttribute(Qt::WA_ShowWithoutActivating);

    Label1 = new QLabel(QStringLiteral("You have an announcement waiting"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    QFont heading = Label1->font();
    heading.setBold(true);
    heading.setPointSizeF(heading.pointSizeF() * 1.15);
    Label1->setFont(heading);

    txt_message = new QPlainTextEdit(this);
    txt_message->setObjectName(QStringLiteral("txt_message"));
    txt_message->setReadOnly(true);
    txt_message->setToolTip(QStringLiteral("This is your appointment / announcement"));
    QFont messageFont = txt_message->font();
    messageFont.setPointSizeF(messageFont.pointSizeF() * 1.2);
    txt_message->setFont(messageFont);

    Command1 = new QPushButton(QStringLiteral("Ok"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setToolTip(
        QStringLiteral("Click here to close this window or to acknowlege the announcement"));
    com_snooze = new QPushButton(QStringLiteral("Snooze !"), this);
    com_snooze->setObjectName(QStringLiteral("com_snooze"));
    com_snooze->setToolTip(QStringLiteral("Click here to snooze the appointment for 5 minutes"));
    connect(Command1, &QPushButton::clicked, this, &FrmMessage::Command1_Click);
    connect(com_snooze, &QPushButton::clicked, this, &FrmMessage::com_snooze_Click);

    snooze = new QTimer(this);
    snooze->setObjectName(QStringLiteral("snooze"));
    connect(snooze, &QTimer::timeout, this, &FrmMessage::snooze_Timer);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(com_snooze);
    buttons->addWidget(Command1);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(txt_message, 1);
    layout->addLayout(buttons);
}

void FrmMessage::Form_Load()
{
    // On top, shown without taking the focus from what the user is typing.
    const double tpp = m_host.twipsPerPixel ? m_host.twipsPerPixel() : 15.0;
    setFixedSize(qRound(7290 / tpp), qRound(2745 / tpp));
    if (const QScreen *s = QGuiApplication::primaryScreen()) {
        const QRect area = s->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
    show();
    if (m_settings.flag(setting::Delay) == Flag::True)
        m_modClock.PauseSeconds(8);
}

void FrmMessage::Show()
{
    if (!m_loaded) {
        m_loaded = true;
        Form_Load();
        return;
    }
    show();
}

void FrmMessage::setMessageText(const QString &text, Qt::Alignment alignment)
{
    // Speech tags are for the voice, never for the eye.
    QString shown = text;
    static const QRegularExpression tags(QStringLiteral("\\\\[A-Za-z]+(=[^\\\\]*)?\\\\"));
    shown.remove(tags);
    txt_message->setPlainText(shown);
    QTextCursor cursor(txt_message->document());
    cursor.select(QTextCursor::Document);
    QTextBlockFormat format;
    format.setAlignment(alignment);
    cursor.mergeBlockFormat(format);
    m_revealed = (text == pendingText);
}

void FrmMessage::alert()
{
    agent::Character *character = m_agent.Characters(m_settings.read(setting::Char));
    if (!character) {
        m_modClock.PauseSeconds(4);
        return;
    }
    character->Show();
    // The alert is heard even when the user has turned the character's
    // sounds off; they are off again afterwards.
    const bool effectsWereOn = character->SoundEffectsOn();
    if (!effectsWereOn)
        character->setSoundEffectsOn(true);
    character->Play(QStringLiteral("alert"));
    character->Play(QStringLiteral("alert"));
    m_modClock.PauseSeconds(4);
    if (!effectsWereOn) {
        // The pause ran events: the character may have been changed meanwhile.
        if (agent::Character *now = m_agent.Characters(m_settings.read(setting::Char)))
            now->setSoundEffectsOn(false);
    }
}

void FrmMessage::display(bool confirm, const QString &text)
{
    pendingText = text;
    qCInfo(lcAnnounce).noquote() << "announcing" << (confirm ? "(confirm first)" : "") << text;
    if (confirm) {
        alert();
        setMessageText(QString::fromLatin1(kPlaceholder), Qt::AlignCenter);
        return;
    }
    if (pendingText.endsWith(QLatin1Char('}')))
        pendingText.chop(1);
    setMessageText(pendingText, Qt::AlignLeft);
    alert();
    m_host.say(pendingText);
}

void FrmMessage::Command1_Click()
{
    if (m_revealed) {
        qCInfo(lcAnnounce) << "message acknowledged; the calendar restarts";
        m_host.restart();
        return;
    }
    setMessageText(pendingText, Qt::AlignLeft);
    m_host.say(pendingText);
}

void FrmMessage::com_snooze_Click()
{
    hide();
    snoozeCount = 0;
    snooze->start(60000);
    m_host.say(QStringLiteral("The appointment will show again in five minutes"));
}

void FrmMessage::snooze_Timer()
{
    ++snoozeCount;
    if (snoozeCount != 5)
        return;
    show();
    m_host.say(QStringLiteral("Please respond to this appointment"));
    snooze->stop();
}
