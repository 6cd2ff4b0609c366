#include "platform/linux/QtNetworkService.h"

#include "platform/Logging.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkInformation>
#include <QNetworkInterface>
#include <QNetworkReply>
#include <QPointer>
#include <QSslError>
#include <QTimer>

namespace {

// Without a reachability backend, an interface that is up and is not the
// loopback stands for a connection.
bool anInterfaceIsUp()
{
    const auto interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface &i : interfaces) {
        const auto flags = i.flags();
        if (flags.testFlag(QNetworkInterface::IsUp) && flags.testFlag(QNetworkInterface::IsRunning)
            && !flags.testFlag(QNetworkInterface::IsLoopBack)) {
            return true;
        }
    }
    return false;
}

} // namespace

bool QtNetworkService::isOnline()
{
    static const bool loaded
        = QNetworkInformation::loadBackendByFeatures(QNetworkInformation::Feature::Reachability);
    if (loaded && QNetworkInformation::instance()) {
        const auto reach = QNetworkInformation::instance()->reachability();
        if (reach != QNetworkInformation::Reachability::Unknown)
            return reach == QNetworkInformation::Reachability::Online;
    }
    return anInterfaceIsUp();
}

std::optional<QByteArray> QtNetworkService::fetch(const QUrl &url, int timeoutMs)
{
    QNetworkAccessManager manager;
    QNetworkRequest request(url);
    request.setTransferTimeout(timeoutMs);
    QNetworkReply *reply = manager.get(request);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    std::optional<QByteArray> body;
    if (reply->isFinished() && reply->error() == QNetworkReply::NoError)
        body = reply->readAll();
    else
        reply->abort();
    qCDebug(lcPlatform) << "fetch" << url.toString() << (body ? "ok" : "failed");
    reply->deleteLater();
    return body;
}

