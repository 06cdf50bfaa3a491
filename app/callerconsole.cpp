#include "callerconsole.h"

#include <QtGlobal>

#ifdef Q_OS_WIN
#include <windows.h>

#include <cstdio>
#endif

namespace CallerConsole {

#ifdef Q_OS_WIN

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

#else

void attach() {}
void detach() {}

#endif

}  // namespace CallerConsole
