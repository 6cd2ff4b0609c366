#pragma once

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QUrl>

#include <optional>

// The once-a-run version check's decisions: reading the version list,
// comparing versions, the addresses, and the texts the check speaks and shows.
namespace update {

inline constexpr const char *kOwnKey = "quillory";
inline constexpr const char *kVersionsPath = "/versions.txt";
inline constexpr const char *kUpdatePath = "/downloads/update.exe";
// Tests and trials point the check elsewhere with these.
inline constexpr const char *kVersionsUrlVariable = "QUILLORY_VERSIONS_URL";
inline constexpr const char *kDownloadUrlVariable = "QUILLORY_DOWNLOAD_URL";

// A stalled server must not hold the check for ever, nor a huge answer fill
// memory or the disk.
inline constexpr int kListTimeoutMs = 30 * 1000;
inline constexpr qint64 kListMaxBytes = 1024 * 1024;
inline constexpr int kUpdateTimeoutMs = 10 * 60 * 1000;
inline constexpr qint64 kUpdateMaxBytes = 200 * 1024 * 1024;
// The longest version text taken: it becomes a settings key and is shown.
inline constexpr int kMaxVersionLength = 32;

struct OwnVersion
{
    quint16 major = 0;
    quint16 minor = 0;
    quint16 revision = 0;
    // 1.1.11
    QString dotted() const;
    // 1111: the numbers with nothing between them
    QString digits() const;
    // This build's version.
    static OwnVersion current();
};

// What the list holds under a key.
struct ListEntry
{
    QString version;
    // SHA-256 of the update (32 bytes): the field after the version, 64 hex
    // digits closed by a colon. Empty when missing or malformed, and then
    // `digestProblem` says which; nothing is downloaded without it.
    QByteArray sha256;
    QString digestProblem;
};

struct ListReading
{
    std::optional<ListEntry> entry;
    QString problem; // why there is no entry, for the log
};

// The entry of `key`: its first occurrence without regard to case, the
// version between the next two colons (or the first colon and the end),
// taken from the text itself. Blanks and line breaks around the version are
// dropped; a version that is not digits and dots, or longer than
// kMaxVersionLength, gives no entry.
ListReading readVersionList(const QByteArray &list, const QString &key = QLatin1String(kOwnKey));

// Whether `server` is to be offered: not our dotted version, and its dots
// removed, not less than our digit form compared as text (so 120 and 119 are
// both newer than 1111).
bool isOffered(const QString &server, const OwnVersion &own);

// The address of the environment when it gives one, else the setting's.
QString configuredAddress(const QString &environment, const QString &setting);
// `address` with `path` after its own path. An address without a scheme is
// https; only http and https give a URL, anything else an empty one.
QUrl endpoint(const QString &address, const char *path);

inline constexpr const char *kOfferSentence
    = "There is an update available, do you want to fetch it?";
inline constexpr const char *kQuestionTitle = "NewVersion";
inline constexpr const char *kFetchingSentence
    = "\\emp\\This will take me about 5 minutes to get. Just carry on as normal. \\emp\\I will "
      "call you when the update has downloaded!";
inline constexpr const char *kErrorSentence
    = "\\emp\\There was an error whilst downloading, \\emp\\please try to download the file "
      "manually!";
inline constexpr const char *kDownloadedSentence = "Your file has now downloaded";
inline constexpr const char *kDownloadedMessage
    = "The update has now downloaded. I will close this software and then start the update "
      "installing.";

// An update refused for want of proof (signature, digest): one "Error!"
// box with the reason.
inline constexpr const char *kRefusedTitle = "Error!";
QString refusedText(const QString &why);

// Whether the version list is due: not yet fetched on `today`.
bool isCheckDue(const QString &lastCheck, const QDate &today);
QString checkDayText(const QDate &today);

// The question of the "NewVersion" box, with its CR LF line breaks.
QString questionText(const OwnVersion &own, const QString &server);
// Told when the saved update cannot be started.
QString notStartedText(const QString &path);

} // namespace update
