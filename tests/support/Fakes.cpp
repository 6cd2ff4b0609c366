#include "tests/support/Fakes.h"

#include <QCoreApplication>
#include <QTimer>

#include <memory>

class FakeClock::FakeTimer final : public Clock::Timer
{
public:
    FakeTimer(FakeClock &clock, std::function<void()> timeout, bool repeat)
        : clock(&clock)
        , timeout(std::move(timeout))
        , repeat(repeat)
    {
        clock.m_timers << this;
    }
    ~FakeTimer() override
    {
        if (clock)
            clock->m_timers.removeOne(this);
    }
    void start(int ms) override
    {
        interval = qMax(0, ms);
        due = (clock ? clock->m_monotonic : 0) + interval;
        active = true;
    }
    void stop() override { active = false; }
    bool isActive() const override { return active; }

    FakeClock *clock;
    std::function<void()> timeout;
    bool repeat;
    bool active = false;
    qint64 interval = 0;
    qint64 due = 0;
};

FakeClock::~FakeClock()
{
    for (FakeTimer *t : std::as_const(m_timers))
        t->clock = nullptr;
}

std::unique_ptr<Clock::Timer> FakeClock::timer(std::function<void()> timeout, bool repeat)
{
    return std::make_unique<FakeTimer>(*this, std::move(timeout), repeat);
}

void FakeClock::advance(qint64 ms)
{
    const qint64 end = m_monotonic + qMax<qint64>(0, ms);
    for (;;) {
        // The earliest due timer; a callback may start, stop or delete any.
        FakeTimer *next = nullptr;
        for (FakeTimer *t : std::as_const(m_timers)) {
            if (t->active && t->due <= end && (!next || t->due < next->due))
                next = t;
        }
        if (!next)
            break;
        const qint64 at = qMax(next->due, m_monotonic);
        m_now = m_now.addMSecs(at - m_monotonic);
        m_monotonic = at;
        if (next->repeat)
            next->due = at + qMax<qint64>(1, next->interval);
        else
            next->active = false;
        next->timeout();
    }
    m_now = m_now.addMSecs(end - m_monotonic);
    m_monotonic = end;
}

bool FakeClock::runUntil(const std::function<bool()> &done, qint64 ms, qint64 stepMs)
{
    const qint64 end = m_monotonic + ms;
    for (;;) {
        QCoreApplication::processEvents();
        // What deleteLater() left, as a running event loop would delete it.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (done())
            return true;
        if (m_monotonic >= end)
            return false;
        advance(qMin(stepMs, end - m_monotonic));
    }
}

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
    if (whileShown)
        whileShown(boxes.last());
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

QString FakeDialogs::chooseSaveFile(const QString &, const QString &, const QString &)
{
    return chooseOpenFile({}, {}, {});
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
