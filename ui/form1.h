#pragma once

#include <QByteArray>
#include <QPointer>
#include <QWidget>

struct ConsoleServices;
class DataCaption;
class MSComm;
class QLineEdit;
class QTimer;
class ScenarioWindow;

namespace Ui {
class Form1;
}

// The main window: every working control, the serial port object MSComm1
// and the clock timer Timer1. Its handlers only read boxes and ask the port;
// closing the window destroys it together with the port. Port numbers name
// the ports of `services`, every received chunk goes to its receive log
// before it reaches the DATA view, and is counted by its counter; the
// services outlive the window.
class Form1 : public QWidget {
    Q_OBJECT

public:
    explicit Form1(ConsoleServices &services, QWidget *parent = nullptr);
    ~Form1() override;

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

    Ui::Form1 *ui;
    ConsoleServices &m_services;
    MSComm *m_comm;
    QTimer *m_timer;
    DataCaption *m_caption = nullptr;
    QPointer<ScenarioWindow> m_scenario;
};
