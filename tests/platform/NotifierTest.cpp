#include "platform/linux/DBusNotifier.h"
#include "tests/support/PrivateBus.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QTest>

#include <gtest/gtest.h>

namespace {

constexpr char kService[] = "org.freedesktop.Notifications";
constexpr char kPath[] = "/org/freedesktop/Notifications";

// A notification server as desktops run them (org.freedesktop.Notifications),
// answering every call on its path by hand and recording it.
class FakeServer final : public QDBusVirtualObject
{
public:
    struct Posted
    {
        QString app;
        QString icon;
        QString summary;
        QString body;
        QStringList actions;
        QVariantMap hints;
        int timeout = -1;
        uint id = 0;
    };

    explicit FakeServer(QDBusConnection bus)
        : m_bus(std::move(bus))
    { }
    bool start()
    {
        return m_bus.registerService(QLatin1String(kService))
            && m_bus.registerVirtualObject(QLatin1String(kPath), this);
    }
    QString introspect(const QString &) const override { return {}; }
    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override
    {
        const QString member = message.member();
        const QList<QVariant> args = message.arguments();
        if (member == QLatin1String("GetCapabilities")) {
            connection.send(message.createReply(QVariant(capabilities)));
        } else if (member == QLatin1String("Notify") && args.size() == 8) {
            Posted p { args[0].toString(), args[2].toString(), args[3].toString(),
                args[4].toString(), args[5].toStringList(),
                qdbus_cast<QVariantMap>(args[6].value<QDBusArgument>()), args[7].toInt(),
                ++m_last };
            posted.append(p);
            connection.send(message.createReply(QVariant::fromValue(p.id)));
        } else if (member == QLatin1String("CloseNotification") && !args.isEmpty()) {
            closed.append(args[0].toUInt());
            connection.send(message.createReply());
            signal("NotificationClosed", { args[0].toUInt(), 3u });
        } else if (member == QLatin1String("Get") && args.size() == 2
            && args[1].toString() == QLatin1String("Inhibited") && hasInhibited) {
            connection.send(message.createReply(QVariant::fromValue(QDBusVariant(inhibited))));
        } else {
            connection.send(message.createErrorReply(
                QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod"), member));
        }
        return true;
    }
    void signal(const char *name, const QList<QVariant> &args, const char *interface = kService)
    {
        QDBusMessage s = QDBusMessage::createSignal(
            QLatin1String(kPath), QLatin1String(interface), QLatin1String(name));
        s.setArguments(args);
        m_bus.send(s);
    }
    void setInhibited(bool on)
    {
        inhibited = on;
        signal("PropertiesChanged",
            { QString::fromLatin1(kService), QVariantMap { { QStringLiteral("Inhibited"), on } },
                QStringList {} },
            "org.freedesktop.DBus.Properties");
    }

    QStringList capabilities { QStringLiteral("actions"), QStringLiteral("body"),
        QStringLiteral("body-markup") };
    bool hasInhibited = false;
    bool inhibited = false;
    QList<Posted> posted;
    QList<uint> closed;

private:
    QDBusConnection m_bus;
    uint m_last = 40;
};

class NotifierTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (bus.address.isEmpty())
            GTEST_SKIP() << "dbus-daemon could not be started";
    }
    PrivateBus bus { PrivateBus::Services::None };
};

Notifier::Notice tea()
{
    return { QStringLiteral("Quillory"), QStringLiteral("Tuesday\nTea & <cake>"),
        { { QStringLiteral("snooze-15"), QStringLiteral("Snooze 15 min") },
            { QStringLiteral("ok"), QStringLiteral("Ok") } } };
}

TEST_F(NotifierTest, PostsTextActionsAndHintsAndHearsOnlyItsOwnAnswers)
{
    FakeServer server(bus.connect(QStringLiteral("server")));
    ASSERT_TRUE(server.start());
    DBusNotifier notifier(bus.connect(QStringLiteral("client")), QStringLiteral("quillory"),
        QStringLiteral("quillory"));
    QList<QPair<Notifier::Handle, QString>> answers;
    QList<QPair<Notifier::Handle, Notifier::CloseReason>> closings;
    notifier.setOnActionInvoked([&](Notifier::Handle h, const QString &key) {
        answers.append({ h, key });
    });
    notifier.setOnClosed([&](Notifier::Handle h, Notifier::CloseReason why) {
        closings.append({ h, why });
    });

    ASSERT_TRUE(QTest::qWaitFor([&] { return notifier.available(); }, 5000));
    EXPECT_FALSE(notifier.inhibited()); // a server without the property: no do-not-disturb
    const Notifier::Handle first = notifier.notify(tea());
    const Notifier::Handle second = notifier.notify(tea());
    ASSERT_NE(first, 0u);
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.posted.size() == 2; }, 5000));
    const FakeServer::Posted &p = server.posted[0];
    EXPECT_EQ(p.app, "Quillory");
    EXPECT_EQ(p.icon, "quillory");
    EXPECT_EQ(p.summary, "Quillory");
    EXPECT_EQ(p.body, "Tuesday\nTea &amp; &lt;cake&gt;"); // the server reads markup
    EXPECT_EQ(p.actions, QStringList({ "snooze-15", "Snooze 15 min", "ok", "Ok" }));
    EXPECT_EQ(p.hints.value("desktop-entry").toString(), "quillory");
    EXPECT_EQ(p.hints.value("urgency").toInt(), 2); // critical: stays until answered
    EXPECT_EQ(p.timeout, 0);
    QTest::qWait(50); // the replies, with the server's numbers

    server.signal("ActionInvoked", { server.posted[1].id, QStringLiteral("snooze-15") });
    server.signal("ActionInvoked", { 7u, QStringLiteral("ok") }); // another program's
    server.signal("NotificationClosed", { server.posted[1].id, 2u });
    ASSERT_TRUE(QTest::qWaitFor([&] { return !closings.isEmpty(); }, 5000));
    ASSERT_EQ(answers.size(), 1);
    EXPECT_EQ(answers[0].first, second);
    EXPECT_EQ(answers[0].second, "snooze-15");
    EXPECT_EQ(closings[0].first, second);
    EXPECT_EQ(closings[0].second, Notifier::CloseReason::Dismissed);

    notifier.close(first);
    notifier.close(second); // gone already: nothing is sent
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.closed.size() == 1; }, 5000));
    EXPECT_EQ(server.closed[0], server.posted[0].id);
    QTest::qWait(50);
    EXPECT_EQ(server.closed.size(), 1);
}

