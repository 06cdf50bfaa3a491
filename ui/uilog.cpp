#include "uilog.h"

Q_LOGGING_CATEGORY(lcUi, "kalvex.ui", QtInfoMsg)
