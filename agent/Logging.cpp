#include "agent/Logging.h"

Q_LOGGING_CATEGORY(lcAgent, "quillory.agent", QtInfoMsg)
Q_LOGGING_CATEGORY(lcSpeech, "quillory.speech", QtInfoMsg)
Q_LOGGING_CATEGORY(lcVoice, "quillory.voice", QtInfoMsg)
