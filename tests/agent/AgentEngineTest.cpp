#include "agent/character/AgentEngine.h"
#include "agent/Placement.h"
#include "agent/character/CharacterWindow.h"
#include "storage/Settings.h"
#include "tests/support/FakeEngineServices.h"
#include "tests/support/TestHome.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMenu>
#include <QRegularExpression>
#include <QScreen>
#include <QSignalSpy>
#include <QSlider>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace agent;

namespace {

const QString kData = QStringLiteral(QUILLORY_SOURCE_DIR "/tests/data/characters");

// Speech that is heard only when the test says so.
class FakeSpeech final : public SpeechOutput
{
public:
    QString displayText(const QString &tagged) const override
    {
        QString shown = tagged;
        return shown.remove(QRegularExpression(QStringLiteral(R"(\\[a-z]+\\)")));
    }
    void speak(const QString &text, const VoiceSpec &voice) override
    {
        spoken << text;
        voices << voice;
        speaking = true;
    }
    void playEffect(const ToneSequence &notes, double volume) override
    {
        effects << notes.size();
        effectVolumes << volume;
    }
    void stop() override
    {
        ++stops;
        if (!speaking)
            return;
        speaking = false;
        if (lateStopMs < 0)
            emit finished(false); // as SpeechPlayer does: at once
        else {
            late = clock->timer([this] { emit finished(false); });
            late->start(lateStopMs);
        }
    }
    bool isSpeaking() const override { return speaking; }

    void finish()
    {
        speaking = false;
        emit finished(true);
    }

    QStringList spoken;
    QList<VoiceSpec> voices;
    QList<int> effects;
    QList<double> effectVolumes;
    int stops = 0;
    bool speaking = false;
    int lateStopMs = -1; // when >= 0, stop() tells of the end that much later
    Clock *clock = nullptr;
    std::unique_ptr<Clock::Timer> late;
};

class AgentEngineTest : public ::testing::Test
{
protected:
    void SetUp() override { makeEngine({ kData }); }

    void makeEngine(const QStringList &folders, SettingsStore *settings = nullptr)
    {
        engine.reset();
        auto fake = std::make_unique<FakeSpeech>();
        fake->clock = &fakes.clock;
        speech = fake.get();
        engine = std::make_unique<AgentEngine>(folders, fakes.services, std::move(fake), settings);
        engine->setTimeScale(0.02);
        QObject::connect(
            engine.get(), &Control::RequestComplete, engine.get(), [this](const RequestPtr &r) {
                completed << r;
                statuses << r->Status;
            });
    }

    AgentCharacter *load(const QString &id = QStringLiteral("dot"))
    {
        EXPECT_TRUE(engine->Load(id, QStringLiteral("Dot.acs")));
        return engine->character(id);
    }

    bool waitFor(const RequestPtr &r, int ms = 3000)
    {
        return fakes.clock.runUntil([&] { return completed.contains(r); }, ms);
    }
    int timesCompleted(const RequestPtr &r) const { return int(completed.count(r)); }
    RequestStatus statusRaised(const RequestPtr &r) const
    {
        const qsizetype i = completed.indexOf(r);
        return i < 0 ? Pending : statuses[i];
    }
    // Lets time pass and posted events run, so that late or repeated
    // completions would show.
    void settle()
    {
        fakes.clock.runUntil([] { return false; }, 60);
    }

    FakeEngineServices fakes;
    FakeSpeech *speech = nullptr;
    std::unique_ptr<AgentEngine> engine;
    QList<RequestPtr> completed;
    QList<RequestStatus> statuses;
};

QByteArray dotWithFrame(int side)
{
    QFile f(kData + "/Dot.acs");
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    QJsonObject o = QJsonDocument::fromJson(f.readAll()).object();
    o["frame"] = QJsonObject { { "width", side }, { "height", side } };
    return QJsonDocument(o).toJson();
}

} // namespace

// ---------------------------------------------------------------------------
// Loading

