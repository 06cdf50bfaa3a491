#pragma once

#include <QtGlobal>

// Clocks and memory of this process and of others, as the kernel reports them.
namespace ProcStats {

// A monotonic clock, the one time base of every measurement.
qint64 monotonicNs();

// CPU time used by every thread of this process so far.
qint64 processCpuNs();

// CPU time used so far by the calling thread.
qint64 threadCpuNs();

// Resident memory (VmRSS) of a process, this one when pid is 0; -1 if it
// cannot be read.
qint64 rssKiB(qint64 pid = 0);

// Memory the kernel could still give (MemAvailable); -1 if unknown.
qint64 availableKiB();

// Time the machine's processors have been kept waiting by its host so far
// (steal), over all processors; -1 if unknown. On a virtual machine, time a
// busy host takes is counted as part of whatever ran, so a run with much of
// it says less.
qint64 stealNs();

}  // namespace ProcStats
