#pragma once

#include <QString>

class ModClock;

// Whether the program starts when the user logs in, in the calendar's own
// words: on, off, or never chosen. The run lists behind it stay in ModClock.
class StartAtLogin
{
public:
    StartAtLogin(ModClock &modClock, QString program);

    // A program path of at least two characters counts as on.
    bool isOn() const;
    // Nothing was ever written: the first start greets the user.
    bool neverSet() const;
    // Switching off empties both run lists; on writes the program path.
    // Returns false with the reason in lastError() when a write failed.
    bool set(bool on);
    QString lastError() const;

private:
    QString read(const QString &fallback) const;

    ModClock &m_modClock;
    QString m_program;
};
