#include "swfwriter/SwfWriter.h"

namespace zd::swfwriter {

namespace {

enum Code : std::uint16_t {
    kDefineSound = 14,
    kStartSound = 15,
    kDefineButtonSound = 17,
    kSoundStreamHead = 18,
    kSoundStreamBlock = 19,
    kSoundStreamHead2 = 45,
    kExportAssets = 56,
    kDefineVideoStream = 60,
    kVideoFrame = 61,
    kStartSound2 = 89,
};

std::uint8_t codingByte(const SoundFormatSpec& f) {
    return static_cast<std::uint8_t>(f.format << 4 | (f.rateCode & 3) << 2 |
                                     (f.sixteenBit ? 2 : 0) | (f.stereo ? 1 : 0));
}

}  // namespace

void writeSoundInfo(BitWriter& out, const SoundInfoSpec& info) {
    out.u8(static_cast<std::uint8_t>((info.stop ? 0x20 : 0) | (info.noMultiple ? 0x10 : 0) |
                                     (info.envelope.empty() ? 0 : 0x08) | (info.loops ? 0x04 : 0) |
                                     (info.outPoint ? 0x02 : 0) | (info.inPoint ? 0x01 : 0)));
    if (info.inPoint) {
        out.u32(*info.inPoint);
    }
    if (info.outPoint) {
        out.u32(*info.outPoint);
    }
    if (info.loops) {
        out.u16(*info.loops);
    }
    if (!info.envelope.empty()) {
        out.u8(static_cast<std::uint8_t>(info.envelope.size()));
        for (const auto& p : info.envelope) {
            out.u32(p.position44);
            out.u16(p.left);
            out.u16(p.right);
        }
    }
}

void Timeline::startSound(std::uint16_t soundId, const SoundInfoSpec& info) {
    BitWriter w;
    w.u16(soundId);
    writeSoundInfo(w, info);
    rawTag(kStartSound, w.data());
}

void Timeline::startSound2(const std::string& className, const SoundInfoSpec& info) {
    BitWriter w;
    w.cstring(className);
    writeSoundInfo(w, info);
    rawTag(kStartSound2, w.data());
}

void Timeline::soundStreamHead(const SoundFormatSpec& stream, std::uint16_t samplesPerBlock,
                               int version, std::int16_t latencySeek) {
    BitWriter w;
    w.u8(codingByte({0, stream.rateCode, true, stream.stereo}));  // playback: advisory
    w.u8(codingByte(stream));
    w.u16(samplesPerBlock);
    if (stream.format == 2) {
        w.u16(static_cast<std::uint16_t>(latencySeek));
    }
    rawTag(version == 1 ? kSoundStreamHead : kSoundStreamHead2, w.data());
}

void Timeline::soundStreamBlock(std::span<const std::uint8_t> data) {
    rawTag(kSoundStreamBlock, data, true);
}

void Timeline::videoFrame(std::uint16_t streamId, std::uint16_t frameNum,
                          std::span<const std::uint8_t> data) {
    BitWriter w;
    w.u16(streamId);
    w.u16(frameNum);
    w.bytes(data);
    rawTag(kVideoFrame, w.data(), true);
}

std::uint16_t MovieWriter::defineSound(const SoundFormatSpec& format, std::uint32_t sampleCount,
                                       std::span<const std::uint8_t> data,
                                       std::optional<std::uint16_t> id) {
    const std::uint16_t soundId = id ? *id : nextCharacterId();
    BitWriter w;
    w.u16(soundId);
    w.u8(codingByte(format));
    w.u32(sampleCount);
    w.bytes(data);
    rawTag(kDefineSound, w.data(), true);
    return soundId;
}

void MovieWriter::exportAssets(const std::vector<std::pair<std::uint16_t, std::string>>& names) {
    BitWriter w;
    w.u16(static_cast<std::uint16_t>(names.size()));
    for (const auto& [id, name] : names) {
        w.u16(id);
        w.cstring(name);
    }
    rawTag(kExportAssets, w.data());
}

void MovieWriter::defineButtonSound(
    std::uint16_t buttonId, const std::array<std::pair<std::uint16_t, SoundInfoSpec>, 4>& sounds) {
    BitWriter w;
    w.u16(buttonId);
    for (const auto& [soundId, info] : sounds) {
        w.u16(soundId);
        if (soundId != 0) {
            writeSoundInfo(w, info);
        }
    }
    rawTag(kDefineButtonSound, w.data());
}

std::uint16_t MovieWriter::defineVideoStream(std::uint16_t frameCount, std::uint16_t width,
                                             std::uint16_t height, std::uint8_t codec,
                                             std::uint8_t deblocking, bool smoothing) {
    const std::uint16_t id = nextCharacterId();
    BitWriter w;
    w.u16(id);
    w.u16(frameCount);
    w.u16(width);
    w.u16(height);
    w.u8(static_cast<std::uint8_t>((deblocking & 7) << 1 | (smoothing ? 1 : 0)));
    w.u8(codec);
    rawTag(kDefineVideoStream, w.data());
    return id;
}

}  // namespace zd::swfwriter
