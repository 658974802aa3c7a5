#pragma once

// One trace case of the conformance corpus: run its movie against the stand-in host and
// compare the trace lines with the recorded ones.

#include <string>
#include <vector>

namespace zd::avm1trace {

struct Approximations {
    bool enabled = false;
    double epsilon = 0;
    double maxRelative = 0;
    std::vector<std::string> numberPatterns;
};

// Whether actual matches expected (both whole texts, one line per trace), numbers compared
// within the approximations where the case allows it.
bool traceMatches(const std::string& expected, const std::string& actual,
                  const Approximations& approx);

struct CaseOutcome {
    bool ran = false;  // a trace case we could run
    bool passed = false;
    std::string actual;
    std::string expected;
    std::string detail;
};

// Runs the case in folder dir (manifest.json, test.swf, output.txt).
CaseOutcome runTraceCase(const std::string& dir);

}  // namespace zd::avm1trace
