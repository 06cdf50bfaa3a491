#include "dataview.h"

#include "clamptoint.h"
#include "dataview_p.h"
#include "findbox.h"
#include "findrunner.h"
#include "textannouncer.h"
#include "textsnapshot.h"

#include <QAccessible>
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

constexpr int kMargin = Presentation::Margin;

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
    return d->isHexShown();
}

void DataView::setHexView(bool hex) {
    d->show(hex ? static_cast<Presentation *>(&d->m_hex) : &d->m_text);
}

bool DataView::receiveTimesShown() const {
    return d->m_text.timesShown();
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
    if (d->m_text.measuredWidth() > d->m_syncedWidth)
        d->m_pacer->schedule();
}

void DataView::resizeEvent(QResizeEvent *event) {
    QAbstractScrollArea::resizeEvent(event);
    const QScrollBar *vertical = verticalScrollBar();
    if (vertical->value() == vertical->maximum())
        d->m_followPending = true;
    d->m_text.setLinesInSight(d->visibleLines());
    d->sync();
}

void DataView::scrollContentsBy(int, int) {
    d->m_frame.topRow = verticalScrollBar()->value();
    d->m_frame.xOffset = horizontalScrollBar()->value();
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
            d->m_shown->placeCaretAt(event->position(), EditingModel::MoveAnchor);
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
    d->m_shown->placeCaretAt(event->position(),
                             extend ? EditingModel::KeepAnchor : EditingModel::MoveAnchor);
    event->accept();
}

void DataView::mouseMoveEvent(QMouseEvent *event) {
    if (!d->m_dragging || !(event->buttons() & Qt::LeftButton)) {
        QAbstractScrollArea::mouseMoveEvent(event);
        return;
    }
    // Above or below the viewport this reaches the line beyond, so dragging
    // out of the view scrolls it.
    d->m_shown->placeCaretAt(event->position(), EditingModel::KeepAnchor);
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
        clipboard->setText(d->m_shown->copiedText(), QClipboard::Selection);
    event->accept();
}

void DataView::mouseDoubleClickEvent(QMouseEvent *event) {
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mouseDoubleClickEvent(event);
        return;
    }
    d->m_shown->selectUnitAt(event->position());
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
            m_shown->move(binding.move, binding.mode, visibleLines());
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
            q->setHexView(!isHexShown());
            break;
        case C::ToggleReceiveTimes:
            setTimesShown(!m_text.timesShown());
            break;
    }
}

KeyBinding::ViewStates DataViewPrivate::keyStates() const {
    KeyBinding::ViewStates states;
    states.setFlag(KeyBinding::ReadOnly, !isEditable());
    states.setFlag(KeyBinding::TabChangesFocus, m_tabChangesFocus);
    return states;
}

void DataViewPrivate::copy() const {
    if (m_model.hasSelection())
        QGuiApplication::clipboard()->setText(m_shown->copiedText());
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
    const Presentation::Look look{q->palette(),
                                  q->hasFocus() ? QPalette::Active : QPalette::Inactive,
                                  q->hasFocus(), m_caretShown};
    m_shown->paint(painter, area, look);
}

bool DataViewPrivate::isFollowingEnd() const {
    const QScrollBar *vertical = q->verticalScrollBar();
    return m_model.caret() == m_model.length() && !m_model.hasSelection() &&
           (m_followPending || vertical->value() == vertical->maximum());
}

FindBox *DataViewPrivate::findBox() const {
    return m_finder->box();
}

void DataViewPrivate::updateFonts() {
    m_text.setFont(q->font());
    m_hex.setFont(q->font());
    m_text.setLinesInSight(visibleLines());
}

int DataViewPrivate::visibleLines() const {
    return qMax(1, (q->viewport()->height() - kMargin) / m_shown->rowHeight());
}

void DataViewPrivate::caretMoved() {
    restartBlink();
    ensureVisible(m_shown->caretSpot());
    q->viewport()->update();
}

