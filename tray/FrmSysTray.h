#pragma once

#include "tray/TrayBackend.h"

#include <QIcon>
#include <QObject>
#include <QString>

#include <array>
#include <memory>
#include <vector>

class QAction;
class QMenu;

// An icon in the desktop's notification area with a popup menu. It knows
// nothing of its host: the host gives it an icon, a tip and menu items, and
// reacts to its signals (it pops the menu up itself, usually on the right
// button going down).
//
// Menu items form an array from 0 up to an upper bound. Item 0 exists from
// the start as a hidden placeholder, so the array is never empty; the first
// item added fills it.
class FrmSysTray : public QObject
{
    Q_OBJECT
public:
    // Mouse buttons as the signals report them.
    static constexpr int LeftButton = 1;
    static constexpr int RightButton = 2;
    // The tip is kept in a field of this many characters.
    static constexpr int TipLength = 64;

    // Puts the icon in the notification area: the application's window icon
    // (or the built-in one) with the tip "Quillory". A null backend means the
    // real notification area.
    explicit FrmSysTray(std::unique_ptr<TrayBackend> backend = nullptr, QObject *parent = nullptr);
    ~FrmSysTray() override;

    // Takes the icon out of the notification area; later calls do nothing.
    // The destructor does this too, so no icon is left behind.
    void unload();

    // The tip, up to the first NUL of its field; a text of TipLength or more
    // characters reads back as its first TipLength.
    QString ToolTip() const;
    void setToolTip(const QString &text);

    QIcon IconHandle() const;
    // An icon with the current one's cacheKey() changes nothing.
    void setIconHandle(const QIcon &icon);

    // The item ShowMenu draws as the default. An index outside the menu
    // stores 0.
    qint16 DefaultMenuIndex() const;
    void setDefaultMenuIndex(qint16 index);

    // Adds a visible item and returns its index; the caption "-" makes a
    // separator. With isDefault it becomes the DefaultMenuIndex.
    qint16 AddMenuItem(const QString &caption, const QString &key = {}, bool isDefault = false);
    // Item 0 is only emptied. Any other item goes, and the items after it
    // move up by one, keeping their captions and keys but not their
    // enabled state. DefaultMenuIndex is left as it was.
    void RemoveMenuItem(int index);
    void EnableMenuItem(int index, bool state);
    // Pops the menu up at the mouse cursor without waiting for a choice.
    void ShowMenu();
    bool ValidMenuIndex(int index) const;

    // Decodes a notification-area mouse message (TrayMessage) into a signal;
    // other numbers are ignored.
    void handleMouseMessage(int message);
    // Some notification areas deliver the message as the x coordinate of a
    // mouse move, in twips: message times twips per pixel (15 on ordinary
    // screens, 12 on large-font ones). Returns the message, or -1.
    static int messageFromCoordinate(double twipsX);

    int menuItemCount() const;
    QString menuItemCaption(int index) const;
    QString menuItemKey(int index) const;
    bool menuItemEnabled(int index) const;
    bool menuItemVisible(int index) const;
    QMenu *menu() const { return m_menu.get(); }

signals:
    void SysTrayMouseDown(int button);
    void SysTrayMouseUp(int button);
    void SysTrayMouseMove();
    void SysTrayDoubleClick(int button);
    void MenuClick(int index, const QString &key);

private:
    struct MenuItem
    {
        QAction *action = nullptr;
        QString caption;
        QString key;
    };

    void storeTip(const QString &text);
    void appendItem();
    static void setCaption(MenuItem &item, const QString &caption);
    static void setKey(MenuItem &item, const QString &key);
    void itemTriggered(const QAction *action);
    int upperBound() const { return static_cast<int>(m_items.size()) - 1; }

    // Declared before the backend, so the backend goes first.
    std::unique_ptr<QMenu> m_menu;
    std::vector<MenuItem> m_items;
    std::unique_ptr<TrayBackend> m_backend;
    std::array<QChar, TipLength> m_tip {};
    QIcon m_icon;
    qint16 m_defaultIndex = 0;
    bool m_firstItemUsed = false;
    bool m_loaded = false;
};
