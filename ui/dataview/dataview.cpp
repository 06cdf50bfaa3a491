#include "dataview.h"

#include "clamptoint.h"
#include "dataview_p.h"
#include "findbox.h"
#include "findrunner.h"
#include "textannouncer.h"
#include "textsnapshot.h"

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

constexpr int kMargin = DataViewPrivate::Margin;
// Space on either side of a receive time.
constexpr int kTimePadding = 6;

QString withShortcut(const QString &text, const QKeySequence &key) {
    const QString shortcut = key.toString(QKeySequence::NativeText);
    return shortcut.isEmpty() ? text : text + u'\t' + shortcut;
}

QString withShortcut(const QString &text, QKeySequence::StandardKey key) {
    return withShortcut(text, QKeySequence(key));
}

}  // namespace

DataViewPrivate::DataViewPrivate(DataView *view)
    : q(view),
      m_announcer(new TextAnnouncer(view, &m_model)),
      m_pacer(new FramePacer(view)),
      m_finder(new FindRunner(&m_model, view)) {}

DataViewPrivate::~DataViewPrivate() = default;

DataView::DataView(QWidget *parent)
    : QAbstractScrollArea(parent), d(std::make_unique<DataViewPrivate>(this)) {
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

    // Routing: the text changed, the caret moved, the screen's time came.
    EditingModel *model = &d->m_model;
    connect(model, &EditingModel::textChanged, d->m_pacer, &FramePacer::schedule);
    connect(model, &EditingModel::caretMoved, this, [this] { d->caretMoved(); });
    connect(d->m_pacer, &FramePacer::frameDue, this, [this](FramePacer::Bar bar) { d->sync(bar); });
    connect(d->m_pacer, &FramePacer::barDue, this, [this] {
        // The bar alone: the text's frames keep their own pace.
        d->syncVerticalBar();
        viewport()->update();
    });

    d->updateFonts();
    d->sync();
}

DataView::~DataView() = default;

QString DataView::text() const {
    return d->m_model.text();
}

void DataView::setText(const QString &text) {
    d->m_model.setText(text);
    d->m_followPending = true;
    horizontalScrollBar()->setValue(0);
    d->sync();
}

void DataView::clear() {
    setText(QString());
}

template <typename Chunk>
void DataViewPrivate::receive(const Chunk &chunk) {
    if (chunk.isEmpty())
        return;
    const qsizetype end = m_model.length();
    const bool caretAtEnd = m_model.caret() == end && m_model.anchor() == end;
    const QScrollBar *vertical = q->verticalScrollBar();
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
    d->receive(QStringView(chunk));
}

void DataView::appendReceivedBytes(QByteArrayView bytes) {
    d->receive(bytes);
}

void DataView::setByteCharset(std::shared_ptr<const ByteCharset> charset) {
    d->m_model.setByteCharset(std::move(charset));
}

TextSnapshot DataView::snapshot() const {
    return d->m_model.snapshot();
}

bool DataView::isReadOnly() const {
    return d->m_model.isReadOnly();
}

void DataView::setReadOnly(bool readOnly) {
    d->m_model.setReadOnly(readOnly);
    setAttribute(Qt::WA_InputMethodEnabled, d->isEditable());
    viewport()->update();
}

bool DataView::tabChangesFocus() const {
    return d->m_tabChangesFocus;
}

void DataView::setTabChangesFocus(bool changes) {
    d->m_tabChangesFocus = changes;
}

bool DataView::isHexView() const {
    return d->m_hexShown;
}

void DataView::setHexView(bool hex) {
    d->setHexShown(hex);
}

bool DataView::receiveTimesShown() const {
    return d->m_timesShown;
}

void DataView::setReceiveTimesShown(bool shown) {
    d->setTimesShown(shown);
}

void DataView::find() {
    d->m_finder->open();
}

