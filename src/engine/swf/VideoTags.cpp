#include "engine/swf/VideoTags.h"

#include "engine/swf/ByteReader.h"

namespace zd::engine {

std::optional<VideoStreamDefinition> parseDefineVideoStream(std::span<const std::uint8_t> body) {
    ByteReader in(body);
    VideoStreamDefinition v;
    v.id = in.u16();
    v.frameCount = in.u16();
    v.width = in.u16();
    v.height = in.u16();
    const std::uint8_t flags = in.u8();
    v.deblocking = static_cast<std::uint8_t>((flags >> 1) & 7);
    v.smoothing = flags & 1;
    v.codec = in.u8();
    if (!in.ok()) {
        return std::nullopt;
    }
    return v;
}

std::optional<VideoFrameTag> parseVideoFrame(std::span<const std::uint8_t> body) {
    ByteReader in(body);
    VideoFrameTag f;
    f.streamId = in.u16();
    f.frameNum = in.u16();
    if (!in.ok()) {
        return std::nullopt;
    }
    f.data = body.subspan(4);
    return f;
}

}  // namespace zd::engine
