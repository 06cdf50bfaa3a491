#pragma once

#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

// Syncs the receive log's file to the disk on a thread of its own, so that a
// slow disk (a USB stick takes a tenth of a second and more) never holds up
// reception. It works on descriptors of its own, duplicates of the writer's,
// and alone closes them: the writer may close its file at any time.
//
// While the followed file is written to, it is synced at most once a second;
// a file handed back with finish() is synced once more and closed. The
// destructor waits for both, so that a console that ends (SIGTERM included)
// leaves its log on the disk. A failed sync of the followed file is kept for
// the writer to take.
class LogSync {
public:
    LogSync();
    ~LogSync();
    LogSync(const LogSync &) = delete;
    LogSync &operator=(const LogSync &) = delete;

    // Follows the file open on descriptor fd (the writer's, which keeps it):
    // a file followed before is finished. Returns false, with errno set, when
    // the descriptor cannot be duplicated.
    bool follow(int fd);
    // Bytes were written to the followed file: it is due for a sync. Costs
    // an atomic exchange, and a wake-up of the thread once per sync.
    void written();
    // The followed file is written no more: its last sync, and its close, go
    // ahead on the thread.
    void finish();

    // Whether a sync of the followed file failed; takeFailure() gives the
    // reason once.
    bool hasFailed() const { return m_failed.load(std::memory_order_relaxed); }
    QString takeFailure();

private:
    using Clock = std::chrono::steady_clock;

    void run();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    int m_fd = -1;                 // followed; owned by this object
    std::vector<int> m_finishing;  // to sync once more and close
    std::atomic<bool> m_dirty = false;
    std::atomic<bool> m_failed = false;
    QString m_failure;
    bool m_quit = false;
    Clock::time_point m_lastSync;
    std::thread m_thread;  // last: starts once the rest is set up
};
