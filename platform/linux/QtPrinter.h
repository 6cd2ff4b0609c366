#pragma once

#include "platform/Printer.h"

// QPrinter on the system's default printer (CUPS), without a dialog, in a
// 10-point font; with no printer installed, the same pages as a PDF.
class QtPrinter final : public Printer
{
public:
    // `documentsFolder` takes the PDFs; `usePrinters` false always writes a PDF.
    explicit QtPrinter(QString documentsFolder, bool usePrinters = true);
    Result printLines(const QString &title, const QStringList &lines) override;

private:
    QString m_documentsFolder;
    bool m_usePrinters;
};
