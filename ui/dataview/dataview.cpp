#include "dataview.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>
#include <QtMath>

#include <algorithm>
#include <climits>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

// The screen catches up with received text at most this often.
constexpr int kFrameMs = 8;
// Space between the frame and the text.
constexpr int kMargin = 4;
// Laid-out lines kept beyond twice those in sight.
constexpr size_t kLayoutSlack = 64;
// Clearing more characters than this also hands the freed pages back.
constexpr qsizetype kTrimAfter = 1 << 20;

const QColor kMarkText(0x9c, 0x1c, 0x1c);
const QColor kMarkBackground(0xff, 0xe0, 0xb2);

// Pasted text keeps every character except its line breaks, which become
// the CR LF an Enter gives.
QString windowsLineEnds(const QString &text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text.at(i);
        if (ch == u'\r' || ch == u'\n') {
            out += u"\r\n";
            if (ch == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n')
                ++i;
        } else {
            out += ch;
        }
    }
    return out;
}

// Typed text: printable characters, not a shortcut. AltGr arrives as
// Ctrl+Alt on some systems and still types.
bool isTyping(const QKeyEvent *event) {
    const QString text = event->text();
    if (text.isEmpty())
        return false;
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    if ((modifiers & Qt::ControlModifier) && !(modifiers & Qt::AltModifier))
        return false;
    if (modifiers & Qt::MetaModifier)
        return false;
    for (const QChar ch : text) {
        if (!ch.isPrint() && !ch.isSurrogate())
            return false;
    }
    return true;
}

bool isBackspace(const QKeyEvent *event) {
    return event->matches(QKeySequence::Backspace) ||
           (event->key() == Qt::Key_Backspace && !(event->modifiers() & ~Qt::ShiftModifier));
}

bool isEnter(const QKeyEvent *event) {
    return event->matches(QKeySequence::InsertParagraphSeparator) ||
           event->matches(QKeySequence::InsertLineSeparator);
}

QString withShortcut(const QString &text, QKeySequence::StandardKey key) {
    const QString shortcut = QKeySequence(key).toString(QKeySequence::NativeText);
    return shortcut.isEmpty() ? text : text + u'\t' + shortcut;
}

}  // namespace

DataView::DataView(QWidget *parent) : QAbstractScrollArea(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    viewport()->setCursor(Qt::IBeamCursor);
    updateFonts();
    syncNow();
}

DataView::~DataView() = default;

QString DataView::text() const {
    return m_store.toString();
}

void DataView::setText(const QString &text) {
    const bool large = m_store.size() > kTrimAfter;
    m_store.clear();
    m_lines.clear();
    m_layouts.clear();
    m_measuredWidth = 0;
    m_measuredLongest = 0;
#ifdef __GLIBC__
    // The pieces are freed, but the allocator keeps most of them for later.
    if (large)
        malloc_trim(0);
#else
    Q_UNUSED(large);
#endif
    m_store.append(text);
    m_lines.append(text);
    m_caret = m_anchor = m_store.size();
    m_upstream = false;
    m_goalX = -1;
    m_followPending = true;
    horizontalScrollBar()->setValue(0);
    syncNow();
}

void DataView::appendReceived(const QString &chunk) {
    if (chunk.isEmpty())
        return;
    const qsizetype oldLength = m_store.size();
    const bool caretAtEnd = m_caret == oldLength && m_anchor == oldLength;
    const QScrollBar *vertical = verticalScrollBar();
    // The scroll bar may lag behind by a frame; it still tells whether the
    // operator left the view at its end.
    const bool atEnd = m_followPending || vertical->value() == vertical->maximum();
    m_followPending = caretAtEnd && atEnd;

    // Only the open last line changes; the lines after it are new.
    m_layouts.erase(m_lines.lineCount() - 1);
    m_store.append(chunk);
    m_lines.append(chunk);
    if (caretAtEnd) {
        m_caret = m_anchor = m_store.size();
        m_upstream = false;
    }
    scheduleSync();
}

