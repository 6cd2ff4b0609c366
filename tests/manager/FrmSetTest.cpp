#include "manager/FrmSet.h"

#include "announce/CharacterControl.h"
#include "calendar/MonthView.h"
#include "manager/AppointmentManager.h"
#include "manager/ManagerRules.h"
#include "storage/ModClock.h"
#include "storage/Settings.h"
#include "tests/support/FakeAgent.h"
#include "tests/support/Fakes.h"
#include "tests/support/QtPrinters.h"
#include "tests/support/TestHome.h"

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSet>
#include <QStackedWidget>
#include <QTabBar>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

const QByteArray kTwo
    = "[alarms]\r\n09/05/24/12/2026=TBuy bread}\r\n13/05/24/12/2026=NCall home\r\n";

// One manager window with every service faked; the calendar's side is a
// journal of what the manager asked of it.
class ManagerTest : public ::testing::Test
{
protected:
    ManagerTest()
        : character(agentControl, settings, modClock, fakes.dialogs, fakes.clock,
            CharacterControl::Host {
                [] { return true; }, [] { return announce::HomeInput {}; }, [] {}, [] {}, {} })
    {
        fakes.clock.set(QDateTime(QDate(2026, 12, 8), QTime(14, 7, 30)));
        agentControl.completeAtOnce = true;
        character.loadCharacter("Tockel", CharacterControl::kMoveVoiceAtLoad);
        tockel().journal = &journal;
    }

    FakeCharacter &tockel() { return *agentControl.characters.at("Tockel"); }

    FrmSet::Host host()
    {
        return FrmSet::Host { [this] { journal << "hideCalendar"; },
            [this] { journal << "showCalendar"; }, [] { return 15.0; },
            [this] { journal << "reshowset"; },
            [this] {
                journal << "restart";
                return restartWorks;
            },
            [] { return false; } };
    }

    FrmSet &open()
    {
        frm = std::make_unique<FrmSet>(
            fakes.services, settings, modClock, home.paths(), character, host());
        if (failReads > 0) {
            frm->readFile = [this](const QString &path) -> std::optional<QByteArray> {
                ++reads;
                if (reads <= failReads)
                    return std::nullopt;
                return TestHome::readFile(path);
            };
        }
        frm->Form_Load();
        return *frm;
    }

    QStringList spoken() const { return ::spoken(journal); }

    void fill(const QString &hour, const QString &minute, const QString &ampm, const QDate &date,
        const QString &message)
    {
        frm->com_hr->setEditText(hour);
        frm->com_min->setEditText(minute);
        frm->com_am->setEditText(ampm);
        frm->cal->setValue(date);
        frm->txt_message->setPlainText(message);
    }

    FakeServices fakes;
    TestHome home;
    SettingsStore settings { home.paths().settingsFile };
    ModClock modClock { fakes.clock, fakes.autostart, fakes.network, home.paths().windowsFolder() };
    FakeAgentControl agentControl;
    CharacterControl character;
    QStringList journal;
    bool restartWorks = true;
    int failReads = 0;
    int reads = 0;
    std::unique_ptr<FrmSet> frm;
};

TEST_F(ManagerTest, OpeningSequenceInOrder)
{
    settings.write(setting::SetX, "3000");
    settings.write(setting::SetY, "1500");
    home.writeData(kTwo);
    FrmSet &w = open();
    // Show, place beside the manager, then hide the calendar.
    ASSERT_GE(journal.size(), 3);
    EXPECT_EQ(journal[0], "Show");
    EXPECT_TRUE(journal[1].startsWith("MoveBeside:200,100,")) << journal[1].toStdString();
    EXPECT_EQ(journal[2], "hideCalendar");
    EXPECT_EQ(journal.size(), 3) << "the opening says nothing";
    EXPECT_EQ(w.pos(), QPoint(200, 100));
    EXPECT_EQ(w.formWidth(), 7455);
    EXPECT_EQ(w.formHeight(), 6165);
    EXPECT_TRUE(w.helpOn);
    EXPECT_FALSE(w.chk_help->isChecked());
    EXPECT_FALSE(w.dateHintGiven);
    EXPECT_EQ(w.com_hr->count(), 12);
    EXPECT_EQ(w.com_min->count(), 12);
    EXPECT_EQ(w.com_repeat->itemText(0), "Repeat every hour");
    // 14:07: the next five minutes.
    EXPECT_EQ(w.com_hr->currentText(), "02");
    EXPECT_EQ(w.com_min->currentText(), "10");
    EXPECT_EQ(w.com_am->currentText(), "pm");
    EXPECT_EQ(w.com_repeat->currentText(), "Don`t repeat this message");
    EXPECT_EQ(w.Combo1->count(), 2);
    EXPECT_EQ(w.Combo1->item(1),
        "13/05/24/12/2026 On Thursday, 24 December 2026, at 13:05 say : Call home");
    // Nothing is chosen until the user chooses, and no key is ever shown.
    EXPECT_EQ(w.Combo1->chosenLine(), "");
    EXPECT_EQ(w.Combo1->text(), "");
    EXPECT_EQ(
        w.Combo1->list->item(1)->text(), "On Thursday, 24 December 2026, at 13:05 say : Call home");
    EXPECT_EQ(w.cal->Value(), QDate(2026, 12, 8));
    EXPECT_EQ(w.accessibleName(), "Appointment Manager.");
    EXPECT_EQ(w.windowTitle(), "Appointment Manager.");
}

