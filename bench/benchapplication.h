#pragma once

#include "application.h"

#include <functional>

// The console's application object, with one addition: it sees every event
// delivered, so it can tell when a frame that painted the DATA view is
// finished.
//
// A frame is the outermost event whose handling painted the watched widget;
// the window's backing store is flushed before that event's handling
// returns, so its end is when the new text reached the screen.
class BenchApplication : public Application {
    Q_OBJECT

public:
    BenchApplication(int &argc, char **argv);

    // onPaint runs as the watched widget's paint begins, onFrame(nowNs) when
    // the frame holding it is done. A null widget stops the watch.
    void watchFrames(QObject *widget, std::function<void()> onPaint,
                     std::function<void(qint64)> onFrame);

    bool notify(QObject *receiver, QEvent *event) override;

private:
    QObject *m_watched = nullptr;
    std::function<void()> m_onPaint;
    std::function<void(qint64)> m_onFrame;
    int m_depth = 0;
    bool m_framePainted = false;
};
