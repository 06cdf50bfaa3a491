// kalvex-nullmodem: the Linux side of the Windows build's serial tests under
// Wine. A Windows program cannot make a pseudo-terminal, so this program
// makes them, puts them behind Wine's COM ports, and relays bytes between two
// of them as a null-modem cable does: the console opens one end, the test
// opens the other with QSerialPort and plays the device there. It also runs
// the device simulator on a COM port of its own.
//
//   kalvex-nullmodem DOSDEVICES -- COMMAND [ARGUMENT...]
//
// runs COMMAND (a test under Wine; tests/wine/run.sh starts it so), serves
// it until it ends, then takes its COM ports away and exits with its status.
// DOSDEVICES is the Wine prefix's folder of device links: COM<n> is the link
// com<n> there, read by Wine at every open.
//
// COMMAND finds a control folder in KALVEX_NULLMODEM (as Z:\...). It writes
// one request at a time, a line in the file "request", read once it is
// closed, and waits for the line in "reply" (written beside and renamed into
// place): "ok ..." or "error REASON".
//   cable             ok CONSOLE DEVICE   a new cable: its two ends' COM ports
//   simulator ARG...  ok COM              kalvex-sim ARG... on a COM port of its own
//   pull COM          ok                  the device goes: the console's end of a cable
//                                         closes, or the simulator is killed; COM leads
//                                         nowhere
//   plug COM          ok                  a new device at the same COM port: a new
//                                         pseudo-terminal, with nothing left on its way to
//                                         the device's end, or the simulator started again
//   line COM          ok OSPEED ISPEED BITS PARITY STOPS RTSCTS XONXOFF
//                                         the line as the console's end was set (bauds,
//                                         data bits, 0/1, stop bits, 0/1, 0/1)
//   free COM          ok                  the cable or the simulator goes for good
//
// The relay keeps every byte in order: it reads from one end only while what
// it read before is written to the other, and waits for the other end to
// take it (poll), so a console that reads slowly slows the device, as a
// cable with flow control would, and one that reads fast is never held up.
// Bytes sent toward a console's end that is pulled out are dropped, as a cut
// cable drops them.
//
// Several tests run at once in one Wine prefix: each helper takes a slot of
// ten COM numbers (COM30-COM39 for the first), held with flock on a file in
// the prefix, so numbers never clash and a helper that was killed leaves its
// slot to the next one.

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr int kFirstCom = 30;
constexpr int kSlotSize = 10;
constexpr int kSlots = 22;  // up to COM249
constexpr size_t kChunk = 64 * 1024;

[[noreturn]] void die(const std::string &what) {
    std::fprintf(stderr, "kalvex-nullmodem: %s: %s\n", what.c_str(), std::strerror(errno));
    std::exit(70);
}

// Wine's server opens the devices behind COM ports itself, and it leads a
// session without a terminal: the first terminal it opens would become the
// session's controlling terminal, and when that pty then hangs up (a device
// pulled out, a cable freed) the server would get SIGHUP, on which it writes
// every object it holds onto the test's output. So each pty becomes the
// controlling terminal of a small session of its own first, which no other
// session can then take; the session's leader holds nothing else and ends
// with the pty's hangup.
bool holdTerminal(const std::string &path) {
    int ready[2];
    if (::pipe2(ready, O_CLOEXEC) != 0)
        return false;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        // No copy of another pty's master may stay here: that pty would never
        // hang up.
        ::close_range(0, ready[1] - 1, 0);
        ::close_range(ready[1] + 1, ~0U, 0);
        ::setsid();
        const int terminal = ::open(path.c_str(), O_RDWR | O_NONBLOCK);
        const char held = terminal >= 0 && ::tcgetsid(terminal) == ::getpid();
        ::close(terminal);
        if (::write(ready[1], &held, 1) != 1)
            std::_Exit(1);
        ::close(ready[1]);
        for (;;) ::pause();
    }
    ::close(ready[1]);
    char held = 0;
    const bool told = pid > 0 && ::read(ready[0], &held, 1) == 1;
    ::close(ready[0]);
    return told && held;
}

// One pseudo-terminal: the relay reads and writes its master; its slave is
// held open too, so that the master does not hang up while nobody else has
// the port open. Raw from the start: no echo, no line editing, no CR/LF
// translation before the console sets the line.
struct Pty {
    int master = -1;
    int slave = -1;
    std::string path;

