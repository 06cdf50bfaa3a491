#include "report.h"

#include "benchstats.h"

#include <QJsonArray>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr double kMB = 1e6;
constexpr double kKiBPerMiB = 1024.0;

using Cell = Report::Cell;
using Goal = Report::Goal;

QString mbText(double bytes) {
    return Report::formatValue(bytes / kMB) + QStringLiteral(" MB");
}

Cell missing(const QJsonObject &run) {
    if (run.isEmpty())
        return {std::nullopt, QStringLiteral("not run"), {}};
    return {std::nullopt, QStringLiteral("failed"), run.value("error").toString()};
}

bool usable(const QJsonObject &run) {
    return !run.isEmpty() && !run.contains("error");
}

// How a flood that did not finish came to an end.
QString stopNote(const QJsonObject &run) {
    // Runs without a flood (the idle replies) have nothing to stop.
    if (!run.contains("complete") || run.value("complete").toBool())
        return {};
    const QString by = run.value("stoppedBy").toString();
    const QString why = by == QLatin1String("time")     ? QStringLiteral("its time budget")
                        : by == QLatin1String("memory") ? QStringLiteral("memory running short")
                                                        : QStringLiteral("a pty failure");
    return QStringLiteral("stopped by %1 after %2 s, at %3 of %4; the figure is over what it took")
        .arg(why, Report::formatValue(run.value("seconds").toDouble()),
             mbText(run.value("consumed").toDouble()), mbText(run.value("bytes").toDouble()));
}

// A figure of a flood, noted when the flood stopped early.
Cell floodCell(const QJsonObject &run, double value) {
    if (!usable(run))
        return missing(run);
    if (!std::isfinite(value))
        return {std::nullopt, QStringLiteral("—"), stopNote(run)};
    return {value, {}, stopNote(run)};
}

double consumedMB(const QJsonObject &run) {
    return run.value("consumed").toDouble() / kMB;
}

// The first checkpoint at or past `bytes`: consumed, CPU s, RSS KiB, s.
std::optional<QJsonArray> checkpointAt(const QJsonObject &run, double bytes) {
    if (bytes <= 0)
        return QJsonArray{0.0, 0.0, run.value("rssBeforeKiB").toDouble(), 0.0};
    for (const QJsonValue &point : run.value("checkpoints").toArray()) {
        const QJsonArray p = point.toArray();
        if (p.at(0).toDouble() >= bytes)
            return p;
    }
    return std::nullopt;
}

// CPU seconds per MB over a stretch of a flood's checkpoints.
std::optional<double> costBetween(const QJsonObject &run, double from, double to) {
    const auto a = checkpointAt(run, from);
    const auto b = checkpointAt(run, to);
    if (!a || !b || b->at(0).toDouble() <= a->at(0).toDouble())
        return std::nullopt;
    return (b->at(1).toDouble() - a->at(1).toDouble()) /
           ((b->at(0).toDouble() - a->at(0).toDouble()) / kMB);
}

QJsonObject baselineLevel(const QJsonObject &levels, double level) {
    for (const QJsonValue &v : levels.value("baseline").toArray())
        if (v.toObject().value("level").toDouble() == level)
            return v.toObject();
    return {};
}

Cell oursMemoryAt(const QJsonObject &run, double level) {
    if (!usable(run))
        return missing(run);
    const auto p = checkpointAt(run, level);
    if (!p)
        return {std::nullopt, QStringLiteral("not reached"), stopNote(run)};
    const double grown = (p->at(2).toDouble() - run.value("rssBeforeKiB").toDouble()) / kKiBPerMiB;
    return {grown / (p->at(0).toDouble() / kMB), {}, {}};
}

Cell baselineMemoryAt(const QJsonObject &levels, double level) {
    const QJsonObject probe = baselineLevel(levels, level);
    if (!usable(probe))
        return missing(probe);
    const double grown =
        (probe.value("rssAfterKiB").toDouble() - probe.value("rssBeforeKiB").toDouble()) /
        kKiBPerMiB;
    return {grown / (probe.value("held").toDouble() / kMB), {}, {}};
}

Cell oursCostAt(const QJsonObject &run, double level, double window) {
    if (!usable(run))
        return missing(run);
    const auto cost = costBetween(run, level, level + window);
    if (!cost)
        return {std::nullopt, QStringLiteral("not reached"), stopNote(run)};
    return {*cost, {}, {}};
}

QString probeNote(const QJsonObject &probe) {
    return QStringLiteral(
               "the text replaced once by %1 (%2 s), then %3 of appends in %4 chunks; the first "
               "chunk is left out")
        .arg(mbText(probe.value("level").toDouble()),
             Report::formatValue(probe.value("prefillS").toDouble()),
             mbText(probe.value("probeBytes").toDouble()),
             QString::number(probe.value("probeChunks").toInt()));
}

