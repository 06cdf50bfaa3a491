// The benchmark's own measuring: if these are wrong, every figure is.

#include <QJsonArray>
#include <QJsonObject>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <poll.h>
#include <unistd.h>
#include <cmath>

#include "benchstats.h"
#include "floodstream.h"
#include "floodwriter.h"
#include "procstats.h"
#include "ptydevice.h"
#include "replytracker.h"
#include "report.h"
#include "stallmeter.h"

namespace {

QByteArray drain(FloodStream &stream, qint64 pieceBytes, int *replies = nullptr) {
    QByteArray all;
    for (FloodPiece piece = stream.next(pieceBytes); !piece.bytes.isEmpty();
         piece = stream.next(pieceBytes)) {
        if (piece.reply && replies)
            ++*replies;
        all += piece.bytes;
    }
    return all;
}

// Checkpoints as a flood records them: consumed, CPU s, RSS KiB, s.
QJsonArray checkpoints(double step, double upTo, double cpuPerMB, double rssBeforeKiB,
                       double kibPerMB, double dearFrom = -1, double dearCpuPerMB = 0) {
    QJsonArray points;
    double cpu = 0;
    for (double bytes = step; bytes <= upTo; bytes += step) {
        cpu += (dearFrom >= 0 && bytes > dearFrom ? dearCpuPerMB : cpuPerMB) * step / 1e6;
        points.append(QJsonArray{bytes, cpu, rssBeforeKiB + kibPerMB * bytes / 1e6, 0.0});
    }
    return points;
}

QJsonObject floodRun(double bytes, double consumed, double seconds, double cpuS, bool complete,
                     QJsonArray points = {}) {
    return {{"bytes", bytes},
            {"consumed", consumed},
            {"seconds", seconds},
            {"cpuS", cpuS},
            {"complete", complete},
            {"stoppedBy", complete ? "" : "time"},
            {"stallMs", 12.0},
            {"rssBeforeKiB", 30'000.0},
            {"checkpoints", points},
            {"replies",
             QJsonObject{{"count", 1000}, {"unresolved", 0}, {"medianMs", 4.0}, {"p99Ms", 15.0}}}};
}

enum class Met { Yes, No, NoGoal, NoRow };

Met metOf(const Report &report, const char *id) {
    const Report::Row *row = report.row(id);
    if (!row)
        return Met::NoRow;
    const auto met = Report::met(*row);
    return !met ? Met::NoGoal : *met ? Met::Yes : Met::No;
}

}  // namespace

class TestBench : public QObject {
    Q_OBJECT

private slots:
    void linesAreNumberedSixtyByteLines_data() {
        QTest::addColumn<qint64>("total");
        QTest::addColumn<qint64>("piece");
        QTest::newRow("whole lines, large pieces") << qint64(6000) << qint64(65536);
        QTest::newRow("cut last line, odd pieces") << qint64(10'007) << qint64(997);
        QTest::newRow("byte by byte") << qint64(601) << qint64(1);
    }
    void linesAreNumberedSixtyByteLines() {
        QFETCH(qint64, total);
        QFETCH(qint64, piece);
        FloodStream stream(FloodStream::Shape::Lines, total);
        const QByteArray all = drain(stream, piece);
        QCOMPARE(all.size(), total);
        QCOMPARE(stream.produced(), total);
        QVERIFY(stream.next(piece).bytes.isEmpty());
        for (qint64 n = 0; (n + 1) * FloodStream::LineLength <= total; ++n) {
            const QByteArray line = all.mid(n * FloodStream::LineLength, FloodStream::LineLength);
            QCOMPARE(line.left(9), QByteArray::number(n).rightJustified(8, '0') + ' ');
            QVERIFY(line.endsWith("\r\n"));
            QVERIFY(!line.chopped(2).contains('\r') && !line.chopped(2).contains('\n'));
        }
        QCOMPARE(FloodStream::lines(total), all);
    }

    void repliesStandAtLineStartsAtEachInterval() {
        const qint64 every = 1000;
        FloodStream stream(FloodStream::Shape::Lines, 50'000, every);
        int replies = 0;
        const QByteArray all = drain(stream, 4096, &replies);
        QCOMPARE(all.size(), 50'000);

        int found = 0;
        qint64 expectedLine = 0;
        for (qint64 at = 0; at < all.size();) {
            if (all.mid(at, FloodStream::ReplyLength) == FloodStream::Reply) {
                ++found;
                // The line that reached the interval came just before.
                QVERIFY(at >= found * every);
                QVERIFY(at < found * every + FloodStream::LineLength);
                at += FloodStream::ReplyLength;
                continue;
            }
            // No flood line is lost or repeated around the replies.
            const QByteArray number = QByteArray::number(expectedLine++).rightJustified(8, '0');
            QCOMPARE(all.mid(at, 8), number.left(all.size() - at));
            at += FloodStream::LineLength;
        }
        QCOMPARE(found, replies);
        QCOMPARE(found, 49);
    }

    void oneLineHasNoLineEndsWhateverThePieces() {
        FloodStream whole(FloodStream::Shape::OneLine, 100'000, 1000);
        FloodStream bits(FloodStream::Shape::OneLine, 100'000);
        int replies = 0;
        const QByteArray a = drain(whole, 100'000, &replies);
        const QByteArray b = drain(bits, 7);
        QCOMPARE(replies, 0);
        QCOMPARE(a.size(), 100'000);
        QCOMPARE(a, b);
        QVERIFY(!a.contains('\r') && !a.contains('\n'));
        for (char c : a) QVERIFY(c > ' ' && c < 127);
    }

    void streamHashIsIncrementalAndSeesEveryByte() {
        const QByteArray data = FloodStream::lines(5000);
        const quint64 whole = streamHash(StreamHashSeed, data.constData(), data.size());
        quint64 parts = streamHash(StreamHashSeed, data.constData(), 1234);
        parts = streamHash(parts, data.constData() + 1234, data.size() - 1234);
        QCOMPARE(parts, whole);
        QByteArray changed = data;
        changed[4321] = changed[4321] == 'A' ? 'B' : 'A';
        QVERIFY(streamHash(StreamHashSeed, changed.constData(), changed.size()) != whole);
    }

    void percentilesByNearestRank() {
        std::vector<double> thousand;
        for (int i = 1000; i >= 1; --i) thousand.push_back(i);
        QCOMPARE(BenchStats::percentile(thousand, 99), 990.0);
        QCOMPARE(BenchStats::percentile(thousand, 100), 1000.0);
        QCOMPARE(BenchStats::percentile(thousand, 0.01), 1.0);
        QCOMPARE(BenchStats::median({3, 1, 2}), 2.0);
        QCOMPARE(BenchStats::median({4, 1, 3, 2}), 2.0);  // a measured value, not 2.5
        QVERIFY(std::isnan(BenchStats::median({})));
    }

    void replyIsShownOnlyByAFramePaintedAfterItArrived() {
        ReplyTracker tracker;
        tracker.add(4, 0);
        tracker.add(8, 1'000'000);
        tracker.paintStarted(0);  // painted before the reply was appended
        tracker.frameDone(5'000'000);
        QCOMPARE(tracker.resolved(), 0);
        tracker.paintStarted(4);
        tracker.paintStarted(2);  // a later paint in the same frame shows no less
        tracker.frameDone(12'000'000);
        QCOMPARE(tracker.resolved(), 1);
        QCOMPARE(tracker.waiting(), 1);

        const ReplyTracker::Summary s = tracker.summary(31'000'000);
        QCOMPARE(s.count, 2);
        QCOMPARE(s.unresolved, 1);
        QCOMPARE(s.medianMs, 12.0);
        QCOMPARE(s.p99Ms, 30.0);  // still waiting: counts with its wait so far
    }

    void writerSendsTheStreamAndPlacesEachReply() {
        PtyDevice pty;
        QVERIFY(pty.isValid());
        ReplyTracker tracker;
        FloodWriter writer(pty.masterFd(), &tracker);
        const qint64 total = 300'000;
        writer.start(FloodStream(FloodStream::Shape::Lines, total, 20'000));

        QByteArray received;
        char buffer[8192];
        for (int idle = 0; received.size() < total && idle < 500;) {
            pollfd p{pty.slaveFd(), POLLIN, 0};
            if (::poll(&p, 1, 10) <= 0) {
                ++idle;
                continue;
            }
            const ssize_t n = ::read(pty.slaveFd(), buffer, sizeof buffer);
            if (n > 0)
                received.append(buffer, n);
        }
        writer.stop();
        FloodStream expected(FloodStream::Shape::Lines, total, 20'000);
        QCOMPARE(received, drain(expected, total));
        QCOMPARE(writer.written(), total);
        QVERIFY(writer.finished() && !writer.failed());
        QCOMPARE(writer.hash(), streamHash(StreamHashSeed, received.constData(), received.size()));

        // Each reply is known by where it ends: a paint one byte short of
        // that end does not show it, a paint up to it does.
        int k = 0;
        for (qsizetype at = received.indexOf(FloodStream::Reply); at >= 0;
             at = received.indexOf(FloodStream::Reply, at + 1)) {
            const qint64 end = at + FloodStream::ReplyLength;
            tracker.paintStarted(end - 1);
            tracker.frameDone(0);
            QCOMPARE(tracker.resolved(), k);
            tracker.paintStarted(end);
            tracker.frameDone(0);
            QCOMPARE(tracker.resolved(), ++k);
        }
        QCOMPARE(k, 14);
        QCOMPARE(tracker.waiting(), 0);
    }

    void writerStopsWhileThePtyIsFull() {
        PtyDevice pty;
        QVERIFY(pty.isValid());
        FloodWriter writer(pty.masterFd());
        writer.start(FloodStream(FloodStream::Shape::Lines, 100'000'000));
        QThread::msleep(100);
        writer.stop();  // nobody reads: this must not hang
        QVERIFY(writer.written() > 0);
        QVERIFY(writer.written() < 100'000'000);
    }

    // The host's share (steal) is read from /proc/stat, in nanoseconds of
    // whole clock ticks, and never goes back.
    void stealIsReadAndOnlyGrows() {
        const qint64 first = ProcStats::stealNs();
        QVERIFY(first >= 0);
        QCOMPARE(first % (1'000'000'000 / ::sysconf(_SC_CLK_TCK)), 0);
        QThread::msleep(20);
        QVERIFY(ProcStats::stealNs() >= first);
    }

    void stallMeterSeesABlockedLoop() {
        StallMeter meter;
        meter.start();
        QTimer::singleShot(20, [] { QThread::msleep(150); });
        QTest::qWait(250);
        meter.stop();
        QVERIFY2(meter.longestMs() >= 140, qPrintable(QString::number(meter.longestMs())));
    }

    void reportWorksOutEachFigure() {
        const double step = 125'000;
        QJsonObject results{{"scale", QJsonObject{{"floodBytes", 10e6},
                                                  {"lineBytes", 5e6},
                                                  {"lowLevel", 10e6},
                                                  {"topLevel", 100e6},
                                                  {"levelWindow", 2e6},
                                                  {"checkpointStep", step}}}};
        const QJsonArray floodPoints = checkpoints(step, 10e6, 0.05, 30'000, 0);
        QJsonObject oursFlood = floodRun(10e6, 10e6, 0.4, 0.5, true, floodPoints);
        oursFlood.insert("kept", true);
        // With the receive log on, 20 MB/s against 25 without it.
        QJsonObject loggedFlood = floodRun(10e6, 10e6, 0.5, 0.6, true);
        loggedFlood.insert("logKept", true);
        const QJsonObject baseFlood =
            floodRun(10e6, 1.5e6, 20, 19, false, checkpoints(step, 1.5e6, 8, 30'000, 0));
        results.insert("flood",
                       QJsonObject{{"ours", QJsonArray{oursFlood}},
                                   {"bare", QJsonArray{floodRun(10e6, 10e6, 0.32, 0.02, true)}},
                                   {"logged", QJsonArray{loggedFlood}},
                                   {"baseline", baseFlood}});
        results.insert(
            "line",
            QJsonObject{
                {"ours", floodRun(5e6, 5e6, 0.5, 0.75, true, checkpoints(step, 5e6, 0.15, 0, 0))},
                {"baseline",
                 floodRun(5e6, 1.3e6, 20, 20, false, checkpoints(step, 1.3e6, 16, 0, 0))}});
        // Ours: 3 MiB per MB, 0.01 s per MB, twice that past 100 MB.
        QJsonObject oursLevels =
            floodRun(102e6, 102e6, 10, 1, true,
                     checkpoints(step, 102e6, 0.01, 30'000, 3 * 1024, 100e6, 0.02));
        QJsonArray probes;
        for (double level : {0.0, 10e6, 50e6, 100e6})
            probes.append(QJsonObject{{"level", level},
                                      {"probeBytes", 8192.0},
                                      {"probeCpuS", 0.1 + level / 1e8},
                                      {"probeChunks", 3},
                                      {"held", level + 12'288},
                                      {"rssBeforeKiB", 40'000.0},
                                      {"rssAfterKiB", 40'000.0 + level / 1e6 * 6 * 1024}});
        results.insert("levels", QJsonObject{{"ours", oursLevels}, {"baseline", probes}});

        results.insert("history",
                       QJsonObject{{"ours", QJsonObject{{"held", 100e6},
                                                        {"textBytes", 200.0 * 1024 * 1024},
                                                        {"findMs", 40.0},
                                                        {"findStallMs", 16.0},
                                                        {"found", true},
                                                        {"saveMs", 800.0},
                                                        {"saveStallMs", 60.0},
                                                        {"saved", true},
                                                        {"emptied", true},
                                                        {"historyBytes", 210.0 * 1024 * 1024},
                                                        {"rssBeforeDeleteKiB", 300'000.0},
                                                        {"rssAfterDeleteKiB", 301'024.0},
                                                        {"undoMs", 120.0},
                                                        {"restored", false}}}});

        const Report report(results);
        auto value = [&report](const char *id, bool ours = true) {
            const Report::Row *row = report.row(id);
            if (!row)
                return qQNaN();
            const auto &v = ours ? row->ours.value : row->baseline.value;
            return v ? *v : qQNaN();
        };
        QCOMPARE(value("ingest"), 25.0);
        QCOMPARE(metOf(report, "ingest"), Met::Yes);  // the goal's own value meets it
        QCOMPARE(value("ingest", false), 0.075);
        QVERIFY(report.row("ingest")->baseline.note.contains("1.50 MB of 10.0 MB"));
        QCOMPARE(value("cpu"), 0.05);
        QCOMPARE(metOf(report, "cpu"), Met::No);
        QCOMPARE(metOf(report, "kept"), Met::Yes);

        QVERIFY(qAbs(value("memoryLow") - 3) < 1e-9);
        QVERIFY(qAbs(value("memoryTop") - 3) < 1e-9);
        QVERIFY(qAbs(value("memoryTop", false) - 6 * 100e6 / (100e6 + 12'288)) < 1e-9);

        QVERIFY(qAbs(value("cost0") - 0.01) < 1e-9);
        QVERIFY(qAbs(value("costMid") - 0.01) < 1e-9);
        QVERIFY(qAbs(value("costTop") - 0.02) < 1e-9);
        QVERIFY(qAbs(value("costGrowth") - 2) < 1e-9);
        QCOMPARE(metOf(report, "costGrowth"), Met::No);
        QVERIFY(qAbs(value("cost0", false) - 0.1 / 0.008192) < 1e-9);

        QVERIFY(qAbs(value("line") - 0.15) < 1e-9);
        QVERIFY(qAbs(value("lineRatio") - 3) < 1e-9);
        // The baseline's line and flood both stopped early: compared over the
        // stretch both reached, whole checkpoints only.
        QVERIFY(qAbs(value("lineRatio", false) - 2) < 1e-9);
        QVERIFY(report.row("lineRatio")->baseline.note.contains("first 1.25 MB"));

        QCOMPARE(value("floodP99"), 15.0);
        QCOMPARE(metOf(report, "floodP99"), Met::Yes);
        // Not run at all: no figure, and the goal is not met.
        QVERIFY(std::isnan(value("idleP99")));
        QCOMPARE(metOf(report, "idleP99"), Met::No);
        QCOMPARE(metOf(report, "idleMedian"), Met::NoGoal);
        QCOMPARE(report.row("startup")->ours.text, QStringLiteral("not run"));

        // The history: find within its goal; the undo did not bring the
        // text back, so it has no figure; the history holds a copy beyond
        // the text's own memory.
        QCOMPARE(value("find"), 40.0);
        QCOMPARE(metOf(report, "find"), Met::Yes);
        QCOMPARE(metOf(report, "findStall"), Met::Yes);
        QCOMPARE(value("save"), 800.0);
        QCOMPARE(metOf(report, "save"), Met::Yes);
        QCOMPARE(metOf(report, "saveStall"), Met::No);
        QCOMPARE(report.row("undo")->ours.text, QStringLiteral("failed"));
        QCOMPARE(value("historyMemory"), 210.0);
        QVERIFY(report.row("historyMemory")->ours.note.contains("changed by 1.00 MiB"));
        QCOMPARE(value("historyShare"), 1.05);
        QCOMPARE(metOf(report, "historyShare"), Met::Yes);

        // Beside the bare reader: 25 MB/s against its 31.25.
        QCOMPARE(report.row("ingest")->bare.value.value_or(0), 31.25);
        QCOMPARE(value("bareFraction"), 0.8);
        QCOMPARE(metOf(report, "bareFraction"), Met::Yes);
        QCOMPARE(value("logRatio"), 0.8);
        QCOMPARE(metOf(report, "logRatio"), Met::No);

        const QString table = report.markdown();
        QVERIFY2(table.contains("| 25.0 | 0.0750 [1] | 333 | 31.3 [2] | ≥ 25 | yes |"),
                 qPrintable(table));
    }

    // Back after a replug: the median and the worst of the reopen times, and
    // the CPU over the wait as a share of a processor.
    void replugRows() {
        QJsonObject results{
            {"replug",
             QJsonObject{{"ours", QJsonObject{{"reopenMs", QJsonArray{30, 20, 1200, 25, 40}},
                                              {"waitS", 60.0},
                                              {"waitCpuS", 0.3},
                                              {"stillWaiting", true}}}}}};
        const Report report(results);
        QCOMPARE(report.row("replugMedian")->ours.value.value_or(0), 30.0);
        QCOMPARE(report.row("replugWorst")->ours.value.value_or(0), 1200.0);
        QCOMPARE(metOf(report, "replugWorst"), Met::No);
        QCOMPARE(report.row("replugCpu")->ours.value.value_or(0), 0.5);
        QCOMPARE(metOf(report, "replugCpu"), Met::Yes);
        QVERIFY(report.row("replugCpu")->figure.contains("(60.0 s)"));
        QCOMPARE(Report(QJsonObject{}).row("replugWorst")->ours.text, QStringLiteral("not run"));
    }

    // The scenario's step less the bare round trip, and its peak memory; a
    // run that did not pass gives no figure.
    void scenarioRows() {
        QJsonObject scenario{{"steps", 10000},      {"passed", true},      {"stepMedianMs", 0.9},
                             {"bareMedianMs", 0.6}, {"peakRssKiB", 20480}, {"wallS", 12.0}};
        Report report(QJsonObject{{"scenario", scenario}});
        QCOMPARE(report.row("scenarioStep")->ours.value.value_or(0), 0.9 - 0.6);
        QCOMPARE(metOf(report, "scenarioStep"), Met::Yes);
        QCOMPARE(report.row("scenarioMemory")->ours.value.value_or(0), 20.0);
        QVERIFY(report.row("scenarioStep")->figure.contains("10000 steps"));
        scenario.insert("passed", false);
        report = Report(QJsonObject{{"scenario", scenario}});
        QCOMPARE(report.row("scenarioStep")->ours.text, QStringLiteral("failed"));
        QCOMPARE(metOf(report, "scenarioMemory"), Met::No);
    }

    // The Windows build's rows: sizes in MB and the median start-up where it
    // was built; "not built" where it was not, and the reason where Wine
    // could not start it.
    void windowsRows() {
        QJsonObject windows{
            {"zipBytes", 25.5e6}, {"setupBytes", 17e6}, {"startupMs", QJsonArray{1500, 900, 1100}}};
        Report report(QJsonObject{{"windows", windows}});
        QCOMPARE(report.row("windowsZip")->ours.value.value_or(0), 25.5);
        QCOMPARE(report.row("windowsSetup")->ours.value.value_or(0), 17.0);
        QCOMPARE(report.row("windowsStartup")->ours.value.value_or(0), 1100.0);
        windows.remove("startupMs");
        windows.insert("error", "no WINEPREFIX");
        report = Report(QJsonObject{{"windows", windows}});
        QCOMPARE(report.row("windowsStartup")->ours.note, QStringLiteral("no WINEPREFIX"));
        QCOMPARE(report.row("windowsSetup")->ours.value.value_or(0), 17.0);
        for (const QJsonObject &results :
             {QJsonObject{}, QJsonObject{{"windows", QJsonObject{{"notBuilt", true}}}}})
            QCOMPARE(Report(results).row("windowsZip")->ours.text, QStringLiteral("not built"));

        // The ingest under Wine beside Linux's: medians of each, and the
        // median of the pairs' quotients, not the quotient of the medians; a
        // run whose log lacked the flood is noted.
        auto flood = [](double mbPerSecond, bool kept = true) {
            return QJsonObject{{"bytes", 20e6}, {"mbPerSecond", mbPerSecond}, {"kept", kept}};
        };
        windows.insert("ingest",
                       QJsonObject{{"bytes", 20e6},
                                   {"windows", QJsonArray{flood(1), flood(2, false), flood(3)}},
                                   {"linux", QJsonArray{flood(10), flood(4), flood(5)}}});
        report = Report(QJsonObject{{"windows", windows}});
        QCOMPARE(report.row("windowsIngest")->ours.value.value_or(0), 2.0);
        QCOMPARE(report.row("windowsIngestLinux")->ours.value.value_or(0), 5.0);
        QCOMPARE(report.row("windowsIngestRatio")->ours.value.value_or(0), 0.5);
        QVERIFY(report.row("windowsIngest")->figure.contains("20.0 MB"));
        QVERIFY(report.row("windowsIngest")->ours.note.contains("1 of the 6 floods"));
        windows.insert("ingest",
                       QJsonObject{{"bytes", 20e6},
                                   {"windows", QJsonArray{flood(2, false)}},
                                   {"linux", QJsonArray{QJsonObject{{"error", "no pty"}}}}});
        report = Report(QJsonObject{{"windows", windows}});
        QCOMPARE(report.row("windowsIngestLinux")->ours.note, QStringLiteral("no pty"));
        QVERIFY(!report.row("windowsIngest")->ours.value);
    }

    // Three console floods, each followed by the bare reader: the table shows
    // the middle console run, the bare reader's median, and the median of the
    // three fractions; "kept" must hold in every run.
    void floodRunsStandBesideTheBareReader() {
        auto run = [](double seconds, double cpuS, bool kept) {
            QJsonObject r = floodRun(10e6, 10e6, seconds, cpuS, true);
            r.insert("kept", kept);
            return r;
        };
        QJsonObject flood{
            {"ours", QJsonArray{run(0.5, 0.6, true), run(0.25, 0.4, true), run(0.4, 0.5, true)}},
            {"bare", QJsonArray{floodRun(10e6, 10e6, 0.4, 0.03, true),
                                floodRun(10e6, 10e6, 0.2, 0.02, true),
                                floodRun(10e6, 10e6, 0.25, 0.025, true)}}};
        QJsonObject results{{"scale", QJsonObject{{"floodBytes", 10e6}}}, {"flood", flood}};
        Report report(results);
        QCOMPARE(report.row("ingest")->ours.value.value_or(0), 25.0);  // the middle run
        QCOMPARE(report.row("cpu")->ours.value.value_or(0), 0.05);     // of that same run
        QCOMPARE(report.row("ingest")->bare.value.value_or(0), 40.0);
        QCOMPARE(report.row("cpu")->bare.value.value_or(0), 0.0025);
        // 20 ÷ 25, 40 ÷ 50, 25 ÷ 40: the median is 0.8.
        QCOMPARE(report.row("bareFraction")->ours.value.value_or(0), 0.8);
        QVERIFY(report.row("bareFraction")->ours.note.contains("0.800, 0.800, 0.625"));
        QCOMPARE(metOf(report, "bareFraction"), Met::Yes);
        QCOMPARE(metOf(report, "cpu"), Met::No);
        QCOMPARE(metOf(report, "kept"), Met::Yes);

        // One run that lost bytes spoils "kept"; a bare reader that never
        // finished leaves its pair out.
        QJsonArray ours = flood.value("ours").toArray();
        ours[1] = run(0.25, 0.4, false);
        flood.insert("ours", ours);
        QJsonArray bare = flood.value("bare").toArray();
        bare[2] = floodRun(10e6, 4e6, 30, 0.1, false);
        flood.insert("bare", bare);
        results.insert("flood", flood);
        report = Report(results);
        QCOMPARE(metOf(report, "kept"), Met::No);
        QCOMPARE(report.row("bareFraction")->ours.value.value_or(0), 0.8);
        QVERIFY(report.row("bareFraction")->ours.note.contains("2 pairs"));
        // Of 25 and 50, the lower: a median is a measured value.
        QCOMPARE(report.row("ingest")->bare.value.value_or(0), 25.0);
    }

    void valuesKeepThreeSignificantDigits() {
        QCOMPARE(Report::formatValue(0.012345), QStringLiteral("0.0123"));
        QCOMPARE(Report::formatValue(25), QStringLiteral("25.0"));
        QCOMPARE(Report::formatValue(2500.4), QStringLiteral("2500"));
        QCOMPARE(Report::formatValue(0.00001), QStringLiteral("1.0e-05"));
        QCOMPARE(Report::formatValue(qQNaN()), QStringLiteral("—"));
    }
};

QTEST_GUILESS_MAIN(TestBench)
#include "tst_bench.moc"
