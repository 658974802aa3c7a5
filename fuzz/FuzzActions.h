#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace zd::fuzz {

struct ActionsRun {
    std::size_t traces = 0;  // lines traced
    std::size_t errors = 0;  // scripts stopped by a limit
};

// Runs arbitrary bytes as ActionScript: the first byte picks the movie version (3 to 10), the
// rest is one action block, run as the first two frames of a movie and then its timers, with
// tight limits (100 ms a script, 100 nested calls) so every input ends quickly.
ActionsRun runActions(std::span<const std::uint8_t> data);

}  // namespace zd::fuzz
