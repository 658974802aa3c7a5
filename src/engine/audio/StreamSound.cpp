#include "engine/audio/StreamSound.h"

#include <algorithm>
#include <cmath>

#include "engine/swf/TagCodes.h"
#include "engine/swf/TagWalker.h"

namespace zd::engine {

namespace {

bool isMp3(const SoundCoding& c) {
    return c.format == static_cast<std::uint8_t>(SoundFormat::Mp3);
}

std::size_t framesPerTimelineFrame(double frameRate) {
    return static_cast<std::size_t>(std::lround(OutputResampler::kRate / frameRate));
}

}  // namespace

std::shared_ptr<const StreamBlocks> StreamBlocks::collect(std::span<const std::uint8_t> movie,
                                                          std::span<const FrameRange> timeline,
                                                          double frameRate, bool complete,
                                                          const StreamBlocks* earlier) {
    auto s = std::make_shared<StreamBlocks>();
    s->frameRate = frameRate > 0 ? frameRate : 12.0;
    s->complete = complete;
    bool headFound = false;
    if (earlier != nullptr && earlier->frames.size() <= timeline.size()) {
        s->head = earlier->head;
        s->frames = earlier->frames;
        headFound = true;
    }
    const std::size_t from = s->frames.size();
    s->frames.resize(timeline.size());
    for (std::size_t f = from; f < timeline.size(); ++f) {
        const FrameRange& range = timeline[f];
        if (range.begin > range.end || range.end > movie.size()) {
            break;
        }
        TagWalker walker(movie.first(range.end), range.begin);
        while (const auto tag = walker.next()) {
            const auto code = static_cast<TagCode>(tag->code);
            if ((code == TagCode::SoundStreamHead || code == TagCode::SoundStreamHead2) &&
                !headFound) {
                if (const auto head = parseSoundStreamHead(walker.body(*tag))) {
                    s->head = *head;
                    headFound = true;
                }
            } else if (code == TagCode::SoundStreamBlock && headFound && !s->frames[f]) {
                const auto body = walker.body(*tag);
                s->frames[f] =
                    std::make_shared<const std::vector<std::uint8_t>>(body.begin(), body.end());
            }
        }
    }
    if (!headFound) {
        return nullptr;
    }
    return s;
}

std::optional<std::size_t> StreamBlocks::nextBlock(std::size_t frame) const {
    for (std::size_t f = frame; f < frames.size(); ++f) {
        if (frames[f]) {
            return f;
        }
    }
    return std::nullopt;
}

StreamSound::StreamSound(std::shared_ptr<const StreamBlocks> blocks, int startFrame)
    : blocks_(std::move(blocks)),
      startFrame_(std::max(startFrame, 0)),
      nextFrame_(static_cast<std::size_t>(startFrame_)),
      clock_(std::make_shared<StreamClock>(startFrame_, blocks_->frameRate)) {
    decoder_ = SoundDecoder::create(blocks_->head.coding);
    if (!decoder_) {
        exhausted_ = true;
        clock_->setEnded();
        return;
    }
    const auto first = blocks_->nextBlock(nextFrame_);
    if (first && isMp3(blocks_->head.coding)) {
        // The first block's seek samples are the encoder's latency; any other block's are
        // how far its first MP3 frame starts before the frame's own place in the sound.
        if (const auto b = parseMp3StreamBlock(blocks_->block(*first))) {
            skipNative_ = b->seekSamples > 0 ? static_cast<std::size_t>(b->seekSamples) : 0;
        }
    }
}

StreamSound::~StreamSound() = default;

void StreamSound::extend(std::shared_ptr<const StreamBlocks> blocks) {
    if (blocks && blocks->frames.size() >= blocks_->frames.size()) {
        blocks_ = std::move(blocks);
    }
}

double StreamClock::positionAt(std::uint64_t played) const {
    return startFrame_ + static_cast<double>(played) * frameRate_ / OutputResampler::kRate;
}

int StreamClock::frameAt(std::uint64_t played) const {
    const double frames =
        std::floor(static_cast<double>(played) * frameRate_ / OutputResampler::kRate + 1e-9);
    return startFrame_ + static_cast<int>(std::min(frames, 1e9));
}

void StreamSound::appendSilence(std::size_t outputFrames) {
    pcm_.insert(pcm_.end(), outputFrames * 2, 0);
}

void StreamSound::takeNative(std::span<const std::int16_t> native) {
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
    const std::size_t frames = native.size() / ch;
    const std::size_t skip = std::min(skipNative_, frames);
    skipNative_ -= skip;
    resampler_->convert(native.subspan(skip * ch, (frames - skip) * ch), pcm_);
}

void StreamSound::decodeBlock(std::size_t frame) {
    auto data = blocks_->block(frame);
    if (isMp3(blocks_->head.coding)) {
        const auto b = parseMp3StreamBlock(data);
        data = b ? b->frames : std::span<const std::uint8_t>();
    }
    native_.clear();
    decoder_->decode(data, native_);
    takeNative(native_);
}

void StreamSound::decodeAhead(std::size_t frames) {
    if (read_ > 0) {
        pcm_.erase(pcm_.begin(), pcm_.begin() + static_cast<std::ptrdiff_t>(read_ * 2));
        read_ = 0;
    }
    frames = std::min(frames, kMaxAhead);
    while (!exhausted_ && pcm_.size() / 2 < frames) {
        const auto next = blocks_->nextBlock(nextFrame_);
        if (!next) {
            if (!blocks_->complete) {
                return;  // the rest of a movie still loading may bring more
            }
            exhausted_ = true;
            break;
        }
        // Frames without a block between two that have one are silent (so is the start of a
        // stream begun between its blocks); after the last block the stream ends.
        appendSilence((*next - nextFrame_) * framesPerTimelineFrame(blocks_->frameRate));
        decodeBlock(*next);
        nextFrame_ = *next + 1;
    }
    if (exhausted_ && decoder_) {
        native_.clear();
        decoder_->flush(native_);
        takeNative(native_);
        if (resampler_) {
            resampler_->flush(pcm_);
        }
        decoder_.reset();
        resampler_.reset();
    }
}

}  // namespace zd::engine