TEST_F(ManagerTest, ListOnlyFromWellFormedLinesInFileOrder)
{
    // No file: the design text stays, and delete refuses.
    FrmSet &w = open();
    EXPECT_EQ(w.Combo1->text(), manager::noAlarmsText());
    EXPECT_EQ(w.Combo1->count(), 0);

    // A BOM, CR-only ends, malformed, short, cleared and non-digit lines.
    home.writeData("\xEF\xBB\xBF[alarms]\r09/05/24/12/2026=TBuy bread}\rjunk=1\r1/2\r"
                   "10/00/25/12/2026=nothing\rx0/00/25/12/2026=NNo\r"
                   "10/00/26/12/2026=NBoxing day\n=\n\n");
    open();
    QStringList lines;
    for (int i = 0; i < frm->Combo1->count(); ++i)
        lines << frm->Combo1->item(i).left(16);
    EXPECT_EQ(lines, QStringList({ "09/05/24/12/2026", "10/00/26/12/2026" }));

    // Only "[alarms]" and cleared entries: an empty list with its design text.
    home.writeData("[alarms]\r\n10/00/25/12/2026=nothing\r\n");
    open();
    EXPECT_EQ(frm->Combo1->count(), 0);
    EXPECT_EQ(frm->Combo1->text(), manager::noAlarmsText());
}

TEST_F(ManagerTest, UnreadableFileRetriesThenTellsAndTheListStaysEmpty)
{
    home.writeData(kTwo);
    failReads = 3;
    open();
    EXPECT_EQ(frm->Combo1->count(), 2) << "read on the fourth attempt";
    EXPECT_TRUE(fakes.dialogs.boxes.isEmpty());

    reads = 0;
    failReads = 100;
    fakes.clock.set(QDateTime(QDate(2026, 12, 8), QTime(14, 7, 30)));
    const qint64 before = fakes.clock.monotonicMs();
    open();
    EXPECT_EQ(reads, 11);
    EXPECT_EQ(fakes.clock.monotonicMs() - before, 10000) << "one second between attempts";
    ASSERT_EQ(fakes.dialogs.boxes.size(), 1);
    EXPECT_EQ(fakes.dialogs.boxes[0].text,
        "I can`t seem to open your data file. This error occured in the frm_set module. please "
        "email help@quillory.example with this problem");
    EXPECT_EQ(fakes.dialogs.boxes[0].icon, MsgIcon::Exclamation);
    EXPECT_EQ(frm->Combo1->text(), manager::noAlarmsText());
}

TEST_F(ManagerTest, LongFileListsEveryLiveLine)
{
    home.writeData(TestHome::longDataFile(50000, 10, "NLive"));
    open();
    EXPECT_EQ(frm->Combo1->count(), 5000);
}

TEST_F(ManagerTest, TabChangeResizesAndPlacesTheCharacterBesideTheNewSize)
{
    settings.write(setting::SetX, "12000"); // 800 px: too near the right edge of 1280 px
    FrmSet &w = open();
    journal.clear();
    w.tabs->setCurrentIndex(1);
    EXPECT_EQ(w.formWidth(), 9735);
    EXPECT_EQ(w.formHeight(), 3760);
    ASSERT_EQ(journal.size(), 3);
    EXPECT_EQ(journal[0], "Show");
    EXPECT_EQ(journal[1], "Stop");
    EXPECT_TRUE(journal[2].startsWith("MoveBeside:"));
    EXPECT_TRUE(journal[2].endsWith(
        QString("%1x%2").arg(w.frameGeometry().width()).arg(w.frameGeometry().height())));
    w.tabs->setCurrentIndex(0);
    EXPECT_EQ(w.formWidth(), 7455);
    EXPECT_EQ(w.formHeight(), 6165);
}

