#include "announce/MessageWindowOnDemand.h"

#include <QFile>

MessageWindowOnDemand::MessageWindowOnDemand(Make make)
    : m_make(std::move(make))
{ }

MessageWindowOnDemand::~MessageWindowOnDemand() = default;

FrmMessage &MessageWindowOnDemand::window()
{
    if (!m_window)
        m_window = m_make();
    return *m_window;
}

void MessageWindowOnDemand::Show()
{
    window().Show();
}

void MessageWindowOnDemand::display(bool confirm, const QString &text)
{
    window().display(confirm, text);
}

void MessageWindowOnDemand::displayPages(
    const QList<QPair<bool, QString>> &pages, const QString &spoken)
{
    window().displayPages(pages, spoken);
}

void MessageWindowOnDemand::restorePending(const QString &pendingFile)
{
    // The file is removed once nothing is left unanswered.
    if (m_window || QFile::exists(pendingFile))
        window().restorePending();
}
