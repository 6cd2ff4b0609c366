#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QCryptographicHash>
#include <QString>

#include <memory>

class QTemporaryFile;

// Where and how a downloaded update is kept, and when it counts as good.
namespace update {

enum class Verdict {
    Good,
    TooShort, // fewer than three bytes
    ZeroStart, // the first three bytes are all zero
    NoDigest, // the version list gave no SHA-256 to check it against
    WrongDigest, // not the SHA-256 the version list gave
    NotSaved, // the file could not be written
};

// The verdict in words, for the log.
QString verdictText(Verdict verdict);

// The check of the bytes received: at least three, not all of the first
// three zero, and the SHA-256 the signed list gave. Without a digest
// nothing is good: it is the only tie between the signed list and the file.
Verdict judge(qint64 size, QByteArrayView firstBytes, const QByteArray &sha256,
    const QByteArray &expectedSha256);

// The folder updates are saved in: made when missing, and kept to this
// user alone, so nobody else can swap the file before it is started. False,
// with the reason, when it cannot be made so.
bool preparePrivateFolder(const QString &folder, QString *error);

// Updates saved by earlier runs are removed before a new download; the
// number removed.
int removeOldDownloads(const QString &folder);

// One update being received: a file of a fresh name in the private folder,
// written as the bytes arrive, hashed on the way.
class UpdateFile
{
public:
    // Nothing, with the reason, when the folder or the file cannot be made.
    static std::unique_ptr<UpdateFile> create(const QString &folder, QString *error);
    ~UpdateFile();

    // False once a write has failed (a full disk, say).
    bool write(QByteArrayView chunk);
    // Closes the file and judges it; a file that is not good is removed.
    // The file is made executable only when good.
    Verdict finish(const QByteArray &expectedSha256);
    // Removes the file (a download that failed or was cancelled).
    void discard();

    QString path() const { return m_path; }
    qint64 size() const { return m_size; }

private:
    UpdateFile() = default;

    std::unique_ptr<QTemporaryFile> m_file;
    QString m_path;
    QCryptographicHash m_hash { QCryptographicHash::Sha256 };
    QByteArray m_first;
    qint64 m_size = 0;
    bool m_writeFailed = false;
};

// The stem of every saved update's name.
inline constexpr const char *kUpdateFilePrefix = "quillory-update-";

} // namespace update
