#include "engine/video/FlvFile.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "engine/audio/Mp3Scan.h"
#include "engine/audio/SoundDecoder.h"

namespace zd::engine {

namespace {

// FLV and AMF0 numbers are big-endian.
std::uint32_t be(std::span<const std::uint8_t> d, std::size_t at, int bytes) {
    std::uint32_t v = 0;
    for (int i = 0; i < bytes; ++i) {
        v = v << 8 | d[at + static_cast<std::size_t>(i)];
    }
    return v;
}

// Nesting deeper than this is no metadata anyone writes; it only costs stack.
constexpr int kMaxAmfDepth = 32;
// Items of one array or object: a count in the file cannot make us reserve more than this.
constexpr std::size_t kMaxAmfMembers = 65536;

class AmfReader {
  public:
    AmfReader(std::span<const std::uint8_t> d, std::size_t at) : d_(d), at_(at) {}
    std::size_t at() const { return at_; }

    std::optional<AmfValue> value(int depth) {
        if (depth > kMaxAmfDepth || !has(1)) {
            return std::nullopt;
        }
        const std::uint8_t marker = d_[at_++];
        AmfValue v;
        switch (marker) {
            case 0:
                v.type = AmfValue::Type::Number;
                return number(v.number) ? std::optional(std::move(v)) : std::nullopt;
            case 1:
                if (!has(1)) {
                    return std::nullopt;
                }
                v.type = AmfValue::Type::Boolean;
                v.boolean = d_[at_++] != 0;
                return v;
            case 2:
            case 12: {
                v.type = AmfValue::Type::String;
                auto s = text(marker == 12 ? 4 : 2);
                if (!s) {
                    return std::nullopt;
                }
                v.string = std::move(*s);
                return v;
            }
            case 3:
                v.type = AmfValue::Type::Object;
                return members(v, depth) ? std::optional(std::move(v)) : std::nullopt;
            case 8:
                if (!has(4)) {
                    return std::nullopt;
                }
                at_ += 4;  // the count is a hint; the end marker ends the members
                v.type = AmfValue::Type::EcmaArray;
                return members(v, depth) ? std::optional(std::move(v)) : std::nullopt;
            case 10: {
                if (!has(4)) {
                    return std::nullopt;
                }
                const std::uint32_t count = be(d_, at_, 4);
                at_ += 4;
                v.type = AmfValue::Type::StrictArray;
                // Every item takes at least a byte: a count beyond the bytes left is damage.
                if (count > d_.size() - at_ || count > kMaxAmfMembers) {
                    return std::nullopt;
                }
                for (std::uint32_t i = 0; i < count; ++i) {
                    auto item = value(depth + 1);
                    if (!item) {
                        return std::nullopt;
                    }
                    v.members.emplace_back(std::string(), std::move(*item));
                }
                return v;
            }
            case 11:
                v.type = AmfValue::Type::Date;
                if (!number(v.number) || !has(2)) {
                    return std::nullopt;
                }
                at_ += 2;  // time zone, unused
                return v;
            case 5:
                v.type = AmfValue::Type::Null;
                return v;
            case 6:
            case 13:  // unsupported: reads as undefined
                v.type = AmfValue::Type::Undefined;
                return v;
            default:
                // References, typed objects, movie clips and AMF3 switches: nothing FLV
                // metadata carries.
                return std::nullopt;
        }
    }

  private:
    bool has(std::size_t n) const { return at_ <= d_.size() && n <= d_.size() - at_; }

    bool number(double& out) {
        if (!has(8)) {
            return false;
        }
        const std::uint64_t bits = std::uint64_t{be(d_, at_, 4)} << 32 | be(d_, at_ + 4, 4);
        out = std::bit_cast<double>(bits);
        at_ += 8;
        return true;
    }

    std::optional<std::string> text(int lengthBytes) {
        if (!has(static_cast<std::size_t>(lengthBytes))) {
            return std::nullopt;
        }
        const std::size_t n = be(d_, at_, lengthBytes);
        at_ += static_cast<std::size_t>(lengthBytes);
        if (!has(n)) {
            return std::nullopt;
        }
        std::string s(reinterpret_cast<const char*>(d_.data() + at_), n);
        at_ += n;
        return s;
    }

    // Named members up to the end marker (an empty name, then 9).
    bool members(AmfValue& v, int depth) {
        for (;;) {
            auto name = text(2);
            if (!name) {
                return false;
            }
            if (name->empty() && has(1) && d_[at_] == 9) {
                ++at_;
                return true;
            }
            if (v.members.size() >= kMaxAmfMembers) {
                return false;
            }
            auto item = value(depth + 1);
            if (!item) {
                return false;
            }
            v.members.emplace_back(std::move(*name), std::move(*item));
        }
    }

