#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace zd::engine {

// Video codecs by their number in DefineVideoStream (7, H.264, only comes in FLV files).
enum class VideoCodec : std::uint8_t {
    SorensonH263 = 2,
    ScreenVideo = 3,
    Vp6 = 4,
    Vp6Alpha = 5,
    ScreenVideo2 = 6,
    H264 = 7,
};

// DefineVideoStream.
struct VideoStreamDefinition {
    std::uint16_t id = 0;
    std::uint16_t frameCount = 0;
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    // 0: as each frame asks; 1: off; 2 to 5: on, at growing strength.
    std::uint8_t deblocking = 0;
    bool smoothing = false;
    std::uint8_t codec = 0;  // a VideoCodec, or a number we do not know
};

std::optional<VideoStreamDefinition> parseDefineVideoStream(std::span<const std::uint8_t> body);

// VideoFrame: one coded frame of a stream; data lies in the tag body it was parsed from.
struct VideoFrameTag {
    std::uint16_t streamId = 0;
    std::uint16_t frameNum = 0;
    std::span<const std::uint8_t> data;
};

std::optional<VideoFrameTag> parseVideoFrame(std::span<const std::uint8_t> body);

}  // namespace zd::engine
