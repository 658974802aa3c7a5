#pragma once

#include <cstdint>

namespace zd::engine {

// Frame rate used for a movie whose header gives none (a zero rate).
inline constexpr double kFallbackFrameRate = 12.0;
inline constexpr double kMaxFrameRate = 1000.0;

// The rate a movie is played at: its header's rate, kept within what a clock can do.
double playableFrameRate(double headerRate);

// Virtual time to frames, with no timer: tells how many frame intervals end as time passes.
// Used for deterministic runs (tests, the headless front end).
class FrameClock {
  public:
    explicit FrameClock(double framesPerSecond = kFallbackFrameRate);

    double framesPerSecond() const { return fps_; }
    double intervalMs() const { return 1000.0 / fps_; }
    void reset();
    // Moves time on by ms (negative counts as 0); returns how many frame intervals ended.
    int advance(double ms);

  private:
    double fps_;
    double elapsedMs_ = 0.0;
    std::int64_t framesDue_ = 0;
};

// Paces a real timer that takes whole milliseconds: each tick is aimed at its own due time
// (start + n * 1000 / rate, in fractions of a millisecond), so the rate holds exactly on
// average. A tick more than a frame late skips the frames missed rather than running them in
// a burst.
class TickPacer {
  public:
    explicit TickPacer(double framesPerSecond = kFallbackFrameRate);

    double intervalMs() const { return intervalMs_; }
    // The clock starts at nowMs: the first tick is due one interval later.
    void restart(double nowMs);
    // A tick ran at nowMs: how long (ms, never negative) until the next is due.
    double next(double nowMs);
    // Frames left out so far because ticks came too late.
    std::int64_t skipped() const { return skipped_; }

  private:
    double intervalMs_;
    double startMs_ = 0.0;
    std::int64_t ticks_ = 0;  // ticks since the start
    std::int64_t skipped_ = 0;
};

}  // namespace zd::engine
