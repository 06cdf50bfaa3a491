#pragma once

#include <QJsonObject>
#include <QString>

// A long test scenario run headless against the device simulator at full
// speed, beside the device's own round trip.
//
// The simulator (kalvex-sim --fast) serves one pty. First a bare
// reader/writer of that pty does the same exchanges as the scenario, one
// after the other: writes a command and its CR, blocks until the reply's
// line end is read; each exchange is timed. That is the device's own round
// trip: the pty both ways and the simulator's answer, with no event loop
// and nothing kept. Then the real console runs the scenario headless
// (rs232-kalvex --run, no display) on the same pty with a JUnit report, and
// each step's time (from its send to its expected line, as the console
// measures it) is read from the report; the process's peak resident memory
// comes from wait4().
//
// The two take turns, a few rounds, so that both see the machine in the
// same mood. Figures: "stepMedianMs" and "bareMedianMs" (each the median of
// the rounds' medians), "peakRssKiB" (the largest of the runs), "wallS" (a
// whole run, start-up included, the median), "steps", "rounds", "passed"
// (every run's exit status was 0 and every step passed); "error" when it
// could not be measured.
namespace ScenarioBench {

// `rounds` times the bare exchange, then the console, in turn.
QJsonObject run(const QString &console, const QString &simulator, int steps, int rounds = 3);

}  // namespace ScenarioBench
