#include "announce/Logging.h"

Q_LOGGING_CATEGORY(lcAnnounce, "quillory.announce", QtInfoMsg)
