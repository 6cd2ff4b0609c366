#include "colour/ColourRules.h"

#include <cstring>

namespace colour {

namespace {

bool sameKey(const SettingKey &a, const SettingKey &b)
{
    return std::strcmp(a.key, b.key) == 0;
}

} // namespace

const QList<ColourButton> &colourButtons()
{
    static const QList<ColourButton> buttons {
        { "Command1", "&Change the title back colour",
            "Click here to change the title bar`s background colour", ColourRole::TitleBack,
            { ColourRole::TitleBack, ColourRole::TimeBandBack }, setting::TitleBackColor },
        { "Command2", "Change the &title font colour",
            "Click here to change the title bar`s font colour", ColourRole::TitleFore,
            { ColourRole::TitleFore, ColourRole::TimeBandText }, setting::TitleForeColor },
        { "Command3", "Change the &calendar back colour",
            "Click here to change the calendars background colour", ColourRole::MonthBack,
            { ColourRole::MonthBack, ColourRole::Text1Back }, setting::MonthBackColor },
        { "Command4", "Change the calendar &font colour",
            "Click here to change the calendars font colour", ColourRole::Fore,
            { ColourRole::Fore }, setting::ForeColor },
        { "Command6", "Change the trailing font &colour",
            "Click here to change the calendars trailing font colour", ColourRole::TrailingFore,
            { ColourRole::TrailingFore }, setting::TrailingForeColor },
    };
    return buttons;
}

std::optional<ColourButton> colourButton(const QString &objectName)
{
    for (const ColourButton &b : colourButtons()) {
        if (objectName == QLatin1String(b.objectName))
            return b;
    }
    return std::nullopt;
}

SettingKey settingFor(ColourRole role)
{
    switch (role) {
    case ColourRole::MonthBack:
    case ColourRole::Text1Back:
        return setting::MonthBackColor;
    case ColourRole::Fore:
        return setting::ForeColor;
    case ColourRole::TitleBack:
    case ColourRole::TimeBandBack:
        return setting::TitleBackColor;
    case ColourRole::TitleFore:
    case ColourRole::TimeBandText:
        return setting::TitleForeColor;
    case ColourRole::TrailingFore:
        break;
    }
    return setting::TrailingForeColor;
}

quint32 designColour(ColourRole role)
{
    // Plain paper: near-black on white under a dark blue title, grey
    // neighbours. Unlike the calendar's first look in every colour, so a
    // fresh preview shows that nothing is stored.
    switch (role) {
    case ColourRole::MonthBack:
    case ColourRole::Text1Back:
        return 0xFFFFFF;
    case ColourRole::Fore:
        return 0x303030;
    case ColourRole::TitleBack:
    case ColourRole::TimeBandBack:
        return 0x603000;
    case ColourRole::TitleFore:
    case ColourRole::TimeBandText:
        return 0xF8F8F8;
    case ColourRole::TrailingFore:
        break;
    }
    return 0xA0A0A0;
}

const QList<ColourRole> &previewReadOrder()
{
    static const QList<ColourRole> order { ColourRole::MonthBack, ColourRole::Fore,
        ColourRole::TitleBack, ColourRole::TitleFore, ColourRole::TrailingFore };
    return order;
}

const QList<CalendarTarget> &calendarTargets()
{
    static const QList<CalendarTarget> targets {
        { ColourRole::TimeBandBack, setting::TitleBackColor },
        { ColourRole::TimeBandText, setting::TitleForeColor },
        { ColourRole::MonthBack, setting::MonthBackColor },
        { ColourRole::Fore, setting::ForeColor },
        { ColourRole::TitleBack, setting::TitleBackColor },
        { ColourRole::TitleFore, setting::TitleForeColor },
        { ColourRole::TrailingFore, setting::TrailingForeColor },
        { ColourRole::Text1Back, setting::MonthBackColor },
    };
    return targets;
}

const QList<PaletteEntry> &restorePalette()
{
    static const QList<PaletteEntry> palette {
        { setting::TitleBackColor, setting::kRestoreTitleBackColor },
        { setting::TitleForeColor, setting::kRestoreTitleForeColor },
        { setting::MonthBackColor, setting::kRestoreMonthBackColor },
        { setting::ForeColor, setting::kRestoreForeColor },
        { setting::TrailingForeColor, setting::kRestoreTrailingForeColor },
    };
    return palette;
}

QString restoreText(const SettingKey &key)
{
    for (const PaletteEntry &entry : restorePalette()) {
        if (sameKey(entry.setting, key))
            return QString::fromLatin1(entry.text);
    }
    return {};
}

QString storedText(quint32 colour)
{
    return QString::number(colour);
}

} // namespace colour