Cell baselineCostAt(const QJsonObject &levels, double level) {
    const QJsonObject probe = baselineLevel(levels, level);
    if (!usable(probe))
        return missing(probe);
    const double bytes = probe.value("probeBytes").toDouble();
    if (bytes <= 0)
        return {std::nullopt, QStringLiteral("—"), probeNote(probe)};
    return {probe.value("probeCpuS").toDouble() / (bytes / kMB), {}, probeNote(probe)};
}

Cell quotient(const Cell &top, const Cell &bottom) {
    if (!top.value || !bottom.value || *bottom.value <= 0)
        return {std::nullopt, QStringLiteral("—"), {}};
    return {*top.value / *bottom.value, {}, {}};
}

// The line's cost per MB against that of ordinary lines over the same
// stretch from the start: all of the line when both floods got that far.
Cell lineAgainstLines(const QJsonObject &line, const QJsonObject &lines, double lineBytes,
                      double step) {
    if (!usable(line))
        return missing(line);
    if (!usable(lines))
        return missing(lines);
    double stretch = std::min(
        {lineBytes, line.value("consumed").toDouble(), lines.value("consumed").toDouble()});
    stretch = std::floor(stretch / step) * step;
    const auto a = costBetween(line, 0, stretch);
    const auto b = costBetween(lines, 0, stretch);
    if (!a || !b || *b <= 0)
        return {std::nullopt, QStringLiteral("—"), {}};
    QString note;
    if (stretch < lineBytes)
        note = QStringLiteral("both over the first %1, as far as both floods got")
                   .arg(mbText(stretch));
    return {*a / *b, {}, note};
}

Cell latencyCell(const QJsonObject &run, const char *key) {
    if (!usable(run))
        return missing(run);
    const QJsonObject replies = run.value("replies").toObject();
    const int count = replies.value("count").toInt();
    if (count == 0)
        return {std::nullopt, QStringLiteral("—"), stopNote(run)};
    QString note = stopNote(run);
    const int unresolved = replies.value("unresolved").toInt();
    if (unresolved > 0) {
        const QString waited =
            QStringLiteral(
                "%1 of %2 replies never reached the screen and count with the time they "
                "waited, so the figure is a lower bound")
                .arg(unresolved)
                .arg(count);
        note = note.isEmpty() ? waited : note + QStringLiteral("; ") + waited;
    } else if (!note.isEmpty()) {
        note += QStringLiteral(" (%1 replies)").arg(count);
    }
    return {replies.value(key).toDouble(), {}, note};
}

// A figure of the history run, when the run did what it measures.
Cell historyCell(const QJsonObject &run, const char *key, const char *needs,
                 const QString &note = {}) {
    if (!usable(run))
        return missing(run);
    if (!run.value(needs).toBool())
        return {std::nullopt, QStringLiteral("failed"),
                QStringLiteral("the run did not see \"%1\"").arg(QLatin1String(needs))};
    const double value = run.value(key).toDouble(-1);
    if (value < 0)
        return {std::nullopt, QStringLiteral("—"), {}};
    return {value, {}, note};
}

double runRate(const QJsonObject &run) {
    return consumedMB(run) / run.value("seconds").toDouble();
}

double runCpu(const QJsonObject &run) {
    return run.value("cpuS").toDouble() / consumedMB(run);
}

std::vector<QJsonObject> runsOf(const QJsonValue &value) {
    std::vector<QJsonObject> runs;
    if (value.isObject())
        runs.push_back(value.toObject());
    for (const QJsonValue &run : value.toArray()) runs.push_back(run.toObject());
    return runs;
}

// The run whose throughput is the middle one of the usable runs; the first
// run (which says why) when none is usable.
QJsonObject middleRun(const std::vector<QJsonObject> &runs) {
    std::vector<QJsonObject> ok;
    for (const QJsonObject &run : runs) {
        if (usable(run) && runRate(run) > 0)
            ok.push_back(run);
    }
    if (ok.empty())
        return runs.empty() ? QJsonObject() : runs.front();
    std::sort(ok.begin(), ok.end(),
              [](const QJsonObject &a, const QJsonObject &b) { return runRate(a) < runRate(b); });
    return ok[(ok.size() - 1) / 2];
}

// The median of a figure over the runs that finished, with a note of how
// many there were; empty when none did.
Cell medianCell(const std::vector<QJsonObject> &runs, double (*figure)(const QJsonObject &),
                const QString &what) {
    std::vector<double> values;
    for (const QJsonObject &run : runs) {
        if (usable(run) && run.value("complete").toBool())
            values.push_back(figure(run));
    }
    if (values.empty())
        return runs.empty() ? missing({}) : Cell{std::nullopt, QStringLiteral("—"), {}};
    return {BenchStats::median(values),
            {},
            QStringLiteral("the median of %1 %2").arg(values.size()).arg(what)};
}