void DataView::setReadOnly(bool readOnly) {
    m_readOnly = readOnly;
    setAttribute(Qt::WA_InputMethodEnabled, !readOnly);
    viewport()->update();
}

QString DataView::lineText(qsizetype line) const {
    return m_store.mid(m_lines.lineStart(line), m_lines.lineLength(line));
}

void DataView::setCaret(qsizetype position, qsizetype anchor) {
    const qsizetype n = length();
    position = qBound<qsizetype>(0, position, n);
    anchor = anchor < 0 ? position : qBound<qsizetype>(0, anchor, n);
    const auto snap = [this](qsizetype at) {
        const Place p = place(at, false);
        return m_lines.lineStart(p.line) + p.column;
    };
    m_anchor = snap(anchor);
    m_goalX = -1;
    moveTo(snap(position), false, true);
}

QString DataView::selectedText() const {
    return m_store.mid(qMin(m_caret, m_anchor), qAbs(m_caret - m_anchor));
}

bool DataView::isFollowingEnd() const {
    const QScrollBar *vertical = verticalScrollBar();
    return m_caret == length() && !hasSelection() &&
           (m_followPending || vertical->value() == vertical->maximum());
}

QRect DataView::cursorRect(qsizetype position) const {
    return rectAt(place(qBound<qsizetype>(0, position, length()), false));
}

QRect DataView::cursorRect() const {
    return rectAt(place(m_caret, m_upstream));
}

qsizetype DataView::positionAt(const QPoint &point) const {
    const Place at = hitTest(point);
    return m_lines.lineStart(at.line) + at.column;
}

QVariant DataView::inputMethodQuery(Qt::InputMethodQuery query) const {
    const Place at = place(m_caret, m_upstream);
    switch (query) {
        case Qt::ImEnabled:
            return !m_readOnly;
        case Qt::ImCursorRectangle:
            return cursorRect().translated(viewport()->pos());
        case Qt::ImFont:
            return font();
        case Qt::ImCursorPosition:
            return at.column;
        case Qt::ImAnchorPosition: {
            const qsizetype start = m_lines.lineStart(at.line);
            return int(std::clamp<qsizetype>(m_anchor - start, 0, m_lines.lineLength(at.line)));
        }
        case Qt::ImSurroundingText:
            return lineText(at.line);
        case Qt::ImCurrentSelection:
            return qAbs(m_caret - m_anchor) <= DisplayLineLimit ? selectedText() : QString();
        case Qt::ImHints:
            return int(Qt::ImhMultiLine);
        default:
            return QAbstractScrollArea::inputMethodQuery(query);
    }
}

void DataView::selectAll() {
    m_anchor = 0;
    m_goalX = -1;
    moveTo(length(), false, true);
}

void DataView::copy() const {
    if (hasSelection())
        QGuiApplication::clipboard()->setText(selectedText());
}

void DataView::cut() {
    if (m_readOnly || !hasSelection())
        return;
    copy();
    insertAtCaret(QString());
}

void DataView::paste() {
    if (m_readOnly)
        return;
    const QMimeData *data = QGuiApplication::clipboard()->mimeData();
    if (data && data->hasText())
        insertAtCaret(windowsLineEnds(data->text()));
}

bool DataView::event(QEvent *event) {
    // Keys the view handles itself are not taken by the window's shortcuts.
    if (event->type() == QEvent::ShortcutOverride &&
        isEditingKey(static_cast<QKeyEvent *>(event))) {
        event->accept();
        return true;
    }
    return QAbstractScrollArea::event(event);
}

void DataView::changeEvent(QEvent *event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        updateFonts();
        syncNow();
    }
}

