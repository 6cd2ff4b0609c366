#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

struct Services;

// Opens the help page of a window in the user's browser; installed on the
// application, F1 opens the page of the window in front.
class HelpPages : public QObject
{
    Q_OBJECT
public:
    HelpPages(Services &services, const QString &programFolder, QObject *parent = nullptr);
    // The pages in the first of `folders` that holds them.
    HelpPages(Services &services, const QStringList &folders, QObject *parent = nullptr);

    // Opens the page explaining `windowName`; a missing page is told in a
    // message box. True when the browser was asked to open it.
    bool open(const QString &windowName);
    QString folder() const { return m_folder; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    Services &m_services;
    QString m_folder;
};
