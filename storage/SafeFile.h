#pragma once

#include <QByteArray>
#include <QString>

// Reading a file that may not be what its name promises. A FIFO or a device
// would block the reader in open or never end, and a link planted in a
// shared folder would lead a write into another file: these readers and
// writers take regular files only, and never block.
namespace storage {

struct ReadRules
{
    bool refuseLinks = false; // a symbolic link is refused, never followed
    bool refuseForeign = false; // a file another user owns is refused
    qint64 maxBytes = -1; // larger files are refused; -1: no bound
};

enum class ReadStatus {
    Read,
    Missing,
    NotRegular, // a folder, a FIFO, a device, a socket
    Link,
    Foreign,
    TooLarge,
    Failed,
};

struct FileRead
{
    ReadStatus status = ReadStatus::Failed;
    QByteArray bytes;
    QString error; // the reason, in words a user can read
    bool ok() const { return status == ReadStatus::Read; }
};

// The whole of `path` when it is a regular file within the rules. The type
// and owner are taken from the file opened, not from its name, so nothing
// can be swapped in between.
FileRead readRegularFile(const QString &path, const ReadRules &rules = {});

// Whether `path` may be replaced by a fresh file: missing, or a regular
// file of this user's that is no link. False, with the reason, otherwise.
bool isReplaceable(const QString &path, QString *error = nullptr);

} // namespace storage
