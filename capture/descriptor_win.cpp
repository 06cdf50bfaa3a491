#include "descriptor.h"

#include <io.h>
#include <windows.h>

#include <cerrno>
#include <cstring>

namespace Descriptor {

namespace {

// The C runtime's text for its errno: qt_error_string() would read the
// number as a Win32 error code, another error altogether.
QString runtimeReason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

}  // namespace

int duplicate(int fd, QString *reason) {
    const int copy = ::_dup(fd);
    if (copy < 0)
        *reason = runtimeReason(errno);
    return copy;
}

std::optional<QString> syncData(int fd) {
    const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
    if (handle == INVALID_HANDLE_VALUE)
        return runtimeReason(errno);
    // A pipe's flush would wait for its reader; a console has none.
    if (GetFileType(handle) != FILE_TYPE_DISK)
        return std::nullopt;
    if (!FlushFileBuffers(handle))
        return qt_error_string(int(GetLastError()));
    return std::nullopt;
}

void close(int fd) {
    ::_close(fd);
}

State state(int fd) {
    State state;
    FILE_STANDARD_INFO info{};
    if (GetFileInformationByHandleEx(reinterpret_cast<HANDLE>(::_get_osfhandle(fd)),
                                     FileStandardInfo, &info, sizeof info)) {
        state.size = info.EndOfFile.QuadPart;
        state.nameless = info.DeletePending;
    }
    return state;
}

}  // namespace Descriptor