// Each run of the ordinary flood against the run of another kind right after
// it (the receive log on, the receive times shown): the median of the
// quotients of their throughputs, over the pairs where both finished, and
// the other kind's runs that counted.
struct Pairs {
    Cell cell;
    std::vector<QJsonObject> others;
};

Pairs pairWithFlood(const std::vector<QJsonObject> &plainRuns,
                    const std::vector<QJsonObject> &otherRuns) {
    Pairs pairs;
    pairs.cell = otherRuns.empty() ? missing({}) : Cell{std::nullopt, QStringLiteral("—"), {}};
    std::vector<double> fractions;
    for (size_t i = 0; i < plainRuns.size() && i < otherRuns.size(); ++i) {
        const QJsonObject &plain = plainRuns[i];
        const QJsonObject &other = otherRuns[i];
        if (!usable(plain) || !usable(other) || !plain.value("complete").toBool() ||
            !other.value("complete").toBool() || runRate(plain) <= 0)
            continue;
        fractions.push_back(runRate(other) / runRate(plain));
        pairs.others.push_back(other);
    }
    if (fractions.empty())
        return pairs;
    QStringList each;
    for (const double f : fractions) each << Report::formatValue(f);
    pairs.cell = {BenchStats::median(fractions),
                  {},
                  QStringLiteral("the median of %1 pairs (%2)")
                      .arg(fractions.size())
                      .arg(each.join(QStringLiteral(", ")))};
    return pairs;
}

}  // namespace

