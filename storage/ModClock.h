#pragma once

#include <QString>

class Autostart;
class Clock;
class Network;

// The program's small platform routines: the start-at-login value (kept
// where the platform keeps its run lists), the Windows folder, a pause that
// keeps the window events running, and the connection test.
class ModClock
{
public:
    enum class RegRoot { LocalMachine, CurrentUser };

    static constexpr const char *kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    static constexpr const char *kRunServicesKey
        = "Software\\Microsoft\\Windows\\CurrentVersion\\RunServices";
    static constexpr const char *kRunValueName = "Quillory";

    ModClock(Clock &clock, Autostart &autostart, Network &network, QString windowsFolder);

    // The value's text, or `defaultValue` when the key or value does not exist.
    QString RegReadString(RegRoot root, const QString &keyPath, const QString &valueName,
        const QString &defaultValue = {});
    // Creates the value when needed; failures leave things as they were
    // and return false, with the reason in lastError().
    bool RegWriteString(
        RegRoot root, const QString &keyPath, const QString &valueName, const QString &text);
    QString WindowsFolder() const;
    // Returns after `seconds` have passed on the clock, processing window
    // events all the while; 0 returns after one look at the clock.
    void PauseSeconds(quint8 seconds);
    bool IsOnline();
    QString lastError() const { return m_lastError; }

private:
    Clock &m_clock;
    Autostart &m_autostart;
    Network &m_network;
    QString m_windowsFolder;
    QString m_lastError;
};