TEST_F(AgentEngineTest, LooksCharactersUpInTheFoldersInOrder)
{
    QTemporaryDir user;
    TestHome::writeFile(user.filePath("Dot.acs"), dotWithFrame(64));
    makeEngine({ user.path(), kData });
    EXPECT_EQ(load("a")->Width(), 64); // the user's own comes first
    EXPECT_TRUE(engine->Load("b", "dot")); // without ".acs", in other case
    EXPECT_EQ(engine->Characters("b")->Height(), 64);
    EXPECT_TRUE(engine->Load("c", kData + "/Dot.acs")); // a path is taken as it is
    EXPECT_EQ(engine->Characters("c")->Width(), 96);
    EXPECT_TRUE(engine->Characters("a") && engine->Characters("b")); // several at once
}

TEST_F(AgentEngineTest, MissingOrBrokenFilesLeaveNoCharacter)
{
    load("x");
    for (const char *file : { "Nobody.acs", "Broken.acs", "NoArt.acs", "", "../Dot.acs" }) {
        EXPECT_FALSE(engine->Load("x", file)) << file;
        EXPECT_EQ(engine->Characters("x"), nullptr) << file;
    }
}

TEST_F(AgentEngineTest, LoadSaysWhyAndLogsAShadowedCharacter)
{
    QTemporaryDir user;
    TestHome::writeFile(user.filePath("Dot.acs"), dotWithFrame(64));
    TestHome::writeFile(user.filePath("Huge.acs"), QByteArray(CharacterFile::kMaxBytes + 1, ' '));
    makeEngine({ user.path(), kData });
    QStringList lines;
    static QStringList *sink = nullptr;
    sink = &lines;
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext &, const QString &text) { *sink << text; });
    EXPECT_TRUE(engine->Load("a", "Dot"));
    EXPECT_FALSE(engine->Load("b", "Huge"));
    const QString huge = engine->loadError();
    EXPECT_FALSE(engine->Load("c", "Nobody"));
    const QString nobody = engine->loadError();
    qInstallMessageHandler(previous);
    EXPECT_TRUE(lines.filter("rather than").value(0).contains(kData + "/Dot.acs"))
        << lines.join('\n').toStdString();
    EXPECT_TRUE(huge.contains("at most 1048576")) << huge.toStdString();
    EXPECT_TRUE(nobody.startsWith("not found in")) << nobody.toStdString();
}

// ---------------------------------------------------------------------------
// The request queue

TEST_F(AgentEngineTest, RequestsRunInOrderAndEachCompletesOnce)
{
    AgentCharacter *c = load();
    const QList<RequestPtr> requests { c->Show(), c->Play("Greet"), c->Play("pLEASED"),
        c->MoveTo(10, 20), c->Speak("Hello"), c->Hide() };
    for (int i = 1; i < requests.size(); ++i)
        EXPECT_GT(requests[i]->id, requests[i - 1]->id);
    for (const RequestPtr &r : requests)
        EXPECT_EQ(r->Status, Pending);
    EXPECT_TRUE(completed.isEmpty());

    ASSERT_TRUE(fakes.clock.runUntil([&] { return speech->speaking; }, 3000));
    EXPECT_EQ(requests[4]->Status, InProgress);
    EXPECT_EQ(requests[5]->Status, Pending);
    speech->finish();
    ASSERT_TRUE(waitFor(requests.last()));
    settle();

    EXPECT_EQ(completed, requests);
    for (const RequestPtr &r : requests) {
        EXPECT_EQ(timesCompleted(r), 1);
        EXPECT_EQ(r->Status, Complete);
    }
    EXPECT_FALSE(c->Visible());
    EXPECT_EQ(c->window()->framePos(), QPoint(10, 20));
}

