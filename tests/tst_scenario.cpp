// Test scenarios without a window or a port: the file's reader and its
// refusals, the line patterns, the runner against a device played in the
// test, the recorder's file replayed, and the reports.
#include "codepage.h"
#include "commerror.h"
#include "linepattern.h"
#include "runreport.h"
#include "scenario.h"
#include "scenarioerror.h"
#include "scenariorecorder.h"
#include "scenariorunner.h"

#include <QBuffer>
#include <QSignalSpy>
#include <QTest>
#include <QXmlStreamReader>

namespace {

using Kind = ScenarioError::Kind;
using Outcome = StepResult::Outcome;

// The device as the runner sees it: what was sent, and replies given when
// a command comes.
class FakeDevice {
public:
    ScenarioRunner runner{[this](const QString &message) { sent(message); }};
    QByteArray wire;                       // everything sent, as bytes
    QMap<QByteArray, QByteArray> replies;  // command -> reply, sent back at once
    bool refuse = false;

    void sent(const QString &message) {
        if (refuse)
            throw CommError(QStringLiteral("port 2: not open"));
        const QByteArray bytes = CodePage::encode(message);
        wire += bytes;
        const QByteArray reply = replies.value(bytes.chopped(1));
        // As the port would: later, from the event loop.
        if (!reply.isEmpty())
            QMetaObject::invokeMethod(
                &runner, [this, reply] { runner.receive(reply); }, Qt::QueuedConnection);
    }

    // Runs `file` to its end; the outcome.
    ScenarioRunner::Outcome run(const QByteArray &file, int timeoutMs = 5000) {
        QSignalSpy finished(&runner, &ScenarioRunner::finished);
        runner.start(Scenario::parse(file));
        if (finished.isEmpty() && !finished.wait(timeoutMs))
            return ScenarioRunner::Outcome::Stopped;
        return finished.first().first().value<ScenarioRunner::Outcome>();
    }
};

}  // namespace

class TestScenario : public QObject {
    Q_OBJECT

private slots:
    void patterns_data();
    void patterns();
    void fileReadAsWritten();
    void malformedFilesAreRefusedWithTheirLine_data();
    void malformedFilesAreRefusedWithTheirLine();

    void passingRunSendsExactlyTheFile();
    void runStopsAtTheFirstFailedStep();
    void linesAreTakenInTheOrderTheyCame();
    void noLineInTimeFails();
    void portFailureAndRefusedSendFailTheStep();
    void stopSendsNothingMore();

    void recordingReplaysAgainstTheSameDevice();
    void reportsReadAtAGlanceAndParse();
};

void TestScenario::patterns_data() {
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("matches");
    QTest::newRow("literal") << "OK CF READY"
                             << "OK CF READY" << true;
    QTest::newRow("whole line only") << "OK"
                                     << "OK CF READY" << false;
    QTest::newRow("case counts") << "ok"
                                 << "OK" << false;
    QTest::newRow("trailing blank counts") << "OK "
                                           << "OK" << false;
    QTest::newRow("empty matches empty") << ""
                                         << "" << true;
    QTest::newRow("empty is not a line") << ""
                                         << "x" << false;
    QTest::newRow("star at end") << "END *"
                                 << "END 17" << true;
    QTest::newRow("star matches nothing") << "END *"
                                          << "END " << true;
    QTest::newRow("star alone") << "*"
                                << "anything" << true;
    QTest::newRow("question is one character") << "TIME ??:??:??"
                                               << "TIME 17:07:15" << true;
    QTest::newRow("question is not zero") << "A?"
                                          << "A" << false;
    QTest::newRow("stars between") << "a*b*c"
                                   << "aXbYbZc" << true;
    QTest::newRow("last piece anchored") << "a*bc"
                                         << "abcbd" << false;
    QTest::newRow("pieces overlap") << "*aa*aa"
                                    << "aaa" << false;
    QTest::newRow("escaped star is a star") << "5 \\* 3"
                                            << "5 * 3" << true;
    QTest::newRow("escaped star is not any") << "5 \\* 3"
                                             << "5 x 3" << false;
    QTest::newRow("escaped question") << "why\\?"
                                      << "why?" << true;
    QTest::newRow("escaped backslash") << "C:\\\\DATA"
                                       << "C:\\DATA" << true;
    QTest::newRow("other backslash is itself") << "a\\b"
                                               << "a\\b" << true;
    QTest::newRow("trailing backslash") << "a\\"
                                        << "a\\" << true;
    QTest::newRow("Polish letters") << "zażółć *"
                                    << "zażółć 123" << true;
}

