#pragma once

#include <QByteArray>
#include <QString>

// Replaces `path` with `bytes` all at once: readers see the old file or the
// new one, never a part. False, with the reason in `error`, when the new
// content could not be written completely; the old file then stays whole.
bool writeFileAtomically(const QString &path, const QByteArray &bytes, QString *error = nullptr);