TEST_F(ManagerTest, SpokenHelpOnlyWhileHelpIsOn)
{
    FrmSet &w = open();
    w.show();
    QEvent focus(QEvent::FocusIn);
    journal.clear();
    QApplication::sendEvent(w.com_hr, &focus);
    EXPECT_EQ(spoken(), QStringList { "\\emp\\Enter the hour in here!" });
    // Every control of the table speaks; the list's line and its drop-down say the same.
    journal.clear();
    const QList<QWidget *> helped = { w.chk_confirm, w.chk_help, w.chk_warn, w.com_am, w.com_min,
        w.com_repeat, w.Combo1->edit, w.Combo1->list, w.Picture2, w.Picture3 };
    for (QWidget *control : helped)
        QApplication::sendEvent(control, &focus);
    const QStringList said = spoken();
    ASSERT_EQ(said.size(), helped.size());
    EXPECT_EQ(said[6], said[7]);
    EXPECT_EQ(QSet<QString>(said.begin(), said.end()).size(), helped.size() - 1);
    EXPECT_EQ(said.last(), "Click on Save, to save the message");

    // The date hint comes once per opening.
    journal.clear();
    emit w.cal->Click();
    emit w.cal->Click();
    EXPECT_EQ(spoken(), QStringList { "\\emp\\Please choose the appointment date" });

    // The label toggles the box, stores "off" and silences the help.
    journal.clear();
    QTest::mouseClick(w.Label4, Qt::LeftButton);
    EXPECT_TRUE(w.chk_help->isChecked());
    EXPECT_EQ(settings.read(setting::SpkHelp), "off");
    EXPECT_FALSE(w.helpOn);
    QApplication::sendEvent(w.com_min, &focus);
    EXPECT_EQ(spoken(), QStringList { "\\emp\\Okay, I will no longer help you!" });

    journal.clear();
    QTest::mouseClick(w.chk_help, Qt::LeftButton);
    EXPECT_FALSE(w.chk_help->isChecked());
    EXPECT_EQ(settings.read(setting::SpkHelp), "on");
    EXPECT_EQ(spoken(), QStringList { "\\emp\\Hey, I would love to help you out again!" });

    // The other two labels just toggle their boxes.
    QTest::mouseClick(w.Label2, Qt::LeftButton);
    QTest::mouseClick(w.Label3, Qt::LeftButton);
    EXPECT_TRUE(w.chk_confirm->isChecked());
    EXPECT_TRUE(w.chk_warn->isChecked());

    // A new opening reads the stored choice.
    settings.write(setting::SpkHelp, "off");
    open();
    EXPECT_FALSE(frm->helpOn);
    EXPECT_TRUE(frm->chk_help->isChecked());
}

TEST_F(ManagerTest, SaveWritesTheRecordAndOpensAFreshManager)
{
    home.writeData(kTwo);
    FrmSet &w = open();
    fill("7", "5", "pm", QDate(2026, 12, 24), "Dinner");
    w.com_repeat->setEditText("Repeat every week");
    w.chk_warn->setChecked(true);
    journal.clear();
    w.save();
    EXPECT_EQ(home.readData(), kTwo + "19/05/24/12/2026=ZDinner}\r\n");
    EXPECT_EQ(settings.read(setting::NeedsReboot), "True");
    EXPECT_TRUE(w.unloaded());
    // "Please wait", the closing " ", the calendar shown, no walk home, then a new manager.
    EXPECT_EQ(spoken(), QStringList({ "Please wait", " " }));
    EXPECT_EQ(journal.filter("Calendar").join(','), "showCalendar");
    EXPECT_EQ(journal.last(), "reshowset");
    EXPECT_TRUE(journal.filter("MoveTo").isEmpty());

    // The same minute again replaces the record, once the user says so.
    open();
    fill("07", "05", "pm", QDate(2026, 12, 24), "Supper");
    fakes.dialogs.boxes.clear();
    fakes.dialogs.answers = { MsgAnswer::No };
    frm->save();
    ASSERT_EQ(fakes.dialogs.boxes.size(), 1);
    EXPECT_EQ(fakes.dialogs.boxes[0].title, "Attention!");
    EXPECT_EQ(fakes.dialogs.boxes[0].text,
        "This time already holds the appointment \"Dinner\". Replace it with \"Supper\"?");
    EXPECT_EQ(home.readData(), kTwo + "19/05/24/12/2026=ZDinner}\r\n");
    fakes.dialogs.answers = { MsgAnswer::Yes };
    frm->save();
    EXPECT_EQ(home.readData(), kTwo + "19/05/24/12/2026=NSupper\r\n");
}

