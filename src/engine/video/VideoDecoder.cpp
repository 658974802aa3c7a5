#include "engine/video/VideoDecoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/imgutils.h>
#include <libavutil/mem.h>
}

#include <algorithm>
#include <climits>
#include <cmath>

#include "engine/audio/CodecLog.h"
#include "engine/swf/ByteReader.h"
#include "engine/swf/VideoTags.h"

namespace zd::engine {

namespace {

AVCodecID codecFor(std::uint8_t codec) {
    switch (static_cast<VideoCodec>(codec)) {
        case VideoCodec::SorensonH263:
            return AV_CODEC_ID_FLV1;
        case VideoCodec::ScreenVideo:
            return AV_CODEC_ID_FLASHSV;
        case VideoCodec::Vp6:
            return AV_CODEC_ID_VP6F;
        case VideoCodec::Vp6Alpha:
            return AV_CODEC_ID_VP6A;
        case VideoCodec::ScreenVideo2:
            return AV_CODEC_ID_FLASHSV2;
        case VideoCodec::H264:
            return AV_CODEC_ID_H264;
    }
    return AV_CODEC_ID_NONE;
}

QImage fromYuv(const AVFrame& f, bool withAlpha) {
    QImage image(f.width, f.height, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) {
        return image;
    }
    // 4:2:0: each chroma sample covers two by two pixels.
    for (int y = 0; y < f.height; ++y) {
        const std::uint8_t* ys = f.data[0] + static_cast<std::ptrdiff_t>(y) * f.linesize[0];
        const std::uint8_t* us = f.data[1] + static_cast<std::ptrdiff_t>(y / 2) * f.linesize[1];
        const std::uint8_t* vs = f.data[2] + static_cast<std::ptrdiff_t>(y / 2) * f.linesize[2];
        const std::uint8_t* as =
            withAlpha ? f.data[3] + static_cast<std::ptrdiff_t>(y) * f.linesize[3] : nullptr;
        auto* out = reinterpret_cast<std::uint32_t*>(image.scanLine(y));
        for (int x = 0; x < f.width; ++x) {
            out[x] = yuvToArgb(ys[x], us[x / 2], vs[x / 2], as != nullptr ? as[x] : 255);
        }
    }
    return image;
}

QImage fromBgr(const AVFrame& f) {
    QImage image(f.width, f.height, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) {
        return image;
    }
    for (int y = 0; y < f.height; ++y) {
        const std::uint8_t* in = f.data[0] + static_cast<std::ptrdiff_t>(y) * f.linesize[0];
        auto* out = reinterpret_cast<std::uint32_t*>(image.scanLine(y));
        for (int x = 0; x < f.width; ++x) {
            out[x] = 0xff000000u | std::uint32_t{in[3 * x + 2]} << 16 |
                     std::uint32_t{in[3 * x + 1]} << 8 | in[3 * x];
        }
    }
    return image;
}

QImage toImage(const AVFrame& f) {
    if (f.width <= 0 || f.height <= 0 || f.width > VideoDecoder::kMaxSide ||
        f.height > VideoDecoder::kMaxSide) {
        return {};
    }
    switch (static_cast<AVPixelFormat>(f.format)) {
        case AV_PIX_FMT_YUV420P:
        case AV_PIX_FMT_YUVJ420P:
            return fromYuv(f, false);
        case AV_PIX_FMT_YUVA420P:
            return fromYuv(f, true);
        case AV_PIX_FMT_BGR24:
            return fromBgr(f);
        default:
            return {};
    }
}

// Screen Video (1 and 2): whether every block of the grid is sent whole.
bool screenVideoKeyFrame(std::span<const std::uint8_t> data, bool version2) {
    ByteReader in(data);
    const unsigned blockWidth = (in.ub(4) + 1) * 16;
    const unsigned width = in.ub(12);
    const unsigned blockHeight = (in.ub(4) + 1) * 16;
    const unsigned height = in.ub(12);
    if (!in.ok() || width == 0 || height == 0) {
        return false;
    }
    if (version2) {
        in.u8();  // reserved bits, whether a key image and a palette follow
    }
    const unsigned blocks =
        ((width + blockWidth - 1) / blockWidth) * ((height + blockHeight - 1) / blockHeight);
    for (unsigned i = 0; i < blocks; ++i) {
        const unsigned size = in.ub(16);
        if (!in.ok() || size == 0) {
            return false;
        }
        if (version2) {
            // A block that only mends rows, or leans on the one before, is no key block.
            const std::uint8_t format = in.u8();
            if ((format & 0x04) != 0 || (format & 0x01) != 0) {
                return false;
            }
            in.skip(size - 1);
        } else {
            in.skip(size);
        }
    }
    return in.ok();
}

// H.264 in FLV: length-prefixed units; an IDR unit makes a key frame.
bool h264KeyFrame(std::span<const std::uint8_t> data) {
    std::size_t at = 0;
    while (at + 4 < data.size()) {
        const std::size_t size = std::size_t{data[at]} << 24 | std::size_t{data[at + 1]} << 16 |
                                 std::size_t{data[at + 2]} << 8 | data[at + 3];
        at += 4;
        if (size == 0 || size > data.size() - at) {
            return false;
        }
        if ((data[at] & 0x1f) == 5) {
            return true;
        }
        at += size;
    }
    return false;
}

}  // namespace

std::uint32_t yuvToArgb(int y, int u, int v, int a) {
    // BT.601 studio range in 16.16 fixed point (1.164383, 1.596027, 0.391762, 0.812968,
    // 2.017232): the reference player's pictures come out exactly so, where rounding the
    // coefficients the format document prints is off by one in a few percent of pixels.
    const int luma = (y - 16) * 76309;
    const int cu = u - 128;
    const int cv = v - 128;
    auto channel = [](int fixed) { return std::clamp((fixed + 32768) >> 16, 0, 255); };
    const int alpha = std::clamp(a, 0, 255);
    const int r = std::min(alpha, channel(luma + 104597 * cv));
    const int g = std::min(alpha, channel(luma - 25675 * cu - 53279 * cv));
    const int b = std::min(alpha, channel(luma + 132201 * cu));
    return static_cast<std::uint32_t>(alpha) << 24 | static_cast<std::uint32_t>(r) << 16 |
           static_cast<std::uint32_t>(g) << 8 | static_cast<std::uint32_t>(b);
}

struct VideoDecoder::Codec {
    AVCodecContext* context = nullptr;
    AVPacket* packet = nullptr;
    AVFrame* frame = nullptr;

