#include "agent/AgentEngine.h"

#include "agent/AudioDevices.h"
#include "agent/CharacterWindow.h"
#include "agent/Logging.h"
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

namespace {

constexpr int kFrameMs = 33;
constexpr double kWalkPixelsPerSecond = 220;
constexpr double kShortestWalkMs = 250;
constexpr double kBalloonLingerMs = 1000;
constexpr double kReadingMsPerChar = 50;
constexpr double kLongestReadingMs = 15000;

const char *kindName(int kind)
{
    static const char *const names[] = { "Show", "Hide", "MoveTo", "Play", "Speak" };
    return names[kind];
}

// SpeechPlayer as the engine's speech output.
class SpeechPlayerOutput final : public SpeechOutput
{
public:
    explicit SpeechPlayerOutput(const EngineServices &services)
        : m_player(new SpeechPlayer(
            services.clock, services.synthesizer, &services.audio, services.capture, this))
    {
        connect(m_player, &SpeechPlayer::word, this, &SpeechOutput::word);
        connect(m_player, &SpeechPlayer::mouth, this, &SpeechOutput::mouth);
        connect(m_player, &SpeechPlayer::finished, this, &SpeechOutput::finished);
    }
    QString displayText(const QString &taggedText) const override
    {
        return SpeechPlayer::displayText(taggedText);
    }
    void speak(const QString &taggedText, const VoiceSpec &voice) override
    {
        m_player->speak(taggedText, voice);
    }
    void playEffect(const ToneSequence &notes, double volume) override
    {
        m_player->playEffect(notes, volume);
    }
    void stop() override { m_player->stop(); }
    bool isSpeaking() const override { return m_player->isSpeaking(); }

private:
    SpeechPlayer *m_player;
};

} // namespace

// ---------------------------------------------------------------------------
// Commands

void AgentCharacter::CommandList::Add(
    const QString &name, const QString &caption, const QString &voice, bool enabled, bool visible)
{
    const CommandEntry entry { name, caption, voice, enabled, visible };
    for (CommandEntry &e : m_entries) {
        if (e.name.compare(name, Qt::CaseInsensitive) == 0) {
            e = entry;
            if (changed)
                changed();
            return;
        }
    }
    m_entries.append(entry);
    if (changed)
        changed();
}

void AgentCharacter::CommandList::setVisible(bool visible)
{
    if (visible == m_visible)
        return;
    m_visible = visible;
    if (changed)
        changed();
}

// ---------------------------------------------------------------------------
// A character

AgentCharacter::AgentCharacter(
    AgentEngine &engine, QString id, std::shared_ptr<const CharacterFile> file)
    : QObject(&engine)
    , m_engine(engine)
    , m_id(std::move(id))
    , m_file(std::move(file))
    , m_window(std::make_unique<CharacterWindow>(m_file, engine.m_services.windowShape))
{
    m_frames = engine.m_services.clock.timer([this] { tick(); }, true);
    m_balloonTimer = engine.m_services.clock.timer([this] { m_window->clearBalloon(); });
    connect(m_window.get(), &CharacterWindow::contextMenuRequested, this,
        &AgentCharacter::openContextMenu);
    m_commands.changed = [this] { m_engine.commandsChanged(); };

    // Until the program moves it, the character stands at the lower right.
    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        m_window->setFramePos(area.bottomRight() + QPoint(1, 1) - QPoint(40, 40)
            - QPoint(m_file->frame.width(), m_file->frame.height()));
    }
    optionsChanged();
}

AgentCharacter::~AgentCharacter()
{
    // The engine may already be half destroyed: touch nothing of it here.
    delete m_menu.data();
}

qint16 AgentCharacter::Width() const
{
    return qint16(m_file->frame.width());
}
qint16 AgentCharacter::Height() const
{
    return qint16(m_file->frame.height());
}
bool AgentCharacter::Visible() const
{
    return m_window->isVisible();
}
bool AgentCharacter::isAnimating() const
{
    return m_frames->isActive();
}

RequestPtr AgentCharacter::Show(bool fast)
{
    return enqueue(Job { nullptr, Kind::Show, fast, {}, {} });
}

RequestPtr AgentCharacter::Hide(bool fast)
{
    return enqueue(Job { nullptr, Kind::Hide, fast, {}, {} });
}

RequestPtr AgentCharacter::MoveTo(qint16 x, qint16 y)
{
    return enqueue(Job { nullptr, Kind::Move, false, QPoint(x, y), {} });
}

RequestPtr AgentCharacter::Play(const QString &animation)
{
    return enqueue(Job { nullptr, Kind::Play, false, {}, animation });
}

