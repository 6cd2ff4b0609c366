#pragma once

#include "platform/LoadedLibrary.h"
#include "platform/Network.h"

#include <memory>

// The network as the calendar holds it: Qt Network, with the TLS and
// Kerberos libraries it brings, is loaded as a module at the first version
// check or download instead of at every start. A missing module is a
// machine without a connection, with its reason in the log.
class OnDemandNetwork final : public Network
{
public:
    explicit OnDemandNetwork(QStringList moduleFolders = installedModuleFolders());
    ~OnDemandNetwork() override;

    bool isOnline() override;
    std::optional<QByteArray> fetch(const QUrl &url, int timeoutMs) override;
    std::unique_ptr<Transfer> fetchAsync(const QUrl &url, FetchOptions options,
        std::function<void(const FetchResult &result)> finished) override;

private:
    Network *loaded();

    QStringList m_moduleFolders;
    std::unique_ptr<Network> m_network;
    QString m_why; // why the module did not load, once it did not
};
