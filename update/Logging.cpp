#include "update/Logging.h"

Q_LOGGING_CATEGORY(lcUpdate, "quillory.update", QtInfoMsg)
