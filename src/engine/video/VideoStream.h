#pragma once

#include <QImage>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <unordered_map>

#include "engine/swf/VideoTags.h"
#include "engine/video/VideoDecoder.h"

namespace zd::engine {

// The video streams a movie defines and the frames its timelines carry for them (VideoFrame
// tags lie on the root timeline or in sprites), indexed as the movie's tags arrive. Offsets
// only are kept: the data may move as it grows.
class VideoLibrary {
  public:
    struct Location {
        std::size_t offset = 0;  // of the frame's coded data in the movie
        std::size_t size = 0;
        bool key = false;
    };
    using Frames = std::map<std::uint16_t, Location>;

    // Indexes the whole root tags in data[from, to) not seen yet, sprites' tags included.
    void update(std::span<const std::uint8_t> data, std::size_t firstTag, std::size_t to);

    const VideoStreamDefinition* stream(std::uint16_t id) const;
    // The frames a stream has, by frame number; nullptr for a stream with none.
    const Frames* frames(std::uint16_t id) const;

  private:
    void indexTags(std::span<const std::uint8_t> data, std::size_t begin, std::size_t end,
                   int depth);
    void indexFrame(std::span<const std::uint8_t> data, std::size_t bodyOffset,
                    std::uint32_t length);

    std::size_t next_ = 0;
    bool started_ = false;
    std::unordered_map<std::uint16_t, VideoStreamDefinition> streams_;
    std::unordered_map<std::uint16_t, Frames> frames_;
};

// Shows one placed video: decodes the frame asked for, carrying on from the frame shown
// when it lies ahead without a key frame between, else from the key frame before it.
class VideoPlayer {
  public:
    // At most this many frames are decoded to reach one (a stream with too few key frames).
    static constexpr int kMaxCatchUp = 600;

    explicit VideoPlayer(const VideoStreamDefinition& stream);

    // The picture of frame frameNum; the last picture decoded when that frame yields none,
    // a null image before any.
    QImage frame(const VideoLibrary& library, std::span<const std::uint8_t> data, int frameNum);
    const VideoStreamDefinition& stream() const { return stream_; }
    // Frames decoded since this player was made (to check the work seeking costs).
    int framesDecoded() const { return decoded_; }

  private:
    QImage cropToStream(QImage image) const;

    VideoStreamDefinition stream_;
    std::unique_ptr<VideoDecoder> decoder_;
    bool failed_ = false;
    int shown_ = -1;  // frame number of picture_
    QImage picture_;
    int decoded_ = 0;
};

}  // namespace zd::engine
