#pragma once

#include "platform/Dialogs.h"
#include "storage/Appointment.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <functional>
#include <optional>

// The data file's two ways in: one value by key, and a scan of every line.
namespace INIFuncs {

// One value, cut to 254 characters as the INI service returns it; the
// default when the file, the section or the key is missing.
QString INIRead(
    const QString &file, const QString &section, const QString &key, const QString &defaultValue);
// The same lookup on a file's content already read.
QString INIReadFrom(const QByteArray &content, const QString &section, const QString &key,
    const QString &defaultValue);
// Line breaks and NULs in the value become blanks so one entry stays one
// line and is read whole. A
// failed write leaves the file whole, is logged, and gives false with the
// reason in `error`; callers that may go on quietly ignore it.
bool INIWrite(const QString &file, const QString &section, const QString &key, const QString &value,
    QString *error = nullptr);
// Several keys in one replacement of the file, all or none: moving an
// appointment on (its next key and its cleared one) is never half done.
bool INIWriteMany(const QString &file, const QString &section,
    const QList<QPair<QString, QString>> &entries, QString *error = nullptr);

} // namespace INIFuncs

// Which lines a sequential reader skips. The day marking and the manager's
// list apply all four tests; printing and the day query fewer.
struct ScanFilter
{
    bool skipShort = true; // shorter than 5 characters
    bool skipHeader = true; // the "[alarms]" line
    bool skipNonDigit = true; // not starting with a digit
    bool skipNothing = true; // the value (from character 18) is "nothing"
};

inline constexpr int kScanAttempts = 10;

// What a scan does when the file cannot be read: try again, pausing between
// attempts, and after the tenth failure tell the user once.
struct ScanRetry
{
    QString message;
    MsgIcon icon = MsgIcon::Critical;
    QString title;
    int pauseSeconds = 0;
    int attempts = kScanAttempts;
    // False for readers that go on without a word when the file cannot be read.
    bool report = true;
};

enum class ScanOutcome { Complete, GaveUp };

struct ScanServices
{
    Dialogs &dialogs;
    std::function<void(int seconds)> pause;
    // Reads the whole file: nothing on a failure. Tests replace it to fail
    // on chosen attempts.
    std::function<std::optional<QByteArray>(const QString &path)> read;
};

// Reads the data file line by line and hands every line that passes the
// filter to `onLine`. A missing file has no lines.
ScanOutcome scanDataFile(const QString &path, const ScanFilter &filter, const ScanRetry &retry,
    ScanServices services, const std::function<void(const AppointmentLine &)> &onLine);

// The lines of a data file already read, as `scanDataFile` hands them on.
void scanBytes(const QByteArray &bytes, const ScanFilter &filter,
    const std::function<void(const AppointmentLine &)> &onLine);

// Reads a file whole; nothing when it exists but cannot be read or is not a
// regular file (a FIFO, a device), an empty array when it does not exist.
std::optional<QByteArray> readWholeFile(const QString &path);
