#include "platform/Logging.h"

Q_LOGGING_CATEGORY(lcPlatform, "quillory.platform", QtInfoMsg)
