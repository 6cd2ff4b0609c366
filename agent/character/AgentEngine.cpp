#include "agent/character/AgentEngine.h"

#include "agent/Logging.h"
#include "agent/character/AgentCharacter.h"
#include "agent/character/CharacterWindow.h"
#include "agent/speech/AudioDevices.h"
#include "agent/speech/SpeechPlayer.h"
#include "storage/Settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace agent {

// ---------------------------------------------------------------------------
// The engine

AgentEngine::AgentEngine(
    QStringList characterFolders, EngineServices services, SettingsStore *settings, QObject *parent)
    : AgentEngine(std::move(characterFolders), services,
        std::make_unique<SpeechPlayer>(
            services.clock, services.synthesizer, &services.audio, services.capture),
        settings, parent)
{ }

AgentEngine::AgentEngine(QStringList characterFolders, EngineServices services,
    std::unique_ptr<SpeechOutput> speech, SettingsStore *settings, QObject *parent)
    : Control(parent)
    , m_folders(std::move(characterFolders))
    , m_services(std::move(services))
    , m_speech(std::move(speech))
    , m_settings(settings)
{
    if (m_settings)
        m_options.load(*m_settings);
    connect(m_speech.get(), &SpeechOutput::word, this, [this](int start, int length) {
        if (m_speaker)
            m_speaker->speechWord(start, length);
    });
    connect(m_speech.get(), &SpeechOutput::phone, this, [this](const QString &label) {
        if (m_speaker)
            m_speaker->speechPhone(label);
    });
    connect(m_speech.get(), &SpeechOutput::mouth, this, [this](double level) {
        if (m_speaker)
            m_speaker->speechMouth(level);
    });
    connect(m_speech.get(), &SpeechOutput::finished, this, &AgentEngine::onSpeechFinished);

    m_listener = new Listener(m_services.clock, this);
    m_listener->setGlobalKey(m_services.globalKey);
    m_listener->setModel(m_services.recognizerModel);
    m_listener->setAudio(&m_services.audio);
    // Each of these leaves the character showing and speaking; the log says
    // why it does less.
    if (const QString missing = m_services.recognizerModel.missing(); !missing.isEmpty())
        qCWarning(lcVoice).noquote() << "speech recognition is off:" << missing;
    if (!m_services.synthesizer)
        qCWarning(lcSpeech) << "no speech synthesiser: the balloon shows the words unspoken";
    // The character never hears itself.
    m_listener->setSpeaking([this] { return m_speech->isSpeaking(); });
    connect(m_listener, &Listener::heard, this, &AgentEngine::onHeard);
    connect(m_listener, &Listener::listeningChanged, this, &AgentEngine::onListening);
    m_commandsTimer = new QTimer(this);
    m_commandsTimer->setSingleShot(true);
    m_commandsTimer->setInterval(0);
    connect(m_commandsTimer, &QTimer::timeout, this, &AgentEngine::updateListener);
    m_tipTimer = m_services.clock.timer([this] { showTip(QString(), false); });
    applyOptions();
}

AgentEngine::~AgentEngine()
{
    // Characters go first: they use the speech output and the options.
    const auto characters = m_characters;
    m_characters.clear();
    for (AgentCharacter *c : characters) {
        c->shutDown();
        delete c;
    }
    m_optionsWindow.reset();
}

QStringList AgentEngine::characterFiles(const QString &file) const
{
    if (file.trimmed().isEmpty())
        return {};
    if (file.contains(QLatin1Char('/'))) {
        const QFileInfo info(file);
        return info.isFile() ? QStringList { info.absoluteFilePath() } : QStringList();
    }
    QStringList names { file };
    if (!file.endsWith(QLatin1String(".acs"), Qt::CaseInsensitive))
        names << file + QStringLiteral(".acs");
    QStringList found;
    auto inFolder = [&names](const QDir &dir) -> QString {
        for (const QString &name : std::as_const(names)) {
            if (QFileInfo(dir.filePath(name)).isFile())
                return dir.absoluteFilePath(name);
        }
        // Names chosen on other systems may differ in case from the file.
        const QStringList entries
            = dir.entryList({ QStringLiteral("*.acs"), QStringLiteral("*.ACS") }, QDir::Files);
        for (const QString &entry : entries) {
            for (const QString &name : std::as_const(names)) {
                if (entry.compare(name, Qt::CaseInsensitive) == 0)
                    return dir.absoluteFilePath(entry);
            }
        }
        return {};
    };
    for (const QString &folder : m_folders) {
        const QString path = inFolder(QDir(folder));
        if (path.isEmpty())
            continue;
        found << path;
    }
    return found;
}

bool AgentEngine::Load(const QString &id, const QString &file)
{
    Unload(id);
    m_loadError.clear();
    const QStringList candidates = characterFiles(file);
    if (candidates.isEmpty()) {
        m_loadError = QStringLiteral("not found in %1").arg(m_folders.join(QStringLiteral(", ")));
        qCWarning(lcAgent).noquote() << "cannot load character" << file << ":" << m_loadError;
        return false;
    }
    const QString &path = candidates.first();
    // The user's own file goes before a shipped one of the same name; the
    // log says so, as the character seen is then not the shipped one.
    for (qsizetype i = 1; i < candidates.size(); ++i)
        qCInfo(lcAgent).noquote() << "character" << file << ": using" << path << "rather than"
                                  << candidates[i];
    QString error;
    std::shared_ptr<const CharacterFile> parsed = CharacterFile::load(path, &error);
    if (!parsed) {
        m_loadError = error;
        qCWarning(lcAgent).noquote() << "cannot load character" << path << ":" << error;
        return false;
    }
    m_characters.insert(id, new AgentCharacter(*this, id, std::move(parsed)));
    qCInfo(lcAgent).noquote() << "loaded character" << path << "as" << id;
    commandsChanged();
    return true;
}

