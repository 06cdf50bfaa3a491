#pragma once

#include <QObject>

class Form1;
class MSComm;
class QPlainTextEdit;

// The receive handler done literally: read the view's whole text and
// replace it with that text followed by the chunk, once per chunk.
//
// Installed in a real main window: a plain text editor takes the DATA view's
// place, size and text, the DATA view is hidden, and the serial port's
// notification goes to this handler instead of the window's.
class BaselineView : public QObject {
    Q_OBJECT

public:
    explicit BaselineView(Form1 *window);

    QPlainTextEdit *editor() const { return m_editor; }

    // The handler's one step of the view: whole text out, whole text in.
    void append(const QString &text);

private:
    void receive();

    MSComm *m_comm;
    QPlainTextEdit *m_editor;
};
