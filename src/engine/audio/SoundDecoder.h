#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "engine/swf/SoundTags.h"

namespace zd::engine {

// Decodes coded sound to 16-bit samples at the sound's own rate, interleaved, through FFmpeg's
// decoders. Data goes in as it lies in the file: a DefineSound's data, or a stream's blocks
// one after another; damaged data decodes as far as it can and is skipped, never trusted.
class SoundDecoder {
  public:
    // nullptr for a coding FFmpeg has no decoder for (or one we do not know). extradata: the
    // codec's configuration where it has one (AAC's AudioSpecificConfig, from a FLV file).
    static std::unique_ptr<SoundDecoder> create(const SoundCoding& coding,
                                                std::span<const std::uint8_t> extradata = {});
    ~SoundDecoder();
    SoundDecoder(const SoundDecoder&) = delete;
    SoundDecoder& operator=(const SoundDecoder&) = delete;

    // Decodes one piece of coded data, appending its samples to out. Pieces may be cut
    // anywhere for MP3 (the frames are found again); for the other codings a piece is a whole
    // unit (an ADPCM sound data record, a run of Nellymoser blocks). Returns false when some
    // of it could not be decoded.
    bool decode(std::span<const std::uint8_t> data, std::vector<std::int16_t>& out);
    // Whatever the decoder still holds back, at the end of the data.
    void flush(std::vector<std::int16_t>& out);
    // Forgets what came before, for data that does not continue it (after a seek).
    void reset();

    // The rate and channel count of the samples decoded: the coding's until a first frame has
    // said otherwise (MP3 frames carry their own).
    int sampleRate() const { return rate_; }
    int channels() const { return channels_; }
    const SoundCoding& coding() const { return coding_; }

  private:
    struct Codec;
    explicit SoundDecoder(const SoundCoding& coding);
    bool open(std::span<const std::uint8_t> extradata);
    bool sendAndReceive(const std::uint8_t* data, int size, std::vector<std::int16_t>& out);
    bool receiveAll(std::vector<std::int16_t>& out);

    SoundCoding coding_;
    int rate_ = 0;
    int channels_ = 1;
    std::unique_ptr<Codec> codec_;
    std::vector<std::uint8_t> padded_;  // a piece of data for the parser, padded
};

// Converts 16-bit interleaved samples of one rate to 44.1 kHz stereo (mono is put on both
// sides at full level). Fed piece by piece; a rate of 44.1 kHz passes samples through as
// they are.
class OutputResampler {
  public:
    static constexpr int kRate = 44100;

    OutputResampler(int inputRate, int inputChannels);
    ~OutputResampler();
    OutputResampler(const OutputResampler&) = delete;
    OutputResampler& operator=(const OutputResampler&) = delete;

    // Appends the stereo frames made from in to out.
    void convert(std::span<const std::int16_t> in, std::vector<std::int16_t>& out);
    // The frames the filter still holds, at the end of the sound.
    void flush(std::vector<std::int16_t>& out);
    int inputRate() const { return inRate_; }
    int inputChannels() const { return inChannels_; }

  private:
    struct Context;
    void toStereo(std::span<const std::int16_t> in, std::vector<std::int16_t>& out) const;

    int inRate_;
    int inChannels_;
    std::unique_ptr<Context> swr_;
    std::vector<std::int16_t> scratch_;
};

}  // namespace zd::engine
