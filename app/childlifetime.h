#pragma once

class QProcess;

// A helper program the console starts (the demo's simulator) must not
// outlive it, however the console ends: killed, crashed or closed.
namespace ChildLifetime {

// Call before the process starts. On Linux the kernel ends the child when
// the console ends (PR_SET_PDEATHSIG); elsewhere this does nothing.
void endWithThisProcess(QProcess *process);

}  // namespace ChildLifetime
