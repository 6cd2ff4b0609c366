#pragma once

#include "agent/Agent.h"
#include "announce/AnnounceRules.h"

#include <QObject>
#include <QVariant>

#include <functional>

class QTimer;
class Clock;
class Dialogs;
class ModClock;
class SettingsStore;

// The calendar's side of its character: loading and changing it, speaking
// with a gesture in turn, walking home beside the calendar, hiding after
// speaking, and the character's five commands.
class CharacterControl : public QObject
{
    Q_OBJECT
public:
    // What the calendar window offers its character.
    struct Host
    {
        std::function<bool()> calendarVisible;
        // The window's geometry and the screen, in twips; the character's
        // size and the offsets are filled in here.
        std::function<announce::HomeInput()> homeInput;
        std::function<void()> saydate;
        std::function<void()> unload;
    };

    static constexpr const char *kMoveVoiceAtLoad = "[Move Me]Home ";
    static constexpr const char *kMoveVoiceAfterChange = "[MoveMe]Home ";

    CharacterControl(agent::Control &agent, SettingsStore &settings, ModClock &modClock,
        Dialogs &dialogs, Clock &clock, Host host, QObject *parent = nullptr);

    // Loads "charname".acs under charname and adds the five commands.
    void loadCharacter(const QString &moveVoice);
    void unloadCharacter();
    void say(const QString &text);
    void sayagain(const QVariant &text);
    void moveme();
    // Walks to the home position with the given offsets (twips); the move
    // becomes lastrequest.
    void moveHome(float gap, float rise);
    // The menu's "Load a new character".
    void newCharacter();
    void setSoundEffects(bool on);
    // Processes window events until the request in lastrequest has ended
    // (done, failed or interrupted; at once when there is none); never
    // longer than a minute.
    void waitForLastRequest();

    agent::Control &Agent1;
    QString charname;
    agent::Character *agentchar = nullptr;
    QString lastsaid;
    agent::RequestPtr lastrequest; // null stands for 0
    int animcount = 0;
    QTimer *timersaid = nullptr;
    bool loading = false;

    void Agent1_RequestComplete(const agent::RequestPtr &request);
    void Agent1_Command(const agent::UserInput &userInput);
    void timersaid_Timer();

private:
    void speakWithGesture(const QString &text);
    QString copyIntoCharacterFolder(const QString &chosen);

    SettingsStore &m_settings;
    ModClock &m_modClock;
    Dialogs &m_dialogs;
    Clock &m_clock;
    Host m_host;
};
