#include "logsync.h"

#include "fileerror.h"

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

LogSync::LogSync(Failed failed) : m_failed(std::move(failed)), m_thread([this] { run(); }) {}

LogSync::~LogSync() {
    finish();
    {
        const std::lock_guard lock(m_mutex);
        m_quit = true;
    }
    m_wake.notify_one();
    m_thread.join();
}

quint64 LogSync::follow(int fd, const QString &path) {
    File file;
    file.fd = duplicate(fd);
    if (file.fd < 0)
        throw FileError({FileFailure::Kind::Open, path, qt_error_string(errno)});
    file.path = path;
    file.identity = FileIdentity::ofDescriptor(file.fd);
    finish();
    {
        const std::lock_guard lock(m_mutex);
        file.number = ++m_lastNumber;
        m_file = std::move(file);
        m_dirty.store(false, std::memory_order_relaxed);
        // The first second's bytes wait a second like all others.
        m_nextTick = Clock::now() + kTick;
    }
    m_wake.notify_one();
    return m_lastNumber;
}

void LogSync::finish(Failure failure) {
    {
        const std::lock_guard lock(m_mutex);
        if (m_file.fd < 0)
            return;
        m_file.told = m_file.told || failure == Failure::Told;
        m_finishing.push_back(std::exchange(m_file, File()));
    }
    m_wake.notify_one();
}

std::optional<FileFailure> LogSync::check(const File &file, bool dirty) {
    if (dirty) {
        if (const int error = syncData(file.fd))
            return FileFailure{FileFailure::Kind::Sync, file.path, qt_error_string(error)};
    }
    // Written on through its descriptor, a file that the path no longer
    // names keeps nothing for whoever looks there.
    if (FileIdentity::ofPath(file.path) != file.identity)
        return FileFailure{FileFailure::Kind::Replaced, file.path, QString()};
    return std::nullopt;
}

void LogSync::tell(quint64 number, const FileFailure &failure, std::unique_lock<std::mutex> &lock) {
    // Wherever the file is now, followed or finishing, it is told about once.
    bool untold = false;
    if (m_file.number == number && !m_file.told)
        untold = m_file.told = true;
    for (File &file : m_finishing) {
        if (file.number == number && !file.told)
            untold = file.told = true;
    }
    if (!untold)
        return;
    lock.unlock();
    m_failed(number, failure);
    lock.lock();
}

void LogSync::run() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        if (!m_finishing.empty()) {
            std::vector<File> files = std::exchange(m_finishing, {});
            lock.unlock();
            for (const File &file : files) {
                const int error = syncData(file.fd);
                closeFd(file.fd);
                if (error != 0 && !file.told)
                    m_failed(file.number,
                             {FileFailure::Kind::LastSync, file.path, qt_error_string(error)});
            }
            lock.lock();
            continue;
        }
        if (m_quit)
            return;
        if (m_file.fd < 0) {
            m_wake.wait(lock, [this] { return m_quit || !m_finishing.empty() || m_file.fd >= 0; });
            continue;
        }
        if (Clock::now() < m_nextTick) {
            const quint64 number = m_file.number;
            m_wake.wait_until(lock, m_nextTick, [this, number] {
                return m_quit || !m_finishing.empty() || m_file.number != number;
            });
            continue;
        }
        // The tick. The descriptor stays open while unlocked: only this
        // thread closes it.
        m_nextTick = Clock::now() + kTick;
        const File file = m_file;
        const bool dirty = m_dirty.exchange(false, std::memory_order_relaxed);
        if (file.told)
            continue;
        lock.unlock();
        const std::optional<FileFailure> failure = check(file, dirty);
        lock.lock();
        if (failure)
            tell(file.number, *failure, lock);
    }
}
