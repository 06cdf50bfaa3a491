#include "headlessrun.h"

#include "callerconsole.h"
#include "commerror.h"
#include "demosimulator.h"
#include "fileerror.h"
#include "mscomm.h"
#include "portconnection.h"
#include "receivedtext.h"
#include "receivelog.h"
#include "runreport.h"
#include "scenarioerror.h"
#include "scenariolog.h"
#include "scenariorunner.h"
#include "terminationsignals.h"

#include <QCoreApplication>
#include <QSaveFile>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

constexpr auto kCommandName = "rs232-kalvex";

void say(const QString &line) {
    CallerConsole::write(stdout, line + u'\n');
}

void complain(const QString &text) {
    CallerConsole::write(stderr, QStringLiteral("%1: %2\n").arg(QLatin1String(kCommandName), text));
}

}  // namespace

HeadlessRun::HeadlessRun(Options options, PortDirectory ports, QObject *parent)
    : QObject(parent),
      m_options(std::move(options)),
      m_ports(std::move(ports)),
      m_comm(nullptr),
      m_log(new ReceiveLog),
      m_runner(nullptr),
      m_signals(new TerminationSignals(this)) {
    m_log->setParent(this);
}

HeadlessRun::~HeadlessRun() = default;

void HeadlessRun::cannotRun(const QString &text) {
    complain(text);
    m_status = kCannotRun;
    QCoreApplication::exit(kCannotRun);
}

// Everything that can be refused before the port opens: the file, the
// report, the log.
bool HeadlessRun::prepare() {
    try {
        m_scenario = Scenario::read(m_options.file);
    } catch (const ScenarioError &e) {
        cannotRun(m_options.file + QStringLiteral(": ") + QString::fromUtf8(e.what()));
        return false;
    }
    if (!m_options.junit.isEmpty()) {
        m_reportFile = std::make_unique<QSaveFile>(m_options.junit);
        if (!m_reportFile->open(QIODevice::WriteOnly)) {
            cannotRun(
                QStringLiteral("--junit %1: %2").arg(m_options.junit, m_reportFile->errorString()));
            return false;
        }
        m_report = std::make_unique<JUnitReport>(m_reportFile.get());
    }
    if (!m_options.log.isEmpty()) {
        try {
            m_log->start(m_options.log, ReceiveLog::Existing::Append);
        } catch (const FileError &e) {
            cannotRun(QStringLiteral("--log %1: %2").arg(m_options.log, e.reason()));
            return false;
        }
    }
    return true;
}

int HeadlessRun::exec() {
    if (!prepare())
        return kCannotRun;
    // Routing.
    connect(m_signals, &TerminationSignals::arrived, this, [this] {
        if (m_runner && m_runner->isRunning())
            m_runner->stop();
        else
            QCoreApplication::quit();
    });
    connect(m_log, &ReceiveLog::failed, this, [this](const FileFailure &failure) {
        m_logFailed = true;
        complain(QStringLiteral("--log %1: %2").arg(failure.fileName, failure.reason));
    });

    if (m_options.demo) {
        m_demo = std::make_unique<DemoSimulator>();
        m_demo->start(m_ports);
    }
    m_comm = new MSComm(m_ports, this);
    m_comm->setObjectName(QStringLiteral("MSComm1"));
    m_runner =
        new ScenarioRunner([this](const QString &message) { m_comm->setOutput(message); }, this);
    connect(m_comm, &MSComm::onComm, this, &HeadlessRun::receive);
    connect(m_comm, &MSComm::deviceLost, this, [this](const QString &reason) {
        m_portLost = true;
        m_runner->portFailed(reason);
    });
    connect(m_runner, &ScenarioRunner::stepFinished, this, &HeadlessRun::stepFinished);
    connect(m_runner, &ScenarioRunner::finished, this, &HeadlessRun::runFinished);
    // The demo's simulator comes up while the loop runs.
    if (m_demo && !m_demo->isReady())
        connect(m_demo.get(), &DemoSimulator::ready, this, &HeadlessRun::openPortAndRun);
    else
        QTimer::singleShot(0, this, &HeadlessRun::openPortAndRun);

    QCoreApplication::exec();
    m_comm->setPortOpen(false);
    m_log->finish();
    if (m_status == kCannotRun) {
        if (m_reportFile)
            m_reportFile->cancelWriting();
        return kCannotRun;
    }
    if (!finishReport())
        return kCannotRun;
    // The demo's simulator ends before a signal ends the process.
    m_demo.reset();
    m_signals->endByReceivedSignal();
    return m_failedRuns > 0 || m_logFailed || m_log->hasFailed() ? kFailed : 0;
}

void HeadlessRun::openPortAndRun() {
    try {
        PortConnection::open(*m_comm, QString::number(m_options.port));
    } catch (const CommError &e) {
        cannotRun(e.reason());
        return;
    }
    startRun();
}

void HeadlessRun::startRun() {
    if (m_signals->received() != 0) {
        QCoreApplication::quit();
        return;
    }
    ++m_run;
    if (m_options.repeat > 1)
        say(QStringLiteral("# run %1 of %2").arg(m_run).arg(m_options.repeat));
    m_runStarted = QDateTime::currentDateTime();
    m_runClock.start();
    m_runner->start(m_scenario);
}

void HeadlessRun::receive() {
    if (m_comm->commEvent() != MSComm::ComEvReceive)
        return;
    ReceivedText chunk;
    m_comm->input(chunk);
    m_log->append(chunk.bytes());
    m_runner->receive(chunk.bytes());
}

void HeadlessRun::stepFinished(qsizetype step) {
    const QString line =
        RunReport::stepLine(step, m_scenario.steps().at(step), m_runner->results().at(step));
    say(line);
    qCDebug(lcScenario).noquote() << line;
}

void HeadlessRun::runFinished() {
    const QList<StepResult> &results = m_runner->results();
    say(RunReport::summary(results));
    const bool passed = std::all_of(results.cbegin(), results.cend(),
                                    [](const StepResult &r) { return r.passed(); });
    m_failedRuns += passed ? 0 : 1;
    if (m_report)
        m_report->addRun(m_scenario, results, m_run, m_runStarted,
                         m_runClock.nsecsElapsed() / 1000);
    const bool more = m_run < m_options.repeat && !m_portLost && m_signals->received() == 0;
    if (!more && m_options.repeat > 1)
        say(QStringLiteral("%1 runs: %2 passed, %3 failed")
                .arg(m_run)
                .arg(m_run - m_failedRuns)
                .arg(m_failedRuns));
    // A new run starts from the event loop, not inside the runner's signal.
    if (more)
        QTimer::singleShot(0, this, &HeadlessRun::startRun);
    else
        QCoreApplication::quit();
}

bool HeadlessRun::finishReport() {
    if (!m_report)
        return true;
    const bool written = m_report->finish() && m_reportFile->commit();
    if (!written)
        complain(
            QStringLiteral("--junit %1: %2").arg(m_options.junit, m_reportFile->errorString()));
    m_report.reset();
    return written;
}
