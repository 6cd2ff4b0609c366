#include "tray/FrmSysTray.h"

#include "tray/Logging.h"
#include "tray/QtTrayBackend.h"

#include <QApplication>
#include <QCursor>
#include <QMenu>

#include <algorithm>
#include <cmath>

namespace {

const QString kInitialTip = QStringLiteral("Quillory");
const QString kSeparatorCaption = QStringLiteral("-");
// Built into the program (icons/quillory.svg) for when the host sets no
// window icon.
const QString kBuiltInIcon = QStringLiteral(":/icons/quillory.svg");

} // namespace

FrmSysTray::FrmSysTray(std::unique_ptr<TrayBackend> backend, QObject *parent)
    : QObject(parent)
    , m_menu(std::make_unique<QMenu>())
    , m_backend(backend ? std::move(backend) : std::make_unique<QtTrayBackend>())
{
    m_menu->setObjectName(QStringLiteral("trayMenu"));
    m_menu->setAccessibleName(QStringLiteral("Quillory"));
    m_menu->setWindowTitle(QStringLiteral("Quillory"));
    appendItem();
    m_items.front().action->setVisible(false);

    m_icon = QApplication::windowIcon();
    if (m_icon.isNull())
        m_icon = QIcon(kBuiltInIcon);
    storeTip(kInitialTip);

    m_backend->setMessageHandler([this](int message) { handleMouseMessage(message); });
    m_backend->add(m_icon, ToolTip());
    m_loaded = true;
    qCDebug(lcTray) << "loaded";
}

FrmSysTray::~FrmSysTray()
{
    unload();
    // The host may delete the component from a menu item's own signal (Exit
    // does): the menu is still inside that click, so it goes only once the
    // event loop is back. Its actions lose their link to this component now.
    if (m_menu) {
        m_menu->hide();
        m_menu->disconnect(this);
        for (QAction *action : m_menu->actions())
            action->disconnect(this);
        m_menu.release()->deleteLater();
    }
}

void FrmSysTray::unload()
{
    if (!m_loaded)
        return;
    m_loaded = false;
    m_backend->setMessageHandler({});
    m_backend->remove();
    qCDebug(lcTray) << "unloaded";
}

QString FrmSysTray::ToolTip() const
{
    const auto end = std::ranges::find(m_tip, QChar());
    return QString(m_tip.data(), static_cast<qsizetype>(end - m_tip.begin()));
}

void FrmSysTray::setToolTip(const QString &text)
{
    storeTip(text);
    if (m_loaded)
        m_backend->modifyTip(ToolTip());
}

void FrmSysTray::storeTip(const QString &text)
{
    // Text, then a NUL, then NULs to the end; a text that fills the field
    // gets no NUL at all.
    std::ranges::fill(m_tip, QChar());
    const auto length = std::min<qsizetype>(text.size(), TipLength);
    std::copy_n(text.constBegin(), length, m_tip.begin());
}

QIcon FrmSysTray::IconHandle() const
{
    return m_icon;
}

void FrmSysTray::setIconHandle(const QIcon &icon)
{
    if (icon.cacheKey() == m_icon.cacheKey())
        return;
    m_icon = icon;
    if (m_loaded)
        m_backend->modifyIcon(m_icon);
}

qint16 FrmSysTray::DefaultMenuIndex() const
{
    return m_defaultIndex;
}

void FrmSysTray::setDefaultMenuIndex(qint16 index)
{
    m_defaultIndex = ValidMenuIndex(index) ? index : qint16(0);
}

qint16 FrmSysTray::AddMenuItem(const QString &caption, const QString &key, bool isDefault)
{
    if (m_firstItemUsed)
        appendItem();
    m_firstItemUsed = true;
    const auto index = static_cast<qint16>(upperBound());
    MenuItem &item = m_items.back();
    item.action->setVisible(true);
    setKey(item, key);
    setCaption(item, caption);
    if (isDefault)
        m_defaultIndex = index;
    return index;
}