RequestPtr AgentCharacter::Speak(const QString &text)
{
    return enqueue(Job { nullptr, Kind::Speak, false, {}, text });
}

RequestPtr AgentCharacter::enqueue(Job job)
{
    job.request = std::make_shared<Request>();
    job.request->id = m_engine.nextRequestId();
    job.request->Status = Pending;
    qCDebug(lcAgent).noquote() << m_id << "request" << job.request->id << kindName(int(job.kind))
                               << job.text;
    RequestPtr request = job.request;
    m_queue.push_back(std::move(job));
    scheduleNext();
    return request;
}

void AgentCharacter::scheduleNext()
{
    // Requests start from the event loop, never inside the call that made them.
    if (m_startPosted || m_current || m_queue.empty())
        return;
    m_startPosted = true;
    QTimer::singleShot(0, this, &AgentCharacter::startNext);
}

void AgentCharacter::startNext()
{
    m_startPosted = false;
    if (m_current || m_queue.empty())
        return;
    m_current = std::move(m_queue.front());
    m_queue.pop_front();
    m_current->request->Status = InProgress;
    switch (m_current->kind) {
    case Kind::Show:
        runShow();
        break;
    case Kind::Hide:
        runHide();
        break;
    case Kind::Move:
        runMove();
        break;
    case Kind::Play:
        runPlay();
        break;
    case Kind::Speak:
        runSpeak();
        break;
    }
}

void AgentCharacter::finishCurrent(RequestStatus status)
{
    if (!m_current)
        return;
    const RequestPtr request = m_current->request;
    m_current.reset();
    m_engine.complete(request, status);
    scheduleNext();
}

void AgentCharacter::interruptAll()
{
    std::deque<Job> dropped;
    dropped.swap(m_queue);
    if (m_current) {
        dropped.push_front(std::move(*m_current));
        m_current.reset();
    }
    for (const Job &job : dropped)
        m_engine.complete(job.request, Interrupted);
}

void AgentCharacter::stopMotion()
{
    m_animator.clear();
    m_then = nullptr;
    m_walk.active = false;
    m_frames->stop();
}

void AgentCharacter::Stop()
{
    qCDebug(lcAgent).noquote() << m_id << "stop";
    m_engine.releaseSpeech(this);
    m_speaking = false;
    interruptAll();
    stopMotion();
    m_balloonTimer->stop();
    m_window->clearBalloon();
    m_window->setSpeechMouth(std::nullopt);
    m_window->setPose(m_file->rest);
}

void AgentCharacter::shutDown()
{
    Stop();
    if (m_menu)
        m_menu->deleteLater(); // Unload may come from one of its items
    m_window->hide();
    m_window->disconnect(this);
}

const Animation *AgentCharacter::animation(const QString &name) const
{
    return m_file->animation(name);
}

double AgentCharacter::animationMs(qint64 sinceMs) const
{
    return double(m_engine.m_services.clock.monotonicMs() - sinceMs) / m_engine.timeScale();
}

void AgentCharacter::playAnimation(
    const Animation *animation, bool loop, std::function<void()> then)
{
    Pose from = m_window->pose();
    m_animator.start(*animation, from, loop);
    m_then = std::move(then);
    m_animationStartMs = m_engine.m_services.clock.monotonicMs();
    const Animator::Step first = m_animator.advanceTo(0);
    applyStep(first);
    if (first.finished) {
        if (!m_walk.active)
            m_frames->stop();
        if (auto then = std::exchange(m_then, nullptr))
            then();
        return;
    }
    if (!m_frames->isActive())
        m_frames->start(kFrameMs);
}

void AgentCharacter::applyStep(const Animator::Step &step)
{
    m_window->setPose(step.pose);
    if (!m_soundEffects)
        return;
    for (const QString &name : step.sounds) {
        const ToneSequence notes = m_file->sound(name);
        if (!notes.isEmpty())
            m_engine.speech().playEffect(notes, m_engine.options().effectsVolume / 100.0);
    }
}

void AgentCharacter::tick()
{
    if (m_animator.running()) {
        const Animator::Step step = m_animator.advanceTo(animationMs(m_animationStartMs));
        applyStep(step);
        if (step.finished) {
            if (auto then = std::exchange(m_then, nullptr))
                then();
        }
    }
    if (m_walk.active) {
        const double t = std::min(1.0, animationMs(m_walk.startedMs) / m_walk.ms);
        const QPointF delta = QPointF(m_walk.to - m_walk.from) * easeInOut(t);
        m_window->setFramePos(m_walk.from + delta.toPoint());
        if (t >= 1) {
            m_walk.active = false;
            m_animator.clear();
            playAnimation(
                animation(QStringLiteral("RestPose")), false, [this] { finishCurrent(Complete); });
        }
    }
    if (!m_animator.running() && !m_walk.active)
        m_frames->stop();
}

