#include "dataviewaccessible.h"

#include "clamptoint.h"
#include "dataview_p.h"
#include "editingmodel.h"
#include "wordrule.h"

#include <QTextBoundaryFinder>

#include <algorithm>
#include <climits>

namespace {}  // namespace

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
    const bool readOnly = !d()->isEditable();
    state.readOnly = readOnly;
    state.editable = !readOnly;
    return state;
}

void DataViewAccessible::selection(int selectionIndex, int *startOffset, int *endOffset) const {
    *startOffset = *endOffset = 0;
    if (selectionIndex == 0 && reader().hasSelection()) {
        *startOffset = clampToInt(reader().selectionStart());
        *endOffset = clampToInt(reader().selectionEnd());
    }
}

int DataViewAccessible::selectionCount() const {
    return reader().hasSelection() ? 1 : 0;
}

void DataViewAccessible::addSelection(int startOffset, int endOffset) {
    setSelection(0, startOffset, endOffset);
}

void DataViewAccessible::removeSelection(int selectionIndex) {
    if (selectionIndex == 0)
        model().select(model().caret(), model().caret());
}

void DataViewAccessible::setSelection(int selectionIndex, int startOffset, int endOffset) {
    if (selectionIndex == 0)
        model().select(textPosition(startOffset), textPosition(endOffset));
}

int DataViewAccessible::cursorPosition() const {
    return clampToInt(reader().caret());
}

void DataViewAccessible::setCursorPosition(int position) {
    if (d()->isEditable())
        model().setCaret(position);
    else
        model().select(textPosition(position), textPosition(position));
}

QString DataViewAccessible::text(int startOffset, int endOffset) const {
    const qsizetype from = std::clamp<qsizetype>(startOffset, 0, reader().length());
    const qsizetype to = endOffset < 0 ? reader().length() : endOffset;
    return reader().mid(from, qMax<qsizetype>(0, to - from));
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
    const qsizetype length = reader().length();
    if (unit.second >= length)
        return unitText({length, length}, startOffset, endOffset);
    return unitText(unitAt(unit.second, boundaryType), startOffset, endOffset);
}

QString DataViewAccessible::textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                         int *startOffset, int *endOffset) const {
    return unitText(unitAt(offset, boundaryType), startOffset, endOffset);
}

int DataViewAccessible::characterCount() const {
    return clampToInt(reader().length());
}

QRect DataViewAccessible::characterRect(int offset) const {
    const qsizetype position = std::clamp<qsizetype>(offset, 0, reader().length());
    const QRect at = d()->cursorRect(position);
    // The character reaches to where the next one starts on its line.
    int width = 1;
    if (position < reader().length()) {
        const QRect next = d()->cursorRect(position + 1);
        if (next.top() == at.top() && next.left() > at.left())
            width = next.left() - at.left();
    }
    const QRect local(at.topLeft(), QSize(width, at.height()));
    return QRect(view()->viewport()->mapToGlobal(local.topLeft()), local.size());
}

int DataViewAccessible::offsetAtPoint(const QPoint &point) const {
    const QWidget *viewport = view()->viewport();
    const QPoint local = viewport->mapFromGlobal(point);
    if (!viewport->rect().contains(local))
        return -1;
    return clampToInt(d()->positionAt(local));
}

void DataViewAccessible::scrollToSubstring(int startIndex, int endIndex) {
    d()->scrollToPosition(endIndex);
    d()->scrollToPosition(startIndex);
}

QString DataViewAccessible::attributes(int offset, int *startOffset, int *endOffset) const {
    // Plain text: one run without attributes.
    Q_UNUSED(offset);
    *startOffset = 0;
    *endOffset = characterCount();
    return QString();
}

void DataViewAccessible::deleteText(int startOffset, int endOffset) {
    replaceText(startOffset, endOffset, {});
}

void DataViewAccessible::insertText(int offset, const QString &text) {
    replaceText(offset, offset, text);
}

void DataViewAccessible::replaceText(int startOffset, int endOffset, const QString &text) {
    if (d()->isEditable())
        model().replace(startOffset, endOffset, text);
}

DataView *DataViewAccessible::view() const {
    return static_cast<DataView *>(widget());
}

DataViewPrivate *DataViewAccessible::d() {
    return DataViewPrivate::get(view());
}

const DataViewPrivate *DataViewAccessible::d() const {
    return DataViewPrivate::get(view());
}

EditingModel &DataViewAccessible::model() {
    return d()->model();
}

const TextReader &DataViewAccessible::reader() const {
    return d()->reader();
}

qsizetype DataViewAccessible::textPosition(int offset) const {
    return d()->shown().textPosition(offset);
}

std::pair<qsizetype, qsizetype> DataViewAccessible::unitAt(
    qsizetype position, QAccessible::TextBoundaryType type) const {
    const TextReader &text = reader();
    const qsizetype length = text.length();
    position = qBound<qsizetype>(0, position, length);
    if (type == QAccessible::NoBoundary)
        return {0, length};
    if (position == length && type == QAccessible::CharBoundary)
        return {length, length};

    const TextLine line = text.lineAt(position);
    switch (type) {
        case QAccessible::CharBoundary: {
            const qsizetype from = text.previousCharacter(position + 1);
            return {from, text.nextCharacter(from)};
        }
        case QAccessible::LineBoundary:
            return {line.start, line.next()};
        case QAccessible::ParagraphBoundary: {
            // A paragraph runs over display breaks to a line break.
            TextLine first = line;
            while (first.start > 0) {
                const TextLine before = text.lineAt(first.start - 1);
                if (before.end != LineEnd::Break)
                    break;
                first = before;
            }
            TextLine last = line;
            while (last.end == LineEnd::Break) last = text.lineAt(last.next());
            return {first.start, last.next()};
        }
        case QAccessible::WordBoundary:
        case QAccessible::SentenceBoundary: {
            const int column = int(position - line.start);
            if (column >= line.length)  // the line end is a unit of its own
                return {line.shownEnd(), qMax(line.next(), line.shownEnd() + 1)};
            const QString shown = text.mid(line.start, line.length);
            if (type == QAccessible::WordBoundary) {
                const WordRule::Span word = WordRule::spanAt(shown, column);
                return {line.start + word.from, line.start + word.to};
            }
            QTextBoundaryFinder finder(QTextBoundaryFinder::Sentence, shown);
            finder.setPosition(column + 1);
            const qsizetype from = qMax<qsizetype>(0, finder.toPreviousBoundary());
            finder.setPosition(column);
            qsizetype to = finder.toNextBoundary();
            if (to < 0)
                to = line.length;
            return {line.start + from, line.start + to};
        }
        case QAccessible::NoBoundary:
            break;
    }
    return {0, length};
}

QString DataViewAccessible::unitText(std::pair<qsizetype, qsizetype> unit, int *startOffset,
                                     int *endOffset) const {
    const qsizetype to = qMin(unit.second, reader().length());
    *startOffset = clampToInt(unit.first);
    *endOffset = clampToInt(to);
    return reader().mid(unit.first, to - unit.first);
}
