#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>

class CharacterControl;
class QWidget;

// Keeps the character beside the window he helps with (the manager, the
// colour panel, the backup window, the message window, an early warning)
// while it is open, clear of its controls, and walks him home beside the
// calendar once the last of them has closed. Watches the application's
// windows, so the windows themselves need not know of him.
class CharacterBeside : public QObject
{
    Q_OBJECT
public:
    explicit CharacterBeside(CharacterControl &control, QObject *parent = nullptr);

    // Whether `window` is one the character stands beside.
    static bool helps(const QWidget *window);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void settle();

    CharacterControl &m_control;
    QPointer<QWidget> m_latest; // the helped window shown or moved last
    QTimer m_settle; // one move when a drag or a resize has come to rest
    bool m_away = false;
};
