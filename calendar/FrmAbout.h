#pragma once

#include <QWidget>

class QLabel;

class FrmAbout : public QWidget
{
    Q_OBJECT
public:
    explicit FrmAbout(QWidget *parent = nullptr);
    QLabel *lab_version = nullptr;
    QLabel *lab_description = nullptr;
};
