#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// The desktop's notifications: a bubble that reaches the user while the
// calendar is hidden or another program fills the screen. Without a
// notification server nothing is posted and nothing else changes.
class Notifier
{
public:
    // Ours, not the server's: valid from the moment of posting, before the
    // server has answered. 0 is no notification.
    using Handle = quint64;

    struct Action
    {
        QString key; // what actionInvoked reports
        QString label; // what the user reads
    };

    struct Notice
    {
        QString summary;
        QString body; // plain text; the notifier escapes it where the server reads markup
        QList<Action> actions; // offered only where the server shows actions
    };

    enum class CloseReason { Expired, Dismissed, Withdrawn, Other };

    virtual ~Notifier() = default;
    // Whether a notification server answers.
    virtual bool available() = 0;
    // What the server offers ("actions", "body-markup", ...); empty without one.
    virtual QStringList capabilities() = 0;
    // Posts a notification that stays until answered; 0 when none was posted.
    virtual Handle notify(const Notice &notice) = 0;
    // Withdraws one; nothing when it is gone already.
    virtual void close(Handle handle) = 0;
    // The desktop's do-not-disturb, where the server tells it.
    virtual bool inhibited() const = 0;

    virtual void setOnActionInvoked(std::function<void(Handle, const QString &key)> callback) = 0;
    virtual void setOnClosed(std::function<void(Handle, CloseReason)> callback) = 0;
    virtual void setOnInhibitedChanged(std::function<void(bool inhibited)> callback) = 0;
};
