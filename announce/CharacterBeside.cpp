#include "announce/CharacterBeside.h"

#include "announce/CharacterControl.h"
#include "announce/Logging.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>

namespace {

constexpr int kSettleMs = 150;

} // namespace

CharacterBeside::CharacterBeside(CharacterControl &control, QObject *parent)
    : QObject(parent)
    , m_control(control)
{
    m_settle.setSingleShot(true);
    m_settle.setInterval(kSettleMs);
    connect(&m_settle, &QTimer::timeout, this, &CharacterBeside::settle);
}

bool CharacterBeside::helps(const QWidget *window)
{
    static const QLatin1String names[] = { QLatin1String("frm_set"), QLatin1String("frm_colour"),
        QLatin1String("frm_backup"), QLatin1String("frm_message"), QLatin1String("frm_early") };
    if (!window || !window->isWindow())
        return false;
    const QString name = window->objectName();
    return std::any_of(
        std::begin(names), std::end(names), [&](QLatin1String n) { return name == n; });
}

bool CharacterBeside::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::Show:
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::Hide:
        break;
    default:
        return false;
    }
    if (!watched->isWidgetType())
        return false;
    auto *window = static_cast<QWidget *>(watched);
    if (!helps(window))
        return false;
    if (event->type() != QEvent::Hide)
        m_latest = window;
    m_settle.start();
    return false;
}

void CharacterBeside::settle()
{
    agent::Character *character = m_control.current();
    if (!character)
        return;
    QWidget *window = m_latest && m_latest->isVisible() ? m_latest.data() : nullptr;
    if (!window) {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (helps(w) && w->isVisible()) {
                window = w;
                break;
            }
        }
    }
    if (window) {
        qCDebug(lcAnnounce) << "character beside" << window->objectName()
                            << window->frameGeometry();
        character->MoveBeside(window->frameGeometry());
        m_away = true;
    } else if (m_away) {
        m_away = false;
        m_control.moveHome(announce::kStandardGap, announce::kStandardRise);
    }
}
