#pragma once

#include "receivedlines.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>

// Writes a scenario from the console's own traffic: every command sent
// becomes a > line and every line received a < line, exact, with `*`, `?`
// and `\` escaped, in the order they happened. So the recording replays
// what the operator did and expects what the device said; a time or a
// count that will differ next time is edited into `*` by hand.
//
// What cannot be a line of the file is kept as a comment instead: lines
// received before the first command (no step to expect them in), a command
// holding an LF, a line still unfinished when the recording stops.
class ScenarioRecorder {
public:
    // Starts afresh; `header` (comment lines, each beginning with #) opens
    // the file.
    void start(const QString &header);
    // The bytes a command put on the wire, its CR included.
    void commandSent(QByteArrayView bytes);
    void received(QByteArrayView bytes);
    // Ends the recording; the file's text from then on.
    void stop();

    bool isRecording() const { return m_recording; }
    // The commands recorded so far.
    int commandCount() const { return m_commands; }
    // The file as it stands, one line each, ending in a line end.
    QString text() const;

private:
    void addReceived(const QString &line);

    QStringList m_lines;
    ReceivedLines m_received;
    int m_commands = 0;
    bool m_recording = false;
};
