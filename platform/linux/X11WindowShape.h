#pragma once

#include "platform/WindowShape.h"

#include <QByteArray>

// The compositing manager asked for on X11 (the owner of the selection
// _NET_WM_CM_S<screen>), the shape set as the window's mask.
class X11WindowShape final : public WindowShape
{
public:
    bool desktopComposites() const override;
    void cutTo(QWidget &window, const QImage &picture) override;
    void uncut(QWidget &window) override;

    // The X screen of a DISPLAY value: its ".S", 0 without one.
    static int screenNumber(const QByteArray &display);
};