void DataView::paintEvent(QPaintEvent *event) {
    QPainter painter(viewport());
    const QRect area = event->rect();
    const QPalette::ColorGroup group = hasFocus() ? QPalette::Active : QPalette::Inactive;
    const QPalette &colours = palette();
    const LineLayout::Colours style{
        colours.color(group, QPalette::Text), kMarkText, kMarkBackground,
        colours.color(group, QPalette::HighlightedText), colours.color(group, QPalette::Highlight)};

    const qsizetype first = m_topLine + qMax(0, (area.top() - kMargin) / m_lineHeight);
    const qsizetype last =
        qMin(lineCount() - 1, m_topLine + qMax(0, (area.bottom() - kMargin) / m_lineHeight));
    const qsizetype selectedFrom = qMin(m_caret, m_anchor);
    const qsizetype selectedTo = qMax(m_caret, m_anchor);
    qsizetype start = first <= last ? m_lines.lineStart(first) : 0;
    for (qsizetype line = first; line <= last; ++line) {
        const int length = m_lines.lineLength(line);
        const int endLength = LineIndex::endLength(m_lines.lineEnd(line));
        const QPointF origin = lineOrigin(line);
        const LineLayout &layout = layoutFor(line);
        const int from = int(std::clamp<qsizetype>(selectedFrom - start, 0, length));
        const int to = int(std::clamp<qsizetype>(selectedTo - start, 0, length));
        layout.draw(&painter, origin, m_lineHeight, from, to, style, area.left() - origin.x(),
                    area.right() + 1 - origin.x());
        // A selected line end shows as a selected space after the text.
        if (endLength > 0 && selectedFrom <= start + length &&
            selectedTo >= start + length + endLength) {
            painter.fillRect(
                QRectF(origin.x() + layout.width(), origin.y(), m_charWidth, m_lineHeight),
                style.selectionBackground);
        }
        start += length + endLength;
    }

    if (m_caretShown && hasFocus() && !m_readOnly)
        painter.fillRect(cursorRect(), style.text);

    // Lines painted for the first time may be wider than the scroll range.
    foldMeasuredWidths();
    if (m_measuredWidth > m_syncedWidth)
        scheduleSync();
}

void DataView::resizeEvent(QResizeEvent *event) {
    QAbstractScrollArea::resizeEvent(event);
    const QScrollBar *vertical = verticalScrollBar();
    if (vertical->value() == vertical->maximum())
        m_followPending = true;
    syncNow();
}

void DataView::scrollContentsBy(int, int) {
    m_topLine = verticalScrollBar()->value();
    m_xOffset = horizontalScrollBar()->value();
    viewport()->update();
}

void DataView::timerEvent(QTimerEvent *event) {
    if (event->timerId() == m_syncTimer.timerId()) {
        syncNow();
    } else if (event->timerId() == m_blinkTimer.timerId()) {
        m_caretShown = !m_caretShown;
        viewport()->update(cursorRect().adjusted(-1, 0, 1, 0));
    } else {
        QAbstractScrollArea::timerEvent(event);
    }
}

void DataView::keyPressEvent(QKeyEvent *event) {
    if (event->matches(QKeySequence::SelectAll)) {
        selectAll();
    } else if (event->matches(QKeySequence::Copy)) {
        copy();
    } else if (!handleMovement(event) && (m_readOnly || !handleEditing(event))) {
        event->ignore();
        return;
    }
    event->accept();
}

void DataView::inputMethodEvent(QInputMethodEvent *event) {
    if (m_readOnly) {
        event->ignore();
        return;
    }
    if (!event->commitString().isEmpty())
        insertAtCaret(windowsLineEnds(event->commitString()));
    event->accept();
}

void DataView::mousePressEvent(QMouseEvent *event) {
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    m_dragging = true;
    m_goalX = -1;
    moveTo(hitTest(event->position()), event->modifiers() & Qt::ShiftModifier);
    event->accept();
}

void DataView::mouseMoveEvent(QMouseEvent *event) {
    if (!m_dragging || !(event->buttons() & Qt::LeftButton)) {
        QAbstractScrollArea::mouseMoveEvent(event);
        return;
    }
    // Above or below the viewport this reaches the line beyond, so dragging
    // out of the view scrolls it.
    moveTo(hitTest(event->position()), true);
    event->accept();
}

