#pragma once

#include <QJsonObject>
#include <QtGlobal>

// The sizes and time budgets of one benchmark run.
struct BenchScale {
    qint64 floodBytes = 50'000'000;   // the ordinary flood
    int floodRuns = 5;                // of it, each followed by the bare reader
    qint64 replyEvery = 10'000;       // a reply in the flood every so many bytes
    int idleReplies = 1000;           // replies to an idle console
    qint64 lineBytes = 5'000'000;     // the line without line ends
    qint64 lowLevel = 10'000'000;     // memory is weighed at low and top
    qint64 topLevel = 100'000'000;    // cost is probed at 0, top / 2 and top
    qint64 levelWindow = 2'000'000;   // cost at a level: the next this many bytes
    qint64 checkpointStep = 125'000;  // cost and memory are noted this often
    double baselineBudgetS = 20;      // the baseline's flood stops after this
    double baselineProbeS = 3;        // its appends at a level last at least this
    double oursBudgetS = 150;         // no run of the console lasts longer
    int startupRuns = 7;
    int replugRuns = 10;         // the device vanishes and comes back
    double replugWaitS = 60;     // then stays away this long
    int scenarioSteps = 10'000;  // a scenario run headless

    static BenchScale full() { return {}; }

    // A run of a minute or so, for a first look; its figures are not the goals'.
    static BenchScale quick() {
        BenchScale s;
        s.floodBytes = 2'000'000;
        s.replyEvery = 2'000;
        s.idleReplies = 300;
        s.lineBytes = 1'000'000;
        s.lowLevel = 5'000'000;
        s.topLevel = 10'000'000;
        s.levelWindow = 1'000'000;
        s.baselineBudgetS = 5;
        s.baselineProbeS = 1;
        s.oursBudgetS = 60;
        s.startupRuns = 3;
        s.replugWaitS = 10;
        s.scenarioSteps = 1000;
        return s;
    }

    QJsonObject toJson() const {
        return {{"floodBytes", double(floodBytes)},
                {"floodRuns", floodRuns},
                {"replyEvery", double(replyEvery)},
                {"idleReplies", idleReplies},
                {"lineBytes", double(lineBytes)},
                {"lowLevel", double(lowLevel)},
                {"topLevel", double(topLevel)},
                {"levelWindow", double(levelWindow)},
                {"checkpointStep", double(checkpointStep)},
                {"baselineBudgetS", baselineBudgetS},
                {"baselineProbeS", baselineProbeS},
                {"oursBudgetS", oursBudgetS},
                {"startupRuns", startupRuns},
                {"replugRuns", replugRuns},
                {"replugWaitS", replugWaitS},
                {"scenarioSteps", scenarioSteps}};
    }
};
