#include "announce/CharacterControl.h"
#include "calendar/BandRules.h"
#include "calendar/FrmMain.h"
#include "calendar/HelpPages.h"
#include "calendar/MainMenu.h"
#include "calendar/MenuRules.h"
#include "calendar/MonthView.h"
#include "calendar/PlacementRules.h"
#include "calendar/WindowLinks.h"
#include "platform/Autostart.h"
#include "storage/ModClock.h"
#include "storage/Settings.h"
#include "tests/support/CalendarFixture.h"
#include "tray/FrmSysTray.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

struct RecordingBackup final : BackupWindow
{
    void show() override { ++shows; }
    int shows = 0;
};

struct RecordingColourPanel final : ColourPanel
{
    void show() override { ++shows; }
    int shows = 0;
};

class MenuTest : public CalendarFixture
{
protected:
    void load(bool quiet = true)
    {
        loadCalendar(quiet, &backup, &colours);
        character().calls.clear();
        fakes.dialogs.boxes.clear();
    }
    QStringList spoken() { return ::spoken(character().calls); }
    int moves()
    {
        return int(std::count_if(character().calls.begin(), character().calls.end(),
            [](const QString &c) { return c.startsWith(QLatin1String("MoveTo")); }));
    }
    MainMenu &menu() { return *frm->menu(); }
    QString runValue(Autostart::List list)
    {
        return fakes.autostart.read(list, QStringLiteral("Quillory")).value_or("absent");
    }

    RecordingBackup backup;
    RecordingColourPanel colours;
};

QStringList captions(const QMenu *menu)
{
    QStringList list;
    for (const QAction *a : menu->actions())
        list << (a->isSeparator() ? QStringLiteral("-") : a->text());
    return list;
}

TEST_F(MenuTest, MainMenuHoldsEveryItemInOrderWithNamesAndLoadTimeMarks)
{
    settings.write(setting::Hide, "True");
    settings.write(setting::SoundFx, "False");
    settings.write(setting::FontSize, "large");
    load();
    EXPECT_EQ(captions(menu().mnu_settings),
        QStringList({ " -= Appointment Manager =-", "-", "Speak the current date",
            "What is on today?", "What is on tomorrow?", "What is next?", "-", "&Calendar Options",
            "-", "Character options", "-", "Backup / Restore", "-", "Instructions and Help", "-",
            "&About Quillory", "-", "E&XIT" }));
    EXPECT_EQ(captions(menu().mnu_calopts),
        QStringList({ "&Hide the calendar", "Delay", "Desktop notifications",
            "Change the colours of the calendar", "Start when I log in",
            "Enable large font mode" }));
    EXPECT_EQ(captions(menu().mnu_charopt),
        QStringList(
            { "Move the character home", "Load a new character", "Character sound effects are off",
                "Hide the Character after speaking", "Read today's appointments each morning" }));
    EXPECT_FALSE(menu().mnu_delay->isVisible());
    EXPECT_FALSE(menu().mnu_fx->isChecked());
    EXPECT_TRUE(menu().mnu_hide->isChecked());
    EXPECT_TRUE(menu().mnu_largefont->isChecked());
    EXPECT_FALSE(menu().mnu_load->isChecked());
    for (const QMenu *m : { menu().mnu_settings, menu().mnu_calopts, menu().mnu_charopt }) {
        for (const QAction *a : m->actions())
            EXPECT_TRUE(a->isSeparator() || !a->objectName().isEmpty()) << a->text().toStdString();
    }
}

