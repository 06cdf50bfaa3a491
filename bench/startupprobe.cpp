#include "startupprobe.h"

#include "procstats.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>
#include <cstdlib>
#include <cstring>
#include <vector>

extern char **environ;

namespace {

// Ends the program, politely first.
void finish(pid_t pid) {
    ::kill(pid, SIGTERM);
    for (int i = 0; i < 300; ++i) {
        if (::waitpid(pid, nullptr, WNOHANG) == pid)
            return;
        ::usleep(10'000);
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
}

}  // namespace

StartupProbe::StartupProbe() {
    m_connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(m_connection)) {
        xcb_disconnect(m_connection);
        m_connection = nullptr;
        m_error = QStringLiteral("cannot connect to the X server");
        return;
    }
    m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(m_connection, m_root, XCB_CW_EVENT_MASK, &mask);
    const char name[] = "_NET_WM_PID";
    auto *atom = xcb_intern_atom_reply(
        m_connection, xcb_intern_atom(m_connection, 0, sizeof(name) - 1, name), nullptr);
    if (atom) {
        m_pidAtom = atom->atom;
        std::free(atom);
    }
}

StartupProbe::~StartupProbe() {
    if (m_connection)
        xcb_disconnect(m_connection);
}

std::optional<StartupProbe::Run> StartupProbe::measure(const QString &program,
                                                       const QStringList &arguments, int idleMs,
                                                       int timeoutMs) {
    if (!m_connection)
        return std::nullopt;
    // Whatever was mapped before this start is not its window.
    while (xcb_generic_event_t *event = xcb_poll_for_event(m_connection)) std::free(event);

    const QByteArray path = program.toLocal8Bit();
    QList<QByteArray> words{path};
    for (const QString &argument : arguments) words.append(argument.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const qint64 startNs = ProcStats::monotonicNs();
    const int spawned =
        posix_spawn(&pid, path.constData(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        m_error = QStringLiteral("cannot start %1: %2")
                      .arg(program, QString::fromLocal8Bit(std::strerror(spawned)));
        return std::nullopt;
    }

    std::optional<Run> run;
    const qint64 deadline = startNs + qint64(timeoutMs) * 1'000'000;
    while (!run && ProcStats::monotonicNs() < deadline) {
        pollfd p{xcb_get_file_descriptor(m_connection), POLLIN, 0};
        ::poll(&p, 1, 50);
        while (xcb_generic_event_t *event = xcb_poll_for_event(m_connection)) {
            const qint64 now = ProcStats::monotonicNs();
            if ((event->response_type & 0x7f) == XCB_MAP_NOTIFY && !run) {
                const auto *map = reinterpret_cast<xcb_map_notify_event_t *>(event);
                if (!map->override_redirect && ownsWindow(map->window, pid))
                    run = Run{double(now - startNs) / 1e6, 0};
            }
            std::free(event);
        }
        if (xcb_connection_has_error(m_connection))
            break;
    }
    if (!run) {
        m_error = QStringLiteral("%1 mapped no window within %2 ms").arg(program).arg(timeoutMs);
        finish(pid);
        return std::nullopt;
    }
    ::usleep(useconds_t(idleMs) * 1000);
    run->idleRssMiB = double(ProcStats::rssKiB(pid)) / 1024.0;
    finish(pid);
    return run;
}

// The window is the program's when it carries the program's process id.
bool StartupProbe::ownsWindow(unsigned window, qint64 pid) {
    if (!m_pidAtom)
        return true;
    auto *reply = xcb_get_property_reply(
        m_connection, xcb_get_property(m_connection, 0, window, m_pidAtom, XCB_ATOM_CARDINAL, 0, 1),
        nullptr);
    if (!reply)
        return false;
    bool owns = false;
    if (xcb_get_property_value_length(reply) >= 4)
        owns = *static_cast<const uint32_t *>(xcb_get_property_value(reply)) == uint32_t(pid);
    std::free(reply);
    return owns;
}
