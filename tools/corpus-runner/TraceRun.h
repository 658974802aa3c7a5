#pragma once

#include <QSize>
#include <QString>
#include <string>
#include <vector>

#include "TraceCase.h"
#include "engine/player/InputScript.h"

namespace zd::engine {
class StagePlayer;
}

namespace zd::corpus {

// A trace case: the movie's trace() output over some steps, compared with a recorded text.
struct TraceCase {
    QString name;  // the folder name
    QString dir;
    bool frames = true;  // step unit: frames, or clock ticks
    int steps = 1;
    double tickMs = 0;  // ticks only; 0 for one frame interval
    std::string expected;
    avm1trace::Approximations approx;
    // The recording lists the pages the movie asked to open among its trace lines.
    bool logNavigation = false;
    // The recorded peer XMLSocket connections talk to (a file in the case's folder), if any.
    QString socketScript;
    // The screen the recording's desktop had, in its own (scaled) pixels; empty: the default.
    QSize screen;
};

// Reads a case's manifest and expected text; false when it is not a trace case.
bool readTraceCase(const QString& dir, TraceCase& out);

struct TraceRun {
    bool loaded = false;  // the movie could be read
    std::string output;   // one line per trace()
    std::vector<std::string> errors;
};

// The case's recorded input (input.json), if it has any.
engine::InputScript readCaseInput(const QString& dir);
// Hands the player the input recorded for after step `step` (from 1).
void deliverStepInput(engine::StagePlayer& player, const engine::InputScript& script, int step);

// Runs the movie on the player with its scripts, step by step as the case asks.
TraceRun runTraceMovie(const TraceCase& c);

}  // namespace zd::corpus
