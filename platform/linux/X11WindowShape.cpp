#include "platform/linux/X11WindowShape.h"

#include "platform/Logging.h"

#include <QBitmap>
#include <QGuiApplication>
#include <QImage>
#include <QRegion>
#include <QWidget>

#include <cstdlib>

#if __has_include(<xcb/xcb.h>) && QT_CONFIG(xcb)
#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>
#define QUILLORY_ASK_XCB 1
#endif

int X11WindowShape::screenNumber(const QByteArray &display)
{
    const qsizetype colon = display.lastIndexOf(':');
    const qsizetype dot = display.indexOf('.', colon + 1);
    if (colon < 0 || dot < 0)
        return 0;
    bool ok = false;
    const int n = display.mid(dot + 1).toInt(&ok);
    return ok ? n : 0;
}

bool X11WindowShape::desktopComposites() const
{
    if (!qGuiApp || QGuiApplication::platformName() != QLatin1String("xcb"))
        return true; // Wayland always composites; offscreen shows nothing anyway
#ifdef QUILLORY_ASK_XCB
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t *connection = x11 ? x11->connection() : nullptr;
    if (!connection) {
        qCInfo(lcPlatform) << "no X11 connection: taking the desktop to composite";
        return true;
    }
    // A compositing manager owns the selection _NET_WM_CM_S<screen>.
    const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(screenNumber(qgetenv("DISPLAY")));
    xcb_intern_atom_reply_t *atom = xcb_intern_atom_reply(connection,
        xcb_intern_atom(connection, 1, quint16(name.size()), name.constData()), nullptr);
    const xcb_atom_t selection = atom ? atom->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(atom);
    if (selection == XCB_ATOM_NONE)
        return false;
    xcb_get_selection_owner_reply_t *owner = xcb_get_selection_owner_reply(
        connection, xcb_get_selection_owner(connection, selection), nullptr);
    const bool composites = owner && owner->owner != XCB_WINDOW_NONE;
    std::free(owner);
    return composites;
#else
    return true;
#endif
}

void X11WindowShape::cutTo(QWidget &window, const QImage &picture)
{
    const QImage logical
        = picture.size() == window.size() ? picture : picture.scaled(window.size());
    const QBitmap shape = QBitmap::fromImage(
        logical.createAlphaMask(Qt::ThresholdDither | Qt::ThresholdAlphaDither));
    // An empty mask would make the whole window show; keep a pixel instead.
    if (shape.isNull())
        window.setMask(QRegion(0, 0, 1, 1));
    else
        window.setMask(shape);
}

void X11WindowShape::uncut(QWidget &window)
{
    window.clearMask();
}
