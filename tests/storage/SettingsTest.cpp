#include "storage/Settings.h"
#include "storage/Conversions.h"
#include "tests/support/TestHome.h"

#include <gtest/gtest.h>

#include <QFile>

namespace {

class SettingsStoreTest : public ::testing::Test
{
protected:
    TestHome home;
    SettingsStore store { home.paths().settingsFile };
};

TEST_F(SettingsStoreTest, MissingKeysGiveTheTablesDefaultsAndEmptyTextWithoutOne)
{
    EXPECT_EQ(store.read(setting::FormX), "300");
    EXPECT_EQ(store.read(setting::Char), "Tockel");
    EXPECT_EQ(store.read(setting::TitleBackColor), "8388672");
    EXPECT_EQ(store.read(setting::BackDir), "");
    EXPECT_EQ(store.read(setting::Delay), "False");
    EXPECT_EQ(store.read(setting::Delay, setting::kDelayMenuDefault), "True");
    EXPECT_EQ(store.ReadSetting("data", "nosuchkey"), "");
    // A default of blanks comes back as given, not trimmed.
    EXPECT_EQ(store.ReadSetting("data", "nosuchkey", "  "), "  ");
}

TEST_F(SettingsStoreTest, SectionAndKeyMatchWithoutRegardToCase)
{
    store.WriteSetting("Data", "setx", "1234");
    EXPECT_EQ(store.ReadSetting("data", "SETX", "200"), "1234");
    store.WriteSetting("data", "SetX", "99");
    EXPECT_EQ(store.read(setting::SetX), "99");
    // One line for the key, in the spelling first written.
    const QByteArray file = TestHome::readFile(store.path());
    EXPECT_EQ(file.count("setx="), 1) << file.constData();
}

TEST_F(SettingsStoreTest, FlagsAreCompareByTheirReadersNotNormalised)
{
    store.write(setting::SoundFx, "true");
    EXPECT_EQ(store.read(setting::SoundFx), "true"); // readers testing "True" see "off"
}

TEST_F(SettingsStoreTest, ValuesRoundTripLongTextAndLineBreaks)
{
    const QString folder = QString("/media/usb/") + QString(400, 'x');
    store.write(setting::BackDir, folder);
    EXPECT_EQ(store.read(setting::BackDir), folder); // no 254 cut for settings
    store.WriteSetting("data", "note", "one\r\ntwo");
    EXPECT_EQ(store.ReadSetting("data", "note"), "one  two");
    EXPECT_EQ(store.read(setting::FormY), "300"); // the break did not create a line
}

TEST_F(SettingsStoreTest, AnUnwritableStoreLeavesTheOldFileAndReadsGoOn)
{
    store.write(setting::FontSize, "large");
    const QByteArray before = TestHome::readFile(store.path());
    {
        FileSizeLimit full(16); // a full disk, whatever the user's privileges
        store.write(setting::FontSize, "small");
    }
    EXPECT_EQ(TestHome::readFile(store.path()), before);
    EXPECT_EQ(store.read(setting::FontSize), "large");
    EXPECT_EQ(store.read(setting::FormX), "300");
}

struct ColourCase
{
    const char *text;
    std::optional<quint32> expected;
};

class ColourConversion : public ::testing::TestWithParam<ColourCase>
{ };

TEST_P(ColourConversion, AcceptsDecimalAndHexLiteralsOnly)
{
    EXPECT_EQ(parseColour(QString::fromUtf8(GetParam().text)), GetParam().expected)
        << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(Settings, ColourConversion,
    ::testing::Values(ColourCase { "&H00400000", 4194304u }, ColourCase { "8388672", 8388672u },
        ColourCase { "&H0000FFFF", 65535u }, ColourCase { "&h00ff0000", 16711680u },
        ColourCase { "&HFF&", 255u }, ColourCase { " 65535 ", 65535u }, ColourCase { "0", 0u },
        ColourCase { "16777215", 16777215u }, ColourCase { "", std::nullopt },
        ColourCase { "yellow", std::nullopt }, ColourCase { "&H", std::nullopt },
        ColourCase { "&HXYZ", std::nullopt }, ColourCase { "&HZZ", std::nullopt },
        ColourCase { "-1", std::nullopt }, ColourCase { "99999999999", std::nullopt },
        ColourCase { "16777216", std::nullopt },
        ColourCase { "99999999999999999999", std::nullopt },
        ColourCase { "&H1FFFFFFFF", std::nullopt }, ColourCase { "1e400", std::nullopt }));

TEST(ColourConversion, TableDefaultsReadAsTheStoreReadsThem)
{
    for (const SettingKey &key : { setting::TitleBackColor, setting::TitleForeColor,
             setting::MonthBackColor, setting::ForeColor, setting::TrailingForeColor })
        EXPECT_EQ(setting::defaultColour(key), parseColour(key.defaultValue)) << key.key;
}

TEST(PositionConversion, ReadsNumbersAndRefusesTheRest)
{
    EXPECT_EQ(parsePosition("300"), 300.0f);
    EXPECT_EQ(parsePosition("-1500.5"), -1500.5f);
    EXPECT_FALSE(parsePosition(""));
    EXPECT_FALSE(parsePosition("left"));
    EXPECT_FALSE(parsePosition("nan"));
    EXPECT_FALSE(parsePosition("1e30"));
    for (float v : { 0.0f, 300.0f, 1234.567f, -15.0f, 0.1f, 99999.9f })
        EXPECT_EQ(parsePosition(formatPosition(v)), v) << v;
    EXPECT_DOUBLE_EQ(twipsPerPixel(96), 15.0);
    EXPECT_DOUBLE_EQ(twipsPerPixel(0), 15.0);
}

} // namespace
