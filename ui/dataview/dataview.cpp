#include "dataview.h"

#include "dataviewaccessible.h"
#include "findbox.h"
#include "findsearch.h"
#include "keybinding.h"

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
#include <type_traits>

namespace {

using Move = EditingModel::Move;
using Place = EditingModel::Place;

// The screen catches up with received text at most this often.
constexpr int kFrameMs = 8;
// While text streams in, the vertical scroll bar is brought up to date (and
// painted) at most this often; the text every frame.
constexpr int kBarMs = 50;
// Space between the frame and the text.
constexpr int kMargin = 4;
// A selection this short and on one line is offered as the text to find.
constexpr qsizetype kFindFromSelection = 256;

const QColor kMarkText(0x9c, 0x1c, 0x1c);
const QColor kMarkBackground(0xff, 0xe0, 0xb2);

QString withShortcut(const QString &text, QKeySequence::StandardKey key) {
    const QString shortcut = QKeySequence(key).toString(QKeySequence::NativeText);
    return shortcut.isEmpty() ? text : text + u'\t' + shortcut;
}

}  // namespace

void DataView::run(const KeyBinding &binding, const QKeyEvent *event) {
    using C = KeyBinding::Command;
    switch (binding.command) {
        case C::Move:
            if (binding.move == Move::NextPage || binding.move == Move::PreviousPage) {
                QScrollBar *bar = verticalScrollBar();
                const int step = visibleLines();
                bar->setValue(bar->value() + (binding.move == Move::NextPage ? step : -step));
            }
            m_model.move(binding.move, binding.select, visibleLines());
            break;
        case C::SelectAll:
            selectAll();
            break;
        case C::Copy:
            copy();
            break;
        case C::Find:
            find();
            break;
        case C::FindNext:
            findNext();
            break;
        case C::FindPrevious:
            findPrevious();
            break;
        case C::Undo:
            m_model.undo();
            break;
        case C::Redo:
            m_model.redo();
            break;
        case C::Cut:
            cut();
            break;
        case C::Paste:
            paste();
            break;
        case C::DeleteWordBackward:
            m_model.deleteWordBackward();
            break;
        case C::DeleteWordForward:
            m_model.deleteWordForward();
            break;
        case C::Backspace:
            m_model.deleteBackward();
            break;
        case C::Delete:
            m_model.deleteForward();
            break;
        case C::Enter:
            m_model.type(u"\r\n");
            break;
        case C::Tab:
            m_model.type(u"\t");
            break;
        case C::Type:
            m_model.type(event->text());
            break;
    }
}

DataView::DataView(QWidget *parent)
    : QAbstractScrollArea(parent),
      m_announcer(new TextAnnouncer(this, &m_model)),
      m_search(new FindSearch(&m_model, this)) {
    static const bool accessible = [] {
        QAccessible::installFactory(&DataViewAccessible::create);
        return true;
    }();
    Q_UNUSED(accessible);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    // Scroll bars that fill their own background: repainting them does not
    // repaint the frame and the group box beneath them.
    verticalScrollBar()->setAutoFillBackground(true);
    horizontalScrollBar()->setAutoFillBackground(true);
    viewport()->setCursor(Qt::IBeamCursor);

    connect(&m_model, &EditingModel::textChanged, this, &DataView::textChanged);
    connect(&m_model, &EditingModel::caretMoved, this, &DataView::caretMoved);
    connect(m_search, &FindSearch::finished, this, &DataView::found);

    updateFonts();
    syncNow();
}

DataView::~DataView() = default;

void DataView::setText(const QString &text) {
    m_model.setText(text);
    m_followPending = true;
    horizontalScrollBar()->setValue(0);
    syncNow();
}

