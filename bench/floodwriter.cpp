#include "floodwriter.h"

#include "procstats.h"
#include "replytracker.h"

#include <poll.h>
#include <unistd.h>
#include <cerrno>

namespace {

// Large writes keep the device's own cost low; the pty takes what fits.
constexpr qint64 kPieceBytes = 64 * 1024;

}  // namespace

FloodWriter::FloodWriter(int fd, ReplyTracker *replies) : m_fd(fd), m_replies(replies) {}

FloodWriter::~FloodWriter() {
    stop();
}

void FloodWriter::start(FloodStream stream) {
    stop();
    m_stop = false;
    m_finished = false;
    m_failed = false;
    m_written = 0;
    m_cpuNs = 0;
    m_hash = StreamHashSeed;
    m_thread = std::thread([this, stream]() mutable { run(std::move(stream)); });
}

void FloodWriter::stop() {
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
}

void FloodWriter::run(FloodStream stream) {
    for (;;) {
        const FloodPiece piece = stream.next(kPieceBytes);
        if (piece.bytes.isEmpty() || !writeAll(piece.bytes, piece.reply))
            break;
    }
    m_cpuNs = ProcStats::threadCpuNs();
    m_finished = true;
}

bool FloodWriter::writeAll(const QByteArray &bytes, bool reply) {
    qsizetype done = 0;
    quint64 hash = m_hash.load();
    while (done < bytes.size()) {
        if (m_stop.load())
            return false;
        // A reply is timed from the write that put it into the pty.
        const qint64 sentNs = ProcStats::monotonicNs();
        const ssize_t n = ::write(m_fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0) {
            hash = streamHash(hash, bytes.constData() + done, n);
            done += n;
            m_hash = hash;
            m_written += n;
            m_cpuNs = ProcStats::threadCpuNs();
            if (reply && done == bytes.size() && m_replies)
                m_replies->add(m_written.load(), sentNs);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            m_failed = true;
            return false;
        }
        // The pty is full: wait for the console to read, waking now and then
        // to notice a stop.
        pollfd p{m_fd, POLLOUT, 0};
        ::poll(&p, 1, 20);
    }
    return true;
}