// Typing 1, Tab, 2, Tab, pm: the boxes keep what was typed, and so does the key.
TEST_F(ManagerTest, TypedTimeIsKeptAndABadOneIsMarkedAtItsField)
{
    FrmSet &w = open();
    w.show();
    auto type = [](QComboBox *box, const QString &text) {
        box->lineEdit()->clear();
        QApplication::setActiveWindow(box->window());
        box->setFocus();
        QTest::keyClicks(box->lineEdit(), text);
        QTest::keyClick(box->lineEdit(), Qt::Key_Tab);
    };
    type(w.com_hr, "1");
    type(w.com_min, "2");
    type(w.com_am, "pm");
    EXPECT_EQ(w.com_hr->currentText(), "1");
    EXPECT_EQ(w.com_min->currentText(), "2");
    EXPECT_EQ(w.com_am->currentText(), "pm");
    type(w.com_min, "0");
    EXPECT_EQ(w.com_min->currentText(), "0");
    EXPECT_EQ(w.com_hr->count(), 12) << "the choices stay";

    // A value the save would refuse is marked as it is typed; the name stays the label.
    type(w.com_hr, "13");
    EXPECT_EQ(w.com_hr->toolTip(), "Not a valid hour: type 1 to 12");
    EXPECT_EQ(w.com_hr->accessibleDescription(), "Not a valid hour: type 1 to 12");
    EXPECT_EQ(w.com_hr->accessibleName(), "Hour");
    EXPECT_FALSE(w.com_hr->styleSheet().isEmpty());
    w.cal->setValue(QDate(2026, 12, 24));
    w.txt_message->setPlainText("Dinner");
    w.save();
    ASSERT_EQ(fakes.dialogs.boxes.size(), 1);
    EXPECT_EQ(
        fakes.dialogs.boxes[0].text, "Sorry, you have chosen and invalid hour. Please try again!");
    type(w.com_am, "p");
    EXPECT_EQ(w.com_am->toolTip(), "Please type am or pm");

    type(w.com_hr, "1");
    type(w.com_min, "2");
    type(w.com_am, "pm");
    EXPECT_EQ(w.com_hr->toolTip(), "Select the hour in here");
    EXPECT_TRUE(w.com_hr->styleSheet().isEmpty());
    EXPECT_EQ(w.com_am->accessibleDescription(), "Please choose between am or pm");
    w.save();
    EXPECT_EQ(home.readData(), "[alarms]\r\n13/02/24/12/2026=NDinner\r\n");
}

TEST_F(ManagerTest, ATimeGoneTodayIsSavedOnlyWhenTheUserSaysSo)
{
    FrmSet &w = open(); // 14:07 on 8 December
    fill("2", "05", "pm", QDate(2026, 12, 8), "Tea");
    fakes.dialogs.answers = { MsgAnswer::No };
    w.save();
    ASSERT_EQ(fakes.dialogs.boxes.size(), 1);
    EXPECT_EQ(fakes.dialogs.boxes[0].text, "This time has already passed today. Save it anyway?");
    EXPECT_EQ(fakes.dialogs.boxes[0].title, "Attention!");
    EXPECT_EQ(fakes.dialogs.boxes[0].buttons, MsgButtons::YesNo);
    EXPECT_FALSE(w.unloaded());
    EXPECT_EQ(w.com_min->currentText(), "05");
    EXPECT_EQ(w.txt_message->toPlainText(), "Tea");
    EXPECT_FALSE(QFileInfo::exists(home.dataFile()));

    fakes.dialogs.answers = { MsgAnswer::Yes };
    w.save();
    EXPECT_EQ(home.readData(), "[alarms]\r\n14/05/08/12/2026=NTea\r\n");

    // Later today asks nothing.
    open();
    fakes.dialogs.boxes.clear();
    fill("2", "10", "pm", QDate(2026, 12, 8), "Walk");
    frm->save();
    EXPECT_TRUE(fakes.dialogs.boxes.isEmpty());
    EXPECT_TRUE(frm->unloaded());
}

// An appointment that fires while the manager is open moves on in the file;
// the list shows it without reopening and keeps the line the user chose.
TEST_F(ManagerTest, TheListFollowsTheFile)
{
    home.writeData(kTwo);
    FrmSet &w = open();
    w.Combo1->clickItem(1);
    journal.clear();
    // Replaced whole, as every writer of the file does.
    const QString next = home.dataFile() + ".new";
    QFile out(next);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write("[alarms]\r\n09/05/25/12/2026=TBuy bread}\r\n13/05/24/12/2026=NCall home\r\n");
    out.close();
    QFile::remove(home.dataFile());
    ASSERT_TRUE(QFile::rename(next, home.dataFile()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.Combo1->item(0).startsWith("09/05/25/12/2026"); }));
    EXPECT_EQ(w.Combo1->chosenLine().left(16), "13/05/24/12/2026");
    EXPECT_EQ(w.Combo1->text(), "On Thursday, 24 December 2026, at 13:05 say : Call home");
    EXPECT_TRUE(spoken().isEmpty()) << "keeping the choice is no preview";

    // Written again in place; the chosen one is gone, so nothing is chosen.
    home.writeData("[alarms]\r\n09/05/25/12/2026=TBuy bread}\r\n13/05/24/12/2026=nothing\r\n");
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.Combo1->count() == 1; }));
    EXPECT_EQ(w.Combo1->chosenLine(), "");
    EXPECT_EQ(w.Combo1->text(), "");
    w.com_del_Click();
    EXPECT_EQ(fakes.dialogs.boxes.last().text,
        "You didn`t select a valid appointment, please try again!");

    // Gone altogether: the empty list's own text.
    QFile::remove(home.dataFile());
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.Combo1->count() == 0; }));
    EXPECT_EQ(w.Combo1->text(), manager::noAlarmsText());
}

