#include "dataviewaccessible.h"

#include "dataview.h"

#include <QTextBoundaryFinder>
#include <QTimerEvent>

#include <algorithm>
#include <climits>

namespace {

// Changes reach assistive technology at most this often.
constexpr int kFrameMs = 8;

int clampToInt(qsizetype value) {
    return int(std::clamp<qsizetype>(value, 0, INT_MAX));
}

}  // namespace

DataViewAccessible::DataViewAccessible(DataView *view)
    : QAccessibleWidget(view, QAccessible::EditableText) {}

QAccessibleInterface *DataViewAccessible::create(const QString &className, QObject *object) {
    if (className == QLatin1String("DataView") && object && object->isWidgetType())
        return new DataViewAccessible(static_cast<DataView *>(object));
    return nullptr;
}

void *DataViewAccessible::interface_cast(QAccessible::InterfaceType type) {
    if (type == QAccessible::TextInterface)
        return static_cast<QAccessibleTextInterface *>(this);
    if (type == QAccessible::EditableTextInterface)
        return static_cast<QAccessibleEditableTextInterface *>(this);
    return QAccessibleWidget::interface_cast(type);
}

QAccessible::State DataViewAccessible::state() const {
    QAccessible::State state = QAccessibleWidget::state();
    state.multiLine = true;
    state.selectableText = true;
    state.readOnly = model().isReadOnly();
    state.editable = !model().isReadOnly();
    return state;
}

void DataViewAccessible::selection(int selectionIndex, int *startOffset, int *endOffset) const {
    *startOffset = *endOffset = 0;
    if (selectionIndex == 0 && model().hasSelection()) {
        *startOffset = clampToInt(model().selectionStart());
        *endOffset = clampToInt(model().selectionEnd());
    }
}

int DataViewAccessible::selectionCount() const {
    return model().hasSelection() ? 1 : 0;
}

void DataViewAccessible::addSelection(int startOffset, int endOffset) {
    setSelection(0, startOffset, endOffset);
}

void DataViewAccessible::removeSelection(int selectionIndex) {
    if (selectionIndex == 0)
        model().setCaret(model().caret());
}

void DataViewAccessible::setSelection(int selectionIndex, int startOffset, int endOffset) {
    if (selectionIndex == 0)
        model().select(startOffset, endOffset);
}

int DataViewAccessible::cursorPosition() const {
    return clampToInt(model().caret());
}

void DataViewAccessible::setCursorPosition(int position) {
    model().setCaret(position);
}

QString DataViewAccessible::text(int startOffset, int endOffset) const {
    const qsizetype from = std::clamp<qsizetype>(startOffset, 0, model().length());
    const qsizetype to = endOffset < 0 ? model().length() : endOffset;
    return model().mid(from, qMax<qsizetype>(0, to - from));
}

QString DataViewAccessible::textBeforeOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                             int *startOffset, int *endOffset) const {
    const auto unit = unitAt(offset, boundaryType);
    if (unit.first == 0)
        return unitText({0, 0}, startOffset, endOffset);
    return unitText(unitAt(unit.first - 1, boundaryType), startOffset, endOffset);
}

QString DataViewAccessible::textAfterOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                            int *startOffset, int *endOffset) const {
    const auto unit = unitAt(offset, boundaryType);
    const qsizetype length = model().length();
    if (unit.second >= length)
        return unitText({length, length}, startOffset, endOffset);
    return unitText(unitAt(unit.second, boundaryType), startOffset, endOffset);
}

QString DataViewAccessible::textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                         int *startOffset, int *endOffset) const {
    return unitText(unitAt(offset, boundaryType), startOffset, endOffset);
}

int DataViewAccessible::characterCount() const {
    return clampToInt(model().length());
}

QRect DataViewAccessible::characterRect(int offset) const {
    const DataView *v = view();
    const qsizetype position = std::clamp<qsizetype>(offset, 0, model().length());
    const QRect at = v->cursorRect(position);
    // The character reaches to where the next one starts on its line.
    int width = 1;
    if (position < model().length()) {
        const QRect next = v->cursorRect(position + 1);
        if (next.top() == at.top() && next.left() > at.left())
            width = next.left() - at.left();
    }
    const QRect local(at.topLeft(), QSize(width, at.height()));
    return QRect(v->viewport()->mapToGlobal(local.topLeft()), local.size());
}

int DataViewAccessible::offsetAtPoint(const QPoint &point) const {
    const DataView *v = view();
    const QPoint local = v->viewport()->mapFromGlobal(point);
    if (!v->viewport()->rect().contains(local))
        return -1;
    return clampToInt(v->positionAt(local));
}

void DataViewAccessible::scrollToSubstring(int startIndex, int endIndex) {
    view()->scrollToPosition(endIndex);
    view()->scrollToPosition(startIndex);
}

QString DataViewAccessible::attributes(int offset, int *startOffset, int *endOffset) const {
    // Plain text: one run without attributes.
    Q_UNUSED(offset);
    *startOffset = 0;
    *endOffset = characterCount();
    return QString();
}

void DataViewAccessible::deleteText(int startOffset, int endOffset) {
    model().replace(startOffset, endOffset, {});
}

void DataViewAccessible::insertText(int offset, const QString &text) {
    model().replace(offset, offset, text);
}

void DataViewAccessible::replaceText(int startOffset, int endOffset, const QString &text) {
    model().replace(startOffset, endOffset, text);
}

