#include "findsearch.h"

#include "framepacer.h"

#include <QElapsedTimer>
#include <QTimerEvent>

namespace {

// Characters searched between two looks at the clock.
constexpr qsizetype kSlice = 1 << 20;

}  // namespace

FindSearch::FindSearch(const TextReader *text, QObject *parent)
    : QObject(parent), m_text(text), m_sliceMs(FramePacer::FrameMs) {}

void FindSearch::start(const TextFinder &finder, qsizetype origin, FindDirection direction) {
    m_finder = finder;
    m_origin = qBound<qsizetype>(0, origin, m_text->length());
    m_direction = direction;
    m_wrapped = false;
    m_next = m_origin;
    // Forward: up to the end, read as the text grows.
    m_bound = direction == FindDirection::Backward ? 0 : -1;
    if (!step())
        m_timer.start(0, this);
}

void FindSearch::timerEvent(QTimerEvent *event) {
    if (event->timerId() != m_timer.timerId()) {
        QObject::timerEvent(event);
        return;
    }
    if (step())
        m_timer.stop();
}

bool FindSearch::step() {
    const TextReader &text = *m_text;
    QElapsedTimer clock;
    clock.start();
    do {
        if (m_direction == FindDirection::Forward) {
            const qsizetype bound = m_bound < 0 ? text.length() : m_bound;
            const qsizetype to = qMin(m_next + kSlice, bound);
            const qsizetype found = m_finder->findForward(text, m_next, to);
            if (found >= 0) {
                finish(found);
                return true;
            }
            m_next = to;
            if (m_next >= bound) {
                if (m_wrapped) {
                    finish(std::nullopt);
                    return true;
                }
                m_wrapped = true;
                m_next = 0;
                m_bound = m_origin;
            }
        } else {
            const qsizetype from = qMax(m_next - kSlice, m_bound);
            const qsizetype found = m_finder->findBackward(text, from, m_next);
            if (found >= 0) {
                finish(found);
                return true;
            }
            m_next = from;
            if (m_next <= m_bound) {
                if (m_wrapped) {
                    finish(std::nullopt);
                    return true;
                }
                m_wrapped = true;
                m_next = text.length();
                m_bound = m_origin;
            }
        }
    } while (clock.elapsed() < m_sliceMs);
    return false;
}

void FindSearch::finish(std::optional<qsizetype> position) {
    const FindMatch::Route route = m_wrapped ? FindMatch::Route::Around : FindMatch::Route::Direct;
    const qsizetype length = m_finder->length();
    m_timer.stop();
    m_finder.reset();
    if (position)
        emit found(FindMatch{*position, length, route});
    else
        emit notFound();
}