TEST_F(AgentEngineTest, CompletionIsNeverRaisedInsideTheCall)
{
    AgentCharacter *c = load();
    const RequestPtr hide = c->Hide(); // already hidden: nothing to do
    EXPECT_TRUE(completed.isEmpty());
    ASSERT_TRUE(waitFor(hide));

    // Nor from a handler that asks for more.
    RequestPtr fromHandler;
    int seenInsideCall = -1;
    QObject::connect(
        engine.get(), &Control::RequestComplete, engine.get(), [&](const RequestPtr &r) {
            if (r->id == hide->id + 1) {
                const qsizetype before = completed.size();
                fromHandler = c->Show(true);
                c->Stop(); // interrupts it at once...
                seenInsideCall = int(completed.size() - before);
            }
        });
    const RequestPtr hideAgain = c->Hide();
    ASSERT_TRUE(waitFor(hideAgain));
    ASSERT_TRUE(fromHandler);
    EXPECT_EQ(seenInsideCall, 0); // ...but raises it later
    EXPECT_EQ(fromHandler->Status, Interrupted);
    ASSERT_TRUE(waitFor(fromHandler));
    EXPECT_EQ(statusRaised(fromHandler), Interrupted);
}

TEST_F(AgentEngineTest, GestureTheFileLacksFailsAndTheQueueGoesOn)
{
    AgentCharacter *c = load();
    c->Show(true);
    const RequestPtr juggle = c->Play("Juggle");
    const RequestPtr greet = c->Play("greet");
    ASSERT_TRUE(waitFor(greet));
    EXPECT_EQ(statusRaised(juggle), Failed);
    EXPECT_EQ(statusRaised(greet), Complete);
}

TEST_F(AgentEngineTest, StopInterruptsEverythingAndCutsSpeechOff)
{
    for (int lateStopMs : { -1, 40 }) {
        SCOPED_TRACE(lateStopMs);
        makeEngine({ kData });
        completed.clear();
        statuses.clear();
        speech->lateStopMs = lateStopMs;
        AgentCharacter *c = load();
        const RequestPtr show = c->Show(true);
        const RequestPtr speak = c->Speak("A long story");
        const RequestPtr greet = c->Play("Greet");
        const RequestPtr move = c->MoveTo(300, 300);
        ASSERT_TRUE(fakes.clock.runUntil([&] { return speech->speaking; }, 3000));
        ASSERT_TRUE(c->window()->balloonShown());
        speech->mouth(0.9);
        ASSERT_EQ(c->window()->speechMouth(), MouthShape::Wide);

        c->Stop();
        EXPECT_EQ(speech->stops, 1);
        EXPECT_FALSE(speech->speaking);
        EXPECT_FALSE(c->window()->balloonShown()); // at once, without lingering
        EXPECT_EQ(c->window()->speechMouth(), std::nullopt);
        EXPECT_EQ(c->window()->pose(), c->file().rest);
        EXPECT_FALSE(c->isAnimating());
        EXPECT_EQ(c->pendingRequests(), 0);

        // Speaking again at once: the end of the speech cut off is not taken
        // for the end of the next, even when it is told after the next began.
        const RequestPtr again = c->Speak("Again");
        ASSERT_TRUE(fakes.clock.runUntil([&] { return speech->spoken.size() == 2; }, 3000));
        settle();
        EXPECT_EQ(again->Status, InProgress);
        speech->finish();
        ASSERT_TRUE(waitFor(again));
        EXPECT_EQ(statusRaised(again), Complete);

        EXPECT_EQ(completed, (QList<RequestPtr> { show, speak, greet, move, again }));
        EXPECT_EQ(statusRaised(show), Complete);
        for (const RequestPtr &r : { speak, greet, move }) {
            EXPECT_EQ(statusRaised(r), Interrupted);
            EXPECT_EQ(timesCompleted(r), 1);
        }
    }
}

TEST_F(AgentEngineTest, WalkingMovesTheFrameThereAndRestsAgain)
{
    AgentCharacter *c = load();
    c->Show(true);
    const QPoint start = c->window()->framePos();
    const RequestPtr walk = c->MoveTo(qint16(start.x() - 400), qint16(start.y() - 100));
    ASSERT_TRUE(fakes.clock.runUntil([&] { return c->isAnimating(); }, 3000));
    ASSERT_TRUE(waitFor(walk));
    EXPECT_EQ(c->window()->framePos(), start - QPoint(400, 100));
    EXPECT_EQ(c->window()->pose(), c->file().rest);
    EXPECT_FALSE(c->isAnimating());

    c->Hide(true);
    const RequestPtr jump = c->MoveTo(5, 6); // hidden: no walk
    ASSERT_TRUE(waitFor(jump));
    EXPECT_EQ(c->window()->framePos(), QPoint(5, 6));
}

