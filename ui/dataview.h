#pragma once

#include <QPlainTextEdit>

// The DATA view: an editable multi-line view whose text is exactly what it
// was given, what the operator typed and every received character, in order.
class DataView : public QPlainTextEdit {
    Q_OBJECT
    Q_PROPERTY(QString text READ text WRITE setText)

public:
    explicit DataView(QWidget *parent = nullptr);

    // The whole text, character for character, CR and LF as received.
    QString text() const;
    // Replaces the whole text (the initial text; clearing).
    void setText(const QString &text);
    // Appends received characters; costs time in proportion to the chunk.
    void appendReceived(const QString &chunk);
};
