#include "colour/FrmColour.h"

#include "calendar/FrmMain.h"
#include "calendar/MonthView.h"
#include "colour/ColourRules.h"
#include "colour/ColourWindow.h"
#include "storage/Settings.h"
#include "tests/support/CalendarFixture.h"

#include <QFrame>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

constexpr quint32 kYellow = 65535;
constexpr quint32 kDarkBlue = 4194304;

const QList<SettingKey> kColourKeys { setting::TitleBackColor, setting::TitleForeColor,
    setting::MonthBackColor, setting::ForeColor, setting::TrailingForeColor };

// Records what the panel sets on the calendar, in order.
struct RecordingCalendar final : CalendarColours
{
    void setColour(ColourRole role, quint32 colour) override { set.append({ role, colour }); }
    quint32 colour(ColourRole) const override { return current; }
    QList<QPair<ColourRole, quint32>> set;
    quint32 current = 0x123456;
};

// The panel beside a loaded calendar window, as the program wires them.
class ColourPanelTest : public CalendarFixture
{
protected:
    FrmMain &loadCalendar() { return CalendarFixture::loadCalendar(false); }
    FrmColour::Host host()
    {
        return { [this](const QString &text) {
                    if (frm)
                        frm->say(text);
                    spoken << text;
                },
            [this]() -> CalendarColours * {
                if (recording)
                    return recording.get();
                return frm.get();
            } };
    }
    FrmColour &open()
    {
        panel = std::make_unique<FrmColour>(fakes.services, settings, host());
        panel->Form_Load();
        return *panel;
    }
    // What the calendar window shows of each part.
    QList<quint32> calendarLook() const
    {
        QList<quint32> look;
        for (const colour::CalendarTarget &target : colour::calendarTargets())
            look << frm->colour(target.role);
        return look;
    }
    QList<quint32> previewLook() const
    {
        QList<quint32> look;
        for (ColourRole role : colour::previewReadOrder())
            look << monthViewColour(*panel->test, role).value();
        return look;
    }
    QStringList storedColours() const
    {
        QStringList texts;
        for (const SettingKey &key : kColourKeys)
            texts << settings.read(key, QStringLiteral("(none)"));
        return texts;
    }
    static QList<quint32> designLook()
    {
        QList<quint32> look;
        for (ColourRole role : colour::previewReadOrder())
            look << colour::designColour(role);
        return look;
    }

    std::unique_ptr<RecordingCalendar> recording;
    std::unique_ptr<FrmColour> panel;
    QStringList spoken;
};

TEST_F(ColourPanelTest, FreshInstallPreviewShowsTheDesignAndTheCalendarItsOwnDefaults)
{
    loadCalendar();
    open();
    EXPECT_EQ(panel->objectName(), "frm_colour");
    EXPECT_EQ(panel->windowTitle(), "Colour control panel");
    EXPECT_EQ(previewLook(), designLook());
    // band back, band text, month back, fore, title back, title fore, trailing, Text1
    EXPECT_EQ(calendarLook(),
        (QList<quint32> { 8388672, 16777215, 65535, 0, 8388672, 16777215, 16744576, 65535 }));
    // Opening stores nothing.
    EXPECT_EQ(storedColours(), QStringList(5, QStringLiteral("(none)")));
    EXPECT_EQ(panel->test->Value(), fakes.clock.now().date());
}

