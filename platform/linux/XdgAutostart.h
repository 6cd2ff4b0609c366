#pragma once

#include "platform/Autostart.h"

// The run lists as XDG autostart entries: "Run" is quillory.desktop,
// "RunServices" quillory-services.desktop, in the autostart folder. A
// missing file is a missing value; an entry with an empty Exec= that is
// Hidden=true is the empty (switched off) value; otherwise Exec= holds the
// text.
class XdgAutostart final : public Autostart
{
public:
    explicit XdgAutostart(QString folder);
    std::optional<QString> read(List list, const QString &name) override;
    bool write(List list, const QString &name, const QString &text) override;
    QString lastError() const override { return m_lastError; }

    // ~/.config/autostart, or $QUILLORY_HOME/autostart for an isolated home.
    static QString defaultFolder();

private:
    QString fileFor(List list) const;
    QString m_folder;
    QString m_lastError;
};

// Exec= value quoting of the desktop entry format, both ways.
QString quoteExec(const QString &program);
QString unquoteExec(const QString &exec);
