#pragma once

#include <QLoggingCategory>

// The colour control panel: colours chosen and restored.

Q_DECLARE_LOGGING_CATEGORY(lcColour)