void FrmSysTray::RemoveMenuItem(int index)
{
    if (!ValidMenuIndex(index))
        return;
    if (index == 0) {
        // Item 0 holds the array open; it is only emptied.
        setCaption(m_items.front(), QString());
        return;
    }
    for (int i = index + 1; i <= upperBound(); ++i) {
        setCaption(m_items[i - 1], m_items[i].caption);
        setKey(m_items[i - 1], m_items[i].key);
    }
    QAction *last = m_items.back().action;
    m_items.pop_back();
    m_menu->removeAction(last);
    delete last;
}

void FrmSysTray::EnableMenuItem(int index, bool state)
{
    if (ValidMenuIndex(index))
        m_items[index].action->setEnabled(state);
}

void FrmSysTray::ShowMenu()
{
    // The default may point past the end after a removal; then no item is
    // marked.
    const bool marked = ValidMenuIndex(m_defaultIndex);
    for (int i = 0; i <= upperBound(); ++i) {
        QFont font = m_items[i].action->font();
        font.setBold(marked && i == m_defaultIndex);
        m_items[i].action->setFont(font);
    }
    m_menu->setDefaultAction(marked ? m_items[m_defaultIndex].action : nullptr);
    m_backend->popup(m_menu.get(), QCursor::pos());
}

bool FrmSysTray::ValidMenuIndex(int index) const
{
    return index >= 0 && index <= upperBound();
}

void FrmSysTray::handleMouseMessage(int message)
{
    switch (message) {
    case TrayMessage::MouseMove:
        emit SysTrayMouseMove();
        break;
    case TrayMessage::LeftDown:
        emit SysTrayMouseDown(LeftButton);
        break;
    case TrayMessage::LeftUp:
        emit SysTrayMouseUp(LeftButton);
        break;
    case TrayMessage::LeftDoubleClick:
        emit SysTrayDoubleClick(LeftButton);
        break;
    case TrayMessage::RightDown:
        emit SysTrayMouseDown(RightButton);
        break;
    case TrayMessage::RightUp:
        emit SysTrayMouseUp(RightButton);
        break;
    case TrayMessage::RightDoubleClick:
        emit SysTrayDoubleClick(RightButton);
        break;
    default:
        break;
    }
}

int FrmSysTray::messageFromCoordinate(double twipsX)
{
    for (const double twipsPerPixel : { 15.0, 12.0 }) {
        const double message = twipsX / twipsPerPixel;
        if (message == std::floor(message) && message >= TrayMessage::MouseMove
            && message <= TrayMessage::RightDoubleClick)
            return static_cast<int>(message);
    }
    return -1;
}

int FrmSysTray::menuItemCount() const
{
    return static_cast<int>(m_items.size());
}

QString FrmSysTray::menuItemCaption(int index) const
{
    return ValidMenuIndex(index) ? m_items[index].caption : QString();
}

QString FrmSysTray::menuItemKey(int index) const
{
    return ValidMenuIndex(index) ? m_items[index].key : QString();
}

bool FrmSysTray::menuItemEnabled(int index) const
{
    return ValidMenuIndex(index) && m_items[index].action->isEnabled();
}

bool FrmSysTray::menuItemVisible(int index) const
{
    // Asks the action, not the menu: the menu itself is hidden between popups.
    return ValidMenuIndex(index) && m_items[index].action->isVisible();
}

void FrmSysTray::appendItem()
{
    auto *action = new QAction(m_menu.get());
    m_menu->addAction(action);
    connect(action, &QAction::triggered, this, [this, action] { itemTriggered(action); });
    m_items.push_back({ action, QString(), QString() });
}

void FrmSysTray::setKey(MenuItem &item, const QString &key)
{
    item.key = key;
    // Found by its key from outside, as the host knows it.
    item.action->setObjectName(key.isEmpty() ? QString() : QStringLiteral("tray_") + key);
}

void FrmSysTray::setCaption(MenuItem &item, const QString &caption)
{
    item.caption = caption;
    const bool separator = caption == kSeparatorCaption;
    item.action->setSeparator(separator);
    // A separator's text would show as a section title in some styles.
    item.action->setText(separator ? QString() : caption);
}

void FrmSysTray::itemTriggered(const QAction *action)
{
    // Looked up now: removals move captions and keys between items.
    const auto it = std::ranges::find(m_items, action, &MenuItem::action);
    if (it == m_items.end())
        return;
    const auto index = static_cast<int>(it - m_items.begin());
    emit MenuClick(index, it->key);
}
