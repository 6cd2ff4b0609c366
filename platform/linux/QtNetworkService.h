#pragma once

#include "platform/Network.h"

#include <memory>

class QNetworkAccessManager;

class QtNetworkService final : public Network
{
public:
    QtNetworkService();
    ~QtNetworkService() override;

    bool isOnline() override;
    std::optional<QByteArray> fetch(const QUrl &url, int timeoutMs) override;
    std::unique_ptr<Transfer> fetchAsync(const QUrl &url, FetchOptions options,
        std::function<void(const FetchResult &result)> finished) override;

private:
    std::unique_ptr<QNetworkAccessManager> m_manager;
};
