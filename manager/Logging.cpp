#include "manager/Logging.h"

Q_LOGGING_CATEGORY(lcManager, "quillory.manager", QtInfoMsg)
