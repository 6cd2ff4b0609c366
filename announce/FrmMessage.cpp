#include "announce/FrmMessage.h"

#include "agent/Agent.h"
#include "agent/SpeechText.h"
#include "announce/Logging.h"
#include "storage/ModClock.h"
#include "storage/Settings.h"

#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

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
    // A plain click keeps the five minutes; the choice beside it sets
    // another length for this snooze.
    com_snoozefor = new QToolButton(this);
    com_snoozefor->setObjectName(QStringLiteral("com_snoozefor"));
    com_snoozefor->setArrowType(Qt::DownArrow);
    com_snoozefor->setPopupMode(QToolButton::InstantPopup);
    // The arrow says it all; the style's own menu mark would draw a second one.
    com_snoozefor->setStyleSheet(QStringLiteral("QToolButton::menu-indicator { image: none; }"));
    com_snoozefor->setFocusPolicy(Qt::StrongFocus);
    com_snoozefor->setToolTip(QStringLiteral("Choose how long to snooze the appointment"));
    com_snoozefor->setAccessibleName(QStringLiteral("Snooze for"));
    auto *lengths = new QMenu(com_snoozefor);
    lengths->setObjectName(QStringLiteral("mnu_snoozefor"));
    lengths->setTitle(QStringLiteral("Snooze for"));
    lengths->setAccessibleName(QStringLiteral("Snooze for"));
    for (const announce::SnoozeLength length : announce::kSnoozeLengths) {
        QAction *choice = lengths->addAction(announce::snoozeCaption(length));
        choice->setObjectName(QStringLiteral("snooze_%1").arg(int(length)));
        connect(choice, &QAction::triggered, this, [this, length] { snoozeFor(length); });
    }
    com_snoozefor->setMenu(lengths);
    connect(Command1, &QPushButton::clicked, this, &FrmMessage::Command1_Click);
    connect(com_snooze, &QPushButton::clicked, this, &FrmMessage::com_snooze_Click);

    // Paging through announcements that came while others were unread.
    com_previous = new QPushButton(QStringLiteral("<"), this);
    com_previous->setObjectName(QStringLiteral("com_previous"));
    com_previous->setToolTip(QStringLiteral("Show the previous announcement"));
    com_previous->setAccessibleName(QStringLiteral("Previous announcement"));
    com_next = new QPushButton(QStringLiteral(">"), this);
    com_next->setObjectName(QStringLiteral("com_next"));
    com_next->setToolTip(QStringLiteral("Show the next announcement"));
    com_next->setAccessibleName(QStringLiteral("Next announcement"));
    for (QPushButton *b : { com_previous, com_next }) {
        b->setFixedWidth(b->fontMetrics().horizontalAdvance(QStringLiteral("MM")) + 8);
        b->setAutoDefault(false);
    }
    lab_page = new QLabel(this);
    lab_page->setObjectName(QStringLiteral("lab_page"));
    lab_page->setAccessibleName(QStringLiteral("Announcement number"));
    connect(com_previous, &QPushButton::clicked, this, &FrmMessage::com_previous_Click);
    connect(com_next, &QPushButton::clicked, this, &FrmMessage::com_next_Click);

    snooze = new QTimer(this);
    snooze->setObjectName(QStringLiteral("snooze"));
    connect(snooze, &QTimer::timeout, this, &FrmMessage::snooze_Timer);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(com_previous);
    buttons->addWidget(lab_page);
    buttons->addWidget(com_next);
    buttons->addStretch();
    buttons->addWidget(com_snooze);
    buttons->addWidget(com_snoozefor);
    buttons->addWidget(Command1);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(txt_message, 1);
    layout->addLayout(buttons);
    showPage(-1);
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
    // The delay is waited out once the first announcement is kept, so the
    // program ending during it loses nothing.
    m_delayDue = m_settings.flag(setting::Delay) == Flag::True;
}

void FrmMessage::waitFirstDelay()
{
    if (std::exchange(m_delayDue, false))
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
    txt_message->setPlainText(agent::SpeechText::parse(text).display);
    QTextCursor cursor(txt_message->document());
    cursor.select(QTextCursor::Document);
    QTextBlockFormat format;
    format.setAlignment(alignment);
    cursor.mergeBlockFormat(format);
}

void FrmMessage::showPage(qsizetype index)
{
    m_current = index;
    const qsizetype count = m_queue.size();
    const bool paging = count > 1;
    com_previous->setVisible(paging);
    com_next->setVisible(paging);
    lab_page->setVisible(paging);
    if (index < 0 || index >= count)
        return;
    lab_page->setText(announce::pageText(index, count));
    com_previous->setEnabled(index > 0);
    com_next->setEnabled(index + 1 < count);
    const announce::Announcement &shown = m_queue[index];
    if (shown.revealed)
        setMessageText(shown.text, Qt::AlignLeft);
    else
        setMessageText(QString::fromLatin1(kPlaceholder), Qt::AlignCenter);
}