TEST_F(NotifierTest, AServerWithoutActionsOrMarkupGetsNeither)
{
    FakeServer server(bus.connect(QStringLiteral("server")));
    server.capabilities = { QStringLiteral("body") };
    ASSERT_TRUE(server.start());
    DBusNotifier notifier(bus.connect(QStringLiteral("client")));
    notifier.notify(tea()); // before the server has told what it offers
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.posted.size() == 1; }, 5000));
    EXPECT_TRUE(server.posted[0].actions.isEmpty());
    EXPECT_EQ(server.posted[0].body, "Tuesday\nTea & <cake>");
}

TEST_F(NotifierTest, WithoutAServerNothingIsPostedAndAWithdrawalIsHarmless)
{
    DBusNotifier notifier(bus.connect(QStringLiteral("client")));
    EXPECT_FALSE(notifier.available());
    // Posted before the bus has answered, it waits; after, nothing is posted.
    EXPECT_TRUE(QTest::qWaitFor([&] { return notifier.notify(tea()) == 0; }, 5000));
    EXPECT_FALSE(notifier.available());
    notifier.close(1);
    notifier.close(0);
    notifier.close(99);
    EXPECT_FALSE(notifier.inhibited());

    // No bus at all.
    DBusNotifier unconnected(QDBusConnection(QStringLiteral("none")));
    EXPECT_FALSE(unconnected.available());
    EXPECT_EQ(unconnected.notify(tea()), 0u);
}

TEST_F(NotifierTest, OnTheSessionBusItJoinsOnlyWhenStartedOrFirstUsed)
{
    qputenv("DBUS_SESSION_BUS_ADDRESS", bus.address.toUtf8());
    FakeServer server(bus.connect(QStringLiteral("server")));
    ASSERT_TRUE(server.start());
    // Qt's own name for its session bus connection.
    const auto joined
        = [] { return QDBusConnection(QStringLiteral("qt_default_session_bus")).isConnected(); };
    ASSERT_FALSE(joined()) << "something joined the session bus before the test";
    DBusNotifier notifier;
    EXPECT_FALSE(joined());
    EXPECT_FALSE(notifier.inhibited());
    ASSERT_NE(notifier.notify(tea()), 0u);
    EXPECT_TRUE(joined());
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.posted.size() == 1; }, 5000));

    DBusNotifier started;
    started.start();
    EXPECT_TRUE(QTest::qWaitFor([&] { return started.available(); }, 5000));
}

TEST_F(NotifierTest, DoNotDisturbIsReadAndFollowedWhereTheServerTellsIt)
{
    FakeServer server(bus.connect(QStringLiteral("server")));
    server.hasInhibited = true;
    server.inhibited = true;
    ASSERT_TRUE(server.start());
    DBusNotifier notifier(bus.connect(QStringLiteral("client")));
    QList<bool> changes;
    notifier.setOnInhibitedChanged([&](bool on) { changes.append(on); });
    ASSERT_TRUE(QTest::qWaitFor([&] { return notifier.inhibited(); }, 5000));
    server.setInhibited(false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !notifier.inhibited(); }, 5000));
    EXPECT_EQ(changes, QList<bool>({ true, false }));
}

} // namespace
