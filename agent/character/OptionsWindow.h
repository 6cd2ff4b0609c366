#pragma once

#include "agent/character/EngineOptions.h"

#include "platform/Clock.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QSlider;
class QSpinBox;
class SettingsStore;

namespace agent {

class Listener;
struct RecognitionResult;

class OptionsWindow : public QWidget
{
    Q_OBJECT
public:
    // `settings` may be null: changes then last until the program ends.
    // A change settles `kSaveDelayMs` after the last on `clock`.
    OptionsWindow(
        EngineOptions &options, SettingsStore *settings, Clock &clock, QWidget *parent = nullptr);
    // Writes what is still waiting.
    ~OptionsWindow() override;

    // A change applies at once but is written only once it settles: a
    // slider when let go, a spin box this long after its last step, a
    // choice at once, anything still waiting when the window closes.
    static constexpr int kSaveDelayMs = 600;
    bool savePending() const { return m_pending; }
    // Writes a change still waiting, now.
    void saveNow();

    // Shows the options as they are now.
    void refresh();
    // Where the voice options, the level meter and the test listen.
    void setListener(Listener *listener);
    // What a test heard, as shown under the Test button.
    static QString describe(const RecognitionResult &result, bool speech);

signals:
    void changed();

protected:
    void hideEvent(QHideEvent *event) override;

private:
    enum class Settle { Now, Later };
    void apply(Settle settle);
    void refreshMicrophones();
    void test();

    EngineOptions &m_options;
    SettingsStore *m_settings;
    QSlider *m_rate = nullptr;
    QSpinBox *m_pitch = nullptr;
    QSlider *m_volume = nullptr;
    QCheckBox *m_balloon = nullptr;
    QSpinBox *m_fontSize = nullptr;
    QSlider *m_effects = nullptr;
    QComboBox *m_voice = nullptr;
    QComboBox *m_listenKey = nullptr;
    QComboBox *m_microphone = nullptr;
    QProgressBar *m_level = nullptr;
    QPushButton *m_test = nullptr;
    QLabel *m_heard = nullptr;
    Listener *m_listener = nullptr;
    bool m_refreshing = false;
    bool m_pending = false;
    EngineOptions m_saved; // as the settings hold them
    std::unique_ptr<Clock::Timer> m_saveTimer;
};

} // namespace agent
