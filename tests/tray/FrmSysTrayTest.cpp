#include "tray/FrmSysTray.h"

#include "tests/support/FakeTrayBackend.h"
#include "tests/support/QtPrinters.h"
#include "tray/QtTrayBackend.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QMenu>
#include <QPixmap>
#include <QPointer>
#include <QTest>

#include <gtest/gtest.h>

#include <utility>

namespace {

QIcon solidIcon(Qt::GlobalColor colour)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(colour);
    return QIcon(pixmap);
}

class FrmSysTrayTest : public ::testing::Test
{
protected:
    FrmSysTrayTest()
    {
        const auto record = [this](const char *name) {
            return [this, name](
                       int button) { events << QStringLiteral("%1:%2").arg(name).arg(button); };
        };
        QObject::connect(&tray, &FrmSysTray::SysTrayMouseDown, record("down"));
        QObject::connect(&tray, &FrmSysTray::SysTrayMouseUp, record("up"));
        QObject::connect(&tray, &FrmSysTray::SysTrayDoubleClick, record("double"));
        QObject::connect(&tray, &FrmSysTray::SysTrayMouseMove, [this] { events << "move"; });
        QObject::connect(&tray, &FrmSysTray::MenuClick, [this](int index, const QString &key) {
            events << QStringLiteral("menu:%1:%2").arg(index).arg(key);
        });
    }

    // Items "Item0".. keyed "k0"..
    void addItems(int count)
    {
        for (int i = 0; i < count; ++i)
            tray.AddMenuItem(QStringLiteral("Item%1").arg(i), QStringLiteral("k%1").arg(i), false);
    }
    QStringList items() const
    {
        QStringList out;
        for (int i = 0; i < tray.menuItemCount(); ++i)
            out << tray.menuItemCaption(i) + '/' + tray.menuItemKey(i);
        return out;
    }
    QAction *action(int index) const { return tray.menu()->actions().value(index); }

    std::shared_ptr<TrayCalls> calls = std::make_shared<TrayCalls>();
    FrmSysTray tray { std::make_unique<FakeTrayBackend>(calls) };
    QStringList events;
};

TEST(FrmSysTrayLoad, AddsTheWindowIconOrElseTheBuiltInOneAndRemovesItOnce)
{
    const QIcon saved = QApplication::windowIcon();
    const QIcon green = solidIcon(Qt::green);
    QApplication::setWindowIcon(green);
    auto calls = std::make_shared<TrayCalls>();
    {
        FrmSysTray tray(std::make_unique<FakeTrayBackend>(calls));
        EXPECT_EQ(calls->icon.cacheKey(), green.cacheKey());
        EXPECT_EQ(tray.menuItemCount(), 1);
        EXPECT_FALSE(tray.menuItemVisible(0));
        tray.unload();
        tray.unload();
        // Neither a late message nor a change may reach the removed icon.
        EXPECT_FALSE(calls->send(TrayMessage::LeftDown));
        tray.setToolTip(QStringLiteral("later"));
        tray.setIconHandle(solidIcon(Qt::red));
    }
    EXPECT_EQ(calls->log, QStringList({ "add Quillory", "remove" }));

    // Without unload the destructor removes it; a blank square would mean
    // the built-in icon is missing from the resources.
    QApplication::setWindowIcon(QIcon());
    calls->log.clear();
    {
        FrmSysTray tray(std::make_unique<FakeTrayBackend>(calls));
    }
    QApplication::setWindowIcon(saved);
    EXPECT_EQ(calls->log, QStringList({ "add Quillory", "remove" }));
    EXPECT_FALSE(calls->send(TrayMessage::LeftDown));
    const QImage image = calls->icon.pixmap(QSize(16, 16)).toImage();
    ASSERT_FALSE(image.isNull());
    EXPECT_GT(qAlpha(image.pixel(8, 8)), 0);
}

TEST_F(FrmSysTrayTest, FirstItemFillsThePlaceholderAndTheLastDefaultWins)
{
    EXPECT_EQ(tray.AddMenuItem(QStringLiteral("&Show"), QStringLiteral("show"), false), 0);
    EXPECT_TRUE(tray.menuItemVisible(0));
    EXPECT_EQ(tray.AddMenuItem(QStringLiteral("E&xit"), QStringLiteral("exit"), false), 1);
    EXPECT_EQ(items(), QStringList({ "&Show/show", "E&xit/exit" }));
    EXPECT_EQ(action(1)->text(), QStringLiteral("E&xit"));
    EXPECT_EQ(tray.DefaultMenuIndex(), 0);
    for (int i = 0; i < 6; ++i)
        tray.AddMenuItem(QStringLiteral("More"), QString(), true);
    tray.AddMenuItem(QStringLiteral("Plain"), QString(), false);
    EXPECT_EQ(tray.DefaultMenuIndex(), 7);
}

