#include "calendar/HelpRules.h"

#include <QFileInfo>
#include <QHash>

namespace help {

QString pageFor(const QString &windowName)
{
    static const QHash<QString, QString> pages {
        { QStringLiteral("frm_main"), QStringLiteral("index.html") },
        { QStringLiteral("mnu_settings"), QStringLiteral("menus.html") },
        { QStringLiteral("frm_set"), QStringLiteral("manager.html") },
        { QStringLiteral("frm_message"), QStringLiteral("messages.html") },
        { QStringLiteral("frm_early"), QStringLiteral("messages.html") },
        { QStringLiteral("frm_colour"), QStringLiteral("colours.html") },
        { QStringLiteral("frm_backup"), QStringLiteral("backup.html") },
        { QStringLiteral("frm_download"), QStringLiteral("updates.html") },
        { QStringLiteral("frm_about"), QStringLiteral("index.html") },
        { QStringLiteral("frm_wait"), QStringLiteral("start.html") },
        { QStringLiteral("New_User"), QStringLiteral("start.html") },
        { QStringLiteral("frm_splash"), QStringLiteral("start.html") },
        { QStringLiteral("characterOptions"), QStringLiteral("character.html") },
    };
    return pages.value(windowName, QStringLiteral("index.html"));
}

QString helpFolder(const QStringList &candidates)
{
    for (const QString &folder : candidates) {
        if (QFileInfo::exists(folder + QStringLiteral("/index.html")))
            return folder;
    }
    return candidates.value(0);
}

QString pageFile(const QString &folder, const QString &windowName)
{
    return folder + QLatin1Char('/') + pageFor(windowName);
}

} // namespace help