void FrmMessage::savePending()
{
    if (m_host.pendingFile.isEmpty())
        return;
    QString error;
    if (!announce::writePendingFile(m_host.pendingFile, m_queue, m_snoozedUntil, &error))
        qCWarning(lcAnnounce).noquote()
            << "unacknowledged announcements not kept in" << m_host.pendingFile << ":" << error;
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
    announce::Announcement item;
    item.confirm = confirm;
    item.revealed = !confirm;
    item.text = text;
    if (!confirm && item.text.endsWith(QLatin1Char('}')))
        item.text.chop(1);
    if (!confirm)
        pendingText = item.text;
    // Kept before any wait: the program may end during it.
    m_queue.append(item);
    m_notices.append(0);
    savePending();
    waitFirstDelay();
    postNotice(m_queue.size() - 1);
    if (confirm) {
        alertAndSay({});
        showPage(m_queue.size() - 1);
        return;
    }
    showPage(m_queue.size() - 1);
    // This announcement's own text, whatever came meanwhile.
    alertAndSay(item.text);
}

void FrmMessage::displayPages(const QList<QPair<bool, QString>> &pages, const QString &spoken)
{
    qCInfo(lcAnnounce) << "announcing" << pages.size() << "pages at once";
    for (const auto &[confirm, text] : pages) {
        announce::Announcement item;
        item.confirm = confirm;
        item.revealed = !confirm;
        item.text = text;
        m_queue.append(item);
        m_notices.append(0);
    }
    // Kept before any wait, in one write for all of them.
    savePending();
    waitFirstDelay();
    postMissingNotices();
    showPage(m_queue.size() - 1);
    if (spoken.isEmpty())
        return;
    alertAndSay(spoken);
}

void FrmMessage::Command1_Click()
{
    if (m_current < 0 || m_current >= m_queue.size()) {
        // Nothing left to acknowledge: "Ok" closes, as on a revealed text.
        m_host.restart();
        return;
    }
    announce::Announcement &item = m_queue[m_current];
    if (!item.revealed) {
        item.revealed = true;
        // Answered at the window: the notification has done its part.
        withdrawNotice(m_current);
        savePending();
        showPage(m_current);
        m_host.say(item.text);
        return;
    }
    withdrawNotice(m_current);
    m_queue.removeAt(m_current);
    m_notices.removeAt(m_current);
    savePending();
    if (m_queue.isEmpty()) {
        qCInfo(lcAnnounce) << "message acknowledged; the calendar restarts";
        showPage(-1);
        m_host.restart();
        return;
    }
    qCInfo(lcAnnounce) << "message acknowledged;" << m_queue.size() << "still waiting";
    showPage(m_queue.size() - 1);
}

void FrmMessage::com_previous_Click()
{
    if (m_current > 0)
        showPage(m_current - 1);
}

void FrmMessage::com_next_Click()
{
    if (m_current + 1 < m_queue.size())
        showPage(m_current + 1);
}

void FrmMessage::restorePending()
{
    if (m_host.pendingFile.isEmpty())
        return;
    const announce::PendingRead read = announce::readPendingFile(m_host.pendingFile);
    if (read.skipped > 0)
        qCWarning(lcAnnounce) << read.skipped << "unreadable lines in" << m_host.pendingFile;
    if (read.pending.isEmpty())
        return;
    qCInfo(lcAnnounce) << read.pending.size() << "announcements from the last run still waiting";
    m_queue = read.pending + m_queue;
    m_notices = QList<Notifier::Handle>(read.pending.size(), 0) + m_notices;
    pendingText = m_queue.last().text;
    // Snoozed before the restart: back when the snooze is up, not now.
    const QDateTime now = m_host.now ? m_host.now() : QDateTime();
    if (read.snoozedUntil.isValid() && now.isValid() && read.snoozedUntil > now
        && now.secsTo(read.snoozedUntil) <= announce::kLongestSnoozeSecs) {
        m_snoozedUntil = read.snoozedUntil;
        const qint64 left = now.msecsTo(m_snoozedUntil);
        if (left <= 5 * 60000) {
            // The last minute of a five-minute count, at the time left.
            m_snoozeMinutes = 5;
            snoozeCount = 4;
            snooze->start(int(left));
        } else {
            snoozeCount = 0;
            startSnoozeTimer(left);
        }
        qCInfo(lcAnnounce) << "still snoozed until" << m_snoozedUntil;
        return;
    }
    Show();
    waitFirstDelay();
    postMissingNotices();
    showPage(m_queue.size() - 1);
    alertAndSay(QStringLiteral("Please respond to this appointment"));
}

void FrmMessage::com_snooze_Click()
{
    snoozeFor(announce::SnoozeLength::Minutes5);
}

void FrmMessage::snoozeFor(announce::SnoozeLength length)
{
    hide();
    // The notifications come back with the window.
    withdrawNotices();
    snoozeCount = 0;
    const QDateTime now = m_host.now ? m_host.now() : QDateTime::currentDateTime();
    const QDateTime end = announce::snoozeEnd(now, length);
    if (m_host.now) {
        m_snoozedUntil = end;
        savePending();
    }
    startSnoozeTimer(now.msecsTo(end));
    qCInfo(lcAnnounce) << "snoozed until" << end;
    m_host.say(announce::snoozeSentence(length));
}

