#include "platform/linux/OnDemandPrinter.h"

#include "platform/LoadedLibrary.h"
#include "platform/Logging.h"
#include "platform/linux/PrinterModule.h"

#include <QDir>
#include <QStandardPaths>

OnDemandPrinter::OnDemandPrinter(
    QString documentsFolder, QStringList moduleFolders, bool usePrinters)
    : m_documentsFolder(std::move(documentsFolder))
    , m_moduleFolders(std::move(moduleFolders))
    , m_usePrinters(usePrinters)
{ }

OnDemandPrinter::~OnDemandPrinter() = default;

QString OnDemandPrinter::defaultDocumentsFolder()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return folder.isEmpty() ? QDir::homePath() : folder;
}

Printer::Result OnDemandPrinter::printLines(const QString &title, const QStringList &lines)
{
    if (!m_printer && m_why.isEmpty()) {
        if (const auto make = openModuleEntry<MakePrinter>(
                m_moduleFolders, kPrinterModuleName, kMakePrinterSymbol, &m_why))
            m_printer.reset(make(m_documentsFolder, m_usePrinters));
        else
            qCWarning(lcPlatform).noquote() << "printing is not available:" << m_why;
    }
    if (!m_printer)
        return { Outcome::Failed, {}, QStringLiteral("printing is not installed (%1)").arg(m_why) };
    return m_printer->printLines(title, lines);
}
