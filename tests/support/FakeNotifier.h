#pragma once

#include "platform/Notifier.h"

#include <QMap>

// A notification server as the tests play it: records what is posted and
// withdrawn, and answers, closes or goes quiet when the test says so.
class FakeNotifier final : public Notifier
{
public:
    bool available() override { return server; }
    QStringList capabilities() override
    {
        return server ? QStringList { QStringLiteral("actions"), QStringLiteral("body") }
                      : QStringList {};
    }
    Handle notify(const Notice &notice) override
    {
        if (!server)
            return 0;
        const Handle handle = ++m_last;
        shown.insert(handle, notice);
        posted.append(notice);
        return handle;
    }
    void close(Handle handle) override
    {
        if (shown.remove(handle) > 0)
            withdrawn.append(handle);
    }
    bool inhibited() const override { return m_inhibited; }
    void setOnActionInvoked(std::function<void(Handle, const QString &)> callback) override
    {
        m_onAction = std::move(callback);
    }
    void setOnClosed(std::function<void(Handle, CloseReason)> callback) override
    {
        m_onClosed = std::move(callback);
    }
    void setOnInhibitedChanged(std::function<void(bool)> callback) override
    {
        m_onInhibited = std::move(callback);
    }

    // The user chose an action; the server then takes the notification away.
    void answer(Handle handle, const QString &key)
    {
        shown.remove(handle);
        if (m_onAction)
            m_onAction(handle, key);
    }
    void dismiss(Handle handle)
    {
        shown.remove(handle);
        if (m_onClosed)
            m_onClosed(handle, CloseReason::Dismissed);
    }
    void setInhibited(bool on)
    {
        m_inhibited = on;
        if (m_onInhibited)
            m_onInhibited(on);
    }
    // The handle of the notification shown with this text in its body.
    Handle handleOf(const QString &text) const
    {
        for (auto it = shown.cbegin(); it != shown.cend(); ++it) {
            if (it.value().body.endsWith(text))
                return it.key();
        }
        return 0;
    }

    bool server = true;
    QMap<Handle, Notice> shown;
    QList<Notice> posted;
    QList<Handle> withdrawn;

private:
    Handle m_last = 0;
    bool m_inhibited = false;
    std::function<void(Handle, const QString &)> m_onAction;
    std::function<void(Handle, CloseReason)> m_onClosed;
    std::function<void(bool)> m_onInhibited;
};