void FrmMessage::startSnoozeTimer(qint64 ms)
{
    // The timer counts whole minutes; the first tick takes the odd part,
    // so the last one falls on the snooze's end.
    m_snoozeMinutes = int(std::max<qint64>(1, (ms + 59999) / 60000));
    snooze->start(int(std::clamp<qint64>(ms - qint64(m_snoozeMinutes - 1) * 60000, 1, 60000)));
}

void FrmMessage::snooze_Timer()
{
    ++snoozeCount;
    if (snooze->interval() != 60000)
        snooze->setInterval(60000);
    // Minutes counted, or the wall clock past the end: a computer asleep
    // meanwhile counted none of its minutes.
    const bool wallPast = m_host.now && m_snoozedUntil.isValid() && m_host.now() >= m_snoozedUntil;
    if (snoozeCount < m_snoozeMinutes && !wallPast)
        return;
    m_snoozedUntil = {};
    savePending();
    Show();
    postMissingNotices();
    showPage(m_queue.size() - 1);
    snooze->stop();
    alertAndSay(QStringLiteral("Please respond to this appointment"), false);
}

void FrmMessage::alertAndSay(const QString &spoken, bool withAlert)
{
    if (m_notifier && m_notifier->inhibited()) {
        // Do not disturb: the window and the notification are there to be
        // seen; the sound waits until the user looks.
        qCInfo(lcAnnounce) << "do not disturb: the alert waits for the user";
        m_alertHeld = m_alertHeld || withAlert;
        if (!spoken.isEmpty())
            m_heldSpeech << spoken;
        qApp->installEventFilter(this);
        return;
    }
    if (withAlert)
        alert();
    if (!spoken.isEmpty())
        m_host.say(spoken);
}

void FrmMessage::releaseHeld()
{
    qApp->removeEventFilter(this);
    const bool alertDue = std::exchange(m_alertHeld, false);
    const QStringList speech = std::exchange(m_heldSpeech, {});
    if (!alertDue && speech.isEmpty())
        return;
    qCInfo(lcAnnounce) << "the user is back: the held alert sounds";
    if (alertDue)
        alert();
    for (const QString &text : speech)
        m_host.say(text);
}

bool FrmMessage::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::MouseButtonPress:
    case QEvent::Wheel:
        // After the input is handled: the alert's wait runs events.
        QMetaObject::invokeMethod(this, &FrmMessage::releaseHeld, Qt::QueuedConnection);
        qApp->removeEventFilter(this);
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void FrmMessage::setNotifier(Notifier *notifier)
{
    m_notifier = notifier;
    if (!m_notifier)
        return;
    m_notifier->setOnActionInvoked(
        [this](Notifier::Handle handle, const QString &key) { noticeAnswered(handle, key); });
    m_notifier->setOnClosed(
        [this](Notifier::Handle handle, Notifier::CloseReason) { noticeClosed(handle); });
    m_notifier->setOnInhibitedChanged([this](bool inhibited) {
        if (!inhibited)
            releaseHeld();
    });
}

void FrmMessage::postNotice(qsizetype index)
{
    if (!m_notifier || index < 0 || index >= m_queue.size() || m_notices[index] != 0)
        return;
    // Only "False" turns them off: the option is on unless the user said no.
    if (m_settings.flag(setting::Notify) == Flag::False)
        return;
    announce::Announcement shown = m_queue[index];
    shown.text = agent::SpeechText::parse(shown.text).display;
    const QDateTime when = m_host.now ? m_host.now() : QDateTime::currentDateTime();
    m_notices[index] = m_notifier->notify(announce::noticeFor(shown, when));
}

void FrmMessage::postMissingNotices()
{
    for (qsizetype i = 0; i < m_queue.size(); ++i)
        postNotice(i);
}

void FrmMessage::withdrawNotice(qsizetype index)
{
    if (index < 0 || index >= m_notices.size())
        return;
    if (const Notifier::Handle handle = std::exchange(m_notices[index], 0); handle && m_notifier)
        m_notifier->close(handle);
}

void FrmMessage::withdrawNotices()
{
    for (qsizetype i = 0; i < m_notices.size(); ++i)
        withdrawNotice(i);
}

void FrmMessage::noticeAnswered(Notifier::Handle handle, const QString &key)
{
    const qsizetype index = m_notices.indexOf(handle);
    if (index < 0 || handle == 0)
        return;
    // The server takes an answered notification away itself.
    m_notices[index] = 0;
    Show();
    showPage(index);
    if (const std::optional<announce::SnoozeLength> length = announce::snoozeOfAction(key)) {
        snoozeFor(*length);
        return;
    }
    if (key == QLatin1String(announce::kActionOk)) {
        Command1_Click();
        return;
    }
    // A click on the notification itself brings the page forward, unanswered.
    raise();
}

void FrmMessage::noticeClosed(Notifier::Handle handle)
{
    // Closed by the user: the window stays as it is, and the page keeps
    // waiting there.
    const qsizetype index = m_notices.indexOf(handle);
    if (index >= 0 && handle != 0)
        m_notices[index] = 0;
}