    bool open() {
        char name[256] = {};
        if (::openpty(&master, &slave, name, nullptr, nullptr) != 0)
            return false;
        termios tio{};
        ::tcgetattr(master, &tio);
        ::cfmakeraw(&tio);
        ::tcsetattr(master, TCSANOW, &tio);
        ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
        ::fcntl(master, F_SETFD, FD_CLOEXEC);
        ::fcntl(slave, F_SETFD, FD_CLOEXEC);
        path = name;
        if (holdTerminal(path))
            return true;
        close();
        return false;
    }
    void close() {
        for (int *fd : {&slave, &master}) {
            if (*fd >= 0)
                ::close(*fd);
            *fd = -1;
        }
    }
    bool isOpen() const { return master >= 0; }
};

// Bytes on their way from one end to the other.
struct Transit {
    std::array<char, kChunk> bytes;
    size_t size = 0;
    size_t at = 0;
    bool empty() const { return at == size; }
    void clear() { size = at = 0; }
};

struct Cable {
    int consoleCom = 0;
    int deviceCom = 0;
    Pty console;
    Pty device;
    Transit toConsole;
    Transit toDevice;
};

struct Simulator {
    int com = 0;
    std::vector<std::string> arguments;
    pid_t pid = -1;
    int output = -1;  // its standard output, read and dropped after the first line
};

// Whether the events waiting on `notify` say that the file "request" was
// written and closed.
bool requestWritten(int notify) {
    alignas(inotify_event) char events[4096];
    bool written = false;
    for (ssize_t size; (size = ::read(notify, events, sizeof events)) > 0;) {
        for (ssize_t at = 0; at < size;) {
            const auto *event = reinterpret_cast<const inotify_event *>(events + at);
            if ((event->mask & IN_CLOSE_WRITE) && event->len &&
                std::strcmp(event->name, "request") == 0)
                written = true;
            at += ssize_t(sizeof(inotify_event) + event->len);
        }
    }
    return written;
}

class NullModem {
public:
    NullModem(std::string dosdevices, std::string folder)
        : m_dosdevices(std::move(dosdevices)), m_folder(std::move(folder)) {}

    void claimSlot();
    void releaseAll();
    // Serves requests and relays until the command ends; its exit status.
    int serve(pid_t command, int signals);

private:
    std::string handle(const std::string &request);
    std::string newCable();
    std::string newSimulator(const std::vector<std::string> &arguments);
    std::string pull(int com);
    std::string plug(int com);
    std::string line(int com);
    std::string release(int com);

    bool startSimulator(Simulator &simulator);
    void stopSimulator(Simulator &simulator, int signal);
    int freeCom();
    void link(int com, const std::string &target);
    void unlink(int com);
    std::string comLink(int com) const { return m_dosdevices + "/com" + std::to_string(com); }
    Cable *cableAt(int com);
    void answer(const std::string &reply);
    void pump(int fd, short events, Transit &transit, int to, bool input);

    std::string m_dosdevices;
    std::string m_folder;
    int m_slotLock = -1;
    int m_first = 0;
    std::array<bool, kSlotSize> m_used{};
    std::vector<std::unique_ptr<Cable>> m_cables;
    std::vector<std::unique_ptr<Simulator>> m_simulators;
};

void NullModem::claimSlot() {
    const std::string locks = m_dosdevices + "/../kalvex-nullmodem";
    ::mkdir(locks.c_str(), 0700);
    for (int slot = 0; slot < kSlots; ++slot) {
        const std::string path = locks + "/slot" + std::to_string(slot);
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0)
            die("cannot open " + path);
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            m_slotLock = fd;
            m_first = kFirstCom + slot * kSlotSize;
            // Links that a killed helper left in this slot lead nowhere now.
            for (int i = 0; i < kSlotSize; ++i) unlink(m_first + i);
            return;
        }
        ::close(fd);
    }
    errno = EBUSY;
    die("every slot of COM ports is taken");
}

int NullModem::freeCom() {
    for (int i = 0; i < kSlotSize; ++i) {
        if (!m_used[i]) {
            m_used[i] = true;
            return m_first + i;
        }
    }
    return 0;
}

void NullModem::link(int com, const std::string &target) {
    const std::string path = comLink(com);
    const std::string fresh = path + ".new";
    ::unlink(fresh.c_str());
    if (::symlink(target.c_str(), fresh.c_str()) != 0 || ::rename(fresh.c_str(), path.c_str()) != 0)
        die("cannot link " + path);
}

void NullModem::unlink(int com) {
    ::unlink(comLink(com).c_str());
}

