#include "textannouncer.h"

#include "clamptoint.h"
#include "editingmodel.h"
#include "framepacer.h"

#include <QTimerEvent>

#include <algorithm>
#include <climits>
#include <utility>

namespace {

QAccessible::UpdateHandler handler = nullptr;

}  // namespace

TextAnnouncer::TextAnnouncer(QObject *target, const EditingModel *model)
    : QObject(target), m_target(target), m_model(model), m_reader(model) {
    connect(model, &EditingModel::aboutToRemove, this, &TextAnnouncer::aboutToRemove);
    connect(model, &EditingModel::textChanged, this, &TextAnnouncer::textChanged);
    connect(model, &EditingModel::caretMoved, this, &TextAnnouncer::caretMoved);
}

QAccessible::UpdateHandler TextAnnouncer::installUpdateHandler(
    QAccessible::UpdateHandler newHandler) {
    return std::exchange(handler, newHandler);
}

bool TextAnnouncer::isListening() {
    return handler || QAccessible::isActive();
}

void TextAnnouncer::flush() {
    m_timer.stop();
    if (m_inserted > 0) {
        QAccessibleTextInsertEvent event(
            m_target, clampToInt(m_insertedAt),
            m_model->mid(m_insertedAt, qMin(m_inserted, AnnouncedLimit)));
        m_inserted = 0;
        announce(&event);
    }
    const qsizetype caret = m_reader->caret();
    const qsizetype anchor = m_reader->anchor();
    if (m_caretMoved || caret != m_announcedCaret) {
        QAccessibleTextCursorEvent event(m_target, clampToInt(caret));
        announce(&event);
    }
    if (anchor != m_announcedAnchor || (m_caretMoved && caret != anchor)) {
        QAccessibleTextSelectionEvent event(m_target, clampToInt(qMin(caret, anchor)),
                                            clampToInt(qMax(caret, anchor)));
        announce(&event);
    }
    m_caretMoved = false;
    m_announcedCaret = caret;
    m_announcedAnchor = anchor;
}

void TextAnnouncer::setReader(const TextReader *reader) {
    flush();
    m_reader = reader;
    m_announcedCaret = -1;
    m_announcedAnchor = -1;
}

void TextAnnouncer::timerEvent(QTimerEvent *event) {
    if (event->timerId() == m_timer.timerId())
        flush();
    else
        QObject::timerEvent(event);
}

void TextAnnouncer::aboutToRemove(qsizetype position, qsizetype length) {
    if (!isListening() || m_reader != m_model)
        return;
    // What is gathered refers to the text before this edit.
    flush();
    m_removed = m_model->mid(position, qMin(length, AnnouncedLimit));
}

void TextAnnouncer::textChanged(qsizetype position, qsizetype removed, qsizetype inserted) {
    if (!isListening())
        return;
    if (m_reader != m_model) {
        // Where the caret is in the rows may have moved.
        schedule();
        return;
    }
    if (removed > 0) {
        QAccessibleTextRemoveEvent event(m_target, clampToInt(position), m_removed);
        m_removed.clear();
        announce(&event);
    }
    if (inserted > 0) {
        // Chunks that follow one another are one insertion.
        if (m_inserted > 0 && position != m_insertedAt + m_inserted)
            flush();
        if (m_inserted == 0)
            m_insertedAt = position;
        m_inserted += inserted;
    }
    schedule();
}

void TextAnnouncer::caretMoved() {
    if (!isListening())
        return;
    m_caretMoved = true;
    schedule();
}

void TextAnnouncer::schedule() {
    if (!m_timer.isActive())
        m_timer.start(FramePacer::FrameMs, Qt::PreciseTimer, this);
}

void TextAnnouncer::announce(QAccessibleEvent *event) {
    if (handler)
        handler(event);
    else
        QAccessible::updateAccessibility(event);
}
