#pragma once

#include <QLoggingCategory>

// The scenarios' log ("kalvex.scenario"): each run's summary, and at debug
// level each step's line, in the window as headless.
Q_DECLARE_LOGGING_CATEGORY(lcScenario)
