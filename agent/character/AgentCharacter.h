#pragma once

#include "agent/Agent.h"
#include "agent/Animation.h"
#include "agent/SpeechText.h"
#include "agent/character/Balloon.h"
#include "agent/character/CharacterFile.h"
#include "platform/Clock.h"

#include <QMenu>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QString>

#include <deque>
#include <functional>
#include <memory>
#include <optional>

namespace agent {

class CharacterWindow;
class AgentEngine;

// One loaded character: its window, its request queue and its commands.
class AgentCharacter final : public QObject, public Character
{
    Q_OBJECT
public:
    AgentCharacter(AgentEngine &engine, QString id, std::shared_ptr<const CharacterFile> file);
    ~AgentCharacter() override;

    RequestPtr Show(bool fast = false) override;
    RequestPtr Hide(bool fast = false) override;
    RequestPtr MoveTo(qint16 x, qint16 y) override;
    RequestPtr MoveBeside(const QRect &window) override;
    RequestPtr Play(const QString &animation) override;
    RequestPtr Speak(const QString &text) override;
    void Stop() override;
    qint16 Width() const override;
    qint16 Height() const override;
    bool SoundEffectsOn() const override { return m_soundEffects; }
    void setSoundEffectsOn(bool on) override { m_soundEffects = on; }
    Commands &commands() override { return m_commands; }
    bool Visible() const override;

    const QString &id() const { return m_id; }
    const CharacterFile &file() const { return *m_file; }
    CharacterWindow *window() const { return m_window.get(); }
    // Whether the animation clock is running; never while the character rests.
    bool isAnimating() const;
    // Requests queued or running.
    int pendingRequests() const { return int(m_queue.size()) + (m_current ? 1 : 0); }
    // Opens the character's menu there; what a right-click does.
    QMenu *openContextMenu(const QPoint &globalPos);
    QMenu *contextMenu() const { return m_menu; }

private:
    friend class AgentEngine;

    enum class Kind { Show, Hide, Move, Play, Speak };
    struct Job
    {
        RequestPtr request;
        Kind kind = Kind::Play;
        bool fast = false;
        QPoint target;
        QString text;
        QRect keepClear; // a move's window to stand clear of
    };

    class CommandList final : public Commands
    {
    public:
        void Add(const QString &name, const QString &caption, const QString &voice, bool enabled,
            bool visible) override;
        void setVisible(bool visible) override;
        bool Visible() const override { return m_visible; }
        QList<CommandEntry> entries() const override { return m_entries; }
        // Called whenever the commands change.
        std::function<void()> changed;

    private:
        QList<CommandEntry> m_entries;
        bool m_visible = false;
    };

    RequestPtr enqueue(Job job);
    void scheduleNext();
    void startNext();
    void finishCurrent(RequestStatus status);
    void interruptAll();
    void stopMotion();
    void runShow();
    void runHide();
    void runMove();
    void runPlay();
    void runSpeak();
    void hideWindow();
    const Animation *animation(const QString &name) const;
    // Plays `animation` from the current pose; `then` runs when it ends
    // (never for a looping one).
    void playAnimation(const Animation *animation, bool loop, std::function<void()> then);
    void applyStep(const Animator::Step &step);
    void tick();
    // Milliseconds of animation time since `sinceMs` on the clock.
    double animationMs(qint64 sinceMs) const;

    // Called by the engine, which shares one speech output among characters.
    // False when the character no longer wants to speak.
    bool beginSpeaking();
    void speechWord(int start, int length);
    void speechPhone(const QString &label) { m_phone = label; }
    void speechMouth(double level);
    void speechFinished(bool completed);
    void optionsChanged();
    // Ends everything for Unload; the character is deleted afterwards.
    void shutDown();

    AgentEngine &m_engine;
    QString m_id;
    std::shared_ptr<const CharacterFile> m_file;
    std::unique_ptr<CharacterWindow> m_window;
    std::deque<Job> m_queue;
    std::optional<Job> m_current;
    bool m_startPosted = false;
    bool m_soundEffects = true;
    CommandList m_commands;
    QPointer<QMenu> m_menu;

    std::unique_ptr<Clock::Timer> m_frames;
    std::unique_ptr<Clock::Timer> m_balloonTimer;
    Animator m_animator;
    qint64 m_animationStartMs = 0;
    std::function<void()> m_then;

    struct Walk
    {
        bool active = false;
        QPoint from;
        QPoint to;
        double ms = 0;
        qint64 startedMs = 0;
    } m_walk;

    bool m_speaking = false;
    qint64 m_speakingSinceMs = 0;
    QString m_phone; // heard now, for the mouth's shape
    ShownText m_spokenText; // as the balloon shows it, whole
    Balloon::Slice m_balloonSlice; // of it, in the balloon
};

} // namespace agent
