#include "agent/Agent.h"

// The interface's signals are generated for this file.
