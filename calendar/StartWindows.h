#pragma once

#include "storage/AppPaths.h"

#include <QWidget>

#include <functional>

class QLabel;
class QPushButton;
class QTextBrowser;
class QTimer;
class ModClock;
class SettingsStore;
class Launcher;
class Files;

// What the start-up windows hand over to each other. Showing the calendar
// window loads it first.
struct StartFlow
{
    std::function<void()> showSplash;
    std::function<void()> showNewUser;
    std::function<void()> showMain;
    // Ends the program at once, without the calendar's unload.
    std::function<void()> endNow;
};

// The start-up object: on the very first run it counts down 21 seconds while
// the character and speech installers run, then shows the agreement.
class FrmWait : public QWidget
{
    Q_OBJECT
public:
    FrmWait(SettingsStore &settings, ModClock &modClock, Launcher &launcher, const AppPaths &paths,
        StartFlow flow, QWidget *parent = nullptr);
    void Form_Load();
    void Timer1_Timer();

    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *lab_secs = nullptr;
    QTimer *Timer1 = nullptr;
    int n = 0;

private:
    SettingsStore &m_settings;
    ModClock &m_modClock;
    Launcher &m_launcher;
    AppPaths m_paths;
    StartFlow m_flow;
};

// The first-run agreement.
class NewUser : public QWidget
{
    Q_OBJECT
public:
    NewUser(SettingsStore &settings, StartFlow flow, QWidget *parent = nullptr);
    void Form_Load();
    void Command1_Click(); // decline
    void Command3_Click(); // accept

    QTextBrowser *terms = nullptr;
    QPushButton *Command1 = nullptr;
    QPushButton *Command3 = nullptr;

    static QString termsOfUse();

private:
    SettingsStore &m_settings;
    StartFlow m_flow;
};

// The splash of every later start, up for one second.
class FrmSplash : public QWidget
{
    Q_OBJECT
public:
    FrmSplash(const AppPaths &paths, Files &files, bool quietRestart, StartFlow flow,
        QWidget *parent = nullptr);
    void Form_Load();
    void Timer1_Timer();

    QLabel *Image1 = nullptr;
    QLabel *lab_version = nullptr;
    QTimer *Timer1 = nullptr;

private:
    void buildLook();

    QString m_programFolder;
    Files &m_files;
    bool m_quietRestart;
    StartFlow m_flow;
};

// "This is version 1.1.11".
QString versionText();

// Places a window at the screen's top-left corner, on top, without
// taking the focus, at a size given in twips.
void placeTopLeft(QWidget *window, double widthTwips, double heightTwips);
