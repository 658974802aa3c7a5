#pragma once

#include <QString>
#include <cstdint>
#include <span>

#include "engine/audio/MovieSound.h"
#include "engine/audio/SoundHost.h"

namespace zd::engine {

// Writes 44.1 kHz 16-bit stereo samples as a WAVE file; false when it cannot be written.
bool writeWave(const QString& path, std::span<const std::int16_t> stereo);

// The sound of a movie's root timeline as a run without a device hears it: the frames shown
// start their sounds, time passing mixes them. What the headless front end writes.
class SoundRecording {
  public:
    explicit SoundRecording(const MovieData& movie);

    // The root timeline shows this frame now.
    void frameShown(int frame) { sound_.rootFrameShown(frame); }
    // Lets ms of the run pass.
    void advance(double ms);
    const std::vector<std::int16_t>& samples() const { return host_.recording(); }
    bool save(const QString& path) const { return writeWave(path, samples()); }

  private:
    DirectSoundHost host_{true};
    MovieSound sound_{host_};
    double elapsedMs_ = 0.0;
    std::uint64_t framesMixed_ = 0;
};

}  // namespace zd::engine