Cable *NullModem::cableAt(int com) {
    for (auto &cable : m_cables)
        if (cable->consoleCom == com || cable->deviceCom == com)
            return cable.get();
    return nullptr;
}

std::string NullModem::newCable() {
    auto cable = std::make_unique<Cable>();
    cable->consoleCom = freeCom();
    cable->deviceCom = freeCom();
    if (!cable->consoleCom || !cable->deviceCom || !cable->console.open() ||
        !cable->device.open()) {
        for (int com : {cable->consoleCom, cable->deviceCom})
            if (com)
                m_used[com - m_first] = false;
        cable->console.close();
        cable->device.close();
        return "error no COM port or pseudo-terminal left";
    }
    link(cable->consoleCom, cable->console.path);
    link(cable->deviceCom, cable->device.path);
    const std::string reply =
        "ok COM" + std::to_string(cable->consoleCom) + " COM" + std::to_string(cable->deviceCom);
    m_cables.push_back(std::move(cable));
    return reply;
}

bool NullModem::startSimulator(Simulator &simulator) {
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0)
        return false;
    const pid_t pid = ::fork();
    if (pid < 0)
        return false;
    if (pid == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        ::dup2(out[1], STDOUT_FILENO);
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, STDERR_FILENO);
        std::vector<char *> argv{const_cast<char *>(KALVEX_SIM_PATH)};
        for (auto &argument : simulator.arguments) argv.push_back(argument.data());
        argv.push_back(nullptr);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        ::execv(argv[0], argv.data());
        std::_Exit(127);
    }
    ::close(out[1]);
    simulator.pid = pid;
    simulator.output = out[0];
    // Its first line is the pseudo-terminal it plays on.
    std::string path;
    char c = 0;
    pollfd p{out[0], POLLIN, 0};
    while (::poll(&p, 1, 10000) > 0 && ::read(out[0], &c, 1) == 1 && c != '\n') path += c;
    if (path.rfind("/dev/", 0) != 0) {
        stopSimulator(simulator, SIGKILL);
        return false;
    }
    ::fcntl(out[0], F_SETFL, ::fcntl(out[0], F_GETFL) | O_NONBLOCK);
    if (!holdTerminal(path)) {
        stopSimulator(simulator, SIGKILL);
        return false;
    }
    link(simulator.com, path);
    return true;
}

void NullModem::stopSimulator(Simulator &simulator, int signal) {
    unlink(simulator.com);
    if (simulator.pid > 0) {
        ::kill(simulator.pid, signal);
        ::waitpid(simulator.pid, nullptr, 0);
    }
    if (simulator.output >= 0)
        ::close(simulator.output);
    simulator.pid = -1;
    simulator.output = -1;
}

std::string NullModem::newSimulator(const std::vector<std::string> &arguments) {
    auto simulator = std::make_unique<Simulator>();
    simulator->com = freeCom();
    simulator->arguments = arguments;
    if (!simulator->com)
        return "error no COM port left";
    if (!startSimulator(*simulator)) {
        m_used[simulator->com - m_first] = false;
        return "error the simulator did not start";
    }
    const std::string reply = "ok COM" + std::to_string(simulator->com);
    m_simulators.push_back(std::move(simulator));
    return reply;
}

std::string NullModem::pull(int com) {
    if (Cable *cable = cableAt(com); cable && cable->consoleCom == com) {
        unlink(com);
        cable->console.close();
        cable->toConsole.clear();
        cable->toDevice.clear();
        return "ok";
    }
    for (auto &simulator : m_simulators) {
        if (simulator->com == com) {
            stopSimulator(*simulator, SIGKILL);
            return "ok";
        }
    }
    return "error no console's end at COM" + std::to_string(com);
}

std::string NullModem::plug(int com) {
    if (Cable *cable = cableAt(com); cable && cable->consoleCom == com) {
        if (cable->console.isOpen() || !cable->console.open())
            return "error COM" + std::to_string(com) + " is plugged in or has no terminal";
        // Nothing the old device was sent reaches the new one.
        ::tcflush(cable->device.slave, TCIFLUSH);
        cable->toDevice.clear();
        link(com, cable->console.path);
        return "ok";
    }
    for (auto &simulator : m_simulators) {
        if (simulator->com == com) {
            if (simulator->pid > 0 || !startSimulator(*simulator))
                return "error the simulator at COM" + std::to_string(com) + " did not start";
            return "ok";
        }
    }
    return "error no console's end at COM" + std::to_string(com);
}