void TestScenario::patterns() {
    QFETCH(QString, pattern);
    QFETCH(QString, line);
    QFETCH(bool, matches);
    QCOMPARE(LinePattern(pattern).matches(line), matches);
    // A line escaped matches itself and nothing else.
    const LinePattern exact(LinePattern::escape(pattern));
    QVERIFY(exact.matches(pattern));
    QVERIFY(!exact.matches(pattern + u'x'));
}

void TestScenario::fileReadAsWritten() {
    const Scenario s = Scenario::parse(
        "\xEF\xBB\xBF# a card\r\n"
        "timeout 500\r\n"
        "  > DSTA\r\n"
        "< OK CF READY\r"
        ">WRTE  two blanks  \n"
        "\n"
        "\t<< END *\n"
        "wait 20\n"
        ">\n"
        "<\n");
    const QList<ScenarioStep> &steps = s.steps();
    QCOMPARE(steps.size(), 3);
    QCOMPARE(steps.at(0).line, 3);
    QCOMPARE(steps.at(0).command, QStringLiteral("DSTA"));
    // One blank separates; the rest is the text, trailing blanks too.
    QCOMPARE(steps.at(1).line, 5);
    QCOMPARE(steps.at(1).command, QStringLiteral("WRTE  two blanks  "));
    QCOMPARE(steps.at(2).command, QString());
    using A = ScenarioAction::Kind;
    QList<A> kinds;
    for (const ScenarioAction &a : s.actions()) kinds << a.kind;
    QCOMPARE(kinds, (QList<A>{A::Timeout, A::Send, A::Expect, A::Send, A::Skip, A::Wait, A::Send,
                              A::Expect}));
    QCOMPARE(s.actions().at(0).ms, 500);
    QCOMPARE(s.actions().at(4).pattern.text(), QStringLiteral("END *"));
    QCOMPARE(s.actions().at(4).line, 7);
    QCOMPARE(s.actions().at(5).ms, 20);
    QVERIFY(s.actions().at(7).pattern.matches(u""));
    // The second step holds its << and its wait.
    QCOMPARE(steps.at(1).send, 3);
    QCOMPARE(steps.at(1).end, 6);
    // The device takes 1024 bytes before the CR.
    const QByteArray longest = "> WRTE" + QByteArray(1020, 'x') + "\n";
    QCOMPARE(Scenario::parse(longest).steps().first().command.size(), 1024);
}

