#include "tests/support/FakeAgent.h"

#include <QTimer>

void FakeCharacter::note(const QString &call)
{
    calls << call;
    if (journal)
        *journal << call;
}

agent::RequestPtr FakeCharacter::record(const QString &call)
{
    note(call);
    auto request = std::make_shared<agent::Request>();
    request->id = m_nextId++;
    pending.append(request);
    if (completeAtOnce) {
        // The character may be unloaded before the event loop runs.
        QTimer::singleShot(0, [this, alive = std::weak_ptr<int>(m_alive)] {
            if (alive.lock())
                completeNext();
        });
    }
    return request;
}

void FakeCharacter::Stop()
{
    note(QStringLiteral("Stop"));
    completeAll(agent::Interrupted);
}

bool FakeCharacter::completeNext(agent::RequestStatus status)
{
    if (pending.isEmpty())
        return false;
    agent::RequestPtr request = pending.takeFirst();
    request->Status = status;
    static_cast<FakeAgentControl &>(m_owner).raiseComplete(request);
    return true;
}

void FakeCharacter::completeAll(agent::RequestStatus status)
{
    while (completeNext(status)) { }
}

bool FakeAgentControl::Load(const QString &id, const QString &file)
{
    loads << id + QLatin1Char('|') + file;
    if (journal)
        *journal << QStringLiteral("Load:") + id;
    const QString name = file.section(QLatin1Char('/'), -1);
    const QString stem = name.endsWith(QLatin1String(".acs")) ? name.chopped(4) : name;
    lastError.clear();
    if (!loadable.isEmpty() && !loadable.contains(stem)) {
        lastError = QStringLiteral("refused by the test");
        return false;
    }
    characters[id] = std::make_unique<FakeCharacter>(*this);
    characters[id]->completeAtOnce = completeAtOnce;
    characters[id]->journal = journal;
    return true;
}

agent::Character *FakeAgentControl::Characters(const QString &id)
{
    auto it = characters.find(id);
    return it == characters.end() ? nullptr : it->second.get();
}

void FakeAgentControl::Unload(const QString &id)
{
    unloads << id;
    characters.erase(id);
}

QStringList spoken(const QStringList &calls)
{
    QStringList texts;
    for (const QString &call : calls) {
        if (call.startsWith(QLatin1String("Speak:")))
            texts << call.mid(6);
    }
    return texts;
}
