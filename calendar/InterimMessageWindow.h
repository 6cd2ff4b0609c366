#pragma once

#include "engine/Firing.h"

#include <QWidget>

class QLabel;

// A plain message window: shows the announced text with an "Ok" button,
// on top and without taking the focus. It carries the announcements until
// the full message window with its alert and snooze takes its place.
class InterimMessageWindow : public QWidget, public Announcer
{
    Q_OBJECT
public:
    explicit InterimMessageWindow(QWidget *parent = nullptr);
    void Show() override;
    void display(bool confirm, const QString &text) override;

private:
    QLabel *m_text = nullptr;
};
