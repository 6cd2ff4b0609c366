#include "tests/support/Fakes.h"

#include <QCoreApplication>

void FakeClock::processEventsFor(int ms)
{
    ++waits;
    advance(ms);
    QCoreApplication::processEvents();
}

MsgAnswer FakeDialogs::messageBox(
    const QString &text, MsgButtons buttons, MsgIcon icon, const QString &title)
{
    boxes.append({ text, buttons, icon, title });
    if (!answers.empty()) {
        const MsgAnswer answer = answers.front();
        answers.pop_front();
        return answer;
    }
    return buttons == MsgButtons::YesNo || buttons == MsgButtons::YesNoCancel ? MsgAnswer::No
                                                                              : MsgAnswer::Ok;
}

std::optional<quint32> FakeDialogs::chooseColour(quint32)
{
    if (colours.empty())
        return std::nullopt;
    auto c = colours.front();
    colours.pop_front();
    return c;
}

QString FakeDialogs::chooseOpenFile(const QString &, const QString &, const QString &)
{
    if (files.empty())
        return {};
    QString f = files.front();
    files.pop_front();
    return f;
}