void TestScenario::malformedFilesAreRefusedWithTheirLine_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("line");
    const QByteArray longest = "> WRTE" + QByteArray(1020, 'x') + "\n";
    QTest::newRow("not UTF-8") << QByteArray("> DSTA\n< OK\n> WRTE\xE9t\xE9\n")
                               << int(Kind::NotUtf8) << 3;
    QTest::newRow("Windows-1250 text saved as such")
        << QByteArray("> DSTA\n< za\xbf\xf3\xb3\xe6\n") << int(Kind::NotUtf8) << 2;
    QTest::newRow("unknown item") << QByteArray("> DSTA\nexpect OK\n") << int(Kind::UnknownLine)
                                  << 2;
    QTest::newRow("timeout without a number")
        << QByteArray("timeout\n> DSTA\n") << int(Kind::BadNumber) << 1;
    QTest::newRow("wait with a unit")
        << QByteArray("> DSTA\nwait 5s\n") << int(Kind::BadNumber) << 2;
    QTest::newRow("negative timeout")
        << QByteArray("> A\ntimeout -1\n") << int(Kind::BadNumber) << 2;
    QTest::newRow("wait beyond a day")
        << QByteArray("> A\nwait 86400001\n") << int(Kind::BadNumber) << 2;
    QTest::newRow("1025 bytes before the CR")
        << QByteArray("# long\n" + longest.left(longest.size() - 1) + "y\n")
        << int(Kind::CommandTooLong) << 2;
    QTest::newRow("not in Windows-1250")
        << QByteArray("> DSTA\n> WRTE \xe2\x86\x92\n") << int(Kind::NotInCodePage) << 2;
    QTest::newRow("beyond the BMP")
        << QByteArray("\n\n> WRTE \xf0\x9f\x98\x80\n") << int(Kind::NotInCodePage) << 3;
    QTest::newRow("expected line first")
        << QByteArray("# x\r\n< OK\r\n> DSTA\r\n") << int(Kind::ExpectBeforeCommand) << 2;
    QTest::newRow("lone CRs count lines")
        << QByteArray("> A\r> B\r\r<< x\rfoo\r") << int(Kind::UnknownLine) << 5;
    QTest::newRow("comments only") << QByteArray("# nothing\n\n") << int(Kind::NoCommand) << 0;
    QTest::newRow("empty file") << QByteArray() << int(Kind::NoCommand) << 0;
}

void TestScenario::malformedFilesAreRefusedWithTheirLine() {
    QFETCH(QByteArray, file);
    QFETCH(int, kind);
    QFETCH(int, line);
    try {
        Scenario::parse(file);
        QFAIL("the file was taken");
    } catch (const ScenarioError &e) {
        QCOMPARE(int(e.kind()), kind);
        QCOMPARE(e.line(), line);
        if (line > 0)
            QVERIFY2(QString::fromUtf8(e.what()).startsWith(QStringLiteral("line %1: ").arg(line)),
                     e.what());
    }
}

void TestScenario::passingRunSendsExactlyTheFile() {
    FakeDevice device;
    // A reply split between CR and LF, and a dump skipped to its end.
    device.replies = {{"DSTA", "OK CF "},
                      {"DCLR", "READY\r\nOK CLEARED\r"},
                      {"WRTEza\xbf\xf3\xb3\xe6", "\nOK 1\n"},
                      {"REDA", "za\xbf\xf3\xb3\xe6\r\nEND 1\r\n"}};
    QSignalSpy steps(&device.runner, &ScenarioRunner::stepFinished);
    QCOMPARE(device.run("> DSTA\n> DCLR\n< OK CF READY\n< OK CLEARED\n> WRTEzażółć\n< OK ?\n"
                        "> REDA\n<< END 1\n"),
             ScenarioRunner::Outcome::Passed);
    QCOMPARE(device.wire, QByteArray("DSTA\rDCLR\rWRTEza\xbf\xf3\xb3\xe6\rREDA\r"));
    QCOMPARE(steps.size(), 4);
    for (const StepResult &r : device.runner.results()) {
        QVERIFY(r.passed());
        QVERIFY(r.elapsedUs >= 0);
    }
}