TEST_F(ManagerTest, DeleteOfAnAppointmentThatFiredWhileAskedDeletesNothing)
{
    home.writeData(kTwo);
    FrmSet &w = open();
    w.Combo1->clickItem(0);
    // While the question is open the appointment fires and moves on, and
    // the user saves another one at its old minute.
    const QByteArray meanwhile
        = "[alarms]\r\n09/05/24/12/2026=NSomething new\r\n13/05/24/12/2026=NCall home\r\n";
    fakes.dialogs.whileShown = [&](const RecordedBox &box) {
        if (box.title == "WARNING!")
            home.writeData(meanwhile);
    };
    fakes.dialogs.answers = { MsgAnswer::Yes };
    w.com_del_Click();
    EXPECT_EQ(home.readData(), meanwhile);
    ASSERT_EQ(fakes.dialogs.boxes.size(), 2);
    EXPECT_TRUE(
        fakes.dialogs.boxes[1].text.startsWith("This appointment was announced or changed"));
    EXPECT_FALSE(w.unloaded());
}

TEST_F(ManagerTest, RefusedSaveKeepsWhatTheUserChose)
{
    home.writeData(kTwo);
    FrmSet &w = open();
    fill("7", "5", "pm", QDate(2026, 12, 24), "D");
    w.save();
    ASSERT_EQ(fakes.dialogs.boxes.size(), 1);
    EXPECT_EQ(fakes.dialogs.boxes[0].text,
        "Sorry, you must enter a valid message before the alarm will work, please try again!");
    EXPECT_EQ(w.com_hr->currentText(), "7") << "the hour is converted on a copy";
    w.txt_message->setPlainText("Dinner");
    w.save();
    EXPECT_EQ(fakes.dialogs.boxes.size(), 1);
    EXPECT_EQ(home.readData(), kTwo + "19/05/24/12/2026=NDinner\r\n");

    open();
    fill("7", "abc", "pm", QDate(2026, 12, 24), "Dinner");
    frm->save();
    EXPECT_EQ(fakes.dialogs.boxes.last().title, "Error!");
    EXPECT_EQ(fakes.dialogs.boxes.last().icon, MsgIcon::Critical);
    EXPECT_EQ(fakes.dialogs.boxes.last().text,
        "Sorry, you have chosen and invalid minute. Please try again!");
    fill("2", "7", "pm", QDate(2026, 12, 8), "Now");
    frm->save();
    EXPECT_EQ(fakes.dialogs.boxes.last().text,
        "Sorry, you can`t set the alarm for this exact time and date");
    fill("7", "5", "pm", QDate(2026, 12, 25), "Meet in {room 5}");
    frm->save();
    EXPECT_EQ(
        fakes.dialogs.boxes.last().text, manager::refusalText(manager::SaveRefusal::FinalBrace));
    EXPECT_EQ(frm->txt_message->toPlainText(), "Meet in {room 5}");
    EXPECT_FALSE(frm->unloaded());
    EXPECT_EQ(home.readData(), kTwo + "19/05/24/12/2026=NDinner\r\n");
}

TEST_F(ManagerTest, MessageFieldKeepsWhatFitsAndSaysHowMuchIsLeft)
{
    FrmSet &w = open();
    EXPECT_EQ(w.lab_room->text(), "252 characters left");
    // A paste longer than the room is cut, and the count says so.
    w.txt_message->insertPlainText(QString(10000, 'x'));
    EXPECT_EQ(w.txt_message->toPlainText().size(), 252);
    EXPECT_EQ(w.lab_room->text(), "0 characters left (the pasted text was cut)");
    QTest::keyClick(w.txt_message, Qt::Key_Backspace);
    EXPECT_EQ(w.lab_room->text(), "1 character left");
    w.txt_message->setPlainText("Buy bread\nand milk");
    EXPECT_EQ(w.lab_room->text(), "234 characters left");
    fill("7", "5", "pm", QDate(2026, 12, 24), "Buy bread\nand milk");
    w.save();
    EXPECT_EQ(home.readData(), "[alarms]\r\n19/05/24/12/2026=NBuy bread and milk\r\n");
}

TEST_F(ManagerTest, SaveThatCannotBeWrittenTellsAndKeepsTheFields)
{
    // The data file replaced by a folder: nothing can be written there.
    QDir().mkpath(home.dataFile());
    FrmSet &w = open();
    fill("7", "5", "pm", QDate(2026, 12, 24), "Dinner");
    journal.clear();
    w.save();
    ASSERT_EQ(fakes.dialogs.boxes.size(), 1);
    EXPECT_TRUE(
        fakes.dialogs.boxes[0].text.startsWith("Sorry, the appointment file could not be written"));
    EXPECT_EQ(fakes.dialogs.boxes[0].icon, MsgIcon::Critical);
    EXPECT_FALSE(w.unloaded()) << "no fresh list that pretends it was saved";
    EXPECT_FALSE(journal.contains("reshowset"));
    EXPECT_EQ(w.txt_message->toPlainText(), "Dinner");
}

