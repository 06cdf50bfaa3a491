#include "callerconsole.h"

#include <io.h>
#include <windows.h>

#include <cstdio>

namespace CallerConsole {

namespace {

bool attached = false;

// Sent to a file or a pipe by the caller (app.exe > file).
bool redirected(DWORD stream) {
    const HANDLE handle = ::GetStdHandle(stream);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE)
        return false;
    const DWORD type = ::GetFileType(handle);
    return type == FILE_TYPE_DISK || type == FILE_TYPE_PIPE;
}

}  // namespace

void attach() {
    const bool out = redirected(STD_OUTPUT_HANDLE);
    const bool err = redirected(STD_ERROR_HANDLE);
    // Fails where there is no such console, or where the system joined it
    // already (Wine does, for a program started from a terminal).
    if (!::AttachConsole(ATTACH_PARENT_PROCESS))
        return;
    attached = true;
    if (!out)
        std::freopen("CONOUT$", "w", stdout);
    if (!err)
        std::freopen("CONOUT$", "w", stderr);
}

void detach() {
    if (!attached)
        return;
    std::fflush(stdout);
    std::fflush(stderr);
    ::FreeConsole();
    attached = false;
}

void write(std::FILE *stream, const QString &text) {
    std::fflush(stream);
    const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stream)));
    DWORD mode = 0;
    if (handle != INVALID_HANDLE_VALUE && ::GetConsoleMode(handle, &mode)) {
        DWORD written = 0;
        ::WriteConsoleW(handle, text.utf16(), DWORD(text.size()), &written, nullptr);
        return;
    }
    std::fputs(text.toUtf8().constData(), stream);
    std::fflush(stream);
}

}  // namespace CallerConsole
