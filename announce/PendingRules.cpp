#include "announce/PendingRules.h"

#include "storage/AtomicFile.h"
#include "storage/TextCodec.h"

#include <QFile>

namespace announce {

namespace {

constexpr char kHeader[] = "quillory pending 1";

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
        out += textcodec::escapedField(a.text.left(kMaxPendingText)).toUtf8();
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
        a.text = textcodec::unescapedField(QString::fromUtf8(line.mid(3))).left(kMaxPendingText);
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
