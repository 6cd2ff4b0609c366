#pragma once

#include <QString>

// The rules of the main menu and the tray menu, apart from the windows, so
// that tests call them directly.

namespace menu {

// The options whose state lives in a setting.
enum class Toggle { Delay, SoundFx, Hide, Notify, Briefing };

// What one toggle does: the new check mark, the caption (empty: unchanged),
// the setting's new text and the sentence the character says.
struct ToggleStep
{
    bool checked = false;
    QString caption;
    QString settingText;
    QString sentence;
    // The setting is written before the check mark and caption change.
    bool writeFirst = false;
};

// `on` is the option's state as its setting tells it.
ToggleStep toggle(Toggle which, bool on);

// The caption of "Character sound effects" for a state.
QString soundEffectsCaption(bool on);

// The start-at-login item.
QString startAtLoginSentence(bool nowOn);
QString startAtLoginFailedText(bool wantedOn, const QString &reason);

QString hiddenSentence();
QString shownSentence();
QString moveHomeSentence();

// The rescue of a window the user cannot see.
QString rescueSentence();
QString rescueQuestion();
QString rescueRestartText();
inline constexpr float kRescueTwips = 1000.0f;

QString helpMissingText(const QString &page);
QString helpNotOpenedText(const QString &page);

} // namespace menu
