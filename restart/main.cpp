// quillory-restart: started by the calendar just before it ends. Waits until
// the running calendar has released its lock, then starts it again with the
// switch it was given ("/n" for a quiet restart).
#include "platform/SingleInstance.h"
#include "storage/AppPaths.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QProcess>
#include <QThread>

#include <cstdio>

Q_LOGGING_CATEGORY(lcRestart, "quillory.restart", QtInfoMsg)

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    const bool quiet = args.size() == 1 && args.first() == QLatin1String("/n");
    const AppPaths paths = AppPaths::fromEnvironment(QCoreApplication::applicationDirPath());

    // A calendar that hangs while closing must not keep the user without
    // one: after the bound the calendar is started anyway, and the new one
    // defers to the old one if it is still alive.
    const int boundSeconds = qEnvironmentVariableIntValue("QUILLORY_RESTART_WAIT") > 0
        ? qEnvironmentVariableIntValue("QUILLORY_RESTART_WAIT")
        : 30;
    QDeadlineTimer deadline(boundSeconds * 1000);
    int status = 0;
    for (;;) {
        QString why;
        const SingleInstance::LockState state = SingleInstance::lockState(paths.dataFolder, &why);
        if (state == SingleInstance::LockState::Free)
            break;
        if (state == SingleInstance::LockState::Broken) {
            // A broken folder is not a calendar still closing: no wait. The
            // calendar is started all the same, as it shows the user the
            // reason in a box, which this program without windows cannot.
            std::fprintf(
                stderr, "quillory-restart: %s\n", qPrintable(SingleInstance::cannotRunText(why)));
            qCCritical(lcRestart).noquote() << "the lock cannot be examined:" << why;
            status = 1;
            break;
        }
        if (deadline.hasExpired()) {
            qCWarning(lcRestart) << "the calendar did not end within" << boundSeconds
                                 << "s; starting it anyway";
            break;
        }
        QThread::msleep(100);
    }

    const QString calendar = paths.program(QStringLiteral("quillory"));
    const QStringList calendarArgs = quiet ? QStringList { QStringLiteral("/n") } : QStringList {};
    if (!QFileInfo(calendar).isExecutable() || !QProcess::startDetached(calendar, calendarArgs)) {
        qCCritical(lcRestart) << "cannot start" << calendar;
        return 1;
    }
    qCInfo(lcRestart) << "started" << calendar << calendarArgs;
    return status;
}
