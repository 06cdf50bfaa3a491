#include "profilewindow.h"

#include <QByteArray>
#include <QtGlobal>

#include <fcntl.h>
#include <unistd.h>

namespace {

// Sends one command and waits for the profiler's acknowledgement, so that
// the events are on (off) before the measured stretch begins (goes on).
void command(const char *text, qsizetype length) {
    const QByteArray control = qgetenv("KALVEX_PERF_CTL");
    const QByteArray ack = qgetenv("KALVEX_PERF_ACK");
    if (control.isEmpty() || ack.isEmpty())
        return;
    const int out = ::open(control.constData(), O_WRONLY | O_CLOEXEC);
    const int in = ::open(ack.constData(), O_RDONLY | O_CLOEXEC);
    if (out >= 0 && in >= 0 && ::write(out, text, size_t(length)) == length) {
        char reply[16];
        [[maybe_unused]] const ssize_t n = ::read(in, reply, sizeof reply);
    }
    if (out >= 0)
        ::close(out);
    if (in >= 0)
        ::close(in);
}

}  // namespace

namespace ProfileWindow {

void begin() {
    command("enable\n", 7);
}

void end() {
    command("disable\n", 8);
}

}  // namespace ProfileWindow
