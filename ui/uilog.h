#pragma once

#include <QLoggingCategory>

// The windows' log ("kalvex.ui"). Its debug level, off by default, records
// what the operator was shown where a test in a real window reads it back:
// the port number's tooltip, the count of received bytes.
Q_DECLARE_LOGGING_CATEGORY(lcUi)