std::string NullModem::line(int com) {
    // The kernel's own termios, with the speeds in bauds: Wine may set them
    // as numbers (BOTHER) rather than as B9600 and the like.
    struct {
        tcflag_t iflag, oflag, cflag, lflag;
        cc_t line, cc[19];
        speed_t ispeed, ospeed;
    } tio{};
    const unsigned long getTermios2 = _IOR('T', 0x2A, decltype(tio));
    Cable *cable = cableAt(com);
    if (!cable || !cable->console.isOpen() ||
        ::ioctl(cable->console.master, getTermios2, &tio) != 0)
        return "error no open console's end at COM" + std::to_string(com);
    const auto size = tio.cflag & CSIZE;
    const int bits = size == CS5 ? 5 : size == CS6 ? 6 : size == CS7 ? 7 : 8;
    std::ostringstream reply;
    reply << "ok " << tio.ospeed << ' ' << tio.ispeed << ' ' << bits << ' '
          << ((tio.cflag & PARENB) ? 1 : 0) << ' ' << ((tio.cflag & CSTOPB) ? 2 : 1) << ' '
          << ((tio.cflag & CRTSCTS) ? 1 : 0) << ' ' << ((tio.iflag & (IXON | IXOFF)) ? 1 : 0);
    return reply.str();
}

std::string NullModem::release(int com) {
    for (auto it = m_cables.begin(); it != m_cables.end(); ++it) {
        Cable &cable = **it;
        if (cable.consoleCom != com && cable.deviceCom != com)
            continue;
        for (int end : {cable.consoleCom, cable.deviceCom}) {
            unlink(end);
            m_used[end - m_first] = false;
        }
        cable.console.close();
        cable.device.close();
        m_cables.erase(it);
        return "ok";
    }
    for (auto it = m_simulators.begin(); it != m_simulators.end(); ++it) {
        if ((*it)->com != com)
            continue;
        stopSimulator(**it, SIGTERM);
        m_used[com - m_first] = false;
        m_simulators.erase(it);
        return "ok";
    }
    return "error nothing at COM" + std::to_string(com);
}

std::string NullModem::handle(const std::string &request) {
    std::istringstream words(request);
    std::string verb;
    words >> verb;
    if (verb == "cable")
        return newCable();
    if (verb == "simulator") {
        std::vector<std::string> arguments;
        for (std::string word; words >> word;) arguments.push_back(word);
        return newSimulator(arguments);
    }
    std::string port;
    words >> port;
    if (port.size() < 4 || port.compare(0, 3, "COM") != 0)
        return "error bad request: " + request;
    const int com = std::atoi(port.c_str() + 3);
    if (verb == "pull")
        return pull(com);
    if (verb == "plug")
        return plug(com);
    if (verb == "line")
        return line(com);
    if (verb == "free")
        return release(com);
    return "error bad request: " + request;
}

void NullModem::answer(const std::string &reply) {
    const std::string fresh = m_folder + "/reply.new";
    {
        std::ofstream file(fresh, std::ios::trunc);
        file << reply << '\n';
    }
    if (::rename(fresh.c_str(), (m_folder + "/reply").c_str()) != 0)
        die("cannot answer in " + m_folder);
}

// Moves bytes one step: reads from `fd` into `transit` when it is empty and
// `fd` has some (input), or writes `transit` to `to` when that takes some.
// With nowhere to go (to < 0), what is read is dropped.
void NullModem::pump(int fd, short events, Transit &transit, int to, bool input) {
    if (input) {
        if (!(events & POLLIN) || !transit.empty())
            return;
        const ssize_t n = ::read(fd, transit.bytes.data(), kChunk);
        transit.size = n > 0 && to >= 0 ? size_t(n) : 0;
        transit.at = 0;
        return;
    }
    if (!(events & POLLOUT) || transit.empty())
        return;
    const ssize_t n = ::write(to, transit.bytes.data() + transit.at, transit.size - transit.at);
    if (n > 0)
        transit.at += size_t(n);
}

