// agent-setup: the first run's character installation. Puts the shipped
// characters into the user's character folder and logs what it did in
// setup.log in the data folder. Options such as "/Q:A" (quiet) are accepted
// and change nothing: it never asks anything.
#include "agent/CharacterFolders.h"
#include "setup/SetupWork.h"
#include "storage/AppPaths.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const AppPaths paths = AppPaths::fromEnvironment(QCoreApplication::applicationDirPath());
    const QString userFolder = userCharacterFolder(paths.windowsFolder());
    QStringList shipped = characterFolders(userFolder);
    shipped.removeAll(userFolder);
    const setup::Report report = setup::copyShippedCharacters(shipped, userFolder);
    for (const QString &line : report.lines)
        std::printf("agent-setup: %s\n", qPrintable(line));
    if (!setup::appendToLog(
            paths.dataFolder + QStringLiteral("/setup.log"), QStringLiteral("agent-setup"), report))
        std::fprintf(stderr, "agent-setup: cannot write the setup log\n");
    return report.ok ? 0 : 1;
}