template <typename Chunk>
void DataView::receive(const Chunk &chunk) {
    if (chunk.isEmpty())
        return;
    const qsizetype end = length();
    const bool caretAtEnd = m_model.caret() == end && m_model.anchor() == end;
    const QScrollBar *vertical = verticalScrollBar();
    // The scroll bar may lag behind by a frame; it still tells whether the
    // operator left the view at its end.
    const bool atEnd = m_followPending || vertical->value() == vertical->maximum();
    m_followPending = caretAtEnd && atEnd;
    if constexpr (std::is_same_v<Chunk, QByteArrayView>)
        m_model.appendReceivedBytes(chunk);
    else
        m_model.appendReceived(chunk);
}

void DataView::appendReceived(const QString &chunk) {
    receive(QStringView(chunk));
}

void DataView::appendReceivedBytes(QByteArrayView bytes) {
    receive(bytes);
}

void DataView::setReadOnly(bool readOnly) {
    m_model.setReadOnly(readOnly);
    setAttribute(Qt::WA_InputMethodEnabled, !readOnly);
    viewport()->update();
}

bool DataView::isFollowingEnd() const {
    const QScrollBar *vertical = verticalScrollBar();
    return m_model.caret() == length() && !hasSelection() &&
           (m_followPending || vertical->value() == vertical->maximum());
}

QRect DataView::cursorRect(qsizetype position) const {
    return rectAt(m_model.place(qBound<qsizetype>(0, position, length())));
}

QRect DataView::cursorRect() const {
    return rectAt(m_model.caretPlace());
}

qsizetype DataView::positionAt(const QPoint &point) const {
    return m_model.positionOf(hitTest(point));
}

void DataView::scrollToPosition(qsizetype position) {
    ensureVisible(m_model.place(qBound<qsizetype>(0, position, length())));
}

QVariant DataView::inputMethodQuery(Qt::InputMethodQuery query) const {
    const Place at = m_model.caretPlace();
    const LineIndex &lines = m_model.lines();
    switch (query) {
        case Qt::ImEnabled:
            return !isReadOnly();
        case Qt::ImCursorRectangle:
            return cursorRect().translated(viewport()->pos());
        case Qt::ImFont:
            return font();
        case Qt::ImCursorPosition:
            return at.column;
        case Qt::ImAnchorPosition: {
            const qsizetype start = lines.lineStart(at.line);
            return int(
                std::clamp<qsizetype>(m_model.anchor() - start, 0, lines.lineLength(at.line)));
        }
        case Qt::ImSurroundingText:
            return lineText(at.line);
        case Qt::ImCurrentSelection:
            return m_model.selectionEnd() - m_model.selectionStart() <= DisplayLineLimit
                       ? selectedText()
                       : QString();
        case Qt::ImHints:
            return int(Qt::ImhMultiLine);
        default:
            return QAbstractScrollArea::inputMethodQuery(query);
    }
}

void DataView::copy() const {
    if (hasSelection())
        QGuiApplication::clipboard()->setText(selectedText());
}

void DataView::cut() {
    if (isReadOnly() || !hasSelection())
        return;
    copy();
    m_model.removeSelection();
}

void DataView::paste() {
    if (isReadOnly())
        return;
    const QMimeData *data = QGuiApplication::clipboard()->mimeData();
    if (data && data->hasText())
        m_model.paste(data->text());
}

