#include "descriptor.h"

#include "nativepath.h"

#include <fcntl.h>

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

int openAppending(const QString &path, bool empty, QString *reason) {
    // Shared as Qt's files share theirs: others may read and write, not delete.
    const HANDLE handle =
        CreateFileW(reinterpret_cast<LPCWSTR>(NativePath::longForm(path).utf16()), GENERIC_WRITE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    empty ? CREATE_ALWAYS : OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        *reason = qt_error_string(int(GetLastError()));
        return -1;
    }
    // The C runtime's append mode moves to the end before every write: a
    // handle writes where its own position is, past a shortened end.
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_APPEND | _O_BINARY);
    if (fd < 0) {
        *reason = runtimeReason(errno);
        CloseHandle(handle);
    }
    return fd;
}

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
