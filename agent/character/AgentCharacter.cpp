#include "agent/character/AgentCharacter.h"

#include "agent/Logging.h"
#include "agent/Placement.h"
#include "agent/character/AgentEngine.h"
#include "agent/character/CharacterWindow.h"

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
    return enqueue(Job { nullptr, Kind::Show, fast, {}, {}, {} });
}

RequestPtr AgentCharacter::Hide(bool fast)
{
    return enqueue(Job { nullptr, Kind::Hide, fast, {}, {}, {} });
}

RequestPtr AgentCharacter::MoveTo(qint16 x, qint16 y)
{
    return enqueue(Job { nullptr, Kind::Move, false, QPoint(x, y), {}, {} });
}

RequestPtr AgentCharacter::MoveBeside(const QRect &window)
{
    const QRect screen = CharacterWindow::screenArea(window.center());
    const Beside at
        = besideWindow(window, m_file->frame, m_window->balloon().largestSize(), screen);
    qCDebug(lcAgent) << m_id << "beside" << window << "on side" << int(at.side) << "clear"
                     << at.clear;
    return enqueue(Job { nullptr, Kind::Move, false, at.frame, {}, window });
}

RequestPtr AgentCharacter::Play(const QString &animation)
{
    return enqueue(Job { nullptr, Kind::Play, false, {}, animation, {} });
}

RequestPtr AgentCharacter::Speak(const QString &text)
{
    return enqueue(Job { nullptr, Kind::Speak, false, {}, text, {} });
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
    // A walk to a window's side is cut short at its end, not halfway: the
    // character must not be left standing over the window he went to help.
    // One still waiting behind other requests is taken at once, for the
    // same reason, unless a later move in the queue goes elsewhere.
    if (m_walk.active && !m_window->keepClear().isNull())
        m_window->setFramePos(m_walk.to);
    const auto lastMove = std::find_if(
        m_queue.crbegin(), m_queue.crend(), [](const Job &job) { return job.kind == Kind::Move; });
    if (lastMove != m_queue.crend() && !lastMove->keepClear.isNull()) {
        m_window->setKeepClear(lastMove->keepClear);
        m_window->setFramePos(lastMove->target);
    }
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
    m_window->setKeepClear(m_current->keepClear);
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
    m_phone.clear();
    m_speakingSinceMs = m_engine.m_services.clock.monotonicMs();
    m_balloonTimer->stop();
    m_spokenText = ShownText::of(m_engine.speech().displayText(text));
    m_balloonSlice = Balloon::sliceFor(m_spokenText.text, 0, 0, {});
    if (m_window->isVisible() && options.balloon)
        m_window->showBalloon(m_spokenText.text.mid(m_balloonSlice.start, m_balloonSlice.length));
    else
        m_window->clearBalloon();
    m_engine.speech().speak(text, options.voiceFor(m_file->voice));
    return true;
}

void AgentCharacter::speechWord(int start, int length)
{
    if (!m_speaking)
        return;
    // The word heard, where the balloon shows it.
    const int end = m_spokenText.at(start + length);
    start = m_spokenText.at(start);
    length = std::max(0, end - start);
    // A long text shows the part being heard.
    const Balloon::Slice slice
        = Balloon::sliceFor(m_spokenText.text, start, length, m_balloonSlice);
    if (slice.start != m_balloonSlice.start || slice.length != m_balloonSlice.length) {
        m_balloonSlice = slice;
        if (m_window->balloonShown())
            m_window->showBalloon(m_spokenText.text.mid(slice.start, slice.length));
    }
    m_window->setBalloonWord(start - m_balloonSlice.start, length);
}

void AgentCharacter::speechMouth(double level)
{
    if (!m_speaking || !m_window->isVisible())
        return;
    // The shape of the sound heard where the file draws it; else loudness.
    const SpokenPhone phone { 0, 1, m_phone };
    const MouthPick pick = pickMouth(m_phone.isEmpty() ? nullptr : &phone, level, m_file->visemes);
    if (pick.viseme)
        m_window->setSpeechMouthPart(m_file->visemes.part(*pick.viseme));
    else
        m_window->setSpeechMouth(pick.shape);
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

} // namespace agent
