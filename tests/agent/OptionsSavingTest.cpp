#include "agent/character/OptionsWindow.h"
#include "storage/Settings.h"
#include "tests/support/Fakes.h"
#include "tests/support/TestHome.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QSignalSpy>
#include <QSlider>
#include <QSpinBox>
#include <QTest>

#include <gtest/gtest.h>

using namespace agent;

namespace {

// The options window applies each change at once and writes it once it
// settles, never losing one.
class OptionsSavingTest : public ::testing::Test
{
protected:
    QString stored(const char *key) const { return settings.ReadSetting("agent", key); }

    FakeClock clock;
    TestHome home;
    SettingsStore settings { home.paths().settingsFile };
    EngineOptions options;
    std::unique_ptr<OptionsWindow> window
        = std::make_unique<OptionsWindow>(options, &settings, clock);
    QSlider *rate = window->findChild<QSlider *>("speechRate");
    QSpinBox *pitch = window->findChild<QSpinBox *>("pitchOffset");
};

TEST_F(OptionsSavingTest, ASliderIsWrittenWhenLetGoAndApplies)
{
    ASSERT_TRUE(rate);
    QSignalSpy changed(window.get(), &OptionsWindow::changed);
    rate->setSliderDown(true);
    for (int v = 101; v <= 140; ++v)
        rate->setValue(v);
    EXPECT_EQ(options.speechRatePercent, 140); // heard at once
    EXPECT_EQ(changed.size(), 40);
    EXPECT_TRUE(stored("speechrate").isEmpty());
    EXPECT_TRUE(window->savePending());
    rate->setSliderDown(false); // let go
    EXPECT_EQ(stored("speechrate"), "140");
    EXPECT_FALSE(window->savePending());
    // Only what changed is written: a value changed meanwhile by hand stays.
    EXPECT_TRUE(stored("pitch").isEmpty());
    settings.WriteSetting("agent", "effectsvolume", "33");
    rate->setSliderDown(true);
    rate->setValue(90);
    rate->setSliderDown(false);
    EXPECT_EQ(stored("speechrate"), "90");
    EXPECT_EQ(stored("effectsvolume"), "33");
}

TEST_F(OptionsSavingTest, KeyboardStepsAreWrittenOnceTheySettle)
{
    ASSERT_TRUE(rate && pitch);
    window->show();
    rate->setFocus();
    for (int i = 0; i < 5; ++i)
        QTest::keyClick(rate, Qt::Key_Right);
    const int stepped = rate->value();
    EXPECT_GT(stepped, 100);
    EXPECT_EQ(options.speechRatePercent, stepped);
    EXPECT_TRUE(stored("speechrate").isEmpty());
    clock.advance(OptionsWindow::kSaveDelayMs - 1);
    EXPECT_TRUE(window->savePending());
    clock.advance(1);
    EXPECT_FALSE(window->savePending());
    EXPECT_EQ(stored("speechrate"), QString::number(stepped));

    // A change taken back before it settled writes nothing.
    pitch->setValue(5);
    pitch->setValue(0);
    EXPECT_FALSE(window->savePending());
}

TEST_F(OptionsSavingTest, ClosingTheWindowOrEndingKeepsAValueNotYetWritten)
{
    pitch->setValue(7);
    EXPECT_TRUE(stored("pitch").isEmpty());
    window->show();
    window->close();
    EXPECT_EQ(stored("pitch"), "7");

    rate->setSliderDown(true);
    rate->setValue(150); // still held when the program ends
    window.reset();
    EXPECT_EQ(stored("speechrate"), "150");

    // A choice is settled as soon as it is made.
    window = std::make_unique<OptionsWindow>(options, &settings, clock);
    auto *key = window->findChild<QComboBox *>("listenKey");
    key->setCurrentIndex(key->findData("F12"));
    EXPECT_EQ(stored("listenkey"), "F12");
    EXPECT_FALSE(window->savePending());
}

TEST_F(OptionsSavingTest, QuittingWritesWhatIsWaiting)
{
    pitch->setValue(-4);
    ASSERT_TRUE(window->savePending());
    QMetaObject::invokeMethod(QCoreApplication::instance(), "aboutToQuit", Qt::DirectConnection);
    EXPECT_EQ(stored("pitch"), "-4");
}

} // namespace