Report::Report(const QJsonObject &results) : m_results(results) {
    const QJsonObject scale = results.value("scale").toObject();
    const double floodBytes = scale.value("floodBytes").toDouble();
    const double lineBytes = scale.value("lineBytes").toDouble();
    const double low = scale.value("lowLevel").toDouble();
    const double top = scale.value("topLevel").toDouble();
    const double window = scale.value("levelWindow").toDouble();
    const double step = scale.value("checkpointStep").toDouble(125'000);

    auto pick = [&results](const char *scenario, const char *view) {
        return results.value(scenario).toObject().value(view).toObject();
    };
    const QJsonObject floodResults = results.value("flood").toObject();
    const std::vector<QJsonObject> floodOursRuns = runsOf(floodResults.value("ours"));
    const std::vector<QJsonObject> bareRuns = runsOf(floodResults.value("bare"));
    const QJsonObject floodOurs = middleRun(floodOursRuns);
    const QJsonObject floodBase = pick("flood", "baseline");
    const QJsonObject idleOurs = pick("idle", "ours");
    const QJsonObject idleBase = pick("idle", "baseline");
    const QJsonObject lineOurs = pick("line", "ours");
    const QJsonObject lineBase = pick("line", "baseline");
    const QJsonObject levels = results.value("levels").toObject();
    const QJsonObject levelsOurs = levels.value("ours").toObject();

    auto rate = runRate;
    auto cpu = runCpu;
    const QString flood = mbText(floodBytes) + QStringLiteral(" flood");
    const QString bareNote = QStringLiteral(
        "runs of the bare reader, each right after a run of "
        "the console");
    Cell oursIngest = floodCell(floodOurs, rate(floodOurs));
    Cell oursCpu = floodCell(floodOurs, cpu(floodOurs));
    if (floodOursRuns.size() > 1 && oursIngest.note.isEmpty()) {
        const QString middle =
            QStringLiteral("the middle of %1 runs by throughput").arg(floodOursRuns.size());
        oursIngest.note = middle;
        oursCpu.note = middle;
    }

    addRow("ingest", QStringLiteral("Ingest through the pty, MB/s (%1)").arg(flood), oursIngest,
           floodCell(floodBase, rate(floodBase)), {Goal::AtLeast, 25}, true,
           medianCell(bareRuns, runRate, bareNote));
    addRow("cpu", QStringLiteral("CPU per MB ingested, s (%1)").arg(flood), oursCpu,
           floodCell(floodBase, cpu(floodBase)), {Goal::AtMost, 0.004}, true,
           medianCell(bareRuns, runCpu, bareNote));

    // Each console run against the bare reader's run right after it, so
    // that both saw the machine in the same mood.
    std::vector<double> fractions;
    for (size_t i = 0; i < floodOursRuns.size() && i < bareRuns.size(); ++i) {
        const QJsonObject &ours = floodOursRuns[i];
        const QJsonObject &bare = bareRuns[i];
        if (usable(ours) && usable(bare) && ours.value("complete").toBool() &&
            bare.value("complete").toBool() && rate(bare) > 0)
            fractions.push_back(rate(ours) / rate(bare));
    }
    Cell fraction = bareRuns.empty() ? missing({}) : Cell{std::nullopt, QStringLiteral("—"), {}};
    if (!fractions.empty()) {
        QStringList each;
        for (const double f : fractions) each << formatValue(f);
        fraction = {BenchStats::median(fractions),
                    {},
                    QStringLiteral("the median of %1 pairs (%2)")
                        .arg(fractions.size())
                        .arg(each.join(QStringLiteral(", ")))};
    }
    addRow("bareFraction",
           QStringLiteral("Ingest ÷ the bare reader's, the same flood in the same run"), fraction,
           {std::nullopt, QStringLiteral("—"), {}}, {Goal::AtLeast, 0.8}, false);

    Cell kept = missing(floodOurs);
    bool allKept = !floodOursRuns.empty();
    bool allChecked = !floodOursRuns.empty();
    for (const QJsonObject &run : floodOursRuns) {
        allChecked = allChecked && run.contains("kept");
        allKept = allKept && run.value("kept").toBool();
    }
    if (usable(floodOurs))
        kept =
            allChecked
                ? Cell{allKept ? 1.0 : 0.0, allKept ? QStringLiteral("yes") : QStringLiteral("no"),
                       floodOursRuns.size() > 1
                           ? QStringLiteral("in every one of the %1 runs").arg(floodOursRuns.size())
                           : QString()}
                : Cell{std::nullopt, QStringLiteral("not checked"), stopNote(floodOurs)};
    addRow("kept", QStringLiteral("Everything kept: the view's text is exactly what was sent"),
           kept, {std::nullopt, QStringLiteral("—"), {}}, {Goal::IsTrue, 0}, false);

    // The same flood with the receive log on, each run right after one
    // without it; the log must hold every byte sent.
    const Pairs logged = pairWithFlood(floodOursRuns, runsOf(floodResults.value("logged")));
    Cell logRatio = logged.cell;
    if (logRatio.value) {
        const bool logKept =
            std::all_of(logged.others.cbegin(), logged.others.cend(),
                        [](const QJsonObject &run) { return run.value("logKept").toBool(); });
        logRatio =
            logKept ? Cell{logRatio.value,
                           {},
                           logRatio.note + QStringLiteral("; each log, a file on the build's "
                                                          "disk, held exactly the bytes sent")}
                    : Cell{std::nullopt, QStringLiteral("bytes lost"),
                           logRatio.note + QStringLiteral("; a log did not hold the bytes sent")};
    }
    addRow(
        "logRatio",
        QStringLiteral("Ingest with the receive log on ÷ with it off, the same flood in the same "
                       "run"),
        logRatio, {std::nullopt, QStringLiteral("—"), {}}, {Goal::AtLeast, 0.85}, false);

    // The console as it is, which takes every received line's time, each
    // run right before one that takes none.
    const Pairs recorded = pairWithFlood(runsOf(floodResults.value("untimed")), floodOursRuns);
    addRow("timesRecordedRatio",
           QStringLiteral("Ingest with the receive times taken ÷ without, the same flood in the "
                          "same run"),
           recorded.cell, {std::nullopt, QStringLiteral("—"), {}}, {Goal::AtLeast, 0.9}, false);

    // The same flood with the receive times shown, each run right after one
    // with them hidden; every received line must have its time.
    const Pairs timed = pairWithFlood(floodOursRuns, runsOf(floodResults.value("timed")));
    addRow("timesRatio",
           QStringLiteral("Ingest with the receive times shown ÷ hidden, the same flood in the "
                          "same run"),
           timed.cell, {std::nullopt, QStringLiteral("—"), {}}, {Goal::AtLeast, 0.9}, false);
    Cell timesCost = timed.cell.value ? Cell{} : timed.cell;
    if (timed.cell.value) {
        std::vector<double> perLine;
        bool everyLine = true;
        for (const QJsonObject &run : timed.others) {
            const double lines = run.value("linesReceived").toDouble();
            everyLine = everyLine && lines > 0 && run.value("timedLines").toDouble() == lines;
            perLine.push_back(run.value("timesBytes").toDouble() / lines);
        }
        timesCost = everyLine
                        ? Cell{BenchStats::median(perLine),
                               {},
                               QStringLiteral("the median of the %1 floods with the times shown; "
                                              "every received line had its time")
                                   .arg(perLine.size())}
                        : Cell{std::nullopt, QStringLiteral("lines without a time"), {}};
    }
    addRow("timesBytes", QStringLiteral("Receive times, bytes a received line of %1").arg(flood),
           timesCost, {std::nullopt, QStringLiteral("—"), {}}, {Goal::AtMost, 8}, false);

    addRow("memoryLow", QStringLiteral("Memory per MB held at %1, MiB").arg(mbText(low)),
           oursMemoryAt(levelsOurs, low), baselineMemoryAt(levels, low), {Goal::AtMost, 4});
    addRow("memoryTop", QStringLiteral("Memory per MB held at %1, MiB").arg(mbText(top)),
           oursMemoryAt(levelsOurs, top), baselineMemoryAt(levels, top), {Goal::AtMost, 1.25});

    addRow("stall", QStringLiteral("Longest event-loop stall during the flood, ms"),
           floodCell(floodOurs, floodOurs.value("stallMs").toDouble()),
           floodCell(floodBase, floodBase.value("stallMs").toDouble()), {Goal::AtMost, 50});

    addRow("idleMedian", QStringLiteral("Reply to screen, idle console, median ms"),
           latencyCell(idleOurs, "medianMs"), latencyCell(idleBase, "medianMs"), {});
    addRow("idleP99", QStringLiteral("Reply to screen, idle console, p99 ms"),
           latencyCell(idleOurs, "p99Ms"), latencyCell(idleBase, "p99Ms"), {Goal::AtMost, 16});
    addRow("floodMedian", QStringLiteral("Reply to screen, during the flood, median ms"),
           latencyCell(floodOurs, "medianMs"), latencyCell(floodBase, "medianMs"), {});
    addRow("floodP99", QStringLiteral("Reply to screen, during the flood, p99 ms"),
           latencyCell(floodOurs, "p99Ms"), latencyCell(floodBase, "p99Ms"), {Goal::AtMost, 16});

    const Cell costZeroOurs = oursCostAt(levelsOurs, 0, window);
    const Cell costZeroBase = baselineCostAt(levels, 0);
    const Cell costTopOurs = oursCostAt(levelsOurs, top, window);
    const Cell costTopBase = baselineCostAt(levels, top);
    addRow("cost0", QStringLiteral("CPU s per MB appended at 0 MB held"), costZeroOurs,
           costZeroBase, {});
    addRow("costMid", QStringLiteral("CPU s per MB appended at %1 held").arg(mbText(top / 2)),
           oursCostAt(levelsOurs, top / 2, window), baselineCostAt(levels, top / 2), {});
    addRow("costTop", QStringLiteral("CPU s per MB appended at %1 held").arg(mbText(top)),
           costTopOurs, costTopBase, {});
    addRow("costGrowth", QStringLiteral("Cost at %1 held ÷ cost at 0 MB held").arg(mbText(top)),
           quotient(costTopOurs, costZeroOurs), quotient(costTopBase, costZeroBase),
           {Goal::AtMost, 1.3}, false);

    addRow("line",
           QStringLiteral("CPU s per MB of a %1 line without line ends").arg(mbText(lineBytes)),
           floodCell(lineOurs, cpu(lineOurs)), floodCell(lineBase, cpu(lineBase)), {});
    addRow("lineRatio",
           QStringLiteral("%1 line ÷ %1 of ordinary lines (CPU)").arg(mbText(lineBytes)),
           lineAgainstLines(lineOurs, floodOurs, lineBytes, step),
           lineAgainstLines(lineBase, floodBase, lineBytes, step), {Goal::AtMost, 2}, false);

    // The DATA view holding the top level: find, delete everything, undo.
    const QJsonObject history = pick("history", "ours");
    const Cell none{std::nullopt, QStringLiteral("—"), {}};
    addRow("find", QStringLiteral("Find through %1 held, ms").arg(mbText(top)),
           historyCell(history, "findMs", "found",
                       QStringLiteral("from the start, any case, the reply on the last line")),
           none, {Goal::AtMost, 100}, false);
    addRow("findStall", QStringLiteral("Longest event-loop stall during that find, ms"),
           historyCell(history, "findStallMs", "found"), none, {Goal::AtMost, 50}, false);
    addRow("save", QStringLiteral("Save of %1 held, ms").arg(mbText(top)),
           historyCell(history, "saveMs", "saved",
                       QStringLiteral("Windows-1250, to a file on the build's disk, until it was "
                                      "synced and in its place")),
           none, {Goal::AtMost, 1000}, false);
    addRow("saveStall", QStringLiteral("Longest event-loop stall during that save, ms"),
           historyCell(history, "saveStallMs", "saved"), none, {Goal::AtMost, 50}, false);
    addRow("undo", QStringLiteral("Undo of a select-all delete of %1, ms").arg(mbText(top)),
           historyCell(history, "undoMs", "restored"), none, {}, false);
    const double rssChange = (history.value("rssAfterDeleteKiB").toDouble() -
                              history.value("rssBeforeDeleteKiB").toDouble()) /
                             kKiBPerMiB;
    Cell historyMemory =
        historyCell(history, "historyBytes", "emptied",
                    QStringLiteral("resident memory changed by %1 MiB across the delete")
                        .arg(formatValue(rssChange)));
    if (historyMemory.value)
        historyMemory.value = *historyMemory.value / (kKiBPerMiB * kKiBPerMiB);
    addRow("historyMemory",
           QStringLiteral("Memory held by the undo history after that delete, MiB"), historyMemory,
           none, {}, false);
    Cell historyShare = historyCell(history, "historyBytes", "emptied");
    if (historyShare.value)
        historyShare.value = *historyShare.value / history.value("textBytes").toDouble();
    addRow("historyShare",
           QStringLiteral("Undo history after that delete ÷ memory the text held before"),
           historyShare, none, {Goal::AtMost, 1.05}, false);

    // The DATA view holding the top level: the hex view and its last row.
    const QJsonObject hex = pick("hexview", "ours");
    addRow("hexSwitch", QStringLiteral("Switch to the hex view with %1 held, ms").arg(mbText(top)),
           historyCell(hex, "switchMs", "atEnd",
                       QStringLiteral("from Ctrl+H to the end of the frame that painted the rows; "
                                      "the view at the text's start")),
           none, {Goal::AtMost, 50}, false);
    addRow("hexEnd",
           QStringLiteral("Hex view to its last row (Ctrl+End) with %1 held, ms").arg(mbText(top)),
           historyCell(hex, "endMs", "atEnd"), none, {Goal::AtMost, 50}, false);
    addRow("hexStall", QStringLiteral("Longest event-loop stall during those, ms"),
           historyCell(hex, "stallMs", "atEnd"), none, {Goal::AtMost, 50}, false);
    Cell hexShare = historyCell(
        hex, "hexBytes", "atEnd",
        QStringLiteral("the resident set's growth across both, of %1 MiB the text held")
            .arg(formatValue(hex.value("textBytes").toDouble() / (kKiBPerMiB * kKiBPerMiB))));
    if (hexShare.value)
        hexShare.value = qMax(0.0, *hexShare.value) / hex.value("textBytes").toDouble();
    addRow("hexMemory", QStringLiteral("Hex view's memory ÷ the text's"), hexShare, none,
           {Goal::AtMost, 0.01}, false);

    // Back after a replug.
    const QJsonObject replug = pick("replug", "ours");
    std::vector<double> reopen;
    for (const QJsonValue &ms : replug.value("reopenMs").toArray()) reopen.push_back(ms.toDouble());
    const QString reopenRuns = QStringLiteral("of %1").arg(reopen.size());
    auto replugCell = [&](std::optional<double> value, const QString &note = {}) {
        if (!usable(replug))
            return missing(replug);
        if (!value)
            return Cell{std::nullopt, QStringLiteral("—"), note};
        return Cell{value, {}, note};
    };
    addRow("replugMedian",
           QStringLiteral("Device back to port reopened, median ms (%1)").arg(reopenRuns),
           replugCell(reopen.empty() ? std::nullopt
                                     : std::optional<double>(BenchStats::median(reopen))),
           none, {}, false);
    addRow("replugWorst",
           QStringLiteral("Device back to port reopened, worst ms (%1)").arg(reopenRuns),
           replugCell(reopen.empty() ? std::nullopt
                                     : std::optional<double>(
                                           *std::max_element(reopen.cbegin(), reopen.cend()))),
           none, {Goal::AtMost, 1000}, false);
    const double waitS = replug.value("waitS").toDouble();
    addRow("replugCpu",
           QStringLiteral("CPU while waiting for the device, % of a processor (%1 s)")
               .arg(formatValue(waitS)),
           replugCell(waitS > 0
                          ? std::optional<double>(replug.value("waitCpuS").toDouble() / waitS * 100)
                          : std::nullopt,
                      replug.value("stillWaiting").toBool()
                          ? QString()
                          : QStringLiteral("the console was not waiting at the end")),
           none, {Goal::AtMost, 1}, false);

    // A long scenario headless against the simulator at full speed, beside
    // the device's own round trip.
    const QJsonObject scenario = results.value("scenario").toObject();
    const int steps = scenario.value("steps").toInt(scale.value("scenarioSteps").toInt());
    auto scenarioCell = [&](double value, const QString &note) {
        if (!usable(scenario))
            return missing(scenario);
        if (!scenario.value("passed").toBool())
            return Cell{std::nullopt, QStringLiteral("failed"),
                        QStringLiteral("the run did not pass every step")};
        return Cell{value, {}, note};
    };
    const double stepMs = scenario.value("stepMedianMs").toDouble();
    const double bareMs = scenario.value("bareMedianMs").toDouble();
    addRow("scenarioStep",
           QStringLiteral("Scenario step less the device's round trip, median ms (%1 steps, "
                          "headless)")
               .arg(steps),
           scenarioCell(stepMs - bareMs,
                        QStringLiteral("a step's median %1 ms, the bare reader/writer's round "
                                       "trip %2 ms; the whole run %3 s with start-up")
                            .arg(formatValue(stepMs), formatValue(bareMs),
                                 formatValue(scenario.value("wallS").toDouble()))),
           none, {Goal::AtMost, 0.5}, false);
    addRow("scenarioMemory",
           QStringLiteral("Scenario run of %1 steps, peak memory, MiB").arg(steps),
           scenarioCell(scenario.value("peakRssKiB").toDouble() / kKiBPerMiB, {}), none,
           {Goal::AtMost, 40}, false);

    const QJsonObject startup = results.value("startup").toObject();
    const QJsonArray runs = startup.value("runs").toArray();
    std::vector<double> toMapped, idleRss;
    for (const QJsonValue &r : runs) {
        toMapped.push_back(r.toObject().value("toMappedMs").toDouble());
        idleRss.push_back(r.toObject().value("idleRssMiB").toDouble());
    }
    auto startupCell = [&](std::vector<double> values) {
        if (values.empty())
            return missing(startup);
        return Cell{BenchStats::median(std::move(values)), {}, {}};
    };
    const QString median = QStringLiteral("median of %1").arg(runs.size());
    addRow("startup", QStringLiteral("Start-up to a mapped window, ms (%1)").arg(median),
           startupCell(toMapped), none, {Goal::AtMost, 150}, false);
    addRow("idleMemory", QStringLiteral("Idle memory, MiB (%1)").arg(median), startupCell(idleRss),
           none, {Goal::AtMost, 40}, false);

    // The Windows build, where it was made: its two files, and its start-up
    // under Wine as a figure to compare across runs.
    const QJsonObject windows = results.value("windows").toObject();
    const Cell notBuilt{std::nullopt, QStringLiteral("not built"), {}};
    const bool built = !windows.isEmpty() && !windows.value("notBuilt").toBool();
    auto sizeCell = [&](const char *key) {
        return built ? Cell{windows.value(key).toDouble() / kMB, {}, {}} : notBuilt;
    };
    addRow("windowsZip", QStringLiteral("Windows: the portable zip, MB"), sizeCell("zipBytes"),
           none, {}, false);
    addRow("windowsSetup", QStringLiteral("Windows: the installer, MB"), sizeCell("setupBytes"),
           none, {}, false);
    std::vector<double> wineStartup;
    for (const QJsonValue &ms : windows.value("startupMs").toArray())
        wineStartup.push_back(ms.toDouble());
    const Cell wineCell = !built                ? notBuilt
                          : wineStartup.empty() ? missing(windows)
                                                : Cell{BenchStats::median(wineStartup), {}, {}};
    addRow("windowsStartup",
           QStringLiteral("Windows: start-up to a shown window under Wine, ms (median of %1)")
               .arg(wineStartup.size()),
           wineCell, none, {}, false);

    // Its ingest under Wine 10 beside the Linux build's, both taken the same
    // way in the same run (bench/wineingest.sh), the runs alternating: a
    // figure to compare, not a goal.
    const QJsonObject ingest = windows.value("ingest").toObject();
    const QJsonArray onWine = ingest.value("windows").toArray();
    const QJsonArray onLinux = ingest.value("linux").toArray();
    std::vector<double> wineRates, linuxRates, quotients;
    QJsonObject failedRun = ingest.contains("error") ? ingest : QJsonObject{};
    int notKept = 0;
    for (qsizetype i = 0; i < std::min(onWine.size(), onLinux.size()); ++i) {
        const QJsonObject w = onWine.at(i).toObject();
        const QJsonObject l = onLinux.at(i).toObject();
        for (const QJsonObject &run : {w, l}) {
            if (!usable(run) && failedRun.isEmpty())
                failedRun = run;
            notKept += usable(run) && !run.value("kept").toBool();
        }
        if (!usable(w) || !usable(l))
            continue;
        wineRates.push_back(w.value("mbPerSecond").toDouble());
        linuxRates.push_back(l.value("mbPerSecond").toDouble());
        quotients.push_back(wineRates.back() / linuxRates.back());
    }
    const QString keptNote =
        notKept ? QStringLiteral("the log did not hold exactly the flood in %1 of the %2 floods")
                      .arg(notKept)
                      .arg(onWine.size() + onLinux.size())
                : QString();
    auto ingestCell = [&](std::vector<double> values) -> Cell {
        if (!built)
            return notBuilt;
        if (values.empty())
            return missing(failedRun.isEmpty() ? ingest : failedRun);
        return {BenchStats::median(std::move(values)), {}, keptNote};
    };
    const QString pairs = QStringLiteral("median of %1").arg(quotients.size());
    addRow("windowsIngest",
           QStringLiteral("Windows: ingest of a %1 flood under Wine 10, receive log on, MB/s (%2)")
               .arg(mbText(ingest.value("bytes").toDouble()), pairs),
           ingestCell(wineRates), none, {}, false);
    addRow("windowsIngestLinux",
           QStringLiteral("Linux: the same flood taken the same way, MB/s (%1)").arg(pairs),
           ingestCell(linuxRates), none, {}, false);
    addRow("windowsIngestRatio",
           QStringLiteral("Windows under Wine 10 ÷ Linux, the same flood (%1 of the pairs)")
               .arg(pairs),
           ingestCell(quotients), none, {}, false);
}

void Report::addRow(const QString &id, const QString &figure, Cell ours, Cell baseline, Goal goal,
                    bool ratio, Cell bare) {
    m_rows.append({id, figure, std::move(ours), std::move(baseline), goal, ratio, std::move(bare)});
}

const Report::Row *Report::row(const QString &id) const {
    for (const Row &r : m_rows)
        if (r.id == id)
            return &r;
    return nullptr;
}

std::optional<bool> Report::met(const Row &row) {
    if (row.goal.kind == Goal::None)
        return std::nullopt;
    if (!row.ours.value)
        return false;
    const double v = *row.ours.value;
    switch (row.goal.kind) {
        case Goal::AtLeast:
            return v >= row.goal.limit;
        case Goal::AtMost:
            return v <= row.goal.limit;
        case Goal::IsTrue:
            return v != 0;
        case Goal::None:
            break;
    }
    return std::nullopt;
}

QString Report::formatValue(double value) {
    if (!std::isfinite(value))
        return QStringLiteral("—");
    const double magnitude = std::fabs(value);
    if (magnitude == 0)
        return QStringLiteral("0");
    if (magnitude >= 100)
        return QString::number(value, 'f', 0);
    if (magnitude < 0.001)
        return QString::number(value, 'e', 1);
    const int decimals = 2 - int(std::floor(std::log10(magnitude)));
    return QString::number(value, 'f', decimals);
}

QString Report::markdown() const {
    QStringList notes;
    auto cellText = [&notes](const Cell &cell) {
        QString text = cell.text.isEmpty() && cell.value ? formatValue(*cell.value) : cell.text;
        if (text.isEmpty())
            text = QStringLiteral("—");
        if (!cell.note.isEmpty()) {
            qsizetype index = notes.indexOf(cell.note);
            if (index < 0) {
                notes.append(cell.note);
                index = notes.size() - 1;
            }
            text += QStringLiteral(" [%1]").arg(index + 1);
        }
        return text;
    };
    auto goalText = [](const Goal &goal) {
        switch (goal.kind) {
            case Goal::AtLeast:
                return QStringLiteral("≥ ") + QString::number(goal.limit);
            case Goal::AtMost:
                return QStringLiteral("≤ ") + QString::number(goal.limit);
            case Goal::IsTrue:
                return QStringLiteral("yes");
            case Goal::None:
                break;
        }
        return QStringLiteral("—");
    };

    QString out = QStringLiteral(
        "| Figure | Kalvex | Baseline | Kalvex ÷ baseline | Bare reader | Goal | Met? |\n"
        "|---|---:|---:|---:|---:|---:|:---:|\n");
    for (const Row &row : m_rows) {
        QString ratio = QStringLiteral("—");
        if (row.ratio && row.ours.value && row.baseline.value && *row.baseline.value != 0)
            ratio = formatValue(*row.ours.value / *row.baseline.value);
        const auto ok = met(row);
        // One after the other, so that notes are numbered from left to right.
        const QString ours = cellText(row.ours);
        const QString baseline = cellText(row.baseline);
        const QString bare = cellText(row.bare);
        out += QStringLiteral("| %1 | %2 | %3 | %4 | %5 | %6 | %7 |\n")
                   .arg(row.figure, ours, baseline, ratio, bare, goalText(row.goal),
                        ok ? (*ok ? QStringLiteral("yes") : QStringLiteral("no"))
                           : QStringLiteral("—"));
    }
    if (!notes.isEmpty()) {
        out += QLatin1Char('\n');
        for (qsizetype i = 0; i < notes.size(); ++i)
            out += QStringLiteral("[%1] %2.\n").arg(i + 1).arg(notes.at(i));
    }
    return out;
}
