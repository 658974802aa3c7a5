#pragma once

// Coded sound and video for the tests, made by FFmpeg's encoders, and small helpers around
// the engine's sound and video types.

#include <QImage>
#include <cstdint>
#include <span>
#include <vector>

#include "swfwriter/SwfWriter.h"

namespace zd::test {

using Bytes = swfwriter::Bytes;
using Samples = std::vector<std::int16_t>;

// A sine of `hz` at `amplitude`, `frames` frames long, the same on every channel.
Samples sine(double hz, int rate, std::size_t frames, int channels = 1, double amplitude = 16000.0);
// Little-endian bytes of 16-bit samples.
Bytes le16(std::span<const std::int16_t> samples);

// MP3 frames (MPEG audio, no container) from interleaved samples; also tells how many
// samples of encoder delay come before the sound.
struct Mp3 {
    Bytes data;
    std::vector<std::size_t> frameOffsets;  // where each MP3 frame starts in data
    int samplesPerFrame = 1152;
};
Mp3 encodeMp3(std::span<const std::int16_t> samples, int rate, int channels, int kbps = 64);
// ADPCM sound data as DefineSound holds it (code size first), from FFmpeg's encoder.
Bytes encodeAdpcm(std::span<const std::int16_t> samples, int rate, int channels);
// The same as separate sound data records of 4096 samples each (as stream blocks hold them).
std::vector<Bytes> encodeAdpcmPackets(std::span<const std::int16_t> samples, int rate,
                                      int channels);
Bytes encodeNellymoser(std::span<const std::int16_t> samples, int rate);
// Packets of any audio encoder FFmpeg has, and its configuration record (AAC's).
struct Packets {
    std::vector<Bytes> packets;
    Bytes extradata;
};
Packets encodeAudioPackets(const char* encoder, std::span<const std::int16_t> samples, int rate,
                           int channels);

// Video frames coded as a VideoFrame tag holds them. keyInterval: a key frame every so many.
// With extradata, the encoder's configuration is asked for and kept there.
std::vector<Bytes> encodeVideo(const char* encoder, const std::vector<QImage>& frames,
                               int keyInterval, Bytes* extradata = nullptr);
// H.264 as FLV carries it: units with four-byte lengths instead of start codes, and the
// AVCDecoderConfigurationRecord made of the parameter sets.
Bytes lengthPrefixed(std::span<const std::uint8_t> annexB);
Bytes avcConfiguration(std::span<const std::uint8_t> annexB);
// A picture filled with one colour.
QImage solidImage(int width, int height, QRgb colour);

// Counts the calls to the global operator new while it lives (for checking that code
// allocates nothing).
class AllocationCounter {
  public:
    AllocationCounter();
    ~AllocationCounter();
    long count() const;
};

// The shared corpus, or empty when it is absent.
QString sharedDir();

}  // namespace zd::test
