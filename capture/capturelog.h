#pragma once

#include <QLoggingCategory>

// File capture's log ("kalvex.capture"): every failure of the receive log,
// as FileFailure::text() gives it, the moment it is known, and the log's
// start and stop.
Q_DECLARE_LOGGING_CATEGORY(lcCapture)
