#pragma once

#include <QLoggingCategory>

// Reads and writes of the data file and the settings store.
Q_DECLARE_LOGGING_CATEGORY(lcStorage)