TEST_F(MenuTest, SettingTogglesWriteSpeakAndMarkButAreSilentWhileLoading)
{
    load();
    menu().mnu_fx->trigger();
    EXPECT_EQ(settings.read(setting::SoundFx), "False");
    EXPECT_FALSE(menu().mnu_fx->isChecked());
    EXPECT_EQ(menu().mnu_fx->text(), "Character sound effects are off");
    EXPECT_FALSE(character().soundEffects);
    menu().mnu_fx->trigger();
    EXPECT_EQ(settings.read(setting::SoundFx), "True");
    EXPECT_EQ(menu().mnu_fx->text(), "Character sound effects are on");
    EXPECT_TRUE(menu().mnu_fx->isChecked());

    menu().mnu_hide->trigger();
    EXPECT_EQ(settings.read(setting::Hide), "True");
    EXPECT_TRUE(menu().mnu_hide->isChecked());
    menu().mnu_hide->trigger();
    EXPECT_EQ(settings.read(setting::Hide), "False");

    // The delay decides by its own default ("True"), unlike the message window.
    menu().mnu_delay->trigger();
    EXPECT_EQ(settings.read(setting::Delay), "False");
    EXPECT_EQ(menu().mnu_delay->text(), "Delay off");
    EXPECT_FALSE(menu().mnu_delay->isChecked());
    menu().mnu_delay->trigger();
    EXPECT_EQ(settings.read(setting::Delay), "True");
    EXPECT_EQ(menu().mnu_delay->text(), "Delay on");

    EXPECT_EQ(spoken(),
        QStringList({ "Sound effects off!", "Sound effects on!",
            "I will hide 5 seconds after speaking!", "I will no longer hide after speaking!",
            "The delay is now off!", "The delay is now on!" }));

    // Clicks that arrive while the character enters at a load change nothing.
    agentControl.completeAtOnce = false;
    bool clicked = false;
    const auto clickDuringEntrance = fakes.clock.timer(
        [&] {
            for (QAction *a : { menu().mnu_fx, menu().mnu_hide, menu().mnu_delay }) {
                const bool before = a->isChecked();
                a->trigger();
                EXPECT_EQ(a->isChecked(), before);
            }
            clicked = true;
            character().completeAll();
        },
        false);
    clickDuringEntrance->start(100);
    frm->character->appearAtLoad(false);
    ASSERT_TRUE(clicked);
    EXPECT_EQ(settings.read(setting::SoundFx), "True");
    EXPECT_EQ(settings.read(setting::Hide), "False");
    EXPECT_TRUE(spoken().isEmpty()); // the character loaded afresh has said nothing
}

TEST_F(MenuTest, DesktopNotificationsAreOnUntilTurnedOff)
{
    settings.write(setting::Notify, "yes"); // an odd text keeps the default
    load();
    EXPECT_TRUE(menu().mnu_notify->isChecked());
    menu().mnu_notify->trigger();
    EXPECT_EQ(settings.read(setting::Notify), "False");
    EXPECT_FALSE(menu().mnu_notify->isChecked());
    menu().mnu_notify->trigger();
    EXPECT_EQ(settings.read(setting::Notify), "True");
    EXPECT_TRUE(menu().mnu_notify->isChecked());
    EXPECT_EQ(spoken(),
        QStringList({ "Appointments are no longer shown as desktop notifications!",
            "Appointments are shown as desktop notifications too!" }));
}

TEST_F(MenuTest, StartAtLoginOnThenOffLeavesEmptyValuesAndNoGreetingNextTime)
{
    load();
    menu().mnu_load->trigger();
    EXPECT_EQ(runValue(Autostart::List::Run), home.paths().program("quillory"));
    EXPECT_TRUE(menu().mnu_load->isChecked());
    menu().mnu_load->trigger();
    EXPECT_EQ(runValue(Autostart::List::Run), "");
    EXPECT_EQ(runValue(Autostart::List::RunServices), "");
    EXPECT_FALSE(menu().mnu_load->isChecked());
    EXPECT_EQ(spoken(),
        QStringList({ "Quillory will now start when you log in!",
            "Quillory will no longer start when you log in!" }));

    load(false);
    EXPECT_FALSE(menu().mnu_load->isChecked());
    EXPECT_TRUE(frm->isVisible());
    for (const QString &call : agentControl.loads)
        EXPECT_FALSE(call.isEmpty());
    // A value left empty counts as written: no welcome.
    EXPECT_FALSE(spoken().contains("\\emp\\Welcome to Quillory !"));
}

TEST_F(MenuTest, AStartAtLoginValueThatCannotBeWrittenIsToldAndTheMarkStaysTrue)
{
    load();
    fakes.autostart.writable = false;
    menu().mnu_load->trigger();
    EXPECT_FALSE(menu().mnu_load->isChecked());
    EXPECT_EQ(runValue(Autostart::List::Run), "absent");
    ASSERT_EQ(fakes.dialogs.boxes.size(), 1);
    EXPECT_EQ(fakes.dialogs.boxes[0].title, "Error!");
    EXPECT_TRUE(fakes.dialogs.boxes[0].text.contains("read-only"));
    EXPECT_TRUE(spoken().isEmpty());

    // Switched on while writable, then the folder turns read-only: still on.
    fakes.autostart.writable = true;
    menu().mnu_load->trigger();
    fakes.autostart.writable = false;
    menu().mnu_load->trigger();
    EXPECT_TRUE(menu().mnu_load->isChecked());
    EXPECT_EQ(runValue(Autostart::List::Run), home.paths().program("quillory"));
}

