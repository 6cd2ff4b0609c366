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
#include <QSaveFile>
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

bool CharacterControl::loadCharacter(const QString &name, const QString &moveVoice)
{
    charname = name;
    return loadCharacterFrom(charname + QStringLiteral(".acs"), moveVoice);
}

bool CharacterControl::loadCharacterFrom(const QString &file, const QString &moveVoice)
{
    if (!Agent1.Load(charname, file))
        qCWarning(lcAnnounce).noquote()
            << "character" << charname << "could not be loaded:" << Agent1.loadError();
    agentchar = Agent1.Characters(charname);
    if (!agentchar)
        return false;
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
    // "What is on?" alone means today, as people ask it.
    commands.Add(QLatin1String(kAskToday), QStringLiteral("What is on today?"),
        QStringLiteral("What is on [today]?"), true, true);
    commands.Add(QLatin1String(kAskTomorrow), QStringLiteral("What is on tomorrow?"),
        QStringLiteral("What is on tomorrow?"), true, true);
    commands.Add(QLatin1String(kAskNext), QStringLiteral("What is next?"),
        QStringLiteral("What is next?"), true, true);
    commands.setVisible(true);
    qCInfo(lcAnnounce) << "character" << charname << "loaded";
    return true;
}

void CharacterControl::appearAtLoad(bool quiet)
{
    loadCharacter(m_settings.read(setting::Char), QString::fromLatin1(kMoveVoiceAtLoad));
    loading = true;
    setSoundEffects(m_settings.flag(setting::SoundFx) == Flag::True);

    if (!quiet) {
        if (agentchar) {
            agentchar->Show();
            moveHome(announce::kStartGap, announce::kStartRise);
            lastrequest = agentchar->Play(QStringLiteral("Pleased"));
        }
        waitForLastRequest();
    } else {
        moveHome(announce::kStandardGap, announce::kStandardRise);
        if (agentchar && m_settings.flag(setting::Hide) == Flag::False)
            agentchar->Show();
    }

    if (agentchar && m_settings.flag(setting::Hide) == Flag::True)
        agentchar->Hide();
    loading = false;
}

agent::Character *CharacterControl::current() const
{
    return Agent1.Characters(charname);
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
    } else if (name == QLatin1String(kAskToday) || name == QLatin1String(kAskTomorrow)
        || name == QLatin1String(kAskNext)) {
        if (m_host.ask)
            m_host.ask(name);
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

QString CharacterControl::userFolder() const
{
    return userCharacterFolder(m_modClock.WindowsFolder());
}

bool CharacterControl::copyIntoCharacterFolder(const QString &chosen, QString *error)
{
    // The engine finds characters by name in its folders; a file picked
    // elsewhere is copied there so that the choice works next time too.
    const QString folder = userFolder();
    const QString target = folder + QLatin1Char('/') + QFileInfo(chosen).fileName();
    QFile source(chosen);
    QSaveFile copy(target);
    if (!QDir().mkpath(folder) || !source.open(QIODevice::ReadOnly)
        || !copy.open(QIODevice::WriteOnly) || copy.write(source.readAll()) != source.size()
        || !copy.commit()) {
        *error = copy.errorString().isEmpty() ? source.errorString() : copy.errorString();
        qCWarning(lcAnnounce) << "could not copy" << chosen << "to" << folder << ":" << *error;
        return false;
    }
    qCInfo(lcAnnounce) << "copied character" << chosen << "to" << folder;
    return true;
}

namespace {

bool sameContent(const QString &a, const QString &b)
{
    QFile fa(a);
    QFile fb(b);
    return fa.size() == fb.size() && fa.open(QIODevice::ReadOnly) && fb.open(QIODevice::ReadOnly)
        && fa.readAll() == fb.readAll();
}

} // namespace

bool CharacterControl::changeTo(const QString &chosen)
{
    const QFileInfo info(chosen);
    const QString fileName = info.fileName();
    // A name with nothing before ".acs" keeps the character there was.
    if (fileName.size() <= 4)
        return false;
    const QString name = fileName.left(fileName.size() - 4);
    const QString previous = charname;
    const QString folder = QDir(userFolder()).absolutePath();
    const QString own = folder + QLatin1Char('/') + fileName;
    const QStringList shipped = characterFolders(folder).mid(1);
    const bool inOwnFolder = info.absolutePath() == folder;
    const bool isShipped = shipped.contains(info.absolutePath());

    QString file = info.absoluteFilePath();
    bool copy = !inOwnFolder && !isShipped;
    if (!inOwnFolder && QFileInfo::exists(own)) {
        // Characters are found by name, the user's own folder first: a file
        // of the chosen name there would be the one seen from now on.
        if (sameContent(file, own)) {
            copy = false;
        } else if (isShipped) {
            qCInfo(lcAnnounce) << "the user's own" << own << "is used rather than" << file;
            m_dialogs.messageBox(QStringLiteral("Your own character file %1 has the same name as "
                                                "the character you chose, and is used in its "
                                                "place. Rename it to use the %2 that comes with "
                                                "Quillory.")
                                     .arg(QDir::toNativeSeparators(own), name),
                MsgButtons::Ok, MsgIcon::Information);
            file = own;
        } else if (m_dialogs.messageBox(
                       QStringLiteral("Your character folder already holds a character named %1. "
                                      "Replace it with the one you chose?")
                           .arg(name),
                       MsgButtons::YesNo, MsgIcon::Question)
            != MsgAnswer::Yes) {
            qCInfo(lcAnnounce) << "keeping the user's own" << own << "rather than" << file;
            file = own;
            copy = false;
        }
    }

    charname = name;
    QString error;
    if (!loadCharacterFrom(file, QString::fromLatin1(kMoveVoiceAfterChange))) {
        error = Agent1.loadError();
    } else if (copy && !copyIntoCharacterFolder(file, &error)) {
        error = QStringLiteral("it could not be copied into %1 (%2)")
                    .arg(QDir::toNativeSeparators(folder), error);
        unloadCharacter();
    }
    if (!error.isEmpty() || !agentchar) {
        charname = previous;
        m_dialogs.messageBox(
            QStringLiteral("The character %1 could not be loaded: %2.\n\n%3 "
                           "stays your character.")
                .arg(name, error.isEmpty() ? QStringLiteral("unknown") : error, previous),
            MsgButtons::Ok, MsgIcon::Exclamation);
        return false;
    }
    m_settings.write(setting::Char, name);
    qCInfo(lcAnnounce) << "character changed to" << name << "from" << file;
    return true;
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
        userFolder(), QStringLiteral("Agent Characters (*.acs)"));
    // A cancelled dialog, or a character that does not load, keeps the
    // character there was.
    if (chosen.isEmpty() || !changeTo(chosen)) {
        loadCharacter(m_settings.read(setting::Char), QString::fromLatin1(kMoveVoiceAfterChange));
    }

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