void DataView::mouseReleaseEvent(QMouseEvent *event) {
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mouseReleaseEvent(event);
        return;
    }
    m_dragging = false;
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (hasSelection() && clipboard->supportsSelection())
        clipboard->setText(selectedText(), QClipboard::Selection);
    event->accept();
}

void DataView::mouseDoubleClickEvent(QMouseEvent *event) {
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mouseDoubleClickEvent(event);
        return;
    }
    const Place at = hitTest(event->position());
    const auto [from, to] = layoutFor(at.line).wordAt(at.column);
    m_anchor = m_lines.lineStart(at.line) + from;
    m_goalX = -1;
    moveTo(Place{at.line, to}, true);
    m_dragging = false;
    event->accept();
}

void DataView::contextMenuEvent(QContextMenuEvent *event) {
    const bool editable = !m_readOnly;
    QMenu menu(this);
    QAction *action = menu.addAction(withShortcut(QStringLiteral("Wytnij"), QKeySequence::Cut));
    action->setEnabled(editable && hasSelection());
    connect(action, &QAction::triggered, this, &DataView::cut);
    action = menu.addAction(withShortcut(QStringLiteral("Kopiuj"), QKeySequence::Copy));
    action->setEnabled(hasSelection());
    connect(action, &QAction::triggered, this, &DataView::copy);
    action = menu.addAction(withShortcut(QStringLiteral("Wklej"), QKeySequence::Paste));
    const QMimeData *clip = QGuiApplication::clipboard()->mimeData();
    action->setEnabled(editable && clip && clip->hasText());
    connect(action, &QAction::triggered, this, &DataView::paste);
    action = menu.addAction(QStringLiteral("Usuń"));
    action->setEnabled(editable && hasSelection());
    connect(action, &QAction::triggered, this, [this] { insertAtCaret(QString()); });
    menu.addSeparator();
    action =
        menu.addAction(withShortcut(QStringLiteral("Zaznacz wszystko"), QKeySequence::SelectAll));
    action->setEnabled(length() > 0);
    connect(action, &QAction::triggered, this, &DataView::selectAll);
    menu.exec(event->globalPos());
}

void DataView::focusInEvent(QFocusEvent *event) {
    QAbstractScrollArea::focusInEvent(event);
    restartBlink();
    viewport()->update();
}

void DataView::focusOutEvent(QFocusEvent *event) {
    QAbstractScrollArea::focusOutEvent(event);
    m_blinkTimer.stop();
    viewport()->update();
}

bool DataView::focusNextPrevChild(bool next) {
    // Tab is typed into the view unless it is meant to move on.
    if (!m_tabChangesFocus && !m_readOnly)
        return false;
    return QAbstractScrollArea::focusNextPrevChild(next);
}

DataView::Place DataView::place(qsizetype position, bool upstream) const {
    qsizetype line = m_lines.lineAt(position);
    qsizetype start = m_lines.lineStart(line);
    if (upstream && line > 0 && position == start && m_lines.lineEnd(line - 1) == LineEnd::Break) {
        --line;
        start = m_lines.lineStart(line);
    }
    // A position inside a line end counts as the end of the line's text.
    return {line, int(qMin<qsizetype>(position - start, m_lines.lineLength(line)))};
}

DataView::Place DataView::hitTest(const QPointF &point) const {
    const qsizetype row = qFloor((point.y() - kMargin) / m_lineHeight);
    const qsizetype line = qBound<qsizetype>(0, m_topLine + row, lineCount() - 1);
    return {line, layoutFor(line).columnAt(point.x() - kMargin + m_xOffset)};
}

QRect DataView::rectAt(const Place &at) const {
    const QPointF origin = lineOrigin(at.line);
    const qreal x = origin.x() + layoutFor(at.line).xForColumn(at.column);
    return QRect(qFloor(x), qRound(origin.y()), 1, m_lineHeight);
}

