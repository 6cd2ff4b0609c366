#include "platform/linux/OnDemandPrinter.h"
#include "platform/linux/QtPrinter.h"
#include "tests/support/QtPrinters.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// The text of a PDF as pdftotext reads it, one line a row.
QStringList pdfText(const QString &path)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), { QStringLiteral("-layout"), path, QStringLiteral("-") });
    p.waitForFinished(30000);
    QStringList lines = QString::fromUtf8(p.readAllStandardOutput()).split('\n');
    for (QString &l : lines)
        l = l.trimmed();
    lines.removeAll(QString());
    return lines;
}

class PdfPrinterTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            GTEST_SKIP() << "pdftotext is not installed";
    }
    QTemporaryDir dir;
    QtPrinter printer { dir.path() + QStringLiteral("/Documents"), false };
};

TEST_F(PdfPrinterTest, WithoutAPrinterTheLinesGoToAPdfInTheDocumentsFolder)
{
    const QStringList lines { "This is a list of your appointments on Quillory from Moravel.", ".",
        "At 09:05, on Thursday, 24 December 2026", "Buy bread",
        "At 13:05, on Thursday, 24 December 2026", "Call home", ".",
        "This is the end of your appointments list." };
    const Printer::Result r = printer.printLines("Quillory appointments", lines);
    ASSERT_EQ(r.outcome, Printer::Outcome::SavedAsPdf);
    EXPECT_EQ(r.where, dir.path() + "/Documents/Quillory appointments.pdf");
    EXPECT_EQ(pdfText(r.where), lines + QStringList { "Page 1 of 1" });

    // A second list never replaces the first.
    const Printer::Result again = printer.printLines("Quillory appointments", lines);
    EXPECT_EQ(again.where, dir.path() + "/Documents/Quillory appointments (2).pdf");
    EXPECT_TRUE(QFileInfo::exists(r.where));
}

TEST_F(PdfPrinterTest, LongListsBreakIntoNumberedPagesAndLongLinesWrap)
{
    QStringList lines;
    for (int i = 1; i <= 300; ++i)
        lines << QStringLiteral("Line %1").arg(i);
    lines << QString(400, 'w');
    const Printer::Result r = printer.printLines("Long list", lines);
    ASSERT_EQ(r.outcome, Printer::Outcome::SavedAsPdf);
    const QStringList text = pdfText(r.where);
    const QStringList pages = text.filter(QRegularExpression("^Page \\d+ of \\d+$"));
    ASSERT_GE(pages.size(), 4);
    EXPECT_EQ(pages.first(), QStringLiteral("Page 1 of %1").arg(pages.size()));
    EXPECT_TRUE(text.contains("Line 1"));
    EXPECT_TRUE(text.contains("Line 300"));
    // Nothing lost at the right margin: every "w" is somewhere on the page.
    EXPECT_EQ(text.join("").count('w'), 400);
}

TEST_F(PdfPrinterTest, PrintingIsLoadedAtTheFirstPrintAndItsAbsenceFailsOnlyThatPrint)
{
    const QString documents = dir.path() + QStringLiteral("/Documents");
    OnDemandPrinter missing(documents, { dir.path() + QStringLiteral("/no-modules") }, false);
    const Printer::Result none = missing.printLines("Quillory appointments", { "Buy bread" });
    EXPECT_EQ(none.outcome, Printer::Outcome::Failed);
    EXPECT_TRUE(none.error.startsWith("printing is not installed")) << none.error.toStdString();
    // Asked again, it says the same without looking again.
    EXPECT_EQ(missing.printLines("Quillory appointments", { "Buy bread" }).error, none.error);

    // The module built beside this program, as an installed one is found.
    OnDemandPrinter printer(documents, installedModuleFolders(), false);
    const Printer::Result r = printer.printLines("Quillory appointments", { "Buy bread" });
    ASSERT_EQ(r.outcome, Printer::Outcome::SavedAsPdf) << r.error.toStdString();
    EXPECT_EQ(pdfText(r.where), QStringList({ "Buy bread", "Page 1 of 1" }));
}

TEST_F(PdfPrinterTest, AFolderThatCannotBeMadeFails)
{
    QFile blocker(dir.path() + "/file");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QtPrinter blocked(dir.path() + "/file/Documents", false);
    const Printer::Result r = blocked.printLines("x", { "a" });
    EXPECT_EQ(r.outcome, Printer::Outcome::Failed);
    EXPECT_FALSE(r.error.isEmpty());
}

} // namespace
