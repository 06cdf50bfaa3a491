#pragma once

#include "linesettings.h"
#include "portdirectory.h"
#include "portlock.h"
#include "portnumber.h"
#include "receivedtext.h"

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QString>

#include <optional>

class ReplugWatch;

// The serial communications control: one serial port, addressed by number,
// with the members the console relies on under their classic names.
//
// Every failing member throws CommError, whose text gives the port, its
// device and the system's reason. The control does all of the port's
// I/O itself and signals what happened through onComm(); reading a member
// never blocks. Received bytes are kept until they are read, however many
// there are: nothing is dropped when the device sends faster than the
// console reads. When the device fails (an adapter pulled out), the control
// delivers what had arrived with a last receive notification, closes the
// port itself, and waits for the same device to come back (replugwatch.h;
// a pseudo-terminal named by its own node never does): then it reopens it on
// its own with the same settings, and reception goes on. Closing the port
// ends the waiting. A line on the link's log tells of each: the device gone,
// the device back. Port numbers are looked up in the directory the control
// is given (portdirectory.h).
class MSComm : public QObject {
    Q_OBJECT

public:
    // Values of CommEvent.
    enum CommEventCode {
        ComEvSend = 1,     // fewer than SThreshold characters left to send
        ComEvReceive = 2,  // at least RThreshold characters waiting
    };

    explicit MSComm(PortDirectory ports, QObject *parent = nullptr);
    ~MSComm() override;

    // CommPort: 1 to 255; refused while the port is open. Which device a
    // number names is looked up at each open (portnumber.h).
    int commPort() const { return m_commPort; }
    void setCommPort(int number);

    // Settings: "baud,parity,data bits,stop bits", e.g. "9600,N,8,1".
    QString settings() const { return m_settings.toString(); }
    void setSettings(const QString &text);

    // RThreshold: raise onComm with ComEvReceive once this many characters
    // wait; 0 means never.
    int rThreshold() const { return m_rThreshold; }
    void setRThreshold(int count);

    // SThreshold: raise onComm with ComEvSend when fewer than this many
    // characters remain to be sent; 0 means never.
    int sThreshold() const { return m_sThreshold; }
    void setSThreshold(int count);

    // InputLen: how many characters one read of Input returns; 0 means all.
    int inputLen() const { return m_inputLen; }
    void setInputLen(int count);

    // PortOpen: opens with the stored number and settings, or closes. An
    // open claims the device against other programs (portlock.h). While the
    // control waits for a vanished device, the port is closed; opening the
    // same number then opens that device at once if it is back and fails
    // if not (the waiting goes on); another number ends the waiting. A
    // close ends it too.
    bool portOpen() const;
    void setPortOpen(bool open);

    // The port whose device vanished and is waited for; none while open,
    // closed by the operator, or never opened.
    std::optional<PortNumber::NumberedPort> awaitedPort() const;
    bool awaitsDevice() const { return m_state == State::AwaitingDevice; }

    // Output: queues the text for sending, one byte a character, and returns
    // at once. Fails when the port is not open.
    void setOutput(const QString &text);

    // Input: returns the waiting characters (per InputLen) and removes them.
    QString input();
    // The same into `text`, replacing what it held, as the bytes that came
    // (one a character in the line's code page, undecoded). The room `text`
    // had is kept for the bytes that arrive next, so that a stream of chunks
    // read this way allocates nothing.
    void input(ReceivedText &text);

    // InBufferCount: characters received and not yet read.
    int inBufferCount() const;

    // CommEvent: the code of the event that raised the latest onComm.
    int commEvent() const { return m_commEvent; }

signals:
    // OnComm: raised on the thread that owns the control.
    void onComm();
    // The open port failed (the device vanished) and is closed now; what
    // had arrived was delivered first. `reason` is the log's line, e.g.
    // "port 2 (/dev/ttyUSB0): the device is gone", with the port's error.
    void deviceLost(const QString &reason);

private:
    // Where the port is. Every change goes through enter(), which does what
    // the new state needs (closing the port, starting or stopping the wait
    // for a vanished device):
    //
    //   Closed ──open──▶ Open ──fault──▶ ClosingAfterFault ──▶ AwaitingDevice
    //                     ▲                    │                   │
    //                     │                    ▼ cannot come back  │ back
    //                     │                 Closed                 │
    //                     └────────────────────────────────────────┘
    //
    //   from               to                 when
    //   Closed             Open               setPortOpen(true) opens the number's device
    //   Open               ClosingAfterFault  the port fails (the device vanished); the port
    //                                         closes once control is back in the event loop
    //   ClosingAfterFault  AwaitingDevice     what arrived is delivered, and the device can
    //                                         come back
    //   ClosingAfterFault  Closed             ... and it cannot (a pty's own node)
    //   AwaitingDevice     Open               the device is back: the watch found it, or
    //                                         setPortOpen(true) of the same number did
    //   AwaitingDevice     Closed             setPortOpen(true) of another number, which
    //                                         then opens as from Closed
    //   any                Closed             setPortOpen(false)
    //
    // QSerialPort is open in Open and ClosingAfterFault only.
    enum class State { Closed, Open, ClosingAfterFault, AwaitingDevice };
    void enter(State next);

    void raise(int code);
    void readArrived();
    void takeArrived();
    void bytesSent();
    void portFailed(QSerialPort::SerialPortError error);
    void closeAfterFault();
    void releasePort();
    PortNumber::NumberedPort deviceToOpen();
    void openDevice(const PortNumber::NumberedPort &port);
    void deviceBack(const PortNumber::NumberedPort &port);

    PortDirectory m_ports;
    QSerialPort *m_port;
    ReplugWatch *m_replug;
    PortLock m_lock;
    State m_state = State::Closed;
    std::optional<PortNumber::NumberedPort> m_device;  // what is open, or awaited
    QString m_where;                                   // "port 2 (/dev/ttyUSB0)", for the log
    QString m_fault;                                   // the port's reason for the fault
    QByteArray m_received;
    LineSettings m_settings;
    int m_commPort = 1;
    int m_rThreshold = 0;
    int m_sThreshold = 0;
    int m_inputLen = 0;
    int m_commEvent = 0;
};
