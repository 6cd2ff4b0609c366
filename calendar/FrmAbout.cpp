#include "calendar/FrmAbout.h"

#include "calendar/StartWindows.h"

#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

FrmAbout::FrmAbout(QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("frm_about"));
    setWindowTitle(QStringLiteral("About Quillory"));
    auto *picture = new QLabel(this);
    picture->setPixmap(QIcon(QStringLiteral(":/icons/quillory.svg")).pixmap(64, 64));
    picture->setAlignment(Qt::AlignCenter);
    picture->setObjectName(QStringLiteral("imgicon"));
    picture->setAccessibleName(QStringLiteral("Quillory"));
    lab_version = new QLabel(versionText(), this);
    lab_version->setObjectName(QStringLiteral("lab_version"));
    lab_version->setAlignment(Qt::AlignCenter);
    QFont bold = lab_version->font();
    bold.setBold(true);
    lab_version->setFont(bold);
    lab_version->setAccessibleName(lab_version->text());
    lab_description = new QLabel(
        QStringLiteral("Quillory is a talking desktop calendar whose character announces your "
                       "appointments when they fall due."),
        this);
    lab_description->setObjectName(QStringLiteral("lab_description"));
    lab_description->setWordWrap(true);
    lab_description->setAlignment(Qt::AlignCenter);
    lab_description->setAccessibleName(lab_description->text());
    auto *ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("com_ok"));
    ok->setAccessibleName(QStringLiteral("OK"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QWidget::close);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(picture);
    layout->addWidget(lab_version);
    layout->addWidget(lab_description);
    layout->addWidget(ok, 0, Qt::AlignCenter);
    setFixedWidth(340);
}
