// The console's performance benchmark. Without arguments it runs every
// measurement, each in a fresh console process started from this program,
// and prints one Markdown table; bench/run.sh is the way to call it.
//
//   kalvex-bench [--quick] [--console PROGRAM] [--windows BUILD] [--windows-ingest FILE]
//                [--json FILE]
//   kalvex-bench --scenario NAME --view ours|baseline [--level BYTES] [--quick]
//   kalvex-bench --pty-flood LINK BYTES LOG     (bench/wineingest.sh)
//   kalvex-bench --scenario-run [--quick]    the headless scenario's figures alone

#include "benchapplication.h"
#include "benchrunner.h"
#include "benchscale.h"
#include "ptyflood.h"
#include "report.h"
#include "scenariobench.h"
#include "scenarios.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QStringList>
#include <QSysInfo>
#include <QThread>

#include <cstdio>
#include <cstring>

namespace {

QString option(const QStringList &args, const QString &name, const QString &fallback = {}) {
    const qsizetype i = args.indexOf(name);
    return i >= 0 && i + 1 < args.size() ? args.at(i + 1) : fallback;
}

QString cpuModel() {
    QFile info(QStringLiteral("/proc/cpuinfo"));
    if (info.open(QIODevice::ReadOnly))
        for (const QByteArray &line : info.readAll().split('\n'))
            if (line.startsWith("model name"))
                return QString::fromLatin1(line.mid(line.indexOf(':') + 1).trimmed());
    return QSysInfo::currentCpuArchitecture();
}

QString machine() {
    return QStringLiteral("%1, %2 cores; %3 %4; Qt %5")
        .arg(cpuModel())
        .arg(QThread::idealThreadCount())
        .arg(QSysInfo::kernelType(), QSysInfo::kernelVersion(), QString::fromLatin1(qVersion()));
}

int runOneScenario(int argc, char **argv) {
    BenchApplication app(argc, argv);
    const QStringList args = app.arguments();
    const BenchScale scale = args.contains("--quick") ? BenchScale::quick() : BenchScale::full();
    const auto view = option(args, "--view") == QLatin1String("baseline")
                          ? ConsoleRig::View::Baseline
                          : ConsoleRig::View::Ours;
    const QJsonObject result = runScenario(app, option(args, "--scenario"), view,
                                           option(args, "--level", "0").toLongLong(), scale);
    std::printf("RESULT %s\n", QJsonDocument(result).toJson(QJsonDocument::Compact).constData());
    std::fflush(stdout);
    return result.contains("error") ? 1 : 0;
}

int runEverything(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const bool quick = args.contains("--quick");
    BenchRunner runner(QCoreApplication::applicationFilePath(),
                       option(args, "--console", QStringLiteral(KALVEX_CONSOLE_PATH)),
                       quick ? BenchScale::quick() : BenchScale::full(), quick,
                       option(args, "--windows"), option(args, "--windows-ingest"));
    QJsonObject results = runner.runAll();
    results.insert("machine", machine());

    const QString json = option(args, "--json");
    if (!json.isEmpty()) {
        QFile file(json);
        if (file.open(QIODevice::WriteOnly))
            file.write(QJsonDocument(results).toJson());
    }
    const QJsonObject steal = results.value("steal").toObject();
    const QString stolen = steal.isEmpty()
                               ? QString()
                               : QStringLiteral(
                                     "; the host kept the processors waiting %1 s of the "
                                     "run's %2 s (steal)")
                                     .arg(steal.value("seconds").toDouble(), 0, 'f', 2)
                                     .arg(steal.value("runSeconds").toDouble(), 0, 'f', 0);
    std::printf("Machine: %s%s%s\n\n%s", qPrintable(machine()), qPrintable(stolen),
                quick ? " (quick run: small sizes, not the goals' sizes)" : "",
                qPrintable(Report(results).markdown()));
    return 0;
}

}  // namespace

// One flood into a console started by bench/wineingest.sh; its result on
// standard output as the scenarios give theirs.
int runPtyFloodOnly(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const qsizetype at = args.indexOf(QStringLiteral("--pty-flood"));
    if (at + 3 >= args.size()) {
        std::fprintf(stderr, "usage: kalvex-bench --pty-flood LINK BYTES LOG\n");
        return 2;
    }
    const QJsonObject result =
        runPtyFlood(args.at(at + 1), args.at(at + 2).toLongLong(), args.at(at + 3), 120'000);
    std::printf("RESULT %s\n", QJsonDocument(result).toJson(QJsonDocument::Compact).constData());
    std::fflush(stdout);
    return result.contains("error") ? 1 : 0;
}

// The headless scenario alone, its figures as JSON: no display needed.
int runScenarioRun(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    const BenchScale scale =
        app.arguments().contains("--quick") ? BenchScale::quick() : BenchScale::full();
    const QJsonObject result = ScenarioBench::run(
        QStringLiteral(KALVEX_CONSOLE_PATH), QStringLiteral(KALVEX_SIM_PATH), scale.scenarioSteps);
    std::printf("%s\n", QJsonDocument(result).toJson(QJsonDocument::Compact).constData());
    return result.contains("error") ? 1 : 0;
}

int main(int argc, char **argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--scenario") == 0)
            return runOneScenario(argc, argv);
        if (std::strcmp(argv[i], "--pty-flood") == 0)
            return runPtyFloodOnly(argc, argv);
        if (std::strcmp(argv[i], "--scenario-run") == 0)
            return runScenarioRun(argc, argv);
    }
    return runEverything(argc, argv);
}
