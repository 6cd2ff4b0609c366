#pragma once

#include "platform/Printer.h"

// The printing module's one entry: a QtPrinter writing its PDFs to
// `documentsFolder` (always there when not `usePrinters`), owned by the caller.
using MakePrinter = Printer *(*)(const QString &documentsFolder, bool usePrinters);
inline constexpr const char *kPrinterModuleName = "quillory-printing";
inline constexpr const char *kMakePrinterSymbol = "quillory_make_printer";
