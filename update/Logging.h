#pragma once

#include <QLoggingCategory>

// The version check: fetches, decisions and the update started.

Q_DECLARE_LOGGING_CATEGORY(lcUpdate)
