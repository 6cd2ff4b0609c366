#include "platform/linux/OnDemandNetwork.h"
#include "platform/linux/QtNetworkService.h"
#include "tests/support/LocalHttpServer.h"
#include "tests/support/TestHome.h"

#include <QCoreApplication>
#include <QTest>

#include <gtest/gtest.h>

#include <optional>

namespace {

using Outcome = Network::Outcome;

// Fetches through the real service from servers in this process.
class NetworkTest : public ::testing::Test
{
protected:
    std::optional<Network::FetchResult> fetch(const QUrl &url, Network::FetchOptions options = {})
    {
        std::optional<Network::FetchResult> result;
        auto transfer = network.fetchAsync(
            url, std::move(options), [&](const Network::FetchResult &r) { result = r; });
        EXPECT_FALSE(result) << "finished inside the call";
        EXPECT_TRUE(QTest::qWaitFor([&] { return result.has_value(); }, 10000));
        return result;
    }

    QtNetworkService network;
    LocalHttpServer server;
};

TEST_F(NetworkTest, BodyOfAnAnswerAndFailuresOfTheOthers)
{
    server.route("/versions.txt", "quillory:1.2.0:");
    server.route("/missing", "gone", 404);
    server.route("/broken", "oops", 500);

    auto ok = fetch(server.url("/versions.txt"));
    ASSERT_TRUE(ok);
    EXPECT_EQ(ok->outcome, Outcome::Ok);
    EXPECT_EQ(ok->body, "quillory:1.2.0:");
    EXPECT_EQ(ok->httpStatus, 200);

    for (const char *path : { "/missing", "/broken" }) {
        auto failed = fetch(server.url(path));
        ASSERT_TRUE(failed);
        EXPECT_EQ(failed->outcome, Outcome::Failed) << path;
        EXPECT_TRUE(failed->body.isEmpty()) << "an error page is no body";
    }
}

TEST_F(NetworkTest, OnlyHttpAndHttpsAreFetched)
{
    TestHome home;
    home.writeData("[alarms]\r\n");
    for (const QUrl &url : { QUrl::fromLocalFile(home.dataFile()), QUrl("ftp://127.0.0.1/x"),
             QUrl("data:text/plain,quillory:9.9.9:"), QUrl() }) {
        auto result = fetch(url);
        ASSERT_TRUE(result);
        EXPECT_EQ(result->outcome, Outcome::Refused) << url.toString().toStdString();
    }
}

TEST_F(NetworkTest, RedirectsStayOnTheSameOrigin)
{
    LocalHttpServer elsewhere(true);
    elsewhere.route("/versions.txt", "quillory:6.6.6:");
    LocalHttpServer::Response away;
    away.status = 302;
    away.headers = { { "Location", elsewhere.url("/versions.txt", "localhost").toEncoded() } };
    server.route("/away", away);
    LocalHttpServer::Response near;
    near.status = 301;
    near.headers = { { "Location", "/versions.txt" } };
    server.route("/near", near);
    server.route("/versions.txt", "quillory:1.2.0:");

    auto followed = fetch(server.url("/near"));
    ASSERT_TRUE(followed);
    EXPECT_EQ(followed->outcome, Outcome::Ok);
    EXPECT_EQ(followed->body, "quillory:1.2.0:");

    auto refused = fetch(server.url("/away"));
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->outcome, Outcome::Failed);
    EXPECT_EQ(elsewhere.requests.size(), 0);
}

TEST_F(NetworkTest, AStalledServerTimesOut)
{
    LocalHttpServer::Response silent;
    silent.stall = true;
    server.route("/silent", silent);
    LocalHttpServer::Response halfway;
    halfway.body = QByteArray(4000, 'a');
    halfway.stallAfter = 1000;
    server.route("/halfway", halfway);

    Network::FetchOptions options;
    options.timeoutMs = 200;
    for (const char *path : { "/silent", "/halfway" }) {
        auto result = fetch(server.url(path), options);
        ASSERT_TRUE(result);
        EXPECT_EQ(result->outcome, Outcome::TimedOut) << path;
    }
}

TEST_F(NetworkTest, AConnectionClosedMidBodyFails)
{
    LocalHttpServer::Response cut;
    cut.body = QByteArray(4000, 'a');
    cut.closeAfter = 1000;
    server.route("/cut", cut);
    auto result = fetch(server.url("/cut"));
    ASSERT_TRUE(result);
    EXPECT_EQ(result->outcome, Outcome::Failed);
}

TEST_F(NetworkTest, BodiesBeyondTheBoundEndTheTransfer)
{
    // Announced: ended before anything is read.
    LocalHttpServer::Response announced;
    announced.body = "MZ";
    announced.announcedLength = 300LL * 1024 * 1024;
    announced.stallAfter = 2;
    server.route("/announced", announced);
    // Not announced: ended once the bound is passed.
    LocalHttpServer::Response flood;
    flood.body = "0123456789";
    flood.repeatTo = 50LL * 1024 * 1024;
    flood.announcedLength = LocalHttpServer::kUnannounced;
    server.route("/flood", flood);
    LocalHttpServer::Response honestFlood;
    honestFlood.body = "0123456789";
    honestFlood.repeatTo = 50LL * 1024 * 1024;
    server.route("/honest", honestFlood);

    Network::FetchOptions options;
    options.maxBytes = 1024 * 1024;
    auto first = fetch(server.url("/announced"), options);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->outcome, Outcome::TooLarge);
    EXPECT_EQ(first->received, 0);

    auto second = fetch(server.url("/honest"), options);
    ASSERT_TRUE(second);
    EXPECT_EQ(second->outcome, Outcome::TooLarge);

    qint64 stored = 0;
    options.onData = [&](QByteArrayView chunk) {
        stored += chunk.size();
        return true;
    };
    auto third = fetch(server.url("/flood"), options);
    ASSERT_TRUE(third);
    EXPECT_EQ(third->outcome, Outcome::TooLarge);
    EXPECT_LE(stored, options.maxBytes);
}

