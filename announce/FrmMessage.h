#pragma once

#include "announce/AnnounceRules.h"
#include "engine/Firing.h"
#include "platform/Notifier.h"

#include <QWidget>

#include <functional>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTimer;
class QToolButton;
class ModClock;
class SettingsStore;
namespace agent {
class Control;
}

// The window in which an appointment is announced: the character comes
// forward and plays its alert, then the text is shown and spoken, or a
// placeholder waits for "Ok". "Snooze !" brings it back in five minutes.
// Announcements not yet acknowledged queue in the one window, newest first
// on show, and are kept in a file so a restart or a crash loses none.
// Each is also posted as a desktop notification whose actions answer its
// page as the window's buttons would.
class FrmMessage : public QWidget, public Announcer
{
    Q_OBJECT
public:
    struct Host
    {
        std::function<void(const QString &)> say;
        // Starts the restart program and unloads the calendar window.
        std::function<void()> restart;
        // Twips per pixel of the screen.
        std::function<double()> twipsPerPixel;
        // Where the unacknowledged announcements are kept; none when empty.
        QString pendingFile;
        // The time, so a snooze outlives a restart; none: not kept.
        std::function<QDateTime()> now;
    };

    static constexpr const char *kPlaceholder
        = "YOU HAVE A MESSAGE WAITING, PLEASE CLICK ON OK TO READ IT!";

    FrmMessage(SettingsStore &settings, ModClock &modClock, agent::Control &agentControl, Host host,
        QWidget *parent = nullptr);

    void Show() override;
    void display(bool confirm, const QString &text) override;
    void displayPages(const QList<QPair<bool, QString>> &pages, const QString &spoken) override;

    void Form_Load();
    void Command1_Click();
    void com_snooze_Click();
    void snooze_Timer();
    void com_previous_Click();
    void com_next_Click();
    // Brings back, at start, what a previous run left unacknowledged.
    void restorePending();
    // Posts announcements as desktop notifications from now on; none: not posted.
    void setNotifier(Notifier *notifier);
    // Hides the window for a snooze of this length.
    void snoozeFor(announce::SnoozeLength length);

    const QList<announce::Announcement> &pending() const { return m_queue; }

    QLabel *Label1 = nullptr;
    QPlainTextEdit *txt_message = nullptr;
    QPushButton *Command1 = nullptr;
    QPushButton *com_snooze = nullptr;
    QToolButton *com_snoozefor = nullptr; // the snooze's length, beside "Snooze !"
    QPushButton *com_previous = nullptr;
    QPushButton *com_next = nullptr;
    QLabel *lab_page = nullptr;
    QTimer *snooze = nullptr;

    QString pendingText;
    int snoozeCount = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void alert();
    // The alert and what is said with it, held while the desktop asks not
    // to be disturbed until the user is back; empty `spoken`: nothing said.
    void alertAndSay(const QString &spoken, bool withAlert = true);
    void releaseHeld();
    void startSnoozeTimer(qint64 ms);
    void postNotice(qsizetype index);
    void postMissingNotices();
    void withdrawNotice(qsizetype index);
    void withdrawNotices();
    void noticeAnswered(Notifier::Handle handle, const QString &key);
    void noticeClosed(Notifier::Handle handle);
    void waitFirstDelay();
    void setMessageText(const QString &text, Qt::Alignment alignment);
    void showPage(qsizetype index);
    void savePending();

    SettingsStore &m_settings;
    ModClock &m_modClock;
    agent::Control &m_agent;
    Host m_host;
    bool m_loaded = false;
    bool m_delayDue = false; // the first show's delay is still to be waited
    QList<announce::Announcement> m_queue;
    QDateTime m_snoozedUntil; // kept with the queue: a restart keeps the snooze
    qsizetype m_current = -1;
    int m_snoozeMinutes = 5; // minutes the snooze timer counts
    Notifier *m_notifier = nullptr;
    QList<Notifier::Handle> m_notices; // beside m_queue: each page's notification, 0 for none
    bool m_alertHeld = false;
    QStringList m_heldSpeech;
};
