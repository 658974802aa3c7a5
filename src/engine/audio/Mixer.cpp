#include "engine/audio/Mixer.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace zd::engine {

namespace {

// Frames mixed per pass over the voices; the accumulator holds one pass.
constexpr std::size_t kPassFrames = 1024;
constexpr float kFullLevel = 32768.0f;
// Decoding steps one voice may take in one prepare(): seconds of sound, where a pass needs
// a fraction of one.
constexpr int kDecodeStepsPerPrepare = 16;

}  // namespace

struct Mixer::Voice {
    SoundKey key = 0;
    SoundTransform transform;
    bool finished = false;

    // An event sound.
    std::shared_ptr<EventSound> sound;
    std::uint64_t begin = 0;                                        // in point
    std::uint64_t end = std::numeric_limits<std::uint64_t>::max();  // past the out point
    std::uint64_t position = 0;
    std::uint32_t loopsLeft = 1;
    std::uint64_t elapsed = 0;  // frames played since the start, through the loops
    std::vector<SoundEnvelopePoint> envelope;
    std::size_t envelopeIndex = 0;
    bool mono = false;

    // A stream.
    std::shared_ptr<StreamSound> stream;

    // The envelope's levels (0 to 1) at a place on the sound's own timeline.
    void envelopeAt(std::uint64_t at, float& left, float& right) {
        while (envelopeIndex + 1 < envelope.size() &&
               envelope[envelopeIndex + 1].position44 <= at) {
            ++envelopeIndex;
        }
        const SoundEnvelopePoint& a = envelope[envelopeIndex];
        if (at <= a.position44 || envelopeIndex + 1 >= envelope.size()) {
            left = a.left / kFullLevel;
            right = a.right / kFullLevel;
        } else {
            const SoundEnvelopePoint& b = envelope[envelopeIndex + 1];
            const float t = static_cast<float>(at - a.position44) /
                            static_cast<float>(b.position44 - a.position44);
            left = (a.left + (b.left - a.left) * t) / kFullLevel;
            right = (a.right + (b.right - a.right) * t) / kFullLevel;
        }
        if (mono) {
            // One channel recorded: its two levels count as one.
            left = right = (left + right) / 2;
        }
    }
};

Mixer::Mixer() : accumulator_(kPassFrames * 2) {
    voices_.reserve(64);
}

Mixer::~Mixer() = default;

SoundTransform Mixer::transformFor(SoundKey key) const {
    const auto it = transforms_.find(key);
    return it != transforms_.end() ? it->second : SoundTransform{};
}

bool Mixer::play(std::shared_ptr<EventSound> sound, SoundKey key, const SoundInfo& info) {
    if (info.stop) {
        stop(key);
        return false;
    }
    if (!sound || (info.noMultiple && isPlaying(key)) || voices_.size() >= kMaxVoices) {
        return false;
    }
    auto v = std::make_unique<Voice>();
    v->key = key;
    v->transform = transformFor(key);
    v->mono = sound->monoSource();
    v->sound = std::move(sound);
    v->begin = info.inPoint.value_or(0);
    if (info.outPoint) {
        // The out point names the last sample played.
        v->end = std::uint64_t{*info.outPoint} + 1;
    }
    v->position = v->begin;
    v->loopsLeft = std::max<std::uint32_t>(info.loops, 1);
    v->envelope = info.envelope;
    std::stable_sort(v->envelope.begin(), v->envelope.end(),
                     [](const auto& a, const auto& b) { return a.position44 < b.position44; });
    voices_.push_back(std::move(v));
    return true;
}

void Mixer::playStream(std::shared_ptr<StreamSound> stream, SoundKey key) {
    for (auto& v : voices_) {
        if (v->key == key && v->stream) {
            v->finished = true;
        }
    }
    if (!stream) {
        return;
    }
    auto v = std::make_unique<Voice>();
    v->key = key;
    v->transform = transformFor(key);
    v->stream = std::move(stream);
    voices_.push_back(std::move(v));
}

void Mixer::stop(SoundKey key) {
    for (auto& v : voices_) {
        if (v->key == key) {
            v->finished = true;
        }
    }
}

void Mixer::stopAll() {
    for (auto& v : voices_) {
        v->finished = true;
    }
}

bool Mixer::isPlaying(SoundKey key) const {
    return std::any_of(voices_.begin(), voices_.end(),
                       [key](const auto& v) { return v->key == key && !v->finished; });
}

std::size_t Mixer::voiceCount() const {
    return static_cast<std::size_t>(
        std::count_if(voices_.begin(), voices_.end(), [](const auto& v) { return !v->finished; }));
}

