#include "scenariorunner.h"

#include "commerror.h"

ScenarioRunner::ScenarioRunner(Sender send, QObject *parent)
    : QObject(parent), m_send(std::move(send)) {
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &ScenarioRunner::timerFired);
}

void ScenarioRunner::start(const Scenario &scenario) {
    Q_ASSERT(!isRunning());
    m_scenario = scenario;
    m_results = QList<StepResult>(scenario.steps().size());
    m_next = 0;
    m_step = -1;
    m_timeoutMs = Scenario::kDefaultTimeoutMs;
    m_lines.clear();
    m_pending.clear();
    m_state = State::Ready;
    advance();
}

void ScenarioRunner::advance() {
    using Kind = ScenarioAction::Kind;
    while (m_state == State::Ready) {
        if (m_next >= m_scenario.actions().size()) {
            endStep();
            if (m_state == State::Ready)
                finish(Outcome::Passed);
            return;
        }
        const ScenarioAction &next = action();
        switch (next.kind) {
            case Kind::Send:
                endStep();
                if (m_state != State::Ready)
                    return;
                ++m_step;
                current().outcome = StepResult::Outcome::Running;
                emit stepStarted(m_step);
                if (m_state != State::Ready)
                    return;
                m_lastMatchUs = 0;
                m_stepClock.start();
                try {
                    m_send(next.command + u'\r');
                } catch (const CommError &e) {
                    StepResult failure;
                    failure.fault = StepResult::Fault::SendFailed;
                    failure.reason = e.reason();
                    failStep(std::move(failure));
                    return;
                }
                ++m_next;
                break;
            case Kind::Timeout:
                m_timeoutMs = next.ms;
                ++m_next;
                break;
            case Kind::Wait:
                m_state = State::Waiting;
                m_timer.start(next.ms);
                return;
            case Kind::Expect:
            case Kind::Skip:
                m_state = State::Expecting;
                m_skipped = 0;
                m_timer.start(m_timeoutMs);
                takeLines();
                break;
        }
    }
}

void ScenarioRunner::receive(QByteArrayView bytes) {
    if (!isRunning())
        return;
    m_lines.feed(bytes, [this](const QString &line) { m_pending.push_back(line); });
    if (m_state != State::Expecting)
        return;
    takeLines();
    advance();
}

// Takes received lines for the expected line under way, until it matches,
// fails, or none is left.
void ScenarioRunner::takeLines() {
    while (m_state == State::Expecting && !m_pending.empty()) {
        const QString line = std::move(m_pending.front());
        m_pending.pop_front();
        const ScenarioAction &expected = action();
        if (expected.pattern.matches(line)) {
            m_timer.stop();
            m_lastMatchUs = m_stepClock.nsecsElapsed() / 1000;
            ++m_next;
            m_state = State::Ready;
            return;
        }
        if (expected.kind == ScenarioAction::Kind::Skip) {
            ++m_skipped;
            continue;
        }
        StepResult failure;
        failure.fault = StepResult::Fault::Mismatch;
        failure.received = line;
        failStep(std::move(failure));
    }
}

void ScenarioRunner::timerFired() {
    if (m_state == State::Waiting) {
        ++m_next;
        m_state = State::Ready;
        advance();
    } else if (m_state == State::Expecting) {
        StepResult failure;
        failure.fault = StepResult::Fault::Timeout;
        failure.timeoutMs = m_timeoutMs;
        failure.skipped = m_skipped;
        failStep(std::move(failure));
    }
}

void ScenarioRunner::portFailed(const QString &reason) {
    if (!isRunning())
        return;
    StepResult failure;
    failure.fault = StepResult::Fault::PortFailed;
    failure.reason = reason;
    failStep(std::move(failure));
}

void ScenarioRunner::stop() {
    if (!isRunning())
        return;
    m_timer.stop();
    m_state = State::Idle;
    if (m_step >= 0 && current().outcome == StepResult::Outcome::Running) {
        current().outcome = StepResult::Outcome::Stopped;
        emit stepFinished(m_step);
    }
    emit finished(Outcome::Stopped);
}

// The step under way has run all its actions: it passed.
void ScenarioRunner::endStep() {
    if (m_step < 0 || current().outcome != StepResult::Outcome::Running)
        return;
    current().outcome = StepResult::Outcome::Passed;
    current().elapsedUs = m_lastMatchUs;
    emit stepFinished(m_step);
}

void ScenarioRunner::failStep(StepResult &&failure) {
    m_timer.stop();
    m_state = State::Idle;
    // The port may fail before the first command, during a wait.
    m_step = qMax<qsizetype>(m_step, 0);
    failure.outcome = StepResult::Outcome::Failed;
    if (m_next < m_scenario.actions().size()) {
        const ScenarioAction &at = action();
        failure.line = at.line;
        if (at.kind == ScenarioAction::Kind::Expect || at.kind == ScenarioAction::Kind::Skip) {
            failure.expected = at.pattern.text();
            failure.skipping = at.kind == ScenarioAction::Kind::Skip;
        }
    }
    current() = std::move(failure);
    emit stepFinished(m_step);
    emit finished(Outcome::Failed);
}

void ScenarioRunner::finish(Outcome outcome) {
    m_timer.stop();
    m_state = State::Idle;
    emit finished(outcome);
}
