#include "linklog.h"

Q_LOGGING_CATEGORY(lcLink, "kalvex.link", QtInfoMsg)
