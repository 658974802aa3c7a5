#pragma once

#include <QString>
#include <cstdint>
#include <span>

#include "engine/audio/SoundHost.h"
#include "engine/audio/TimelineSound.h"

namespace zd::engine {

// Writes 44.1 kHz 16-bit stereo samples as a WAVE file; false when it cannot be written.
bool writeWave(const QString& path, std::span<const std::int16_t> stereo);

// The sound of a movie as a run without a device hears it: plugged into the movie's tick
// (hooks()), the frames run start their sounds and time passing mixes them. Frames move one
// a tick, as the run decides, not as the sound would lead them. What the headless front end
// writes.
class SoundRecording {
  public:
    SoundRecording();

    // For MovieRunner::setSoundHooks (before the movie is put).
    SoundHooks& hooks() { return timelines_; }
    // Lets ms of the run pass.
    void advance(double ms);
    const std::vector<std::int16_t>& samples() const { return host_.recording(); }
    bool save(const QString& path) const { return writeWave(path, samples()); }

  private:
    DirectSoundHost host_{true};
    TimelineSound timelines_{host_};
    double elapsedMs_ = 0.0;
    std::uint64_t framesMixed_ = 0;
};

}  // namespace zd::engine
