#pragma once

#include "platform/Files.h"

class LocalFiles final : public Files
{
public:
    QStringList fileNames(const QString &folder) const override;
    bool isRunningProgram(const QString &path) const override;
    bool remove(const QString &path) override;
};