const LineLayout &DataView::layoutFor(qsizetype line) const {
    const auto found = m_layouts.find(line);
    if (found != m_layouts.end())
        return *found->second;
    if (m_layouts.size() > size_t(2 * visibleLines()) + kLayoutSlack) {
        foldMeasuredWidths();
        m_layouts.clear();
    }
    auto layout = std::make_unique<LineLayout>(lineText(line), m_fonts);
    return *m_layouts.emplace(line, std::move(layout)).first->second;
}

// Only lines shaped to their end count as measured; a long line shaped as
// far as it was drawn would otherwise fix an estimate as the width.
void DataView::foldMeasuredWidths() const {
    for (const auto &[line, layout] : m_layouts) {
        if (layout->isComplete()) {
            m_measuredWidth = qMax(m_measuredWidth, layout->width());
            m_measuredLongest = qMax(m_measuredLongest, layout->length());
        }
    }
}

void DataView::dropLayoutsFrom(qsizetype line) {
    std::erase_if(m_layouts, [line](const auto &entry) { return entry.first >= line; });
}

void DataView::updateFonts() {
    const QFont text = font();
    QFont mark = text;
    if (text.pixelSize() > 0)
        mark.setPixelSize(qMax(6, qRound(text.pixelSize() * 0.8)));
    else
        mark.setPointSizeF(qMax(4.0, text.pointSizeF() * 0.8));
    const QFontMetricsF metrics(text);
    m_lineHeight = qMax(1, qCeil(metrics.lineSpacing()));
    m_charWidth = qMax<qreal>(1, metrics.averageCharWidth());
    m_fonts = {text, mark, 8 * m_charWidth, m_charWidth,
               qRound(metrics.ascent() + metrics.leading() / 2)};
    m_layouts.clear();
    m_measuredWidth = 0;
    m_measuredLongest = 0;
}

int DataView::visibleLines() const {
    return qMax(1, (viewport()->height() - kMargin) / m_lineHeight);
}

QPointF DataView::lineOrigin(qsizetype line) const {
    return QPointF(kMargin - m_xOffset, kMargin + qreal(line - m_topLine) * m_lineHeight);
}

// Chunks only mark the view as changed; the scroll bars and the screen are
// brought up to date here, at once after a quiet spell and at most once a
// frame while text streams in.
void DataView::scheduleSync() {
    if (m_syncTimer.isActive())
        return;
    const qint64 since = m_sinceSync.isValid() ? m_sinceSync.elapsed() : kFrameMs;
    m_syncTimer.start(int(std::clamp<qint64>(kFrameMs - since, 0, kFrameMs)), Qt::PreciseTimer,
                      this);
}

void DataView::syncNow() {
    m_syncTimer.stop();
    m_sinceSync.start();
    QScrollBar *vertical = verticalScrollBar();
    QScrollBar *horizontal = horizontalScrollBar();

    const int lines = visibleLines();
    const qsizetype top = qMax<qsizetype>(0, lineCount() - lines);
    vertical->setSingleStep(1);
    vertical->setPageStep(lines);
    vertical->setRange(0, int(qMin<qsizetype>(top, INT_MAX)));
    if (m_followPending)
        vertical->setValue(vertical->maximum());
    m_followPending = false;

    // Lines not yet laid out are reckoned at the font's average width.
    foldMeasuredWidths();
    m_syncedWidth = m_measuredWidth;
    // Once the longest line has been measured, the estimate (the font's
    // average width is generous) would only leave blank room to scroll into.
    const int longest = m_lines.longestLine();
    const qreal widest = longest > m_measuredLongest ? qMax(m_measuredWidth, longest * m_charWidth)
                                                     : m_measuredWidth;
    const int content = qCeil(widest) + 2 * kMargin + 1;
    horizontal->setSingleStep(qMax(1, qRound(2 * m_charWidth)));
    horizontal->setPageStep(qMax(1, viewport()->width()));
    horizontal->setRange(0, qMax(0, content - viewport()->width()));

    m_topLine = vertical->value();
    m_xOffset = horizontal->value();
    viewport()->update();
}

