#pragma once

#include <QString>

// What became of one step of a run.
struct StepResult {
    enum class Outcome { NotRun, Running, Passed, Failed, Stopped };
    // Why a step failed.
    enum class Fault {
        None,
        Mismatch,    // the next line came and did not match
        Timeout,     // no line (or, skipping, no matching line) in time
        PortFailed,  // the device vanished; `reason` says how
        SendFailed,  // the command could not be handed to the port
    };

    Outcome outcome = Outcome::NotRun;
    // From the send to its last expected line, in microseconds; -1 until
    // the step has passed.
    qint64 elapsedUs = -1;

    Fault fault = Fault::None;
    int line = 0;           // the file's line the step failed at
    QString expected;       // the pattern of that line, when it was an expected one
    bool skipping = false;  // it was a << line
    QString received;       // Mismatch: the line that came
    int timeoutMs = 0;      // Timeout
    int skipped = 0;        // Timeout of a << line: lines skipped meanwhile
    QString reason;         // PortFailed, SendFailed: the port's reason

    bool passed() const { return outcome == Outcome::Passed; }
};
