#pragma once

#include "platform/LoadedLibrary.h"
#include "platform/Printer.h"

#include <memory>

// The printer as the calendar holds it: Qt's printing support, with the
// printer plugins it brings, is loaded as a module at the first print
// instead of at every start. A missing module fails that print with its
// reason; nothing else depends on it.
class OnDemandPrinter final : public Printer
{
public:
    // `documentsFolder` takes the PDFs when no printer is installed (always
    // when not `usePrinters`); the module is looked for in `moduleFolders`.
    explicit OnDemandPrinter(QString documentsFolder,
        QStringList moduleFolders = installedModuleFolders(), bool usePrinters = true);
    ~OnDemandPrinter() override;

    Result printLines(const QString &title, const QStringList &lines) override;

    // The user's documents folder, else the home folder.
    static QString defaultDocumentsFolder();

private:
    QString m_documentsFolder;
    QStringList m_moduleFolders;
    bool m_usePrinters;
    std::unique_ptr<Printer> m_printer;
    QString m_why; // why the module did not load, once it did not
};
