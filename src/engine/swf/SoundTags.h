#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace zd::engine {

class ByteReader;

// Sound coding formats by their number in the file.
enum class SoundFormat : std::uint8_t {
    PcmNativeEndian = 0,
    Adpcm = 1,
    Mp3 = 2,
    PcmLittleEndian = 3,
    Nellymoser16k = 4,
    Nellymoser8k = 5,
    Nellymoser = 6,
    G711ALaw = 7,
    G711MuLaw = 8,
    Aac = 10,
    Speex = 11,
};

// How a sound's samples are coded: what DefineSound and the stream heads say about them.
struct SoundCoding {
    std::uint8_t format = 0;  // a SoundFormat, or a number we do not know
    std::uint8_t rateCode = 0;
    bool sixteenBit = true;
    bool stereo = false;

    // Samples per second of the coded data: the rate code's for most formats, the codec's own
    // for those whose rate is fixed.
    int sampleRate() const;
    int channels() const;
};

// The sample rates the two-bit rate fields name (5.5, 11, 22 and 44 kHz).
int soundRateFromCode(unsigned code);

// DefineSound. data lies in the tag body it was parsed from.
struct SoundDefinition {
    std::uint16_t id = 0;
    SoundCoding coding;
    std::uint32_t sampleCount = 0;  // per channel
    std::span<const std::uint8_t> data;
};

std::optional<SoundDefinition> parseDefineSound(std::span<const std::uint8_t> body);

// SOUNDENVELOPE: levels from 0 to 32768 at a position counted in 44.1 kHz samples.
struct SoundEnvelopePoint {
    std::uint32_t position44 = 0;
    std::uint16_t left = 32768;
    std::uint16_t right = 32768;
    bool operator==(const SoundEnvelopePoint&) const = default;
};

// SOUNDINFO: how an event sound is started (or stopped). In and out points are counted in
// 44.1 kHz samples, as envelope positions are.
struct SoundInfo {
    bool stop = false;
    bool noMultiple = false;
    std::optional<std::uint32_t> inPoint;
    std::optional<std::uint32_t> outPoint;
    std::uint16_t loops = 1;  // times played; 0 counts as once
    std::vector<SoundEnvelopePoint> envelope;
    bool operator==(const SoundInfo&) const = default;
};

SoundInfo readSoundInfo(ByteReader& in);

struct StartSoundTag {
    std::uint16_t soundId = 0;
    std::string className;  // StartSound2 names the sound by its exported class
    SoundInfo info;
};

// StartSound (version 1) or StartSound2 (2).
std::optional<StartSoundTag> parseStartSound(std::span<const std::uint8_t> body, int version);

// SoundStreamHead / SoundStreamHead2: the coding of a timeline's stream blocks.
struct SoundStreamHead {
    SoundCoding coding;
    std::uint16_t samplesPerBlock = 0;  // the average the file announces
    std::int16_t latencySeek = 0;       // MP3 only
};

std::optional<SoundStreamHead> parseSoundStreamHead(std::span<const std::uint8_t> body);

// An MP3 stream block: samples it stands for, samples to skip after a seek, the MP3 frames.
struct Mp3StreamBlock {
    std::uint16_t sampleCount = 0;
    std::int16_t seekSamples = 0;
    std::span<const std::uint8_t> frames;
};

std::optional<Mp3StreamBlock> parseMp3StreamBlock(std::span<const std::uint8_t> body);

// DefineButtonSound: a sound for each state change, in the order OverUpToIdle, IdleToOverUp,
// OverUpToOverDown, OverDownToOverUp. A sound id of 0 plays nothing.
struct ButtonSounds {
    struct Entry {
        std::uint16_t soundId = 0;
        SoundInfo info;
    };
    std::uint16_t buttonId = 0;
    std::array<Entry, 4> transitions;
};

std::optional<ButtonSounds> parseDefineButtonSound(std::span<const std::uint8_t> body);

}  // namespace zd::engine
