#include "colour/Logging.h"

Q_LOGGING_CATEGORY(lcColour, "quillory.colour", QtInfoMsg)
