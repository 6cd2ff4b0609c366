#pragma once

#include <QObject>

class QAction;
class QMenu;
class QWidget;

// The calendar window's main menu: only ever popped up (a right click on the
// time band or on the month view), never shown as a menu bar. Items are
// named as the rest of the program knows them; the window connects them.
class MainMenu : public QObject
{
    Q_OBJECT
public:
    explicit MainMenu(QWidget *parent);
    ~MainMenu() override;

    // Pops the menu up with its middle under `globalPos`, without waiting.
    void popUp(const QPoint &globalPos);

    QMenu *mnu_settings = nullptr;
    QAction *mnu_setalarm = nullptr;
    QAction *mnu_spkdate = nullptr;
    QAction *mnu_ontoday = nullptr;
    QAction *mnu_ontomorrow = nullptr;
    QAction *mnu_next = nullptr;
    QMenu *mnu_calopts = nullptr;
    QAction *mnu_hidecal = nullptr;
    QAction *mnu_delay = nullptr;
    QAction *mnu_notify = nullptr;
    QAction *mnu_colour = nullptr;
    QAction *mnu_load = nullptr;
    QAction *mnu_largefont = nullptr;
    QMenu *mnu_charopt = nullptr;
    QAction *mnu_moveme = nullptr;
    QAction *mnu_newchar = nullptr;
    QAction *mnu_fx = nullptr;
    QAction *mnu_hide = nullptr;
    QAction *mnu_briefing = nullptr;
    QAction *mnu_backup = nullptr;
    QAction *mnu_help = nullptr;
    QAction *mnu_About = nullptr;
    QAction *mnu_exit = nullptr;
};