TEST_F(FrmSysTrayTest, DefaultMenuIndexOutsideTheMenuStoresZero)
{
    addItems(3);
    tray.setDefaultMenuIndex(2);
    EXPECT_EQ(tray.DefaultMenuIndex(), 2);
    tray.setDefaultMenuIndex(3);
    EXPECT_EQ(tray.DefaultMenuIndex(), 0);
    tray.setDefaultMenuIndex(2);
    tray.setDefaultMenuIndex(-1);
    EXPECT_EQ(tray.DefaultMenuIndex(), 0);
}

TEST_F(FrmSysTrayTest, RemovingMovesLaterItemsUpButOnlyEmptiesItemZero)
{
    addItems(5);
    tray.setDefaultMenuIndex(4);
    tray.RemoveMenuItem(2);
    EXPECT_EQ(items(), QStringList({ "Item0/k0", "Item1/k1", "Item3/k3", "Item4/k4" }));
    EXPECT_EQ(tray.menu()->actions().size(), 4);
    EXPECT_EQ(action(2)->text(), QStringLiteral("Item3"));
    // The default is left past the end: the menu still shows, unmarked.
    EXPECT_EQ(tray.DefaultMenuIndex(), 4);
    tray.ShowMenu();
    EXPECT_EQ(tray.menu()->defaultAction(), nullptr);

    tray.RemoveMenuItem(0);
    EXPECT_EQ(items().first(), QStringLiteral("/k0"));
    EXPECT_TRUE(tray.menuItemVisible(0));
    EXPECT_EQ(tray.AddMenuItem(QStringLiteral("New"), QString(), false), 4);
}

TEST_F(FrmSysTrayTest, SeparatorsMoveWithTheirCaptions)
{
    for (const char *caption : { "Open", "Hide", "-", "Exit" })
        tray.AddMenuItem(QString::fromLatin1(caption), QString(), false);
    tray.RemoveMenuItem(1);
    EXPECT_TRUE(action(1)->isSeparator());
    EXPECT_FALSE(action(2)->isSeparator());
    tray.RemoveMenuItem(1);
    EXPECT_FALSE(action(1)->isSeparator());
    EXPECT_EQ(action(1)->text(), QStringLiteral("Exit"));
}

TEST_F(FrmSysTrayTest, IndexesOutsideTheMenuAreIgnored)
{
    addItems(3);
    for (const int index : { -1, 3, 300 }) {
        tray.RemoveMenuItem(index);
        tray.EnableMenuItem(index, false);
    }
    tray.EnableMenuItem(1, false);
    EXPECT_EQ(items(), QStringList({ "Item0/k0", "Item1/k1", "Item2/k2" }));
    EXPECT_EQ(
        QList<bool>({ tray.menuItemEnabled(0), tray.menuItemEnabled(1), tray.menuItemEnabled(2) }),
        QList<bool>({ true, false, true }));
}

TEST_F(FrmSysTrayTest, ChoosingAnItemReportsItsIndexAndKeyAfterARemoval)
{
    addItems(4);
    tray.RemoveMenuItem(1);
    for (const int index : { 1, 2, 0 })
        action(index)->trigger();
    EXPECT_EQ(events, QStringList({ "menu:1:k2", "menu:2:k3", "menu:0:k0" }));
}

TEST_F(FrmSysTrayTest, ShowMenuPopsUpAtTheCursorWithOnlyTheDefaultInBold)
{
    addItems(3);
    tray.setDefaultMenuIndex(1);
    tray.ShowMenu();
    EXPECT_EQ(calls->log.last(), QStringLiteral("popup"));
    EXPECT_EQ(calls->menu, tray.menu());
    EXPECT_EQ(calls->popupPos, QCursor::pos());
    EXPECT_EQ(tray.menu()->defaultAction(), action(1));
    tray.setDefaultMenuIndex(2);
    tray.ShowMenu();
    EXPECT_EQ(tray.menu()->defaultAction(), action(2));
    EXPECT_FALSE(action(1)->font().bold());
    EXPECT_TRUE(action(2)->font().bold());
}

TEST_F(FrmSysTrayTest, TheTipIsASixtyFourCharacterFieldAndTheSameIconChangesNothing)
{
    const QString seventy = QString(60, 'x') + QStringLiteral("0123456789");
    tray.setToolTip(seventy);
    EXPECT_EQ(tray.ToolTip(), seventy.left(64));
    tray.setToolTip(QStringLiteral("Short")); // nothing of the longer text shows through
    tray.setToolTip(QString(63, 'y'));
    EXPECT_EQ(tray.ToolTip(), QString(63, 'y'));
    EXPECT_EQ(calls->log.mid(1),
        QStringList({ "tip " + seventy.left(64), "tip Short", "tip " + QString(63, 'y') }));

    const QIcon red = solidIcon(Qt::red);
    calls->log.clear();
    tray.setIconHandle(red);
    tray.setIconHandle(QIcon(red)); // a copy shares the cache key
    tray.setIconHandle(solidIcon(Qt::blue));
    EXPECT_EQ(calls->log, QStringList({ "icon", "icon" }));
}

