#pragma once

//
//  W A R N I N G
//  -------------
//
// This file is not part of the DATA view's API. It exists for the engine's
// own implementation and for its tests, which reach it through the
// kalvex_dataview_private target. It may change from version to version
// without notice, or even be removed.
//
// We mean it.
//

#include <QAccessible>
#include <QAccessibleWidget>
#include <QString>

#include <utility>

class DataView;
class DataViewPrivate;
class EditingModel;
class TextReader;

// The DATA view as assistive technology sees it: an editable multi-line
// text with a caret and a selection, its text by character, word, sentence,
// displayed line and paragraph (text between line breaks), and where each
// character is on the screen. Edits made through it are the operator's
// edits: they can be undone, and a read-only view refuses them. It reads
// the text through TextReader, and reckons words by the view's own word
// rule (wordrule.h), so that a screen reader's word is the double click's.
// In the hex view it reads the rows (hexrows.h) as a read-only text, each
// row a line; the caret and the selection set through it are the bytes
// under the places given.
class DataViewAccessible : public QAccessibleWidget,
                           public QAccessibleTextInterface,
                           public QAccessibleEditableTextInterface {
public:
    explicit DataViewAccessible(DataView *view);

    // For QAccessible::installFactory(), which DataViewEngine::initialize()
    // calls.
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
    DataViewPrivate *d();
    const DataViewPrivate *d() const;
    // What edits go through; what reads go through.
    EditingModel &model();
    const TextReader &reader() const;
    // The text's position of a place that assistive technology gives.
    qsizetype textPosition(int offset) const;
    // The unit of text holding position: [start, end).
    std::pair<qsizetype, qsizetype> unitAt(qsizetype position,
                                           QAccessible::TextBoundaryType type) const;
    QString unitText(std::pair<qsizetype, qsizetype> unit, int *startOffset, int *endOffset) const;
};
