#include "childlifetime.h"

#include <QProcess>

#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace ChildLifetime {

void endWithThisProcess(QProcess *process) {
    const pid_t console = ::getpid();
    process->setChildProcessModifier([console] {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != console)  // the console ended before the line above
            ::_exit(1);
    });
}

}  // namespace ChildLifetime
