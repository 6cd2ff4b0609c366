#pragma once

#include "tray/TrayBackend.h"

#include <QStringList>

#include <memory>

// What a FakeTrayBackend was asked to do ("add <tip>", "icon", "tip <tip>",
// "remove", "popup"). Shared with the test, so it outlives the component that
// owns the backend and shows what its destructor did.
struct TrayCalls
{
    QStringList log;
    QIcon icon; // as last added or changed
    QMenu *menu = nullptr;
    QPoint popupPos;
    TrayBackend::MessageHandler handler;

    // A mouse message from the notification area; false when nobody listens.
    bool send(int message) const
    {
        if (handler)
            handler(message);
        return bool(handler);
    }
};

class FakeTrayBackend final : public TrayBackend
{
public:
    explicit FakeTrayBackend(std::shared_ptr<TrayCalls> calls)
        : m_calls(std::move(calls))
    { }
    void setMessageHandler(MessageHandler handler) override
    {
        m_calls->handler = std::move(handler);
    }
    void add(const QIcon &icon, const QString &tip) override
    {
        m_calls->icon = icon;
        m_calls->log << QStringLiteral("add ") + tip;
    }
    void modifyIcon(const QIcon &icon) override
    {
        m_calls->icon = icon;
        m_calls->log << QStringLiteral("icon");
    }
    void modifyTip(const QString &tip) override { m_calls->log << QStringLiteral("tip ") + tip; }
    void remove() override { m_calls->log << QStringLiteral("remove"); }
    void popup(QMenu *menu, const QPoint &globalPos) override
    {
        m_calls->menu = menu;
        m_calls->popupPos = globalPos;
        m_calls->log << QStringLiteral("popup");
    }

private:
    std::shared_ptr<TrayCalls> m_calls;
};