TEST_F(AgentEngineTest, ShowAndHidePlayTheirAnimations)
{
    AgentCharacter *c = load();
    const RequestPtr show = c->Show();
    ASSERT_TRUE(fakes.clock.runUntil([&] { return c->Visible(); }, 3000));
    // Showing starts from nothing, so the character never flashes up at rest.
    EXPECT_LT(c->window()->pose().whole.opacity, 0.5);
    ASSERT_TRUE(waitFor(show));
    EXPECT_EQ(c->window()->pose(), c->file().rest);

    const RequestPtr again = c->Show(); // already there
    const RequestPtr hide = c->Hide();
    ASSERT_TRUE(waitFor(again));
    EXPECT_TRUE(c->isAnimating()); // Hiding plays
    EXPECT_TRUE(c->Visible());
    ASSERT_TRUE(waitFor(hide));
    EXPECT_FALSE(c->Visible());
    EXPECT_FALSE(c->isAnimating());
}

TEST_F(AgentEngineTest, NothingTicksWhileTheCharacterRests)
{
    AgentCharacter *c = load();
    c->Show(true);
    const RequestPtr greet = c->Play("Greet");
    ASSERT_TRUE(fakes.clock.runUntil([&] { return greet->Status == InProgress; }, 3000));
    EXPECT_TRUE(c->isAnimating());
    ASSERT_TRUE(waitFor(greet));
    EXPECT_FALSE(c->isAnimating());
    EXPECT_EQ(c->window()->pose(), c->file().rest);
    // Playing while hidden is seen by nobody: it ends at once.
    c->Hide(true);
    const RequestPtr unseen = c->Play("Greet");
    ASSERT_TRUE(waitFor(unseen));
    EXPECT_EQ(statusRaised(unseen), Complete);
    EXPECT_FALSE(c->isAnimating());
}

TEST_F(AgentEngineTest, SoundEffectsPlayAtTheirKeyframesUnlessTurnedOff)
{
    AgentCharacter *c = load();
    EXPECT_TRUE(c->SoundEffectsOn());
    EngineOptions options;
    options.effectsVolume = 40;
    engine->setOptions(options);
    c->Show(true);
    ASSERT_TRUE(waitFor(c->Play("Alert")));
    EXPECT_EQ(speech->effects, QList<int> { 2 }); // the chime's two notes
    EXPECT_EQ(speech->effectVolumes, QList<double> { 0.4 });

    c->setSoundEffectsOn(false);
    ASSERT_TRUE(waitFor(c->Play("Alert")));
    EXPECT_EQ(speech->effects.size(), 1);
}

// ---------------------------------------------------------------------------
// Speaking

TEST_F(AgentEngineTest, SpeakShowsTheWordsAndCompletesWhenSpeechEnds)
{
    AgentCharacter *c = load();
    EngineOptions options;
    options.speechRatePercent = 150;
    options.pitchOffset = -10;
    options.speechVolume = 70;
    engine->setOptions(options);
    c->Show(true);
    const RequestPtr speak = c->Speak("Good \\emp\\ morning");
    ASSERT_TRUE(fakes.clock.runUntil([&] { return speech->speaking; }, 3000));
    EXPECT_EQ(speech->spoken, QStringList { "Good \\emp\\ morning" });
    EXPECT_EQ(speech->voices[0].espeakVoice, "en-us");
    EXPECT_EQ(speech->voices[0].rate, 255); // 150 % of 170
    EXPECT_EQ(speech->voices[0].pitch, 40);
    EXPECT_EQ(speech->voices[0].volume, 70);

    CharacterWindow *w = c->window();
    ASSERT_TRUE(w->balloonShown());
    EXPECT_EQ(w->balloon().text(), "Good morning"); // the tag's space not doubled
    speech->word(6, 7);
    EXPECT_EQ(w->balloon().highlightStart(), 5);
    EXPECT_EQ(w->balloon().highlightLength(), 7);
    const std::pair<double, MouthShape> mouths[] = { { 0.02, MouthShape::Closed },
        { 0.2, MouthShape::Small }, { 0.5, MouthShape::Open }, { 0.9, MouthShape::Wide } };
    for (const auto &[level, shape] : mouths) {
        speech->mouth(level);
        EXPECT_EQ(w->speechMouth(), shape) << level;
    }
    settle();
    EXPECT_EQ(speak->Status, InProgress);

    speech->finish();
    ASSERT_TRUE(waitFor(speak));
    EXPECT_EQ(statusRaised(speak), Complete);
    EXPECT_EQ(w->speechMouth(), std::nullopt);
    EXPECT_TRUE(w->balloonShown()); // a moment longer to finish reading
    EXPECT_TRUE(fakes.clock.runUntil([&] { return !w->balloonShown(); }, 2000));
    EXPECT_FALSE(c->isAnimating());
}