namespace {

bool isSuccess(int status)
{
    return status >= 200 && status < 300;
}

// One asynchronous fetch. Its signal connections use a helper object that is
// deleted later, so the transfer itself may go from inside its handler.
class QtTransfer final : public Network::Transfer
{
public:
    QtTransfer(QNetworkAccessManager &manager, const QUrl &url, Network::FetchOptions options,
        std::function<void(const Network::FetchResult &)> finished)
        : m_url(url)
        , m_options(std::move(options))
        , m_finished(std::move(finished))
        , m_context(new QObject)
        , m_timer(new QTimer(m_context))
    {
        m_timer->setSingleShot(true);
        const QString scheme = url.scheme().toLower();
        if (!url.isValid() || url.host().isEmpty()
            || (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
            // Refused from the event loop, as the interface promises.
            QObject::connect(m_timer, &QTimer::timeout, m_context, [this] {
                end(Network::Outcome::Refused, QStringLiteral("only http and https are fetched"));
            });
            m_timer->start(0);
            return;
        }
        QNetworkRequest request(url);
        request.setAttribute(
            QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::SameOriginRedirectPolicy);
        request.setMaximumRedirectsAllowed(5);
        m_reply = manager.get(request);
        QObject::connect(
            m_reply, &QNetworkReply::metaDataChanged, m_context, [this] { onMetaData(); });
        // Progress is told from here: the reply's own signal is held back
        // for a tenth of a second, and a stalled server never sends another.
        QObject::connect(m_reply, &QNetworkReply::readyRead, m_context, [this] { onReadyRead(); });
        QObject::connect(
            m_reply, &QNetworkReply::sslErrors, m_context, [this](const QList<QSslError> &errors) {
                // Never ignored: the reply fails with them.
                for (const QSslError &e : errors)
                    qCInfo(lcPlatform) << "TLS error on" << m_url.toString() << e.errorString();
            });
        QObject::connect(m_reply, &QNetworkReply::finished, m_context, [this] { onFinished(); });
        QObject::connect(m_timer, &QTimer::timeout, m_context, [this] {
            end(Network::Outcome::TimedOut,
                QStringLiteral("no complete answer within %1 ms").arg(m_options.timeoutMs));
        });
        m_timer->start(m_options.timeoutMs);
    }

    ~QtTransfer() override
    {
        m_timer->stop();
        dropReply();
        m_context->deleteLater();
    }

private:
    int status() const
    {
        return m_reply ? m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() : 0;
    }

    void onMetaData()
    {
        const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
        if (isSuccess(status()) && length.isValid() && length.toLongLong() > m_options.maxBytes) {
            end(Network::Outcome::TooLarge,
                QStringLiteral("%1 bytes announced, at most %2 taken")
                    .arg(length.toLongLong())
                    .arg(m_options.maxBytes));
        }
    }

    void onReadyRead()
    {
        const QByteArray chunk = m_reply->readAll();
        // An error page is not the body asked for.
        if (chunk.isEmpty() || !isSuccess(status()))
            return;
        m_result.received += chunk.size();
        if (m_result.received > m_options.maxBytes) {
            end(Network::Outcome::TooLarge,
                QStringLiteral("more than %1 bytes received").arg(m_options.maxBytes));
            return;
        }
        if (!m_options.onData) {
            m_result.body += chunk;
        } else if (!m_options.onData(chunk)) {
            end(Network::Outcome::Failed, QStringLiteral("the body could not be stored"));
            return;
        }
        if (m_options.onProgress) {
            const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
            m_options.onProgress(m_result.received, length.isValid() ? length.toLongLong() : -1);
        }
    }

    void onFinished()
    {
        if (m_done)
            return;
        m_result.httpStatus = status();
        if (m_reply->error() == QNetworkReply::NoError)
            onReadyRead();
        if (m_done)
            return;
        if (m_reply->error() != QNetworkReply::NoError)
            end(Network::Outcome::Failed, m_reply->errorString());
        else if (!isSuccess(m_result.httpStatus))
            end(Network::Outcome::Failed,
                QStringLiteral("HTTP status %1").arg(m_result.httpStatus));
        else
            end(Network::Outcome::Ok, {});
    }

    void dropReply()
    {
        if (!m_reply)
            return;
        QObject::disconnect(m_reply, nullptr, m_context, nullptr);
        // Not aborted at once: this may run inside one of the reply's own
        // signals, which an abort there upsets.
        if (m_reply->isRunning())
            QMetaObject::invokeMethod(m_reply, &QNetworkReply::abort, Qt::QueuedConnection);
        m_reply->deleteLater();
        m_reply = nullptr;
    }

    void end(Network::Outcome outcome, const QString &error)
    {
        if (m_done)
            return;
        m_done = true;
        m_timer->stop();
        if (m_reply && m_result.httpStatus == 0)
            m_result.httpStatus = status();
        dropReply();
        m_result.outcome = outcome;
        m_result.error = error;
        qCDebug(lcPlatform).noquote()
            << "fetch" << m_url.toString() << (outcome == Network::Outcome::Ok ? "ok" : "failed:")
            << error << m_result.received << "bytes";
        // Last: the handler may delete this transfer.
        auto finished = std::move(m_finished);
        const Network::FetchResult result = std::move(m_result);
        if (finished)
            finished(result);
    }

    QUrl m_url;
    Network::FetchOptions m_options;
    std::function<void(const Network::FetchResult &)> m_finished;
    QObject *m_context;
    QTimer *m_timer;
    // The manager owns its replies and may go first.
    QPointer<QNetworkReply> m_reply;
    Network::FetchResult m_result;
    bool m_done = false;
};

} // namespace

QtNetworkService::QtNetworkService() = default;
QtNetworkService::~QtNetworkService() = default;

std::unique_ptr<Network::Transfer> QtNetworkService::fetchAsync(
    const QUrl &url, FetchOptions options, std::function<void(const FetchResult &result)> finished)
{
    if (!m_manager)
        m_manager = std::make_unique<QNetworkAccessManager>();
    return std::make_unique<QtTransfer>(*m_manager, url, std::move(options), std::move(finished));
}