QVariant DataView::inputMethodQuery(Qt::InputMethodQuery query) const {
    const EditingModel &model = d->m_model;
    const Place at = model.caretPlace();
    switch (query) {
        case Qt::ImEnabled:
            return d->isEditable();
        case Qt::ImCursorRectangle:
            return d->cursorRect().translated(viewport()->pos());
        case Qt::ImFont:
            return font();
        case Qt::ImCursorPosition:
            return at.column;
        case Qt::ImAnchorPosition: {
            const TextLine line = model.line(at.line);
            return int(std::clamp<qsizetype>(model.anchor() - line.start, 0, line.length));
        }
        case Qt::ImSurroundingText:
            return model.lineText(at.line);
        case Qt::ImCurrentSelection:
            return model.selectionEnd() - model.selectionStart() <= LineIndex::Limit
                       ? model.selectedText()
                       : QString();
        case Qt::ImHints:
            return int(Qt::ImhMultiLine);
        default:
            return QAbstractScrollArea::inputMethodQuery(query);
    }
}

bool DataView::event(QEvent *event) {
    // Keys the view handles itself are not taken by the window's shortcuts.
    if (event->type() == QEvent::ShortcutOverride &&
        KeyBinding::find(static_cast<QKeyEvent *>(event), d->keyStates())) {
        event->accept();
        return true;
    }
    return QAbstractScrollArea::event(event);
}

void DataView::changeEvent(QEvent *event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        d->updateFonts();
        d->sync();
    }
}

void DataView::paintEvent(QPaintEvent *event) {
    QPainter painter(viewport());
    d->paint(&painter, event->rect());
    // Lines painted for the first time may be wider than the scroll range.
    if (d->m_model.measuredWidth() > d->m_syncedWidth)
        d->m_pacer->schedule();
}

void DataView::resizeEvent(QResizeEvent *event) {
    QAbstractScrollArea::resizeEvent(event);
    const QScrollBar *vertical = verticalScrollBar();
    if (vertical->value() == vertical->maximum())
        d->m_followPending = true;
    d->m_model.setLinesInSight(d->visibleLines());
    d->sync();
}

void DataView::scrollContentsBy(int, int) {
    d->m_topLine = verticalScrollBar()->value();
    d->m_xOffset = horizontalScrollBar()->value();
    viewport()->update();
}

void DataView::timerEvent(QTimerEvent *event) {
    if (event->timerId() == d->m_blinkTimer.timerId()) {
        d->m_caretShown = !d->m_caretShown;
        viewport()->update(d->cursorRect().adjusted(-1, 0, 1, 0));
    } else {
        QAbstractScrollArea::timerEvent(event);
    }
}

void DataView::keyPressEvent(QKeyEvent *event) {
    const KeyBinding *binding = KeyBinding::find(event, d->keyStates());
    if (!binding) {
        event->ignore();
        return;
    }
    d->run(*binding, event);
    event->accept();
}

void DataView::inputMethodEvent(QInputMethodEvent *event) {
    if (!d->isEditable()) {
        event->ignore();
        return;
    }
    d->m_model.type(event->commitString());
    event->accept();
}

void DataView::mousePressEvent(QMouseEvent *event) {
    // Where the desktop has a primary selection, a middle click pastes it at
    // the place clicked.
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (event->button() == Qt::MiddleButton && d->isEditable() && clipboard->supportsSelection()) {
        const QString selection = clipboard->text(QClipboard::Selection);
        if (!selection.isEmpty()) {
            d->m_model.moveTo(d->hitTest(event->position()));
            d->m_model.paste(selection);
        }
        event->accept();
        return;
    }
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    d->m_dragging = true;
    const bool extend = event->modifiers() & Qt::ShiftModifier;
    if (d->m_hexShown) {
        const qsizetype at = d->hexPositionAt(event->position());
        d->m_model.select(extend ? d->m_model.anchor() : at, at);
    } else {
        d->m_model.moveTo(d->hitTest(event->position()),
                          extend ? EditingModel::KeepAnchor : EditingModel::MoveAnchor);
    }
    event->accept();
}

