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
// speaking, and the character's commands.
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
        // "What is on today?" and its kin, by the command's name.
        std::function<void(const QString &command)> ask;
    };

    static constexpr const char *kMoveVoiceAtLoad = "[Move Me]Home ";
    static constexpr const char *kMoveVoiceAfterChange = "[MoveMe]Home ";
    // The names of the commands that ask what is on.
    static constexpr const char *kAskToday = "ontoday";
    static constexpr const char *kAskTomorrow = "ontomorrow";
    static constexpr const char *kAskNext = "next";

    CharacterControl(agent::Control &agent, SettingsStore &settings, ModClock &modClock,
        Dialogs &dialogs, Clock &clock, Host host, QObject *parent = nullptr);

    // Loads "name".acs under that name and adds the commands; false
    // (with a log line) when it cannot be loaded.
    bool loadCharacter(const QString &name, const QString &moveVoice);
    // The calendar's start: loads the chosen character and, unless the
    // program restarted itself quietly, lets it enter with a gesture.
    void appearAtLoad(bool quiet);
    void unloadCharacter();
    void say(const QString &text);
    void sayagain(const QVariant &text);
    void moveme();
    // Walks to the home position with the given offsets (twips); the move
    // becomes the request waited for.
    void moveHome(float gap, float rise);
    // The menu's "Load a new character". The choice is stored only once the
    // character has loaded; otherwise the user is told why and keeps the
    // character there was.
    void newCharacter();
    void setSoundEffects(bool on);
    // Processes window events until the last request has ended
    // (done, failed or interrupted; at once when there is none); never
    // longer than a minute.
    void waitForLastRequest();

    // The loaded character, looked up by its name; null when none loaded.
    agent::Character *current() const;
    QString name() const { return charname; }
    // True while options are being applied at a load, when the menu's
    // toggles must not act.
    bool isLoading() const { return loading; }
    // A move, gesture or sentence has not ended yet.
    bool isBusy() const { return bool(lastrequest); }
    // The gesture that goes with the next sentence; starts again at 0.
    int nextGesture() const { return animcount; }
    void restartGestures() { animcount = 0; }

    agent::Character *agentchar = nullptr;
    QString lastsaid;
    QTimer *timersaid = nullptr;

    void Agent1_RequestComplete(const agent::RequestPtr &request);
    void Agent1_Command(const agent::UserInput &userInput);
    void timersaid_Timer();

private:
    void speakWithGesture(const QString &text);
    bool loadCharacterFrom(const QString &file, const QString &moveVoice);
    // Loads the chosen file as the character and stores the choice; false
    // when it did not load (the user has been told).
    bool changeTo(const QString &chosen);
    bool copyIntoCharacterFolder(const QString &chosen, QString *error);
    QString userFolder() const;

    agent::Control &Agent1;
    QString charname;
    agent::RequestPtr lastrequest; // null stands for 0
    int animcount = 0;
    bool loading = false;
    SettingsStore &m_settings;
    ModClock &m_modClock;
    Dialogs &m_dialogs;
    Clock &m_clock;
    Host m_host;
};