    ~Codec() {
        avcodec_free_context(&context);
        av_packet_free(&packet);
        av_frame_free(&frame);
    }
};

VideoDecoder::VideoDecoder(std::uint8_t codec) : codec_(codec) {}

VideoDecoder::~VideoDecoder() = default;

std::unique_ptr<VideoDecoder> VideoDecoder::create(std::uint8_t codec, std::uint8_t deblocking,
                                                   std::span<const std::uint8_t> extradata) {
    routeCodecMessages();
    const AVCodecID id = codecFor(codec);
    const AVCodec* found = id == AV_CODEC_ID_NONE ? nullptr : avcodec_find_decoder(id);
    if (found == nullptr) {
        return nullptr;
    }
    auto c = std::make_unique<Codec>();
    c->context = avcodec_alloc_context3(found);
    c->packet = av_packet_alloc();
    c->frame = av_frame_alloc();
    if (c->context == nullptr || c->packet == nullptr || c->frame == nullptr) {
        return nullptr;
    }
    if (!extradata.empty() && extradata.size() < INT_MAX / 2) {
        c->context->extradata =
            static_cast<std::uint8_t*>(av_mallocz(extradata.size() + AV_INPUT_BUFFER_PADDING_SIZE));
        if (c->context->extradata == nullptr) {
            return nullptr;
        }
        std::copy(extradata.begin(), extradata.end(), c->context->extradata);
        c->context->extradata_size = static_cast<int>(extradata.size());
    }
    if (deblocking == 1) {
        c->context->skip_loop_filter = AVDISCARD_ALL;
    }
    if (id == AV_CODEC_ID_FLV1) {
        // The floating-point transform reproduces the reference player's Sorenson pictures
        // (all but one pixel of a 640 x 480 test frame; the integer ones miss thousands).
        c->context->idct_algo = FF_IDCT_FAAN;
    }
    // One thread: frames come one at a time, each wanted at once.
    c->context->thread_count = 1;
    c->context->max_pixels = std::int64_t{kMaxSide} * kMaxSide;
    if (avcodec_open2(c->context, found, nullptr) < 0) {
        return nullptr;
    }
    std::unique_ptr<VideoDecoder> d(new VideoDecoder(codec));
    d->context_ = std::move(c);
    return d;
}

void VideoDecoder::reset() {
    avcodec_flush_buffers(context_->context);
}

QImage VideoDecoder::decode(std::span<const std::uint8_t> data) {
    if (data.empty() || data.size() > INT_MAX / 2) {
        return {};
    }
    AVPacket* pkt = context_->packet;
    av_packet_unref(pkt);
    if (av_new_packet(pkt, static_cast<int>(data.size())) < 0) {
        return {};
    }
    std::copy(data.begin(), data.end(), pkt->data);
    QImage image;
    if (avcodec_send_packet(context_->context, pkt) >= 0) {
        while (avcodec_receive_frame(context_->context, context_->frame) >= 0) {
            image = toImage(*context_->frame);
            av_frame_unref(context_->frame);
        }
    }
    av_packet_unref(pkt);
    return image;
}

bool VideoDecoder::isKeyFrame(std::uint8_t codec, std::span<const std::uint8_t> data) {
    switch (static_cast<VideoCodec>(codec)) {
        case VideoCodec::SorensonH263: {
            ByteReader in(data);
            if (in.ub(17) != 1) {
                return false;
            }
            in.ub(5);  // version
            in.ub(8);  // temporal reference
            const unsigned size = in.ub(3);
            if (size == 0) {
                in.ub(16);
            } else if (size == 1) {
                in.ub(32);
            }
            return in.ok() && in.ub(2) == 0 && in.ok();
        }
        case VideoCodec::Vp6:
            return !data.empty() && (data[0] & 0x80) == 0;
        case VideoCodec::Vp6Alpha:
            return data.size() > 3 && (data[3] & 0x80) == 0;
        case VideoCodec::ScreenVideo:
            return screenVideoKeyFrame(data, false);
        case VideoCodec::ScreenVideo2:
            return screenVideoKeyFrame(data, true);
        case VideoCodec::H264:
            return h264KeyFrame(data);
    }
    return false;
}

}  // namespace zd::engine
