#include "calendar/Logging.h"

Q_LOGGING_CATEGORY(lcCalendar, "quillory.calendar", QtInfoMsg)
