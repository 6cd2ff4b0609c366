#include "cli/CommandLine.h"

#include "ical/Exchange.h"

#include "Version.h"
#include "platform/SingleInstance.h"
#include "remote/WhenRules.h"

#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QLockFile>
#include <QRegularExpression>
#include <QThread>

namespace cli {

namespace {

// A calendar that holds the lock but is not on the bus yet is starting.
constexpr int kStartWaitMs = 5000;

struct Result
{
    int status = kDone;
    QString out;
    QString err;
};

Result done(const QString &text)
{
    return { kDone, text.isEmpty() ? QString() : text + QLatin1Char('\n'), {} };
}

Result refused(const QString &text)
{
    return { kRefused, {}, text + QLatin1Char('\n') };
}

Result badUsage(const QString &text)
{
    return { kBadUsage, {}, QStringLiteral("quillory: %1\nTry \"quillory --help\".\n").arg(text) };
}

const QStringList &commands()
{
    static const QStringList names { QStringLiteral("add"), QStringLiteral("list"),
        QStringLiteral("next"), QStringLiteral("remove"), QStringLiteral("import"),
        QStringLiteral("export") };
    return names;
}

QString overview()
{
    return QStringLiteral(
        "Usage: quillory [COMMAND [OPTIONS]]\n"
        "Without a command the calendar starts.\n\n"
        "Commands:\n"
        "  add --at WHEN | --in DURATION [--repeat NAME] [--confirm] [--early-warning] MESSAGE\n"
        "      WHEN is \"YYYY-MM-DD HH:MM\", \"tomorrow 9:00\" or \"9:30\" (today, or tomorrow\n"
        "      when past); DURATION is \"20m\", \"2h\" or \"1h30m\"; NAME is one of\n"
        "      once, hourly, daily, weekly, monthly, quarterly, yearly.\n"
        "  list [--from DAY] [--to DAY] [--json]\n"
        "      Date and time, repeat, options, message; DAY is \"YYYY-MM-DD\" or \"today\".\n"
        "  next [--json]\n"
        "      The next appointment; exit status 1 when there is none.\n"
        "  remove \"YYYY-MM-DD HH:MM\"\n"
        "      Removes the appointment at that minute and says what it was.\n"
        "  import FILE\n"
        "      Adds the events of an iCalendar file; a minute already taken is skipped.\n"
        "  export [FILE]\n"
        "      Writes every appointment as iCalendar to FILE, or to the standard output.\n\n"
        "Options:\n"
        "  -h, --help     Shows this help (\"quillory COMMAND --help\" for a command's).\n"
        "  -v, --version  Shows the version.\n\n"
        "A running calendar makes each change itself; without one the data file is\n"
        "changed directly. Exit status: 0 done, 1 refused, 2 wrong usage.\n");
}

// The command's work, one way for the calendar and one for the file.
struct Work
{
    std::function<Result(CalendarLink &)> viaCalendar;
    std::function<Result()> onFile;
};

Result fromReply(const CalendarLink::Reply &reply)
{
    switch (reply.reach) {
    case CalendarLink::Reach::Answered:
        return done(reply.text);
    case CalendarLink::Reach::Refused:
        return refused(reply.text);
    case CalendarLink::Reach::Gone:
    case CalendarLink::Reach::Failed:
        break;
    }
    return refused(QStringLiteral("quillory: the calendar did not answer: ") + reply.text);
}

bool waitForFreeLock(const QString &dataFolder, int waitMs)
{
    QElapsedTimer waited;
    waited.start();
    while (SingleInstance::lockState(dataFolder) == SingleInstance::LockState::Held) {
        if (waited.elapsed() >= waitMs)
            return false;
        QThread::msleep(100);
    }
    return true;
}

// To the calendar when one runs, else on the file while holding its lock,
// so a calendar cannot start and move appointments on meanwhile.
Result route(Context &context, const Work &work)
{
    // Twice at most: a calendar that ends in the middle of a call leaves the
    // work to the file (adding the same appointment again is no change).
    for (int attempt = 0; attempt < 2; ++attempt) {
        QDir().mkpath(context.dataFolder);
        QString why;
        const SingleInstance::LockState state = SingleInstance::lockState(context.dataFolder, &why);
        if (state == SingleInstance::LockState::Broken)
            return refused(QStringLiteral("quillory: ") + why);
        if (state == SingleInstance::LockState::Free) {
            QLockFile lock(SingleInstance::lockPath(context.dataFolder));
            lock.setStaleLockTime(0);
            if (lock.tryLock(0))
                return work.onFile();
            if (lock.error() != QLockFile::LockFailedError)
                return refused(QStringLiteral("quillory: the lock file %1 cannot be written")
                                   .arg(SingleInstance::lockPath(context.dataFolder)));
            // A calendar took the lock meanwhile: it is starting.
        }
        if (!context.calendar.present(kStartWaitMs)) {
            if (waitForFreeLock(context.dataFolder, 0))
                continue;
            return refused(QStringLiteral("quillory: Quillory is running but cannot be reached on "
                                          "the session bus; please try again from the desktop's "
                                          "session."));
        }
        Result result = work.viaCalendar(context.calendar);
        if (result.status == kRefused && !context.calendar.present(0)) {
            // Ended mid-call: once it let go of the lock, the file is ours.
            if (attempt == 0 && waitForFreeLock(context.dataFolder, kStartWaitMs))
                continue;
        }
        return result;
    }
    return refused(QStringLiteral("quillory: the calendar ended while it was asked; please try "
                                  "again."));
}

QCommandLineParser &parserFor(QCommandLineParser &parser, const QString &command)
{
    parser.setApplicationDescription(
        QStringLiteral("quillory %1: see \"quillory --help\" and quillory(1).").arg(command));
    parser.addHelpOption();
    return parser;
}

// The parser's help names the program as it was started; a command's help
// names the command too.
Result helpOf(const QCommandLineParser &parser, const QString &command)
{
    QStringList lines = parser.helpText().trimmed().split(QLatin1Char('\n'));
    static const QRegularExpression usage(QStringLiteral(R"(^Usage: \S+)"));
    lines.first().replace(usage, QStringLiteral("Usage: quillory ") + command);
    return done(lines.join(QLatin1Char('\n')));
}

Result listLines(const QList<remote::Entry> &entries, bool asJson)
{
    if (asJson)
        return { kDone, QString::fromUtf8(remote::json(entries)), {} };
    QString text;
    for (const remote::Entry &entry : entries)
        text += remote::listLine(entry) + QLatin1Char('\n');
    return { kDone, text, {} };
}

std::optional<QList<remote::Entry>> entriesOf(const QList<QVariantMap> &maps)
{
    QList<remote::Entry> out;
    for (const QVariantMap &map : maps) {
        const std::optional<remote::Entry> entry = remote::entryFromFields(map);
        if (!entry)
            return std::nullopt;
        out << *entry;
    }
    return out;
}

Result runAdd(const QStringList &arguments, Context &context)
{
    QCommandLineParser parser;
    parserFor(parser, QStringLiteral("add"));
    const QCommandLineOption at(QStringLiteral("at"),
        QStringLiteral("When: \"YYYY-MM-DD HH:MM\", \"tomorrow 9:00\" or \"9:30\"."),
        QStringLiteral("when"));
    const QCommandLineOption in(QStringLiteral("in"),
        QStringLiteral("How long from now: \"20m\", \"2h\", \"1h30m\"."),
        QStringLiteral("duration"));
    const QCommandLineOption repeat(QStringLiteral("repeat"),
        QStringLiteral("once (the default), hourly, daily, weekly, monthly, quarterly or yearly."),
        QStringLiteral("name"), QStringLiteral("once"));
    const QCommandLineOption confirm(
        QStringLiteral("confirm"), QStringLiteral("Keep the message hidden until Ok is pressed."));
    const QCommandLineOption early(QStringLiteral("early-warning"),
        QStringLiteral("Warn of it a week and three days before."));
    parser.addOptions({ at, in, repeat, confirm, early });
    parser.addPositionalArgument(QStringLiteral("message"), QStringLiteral("What is announced."));
    if (!parser.parse(arguments))
        return badUsage(parser.errorText());
    if (parser.isSet(QStringLiteral("help")))
        return helpOf(parser, QStringLiteral("add"));
    if (parser.isSet(at) == parser.isSet(in))
        return badUsage(QStringLiteral("add needs either --at or --in"));
    if (parser.positionalArguments().isEmpty())
        return badUsage(QStringLiteral("add needs the message"));
    const QString name = parser.value(repeat);
    if (!remote::repeatNames().contains(name)) {
        return badUsage(QStringLiteral("\"%1\" is not a repeat; choose one of %2")
                            .arg(name, remote::repeatNames().join(QStringLiteral(", "))));
    }
    const QDateTime now = context.now();
    const remote::When when = parser.isSet(at) ? remote::parseAt(parser.value(at), now)
                                               : remote::parseIn(parser.value(in), now);
    if (when.status == remote::When::Status::BadUsage)
        return badUsage(when.text);
    if (when.status == remote::When::Status::Refused)
        return refused(when.text);
    const remote::AddRequest request { when.date, when.time, name, parser.isSet(confirm),
        parser.isSet(early), parser.positionalArguments().join(QLatin1Char(' ')) };
    return route(context,
        { [&](CalendarLink &calendar) { return fromReply(calendar.add(request)); },
            [&] {
                const remote::Outcome outcome
                    = remote::add(context.dataFile, request, context.now());
                return outcome.done ? done(outcome.text) : refused(outcome.text);
            } });
}

Result runList(const QStringList &arguments, Context &context, bool onlyNext)
{
    QCommandLineParser parser;
    parserFor(parser, onlyNext ? QStringLiteral("next") : QStringLiteral("list"));
    const QCommandLineOption from(QStringLiteral("from"),
        QStringLiteral("The first day: YYYY-MM-DD or today."), QStringLiteral("day"));
    const QCommandLineOption to(QStringLiteral("to"),
        QStringLiteral("The last day: YYYY-MM-DD or today."), QStringLiteral("day"));
    const QCommandLineOption asJson(QStringLiteral("json"),
        QStringLiteral("A JSON array of objects: key, date, time, repeat, confirm, earlyWarning, "
                       "message."));
    if (!onlyNext)
        parser.addOptions({ from, to });
    parser.addOption(asJson);
    if (!parser.parse(arguments))
        return badUsage(parser.errorText());
    if (parser.isSet(QStringLiteral("help")))
        return helpOf(parser, onlyNext ? QStringLiteral("next") : QStringLiteral("list"));
    if (!parser.positionalArguments().isEmpty()) {
        return badUsage(
            QStringLiteral("unexpected \"%1\"").arg(parser.positionalArguments().first()));
    }
    const QDate today = context.now().date();
    std::optional<QDate> first;
    std::optional<QDate> last;
    for (const auto &[option, day] : { std::pair { &from, &first }, std::pair { &to, &last } }) {
        if (onlyNext || !parser.isSet(*option))
            continue;
        *day = remote::parseDay(parser.value(*option), today);
        if (!*day) {
            return badUsage(QStringLiteral("--%1 takes \"YYYY-MM-DD\" or \"today\", not \"%2\"")
                                .arg(option->names().first(), parser.value(*option)));
        }
    }
    const bool json = parser.isSet(asJson);
    auto shown = [&](const QList<remote::Entry> &entries) {
        if (!onlyNext)
            return listLines(entries, json);
        if (entries.isEmpty())
            return Result { kRefused, {}, {} };
        return listLines(entries.mid(0, 1), json);
    };
    return route(context,
        { [&](CalendarLink &calendar) {
             const CalendarLink::Reply reply = onlyNext
                 ? calendar.next()
                 : calendar.list(first ? first->toString(Qt::ISODate) : QString(),
                     last ? last->toString(Qt::ISODate) : QString());
             if (reply.reach != CalendarLink::Reach::Answered)
                 return fromReply(reply);
             const auto entries = entriesOf(reply.entries);
             if (!entries)
                 return refused(QStringLiteral("quillory: the calendar's answer cannot be read"));
             return shown(*entries);
         },
            [&] {
                const auto all = remote::read(context.dataFile);
                if (!all)
                    return refused(remote::unreadableText(context.dataFile));
                if (onlyNext) {
                    const auto next = remote::nextFrom(*all, context.now());
                    return shown(next ? QList<remote::Entry> { *next } : QList<remote::Entry> {});
                }
                return shown(remote::between(*all, first, last));
            } });
}

Result runRemove(const QStringList &arguments, Context &context)
{
    QCommandLineParser parser;
    parserFor(parser, QStringLiteral("remove"));
    parser.addPositionalArgument(
        QStringLiteral("minute"), QStringLiteral("The appointment's \"YYYY-MM-DD HH:MM\"."));
    if (!parser.parse(arguments))
        return badUsage(parser.errorText());
    if (parser.isSet(QStringLiteral("help")))
        return helpOf(parser, QStringLiteral("remove"));
    if (parser.positionalArguments().size() != 1)
        return badUsage(QStringLiteral("remove takes one \"YYYY-MM-DD HH:MM\""));
    const remote::When when = remote::parseMinute(parser.positionalArguments().first());
    if (when.status == remote::When::Status::BadUsage)
        return badUsage(when.text);
    if (when.status == remote::When::Status::Refused)
        return refused(when.text);
    const QString minute = remote::minuteText(when.date, when.time);
    return route(context,
        { [&](CalendarLink &calendar) { return fromReply(calendar.remove(minute)); },
            [&] {
                const remote::Outcome outcome
                    = remote::remove(context.dataFile, remote::keyOf(when.date, when.time));
                return outcome.done ? done(outcome.text) : refused(outcome.text);
            } });
}

// Into the data file while no calendar runs: the running one imports from
// its manager, where its own minute looks cannot cross the change.
Result runImport(const QStringList &arguments, Context &context)
{
    QCommandLineParser parser;
    parserFor(parser, QStringLiteral("import"));
    parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("An iCalendar file."));
    if (!parser.parse(arguments))
        return badUsage(parser.errorText());
    if (parser.isSet(QStringLiteral("help")))
        return helpOf(parser, QStringLiteral("import"));
    if (parser.positionalArguments().size() != 1)
        return badUsage(QStringLiteral("import takes one iCalendar file"));
    const QString file = parser.positionalArguments().first();
    QDir().mkpath(context.dataFolder);
    QLockFile lock(SingleInstance::lockPath(context.dataFolder));
    lock.setStaleLockTime(0);
    if (!lock.tryLock(0))
        return refused(QStringLiteral("quillory: Quillory is running; import the file from its "
                                      "Appointment Manager (Import...) or quit it first."));
    const ical::ImportReport report = ical::importFile(
        file, context.dataFile, { context.now(), ical::allDayTime(context.allDayTime) });
    const QString text = ical::reportText(report);
    if (!report.error.isEmpty())
        return refused(text);
    return done(text.trimmed());
}

Result runExport(const QStringList &arguments, Context &context)
{
    QCommandLineParser parser;
    parserFor(parser, QStringLiteral("export"));
    parser.addPositionalArgument(
        QStringLiteral("file"), QStringLiteral("Where to write; the standard output without it."));
    if (!parser.parse(arguments))
        return badUsage(parser.errorText());
    if (parser.isSet(QStringLiteral("help")))
        return helpOf(parser, QStringLiteral("export"));
    if (parser.positionalArguments().size() > 1)
        return badUsage(QStringLiteral("export takes one file at most"));
    if (parser.positionalArguments().isEmpty()) {
        const ical::ExportResult result = ical::exportDataFile(context.dataFile);
        if (!result.error.isEmpty())
            return refused(QStringLiteral("quillory: nothing exported: ") + result.error);
        return { kDone, QString::fromUtf8(result.ics), {} };
    }
    const QString file = parser.positionalArguments().first();
    const ical::ExportResult result = ical::exportToFile(context.dataFile, file);
    if (!result.error.isEmpty())
        return refused(QStringLiteral("quillory: nothing exported: ") + result.error);
    return done(QStringLiteral("%1 appointments exported to %2").arg(result.events).arg(file));
}

} // namespace

