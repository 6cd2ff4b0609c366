#include "update/UpdateCheck.h"

#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/Launcher.h"
#include "platform/Services.h"
#include "storage/Settings.h"
#include "update/DownloadRules.h"
#include "update/FrmDownload.h"
#include "update/Logging.h"

#include <QFile>

using namespace update;

UpdateCheck::UpdateCheck(
    Services &services, SettingsStore &settings, AppPaths paths, Host host, QObject *parent)
    : QObject(parent)
    , m_services(services)
    , m_settings(settings)
    , m_paths(std::move(paths))
    , m_host(std::move(host))
{ }

UpdateCheck::~UpdateCheck()
{
    m_transfer.reset();
    if (m_file)
        m_file->discard();
    delete m_progress;
}

FrmDownload *UpdateCheck::progressWindow() const
{
    return m_progress;
}

bool UpdateCheck::isDue(const QDate &today) const
{
    return isCheckDue(m_settings.read(setting::LastVersionCheck), today);
}

void UpdateCheck::run()
{
    if (m_running)
        return;
    m_running = true;
    m_cancelled = false;
    const QDate today = m_services.clock.now().date();
    if (!isCheckDue(m_settings.read(setting::LastVersionCheck), today)) {
        stop(Stop::CheckedToday, m_settings.read(setting::LastVersionCheck));
        return;
    }
    // Written before the fetch: a list that fails is not fetched again today.
    m_settings.write(setting::LastVersionCheck, checkDayText(today));
    const QUrl url = endpoint(configuredAddress(qEnvironmentVariable(kVersionsUrlVariable),
                                  m_settings.read(setting::VersionsUrl)),
        kVersionsPath);
    if (url.isEmpty()) {
        stop(Stop::NoAddress, QStringLiteral("the version list's address is not http or https"));
        return;
    }
    qCInfo(lcUpdate) << "fetching the version list" << url.toString();
    Network::FetchOptions options;
    options.timeoutMs = limits.listTimeoutMs;
    options.maxBytes = limits.listMaxBytes;
    // The answer comes later; the tick and everything else go on meanwhile.
    m_transfer = m_services.network.fetchAsync(
        url, options, [this](const Network::FetchResult &result) { listArrived(result); });
}

void UpdateCheck::listArrived(const Network::FetchResult &result)
{
    m_transfer.reset();
    if (!result.ok()) {
        stop(Stop::ListFailed, result.error);
        return;
    }
    // Not a line is read before the signature is good.
    const VerifiedList verified = verifySignedList(result.body, trustedKey.pem);
    if (!verified.text) {
        qCWarning(lcUpdate).noquote() << "version list refused, key" << trustedKey.source << ":"
                                      << trustedKey.problem << verified.problem;
        refuse(trustedKey.problem.isEmpty() ? verified.problem : trustedKey.problem);
        return;
    }
    const ListReading reading = readVersionList(*verified.text);
    if (!reading.entry) {
        stop(Stop::NoEntry, reading.problem);
        return;
    }
    const ListEntry entry = *reading.entry;
    if (!isOffered(entry.version, own)) {
        stop(Stop::NotNewer, QStringLiteral("the list offers %1").arg(entry.version));
        return;
    }
    // Each version is offered once.
    if (m_settings.ReadSetting(QLatin1String(setting::kVersionSection), entry.version,
            QLatin1String(setting::kNotOfferedValue))
        == QLatin1String(setting::kOfferedValue)) {
        stop(Stop::AlreadyOffered, entry.version);
        return;
    }
    // Nobody is asked about an update that would be refused once fetched.
    if (entry.sha256.isEmpty()) {
        refuse(entry.digestProblem);
        return;
    }
    offer(entry);
}

void UpdateCheck::offer(const ListEntry &entry)
{
    qCInfo(lcUpdate) << "offering version" << entry.version;
    m_host.say(QLatin1String(kOfferSentence));
    const MsgAnswer answer = m_services.dialogs.messageBox(questionText(own, entry.version),
        MsgButtons::YesNo, MsgIcon::None, QLatin1String(kQuestionTitle));
    // Offered, whatever the answer.
    m_settings.WriteSetting(QLatin1String(setting::kVersionSection), entry.version,
        QLatin1String(setting::kOfferedValue));
    if (m_cancelled) {
        stop(Stop::Cancelled, QStringLiteral("the calendar ended while asking"));
        return;
    }
    if (answer != MsgAnswer::Yes) {
        stop(Stop::Declined, entry.version);
        return;
    }
    m_host.say(QLatin1String(kFetchingSentence));
    download(entry);
}