TEST_F(MenuTest, LargeFontRestartsQuietlyWithoutTheUnload)
{
    settings.write(setting::AutoBackup, "True");
    settings.write(setting::BackDir, home.paths().dataFolder + "/backup");
    load();
    QSignalSpy ended(frm.get(), &FrmMain::endedWithoutUnload);
    QSignalSpy unloaded(frm.get(), &FrmMain::unloaded);
    menu().mnu_largefont->trigger();
    EXPECT_EQ(settings.read(setting::FontSize), "large");
    ASSERT_EQ(fakes.launcher.started.size(), 1);
    EXPECT_EQ(fakes.launcher.started[0].program, home.paths().program("quillory-restart"));
    EXPECT_EQ(fakes.launcher.started[0].arguments, QStringList { "/n" });
    EXPECT_EQ(ended.size(), 1);
    EXPECT_EQ(unloaded.size(), 0);
    EXPECT_TRUE(agentControl.unloads.isEmpty());
    EXPECT_FALSE(QFile::exists(home.paths().dataFolder + "/backup/calendar.cal"));
    EXPECT_FALSE(frm->blink->isActive());

    // The restarted calendar comes up in the large layout, and back again.
    load();
    const double tpp = frm->twipsPerPixel();
    EXPECT_EQ(frm->width(), qRound(3650 / tpp));
    EXPECT_EQ(frm->height(), qRound(2904 / tpp));
    EXPECT_TRUE(menu().mnu_largefont->isChecked());
    menu().mnu_largefont->trigger();
    EXPECT_EQ(settings.read(setting::FontSize), "small");
}

TEST_F(MenuTest, HideShowAndTheRescueOfAnUnseenWindow)
{
    load();
    menu().mnu_hidecal->trigger();
    EXPECT_FALSE(frm->isVisible());
    EXPECT_EQ(settings.read(setting::Visible), "False");
    frm->m_frmSysTray_MenuClick(4, "show");
    EXPECT_TRUE(frm->isVisible());
    EXPECT_EQ(settings.read(setting::Visible), "True");
    EXPECT_EQ(spoken(),
        QStringList(
            { "Okay, the Calendar has gone. Use the notification-area icon to show it again!",
                "Here it is!" }));
    EXPECT_TRUE(fakes.dialogs.boxes.isEmpty());

    // Visible already: the rescue, declined.
    fakes.dialogs.answers.push_back(MsgAnswer::No);
    frm->m_frmSysTray_MenuClick(4, "show");
    ASSERT_EQ(fakes.dialogs.boxes.size(), 1);
    EXPECT_EQ(fakes.dialogs.boxes[0].title, "Warning!");
    EXPECT_EQ(fakes.dialogs.boxes[0].text, menu::rescueQuestion());
    EXPECT_TRUE(fakes.dialogs.boxes[0].text.endsWith("really can`t see the calendar"));
    EXPECT_TRUE(fakes.launcher.started.isEmpty());
    EXPECT_FALSE(frm->isUnloaded());

    // Accepted: moved, stored, told, restarted without a switch, unloaded.
    settings.write(setting::FormX, "-90000");
    fakes.dialogs.answers.push_back(MsgAnswer::Yes);
    frm->m_frmSysTray_MenuClick(4, "show");
    EXPECT_EQ(settings.read(setting::FormX), "1000");
    EXPECT_EQ(settings.read(setting::FormY), "1000");
    ASSERT_EQ(fakes.dialogs.boxes.size(), 3);
    EXPECT_EQ(fakes.dialogs.boxes[2].text, "The calendar will now re-start, please be patient");
    EXPECT_EQ(fakes.dialogs.boxes[2].icon, MsgIcon::Exclamation);
    ASSERT_EQ(fakes.launcher.started.size(), 1);
    EXPECT_TRUE(fakes.launcher.started[0].arguments.isEmpty());
    EXPECT_EQ(fakes.launcher.started[0].style, WindowStyle::MinimizedNoFocus);
    EXPECT_TRUE(frm->isUnloaded());
}