TEST_F(AgentEngineTest, BalloonOnlyWhenVisibleAndWanted)
{
    AgentCharacter *c = load();
    const RequestPtr hidden = c->Speak("Nobody sees me");
    ASSERT_TRUE(fakes.clock.runUntil([&] { return speech->speaking; }, 3000));
    EXPECT_FALSE(c->window()->balloonShown());
    speech->mouth(0.9);
    EXPECT_EQ(c->window()->speechMouth(), std::nullopt);
    speech->finish();
    ASSERT_TRUE(waitFor(hidden));

    EngineOptions options;
    options.balloon = false;
    engine->setOptions(options);
    c->Show(true);
    const RequestPtr quiet = c->Speak("No balloon");
    ASSERT_TRUE(fakes.clock.runUntil([&] { return speech->speaking; }, 3000));
    EXPECT_FALSE(c->window()->balloonShown());
    speech->finish();
    ASSERT_TRUE(waitFor(quiet));
    EXPECT_EQ(statusRaised(quiet), Complete);
}

TEST_F(AgentEngineTest, SpeechThatCannotBeMadeFails)
{
    AgentCharacter *c = load();
    const RequestPtr speak = c->Speak("Hello");
    ASSERT_TRUE(fakes.clock.runUntil([&] { return speech->speaking; }, 3000));
    speech->speaking = false;
    emit speech->finished(false); // not stopped by anyone: the synthesiser gave up
    ASSERT_TRUE(waitFor(speak));
    EXPECT_EQ(statusRaised(speak), Failed);

    const RequestPtr nothing = c->Speak("  \\emp\\ ");
    ASSERT_TRUE(waitFor(nothing));
    EXPECT_EQ(statusRaised(nothing), Complete);
    EXPECT_EQ(speech->spoken.size(), 1);
}

TEST_F(AgentEngineTest, CharactersTakeTurnsToSpeak)
{
    AgentCharacter *a = load("a");
    AgentCharacter *b = load("b");
    const RequestPtr first = a->Speak("One");
    const RequestPtr second = b->Speak("Two");
    ASSERT_TRUE(fakes.clock.runUntil([&] { return second->Status == InProgress; }, 3000));
    settle();
    EXPECT_EQ(speech->spoken, QStringList { "One" });
    speech->finish();
    ASSERT_TRUE(waitFor(first));
    ASSERT_TRUE(fakes.clock.runUntil([&] { return speech->spoken.size() == 2; }, 3000));
    EXPECT_EQ(speech->spoken.last(), "Two");

    a->Stop(); // a is not speaking: b goes on
    EXPECT_TRUE(speech->speaking);
    speech->finish();
    ASSERT_TRUE(waitFor(second));
    EXPECT_EQ(statusRaised(second), Complete);
}

