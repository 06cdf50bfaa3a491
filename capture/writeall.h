#pragma once

#include <QByteArrayView>
#include <QIODevice>

// Writes all of `bytes` and returns how many were written. A short write
// (the disk filling up) is followed by another for the rest, which then
// fails and leaves the system's reason in the device's errorString().
inline qint64 writeAll(QIODevice &device, QByteArrayView bytes) {
    qint64 written = 0;
    while (written < bytes.size()) {
        const qint64 n = device.write(bytes.data() + written, bytes.size() - written);
        if (n <= 0)
            break;
        written += n;
    }
    return written;
}