bool isCommand(const QStringList &arguments)
{
    if (arguments.isEmpty())
        return false;
    const QString &first = arguments.first();
    return commands().contains(first) || first == QLatin1String("--help")
        || first == QLatin1String("-h") || first == QLatin1String("--version")
        || first == QLatin1String("-v");
}

int run(const QStringList &arguments, Context &context)
{
    const QString command = arguments.value(1);
    // The command's own parser sees the program's name, then its options.
    const QStringList rest = QStringList { arguments.value(0) } + arguments.mid(2);
    Result result;
    if (command == QLatin1String("--help") || command == QLatin1String("-h"))
        result = done(overview().trimmed());
    else if (command == QLatin1String("--version") || command == QLatin1String("-v"))
        result = done(QStringLiteral("quillory ") + QLatin1String(quillory::kVersionText));
    else if (command == QLatin1String("add"))
        result = runAdd(rest, context);
    else if (command == QLatin1String("list"))
        result = runList(rest, context, false);
    else if (command == QLatin1String("next"))
        result = runList(rest, context, true);
    else if (command == QLatin1String("remove"))
        result = runRemove(rest, context);
    else if (command == QLatin1String("import"))
        result = runImport(rest, context);
    else if (command == QLatin1String("export"))
        result = runExport(rest, context);
    else
        result = badUsage(QStringLiteral("unknown command \"%1\"").arg(command));
    context.out << result.out;
    context.err << result.err;
    context.out.flush();
    context.err.flush();
    return result.status;
}

} // namespace cli
