#include "ical/Exchange.h"
#include "engine/Firing.h"
#include "storage/IniFuncs.h"
#include "tests/ical/IcalTestSupport.h"
#include "tests/support/TestHome.h"

#include <QElapsedTimer>
#include <QFileInfo>

#include <gtest/gtest.h>

using namespace ical;

namespace {

class ExchangeTest : public ::testing::Test
{
protected:
    void SetUp() override { useBerlinTime(); }

    ImportOptions options() const { return { localNow(2027, 1, 1, 8, 0), QTime(9, 0) }; }
    QString data() const { return QString::fromLatin1(home.readData()); }

    TestHome home;
};

TEST_F(ExchangeTest, ImportAddsEventsAndReportsWhatItSkippedWithoutOverwriting)
{
    home.writeData("[alarms]\r\n14/45/15/01/2027=NDentist\r\n");
    const ImportReport report
        = importCalendar(icalData(QStringLiteral("zones.ics")), home.dataFile(), options());
    EXPECT_EQ(report.added, 4);
    ASSERT_EQ(report.skipped.size(), 1);
    EXPECT_EQ(report.skipped[0].why, QStringLiteral("2027-01-15 14:45 is taken by \"Dentist\""));
    EXPECT_TRUE(data().contains(QLatin1String("14/45/15/01/2027=NDentist")));
    EXPECT_TRUE(data().contains(QLatin1String("13/00/16/01/2027=NCall from UTC")));
    EXPECT_EQ(reportText(report),
        QStringLiteral("4 added, 1 skipped:\nAnnual Employee Review: 2027-01-15 14:45 is taken by "
                       "\"Dentist\""));

    // The same file again adds nothing.
    const ImportReport again
        = importCalendar(icalData(QStringLiteral("zones.ics")), home.dataFile(), options());
    EXPECT_EQ(again.added, 0);
    EXPECT_EQ(again.skipped.size(), 5);
    EXPECT_EQ(again.skipped.last().why, QStringLiteral("it is in the calendar already"));
}

TEST_F(ExchangeTest, BadFilesChangeNothing)
{
    home.writeData("[alarms]\r\n");
    const QByteArray before = home.readData();
    const ImportReport report
        = importCalendar(icalData(QStringLiteral("malformed.ics")), home.dataFile(), options());
    EXPECT_EQ(reportText(report),
        QStringLiteral("Nothing was imported: the file holds no iCalendar data."));
    EXPECT_FALSE(importFile(QStringLiteral("/nonexistent/x.ics"), home.dataFile(), options())
                     .error.isEmpty());
    EXPECT_EQ(home.readData(), before);
}

TEST_F(ExchangeTest, UidsStayWhenARepeatMovesOnAndTheRicherRuleComesBack)
{
    home.writeData("[alarms]\r\n");
    importCalendar(icalData(QStringLiteral("rrules.ics")), home.dataFile(), options());
    const QString before = QString::fromUtf8(exportDataFile(home.dataFile()).ics);
    EXPECT_TRUE(before.contains(QLatin1String("UID:daily-past@example.com")));

    // The engine fires the daily one and moves it on; the exported UID stays.
    writeFiring(home.dataFile(), QStringLiteral("TEvery morning"),
        *KeyParts::parse(QStringLiteral("06/30/02/01/2027")));
    EXPECT_TRUE(data().contains(QLatin1String("06/30/03/01/2027=TEvery morning")));
    const QString after = QString::fromUtf8(exportDataFile(home.dataFile()).ics);
    EXPECT_TRUE(after.contains(QLatin1String("UID:daily-past@example.com")));
    EXPECT_TRUE(after.contains(QLatin1String("RRULE:FREQ=WEEKLY;BYDAY=TU,TH")));

    // Tuesday's one fires and is cleared; the calendar puts Thursday's in.
    writeFiring(home.dataFile(), QStringLiteral("NTuesdays and Thursdays"),
        *KeyParts::parse(QStringLiteral("09/00/05/01/2027")));
    EXPECT_FALSE(data().contains(QLatin1String("09/00/05/01/2027=NTuesdays")));
    EXPECT_EQ(advanceRules(home.dataFile(), localNow(2027, 1, 5, 9, 0), QTime(9, 0)), 1);
    EXPECT_TRUE(data().contains(QLatin1String("09/00/07/01/2027=NTuesdays and Thursdays")));
    EXPECT_EQ(advanceRules(home.dataFile(), localNow(2027, 1, 5, 9, 1), QTime(9, 0)), 0);
    EXPECT_TRUE(QString::fromUtf8(exportDataFile(home.dataFile()).ics)
                    .contains(QLatin1String("UID:weekly-byday@example.com")));

    // Ten days and no more: after the last one nothing comes back. Thursday's
    // appointment above is deleted first; it held the same minute on the 7th.
    INIFuncs::INIWrite(home.dataFile(), QStringLiteral("alarms"),
        QStringLiteral("09/00/07/01/2027"), QStringLiteral("nothing"));
    writeFiring(home.dataFile(), QStringLiteral("NTen days"),
        *KeyParts::parse(QStringLiteral("09/00/01/01/2027")));
    for (int day = 2; day <= 8; ++day) {
        advanceRules(home.dataFile(), localNow(2027, 1, day - 1, 9, 0), QTime(9, 0));
        const QString key = QStringLiteral("09/00/%1/01/2027").arg(day, 2, 10, QLatin1Char('0'));
        ASSERT_TRUE(data().contains(key + QStringLiteral("=NTen days"))) << key.toStdString();
        writeFiring(home.dataFile(), QStringLiteral("NTen days"), *KeyParts::parse(key));
    }
    EXPECT_EQ(advanceRules(home.dataFile(), localNow(2027, 1, 8, 9, 0), QTime(9, 0)), 0);
    EXPECT_FALSE(data().contains(QLatin1String("=NTen days")));
    EXPECT_FALSE(data().contains(QLatin1String("=NTuesdays and Thursdays")));
    EXPECT_FALSE(exportDataFile(home.dataFile()).ics.contains("UID:daily-count@example.com"));
}

TEST_F(ExchangeTest, ExportWritesEveryAppointmentOnce)
{
    home.writeData("[alarms]\r\n10/15/02/03/2027=QQuarterly}\r\n11/00/02/03/2027=nothing\r\n"
                   "12/00/02/03/2027=NLunch\r\n");
    const QString file = QFileInfo(home.dataFile()).absolutePath() + QStringLiteral("/out.ics");
    const ExportResult result = exportToFile(home.dataFile(), file);
    EXPECT_EQ(result.events, 2);
    const QByteArray ics = TestHome::readFile(file);
    EXPECT_EQ(ics.count("BEGIN:VEVENT"), 2);
    EXPECT_TRUE(ics.contains("X-QUILLORY-EARLY-WARNING:TRUE"));
    EXPECT_TRUE(ics.contains("X-QUILLORY-CONFIRM:TRUE"));
    EXPECT_FALSE(
        exportToFile(home.dataFile(), QStringLiteral("/nonexistent/dir/out.ics")).error.isEmpty());
}

// Big files: ten thousand events, and ten megabytes, in one write each.
TEST_F(ExchangeTest, TenThousandEventsAndTenMegabytes)
{
    home.writeData("[alarms]\r\n");
    QByteArray ics = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//t//t//EN\r\n";
    for (int i = 0; i < 10000; ++i) {
        const QDateTime at = localNow(2027, 2, 1, 0, 0).addSecs(i * 60);
        ics += "BEGIN:VEVENT\r\nUID:e" + QByteArray::number(i)
            + "\r\nDTSTAMP:20270101T000000Z\r\nDTSTART:"
            + at.toString(QStringLiteral("yyyyMMdd'T'hhmmss")).toLatin1() + "\r\nSUMMARY:Event "
            + QByteArray::number(i) + "\r\nEND:VEVENT\r\n";
    }
    ics += "END:VCALENDAR\r\n";
    EXPECT_EQ(importCalendar(ics, home.dataFile(), options()).added, 10000);
    EXPECT_EQ(exportDataFile(home.dataFile()).events, 10000);

    TestHome other;
    other.writeData("[alarms]\r\n");
    QByteArray big
        = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//t//t//EN\r\nBEGIN:VEVENT\r\nUID:big\r\n"
          "DTSTART:20270301T100000\r\nSUMMARY:Big\r\nDESCRIPTION:";
    while (big.size() < 10 * 1024 * 1024)
        big += QByteArray(73, 'x') + "\r\n ";
    big += "x\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
    EXPECT_EQ(importCalendar(big, other.dataFile(), options()).added, 1);
}

} // namespace
