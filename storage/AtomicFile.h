#pragma once

#include <QByteArray>
#include <QString>

// Replaces `path` with `bytes` all at once: readers see the old file or the
// new one, never a part. False, with the reason in `error`, when the new
// content could not be written completely; the old file then stays whole.
bool writeFileAtomically(const QString &path, const QByteArray &bytes, QString *error = nullptr);

// Like writeFileAtomically, for folders other users can write to (a shared
// backup folder): `path` must be missing or a regular file of this user's
// that is no link (storage/SafeFile.h), and the bytes go to a fresh file of
// a new name beside it (created exclusively, mode 0600) that is then renamed
// over `path`. A link planted meanwhile is replaced, never written through.
bool writeFreshFile(const QString &path, const QByteArray &bytes, QString *error = nullptr);