void DataView::mouseMoveEvent(QMouseEvent *event) {
    if (!d->m_dragging || !(event->buttons() & Qt::LeftButton)) {
        QAbstractScrollArea::mouseMoveEvent(event);
        return;
    }
    // Above or below the viewport this reaches the line beyond, so dragging
    // out of the view scrolls it.
    if (d->m_hexShown)
        d->m_model.select(d->m_model.anchor(), d->hexPositionAt(event->position()));
    else
        d->m_model.moveTo(d->hitTest(event->position()), EditingModel::KeepAnchor);
    event->accept();
}

void DataView::mouseReleaseEvent(QMouseEvent *event) {
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mouseReleaseEvent(event);
        return;
    }
    d->m_dragging = false;
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (d->m_model.hasSelection() && clipboard->supportsSelection())
        clipboard->setText(d->copiedText(), QClipboard::Selection);
    event->accept();
}

void DataView::mouseDoubleClickEvent(QMouseEvent *event) {
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mouseDoubleClickEvent(event);
        return;
    }
    if (d->m_hexShown) {
        // A double click takes the row.
        const qsizetype start = d->hexPositionAt(QPointF(0, event->position().y()));
        d->m_model.select(start, qMin(d->m_model.length(), start + HexRows::RowBytes));
    } else {
        d->m_model.selectWordAt(d->hitTest(event->position()));
    }
    d->m_dragging = false;
    event->accept();
}

void DataView::contextMenuEvent(QContextMenuEvent *event) {
    EditingModel *model = &d->m_model;
    const bool editable = d->isEditable();
    QMenu menu(this);
    QAction *action = menu.addAction(withShortcut(tr("Cofnij"), QKeySequence::Undo));
    action->setEnabled(editable && model->canUndo());
    connect(action, &QAction::triggered, model, &EditingModel::undo);
    action = menu.addAction(withShortcut(tr("Ponów"), QKeySequence::Redo));
    action->setEnabled(editable && model->canRedo());
    connect(action, &QAction::triggered, model, &EditingModel::redo);
    menu.addSeparator();
    action = menu.addAction(withShortcut(tr("Wytnij"), QKeySequence::Cut));
    action->setEnabled(editable && model->hasSelection());
    connect(action, &QAction::triggered, this, [this] { d->cut(); });
    action = menu.addAction(withShortcut(tr("Kopiuj"), QKeySequence::Copy));
    action->setEnabled(model->hasSelection());
    connect(action, &QAction::triggered, this, [this] { d->copy(); });
    action = menu.addAction(withShortcut(tr("Wklej"), QKeySequence::Paste));
    const QMimeData *clip = QGuiApplication::clipboard()->mimeData();
    action->setEnabled(editable && clip && clip->hasText());
    connect(action, &QAction::triggered, this, [this] { d->paste(); });
    action = menu.addAction(tr("Usuń"));
    action->setEnabled(editable && model->hasSelection());
    connect(action, &QAction::triggered, model, &EditingModel::removeSelection);
    menu.addSeparator();
    action = menu.addAction(withShortcut(tr("Zaznacz wszystko"), QKeySequence::SelectAll));
    action->setEnabled(model->length() > 0);
    connect(action, &QAction::triggered, model, &EditingModel::selectAll);
    menu.addSeparator();
    action = menu.addAction(withShortcut(tr("Znajdź..."), QKeySequence::Find));
    connect(action, &QAction::triggered, this, &DataView::find);
    menu.addSeparator();
    action = menu.addAction(withShortcut(tr("Widok szesnastkowy"), KeyBinding::HexViewKey));
    action->setCheckable(true);
    action->setChecked(isHexView());
    connect(action, &QAction::toggled, this, &DataView::setHexView);
    action = menu.addAction(withShortcut(tr("Czas odbioru"), KeyBinding::ReceiveTimesKey));
    action->setCheckable(true);
    action->setChecked(receiveTimesShown());
    connect(action, &QAction::toggled, this, &DataView::setReceiveTimesShown);
    // The window's commands bound to the view (saving it, ...) follow.
    if (!actions().isEmpty()) {
        menu.addSeparator();
        menu.addActions(actions());
    }
    menu.exec(event->globalPos());
}

void DataView::focusInEvent(QFocusEvent *event) {
    QAbstractScrollArea::focusInEvent(event);
    d->restartBlink();
    viewport()->update();
}