void TestScenario::runStopsAtTheFirstFailedStep() {
    FakeDevice device;
    device.replies = {{"DSTA", "OK CF READY\r\n"}, {"DSIZ", "SIZE 2097152\r\n"}};
    QCOMPARE(device.run("> DSTA\n< OK CF READY\n\n# the size\n> DSIZ\n< SIZE 1048576\n"
                        "> DFRE\n< FREE *\n"),
             ScenarioRunner::Outcome::Failed);
    QCOMPARE(device.wire, QByteArray("DSTA\rDSIZ\r"));
    const QList<StepResult> &r = device.runner.results();
    QVERIFY(r.at(0).passed());
    QCOMPARE(r.at(1).outcome, Outcome::Failed);
    QCOMPARE(r.at(1).fault, StepResult::Fault::Mismatch);
    QCOMPARE(r.at(1).line, 6);
    QCOMPARE(r.at(1).expected, QStringLiteral("SIZE 1048576"));
    QCOMPARE(r.at(1).received, QStringLiteral("SIZE 2097152"));
    QCOMPARE(r.at(2).outcome, Outcome::NotRun);
}

void TestScenario::linesAreTakenInTheOrderTheyCame() {
    // The reply to the first command comes after the second was sent: it
    // is still the next line.
    FakeDevice device;
    device.replies = {{"GETD", "DATE 03-02\r\n"}, {"GETT", "TIME 17:07:15\r\n"}};
    QCOMPARE(device.run("> GETD\n> GETT\n< DATE 03-02\n< TIME 17:07:1?\n"),
             ScenarioRunner::Outcome::Passed);
    QCOMPARE(device.run("> GETD\n> GETT\n< TIME 17:07:1?\n< DATE 03-02\n"),
             ScenarioRunner::Outcome::Failed);
    QCOMPARE(device.runner.results().at(1).received, QStringLiteral("DATE 03-02"));
}

void TestScenario::noLineInTimeFails() {
    FakeDevice device;
    device.replies = {{"REDA", "LINE 1\r\nLINE 2\r\nEND 2"}};  // the last line never ends
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(device.run("timeout 100\n> REDA\n<< END 2\n> DSTA\n"),
             ScenarioRunner::Outcome::Failed);
    QVERIFY(clock.elapsed() >= 100);
    const StepResult &r = device.runner.results().at(0);
    QCOMPARE(r.fault, StepResult::Fault::Timeout);
    QCOMPARE(r.timeoutMs, 100);
    QCOMPARE(r.skipped, 2);
    QVERIFY(r.skipping);
    QCOMPARE(device.wire, QByteArray("REDA\r"));
}

void TestScenario::portFailureAndRefusedSendFailTheStep() {
    FakeDevice device;
    QTimer::singleShot(20, &device.runner, [&] { device.runner.portFailed("port 2: gone"); });
    QCOMPARE(device.run("> DSTA\nwait 5000\n> DSIZ\n"), ScenarioRunner::Outcome::Failed);
    QCOMPARE(device.runner.results().at(0).fault, StepResult::Fault::PortFailed);
    QCOMPARE(device.runner.results().at(0).reason, QStringLiteral("port 2: gone"));
    QCOMPARE(device.runner.results().at(0).line, 2);
    QCOMPARE(device.wire, QByteArray("DSTA\r"));

    device.refuse = true;
    QCOMPARE(device.run("> DSTA\n"), ScenarioRunner::Outcome::Failed);
    QCOMPARE(device.runner.results().at(0).fault, StepResult::Fault::SendFailed);
    QCOMPARE(RunReport::failureText(device.runner.results().at(0)),
             QStringLiteral("line 1 could not be sent: port 2: not open"));
}

void TestScenario::stopSendsNothingMore() {
    FakeDevice device;
    device.replies = {{"DSTA", "OK CF READY\r\n"}};
    QTimer::singleShot(20, &device.runner, [&] { device.runner.stop(); });
    QCOMPARE(device.run("> DSTA\n< OK CF READY\n> GETT\n< TIME *\n> DSIZ\n"),
             ScenarioRunner::Outcome::Stopped);
    QVERIFY(!device.runner.isRunning());
    QCOMPARE(device.runner.results().at(1).outcome, Outcome::Stopped);
    QTest::qWait(50);  // a late reply changes nothing
    device.runner.receive("TIME 12:00:00\r\n");
    QCOMPARE(device.wire, QByteArray("DSTA\rGETT\r"));
    QCOMPARE(device.runner.results().at(2).outcome, Outcome::NotRun);
}