void AgentEngine::Unload(const QString &id)
{
    AgentCharacter *c = m_characters.take(id);
    if (!c)
        return;
    qCInfo(lcAgent).noquote() << "unloading character" << id;
    c->shutDown();
    c->m_commands.changed = nullptr;
    // Unload may come from the character's own menu: delete it from the loop.
    c->deleteLater();
    commandsChanged();
}

void AgentEngine::setPropertySheetVisible(bool visible)
{
    if (!visible) {
        if (m_optionsWindow)
            m_optionsWindow->hide();
        return;
    }
    OptionsWindow *window = optionsWindow();
    window->refresh();
    window->show();
    window->raise();
    window->activateWindow();
}

OptionsWindow *AgentEngine::optionsWindow()
{
    if (!m_optionsWindow) {
        m_optionsWindow = std::make_unique<OptionsWindow>(m_options, m_settings, m_services.clock);
        m_optionsWindow->setListener(m_listener);
        connect(m_optionsWindow.get(), &OptionsWindow::changed, this, &AgentEngine::applyOptions);
    }
    return m_optionsWindow.get();
}

void AgentEngine::setOptions(const EngineOptions &options)
{
    m_options = options;
    if (m_settings)
        m_options.save(*m_settings);
    if (m_optionsWindow)
        m_optionsWindow->refresh();
    applyOptions();
}

void AgentEngine::applyOptions()
{
    for (AgentCharacter *c : std::as_const(m_characters))
        c->optionsChanged();
    m_listener->setListenKey(listenKeyFromName(m_options.listenKey));
    m_listener->setMicrophoneId(m_options.microphone.toUtf8());
}

void AgentEngine::commandsChanged()
{
    m_commandsTimer->start();
}

void AgentEngine::updateListener()
{
    // Every loaded character's commands, by character id so that the same
    // characters always make the same grammar; the first to claim a phrase
    // keeps it.
    QList<CommandEntry> commands;
    QList<AgentCharacter *> characters = m_characters.values();
    std::sort(characters.begin(), characters.end(),
        [](const AgentCharacter *a, const AgentCharacter *b) { return a->m_id < b->m_id; });
    for (AgentCharacter *c : std::as_const(characters)) {
        if (c->m_commands.Visible())
            commands << c->m_commands.entries();
    }
    m_listener->setCommands(commands);
}

QString AgentEngine::listeningText()
{
    return tr("Listening…");
}

QString AgentEngine::notUnderstoodText()
{
    return tr("Didn't catch that");
}

void AgentEngine::showTip(const QString &text, bool microphone)
{
    for (AgentCharacter *c : std::as_const(m_characters)) {
        if (text.isEmpty() || c->m_window->isVisible())
            c->m_window->setTip(text, microphone);
    }
}

void AgentEngine::onListening(bool listening)
{
    if (listening) {
        m_tipTimer->stop();
        showTip(listeningText(), true);
    } else if (!m_tipTimer->isActive()) {
        showTip(QString(), false);
    }
}

void AgentEngine::onHeard(const RecognitionResult &result, Listener::Mode mode, bool speech)
{
    if (mode == Listener::Mode::Test)
        return; // the options window shows what it heard
    if (result.understood()) {
        emitCommand(result.command);
        return;
    }
    if (!speech)
        return;
    // Speech it could not make out: the character says nothing, and the tip
    // says why nothing happens.
    showTip(notUnderstoodText(), false);
    m_tipTimer->start(int(std::ceil(kNotUnderstoodMs * m_timeScale)));
}

void AgentEngine::setTimeScale(double scale)
{
    if (scale > 0 && std::isfinite(scale))
        m_timeScale = scale;
}

void AgentEngine::complete(const RequestPtr &request, RequestStatus status)
{
    request->Status = status;
    qCDebug(lcAgent) << "request" << request->id << "ends with status" << int(status);
    QMetaObject::invokeMethod(
        this, [this, request] { emit RequestComplete(request); }, Qt::QueuedConnection);
}

void AgentEngine::emitCommand(const QString &name)
{
    qCDebug(lcAgent).noquote() << "command" << name;
    emit Command(UserInput { name });
}

void AgentEngine::wantSpeech(AgentCharacter *character)
{
    if (!m_speechQueue.contains(character))
        m_speechQueue.append(character);
    grantSpeech();
}

void AgentEngine::releaseSpeech(AgentCharacter *character)
{
    m_speechQueue.removeAll(character);
    // A character stops its own speech, or any when nobody else speaks.
    if (m_speaker && m_speaker != character)
        return;
    m_speaker = nullptr;
    if (m_speech->isSpeaking())
        ++m_staleFinished;
    m_speech->stop();
    QTimer::singleShot(0, this, &AgentEngine::grantSpeech);
}

void AgentEngine::grantSpeech()
{
    while (!m_speaker && !m_speechQueue.isEmpty()) {
        m_speaker = m_speechQueue.takeFirst();
        if (!m_speaker->beginSpeaking())
            m_speaker = nullptr;
    }
}

void AgentEngine::onSpeechFinished(bool completed)
{
    // The end of speech cut off by stop() belongs to nobody waiting now.
    if (m_staleFinished > 0) {
        --m_staleFinished;
        return;
    }
    AgentCharacter *speaker = std::exchange(m_speaker, nullptr);
    if (speaker)
        speaker->speechFinished(completed);
    grantSpeech();
}

} // namespace agent
