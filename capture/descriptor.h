#pragma once

#include <QString>

#include <optional>

// A file by its C runtime descriptor, as the receive log's sync thread
// handles it, with the system's reason when a call fails: in the words of
// the call that failed (on Windows, the C runtime's errno for a C runtime
// call, GetLastError() for a Win32 one, never one read as the other).
namespace Descriptor {

// Opens the file at path for writing at its end, made if missing and
// emptied first if `empty`; -1, with the reason, when it cannot. Every write
// goes to the file's end as it is then, so that a file that another program
// shortened (logrotate's copytruncate) is written on without a hole.
int openAppending(const QString &path, bool empty, QString *reason);
// A duplicate of fd, owned by the caller; -1, with the reason, when none
// can be made.
int duplicate(int fd, QString *reason);
// Syncs the file's data, and the size that reaches it, to the disk. The
// reason when that failed; nothing when it worked or when no disk is behind
// the descriptor (a pipe, a terminal, the null device).
std::optional<QString> syncData(int fd);
void close(int fd);

// What the descriptor's file is now: its size (-1 when unknown), and
// whether it has no name left (deleted, though held open here).
struct State {
    qint64 size = -1;
    bool nameless = false;
};
State state(int fd);

}  // namespace Descriptor