void UpdateCheck::download(const ListEntry &entry)
{
    const QUrl url = endpoint(configuredAddress(qEnvironmentVariable(kDownloadUrlVariable),
                                  m_settings.read(setting::DownloadUrl)),
        kUpdatePath);
    if (url.isEmpty()) {
        downloadFailed(QStringLiteral("the update's address is not http or https"));
        return;
    }
    // Each download goes to a fresh private file; earlier ones go.
    const QString folder = m_paths.updateFolder();
    if (const int removed = removeOldDownloads(folder); removed > 0)
        qCDebug(lcUpdate) << "removed" << removed << "earlier downloads from" << folder;
    QString error;
    m_file = UpdateFile::create(folder, &error);
    if (!m_file) {
        downloadFailed(QStringLiteral("no file for the update: %1").arg(error));
        return;
    }

    m_progress = new FrmDownload(entry.version);
    connect(m_progress, &FrmDownload::cancelled, this, &UpdateCheck::cancel);
    m_progress->show();
    qCInfo(lcUpdate) << "downloading" << url.toString() << "to" << m_file->path();
    Network::FetchOptions options;
    options.timeoutMs = limits.updateTimeoutMs;
    options.maxBytes = limits.updateMaxBytes;
    options.onData = [this](QByteArrayView chunk) { return m_file && m_file->write(chunk); };
    options.onProgress = [this](qint64 received, qint64 total) {
        if (m_progress)
            m_progress->setProgress(received, total);
    };
    // Written to the file as it arrives; checked once it is all there.
    m_transfer = m_services.network.fetchAsync(url, options,
        [this, entry](const Network::FetchResult &result) { updateArrived(result, entry); });
}

void UpdateCheck::updateArrived(const Network::FetchResult &result, const ListEntry &entry)
{
    m_transfer.reset();
    closeProgress();
    if (!result.ok()) {
        m_file->discard();
        m_file.reset();
        downloadFailed(result.error);
        return;
    }
    const Verdict verdict = m_file->finish(entry.sha256);
    const QString path = m_file->path();
    m_file.reset(); // a good file stays; any other is gone
    if (verdict == Verdict::WrongDigest || verdict == Verdict::NoDigest) {
        refuse(QStringLiteral("the downloaded file of version %1 %2")
                   .arg(entry.version,
                       verdict == Verdict::WrongDigest
                           ? QStringLiteral("does not match the SHA-256 the version list gave")
                           : QStringLiteral("has no SHA-256 to check it against")));
        return;
    }
    if (verdict != Verdict::Good) {
        downloadFailed(QStringLiteral("the download of %1 bytes: %2")
                           .arg(result.received)
                           .arg(verdictText(verdict)));
        return;
    }
    startUpdate(path);
}

void UpdateCheck::startUpdate(const QString &path)
{
    m_host.say(QLatin1String(kDownloadedSentence));
    m_services.dialogs.messageBox(
        QLatin1String(kDownloadedMessage), MsgButtons::Ok, MsgIcon::Information);
    // The calendar may have begun to end while the box stood.
    if (m_cancelled) {
        QFile::remove(path);
        stop(Stop::Cancelled, QStringLiteral("the calendar ended before the update started"));
        return;
    }
    if (!m_services.launcher.start(path, {}, WindowStyle::NormalFocus)) {
        // Ending without the update would leave the user without a calendar.
        m_services.dialogs.messageBox(
            notStartedText(path), MsgButtons::Ok, MsgIcon::Critical, QStringLiteral("Error!"));
        stop(Stop::NotStarted, path);
        return;
    }
    stop(Stop::Started, path);
    m_host.unloadCalendar();
}

void UpdateCheck::downloadFailed(const QString &why)
{
    m_host.say(QLatin1String(kErrorSentence));
    stop(Stop::DownloadFailed, why);
}

void UpdateCheck::refuse(const QString &why)
{
    qCWarning(lcUpdate).noquote() << "update refused:" << why;
    m_services.dialogs.messageBox(
        refusedText(why), MsgButtons::Ok, MsgIcon::Critical, QLatin1String(kRefusedTitle));
    stop(Stop::Refused, why);
}

void UpdateCheck::cancel()
{
    if (!m_running)
        return;
    m_cancelled = true;
    // Only a transfer under way ends here; a question being asked ends
    // when it is answered.
    if (m_transfer) {
        m_transfer.reset();
        if (m_file) {
            m_file->discard();
            m_file.reset();
        }
        closeProgress();
        stop(Stop::Cancelled, QStringLiteral("ended during a fetch"));
    }
}

void UpdateCheck::closeProgress()
{
    if (m_progress) {
        m_progress->close();
        m_progress->deleteLater();
    }
    m_progress = nullptr;
}

void UpdateCheck::stop(Stop where, const QString &why)
{
    m_running = false;
    qCInfo(lcUpdate).noquote() << "version check ends:" << QVariant::fromValue(where).toString()
                               << why;
    emit stopped(where);
}
