#include "platform/linux/PrinterModule.h"

#include "platform/linux/QtPrinter.h"

#include <QtGlobal>

extern "C" Q_DECL_EXPORT Printer *quillory_make_printer(
    const QString &documentsFolder, bool usePrinters)
{
    return new QtPrinter(documentsFolder, usePrinters);
}
