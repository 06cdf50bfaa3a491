#pragma once

#include <QFile>
#include <QString>

#include <sys/inotify.h>
#include <unistd.h>

// Records every open of the watched paths (inotify IN_OPEN), without
// opening them.
class OpenWatch {
public:
    OpenWatch() : m_fd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {}
    ~OpenWatch() { ::close(m_fd); }
    OpenWatch(const OpenWatch &) = delete;
    OpenWatch &operator=(const OpenWatch &) = delete;

    bool watch(const QString &path) {
        return inotify_add_watch(m_fd, QFile::encodeName(path).constData(), IN_OPEN) >= 0;
    }
    // Whether a watched path was opened since the last call.
    bool sawOpen() {
        char buffer[4096];
        return ::read(m_fd, buffer, sizeof buffer) > 0;
    }

private:
    int m_fd;
};
