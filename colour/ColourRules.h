#pragma once

// The colour control panel's rules: its buttons and what each one colours,
// the palette of "Restore to default" and the orders colours are read in.

#include "calendar/ColourRole.h"
#include "storage/Settings.h"

#include <QList>
#include <QString>

#include <optional>

namespace colour {

// One button that changes a colour: the preview property it sets, the
// calendar window's parts in the order they are set, and the setting.
struct ColourButton
{
    const char *objectName;
    const char *caption;
    const char *toolTip;
    ColourRole preview;
    QList<ColourRole> targets;
    SettingKey setting;
};

// The five colour buttons in the panel's order.
const QList<ColourButton> &colourButtons();
// The button named `objectName`, or nothing.
std::optional<ColourButton> colourButton(const QString &objectName);

// The setting a colour is kept under.
SettingKey settingFor(ColourRole role);

// The preview's own look, kept for each colour not stored.
quint32 designColour(ColourRole role);

// The month view colours in the order the panel reads them, at its load
// and after "Restore to default".
const QList<ColourRole> &previewReadOrder();

// A part of the calendar window and the setting it takes its colour from.
struct CalendarTarget
{
    ColourRole role;
    SettingKey setting;
};
// Every coloured part of the calendar window, in the order colours are put
// on it (at its load and after "Restore to default").
const QList<CalendarTarget> &calendarTargets();

// "Restore to default": the settings in the order written, with their texts.
struct PaletteEntry
{
    SettingKey setting;
    const char *text;
};
const QList<PaletteEntry> &restorePalette();
// The palette's text of a colour setting; empty for any other key.
QString restoreText(const SettingKey &key);

// The panel's own texts.
inline constexpr const char *kCaption = "Colour control panel";
inline constexpr const char *kTitleFrame = "Title bar";
inline constexpr const char *kMonthFrame = "Calendar";
inline constexpr const char *kRestoreCaption = "&Restore to default";
inline constexpr const char *kRestoreTip = "Click here to restore the original settings";
inline constexpr const char *kExitCaption = "&Exit";
inline constexpr const char *kExitTip = "Click here to close this window";
inline constexpr const char *kRestoredSentence = "The original settings have now been restored!";

// A chosen colour as the buttons store it: decimal text ("8388672").
QString storedText(quint32 colour);

// The name a person would give a colour (0x00BBGGRR): the nearest of a
// dozen plain names, for texts that speak of the calendar's look.
QString colourName(quint32 bgr);

} // namespace colour
