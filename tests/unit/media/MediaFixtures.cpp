#include "MediaFixtures.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
}

#include <QDir>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <new>
#include <stdexcept>

namespace {

std::atomic<long> gAllocations{0};
std::atomic<int> gCounting{0};

}  // namespace

void* operator new(std::size_t size) {
    if (gCounting.load(std::memory_order_relaxed) > 0) {
        gAllocations.fetch_add(1, std::memory_order_relaxed);
    }
    if (void* p = std::malloc(size == 0 ? 1 : size)) {
        return p;
    }
    throw std::bad_alloc();
}

// The nothrow forms too: every allocation then comes from malloc and goes back to free, as
// the address sanitizer wants them paired.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    if (gCounting.load(std::memory_order_relaxed) > 0) {
        gAllocations.fetch_add(1, std::memory_order_relaxed);
    }
    return std::malloc(size == 0 ? 1 : size);
}

void operator delete(void* p) noexcept {
    std::free(p);
}

void operator delete(void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace zd::test {

namespace {

struct Encoder {
    AVCodecContext* ctx = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* pkt = nullptr;
    ~Encoder() {
        avcodec_free_context(&ctx);
        av_frame_free(&frame);
        av_packet_free(&pkt);
    }
};

void drain(Encoder& e, std::vector<Bytes>& packets, bool flush) {
    if (flush) {
        avcodec_send_frame(e.ctx, nullptr);
    }
    while (avcodec_receive_packet(e.ctx, e.pkt) >= 0) {
        packets.emplace_back(e.pkt->data, e.pkt->data + e.pkt->size);
        av_packet_unref(e.pkt);
    }
}

std::vector<Bytes> encodeAudio(const char* name, std::span<const std::int16_t> samples, int rate,
                               int channels, int bitRate, Bytes* extradata = nullptr) {
    const AVCodec* codec = avcodec_find_encoder_by_name(name);
    if (codec == nullptr) {
        throw std::runtime_error(std::string("no encoder ") + name);
    }
    Encoder e;
    e.ctx = avcodec_alloc_context3(codec);
    e.ctx->sample_rate = rate;
    av_channel_layout_default(&e.ctx->ch_layout, channels);
    e.ctx->sample_fmt = codec->sample_fmts[0];
    if (bitRate > 0) {
        e.ctx->bit_rate = bitRate;
    }
    if (extradata != nullptr) {
        e.ctx->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    if (avcodec_open2(e.ctx, codec, nullptr) < 0) {
        throw std::runtime_error(std::string("cannot open encoder ") + name);
    }
    if (extradata != nullptr) {
        extradata->assign(e.ctx->extradata, e.ctx->extradata + e.ctx->extradata_size);
    }
    const int frameSize = e.ctx->frame_size > 0 ? e.ctx->frame_size : 1024;
    e.frame = av_frame_alloc();
    e.pkt = av_packet_alloc();
    std::vector<Bytes> packets;
    const std::size_t total = samples.size() / static_cast<std::size_t>(channels);
    for (std::size_t at = 0; at < total; at += static_cast<std::size_t>(frameSize)) {
        const int n = static_cast<int>(std::min<std::size_t>(frameSize, total - at));
        // Encoders with a fixed frame size want every frame whole: the last is padded.
        const int length =
            (codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE) || e.ctx->frame_size == 0
                ? n
                : frameSize;
        av_frame_unref(e.frame);
        e.frame->nb_samples = length;
        e.frame->format = e.ctx->sample_fmt;
        av_channel_layout_copy(&e.frame->ch_layout, &e.ctx->ch_layout);
        e.frame->sample_rate = rate;
        if (av_frame_get_buffer(e.frame, 0) < 0) {
            throw std::runtime_error("frame buffer");
        }
        const auto fmt = static_cast<AVSampleFormat>(e.ctx->sample_fmt);
        const bool planar = av_sample_fmt_is_planar(fmt);
        for (int i = 0; i < length; ++i) {
            for (int c = 0; c < channels; ++c) {
                const std::int16_t v =
                    i < n ? samples[(at + static_cast<std::size_t>(i)) * channels + c] : 0;
                const int plane = planar ? c : 0;
                const int index = planar ? i : i * channels + c;
                switch (av_get_packed_sample_fmt(fmt)) {
                    case AV_SAMPLE_FMT_S16:
                        reinterpret_cast<std::int16_t*>(e.frame->extended_data[plane])[index] = v;
                        break;
                    case AV_SAMPLE_FMT_S32:
                        reinterpret_cast<std::int32_t*>(e.frame->extended_data[plane])[index] =
                            v * 65536;
                        break;
                    case AV_SAMPLE_FMT_FLT:
                        reinterpret_cast<float*>(e.frame->extended_data[plane])[index] =
                            static_cast<float>(v) / 32768.0f;
                        break;
                    default:
                        throw std::runtime_error("sample format");
                }
            }
        }
        if (avcodec_send_frame(e.ctx, e.frame) < 0) {
            throw std::runtime_error("encode");
        }
        drain(e, packets, false);
    }
    drain(e, packets, true);
    return packets;
}

}  // namespace

Samples sine(double hz, int rate, std::size_t frames, int channels, double amplitude) {
    Samples s(frames * static_cast<std::size_t>(channels));
    for (std::size_t i = 0; i < frames; ++i) {
        const auto v = static_cast<std::int16_t>(
            std::lround(amplitude * std::sin(2 * M_PI * hz * static_cast<double>(i) / rate)));
        for (int c = 0; c < channels; ++c) {
            s[i * channels + c] = v;
        }
    }
    return s;
}

Bytes le16(std::span<const std::int16_t> samples) {
    Bytes b;
    b.reserve(samples.size() * 2);
    for (const std::int16_t v : samples) {
        b.push_back(static_cast<std::uint8_t>(v & 0xff));
        b.push_back(static_cast<std::uint8_t>((v >> 8) & 0xff));
    }
    return b;
}

Mp3 encodeMp3(std::span<const std::int16_t> samples, int rate, int channels, int kbps) {
    Mp3 out;
    out.samplesPerFrame = rate >= 32000 ? 1152 : 576;
    for (const Bytes& p : encodeAudio("libmp3lame", samples, rate, channels, kbps * 1000)) {
        out.frameOffsets.push_back(out.data.size());
        out.data.insert(out.data.end(), p.begin(), p.end());
    }
    return out;
}

Bytes encodeAdpcm(std::span<const std::int16_t> samples, int rate, int channels) {
    // The encoder makes one packet of 4096 samples at a time, each with the code size in
    // its first two bits, padded to whole bytes; a sound's data has the code size once and
    // its blocks bit after bit.
    const unsigned blockBits = unsigned(channels) * (22 + 4 * 4095);
    swfwriter::BitWriter w;
    w.ub(2, 2);  // 4-bit codes, as the encoder writes them
    for (const Bytes& p : encodeAudio("adpcm_swf", samples, rate, channels, 0)) {
        for (unsigned bit = 2; bit < 2 + blockBits; ++bit) {
            w.ub((p[bit / 8] >> (7 - bit % 8)) & 1, 1);
        }
    }
    w.align();
    return w.data();
}

std::vector<Bytes> encodeAdpcmPackets(std::span<const std::int16_t> samples, int rate,
                                      int channels) {
    return encodeAudio("adpcm_swf", samples, rate, channels, 0);
}

Bytes encodeNellymoser(std::span<const std::int16_t> samples, int rate) {
    Bytes out;
    for (const Bytes& p : encodeAudio("nellymoser", samples, rate, 1, 0)) {
        out.insert(out.end(), p.begin(), p.end());
    }
    return out;
}

Packets encodeAudioPackets(const char* encoder, std::span<const std::int16_t> samples, int rate,
                           int channels) {
    Packets out;
    out.packets = encodeAudio(encoder, samples, rate, channels, 0, &out.extradata);
    return out;
}

std::vector<Bytes> encodeVideo(const char* name, const std::vector<QImage>& frames, int keyInterval,
                               Bytes* extradata) {
    const AVCodec* codec = avcodec_find_encoder_by_name(name);
    if (codec == nullptr || frames.empty()) {
        throw std::runtime_error(std::string("no encoder ") + name);
    }
    Encoder e;
    e.ctx = avcodec_alloc_context3(codec);
    e.ctx->width = frames[0].width();
    e.ctx->height = frames[0].height();
    e.ctx->time_base = {1, 12};
    e.ctx->framerate = {12, 1};
    e.ctx->gop_size = keyInterval;
    e.ctx->max_b_frames = 0;
    e.ctx->pix_fmt = codec->pix_fmts[0];
    if (std::string(name) == "flashsv" || std::string(name) == "flashsv2") {
        e.ctx->pix_fmt = AV_PIX_FMT_BGR24;
    }
    // Key frames where asked only: a picture unlike the last is no reason for one here.
    if (std::string(name) == "libx264") {
        av_opt_set(e.ctx->priv_data, "x264-params", "scenecut=0", 0);
    } else {
        av_opt_set_int(e.ctx, "sc_threshold", 1000000000, AV_OPT_SEARCH_CHILDREN);
    }
    if (extradata != nullptr) {
        e.ctx->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    if (avcodec_open2(e.ctx, codec, nullptr) < 0) {
        throw std::runtime_error(std::string("cannot open encoder ") + name);
    }
    if (extradata != nullptr) {
        extradata->assign(e.ctx->extradata, e.ctx->extradata + e.ctx->extradata_size);
    }
    e.frame = av_frame_alloc();
    e.pkt = av_packet_alloc();
    std::vector<Bytes> packets;
    std::int64_t pts = 0;
    for (const QImage& source : frames) {
        const QImage image = source.convertToFormat(QImage::Format_RGB32);
        av_frame_unref(e.frame);
        e.frame->width = e.ctx->width;
        e.frame->height = e.ctx->height;
        e.frame->format = e.ctx->pix_fmt;
        e.frame->pts = pts;
        e.frame->pict_type = pts % keyInterval == 0 ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
        if (av_frame_get_buffer(e.frame, 0) < 0) {
            throw std::runtime_error("frame buffer");
        }
        for (int y = 0; y < e.ctx->height; ++y) {
            const auto* in = reinterpret_cast<const QRgb*>(image.constScanLine(y));
            for (int x = 0; x < e.ctx->width; ++x) {
                const int r = qRed(in[x]);
                const int g = qGreen(in[x]);
                const int b = qBlue(in[x]);
                if (e.ctx->pix_fmt == AV_PIX_FMT_BGR24) {
                    std::uint8_t* p = e.frame->data[0] + y * e.frame->linesize[0] + 3 * x;
                    p[0] = static_cast<std::uint8_t>(b);
                    p[1] = static_cast<std::uint8_t>(g);
                    p[2] = static_cast<std::uint8_t>(r);
                    continue;
                }
                // BT.601 studio range, as the player reads it back.
                e.frame->data[0][y * e.frame->linesize[0] + x] =
                    static_cast<std::uint8_t>(std::lround(16 + 0.257 * r + 0.504 * g + 0.098 * b));
                if (x % 2 == 0 && y % 2 == 0) {
                    e.frame->data[1][y / 2 * e.frame->linesize[1] + x / 2] =
                        static_cast<std::uint8_t>(
                            std::lround(128 - 0.148 * r - 0.291 * g + 0.439 * b));
                    e.frame->data[2][y / 2 * e.frame->linesize[2] + x / 2] =
                        static_cast<std::uint8_t>(
                            std::lround(128 + 0.439 * r - 0.368 * g - 0.071 * b));
                }
            }
        }
        ++pts;
        if (avcodec_send_frame(e.ctx, e.frame) < 0) {
            throw std::runtime_error("encode");
        }
        drain(e, packets, false);
    }
    drain(e, packets, true);
    return packets;
}

std::vector<Bytes> annexBUnits(std::span<const std::uint8_t> data) {
    std::vector<Bytes> units;
    std::size_t start = std::string::npos;
    for (std::size_t i = 0; i + 3 <= data.size(); ++i) {
        if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1) {
            if (start != std::string::npos) {
                std::size_t end = i;
                while (end > start && data[end - 1] == 0) {
                    --end;  // the zero of a four-byte start code
                }
                units.emplace_back(data.begin() + long(start), data.begin() + long(end));
            }
            start = i + 3;
            i += 2;
        }
    }
    if (start != std::string::npos && start < data.size()) {
        units.emplace_back(data.begin() + long(start), data.end());
    }
    return units;
}

Bytes lengthPrefixed(std::span<const std::uint8_t> annexB) {
    Bytes out;
    for (const Bytes& unit : annexBUnits(annexB)) {
        for (const int shift : {24, 16, 8, 0}) {
            out.push_back(static_cast<std::uint8_t>(unit.size() >> shift));
        }
        out.insert(out.end(), unit.begin(), unit.end());
    }
    return out;
}

Bytes avcConfiguration(std::span<const std::uint8_t> annexB) {
    Bytes sps;
    Bytes pps;
    for (const Bytes& unit : annexBUnits(annexB)) {
        if (!unit.empty() && (unit[0] & 0x1f) == 7) {
            sps = unit;
        } else if (!unit.empty() && (unit[0] & 0x1f) == 8) {
            pps = unit;
        }
    }
    if (sps.size() < 4 || pps.empty()) {
        throw std::runtime_error("no parameter sets");
    }
    Bytes out{1, sps[1], sps[2], sps[3], 0xff, 0xe1};
    out.push_back(static_cast<std::uint8_t>(sps.size() >> 8));
    out.push_back(static_cast<std::uint8_t>(sps.size()));
    out.insert(out.end(), sps.begin(), sps.end());
    out.push_back(1);
    out.push_back(static_cast<std::uint8_t>(pps.size() >> 8));
    out.push_back(static_cast<std::uint8_t>(pps.size()));
    out.insert(out.end(), pps.begin(), pps.end());
    return out;
}

QImage solidImage(int width, int height, QRgb colour) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

AllocationCounter::AllocationCounter() {
    gAllocations = 0;
    ++gCounting;
}

AllocationCounter::~AllocationCounter() {
    --gCounting;
}

long AllocationCounter::count() const {
    return gAllocations.load();
}

QString sharedDir() {
    const QString dir = QStringLiteral(ZD_SHARED_DIR);
    return QDir(dir + "/corpus").exists() ? dir : QString();
}

}  // namespace zd::test
