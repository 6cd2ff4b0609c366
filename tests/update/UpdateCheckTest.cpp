#include "update/UpdateCheck.h"

#include "calendar/FrmMain.h"
#include "platform/linux/ProcessLauncher.h"
#include "platform/linux/QtNetworkService.h"
#include "storage/ModClock.h"
#include "storage/Settings.h"
#include "tests/support/FakeAgent.h"
#include "tests/support/Fakes.h"
#include "tests/support/LocalHttpServer.h"
#include "tests/support/RecordingLinks.h"
#include "tests/support/SigningKey.h"
#include "tests/support/TestHome.h"
#include "update/FrmDownload.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using Stop = UpdateCheck::Stop;
using Response = LocalHttpServer::Response;

const update::OwnVersion kOwn { 1, 1, 11 };
const QByteArray kProgram = "#!/bin/sh\necho installing\n";

// The real network, with a connection test the test decides.
class LocalNetwork final : public Network
{
public:
    bool isOnline() override { return online; }
    std::optional<QByteArray> fetch(const QUrl &url, int timeoutMs) override
    {
        return real.fetch(url, timeoutMs);
    }
    std::unique_ptr<Transfer> fetchAsync(const QUrl &url, FetchOptions options,
        std::function<void(const FetchResult &result)> finished) override
    {
        return real.fetchAsync(url, std::move(options), std::move(finished));
    }
    bool online = true;
    QtNetworkService real;
};

Response answer(const QByteArray &body, int status = 200)
{
    Response r;
    r.body = body;
    r.status = status;
    return r;
}

