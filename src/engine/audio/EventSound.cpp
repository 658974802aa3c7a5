#include "engine/audio/EventSound.h"

#include <algorithm>

namespace zd::engine {

namespace {

bool isMp3(const SoundCoding& c) {
    return c.format == static_cast<std::uint8_t>(SoundFormat::Mp3);
}

// Coded bytes decoded per step: a few hundred milliseconds of sound or less. 0: the coding
// cannot be cut (an ADPCM record is one bit stream), it is decoded at once.
std::size_t stepBytes(const SoundCoding& c) {
    switch (static_cast<SoundFormat>(c.format)) {
        case SoundFormat::Mp3:
        case SoundFormat::Nellymoser:
        case SoundFormat::Nellymoser8k:
        case SoundFormat::Nellymoser16k:
            return 4096;  // the decoders take the pieces whole blocks or frames at a time
        case SoundFormat::PcmNativeEndian:
        case SoundFormat::PcmLittleEndian:
        case SoundFormat::G711ALaw:
        case SoundFormat::G711MuLaw:
            // Whole sample frames: a multiple of 4 bytes is one for every one of these.
            return 16384;
        default:
            return 0;
    }
}

// MP3 data starts with the encoder's latency in samples.
std::size_t mp3Latency(std::span<const std::uint8_t> data) {
    if (data.size() < 2) {
        return 0;
    }
    const auto seek = static_cast<std::int16_t>(data[0] | data[1] << 8);
    return seek > 0 ? static_cast<std::size_t>(seek) : 0;
}

}  // namespace

std::shared_ptr<const SoundSource> SoundSource::fromDefinition(const SoundDefinition& def) {
    auto s = std::make_shared<SoundSource>();
    s->id = def.id;
    s->coding = def.coding;
    s->sampleCount = def.sampleCount;
    s->data.assign(def.data.begin(), def.data.end());
    return s;
}

NativeSound decodeNativeSound(const SoundSource& source) {
    NativeSound out;
    auto decoder = SoundDecoder::create(source.coding);
    if (!decoder) {
        out.damaged = true;
        return out;
    }
    std::span<const std::uint8_t> data = source.data;
    std::size_t skip = 0;
    if (isMp3(source.coding)) {
        skip = mp3Latency(data);
        data = data.subspan(std::min<std::size_t>(2, data.size()));
    }
    out.damaged = !decoder->decode(data, out.samples);
    decoder->flush(out.samples);
    out.rate = decoder->sampleRate();
    out.channels = decoder->channels();
    const std::size_t ch = static_cast<std::size_t>(out.channels);
    std::size_t frames = out.samples.size() / ch;
    skip = std::min(skip, frames);
    out.samples.erase(out.samples.begin(), out.samples.begin() + static_cast<long>(skip * ch));
    frames -= skip;
    if (source.sampleCount > 0 && frames > source.sampleCount) {
        frames = source.sampleCount;
    }
    out.samples.resize(frames * ch);
    return out;
}

EventSound::EventSound(std::shared_ptr<const SoundSource> source) : source_(std::move(source)) {
    decoder_ = SoundDecoder::create(source_->coding);
    if (!decoder_) {
        complete_ = true;
        damaged_ = true;
        return;
    }
    if (isMp3(source_->coding)) {
        skipFrames_ = mp3Latency(source_->data);
        offset_ = std::min<std::size_t>(2, source_->data.size());
    }
    // The declared length, when believable, saves regrowing the buffer as it fills.
    const std::uint64_t expected = std::uint64_t{source_->sampleCount} * OutputResampler::kRate /
                                   static_cast<std::uint64_t>(source_->coding.sampleRate());
    if (expected > 0 && expected < kMaxFrames && expected / 64 < source_->data.size()) {
        pcm_.reserve(static_cast<std::size_t>(expected) * 2 + 4096);
    }
}

EventSound::~EventSound() = default;

void EventSound::decodeUntil(std::size_t frames, int maxSteps) {
    for (int step = 0; step < maxSteps && !complete_ && framesReady() < frames; ++step) {
        decodeStep();
    }
}

void EventSound::decodeStep() {
    const std::span<const std::uint8_t> all = source_->data;
    const std::size_t left = all.size() - offset_;
    const std::size_t step = stepBytes(source_->coding);
    const std::size_t n = step > 0 ? std::min(step, left) : left;
    native_.clear();
    if (n > 0 && !decoder_->decode(all.subspan(offset_, n), native_)) {
        damaged_ = true;
    }
    offset_ += n;
    take(native_);
    if (!complete_ && offset_ >= all.size()) {
        native_.clear();
        decoder_->flush(native_);
        take(native_);
        finish();
    }
}

void EventSound::take(std::span<const std::int16_t> native) {
    if (complete_) {
        return;
    }
    const int channels = decoder_->channels();
    const auto ch = static_cast<std::size_t>(channels);
    if (native.empty() || ch == 0) {
        return;
    }
    if (!resampler_ || resampler_->inputRate() != decoder_->sampleRate() ||
        resampler_->inputChannels() != channels) {
        if (resampler_) {
            resampler_->flush(pcm_);
        }
        resampler_ = std::make_unique<OutputResampler>(decoder_->sampleRate(), channels);
    }
    std::size_t frames = native.size() / ch;
    const std::size_t skip = std::min(skipFrames_, frames);
    skipFrames_ -= skip;
    frames -= skip;
    if (source_->sampleCount > 0) {
        const std::uint64_t room =
            source_->sampleCount > nativeFrames_ ? source_->sampleCount - nativeFrames_ : 0;
        frames = static_cast<std::size_t>(std::min<std::uint64_t>(frames, room));
    }
    nativeFrames_ += frames;
    resampler_->convert(native.subspan(skip * ch, frames * ch), pcm_);
    if (framesReady() >= kMaxFrames) {
        pcm_.resize(kMaxFrames * 2);
        finish();
    }
    if (source_->sampleCount > 0 && nativeFrames_ >= source_->sampleCount) {
        finish();
    }
}

void EventSound::finish() {
    if (complete_) {
        return;
    }
    if (resampler_) {
        resampler_->flush(pcm_);
        resampler_.reset();
    }
    if (framesReady() > kMaxFrames) {
        pcm_.resize(kMaxFrames * 2);
    }
    pcm_.shrink_to_fit();
    complete_ = true;
    decoder_.reset();
    native_ = {};
}

}  // namespace zd::engine