TEST_F(FrmSysTrayTest, MouseMessagesBecomeSignalsAlsoWhenTheyArriveAsCoordinates)
{
    for (int message = 510; message <= 520; ++message)
        ASSERT_TRUE(calls->send(message));
    EXPECT_EQ(events,
        QStringList({ "move", "down:1", "up:1", "double:1", "down:2", "up:2", "double:2" }));

    events.clear();
    for (const double twips : { 7770.0, 6216.0 }) // right double-click at 15 and 12 twips a pixel
        tray.handleMouseMessage(FrmSysTray::messageFromCoordinate(twips));
    EXPECT_EQ(events, QStringList({ "double:2", "double:2" }));
    for (int message = 512; message <= 518; ++message) {
        EXPECT_EQ(FrmSysTray::messageFromCoordinate(message * 15.0), message);
        EXPECT_EQ(FrmSysTray::messageFromCoordinate(message * 12.0), message);
    }
    // Next to the real ones, between pixels, and multiples of the wrong scale.
    for (const double twips : { 7665.0, 7785.0, 6132.0, 6228.0, 7681.0, 7687.5, 6150.0, 512.0 })
        EXPECT_EQ(FrmSysTray::messageFromCoordinate(twips), -1) << twips;
}

// The calendar's Exit: the host deletes the component from the chosen
// item's own signal, while the menu is still handling the click.
TEST(FrmSysTrayExit, DeletingTheComponentFromItsMenuLeavesTheMenuUntilTheLoopIsBack)
{
    auto calls = std::make_shared<TrayCalls>();
    auto *tray = new FrmSysTray(std::make_unique<FakeTrayBackend>(calls));
    tray->AddMenuItem(QStringLiteral("&Show"), QStringLiteral("show"));
    tray->AddMenuItem(QStringLiteral("&Exit"), QStringLiteral("exit"));
    QStringList clicked;
    QObject::connect(tray, &FrmSysTray::MenuClick, [&](int, const QString &key) {
        clicked << key;
        if (key == QLatin1String("exit"))
            delete std::exchange(tray, nullptr);
    });
    QPointer<QMenu> menu = tray->menu();
    QAction *exitItem = menu->actions().value(1);
    ASSERT_TRUE(exitItem);

    // A real click, so the menu's own code runs on after the signal.
    menu->popup(QPoint(20, 20));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(exitItem).center());
    EXPECT_EQ(clicked, QStringList { "exit" });
    EXPECT_EQ(tray, nullptr);
    EXPECT_EQ(calls->log.last(), "remove");
    ASSERT_FALSE(menu.isNull());
    EXPECT_FALSE(menu->isVisible());
    // Its items no longer reach the deleted component.
    menu->actions().value(0)->trigger();
    EXPECT_EQ(clicked, QStringList { "exit" });

    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(menu.isNull());
}

TEST(QtTrayBackend, ClicksArriveAsButtonDownThenUp)
{
    using Messages = QList<int>;
    EXPECT_EQ(QtTrayBackend::messagesFor(QSystemTrayIcon::Trigger), Messages({ 513, 514 }));
    EXPECT_EQ(QtTrayBackend::messagesFor(QSystemTrayIcon::DoubleClick), Messages({ 515 }));
    EXPECT_EQ(QtTrayBackend::messagesFor(QSystemTrayIcon::Context), Messages({ 516, 517 }));
    EXPECT_TRUE(QtTrayBackend::messagesFor(QSystemTrayIcon::MiddleClick).isEmpty());
}

int trayInfoMessages = 0;

TEST(QtTrayBackend, WithoutANotificationAreaTheTrayStillWorksAndSaysSoOnce)
{
    if (QSystemTrayIcon::isSystemTrayAvailable())
        GTEST_SKIP() << "this desktop has a notification area";
    trayInfoMessages = 0;
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext &context, const QString &) {
            trayInfoMessages
                += type == QtInfoMsg && qstrcmp(context.category, "quillory.tray") == 0;
        });
    {
        FrmSysTray tray;
        tray.setToolTip(QStringLiteral("tip"));
        tray.setIconHandle(solidIcon(Qt::red));
        tray.AddMenuItem(QStringLiteral("Exit"), QStringLiteral("exit"), true);
        tray.ShowMenu();
        tray.menu()->hide();
    }
    qInstallMessageHandler(previous);
    EXPECT_EQ(trayInfoMessages, 1);
}

} // namespace
