#pragma once

#include "platform/Dialogs.h"

class QtDialogs final : public Dialogs
{
public:
    MsgAnswer messageBox(
        const QString &text, MsgButtons buttons, MsgIcon icon, const QString &title) override;
    std::optional<quint32> chooseColour(quint32 initial) override;
    void beep() override;
    QString chooseOpenFile(
        const QString &title, const QString &folder, const QString &filter) override;
    QString chooseSaveFile(
        const QString &title, const QString &suggested, const QString &filter) override;
};
