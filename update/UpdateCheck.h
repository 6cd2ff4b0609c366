#pragma once

#include "calendar/WindowLinks.h"
#include "platform/Network.h"
#include "storage/AppPaths.h"
#include "update/SignedList.h"
#include "update/VersionRules.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>

class FrmDownload;
class SettingsStore;
struct Services;
namespace update {
class UpdateFile;
}

// The once-a-day version check, from the fetch of the version list to the
// start of a downloaded update. Nothing is offered from a list the maker's
// key did not sign, and nothing is started that does not match the SHA-256
// the signed list gave. Both fetches run while the calendar goes
// on: the check is a sequence of steps that resumes as each answer comes.
class UpdateCheck final : public QObject, public VersionCheck
{
    Q_OBJECT
public:
    // What the calendar window offers the check.
    struct Host
    {
        std::function<void(const QString &text)> say;
        std::function<void()> unloadCalendar;
    };
    // Where the check stopped; each stop is logged.
    enum class Stop {
        CheckedToday,
        NoAddress,
        ListFailed,
        NoEntry,
        NotNewer,
        AlreadyOffered,
        Declined,
        DownloadFailed,
        Refused,
        NotStarted,
        Started,
        Cancelled,
    };
    Q_ENUM(Stop)
    struct Limits
    {
        int listTimeoutMs = update::kListTimeoutMs;
        qint64 listMaxBytes = update::kListMaxBytes;
        int updateTimeoutMs = update::kUpdateTimeoutMs;
        qint64 updateMaxBytes = update::kUpdateMaxBytes;
    };

    UpdateCheck(Services &services, SettingsStore &settings, AppPaths paths, Host host,
        QObject *parent = nullptr);
    ~UpdateCheck() override;

    // Fetches the list unless it was fetched today already; returns at
    // once, the fetch runs on.
    void run() override;
    bool isDue(const QDate &today) const override;
    // The calendar ends, or the user stops the download: nothing is started
    // after this.
    void cancel() override;

    bool isRunning() const { return m_running; }
    // The download's progress window while it is open.
    FrmDownload *progressWindow() const;

    update::OwnVersion own = update::OwnVersion::current();
    Limits limits;
    // The key the list must be signed with.
    update::TrustedKey trustedKey = update::trustedPublicKey();

signals:
    void stopped(UpdateCheck::Stop where);

private:
    void listArrived(const Network::FetchResult &result);
    void offer(const update::ListEntry &entry);
    void download(const update::ListEntry &entry);
    void updateArrived(const Network::FetchResult &result, const update::ListEntry &entry);
    void startUpdate(const QString &path);
    void downloadFailed(const QString &why);
    void refuse(const QString &why);
    void stop(Stop where, const QString &why = {});
    void closeProgress();

    Services &m_services;
    SettingsStore &m_settings;
    AppPaths m_paths;
    Host m_host;
    std::unique_ptr<Network::Transfer> m_transfer;
    std::unique_ptr<update::UpdateFile> m_file;
    QPointer<FrmDownload> m_progress;
    bool m_running = false;
    bool m_cancelled = false;
};
