#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "engine/swf/Records.h"

namespace zd::engine {

// The tag records of one root frame: [begin, end) of the uncompressed file, its ShowFrame tag
// included. The display model replays a frame by walking these bytes.
struct FrameRange {
    std::size_t begin = 0;
    std::size_t end = 0;
};

// Indexes the root timeline as the uncompressed file grows: where each frame's tags lie, the
// background colour changes, and the sprites met on the way (their frames are not root frames).
class TimelineIndex {
  public:
    enum class State {
        Scanning,   // more tags may come
        Ended,      // the End tag was reached
        Truncated,  // the data ended inside a tag or before an End tag
        Malformed,  // a tag header that no data can make whole
    };

    // Frames indexed at most; ShowFrame tags beyond are still counted. The header's frame
    // count is 16-bit, so a real movie never comes near.
    static constexpr std::size_t kMaxIndexedFrames = 65535;
    static constexpr std::size_t kMaxBackgroundChanges = 256;

    explicit TimelineIndex(std::size_t firstTagOffset = 0) : next_(firstTagOffset) {}

    // Indexes the whole tags of data not seen yet. bound: the most data can grow to;
    // complete: data will not grow any more.
    void update(std::span<const std::uint8_t> data, std::size_t bound, bool complete);

    State state() const { return state_; }
    // Root ShowFrame tags seen.
    std::uint64_t showFrameCount() const { return showFrames_; }
    const std::vector<FrameRange>& frames() const { return frames_; }
    // Where the next root tag starts (the end of the tags indexed so far).
    std::size_t scannedOffset() const { return next_; }
    std::uint64_t tagCount() const { return tags_; }

    // The background colour in effect on a frame (SetBackgroundColor tags of the root
    // timeline up to and including that frame), if any was set.
    std::optional<Rgba> backgroundAt(std::size_t frame) const;

    std::uint64_t spriteCount() const { return sprites_; }
    // ShowFrame tags inside sprites, nested ones included.
    std::uint64_t spriteShowFrameCount() const { return spriteShowFrames_; }

  private:
    void indexTag(std::span<const std::uint8_t> data, std::uint16_t code, std::size_t bodyOffset,
                  std::uint32_t length, std::size_t end);
    void countSprite(std::span<const std::uint8_t> body, int depth);

    std::size_t next_;
    std::size_t frameBegin_ = next_;
    State state_ = State::Scanning;
    std::uint64_t showFrames_ = 0;
    std::uint64_t tags_ = 0;
    std::uint64_t sprites_ = 0;
    std::uint64_t spriteShowFrames_ = 0;
    std::vector<FrameRange> frames_;
    std::vector<std::pair<std::uint64_t, Rgba>> backgrounds_;  // (frame, colour)
};

}  // namespace zd::engine