QByteArray hexSha(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

// The list's entry for `version` with the SHA-256 of `program`.
QByteArray entry(const QByteArray &version, const QByteArray &program = kProgram)
{
    return "quillory:" + version + ":" + hexSha(program) + ":";
}

// One maker key for the whole suite: key generation is not what is tested.
const SigningKey &maker()
{
    static const SigningKey key;
    return key;
}

// A version list and a download server on 127.0.0.1, speech and boxes faked.
class CheckTest : public ::testing::Test
{
protected:
    CheckTest()
    {
        settings.write(setting::VersionsUrl, lists.url().toString());
        settings.write(setting::DownloadUrl, downloads.url().toString());
    }

    std::unique_ptr<UpdateCheck> makeCheck()
    {
        auto c = std::make_unique<UpdateCheck>(services, settings, home.paths(),
            UpdateCheck::Host {
                [this](const QString &text) { spoken << text; }, [this] { ++unloads; } });
        c->own = kOwn;
        c->limits.listTimeoutMs = 300;
        c->limits.updateTimeoutMs = 300;
        c->trustedKey = testKey();
        return c;
    }
    static update::TrustedKey testKey() { return { maker().publicPem(), "test", {} }; }

    // Runs a check to its end, waiting with the event loop running. Each
    // run is on the next day, as the list is fetched once a day.
    std::optional<Stop> runCheck(UpdateCheck &c)
    {
        clock.set(clock.now().addDays(1));
        QSignalSpy spy(&c, &UpdateCheck::stopped);
        c.run();
        if (spy.isEmpty() && !spy.wait(10000))
            return std::nullopt;
        return spy.takeFirst().at(0).value<Stop>();
    }
    std::optional<Stop> runCheck() { return runCheck(*check); }

    // The list as the maker signs it.
    void offer(const QByteArray &list) { lists.route("/versions.txt", maker().signList(list)); }
    QString offered(const QString &version) const
    {
        return settings.ReadSetting("version", version, "0");
    }
    QStringList saved() const
    {
        return QDir(home.paths().updateFolder()).entryList(QDir::Files | QDir::Hidden);
    }

    FakeClock clock;
    FakeDialogs dialogs;
    FakeLauncher launcher;
    LocalNetwork network;
    FakeAutostart autostart;
    FakePrinter printer;
    Services services { clock, dialogs, launcher, network, autostart, printer };
    TestHome home;
    SettingsStore settings { home.paths().settingsFile };
    LocalHttpServer lists;
    LocalHttpServer downloads;
    QStringList spoken;
    int unloads = 0;
    std::unique_ptr<UpdateCheck> check = makeCheck();
};

TEST_F(CheckTest, ANewerVersionIsAskedOnceEverAndNoIsRemembered)
{
    offer("otherapp:2.0.0:QUILLORY:1.2.0:" + hexSha(kProgram) + ":");
    EXPECT_EQ(runCheck(), Stop::Declined);
    EXPECT_EQ(lists.requests, QStringList { "/versions.txt" });
    EXPECT_EQ(spoken, QStringList { update::kOfferSentence });
    ASSERT_EQ(dialogs.boxes.size(), 1);
    EXPECT_EQ(dialogs.boxes[0].title, "NewVersion");
    EXPECT_EQ(dialogs.boxes[0].text, update::questionText(kOwn, "1.2.0"));
    EXPECT_EQ(dialogs.boxes[0].buttons, MsgButtons::YesNo);
    EXPECT_EQ(offered("1.2.0"), "1");
    EXPECT_TRUE(downloads.requests.isEmpty());

    // The next run of the calendar is not asked again.
    auto nextRun = makeCheck();
    EXPECT_EQ(runCheck(*nextRun), Stop::AlreadyOffered);
    EXPECT_EQ(dialogs.boxes.size(), 1);
    EXPECT_EQ(spoken.size(), 1);

    // Another version is.
    offer(entry("1.3.0"));
    auto later = makeCheck();
    EXPECT_EQ(runCheck(*later), Stop::Declined);
    EXPECT_EQ(dialogs.boxes.size(), 2);
}

TEST_F(CheckTest, TheComparisonIsTextual)
{
    offer(entry("1.1.9"));
    EXPECT_EQ(runCheck(), Stop::Declined) << "119 is greater than 1111 as text";
    offer(entry("1.1.11"));
    EXPECT_EQ(runCheck(), Stop::NotNewer);
    offer(entry("1.1.10"));
    EXPECT_EQ(runCheck(), Stop::NotNewer);
    EXPECT_EQ(dialogs.boxes.size(), 1);
}

TEST_F(CheckTest, BlanksAndLineBreaksAroundTheVersionAreDropped)
{
    offer("otherapp:2.0.0:\r\nquillory: 1.2.0 \r\n: " + hexSha(kProgram) + " :\r\n");
    EXPECT_EQ(runCheck(), Stop::Declined);
    ASSERT_EQ(dialogs.boxes.size(), 1);
    EXPECT_TRUE(dialogs.boxes[0].text.contains("is 1.2.0. Do you"));
    EXPECT_EQ(offered("1.2.0"), "1");
}

struct BadList
{
    const char *name;
    Response response;
    Stop stop;
};

class CheckBadListTest : public CheckTest, public ::testing::WithParamInterface<BadList>
{ };

TEST_P(CheckBadListTest, EndsSilently)
{
    Response response = GetParam().response;
    if (response.status == 200 && response.repeatTo == 0 && !response.stall)
        response.body = maker().signList(response.body);
    lists.route("/versions.txt", response);
    EXPECT_EQ(runCheck(), GetParam().stop);
    EXPECT_TRUE(spoken.isEmpty());
    EXPECT_TRUE(dialogs.boxes.isEmpty());
    EXPECT_TRUE(downloads.requests.isEmpty());
    EXPECT_FALSE(TestHome::readFile(home.paths().settingsFile).contains("[version]"))
        << "nothing recorded";
}

Response flood()
{
    Response r = answer("quillory:9.9.9:");
    r.repeatTo = 50LL * 1024 * 1024;
    return r;
}

Response binary()
{
    QByteArray bytes;
    for (int i = 0; i < 8192; ++i)
        bytes += char((i * 37 + 11) % 256);
    return answer(bytes);
}

Response redirectAway()
{
    Response r = answer({}, 302);
    r.headers = { { "Location", "http://localhost:9/versions.txt" } };
    return r;
}

Response stalled()
{
    Response r;
    r.stall = true;
    return r;
}

Response cut()
{
    Response r = answer("quillory:1.2.0:" + QByteArray(4000, ' '));
    r.closeAfter = 20;
    return r;
}

INSTANTIATE_TEST_SUITE_P(Update, CheckBadListTest,
    ::testing::Values(BadList { "Empty", answer({}), Stop::NoEntry },
        BadList { "FiftyMegabytes", flood(), Stop::ListFailed },
        BadList { "Binary", binary(), Stop::NoEntry },
        BadList { "NoKey", answer("otherapp:2.0.0:"), Stop::NoEntry },
        BadList { "KeyWithoutColon", answer("quillory 1.2.0"), Stop::NoEntry },
        BadList {
            "HugeVersion", answer("quillory:" + QByteArray(10000, '9') + ":"), Stop::NoEntry },
        BadList { "NotFound", answer("quillory:1.2.0:", 404), Stop::ListFailed },
        BadList { "ServerError", answer("quillory:1.2.0:", 500), Stop::ListFailed },
        BadList { "RedirectToAnotherHost", redirectAway(), Stop::ListFailed },
        BadList { "NeverAnswers", stalled(), Stop::ListFailed },
        BadList { "ClosesMidBody", cut(), Stop::ListFailed }),
    [](const ::testing::TestParamInfo<BadList> &info) { return info.param.name; });

TEST_F(CheckTest, AddressesAreHttpsUnlessTheySayOtherwise)
{
    offer(entry("1.2.0"));
    // Without a scheme the plain server is spoken to in TLS, which fails.
    settings.write(setting::VersionsUrl, QStringLiteral("127.0.0.1:%1").arg(lists.serverPort()));
    EXPECT_EQ(runCheck(), Stop::ListFailed);
    EXPECT_TRUE(lists.requests.isEmpty());

    settings.write(setting::VersionsUrl, "ftp://127.0.0.1/");
    EXPECT_EQ(runCheck(), Stop::NoAddress);
    EXPECT_TRUE(dialogs.boxes.isEmpty());
}

TEST_F(CheckTest, YesDownloadsIntoAPrivateFileStartsItAndEndsTheCalendar)
{
    offer(entry("1.2.0"));
    downloads.route("/downloads/update.exe", kProgram);
    QDir().mkpath(home.paths().updateFolder());
    TestHome::writeFile(home.paths().updateFolder() + "/quillory-update-Ab12Cd", "an old one");
    dialogs.answers = { MsgAnswer::Yes };

    EXPECT_EQ(runCheck(), Stop::Started);
    EXPECT_EQ(downloads.requests, QStringList { "/downloads/update.exe" });
    EXPECT_EQ(spoken,
        QStringList(
            { update::kOfferSentence, update::kFetchingSentence, update::kDownloadedSentence }));
    ASSERT_EQ(dialogs.boxes.size(), 2);
    EXPECT_EQ(dialogs.boxes[1].text, update::kDownloadedMessage);
    EXPECT_EQ(dialogs.boxes[1].icon, MsgIcon::Information);
    EXPECT_TRUE(dialogs.boxes[1].title.isEmpty());

    ASSERT_EQ(launcher.started.size(), 1);
    const StartedProgram &started = launcher.started[0];
    EXPECT_TRUE(started.arguments.isEmpty());
    EXPECT_EQ(started.style, WindowStyle::NormalFocus);
    EXPECT_EQ(QFileInfo(started.program).absolutePath(), home.paths().updateFolder());
    EXPECT_EQ(TestHome::readFile(started.program), kProgram);
    EXPECT_EQ(QFileInfo(started.program).permissions()
            & ~(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser),
        QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(saved(), QStringList { QFileInfo(started.program).fileName() })
        << "the earlier download is gone";
    EXPECT_EQ(unloads, 1);
    EXPECT_EQ(check->progressWindow(), nullptr);
}

struct BadDownload
{
    const char *name;
    Response response;
};

class CheckBadDownloadTest : public CheckTest, public ::testing::WithParamInterface<BadDownload>
{ };

TEST_P(CheckBadDownloadTest, IsDeletedAndTheErrorSentenceSpoken)
{
    const BadDownload &bad = GetParam();
    offer(entry("1.2.0"));
    downloads.route("/downloads/update.exe", bad.response);
    dialogs.answers = { MsgAnswer::Yes };
    check->limits.updateMaxBytes = 1024 * 1024;

    EXPECT_EQ(runCheck(), Stop::DownloadFailed);
    EXPECT_EQ(downloads.requests.size(), 1);
    ASSERT_FALSE(spoken.isEmpty());
    EXPECT_EQ(spoken.last(), update::kErrorSentence);
    EXPECT_EQ(dialogs.boxes.size(), 1) << "no message of a download";
    EXPECT_TRUE(launcher.started.isEmpty());
    EXPECT_TRUE(saved().isEmpty());
    EXPECT_EQ(unloads, 0);
    EXPECT_EQ(offered("1.2.0"), "1");
}

Response huge()
{
    Response r = answer("MZ");
    r.announcedLength = 300LL * 1024 * 1024;
    r.stallAfter = 2;
    return r;
}

Response overTheBound()
{
    Response r = answer("MZ\x90");
    r.repeatTo = 3 * 1024 * 1024;
    return r;
}

Response cutProgram()
{
    Response r = answer(kProgram + QByteArray(4000, '#'));
    r.closeAfter = 10;
    return r;
}

INSTANTIATE_TEST_SUITE_P(Update, CheckBadDownloadTest,
    ::testing::Values(BadDownload { "ZeroBytes", answer({}) },
        BadDownload { "ThreeZeroBytes", answer(QByteArray(3, '\0')) },
        BadDownload { "TwoBytes", answer("MZ") }, BadDownload { "ThreeHundredMegabytes", huge() },
        BadDownload { "OverTheBound", overTheBound() },
        BadDownload { "NotFound", answer(kProgram, 404) },
        BadDownload { "ServerError", answer(kProgram, 500) },
        BadDownload { "NeverAnswers", stalled() }, BadDownload { "ClosesMidBody", cutProgram() }),
    [](const ::testing::TestParamInfo<BadDownload> &info) { return info.param.name; });

TEST_F(CheckTest, AnUpdateThatCannotBeStartedIsToldAndTheCalendarCarriesOn)
{
    offer(entry("1.2.0"));
    downloads.route("/downloads/update.exe", kProgram);
    dialogs.answers = { MsgAnswer::Yes };
    launcher.succeed = false;

    EXPECT_EQ(runCheck(), Stop::NotStarted);
    ASSERT_EQ(dialogs.boxes.size(), 3);
    ASSERT_EQ(launcher.started.size(), 1);
    EXPECT_EQ(dialogs.boxes[2].text, update::notStartedText(launcher.started[0].program));
    EXPECT_EQ(dialogs.boxes[2].icon, MsgIcon::Critical);
    EXPECT_TRUE(QFile::exists(launcher.started[0].program)) << "kept to be started by hand";
    EXPECT_EQ(unloads, 0);
}

TEST_F(CheckTest, ADownloadShowsItsProgressAndEndsWithTheCalendar)
{
    offer(entry("1.2.0", kProgram + QByteArray(8000, '#')));
    Response slow = answer(kProgram + QByteArray(8000, '#'));
    slow.stallAfter = 4000;
    downloads.route("/downloads/update.exe", slow);
    dialogs.answers = { MsgAnswer::Yes };
    check->limits.updateTimeoutMs = 60000;

    QSignalSpy spy(check.get(), &UpdateCheck::stopped);
    check->run();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return check->progressWindow() && check->progressWindow()->bar->value() > 0; },
        10000));
    FrmDownload *progress = check->progressWindow();
    EXPECT_EQ(progress->objectName(), "frm_download");
    EXPECT_FALSE(progress->accessibleName().isEmpty());
    EXPECT_FALSE(progress->bar->accessibleName().isEmpty());
    EXPECT_EQ(progress->bar->maximum(), 1000);
    EXPECT_LT(progress->bar->value(), 1000);
    ASSERT_EQ(saved().size(), 1);

    // The calendar's unload cancels it; the part received goes.
    check->cancel();
    ASSERT_EQ(spy.size(), 1);
    EXPECT_EQ(spy.at(0).at(0).value<Stop>(), Stop::Cancelled);
    EXPECT_EQ(check->progressWindow(), nullptr);
    EXPECT_TRUE(saved().isEmpty());
    EXPECT_NE(spoken.last(), update::kErrorSentence);
    EXPECT_TRUE(launcher.started.isEmpty());
}

