#pragma once

class QImage;
class QWidget;

// How a frameless window with see-through parts shows on the desktop. Where
// a compositing manager runs, transparent pixels show what lies behind the
// window; where none runs they would show black, so the window is cut to
// the shape of what it draws instead.
class WindowShape
{
public:
    virtual ~WindowShape() = default;
    // Whether transparent pixels of a window show the desktop behind it.
    // True where that cannot be told (no X11 display, another system).
    virtual bool desktopComposites() const = 0;
    // Cuts `window` to the pixels of `picture` (drawn at the window's size)
    // that are not transparent.
    virtual void cutTo(QWidget &window, const QImage &picture) = 0;
    // Gives `window` its whole rectangle back.
    virtual void uncut(QWidget &window) = 0;
};
