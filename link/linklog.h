#pragma once

#include <QLoggingCategory>

// The serial link's log ("kalvex.link"): the true reason when a port does
// not open, close or send, e.g. "port 3 (/dev/ttyUSB0): Permission denied".
// The windows show their designed texts; the reason goes here.
Q_DECLARE_LOGGING_CATEGORY(lcLink)
