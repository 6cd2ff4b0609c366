#include "manager/ManagerRules.h"
#include "tests/support/QtPrinters.h"

#include <gtest/gtest.h>

using namespace manager;

namespace {

const QLocale kC = QLocale::c(); // long date: "Thursday, 24 December 2026"

SaveFields dinner()
{
    SaveFields f;
    f.hour = "7";
    f.minute = "5";
    f.ampm = "pm";
    f.date = QDate(2026, 12, 24);
    f.message = "Dinner";
    f.repeat = "Repeat every week";
    f.warn = true;
    return f;
}

const QDateTime kNow(QDate(2026, 12, 8), QTime(14, 7, 30));

} // namespace

TEST(ManagerChoices, ListsInTheirOrder)
{
    EXPECT_EQ(hourChoices().first(), "01");
    EXPECT_EQ(hourChoices().last(), "12");
    EXPECT_EQ(minuteChoices().size(), 12);
    EXPECT_EQ(minuteChoices()[1], "05");
    EXPECT_EQ(repeatChoices().size(), 7);
    EXPECT_EQ(repeatChoices().last(), "Don`t repeat this message");
    EXPECT_EQ(noAlarmsText(), QString(55, ' ') + "You don`t have any alarms set at the moment");
    EXPECT_EQ(listHelpText().split('\n').size(), 9);
}

TEST(ManagerDefaultTime, NextMultipleOfFiveAfterThisMinute)
{
    struct Case
    {
        QTime now;
        const char *hour, *minute, *ampm;
    };
    for (const Case &c :
        { Case { { 14, 7 }, "02", "10", "pm" }, Case { { 14, 55 }, "02", "00", "pm" },
            Case { { 14, 59 }, "02", "00", "pm" }, Case { { 14, 0 }, "02", "05", "pm" },
            Case { { 10, 57 }, "10", "00", "am" }, Case { { 0, 3 }, "12", "05", "am" },
            Case { { 12, 4 }, "12", "05", "pm" }, Case { { 9, 54 }, "09", "55", "am" } }) {
        const TimeFields t = defaultTime(c.now);
        EXPECT_EQ(t.hour, c.hour) << c.now.toString().toStdString();
        EXPECT_EQ(t.minute, c.minute) << c.now.toString().toStdString();
        EXPECT_EQ(t.ampm, c.ampm) << c.now.toString().toStdString();
    }
}

TEST(ManagerLines, ListAndPrintLinesFromRecords)
{
    const auto warned = AppointmentLine::fromLine("09/05/24/12/2026=TBuy bread}");
    const auto plain = AppointmentLine::fromLine("09/05/24/12/2026=TBuy bread");
    EXPECT_EQ(listLine(warned, kC),
        "09/05/24/12/2026 On Thursday, 24 December 2026, at 09:05, say : Buy bread");
    EXPECT_EQ(listLine(plain, kC),
        "09/05/24/12/2026 On Thursday, 24 December 2026, at 09:05 say : Buy bread");

    const QStringList doc
        = printDocument({ warned, AppointmentLine::fromLine("19/30/01/01/2027=NCall home") }, kC);
    const QStringList expected { "This is a list of your appointments on Quillory from Moravel.",
        ".", "At 09:05, on Thursday, 24 December 2026", "Buy bread",
        "At 19:30, on Friday, 1 January 2027", "Call home", ".",
        "This is the end of your appointments list." };
    EXPECT_EQ(doc, expected);
}

