#include "portstate.h"

#include "portlock.h"

#include <QFile>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

PortState PortState::probe(const QString &device) {
    PortState state;
    const QString real = PortLocks::realDevice(device);
    if (real.isEmpty()) {
        state.kind = Missing;
        return state;
    }
    auto holder = PortLocks::lockFileHolder(real);
    if (!holder)
        holder = PortLocks::flockHolder(real);
    if (holder) {
        state.kind = holder->pid == ::getpid() ? OpenHere : InUse;
        state.pid = holder->pid;
        state.program = holder->program;
        return state;
    }
    const QByteArray path = QFile::encodeName(real);
    if (::access(path.constData(), R_OK | W_OK) != 0) {
        state.kind = NoPermission;
        // The device's own group when its members may read and write it;
        // otherwise the group that serial ports usually belong to.
        struct stat st {};
        state.group = QStringLiteral("dialout");
        if (::stat(path.constData(), &st) == 0 && st.st_gid != 0 &&
            (st.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP)) {
            if (const struct group *g = ::getgrgid(st.st_gid))
                state.group = QString::fromLocal8Bit(g->gr_name);
        }
        return state;
    }
    state.kind = Free;
    return state;
}
