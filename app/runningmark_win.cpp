#include "runningmark.h"

#include <windows.h>

void RunningMark::set() {
    // Never closed: Windows closes it with the process. A console already
    // running made it first, and this one holds it too.
    CreateMutexA(nullptr, FALSE, kName);
}