TEST_F(AgentEngineTest, BalloonGrowsTheWindowWithoutMovingTheCharacter)
{
    AgentCharacter *c = load();
    CharacterWindow *w = c->window();
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    c->MoveTo(qint16(area.left() + 300), qint16(area.top() + 300));
    c->Show(true);
    c->Speak("Far enough from the top for the balloon to sit above me, with words "
             "enough to wrap onto several lines of the balloon.");
    ASSERT_TRUE(fakes.clock.runUntil([&] { return w->balloonShown(); }, 3000));
    const QRect frame = w->frameRect();
    EXPECT_EQ(frame.topLeft(), area.topLeft() + QPoint(300, 300));
    EXPECT_TRUE(w->geometry().contains(frame));
    const QRect balloon = w->balloonRect().translated(w->geometry().topLeft());
    EXPECT_LE(balloon.bottom(), frame.top()); // above
    EXPECT_GT(balloon.height(), 60); // wrapped
    EXPECT_LE(balloon.width(), 220 + 40);
    speech->finish();
    ASSERT_TRUE(fakes.clock.runUntil([&] { return !w->balloonShown(); }, 2000));
    EXPECT_EQ(w->geometry(), frame); // no larger than the character again

    // Near the top of the screen it goes below.
    c->MoveTo(qint16(area.left() + 300), qint16(area.top()));
    c->Speak("Down here");
    ASSERT_TRUE(fakes.clock.runUntil([&] { return w->balloonShown(); }, 3000));
    const QRect below = w->balloonRect().translated(w->geometry().topLeft());
    EXPECT_GT(below.top(), w->frameRect().bottom());
    EXPECT_EQ(w->frameRect().topLeft(), area.topLeft() + QPoint(300, 0));
    c->Stop();
}

TEST(Placement, BesideAWindowOnTheSideWithRoomElseBelowOrAbove)
{
    const QRect screen(0, 0, 1280, 800);
    const QSize frame(128, 128);
    const QSize balloon(238, 150);
    struct Case
    {
        QRect window;
        Side side;
        bool clear;
    };
    const Case cases[] = {
        { QRect(200, 200, 500, 400), Side::Right, true },
        { QRect(800, 200, 450, 400), Side::Left, true }, // no room right for the balloon
        { QRect(100, 100, 1100, 300), Side::Below, true }, // as wide as the screen
        { QRect(100, 450, 1100, 330), Side::Above, true },
        { QRect(0, 0, 1280, 800), Side::Below, false }, // the whole screen
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(QString("%1,%2 %3x%4")
                         .arg(c.window.x())
                         .arg(c.window.y())
                         .arg(c.window.width())
                         .arg(c.window.height())
                         .toStdString());
        const Beside at = besideWindow(c.window, frame, balloon, screen);
        EXPECT_EQ(at.side, c.side);
        EXPECT_EQ(at.clear, c.clear);
        const QRect stands(at.frame, frame);
        EXPECT_TRUE(screen.contains(stands));
        if (!c.clear)
            continue;
        EXPECT_FALSE(stands.intersects(c.window));
        // Whatever the balloon says, it opens clear of the window too.
        for (const QSize said : { QSize(238, 40), balloon }) {
            const BalloonPlace b = balloonPlace(stands, said, screen, c.window);
            EXPECT_FALSE(b.rect.intersects(c.window));
            EXPECT_TRUE(screen.contains(b.rect));
        }
        if (c.side == Side::Right || c.side == Side::Left) {
            EXPECT_EQ(stands.bottom(), c.window.bottom()); // his foot level with its foot
        }
    }
    // With nothing to keep clear, the balloon opens as it always has.
    const QRect home(900, 400, 128, 128);
    EXPECT_EQ(balloonPlace(home, balloon, screen).rect,
        balloonPlace(home, balloon, screen, QRect(0, 0, 10, 10)).rect);
    EXPECT_LT(balloonPlace(home, balloon, screen).rect.left(), home.left()); // toward the room
}

