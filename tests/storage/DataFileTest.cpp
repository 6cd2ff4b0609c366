#include "storage/Appointment.h"
#include "storage/IniFuncs.h"
#include "storage/TextCodec.h"
#include "tests/support/Fakes.h"
#include "tests/support/TestHome.h"

#include <gtest/gtest.h>

namespace {

TEST(AppointmentRecord, LinesAreReadByPosition)
{
    const auto bread = AppointmentLine::fromLine("09/05/24/12/2026=TBuy bread}");
    EXPECT_EQ(bread.parts.key(), "09/05/24/12/2026");
    EXPECT_EQ(bread.parts.date(), QDate(2026, 12, 24));
    EXPECT_EQ(bread.code, QChar('T'));
    EXPECT_EQ(bread.text, "Buy bread");
    EXPECT_TRUE(bread.earlyWarning);

    const auto call = AppointmentLine::fromLine("23/30/01/01/2027=NCall home");
    EXPECT_EQ(call.parts.hour, "23");
    EXPECT_EQ(call.parts.minute, "30");
    EXPECT_EQ(call.code, QChar('N'));
    EXPECT_EQ(call.text, "Call home");
    EXPECT_FALSE(call.earlyWarning);

    // A date that does not exist reads by position but names no day.
    EXPECT_FALSE(AppointmentLine::fromLine("09/05/31/02/2027=NX").parts.date().isValid());
}

TEST(AppointmentRecord, KeysHaveOneExactForm)
{
    const auto parts = KeyParts::fromDateTime(QDateTime(QDate(2027, 1, 1), QTime(7, 3)));
    EXPECT_EQ(parts.key(), "07/03/01/01/2027");
    EXPECT_TRUE(KeyParts::parse("07/03/01/01/2027"));
    for (const char *bad : { "7/03/01/01/2027", "07-03-01-01-2027", "07/03/01/01/27",
             "aa/03/01/01/2027", "07/03/01/01/2027 ", "" })
        EXPECT_FALSE(KeyParts::parse(bad)) << bad;
}

TEST(AppointmentRecord, FourteenCodesEachWithItsSuffixAndConfirmation)
{
    QString codes;
    int confirming = 0;
    for (const RepeatCode &row : repeatCodes()) {
        codes += QChar(row.code);
        confirming += row.confirm;
    }
    EXPECT_EQ(codes, "AHYTVZCXQIJLRN");
    EXPECT_EQ(confirming, 7);
    EXPECT_STREQ(findRepeatCode('J')->suffix, ", this alarm will be repeated next year !");
    EXPECT_STREQ(findRepeatCode('L')->suffix, ", this alarm will be repeated in 1 year !");
    EXPECT_STREQ(findRepeatCode('R')->suffix, ", This announcement will not be repeated");
    EXPECT_STREQ(findRepeatCode('N')->suffix, "");
    EXPECT_EQ(findRepeatCode('t'), nullptr);
    EXPECT_EQ(findRepeatCode('1'), nullptr);
}

TEST(DataFile, ReadByKeyCutsAt254AndMissingReadsAsNothing)
{
    TestHome home;
    EXPECT_EQ(
        INIFuncs::INIRead(home.dataFile(), "alarms", "09/05/24/12/2026", "nothing"), "nothing");
    const QString longText = "T" + QString(299, 'x');
    INIFuncs::INIWrite(home.dataFile(), "alarms", "09/05/24/12/2026", longText);
    EXPECT_EQ(INIFuncs::INIRead(home.dataFile(), "alarms", "09/05/24/12/2026", "nothing"),
        longText.left(254));
}

TEST(DataFile, WritesReplaceLineBreaksAndKeepOneLinePerMinute)
{
    TestHome home;
    INIFuncs::INIWrite(home.dataFile(), "alarms", "09/05/24/12/2026", "NFirst");
    INIFuncs::INIWrite(home.dataFile(), "alarms", "09/05/24/12/2026", "NSecond\r\nline");
    EXPECT_EQ(home.readData(), QByteArray("[alarms]\r\n09/05/24/12/2026=NSecond  line\r\n"));
}

TEST(DataFile, ANulInTheValueIsABlankNotItsEnd)
{
    TestHome home;
    INIFuncs::INIWrite(home.dataFile(), "alarms", "09/05/24/12/2026",
        QStringLiteral("NBuy") + QChar(0) + QStringLiteral("bread"));
    EXPECT_EQ(
        INIFuncs::INIRead(home.dataFile(), "alarms", "09/05/24/12/2026", "nothing"), "NBuy bread");
}

TEST(DataFile, TextOutsideWindows1252SurvivesAsUtf8)
{
    TestHome home;
    INIFuncs::INIWrite(home.dataFile(), "alarms", "k", QString::fromUtf8("NÄpfel €"));
    EXPECT_EQ(home.readData(), QByteArray("[alarms]\r\nk=N\xC4pfel \x80\r\n"));
    INIFuncs::INIWrite(home.dataFile(), "alarms", "k", QString::fromUtf8("N会议 Ελλάδα"));
    EXPECT_EQ(INIFuncs::INIRead(home.dataFile(), "alarms", "k", "nothing"),
        QString::fromUtf8("N会议 Ελλάδα"));
    // Cut inside a character by the read limit: the broken tail is dropped.
    const QString many = "N" + QString(200, QChar(0x4F1A));
    INIFuncs::INIWrite(home.dataFile(), "alarms", "k", many);
    const QString back = INIFuncs::INIRead(home.dataFile(), "alarms", "k", "nothing");
    EXPECT_TRUE(many.startsWith(back));
    EXPECT_EQ(back.size(), 1 + (254 - 1) / 3);
}

TEST(DataFile, Windows1252TextThatLooksLikeUtf8StaysAsTyped)
{
    // "Ã©" is C3 A9 in Windows-1252, which is also "é" in UTF-8.
    TestHome home;
    for (const QString &typed : { QString::fromUtf8("N\u00c3\u00a9t\u00c3\u00a9"),
             QString::fromUtf8("N\u00c2\u00a3 5"), QString::fromUtf8("N\u00e9t\u00e9") }) {
        INIFuncs::INIWrite(home.dataFile(), "alarms", "k", typed);
        EXPECT_EQ(INIFuncs::INIRead(home.dataFile(), "alarms", "k", "nothing"), typed);
    }
    // Text of the file's own kind keeps its bytes.
    EXPECT_EQ(home.readData(), QByteArray("[alarms]\r\nk=N\xE9t\xE9\r\n"));
}

TEST(TextCodec, EveryByteSurvivesARoundTrip)
{
    QByteArray all;
    for (int b = 1; b < 256; ++b)
        all.append(char(b));
    EXPECT_EQ(textcodec::toCp1252(textcodec::fromCp1252(all)), all);
    EXPECT_EQ(
        textcodec::fromFileBytes("T\xC4pfel \xFC\xDF\x80}"), QString::fromUtf8("TÄpfel üß€}"));
}

class ScanTest : public ::testing::Test
{
protected:
    QStringList scan(const ScanFilter &filter = {})
    {
        QStringList seen;
        outcome = scanDataFile(home.dataFile(), filter, retry, { dialogs, pause, reader },
            [&](const AppointmentLine &l) { seen << l.line; });
        return seen;
    }
    TestHome home;
    FakeDialogs dialogs;
    ScanRetry retry { "I am having trouble", MsgIcon::Critical, "Error!", 0 };
    std::function<void(int)> pause;
    std::function<std::optional<QByteArray>(const QString &)> reader;
    ScanOutcome outcome = ScanOutcome::GaveUp;
};

TEST_F(ScanTest, SkipsWhatIsNotAnAppointmentWhateverTheLineEnds)
{
    home.writeData(
        "\xEF\xBB\xBF[alarms]\r\n09/05/24/12/2026=TBuy bread}\r\n10/00/24/12/2026=nothing\n"
        "; comment\r\rabc\r\n\r\n11/00/31/02/2027=NNo such day\r23/30/01/01/2027=NCall home");
    EXPECT_EQ(scan(),
        (QStringList { "09/05/24/12/2026=TBuy bread}", "11/00/31/02/2027=NNo such day",
            "23/30/01/01/2027=NCall home" }));
    EXPECT_EQ(outcome, ScanOutcome::Complete);
    ScanFilter keepCleared;
    keepCleared.skipNothing = false;
    EXPECT_EQ(scan(keepCleared).size(), 4);
}

TEST_F(ScanTest, ClearedIsJudgedOnCharactersNotBytes)
{
    // 24 bytes with "nothing" at byte 18, but the UTF-8 letter makes it 23
    // characters whose value is "othing": a line like any other.
    home.writeData(
        "[alarms]\r\n1\xC3\xA9/05/24/12/206=nothing\r\n1\xC3\xA9/05/24/12/2026=nothing\r\n");
    EXPECT_EQ(scan(), QStringList { QString::fromUtf8("1\u00e9/05/24/12/206=nothing") });
}

TEST_F(ScanTest, MissingFileHasNoLinesAndNoMessage)
{
    EXPECT_TRUE(scan().isEmpty());
    EXPECT_EQ(outcome, ScanOutcome::Complete);
    EXPECT_TRUE(dialogs.boxes.isEmpty());
}

TEST_F(ScanTest, RetriesTenTimesThenReportsOnce)
{
    int attempts = 0;
    int pauses = 0;
    retry.pauseSeconds = 1;
    pause = [&](int s) { pauses += s; };
    reader = [&](const QString &) -> std::optional<QByteArray> {
        ++attempts;
        return std::nullopt;
    };
    EXPECT_TRUE(scan().isEmpty());
    EXPECT_EQ(outcome, ScanOutcome::GaveUp);
    EXPECT_EQ(attempts, 10);
    EXPECT_EQ(pauses, 9);
    ASSERT_EQ(dialogs.boxes.size(), 1);
    EXPECT_EQ(dialogs.boxes[0].title, "Error!");
    EXPECT_EQ(dialogs.boxes[0].icon, MsgIcon::Critical);
}

TEST_F(ScanTest, AGoodFourthAttemptGivesAWholeScanAndNoMessage)
{
    home.writeData("[alarms]\r\n09/05/24/12/2026=TBuy bread}\r\n");
    int attempts = 0;
    reader = [&](const QString &path) -> std::optional<QByteArray> {
        return ++attempts < 4 ? std::nullopt : readWholeFile(path);
    };
    EXPECT_EQ(scan().size(), 1);
    EXPECT_EQ(attempts, 4);
    EXPECT_TRUE(dialogs.boxes.isEmpty());
}

TEST_F(ScanTest, BinaryAndHugeLinesDoNotStopTheScan)
{
    QByteArray data("[alarms]\r\n");
    data += "1" + QByteArray(1 << 20, 'x') + "\r\n";
    static const char binary[] = "09/05/24/12/2026=T\x00\xff\x01zz\r\n";
    data += QByteArray(binary, sizeof binary - 1);
    data += "23/30/01/01/2027=NCall home\r\n";
    home.writeData(data);
    const QStringList lines = scan();
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[2], "23/30/01/01/2027=NCall home");
}

TEST_F(ScanTest, AUtf16FileIsScannedAsItsLookupsReadIt)
{
    const QString text
        = QString::fromUtf8("[alarms]\r\n09/05/24/12/2026=TÄpfel €}\r\n"
                            "10/00/24/12/2026=nothing\r\n23/30/01/01/2027=NΩmega\r\n");
    QByteArray utf16("\xFF\xFE", 2);
    for (const QChar c : text) {
        utf16.append(char(c.unicode() & 0xFF));
        utf16.append(char(c.unicode() >> 8));
    }
    home.writeData(utf16);
    // A character cp1252 cannot hold reads as '?', as by key.
    EXPECT_EQ(scan(),
        (QStringList {
            QString::fromUtf8("09/05/24/12/2026=TÄpfel €}"), "23/30/01/01/2027=N?mega" }));
    EXPECT_EQ(
        INIFuncs::INIRead(home.dataFile(), "alarms", "23/30/01/01/2027", "nothing"), "N?mega");
}

} // namespace
