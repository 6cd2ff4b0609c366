#include "platform/linux/QtPrinter.h"

#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLoggingCategory>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QStandardPaths>

namespace {

// Its own category: this file is also built into the printing module.
Q_LOGGING_CATEGORY(lcPrinting, "quillory.platform.printing", QtInfoMsg)

constexpr qreal kMarginMm = 20;
constexpr qreal kFontPoints = 10;

// A name that does not replace an earlier list: "name.pdf", "name (2).pdf", ...
QString freePdfPath(const QString &folder, const QString &name)
{
    QString path = folder + QLatin1Char('/') + name + QStringLiteral(".pdf");
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = folder + QLatin1Char('/') + name + QStringLiteral(" (%1).pdf").arg(n);
    return path;
}

// Lays the lines out on the printer's pages: long lines wrap, every page
// carries "Page n of m" at its foot.
bool paint(QPrinter &printer, const QStringList &lines)
{
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(kFontPoints);
    painter.setFont(font);
    const QFontMetrics metrics(font, &printer);
    const QRect page = printer.pageLayout().paintRectPixels(printer.resolution());
    const int lineHeight = metrics.lineSpacing();
    const int footer = lineHeight * 2;
    const int usable = qMax(lineHeight, page.height() - footer);

    // Wrap first, so the page count is known before the first footer.
    struct Row
    {
        QString text;
        int height;
    };
    QList<Row> rows;
    for (const QString &line : lines) {
        const QRect box = metrics.boundingRect(
            QRect(0, 0, page.width(), usable), Qt::TextWordWrap | Qt::TextWrapAnywhere, line);
        rows.append({ line, qBound(lineHeight, box.height(), usable) });
    }
    QList<int> pageStarts { 0 };
    int y = 0;
    for (int i = 0; i < rows.size(); ++i) {
        if (y + rows[i].height > usable && y > 0) {
            pageStarts.append(i);
            y = 0;
        }
        y += rows[i].height;
    }

    for (int p = 0; p < pageStarts.size(); ++p) {
        if (p > 0 && !printer.newPage())
            return false;
        const int end = p + 1 < pageStarts.size() ? pageStarts[p + 1] : int(rows.size());
        int top = 0;
        for (int i = pageStarts[p]; i < end; ++i) {
            painter.drawText(QRect(0, top, page.width(), rows[i].height),
                Qt::TextWordWrap | Qt::TextWrapAnywhere, rows[i].text);
            top += rows[i].height;
        }
        painter.drawText(QRect(0, page.height() - lineHeight, page.width(), lineHeight),
            Qt::AlignHCenter, QStringLiteral("Page %1 of %2").arg(p + 1).arg(pageStarts.size()));
    }
    return painter.end();
}

} // namespace

QtPrinter::QtPrinter(QString documentsFolder, bool usePrinters)
    : m_documentsFolder(std::move(documentsFolder))
    , m_usePrinters(usePrinters)
{ }

Printer::Result QtPrinter::printLines(const QString &title, const QStringList &lines)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(title);
    printer.setPageMargins(
        QMarginsF(kMarginMm, kMarginMm, kMarginMm, kMarginMm), QPageLayout::Millimeter);

    const QPrinterInfo info = m_usePrinters ? QPrinterInfo::defaultPrinter() : QPrinterInfo();
    Result result;
    if (!info.isNull()) {
        printer.setPrinterName(info.printerName());
        result = { Outcome::Printed, info.printerName(), {} };
    } else {
        if (!QDir().mkpath(m_documentsFolder)) {
            qCWarning(lcPrinting) << "documents folder" << m_documentsFolder << "cannot be made";
            return { Outcome::Failed, {},
                QStringLiteral("the folder %1 cannot be made").arg(m_documentsFolder) };
        }
        const QString path = freePdfPath(m_documentsFolder, title);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(path);
        result = { Outcome::SavedAsPdf, path, {} };
    }
    if (!paint(printer, lines)) {
        qCWarning(lcPrinting) << "printing to" << result.where << "failed";
        return { Outcome::Failed, result.where,
            QStringLiteral("the printer could not be started") };
    }
    // A PDF that did not appear was not written, whatever the painter said.
    if (result.outcome == Outcome::SavedAsPdf && !QFileInfo(result.where).size()) {
        qCWarning(lcPrinting) << "PDF" << result.where << "was not written";
        return { Outcome::Failed, result.where, QStringLiteral("the file could not be written") };
    }
    qCInfo(lcPrinting) << "printed" << lines.size() << "lines to" << result.where;
    return result;
}