TEST_F(CheckTest, TheDownloadedProgramRunsThroughTheLauncher)
{
    ProcessLauncher realLauncher;
    Services real { clock, dialogs, realLauncher, network, autostart, printer };
    UpdateCheck c(real, settings, home.paths(),
        UpdateCheck::Host { [](const QString &) {}, [this] { ++unloads; } });
    c.own = kOwn;
    c.trustedKey = testKey();
    const QString marker = home.paths().dataFolder + "/the update ran";
    const QByteArray script = "#!/bin/sh\necho \"$0\" > '" + marker.toUtf8() + "'\n";
    offer(entry("1.2.0", script));
    downloads.route("/downloads/update.exe", script);
    dialogs.answers = { MsgAnswer::Yes };

    EXPECT_EQ(runCheck(c), Stop::Started);
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(marker); }, 10000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return TestHome::readFile(marker).endsWith('\n'); }, 5000));
    const QString ran = QString::fromUtf8(TestHome::readFile(marker)).trimmed();
    EXPECT_EQ(QFileInfo(ran).absolutePath(), home.paths().updateFolder());
    EXPECT_EQ(unloads, 1);
}

struct Refusal
{
    const char *name;
    QByteArray served; // as the server gives it
    const char *reason;
};

class CheckRefusalTest : public CheckTest, public ::testing::WithParamInterface<Refusal>
{ };