TEST_F(ManagerTest, PreviewFillsTheFieldsAndReadsTheAppointment)
{
    home.writeData("[alarms]\r\n13/05/24/12/2026=TBuy bread}\r\n09/00/01/01/2027=RCall home\r\n");
    FrmSet &w = open();
    journal.clear();
    w.Combo1->clickItem(0);
    EXPECT_EQ(w.com_hr->currentText(), "01");
    EXPECT_EQ(w.com_min->currentText(), "05");
    EXPECT_EQ(w.com_am->currentText(), "pm");
    EXPECT_EQ(w.cal->Value(), QDate(2026, 12, 24));
    EXPECT_EQ(w.txt_message->toPlainText(), "Buy bread");
    EXPECT_TRUE(w.chk_warn->isChecked());
    EXPECT_FALSE(w.chk_confirm->isChecked());
    EXPECT_EQ(w.com_repeat->currentText(), "Repeat every day");
    EXPECT_EQ(spoken(),
        QStringList { "This appointment is set for !, 1, 05, p.m,, on the 24th, of "
                      "December, 2026, and the message is !, Buy bread" });

    // Saving the preview unchanged writes the same record.
    const QByteArray before = home.readData();
    w.save();
    EXPECT_EQ(home.readData(), before);

    // With the help off: the fields, no sentence.
    settings.write(setting::SpkHelp, "off");
    open();
    journal.clear();
    frm->Combo1->clickItem(1);
    EXPECT_TRUE(frm->chk_confirm->isChecked());
    EXPECT_EQ(frm->com_repeat->currentText(), "Don`t repeat this message");
    EXPECT_TRUE(spoken().isEmpty());

    // The line over the list shows the choice without its key and takes no typing.
    EXPECT_EQ(frm->Combo1->text(), "On Friday, 1 January 2027, at 09:00 say : Call home");
    EXPECT_TRUE(frm->Combo1->edit->isReadOnly());
}

TEST_F(ManagerTest, DeleteAsksThenClearsTheChosenEntry)
{
    // Right after a save the fresh manager has nothing chosen: nothing is deleted.
    FrmSet &saving = open();
    fill("7", "5", "pm", QDate(2026, 12, 24), "Dinner");
    saving.save();
    const QByteArray saved = home.readData();
    FrmSet &w = open();
    EXPECT_EQ(w.Combo1->count(), 1);
    w.com_del_Click();
    ASSERT_EQ(fakes.dialogs.boxes.size(), 1);
    EXPECT_EQ(
        fakes.dialogs.boxes[0].text, "You didn`t select a valid appointment, please try again!");
    EXPECT_EQ(home.readData(), saved);

    // The question names the chosen appointment; No changes nothing.
    home.writeData(kTwo);
    open();
    fakes.dialogs.boxes.clear();
    frm->Combo1->clickItem(1);
    fakes.dialogs.answers = { MsgAnswer::No };
    frm->com_del_Click();
    ASSERT_EQ(fakes.dialogs.boxes.size(), 1);
    EXPECT_EQ(fakes.dialogs.boxes[0].title, "WARNING!");
    EXPECT_EQ(fakes.dialogs.boxes[0].text,
        "Are you sure you want to delete this alarm\n\nThursday, 24 December 2026, 13:05: Call "
        "home");
    EXPECT_EQ(fakes.dialogs.boxes[0].buttons, MsgButtons::YesNo);
    EXPECT_EQ(home.readData(), kTwo);

    FrmSet &w2 = *frm;
    w2.Combo1->clickItem(0);
    fakes.dialogs.answers = { MsgAnswer::Yes };
    journal.clear();
    w2.com_del_Click();
    EXPECT_EQ(
        home.readData(), "[alarms]\r\n09/05/24/12/2026=nothing\r\n13/05/24/12/2026=NCall home\r\n");
    EXPECT_EQ(settings.read(setting::NeedsReboot), "True");
    EXPECT_TRUE(w2.unloaded());
    EXPECT_EQ(journal.last(), "reshowset");
    open();
    EXPECT_EQ(frm->Combo1->count(), 1);
}

TEST_F(ManagerTest, DeleteWithoutAValidSelectionSaysSoAndLeavesTheFile)
{
    FrmSet &w = open();
    w.com_del_Click(); // no data file: the design text
    home.writeData(kTwo);
    open();
    // Text put on the line over the list never chooses an appointment.
    for (const char *typed : { "hello", "09/05/24/12/2026 On Thursday", "[alarms]", "" }) {
        frm->Combo1->setText(typed);
        frm->com_del_Click();
    }
    EXPECT_EQ(fakes.dialogs.boxes.size(), 5);
    for (const RecordedBox &box : fakes.dialogs.boxes) {
        EXPECT_EQ(box.text, "You didn`t select a valid appointment, please try again!");
        EXPECT_EQ(box.icon, MsgIcon::Exclamation);
    }
    EXPECT_EQ(spoken().count("You didnt select a valid appointment, please try again!"), 5);
    EXPECT_EQ(home.readData(), kTwo);
    EXPECT_FALSE(settings.read(setting::NeedsReboot) == "True");
}

