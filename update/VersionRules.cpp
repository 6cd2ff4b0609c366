#include "update/VersionRules.h"

#include "Version.h"

#include <QRegularExpression>

namespace update {

QString OwnVersion::dotted() const
{
    return QStringLiteral("%1.%2.%3").arg(major).arg(minor).arg(revision);
}

QString OwnVersion::digits() const
{
    return QStringLiteral("%1%2%3").arg(major).arg(minor).arg(revision);
}

OwnVersion OwnVersion::current()
{
    return OwnVersion { quint16(quillory::kVersionMajor), quint16(quillory::kVersionMinor),
        quint16(quillory::kVersionRevision) };
}

namespace {

bool isVersionText(const QString &text)
{
    static const QRegularExpression form(QStringLiteral("^[0-9]+(\\.[0-9]+)*$"));
    return text.size() <= kMaxVersionLength && form.match(text).hasMatch();
}

// The digest field after the version's closing colon at `from` (-1: none).
void readDigest(const QString &text, qsizetype from, ListEntry &entry)
{
    static const QRegularExpression hex(QStringLiteral("^[0-9A-Fa-f]{64}$"));
    const qsizetype close = from < 0 ? -1 : text.indexOf(QLatin1Char(':'), from + 1);
    const QString field
        = from < 0 ? QString() : text.mid(from + 1, close < 0 ? -1 : close - from - 1).trimmed();
    if (field.isEmpty()) {
        entry.digestProblem
            = QStringLiteral("the version list gives no SHA-256 for version %1").arg(entry.version);
    } else if (close < 0 || !hex.match(field).hasMatch()) {
        entry.digestProblem
            = QStringLiteral("the SHA-256 of version %1 is not 64 hex digits closed by a colon")
                  .arg(entry.version);
    } else {
        entry.sha256 = QByteArray::fromHex(field.toLatin1());
    }
}

} // namespace

ListReading readVersionList(const QByteArray &list, const QString &key)
{
    // One character per byte, so that positions in the lower-cased copy are
    // positions in the text.
    const QString text = QString::fromLatin1(list);
    const qsizetype at = text.toLower().indexOf(key.toLower());
    if (at < 0)
        return { std::nullopt, QStringLiteral("no entry \"%1\"").arg(key) };
    const qsizetype colon = text.indexOf(QLatin1Char(':'), at);
    if (colon < 0)
        return { std::nullopt, QStringLiteral("no colon after \"%1\"").arg(key) };
    const qsizetype end = text.indexOf(QLatin1Char(':'), colon + 1);
    const QString raw = text.mid(colon + 1, end < 0 ? -1 : end - colon - 1);
    const QString version = raw.trimmed();
    if (!isVersionText(version)) {
        return { std::nullopt,
            QStringLiteral("version of %1 characters is not digits and dots").arg(raw.size()) };
    }
    ListEntry entry { version, {}, {} };
    readDigest(text, end, entry);
    return { entry, {} };
}

bool isOffered(const QString &server, const OwnVersion &own)
{
    if (server == own.dotted())
        return false;
    QString digits = server;
    digits.remove(QLatin1Char('.'));
    return !(own.digits() > digits);
}

QString configuredAddress(const QString &environment, const QString &setting)
{
    return environment.trimmed().isEmpty() ? setting.trimmed() : environment.trimmed();
}

QUrl endpoint(const QString &address, const char *path)
{
    const QString text = address.trimmed();
    if (text.isEmpty())
        return {};
    QUrl url(text.contains(QLatin1String("://")) ? text : QStringLiteral("https://") + text,
        QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty()
        || (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        return {};
    QString base = url.path();
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    url.setPath(base + QLatin1String(path));
    url.setQuery(QString());
    url.setFragment(QString());
    return url;
}

QString questionText(const OwnVersion &own, const QString &server)
{
    return QStringLiteral("There is a new version of Quillory available.\r\n"
                          "You have version %1, and the new version number\r\n"
                          "is %2. Do you want me to download it now for you?")
        .arg(own.dotted(), server);
}

QString refusedText(const QString &why)
{
    return QStringLiteral("An update was refused and nothing was started: %1.").arg(why);
}

QString checkDayText(const QDate &today)
{
    return today.toString(Qt::ISODate);
}

bool isCheckDue(const QString &lastCheck, const QDate &today)
{
    return lastCheck.trimmed() != checkDayText(today);
}

QString notStartedText(const QString &path)
{
    return QStringLiteral("The update could not be started. It has been saved as %1; you can "
                          "start it yourself. The calendar carries on.")
        .arg(path);
}

} // namespace update