DataView *DataViewAccessible::view() const {
    return static_cast<DataView *>(widget());
}

EditingModel &DataViewAccessible::model() const {
    return view()->model();
}

std::pair<qsizetype, qsizetype> DataViewAccessible::unitAt(
    qsizetype position, QAccessible::TextBoundaryType type) const {
    const EditingModel &m = model();
    const LineIndex &lines = m.lines();
    const qsizetype length = m.length();
    position = qBound<qsizetype>(0, position, length);
    if (type == QAccessible::NoBoundary)
        return {0, length};
    if (position == length && type == QAccessible::CharBoundary)
        return {length, length};

    qsizetype line = lines.lineAt(position);
    const qsizetype start = lines.lineStart(line);
    const int shown = lines.lineLength(line);
    const qsizetype end = start + shown + LineIndex::endLength(lines.lineEnd(line));
    switch (type) {
        case QAccessible::CharBoundary: {
            qsizetype from = position;
            qsizetype to = position + 1;
            if (m.store().at(from).isLowSurrogate() && from > 0 &&
                m.store().at(from - 1).isHighSurrogate())
                --from;
            else if (m.store().at(from).isHighSurrogate() && to < length &&
                     m.store().at(to).isLowSurrogate())
                ++to;
            return {from, to};
        }
        case QAccessible::LineBoundary:
            return {start, end};
        case QAccessible::ParagraphBoundary: {
            // A paragraph runs over display breaks to a line break.
            qsizetype first = line;
            while (first > 0 && lines.lineEnd(first - 1) == LineEnd::Break) --first;
            while (lines.lineEnd(line) == LineEnd::Break) ++line;
            return {lines.lineStart(first), lines.lineStart(line) + lines.lineLength(line) +
                                                LineIndex::endLength(lines.lineEnd(line))};
        }
        case QAccessible::WordBoundary:
        case QAccessible::SentenceBoundary: {
            const int column = int(position - start);
            if (column >= shown)  // the line end is a unit of its own
                return {start + shown, qMax(end, start + shown + 1)};
            const QString text = m.lineText(line);
            QTextBoundaryFinder finder(type == QAccessible::WordBoundary
                                           ? QTextBoundaryFinder::Word
                                           : QTextBoundaryFinder::Sentence,
                                       text);
            finder.setPosition(column + 1);
            const qsizetype from = qMax<qsizetype>(0, finder.toPreviousBoundary());
            finder.setPosition(column);
            qsizetype to = finder.toNextBoundary();
            if (to < 0)
                to = shown;
            return {start + from, start + to};
        }
        case QAccessible::NoBoundary:
            break;
    }
    return {0, length};
}

QString DataViewAccessible::unitText(std::pair<qsizetype, qsizetype> unit, int *startOffset,
                                     int *endOffset) const {
    const qsizetype to = qMin(unit.second, model().length());
    *startOffset = clampToInt(unit.first);
    *endOffset = clampToInt(to);
    return model().mid(unit.first, to - unit.first);
}

TextAnnouncer::TextAnnouncer(DataView *view, EditingModel *model)
    : QObject(view), m_view(view), m_model(model) {
    connect(model, &EditingModel::aboutToRemove, this, &TextAnnouncer::aboutToRemove);
    connect(model, &EditingModel::textChanged, this, &TextAnnouncer::textChanged);
    connect(model, &EditingModel::caretMoved, this, &TextAnnouncer::caretMoved);
}

bool TextAnnouncer::isListening() {
    return QAccessible::isActive();
}

void TextAnnouncer::flush() {
    m_timer.stop();
    if (m_inserted > 0) {
        QAccessibleTextInsertEvent event(
            m_view, clampToInt(m_insertedAt),
            m_model->mid(m_insertedAt, qMin(m_inserted, AnnouncedLimit)));
        m_inserted = 0;
        QAccessible::updateAccessibility(&event);
    }
    const qsizetype caret = m_model->caret();
    const qsizetype anchor = m_model->anchor();
    if (m_caretMoved || caret != m_announcedCaret) {
        QAccessibleTextCursorEvent event(m_view, clampToInt(caret));
        QAccessible::updateAccessibility(&event);
    }
    if (anchor != m_announcedAnchor || (m_caretMoved && caret != anchor)) {
        QAccessibleTextSelectionEvent event(m_view, clampToInt(qMin(caret, anchor)),
                                            clampToInt(qMax(caret, anchor)));
        QAccessible::updateAccessibility(&event);
    }
    m_caretMoved = false;
    m_announcedCaret = caret;
    m_announcedAnchor = anchor;
}

void TextAnnouncer::timerEvent(QTimerEvent *event) {
    if (event->timerId() == m_timer.timerId())
        flush();
    else
        QObject::timerEvent(event);
}

void TextAnnouncer::aboutToRemove(qsizetype position, qsizetype length) {
    if (!isListening())
        return;
    // What is gathered refers to the text before this edit.
    flush();
    m_removed = m_model->mid(position, qMin(length, AnnouncedLimit));
}

void TextAnnouncer::textChanged(qsizetype position, qsizetype removed, qsizetype inserted) {
    if (!isListening())
        return;
    if (removed > 0) {
        QAccessibleTextRemoveEvent event(m_view, clampToInt(position), m_removed);
        m_removed.clear();
        QAccessible::updateAccessibility(&event);
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
        m_timer.start(kFrameMs, Qt::PreciseTimer, this);
}
