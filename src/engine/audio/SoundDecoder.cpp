#include "engine/audio/SoundDecoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/mem.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>

#include "engine/audio/CodecLog.h"

namespace zd::engine {

namespace {

// Nellymoser codes 256 samples in each 64-byte block; the decoder takes whole blocks.
constexpr std::size_t kNellymoserBlock = 64;

AVCodecID codecFor(const SoundCoding& c) {
    switch (static_cast<SoundFormat>(c.format)) {
        case SoundFormat::PcmNativeEndian:
            if (!c.sixteenBit) {
                return AV_CODEC_ID_PCM_U8;
            }
            return std::endian::native == std::endian::big ? AV_CODEC_ID_PCM_S16BE
                                                           : AV_CODEC_ID_PCM_S16LE;
        case SoundFormat::PcmLittleEndian:
            return c.sixteenBit ? AV_CODEC_ID_PCM_S16LE : AV_CODEC_ID_PCM_U8;
        case SoundFormat::Adpcm:
            return AV_CODEC_ID_ADPCM_SWF;
        case SoundFormat::Mp3:
            return AV_CODEC_ID_MP3;
        case SoundFormat::Nellymoser16k:
        case SoundFormat::Nellymoser8k:
        case SoundFormat::Nellymoser:
            return AV_CODEC_ID_NELLYMOSER;
        case SoundFormat::G711ALaw:
            return AV_CODEC_ID_PCM_ALAW;
        case SoundFormat::G711MuLaw:
            return AV_CODEC_ID_PCM_MULAW;
        case SoundFormat::Speex:
            return AV_CODEC_ID_SPEEX;
        case SoundFormat::Aac:
            return AV_CODEC_ID_AAC;
    }
    return AV_CODEC_ID_NONE;
}

std::int16_t fromFloat(float v) {
    // As FFmpeg's own conversion: scaled by 2^15, rounded, clipped.
    const float scaled = v * 32768.0f;
    if (!(scaled > -32768.0f)) {
        return -32768;
    }
    if (scaled >= 32767.0f) {
        return 32767;
    }
    return static_cast<std::int16_t>(std::lrintf(scaled));
}

std::int16_t fromDouble(double v) {
    return fromFloat(static_cast<float>(v));
}

// Appends a decoded frame's samples as interleaved 16-bit.
void appendFrame(const AVFrame& f, std::vector<std::int16_t>& out) {
    const int channels = f.ch_layout.nb_channels;
    const int n = f.nb_samples;
    if (channels <= 0 || n <= 0) {
        return;
    }
    const auto format = static_cast<AVSampleFormat>(f.format);
    const bool planar = av_sample_fmt_is_planar(format) != 0;
    const std::size_t base = out.size();
    out.resize(base + static_cast<std::size_t>(n) * static_cast<std::size_t>(channels));
    std::int16_t* dst = out.data() + base;
    for (int i = 0; i < n; ++i) {
        for (int c = 0; c < channels; ++c) {
            const int plane = planar ? c : 0;
            const int index = planar ? i : i * channels + c;
            const std::uint8_t* p = f.extended_data[plane];
            std::int16_t v = 0;
            switch (av_get_packed_sample_fmt(format)) {
                case AV_SAMPLE_FMT_U8:
                    v = static_cast<std::int16_t>((p[index] - 128) * 256);
                    break;
                case AV_SAMPLE_FMT_S16:
                    v = reinterpret_cast<const std::int16_t*>(p)[index];
                    break;
                case AV_SAMPLE_FMT_S32:
                    v = static_cast<std::int16_t>(reinterpret_cast<const std::int32_t*>(p)[index] >>
                                                  16);
                    break;
                case AV_SAMPLE_FMT_FLT:
                    v = fromFloat(reinterpret_cast<const float*>(p)[index]);
                    break;
                case AV_SAMPLE_FMT_DBL:
                    v = fromDouble(reinterpret_cast<const double*>(p)[index]);
                    break;
                default:
                    break;
            }
            *dst++ = v;
        }
    }
}

}  // namespace

struct SoundDecoder::Codec {
    AVCodecContext* context = nullptr;
    AVCodecParserContext* parser = nullptr;
    AVPacket* packet = nullptr;
    AVFrame* frame = nullptr;