void DataView::ensureCaretVisible() {
    const Place at = place(m_caret, m_upstream);
    const qreal x = layoutFor(at.line).xForColumn(at.column);
    syncNow();
    const int lines = visibleLines();
    QScrollBar *vertical = verticalScrollBar();
    if (at.line < m_topLine)
        vertical->setValue(int(at.line));
    else if (at.line >= m_topLine + lines)
        vertical->setValue(int(at.line - lines + 1));
    const int width = viewport()->width() - 2 * kMargin - 1;
    QScrollBar *horizontal = horizontalScrollBar();
    if (x < m_xOffset)
        horizontal->setValue(qFloor(x));
    else if (x > m_xOffset + width)
        horizontal->setValue(qCeil(x) - width);
}

void DataView::restartBlink() {
    m_caretShown = true;
    m_blinkTimer.stop();
    const int flash = QApplication::cursorFlashTime();
    if (hasFocus() && flash > 0)
        m_blinkTimer.start(flash / 2, this);
}

void DataView::moveTo(const Place &to, bool keepAnchor) {
    const int length = m_lines.lineLength(to.line);
    const bool upstream =
        to.column > 0 && to.column == length && m_lines.lineEnd(to.line) == LineEnd::Break;
    moveTo(m_lines.lineStart(to.line) + to.column, upstream, keepAnchor);
}

void DataView::moveTo(qsizetype position, bool upstream, bool keepAnchor) {
    m_caret = position;
    m_upstream = upstream;
    if (!keepAnchor)
        m_anchor = position;
    restartBlink();
    ensureCaretVisible();
    viewport()->update();
}

bool DataView::handleMovement(QKeyEvent *event) {
    static const struct {
        QKeySequence::StandardKey key;
        Move move;
        bool select;
    } keys[] = {
        {QKeySequence::MoveToNextChar, Move::NextChar, false},
        {QKeySequence::SelectNextChar, Move::NextChar, true},
        {QKeySequence::MoveToPreviousChar, Move::PreviousChar, false},
        {QKeySequence::SelectPreviousChar, Move::PreviousChar, true},
        {QKeySequence::MoveToNextWord, Move::NextWord, false},
        {QKeySequence::SelectNextWord, Move::NextWord, true},
        {QKeySequence::MoveToPreviousWord, Move::PreviousWord, false},
        {QKeySequence::SelectPreviousWord, Move::PreviousWord, true},
        {QKeySequence::MoveToNextLine, Move::NextLine, false},
        {QKeySequence::SelectNextLine, Move::NextLine, true},
        {QKeySequence::MoveToPreviousLine, Move::PreviousLine, false},
        {QKeySequence::SelectPreviousLine, Move::PreviousLine, true},
        {QKeySequence::MoveToNextPage, Move::NextPage, false},
        {QKeySequence::SelectNextPage, Move::NextPage, true},
        {QKeySequence::MoveToPreviousPage, Move::PreviousPage, false},
        {QKeySequence::SelectPreviousPage, Move::PreviousPage, true},
        {QKeySequence::MoveToStartOfLine, Move::StartOfLine, false},
        {QKeySequence::SelectStartOfLine, Move::StartOfLine, true},
        {QKeySequence::MoveToStartOfBlock, Move::StartOfLine, false},
        {QKeySequence::SelectStartOfBlock, Move::StartOfLine, true},
        {QKeySequence::MoveToEndOfLine, Move::EndOfLine, false},
        {QKeySequence::SelectEndOfLine, Move::EndOfLine, true},
        {QKeySequence::MoveToEndOfBlock, Move::EndOfLine, false},
        {QKeySequence::SelectEndOfBlock, Move::EndOfLine, true},
        {QKeySequence::MoveToStartOfDocument, Move::StartOfText, false},
        {QKeySequence::SelectStartOfDocument, Move::StartOfText, true},
        {QKeySequence::MoveToEndOfDocument, Move::EndOfText, false},
        {QKeySequence::SelectEndOfDocument, Move::EndOfText, true},
    };
    for (const auto &key : keys) {
        if (event->matches(key.key)) {
            move(key.move, key.select);
            return true;
        }
    }
    return false;
}