void Mixer::setTransform(SoundKey key, const SoundTransform& transform) {
    transforms_[key] = transform;
    for (auto& v : voices_) {
        if (v->key == key) {
            v->transform = transform;
        }
    }
}

void Mixer::prepare(std::size_t frames) {
    std::erase_if(voices_, [](const auto& v) { return v->finished; });
    for (auto& v : voices_) {
        if (v->stream) {
            v->stream->decodeAhead(frames);
        } else if (v->sound) {
            // Where the voice reads next, as far as `frames` takes it; a voice near its out
            // point loops back to the in point, which is decoded already. A few steps at a
            // time: a voice starting far into a long sound gets there over a few passes
            // instead of stalling the others for the whole way.
            const std::uint64_t until = std::min(v->position + frames, v->end);
            v->sound->decodeUntil(
                static_cast<std::size_t>(std::min<std::uint64_t>(until, EventSound::kMaxFrames)),
                kDecodeStepsPerPrepare);
        }
    }
}

void Mixer::mix(std::int16_t* out, std::size_t frames) {
    while (frames > 0) {
        const std::size_t n = std::min(frames, kPassFrames);
        float* acc = accumulator_.data();
        std::fill_n(acc, n * 2, 0.0f);
        for (auto& v : voices_) {
            if (!v->finished) {
                mixVoice(*v, acc, n);
            }
        }
        for (std::size_t i = 0; i < n * 2; ++i) {
            const float s = acc[i] * volume_;
            out[i] = static_cast<std::int16_t>(std::lrintf(std::clamp(s, -32768.0f, 32767.0f)));
        }
        out += n * 2;
        frames -= n;
        framesMixed_ += n;
    }
}

void Mixer::mixVoice(Voice& v, float* acc, std::size_t frames) {
    if (v.stream) {
        mixStream(v, acc, frames);
    } else {
        mixEvent(v, acc, frames);
    }
}

void Mixer::mixEvent(Voice& v, float* acc, std::size_t frames) {
    const SoundTransform& t = v.transform;
    const float ll = t.leftToLeft * t.volume;
    const float lr = t.leftToRight * t.volume;
    const float rl = t.rightToLeft * t.volume;
    const float rr = t.rightToRight * t.volume;
    std::size_t done = 0;
    while (done < frames) {
        const std::span<const std::int16_t> pcm = v.sound->pcm();
        const std::uint64_t ready = pcm.size() / 2;
        const std::uint64_t limit = std::min(v.end, ready);
        if (v.position >= limit) {
            if (!v.sound->complete() && v.position < v.end) {
                return;  // not decoded yet: wait rather than skip
            }
            // One pass is over: loop back, or end. A pass that plays nothing ends the voice.
            const std::uint64_t passEnd = v.sound->complete() ? std::min(v.end, ready) : v.end;
            if (--v.loopsLeft == 0 || v.begin >= passEnd) {
                v.finished = true;
                return;
            }
            v.position = v.begin;
            continue;
        }
        const std::size_t n =
            static_cast<std::size_t>(std::min<std::uint64_t>(frames - done, limit - v.position));
        const std::int16_t* src = pcm.data() + v.position * 2;
        float* dst = acc + done * 2;
        if (v.envelope.empty()) {
            for (std::size_t i = 0; i < n; ++i) {
                const float l = src[2 * i];
                const float r = src[2 * i + 1];
                dst[2 * i] += l * ll + r * rl;
                dst[2 * i + 1] += l * lr + r * rr;
            }
        } else {
            const std::uint64_t at = v.begin + v.elapsed;
            for (std::size_t i = 0; i < n; ++i) {
                float el = 1.0f;
                float er = 1.0f;
                v.envelopeAt(at + i, el, er);
                const float l = src[2 * i] * el;
                const float r = src[2 * i + 1] * er;
                dst[2 * i] += l * ll + r * rl;
                dst[2 * i + 1] += l * lr + r * rr;
            }
        }
        v.position += n;
        v.elapsed += n;
        done += n;
    }
}

void Mixer::mixStream(Voice& v, float* acc, std::size_t frames) {
    const SoundTransform& t = v.transform;
    const std::span<const std::int16_t> pcm = v.stream->available();
    const std::size_t n = std::min(frames, pcm.size() / 2);
    for (std::size_t i = 0; i < n; ++i) {
        const float l = pcm[2 * i];
        const float r = pcm[2 * i + 1];
        acc[2 * i] += (l * t.leftToLeft + r * t.rightToLeft) * t.volume;
        acc[2 * i + 1] += (l * t.leftToRight + r * t.rightToRight) * t.volume;
    }
    v.stream->consume(n);
    if (v.stream->ended()) {
        v.finished = true;
    }
}

}  // namespace zd::engine
