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

// Whether to run on XWayland in a Wayland session: Wayland lets no client
// place its own borderless window or grab a key for the whole desktop, which
// the calendar, its character and the listening key need. Only when no
// platform was asked for (QT_QPA_PLATFORM, -platform) and XWayland is there.
inline bool preferXWayland(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") || qEnvironmentVariableIsEmpty("DISPLAY")
        || !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        return false;
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg == "-platform" || arg == "--platform" || arg.startsWith("-platform="))
            return false;
    }
    return true;
}
