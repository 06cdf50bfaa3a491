#pragma once

#include <QWidget>

class MSComm;
class QLineEdit;
class QTimer;

namespace Ui {
class Form1;
}

// The main window: every working control, the serial port object MSComm1 and
// the clock timer Timer1. Its handlers only read boxes and ask the port;
// closing the window destroys it together with the port.
class Form1 : public QWidget {
    Q_OBJECT

public:
    explicit Form1(QWidget *parent = nullptr);
    ~Form1() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

signals:
    // "O programie..." was pressed; the application owns the About window.
    void aboutRequested();

private:
    void openPort();
    void closePort();
    void send(const QLineEdit *command, const QLineEdit *argument = nullptr);
    void receive();
    void clearData();
    void tick();

    Ui::Form1 *ui;
    MSComm *m_comm;
    QTimer *m_timer;
};