TEST_F(MenuTest, TrayKeysAndMouse)
{
    load();
    frm->m_frmSysTray_MenuClick(0, "appointment");
    frm->m_frmSysTray_SysTrayDoubleClick(FrmSysTray::LeftButton);
    EXPECT_EQ(manager.tabs, QList<int>({ 0, 0 }));
    frm->m_frmSysTray_MenuClick(2, "hide");
    EXPECT_FALSE(frm->isVisible());
    frm->m_frmSysTray_MenuClick(9, "nothing known");
    frm->m_frmSysTray_SysTrayMouseDown(FrmSysTray::LeftButton);
    ASSERT_EQ(spoken().size(), 2);
    EXPECT_TRUE(spoken()[1].contains("2026")); // the date
    frm->m_frmSysTray_MenuClick(6, "about");
    EXPECT_TRUE(frm->findChild<QWidget *>("frm_about")->isVisible());
    frm->m_frmSysTray_MenuClick(10, "exit");
    EXPECT_TRUE(frm->isUnloaded());
}

TEST_F(MenuTest, MenuItemsReachTheirWindows)
{
    load();
    menu().mnu_setalarm->trigger();
    EXPECT_EQ(manager.dates, QList<QDate>({ fakes.clock.now().date() }));
    menu().mnu_backup->trigger();
    EXPECT_EQ(backup.shows, 1);
    menu().mnu_colour->trigger();
    EXPECT_EQ(colours.shows, 1);
    menu().mnu_moveme->trigger();
    EXPECT_EQ(spoken(), QStringList({ "Off I go!" }));
    EXPECT_GE(moves(), 1);
    menu().mnu_exit->trigger();
    EXPECT_TRUE(frm->isUnloaded());
}

TEST_F(MenuTest, HelpOpensThePageOfTheWindowAndAMissingFolderIsTold)
{
    load();
    menu().mnu_help->trigger();
    ASSERT_EQ(fakes.launcher.opened.size(), 1);
    EXPECT_TRUE(fakes.launcher.opened[0].endsWith("/help/index.html"));
    EXPECT_TRUE(fakes.dialogs.boxes.isEmpty());
    EXPECT_EQ(fakes.dialogs.beeps, 1);

    // F1 anywhere in a window opens that window's page.
    QWidget window;
    window.setObjectName("frm_colour");
    auto *button = new QPushButton("Exit", &window);
    qApp->installEventFilter(frm->help());
    QTest::keyClick(button, Qt::Key_F1);
    qApp->removeEventFilter(frm->help());
    ASSERT_EQ(fakes.launcher.opened.size(), 2);
    EXPECT_TRUE(fakes.launcher.opened[1].endsWith("/help/colours.html"));

    // No pages where they belong: said, nothing opened.
    HelpPages pages(fakes.services, QStringList { home.paths().dataFolder + "/no-help" });
    EXPECT_FALSE(pages.open("frm_colour"));
    ASSERT_EQ(fakes.dialogs.boxes.size(), 1);
    EXPECT_TRUE(fakes.dialogs.boxes[0].text.contains("could not be found"));
    EXPECT_TRUE(fakes.dialogs.boxes[0].text.contains("/no-help/colours.html"));
    EXPECT_EQ(fakes.launcher.opened.size(), 2);
}

TEST_F(MenuTest, TimeBandDragMovesTheWindowAndTheCharacterFollowsPastTheThresholds)
{
    load();
    const QPointF start = frm->positionTwips();
    // 200 twips to the right: the window follows, the character stays.
    frm->lab_time_MouseDown(Qt::LeftButton, { 100, 100 });
    frm->lab_time_MouseMove({ 300, 100 });
    EXPECT_EQ(frm->lab_time->text(), "Click this bar to drag");
    frm->lab_time_MouseUp(Qt::LeftButton, { 300, 100 });
    EXPECT_NEAR(frm->positionTwips().x(), start.x() + 200, 15);
    EXPECT_EQ(moves(), 0);
    EXPECT_EQ(settings.position(setting::FormX), float(frm->positionTwips().x()));

    // 60 twips to the left: the character follows.
    frm->lab_time_MouseDown(Qt::LeftButton, { 100, 100 });
    frm->lab_time_MouseMove({ 40, 100 });
    frm->lab_time_MouseUp(Qt::LeftButton, { 40, 100 });
    EXPECT_GE(moves(), 1);

    // A right click without moving: no walk, the menu, the same position stored.
    const int before = moves();
    settings.write(setting::FormX, "0");
    frm->lab_time_MouseDown(Qt::RightButton, { 100, 100 });
    frm->lab_time_MouseUp(Qt::RightButton, { 100, 100 });
    EXPECT_EQ(moves(), before);
    EXPECT_TRUE(menu().mnu_settings->isVisible());
    EXPECT_EQ(settings.position(setting::FormX), float(frm->positionTwips().x()));
    menu().mnu_settings->hide();
}

