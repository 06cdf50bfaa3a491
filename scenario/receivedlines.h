#pragma once

#include "lineindex.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <functional>

// Received bytes cut into lines, as the DATA view cuts them: CR LF, a lone
// CR and a lone LF each end one line, also when the CR and the LF come in
// separate chunks. Each whole line is handed on without its end, decoded
// from the line's code page; the rest waits for the next chunk.
//
// Cost: a compare a byte; the unfinished line is the only thing kept.
class ReceivedLines {
public:
    using Sink = std::function<void(const QString &line)>;

    // Feeds a chunk; `sink` gets every line it finishes, in order.
    void feed(QByteArrayView bytes, const Sink &sink);
    // The line begun and not yet ended, as bytes.
    const QByteArray &unfinished() const { return m_line; }
    void clear();

private:
    LineEndScan m_scan;
    QByteArray m_line;
};
