#include "capturelog.h"

Q_LOGGING_CATEGORY(lcCapture, "kalvex.capture", QtInfoMsg)
