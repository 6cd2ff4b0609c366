#pragma once

#include <QString>

#include <optional>

enum class MsgIcon { None, Information, Exclamation, Critical, Question };
enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MsgAnswer { Ok, Cancel, Yes, No };

// Modal questions and choosers. The fake answers from a script and records
// every prompt.
class Dialogs
{
public:
    virtual ~Dialogs() = default;
    // An empty title means the application's default title.
    virtual MsgAnswer messageBox(
        const QString &text, MsgButtons buttons, MsgIcon icon, const QString &title = {})
        = 0;
    // A colour 0x00BBGGRR, or nothing when the user cancels.
    virtual std::optional<quint32> chooseColour(quint32 initial) = 0;
    // The system beep.
    virtual void beep() = 0;
    // A file path, or empty text when the user cancels.
    virtual QString chooseOpenFile(
        const QString &title, const QString &folder, const QString &filter)
        = 0;
    // A path to write to, or empty text when the user cancels; `suggested`
    // names the folder and file offered first.
    virtual QString chooseSaveFile(
        const QString &title, const QString &suggested, const QString &filter)
        = 0;
};

inline const char *const kDefaultMessageTitle = "Quillory";
