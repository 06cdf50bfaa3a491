#pragma once

#include <QJsonObject>
#include <QString>

// The device's side of a flood into a console that runs on its own, outside
// the benchmark's processes (the Windows build under Wine, and the Linux
// build beside it the same way): a pty behind `link`, which the console
// opens as its port. Once the console has opened it (the terminal is put in
// raw mode), `bytes` of the ordinary flood's lines are written as fast as
// it reads, and the time runs from the first byte until the console's
// receive log at `log` holds the last. The log is written in the handler
// that hands each chunk to the DATA view, just before it does.
//
// Returns bytes, seconds, MB/s and whether the log holds exactly the flood
// ("kept"), or "error" when the console did not open the port, or did not
// take the flood, within `timeoutMs`.
QJsonObject runPtyFlood(const QString &link, qint64 bytes, const QString &log, int timeoutMs);
