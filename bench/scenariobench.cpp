#include "scenariobench.h"

#include "benchstats.h"
#include "procstats.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

extern char **environ;

namespace {

// The exchanges of the scenario, over and over: a command and a pattern
// for its one-line reply.
struct Exchange {
    const char *command;
    const char *expected;
};
constexpr Exchange kCycle[] = {
    {"DSTA", "OK CF READY"},
    {"DSIZ", "SIZE 1048576"},
    {"DFRE", "FREE *"},
    {"GETD",
     "DATE ?"
     "?-??"},
    {"GETT", "TIME ??:??:??"},
};
constexpr int kCycleLength = int(std::size(kCycle));

QByteArray scenarioText(int steps) {
    QByteArray text = "# the benchmark's scenario\n";
    for (int i = 0; i < steps; ++i) {
        const Exchange &e = kCycle[i % kCycleLength];
        text += QByteArray("> ") + e.command + "\n< " + e.expected + "\n";
    }
    return text;
}

// The device's own round trip: the same exchanges by blocking reads and
// writes of the pty, in milliseconds each.
std::vector<double> bareRoundTrips(const QString &pty, int steps, QString *error) {
    std::vector<double> ms;
    const int fd = ::open(QFile::encodeName(pty).constData(), O_RDWR | O_NOCTTY);
    if (fd < 0) {
        *error = QStringLiteral("cannot open %1").arg(pty);
        return ms;
    }
    termios tio{};
    ::tcgetattr(fd, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(fd, TCSANOW, &tio);
    ms.reserve(size_t(steps));
    char buffer[256];
    for (int i = 0; i < steps && error->isEmpty(); ++i) {
        const QByteArray command = QByteArray(kCycle[i % kCycleLength].command) + '\r';
        const qint64 start = ProcStats::monotonicNs();
        if (::write(fd, command.constData(), size_t(command.size())) != command.size()) {
            *error = QStringLiteral("the bare writer's write failed");
            break;
        }
        // One reply line, ended by CR LF.
        for (bool ended = false; !ended;) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n <= 0) {
                *error = QStringLiteral("the bare reader's read failed");
                break;
            }
            ended = buffer[n - 1] == '\n';
        }
        ms.push_back(double(ProcStats::monotonicNs() - start) / 1e6);
    }
    ::close(fd);
    return ms;
}

// Each test case's time in a JUnit report, in milliseconds.
std::vector<double> stepTimes(const QString &report, int *failures) {
    std::vector<double> ms;
    QFile file(report);
    if (!file.open(QIODevice::ReadOnly))
        return ms;
    QXmlStreamReader xml(&file);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("testcase"))
            ms.push_back(xml.attributes().value(QLatin1String("time")).toDouble() * 1000);
        else if (xml.name() == QLatin1String("failure") || xml.name() == QLatin1String("skipped"))
            ++*failures;
    }
    return ms;
}

// One headless run of the console on the simulator's link, as a CI job
// starts it: no display, its lines to a file; wait4() gives its peak
// memory.
struct ConsoleRun {
    std::vector<double> stepMs;
    int failures = 0;
    bool exited = false;
    double peakRssKiB = 0;
    double wallS = 0;
    QString error;
};

ConsoleRun runConsole(const QString &console, const QString &link, const QTemporaryDir &dir,
                      int steps) {
    ConsoleRun run;
    const QString file = dir.filePath(QStringLiteral("bench.txt"));
    const QString report = dir.filePath(QStringLiteral("bench.xml"));
    const QString output = dir.filePath(QStringLiteral("bench.out"));
    QFile scenario(file);
    if (!scenario.open(QIODevice::WriteOnly) || scenario.write(scenarioText(steps)) < 0) {
        run.error = QStringLiteral("cannot write %1").arg(file);
        return run;
    }
    scenario.close();
    QFile::remove(report);

    QList<QByteArray> arguments{QFile::encodeName(console), "--run", QFile::encodeName(file),
                                "--junit", QFile::encodeName(report)};
    std::vector<char *> argv;
    for (QByteArray &a : arguments) argv.push_back(a.data());
    argv.push_back(nullptr);
    QList<QByteArray> environment;
    for (char **e = environ; *e; ++e) {
        const QByteArray entry(*e);
        if (!entry.startsWith("DISPLAY=") && !entry.startsWith("QT_QPA_PLATFORM=") &&
            !entry.startsWith("RS232_PORT_2="))
            environment << entry;
    }
    environment << "RS232_PORT_2=" + QFile::encodeName(link);
    std::vector<char *> envp;
    for (QByteArray &e : environment) envp.push_back(e.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, QFile::encodeName(output).constData(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = 0;
    const qint64 start = ProcStats::monotonicNs();
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        run.error = QStringLiteral("cannot start %1").arg(console);
        return run;
    }
    int status = 0;
    rusage usage{};
    if (::wait4(pid, &status, 0, &usage) != pid) {
        run.error = QStringLiteral("lost the console's process");
        return run;
    }
    run.wallS = double(ProcStats::monotonicNs() - start) / 1e9;
    run.exited = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    run.peakRssKiB = double(usage.ru_maxrss);
    run.stepMs = stepTimes(report, &run.failures);
    if (run.stepMs.empty())
        run.error = QStringLiteral("no report from the run (status %1)").arg(status);
    return run;
}

}  // namespace

namespace ScenarioBench {

QJsonObject run(const QString &console, const QString &simulator, int steps, int rounds) {
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("port2"));
    QProcess device;
    device.setProgram(simulator);
    device.setArguments(
        {QStringLiteral("--fast"), QStringLiteral("--quiet"), QStringLiteral("--link"), link});
    device.start();
    if (!device.waitForReadyRead(10'000))
        return {{"error", QStringLiteral("the simulator did not start")}};
    const QString pty = QString::fromLocal8Bit(device.readLine().trimmed());
    struct Stop {
        QProcess &p;
        ~Stop() {
            p.terminate();
            p.waitForFinished(3000);
        }
    } stop{device};

    // The bare exchange and the console take turns, so that both see the
    // machine in the same mood; each figure is the median of its rounds'
    // medians.
    std::vector<double> bareMedians, stepMedians, peaks, walls;
    bool passed = true;
    for (int round = 0; round < rounds; ++round) {
        QString error;
        const std::vector<double> bare = bareRoundTrips(pty, steps, &error);
        if (!error.isEmpty())
            return {{"error", error}};
        bareMedians.push_back(BenchStats::median(bare));
        const ConsoleRun run = runConsole(console, link, dir, steps);
        if (!run.error.isEmpty())
            return {{"error", run.error}};
        passed = passed && run.exited && run.failures == 0 && int(run.stepMs.size()) == steps;
        stepMedians.push_back(BenchStats::median(run.stepMs));
        peaks.push_back(run.peakRssKiB);
        walls.push_back(run.wallS);
    }
    return {{"steps", steps},
            {"rounds", rounds},
            {"passed", passed},
            {"stepMedianMs", BenchStats::median(stepMedians)},
            {"bareMedianMs", BenchStats::median(bareMedians)},
            {"peakRssKiB", *std::max_element(peaks.cbegin(), peaks.cend())},
            {"wallS", BenchStats::median(walls)}};
}

}  // namespace ScenarioBench
