#include "backup/FrmBackup.h"

#include "backup/Logging.h"
#include "platform/Dialogs.h"
#include "platform/Services.h"
#include "storage/Backup.h"
#include "storage/Settings.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

void name(QWidget *w, const char *objectName, const QString &accessible, const QString &tip = {})
{
    w->setObjectName(QLatin1String(objectName));
    w->setAccessibleName(accessible);
    if (!tip.isEmpty())
        w->setToolTip(tip);
}

} // namespace

FolderList::FolderList(QWidget *parent)
    : QTreeView(parent)
{
    m_model = new QFileSystemModel(this);
    m_model->setFilter(QDir::Dirs | QDir::NoDotAndDotDot);
    m_model->setReadOnly(true);
    setModel(m_model);
    for (int column = 1; column < m_model->columnCount(); ++column)
        hideColumn(column);
    setHeaderHidden(true);
    setUniformRowHeights(true);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
        [this](const QModelIndex &current) {
            if (current.isValid())
                m_path = m_model->filePath(current);
        });
    // The model reads folders in the background: each one read may bring
    // the path's next step into the tree.
    connect(m_model, &QFileSystemModel::directoryLoaded, this, [this](const QString &loaded) {
        if (m_path != m_root && backup::liesOn(m_path, loaded))
            reveal();
    });
}

void FolderList::reveal()
{
    const QString wanted = m_path;
    const QModelIndex index = m_model->index(wanted);
    if (!index.isValid())
        return;
    for (QModelIndex up = index.parent(); up.isValid(); up = up.parent())
        expand(up);
    setCurrentIndex(index);
    scrollTo(index, QAbstractItemView::PositionAtCenter);
    m_path = wanted;
}

void FolderList::setRoot(const QString &root)
{
    m_root = root;
    m_path = root;
    setRootIndex(m_model->setRootPath(root));
    selectionModel()->clearCurrentIndex();
}

bool FolderList::setPath(const QString &folder)
{
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        return false;
    const QString clean = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    if (!backup::liesOn(clean, m_root))
        return false;
    m_path = clean;
    reveal();
    return true;
}

void MouseUpCheckBox::mouseReleaseEvent(QMouseEvent *event)
{
    const bool over = rect().contains(event->position().toPoint());
    QCheckBox::mouseReleaseEvent(event);
    if (over)
        emit mouseUp();
}

