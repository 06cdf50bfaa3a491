#!/usr/bin/env python3
"""Summarises `perf script -F pid,tid,ip,sym,dso` output of a benchmark flood.

Only the samples of the window's thread (the process's main thread) count.
Each sample is put down to what the thread was doing: a system call (by
name), a page fault, or its own code; and to the innermost function of the
program or of a library it was in, which for time in the kernel is the one
that entered it.

    perfsummary.py [--megabytes N]  reads perf script output on standard input;
                                    N, the flood's size, gives ms per MB
    perfsummary.py --result         reads the benchmark's RESULT object instead
"""
import collections
import json
import re
import sys

FRAME = re.compile(r"^\s+([0-9a-f]+)\s+(.*?)\s+\((.*)\)$")
SYSCALL = re.compile(r"^(?:__x64_sys_|__do_sys_|ksys_)(\w+)$")
HEAD = re.compile(r"^\s*(\d+)/(\d+)\b")


# The C library's wrappers, for samples whose kernel stack was cut short
# before the system call's own function.
WRAPPERS = {
    "read": "read", "__GI___libc_read": "read", "__poll": "poll", "__GI___poll": "poll",
    "__GI___writev": "writev", "__GI___libc_write": "write", "syscall": "futex",
    "pthread_cond_signal@@GLIBC_2.3.2": "futex", "__GI___lll_lock_wake": "futex",
    "__futex_abstimed_wait_common": "futex", "__brk": "brk", "__munmap": "munmap",
    "mmap64": "mmap", "__GI___libc_open": "openat", "__GI___fstatat64": "newfstatat",
}


def activity(kernel, user_leaf):
    """The system call or fault a kernel stack (innermost first) belongs to."""
    for sym in reversed(kernel):
        call = SYSCALL.match(sym)
        if call:
            return "system call " + call.group(1)
        if sym == "asm_exc_page_fault":
            return "page fault"
    if kernel[-1].startswith("entry_SYSCALL") and user_leaf in WRAPPERS:
        return "system call " + WRAPPERS[user_leaf]
    for sym in reversed(kernel):
        if sym.startswith("asm_sysvec_") or sym.startswith("irqentry"):
            return "interrupt"
    return "kernel, other"


def part(activity_name, sym, lib):
    """The part of the console a sample belongs to, for the table by part."""
    if activity_name == "system call read":
        return "reading the port (read)"
    if activity_name == "system call poll":
        return "waiting in the event loop (poll)"
    if activity_name == "page fault":
        return "first touch of new memory (page faults)"
    if activity_name in ("system call futex", "system call writev"):
        return "painting and showing a frame"
    if activity_name.startswith("system call") or activity_name in ("interrupt", "kernel, other"):
        return "other system calls and interrupts"
    if lib.startswith(("libQt6Gui", "libQt6Widgets", "libharfbuzz", "libfreetype",
                       "libfontconfig", "libQt6XcbQpa", "libxcb", "libX")):
        return "painting and showing a frame"
    if lib.startswith("kalvex") or lib.startswith("rs232"):
        return "the console's own code (text store, line index, view)"
    if sym.startswith(("__mem", "memcpy", "memmove", "malloc", "_int_", "free", "realloc",
                       "sysmalloc", "__GI___libc_free", "__GI___libc_malloc", "unlink_chunk",
                       "malloc_consolidate")):
        return "copying and allocating memory"
    if lib.startswith(("libQt6Core", "libglib", "libQt6SerialPort", "libc.so")):
        return "event loop, signals and the port's buffer (Qt, glib)"
    return "other"


def summary(lines, megabytes):
    by_activity = collections.Counter()
    by_function = collections.Counter()
    by_part = collections.Counter()
    total = 0
    main = False
    frames = []

    def flush():
        nonlocal total
        if not main or not frames:
            return
        total += 1
        kernel = [s for s, d in frames if d.startswith("[kernel")]
        user = [(s, d) for s, d in frames if not d.startswith("[kernel")]
        where = "?"
        sym = lib = ""
        if user:
            sym, dso = user[0]
            lib = dso.rsplit("/", 1)[-1]
            where = ("[%s]" % lib) if sym in ("[unknown]", "") else "%s [%s]" % (sym, lib)
        what = activity(kernel, sym) if kernel else "user space"
        by_activity[what] += 1
        by_function[where] += 1
        by_part[part(what, sym, lib)] += 1

    for line in lines:
        line = line.rstrip("\n")
        head = HEAD.match(line)
        if head:
            flush()
            frames = []
            main = head.group(1) == head.group(2)
            continue
        frame = FRAME.match(line)
        if frame:
            frames.append((re.sub(r"\+0x[0-9a-f]+$", "", frame.group(2)), frame.group(3)))
    flush()
    if total == 0:
        print("no samples of the window's thread")
        return
    print("Window's thread: %d samples (%.3f s at 1 kHz)\n" % (total, total / 1000))
    print("| What it was doing | share |\n|---|---:|")
    for what, n in by_activity.most_common():
        if n / total >= 0.005:
            print("| %s | %.1f %% |" % (what, 100 * n / total))
    print("\n| Part of the console | share | ms per MB |\n|---|---:|---:|")
    for what, n in by_part.most_common():
        print("| %s | %.1f %% | %s |" % (what, 100 * n / total,
                                        "%.2f" % (n / megabytes) if megabytes else "—"))
    print("\n| Innermost function of the program or a library | share |\n|---|---:|")
    for what, n in by_function.most_common(25):
        print("| %s | %.1f %% |" % (what.replace("|", "\\|"), 100 * n / total))


def result(lines):
    for line in lines:
        r = json.loads(line)
        mb = r["consumed"] / 1e6
        print("Flood: %.1f MB in %.3f s (%.1f MB/s), %d chunks, CPU %.4f s/MB\n"
              % (mb, r["seconds"], mb / r["seconds"], r["chunks"], r["cpuS"] / mb))


if __name__ == "__main__":
    if "--result" in sys.argv:
        result(sys.stdin)
    else:
        at = sys.argv.index("--megabytes") if "--megabytes" in sys.argv else -1
        summary(sys.stdin, float(sys.argv[at + 1]) if at >= 0 else 0)
