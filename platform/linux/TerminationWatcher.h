#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM and SIGINT (a logout, a shutdown, Ctrl+C) into a signal on
// the event loop, so the calendar ends through its own unload: the automatic
// backup is made and the lock is released as on any other exit.
class TerminationWatcher : public QObject
{
    Q_OBJECT
public:
    explicit TerminationWatcher(QObject *parent = nullptr);
    ~TerminationWatcher() override;

signals:
    void terminationRequested();

private:
    QSocketNotifier *m_notifier = nullptr;
};
