#pragma once

#include <QString>
#include <QStringList>

enum class WindowStyle { NormalFocus, NormalNoFocus, MinimizedNoFocus };

// Starts another program without waiting for it; never through a shell.
class Launcher
{
public:
    virtual ~Launcher() = default;
    virtual bool start(const QString &program, const QStringList &arguments, WindowStyle style) = 0;
    // Opens a local document in the user's own program for it (a help page
    // in the browser); false when none could be asked to.
    virtual bool openDocument(const QString &path) = 0;
};
