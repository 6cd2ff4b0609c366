#pragma once

// The parts of the calendar window a colour can be set on. The five month
// view roles are also the colour properties of any MonthView.
enum class ColourRole {
    TimeBandBack, // background of the time band
    TimeBandText, // text of the time band
    MonthBack, // background of the days
    Fore, // text of the days
    TitleBack, // background of the title
    TitleFore, // text of the title
    TrailingFore, // text of the neighbouring months' days
    Text1Back, // background of the strip `Text1` above the month view
};
