#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

// The announcements the user has not yet acknowledged, as the message
// window keeps them and as they are stored between runs.
namespace announce {

struct Announcement
{
    QString text; // as it is shown and spoken, without the "}" marker
    bool confirm = false; // hidden behind the placeholder until "Ok"
    bool revealed = false; // the text has been shown

    bool operator==(const Announcement &) const = default;
};

// More would only be a file gone wrong; a person acknowledges far fewer.
inline constexpr qsizetype kMaxPending = 500;
inline constexpr qsizetype kMaxPendingText = 4096;
inline constexpr qint64 kMaxPendingFile = 4 * 1024 * 1024;

// One line a announcement after a header line, UTF-8: flags, a tab, and the
// text with backslash, tab and line breaks escaped.
// A line "Z", a tab and an ISO date and time after the header keeps the
// time a snoozed window is due back.
QByteArray pendingFileText(const QList<Announcement> &pending, const QDateTime &snoozedUntil = {});

struct PendingRead
{
    QList<Announcement> pending;
    QDateTime snoozedUntil; // invalid: not snoozed
    int skipped = 0; // lines that could not be read
};
// Reads what `pendingFileText` wrote. Lines that cannot be read are skipped
// and counted; texts and counts past the limits are cut.
PendingRead readPendingText(const QByteArray &bytes);

// Writes atomically; an empty list removes the file. False with the reason
// in `error` when the file cannot be written.
bool writePendingFile(const QString &path, const QList<Announcement> &pending,
    const QDateTime &snoozedUntil, QString *error);
// A missing file holds nothing; one past the size limit is read no further
// than the limit.
PendingRead readPendingFile(const QString &path);

// "2 of 3": the page the message window shows.
QString pageText(qsizetype index, qsizetype count);

} // namespace announce
