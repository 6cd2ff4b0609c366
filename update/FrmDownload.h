#pragma once

#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;

// The small window that shows an update arriving.
class FrmDownload : public QWidget
{
    Q_OBJECT
public:
    explicit FrmDownload(const QString &version, QWidget *parent = nullptr);
    // Bytes received of `total` (-1 when the server did not say).
    void setProgress(qint64 received, qint64 total);

    QLabel *lab_download = nullptr;
    QProgressBar *bar = nullptr;
    QPushButton *com_cancel = nullptr;

signals:
    // The user stops the download.
    void cancelled();
};