void DataView::focusOutEvent(QFocusEvent *event) {
    QAbstractScrollArea::focusOutEvent(event);
    d->m_blinkTimer.stop();
    viewport()->update();
}

bool DataView::focusNextPrevChild(bool next) {
    // Tab is typed into the view unless it is meant to move on.
    if (!d->m_tabChangesFocus && d->isEditable())
        return false;
    return QAbstractScrollArea::focusNextPrevChild(next);
}

void DataViewPrivate::run(const KeyBinding &binding, const QKeyEvent *event) {
    using C = KeyBinding::Command;
    switch (binding.command) {
        case C::Move:
            if (binding.move == Move::NextPage || binding.move == Move::PreviousPage) {
                QScrollBar *bar = q->verticalScrollBar();
                const int step = visibleLines();
                bar->setValue(bar->value() + (binding.move == Move::NextPage ? step : -step));
            }
            if (m_hexShown)
                hexMove(binding.move, binding.mode);
            else
                m_model.move(binding.move, binding.mode, visibleLines());
            break;
        case C::SelectAll:
            m_model.selectAll();
            break;
        case C::Copy:
            copy();
            break;
        case C::Find:
            m_finder->open();
            break;
        case C::FindNext:
            m_finder->run(FindDirection::Forward);
            break;
        case C::FindPrevious:
            m_finder->run(FindDirection::Backward);
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
        case C::ToggleHexView:
            setHexShown(!m_hexShown);
            break;
        case C::ToggleReceiveTimes:
            setTimesShown(!m_timesShown);
            break;
    }
}

KeyBinding::ViewStates DataViewPrivate::keyStates() const {
    KeyBinding::ViewStates states;
    states.setFlag(KeyBinding::ReadOnly, !isEditable());
    states.setFlag(KeyBinding::TabChangesFocus, m_tabChangesFocus);
    return states;
}

QString DataViewPrivate::copiedText() const {
    if (m_hexShown)
        return m_hexRows.rowsText(m_model.selectionStart(), m_model.selectionEnd());
    return m_model.selectedText();
}

void DataViewPrivate::copy() const {
    if (m_model.hasSelection())
        QGuiApplication::clipboard()->setText(copiedText());
}

void DataViewPrivate::cut() {
    if (!isEditable() || !m_model.hasSelection())
        return;
    copy();
    m_model.removeSelection();
}

void DataViewPrivate::paste() {
    if (!isEditable())
        return;
    const QMimeData *data = QGuiApplication::clipboard()->mimeData();
    if (data && data->hasText())
        m_model.paste(data->text());
}

void DataViewPrivate::paint(QPainter *painter, const QRect &area) const {
    if (m_hexShown) {
        paintHex(painter, area);
        return;
    }
    if (m_marginWidth > 0) {
        paintMargin(painter, area);
        painter->setClipRect(
            area.intersected(QRect(m_marginWidth, area.top(), INT_MAX / 2, area.height())));
    }
    const QPalette::ColorGroup group = q->hasFocus() ? QPalette::Active : QPalette::Inactive;
    const QPalette &colours = q->palette();
    const LineLayout::Colours style{
        colours.color(group, QPalette::Text), markText(), markBackground(),
        colours.color(group, QPalette::HighlightedText), colours.color(group, QPalette::Highlight)};
    const int lineHeight = m_model.lineHeight();

    const qsizetype first = m_topLine + qMax(0, (area.top() - kMargin) / lineHeight);
    const qsizetype last =
        qMin(m_model.lineCount() - 1, m_topLine + qMax(0, (area.bottom() - kMargin) / lineHeight));
    const qsizetype selectedFrom = m_model.selectionStart();
    const qsizetype selectedTo = m_model.selectionEnd();
    for (qsizetype number = first; number <= last; ++number) {
        const TextLine line = m_model.line(number);
        const QPointF origin = lineOrigin(line.number);
        const LineLayout &layout = m_model.lineLayout(line.number);
        const int from = int(std::clamp<qsizetype>(selectedFrom - line.start, 0, line.length));
        const int to = int(std::clamp<qsizetype>(selectedTo - line.start, 0, line.length));
        layout.draw(painter, origin, lineHeight, from, to, style, area.left() - origin.x(),
                    area.right() + 1 - origin.x());
        // A selected line end shows as a selected space after the text.
        if (line.next() > line.shownEnd() && selectedFrom <= line.shownEnd() &&
            selectedTo >= line.next()) {
            painter->fillRect(
                QRectF(origin.x() + layout.width(), origin.y(), m_model.charWidth(), lineHeight),
                style.selectionBackground);
        }
    }

    if (m_caretShown && q->hasFocus() && !m_model.isReadOnly())
        painter->fillRect(cursorRect(), style.text);
}

