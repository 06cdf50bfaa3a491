#include "logsync.h"

#include "linklog.h"

#include <QtGlobal>

#include <cerrno>
#include <utility>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

constexpr std::chrono::seconds kSyncEvery{1};

int duplicate(int fd) {
#ifdef Q_OS_WIN
    return ::_dup(fd);
#else
    return ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
#endif
}

// The file's data (and the size that reaches it) on the disk; returns errno,
// 0 when it worked or there is no disk behind the descriptor (a pipe, a
// terminal, /dev/null: EINVAL).
int syncData(int fd) {
#if defined(Q_OS_WIN)
    return ::_commit(fd) == 0 ? 0 : errno;
#else
#if defined(Q_OS_LINUX)
    while (::fdatasync(fd) != 0) {
#else
    while (::fsync(fd) != 0) {
#endif
        if (errno != EINTR)
            return errno == EINVAL ? 0 : errno;
    }
    return 0;
#endif
}

void closeFd(int fd) {
#ifdef Q_OS_WIN
    ::_close(fd);
#else
    ::close(fd);
#endif
}

}  // namespace

LogSync::LogSync() : m_thread([this] { run(); }) {}

LogSync::~LogSync() {
    finish();
    {
        const std::lock_guard lock(m_mutex);
        m_quit = true;
    }
    m_wake.notify_one();
    m_thread.join();
}

bool LogSync::follow(int fd) {
    const int own = duplicate(fd);
    if (own < 0)
        return false;
    finish();
    {
        const std::lock_guard lock(m_mutex);
        m_fd = own;
        m_failed.store(false, std::memory_order_relaxed);
        m_failure.clear();
        // The first second's bytes wait a second like all others.
        m_lastSync = Clock::now();
    }
    return true;
}

void LogSync::written() {
    if (m_dirty.exchange(true, std::memory_order_relaxed))
        return;
    // Taken and given back so that the thread, which looks at m_dirty under
    // the lock, is either about to see it or waiting to be woken.
    { const std::lock_guard lock(m_mutex); }
    m_wake.notify_one();
}

void LogSync::finish() {
    {
        const std::lock_guard lock(m_mutex);
        if (m_fd < 0)
            return;
        m_finishing.push_back(m_fd);
        m_fd = -1;
    }
    m_wake.notify_one();
}

QString LogSync::takeFailure() {
    const std::lock_guard lock(m_mutex);
    m_failed.store(false, std::memory_order_relaxed);
    return std::exchange(m_failure, QString());
}

void LogSync::run() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] {
            return m_quit || !m_finishing.empty() ||
                   (m_fd >= 0 && m_dirty.load(std::memory_order_relaxed));
        });
        if (!m_finishing.empty()) {
            const std::vector<int> files = std::exchange(m_finishing, {});
            lock.unlock();
            for (const int fd : files) {
                if (const int error = syncData(fd))
                    qCWarning(lcLink).noquote()
                        << "receive log: the last sync failed:" << qt_error_string(error);
                closeFd(fd);
            }
            lock.lock();
            continue;
        }
        if (m_fd >= 0 && m_dirty.load(std::memory_order_relaxed)) {
            const Clock::time_point due = m_lastSync + kSyncEvery;
            if (Clock::now() < due && !m_quit) {
                m_wake.wait_until(lock, due, [this] { return m_quit || !m_finishing.empty(); });
                continue;
            }
            m_dirty.store(false, std::memory_order_relaxed);
            // Stays open while unlocked: only this thread closes it.
            const int fd = m_fd;
            lock.unlock();
            const int error = syncData(fd);
            lock.lock();
            m_lastSync = Clock::now();
            if (error != 0 && fd == m_fd) {
                m_failure = qt_error_string(error);
                m_failed.store(true, std::memory_order_relaxed);
            }
            continue;
        }
        if (m_quit)
            return;
    }
}
