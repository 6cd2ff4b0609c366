#include "storage/IniFuncs.h"

#include "storage/IniEngine.h"
#include "storage/Logging.h"
#include "storage/SafeFile.h"
#include "storage/TextCodec.h"

#include <QFile>
#include <QFileInfo>

namespace INIFuncs {

QString INIRead(
    const QString &file, const QString &section, const QString &key, const QString &defaultValue)
{
    const ini::ReadResult result = ini::getPrivateProfileString(textcodec::toFileBytes(section),
        textcodec::toFileBytes(key), textcodec::toFileBytes(defaultValue), 255, file);
    return textcodec::fromFileBytes(result.text.left(result.count));
}

QString INIReadFrom(const QByteArray &content, const QString &section, const QString &key,
    const QString &defaultValue)
{
    const ini::ReadResult result = ini::readString(content, textcodec::toFileBytes(section),
        textcodec::toFileBytes(key), textcodec::toFileBytes(defaultValue), 255);
    return textcodec::fromFileBytes(result.text.left(result.count));
}

bool INIWrite(const QString &file, const QString &section, const QString &key, const QString &value,
    QString *error)
{
    const QString oneLine = textcodec::oneLine(value);
    if (!ini::writePrivateProfileString(textcodec::toFileBytes(section),
            textcodec::toFileBytes(key), textcodec::toFileBytes(oneLine), file, error)) {
        qCWarning(lcStorage) << "write of" << key << "to" << file
                             << "failed; the file is unchanged";
        return false;
    }
    return true;
}

bool INIWriteMany(const QString &file, const QString &section,
    const QList<QPair<QString, QString>> &entries, QString *error)
{
    QList<QPair<QByteArray, QByteArray>> pairs;
    pairs.reserve(entries.size());
    for (const auto &[key, value] : entries)
        pairs.append(
            { textcodec::toFileBytes(key), textcodec::toFileBytes(textcodec::oneLine(value)) });
    if (!ini::writePrivateProfileStrings(textcodec::toFileBytes(section), pairs, file, error)) {
        qCWarning(lcStorage) << "write of" << entries.size() << "keys to" << file
                             << "failed; the file is unchanged";
        return false;
    }
    return true;
}

} // namespace INIFuncs

std::optional<QByteArray> readWholeFile(const QString &path)
{
    // Only a regular file: a FIFO or a device would hang the scan.
    storage::FileRead read = storage::readRegularFile(path);
    if (read.status == storage::ReadStatus::Missing)
        return QByteArray();
    if (!read.ok())
        return std::nullopt;
    return std::move(read.bytes);
}

namespace {

bool passes(const QString &line, const ScanFilter &filter)
{
    if (filter.skipShort && line.size() < 5)
        return false;
    if (filter.skipHeader && line == QLatin1String("[alarms]"))
        return false;
    if (filter.skipNonDigit
        && (line.isEmpty() || line[0] < QLatin1Char('0') || line[0] > QLatin1Char('9')))
        return false;
    if (filter.skipNothing && line.mid(17) == QLatin1String(kNothing))
        return false;
    return !line.isEmpty();
}

bool isAscii(QByteArrayView bytes)
{
    for (const char b : bytes) {
        if (static_cast<unsigned char>(b) >= 0x80)
            return false;
    }
    return true;
}

} // namespace

ScanOutcome scanDataFile(const QString &path, const ScanFilter &filter, const ScanRetry &retry,
    ScanServices services, const std::function<void(const AppointmentLine &)> &onLine)
{
    std::optional<QByteArray> bytes;
    for (int attempt = 0; attempt < retry.attempts; ++attempt) {
        if (attempt > 0 && retry.pauseSeconds > 0 && services.pause)
            services.pause(retry.pauseSeconds);
        bytes = services.read ? services.read(path) : readWholeFile(path);
        if (bytes)
            break;
        qCWarning(lcStorage) << "scan of" << path << "failed, attempt" << attempt + 1;
    }
    if (!bytes) {
        if (retry.report)
            services.dialogs.messageBox(retry.message, MsgButtons::Ok, retry.icon, retry.title);
        return ScanOutcome::GaveUp;
    }
    scanBytes(*bytes, filter, onLine);
    return ScanOutcome::Complete;
}

void scanBytes(const QByteArray &bytes, const ScanFilter &filter,
    const std::function<void(const AppointmentLine &)> &onLine)
{
    // Lines end at CR, LF or CRLF, as every other reader of the file sees them.
    // A UTF-16 file is read as the lookups read it.
    const QByteArray data = ini::ansiText(bytes);
    qsizetype start = 0;
    const qsizetype size = data.size();
    while (start < size) {
        qsizetype end = start;
        while (end < size && data[end] != '\r' && data[end] != '\n')
            ++end;
        const QByteArrayView raw(data.constData() + start, end - start);
        // Cleared entries are most of a long-used file: skip them before
        // decoding. Only an ASCII key has its characters where its bytes are.
        const bool cleared = filter.skipNothing && raw.size() == 24 && raw.sliced(17) == "nothing"
            && isAscii(raw.first(17));
        const QString line = cleared ? QString() : textcodec::fromFileBytes(raw.toByteArray());
        if (!cleared && passes(line, filter))
            onLine(AppointmentLine::fromLine(line));
        start = end;
        if (start < size && data[start] == '\r')
            ++start;
        if (start < size && data[start] == '\n')
            ++start;
    }
}
