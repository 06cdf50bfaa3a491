#pragma once

#include "filefailure.h"
#include "fileidentity.h"

#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

// Syncs the receive log's file to the disk on a thread of its own, so that a
// slow disk (a USB stick takes a tenth of a second and more) never holds up
// reception. It works on descriptors of its own, duplicates of the writer's,
// and alone closes them: the writer may close its file at any time.
//
// Once a second while a file is followed (a tick), the file is synced if it
// was written to since the last tick, and its path is looked at: a path that
// names another file now, or none (deleted, replaced by another program, its
// stick unmounted), is a failure too, as the writer's bytes no longer reach
// it. A file handed back with finish() is synced once more and closed. The
// destructor waits for both, so that a console that ends (SIGTERM included)
// leaves its log on the disk.
//
// Each failure is told to `failed`, on the sync thread, the moment it is
// known, whether bytes are arriving or not; a file is told about once.
class LogSync {
public:
    // `file` is the number follow() gave the file.
    using Failed = std::function<void(quint64 file, const FileFailure &failure)>;

    explicit LogSync(Failed failed);
    ~LogSync();
    LogSync(const LogSync &) = delete;
    LogSync &operator=(const LogSync &) = delete;

    // Follows the file open on descriptor fd (the writer's, which keeps it)
    // at path: a file followed before is finished. Returns the file's
    // number (never 0); throws FileError when the descriptor cannot be
    // duplicated, and the file followed before stays followed.
    quint64 follow(int fd, const QString &path);
    // Bytes were written to the followed file: it is due for a sync at the
    // next tick. Costs an atomic store.
    void written() { m_dirty.store(true, std::memory_order_relaxed); }
    // Whether a failure of the file was told already: then nothing more is.
    enum class Failure { Untold, Told };
    // The followed file is written no more: its last sync, and its close, go
    // ahead on the thread.
    void finish(Failure failure = Failure::Untold);

    static constexpr std::chrono::seconds kTick{1};

private:
    using Clock = std::chrono::steady_clock;

    struct File {
        int fd = -1;  // owned by this object
        quint64 number = 0;
        QString path;
        FileIdentity identity;
        bool told = false;
    };

    void run();
    // The tick's work on the followed file, unlocked; the failure, if any.
    static std::optional<FileFailure> check(const File &file, bool dirty);
    // Tells a failure of the file with this number, unless it was told.
    void tell(quint64 number, const FileFailure &failure, std::unique_lock<std::mutex> &lock);

    Failed m_failed;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    File m_file;                    // followed, when its fd is not -1
    std::vector<File> m_finishing;  // to sync once more and close
    std::atomic<bool> m_dirty = false;
    quint64 m_lastNumber = 0;
    bool m_quit = false;
    Clock::time_point m_nextTick;
    std::thread m_thread;  // last: starts once the rest is set up
};
