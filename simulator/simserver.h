#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QRandomGenerator>
#include <QString>
#include <QTimer>

class Device;
class QSerialPort;
class QSocketNotifier;

// Connects a Device to a line: a new pseudo-terminal or a serial port.
// Feeds it what arrives and sends its replies, paced at 9600 baud unless
// told to hurry, and optionally in small random pieces.
class SimServer : public QObject {
    Q_OBJECT

public:
    struct Options {
        bool fast = false;    // no pacing: replies go out as fast as the line takes them
        bool chunks = false;  // replies in pieces of 1-16 bytes with gaps of 0-40 ms
    };

    SimServer(Device *device, Options options, QObject *parent = nullptr);
    ~SimServer() override;

    // Opens a pseudo-terminal and returns the path of its slave side, the
    // port the console opens; empty on failure with error set.
    QString openPty(QString *error);
    // Serves on a real serial port at 9600 8N1.
    bool openSerial(const QString &name, QString *error);

private:
    void readPty();
    void readSerial();
    void handleInput(const QByteArray &bytes);
    void pump();
    // Writes as much as the line takes now; -1 on a real failure.
    qint64 writeOut(const char *data, qint64 size);

    Device *m_device;
    Options m_options;
    int m_master = -1;
    int m_slave = -1;
    QSocketNotifier *m_readNotifier = nullptr;
    QSerialPort *m_serial = nullptr;

    QByteArray m_out;
    QTimer m_pumpTimer;
    QElapsedTimer m_paceClock;
    qint64 m_pacedBytes = 0;
    QRandomGenerator m_random{QRandomGenerator::securelySeeded()};
};
