#pragma once

#include <climits>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "engine/audio/SoundDecoder.h"
#include "engine/swf/SoundTags.h"

namespace zd::engine {

// A DefineSound's coding and data, copied out of the movie: the audio thread owns its copy
// while the movie's bytes may still grow and move.
struct SoundSource {
    std::uint16_t id = 0;
    SoundCoding coding;
    std::uint32_t sampleCount = 0;  // as declared; 0 when the tag says nothing useful
    std::vector<std::uint8_t> data;

    static std::shared_ptr<const SoundSource> fromDefinition(const SoundDefinition& def);
};

// A sound decoded at its own rate and channel count.
struct NativeSound {
    int rate = 0;
    int channels = 1;
    std::vector<std::int16_t> samples;  // interleaved
    bool damaged = false;               // some of the data could not be decoded
    std::size_t frames() const { return channels > 0 ? samples.size() / channels : 0; }
};

// Decodes a whole sound: MP3 sounds lose the samples their SeekSamples field marks as the
// encoder's latency, and no sound runs past its declared sample count.
NativeSound decodeNativeSound(const SoundSource& source);

// An event sound as the mixer plays it: 44.1 kHz stereo, decoded ahead of whoever reads it,
// a little at a time, so a long sound costs no long pause before it starts.
class EventSound {
  public:
    // Decoded sounds end here whatever they claim (ten minutes, about 100 MB).
    static constexpr std::size_t kMaxFrames = std::size_t{44100} * 600;

    explicit EventSound(std::shared_ptr<const SoundSource> source);
    ~EventSound();

    std::uint16_t id() const { return source_->id; }
    // Recorded on one channel: both sides of the output carry the same samples.
    bool monoSource() const { return source_->coding.channels() == 1; }
    // Decodes until at least `frames` frames are ready, or the sound is complete, or
    // maxSteps steps (a few hundred milliseconds of sound each, at most) were taken.
    void decodeUntil(std::size_t frames, int maxSteps = INT_MAX);
    void decodeAll() { decodeUntil(kMaxFrames); }
    bool complete() const { return complete_; }
    bool damaged() const { return damaged_; }
    std::size_t framesReady() const { return pcm_.size() / 2; }
    // Interleaved stereo frames decoded so far; valid until the next decode call.
    std::span<const std::int16_t> pcm() const { return pcm_; }

  private:
    void decodeStep();
    void take(std::span<const std::int16_t> native);
    void finish();

    std::shared_ptr<const SoundSource> source_;
    std::unique_ptr<SoundDecoder> decoder_;
    std::unique_ptr<OutputResampler> resampler_;
    std::size_t offset_ = 0;          // of the next coded byte to decode
    std::size_t skipFrames_ = 0;      // native frames still to drop at the start
    std::uint64_t nativeFrames_ = 0;  // native frames kept so far
    std::vector<std::int16_t> native_;
    std::vector<std::int16_t> pcm_;
    bool complete_ = false;
    bool damaged_ = false;
};

}  // namespace zd::engine
