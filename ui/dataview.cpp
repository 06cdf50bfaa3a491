#include "dataview.h"

// Placeholder: being replaced by the real implementation.
DataView::DataView(QWidget *parent) : QPlainTextEdit(parent) {}

QString DataView::text() const { return toPlainText(); }

void DataView::setText(const QString &text) { setPlainText(text); }

void DataView::appendReceived(const QString &chunk) {
    moveCursor(QTextCursor::End);
    insertPlainText(chunk);
}
