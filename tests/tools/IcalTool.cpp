#include "ical/Exchange.h"
#include "ical/VdirSync.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>

#include <cstdio>

// What the calendar does with iCalendar, one step at a time, for tests and
// checks from outside that pair it with other programs:
//
//   quillory_ical_tool look DATAFILE FOLDER    one look at a sync folder
//   quillory_ical_tool export DATAFILE FILE    every appointment to FILE
//   quillory_ical_tool import DATAFILE FILE    FILE's events into DATAFILE
//   quillory_ical_tool check - FILE            libical's restriction checks on FILE
int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 4) {
        std::fprintf(stderr, "usage: %s look|export|import DATAFILE FOLDER-OR-FILE\n", argv[0]);
        return 2;
    }
    const QString &mode = args[1];
    const ical::ImportOptions options { QDateTime::currentDateTime(), QTime(9, 0) };
    if (mode == QLatin1String("look")) {
        ical::advanceRules(args[2], options.now, options.allDayAt);
        const ical::SyncOutcome out = ical::syncFolder(args[2], args[3], options);
        std::printf("written %d taken %d\n", out.written, out.taken);
        for (const QString &text : out.told)
            std::printf("told: %s\n", qPrintable(text));
        if (!out.problem.isEmpty()) {
            std::fprintf(stderr, "%s\n", qPrintable(out.problem));
            return 1;
        }
        return 0;
    }
    if (mode == QLatin1String("export")) {
        const ical::ExportResult result = ical::exportToFile(args[2], args[3]);
        if (!result.error.isEmpty()) {
            std::fprintf(stderr, "%s\n", qPrintable(result.error));
            return 1;
        }
        std::printf("%d events\n", result.events);
        return 0;
    }
    if (mode == QLatin1String("check")) {
        QFile file(args[3]);
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "cannot read %s\n", qPrintable(args[3]));
            return 1;
        }
        const QStringList problems = ical::problemsOf(file.readAll());
        for (const QString &problem : problems)
            std::printf("%s\n", qPrintable(problem));
        return problems.isEmpty() ? 0 : 1;
    }
    if (mode == QLatin1String("import")) {
        const ical::ImportReport report = ical::importFile(args[3], args[2], options);
        std::printf("%s\n", qPrintable(ical::reportText(report)));
        return report.error.isEmpty() ? 0 : 1;
    }
    std::fprintf(stderr, "unknown step %s\n", qPrintable(mode));
    return 2;
}
