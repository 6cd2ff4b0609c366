#include "ical/VdirSync.h"
#include "ical/Exchange.h"
#include "storage/IniFuncs.h"
#include "tests/ical/IcalTestSupport.h"
#include "tests/support/TestHome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace ical;

namespace {

class VdirSyncTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        useBerlinTime();
        folder = QFileInfo(home.dataFile()).absolutePath() + QStringLiteral("/vdir");
        QDir().mkpath(folder);
        home.writeData("[alarms]\r\n");
    }

    SyncOutcome look()
    {
        return syncFolder(home.dataFile(), folder, { localNow(2027, 1, 1, 8, 0), QTime(9, 0) });
    }
    QString data() const { return QString::fromUtf8(home.readData()); }
    QStringList files() const
    {
        return QDir(folder).entryList({ QStringLiteral("*.ics") }, QDir::Files);
    }
    void save(const QString &key, const QString &value)
    {
        ASSERT_TRUE(INIFuncs::INIWrite(home.dataFile(), QStringLiteral("alarms"), key, value));
    }
    // A file as another program writes it, a moment after the last look.
    void put(const QString &name, const QByteArray &bytes, int secondsLater = 2)
    {
        const QString path = folder + QLatin1Char('/') + name;
        TestHome::writeFile(path, bytes);
        QFile f(path);
        f.open(QIODevice::ReadWrite);
        f.setFileTime(
            QDateTime::currentDateTime().addSecs(secondsLater), QFileDevice::FileModificationTime);
    }
    static QByteArray event(
        const QByteArray &uid, const QByteArray &start, const QByteArray &summary)
    {
        return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//t//t//EN\r\nBEGIN:VEVENT\r\nUID:" + uid
            + "\r\nDTSTAMP:20270101T000000Z\r\nDTSTART:" + start + "\r\nSUMMARY:" + summary
            + "\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
    }

    TestHome home;
    QString folder;
};

TEST_F(VdirSyncTest, AppointmentsMadeHereReachTheFolderAndLeaveIt)
{
    save(QStringLiteral("10/15/02/03/2027"), QStringLiteral("ZWeekly}"));
    EXPECT_EQ(look().written, 1);
    ASSERT_EQ(files().size(), 1);
    const QByteArray ics = TestHome::readFile(folder + QLatin1Char('/') + files()[0]);
    EXPECT_TRUE(ics.contains("RRULE:FREQ=WEEKLY"));
    EXPECT_TRUE(ics.contains("BEGIN:VALARM"));
    EXPECT_EQ(look().written, 0); // nothing new

    // Moved by the manager with the same text: the same file, a new time.
    save(QStringLiteral("10/15/02/03/2027"), QStringLiteral("nothing"));
    save(QStringLiteral("11/30/02/03/2027"), QStringLiteral("ZWeekly}"));
    const QString name = files()[0];
    look();
    EXPECT_EQ(files(), QStringList { name });
    EXPECT_TRUE(TestHome::readFile(folder + QLatin1Char('/') + name).contains("T113000"));

    save(QStringLiteral("11/30/02/03/2027"), QStringLiteral("nothing"));
    look();
    EXPECT_TRUE(files().isEmpty());
}

TEST_F(VdirSyncTest, FilesAddedChangedAndRemovedThereReachTheDataFile)
{
    put(QStringLiteral("a.ics"), event("a@phone", "20270110T100000", "From the phone"));
    SyncOutcome out = look();
    EXPECT_EQ(out.taken, 1);
    EXPECT_TRUE(data().contains(QLatin1String("10/00/10/01/2027=NFrom the phone")));

    put(QStringLiteral("a.ics"), event("a@phone", "20270111T120000", "Moved on the phone"), 4);
    look();
    EXPECT_FALSE(data().contains(QLatin1String("10/00/10/01/2027=NFrom")));
    EXPECT_TRUE(data().contains(QLatin1String("12/00/11/01/2027=NMoved on the phone")));

    QFile::remove(folder + QStringLiteral("/a.ics"));
    look();
    EXPECT_FALSE(data().contains(QLatin1String("Moved on the phone")));
    EXPECT_TRUE(files().isEmpty());
}

