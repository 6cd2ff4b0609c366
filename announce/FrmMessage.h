#pragma once

#include "engine/Firing.h"

#include <QWidget>

#include <functional>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTimer;
class ModClock;
class SettingsStore;
namespace agent {
class Control;
}

// The window in which an appointment is announced: the character comes
// forward and plays its alert, then the text is shown and spoken, or a
// placeholder waits for "Ok". "Snooze !" brings it back in five minutes.
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
    };

    static constexpr const char *kPlaceholder
        = "YOU HAVE A MESSAGE WAITING, PLEASE CLICK ON OK TO READ IT!";

    FrmMessage(SettingsStore &settings, ModClock &modClock, agent::Control &agentControl, Host host,
        QWidget *parent = nullptr);

    void Show() override;
    void display(bool confirm, const QString &text) override;

    void Form_Load();
    void Command1_Click();
    void com_snooze_Click();
    void snooze_Timer();

    QLabel *Label1 = nullptr;
    QPlainTextEdit *txt_message = nullptr;
    QPushButton *Command1 = nullptr;
    QPushButton *com_snooze = nullptr;
    QTimer *snooze = nullptr;

    QString pendingText;
    int snoozeCount = 0;

private:
    void alert();
    void setMessageText(const QString &text, Qt::Alignment alignment);

    SettingsStore &m_settings;
    ModClock &m_modClock;
    agent::Control &m_agent;
    Host m_host;
    bool m_loaded = false;
    bool m_revealed = false; // the text, not the placeholder, is showing
};
