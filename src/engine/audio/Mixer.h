#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "engine/audio/EventSound.h"
#include "engine/audio/StreamSound.h"
#include "engine/swf/SoundTags.h"

namespace zd::engine {

// How a sound's two sides reach the output's: left out = ll*left + rl*right, right out =
// lr*left + rr*right, all times volume (1 = as recorded).
struct SoundTransform {
    float leftToLeft = 1.0f;
    float leftToRight = 0.0f;
    float rightToLeft = 0.0f;
    float rightToRight = 1.0f;
    float volume = 1.0f;
    bool operator==(const SoundTransform&) const = default;
};

// Names what plays for stopping it, refusing a second start and transforming it: a sound's
// character id, or a timeline's stream.
using SoundKey = std::uint32_t;

// Mixes any number of voices into 44.1 kHz 16-bit stereo: event sounds with their sound info
// (in and out points, loops, envelope) and streams, under per-sound transforms and the movie's
// volume, clipped at full scale. Single-threaded: the audio thread, or a run with no device,
// owns it. Everything that may allocate or decode is done by prepare(); mix() only reads
// what is ready and writes the caller's buffer.
class Mixer {
  public:
    static constexpr int kRate = 44100;
    // Event sounds beyond this many at once are not started: a script starting a sound in a
    // loop must not make the audio thread's work grow without end.
    static constexpr std::size_t kMaxVoices = 1024;

    Mixer();
    ~Mixer();
    Mixer(const Mixer&) = delete;
    Mixer& operator=(const Mixer&) = delete;

    // Starts (or, for a stop record, stops) an event sound. Returns whether a voice started:
    // not for a stop, nor when the record forbids a second voice of a sound still playing.
    bool play(std::shared_ptr<EventSound> sound, SoundKey key, const SoundInfo& info);
    // Plays a stream under key, in place of any stream playing under it.
    void playStream(std::shared_ptr<StreamSound> stream, SoundKey key);
    void stop(SoundKey key);
    void stopAll();
    bool isPlaying(SoundKey key) const;
    std::size_t voiceCount() const;

    // The movie's volume (0 to 1 and beyond: louder clips) and one sound's transform; a
    // transform holds for the voices playing and those started later under its key.
    void setVolume(float volume) { volume_ = volume < 0 ? 0 : volume; }
    float volume() const { return volume_; }
    void setTransform(SoundKey key, const SoundTransform& transform);

    // Decodes what the voices will read next (at least `frames` ahead of each) and lets go
    // of the voices that ended. Call before mix(), never from inside it.
    void prepare(std::size_t frames);
    // Mixes `frames` stereo frames into out (2 * frames samples). Allocates nothing.
    void mix(std::int16_t* out, std::size_t frames);
    std::uint64_t framesMixed() const { return framesMixed_; }

  private:
    struct Voice;
    void mixVoice(Voice& v, float* acc, std::size_t frames);
    void mixEvent(Voice& v, float* acc, std::size_t frames);
    void mixStream(Voice& v, float* acc, std::size_t frames);
    SoundTransform transformFor(SoundKey key) const;

    std::vector<std::unique_ptr<Voice>> voices_;
    std::unordered_map<SoundKey, SoundTransform> transforms_;
    std::vector<float> accumulator_;
    float volume_ = 1.0f;
    std::uint64_t framesMixed_ = 0;
};

}  // namespace zd::engine
