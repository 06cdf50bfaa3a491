#pragma once

#include "floodstream.h"

#include <atomic>
#include <thread>

class ReplyTracker;

// The device's side of a flood: a thread of its own writes a FloodStream to
// the pty's master as fast as the console takes it. Its CPU time is kept
// apart so that it can be left out of the console's.
class FloodWriter {
public:
    // Replies in the stream are reported to `replies` when that is given.
    explicit FloodWriter(int fd, ReplyTracker *replies = nullptr);
    ~FloodWriter();
    FloodWriter(const FloodWriter &) = delete;
    FloodWriter &operator=(const FloodWriter &) = delete;

    void start(FloodStream stream);
    // Stops writing, also in the middle of the stream, and waits for the
    // thread to end.
    void stop();

    bool finished() const { return m_finished.load(); }
    bool failed() const { return m_failed.load(); }
    qint64 written() const { return m_written.load(); }
    qint64 cpuNs() const { return m_cpuNs.load(); }
    // Hash of everything written (streamHash), once stopped or finished.
    quint64 hash() const { return m_hash.load(); }

private:
    void run(FloodStream stream);
    bool writeAll(const QByteArray &bytes, bool reply);

    int m_fd;
    ReplyTracker *m_replies;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_finished{false};
    std::atomic<bool> m_failed{false};
    std::atomic<qint64> m_written{0};
    std::atomic<qint64> m_cpuNs{0};
    std::atomic<quint64> m_hash{StreamHashSeed};
};
