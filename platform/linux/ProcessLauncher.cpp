#include "platform/linux/ProcessLauncher.h"

#include "platform/Logging.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

bool ProcessLauncher::start(const QString &program, const QStringList &arguments, WindowStyle style)
{
    // No shell: a path with blanks is one argument, and nothing is expanded.
    // The window style is a wish a Linux desktop decides for itself.
    Q_UNUSED(style);
    if (!QFileInfo(program).isExecutable()) {
        qCInfo(lcPlatform) << "not started, no such program:" << program;
        return false;
    }
    const bool started = QProcess::startDetached(program, arguments);
    qCInfo(lcPlatform) << (started ? "started" : "could not start") << program << arguments;
    return started;
}

bool ProcessLauncher::openDocument(const QString &path)
{
    const bool opened = QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    qCInfo(lcPlatform) << (opened ? "opened" : "could not open") << path;
    return opened;
}
