#include "backup/Logging.h"

Q_LOGGING_CATEGORY(lcBackup, "quillory.backup", QtInfoMsg)
