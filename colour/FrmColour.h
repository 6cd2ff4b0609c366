#pragma once

#include "colour/ColourRules.h"

#include <QWidget>

#include <functional>

class CalendarColours;
class MonthView;
class QFrame;
class QGroupBox;
class QPushButton;
class SettingsStore;
struct Services;

// The colour control panel: recolours the calendar window, shows each
// colour at once on its own month view, and stores it.
class FrmColour : public QWidget
{
    Q_OBJECT
public:
    // What the calendar offers the panel.
    struct Host
    {
        std::function<void(const QString &text)> say; // the character's `say`
        // The calendar window's colours; null while there is none.
        std::function<CalendarColours *()> calendar;
    };

    FrmColour(Services &services, SettingsStore &settings, Host host, QWidget *parent = nullptr);

    void Form_Load();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Command6_Click();
    void Command7_Click();
    void Command5_Click();

    // Controls, named as the rest of the program knows them.
    QGroupBox *Frame1 = nullptr; // the title's buttons
    QGroupBox *Frame2 = nullptr; // the month view's buttons
    QPushButton *Command1 = nullptr;
    QPushButton *Command2 = nullptr;
    QPushButton *Command3 = nullptr;
    QPushButton *Command4 = nullptr;
    QPushButton *Command6 = nullptr;
    QPushButton *Command7 = nullptr;
    QPushButton *Command5 = nullptr;
    QFrame *Line1 = nullptr;
    QFrame *Line2 = nullptr;
    MonthView *test = nullptr; // the preview

signals:
    void closed();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    QPushButton *makeButton(const char *objectName, const char *caption, const char *tip);
    void readPreview();
    void changeColour(const QString &name);
    CalendarColours *calendar() const;

    Services &m_services;
    SettingsStore &m_settings;
    Host m_host;
};
