#pragma once

#include <QObject>
#include <QTimer>

// The longest time the window's thread did not come back to its event loop:
// a fast timer ticks on that thread, and any gap between ticks beyond the
// interval is time in which the window could not have answered.
class StallMeter : public QObject {
    Q_OBJECT

public:
    explicit StallMeter(int intervalMs = 2, QObject *parent = nullptr);

    void start();
    void stop();
    double longestMs() const { return double(m_longestNs) / 1e6; }

private:
    void tick();

    QTimer m_timer;
    qint64 m_intervalNs;
    qint64 m_lastNs = 0;
    qint64 m_longestNs = 0;
};
