#include "logsync.h"

#include "capturelog.h"
#include "descriptor.h"
#include "fileerror.h"

#include <utility>

LogSync::LogSync(Failed failed, std::chrono::milliseconds tick)
    : m_failed(std::move(failed)), m_tick(tick), m_thread([this] { run(); }) {}

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
        m_nextTick = Clock::now() + m_tick;
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

LogSync::Look LogSync::check(const File &file, bool dirty) {
    Look look;
    if (dirty) {
        if (const std::optional<QString> reason = Descriptor::syncData(file.fd)) {
            look.failure = FileFailure{FileFailure::Kind::Sync, file.path, *reason};
            return look;
        }
    }
    // Written on through its descriptor, a file that the path no longer
    // names keeps nothing for whoever looks there.
    const Descriptor::State state = Descriptor::state(file.fd);
    look.size = state.size;
    const FileIdentity now = FileIdentity::ofPath(file.path);
    if (now == file.identity)
        return look;
    // A file that has no name left was deleted, whether or not its path can
    // be looked at now.
    using Kind = FileFailure::Kind;
    if (now.lookFailure().isEmpty() || state.nameless)
        look.failure = FileFailure{now.exists() ? Kind::Replaced : Kind::Deleted, file.path, {}};
    else
        look.lookFailure = now.lookFailure();
    return look;
}

void LogSync::note(const File &file, const Look &look, std::unique_lock<std::mutex> &lock) {
    if (look.failure) {
        tell(file.number, *look.failure, lock);
        return;
    }
    if (m_file.number != file.number)
        return;  // another file is followed now
    const QString path = file.path;
    if (look.size >= 0 && look.size < m_file.size)
        qCWarning(lcCapture).noquote()
            << QStringLiteral(
                   "receive log: file %1 was shortened by another program, from %2 "
                   "to %3 bytes (as logrotate's copytruncate does); the log goes on "
                   "at its end")
                   .arg(path)
                   .arg(m_file.size)
                   .arg(look.size);
    m_file.size = look.size;
    if (look.lookFailure.isEmpty()) {
        if (m_file.failedLooks > 0)
            qCInfo(lcCapture).noquote()
                << QStringLiteral(
                       "receive log: file %1: its path names it again, after %2 "
                       "failed looks")
                       .arg(path)
                       .arg(m_file.failedLooks);
        m_file.failedLooks = 0;
        return;
    }
    if (++m_file.failedLooks == 1)
        qCWarning(lcCapture).noquote()
            << QStringLiteral(
                   "receive log: file %1: its path cannot be looked at: %2; the log "
                   "goes on, and looks again at each tick")
                   .arg(path, look.lookFailure);
    if (m_file.failedLooks != kLookPatience)
        return;
    const FileFailure failure{FileFailure::Kind::Unverified, path, look.lookFailure};
    lock.unlock();
    m_failed(file.number, failure);
    lock.lock();
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
        m_nextTick = Clock::now() + m_tick;
        m_ticks.fetch_add(1, std::memory_order_relaxed);
        const File file = m_file;
        const bool dirty = m_dirty.exchange(false, std::memory_order_relaxed);
        if (file.told)
            continue;
        lock.unlock();
        const Look look = check(file, dirty);
        lock.lock();
        note(file, look, lock);
    }
}
