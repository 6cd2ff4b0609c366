#include "calendar/ShownToday.h"

#include "storage/AtomicFile.h"
#include "storage/IniFuncs.h"

#include <QDateTime>
#include <QFile>
#include <QLoggingCategory>

namespace {
Q_LOGGING_CATEGORY(lcShown, "quillory.calendar.shown", QtInfoMsg)
constexpr qint64 kMaxShownFile = 1024 * 1024;
constexpr qint64 kRestartWindowSecs = 300;
} // namespace

ShownToday::ShownToday(QString path, QDate today)
    : m_path(std::move(path))
    , m_today(today)
{
    // One line a thing shown, after the day's date; another day's file is
    // forgotten.
    const std::optional<QByteArray> bytes = readWholeFile(m_path);
    if (!bytes || bytes->size() > kMaxShownFile)
        return;
    const QStringList lines = QString::fromUtf8(*bytes).split(QLatin1Char('\n'));
    if (lines.isEmpty() || lines.first() != m_today.toString(Qt::ISODate))
        return;
    for (qsizetype i = 1; i < lines.size(); ++i)
        if (!lines[i].isEmpty())
            m_shown.insert(lines[i]);
}

void ShownToday::add(const QString &what)
{
    if (m_shown.contains(what))
        return;
    m_shown.insert(what);
    QString text = m_today.toString(Qt::ISODate) + QLatin1Char('\n');
    for (const QString &entry : std::as_const(m_shown))
        text += entry + QLatin1Char('\n');
    QString error;
    if (!writeFileAtomically(m_path, text.toUtf8(), &error))
        qCWarning(lcShown) << "what was shown today is not kept:" << error;
}

QString ShownToday::warning(const QString &key, bool week)
{
    return (week ? QStringLiteral("week ") : QStringLiteral("three days ")) + key;
}

namespace restartmark {

void leave(const QString &path, const QDateTime &now)
{
    QString error;
    if (!writeFileAtomically(path, now.toString(Qt::ISODate).toLatin1(), &error))
        qCWarning(lcShown) << "the restart is not marked:" << error;
}

bool take(const QString &path, const QDateTime &now)
{
    const std::optional<QByteArray> bytes = readWholeFile(path);
    if (!bytes || bytes->isEmpty())
        return false;
    QFile::remove(path);
    const QDateTime at = QDateTime::fromString(QString::fromLatin1(bytes->left(64)), Qt::ISODate);
    return at.isValid() && at.secsTo(now) >= 0 && at.secsTo(now) <= kRestartWindowSecs;
}

} // namespace restartmark
