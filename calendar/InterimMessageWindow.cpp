#include "calendar/InterimMessageWindow.h"

#include "calendar/Logging.h"

#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

InterimMessageWindow::InterimMessageWindow(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("frm_message"));
    setWindowTitle(QStringLiteral("Messages!"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    auto *layout = new QVBoxLayout(this);
    m_text = new QLabel(this);
    m_text->setWordWrap(true);
    m_text->setMinimumWidth(320);
    layout->addWidget(m_text);
    auto *ok = new QPushButton(QStringLiteral("Ok"), this);
    connect(ok, &QPushButton::clicked, this, &QWidget::hide);
    layout->addWidget(ok, 0, Qt::AlignRight);
}

void InterimMessageWindow::Show()
{
    if (!isVisible() && screen()) {
        const QRect area = screen()->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
    show();
}

void InterimMessageWindow::display(bool confirm, const QString &text)
{
    QString shown = text;
    shown.remove(QStringLiteral("\\emp\\")); // a speech tag, never shown
    m_text->setText(shown);
    adjustSize();
    qCInfo(lcCalendar).noquote() << "message window shows" << (confirm ? "(confirm)" : "") << shown;
}
