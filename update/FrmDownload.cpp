#include "update/FrmDownload.h"

#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

FrmDownload::FrmDownload(const QString &version, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("frm_download"));
    setWindowTitle(QStringLiteral("Downloading the update"));
    setAccessibleName(windowTitle());
    // Shown beside the user's work, never taking the keyboard from it.
    setAttribute(Qt::WA_ShowWithoutActivating);

    lab_download = new QLabel(QStringLiteral("Fetching version %1 of Quillory").arg(version), this);
    lab_download->setObjectName(QStringLiteral("lab_download"));
    lab_download->setAccessibleName(lab_download->text());
    bar = new QProgressBar(this);
    bar->setObjectName(QStringLiteral("bar"));
    bar->setAccessibleName(QStringLiteral("Download progress"));
    bar->setRange(0, 0);
    lab_download->setBuddy(bar);

    com_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    com_cancel->setObjectName(QStringLiteral("com_cancel"));
    com_cancel->setAccessibleName(QStringLiteral("Cancel the download"));
    connect(com_cancel, &QPushButton::clicked, this, &FrmDownload::cancelled);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lab_download);
    layout->addWidget(bar);
    layout->addWidget(com_cancel, 0, Qt::AlignRight);
    setFixedWidth(340);
    adjustSize();
    // Where no window manager places it: across the middle, two thirds down.
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center().x() - width() / 2, area.top() + area.height() * 2 / 3);
    }
}

void FrmDownload::setProgress(qint64 received, qint64 total)
{
    if (total <= 0) {
        bar->setRange(0, 0); // busy: the end is not known
        return;
    }
    bar->setRange(0, 1000);
    bar->setValue(int(qBound(qint64(0), received * 1000 / total, qint64(1000))));
}
