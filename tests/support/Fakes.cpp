#include "tests/support/Fakes.h"

#include <QCoreApplication>
#include <QTimer>

#include <memory>

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

std::optional<quint32> FakeDialogs::chooseColour(quint32 initial)
{
    colourInitials.append(initial);
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

namespace {
struct FakeTransfer final : Network::Transfer
{
    std::shared_ptr<int> alive = std::make_shared<int>(0);
};
} // namespace

std::unique_ptr<Network::Transfer> FakeNetwork::fetchAsync(
    const QUrl &url, FetchOptions options, std::function<void(const FetchResult &result)> finished)
{
    fetched.append(url);
    auto transfer = std::make_unique<FakeTransfer>();
    FetchResult result;
    if (const auto reply = replies.find(url.toString()); reply != replies.end()) {
        result.outcome = Outcome::Ok;
        result.httpStatus = 200;
        result.received = reply->size();
        result.body = *reply;
    } else {
        result.error = QStringLiteral("no reply");
    }
    QTimer::singleShot(0, [alive = std::weak_ptr<int>(transfer->alive), options, finished, result] {
        if (alive.expired())
            return;
        FetchResult delivered = result;
        if (delivered.ok() && options.onData) {
            if (!options.onData(delivered.body))
                delivered.outcome = Outcome::Failed;
            delivered.body.clear();
        }
        finished(delivered);
    });
    return transfer;
}
