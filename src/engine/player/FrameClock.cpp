#include "engine/player/FrameClock.h"

#include <climits>
#include <cmath>

namespace zd::engine {

double playableFrameRate(double headerRate) {
    if (!(headerRate > 0.0)) {
        return kFallbackFrameRate;
    }
    return headerRate > kMaxFrameRate ? kMaxFrameRate : headerRate;
}

FrameClock::FrameClock(double framesPerSecond) : fps_(playableFrameRate(framesPerSecond)) {}

void FrameClock::reset() {
    elapsedMs_ = 0.0;
    framesDue_ = 0;
}

int FrameClock::advance(double ms) {
    if (!(ms > 0.0)) {
        return 0;
    }
    elapsedMs_ += ms;
    // The small allowance keeps exact multiples of the interval (1000/24 ms ticks at 24 fps)
    // from losing a frame to rounding.
    const double due = std::floor(elapsedMs_ * fps_ / 1000.0 + 1e-9);
    const auto total =
        due > static_cast<double>(INT64_MAX / 2) ? INT64_MAX / 2 : static_cast<std::int64_t>(due);
    const std::int64_t step = total - framesDue_;
    framesDue_ = total;
    return step > INT_MAX ? INT_MAX : static_cast<int>(step);
}

}  // namespace zd::engine
