#include "calendar/MainMenu.h"

#include <QAction>
#include <QMenu>
#include <QWidget>

namespace {

QAction *item(QMenu *menu, const char *name, const QString &caption, bool checkable = false)
{
    QAction *action = menu->addAction(caption);
    action->setObjectName(QLatin1String(name));
    action->setCheckable(checkable);
    return action;
}

QMenu *submenu(QMenu *menu, const char *name, const QString &caption)
{
    auto *sub = menu->addMenu(caption);
    sub->setObjectName(QLatin1String(name));
    sub->menuAction()->setObjectName(QLatin1String(name));
    // A popup is a window of its own for screen readers, named by its title.
    sub->setAccessibleName(QString(caption).remove(QLatin1Char('&')));
    sub->setWindowTitle(sub->accessibleName());
    return sub;
}

} // namespace

MainMenu::MainMenu(QWidget *parent)
    : QObject(parent)
{
    setObjectName(QStringLiteral("mainMenu"));
    // Owned here, not by the window: the menu is a popup of its own.
    mnu_settings = new QMenu;
    mnu_settings->setObjectName(QStringLiteral("mnu_settings"));
    mnu_settings->setTitle(QStringLiteral("main options"));
    mnu_settings->setAccessibleName(QStringLiteral("main options"));
    mnu_settings->setWindowTitle(QStringLiteral("main options"));

    mnu_setalarm = item(mnu_settings, "mnu_setalarm", QStringLiteral(" -= Appointment Manager =-"));
    mnu_settings->addSeparator();
    mnu_spkdate = item(mnu_settings, "mnu_spkdate", QStringLiteral("Speak the current date"));
    mnu_ontoday = item(mnu_settings, "mnu_ontoday", QStringLiteral("What is on today?"));
    mnu_ontomorrow = item(mnu_settings, "mnu_ontomorrow", QStringLiteral("What is on tomorrow?"));
    mnu_next = item(mnu_settings, "mnu_next", QStringLiteral("What is next?"));
    mnu_settings->addSeparator();

    mnu_calopts = submenu(mnu_settings, "mnu_calopts", QStringLiteral("&Calendar Options"));
    mnu_hidecal = item(mnu_calopts, "mnu_hidecal", QStringLiteral("&Hide the calendar"));
    mnu_delay = item(mnu_calopts, "mnu_delay", QStringLiteral("Delay"), true);
    // Present for its setting, never offered.
    mnu_delay->setVisible(false);
    mnu_notify = item(mnu_calopts, "mnu_notify", QStringLiteral("Desktop notifications"), true);
    mnu_colour
        = item(mnu_calopts, "mnu_colour", QStringLiteral("Change the colours of the calendar"));
    mnu_load = item(mnu_calopts, "mnu_load", QStringLiteral("Start when I log in"), true);
    mnu_largefont
        = item(mnu_calopts, "mnu_largefont", QStringLiteral("Enable large font mode"), true);
    mnu_settings->addSeparator();

    mnu_charopt = submenu(mnu_settings, "mnu_charopt", QStringLiteral("Character options"));
    mnu_moveme = item(mnu_charopt, "mnu_moveme", QStringLiteral("Move the character home"));
    mnu_newchar = item(mnu_charopt, "mnu_newchar", QStringLiteral("Load a new character"));
    mnu_fx = item(mnu_charopt, "mnu_fx", QStringLiteral("Character sound effects"), true);
    mnu_hide
        = item(mnu_charopt, "mnu_hide", QStringLiteral("Hide the Character after speaking"), true);
    mnu_briefing = item(mnu_charopt, "mnu_briefing",
        QStringLiteral("Read today's appointments each morning"), true);
    mnu_settings->addSeparator();

    mnu_backup = item(mnu_settings, "mnu_backup", QStringLiteral("Backup / Restore"));
    mnu_settings->addSeparator();
    mnu_help = item(mnu_settings, "mnu_help", QStringLiteral("Instructions and Help"));
    mnu_settings->addSeparator();
    mnu_About = item(mnu_settings, "mnu_About", QStringLiteral("&About Quillory"));
    mnu_settings->addSeparator();
    mnu_exit = item(mnu_settings, "mnu_exit", QStringLiteral("E&XIT"));
}

MainMenu::~MainMenu()
{
    delete mnu_settings;
}

void MainMenu::popUp(const QPoint &globalPos)
{
    const QSize size = mnu_settings->sizeHint();
    mnu_settings->popup(globalPos - QPoint(size.width() / 2, 0));
}
