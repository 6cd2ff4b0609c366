#pragma once

#include <QDate>
#include <QSet>
#include <QString>

// What the calendar has shown today (early warnings by appointment, the
// greeting, the morning briefing), kept in a small file, so a restart the program makes itself
// (after "Ok", a save, a restore, at midnight) does not show it again.
class ShownToday
{
public:
    ShownToday(QString path, QDate today);

    bool contains(const QString &what) const { return m_shown.contains(what); }
    // Remembers `what` for today; an entry that cannot be kept is only logged.
    void add(const QString &what);

    static QString warning(const QString &key, bool week);
    static QString greeting() { return QStringLiteral("greeting"); }
    static QString briefing() { return QStringLiteral("briefing"); }

private:
    QString m_path;
    QDate m_today;
    QSet<QString> m_shown;
};

// A restart the program makes itself leaves a mark with its time; the
// calendar it starts takes the mark away and knows it was not the user.
namespace restartmark {
void leave(const QString &path, const QDateTime &now);
// Whether a mark was left within the last few minutes; the mark goes.
bool take(const QString &path, const QDateTime &now);
} // namespace restartmark
