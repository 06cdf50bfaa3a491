#pragma once

#include "receivedlines.h"
#include "scenario.h"
#include "stepresult.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QTimer>

#include <deque>
#include <functional>

// Runs a scenario against the device: sends each command, then checks the
// lines that come back, one step after the other. It is a state machine
// driven by the received bytes it is given (receive()) and by its timer (an
// expected line's timeout, a wait): it never waits or sleeps, so it runs on
// the window's thread as well as headless.
//
// Nothing goes on the wire but what the file asks for: each > line's text
// and CR, through the sender it is given, and nothing after a failure or a
// stop. Received lines are taken in order: `<` checks the next line that
// came since the run started and was not taken yet, `<<` takes lines until
// one matches. The run stops at the first step that fails: a line that does
// not match, no line in time, a command the port would not take, or the
// port's failure (portFailed()).
//
// finished() is raised at the end of every run; a new run may not start
// from inside it (queue it).
class ScenarioRunner : public QObject {
    Q_OBJECT

public:
    // Hands a command message (text and CR) to the port; throws CommError
    // when the port will not take it.
    using Sender = std::function<void(const QString &message)>;

    enum class Outcome { Passed, Failed, Stopped };
    Q_ENUM(Outcome)

    explicit ScenarioRunner(Sender send, QObject *parent = nullptr);

    // Runs `scenario` from its start; results() begin as not run.
    void start(const Scenario &scenario);
    // Stops at once: the current step is marked stopped, nothing more is
    // sent. Does nothing when no run is on.
    void stop();
    bool isRunning() const { return m_state != State::Idle; }

    // Every byte received while a run is on.
    void receive(QByteArrayView bytes);
    // The port failed (the device vanished): the current step fails with
    // `reason`, and the run ends.
    void portFailed(const QString &reason);

    const Scenario &scenario() const { return m_scenario; }
    const QList<StepResult> &results() const { return m_results; }
    // The step under way, or -1.
    qsizetype currentStep() const { return m_step; }

signals:
    void stepStarted(qsizetype step);
    // results()[step] holds its outcome.
    void stepFinished(qsizetype step);
    void finished(ScenarioRunner::Outcome outcome);

private:
    enum class State { Idle, Ready, Expecting, Waiting };

    // Runs the actions from the next one on until one has to wait for a
    // line or the timer, or the run ends.
    void advance();
    void takeLines();
    void timerFired();
    void endStep();
    void failStep(StepResult &&failure);
    void finish(Outcome outcome);
    const ScenarioAction &action() const { return m_scenario.actions().at(m_next); }
    StepResult &current() { return m_results[m_step]; }

    Sender m_send;
    Scenario m_scenario;
    QList<StepResult> m_results;
    State m_state = State::Idle;
    qsizetype m_next = 0;  // the action to run, or under way
    qsizetype m_step = -1;
    int m_timeoutMs = Scenario::kDefaultTimeoutMs;
    int m_skipped = 0;  // lines a << has passed over
    QTimer m_timer;
    QElapsedTimer m_stepClock;  // since the step's send
    qint64 m_lastMatchUs = 0;   // its last expected line, on that clock
    ReceivedLines m_lines;
    std::deque<QString> m_pending;  // lines received and not yet taken
    bool m_advancing = false;
};