// Nothing is asked, fetched or started, nothing recorded, and one box says why.
TEST_P(CheckRefusalTest, IsToldInOneBoxAndNothingIsFetched)
{
    lists.route("/versions.txt", GetParam().served);
    downloads.route("/downloads/update.exe", kProgram);
    dialogs.answers = { MsgAnswer::Yes };

    EXPECT_EQ(runCheck(), Stop::Refused);
    ASSERT_EQ(dialogs.boxes.size(), 1);
    EXPECT_EQ(dialogs.boxes[0].title, "Error!");
    EXPECT_EQ(dialogs.boxes[0].icon, MsgIcon::Critical);
    EXPECT_TRUE(dialogs.boxes[0].text.contains(GetParam().reason))
        << dialogs.boxes[0].text.toStdString();
    EXPECT_TRUE(downloads.requests.isEmpty());
    EXPECT_TRUE(launcher.started.isEmpty());
    EXPECT_TRUE(spoken.isEmpty());
    EXPECT_EQ(offered("1.2.0"), "0");
    EXPECT_EQ(unloads, 0);
}

INSTANTIATE_TEST_SUITE_P(Update, CheckRefusalTest,
    ::testing::Values(Refusal { "Unsigned", entry("1.2.0"), "not signed" },
        Refusal { "SignedByAnotherKey", SigningKey().signList(entry("1.2.0")), "not the maker's" },
        Refusal { "ChangedAfterSigning", maker().signList(entry("1.1.0")).replace("1.1.0", "1.2.0"),
            "not the maker's" },
        Refusal { "NoDigest", maker().signList("quillory:1.2.0:"), "gives no SHA-256" },
        Refusal { "ShortDigest",
            maker().signList("quillory:1.2.0:" + hexSha(kProgram).left(63) + ":"),
            "not 64 hex digits" },
        Refusal { "DigestWithoutItsColon", maker().signList("quillory:1.2.0:" + hexSha(kProgram)),
            "not 64 hex digits" }),
    [](const ::testing::TestParamInfo<Refusal> &info) { return info.param.name; });

