#pragma once

#include "agent/Agent.h"
#include "agent/Animation.h"
#include "agent/character/AgentCharacter.h"
#include "agent/character/CharacterFile.h"
#include "agent/character/EngineServices.h"
#include "agent/character/OptionsWindow.h"
#include "agent/listen/Listener.h"
#include "agent/speech/SpeechOutput.h"
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
    QStringList characterFiles(const QString &file) const;

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
