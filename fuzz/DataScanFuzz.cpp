// The sequential reader of the data file on any content, and what the
// manager and the tick make of each line it hands over: the list line, the
// preview and its sentence, the printed page, the delete check and the
// firing plan. Nothing may crash, and the scan must agree with a plain
// line-by-line reading of the same bytes.

#include "engine/Firing.h"
#include "manager/ManagerRules.h"
#include "platform/Dialogs.h"
#include "storage/IniEngine.h"
#include "storage/IniFuncs.h"
#include "storage/TextCodec.h"

#include <QByteArray>
#include <QList>
#include <QLocale>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

// A dialog service that must never be asked: the reader below always succeeds.
class NoDialogs : public Dialogs
{
public:
    MsgAnswer messageBox(const QString &, MsgButtons, MsgIcon, const QString &) override
    {
        std::fprintf(stderr, "DataScan fuzz: a message box on a readable file\n");
        std::abort();
    }
    std::optional<quint32> chooseColour(quint32) override { return std::nullopt; }
    void beep() override { }
    QString chooseOpenFile(const QString &, const QString &, const QString &) override
    {
        return {};
    }
    QString chooseSaveFile(const QString &, const QString &, const QString &) override
    {
        return {};
    }
};

void check(bool ok, const char *what, const QString &line = {})
{
    if (!ok) {
        std::fprintf(stderr, "DataScan fuzz: %s\n%s\n", what, line.toUtf8().toHex(' ').constData());
        std::abort();
    }
}

QStringList scan(const QByteArray &content, const ScanFilter &filter)
{
    NoDialogs dialogs;
    QStringList lines;
    const ScanOutcome outcome = scanDataFile(QStringLiteral("data.ini"), filter,
        ScanRetry { {}, MsgIcon::None, {}, 0, 1, true },
        ScanServices { dialogs, {}, [&](const QString &) { return std::optional(content); } },
        [&](const AppointmentLine &line) { lines << line.line; });
    check(outcome == ScanOutcome::Complete, "a readable file gave up");
    return lines;
}

// The reader's rule written out plainly: a UTF-16 file read as the lookups
// read it, split at CR, LF or CRLF, decode every line, apply the four tests.
QStringList reference(const QByteArray &bytes, const ScanFilter &f)
{
    const QByteArray content = ini::ansiText(bytes);
    QStringList out;
    qsizetype start = 0;
    while (start < content.size()) {
        qsizetype end = start;
        while (end < content.size() && content[end] != '\r' && content[end] != '\n')
            ++end;
        const QString line = textcodec::fromFileBytes(content.mid(start, end - start));
        const bool keep = !line.isEmpty() && !(f.skipShort && line.size() < 5)
            && !(f.skipHeader && line == QLatin1String("[alarms]"))
            && !(f.skipNonDigit && (line[0] < QLatin1Char('0') || line[0] > QLatin1Char('9')))
            && !(f.skipNothing && line.mid(17) == QLatin1String(kNothing));
        if (keep)
            out << line;
        start = end;
        if (start < content.size() && content[start] == '\r')
            ++start;
        if (start < content.size() && content[start] == '\n')
            ++start;
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray content(reinterpret_cast<const char *>(data), qsizetype(size));
    const QLocale locale = QLocale::c();

    // The manager's list and the day marking apply every test; printing keeps
    // lines that do not start with a digit.
    const ScanFilter list;
    ScanFilter print;
    print.skipNonDigit = false;
    const QStringList listed = scan(content, list);
    const QStringList printed = scan(content, print);
    check(listed == reference(content, list), "the list scan differs from a plain reading");
    check(printed == reference(content, print), "the print scan differs from a plain reading");

    QList<AppointmentLine> records;
    for (const QString &text : listed) {
        check(!text.contains(QLatin1Char('\r')) && !text.contains(QLatin1Char('\n')),
            "a scanned line holds a line break", text);
        const AppointmentLine line = AppointmentLine::fromLine(text);
        records << line;
        const QString shown = manager::listLine(line, locale);
        check(shown.startsWith(text.left(16)), "the list line lost its key", text);
        const std::optional<QString> key = manager::deletableKey(shown);
        check(key.has_value() == KeyParts::parse(text.left(16)).has_value(),
            "delete and the key's form disagree", text);

        const QString value = text.mid(17);
        if (const auto fields = manager::preview(text.left(16), value)) {
            const QString sentence
                = manager::previewSentence(*fields, fields->day, fields->month, fields->year);
            check(sentence.endsWith(fields->message), "the preview lost its message", text);
        }
        if (const auto parts = KeyParts::parse(text.left(16))) {
            const FiringPlan plan = planFiring(value, *parts);
            if (plan.nextKey)
                check(KeyParts::parse(*plan.nextKey).has_value(), "a next key of another form",
                    *plan.nextKey);
            const QDate date = parts->date();
            for (RepeatStep step : { RepeatStep::Hour, RepeatStep::Day, RepeatStep::Week,
                     RepeatStep::Month, RepeatStep::Quarter, RepeatStep::Year, RepeatStep::None })
                nextDate(date, step);
        }
    }
    manager::printDocument(records, locale);
    return 0;
}
