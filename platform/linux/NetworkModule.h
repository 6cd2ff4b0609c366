#pragma once

#include "platform/Network.h"

// The network module's one entry: Qt Network's service, owned by the caller.
using MakeNetwork = Network *(*)();
inline constexpr const char *kNetworkModuleName = "quillory-network";
inline constexpr const char *kMakeNetworkSymbol = "quillory_make_network";
