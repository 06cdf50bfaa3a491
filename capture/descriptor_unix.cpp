#include "descriptor.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace Descriptor {

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