TEST_F(ManagerTest, PrintSendsEightLinesForTwoAppointments)
{
    home.writeData(kTwo + "1a/00/01/01/2027=NNo digit test when printing\r\n");
    FrmSet &w = open();
    w.Command1_Click();
    ASSERT_EQ(fakes.printer.jobs.size(), 1);
    EXPECT_EQ(fakes.printer.jobs[0].second.size(), 10) << "printing has no first-digit test";

    home.writeData(kTwo);
    fakes.printer.result
        = { Printer::Outcome::SavedAsPdf, "/home/u/Documents/Quillory appointments.pdf", {} };
    journal.clear();
    w.Command1_Click();
    EXPECT_EQ(fakes.printer.jobs[1].second.size(), 8);
    EXPECT_EQ(fakes.printer.jobs[1].second[2], "At 09:05, on Thursday, 24 December 2026");
    ASSERT_EQ(spoken().size(), 1);
    EXPECT_TRUE(spoken()[0].endsWith("/home/u/Documents/Quillory appointments.pdf"));

    fakes.printer.result = { Printer::Outcome::Failed, {}, "the printer could not be started" };
    w.Command1_Click();
    EXPECT_EQ(fakes.dialogs.boxes.last().text,
        "Sorry, your list of appointments could not be printed: the printer could not be started.");

    // An unreadable file still prints its header and footer, without a word.
    failReads = 100;
    open();
    frm->Command1_Click();
    EXPECT_EQ(fakes.printer.jobs.last().second.size(), 4);
}

TEST_F(ManagerTest, ExitRestartsOnlyAfterAChange)
{
    FrmSet &w = open();
    journal.clear();
    w.exitManager();
    EXPECT_TRUE(w.unloaded());
    EXPECT_FALSE(journal.contains("restart"));
    EXPECT_FALSE(journal.filter("MoveTo").isEmpty()) << "the character walks back";
    EXPECT_EQ(journal.filter("Calendar").join(','), "showCalendar");

    settings.write(setting::NeedsReboot, "True");
    open();
    journal.clear();
    QTest::mouseClick(frm->lab_exit, Qt::LeftButton);
    EXPECT_EQ(journal.filter("restart").size(), 1);
    EXPECT_EQ(settings.read(setting::NeedsReboot), "False");

    // No restart program: the manager still closes, the calendar carries on.
    settings.write(setting::NeedsReboot, "True");
    restartWorks = false;
    open();
    frm->Command2->click();
    EXPECT_TRUE(frm->unloaded());

    // "visible" off: the calendar stays hidden.
    settings.write(setting::Visible, "False");
    open();
    journal.clear();
    frm->exitManager();
    EXPECT_TRUE(journal.filter("Calendar").isEmpty());
}

TEST_F(ManagerTest, DraggingStoresThePositionOnEveryMove)
{
    settings.write(setting::SetX, "3000");
    settings.write(setting::SetY, "1500");
    FrmSet &w = open();
    w.show();
    QWidget *page = w.pages->currentWidget();
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 300), QPointF(5, 300), Qt::LeftButton,
        Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(page, &press);
    EXPECT_TRUE(w.dragging);
    QMouseEvent move(QEvent::MouseMove, QPointF(25, 310), QPointF(25, 310), Qt::NoButton,
        Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(page, &move);
    EXPECT_EQ(w.pos(), QPoint(220, 110));
    EXPECT_EQ(settings.read(setting::SetX), "3300");
    EXPECT_EQ(settings.read(setting::SetY), "1650");
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(25, 310), QPointF(25, 310),
        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(page, &release);
    EXPECT_FALSE(w.dragging);
    w.exitManager();
    open();
    EXPECT_EQ(frm->pos(), QPoint(220, 110));
}