void AgentCharacter::runShow()
{
    if (m_window->isVisible()) {
        finishCurrent(Complete);
        return;
    }
    m_window->setPose(m_file->rest);
    if (m_current->fast) {
        m_window->show();
        finishCurrent(Complete);
        return;
    }
    // The first pose of Showing is set before the window appears, so the
    // character does not flash up at rest first.
    playAnimation(animation(QStringLiteral("Showing")), false, [this] {
        playAnimation(
            animation(QStringLiteral("RestPose")), false, [this] { finishCurrent(Complete); });
    });
    m_window->show();
}

void AgentCharacter::hideWindow()
{
    m_balloonTimer->stop();
    m_window->clearBalloon();
    m_window->hide();
    m_window->setSpeechMouth(std::nullopt);
    m_window->setPose(m_file->rest);
}

void AgentCharacter::runHide()
{
    if (!m_window->isVisible()) {
        finishCurrent(Complete);
        return;
    }
    m_balloonTimer->stop();
    m_window->clearBalloon();
    if (m_current->fast) {
        hideWindow();
        finishCurrent(Complete);
        return;
    }
    playAnimation(animation(QStringLiteral("Hiding")), false, [this] {
        hideWindow();
        finishCurrent(Complete);
    });
}

void AgentCharacter::runMove()
{
    const QPoint from = m_window->framePos();
    const QPoint to = m_current->target;
    if (!m_window->isVisible() || from == to) {
        m_window->setFramePos(to);
        finishCurrent(Complete);
        return;
    }
    const double distance = std::hypot(double(to.x() - from.x()), double(to.y() - from.y()));
    m_walk.active = true;
    m_walk.from = from;
    m_walk.to = to;
    m_walk.ms = std::max(kShortestWalkMs, distance / kWalkPixelsPerSecond * 1000);
    m_walk.startedMs = m_engine.m_services.clock.monotonicMs();
    const QString gait
        = to.x() < from.x() ? QStringLiteral("MoveLeft") : QStringLiteral("MoveRight");
    playAnimation(animation(gait), true, nullptr);
    if (!m_frames->isActive())
        m_frames->start(kFrameMs);
}

void AgentCharacter::runPlay()
{
    const Animation *a = animation(m_current->text);
    if (!a) {
        qCDebug(lcAgent).noquote() << m_id << "has no animation" << m_current->text;
        finishCurrent(Failed);
        return;
    }
    if (!m_window->isVisible()) {
        // Nobody would see it: done at once, and nothing ticks.
        finishCurrent(Complete);
        return;
    }
    playAnimation(a, false, [this] { finishCurrent(Complete); });
}

void AgentCharacter::runSpeak()
{
    if (m_engine.speech().displayText(m_current->text).trimmed().isEmpty()) {
        finishCurrent(Complete);
        return;
    }
    m_engine.wantSpeech(this);
}

bool AgentCharacter::beginSpeaking()
{
    if (!m_current || m_current->kind != Kind::Speak)
        return false;
    const EngineOptions &options = m_engine.options();
    const QString text = m_current->text;
    m_speaking = true;
    m_speakingSinceMs = m_engine.m_services.clock.monotonicMs();
    m_balloonTimer->stop();
    if (m_window->isVisible() && options.balloon)
        m_window->showBalloon(m_engine.speech().displayText(text));
    else
        m_window->clearBalloon();
    m_engine.speech().speak(text, options.voiceFor(m_file->voice));
    return true;
}

void AgentCharacter::speechWord(int start, int length)
{
    if (m_speaking)
        m_window->setBalloonWord(start, length);
}

void AgentCharacter::speechMouth(double level)
{
    if (m_speaking && m_window->isVisible())
        m_window->setSpeechMouth(mouthForLevel(level));
}

void AgentCharacter::speechFinished(bool completed)
{
    if (!m_speaking)
        return;
    m_speaking = false;
    m_window->setSpeechMouth(std::nullopt);
    m_window->setBalloonWord(0, 0);
    if (m_window->balloonShown()) {
        // Speech that failed early still leaves the words up long enough to read.
        const double reading
            = std::min(kLongestReadingMs, kReadingMsPerChar * m_window->balloon().text().size());
        const double spoken = double(m_engine.m_services.clock.monotonicMs() - m_speakingSinceMs)
            / m_engine.timeScale();
        const double linger = std::max(kBalloonLingerMs, reading - spoken);
        m_balloonTimer->start(int(std::ceil(linger * m_engine.timeScale())));
    }
    // Speech ends early only when stopped (which interrupts the request
    // first) or when it could not be made.
    finishCurrent(completed ? Complete : Failed);
}

