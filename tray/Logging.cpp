#include "tray/Logging.h"

Q_LOGGING_CATEGORY(lcTray, "quillory.tray", QtInfoMsg)