void DataView::move(Move move, bool select) {
    // Without shift, left and right first give up a selection at its edge.
    if (!select && hasSelection() && (move == Move::NextChar || move == Move::PreviousChar)) {
        m_goalX = -1;
        moveTo(move == Move::NextChar ? qMax(m_caret, m_anchor) : qMin(m_caret, m_anchor), false,
               false);
        return;
    }
    Place at = place(m_caret, m_upstream);
    const qsizetype lastLine = lineCount() - 1;
    const int length = m_lines.lineLength(at.line);
    const bool vertical = move == Move::NextLine || move == Move::PreviousLine ||
                          move == Move::NextPage || move == Move::PreviousPage;
    if (!vertical)
        m_goalX = -1;
    switch (move) {
        case Move::NextChar:
        case Move::NextWord:
            if (at.column < length) {
                const LineLayout &layout = layoutFor(at.line);
                at.column = move == Move::NextChar ? layout.nextColumn(at.column)
                                                   : layout.nextWord(at.column);
            } else if (at.line < lastLine) {
                at = {at.line + 1, 0};
            }
            // Stepping through a display break is one step, not two.
            if (at.column == length && at.line < lastLine &&
                m_lines.lineEnd(at.line) == LineEnd::Break)
                at = {at.line + 1, 0};
            break;
        case Move::PreviousChar:
        case Move::PreviousWord:
            if (at.column == 0 && at.line > 0) {
                at = {at.line - 1, m_lines.lineLength(at.line - 1)};
                if (m_lines.lineEnd(at.line) != LineEnd::Break)
                    break;
            }
            if (at.column > 0) {
                const LineLayout &layout = layoutFor(at.line);
                at.column = move == Move::PreviousChar ? layout.previousColumn(at.column)
                                                       : layout.previousWord(at.column);
            }
            break;
        case Move::NextLine:
        case Move::PreviousLine:
        case Move::NextPage:
        case Move::PreviousPage: {
            const bool page = move == Move::NextPage || move == Move::PreviousPage;
            const bool down = move == Move::NextLine || move == Move::NextPage;
            const qsizetype step = page ? visibleLines() : 1;
            if (m_goalX < 0)
                m_goalX = layoutFor(at.line).xForColumn(at.column);
            if (down && at.line == lastLine) {
                at.column = length;
            } else if (!down && at.line == 0) {
                at.column = 0;
            } else {
                at.line = qBound<qsizetype>(0, at.line + (down ? step : -step), lastLine);
                at.column = layoutFor(at.line).columnAt(m_goalX);
            }
            if (page) {
                QScrollBar *bar = verticalScrollBar();
                bar->setValue(bar->value() + int(down ? step : -step));
            }
            break;
        }
        case Move::StartOfLine:
            at.column = 0;
            break;
        case Move::EndOfLine:
            at.column = length;
            break;
        case Move::StartOfText:
            at = {0, 0};
            break;
        case Move::EndOfText:
            at = {lastLine, m_lines.lineLength(lastLine)};
            break;
    }
    moveTo(at, select);
}

bool DataView::handleEditing(QKeyEvent *event) {
    if (event->matches(QKeySequence::Cut)) {
        cut();
    } else if (event->matches(QKeySequence::Paste)) {
        paste();
    } else if (event->matches(QKeySequence::DeleteStartOfWord)) {
        if (!hasSelection())
            move(Move::PreviousWord, true);
        insertAtCaret(QString());
    } else if (event->matches(QKeySequence::DeleteEndOfWord)) {
        if (!hasSelection())
            move(Move::NextWord, true);
        insertAtCaret(QString());
    } else if (isBackspace(event)) {
        deleteBackward();
    } else if (event->matches(QKeySequence::Delete)) {
        deleteForward();
    } else if (isEnter(event)) {
        insertAtCaret(QStringLiteral("\r\n"));
    } else if (event->key() == Qt::Key_Tab && !m_tabChangesFocus &&
               !(event->modifiers() & ~Qt::KeypadModifier)) {
        insertAtCaret(QStringLiteral("\t"));
    } else if (isTyping(event)) {
        insertAtCaret(event->text());
    } else {
        return false;
    }
    return true;
}

