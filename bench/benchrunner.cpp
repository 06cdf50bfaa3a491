#include "benchrunner.h"

#include "procstats.h"
#include "scenariobench.h"
#include "startupprobe.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QStandardPaths>

#include <cstdio>

BenchRunner::BenchRunner(QString self, QString consoleProgram, BenchScale scale, bool quick,
                         QString windowsBuild, QString windowsIngest)
    : m_self(std::move(self)),
      m_console(std::move(consoleProgram)),
      m_scale(scale),
      m_quick(quick),
      m_windows(std::move(windowsBuild)),
      m_windowsIngest(std::move(windowsIngest)),
      m_startNs(ProcStats::monotonicNs()) {}

QJsonObject BenchRunner::runAll() {
    QJsonObject results{{"scale", m_scale.toJson()}};
    const qint64 stealBefore = ProcStats::stealNs();
    const qint64 startNs = ProcStats::monotonicNs();
    results.insert("startup", runStartup());
    results.insert("windows", runWindows());

    // Each figure: the console, then the baseline right after it, so that
    // both see the machine in the same mood. The ordinary flood runs a few
    // times, each time followed by the bare reader of the same flood.
    for (const char *scenario : {"idle", "flood", "line"}) {
        QJsonObject pair;
        if (scenario == QLatin1String("flood")) {
            // The console without the receive times taken, with its receive
            // log on, and with the times shown, runs right after the same
            // console as it is, so that they compare in one mood.
            QJsonArray ours;
            QJsonArray bare;
            QJsonArray logged;
            QJsonArray timed;
            QJsonArray untimed;
            for (int i = 0; i < m_scale.floodRuns; ++i) {
                ours.append(runChild(scenario, "ours"));
                untimed.append(runChild("floodnotimes", "ours"));
                logged.append(runChild("floodlog", "ours"));
                bare.append(runChild("bare", "ours"));
                timed.append(runChild("floodtimes", "ours"));
            }
            pair.insert("ours", ours);
            pair.insert("bare", bare);
            pair.insert("logged", logged);
            pair.insert("timed", timed);
            pair.insert("untimed", untimed);
        } else {
            pair.insert("ours", runChild(scenario, "ours"));
        }
        pair.insert("baseline", runChild(scenario, "baseline"));
        results.insert(scenario, pair);
    }
    QJsonObject levels{{"ours", runChild("levels", "ours")}};
    QJsonArray probes;
    for (const qint64 level : {qint64(0), m_scale.lowLevel, m_scale.topLevel / 2, m_scale.topLevel})
        probes.append(runChild("levels", "baseline", level));
    levels.insert("baseline", probes);
    results.insert("levels", levels);
    results.insert("history", QJsonObject{{"ours", runChild("history", "ours")}});
    results.insert("hexview", QJsonObject{{"ours", runChild("hexview", "ours")}});
    results.insert("replug", QJsonObject{{"ours", runChild("replug", "ours")}});
    progress(QStringLiteral("a scenario of %1 steps headless...").arg(m_scale.scenarioSteps));
    results.insert("scenario", ScenarioBench::run(m_console, QStringLiteral(KALVEX_SIM_PATH),
                                                  m_scale.scenarioSteps));
    const qint64 stealAfter = ProcStats::stealNs();
    if (stealBefore >= 0 && stealAfter >= 0)
        results.insert(
            "steal", QJsonObject{{"seconds", double(stealAfter - stealBefore) / 1e9},
                                 {"runSeconds", double(ProcStats::monotonicNs() - startNs) / 1e9}});
    return results;
}

