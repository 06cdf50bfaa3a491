#pragma once

#include <QAccessible>
#include <QAccessibleWidget>
#include <QBasicTimer>
#include <QObject>
#include <QString>

#include <utility>

class DataView;
class EditingModel;

// The DATA view as assistive technology sees it: an editable multi-line
// text with a caret and a selection, its text by character, word, sentence,
// displayed line and paragraph (text between line breaks), and where each
// character is on the screen. Edits made through it are the operator's
// edits: they can be undone, and a read-only view refuses them.
class DataViewAccessible : public QAccessibleWidget,
                           public QAccessibleTextInterface,
                           public QAccessibleEditableTextInterface {
public:
    explicit DataViewAccessible(DataView *view);

    // For QAccessible::installFactory().
    static QAccessibleInterface *create(const QString &className, QObject *object);

    void *interface_cast(QAccessible::InterfaceType type) override;
    QAccessible::State state() const override;

    // QAccessibleTextInterface
    void selection(int selectionIndex, int *startOffset, int *endOffset) const override;
    int selectionCount() const override;
    void addSelection(int startOffset, int endOffset) override;
    void removeSelection(int selectionIndex) override;
    void setSelection(int selectionIndex, int startOffset, int endOffset) override;
    int cursorPosition() const override;
    void setCursorPosition(int position) override;
    QString text(QAccessible::Text t) const override { return QAccessibleWidget::text(t); }
    QString text(int startOffset, int endOffset) const override;
    QString textBeforeOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                             int *startOffset, int *endOffset) const override;
    QString textAfterOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                            int *startOffset, int *endOffset) const override;
    QString textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType, int *startOffset,
                         int *endOffset) const override;
    int characterCount() const override;
    QRect characterRect(int offset) const override;
    int offsetAtPoint(const QPoint &point) const override;
    void scrollToSubstring(int startIndex, int endIndex) override;
    QString attributes(int offset, int *startOffset, int *endOffset) const override;

    // QAccessibleEditableTextInterface
    void deleteText(int startOffset, int endOffset) override;
    void insertText(int offset, const QString &text) override;
    void replaceText(int startOffset, int endOffset, const QString &text) override;

private:
    DataView *view() const;
    EditingModel &model() const;
    // The unit of text holding position: [start, end).
    std::pair<qsizetype, qsizetype> unitAt(qsizetype position,
                                           QAccessible::TextBoundaryType type) const;
    QString unitText(std::pair<qsizetype, qsizetype> unit, int *startOffset, int *endOffset) const;
};

// Tells assistive technology what changed in the view's text: received
// chunks and edits as text inserted and removed, and where the caret went.
// Changes are gathered and sent at most once a frame, so a flood of chunks
// is one insertion a frame, not one a chunk; a change longer than
// AnnouncedLimit characters is announced by its first AnnouncedLimit. Nothing
// is gathered while no assistive technology listens.
class TextAnnouncer : public QObject {
public:
    static constexpr qsizetype AnnouncedLimit = 4096;

    TextAnnouncer(DataView *view, EditingModel *model);

    // Whether assistive technology listens.
    static bool isListening();
    // Sends what is gathered now.
    void flush();

protected:
    void timerEvent(QTimerEvent *event) override;

private:
    void aboutToRemove(qsizetype position, qsizetype length);
    void textChanged(qsizetype position, qsizetype removed, qsizetype inserted);
    void caretMoved();
    void schedule();

    DataView *m_view;
    EditingModel *m_model;
    QBasicTimer m_timer;
    QString m_removed;  // what the edit under way takes out
    qsizetype m_insertedAt = -1;
    qsizetype m_inserted = 0;
    bool m_caretMoved = false;
    qsizetype m_announcedCaret = -1;
    qsizetype m_announcedAnchor = -1;
};
