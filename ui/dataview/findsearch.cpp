#include "findsearch.h"

#include "editingmodel.h"

#include <QElapsedTimer>
#include <QTimerEvent>

namespace {

// Characters searched between two looks at the clock.
constexpr qsizetype kSlice = 1 << 20;

}  // namespace

FindSearch::FindSearch(const EditingModel *model, QObject *parent)
    : QObject(parent), m_model(model) {}

void FindSearch::start(const TextFinder &finder, qsizetype origin, bool backward) {
    m_finder = finder;
    m_origin = qBound<qsizetype>(0, origin, m_model->length());
    m_backward = backward;
    m_wrapped = false;
    m_next = m_origin;
    m_bound = backward ? 0 : -1;  // forward: the end, read as the text grows
    if (!step())
        m_timer.start(0, this);
}

void FindSearch::cancel() {
    m_timer.stop();
    m_finder.reset();
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
    const TextStore &text = m_model->store();
    QElapsedTimer clock;
    clock.start();
    do {
        if (!m_backward) {
            const qsizetype bound = m_bound < 0 ? text.size() : m_bound;
            const qsizetype to = qMin(m_next + kSlice, bound);
            const qsizetype found = m_finder->findForward(text, m_next, to);
            if (found >= 0) {
                finish(found);
                return true;
            }
            m_next = to;
            if (m_next >= bound) {
                if (m_wrapped) {
                    finish(-1);
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
                    finish(-1);
                    return true;
                }
                m_wrapped = true;
                m_next = text.size();
                m_bound = m_origin;
            }
        }
    } while (clock.elapsed() < m_sliceMs);
    return false;
}

void FindSearch::finish(qsizetype position) {
    const qsizetype length = m_finder->length();
    const bool wrapped = m_wrapped;
    m_timer.stop();
    m_finder.reset();
    emit finished(position, length, wrapped);
}
