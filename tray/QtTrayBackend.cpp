#include "tray/QtTrayBackend.h"

#include "tray/Logging.h"

#include <QMenu>

QtTrayBackend::QtTrayBackend() = default;

QtTrayBackend::~QtTrayBackend() = default;

void QtTrayBackend::setMessageHandler(MessageHandler handler)
{
    m_handler = std::move(handler);
}

void QtTrayBackend::add(const QIcon &icon, const QString &tip)
{
    // A desktop without a notification area is normal (some window managers,
    // headless runs); the program goes on without its icon.
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        if (!m_reportedUnavailable)
            qCInfo(lcTray) << "no notification area; running without a tray icon";
        m_reportedUnavailable = true;
        return;
    }
    if (!m_icon) {
        m_icon = std::make_unique<QSystemTrayIcon>();
        QObject::connect(m_icon.get(), &QSystemTrayIcon::activated, m_icon.get(),
            [this](QSystemTrayIcon::ActivationReason reason) { deliver(reason); });
    }
    m_icon->setIcon(icon);
    m_icon->setToolTip(tip);
    m_icon->show();
    qCDebug(lcTray) << "icon added";
}

void QtTrayBackend::modifyIcon(const QIcon &icon)
{
    if (m_icon)
        m_icon->setIcon(icon);
}

void QtTrayBackend::modifyTip(const QString &tip)
{
    if (m_icon)
        m_icon->setToolTip(tip);
}

void QtTrayBackend::remove()
{
    // Hidden rather than deleted: this may run inside the icon's own
    // activated signal, when a click ends the program.
    if (m_icon) {
        m_icon->hide();
        qCDebug(lcTray) << "icon removed";
    }
}

void QtTrayBackend::popup(QMenu *menu, const QPoint &globalPos)
{
    if (menu)
        menu->popup(globalPos);
}

QList<int> QtTrayBackend::messagesFor(QSystemTrayIcon::ActivationReason reason)
{
    switch (reason) {
    case QSystemTrayIcon::Trigger:
        return { TrayMessage::LeftDown, TrayMessage::LeftUp };
    case QSystemTrayIcon::DoubleClick:
        return { TrayMessage::LeftDoubleClick };
    case QSystemTrayIcon::Context:
        return { TrayMessage::RightDown, TrayMessage::RightUp };
    case QSystemTrayIcon::MiddleClick:
    case QSystemTrayIcon::Unknown:
        break;
    }
    return {};
}

void QtTrayBackend::deliver(QSystemTrayIcon::ActivationReason reason)
{
    // The host may unload, or even delete the component, on the first
    // message of a pair; the second then goes nowhere.
    const std::weak_ptr<char> alive = m_alive;
    for (const int message : messagesFor(reason)) {
        if (alive.expired() || !m_handler)
            return;
        const MessageHandler handler = m_handler; // survives being replaced meanwhile
        handler(message);
    }
}