TEST_F(CheckTest, ADownloadThatIsNotTheSignedDigestIsDeletedAndToldInOneBox)
{
    offer(entry("1.2.0"));
    downloads.route("/downloads/update.exe", QByteArray("#!/bin/sh\necho something else\n"));
    dialogs.answers = { MsgAnswer::Yes };

    EXPECT_EQ(runCheck(), Stop::Refused);
    ASSERT_EQ(dialogs.boxes.size(), 2) << "the question, then the refusal";
    EXPECT_EQ(dialogs.boxes[1].title, "Error!");
    EXPECT_EQ(dialogs.boxes[1].icon, MsgIcon::Critical);
    EXPECT_TRUE(dialogs.boxes[1].text.contains("does not match the SHA-256"));
    EXPECT_TRUE(launcher.started.isEmpty());
    EXPECT_TRUE(saved().isEmpty());
    EXPECT_FALSE(spoken.contains(update::kDownloadedSentence));
    EXPECT_EQ(unloads, 0);
}

TEST_F(CheckTest, AKeyFileNamedByTheEnvironmentReplacesTheBuiltInKey)
{
    offer(entry("1.2.0"));
    const QString keyFile = home.paths().dataFolder + "/maker.pem";
    TestHome::writeFile(keyFile, maker().publicPem());
    qputenv(update::kPublicKeyVariable, keyFile.toLocal8Bit());
    auto fromFile = makeCheck();
    fromFile->trustedKey = update::trustedPublicKey();
    qunsetenv(update::kPublicKeyVariable);
    EXPECT_EQ(runCheck(*fromFile), Stop::Declined);

    // The built-in key does not know the test's maker.
    auto builtIn = makeCheck();
    builtIn->trustedKey = update::trustedPublicKey();
    EXPECT_EQ(runCheck(*builtIn), Stop::Refused);
}

