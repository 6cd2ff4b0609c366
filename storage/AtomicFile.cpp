#include "storage/AtomicFile.h"

#include "storage/SafeFile.h"

#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <unistd.h>

bool writeFileAtomically(const QString &path, const QByteArray &bytes, QString *error)
{
    QSaveFile file(path);
    const auto fail = [&] {
        if (error)
            *error = file.errorString();
        file.cancelWriting();
        return false;
    };
    // Unbuffered, so a short write (a full disk) shows in write() itself:
    // a buffered one fails only in the flush inside commit(), which still
    // puts the cut-off file in place.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return fail();
    if (file.write(bytes) != bytes.size() || !file.flush())
        return fail();
    if (!file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

bool writeFreshFile(const QString &path, const QByteArray &bytes, QString *error)
{
    const auto fail = [&](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    QString why;
    if (!storage::isReplaceable(path, &why))
        return fail(why);
    const QFileInfo target(path);
    QTemporaryFile fresh(
        target.absolutePath() + QLatin1Char('/') + target.fileName() + QStringLiteral(".XXXXXX"));
    if (!fresh.open())
        return fail(fresh.errorString());
    if (fresh.write(bytes) != bytes.size() || !fresh.flush() || ::fsync(fresh.handle()) != 0)
        return fail(fresh.errorString()); // the fresh file goes with `fresh`
    fresh.close();
    // rename(2) replaces the name itself: whatever stands there, link or
    // file, is swapped out and never opened.
    if (::rename(QFile::encodeName(fresh.fileName()).constData(),
            QFile::encodeName(target.absoluteFilePath()).constData())
        != 0)
        return fail(QString::fromLocal8Bit(std::strerror(errno)));
    fresh.setAutoRemove(false);
    return true;
}
