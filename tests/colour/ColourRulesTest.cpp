#include "colour/ColourRules.h"

#include "storage/Conversions.h"

#include <QSet>

#include <gtest/gtest.h>

namespace {

using namespace colour;

TEST(ColourRules, APreviewNeverStoredLooksUnlikeTheCalendarsFirstLook)
{
    // The panel shows its own design for what is not stored; were it the
    // calendar's missing-key look, a fresh panel would seem to hold settings.
    for (ColourRole role : previewReadOrder()) {
        const SettingKey key = settingFor(role);
        EXPECT_NE(designColour(role), parseColour(QLatin1String(key.defaultValue)).value())
            << key.key;
    }
}

TEST(ColourRules, RestorePaletteIsHexTextOfTheDocumentedColours)
{
    const QList<QPair<const char *, quint32>> expected { { "titlebackcolor", 65535u },
        { "titleforecolor", 4194304u }, { "monthbackcolor", 0u }, { "forecolor", 16777215u },
        { "trailingforecolor", 16711680u } };
    ASSERT_EQ(restorePalette().size(), expected.size());
    for (qsizetype i = 0; i < expected.size(); ++i) {
        const PaletteEntry &entry = restorePalette().at(i);
        EXPECT_STREQ(entry.setting.key, expected[i].first);
        EXPECT_TRUE(QLatin1String(entry.text).startsWith(QLatin1String("&H"))) << entry.text;
        EXPECT_EQ(parseColour(QLatin1String(entry.text)), expected[i].second) << entry.text;
        EXPECT_EQ(restoreText(entry.setting), QLatin1String(entry.text));
    }
    EXPECT_EQ(restoreText(setting::FormX), QString());
}

TEST(ColourRules, EveryPartOfTheCalendarIsColouredOnceFromItsSetting)
{
    QSet<ColourRole> seen;
    for (const CalendarTarget &target : calendarTargets()) {
        EXPECT_FALSE(seen.contains(target.role));
        seen.insert(target.role);
        EXPECT_STREQ(target.setting.key, settingFor(target.role).key);
    }
    EXPECT_EQ(seen.size(), 8);
    // Each button colours parts that take their colour from its own setting,
    // the month view's first.
    for (const ColourButton &button : colourButtons()) {
        ASSERT_FALSE(button.targets.isEmpty());
        EXPECT_EQ(button.targets.first(), button.preview) << button.objectName;
        for (ColourRole role : button.targets)
            EXPECT_STREQ(settingFor(role).key, button.setting.key) << button.objectName;
    }
    EXPECT_FALSE(colourButton(QStringLiteral("Command5")));
    EXPECT_FALSE(colourButton(QStringLiteral("Command7")));
}

TEST(ColourRules, ChosenColoursAreStoredAsDecimalTextThatReadsBack)
{
    for (quint32 c : { 0u, 255u, 8388672u, 16777215u }) {
        EXPECT_EQ(storedText(c), QString::number(c));
        EXPECT_EQ(parseColour(storedText(c)), c);
    }
}

} // namespace

namespace {

// The getting-started note names the band's colour as the user sees it.
TEST(ColourRules, ColoursAreNamedAsAPersonWouldNameThem)
{
    EXPECT_EQ(colour::colourName(8388672), "purple"); // the designed band
    EXPECT_EQ(colour::colourName(0x0000FFFF), "yellow"); // red and green: yellow
    EXPECT_EQ(colour::colourName(0x00FF0000), "blue");
    EXPECT_EQ(colour::colourName(0x00000000), "black");
    EXPECT_EQ(colour::colourName(0x00FFFFFF), "white");
}

} // namespace