const TextReader &DataViewPrivate::reader() const {
    if (m_hexShown)
        return m_hexRows;
    return m_model;
}

QRect DataViewPrivate::cursorRect(qsizetype position) const {
    if (m_hexShown)
        return hexRect(position);
    return rectAt(m_model.place(qBound<qsizetype>(0, position, m_model.length())));
}

QRect DataViewPrivate::cursorRect() const {
    if (m_hexShown)
        return hexRect(m_hexRows.caret());
    return rectAt(m_model.caretPlace());
}

qsizetype DataViewPrivate::positionAt(const QPoint &point) const {
    if (m_hexShown)
        return m_hexRows.rowsPosition(hexPositionAt(point));
    return m_model.positionOf(hitTest(point));
}

void DataViewPrivate::scrollToPosition(qsizetype position) {
    if (m_hexShown)
        ensureHexVisible(m_hexRows.textPosition(position));
    else
        ensureVisible(m_model.place(qBound<qsizetype>(0, position, m_model.length())));
}

bool DataViewPrivate::isEditable() const {
    return !m_model.isReadOnly() && !m_hexShown;
}

bool DataViewPrivate::isFollowingEnd() const {
    const QScrollBar *vertical = q->verticalScrollBar();
    return m_model.caret() == m_model.length() && !m_model.hasSelection() &&
           (m_followPending || vertical->value() == vertical->maximum());
}

FindBox *DataViewPrivate::findBox() const {
    return m_finder->box();
}

Place DataViewPrivate::hitTest(const QPointF &point) const {
    const qsizetype row = qFloor((point.y() - kMargin) / m_model.lineHeight());
    const qsizetype line = qBound<qsizetype>(0, m_topLine + row, m_model.lineCount() - 1);
    return {line,
            m_model.lineLayout(line).columnAt(point.x() - kMargin - m_marginWidth + m_xOffset)};
}

QRect DataViewPrivate::rectAt(const Place &at) const {
    const QPointF origin = lineOrigin(at.line);
    const qreal x = origin.x() + m_model.lineLayout(at.line).xForColumn(at.column);
    return QRect(qFloor(x), qRound(origin.y()), 1, m_model.lineHeight());
}

void DataViewPrivate::updateFonts() {
    m_model.setFont(q->font());
    m_model.setLinesInSight(visibleLines());
    updateHexFont();
    setTimesShown(m_timesShown);  // the margin's width in the new font
}

int DataViewPrivate::visibleLines() const {
    return qMax(1, (q->viewport()->height() - kMargin) / rowHeight());
}

QPointF DataViewPrivate::lineOrigin(qsizetype line) const {
    return QPointF(kMargin + m_marginWidth - m_xOffset,
                   kMargin + qreal(line - m_topLine) * m_model.lineHeight());
}

void DataViewPrivate::caretMoved() {
    restartBlink();
    if (m_hexShown)
        ensureHexVisible(m_model.caret());
    else
        ensureVisible(m_model.caretPlace());
    q->viewport()->update();
}

