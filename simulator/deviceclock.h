#pragma once

#include <QtGlobal>

#include <functional>

// The controller's real-time clock and calendar.
//
// The calendar holds no year: it counts through a 366-day year, so 29-02 is
// always a valid date, 28-02 is followed by 29-02 and 31-12 by 01-01. The
// clock runs with the host's clock, shifted by whatever SETT and SETD set; at
// power-on it shows the host's local date and time.
class DeviceClock {
public:
    struct Reading {
        int day = 1;
        int month = 1;
        int hour = 0;
        int minute = 0;
        int second = 0;
    };

    DeviceClock();

    // Replaces the host clock (seconds, any epoch) that the device runs with;
    // the device's reading stays what it was. Lets tests move time by hand.
    void setHostClock(std::function<qint64()> secondsNow);

    Reading now() const;
    // Both keep the other half of the reading as it is.
    void setTime(int hour, int minute, int second);
    void setDate(int day, int month);

    static bool isValidTime(int hour, int minute, int second);
    static bool isValidDate(int day, int month);

private:
    // Seconds since 01-01 00:00:00 of the device's year.
    qint64 yearSeconds() const;
    void setYearSeconds(qint64 seconds);

    std::function<qint64()> m_host;
    qint64 m_offset = 0;
};
