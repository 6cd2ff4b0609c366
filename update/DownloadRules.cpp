#include "update/DownloadRules.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

#include <unistd.h>

namespace update {

namespace {
constexpr QFile::Permissions kOwnerOnly = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
} // namespace

QString verdictText(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Good:
        return QStringLiteral("good");
    case Verdict::TooShort:
        return QStringLiteral("fewer than three bytes");
    case Verdict::ZeroStart:
        return QStringLiteral("starts with three zero bytes");
    case Verdict::NoDigest:
        return QStringLiteral("the list gave no SHA-256 to check it against");
    case Verdict::WrongDigest:
        return QStringLiteral("not the SHA-256 the list gave");
    case Verdict::NotSaved:
        return QStringLiteral("could not be saved");
    }
    return {};
}

Verdict judge(qint64 size, QByteArrayView firstBytes, const QByteArray &sha256,
    const QByteArray &expectedSha256)
{
    if (size < 3 || firstBytes.size() < 3)
        return Verdict::TooShort;
    if (firstBytes[0] == 0 && firstBytes[1] == 0 && firstBytes[2] == 0)
        return Verdict::ZeroStart;
    if (expectedSha256.size() != 32)
        return Verdict::NoDigest;
    if (sha256 != expectedSha256)
        return Verdict::WrongDigest;
    return Verdict::Good;
}

bool preparePrivateFolder(const QString &folder, QString *error)
{
    const auto fail = [&](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    if (!QDir().mkpath(folder))
        return fail(QStringLiteral("cannot make %1").arg(folder));
    const QFileInfo info(folder);
    if (!info.isDir() || info.isSymLink())
        return fail(QStringLiteral("%1 is not a plain folder").arg(folder));
    if (info.ownerId() != uint(::geteuid()))
        return fail(QStringLiteral("%1 belongs to another user").arg(folder));
    if (!QFile::setPermissions(folder, kOwnerOnly))
        return fail(QStringLiteral("cannot keep %1 to this user").arg(folder));
    return true;
}

int removeOldDownloads(const QString &folder)
{
    QDir dir(folder);
    int removed = 0;
    const QStringList names = dir.entryList(
        { QLatin1String(kUpdateFilePrefix) + QLatin1Char('*') }, QDir::Files | QDir::Hidden);
    for (const QString &name : names) {
        if (dir.remove(name))
            ++removed;
    }
    return removed;
}

std::unique_ptr<UpdateFile> UpdateFile::create(const QString &folder, QString *error)
{
    if (!preparePrivateFolder(folder, error))
        return nullptr;
    std::unique_ptr<UpdateFile> file(new UpdateFile);
    file->m_file = std::make_unique<QTemporaryFile>(
        folder + QLatin1Char('/') + QLatin1String(kUpdateFilePrefix) + QStringLiteral("XXXXXX"));
    // The file stays when this object goes only once it has been judged good.
    file->m_file->setAutoRemove(false);
    if (!file->m_file->open()) {
        if (error)
            *error = file->m_file->errorString();
        return nullptr;
    }
    file->m_path = file->m_file->fileName();
    return file;
}

UpdateFile::~UpdateFile() = default;

bool UpdateFile::write(QByteArrayView chunk)
{
    if (m_writeFailed || !m_file || !m_file->isOpen())
        return false;
    if (m_file->write(chunk.data(), chunk.size()) != chunk.size()) {
        m_writeFailed = true;
        return false;
    }
    m_hash.addData(chunk);
    if (m_first.size() < 3)
        m_first += chunk.first(qMin<qsizetype>(3 - m_first.size(), chunk.size())).toByteArray();
    m_size += chunk.size();
    return true;
}

Verdict UpdateFile::finish(const QByteArray &expectedSha256)
{
    if (!m_file)
        return Verdict::NotSaved;
    const bool flushed = m_file->flush();
    m_file->close();
    Verdict verdict = Verdict::NotSaved;
    if (!m_writeFailed && flushed && m_file->error() == QFileDevice::NoError)
        verdict = judge(m_size, m_first, m_hash.result(), expectedSha256);
    if (verdict == Verdict::Good && !QFile::setPermissions(m_path, kOwnerOnly))
        verdict = Verdict::NotSaved;
    if (verdict != Verdict::Good)
        discard();
    return verdict;
}

void UpdateFile::discard()
{
    if (!m_file)
        return;
    m_file->close();
    m_file->remove();
    m_file.reset();
}

} // namespace update