TEST_F(CheckTest, TheListIsFetchedOnceADayWhateverTheRestarts)
{
    offer(entry("1.2.0"));
    EXPECT_EQ(runCheck(), Stop::Declined);
    EXPECT_EQ(settings.read(setting::LastVersionCheck), clock.now().date().toString(Qt::ISODate));

    // Restarts later that day: a check of each new process does nothing.
    for (int restart = 0; restart < 3; ++restart) {
        clock.set(clock.now().addSecs(3600));
        auto again = makeCheck();
        QSignalSpy spy(again.get(), &UpdateCheck::stopped);
        again->run();
        ASSERT_EQ(spy.size(), 1);
        EXPECT_EQ(spy.at(0).at(0).value<Stop>(), Stop::CheckedToday);
    }
    EXPECT_EQ(lists.requests.size(), 1);

    // The next day fetches again; a failed fetch still counts for its day.
    lists.route("/versions.txt", answer({}, 500));
    auto nextDay = makeCheck();
    EXPECT_EQ(runCheck(*nextDay), Stop::ListFailed);
    EXPECT_EQ(lists.requests.size(), 2);
    auto sameDay = makeCheck();
    QSignalSpy spy(sameDay.get(), &UpdateCheck::stopped);
    sameDay->run();
    ASSERT_EQ(spy.size(), 1);
    EXPECT_EQ(spy.at(0).at(0).value<Stop>(), Stop::CheckedToday);
}

TEST_F(CheckTest, NothingStartsOnceTheCalendarEndsWhileTheDownloadedBoxStands)
{
    offer(entry("1.2.0"));
    downloads.route("/downloads/update.exe", kProgram);
    dialogs.answers = { MsgAnswer::Yes };
    dialogs.whileShown = [this](const RecordedBox &box) {
        if (box.text == update::kDownloadedMessage)
            check->cancel();
    };

    EXPECT_EQ(runCheck(), Stop::Cancelled);
    EXPECT_TRUE(launcher.started.isEmpty());
    EXPECT_TRUE(saved().isEmpty());
    EXPECT_EQ(unloads, 0);
}

TEST_F(CheckTest, TheUserCancelsTheDownloadAndNothingStarts)
{
    offer(entry("1.2.0", kProgram + QByteArray(8000, '#')));
    Response slow = answer(kProgram + QByteArray(8000, '#'));
    slow.stallAfter = 4000;
    downloads.route("/downloads/update.exe", slow);
    dialogs.answers = { MsgAnswer::Yes };
    check->limits.updateTimeoutMs = 60000;

    QSignalSpy spy(check.get(), &UpdateCheck::stopped);
    clock.set(clock.now().addDays(1));
    check->run();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return check->progressWindow() && check->progressWindow()->bar->value() > 0; },
        10000));
    EXPECT_FALSE(check->progressWindow()->com_cancel->accessibleName().isEmpty());
    check->progressWindow()->com_cancel->click();
    ASSERT_EQ(spy.size(), 1);
    EXPECT_EQ(spy.at(0).at(0).value<Stop>(), Stop::Cancelled);
    EXPECT_TRUE(saved().isEmpty());
    EXPECT_TRUE(launcher.started.isEmpty());
    EXPECT_EQ(unloads, 0);
}

// The check wired into a calendar window, as the program runs it.
class CalendarCheckTest : public CheckTest
{
protected:
    CalendarCheckTest()
    {
        settings.write(setting::TwoRun, "False");
        agentControl.completeAtOnce = true;
        agentControl.journal = &journal;
        calendarCheck = std::make_unique<UpdateCheck>(services, settings, home.paths(),
            UpdateCheck::Host {
                [this](const QString &text) { frm->say(text); }, [this] { frm->Form_Unload(); } });
        calendarCheck->own = kOwn;
        calendarCheck->trustedKey = testKey();
        clock.set(QDateTime(QDate(2026, 12, 8), QTime(10, 15, 30)));
        frm = std::make_unique<FrmMain>(services, settings, modClock, home.paths(),
            FrmMain::Links { announcer, manager, *calendarCheck, marking }, agentControl, true);
        frm->Form_Load();
    }
    void tickAt(const QTime &time)
    {
        clock.set(QDateTime(clock.now().date(), time));
        frm->blink_Timer();
    }
    QStringList said() const { return ::spoken(journal); }

