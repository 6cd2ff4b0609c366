#pragma once

#include "tray/TrayBackend.h"

#include <QList>
#include <QSystemTrayIcon>

#include <memory>

// The notification area through QSystemTrayIcon. Qt reports whole clicks;
// they are turned back into button-down/up messages so the component decodes
// one vocabulary. The context menu is deliberately not handed to Qt: the host
// pops it up itself on the right button going down.
class QtTrayBackend final : public TrayBackend
{
public:
    QtTrayBackend();
    ~QtTrayBackend() override;

    void setMessageHandler(MessageHandler handler) override;
    void add(const QIcon &icon, const QString &tip) override;
    void modifyIcon(const QIcon &icon) override;
    void modifyTip(const QString &tip) override;
    void remove() override;
    void popup(QMenu *menu, const QPoint &globalPos) override;

    // The messages one activation stands for, in the order they are sent.
    static QList<int> messagesFor(QSystemTrayIcon::ActivationReason reason);

private:
    void deliver(QSystemTrayIcon::ActivationReason reason);

    std::unique_ptr<QSystemTrayIcon> m_icon;
    MessageHandler m_handler;
    bool m_reportedUnavailable = false;
    std::shared_ptr<char> m_alive = std::make_shared<char>();
};
