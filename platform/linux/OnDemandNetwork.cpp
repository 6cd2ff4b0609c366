#include "platform/linux/OnDemandNetwork.h"

#include "platform/Logging.h"
#include "platform/linux/NetworkModule.h"

#include <QObject>
#include <QTimer>

namespace {

// A fetch that cannot be made, told from the event loop as every fetch is.
class FailedTransfer final : public Network::Transfer
{
public:
    FailedTransfer(const QString &why, std::function<void(const Network::FetchResult &)> finished)
    {
        Network::FetchResult result;
        result.error = why;
        QTimer::singleShot(0, &m_context, [result, finished = std::move(finished)] {
            const auto handler = finished; // the handler may delete this transfer
            handler(result);
        });
    }

private:
    QObject m_context; // deleting the transfer cancels the call
};

} // namespace

OnDemandNetwork::OnDemandNetwork(QStringList moduleFolders)
    : m_moduleFolders(std::move(moduleFolders))
{ }

OnDemandNetwork::~OnDemandNetwork() = default;

Network *OnDemandNetwork::loaded()
{
    if (!m_network && m_why.isEmpty()) {
        if (const auto make = openModuleEntry<MakeNetwork>(
                m_moduleFolders, kNetworkModuleName, kMakeNetworkSymbol, &m_why))
            m_network.reset(make());
        else
            qCWarning(lcPlatform).noquote() << "the network is not available:" << m_why;
    }
    return m_network.get();
}

bool OnDemandNetwork::isOnline()
{
    Network *network = loaded();
    return network && network->isOnline();
}

std::optional<QByteArray> OnDemandNetwork::fetch(const QUrl &url, int timeoutMs)
{
    if (Network *network = loaded())
        return network->fetch(url, timeoutMs);
    return std::nullopt;
}

std::unique_ptr<Network::Transfer> OnDemandNetwork::fetchAsync(
    const QUrl &url, FetchOptions options, std::function<void(const FetchResult &result)> finished)
{
    if (Network *network = loaded())
        return network->fetchAsync(url, std::move(options), std::move(finished));
    return std::make_unique<FailedTransfer>(
        QStringLiteral("the network is not installed (%1)").arg(m_why), std::move(finished));
}