TEST(ManagerSave, RecordsOfThePart)
{
    SavePlan p = planSave(dinner(), kNow);
    EXPECT_EQ(p.refusal, SaveRefusal::None);
    EXPECT_EQ(p.key, "19/05/24/12/2026");
    EXPECT_EQ(p.value, "ZDinner}");

    SaveFields f = dinner();
    f.hour = "12";
    f.ampm = "am";
    EXPECT_EQ(planSave(f, kNow).key.left(2), "00");
    f.ampm = "pm";
    EXPECT_EQ(planSave(f, kNow).key.left(2), "12");

    f = dinner();
    f.confirm = true;
    f.repeat = "Don`t repeat this message";
    f.warn = false;
    EXPECT_EQ(planSave(f, kNow).value, "RDinner");
    f.confirm = false;
    EXPECT_EQ(planSave(f, kNow).value, "NDinner");
    f.repeat = "Repeat now and then";
    f.confirm = true;
    EXPECT_EQ(planSave(f, kNow).value, "NDinner");

    f = dinner();
    f.message = "Buy\r\nbread\nand milk";
    EXPECT_EQ(planSave(f, kNow).value, "ZBuy  bread and milk}");
}

TEST(ManagerSave, ChecksInTheirOrder)
{
    struct Case
    {
        const char *hour, *minute, *message;
        SaveRefusal refusal;
    };
    for (const Case &c : {
             Case { "7", "60", "Dinner", SaveRefusal::InvalidMinute },
             Case { "7", "-1", "Dinner", SaveRefusal::InvalidMinute },
             Case { "7", "abc", "Dinner", SaveRefusal::InvalidMinute },
             Case { "7", "", "Dinner", SaveRefusal::InvalidMinute },
             Case { "7", "99999999999", "Dinner", SaveRefusal::InvalidMinute },
             Case { "7", "1e400", "Dinner", SaveRefusal::InvalidMinute },
             Case { "13", "abc", "x", SaveRefusal::InvalidMinute }, // the minute first
             Case { "0", "5", "Dinner", SaveRefusal::InvalidHour },
             Case { "13", "5", "Dinner", SaveRefusal::InvalidHour },
             Case { "abc", "5", "Dinner", SaveRefusal::InvalidHour },
             Case { "", "5", "Dinner", SaveRefusal::InvalidHour },
             Case { "99999999999", "5", "Dinner", SaveRefusal::InvalidHour },
             Case { "7", "5", "D", SaveRefusal::ShortMessage },
             Case { "7", "5", "", SaveRefusal::ShortMessage },
             Case { "7", "5", "Do", SaveRefusal::None },
         }) {
        SaveFields f = dinner();
        f.hour = c.hour;
        f.minute = c.minute;
        f.message = c.message;
        EXPECT_EQ(planSave(f, kNow).refusal, c.refusal)
            << c.hour << " " << c.minute << " " << c.message;
    }
}

TEST(ManagerSave, NumbersAsTheyAreMeantAndPaddedKeys)
{
    // A blank, a fraction or a missing zero never reaches the key.
    for (const char *minute : { " 7", "7.5", "07", "7 " }) {
        SaveFields f = dinner();
        f.minute = minute;
        EXPECT_EQ(planSave(f, kNow).key, "19/07/24/12/2026") << minute;
    }
    SaveFields f = dinner();
    f.hour = "12.9";
    f.ampm = "pm";
    EXPECT_EQ(planSave(f, kNow).key.left(2), "12");
}

TEST(ManagerSave, NowIsRefusedTheNextMinuteIsNot)
{
    SaveFields f = dinner();
    f.date = kNow.date();
    f.hour = "2";
    f.minute = "7"; // unpadded, as typed: still this very minute
    EXPECT_EQ(planSave(f, kNow).refusal, SaveRefusal::ExactTime);
    f.minute = "08";
    EXPECT_EQ(planSave(f, kNow).refusal, SaveRefusal::None);
    f.minute = "07";
    f.message = "x"; // the time is checked before the message
    EXPECT_EQ(planSave(f, kNow).refusal, SaveRefusal::ExactTime);
}