int NullModem::serve(pid_t command, int signals) {
    const int notify = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (notify < 0 ||
        ::inotify_add_watch(notify, m_folder.c_str(), IN_MOVED_TO | IN_CLOSE_WRITE) < 0)
        die("cannot watch " + m_folder);
    const std::string requestPath = m_folder + "/request";
    for (;;) {
        // What to wait for: the command's end, requests, and each end of each
        // cable that can move bytes now.
        struct Watched {
            Cable *cable;
            bool console;
        };
        std::vector<pollfd> fds{{signals, POLLIN, 0}, {notify, POLLIN, 0}};
        std::vector<Watched> watched;
        for (auto &cable : m_cables) {
            const bool plugged = cable->console.isOpen();
            short device = 0;
            if (cable->toConsole.empty())
                device |= POLLIN;
            if (!cable->toDevice.empty())
                device |= POLLOUT;
            fds.push_back({cable->device.master, device, 0});
            watched.push_back({cable.get(), false});
            if (plugged) {
                short console = 0;
                if (cable->toDevice.empty())
                    console |= POLLIN;
                if (!cable->toConsole.empty())
                    console |= POLLOUT;
                fds.push_back({cable->console.master, console, 0});
                watched.push_back({cable.get(), true});
            }
        }
        for (auto &simulator : m_simulators)
            if (simulator->output >= 0)
                fds.push_back({simulator->output, POLLIN, 0});
        if (::poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR)
                continue;
            die("poll");
        }

        if (fds[0].revents) {
            signalfd_siginfo info{};
            if (::read(signals, &info, sizeof info) == sizeof info && info.ssi_signo != SIGCHLD) {
                ::kill(command, SIGTERM);
                ::waitpid(command, nullptr, 0);
                return 128 + int(info.ssi_signo);
            }
            // The command, or the leader of a pty's session that hung up.
            int status = 0;
            for (pid_t ended; (ended = ::waitpid(-1, &status, WNOHANG)) > 0;)
                if (ended == command)
                    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        if (fds[1].revents && requestWritten(notify)) {
            std::ifstream file(requestPath);
            std::string request;
            std::getline(file, request);
            file.close();
            ::unlink(requestPath.c_str());
            answer(handle(request));
            continue;  // the cables may have changed under `watched`
        }
        for (size_t i = 0; i < watched.size(); ++i) {
            Cable &cable = *watched[i].cable;
            const short events = fds[2 + i].revents;
            if (watched[i].console) {
                pump(cable.console.master, events, cable.toDevice, cable.device.master, true);
                pump(cable.console.master, events, cable.toConsole, cable.console.master, false);
            } else {
                pump(cable.device.master, events, cable.toConsole, cable.console.master, true);
                pump(cable.device.master, events, cable.toDevice, cable.device.master, false);
            }
        }
        for (size_t i = 2 + watched.size(); i < fds.size(); ++i) {
            char dropped[4096];
            if (fds[i].revents)
                while (::read(fds[i].fd, dropped, sizeof dropped) > 0) {
                }
        }
    }
}

void NullModem::releaseAll() {
    for (auto &simulator : m_simulators) stopSimulator(*simulator, SIGTERM);
    for (auto &cable : m_cables) {
        unlink(cable->consoleCom);
        unlink(cable->deviceCom);
    }
    m_simulators.clear();
    m_cables.clear();
}

// Z:\tmp\... for a Linux path.
std::string windowsPath(std::string path) {
    std::replace(path.begin(), path.end(), '/', '\\');
    return "Z:" + path;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 4 || std::string(argv[2]) != "--") {
        std::fprintf(stderr, "usage: kalvex-nullmodem DOSDEVICES -- COMMAND [ARGUMENT...]\n");
        return 2;
    }
    char folder[] = "/tmp/kalvex-nullmodem.XXXXXX";
    if (!::mkdtemp(folder))
        die("mkdtemp");
    NullModem nullModem(argv[1], folder);
    nullModem.claimSlot();

    // Signals arrive through a descriptor, between two steps of the relay.
    sigset_t handled;
    sigemptyset(&handled);
    for (int signal : {SIGCHLD, SIGTERM, SIGINT, SIGHUP}) sigaddset(&handled, signal);
    ::sigprocmask(SIG_BLOCK, &handled, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    const int signals = ::signalfd(-1, &handled, SFD_CLOEXEC);
    if (signals < 0)
        die("signalfd");

    const pid_t command = ::fork();
    if (command < 0)
        die("fork");
    if (command == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        ::setenv("KALVEX_NULLMODEM", windowsPath(folder).c_str(), 1);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        std::signal(SIGPIPE, SIG_DFL);
        ::execvp(argv[3], argv + 3);
        die(std::string("cannot run ") + argv[3]);
    }
    const int status = nullModem.serve(command, signals);
    nullModem.releaseAll();
    for (const char *name : {"request", "reply", "reply.new"})
        ::unlink((std::string(folder) + '/' + name).c_str());
    ::rmdir(folder);
    return status;
}