void DataViewPrivate::sync(FramePacer::Bar bar) {
    m_pacer->synced();
    // A frame of a stream may leave the vertical bar as it is until its
    // time comes: the view follows the end without it.
    if (bar == FramePacer::Bar::Later) {
        if (m_followPending)
            m_frame.topRow =
                qMin<qsizetype>(qMax<qsizetype>(0, m_shown->rowCount() - visibleLines()), INT_MAX);
    } else {
        syncVerticalBar();
    }

    // Lines not yet shaped are reckoned at the font's average width.
    m_syncedWidth = m_text.measuredWidth();
    QScrollBar *horizontal = q->horizontalScrollBar();
    QWidget *viewport = q->viewport();
    const int content = qCeil(m_shown->contentWidth()) + 2 * kMargin + 1;
    horizontal->setSingleStep(qMax(1, qRound(2 * m_shown->scrollStep())));
    horizontal->setPageStep(qMax(1, viewport->width()));
    horizontal->setRange(0, qMax(0, content - viewport->width()));

    m_frame.xOffset = horizontal->value();
    viewport->update();
}

void DataViewPrivate::syncVerticalBar() {
    m_pacer->barSynced();
    QScrollBar *vertical = q->verticalScrollBar();
    const int lines = visibleLines();
    vertical->setSingleStep(1);
    vertical->setPageStep(lines);
    vertical->setRange(0, clampToInt(m_shown->rowCount() - lines));
    if (m_followPending)
        vertical->setValue(vertical->maximum());
    m_followPending = false;
    m_frame.topRow = vertical->value();
}

void DataViewPrivate::ensureVisible(const Presentation::Spot &spot) {
    sync();
    const int lines = visibleLines();
    QScrollBar *vertical = q->verticalScrollBar();
    if (spot.row < m_frame.topRow)
        vertical->setValue(clampToInt(spot.row));
    else if (spot.row >= m_frame.topRow + lines)
        vertical->setValue(clampToInt(spot.row - lines + 1));
    const int width = q->viewport()->width() - 2 * kMargin - m_shown->leadingWidth() - 1;
    QScrollBar *horizontal = q->horizontalScrollBar();
    if (spot.left < m_frame.xOffset)
        horizontal->setValue(qFloor(spot.left));
    else if (spot.right > m_frame.xOffset + width)
        horizontal->setValue(qCeil(spot.right) - width);
}

void DataViewPrivate::show(Presentation *next) {
    if (next == m_shown)
        return;
    const bool following = isFollowingEnd();
    const qsizetype caretRow = m_shown->caretRow();
    const qsizetype top = m_frame.topRow;
    const bool caretInSight = caretRow >= top && caretRow < top + visibleLines();
    // Back to the character in sight before the last switch, unless this
    // view was scrolled since.
    const qsizetype before = qMin(m_inSightBefore, m_model.length());
    m_inSightBefore = m_shown->rowOf(before) == top ? before : m_shown->rowStart(top);

    m_shown = next;
    m_shown->becomeShown();
    m_announcer->setReader(&reader());
    q->viewport()->setCursor(m_shown->cursorShape());
    q->setAttribute(Qt::WA_InputMethodEnabled, isEditable());

    QScrollBar *vertical = q->verticalScrollBar();
    q->horizontalScrollBar()->setValue(0);
    m_followPending = following;
    sync();
    if (!following) {
        vertical->setValue(clampToInt(m_shown->rowOf(m_inSightBefore)));
        m_frame.topRow = vertical->value();
        if (caretInSight)
            ensureVisible(m_shown->caretSpot());
    }
    // Assistive technology reads rows, read-only, or the editable text.
    QAccessible::State changed;
    changed.readOnly = true;
    changed.editable = true;
    QAccessibleStateChangeEvent event(q, changed);
    QAccessible::updateAccessibility(&event);
    QAccessibleTextCursorEvent moved(q, clampToInt(reader().caret()));
    QAccessible::updateAccessibility(&moved);
    q->viewport()->update();
}

void DataViewPrivate::setTimesShown(bool shown) {
    if (m_text.setTimesShown(shown))
        sync();
    q->viewport()->update();
}

void DataViewPrivate::restartBlink() {
    m_caretShown = true;
    m_blinkTimer.stop();
    const int flash = QApplication::cursorFlashTime();
    if (q->hasFocus() && flash > 0)
        m_blinkTimer.start(flash / 2, q);
}
