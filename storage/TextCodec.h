#pragma once

#include <QByteArray>
#include <QString>

// How message text becomes bytes of the data file and back. The file is an
// ANSI (Windows-1252) file, as the Windows INI service writes it, so files
// move between platforms unchanged. Text that Windows-1252 cannot hold (a
// Greek or Chinese message typed on Linux) is stored as UTF-8 instead of
// being turned into question marks, and so is text whose Windows-1252 bytes
// would read back as UTF-8; on reading, bytes that form valid UTF-8
// with non-ASCII characters are read as UTF-8, anything else as Windows-1252.
namespace textcodec {

QByteArray toFileBytes(const QString &text);
QString fromFileBytes(const QByteArray &bytes);

// Windows-1252 both ways; bytes without a character map to the same code
// point, so every byte survives a round trip. Unmappable characters give '?'.
QString fromCp1252(const QByteArray &bytes);
QByteArray toCp1252(const QString &text, bool *lossless = nullptr);
// One character of Windows-1252 each way: the byte's character, and the
// character's byte or -1 when it has none.
char16_t cp1252Char(unsigned char byte);
int cp1252Byte(char16_t c);

// Line breaks and NULs become blanks: one value stays one whole line.
QString oneLine(const QString &text);

// A text as one tab-separated field of a line: backslash, tab and line
// breaks escaped; unescaping reads "\\" and any unknown escape as the
// character itself.
QString escapedField(const QString &text);
QString unescapedField(const QString &text);

} // namespace textcodec