// The fields are marked as they are typed by the very rules the save applies,
// and what was typed is what the key gets: "1", "02", "pm" is 13:02.
TEST(ManagerSave, TypedTimeFieldsAreTakenAsTyped)
{
    struct Case
    {
        TimeField field;
        const char *text;
        bool valid;
    };
    for (const Case &c : {
             Case { TimeField::Hour, "1", true },
             Case { TimeField::Hour, "01", true },
             Case { TimeField::Hour, " 7", true },
             Case { TimeField::Hour, "12", true },
             Case { TimeField::Hour, "0", false },
             Case { TimeField::Hour, "13", false },
             Case { TimeField::Hour, "", false },
             Case { TimeField::Hour, "1a", false },
             Case { TimeField::Minute, "0", true },
             Case { TimeField::Minute, "2", true },
             Case { TimeField::Minute, "59", true },
             Case { TimeField::Minute, "60", false },
             Case { TimeField::Minute, "-1", false },
             Case { TimeField::AmPm, "am", true },
             Case { TimeField::AmPm, "PM", true },
             Case { TimeField::AmPm, "p", false },
             Case { TimeField::AmPm, "", false },
         }) {
        EXPECT_EQ(validTimeField(c.field, c.text), c.valid) << c.text;
    }

    SaveFields f = dinner();
    f.hour = "1";
    f.minute = "2";
    f.ampm = "pm";
    EXPECT_EQ(planSave(f, kNow).key, "13/02/24/12/2026");
    f.ampm = "PM";
    EXPECT_EQ(planSave(f, kNow).key, "13/02/24/12/2026");
    // Anything else would be a morning without a word; the hour is checked first.
    f.ampm = "p";
    EXPECT_EQ(planSave(f, kNow).refusal, SaveRefusal::InvalidAmPm);
    f.hour = "13";
    EXPECT_EQ(planSave(f, kNow).refusal, SaveRefusal::InvalidHour);
    EXPECT_EQ(invalidFieldText(TimeField::Hour), "Not a valid hour: type 1 to 12");
}

TEST(ManagerSave, ATimeGoneTodayIsAskedAbout)
{
    struct Case
    {
        QDate date;
        const char *hour, *minute, *ampm;
        bool passed;
    };
    const QDate today = kNow.date(); // 14:07:30
    for (const Case &c : {
             Case { today, "2", "06", "pm", true },
             Case { today, "12", "00", "am", true },
             Case { today, "11", "59", "am", true },
             Case { today, "2", "08", "pm", false },
             Case { today, "11", "00", "pm", false },
             Case { today.addDays(1), "1", "00", "am", false },
             // Earlier days are the old messages of the next start, as before.
             Case { today.addDays(-1), "11", "00", "pm", false },
         }) {
        SaveFields f = dinner();
        f.date = c.date;
        f.hour = c.hour;
        f.minute = c.minute;
        f.ampm = c.ampm;
        const SavePlan plan = planSave(f, kNow);
        EXPECT_EQ(plan.refusal, SaveRefusal::None);
        EXPECT_EQ(plan.passedToday, c.passed) << c.hour << ":" << c.minute << c.ampm;
    }
}

TEST(ManagerSave, MessagesThatWouldNotSurviveAKeyRead)
{
    SaveFields f = dinner();
    f.message = QString(252, 'a');
    EXPECT_EQ(planSave(f, kNow).value.size(), 254); // code + text + marker: what a read returns
    f.message += 'a';
    EXPECT_EQ(planSave(f, kNow).refusal, SaveRefusal::LongMessage);
    f.message = QString(10000, 'a');
    EXPECT_EQ(planSave(f, kNow).refusal, SaveRefusal::LongMessage);
    EXPECT_EQ(messageRoom(QString(250, 'a')), 2);
    // What the field keeps of a longer text, and the count that says it was cut.
    EXPECT_EQ(fitMessage(QString(10000, 'a')), QString(252, 'a'));
    EXPECT_EQ(fitMessage("Dinner"), "Dinner");
    const QString greek = fitMessage(QString(300, QChar(0x03B1)));
    EXPECT_EQ(greek.size(), 126) << "two bytes each, never half a character";
    const QString faces = fitMessage(QString(251, 'a') + QString::fromUtf8("\xF0\x9F\x98\x80"));
    EXPECT_EQ(faces, QString(251, 'a')) << "no half of a surrogate pair";
    EXPECT_EQ(roomText(0, true), "0 characters left (the pasted text was cut)");
    EXPECT_EQ(roomText(1, false), "1 character left");
    EXPECT_EQ(roomText(234, false), "234 characters left");
    // Text the file keeps as UTF-8 takes more of the room.
    EXPECT_EQ(messageRoom(QString::fromUtf8("Καλημέρα")), 252 - 16);
    // Marks of the file's own form are just text inside a value.
    f.message = "a=b [alarms] \tc";
    EXPECT_EQ(planSave(f, kNow).value, "Za=b [alarms] \tc}");
}

