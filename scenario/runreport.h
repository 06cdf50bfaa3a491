#pragma once

#include "scenario.h"
#include "stepresult.h"

#include <QDateTime>
#include <QList>
#include <QString>

class QIODevice;
class QXmlStreamWriter;

// The report of a run for people at a terminal and for CI: one line a step,
//   ok 3 - > REDL1 (12 ms)
//   not ok 4 - > DSIZ: line 9 expected "SIZE 1048576", received "SIZE 2097152"
// and a summary, "3 passed, 1 failed" (", 2 not run" when the run stopped
// early). Control characters of the device's lines show as \xNN.
namespace RunReport {

QString stepLine(qsizetype index, const ScenarioStep &step, const StepResult &result);
// Why the step failed, from "line 9 ..." on; empty unless it failed.
QString failureText(const StepResult &result);
QString summary(const QList<StepResult> &results);

// The time of a passed step: "12 ms", "4.2 ms", "0.07 ms".
QString duration(qint64 us);

// A line of the device's, with control characters as \xNN.
QString visible(const QString &line);

}  // namespace RunReport

// A JUnit XML report, written as runs end: one <testsuite> a run, one
// <testcase> a step; a failed step holds its <failure>, steps after it are
// <skipped>. The writer goes to a device the caller opened and finishes.
class JUnitReport {
public:
    explicit JUnitReport(QIODevice *device);
    ~JUnitReport();
    JUnitReport(const JUnitReport &) = delete;
    JUnitReport &operator=(const JUnitReport &) = delete;

    void addRun(const Scenario &scenario, const QList<StepResult> &results, int run,
                const QDateTime &started, qint64 elapsedUs);
    // Closes the document; whether everything was written.
    bool finish();

private:
    std::unique_ptr<QXmlStreamWriter> m_xml;
};