void DataViewPrivate::sync(FramePacer::Bar bar) {
    m_pacer->synced();
    // A frame of a stream may leave the vertical bar as it is until its
    // time comes: the view follows the end without it.
    if (bar == FramePacer::Bar::Later) {
        if (m_followPending)
            m_topLine = qMin<qsizetype>(qMax<qsizetype>(0, rowCount() - visibleLines()), INT_MAX);
    } else {
        syncVerticalBar();
    }

    // Lines not yet shaped are reckoned at the font's average width.
    m_syncedWidth = m_model.measuredWidth();
    QScrollBar *horizontal = q->horizontalScrollBar();
    QWidget *viewport = q->viewport();
    const int content = qCeil(contentWidth()) + 2 * kMargin + 1;
    horizontal->setSingleStep(
        qMax(1, qRound(2 * (m_hexShown ? m_cellWidth : m_model.charWidth()))));
    horizontal->setPageStep(qMax(1, viewport->width()));
    horizontal->setRange(0, qMax(0, content - viewport->width()));

    m_xOffset = horizontal->value();
    viewport->update();
}

void DataViewPrivate::syncVerticalBar() {
    m_pacer->barSynced();
    QScrollBar *vertical = q->verticalScrollBar();
    const int lines = visibleLines();
    vertical->setSingleStep(1);
    vertical->setPageStep(lines);
    vertical->setRange(0, clampToInt(rowCount() - lines));
    if (m_followPending)
        vertical->setValue(vertical->maximum());
    m_followPending = false;
    m_topLine = vertical->value();
}

void DataViewPrivate::ensureVisible(const Place &at) {
    const qreal x = m_model.lineLayout(at.line).xForColumn(at.column);
    sync();
    const int lines = visibleLines();
    QScrollBar *vertical = q->verticalScrollBar();
    if (at.line < m_topLine)
        vertical->setValue(int(at.line));
    else if (at.line >= m_topLine + lines)
        vertical->setValue(int(at.line - lines + 1));
    const int width = q->viewport()->width() - 2 * kMargin - m_marginWidth - 1;
    QScrollBar *horizontal = q->horizontalScrollBar();
    if (x < m_xOffset)
        horizontal->setValue(qFloor(x));
    else if (x > m_xOffset + width)
        horizontal->setValue(qCeil(x) - width);
}

// The margin shows HH:MM:SS.mmm; it takes room only while shown. Received
// lines have their times whether it is shown or not.
void DataViewPrivate::setTimesShown(bool shown) {
    m_timesShown = shown;
    const int width =
        shown ? qCeil(QFontMetricsF(q->font()).horizontalAdvance(QStringLiteral("00:00:00.000"))) +
                    2 * kTimePadding
              : 0;
    if (width != m_marginWidth) {
        m_marginWidth = width;
        sync();
    }
    q->viewport()->update();
}

void DataViewPrivate::paintMargin(QPainter *painter, const QRect &area) const {
    const QRect margin = area.intersected(QRect(0, area.top(), m_marginWidth, area.height()));
    if (margin.isEmpty())
        return;
    const QPalette &colours = q->palette();
    painter->fillRect(margin, colours.color(QPalette::AlternateBase));
    painter->setPen(colours.color(QPalette::Mid));
    painter->drawLine(m_marginWidth - 1, margin.top(), m_marginWidth - 1, margin.bottom());
    painter->setPen(colours.color(QPalette::PlaceholderText));
    painter->setFont(q->font());
    const QFontMetricsF metrics(q->font());
    const int ascent = qRound(metrics.ascent() + metrics.leading() / 2);
    const int lineHeight = m_model.lineHeight();
    const qsizetype first = m_topLine + qMax(0, (area.top() - kMargin) / lineHeight);
    const qsizetype last =
        qMin(m_model.lineCount() - 1, m_topLine + qMax(0, (area.bottom() - kMargin) / lineHeight));
    for (qsizetype line = first; line <= last; ++line) {
        if (const std::optional<qint64> time = m_model.receiveTime(line))
            painter->drawText(QPointF(kTimePadding, lineOrigin(line).y() + ascent),
                              ReceiveTimes::text(*time));
    }
}

void DataViewPrivate::restartBlink() {
    m_caretShown = true;
    m_blinkTimer.stop();
    const int flash = QApplication::cursorFlashTime();
    if (q->hasFocus() && flash > 0)
        m_blinkTimer.start(flash / 2, q);
}
