#include "deviceclock.h"

#include <QDateTime>

namespace {

constexpr qint64 DaySeconds = 24 * 60 * 60;
constexpr qint64 YearSeconds = 366 * DaySeconds;
constexpr int MonthDays[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

int dayOfYear(int day, int month) {
    int index = day - 1;
    for (int m = 1; m < month; ++m) index += MonthDays[m - 1];
    return index;
}

}  // namespace

DeviceClock::DeviceClock() : m_host([] { return QDateTime::currentSecsSinceEpoch(); }) {
    const QDateTime local = QDateTime::currentDateTime();
    const QTime t = local.time();
    setYearSeconds(dayOfYear(local.date().day(), local.date().month()) * DaySeconds +
                   t.msecsSinceStartOfDay() / 1000);
}

void DeviceClock::setHostClock(std::function<qint64()> secondsNow) {
    const qint64 current = yearSeconds();
    m_host = std::move(secondsNow);
    setYearSeconds(current);
}

qint64 DeviceClock::yearSeconds() const {
    const qint64 s = (m_host() + m_offset) % YearSeconds;
    return s < 0 ? s + YearSeconds : s;
}

void DeviceClock::setYearSeconds(qint64 seconds) {
    m_offset = (seconds - m_host()) % YearSeconds;
}

DeviceClock::Reading DeviceClock::now() const {
    const qint64 s = yearSeconds();
    Reading r;
    int day = int(s / DaySeconds);
    const int ofDay = int(s % DaySeconds);
    r.hour = ofDay / 3600;
    r.minute = ofDay / 60 % 60;
    r.second = ofDay % 60;
    r.month = 1;
    while (day >= MonthDays[r.month - 1]) day -= MonthDays[r.month++ - 1];
    r.day = day + 1;
    return r;
}

void DeviceClock::setTime(int hour, int minute, int second) {
    const qint64 s = yearSeconds();
    setYearSeconds(s - s % DaySeconds + hour * 3600 + minute * 60 + second);
}

void DeviceClock::setDate(int day, int month) {
    setYearSeconds(dayOfYear(day, month) * DaySeconds + yearSeconds() % DaySeconds);
}

bool DeviceClock::isValidTime(int hour, int minute, int second) {
    return hour >= 0 && hour < 24 && minute >= 0 && minute < 60 && second >= 0 && second < 60;
}

bool DeviceClock::isValidDate(int day, int month) {
    return month >= 1 && month <= 12 && day >= 1 && day <= MonthDays[month - 1];
}
