#pragma once

#include "platform/Launcher.h"

class ProcessLauncher final : public Launcher
{
public:
    bool start(const QString &program, const QStringList &arguments, WindowStyle style) override;
    bool openDocument(const QString &path) override;
};
