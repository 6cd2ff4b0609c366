#pragma once

#include <QLoggingCategory>

// The backup window: copies made and brought back.

Q_DECLARE_LOGGING_CATEGORY(lcBackup)
