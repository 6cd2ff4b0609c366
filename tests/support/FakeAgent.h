#pragma once

#include "agent/Agent.h"

#include <QMap>
#include <QStringList>

#include <memory>

// The sentences among recorded calls ("Speak:text"), in their order.
QStringList spoken(const QStringList &calls);

// A character that records every call ("Show", "Speak:text", "Play:Greet",
// "MoveTo:461,300", "Stop", ...) and completes requests when the test says.
class FakeCharacter final : public agent::Character
{
public:
    explicit FakeCharacter(agent::Control &owner)
        : m_owner(owner)
    { }
    agent::RequestPtr Show(bool) override
    {
        visible = true;
        return record(QStringLiteral("Show"));
    }
    agent::RequestPtr Hide(bool) override
    {
        visible = false;
        return record(QStringLiteral("Hide"));
    }
    agent::RequestPtr MoveTo(qint16 x, qint16 y) override
    {
        return record(QStringLiteral("MoveTo:%1,%2").arg(x).arg(y));
    }
    agent::RequestPtr MoveBeside(const QRect &window) override
    {
        return record(QStringLiteral("MoveBeside:%1,%2,%3x%4")
                          .arg(window.x())
                          .arg(window.y())
                          .arg(window.width())
                          .arg(window.height()));
    }
    agent::RequestPtr Play(const QString &name) override
    {
        return record(QStringLiteral("Play:") + name);
    }
    agent::RequestPtr Speak(const QString &text) override
    {
        return record(QStringLiteral("Speak:") + text);
    }
    void Stop() override;
    QStringList *journal = nullptr;
    qint16 Width() const override { return width; }
    qint16 Height() const override { return height; }
    bool SoundEffectsOn() const override { return soundEffects; }
    void setSoundEffectsOn(bool on) override
    {
        soundEffects = on;
        note(QStringLiteral("SoundEffectsOn:%1").arg(on ? "true" : "false"));
    }
    agent::Commands &commands() override { return m_commands; }
    bool Visible() const override { return visible; }

    // Ends the oldest pending request with `status` and raises its event.
    bool completeNext(agent::RequestStatus status = agent::Complete);
    void completeAll(agent::RequestStatus status = agent::Complete);

    QStringList calls;
    QList<agent::RequestPtr> pending;
    qint16 width = 128;
    qint16 height = 128;
    bool soundEffects = true;
    bool visible = false;
    bool completeAtOnce = false; // every request ends when the event loop next runs

private:
    agent::RequestPtr record(const QString &call);
    void note(const QString &call);

    class FakeCommands final : public agent::Commands
    {
    public:
        void Add(const QString &name, const QString &caption, const QString &voice, bool enabled,
            bool visible) override
        {
            list.append({ name, caption, voice, enabled, visible });
        }
        void setVisible(bool v) override { shown = v; }
        bool Visible() const override { return shown; }
        QList<agent::CommandEntry> entries() const override { return list; }
        QList<agent::CommandEntry> list;
        bool shown = false;
    };

    agent::Control &m_owner;
    FakeCommands m_commands;
    int m_nextId = 1;
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
};

class FakeAgentControl final : public agent::Control
{
    Q_OBJECT
public:
    bool Load(const QString &id, const QString &file) override;
    agent::Character *Characters(const QString &id) override;
    void Unload(const QString &id) override;
    void setPropertySheetVisible(bool visible) override { propertySheet = visible; }
    QString loadError() const override { return lastError; }

    void raiseComplete(const agent::RequestPtr &request) { emit RequestComplete(request); }
    void raiseCommand(const QString &name) { emit Command(agent::UserInput { name }); }

    // Names (file stems) that load; everything loads when empty.
    QStringList loadable;
    QString lastError; // of the last Load that failed
    QStringList loads; // "id|file" of every Load
    QStringList unloads;
    bool propertySheet = false;
    bool completeAtOnce = false; // given to every character loaded
    QStringList *journal = nullptr; // when set, every call of every character goes here too
    std::map<QString, std::unique_ptr<FakeCharacter>> characters;
};
