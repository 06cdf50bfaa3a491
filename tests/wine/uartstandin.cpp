// Loaded into Wine (LD_PRELOAD) when a test puts a pseudo-terminal behind a
// COM port: the pty then answers the modem-line and line-status requests
// that a real UART answers.
//
// Why: while a WaitCommEvent is pending, Wine's serial layer asks the device
// for its modem lines (TIOCMGET) and its counters (TIOCGICOUNT). A pty has
// neither and answers ENOTTY, and Wine then ends the wait as cancelled: the
// console sees its port fail and shows "Port zamknięty...". Every real COM
// port answers, so the stand-in answers as one would: DSR, CTS and DCD up,
// DTR and RTS as last set, no line errors counted, the transmitter empty.
//
// It only answers where the kernel refused (ENOTTY or EINVAL): on a real
// serial device, and for every other request, the kernel's answer stands.
// Test code: never part of the zip or the installer.

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstring>

#include <dlfcn.h>
#include <linux/serial.h>
#include <sys/ioctl.h>

namespace {

using IoctlFunction = int (*)(int, unsigned long, void *);

IoctlFunction kernelIoctl() {
    static const auto next = reinterpret_cast<IoctlFunction>(dlsym(RTLD_NEXT, "ioctl"));
    return next;
}

// Which of DTR and RTS the program dropped, for each descriptor: both are up
// after an open, as the kernel raises them on a UART.
std::array<std::atomic<int>, 4096> g_droppedLines{};
constexpr int OutputMask = TIOCM_DTR | TIOCM_RTS;
constexpr int InputLines = TIOCM_DSR | TIOCM_CTS | TIOCM_CAR;

std::atomic<int> *droppedLines(int fd) {
    return fd >= 0 && static_cast<size_t>(fd) < g_droppedLines.size() ? &g_droppedLines[fd]
                                                                      : nullptr;
}

// The UART's answer to a request that the pty refused; false when a UART
// would refuse it too.
bool answerAsUart(int fd, unsigned long request, void *argument) {
    auto *dropped = droppedLines(fd);
    const auto asked = [argument] { return *static_cast<const int *>(argument) & OutputMask; };
    switch (request) {
        case TIOCMGET:
            *static_cast<int *>(argument) =
                InputLines | (OutputMask & ~(dropped ? dropped->load() : 0));
            return true;
        case TIOCMSET:
            if (dropped)
                dropped->store(OutputMask & ~asked());
            return true;
        case TIOCMBIS:
            if (dropped)
                dropped->fetch_and(~asked());
            return true;
        case TIOCMBIC:
            if (dropped)
                dropped->fetch_or(asked());
            return true;
        case TIOCGICOUNT:
            std::memset(argument, 0, sizeof(serial_icounter_struct));
            return true;
        case TIOCSERGETLSR:
            *static_cast<unsigned int *>(argument) = TIOCSER_TEMT;
            return true;
        default:
            return false;
    }
}

}  // namespace

extern "C" int ioctl(int fd, unsigned long request, ...) {
    va_list arguments;
    va_start(arguments, request);
    void *argument = va_arg(arguments, void *);
    va_end(arguments);

    const IoctlFunction kernel = kernelIoctl();
    if (!kernel) {
        errno = ENOSYS;
        return -1;
    }
    const int result = kernel(fd, request, argument);
    if (result != -1 || (errno != ENOTTY && errno != EINVAL) || !argument)
        return result;
    const int refusal = errno;
    if (answerAsUart(fd, request, argument))
        return 0;
    errno = refusal;
    return -1;
}
