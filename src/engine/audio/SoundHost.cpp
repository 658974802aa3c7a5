#include "engine/audio/SoundHost.h"

#include <algorithm>

namespace zd::engine {

void DirectSoundHost::advance(std::size_t frames) {
    if (paused_ || frames == 0) {
        return;
    }
    // In passes no longer than the audio thread's, each decoded a little beyond its end.
    constexpr std::size_t kPass = Mixer::kRate / 10;
    while (frames > 0) {
        const std::size_t n = std::min(frames, kPass);
        mixer_.prepare(n + 4096);
        scratch_.resize(n * 2);
        mixer_.mix(scratch_.data(), n);
        if (record_) {
            recording_.insert(recording_.end(), scratch_.begin(), scratch_.end());
        }
        frames -= n;
    }
}

}  // namespace zd::engine
