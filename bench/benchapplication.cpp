#include "benchapplication.h"

#include "procstats.h"

#include <QEvent>

BenchApplication::BenchApplication(int &argc, char **argv) : Application(argc, argv) {}

void BenchApplication::watchFrames(QObject *widget, std::function<void()> onPaint,
                                   std::function<void(qint64)> onFrame) {
    m_watched = widget;
    m_onPaint = std::move(onPaint);
    m_onFrame = std::move(onFrame);
    m_framePainted = false;
}

bool BenchApplication::notify(QObject *receiver, QEvent *event) {
    if (receiver == m_watched && m_watched && event->type() == QEvent::Paint) {
        m_framePainted = true;
        if (m_onPaint)
            m_onPaint();
    }
    ++m_depth;
    const bool result = Application::notify(receiver, event);
    --m_depth;
    if (m_depth == 0 && m_framePainted) {
        m_framePainted = false;
        if (m_onFrame)
            m_onFrame(ProcStats::monotonicNs());
    }
    return result;
}