    ~Codec() {
        av_parser_close(parser);
        avcodec_free_context(&context);
        av_packet_free(&packet);
        av_frame_free(&frame);
    }
};

std::unique_ptr<SoundDecoder> SoundDecoder::create(const SoundCoding& coding,
                                                   std::span<const std::uint8_t> extradata) {
    routeCodecMessages();
    std::unique_ptr<SoundDecoder> d(new SoundDecoder(coding));
    if (!d->open(extradata)) {
        return nullptr;
    }
    return d;
}

SoundDecoder::SoundDecoder(const SoundCoding& coding)
    : coding_(coding), rate_(coding.sampleRate()), channels_(coding.channels()) {}

SoundDecoder::~SoundDecoder() = default;

bool SoundDecoder::open(std::span<const std::uint8_t> extradata) {
    const AVCodecID id = codecFor(coding_);
    const AVCodec* codec = id == AV_CODEC_ID_NONE ? nullptr : avcodec_find_decoder(id);
    if (codec == nullptr) {
        return false;
    }
    auto c = std::make_unique<Codec>();
    c->context = avcodec_alloc_context3(codec);
    c->packet = av_packet_alloc();
    c->frame = av_frame_alloc();
    if (c->context == nullptr || c->packet == nullptr || c->frame == nullptr) {
        return false;
    }
    c->context->sample_rate = rate_;
    av_channel_layout_default(&c->context->ch_layout, channels_);
    if (!extradata.empty() && extradata.size() < INT_MAX / 2) {
        c->context->extradata =
            static_cast<std::uint8_t*>(av_mallocz(extradata.size() + AV_INPUT_BUFFER_PADDING_SIZE));
        if (c->context->extradata == nullptr) {
            return false;
        }
        std::copy(extradata.begin(), extradata.end(), c->context->extradata);
        c->context->extradata_size = static_cast<int>(extradata.size());
    }
    // A damaged frame is skipped rather than stopping the sound.
    c->context->err_recognition = 0;
    if (avcodec_open2(c->context, codec, nullptr) < 0) {
        return false;
    }
    if (id == AV_CODEC_ID_MP3) {
        c->parser = av_parser_init(id);
        if (c->parser == nullptr) {
            return false;
        }
    }
    codec_ = std::move(c);
    return true;
}

void SoundDecoder::reset() {
    if (!codec_) {
        return;
    }
    avcodec_flush_buffers(codec_->context);
    if (codec_->parser != nullptr) {
        av_parser_close(codec_->parser);
        codec_->parser = av_parser_init(AV_CODEC_ID_MP3);
    }
}

bool SoundDecoder::receiveAll(std::vector<std::int16_t>& out) {
    bool ok = true;
    for (;;) {
        const int r = avcodec_receive_frame(codec_->context, codec_->frame);
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) {
            break;
        }
        if (r < 0) {
            ok = false;
            break;
        }
        const AVFrame& f = *codec_->frame;
        if (f.sample_rate > 0) {
            rate_ = f.sample_rate;
        }
        if (f.ch_layout.nb_channels > 0) {
            // Samples of one piece share one channel count: a frame that changes it (a damaged
            // MP3 header) is dropped instead of garbling what comes after.
            if (f.ch_layout.nb_channels != channels_ && !out.empty()) {
                ok = false;
                av_frame_unref(codec_->frame);
                continue;
            }
            channels_ = f.ch_layout.nb_channels;
        }
        appendFrame(f, out);
        av_frame_unref(codec_->frame);
    }
    return ok;
}

bool SoundDecoder::sendAndReceive(const std::uint8_t* data, int size,
                                  std::vector<std::int16_t>& out) {
    AVPacket* pkt = codec_->packet;
    av_packet_unref(pkt);
    if (data != nullptr) {
        if (av_new_packet(pkt, size) < 0) {
            return false;
        }
        std::copy_n(data, size, pkt->data);
    }
    bool ok = true;
    int r = avcodec_send_packet(codec_->context, data != nullptr ? pkt : nullptr);
    if (r == AVERROR(EAGAIN)) {
        ok = receiveAll(out);
        r = avcodec_send_packet(codec_->context, data != nullptr ? pkt : nullptr);
    }
    if (r < 0 && r != AVERROR_EOF) {
        ok = false;
    }
    ok = receiveAll(out) && ok;
    av_packet_unref(pkt);
    return ok;
}