void AgentCharacter::optionsChanged()
{
    const EngineOptions &options = m_engine.options();
    m_window->setBalloonFontSize(options.balloonFontSize);
    if (!options.balloon)
        m_window->clearBalloon();
}

QMenu *AgentCharacter::openContextMenu(const QPoint &globalPos)
{
    delete m_menu.data();
    m_menu = new QMenu;
    m_menu->setAttribute(Qt::WA_DeleteOnClose);
    m_menu->setObjectName(QStringLiteral("characterMenu"));
    if (m_commands.Visible()) {
        for (const CommandEntry &entry : m_commands.entries()) {
            if (!entry.visible)
                continue;
            QAction *action
                = m_menu->addAction(entry.caption.isEmpty() ? entry.name : entry.caption);
            action->setEnabled(entry.enabled);
            const QString name = entry.name;
            connect(
                action, &QAction::triggered, this, [this, name] { m_engine.emitCommand(name); });
        }
        if (!m_menu->actions().isEmpty())
            m_menu->addSeparator();
    }
    // This character's own commands decide, not the listener's set, which
    // catches up with changes only once the event loop runs.
    if (m_commands.Visible() && !Listener::grammarEntries(m_commands.entries()).isEmpty()) {
        QAction *listen = m_menu->addAction(tr("Listen"));
        listen->setObjectName(QStringLiteral("listen"));
        const QString reason = m_engine.listener().unavailableReason();
        listen->setEnabled(reason.isEmpty());
        listen->setToolTip(reason.isEmpty() ? tr("Say a command") : reason);
        m_menu->setToolTipsVisible(true);
        connect(listen, &QAction::triggered, this,
            [this] { m_engine.listener().startListening(Listener::Mode::Timed); });
    }
    QAction *options = m_menu->addAction(tr("Options..."));
    options->setObjectName(QStringLiteral("options"));
    connect(options, &QAction::triggered, this, [this] { m_engine.setPropertySheetVisible(true); });
    m_menu->popup(globalPos);
    return m_menu;
}

// ---------------------------------------------------------------------------
// The engine

AgentEngine::AgentEngine(
    QStringList characterFolders, EngineServices services, SettingsStore *settings, QObject *parent)
    : AgentEngine(std::move(characterFolders), services,
        std::make_unique<SpeechPlayerOutput>(services), settings, parent)
{ }

AgentEngine::AgentEngine(QStringList characterFolders, EngineServices services,
    std::unique_ptr<SpeechOutput> speech, SettingsStore *settings, QObject *parent)
    : Control(parent)
    , m_folders(std::move(characterFolders))
    , m_services(services)
    , m_speech(std::move(speech))
    , m_settings(settings)
{
    if (m_settings)
        m_options.load(*m_settings);
    connect(m_speech.get(), &SpeechOutput::word, this, [this](int start, int length) {
        if (m_speaker)
            m_speaker->speechWord(start, length);
    });
    connect(m_speech.get(), &SpeechOutput::mouth, this, [this](double level) {
        if (m_speaker)
            m_speaker->speechMouth(level);
    });
    connect(m_speech.get(), &SpeechOutput::finished, this, &AgentEngine::onSpeechFinished);

    m_listener = new Listener(m_services.clock, this);
    m_listener->setGlobalKey(m_services.globalKey);
    m_listener->setModel(m_services.recognizerModel);
    m_listener->setDeviceList([audio = &m_services.audio] { return audio->inputs(); });
    // Each of these leaves the character showing and speaking; the log says
    // why it does less.
    if (const QString missing = m_services.recognizerModel.missing(); !missing.isEmpty())
        qCWarning(lcVoice).noquote() << "speech recognition is off:" << missing;
    if (m_services.audio.inputs().isEmpty())
        qCInfo(lcVoice) << "no microphone: Listen stays disabled until one is plugged in";
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

QString AgentEngine::findCharacter(const QString &file) const
{
    return characterFiles(file, true).value(0);
}

QStringList AgentEngine::characterFiles(const QString &file, bool firstOnly) const
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
        if (firstOnly)
            break;
    }
    return found;
}

bool AgentEngine::Load(const QString &id, const QString &file)
{
    Unload(id);
    m_loadError.clear();
    const QStringList candidates = characterFiles(file, false);
    if (candidates.isEmpty()) {
        m_loadError = QStringLiteral("not found in %1").arg(m_folders.join(QStringLiteral(", ")));
        qCWarning(lcAgent).noquote() << "cannot load character" << file << ":" << m_loadError;
        return false;
    }
    const QString path = candidates.first();
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
