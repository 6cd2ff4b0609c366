#include "announce/CharacterControl.h"

#include "agent/CharacterFolders.h"
#include "announce/Logging.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "storage/ModClock.h"
#include "storage/Settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

namespace {
constexpr int kLongestWaitMs = 60000;
} // namespace

CharacterControl::CharacterControl(agent::Control &agent, SettingsStore &settings,
    ModClock &modClock, Dialogs &dialogs, Clock &clock, Host host, QObject *parent)
    : QObject(parent)
    , Agent1(agent)
    , m_settings(settings)
    , m_modClock(modClock)
    , m_dialogs(dialogs)
    , m_clock(clock)
    , m_host(std::move(host))
{
    timersaid = new QTimer(this);
    timersaid->setObjectName(QStringLiteral("timersaid"));
    connect(timersaid, &QTimer::timeout, this, &CharacterControl::timersaid_Timer);
    connect(
        &Agent1, &agent::Control::RequestComplete, this, &CharacterControl::Agent1_RequestComplete);
    connect(&Agent1, &agent::Control::Command, this, &CharacterControl::Agent1_Command);
}

void CharacterControl::loadCharacter(const QString &moveVoice)
{
    if (!Agent1.Load(charname, charname + QStringLiteral(".acs")))
        qCWarning(lcAnnounce) << "character" << charname << "could not be loaded";
    agentchar = Agent1.Characters(charname);
    if (!agentchar)
        return;
    agent::Commands &commands = agentchar->commands();
    commands.Add(QStringLiteral("repeat"), QStringLiteral("Repeat the last message"),
        QStringLiteral("[Repeat] last message"), true, true);
    commands.Add(QStringLiteral("Properties"), QStringLiteral("Alter Character Properties"),
        QStringLiteral("[Character] Properties"), true, true);
    commands.Add(
        QStringLiteral("moveme"), QStringLiteral("Move me to the calendar"), moveVoice, true, true);
    commands.Add(QStringLiteral("Date"), QStringLiteral("Speak todays date"),
        QStringLiteral("What is the [date]?"), true, true);
    commands.Add(QStringLiteral("exit"), QStringLiteral("Exit Quillory"),
        QStringLiteral("[Exit] Quillory"), true, true);
    commands.setVisible(true);
    qCInfo(lcAnnounce) << "character" << charname << "loaded";
}

void CharacterControl::unloadCharacter()
{
    if (agentchar)
        agentchar->Stop();
    Agent1.Unload(charname);
    agentchar = nullptr;
}

void CharacterControl::speakWithGesture(const QString &text)
{
    timersaid->stop();
    if (agentchar) {
        agentchar->Stop();
        agentchar->Show();
    }
    lastsaid = text;
    if (agentchar) {
        lastrequest = agentchar->Speak(text);
        // A gesture the file lacks fails on its own; the speech stands.
        lastrequest = agentchar->Play(QString::fromLatin1(announce::kGestures[animcount]));
    }
    qCDebug(lcAnnounce).noquote() << "say" << text << "with" << announce::kGestures[animcount];
    animcount = announce::nextGesture(animcount);
}

void CharacterControl::say(const QString &text)
{
    speakWithGesture(text);
    if (m_settings.flag(setting::Hide) == Flag::True) {
        timersaid->setInterval(5000);
        timersaid->start();
    }
}

void CharacterControl::sayagain(const QVariant &text)
{
    speakWithGesture(text.toString());
}

void CharacterControl::timersaid_Timer()
{
    if (!timersaid->isActive())
        return;
    if (agentchar)
        agentchar->Hide();
    timersaid->stop();
}

void CharacterControl::moveHome(float gap, float rise)
{
    if (!agentchar)
        return;
    announce::HomeInput in = m_host.homeInput();
    in.characterWidth = agentchar->Width();
    in.characterHeight = agentchar->Height();
    in.gap = gap;
    in.rise = rise;
    const QPoint home = announce::homePosition(in);
    lastrequest = agentchar->MoveTo(qint16(home.x()), qint16(home.y()));
}

void CharacterControl::moveme()
{
    if (agentchar) {
        agentchar->Show();
        agentchar->Stop();
    }
    moveHome(announce::kStandardGap, announce::kStandardRise);
    if (agentchar && m_settings.flag(setting::Hide) == Flag::True)
        agentchar->Hide();
}

