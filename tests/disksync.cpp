#include "disksync.h"

#include <QFile>

#include <condition_variable>
#include <mutex>

#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <cerrno>

namespace {

std::mutex g_mutex;
std::condition_variable g_released;
bool g_held = false;
int g_waiting = 0;
bool g_failing = false;
dev_t g_device = 0;
ino_t g_inode = 0;

}  // namespace

namespace DiskSync {

void failFor(const QString &path) {
    struct stat st {};
    const bool found = ::stat(QFile::encodeName(path).constData(), &st) == 0;
    const std::lock_guard lock(g_mutex);
    g_failing = found;
    g_device = st.st_dev;
    g_inode = st.st_ino;
}

void clear() {
    const std::lock_guard lock(g_mutex);
    g_failing = false;
}

void hold() {
    const std::lock_guard lock(g_mutex);
    g_held = true;
}

void release() {
    {
        const std::lock_guard lock(g_mutex);
        g_held = false;
    }
    g_released.notify_all();
}

bool isWaiting() {
    const std::lock_guard lock(g_mutex);
    return g_waiting > 0;
}

}  // namespace DiskSync

extern "C" int fdatasync(int fd) {
    {
        std::unique_lock lock(g_mutex);
        struct stat st {};
        if (g_failing && ::fstat(fd, &st) == 0 && st.st_dev == g_device && st.st_ino == g_inode) {
            errno = EIO;
            return -1;
        }
        ++g_waiting;
        g_released.wait(lock, [] { return !g_held; });
        --g_waiting;
    }
    return int(::syscall(SYS_fdatasync, fd));
}
