#include "early/FrmEarly.h"

#include "calendar/Logging.h"
#include "calendar/WindowLinks.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>
#include <QVBoxLayout>

FrmEarly::FrmEarly(ManagerWindow &manager, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_manager(manager)
{
    setObjectName(QStringLiteral("frm_early"));
    setWindowTitle(QStringLiteral("Early appointment warning"));
    setAttribute(Qt::WA_DeleteOnClose);

    Label1 = new QLabel(QStringLiteral("APPOINTMENT; Early warning !"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    QFont heading = Label1->font();
    heading.setBold(true);
    heading.setPointSizeF(heading.pointSizeF() * 1.3);
    Label1->setFont(heading);
    Label2 = new QLabel(
        QStringLiteral("The following appointment(s) are now due within 1 week."), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setWordWrap(true);

    txt_message = new QPlainTextEdit(this);
    txt_message->setObjectName(QStringLiteral("txt_message"));
    txt_message->setReadOnly(true);
    txt_message->setToolTip(QStringLiteral("This is a list of your early warnings"));
    txt_message->setAccessibleName(Label2->text());
    txt_message->setAccessibleDescription(txt_message->toolTip());

    Command2 = new QPushButton(QStringLiteral("Start appointment manager"), this);
    Command2->setObjectName(QStringLiteral("Command2"));
    Command2->setToolTip(QStringLiteral("Click here to start message manager"));
    Command1 = new QPushButton(QStringLiteral("Close"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setToolTip(QStringLiteral("Click here to close this window"));
    Command1->setDefault(true);
    connect(Command1, &QPushButton::clicked, this, &FrmEarly::Command1_Click);
    // Escape closes, as it does any window of its kind.
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &FrmEarly::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &FrmEarly::Command2_Click);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Command2);
    buttons->addWidget(Command1);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(Label2);
    layout->addWidget(txt_message, 1);
    layout->addLayout(buttons);
    resize(460, 300);
}

void FrmEarly::placeBelow(const QWidget *calendar)
{
    const QScreen *screen
        = calendar && calendar->screen() ? calendar->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    QRect frame(QPoint(), size());
    if (calendar && calendar->isVisible()) {
        const QRect below = calendar->frameGeometry();
        frame.moveTopLeft(QPoint(below.left(), below.bottom() + 24));
    } else {
        frame.moveCenter(area.center());
    }
    // Kept whole on the screen.
    frame.moveLeft(
        std::clamp(frame.left(), area.left(), std::max(area.left(), area.right() - frame.width())));
    frame.moveTop(
        std::clamp(frame.top(), area.top(), std::max(area.top(), area.bottom() - frame.height())));
    move(frame.topLeft());
}

void FrmEarly::message(const QString &text)
{
    // The box shows line breaks as the file's CR LF pairs give them.
    QString shown = txt_message->toPlainText();
    shown += QString(text).replace(QLatin1String("\r\n"), QLatin1String("\n"))
        + QStringLiteral("\n\n");
    txt_message->setPlainText(shown);
    txt_message->verticalScrollBar()->setValue(txt_message->verticalScrollBar()->maximum());
    qCInfo(lcCalendar) << "early warning:" << text.section(QLatin1String("\r\n"), 0, 0);
}

void FrmEarly::Command1_Click()
{
    hide();
    close();
}

void FrmEarly::Command2_Click()
{
    m_manager.showAtTab(0);
    hide();
    close();
}