TEST_F(MenuTest, AWindowStoredOffEveryScreenComesBackAndHugeTwipsAreIgnored)
{
    // Readable, but wholly off the screen: put back at the designed offset.
    settings.write(setting::FormX, "-60000");
    settings.write(setting::FormY, "90000");
    load();
    EXPECT_TRUE(frm->screen()->geometry().intersects(frm->frameGeometry()));
    EXPECT_EQ(frm->pos(), QPoint(20, 20));
    // Unreadable: the designed place kept.
    settings.write(setting::FormX, "1e300");
    settings.write(setting::FormY, "abc");
    load();
    EXPECT_TRUE(frm->screen()->geometry().intersects(frm->frameGeometry()));
}

TEST(Placement, KeepsAnyWindowThatTouchesAScreen)
{
    const QList<QRect> screens { { 0, 0, 1920, 1080 }, { 1920, 0, 1280, 1024 } };
    const QRect primary = screens[0];
    EXPECT_EQ(placement::visibleTopLeft({ 3000, 900, 232, 197 }, screens, primary, { 20, 20 }),
        QPoint(3000, 900));
    EXPECT_EQ(placement::visibleTopLeft({ -231, 10, 232, 197 }, screens, primary, { 20, 20 }),
        QPoint(-231, 10));
    EXPECT_EQ(placement::visibleTopLeft({ -232, 10, 232, 197 }, screens, primary, { 20, 20 }),
        QPoint(20, 20));
    EXPECT_EQ(placement::visibleTopLeft({ 100, 1100, 232, 197 }, screens, primary, { 20, 20 }),
        QPoint(20, 20));
}

TEST(TimeBand, ThresholdsOfTheCharacterFollowing)
{
    const QPointF start(1000, 1000);
    EXPECT_FALSE(band::characterFollows(start, { 1300, 1000 }));
    EXPECT_TRUE(band::characterFollows(start, { 1301, 1000 }));
    EXPECT_FALSE(band::characterFollows(start, { 1000, 1300 }));
    EXPECT_TRUE(band::characterFollows(start, { 1000, 1301 }));
    EXPECT_FALSE(band::characterFollows(start, { 950, 950 }));
    EXPECT_TRUE(band::characterFollows(start, { 949, 1000 }));
    EXPECT_TRUE(band::characterFollows(start, { 1000, 949 }));
}

} // namespace

namespace {

// Everything the mouse does on the month is there for the keyboard too.
TEST_F(MenuTest, TheMenuKeyShiftF10AndReturnWorkOnTheMonth)
{
    loadCalendar(true);
    // The menu is not popped up here: the test only needs the request.
    QObject::disconnect(frm.get(), &FrmMain::mainMenuRequested, frm.get(), nullptr);
    QList<QPoint> asked;
    QObject::connect(
        frm.get(), &FrmMain::mainMenuRequested, [&asked](const QPoint &at) { asked.append(at); });
    QTest::keyClick(frm->maincalendar, Qt::Key_Menu);
    QTest::keyClick(frm->maincalendar, Qt::Key_F10, Qt::ShiftModifier);
    QTest::keyClick(frm->maincalendar, Qt::Key_F10); // F10 alone is not the menu
    ASSERT_EQ(asked.size(), 2);

    // Return on a past day is the day query's refusal, as a double-click is.
    frm->maincalendar->setValue(QDate(2026, 12, 1));
    QTest::keyClick(frm->maincalendar, Qt::Key_Return);
    ASSERT_FALSE(fakes.dialogs.boxes.isEmpty());
    EXPECT_EQ(
        fakes.dialogs.boxes.last().text, "Sorry, you can't set an appointment for an old date");
}

} // namespace