QJsonObject BenchRunner::runChild(const QString &scenario, const QString &view, qint64 level) {
    const QString label =
        scenario == QLatin1String("bare")
            ? QStringLiteral("bare reader")
            : scenario + QLatin1Char(' ') + view +
                  (scenario == QLatin1String("levels") && view == QLatin1String("baseline")
                       ? QStringLiteral(" at %1 MB").arg(double(level) / 1e6)
                       : QString());
    progress(label + QStringLiteral("..."));
    QStringList args{"--scenario", scenario, "--view", view, "--level", QString::number(level)};
    if (m_quick)
        args << "--quick";
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(m_self, args);
    if (!child.waitForStarted() || !child.waitForFinished(15 * 60 * 1000)) {
        child.kill();
        child.waitForFinished();
        return {{"error", label + QStringLiteral(": did not finish")}};
    }
    const QList<QByteArray> lines = child.readAllStandardOutput().split('\n');
    for (const QByteArray &line : lines) {
        if (!line.startsWith("RESULT "))
            continue;
        const QJsonObject result = QJsonDocument::fromJson(line.mid(7)).object();
        if (result.contains("error"))
            progress(label + QStringLiteral(": ") + result.value("error").toString());
        return result;
    }
    return {{"error", label + QStringLiteral(": no result (exit code %1)").arg(child.exitCode())}};
}

QJsonObject BenchRunner::runStartup() {
    progress(QStringLiteral("start-up of %1...").arg(m_console));
    StartupProbe probe;
    if (!probe.isValid())
        return {{"error", probe.error()}};
    // The first start warms the caches and is not counted.
    probe.measure(m_console);
    QJsonArray runs;
    for (int i = 0; i < m_scale.startupRuns; ++i) {
        const auto run = probe.measure(m_console);
        if (!run)
            return {{"error", probe.error()}};
        runs.append(QJsonObject{{"toMappedMs", run->toMappedMs}, {"idleRssMiB", run->idleRssMiB}});
    }
    return {{"runs", runs}};
}

// The Windows build's two files, its ingest beside the Linux build's as
// bench/wineingest.sh measured them, and the start-up of its program under
// Wine in the prefix that bench/run.sh made (WINEPREFIX), its server kept
// running.
QJsonObject BenchRunner::runWindows() {
    const QDir build(m_windows);
    const QFileInfoList zips =
        build.entryInfoList({QStringLiteral("rs232-kalvex-*-windows-x64.zip")}, QDir::Files);
    const QFileInfoList setups =
        build.entryInfoList({QStringLiteral("rs232-kalvex-*-setup.exe")}, QDir::Files);
    if (m_windows.isEmpty() || zips.isEmpty() || setups.isEmpty())
        return {{"notBuilt", true}};
    QJsonObject result{{"zipBytes", double(zips.first().size())},
                       {"setupBytes", double(setups.first().size())}};
    if (!m_windowsIngest.isEmpty()) {
        QFile ingest(m_windowsIngest);
        result.insert("ingest", ingest.open(QIODevice::ReadOnly)
                                    ? QJsonDocument::fromJson(ingest.readAll()).object()
                                    : QJsonObject{{"error", QStringLiteral("no figures written")}});
    }
    const QString wine = QStandardPaths::findExecutable(QStringLiteral("wine"));
    QString program;
    QDirIterator found(build.filePath(QStringLiteral("stage")), {QStringLiteral("*.exe")},
                       QDir::Files, QDirIterator::Subdirectories);
    if (found.hasNext())
        program = found.next();
    if (wine.isEmpty() || program.isEmpty() || qEnvironmentVariableIsEmpty("WINEPREFIX")) {
        result.insert("error", QStringLiteral("no Wine, no staged program or no WINEPREFIX"));
        return result;
    }
    progress(QStringLiteral("start-up of %1 under Wine...").arg(program));
    StartupProbe probe;
    if (!probe.isValid() || !probe.measure(wine, {program}, 0, 60'000)) {
        result.insert("error", probe.error());
        return result;
    }
    QJsonArray runs;
    for (int i = 0; i < m_scale.startupRuns; ++i) {
        const auto run = probe.measure(wine, {program}, 0, 60'000);
        if (!run) {
            result.insert("error", probe.error());
            return result;
        }
        runs.append(run->toMappedMs);
    }
    result.insert("startupMs", runs);
    return result;
}

void BenchRunner::progress(const QString &text) const {
    const double elapsed = double(ProcStats::monotonicNs() - m_startNs) / 1e9;
    std::fprintf(stderr, "[%4.0f s] %s\n", elapsed, qPrintable(text));
    std::fflush(stderr);
}
