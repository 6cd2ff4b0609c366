#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcAgent)
Q_DECLARE_LOGGING_CATEGORY(lcSpeech)
Q_DECLARE_LOGGING_CATEGORY(lcVoice)
