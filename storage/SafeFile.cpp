#include "storage/SafeFile.h"

#include <QFile>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace storage {

namespace {

FileRead refused(ReadStatus status, const QString &why)
{
    return { status, {}, why };
}

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

FileRead readRegularFile(const QString &path, const ReadRules &rules)
{
    const QByteArray name = QFile::encodeName(path);
    // Non-blocking, so a FIFO without a writer or a slow device answers at
    // once; the type is checked before a byte is read.
    int flags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    if (rules.refuseLinks)
        flags |= O_NOFOLLOW;
    const int fd = ::open(name.constData(), flags);
    if (fd < 0) {
        const int error = errno;
        if (error == ENOENT)
            return refused(ReadStatus::Missing, QStringLiteral("%1 does not exist").arg(path));
        if (error == ELOOP && rules.refuseLinks)
            return refused(ReadStatus::Link,
                QStringLiteral("%1 is a link to another file, which is never followed").arg(path));
        return refused(ReadStatus::Failed,
            QStringLiteral("%1 cannot be read: %2").arg(path, systemError(error)));
    }
    QFile file;
    // The file now owns the descriptor and closes it on every way out.
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return refused(ReadStatus::Failed,
            QStringLiteral("%1 cannot be read: %2").arg(path, file.errorString()));
    }
    struct stat info
    { };
    if (::fstat(fd, &info) != 0)
        return refused(ReadStatus::Failed,
            QStringLiteral("%1 cannot be read: %2").arg(path, systemError(errno)));
    if (!S_ISREG(info.st_mode))
        return refused(ReadStatus::NotRegular, QStringLiteral("%1 is not a file").arg(path));
    if (rules.refuseForeign && info.st_uid != ::geteuid())
        return refused(ReadStatus::Foreign, QStringLiteral("%1 belongs to another user").arg(path));
    if (rules.maxBytes >= 0 && info.st_size > rules.maxBytes)
        return refused(ReadStatus::TooLarge,
            QStringLiteral("%1 holds %2 bytes").arg(path).arg(qint64(info.st_size)));
    const int status = ::fcntl(fd, F_GETFL);
    if (status < 0 || ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK) != 0)
        return refused(ReadStatus::Failed,
            QStringLiteral("%1 cannot be read: %2").arg(path, systemError(errno)));

    // Read to one byte past the bound: a file that grew meanwhile is still refused.
    QByteArray bytes = rules.maxBytes >= 0 ? file.read(rules.maxBytes + 1) : file.readAll();
    if (file.error() != QFileDevice::NoError)
        return refused(ReadStatus::Failed,
            QStringLiteral("%1 cannot be read: %2").arg(path, file.errorString()));
    if (rules.maxBytes >= 0 && bytes.size() > rules.maxBytes)
        return refused(ReadStatus::TooLarge, QStringLiteral("%1 grew past the bound").arg(path));
    return { ReadStatus::Read, std::move(bytes), {} };
}

bool isReplaceable(const QString &path, QString *error)
{
    const auto fail = [&](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    struct stat info
    { };
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0) {
        if (errno == ENOENT)
            return true;
        return fail(QStringLiteral("%1 cannot be examined: %2").arg(path, systemError(errno)));
    }
    if (S_ISLNK(info.st_mode))
        return fail(
            QStringLiteral("%1 is a link to another file, which is never followed").arg(path));
    if (!S_ISREG(info.st_mode))
        return fail(QStringLiteral("%1 is not a file").arg(path));
    if (info.st_uid != ::geteuid())
        return fail(QStringLiteral("%1 belongs to another user").arg(path));
    return true;
}

} // namespace storage
