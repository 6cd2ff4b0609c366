#pragma once

#include "backup/BackupRules.h"
#include "storage/AppPaths.h"

#include <QCheckBox>
#include <QTreeView>
#include <QWidget>

#include <functional>

class QComboBox;
class QFileSystemModel;
class QLabel;
class QPushButton;
class SettingsStore;
struct Services;

// The folder list: the folder tree of one drive, and the folder chosen in it.
class FolderList : public QTreeView
{
    Q_OBJECT
public:
    explicit FolderList(QWidget *parent = nullptr);
    // Shows the tree of the drive at `root`; the path becomes the root.
    void setRoot(const QString &root);
    // Moves to `folder`; false, and the path as it was, when it is no
    // folder of the drive shown.
    bool setPath(const QString &folder);
    QString path() const { return m_path; }

private:
    // Opens the tree down to the path and marks it, as far as it has been read.
    void reveal();

    QFileSystemModel *m_model = nullptr;
    QString m_root;
    QString m_path;
};

// A check box that reports a mouse button released over it, after it has
// toggled; the keyboard toggles it without a report.
class MouseUpCheckBox : public QCheckBox
{
    Q_OBJECT
public:
    using QCheckBox::QCheckBox;
signals:
    void mouseUp();

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
};

// The backup and restore window: copies the data file to "calendar.cal" in
// a chosen folder, or brings such a copy back.
class FrmBackup : public QWidget
{
    Q_OBJECT
public:
    // What the calendar offers the window.
    struct Host
    {
        std::function<void(const QString &text)> say;
        // Starts the restart program with "/n" and unloads the calendar;
        // false when the restart program cannot be started.
        std::function<bool()> restartQuietly;
    };

    FrmBackup(Services &services, SettingsStore &settings, AppPaths paths, Host host,
        QWidget *parent = nullptr);

    void Form_Load();
    void Drive_Change();
    void chk_backup_MouseUp();
    void com_backup_Click();
    void com_restore_Click();

    // The drives offered; tests give their own.
    std::function<QList<backup::Volume>()> volumes;

    // Controls, named as the rest of the program knows them.
    QLabel *Label2 = nullptr;
    QComboBox *Drive = nullptr;
    FolderList *Dir = nullptr;
    QPushButton *com_backup = nullptr;
    QPushButton *com_restore = nullptr;
    MouseUpCheckBox *chk_backup = nullptr;
    QLabel *Label1 = nullptr;

    static constexpr const char *kRestoreErrorText
        = "There seems to be a problem with the restore process. Maybe the folder that you "
          "suggested, does not contain a .cal backup file?";

signals:
    void closed();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    QString driveText() const;
    void restoreError(const QString &why);
    void beep();

    Services &m_services;
    SettingsStore &m_settings;
    AppPaths m_paths;
    Host m_host;
};
