#pragma once

#include <QString>

// Why no window can be shown (no X11 or Wayland display and no platform
// chosen), or empty when one can. Qt would abort at start-up there; the
// program says so and ends instead.
inline QString missingDisplay()
{
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || !qEnvironmentVariableIsEmpty("DISPLAY")
        || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return {};
    return QStringLiteral("no display: neither DISPLAY nor WAYLAND_DISPLAY is set "
                          "(scripts/run-calendar starts a virtual one)");
}