TEST(ManagerSave, TypedMessageKeepsWhatFitsAndSaysSo)
{
    const MessageFit pasted = fitTyped(QString(300, 'a'));
    EXPECT_EQ(pasted.text, QString(252, 'a'));
    EXPECT_TRUE(pasted.cut);
    EXPECT_EQ(pasted.room, "0 characters left (the pasted text was cut)");
    const MessageFit typed = fitTyped("Dinner");
    EXPECT_EQ(typed.text, "Dinner");
    EXPECT_FALSE(typed.cut);
    EXPECT_EQ(typed.room, "246 characters left");
    // A message exactly at the limit is kept whole, not reported as cut.
    EXPECT_FALSE(fitTyped(QString(252, 'a')).cut);
}

TEST(ManagerHelp, EveryControlSaysItsOwnSentence)
{
    const QList<HelpTopic> topics = { HelpTopic::Confirm, HelpTopic::HelpSwitch, HelpTopic::Warn,
        HelpTopic::AmPm, HelpTopic::Hour, HelpTopic::Minute, HelpTopic::Repeat, HelpTopic::List,
        HelpTopic::Exit, HelpTopic::Save };
    QStringList said;
    for (HelpTopic topic : topics)
        said << spokenHelp(topic);
    EXPECT_EQ(said.removeDuplicates(), 0);
    EXPECT_FALSE(said.contains(QString()));
    // The character's emphasis tags are part of the sentence; the two
    // pictures speak without one.
    EXPECT_EQ(spokenHelp(HelpTopic::Repeat), "\\emp\\Do you want the alarm to re schedule?");
    EXPECT_EQ(spokenHelp(HelpTopic::Warn).count("\\emp\\"), 2);
    EXPECT_EQ(spokenHelp(HelpTopic::Save), "Click on Save, to save the message");
    EXPECT_EQ(helpSwitchSentence(true), "\\emp\\Okay, I will no longer help you!");
    EXPECT_EQ(helpSwitchSentence(false), "\\emp\\Hey, I would love to help you out again!");
}

// Every reader takes a final "}" for the early-warning marker: a message
// ending in one is refused, and whatever is saved reads back as typed.
TEST(ManagerSave, AMessageReadsBackAsTypedOrIsRefused)
{
    SaveFields f = dinner();
    for (const bool warn : { false, true }) {
        f.warn = warn;
        for (const char *message : { "Meet in {room 5}", "}}", "x}" }) {
            f.message = message;
            EXPECT_EQ(planSave(f, kNow).refusal, SaveRefusal::FinalBrace) << message;
        }
        for (const char *message : { "Meet in {room 5} now", "Meet in {room 5} ", "{x", "a}b",
                 "Meet in {room 5}.", "}start" }) {
            f.message = message;
            const SavePlan plan = planSave(f, kNow);
            ASSERT_EQ(plan.refusal, SaveRefusal::None) << message;
            const auto line = AppointmentLine::fromLine(plan.key + "=" + plan.value);
            EXPECT_EQ(line.text, QString::fromUtf8(message)) << message;
            EXPECT_EQ(line.earlyWarning, warn) << message;
        }
    }
    EXPECT_TRUE(refusalText(SaveRefusal::FinalBrace).contains("can`t end with \"}\""));
}