TEST_F(AgentEngineTest, BesideAWindowNeitherHeNorHisBalloonCoversIt)
{
    AgentCharacter *c = load();
    CharacterWindow *w = c->window();
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const QRect manager(area.left() + 60, area.top() + 40, 300, 300);
    c->Show(true);
    ASSERT_TRUE(waitFor(c->MoveBeside(manager)));
    EXPECT_FALSE(w->frameRect().intersects(manager));
    c->Speak("This appointment is set for !, 1, 05, p.m,, on the 24th, and the message is !, "
             "a message long enough to wrap the balloon onto several of its lines.");
    ASSERT_TRUE(fakes.clock.runUntil([&] { return w->balloonShown(); }, 3000));
    EXPECT_FALSE(w->geometry().intersects(manager));
    EXPECT_TRUE(w->balloon().text().startsWith("This appointment is set for 1:05 p.m. on the"));
    c->Stop();
    // Speech that cuts a walk beside a window short leaves him at its end.
    const QRect panel(area.left() + 40, area.top() + 300, 300, 200);
    engine->setTimeScale(1.0); // a walk of its real length, to be cut short
    const QPoint from = w->framePos();
    c->MoveBeside(panel);
    ASSERT_TRUE(fakes.clock.runUntil([&] { return w->framePos() != from; }, 3000));
    ASSERT_NE(w->frameRect().bottom(), panel.bottom()); // on the way
    c->Stop();
    EXPECT_FALSE(w->frameRect().intersects(panel));
    EXPECT_EQ(w->frameRect().bottom(), panel.bottom());
    // Still waiting behind speech when new speech stops him: there at once.
    const QRect message(area.left() + 400, area.top() + 320, 300, 200);
    c->Speak("Welcome to Quillory !");
    c->MoveBeside(message);
    c->Stop();
    EXPECT_FALSE(w->frameRect().intersects(message));
    EXPECT_EQ(w->frameRect().bottom(), message.bottom());
    // Walking home forgets the window.
    ASSERT_TRUE(waitFor(c->MoveTo(qint16(area.left() + 10), qint16(area.top() + 300))));
    EXPECT_TRUE(w->keepClear().isNull());
}

// ---------------------------------------------------------------------------
// Unloading, commands, options

TEST_F(AgentEngineTest, UnloadEndsPendingRequestsAndClosesTheWindow)
{
    AgentCharacter *c = load();
    const RequestPtr show = c->Show(true);
    const RequestPtr speak = c->Speak("Bye");
    const RequestPtr greet = c->Play("Greet");
    ASSERT_TRUE(fakes.clock.runUntil([&] { return speech->speaking; }, 3000));
    QPointer<CharacterWindow> window = c->window();
    QPointer<AgentCharacter> character = c;

    engine->Unload("dot");
    EXPECT_EQ(engine->Characters("dot"), nullptr);
    EXPECT_FALSE(speech->speaking);
    EXPECT_FALSE(window->isVisible());
    ASSERT_TRUE(waitFor(greet));
    EXPECT_EQ(statusRaised(speak), Interrupted);
    EXPECT_EQ(statusRaised(greet), Interrupted);
    EXPECT_TRUE(fakes.clock.runUntil([&] { return character.isNull() && window.isNull(); }, 1000));
    settle();
    EXPECT_EQ(completed.size(), 3);
}

TEST_F(AgentEngineTest, WithoutASynthesiserTheCharacterStillShowsItsWords)
{
    // The engine's own player, with no synthesiser and no audio device.
    engine = std::make_unique<AgentEngine>(QStringList { kData }, fakes.services);
    QObject::connect(engine.get(), &Control::RequestComplete, engine.get(),
        [this](const RequestPtr &r) { completed << r; });
    AgentCharacter *c = load();
    c->Show(true);
    const RequestPtr speak = c->Speak("Hello there");
    ASSERT_TRUE(fakes.clock.runUntil([&] { return c->window()->balloonShown(); }, 3000));
    EXPECT_EQ(c->window()->balloon().text(), "Hello there");
    ASSERT_TRUE(waitFor(speak));
    EXPECT_EQ(speak->Status, Failed); // nothing was heard
    EXPECT_TRUE(c->Visible());
    EXPECT_TRUE(waitFor(c->Play("Greet")));
}