TEST_F(ManagerTest, ControlsCarryNamesAPersonReads)
{
    FrmSet &w = open();
    const QList<QPair<const char *, const char *>> expected {
        { "com_hr", "Hour" },
        { "com_min", "Minute" },
        { "com_am", "am/pm" },
        { "txt_message", "Announcement/Message" },
        { "chk_confirm", "Request user confirmation" },
        { "chk_warn", "Remind me 1 week in advance" },
        { "chk_help", "Turn off the speaking help" },
        { "Picture3", "Save" },
        { "Picture2", "Exit" },
        { "com_del", "Delete" },
        { "Command1", "Print" },
        { "Command2", "Exit" },
        { "cal", "Appointment date" },
    };
    for (const auto &[object, name] : expected) {
        const QWidget *c = w.findChild<QWidget *>(object);
        ASSERT_TRUE(c) << object;
        EXPECT_EQ(c->accessibleName(), name) << object;
    }
    // A screen reader reads the time boxes by their labels, the number as
    // their value (Qt alone names an editable box by its text).
    w.com_hr->setEditText("02");
    for (QComboBox *box : { w.com_hr, w.com_min, w.com_am }) {
        QAccessibleInterface *a = QAccessible::queryAccessibleInterface(box);
        ASSERT_TRUE(a);
        EXPECT_EQ(a->text(QAccessible::Name), box->accessibleName());
        EXPECT_EQ(a->text(QAccessible::Value), box->currentText());
        EXPECT_EQ(a->role(), QAccessible::ComboBox);
    }
    EXPECT_EQ(QAccessible::queryAccessibleInterface(w.com_hr)->text(QAccessible::Value), "02");
    for (const QWidget *c : w.findChildren<QWidget *>()) {
        const bool insideCombo = qobject_cast<QComboBox *>(c->parentWidget())
            || (c->parentWidget() && qobject_cast<QComboBox *>(c->parentWidget()->parentWidget()));
        if (c->focusPolicy() != Qt::NoFocus && !insideCombo && !c->objectName().startsWith("qt_")) {
            EXPECT_FALSE(c->objectName().isEmpty()) << c->metaObject()->className();
        }
    }
}

TEST_F(ManagerTest, TheDateFieldTellsItsDateAndMovesByKeyboard)
{
    FrmSet &w = open();
    QTest::keyClick(w.cal, Qt::Key_Right);
    QTest::keyClick(w.cal, Qt::Key_PageDown);
    EXPECT_EQ(w.cal->Value(), QDate(2027, 1, 9));
    QAccessibleInterface *a = QAccessible::queryAccessibleInterface(w.cal);
    ASSERT_TRUE(a);
    EXPECT_EQ(a->text(QAccessible::Name), "Appointment date");
    EXPECT_EQ(a->text(QAccessible::Value),
        QLocale::system().toString(QDate(2027, 1, 9), QLocale::LongFormat));
}

TEST_F(ManagerTest, TheLinkOpensOneManagerAtATabOrDate)
{
    home.writeData(kTwo);
    AppointmentManager link(fakes.services, settings, modClock, home.paths(), host());
    link.setCharacter(&character);
    link.showAtTab(1);
    ASSERT_TRUE(link.window());
    EXPECT_EQ(link.window()->formWidth(), 9735);
    FrmSet *first = link.window();
    link.showAtDate(QDate(2027, 2, 14));
    EXPECT_EQ(link.window(), first) << "an open manager is brought forward, not loaded again";
    EXPECT_EQ(first->cal->Value(), QDate(2027, 2, 14));
    first->exitManager();
    link.showAtTab(0);
    EXPECT_NE(link.window(), nullptr);
    EXPECT_FALSE(link.window()->unloaded());
}

} // namespace

namespace {

TEST_F(ManagerTest, ImportAndExportGoThroughTheFileDialogsAndSayWhatTheyDid)
{
    home.writeData(kTwo);
    const QString folder = QFileInfo(home.dataFile()).absolutePath();
    const QString in = folder + "/in.ics";
    TestHome::writeFile(in,
        "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//t//t//EN\r\nBEGIN:VEVENT\r\nUID:x@t\r\n"
        "DTSTART:20261230T100000\r\nSUMMARY:Dentist\r\nEND:VEVENT\r\nBEGIN:VEVENT\r\nUID:y@t\r\n"
        "DTSTART:20261224T090500\r\nSUMMARY:Clash\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n");
    open();
    frm->SSTab1_Click(1);
    fakes.dialogs.files = { in, folder + "/out.ics" };
    frm->cmdImport->click();
    ASSERT_EQ(fakes.dialogs.boxes.size(), 1);
    EXPECT_EQ(fakes.dialogs.boxes[0].text,
        "1 added, 1 skipped:\nClash: 2026-12-24 09:05 is taken by \"Buy bread\"");
    EXPECT_TRUE(home.readData().contains("10/00/30/12/2026=NDentist"));
    EXPECT_EQ(frm->Combo1->count(), 3);
    EXPECT_EQ(settings.flag(setting::NeedsReboot), Flag::True);

    frm->cmdExport->click();
    EXPECT_EQ(
        fakes.dialogs.boxes.last().text, "3 appointments exported to " + folder + "/out.ics.");
    EXPECT_EQ(TestHome::readFile(folder + "/out.ics").count("BEGIN:VEVENT"), 3);

    // Cancel in either dialog does nothing.
    frm->cmdImport->click();
    frm->cmdExport->click();
    EXPECT_EQ(fakes.dialogs.boxes.size(), 2);
    EXPECT_EQ(frm->cmdImport->accessibleName(), "Import");
    EXPECT_EQ(frm->cmdExport->accessibleName(), "Export");
}

} // namespace