TEST_F(VdirSyncTest, AFileWrittenHalfWayWaitsAndATakenMinuteIsTold)
{
    const QByteArray whole = event("h@phone", "20270110T100000", "Half");
    put(QStringLiteral("h.ics"), whole.left(whole.size() / 2));
    EXPECT_EQ(look().taken, 0);
    put(QStringLiteral("h.ics"), whole, 3);
    EXPECT_EQ(look().taken, 1);

    save(QStringLiteral("09/00/12/01/2027"), QStringLiteral("NMine"));
    put(QStringLiteral("t.ics"), event("t@phone", "20270112T090000", "Theirs"));
    const SyncOutcome out = look();
    ASSERT_EQ(out.told.size(), 1);
    EXPECT_EQ(out.told[0],
        QStringLiteral("\"Theirs\" from the sync folder was not taken: 2027-01-12 09:00 is taken "
                       "by \"Mine\"."));
    EXPECT_TRUE(data().contains(QLatin1String("09/00/12/01/2027=NMine")));
    // Told once, not at every look.
    EXPECT_TRUE(look().told.isEmpty());
}

TEST_F(VdirSyncTest, ChangedOnBothSidesTheNewerWinsAndTheOtherIsKept)
{
    save(QStringLiteral("10/00/10/01/2027"), QStringLiteral("NMeeting"));
    look();
    const QString name = files()[0];
    const QByteArray uid = name.chopped(4).toUtf8();
    // Here first, then the folder: the folder's is newer.
    save(QStringLiteral("10/00/10/01/2027"), QStringLiteral("nothing"));
    save(QStringLiteral("11/00/10/01/2027"), QStringLiteral("NMeeting"));
    put(name, event(uid, "20270110T150000", "Meeting later"), 60);
    SyncOutcome out = look();
    EXPECT_TRUE(data().contains(QLatin1String("15/00/10/01/2027=NMeeting later")));
    EXPECT_TRUE(data().contains(QLatin1String("11/00/10/01/2027=NMeeting")));
    ASSERT_EQ(out.told.size(), 1);
    EXPECT_TRUE(out.told[0].contains(QLatin1String("yours is kept beside it at 2027-01-10 11:00")));
    look(); // the one kept gets its own file
    EXPECT_EQ(files().size(), 2);

    // Removed there while changed here: the change stays.
    save(QStringLiteral("15/00/10/01/2027"), QStringLiteral("NMeeting later, room 2"));
    QFile::remove(folder + QLatin1Char('/') + name);
    out = look();
    EXPECT_TRUE(data().contains(QLatin1String("NMeeting later, room 2")));
    EXPECT_EQ(files().size(), 2);
}

TEST_F(VdirSyncTest, AFolderThatDisappearsStopsTheSyncWithoutLosingAnything)
{
    save(QStringLiteral("10/00/10/01/2027"), QStringLiteral("NKeep me"));
    look();
    QDir(folder).removeRecursively();
    const SyncOutcome out = look();
    EXPECT_FALSE(out.problem.isEmpty());
    EXPECT_TRUE(data().contains(QLatin1String("10/00/10/01/2027=NKeep me")));
    // Made again (empty): the appointment goes back in, it is not taken as removed.
    QDir().mkpath(folder);
    look();
    EXPECT_TRUE(data().contains(QLatin1String("10/00/10/01/2027=NKeep me")));
}

TEST_F(VdirSyncTest, TheWatcherTellsTheCalendarWhenTheDataFileChanged)
{
    QString chosen = folder;
    VdirWatcher watcher({ home.dataFile(), [&] { return chosen; },
        [] { return localNow(2027, 1, 1, 8, 0); }, [] { return QTime(9, 0); } });
    QSignalSpy changed(&watcher, &VdirWatcher::dataChanged);
    QSignalSpy told(&watcher, &VdirWatcher::tell);
    put(QStringLiteral("w.ics"), event("w@phone", "20270110T100000", "Watched"));
    watcher.look();
    EXPECT_EQ(changed.size(), 1);
    chosen = folder + QStringLiteral("/gone");
    watcher.look();
    watcher.look();
    EXPECT_EQ(told.size(), 1);
}

} // namespace
