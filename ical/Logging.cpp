#include "ical/Logging.h"

Q_LOGGING_CATEGORY(lcIcal, "quillory.ical", QtInfoMsg)
