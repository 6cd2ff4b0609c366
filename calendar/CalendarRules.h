#pragma once

// The month view's rules together: its marks and its day query.
#include "calendar/DayQueryRules.h"
#include "calendar/MarkingRules.h"