TEST_F(AgentEngineTest, WithoutACompositingManagerTheWindowIsCutToTheCharacter)
{
    fakes.windowShape.composites = false;
    AgentCharacter *c = load();
    c->Show(true);
    ASSERT_TRUE(fakes.clock.runUntil([&] { return c->Visible(); }, 3000));
    EXPECT_TRUE(c->window()->masked());
    ASSERT_GE(fakes.windowShape.cuts, 1);
    // The cut keeps the character and drops the empty corner of its frame.
    const QImage cut = fakes.windowShape.lastCut;
    const QPoint centre = c->window()->frameRect().center() - c->window()->pos();
    EXPECT_GT(qAlpha(cut.pixel(centre * cut.devicePixelRatio())), 0);
    EXPECT_EQ(qAlpha(cut.pixel(0, 0)), 0);

    // A compositing manager that starts meanwhile gives the window back whole.
    c->Hide(true);
    ASSERT_TRUE(fakes.clock.runUntil([&] { return !c->Visible(); }, 3000));
    fakes.windowShape.composites = true;
    c->Show(true);
    ASSERT_TRUE(fakes.clock.runUntil([&] { return c->Visible(); }, 3000));
    EXPECT_FALSE(c->window()->masked());
    EXPECT_TRUE(fakes.windowShape.lastCut.isNull());
}

TEST_F(AgentEngineTest, MenuOffersVisibleCommandsAndRaisesTheChosenOne)
{
    AgentCharacter *c = load();
    Commands &commands = c->commands();
    commands.Add("repeat", "Repeat", "[Repeat]", true, true);
    commands.Add("secret", "Secret", "", true, false);
    commands.Add("later", "Not now", "", false, true);
    commands.Add("REPEAT", "Say it again", "[Again]", true, true); // replaces
    ASSERT_EQ(commands.entries().size(), 3);
    EXPECT_EQ(commands.entries()[0].caption, "Say it again");
    commands.setVisible(true);
    c->Show(true);
    ASSERT_TRUE(fakes.clock.runUntil([&] { return c->Visible(); }, 3000));

    QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(40, 40), QPoint(500, 500));
    QApplication::sendEvent(c->window(), &click);
    QMenu *menu = c->contextMenu();
    ASSERT_TRUE(menu);
    QStringList captions;
    for (QAction *a : menu->actions())
        captions << (a->isSeparator() ? "--" : a->text());
    EXPECT_EQ(captions, (QStringList { "Say it again", "Not now", "--", "Listen", "Options..." }));
    EXPECT_FALSE(menu->actions()[1]->isEnabled());

    QSignalSpy chosen(engine.get(), &Control::Command);
    menu->actions()[0]->trigger();
    ASSERT_EQ(chosen.size(), 1);
    EXPECT_EQ(chosen[0][0].value<UserInput>().Name, "REPEAT");

    menu->actions()[4]->trigger();
    EXPECT_TRUE(engine->optionsWindow()->isVisible());

    commands.setVisible(false);
    menu = c->openContextMenu(QPoint(10, 10));
    ASSERT_EQ(menu->actions().size(), 1);
    EXPECT_EQ(menu->actions()[0]->text(), "Options...");
}

TEST_F(AgentEngineTest, OptionsAreKeptInTheSettings)
{
    TestHome home;
    SettingsStore settings(home.paths().settingsFile);
    settings.WriteSetting("agent", "speechrate", "900"); // out of range
    settings.WriteSetting("agent", "pitch", "soft"); // not a number
    settings.WriteSetting("agent", "balloon", "False");
    makeEngine({ kData }, &settings);
    EXPECT_EQ(engine->options().speechRatePercent, 200);
    EXPECT_EQ(engine->options().pitchOffset, 0);
    EXPECT_FALSE(engine->options().balloon);

    engine->setPropertySheetVisible(true);
    OptionsWindow *window = engine->optionsWindow();
    ASSERT_TRUE(window->isVisible());
    window->findChild<QSpinBox *>("balloonFontSize")->setValue(14);
    window->findChild<QSlider *>("effectsVolume")->setValue(25);
    EXPECT_EQ(engine->options().balloonFontSize, 14); // at once
    // Written once settled, at the latest when the window goes.
    engine->setPropertySheetVisible(false);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(settings.ReadSetting("agent", "balloonfontsize"), "14");
    EXPECT_EQ(settings.ReadSetting("agent", "effectsvolume"), "25");

    EngineOptions reread;
    reread.load(settings);
    EXPECT_EQ(reread, engine->options());
}
