#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <optional>

// Our own INI engine with the semantics of the Windows profile API
// (GetPrivateProfileStringA / WritePrivateProfileStringA). It works on bytes
// exactly as the ANSI API does, so a data file written by the Windows service
// and one written by us are interchangeable byte for byte.
namespace ini {

// std::nullopt stands for a NULL pointer argument.
using OptBytes = std::optional<QByteArray>;

struct ReadResult
{
    // What the API returns: the number of characters copied, without the final NUL.
    quint32 count = 0;
    // The first `count` bytes of the caller's buffer (enumerations hold NULs).
    QByteArray text;
};

struct WriteResult
{
    bool ok = false; // the API's return value
    bool changed = false; // the content differs and must be stored
    QByteArray content; // the file's content afterwards
};

// Pure forms on a file's content; std::nullopt content means "no such file".
ReadResult readString(const std::optional<QByteArray> &content, const OptBytes &section,
    const OptBytes &key, const OptBytes &defaultValue, quint32 size = 255);
WriteResult writeString(const std::optional<QByteArray> &content, const OptBytes &section,
    const OptBytes &key, const OptBytes &value);
// Many keys of one section set in one pass; the same content as setting
// them one after another with writeString.
WriteResult writeStrings(const std::optional<QByteArray> &content, const QByteArray &section,
    const QList<QPair<QByteArray, QByteArray>> &pairs);

// File forms. A write replaces the file atomically; when it cannot, the old
// file stays whole and false comes back; the reason is logged and, when
// `error` is given, put there in words a user can read.
ReadResult getPrivateProfileString(const OptBytes &section, const OptBytes &key,
    const OptBytes &defaultValue, quint32 size, const QString &path);
bool writePrivateProfileString(const OptBytes &section, const OptBytes &key, const OptBytes &value,
    const QString &path, QString *error = nullptr);
// Many keys in one atomic replacement of the file: all of them or none.
bool writePrivateProfileStrings(const QByteArray &section,
    const QList<QPair<QByteArray, QByteArray>> &pairs, const QString &path,
    QString *error = nullptr);

// The file's text as the ANSI API hands it out: a UTF-16 file's text in
// cp1252 bytes ('?' where cp1252 has no character), any other file as it is.
QByteArray ansiText(const QByteArray &content);

} // namespace ini
