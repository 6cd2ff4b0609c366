#include "agent/speech/SpeechOutput.h"

// The interface's signals are generated for this file.
