#include "descriptor.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace Descriptor {

int openAppending(const QString &path, bool empty, QString *reason) {
    const int flags = O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | (empty ? O_TRUNC : 0);
    int fd;
    do {
        fd = ::open(QFile::encodeName(path).constData(), flags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        *reason = qt_error_string(errno);
    return fd;
}

int duplicate(int fd, QString *reason) {
    const int copy = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (copy < 0)
        *reason = qt_error_string(errno);
    return copy;
}

std::optional<QString> syncData(int fd) {
    // The data alone, where the system can sync that without the rest.
#if defined(_POSIX_SYNCHRONIZED_IO) && _POSIX_SYNCHRONIZED_IO > 0
    while (::fdatasync(fd) != 0) {
#else
    while (::fsync(fd) != 0) {
#endif
        if (errno == EINVAL)  // no disk behind it
            return std::nullopt;
        if (errno != EINTR)
            return qt_error_string(errno);
    }
    return std::nullopt;
}

void close(int fd) {
    ::close(fd);
}

State state(int fd) {
    State state;
    struct stat st {};
    if (::fstat(fd, &st) == 0) {
        state.size = st.st_size;
        state.nameless = st.st_nlink == 0;
    }
    return state;
}

}  // namespace Descriptor
