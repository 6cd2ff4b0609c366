#pragma once

#include "announce/FrmMessage.h"

#include <functional>
#include <memory>

// The message window as the calendar holds it: built at the first
// announcement, or at start when the last run left some unanswered. Most
// runs announce nothing for hours, and it is among the heavier windows.
class MessageWindowOnDemand final : public Announcer
{
public:
    using Make = std::function<std::unique_ptr<FrmMessage>()>;

    explicit MessageWindowOnDemand(Make make);
    ~MessageWindowOnDemand() override;

    // The window, built now if it was not.
    FrmMessage &window();
    // The window if it was built, else null.
    FrmMessage *built() const { return m_window.get(); }

    void Show() override;
    void display(bool confirm, const QString &text) override;
    void displayPages(const QList<QPair<bool, QString>> &pages, const QString &spoken) override;

    // Brings back what the last run left unanswered in `pendingFile`;
    // without that file no window is built.
    void restorePending(const QString &pendingFile);

private:
    Make m_make;
    std::unique_ptr<FrmMessage> m_window;
};
