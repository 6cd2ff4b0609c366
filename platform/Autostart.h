#pragma once

#include <QString>

#include <optional>

// The run lists that start a program when the user logs in. A value is
// absent (never written), empty (switched off) or holds the program path.
class Autostart
{
public:
    enum class List { Run, RunServices };
    virtual ~Autostart() = default;
    virtual std::optional<QString> read(List list, const QString &name) = 0;
    virtual bool write(List list, const QString &name, const QString &text) = 0;
    // Why the last write failed, in words a user can act on.
    virtual QString lastError() const = 0;
};
