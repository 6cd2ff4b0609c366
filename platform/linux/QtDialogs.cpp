#include "platform/linux/QtDialogs.h"

#include "storage/Conversions.h"

#include "platform/Logging.h"

#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QMessageBox>

MsgAnswer QtDialogs::messageBox(
    const QString &text, MsgButtons buttons, MsgIcon icon, const QString &title)
{
    QMessageBox box;
    box.setWindowTitle(title.isEmpty() ? QString::fromLatin1(kDefaultMessageTitle) : title);
    box.setText(text);
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    switch (icon) {
    case MsgIcon::None:
        break;
    case MsgIcon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case MsgIcon::Exclamation:
        box.setIcon(QMessageBox::Warning);
        break;
    case MsgIcon::Critical:
        box.setIcon(QMessageBox::Critical);
        break;
    case MsgIcon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    }
    switch (buttons) {
    case MsgButtons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case MsgButtons::OkCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    case MsgButtons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    case MsgButtons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    }
    qCDebug(lcPlatform).noquote() << "message box" << box.windowTitle() << ":" << text;
    switch (box.exec()) {
    case QMessageBox::Yes:
        return MsgAnswer::Yes;
    case QMessageBox::No:
        return MsgAnswer::No;
    case QMessageBox::Cancel:
        return MsgAnswer::Cancel;
    default:
        return buttons == MsgButtons::YesNo ? MsgAnswer::No : MsgAnswer::Ok;
    }
}

std::optional<quint32> QtDialogs::chooseColour(quint32 initial)
{
    const Rgb rgb = rgbFromBgr(initial);
    const QColor chosen = QColorDialog::getColor(QColor(rgb.red, rgb.green, rgb.blue));
    if (!chosen.isValid())
        return std::nullopt;
    return bgrFromRgb(chosen.red(), chosen.green(), chosen.blue());
}

void QtDialogs::beep()
{
    QApplication::beep();
}

QString QtDialogs::chooseOpenFile(
    const QString &title, const QString &folder, const QString &filter)
{
    return QFileDialog::getOpenFileName(nullptr, title, folder, filter);
}

QString QtDialogs::chooseSaveFile(
    const QString &title, const QString &suggested, const QString &filter)
{
    return QFileDialog::getSaveFileName(nullptr, title, suggested, filter);
}
