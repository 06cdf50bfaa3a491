#pragma once

#include <QDate>
#include <QLocale>
#include <QString>
#include <QTime>

// The clock label's text: the date in the locale's short format, one space,
// the time in its long format (with seconds, without a time zone).
QString clockText(const QLocale &locale, QDate date, QTime time);