FrmBackup::FrmBackup(
    Services &services, SettingsStore &settings, AppPaths paths, Host host, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
    , volumes([] { return backup::driveList(backup::mountedVolumes()); })
    , m_services(services)
    , m_settings(settings)
    , m_paths(std::move(paths))
    , m_host(std::move(host))
{
    setObjectName(QStringLiteral("frm_backup"));
    setWindowTitle(QStringLiteral("Backup / Restore wizard"));
    setAccessibleName(windowTitle());
    setAttribute(Qt::WA_DeleteOnClose, false);

    const QString explanation = QStringLiteral(
        "To backup your data and appointments, just select the drive and folder that you wish to "
        "save your data in, from the relevant boxes to the right. Then select either the Backup "
        "button, or the Restore button, depending on which action you wish to perform. If you "
        "want your data to be backed up every time the calendar quits, then check the box at the "
        "bottom right of this window.");
    Label2 = new QLabel(explanation, this);
    name(Label2, "Label2", explanation);
    Label2->setWordWrap(true);
    Label2->setAlignment(Qt::AlignTop | Qt::AlignLeft);

    const QString driveTip = QStringLiteral("Select the drive from this drop down list");
    Drive = new QComboBox(this);
    name(Drive, "Drive", driveTip, driveTip);
    const QString dirTip = QStringLiteral("Select the folder from this drop down list");
    Dir = new FolderList(this);
    name(Dir, "Dir", dirTip, dirTip);

    const QString backupCaption = QStringLiteral("Backup your appointments");
    com_backup = new QPushButton(backupCaption, this);
    name(com_backup, "com_backup", backupCaption,
        QStringLiteral("Click here to back up your appointments"));
    const QString restoreCaption = QStringLiteral("Restore your appointments");
    com_restore = new QPushButton(restoreCaption, this);
    name(com_restore, "com_restore", restoreCaption,
        QStringLiteral("Click here to restore your appointments"));

    const QString checkCaption
        = QStringLiteral("Backup to the above directory when the calendar exits");
    const QString checkTip = QStringLiteral(
        "Click this box to either back up your appointments everytime the calendar starts, or to "
        "cancel this setting");
    chk_backup = new MouseUpCheckBox(this);
    name(chk_backup, "chk_backup", checkCaption, checkTip);
    Label1 = new QLabel(checkCaption, this);
    name(Label1, "Label1", checkCaption);
    Label1->setBuddy(chk_backup);

    auto *left = new QVBoxLayout;
    left->addWidget(Label2, 1);
    left->addWidget(com_backup);
    left->addWidget(com_restore);
    auto *check = new QHBoxLayout;
    check->addWidget(chk_backup);
    check->addWidget(Label1, 1);
    auto *right = new QVBoxLayout;
    right->addWidget(Drive);
    right->addWidget(Dir, 1);
    right->addLayout(check);
    auto *layout = new QHBoxLayout(this);
    layout->addLayout(left, 4);
    layout->addLayout(right, 5);
    resize(620, 330);

    connect(Drive, &QComboBox::currentIndexChanged, this, [this] { Drive_Change(); });
    connect(chk_backup, &MouseUpCheckBox::mouseUp, this, &FrmBackup::chk_backup_MouseUp);
    connect(com_backup, &QPushButton::clicked, this, &FrmBackup::com_backup_Click);
    connect(com_restore, &QPushButton::clicked, this, &FrmBackup::com_restore_Click);
}

void FrmBackup::Form_Load()
{
    {
        const QSignalBlocker quiet(Drive);
        Drive->clear();
        for (const backup::Volume &v : volumes())
            Drive->addItem(backup::driveCaption(v), v.rootPath);
        const int chosen = Drive->findData(m_settings.read(setting::BackDrive));
        Drive->setCurrentIndex(chosen >= 0 ? chosen : 0);
    }
    Drive_Change();
    // A folder that is gone leaves the list at the drive's root.
    Dir->setPath(m_settings.read(setting::BackDir));
    chk_backup->setChecked(m_settings.flag(setting::AutoBackup) == Flag::True);
    show();
    qCInfo(lcBackup) << "backup window opens at" << Dir->path();
}

QString FrmBackup::driveText() const
{
    return Drive->currentData().toString();
}

void FrmBackup::Drive_Change()
{
    Dir->setRoot(driveText());
}

void FrmBackup::chk_backup_MouseUp()
{
    m_settings.setFlag(setting::AutoBackup, chk_backup->isChecked());
    beep();
}

void FrmBackup::com_backup_Click()
{
    const QString file = backup::backupFile(Dir->path());
    const backup::CopyResult copied = backup::copyDataFile(m_paths.dataFile(), file);
    if (!copied.ok()) {
        // Told rather than claimed: the settings keep the last folder that worked.
        m_services.dialogs.messageBox(copied.outcome == backup::CopyOutcome::TooLarge
                ? backup::tooLargeBackupText(m_paths.dataFile())
                : backup::failedBackupText(file, copied.error),
            MsgButtons::Ok, MsgIcon::Critical, QStringLiteral("Error!"));
        return;
    }
    m_host.say(QStringLiteral("Your appointments have been backed up"));
    m_settings.write(setting::BackDir, Dir->path());
    m_settings.write(setting::BackDrive, driveText());
    qCInfo(lcBackup) << "backed up to" << file;
    close();
}

void FrmBackup::com_restore_Click()
{
    Dialogs &dialogs = m_services.dialogs;
    if (dialogs.messageBox(QStringLiteral("Are you sure you want to do this. Once the restore has "
                                          "been completed, you can`t turn back"),
            MsgButtons::YesNo, MsgIcon::None, QStringLiteral("WARNING!"))
        != MsgAnswer::Yes)
        return;

    const QString file = backup::backupFile(Dir->path());
    const backup::RestoreResult result = backup::restoreFrom(file, m_paths.dataFile());
    switch (result.outcome) {
    case backup::RestoreOutcome::Restored:
        break;
    case backup::RestoreOutcome::TooLarge:
    case backup::RestoreOutcome::Refused:
    case backup::RestoreOutcome::NotADataFile:
        qCWarning(lcBackup).noquote() << "restore refused:" << result.error;
        dialogs.messageBox(backup::refusedRestoreText(file, result.outcome, result.error),
            MsgButtons::Ok, MsgIcon::Critical, QStringLiteral("Error!"));
        return;
    case backup::RestoreOutcome::NoBackup:
    case backup::RestoreOutcome::NotWritten:
        restoreError(result.error);
        return;
    }
    qCInfo(lcBackup) << "restored from" << file;
    m_host.say(QStringLiteral("Your appointments have been restored."));

    if (dialogs.messageBox(QStringLiteral("Would you like to re-start the calendar now. This will "
                                          "refresh your appointments that you have just restored?"),
            MsgButtons::YesNo, MsgIcon::None, QStringLiteral("Attention!"))
        == MsgAnswer::Yes) {
        if (!m_host.restartQuietly()) {
            restoreError(QStringLiteral("the restart program could not be started"));
            return;
        }
    }
    close();
}

void FrmBackup::restoreError(const QString &why)
{
    qCWarning(lcBackup).noquote() << "restore failed:" << why;
    m_services.dialogs.messageBox(
        QLatin1String(kRestoreErrorText), MsgButtons::Ok, MsgIcon::Critical);
}

void FrmBackup::beep()
{
    m_services.dialogs.beep();
}

void FrmBackup::closeEvent(QCloseEvent *event)
{
    event->accept();
    emit closed();
}
