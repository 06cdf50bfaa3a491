#include "scenariolog.h"

Q_LOGGING_CATEGORY(lcScenario, "kalvex.scenario", QtInfoMsg)
