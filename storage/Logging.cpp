#include "storage/Logging.h"

Q_LOGGING_CATEGORY(lcStorage, "quillory.storage", QtInfoMsg)