void CharacterControl::Agent1_RequestComplete(const agent::RequestPtr &)
{
    lastrequest.reset();
}

void CharacterControl::Agent1_Command(const agent::UserInput &userInput)
{
    const QString &name = userInput.Name;
    qCInfo(lcAnnounce) << "command" << name;
    if (name == QLatin1String("repeat")) {
        say(lastsaid);
    } else if (name == QLatin1String("Properties")) {
        if (agentchar)
            agentchar->Stop();
        Agent1.setPropertySheetVisible(true);
    } else if (name == QLatin1String("Date")) {
        m_host.saydate();
    } else if (name == QLatin1String("exit")) {
        if (agentchar)
            agentchar->Stop();
        m_host.unload();
    } else if (name == QLatin1String("moveme")) {
        if (m_host.calendarVisible()) {
            moveme();
        } else {
            say(QStringLiteral("Sorry, you will have to show the calendar before you can move me, "
                               "sorry!"));
            m_dialogs.messageBox(
                QStringLiteral(
                    "You will have to show the calendar before you can move the character"),
                MsgButtons::Ok, MsgIcon::Information);
        }
    }
}

void CharacterControl::waitForLastRequest()
{
    // Waits for the request itself, not for whichever request ends first:
    // otherwise the end of "Show" would cut the walk home short.
    const agent::RequestPtr awaited = lastrequest;
    const qint64 start = m_clock.monotonicMs();
    while (awaited && (awaited->Status == agent::Pending || awaited->Status == agent::InProgress)) {
        if (m_clock.monotonicMs() - start > kLongestWaitMs) {
            qCWarning(lcAnnounce) << "character request" << awaited->id
                                  << "did not end; going on without it";
            break;
        }
        m_clock.processEventsFor(50);
    }
}

void CharacterControl::setSoundEffects(bool on)
{
    if (agentchar)
        agentchar->setSoundEffectsOn(on);
}

QString CharacterControl::copyIntoCharacterFolder(const QString &chosen)
{
    // The engine finds characters by name in its folders; a file picked
    // elsewhere is copied there so that the choice works now and next time.
    const QString folder = userCharacterFolder(m_modClock.WindowsFolder());
    const QFileInfo info(chosen);
    const QString target = folder + QLatin1Char('/') + info.fileName();
    if (info.absolutePath() == QDir(folder).absolutePath() || QFileInfo::exists(target))
        return info.fileName();
    QDir().mkpath(folder);
    if (!QFile::copy(chosen, target))
        qCWarning(lcAnnounce) << "could not copy" << chosen << "to" << folder;
    else
        qCInfo(lcAnnounce) << "copied character" << chosen << "to" << folder;
    return info.fileName();
}

void CharacterControl::newCharacter()
{
    if (!m_host.calendarVisible()) {
        say(QStringLiteral("Sorry, you will have to show the calendar before you can change me, "
                           "sorry!"));
        m_dialogs.messageBox(
            QStringLiteral(
                "You will have to show the calendar before you can change the character"),
            MsgButtons::Ok, MsgIcon::Information);
        return;
    }
    if (agentchar)
        agentchar->Show();
    say(QStringLiteral("Please select your character"));
    waitForLastRequest();
    unloadCharacter();

    const QString chosen = m_dialogs.chooseOpenFile(QStringLiteral("Load a new character"),
        userCharacterFolder(m_modClock.WindowsFolder()),
        QStringLiteral("Agent Characters (*.acs)"));
    // A cancelled dialog (or a name with nothing before ".acs") keeps the
    // character there was.
    if (!chosen.isEmpty()) {
        const QString fileName = copyIntoCharacterFolder(chosen);
        if (fileName.size() > 4)
            m_settings.write(setting::Char, fileName.left(fileName.size() - 4));
    }
    charname = m_settings.read(setting::Char);
    loadCharacter(QString::fromLatin1(kMoveVoiceAfterChange));

    moveHome(announce::kStandardGap, announce::kStandardRise);
    waitForLastRequest();
    if (agentchar && m_settings.flag(setting::Hide) == Flag::False)
        agentchar->Show();

    loading = true;
    setSoundEffects(m_settings.flag(setting::SoundFx) == Flag::True);
    loading = false;

    if (agentchar)
        agentchar->Show();
    say(QStringLiteral("Hello, nice to see you!"));
}
