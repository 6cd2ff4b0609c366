#pragma once

#include <QObject>
#include <QPointer>

// The link a window's owner keeps to it: the open window is brought forward,
// otherwise a fresh one is made and loaded. A window that has closed goes
// once its own handler has returned, so it is never deleted under itself.
// `isOpen` tells whether the kept window still counts as open; `make`
// returns a new, not yet loaded window.
template<typename Window, typename IsOpen, typename Make>
Window *openOrRaise(QPointer<Window> &window, IsOpen isOpen, Make make)
{
    if (window && isOpen(*window)) {
        window->show();
        window->raise();
        window->activateWindow();
        return window;
    }
    if (window)
        window->deleteLater();
    window = make();
    QObject::connect(window, &Window::closed, window, &QObject::deleteLater);
    window->Form_Load();
    window->raise();
    window->activateWindow();
    return window;
}
