#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "engine/audio/Mixer.h"

namespace zd::engine {

// Where a movie's sound is mixed: the audio thread playing to a device, or the caller's own
// thread (tests, the headless front end). Commands reach the mixer in the order given.
class SoundHost {
  public:
    virtual ~SoundHost() = default;

    // Runs command with the mixer on the mixer's thread, before the next mix.
    virtual void run(std::function<void(Mixer&)> command) = 0;
    // Frames mixed but not heard yet (in the device's buffers).
    virtual std::uint64_t queuedFrames() const = 0;
    // Whether what is mixed is heard: false without a sound device, so that nothing waits
    // for a sound clock that does not run.
    virtual bool audible() const = 0;
    // Holds every voice where it is (nothing is mixed, nothing runs), or lets them go on.
    virtual void setPaused(bool paused) = 0;
};

// Mixes on the caller's thread, when told to: deterministic runs and the fake sound clock of
// tests. Its mix is kept when recording.
class DirectSoundHost final : public SoundHost {
  public:
    explicit DirectSoundHost(bool record = false) : record_(record) {}

    void run(std::function<void(Mixer&)> command) override { command(mixer_); }
    std::uint64_t queuedFrames() const override { return queued_; }
    bool audible() const override { return true; }
    void setPaused(bool paused) override { paused_ = paused; }
    bool paused() const { return paused_; }

    // Lets `frames` frames of sound time pass: mixed (and kept when recording) unless paused.
    void advance(std::size_t frames);
    // Pretends this many frames wait in a device's buffers.
    void setQueuedFrames(std::uint64_t frames) { queued_ = frames; }

    Mixer& mixer() { return mixer_; }
    // Interleaved stereo 16-bit at 44.1 kHz, everything mixed while recording.
    const std::vector<std::int16_t>& recording() const { return recording_; }

  private:
    Mixer mixer_;
    bool record_;
    bool paused_ = false;
    std::uint64_t queued_ = 0;
    std::vector<std::int16_t> recording_;
    std::vector<std::int16_t> scratch_;
};

}  // namespace zd::engine
