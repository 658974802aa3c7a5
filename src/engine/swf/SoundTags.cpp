#include "engine/swf/SoundTags.h"

#include "engine/swf/ByteReader.h"

namespace zd::engine {

namespace {

// Envelope points beyond this many are read past and ignored; the count is a byte anyway.
constexpr std::size_t kMaxEnvelopePoints = 255;

SoundCoding readCodingByte(std::uint8_t b) {
    SoundCoding c;
    c.format = static_cast<std::uint8_t>(b >> 4);
    c.rateCode = static_cast<std::uint8_t>((b >> 2) & 3);
    c.sixteenBit = (b & 2) != 0;
    c.stereo = (b & 1) != 0;
    return c;
}

}  // namespace

int soundRateFromCode(unsigned code) {
    static constexpr int kRates[] = {5512, 11025, 22050, 44100};
    return kRates[code & 3];
}

int SoundCoding::sampleRate() const {
    switch (static_cast<SoundFormat>(format)) {
        case SoundFormat::Nellymoser16k:
        case SoundFormat::Speex:
            return 16000;
        case SoundFormat::Nellymoser8k:
        case SoundFormat::G711ALaw:
        case SoundFormat::G711MuLaw:
            return 8000;
        default:
            return soundRateFromCode(rateCode);
    }
}

int SoundCoding::channels() const {
    switch (static_cast<SoundFormat>(format)) {
        case SoundFormat::Nellymoser16k:
        case SoundFormat::Nellymoser8k:
        case SoundFormat::Nellymoser:
        case SoundFormat::Speex:
            return 1;
        default:
            return stereo ? 2 : 1;
    }
}

std::optional<SoundDefinition> parseDefineSound(std::span<const std::uint8_t> body) {
    ByteReader in(body);
    SoundDefinition s;
    s.id = in.u16();
    s.coding = readCodingByte(in.u8());
    s.sampleCount = in.u32();
    if (!in.ok()) {
        return std::nullopt;
    }
    s.data = body.subspan(in.position());
    return s;
}

SoundInfo readSoundInfo(ByteReader& in) {
    SoundInfo info;
    const std::uint8_t flags = in.u8();
    info.stop = flags & 0x20;
    info.noMultiple = flags & 0x10;
    if (flags & 0x01) {
        info.inPoint = in.u32();
    }
    if (flags & 0x02) {
        info.outPoint = in.u32();
    }
    if (flags & 0x04) {
        info.loops = in.u16();
    }
    if (flags & 0x08) {
        const unsigned count = in.u8();
        for (unsigned i = 0; i < count && in.ok(); ++i) {
            SoundEnvelopePoint p;
            p.position44 = in.u32();
            p.left = in.u16();
            p.right = in.u16();
            if (in.ok() && info.envelope.size() < kMaxEnvelopePoints) {
                info.envelope.push_back(p);
            }
        }
    }
    return info;
}

std::optional<StartSoundTag> parseStartSound(std::span<const std::uint8_t> body, int version) {
    ByteReader in(body);
    StartSoundTag tag;
    if (version >= 2) {
        tag.className = in.cstring();
    } else {
        tag.soundId = in.u16();
    }
    if (!in.ok()) {
        return std::nullopt;
    }
    tag.info = readSoundInfo(in);
    // A record cut short may have lost what mattered (a stop, the loops): better no sound
    // than the wrong one.
    return in.ok() ? std::optional(tag) : std::nullopt;
}

std::optional<SoundStreamHead> parseSoundStreamHead(std::span<const std::uint8_t> body) {
    ByteReader in(body);
    SoundStreamHead h;
    in.u8();  // the advisory playback format
    h.coding = readCodingByte(in.u8());
    h.samplesPerBlock = in.u16();
    if (!in.ok()) {
        return std::nullopt;
    }
    if (h.coding.format == static_cast<std::uint8_t>(SoundFormat::Mp3) && in.remaining() >= 2) {
        h.latencySeek = in.s16();
    }
    return h;
}

std::optional<Mp3StreamBlock> parseMp3StreamBlock(std::span<const std::uint8_t> body) {
    ByteReader in(body);
    Mp3StreamBlock b;
    b.sampleCount = in.u16();
    b.seekSamples = in.s16();
    if (!in.ok()) {
        return std::nullopt;
    }
    b.frames = body.subspan(4);
    return b;
}

std::optional<ButtonSounds> parseDefineButtonSound(std::span<const std::uint8_t> body) {
    ByteReader in(body);
    ButtonSounds b;
    b.buttonId = in.u16();
    if (!in.ok()) {
        return std::nullopt;
    }
    for (auto& t : b.transitions) {
        const std::uint16_t id = in.u16();
        if (!in.ok()) {
            break;  // the transitions written so far still count
        }
        if (id != 0) {
            SoundInfo info = readSoundInfo(in);
            if (!in.ok()) {
                break;
            }
            t.soundId = id;
            t.info = std::move(info);
        }
    }
    return b;
}

}  // namespace zd::engine