bool SoundDecoder::decode(std::span<const std::uint8_t> data, std::vector<std::int16_t>& out) {
    if (!codec_ || data.empty()) {
        return codec_ != nullptr;
    }
    bool ok = true;
    if (codec_->parser != nullptr) {
        // The parser reads a little past what it is given: it gets a copy with the padding
        // FFmpeg asks for.
        constexpr std::size_t kPiece = 16384;
        while (!data.empty()) {
            const std::size_t n = std::min(data.size(), kPiece);
            padded_.assign(n + AV_INPUT_BUFFER_PADDING_SIZE, 0);
            std::copy_n(data.data(), n, padded_.data());
            data = data.subspan(n);
            const std::uint8_t* at = padded_.data();
            int left = static_cast<int>(n);
            while (left > 0) {
                std::uint8_t* frame = nullptr;
                int frameSize = 0;
                const int used =
                    av_parser_parse2(codec_->parser, codec_->context, &frame, &frameSize, at, left,
                                     AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
                if (used < 0) {
                    return false;
                }
                at += used;
                left -= used;
                if (frameSize > 0) {
                    ok = sendAndReceive(frame, frameSize, out) && ok;
                } else if (used == 0) {
                    break;
                }
            }
        }
        return ok;
    }
    if (codec_->context->codec_id == AV_CODEC_ID_NELLYMOSER) {
        // Whole blocks only; a cut block at the end is dropped.
        const std::size_t whole = data.size() / kNellymoserBlock * kNellymoserBlock;
        constexpr std::size_t kPiece = kNellymoserBlock * 64;
        for (std::size_t at = 0; at < whole; at += kPiece) {
            const std::size_t n = std::min(kPiece, whole - at);
            ok = sendAndReceive(data.data() + at, static_cast<int>(n), out) && ok;
        }
        return ok && whole == data.size();
    }
    if (data.size() > INT_MAX / 2) {
        return false;
    }
    return sendAndReceive(data.data(), static_cast<int>(data.size()), out);
}

void SoundDecoder::flush(std::vector<std::int16_t>& out) {
    if (!codec_) {
        return;
    }
    if (codec_->parser != nullptr) {
        std::uint8_t* frame = nullptr;
        int frameSize = 0;
        av_parser_parse2(codec_->parser, codec_->context, &frame, &frameSize, nullptr, 0,
                         AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
        if (frameSize > 0) {
            sendAndReceive(frame, frameSize, out);
        }
    }
    sendAndReceive(nullptr, 0, out);
    // The decoder is drained; make it take data again.
    avcodec_flush_buffers(codec_->context);
}

struct OutputResampler::Context {
    SwrContext* swr = nullptr;
    ~Context() { swr_free(&swr); }
};

OutputResampler::OutputResampler(int inputRate, int inputChannels)
    : inRate_(inputRate > 0 ? inputRate : kRate), inChannels_(inputChannels == 2 ? 2 : 1) {
    if (inRate_ == kRate) {
        return;
    }
    auto ctx = std::make_unique<Context>();
    AVChannelLayout layout;
    av_channel_layout_default(&layout, inChannels_);
    // Same channels on both sides: only the rate changes here, so mono keeps its level.
    if (swr_alloc_set_opts2(&ctx->swr, &layout, AV_SAMPLE_FMT_S16, kRate, &layout,
                            AV_SAMPLE_FMT_S16, inRate_, 0, nullptr) < 0 ||
        swr_init(ctx->swr) < 0) {
        av_channel_layout_uninit(&layout);
        return;
    }
    av_channel_layout_uninit(&layout);
    swr_ = std::move(ctx);
}

OutputResampler::~OutputResampler() = default;

void OutputResampler::toStereo(std::span<const std::int16_t> in,
                               std::vector<std::int16_t>& out) const {
    if (inChannels_ == 2) {
        out.insert(out.end(), in.begin(), in.end() - static_cast<std::ptrdiff_t>(in.size() % 2));
        return;
    }
    const std::size_t base = out.size();
    out.resize(base + in.size() * 2);
    for (std::size_t i = 0; i < in.size(); ++i) {
        out[base + 2 * i] = in[i];
        out[base + 2 * i + 1] = in[i];
    }
}

void OutputResampler::convert(std::span<const std::int16_t> in, std::vector<std::int16_t>& out) {
    if (in.empty()) {
        return;
    }
    if (inRate_ == kRate) {
        toStereo(in, out);
        return;
    }
    if (!swr_) {
        return;  // no resampler could be made: silence rather than the wrong speed
    }
    const int frames =
        static_cast<int>(std::min<std::size_t>(in.size() / inChannels_, INT_MAX / 4));
    const int capacity = swr_get_out_samples(swr_->swr, frames);
    if (capacity <= 0) {
        return;
    }
    scratch_.resize(static_cast<std::size_t>(capacity) * inChannels_);
    const std::uint8_t* src[] = {reinterpret_cast<const std::uint8_t*>(in.data())};
    std::uint8_t* dst[] = {reinterpret_cast<std::uint8_t*>(scratch_.data())};
    const int made = swr_convert(swr_->swr, dst, capacity, src, frames);
    if (made > 0) {
        toStereo(std::span(scratch_).first(static_cast<std::size_t>(made) * inChannels_), out);
    }
}

void OutputResampler::flush(std::vector<std::int16_t>& out) {
    if (!swr_) {
        return;
    }
    const int capacity = swr_get_out_samples(swr_->swr, 0);
    if (capacity <= 0) {
        return;
    }
    scratch_.resize(static_cast<std::size_t>(capacity) * inChannels_);
    std::uint8_t* dst[] = {reinterpret_cast<std::uint8_t*>(scratch_.data())};
    const int made = swr_convert(swr_->swr, dst, capacity, nullptr, 0);
    if (made > 0) {
        toStereo(std::span(scratch_).first(static_cast<std::size_t>(made) * inChannels_), out);
    }
}

}  // namespace zd::engine