void TestScenario::recordingReplaysAgainstTheSameDevice() {
    ScenarioRecorder recorder;
    recorder.start(QStringLiteral("# recorded\n"));
    recorder.received("leftover\r\n");
    recorder.commandSent("DSTA\r");
    recorder.received("OK CF READY\r");
    recorder.commandSent("WRTE5 * 3 = 15?\rREDL1\r");
    recorder.received("\nOK 1\r\n5 * 3 = 15?\r\n\\ ");
    recorder.stop();
    const QString text = recorder.text();
    QVERIFY2(text.startsWith(QStringLiteral("# recorded\n# ")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("< 5 \\* 3 = 15\\?\n")), qPrintable(text));
    QVERIFY2(text.endsWith(QStringLiteral("\\ \n")), qPrintable(text));  // unfinished, a comment
    QCOMPARE(recorder.commandCount(), 3);

    FakeDevice device;
    device.replies = {{"DSTA", "OK CF READY\r\n"}, {"REDL1", "OK 1\r\n5 * 3 = 15?\r\n"}};
    QCOMPARE(device.run(text.toUtf8()), ScenarioRunner::Outcome::Passed);
    QCOMPARE(device.wire, QByteArray("DSTA\rWRTE5 * 3 = 15?\rREDL1\r"));
    // Exact: another answer fails.
    device.replies["REDL1"] = "OK 1\r\n5 x 3 = 15!\r\n";
    QCOMPARE(device.run(text.toUtf8()), ScenarioRunner::Outcome::Failed);
}

void TestScenario::reportsReadAtAGlanceAndParse() {
    Scenario s = Scenario::parse("> DSTA\n< OK CF READY\n> DSIZ\n< SIZE 1048576\n> DFRE\n");
    s.fileName = QStringLiteral("/tmp/card check.txt");
    QList<StepResult> results(3);
    results[0].outcome = Outcome::Passed;
    results[0].elapsedUs = 12'400;
    results[1].outcome = Outcome::Failed;
    results[1].fault = StepResult::Fault::Mismatch;
    results[1].line = 4;
    results[1].expected = QStringLiteral("SIZE 1048576");
    results[1].received = QStringLiteral("SIZE \x01\"2\"");
    QCOMPARE(RunReport::stepLine(0, s.steps().at(0), results.at(0)),
             QStringLiteral("ok 1 - > DSTA (12 ms)"));
    QCOMPARE(RunReport::stepLine(1, s.steps().at(1), results.at(1)),
             QStringLiteral("not ok 2 - > DSIZ: line 4 expected \"SIZE 1048576\", received "
                            "\"SIZE \\x01\"2\"\""));
    QCOMPARE(RunReport::summary(results), QStringLiteral("1 passed, 1 failed, 1 not run"));

    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    JUnitReport report(&buffer);
    report.addRun(s, results, 1, QDateTime::currentDateTime(), 20'000);
    report.addRun(s, results, 2, QDateTime::currentDateTime(), 20'000);
    QVERIFY(report.finish());
    QXmlStreamReader xml(buffer.data());
    int suites = 0, cases = 0, failures = 0, skipped = 0;
    QString failure;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        suites += xml.name() == u"testsuite";
        cases += xml.name() == u"testcase";
        skipped += xml.name() == u"skipped";
        if (xml.name() == u"failure") {
            ++failures;
            failure = xml.attributes().value(QStringLiteral("message")).toString();
        }
    }
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
    QCOMPARE(suites, 2);
    QCOMPARE(cases, 6);
    QCOMPARE(failures, 2);
    QCOMPARE(skipped, 2);
    QCOMPARE(failure, RunReport::failureText(results.at(1)));
}

QTEST_GUILESS_MAIN(TestScenario)
#include "tst_scenario.moc"
