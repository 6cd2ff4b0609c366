#pragma once

#include <QString>
#include <QStringList>

enum class WindowStyle { NormalFocus, MinimizedNoFocus };

// Starts another program without waiting for it; never through a shell.
class Launcher
{
public:
    virtual ~Launcher() = default;
    virtual bool start(const QString &program, const QStringList &arguments, WindowStyle style) = 0;
};
