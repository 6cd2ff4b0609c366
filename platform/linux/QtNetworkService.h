#pragma once

#include "platform/Network.h"

class QtNetworkService final : public Network
{
public:
    bool isOnline() override;
    std::optional<QByteArray> fetch(const QUrl &url, int timeoutMs) override;
};