bool DataView::event(QEvent *event) {
    // Keys the view handles itself are not taken by the window's shortcuts.
    if (event->type() == QEvent::ShortcutOverride &&
        KeyBinding::find(static_cast<QKeyEvent *>(event), isReadOnly(), m_tabChangesFocus)) {
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
    const LineIndex &lines = m_model.lines();
    const LayoutCache &layouts = m_model.layout();
    const int lineHeight = layouts.lineHeight();

    const qsizetype first = m_topLine + qMax(0, (area.top() - kMargin) / lineHeight);
    const qsizetype last =
        qMin(lineCount() - 1, m_topLine + qMax(0, (area.bottom() - kMargin) / lineHeight));
    const qsizetype selectedFrom = m_model.selectionStart();
    const qsizetype selectedTo = m_model.selectionEnd();
    qsizetype start = first <= last ? lines.lineStart(first) : 0;
    for (qsizetype line = first; line <= last; ++line) {
        const int length = lines.lineLength(line);
        const int endLength = LineIndex::endLength(lines.lineEnd(line));
        const QPointF origin = lineOrigin(line);
        const LineLayout &layout = layouts.line(line);
        const int from = int(std::clamp<qsizetype>(selectedFrom - start, 0, length));
        const int to = int(std::clamp<qsizetype>(selectedTo - start, 0, length));
        layout.draw(&painter, origin, lineHeight, from, to, style, area.left() - origin.x(),
                    area.right() + 1 - origin.x());
        // A selected line end shows as a selected space after the text.
        if (endLength > 0 && selectedFrom <= start + length &&
            selectedTo >= start + length + endLength) {
            painter.fillRect(
                QRectF(origin.x() + layout.width(), origin.y(), layouts.charWidth(), lineHeight),
                style.selectionBackground);
        }
        start += length + endLength;
    }

    if (m_caretShown && hasFocus() && !isReadOnly())
        painter.fillRect(cursorRect(), style.text);

    // Lines painted for the first time may be wider than the scroll range.
    if (layouts.measuredWidth() > m_syncedWidth)
        scheduleSync();
}

void DataView::resizeEvent(QResizeEvent *event) {
    QAbstractScrollArea::resizeEvent(event);
    const QScrollBar *vertical = verticalScrollBar();
    if (vertical->value() == vertical->maximum())
        m_followPending = true;
    m_model.layout().setLinesInSight(visibleLines());
    syncNow();
}

void DataView::scrollContentsBy(int, int) {
    m_topLine = verticalScrollBar()->value();
    m_xOffset = horizontalScrollBar()->value();
    viewport()->update();
}

void DataView::timerEvent(QTimerEvent *event) {
    if (event->timerId() == m_syncTimer.timerId()) {
        syncNow(m_streaming);
    } else if (event->timerId() == m_barTimer.timerId()) {
        // The bar alone: the text's frames keep their own pace.
        syncVerticalBar();
        viewport()->update();
    } else if (event->timerId() == m_blinkTimer.timerId()) {
        m_caretShown = !m_caretShown;
        viewport()->update(cursorRect().adjusted(-1, 0, 1, 0));
    } else {
        QAbstractScrollArea::timerEvent(event);
    }
}

void DataView::keyPressEvent(QKeyEvent *event) {
    const KeyBinding *binding = KeyBinding::find(event, isReadOnly(), m_tabChangesFocus);
    if (!binding) {
        event->ignore();
        return;
    }
    run(*binding, event);
    event->accept();
}

void DataView::inputMethodEvent(QInputMethodEvent *event) {
    if (isReadOnly()) {
        event->ignore();
        return;
    }
    m_model.type(event->commitString());
    event->accept();
}

void DataView::mousePressEvent(QMouseEvent *event) {
    // Where the desktop has a primary selection, a middle click pastes it at
    // the place clicked.
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (event->button() == Qt::MiddleButton && !isReadOnly() && clipboard->supportsSelection()) {
        const QString selection = clipboard->text(QClipboard::Selection);
        if (!selection.isEmpty()) {
            m_model.moveTo(hitTest(event->position()), false);
            m_model.paste(selection);
        }
        event->accept();
        return;
    }
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    m_dragging = true;
    m_model.moveTo(hitTest(event->position()), event->modifiers() & Qt::ShiftModifier);
    event->accept();
}

void DataView::mouseMoveEvent(QMouseEvent *event) {
    if (!m_dragging || !(event->buttons() & Qt::LeftButton)) {
        QAbstractScrollArea::mouseMoveEvent(event);
        return;
    }
    // Above or below the viewport this reaches the line beyond, so dragging
    // out of the view scrolls it.
    m_model.moveTo(hitTest(event->position()), true);
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
    m_model.selectWordAt(hitTest(event->position()));
    m_dragging = false;
    event->accept();
}

void DataView::contextMenuEvent(QContextMenuEvent *event) {
    const bool editable = !isReadOnly();
    QMenu menu(this);
    QAction *action = menu.addAction(withShortcut(tr("Cofnij"), QKeySequence::Undo));
    action->setEnabled(m_model.canUndo());
    connect(action, &QAction::triggered, &m_model, &EditingModel::undo);
    action = menu.addAction(withShortcut(tr("Ponów"), QKeySequence::Redo));
    action->setEnabled(m_model.canRedo());
    connect(action, &QAction::triggered, &m_model, &EditingModel::redo);
    menu.addSeparator();
    action = menu.addAction(withShortcut(tr("Wytnij"), QKeySequence::Cut));
    action->setEnabled(editable && hasSelection());
    connect(action, &QAction::triggered, this, &DataView::cut);
    action = menu.addAction(withShortcut(tr("Kopiuj"), QKeySequence::Copy));
    action->setEnabled(hasSelection());
    connect(action, &QAction::triggered, this, &DataView::copy);
    action = menu.addAction(withShortcut(tr("Wklej"), QKeySequence::Paste));
    const QMimeData *clip = QGuiApplication::clipboard()->mimeData();
    action->setEnabled(editable && clip && clip->hasText());
    connect(action, &QAction::triggered, this, &DataView::paste);
    action = menu.addAction(tr("Usuń"));
    action->setEnabled(editable && hasSelection());
    connect(action, &QAction::triggered, &m_model, &EditingModel::removeSelection);
    menu.addSeparator();
    action = menu.addAction(withShortcut(tr("Zaznacz wszystko"), QKeySequence::SelectAll));
    action->setEnabled(length() > 0);
    connect(action, &QAction::triggered, this, &DataView::selectAll);
    menu.addSeparator();
    action = menu.addAction(withShortcut(tr("Znajdź..."), QKeySequence::Find));
    connect(action, &QAction::triggered, this, &DataView::find);
    // The window's commands bound to the view (saving it, ...) follow.
    if (!actions().isEmpty()) {
        menu.addSeparator();
        menu.addActions(actions());
    }
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
    if (!m_tabChangesFocus && !isReadOnly())
        return false;
    return QAbstractScrollArea::focusNextPrevChild(next);
}

Place DataView::hitTest(const QPointF &point) const {
    const int lineHeight = m_model.layout().lineHeight();
    const qsizetype row = qFloor((point.y() - kMargin) / lineHeight);
    const qsizetype line = qBound<qsizetype>(0, m_topLine + row, lineCount() - 1);
    return {line, m_model.layout().line(line).columnAt(point.x() - kMargin + m_xOffset)};
}

QRect DataView::rectAt(const Place &at) const {
    const QPointF origin = lineOrigin(at.line);
    const qreal x = origin.x() + m_model.layout().line(at.line).xForColumn(at.column);
    return QRect(qFloor(x), qRound(origin.y()), 1, m_model.layout().lineHeight());
}

void DataView::updateFonts() {
    m_model.layout().setFont(font());
    m_model.layout().setLinesInSight(visibleLines());
}

int DataView::visibleLines() const {
    return qMax(1, (viewport()->height() - kMargin) / m_model.layout().lineHeight());
}

QPointF DataView::lineOrigin(qsizetype line) const {
    return QPointF(kMargin - m_xOffset,
                   kMargin + qreal(line - m_topLine) * m_model.layout().lineHeight());
}

void DataView::textChanged(qsizetype position, qsizetype removed, qsizetype inserted) {
    scheduleSync();
    // Received text only adds to what is searched; any other change moves
    // what the search has passed, so it begins again.
    if (m_search->isRunning() && (removed > 0 || position + inserted != length()))
        startFind(m_search->isBackward());
}

FindBox *DataView::findBox() const {
    return m_findBox;
}

void DataView::find() {
    if (!m_findBox) {
        m_findBox = new FindBox(window());
        connect(m_findBox, &FindBox::findRequested, this, &DataView::startFind);
    }
    const qsizetype selected = m_model.selectionEnd() - m_model.selectionStart();
    if (selected > 0 && selected <= kFindFromSelection) {
        const QString text = selectedText();
        if (!text.contains(u'\r') && !text.contains(u'\n'))
            m_findBox->setText(text);
    }
    m_findBox->show();
    m_findBox->raise();
    m_findBox->activateWindow();
    m_findBox->focusText();
}

void DataView::startFind(bool backward) {
    if (!m_findBox || m_findBox->text().isEmpty()) {
        find();
        return;
    }
    const TextFinder finder(m_findBox->text(), m_findBox->caseSensitivity());
    m_search->start(finder, backward ? m_model.selectionStart() : m_model.selectionEnd(), backward);
}

void DataView::found(qsizetype position, qsizetype length, bool wrapped) {
    if (!m_findBox)
        return;
    if (position < 0) {
        m_findBox->showNotFound();
        return;
    }
    m_model.select(position, position + length);
    m_findBox->showFound(wrapped, m_search->isBackward());
}

void DataView::caretMoved() {
    restartBlink();
    ensureVisible(m_model.caretPlace());
    viewport()->update();
}

// Chunks only mark the view as changed; the scroll bars and the screen are
// brought up to date here, at once after a quiet spell and at most once a
// frame while text streams in (the vertical scroll bar at most every
// kBarMs then).
void DataView::scheduleSync() {
    if (m_syncTimer.isActive())
        return;
    const qint64 since = m_sinceSync.isValid() ? m_sinceSync.elapsed() : kFrameMs;
    const int wait = int(std::clamp<qint64>(kFrameMs - since, 0, kFrameMs));
    // Text that comes within a frame of the last one is a stream.
    m_streaming = wait > 0;
    m_syncTimer.start(wait, Qt::PreciseTimer, this);
}

void DataView::syncNow(bool frame) {
    m_syncTimer.stop();
    m_sinceSync.start();
    QScrollBar *horizontal = horizontalScrollBar();
    const LayoutCache &layouts = m_model.layout();

    // A frame of a stream leaves the vertical bar as it is until its time
    // comes: the view follows the end without it, and the bar keeps telling
    // that it is at the end. Text that comes now and then brings the bar up
    // to date at once.
    if (frame && m_sinceBar.isValid() && m_sinceBar.elapsed() < kBarMs) {
        if (!m_barTimer.isActive())
            m_barTimer.start(int(qMax<qint64>(1, kBarMs - m_sinceBar.elapsed())), this);
        if (m_followPending)
            m_topLine = qMin<qsizetype>(qMax<qsizetype>(0, lineCount() - visibleLines()), INT_MAX);
    } else {
        syncVerticalBar();
    }

    // Lines not yet shaped are reckoned at the font's average width.
    const qreal measured = layouts.measuredWidth();
    m_syncedWidth = measured;
    // Once the longest line has been measured, the estimate (the font's
    // average width is generous) would only leave blank room to scroll into.
    const int longest = m_model.lines().longestLine();
    const qreal widest = longest > layouts.measuredLongest()
                             ? qMax(measured, longest * layouts.charWidth())
                             : measured;
    const int content = qCeil(widest) + 2 * kMargin + 1;
    horizontal->setSingleStep(qMax(1, qRound(2 * layouts.charWidth())));
    horizontal->setPageStep(qMax(1, viewport()->width()));
    horizontal->setRange(0, qMax(0, content - viewport()->width()));

    m_xOffset = horizontal->value();
    viewport()->update();
}

void DataView::syncVerticalBar() {
    m_barTimer.stop();
    m_sinceBar.start();
    QScrollBar *vertical = verticalScrollBar();
    const int lines = visibleLines();
    vertical->setSingleStep(1);
    vertical->setPageStep(lines);
    vertical->setRange(0, int(qMin<qsizetype>(qMax<qsizetype>(0, lineCount() - lines), INT_MAX)));
    if (m_followPending)
        vertical->setValue(vertical->maximum());
    m_followPending = false;
    m_topLine = vertical->value();
}

void DataView::ensureVisible(const Place &at) {
    const qreal x = m_model.layout().line(at.line).xForColumn(at.column);
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