TEST(ManagerRepeat, EveryCodeComesBackFromItsFields)
{
    for (const RepeatCode &row : repeatCodes()) {
        const RepeatFields f = repeatFields(QLatin1Char(row.code));
        EXPECT_EQ(repeatCode(f.choice, f.confirm), QLatin1Char(row.code)) << row.code;
    }
    EXPECT_EQ(repeatFields(QChar('?')).choice, "Don`t repeat this message");
    EXPECT_FALSE(repeatFields(QChar('?')).confirm);
}

TEST(ManagerPreview, FieldsAndSentences)
{
    auto p = preview("13/05/24/12/2026", "TBuy bread}");
    ASSERT_TRUE(p);
    EXPECT_EQ(p->hour, "01");
    EXPECT_EQ(p->minute, "05");
    EXPECT_EQ(p->ampm, "pm");
    EXPECT_EQ(QDate(p->year, p->month, p->day), QDate(2026, 12, 24));
    EXPECT_EQ(p->message, "Buy bread");
    EXPECT_TRUE(p->warn);
    EXPECT_FALSE(p->repeat.confirm);
    EXPECT_EQ(p->repeat.choice, "Repeat every day");
    EXPECT_EQ(previewSentence(*p, 24, 12, 2026),
        "This appointment is set for !, 1, 05, p.m,, on the 24th, of December, 2026, and the "
        "message is !, Buy bread");

    p = preview("09/00/01/01/2027", "NCall home");
    ASSERT_TRUE(p);
    EXPECT_EQ(previewSentence(*p, 1, 1, 2027),
        "This appointment is set for !, 9, a.m,, on the 1st, of January , 2027, and the message "
        "is !, Call home");
    EXPECT_FALSE(p->warn);
    EXPECT_EQ(p->repeat.choice, "Don`t repeat this message");

    p = preview("00/30/02/01/2027", "RMidnight");
    EXPECT_EQ(p->hour, "12");
    EXPECT_EQ(p->ampm, "am");
    EXPECT_TRUE(p->repeat.confirm);
    EXPECT_EQ(p->repeat.choice, "Don`t repeat this message");
    p = preview("12/30/02/01/2027", "NNoon");
    EXPECT_EQ(p->hour, "12");
    EXPECT_EQ(p->ampm, "pm");
    EXPECT_FALSE(preview("12/30/02/01/2027", "nothing"));
}

TEST(ManagerPreview, WhatPreviewGivesSavesBackUnchanged)
{
    for (const char *key : { "00/30/02/01/2027", "12/30/02/01/2027", "13/05/24/12/2026" }) {
        const auto p = preview(key, "TText}");
        SaveFields f;
        f.hour = p->hour;
        f.minute = p->minute;
        f.ampm = p->ampm;
        f.date = QDate(p->year, p->month, p->day);
        f.message = p->message;
        f.repeat = p->repeat.choice;
        f.confirm = p->repeat.confirm;
        f.warn = p->warn;
        const SavePlan plan = planSave(f, kNow);
        EXPECT_EQ(plan.key, key);
        EXPECT_EQ(plan.value, "TText}");
    }
}

TEST(ManagerDelete, OnlyKeysOfTheRecordsForm)
{
    EXPECT_FALSE(deletableKey(noAlarmsText()));
    EXPECT_FALSE(deletableKey(""));
    EXPECT_FALSE(deletableKey("hello world, this is typed"));
    EXPECT_FALSE(deletableKey("[alarms]"));
    EXPECT_FALSE(deletableKey("1a/05/24/12/2026 On ..."));
    EXPECT_EQ(deletableKey("09/05/24/12/2026 On Thursday").value_or(""), "09/05/24/12/2026");
}

TEST(ManagerDelete, TheQuestionNamesTheAppointment)
{
    EXPECT_EQ(deleteQuestion("10/15/09/12/2026", "TWater the plants}", kC),
        "Are you sure you want to delete this alarm\n\nWednesday, 9 December 2026, 10:15: "
        "Water the plants");
    EXPECT_EQ(deleteQuestion("00/05/01/01/2027", "N{Meet} me", kC),
        "Are you sure you want to delete this alarm\n\nFriday, 1 January 2027, 00:05: {Meet} me");
}
