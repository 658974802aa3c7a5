#pragma once

#include <QImage>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace zd::engine {

// Decodes the coded frames of one video stream, in order, to premultiplied ARGB pictures
// through FFmpeg's decoders (Sorenson H.263, Screen Video 1 and 2, VP6 with and without
// alpha, H.264). Damaged frames decode as far as the decoder can take them, or not at all.
class VideoDecoder {
  public:
    // Pictures larger than this on a side are refused.
    static constexpr int kMaxSide = 4096;

    // codec: the number DefineVideoStream gives (VideoCodec); deblocking: its flag (1 turns
    // the decoder's loop filter off); extradata: the codec's configuration record where it
    // has one (H.264's, from a FLV file). nullptr when FFmpeg has no decoder for it.
    static std::unique_ptr<VideoDecoder> create(std::uint8_t codec, std::uint8_t deblocking = 0,
                                                std::span<const std::uint8_t> extradata = {});
    ~VideoDecoder();
    VideoDecoder(const VideoDecoder&) = delete;
    VideoDecoder& operator=(const VideoDecoder&) = delete;

    // Decodes the next frame; its picture, or a null image when it yields none.
    QImage decode(std::span<const std::uint8_t> data);
    // Forgets the frames decoded so far: the next one must be a key frame.
    void reset();
    std::uint8_t codec() const { return codec_; }

    // Whether a frame's data starts a new picture on its own, read from its header.
    static bool isKeyFrame(std::uint8_t codec, std::span<const std::uint8_t> data);

  private:
    struct Codec;
    explicit VideoDecoder(std::uint8_t codec);

    std::uint8_t codec_;
    std::unique_ptr<Codec> context_;
};

// Converts video samples as the format describes (ITU-R BT.601, studio range) to a
// premultiplied ARGB pixel: colour from y, u, v; alpha a clamps each colour channel.
std::uint32_t yuvToArgb(int y, int u, int v, int a = 255);

}  // namespace zd::engine