bool DataView::isEditingKey(QKeyEvent *event) const {
    static const QKeySequence::StandardKey always[] = {QKeySequence::Copy,
                                                       QKeySequence::SelectAll,
                                                       QKeySequence::MoveToNextChar,
                                                       QKeySequence::MoveToPreviousChar,
                                                       QKeySequence::MoveToNextLine,
                                                       QKeySequence::MoveToPreviousLine,
                                                       QKeySequence::MoveToStartOfLine,
                                                       QKeySequence::MoveToEndOfLine,
                                                       QKeySequence::MoveToStartOfDocument,
                                                       QKeySequence::MoveToEndOfDocument};
    static const QKeySequence::StandardKey editing[] = {
        QKeySequence::Cut, QKeySequence::Paste, QKeySequence::Delete,
        QKeySequence::DeleteStartOfWord, QKeySequence::DeleteEndOfWord};
    for (const auto key : always) {
        if (event->matches(key))
            return true;
    }
    if (m_readOnly)
        return false;
    for (const auto key : editing) {
        if (event->matches(key))
            return true;
    }
    return isBackspace(event) || isEnter(event) || isTyping(event);
}

void DataView::replace(qsizetype from, qsizetype to, QStringView text) {
    // Lines before the one holding the character before the edit stay as
    // they are, laid out or not.
    const qsizetype first = from == 0 ? 0 : m_lines.lineAt(from - 1);
    m_store.remove(from, to - from);
    m_store.insert(from, text);
    m_lines.replace(m_store, from, to - from, text.size());
    dropLayoutsFrom(first);
}

void DataView::insertAtCaret(const QString &text) {
    const qsizetype from = qMin(m_caret, m_anchor);
    replace(from, qMax(m_caret, m_anchor), text);
    m_goalX = -1;
    moveTo(from + text.size(), false, false);
}

void DataView::deleteBackward() {
    if (hasSelection()) {
        insertAtCaret(QString());
        return;
    }
    m_goalX = -1;
    const Place at = place(m_caret, m_upstream);
    qsizetype from = m_caret;
    if (at.column > 0) {
        from = m_caret - 1;
        if (from > 0 && m_store.at(from).isLowSurrogate() && m_store.at(from - 1).isHighSurrogate())
            --from;
    } else if (at.line > 0) {
        const LineEnd end = m_lines.lineEnd(at.line - 1);
        if (end == LineEnd::Break) {
            // Nothing to delete: the caret steps over to the line above.
            moveTo(m_caret, true, false);
            return;
        }
        from = m_caret - LineIndex::endLength(end);
    }
    if (from < m_caret)
        replace(from, m_caret, {});
    moveTo(from, false, false);
}

void DataView::deleteForward() {
    if (hasSelection()) {
        insertAtCaret(QString());
        return;
    }
    m_goalX = -1;
    const Place at = place(m_caret, m_upstream);
    qsizetype to = m_caret;
    if (at.column < m_lines.lineLength(at.line)) {
        to = m_caret + 1;
        if (to < length() && m_store.at(to - 1).isHighSurrogate() &&
            m_store.at(to).isLowSurrogate())
            ++to;
    } else {
        // A display break is stepped over, a line break deleted whole.
        to = m_caret + LineIndex::endLength(m_lines.lineEnd(at.line));
    }
    if (to > m_caret)
        replace(m_caret, to, {});
    moveTo(m_caret, false, false);
}