    ModClock modClock { clock, autostart, network, home.paths().windowsFolder() };
    RecordingAnnouncer announcer;
    RecordingManager manager;
    RecordingDayMarking marking;
    QStringList journal; // every call of the character, kept past its unload
    FakeAgentControl agentControl;
    std::unique_ptr<UpdateCheck> calendarCheck;
    std::unique_ptr<FrmMain> frm;
};

TEST_F(CalendarCheckTest, WithoutAConnectionFirstTheCheckRunsOnceOneComes)
{
    offer(entry("1.2.0"));
    QSignalSpy spy(calendarCheck.get(), &UpdateCheck::stopped);
    network.online = false;
    tickAt(QTime(10, 15, 32));
    tickAt(QTime(10, 15, 34));
    EXPECT_FALSE(calendarCheck->isRunning());
    network.online = true;
    tickAt(QTime(10, 15, 36));
    EXPECT_TRUE(calendarCheck->isRunning());
    ASSERT_TRUE(spy.wait(10000));
    tickAt(QTime(10, 15, 38));
    tickAt(QTime(10, 15, 40));
    EXPECT_EQ(lists.requests.size(), 1);
    ASSERT_EQ(dialogs.boxes.size(), 1);
    EXPECT_EQ(dialogs.boxes[0].title, "NewVersion");
    EXPECT_TRUE(said().contains(update::kOfferSentence));
}

TEST_F(CalendarCheckTest, AStalledServerNeverHoldsUpTheTimeBandOrAnAppointment)
{
    Response silent;
    silent.stall = true;
    lists.route("/versions.txt", silent);
    calendarCheck->limits.listTimeoutMs = 60000;
    home.writeData("[alarms]\r\n10/17/08/12/2026=NCall home\r\n");
    QSignalSpy spy(calendarCheck.get(), &UpdateCheck::stopped);

    tickAt(QTime(10, 15, 32));
    tickAt(QTime(10, 15, 34)); // the check starts and the tick returns
    ASSERT_TRUE(QTest::qWaitFor([&] { return lists.requests.size() == 1; }, 5000));
    EXPECT_TRUE(calendarCheck->isRunning());
    tickAt(QTime(10, 16, 2));
    EXPECT_EQ(frm->lab_time->text(), "The time is 10:16 AM");
    tickAt(QTime(10, 17, 1));
    EXPECT_EQ(frm->lab_time->text(), "The time is 10:17 AM");
    ASSERT_EQ(announcer.displays.size(), 1);
    EXPECT_EQ(announcer.displays[0].second, "Call home");
    EXPECT_TRUE(calendarCheck->isRunning());
    EXPECT_TRUE(spy.isEmpty());

    // The calendar's unload ends the fetch.
    frm->Form_Unload();
    ASSERT_EQ(spy.size(), 1);
    EXPECT_EQ(spy.at(0).at(0).value<Stop>(), Stop::Cancelled);
}

TEST_F(CalendarCheckTest, YesEndsTheCalendarOnceTheUpdateStarted)
{
    offer(entry("1.2.0"));
    downloads.route("/downloads/update.exe", kProgram);
    dialogs.answers = { MsgAnswer::Yes };
    QSignalSpy spy(calendarCheck.get(), &UpdateCheck::stopped);
    tickAt(QTime(10, 15, 32));
    tickAt(QTime(10, 15, 34));
    ASSERT_TRUE(spy.wait(10000));
    EXPECT_EQ(spy.at(0).at(0).value<Stop>(), Stop::Started);
    EXPECT_EQ(launcher.started.size(), 1);
    EXPECT_TRUE(frm->isUnloaded());
    EXPECT_TRUE(said().contains(update::kDownloadedSentence));
    EXPECT_TRUE(QFile::exists(launcher.started[0].program));
}

} // namespace
