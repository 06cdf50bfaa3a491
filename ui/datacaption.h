#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

class QGroupBox;
class QLabel;
class ReceiveCounter;

// The caption line of a frame, from beside its caption to the right edge of
// `content`: the count of received bytes with its rate at the left, the
// receive log's label (receiveLogLabel, which ReceiveLogControl fills) in the
// rest. It lies over the frame's top edge and covers no designed control.
// The count is brought up to date a few times a second while bytes come and
// not at all while none do; counting a chunk is one addition.
class DataCaption : public QWidget {
    Q_OBJECT

public:
    DataCaption(QGroupBox *frame, const QWidget *content, ReceiveCounter *counter);

    QLabel *logIndicator() const { return m_log; }

    // The port was opened: the count starts again from nothing, and shows.
    void restartCount();
    // A chunk of `bytes` came.
    void countReceived(qint64 bytes);

private:
    void showCount();

    ReceiveCounter *m_counter;
    QLabel *m_count;
    QLabel *m_log;
    QTimer m_countTimer;
    QElapsedTimer m_clock;
};
