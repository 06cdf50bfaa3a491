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
// was written to since the last tick, and its path is looked at. A path that
// names no file (deleted, its stick unmounted) or another file (replaced by
// another program) is a failure too, as the writer's bytes no longer reach
// it. A path that cannot be looked at (a folder unreadable for a moment, a
// network share's ESTALE or EIO) says nothing of the file: it is looked at
// again at the next ticks while the writer goes on, and told (Unverified)
// only after kLookPatience ticks in a row, once, the writer still going on.
// A file that another program shortened (logrotate's copytruncate) is
// written on at its new end, as the writer appends: that goes to the log.
// A file handed back with finish() is synced once more and closed. The
// destructor waits for both, so that a console that ends (SIGTERM included)
// leaves its log on the disk.
//
// Each failure is told to `failed`, on the sync thread, at the first tick
// that finds it, whether bytes are arriving or not; a file is told about
// once.
class LogSync {
public:
    // `file` is the number follow() gave the file.
    using Failed = std::function<void(quint64 file, const FileFailure &failure)>;

    // `tick` is how often the followed file is synced and looked at.
    explicit LogSync(Failed failed, std::chrono::milliseconds tick = kTick);
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

    // Ticks begun so far: a promise made in ticks is checked by counting
    // them, not by the clock of a machine that may be busy.
    quint64 ticks() const { return m_ticks.load(std::memory_order_relaxed); }

    static constexpr std::chrono::seconds kTick{1};
    // Ticks in a row whose look at the path fails before that is told.
    static constexpr int kLookPatience = 30;

private:
    using Clock = std::chrono::steady_clock;

    struct File {
        int fd = -1;  // owned by this object
        quint64 number = 0;
        QString path;
        FileIdentity identity;
        bool told = false;
        int failedLooks = 0;  // ticks in a row whose look at the path failed
        qint64 size = -1;     // at the last tick
    };
    // What a tick found.
    struct Look {
        std::optional<FileFailure> failure;  // told; the writer stops
        QString lookFailure;                 // why the path could not be looked at
        qint64 size = -1;
    };

    void run();
    // The tick's work on the followed file, unlocked.
    static Look check(const File &file, bool dirty);
    // Notes what the tick found of the followed file, and tells what is due.
    void note(const File &file, const Look &look, std::unique_lock<std::mutex> &lock);
    // Tells a failure of the file with this number, unless it was told.
    void tell(quint64 number, const FileFailure &failure, std::unique_lock<std::mutex> &lock);

    Failed m_failed;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    File m_file;                    // followed, when its fd is not -1
    std::vector<File> m_finishing;  // to sync once more and close
    std::atomic<bool> m_dirty = false;
    std::atomic<quint64> m_ticks = 0;
    const std::chrono::milliseconds m_tick;
    quint64 m_lastNumber = 0;
    bool m_quit = false;
    Clock::time_point m_nextTick;
    std::thread m_thread;  // last: starts once the rest is set up
};
