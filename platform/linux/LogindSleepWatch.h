#pragma once

#include "platform/SleepWatch.h"

#include <QDBusConnection>
#include <QObject>

// logind's PrepareForSleep signal on the system bus: false when the
// computer has woken.
class LogindSleepWatch final : public QObject, public SleepWatch
{
    Q_OBJECT
public:
    explicit LogindSleepWatch(
        QDBusConnection bus = QDBusConnection::systemBus(), QObject *parent = nullptr);

    bool available() const override { return m_available; }
    void setOnResume(std::function<void()> callback) override { m_onResume = std::move(callback); }

private slots:
    void prepareForSleep(bool sleeping);

private:
    QDBusConnection m_bus;
    bool m_available = false;
    std::function<void()> m_onResume;
};
