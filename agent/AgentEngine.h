#pragma once

#include "agent/Agent.h"
#include "agent/Animation.h"
#include "agent/CharacterFile.h"
#include "agent/EngineServices.h"
#include "agent/Listener.h"
#include "agent/OptionsWindow.h"
#include "agent/SpeechPlayer.h"
#include "platform/Clock.h"

#include <QHash>
#include <QMenu>
#include <QPoint>
#include <QPointer>
#include <QStringList>

#include <deque>
#include <functional>
#include <memory>
#include <optional>

class QTimer;
class SettingsStore;

namespace agent {

class CharacterWindow;

// What the engine needs of speech: SpeechPlayer in the program, a recording
// fake in tests. One output is shared by every character of an engine.
class SpeechOutput : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    // The text as shown in the balloon; word() positions refer to it.
    virtual QString displayText(const QString &taggedText) const = 0;
    virtual void speak(const QString &taggedText, const VoiceSpec &voice) = 0;
    virtual void playEffect(const ToneSequence &notes, double volume) = 0;
    // Ends speech at once; when something was being spoken, finished(false)
    // follows, now or later.
    virtual void stop() = 0;
    virtual bool isSpeaking() const = 0;

signals:
    void word(int start, int length);
    void mouth(double level);
    void finished(bool completed);
};

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
};

// The character engine: loads characters from their folders and runs them.
class AgentEngine final : public Control
{
    Q_OBJECT
public:
    // Looks characters up in `characterFolders` in order (the user's own
    // folder first, then the shipped ones: see characterFolders() of
    // agent/CharacterFolders.h) and speaks through SpeechPlayer. The options
    // are kept in `settings` (section "agent") when it is not null.
    AgentEngine(QStringList characterFolders, EngineServices services,
        SettingsStore *settings = nullptr, QObject *parent = nullptr);
    // With any speech output.
    AgentEngine(QStringList characterFolders, EngineServices services,
        std::unique_ptr<SpeechOutput> speech, SettingsStore *settings = nullptr,
        QObject *parent = nullptr);
    ~AgentEngine() override;

    // A character already loaded under `id` is unloaded first.
    bool Load(const QString &id, const QString &file) override;
    QString loadError() const override { return m_loadError; }
    Character *Characters(const QString &id) override { return character(id); }
    void Unload(const QString &id) override;
    void setPropertySheetVisible(bool visible) override;

    AgentCharacter *character(const QString &id) const { return m_characters.value(id); }
    // The file Load would read for `file`, or empty. A bare name is looked
    // up in the folders in order, with or without ".acs", ignoring case.
    QString findCharacter(const QString &file) const;
    const QStringList &characterFolders() const { return m_folders; }

    // Animation, walking and balloon times are multiplied by `scale`.
    void setTimeScale(double scale);
    double timeScale() const { return m_timeScale; }

    const EngineOptions &options() const { return m_options; }
    // Applies at once; stored when the engine has a settings store.
    void setOptions(const EngineOptions &options);
    // The options window, made when first asked for.
    OptionsWindow *optionsWindow();
    SpeechOutput &speech() { return *m_speech; }
    // Voice commands: what the characters listen for, and how.
    Listener &listener() { return *m_listener; }
    // The text of the tip shown while listening or after speech that was
    // not understood.
    static QString listeningText();
    static QString notUnderstoodText();
    static constexpr int kNotUnderstoodMs = 2000;

private:
    friend class AgentCharacter;

    int nextRequestId() { return m_nextRequestId++; }
    // Sets the status now and raises RequestComplete from the event loop.
    void complete(const RequestPtr &request, RequestStatus status);
    void emitCommand(const QString &name);
    // Speech goes one character at a time, in the order asked for.
    void wantSpeech(AgentCharacter *character);
    void releaseSpeech(AgentCharacter *character);
    void grantSpeech();
    void onSpeechFinished(bool completed);
    void applyOptions();
    // The characters' commands changed: the listener hears the new set once
    // the changes of this turn of the event loop are all made.
    void commandsChanged();
    void updateListener();
    void onHeard(const RecognitionResult &result, Listener::Mode mode, bool speech);
    void onListening(bool listening);
    void showTip(const QString &text, bool microphone);

    // Every file `file` names in the folders, in the order they are looked up.
    QStringList characterFiles(const QString &file, bool firstOnly) const;

    QStringList m_folders;
    EngineServices m_services;
    QString m_loadError;
    std::unique_ptr<SpeechOutput> m_speech;
    SettingsStore *m_settings = nullptr;
    EngineOptions m_options;
    std::unique_ptr<OptionsWindow> m_optionsWindow;
    QHash<QString, AgentCharacter *> m_characters;
    AgentCharacter *m_speaker = nullptr;
    QList<AgentCharacter *> m_speechQueue;
    int m_staleFinished = 0;
    int m_nextRequestId = 1;
    double m_timeScale = 1.0;
    Listener *m_listener = nullptr;
    QTimer *m_commandsTimer = nullptr;
    std::unique_ptr<Clock::Timer> m_tipTimer;
};

} // namespace agent