TEST_F(ColourPanelTest, RestoreToDefaultStoresThePaletteSaysSoAndRecoloursAtOnce)
{
    settings.write(setting::TitleBackColor, "255");
    loadCalendar();
    open();
    panel->Command7->click();

    EXPECT_EQ(spoken, QStringList { "The original settings have now been restored!" });
    EXPECT_TRUE(agentControl.characters.at("Tockel")->calls.contains(
        "Speak:The original settings have now been restored!"));
    EXPECT_EQ(storedColours(),
        (QStringList { "&H0000FFFF", "&H00400000", "&H00000000", "&H00FFFFFF", "&H00FF0000" }));
    EXPECT_EQ(frm->maincalendar->TitleForeColor(), kDarkBlue);
    EXPECT_EQ(calendarLook(),
        (QList<quint32> { kYellow, kDarkBlue, 0, 16777215, kYellow, kDarkBlue, 16711680, 0 }));
    EXPECT_EQ(previewLook(), (QList<quint32> { 0, 16777215, kYellow, kDarkBlue, 16711680 }));
    EXPECT_EQ(fakes.dialogs.beeps, 0);
    EXPECT_TRUE(fakes.dialogs.colourInitials.isEmpty());

    // As the screen shows it: the time band is yellow with dark blue text.
    const QImage band = frm->lab_time->grab().toImage();
    EXPECT_EQ(band.pixelColor(2, 2), colourFromBgr(kYellow));
    // The next start shows the same.
    loadCalendar();
    EXPECT_EQ(frm->maincalendar->TitleForeColor(), kDarkBlue);
    EXPECT_EQ(frm->colour(ColourRole::TimeBandBack), kYellow);
}

TEST_F(ColourPanelTest, RestoreReachesTheCalendarPartsInOrder)
{
    recording = std::make_unique<RecordingCalendar>();
    open();
    panel->Command7->click();
    using R = ColourRole;
    EXPECT_EQ(recording->set,
        (QList<QPair<ColourRole, quint32>> { { R::TimeBandBack, kYellow },
            { R::TimeBandText, kDarkBlue }, { R::MonthBack, 0 }, { R::Fore, 16777215 },
            { R::TitleBack, kYellow }, { R::TitleFore, kDarkBlue }, { R::TrailingFore, 16711680 },
            { R::Text1Back, 0 } }));
}

TEST_F(ColourPanelTest, CalendarBackColourRecoloursMonthAndText1AndStoresDecimalText)
{
    loadCalendar();
    open();
    fakes.dialogs.colours.push_back(0x00123456);
    panel->Command3->click();

    EXPECT_EQ(fakes.dialogs.colourInitials, QList<quint32> { 65535 }); // what the calendar shows
    EXPECT_EQ(panel->test->MonthBackColor(), 0x123456u);
    EXPECT_EQ(frm->maincalendar->MonthBackColor(), 0x123456u);
    EXPECT_EQ(frm->colour(ColourRole::Text1Back), 0x123456u);
    EXPECT_EQ(frm->Text1->palette().color(QPalette::Window), QColor(0x56, 0x34, 0x12));
    EXPECT_EQ(settings.read(setting::MonthBackColor), "1193046");
    EXPECT_EQ(fakes.dialogs.beeps, 1);
    // The other colours are untouched.
    EXPECT_EQ(frm->maincalendar->ForeColor(), 0u);
    EXPECT_EQ(panel->test->ForeColor(), colour::designColour(ColourRole::Fore));
}

TEST_F(ColourPanelTest, EachColourButtonSetsItsPartsAndItsSetting)
{
    recording = std::make_unique<RecordingCalendar>();
    open();
    for (const colour::ColourButton &b : colour::colourButtons()) {
        recording->set.clear();
        const quint32 chosen = 0x010203 * (1 + int(b.preview));
        fakes.dialogs.colours.push_back(chosen);
        panel->findChild<QPushButton *>(QLatin1String(b.objectName))->click();
        QList<QPair<ColourRole, quint32>> expected;
        for (ColourRole role : b.targets)
            expected.append({ role, chosen });
        EXPECT_EQ(recording->set, expected) << b.objectName;
        EXPECT_EQ(monthViewColour(*panel->test, b.preview), chosen) << b.objectName;
        EXPECT_EQ(settings.read(b.setting), QString::number(chosen)) << b.objectName;
    }
    EXPECT_EQ(fakes.dialogs.beeps, 5);
    EXPECT_EQ(fakes.dialogs.colourInitials, QList<quint32>(5, recording->current));
}