    std::span<const std::uint8_t> d_;
    std::size_t at_;
};

constexpr std::size_t kHeaderSize = 9;
constexpr std::size_t kTagHeaderSize = 11;

}  // namespace

std::optional<AmfValue> readAmf0(std::span<const std::uint8_t> data, std::size_t& at) {
    AmfReader r(data, at);
    auto v = r.value(0);
    if (v) {
        at = r.at();
    }
    return v;
}

std::optional<FlvVideoPacket> parseFlvVideo(std::span<const std::uint8_t> body) {
    if (body.empty()) {
        return std::nullopt;
    }
    FlvVideoPacket p;
    p.frameType = body[0] >> 4;
    p.codec = body[0] & 0x0f;
    std::span<const std::uint8_t> rest = body.subspan(1);
    switch (p.codec) {
        case 4:  // VP6: a byte of crop adjustment first
        case 5:  // VP6 with alpha: the crop byte, then the data as a movie's frames hold it
            if (rest.empty()) {
                return std::nullopt;
            }
            p.cropRight = rest[0] >> 4;
            p.cropBottom = rest[0] & 0x0f;
            rest = rest.subspan(1);
            break;
        case 7:  // H.264: packet type, composition time
            if (rest.size() < 4) {
                return std::nullopt;
            }
            p.configuration = rest[0] == 0;
            if (rest[0] == 2) {
                return std::nullopt;  // end of sequence: nothing to decode
            }
            rest = rest.subspan(4);
            break;
        default:
            break;
    }
    p.data = rest;
    return p;
}

std::optional<FlvAudioPacket> parseFlvAudio(std::span<const std::uint8_t> body) {
    if (body.empty()) {
        return std::nullopt;
    }
    FlvAudioPacket p;
    p.format = body[0] >> 4;
    p.rateCode = (body[0] >> 2) & 3;
    p.sixteenBit = (body[0] & 2) != 0;
    p.stereo = (body[0] & 1) != 0;
    std::span<const std::uint8_t> rest = body.subspan(1);
    if (p.format == 10) {
        if (rest.empty()) {
            return std::nullopt;
        }
        p.configuration = rest[0] == 0;
        rest = rest.subspan(1);
    }
    p.data = rest;
    return p;
}

std::optional<FlvScriptCall> parseFlvScript(std::span<const std::uint8_t> body) {
    std::size_t at = 0;
    auto name = readAmf0(body, at);
    if (!name || name->type != AmfValue::Type::String) {
        return std::nullopt;
    }
    FlvScriptCall call;
    call.name = std::move(name->string);
    // Arguments as far as they read; a damaged one ends them.
    while (at < body.size() && call.args.size() < 64) {
        auto arg = readAmf0(body, at);
        if (!arg) {
            break;
        }
        call.args.push_back(std::move(*arg));
    }
    return call;
}

namespace {

// Most samples a decoded track holds (about six minutes of 44.1 kHz stereo): the whole track
// is kept as samples, so a long file's sound is cut rather than let grow without end.
constexpr std::size_t kMaxTrackSamples = std::size_t{32} << 20;

// A DefineSound body of uncompressed 16-bit samples at a rate a movie's sound can have.
std::vector<std::uint8_t> pcmDefineSound(std::span<const std::int16_t> samples, unsigned rateCode,
                                         bool stereo) {
    const std::size_t frames = samples.size() / (stereo ? 2 : 1);
    const auto count = static_cast<std::uint32_t>(std::min<std::size_t>(frames, 0xffffffffu));
    std::vector<std::uint8_t> body{
        0, 0, static_cast<std::uint8_t>(3 << 4 | rateCode << 2 | 2 | (stereo ? 1 : 0))};
    for (int i = 0; i < 4; ++i) {
        body.push_back(static_cast<std::uint8_t>(count >> (8 * i)));
    }
    body.reserve(body.size() + samples.size() * 2);
    for (const std::int16_t v : samples) {
        const auto u = static_cast<std::uint16_t>(v);
        body.push_back(static_cast<std::uint8_t>(u));
        body.push_back(static_cast<std::uint8_t>(u >> 8));
    }
    return body;
}

// The sound of codings whose packets each stand alone (ADPCM starts afresh in every packet)
// or that need their own configuration (AAC): every packet is decoded, and the samples make
// one uncompressed track. A rate a movie's sound cannot have is brought to 44.1 kHz.
std::optional<std::vector<std::uint8_t>> decodedTrack(const FlvFile& file,
                                                      std::span<const std::uint8_t> bytes,
                                                      const FlvAudioPacket& first) {
    const SoundCoding coding{first.format, first.rateCode, first.sixteenBit, first.stereo};
    std::unique_ptr<SoundDecoder> decoder;
    const bool aac = first.format == static_cast<std::uint8_t>(SoundFormat::Aac);
    const bool standalone = first.format == static_cast<std::uint8_t>(SoundFormat::Adpcm);
    std::vector<std::int16_t> samples;
    std::vector<std::uint8_t> config;
    int configurations = 0;
    int rate = 0;
    int channels = 0;
    for (const FlvTag& tag : file.tags()) {
        if (samples.size() >= kMaxTrackSamples) {
            break;
        }
        if (tag.type != FlvTag::Audio || tag.offset > bytes.size() ||
            tag.size > bytes.size() - tag.offset) {
            continue;
        }
        const auto p = parseFlvAudio(bytes.subspan(tag.offset, tag.size));
        if (!p || p->format != first.format || p->stereo != first.stereo) {
            continue;
        }
        if (aac && p->configuration) {
            // A new configuration starts a new decoder; what came before is kept. The same
            // one again changes nothing, and a file that keeps changing it is not followed
            // for ever (each decoder costs its setting up).
            const std::vector<std::uint8_t> bytesOfConfig(p->data.begin(), p->data.end());
            if ((decoder != nullptr && bytesOfConfig == config) || configurations >= 8) {
                continue;
            }
            ++configurations;
            config = bytesOfConfig;
            if (decoder != nullptr) {
                decoder->flush(samples);
            }
            decoder = SoundDecoder::create(coding, p->data);
            continue;
        }
        if (decoder == nullptr) {
            if (aac) {
                continue;  // AAC frames mean nothing before their configuration
            }
            decoder = SoundDecoder::create(coding);
            if (decoder == nullptr) {
                return std::nullopt;
            }
        } else if (standalone) {
            decoder->reset();
        }
        const std::size_t before = samples.size();
        decoder->decode(p->data, samples);
        if (samples.size() > before) {
            if (rate == 0) {
                rate = decoder->sampleRate();
                channels = decoder->channels();
            } else if (decoder->sampleRate() != rate || decoder->channels() != channels) {
                samples.resize(before);  // a change of rate midway: the first one's samples
            }
        }
    }
    if (decoder != nullptr && samples.size() < kMaxTrackSamples) {
        const std::size_t before = samples.size();
        decoder->flush(samples);
        if (rate == 0 && samples.size() > before) {
            rate = decoder->sampleRate();
            channels = decoder->channels();
        }
    }
    if (rate <= 0 || (channels != 1 && channels != 2)) {
        return std::nullopt;
    }
    samples.resize(std::min(
        samples.size() / static_cast<std::size_t>(channels) * static_cast<std::size_t>(channels),
        kMaxTrackSamples));
    if (samples.empty()) {
        return std::nullopt;
    }
    for (unsigned code = 0; code < 4; ++code) {
        if (soundRateFromCode(code) == rate) {
            return pcmDefineSound(samples, code, channels == 2);
        }
    }
    OutputResampler resampler(rate, channels);
    std::vector<std::int16_t> out;
    resampler.convert(samples, out);
    resampler.flush(out);
    if (out.empty()) {
        return std::nullopt;
    }
    return pcmDefineSound(out, 3, true);
}

}  // namespace

std::optional<std::vector<std::uint8_t>> flvSoundTrack(const FlvFile& file,
                                                       std::span<const std::uint8_t> bytes) {
    std::optional<FlvAudioPacket> first;
    std::vector<std::uint8_t> data;
    for (const FlvTag& tag : file.tags()) {
        if (tag.type != FlvTag::Audio || tag.offset > bytes.size() ||
            tag.size > bytes.size() - tag.offset) {
            continue;
        }
        const auto p = parseFlvAudio(bytes.subspan(tag.offset, tag.size));
        if (!p) {
            continue;
        }
        if (!first) {
            first = p;
        } else if (p->format != first->format || p->stereo != first->stereo) {
            continue;  // a change of format midway: the first one's packets only
        }
        data.insert(data.end(), p->data.begin(), p->data.end());
    }
    if (!first || data.empty()) {
        return std::nullopt;
    }
    if (first->format == static_cast<std::uint8_t>(SoundFormat::Adpcm) ||
        first->format == static_cast<std::uint8_t>(SoundFormat::Aac)) {
        return decodedTrack(file, bytes, *first);
    }
    if (first->format == 2 || first->format == 14) {
        const auto mp3 = scanMp3(data);
        if (!mp3) {
            return std::nullopt;
        }
        return mp3DefineSound(*mp3, data);
    }
    std::uint64_t samples = 0;
    const unsigned channels = first->stereo ? 2 : 1;
    switch (first->format) {
        case 0:  // uncompressed, taken as little-endian
        case 3:
            samples = data.size() / (channels * (first->sixteenBit ? 2u : 1u));
            break;
        case 6:  // Nellymoser: 256 samples in each 64 bytes
            samples = data.size() / 64 * 256;
            data.resize(data.size() / 64 * 64);
            break;
        default:
            return std::nullopt;
    }
    if (samples == 0) {
        return std::nullopt;
    }
    const std::uint32_t count =
        static_cast<std::uint32_t>(std::min<std::uint64_t>(samples, 0xffffffffu));
    std::vector<std::uint8_t> body{
        0, 0,
        static_cast<std::uint8_t>((first->format == 6 ? 6 : 3) << 4 | first->rateCode << 2 |
                                  (first->sixteenBit ? 2 : 0) | (first->stereo ? 1 : 0))};
    for (int i = 0; i < 4; ++i) {
        body.push_back(static_cast<std::uint8_t>(count >> (8 * i)));
    }
    body.insert(body.end(), data.begin(), data.end());
    return body;
}

void FlvFile::update(std::span<const std::uint8_t> data, bool complete) {
    if (!started_) {
        if (data.size() < kHeaderSize) {
            if (complete) {
                finished_ = true;
            }
            return;
        }
        started_ = true;
        valid_ = data[0] == 'F' && data[1] == 'L' && data[2] == 'V';
        if (!valid_) {
            finished_ = true;
            return;
        }
        hasAudio_ = (data[4] & 0x04) != 0;
        hasVideo_ = (data[4] & 0x01) != 0;
        // The header says how long it is; the first tag follows it and a zero size word.
        const std::size_t headerSize = std::max<std::size_t>(be(data, 5, 4), kHeaderSize);
        next_ = headerSize + 4;
    }
    while (!finished_) {
        if (tags_.size() >= kMaxTags) {
            finished_ = true;
            break;
        }
        if (next_ > data.size() || data.size() - next_ < kTagHeaderSize) {
            finished_ = complete;
            break;
        }
        const std::uint8_t type = data[next_] & 0x1f;
        const std::size_t size = be(data, next_ + 1, 3);
        const std::uint32_t timestamp = be(data, next_ + 4, 3) | std::uint32_t{data[next_ + 7]}
                                                                     << 24;
        const std::size_t body = next_ + kTagHeaderSize;
        std::size_t available = size;
        if (size > data.size() - body) {
            if (!complete) {
                break;  // wait for the rest of the tag
            }
            available = data.size() - body;
            finished_ = true;
        }
        // A filtered (encrypted) tag is nothing we can play: it is skipped whole.
        if ((data[next_] & 0x20) == 0 &&
            (type == FlvTag::Audio || type == FlvTag::Video || type == FlvTag::Script)) {
            FlvTag tag;
            tag.type = type;
            tag.timestamp = timestamp;
            tag.offset = body;
            tag.size = available;
            tag.key = true;
            if (type == FlvTag::Video) {
                const auto packet = parseFlvVideo(data.subspan(body, available));
                tag.key = packet && (packet->frameType == 1 || packet->frameType == 4 ||
                                     packet->configuration);
            }
            if (type != FlvTag::Script) {
                lastTimestamp_ = std::max(lastTimestamp_, timestamp);
            }
            tags_.push_back(tag);
        }
        if (finished_) {
            break;
        }
        next_ = body + size + 4;  // past the size word that closes the tag
    }
}

std::optional<std::size_t> FlvFile::keyFrameBefore(double ms) const {
    std::optional<std::size_t> first;
    std::optional<std::size_t> found;
    for (std::size_t i = 0; i < tags_.size(); ++i) {
        const FlvTag& t = tags_[i];
        if (t.type != FlvTag::Video) {
            continue;
        }
        if (!first) {
            first = i;
        }
        if (t.timestamp > ms) {
            break;
        }
        if (t.key) {
            found = i;
        }
    }
    return found ? found : first;
}

double FlvFile::seekTime(double ms) const {
    const auto key = keyFrameBefore(ms);
    return key ? tags_[*key].timestamp : 0.0;
}

}  // namespace zd::engine
