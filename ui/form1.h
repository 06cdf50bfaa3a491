#pragma once

#include "fileclaims.h"
#include "portdirectory.h"
#include "receivecounter.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QPointer>
#include <QWidget>

class MSComm;
class QLabel;
class QLineEdit;
class QTimer;
class ReceiveLog;
class ScenarioWindow;

namespace Ui {
class Form1;
}

// The main window: every working control, the serial port object MSComm1,
// the clock timer Timer1, the receive log and the count of received bytes.
// Its handlers only read boxes and ask the port; closing the window
// destroys it together with the port, and ends the log. Port numbers name
// the ports of `ports`.
class Form1 : public QWidget {
    Q_OBJECT

public:
    explicit Form1(PortDirectory ports = PortDirectory(), QWidget *parent = nullptr);
    ~Form1() override;

    // Every received chunk goes here before it reaches the DATA view.
    ReceiveLog *receiveLog() const { return m_log; }

    // The window "Scenariusz testu" (Ctrl+R in the DATA view), made when it
    // is first asked for.
    ScenarioWindow *scenarioWindow();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

signals:
    // "O programie..." was pressed; the application owns the About window.
    void aboutRequested();
    // Every received chunk, after the DATA view got it; every command sent,
    // as its bytes on the wire.
    void received(const QByteArray &bytes);
    void commandSent(const QByteArray &bytes);

private:
    void openPort();
    void closePort();
    void send(const QLineEdit *command, const QLineEdit *argument = nullptr);
    void receive();
    void clearData();
    void showScenarioWindow();
    bool openPortForScenario();
    void setCommandsEnabled(bool enabled);
    void tick();
    void showCount();
    QRect captionLine() const;
    QLabel *makeLogIndicator();
    QLabel *makeCounterLabel();

    Ui::Form1 *ui;
    PortDirectory m_ports;
    MSComm *m_comm;
    QTimer *m_timer;
    // Where the receive log and saves claim the files they write.
    FileClaims m_claims;
    ReceiveLog *m_log;
    // Bytes received since the port was opened, shown a few times a second
    // while they come.
    ReceiveCounter m_counter;
    QLabel *m_counterLabel;
    QTimer *m_counterTimer;
    QElapsedTimer m_clock;
    QPointer<ScenarioWindow> m_scenario;
};
