#pragma once

#include <QIcon>
#include <QPoint>
#include <QString>

#include <functional>

class QMenu;

// The mouse messages of the notification area, as the tray component decodes
// them. A backend reports every click in these numbers.
namespace TrayMessage {
constexpr int MouseMove = 512;
constexpr int LeftDown = 513;
constexpr int LeftUp = 514;
constexpr int LeftDoubleClick = 515;
constexpr int RightDown = 516;
constexpr int RightUp = 517;
constexpr int RightDoubleClick = 518;
} // namespace TrayMessage

// The desktop's notification area as the tray component sees it. The
// component decides everything; a backend only carries it out, so tests can
// put a recorder in its place.
class TrayBackend
{
public:
    using MessageHandler = std::function<void(int message)>;

    virtual ~TrayBackend() = default;

    // Where mouse activity on the icon goes; an empty handler drops it.
    virtual void setMessageHandler(MessageHandler handler) = 0;
    virtual void add(const QIcon &icon, const QString &tip) = 0;
    virtual void modifyIcon(const QIcon &icon) = 0;
    virtual void modifyTip(const QString &tip) = 0;
    virtual void remove() = 0;
    // Shows the menu at a global position without waiting for a choice.
    virtual void popup(QMenu *menu, const QPoint &globalPos) = 0;
};
