#include "engine/player/FrameClock.h"

#include <algorithm>
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

TickPacer::TickPacer(double framesPerSecond)
    : intervalMs_(1000.0 / playableFrameRate(framesPerSecond)) {}

void TickPacer::restart(double nowMs) {
    startMs_ = nowMs;
    ticks_ = 0;
}

double TickPacer::next(double nowMs) {
    if (!std::isfinite(nowMs)) {
        return intervalMs_;
    }
    ++ticks_;
    double due = startMs_ + static_cast<double>(ticks_ + 1) * intervalMs_;
    if (nowMs - due > intervalMs_) {
        // Keep the phase, drop the frames missed: the next tick is the next due slot.
        const double slots = std::floor((nowMs - startMs_) / intervalMs_);
        if (!std::isfinite(slots) || slots > 1e15) {
            restart(nowMs);
            return intervalMs_;
        }
        const auto at = static_cast<std::int64_t>(slots);
        skipped_ += at - ticks_;
        ticks_ = at;
        due = startMs_ + static_cast<double>(ticks_ + 1) * intervalMs_;
    }
    // A clock that ran back (it should not) waits no more than two intervals.
    return std::clamp(due - nowMs, 0.0, 2 * intervalMs_);
}

}  // namespace zd::engine
