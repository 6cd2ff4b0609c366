#include "announce/PendingRules.h"

#include "storage/AtomicFile.h"

#include <QFile>

namespace announce {

namespace {

constexpr char kHeader[] = "quillory pending 1";

QString escaped(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'\\':
            out += QLatin1String("\\\\");
            break;
        case u'\t':
            out += QLatin1String("\\t");
            break;
        case u'\n':
            out += QLatin1String("\\n");
            break;
        case u'\r':
            out += QLatin1String("\\r");
            break;
        default:
            out += c;
        }
    }
    return out;
}

QString unescaped(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c != u'\\' || i + 1 == text.size()) {
            out += c;
            continue;
        }
        const QChar n = text[++i];
        switch (n.unicode()) {
        case u't':
            out += u'\t';
            break;
        case u'n':
            out += u'\n';
            break;
        case u'r':
            out += u'\r';
            break;
        default:
            out += n; // "\\" and anything unknown stand for themselves
        }
    }
    return out;
}

} // namespace

QByteArray pendingFileText(const QList<Announcement> &pending, const QDateTime &snoozedUntil)
{
    QByteArray out = QByteArray(kHeader) + '\n';
    if (snoozedUntil.isValid())
        out += "Z\t" + snoozedUntil.toString(Qt::ISODate).toLatin1() + '\n';
    for (const Announcement &a : pending) {
        out += a.confirm ? 'C' : '-';
        out += a.revealed ? 'R' : '-';
        out += '\t';
        out += escaped(a.text.left(kMaxPendingText)).toUtf8();
        out += '\n';
    }
    return out;
}

PendingRead readPendingText(const QByteArray &bytes)
{
    PendingRead result;
    const QList<QByteArray> lines = bytes.left(kMaxPendingFile).split('\n');
    bool header = true;
    for (QByteArray line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (header) {
            header = false;
            if (line == kHeader)
                continue;
        }
        if (line.isEmpty())
            continue;
        if (line.startsWith("Z\t")) {
            result.snoozedUntil
                = QDateTime::fromString(QString::fromLatin1(line.mid(2, 64)), Qt::ISODate);
            continue;
        }
        if (line.size() < 3 || line[2] != '\t' || (line[0] != 'C' && line[0] != '-')
            || (line[1] != 'R' && line[1] != '-')) {
            ++result.skipped;
            continue;
        }
        if (result.pending.size() == kMaxPending) {
            ++result.skipped;
            continue;
        }
        Announcement a;
        a.confirm = line[0] == 'C';
        a.revealed = line[1] == 'R' || !a.confirm;
        a.text = unescaped(QString::fromUtf8(line.mid(3))).left(kMaxPendingText);
        result.pending.append(a);
    }
    return result;
}

bool writePendingFile(const QString &path, const QList<Announcement> &pending,
    const QDateTime &snoozedUntil, QString *error)
{
    if (pending.isEmpty()) {
        QFile file(path);
        if (!file.exists() || file.remove())
            return true;
        if (error)
            *error = file.errorString();
        return false;
    }
    return writeFileAtomically(path, pendingFileText(pending, snoozedUntil), error);
}

PendingRead readPendingFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return readPendingText(file.read(kMaxPendingFile));
}

QString pageText(qsizetype index, qsizetype count)
{
    return QStringLiteral("%1 of %2").arg(index + 1).arg(count);
}

} // namespace announce
