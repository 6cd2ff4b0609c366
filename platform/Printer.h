#pragma once

#include <QString>
#include <QStringList>

// Plain text lines on paper: the default printer, or a PDF in the user's
// documents folder when no printer is installed.
class Printer
{
public:
    enum class Outcome { Printed, SavedAsPdf, Failed };
    struct Result
    {
        Outcome outcome = Outcome::Failed;
        QString where; // the printer's name, or the PDF's path
        QString error; // why it failed
    };

    virtual ~Printer() = default;
    // One line a row, broken into pages with page numbers; `title` names
    // the print job and the PDF file.
    virtual Result printLines(const QString &title, const QStringList &lines) = 0;
};
