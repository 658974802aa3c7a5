#pragma once

#include <QImage>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "engine/video/FlvFile.h"
#include "engine/video/VideoDecoder.h"

namespace zd::engine {

// The pictures of a FLV file a stream plays: the frame of the play time, decoded on from the
// frame shown when it lies ahead with no key frame between, else from the key frame before.
// A Video showing the stream asks for the picture as it draws; the stream sets the time.
class FlvVideo {
  public:
    // At most this many frames are decoded to reach one.
    static constexpr int kMaxCatchUp = 600;

    // The file as far as it has arrived (earlier bytes unchanged); complete: all of it.
    void setData(std::string bytes, bool complete);
    // Lets go of the file (the stream closed): no picture any more.
    void clear();
    const FlvFile& file() const { return file_; }
    std::size_t size() const { return data_.size(); }
    std::span<const std::uint8_t> bytes() const {
        return {reinterpret_cast<const std::uint8_t*>(data_.data()), data_.size()};
    }

    // The play time (ms) the picture follows.
    void setTime(double ms) { time_ = ms; }
    double time() const { return time_; }

    // The picture of the play time; the last one decoded when that frame yields none, a null
    // image before any.
    QImage picture();
    // Frames decoded so far (to check the work seeking costs).
    int framesDecoded() const { return decoded_; }

  private:
    bool openDecoder(std::uint8_t codec, std::span<const std::uint8_t> configuration);
    // The last H.264 configuration among the tags before that index (empty: none).
    std::span<const std::uint8_t> configuration(std::size_t before) const;

    std::string data_;
    FlvFile file_;
    double time_ = 0;
    std::unique_ptr<VideoDecoder> decoder_;
    std::uint8_t codec_ = 0;
    std::optional<std::size_t> shown_;  // tag index of the picture
    QImage picture_;
    int decoded_ = 0;
};

}  // namespace zd::engine
