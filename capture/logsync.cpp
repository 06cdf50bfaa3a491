#include "logsync.h"

#include "descriptor.h"
#include "fileerror.h"

#include <utility>

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
    QString reason;
    file.fd = Descriptor::duplicate(fd, &reason);
    if (file.fd < 0)
        throw FileError({FileFailure::Kind::Open, path, reason});
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
        if (const std::optional<QString> reason = Descriptor::syncData(file.fd))
            return FileFailure{FileFailure::Kind::Sync, file.path, *reason};
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
                const std::optional<QString> reason = Descriptor::syncData(file.fd);
                Descriptor::close(file.fd);
                if (reason && !file.told)
                    m_failed(file.number, {FileFailure::Kind::LastSync, file.path, *reason});
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
