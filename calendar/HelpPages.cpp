#include "calendar/HelpPages.h"

#include "calendar/HelpRules.h"
#include "calendar/Logging.h"
#include "calendar/MenuRules.h"
#include "platform/Dialogs.h"
#include "platform/Launcher.h"
#include "platform/Services.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QWidget>

namespace {

// Installed beside the program, else in the install's share folder, else
// (a build never installed) in the source tree.
QStringList helpFolders(const QString &programFolder)
{
    QStringList folders {
        QDir(programFolder + QStringLiteral("/../share/quillory/help")).absolutePath(),
        QStringLiteral(QUILLORY_HELP_INSTALL_DIR),
    };
#ifdef QUILLORY_HELP_SOURCE_DIR
    folders << QStringLiteral(QUILLORY_HELP_SOURCE_DIR);
#endif
    return folders;
}

} // namespace

HelpPages::HelpPages(Services &services, const QString &programFolder, QObject *parent)
    : HelpPages(services, helpFolders(programFolder), parent)
{ }

HelpPages::HelpPages(Services &services, const QStringList &folders, QObject *parent)
    : QObject(parent)
    , m_services(services)
    , m_folder(help::helpFolder(folders))
{
    setObjectName(QStringLiteral("helpPages"));
}

bool HelpPages::open(const QString &windowName)
{
    const QString page = help::pageFile(m_folder, windowName);
    if (!QFileInfo::exists(page)) {
        qCWarning(lcCalendar) << "help page missing:" << page;
        m_services.dialogs.messageBox(
            menu::helpMissingText(page), MsgButtons::Ok, MsgIcon::Exclamation);
        return false;
    }
    qCInfo(lcCalendar) << "help page" << page;
    if (!m_services.launcher.openDocument(page)) {
        m_services.dialogs.messageBox(
            menu::helpNotOpenedText(page), MsgButtons::Ok, MsgIcon::Exclamation);
        return false;
    }
    return true;
}

bool HelpPages::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->key() == Qt::Key_F1
        && !static_cast<QKeyEvent *>(event)->isAutoRepeat()) {
        // Whichever control has the focus, the page is its window's.
        if (const auto *widget = qobject_cast<QWidget *>(watched)) {
            open(widget->window()->objectName());
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
