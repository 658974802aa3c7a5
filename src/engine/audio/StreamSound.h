#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "engine/audio/SoundDecoder.h"
#include "engine/swf/SoundTags.h"
#include "engine/swf/TimelineIndex.h"

namespace zd::engine {

// A timeline's stream sound, copied out of the movie: its head and the SoundStreamBlock of
// each of its frames (frames without one hold no block).
struct StreamBlocks {
    using Block = std::shared_ptr<const std::vector<std::uint8_t>>;

    SoundStreamHead head;
    double frameRate = 12.0;
    std::vector<Block> frames;  // nullptr: the frame has no block
    // Every frame of the timeline has arrived: no block will be added.
    bool complete = true;

    // Collects the stream of a timeline: the first SoundStreamHead (or Head2) in its frames
    // and every frame's first SoundStreamBlock after it. nullptr when the timeline has no
    // stream head. complete: no more frames of the timeline will arrive. With `earlier`, the
    // same stream collected before, only the frames it lacks are read.
    static std::shared_ptr<const StreamBlocks> collect(std::span<const std::uint8_t> movie,
                                                       std::span<const FrameRange> timeline,
                                                       double frameRate, bool complete = true,
                                                       const StreamBlocks* earlier = nullptr);
    std::span<const std::uint8_t> block(std::size_t frame) const {
        return frames[frame] ? std::span<const std::uint8_t>(*frames[frame])
                             : std::span<const std::uint8_t>();
    }
    // The first frame at or after `frame` with a block; nullopt when none is left.
    std::optional<std::size_t> nextBlock(std::size_t frame) const;
};

// Where a playing stream stands, readable from any thread while the mixer's thread plays it.
class StreamClock {
  public:
    StreamClock(int startFrame, double frameRate)
        : startFrame_(startFrame), frameRate_(frameRate) {}

    int startFrame() const { return startFrame_; }
    // Frames of the stream mixed so far (44.1 kHz).
    std::uint64_t mixed() const { return mixed_.load(std::memory_order_acquire); }
    // Every frame of the stream has been mixed.
    bool ended() const { return ended_.load(std::memory_order_acquire); }
    // The timeline frame the sound stands at once `played` frames of it were heard, and the
    // same in fractions of frames.
    int frameAt(std::uint64_t played) const;
    double positionAt(std::uint64_t played) const;

    void setMixed(std::uint64_t frames) { mixed_.store(frames, std::memory_order_release); }
    void setEnded() { ended_.store(true, std::memory_order_release); }

  private:
    int startFrame_;
    double frameRate_;
    std::atomic<std::uint64_t> mixed_{0};
    std::atomic<bool> ended_{false};
};

// Plays a stream from one of its frames on: decodes the blocks that follow, ahead of the
// reader, into 44.1 kHz stereo. Its sample clock (frames read since the start) tells which
// timeline frame the sound has reached.
class StreamSound {
  public:
    // A stream decoded this far ahead of its reader at most, whatever is asked.
    static constexpr std::size_t kMaxAhead = 44100 * 4;

    StreamSound(std::shared_ptr<const StreamBlocks> blocks, int startFrame);
    ~StreamSound();
    StreamSound(const StreamSound&) = delete;
    StreamSound& operator=(const StreamSound&) = delete;

    int startFrame() const { return startFrame_; }
    double frameRate() const { return blocks_->frameRate; }
    // Decodes until at least `frames` frames wait beyond the read position, or no block is
    // left (for now: a movie still loading may bring more). Also lets go of what has been
    // read.
    void decodeAhead(std::size_t frames);
    // Takes over more blocks of the same stream (a movie still loading), keeping its place.
    void extend(std::shared_ptr<const StreamBlocks> blocks);

    // For the mixer: the frames decoded and not read yet (interleaved stereo), and taking them.
    std::span<const std::int16_t> available() const { return std::span(pcm_).subspan(read_ * 2); }
    void consume(std::size_t frames) {
        read_ += frames;
        position_ += frames;
        clock_->setMixed(position_);
        if (ended()) {
            clock_->setEnded();
        }
    }
    // Every block decoded and every frame of it read.
    bool ended() const { return exhausted_ && read_ * 2 >= pcm_.size(); }

    // Frames read since the start (44.1 kHz).
    std::uint64_t position() const { return position_; }
    // The same, for other threads.
    const std::shared_ptr<StreamClock>& clock() const { return clock_; }

  private:
    void decodeBlock(std::size_t frame);
    void appendSilence(std::size_t outputFrames);
    void takeNative(std::span<const std::int16_t> native);

    std::shared_ptr<const StreamBlocks> blocks_;
    int startFrame_;
    std::size_t nextFrame_;       // the next timeline frame whose block is to be decoded
    bool exhausted_ = false;      // no block left to decode
    std::size_t skipNative_ = 0;  // native frames still to drop (MP3 seek samples)
    std::unique_ptr<SoundDecoder> decoder_;
    std::unique_ptr<OutputResampler> resampler_;
    std::vector<std::int16_t> native_;
    std::vector<std::int16_t> pcm_;
    std::size_t read_ = 0;  // frames of pcm_ read
    std::uint64_t position_ = 0;
    std::shared_ptr<StreamClock> clock_;
};

}  // namespace zd::engine
