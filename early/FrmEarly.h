#pragma once

#include <QWidget>

class ManagerWindow;
class QLabel;
class QPlainTextEdit;
class QPushButton;

// The early-warning window: lists appointments due in a week or in three
// days, collected by one start-up scan.
class FrmEarly : public QWidget
{
    Q_OBJECT
public:
    explicit FrmEarly(ManagerWindow &manager, QWidget *parent = nullptr);

    // Puts the window just below `calendar` (or centred when there is none),
    // kept on the calendar's screen, so it covers neither calendar nor character.
    void placeBelow(const QWidget *calendar);

    // Appends a warning and two line breaks to the list.
    void message(const QString &text);

    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QPlainTextEdit *txt_message = nullptr;
    QPushButton *Command1 = nullptr; // Close
    QPushButton *Command2 = nullptr; // Start appointment manager

private:
    void Command1_Click();
    void Command2_Click();

    ManagerWindow &m_manager;
};