TEST_F(NetworkTest, TheBodyGoesToItsSinkAndASinkThatFailsEndsTheTransfer)
{
    LocalHttpServer::Response big;
    big.body = "abcdefgh";
    big.repeatTo = 300 * 1024;
    server.route("/big", big);

    QByteArray sunk;
    qint64 lastReceived = -1;
    qint64 lastTotal = 0;
    Network::FetchOptions options;
    options.onData = [&](QByteArrayView chunk) {
        sunk += chunk.toByteArray();
        return true;
    };
    options.onProgress = [&](qint64 received, qint64 total) {
        lastReceived = received;
        lastTotal = total;
    };
    auto result = fetch(server.url("/big"), options);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->outcome, Outcome::Ok);
    EXPECT_TRUE(result->body.isEmpty());
    EXPECT_EQ(sunk.size(), 300 * 1024);
    EXPECT_TRUE(sunk.startsWith("abcdefghabcdefgh"));
    EXPECT_EQ(lastReceived, 300 * 1024);
    EXPECT_EQ(lastTotal, 300 * 1024);

    options.onData = [](QByteArrayView) { return false; };
    auto failed = fetch(server.url("/big"), options);
    ASSERT_TRUE(failed);
    EXPECT_EQ(failed->outcome, Outcome::Failed);
}

TEST_F(NetworkTest, ATlsErrorIsAFailedFetch)
{
    server.useTls(TestHome::readFile(QUILLORY_SOURCE_DIR "/tests/data/tls/selfsigned.crt"),
        TestHome::readFile(QUILLORY_SOURCE_DIR "/tests/data/tls/selfsigned.key"));
    server.route("/versions.txt", "quillory:1.2.0:");
    auto result = fetch(server.url("/versions.txt"));
    ASSERT_TRUE(result);
    EXPECT_EQ(result->outcome, Outcome::Failed);
    EXPECT_TRUE(result->body.isEmpty());
    EXPECT_TRUE(server.requests.isEmpty()) << "nothing was asked over the refused connection";
}

TEST_F(NetworkTest, ATransferDeletedEarlyOrInItsHandlerIsSafe)
{
    LocalHttpServer::Response silent;
    silent.stall = true;
    server.route("/silent", silent);
    server.route("/quick", "ok");

    bool called = false;
    auto cancelled = network.fetchAsync(
        server.url("/silent"), {}, [&](const Network::FetchResult &) { called = true; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.count("/silent") == 1; }, 5000));
    cancelled.reset();
    // A refusal is delivered from the event loop; deleted first, it never comes.
    auto refused = network.fetchAsync(
        QUrl("ftp://x/y"), {}, [&](const Network::FetchResult &) { called = true; });
    refused.reset();

    std::unique_ptr<Network::Transfer> own;
    bool done = false;
    own = network.fetchAsync(server.url("/quick"), {}, [&](const Network::FetchResult &r) {
        EXPECT_TRUE(r.ok());
        own.reset();
        done = true;
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return done; }, 5000));
    // Whatever the cancelled ones left queued has been delivered by now.
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
    EXPECT_FALSE(called);
}

// The calendar's network is a module loaded at its first use: the module
// built beside it fetches as the service does, and without it every fetch
// fails as on a machine without a connection, never inside the call.
TEST(OnDemandNetworkTest, TheModuleFetchesAndAMissingOneFailsEveryFetch)
{
    LocalHttpServer server;
    server.route("/versions.txt", "quillory:1.2.0:");
    OnDemandNetwork installed;
    std::optional<Network::FetchResult> result;
    auto transfer = installed.fetchAsync(
        server.url("/versions.txt"), {}, [&](const Network::FetchResult &r) { result = r; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return result.has_value(); }, 10000));
    EXPECT_EQ(result->body, "quillory:1.2.0:");

    OnDemandNetwork missing({ QStringLiteral("/nonexistent") });
    EXPECT_FALSE(missing.isOnline());
    EXPECT_FALSE(missing.fetch(server.url("/versions.txt"), 1000));
    result.reset();
    std::unique_ptr<Network::Transfer> own;
    own = missing.fetchAsync(server.url("/versions.txt"), {}, [&](const Network::FetchResult &r) {
        result = r;
        own.reset();
    });
    EXPECT_FALSE(result) << "finished inside the call";
    ASSERT_TRUE(QTest::qWaitFor([&] { return result.has_value(); }, 5000));
    EXPECT_EQ(result->outcome, Outcome::Failed);
    EXPECT_TRUE(result->error.contains("not installed")) << result->error.toStdString();
    bool called = false;
    auto cancelled = missing.fetchAsync(
        server.url("/versions.txt"), {}, [&](const Network::FetchResult &) { called = true; });
    cancelled.reset();
    QCoreApplication::processEvents();
    EXPECT_FALSE(called);
}

} // namespace