TEST_F(ColourPanelTest, CancelInTheColourDialogChangesNothing)
{
    loadCalendar();
    open();
    const QList<quint32> calendarBefore = calendarLook();
    for (QPushButton *b :
        { panel->Command1, panel->Command2, panel->Command3, panel->Command4, panel->Command6 }) {
        b->click(); // no colour queued: Cancel
    }
    EXPECT_EQ(fakes.dialogs.colourInitials.size(), 5);
    EXPECT_EQ(storedColours(), QStringList(5, QStringLiteral("(none)")));
    EXPECT_EQ(calendarLook(), calendarBefore);
    EXPECT_EQ(previewLook(), designLook());
    EXPECT_EQ(fakes.dialogs.beeps, 0);

    // A Cancel after a choice keeps that choice, and does not store it again.
    fakes.dialogs.colours = { 255u, std::nullopt };
    panel->Command1->click();
    settings.write(setting::TitleBackColor, "&H000000FF");
    panel->Command1->click();
    EXPECT_EQ(settings.read(setting::TitleBackColor), "&H000000FF");
    EXPECT_EQ(fakes.dialogs.colourInitials.last(), 255u);
    EXPECT_EQ(frm->maincalendar->TitleBackColor(), 255u);
    EXPECT_EQ(fakes.dialogs.beeps, 1);
}

TEST_F(ColourPanelTest, UnreadableStoredColoursLeaveTheDesignedColours)
{
    const QList<quint32> calendarDesign = [this] {
        FrmMain fresh(fakes.services, settings, modClock, home.paths(),
            FrmMain::Links { announcer, manager, versionCheck, marking }, agentControl, false);
        QList<quint32> look;
        for (const colour::CalendarTarget &target : colour::calendarTargets())
            look << fresh.colour(target.role);
        return look;
    }();
    for (const char *bad : { "&HZZ", "-1", "99999999999", "", "&H" }) {
        for (const SettingKey &key : kColourKeys)
            settings.write(key, QLatin1String(bad));
        loadCalendar();
        open();
        EXPECT_EQ(previewLook(), designLook()) << bad;
        EXPECT_EQ(calendarLook(), calendarDesign) << bad;
        EXPECT_EQ(storedColours(), QStringList(5, QLatin1String(bad))) << bad;
    }
}

TEST_F(ColourPanelTest, EveryControlIsNamedForPeopleAndForTests)
{
    open();
    const QList<QPair<QPushButton *, QString>> captions { { panel->Command1,
                                                              "&Change the title back colour" },
        { panel->Command2, "Change the &title font colour" },
        { panel->Command3, "Change the &calendar back colour" },
        { panel->Command4, "Change the calendar &font colour" },
        { panel->Command6, "Change the trailing font &colour" },
        { panel->Command7, "&Restore to default" }, { panel->Command5, "&Exit" } };
    for (const auto &[button, caption] : captions) {
        EXPECT_EQ(button->text(), caption);
        EXPECT_EQ(button->accessibleName(), QString(caption).remove('&'));
    }
    EXPECT_EQ(panel->Command1->toolTip(), "Click here to change the title bar`s background colour");
    EXPECT_EQ(
        panel->Command6->toolTip(), "Click here to change the calendars trailing font colour");
    EXPECT_EQ(panel->Command5->toolTip(), "Click here to close this window");
    EXPECT_TRUE(panel->Frame1->isAncestorOf(panel->Command2));
    EXPECT_TRUE(panel->Frame2->isAncestorOf(panel->Command6));
    EXPECT_EQ(panel->findChildren<QFrame *>(QRegularExpression("^Line")).size(), 2);
    for (QWidget *w : panel->findChildren<QWidget *>()) {
        EXPECT_FALSE(w->objectName().isEmpty()) << w->metaObject()->className();
        EXPECT_FALSE(w->accessibleName().isEmpty()) << qPrintable(w->objectName());
    }
}

TEST_F(ColourPanelTest, TheLinkOpensOnePanelAndExitClosesIt)
{
    loadCalendar();
    ColourWindow link(fakes.services, settings, host());
    link.show();
    FrmColour *first = link.window();
    ASSERT_TRUE(first);
    EXPECT_TRUE(first->isVisible());
    link.show();
    EXPECT_EQ(link.window(), first);

    first->Command5->click();
    EXPECT_FALSE(first->isVisible());
    EXPECT_EQ(storedColours(), QStringList(5, QStringLiteral("(none)")));
    link.show();
    ASSERT_TRUE(link.window());
    EXPECT_TRUE(link.window()->isVisible());
}

} // namespace
