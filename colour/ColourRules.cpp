#include "colour/ColourRules.h"

#include <limits>

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

QString colourName(quint32 bgr)
{
    struct Named
    {
        const char *name;
        int r, g, b;
    };
    static constexpr Named kNames[]
        = { { "black", 0, 0, 0 }, { "white", 255, 255, 255 }, { "grey", 128, 128, 128 },
              { "red", 200, 30, 30 }, { "orange", 255, 140, 0 }, { "yellow", 255, 230, 0 },
              { "green", 30, 150, 50 }, { "blue", 30, 60, 200 }, { "dark blue", 0, 0, 110 },
              { "purple", 100, 0, 140 }, { "pink", 255, 130, 180 }, { "brown", 130, 80, 30 } };
    const int r = int(bgr & 0xFF);
    const int g = int((bgr >> 8) & 0xFF);
    const int b = int((bgr >> 16) & 0xFF);
    const Named *best = &kNames[0];
    int bestDistance = std::numeric_limits<int>::max();
    for (const Named &n : kNames) {
        const int d = (r - n.r) * (r - n.r) + (g - n.g) * (g - n.g) + (b - n.b) * (b - n.b);
        if (d < bestDistance) {
            bestDistance = d;
            best = &n;
        }
    }
    return QLatin1String(best->name);
}

} // namespace colour
