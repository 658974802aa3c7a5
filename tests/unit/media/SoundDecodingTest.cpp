#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <cmath>
#include <cstdio>

#include "MediaFixtures.h"
#include "engine/audio/EventSound.h"
#include "engine/swf/ByteReader.h"
#include "engine/swf/MovieData.h"
#include "engine/swf/SoundTags.h"
#include "engine/swf/TagCodes.h"
#include "engine/swf/TagWalker.h"

using namespace zd::engine;
using namespace zd::test;

namespace {

std::shared_ptr<const SoundSource> source(std::uint8_t format, std::uint8_t rateCode, bool sixteen,
                                          bool stereo, std::uint32_t count, Bytes data) {
    auto s = std::make_shared<SoundSource>();
    s->coding = {format, rateCode, sixteen, stereo};
    s->sampleCount = count;
    s->data = std::move(data);
    return s;
}

// Periods per second of a tone on the first channel of interleaved samples, timed from its
// first rise to its last (silence around it does not count). A rise goes from below -4000 to
// above 4000, so coding noise around zero does not count either.
double frequency(std::span<const std::int16_t> s, int channels, int rate) {
    int rises = 0;
    std::size_t first = 0;
    std::size_t last = 0;
    bool low = false;
    for (std::size_t i = 0; i < s.size(); i += channels) {
        if (s[i] < -4000) {
            low = true;
        } else if (s[i] > 4000 && low) {
            low = false;
            (rises++ == 0 ? first : last) = i / channels;
        }
    }
    return rises < 2 ? 0.0 : (rises - 1) * static_cast<double>(rate) / double(last - first);
}

double rms(std::span<const std::int16_t> s) {
    double sum = 0;
    for (const std::int16_t v : s) {
        sum += double(v) * v;
    }
    return s.empty() ? 0 : std::sqrt(sum / s.size());
}

Bytes mp3Data(const Mp3& mp3, std::int16_t seek) {
    Bytes d(mp3.data.size() + 2);
    d[0] = static_cast<std::uint8_t>(seek & 0xff);
    d[1] = static_cast<std::uint8_t>(seek >> 8);
    std::copy(mp3.data.begin(), mp3.data.end(), d.begin() + 2);
    return d;
}

}  // namespace

TEST(SoundRecords, SoundInfoReadsEveryFieldItHas) {
    zd::swfwriter::BitWriter w;
    zd::swfwriter::SoundInfoSpec spec;
    spec.noMultiple = true;
    spec.inPoint = 100;
    spec.outPoint = 70000;
    spec.loops = 3;
    spec.envelope = {{0, 0, 32768}, {44100, 32768, 0}};
    zd::swfwriter::writeSoundInfo(w, spec);
    ByteReader in(w.data());
    const SoundInfo info = readSoundInfo(in);
    ASSERT_TRUE(in.ok());
    EXPECT_TRUE(in.atEnd());
    EXPECT_FALSE(info.stop);
    EXPECT_TRUE(info.noMultiple);
    EXPECT_EQ(info.inPoint, 100u);
    EXPECT_EQ(info.outPoint, 70000u);
    EXPECT_EQ(info.loops, 3);
    ASSERT_EQ(info.envelope.size(), 2u);
    EXPECT_EQ(info.envelope[1], (SoundEnvelopePoint{44100, 32768, 0}));

    // Nothing set: plays once, whole, unchanged.
    const std::uint8_t plain[] = {0};
    ByteReader p(plain);
    EXPECT_EQ(readSoundInfo(p), SoundInfo{});
}

TEST(SoundRecords, CutRecordsAreRefused) {
    // StartSound whose envelope promises two points and holds one: no sound rather than a
    // guess. DefineSound without its sample count: no sound.
    zd::swfwriter::BitWriter w;
    w.u16(7);
    zd::swfwriter::SoundInfoSpec spec;
    spec.envelope = {{0, 1, 1}, {10, 2, 2}};
    zd::swfwriter::writeSoundInfo(w, spec);
    Bytes cut = w.data();
    cut.resize(cut.size() - 8);
    EXPECT_FALSE(parseStartSound(cut, 1));
    EXPECT_TRUE(parseStartSound(w.data(), 1));
    const std::uint8_t shortSound[] = {1, 0, 0x3e, 10, 0};
    EXPECT_FALSE(parseDefineSound(shortSound));

    // StartSound2 names its sound.
    zd::swfwriter::BitWriter named;
    named.cstring("Boom");
    named.u8(0x20);
    const auto tag = parseStartSound(named.data(), 2);
    ASSERT_TRUE(tag);
    EXPECT_EQ(tag->className, "Boom");
    EXPECT_TRUE(tag->info.stop);
}

TEST(SoundRecords, HeadsBlocksAndButtonSounds) {
    // Head2 for MP3 22 kHz stereo, 1152 samples a block, latency 576.
    const std::uint8_t head[] = {0x0a, 0x2b, 0x80, 0x04, 0x40, 0x02};
    const auto h = parseSoundStreamHead(head);
    ASSERT_TRUE(h);
    EXPECT_EQ(h->coding.format, 2);
    EXPECT_EQ(h->coding.sampleRate(), 22050);
    EXPECT_EQ(h->coding.channels(), 2);
    EXPECT_EQ(h->samplesPerBlock, 1152);
    EXPECT_EQ(h->latencySeek, 576);

    const std::uint8_t block[] = {0x80, 0x04, 0xfe, 0xff, 0xff, 0xfb};
    const auto b = parseMp3StreamBlock(block);
    ASSERT_TRUE(b);
    EXPECT_EQ(b->sampleCount, 1152);
    EXPECT_EQ(b->seekSamples, -2);
    EXPECT_EQ(b->frames.size(), 2u);

    // Nellymoser and Speex have rates of their own whatever the field says.
    EXPECT_EQ((SoundCoding{5, 3, true, true}.sampleRate()), 8000);
    EXPECT_EQ((SoundCoding{4, 0, true, true}.sampleRate()), 16000);
    EXPECT_EQ((SoundCoding{4, 0, true, true}.channels()), 1);
    EXPECT_EQ((SoundCoding{6, 1, true, false}.sampleRate()), 11025);
    EXPECT_EQ((SoundCoding{11, 0, true, true}.sampleRate()), 16000);

    // A button with sounds for two of its changes; the last record is cut short.
    zd::swfwriter::BitWriter w;
    w.u16(5);
    w.u16(0);
    w.u16(9);
    zd::swfwriter::writeSoundInfo(w, {});
    w.u16(10);
    zd::swfwriter::SoundInfoSpec looped;
    looped.loops = 2;
    zd::swfwriter::writeSoundInfo(w, looped);
    w.u16(11);
    w.u8(0x04);  // loops promised, none follow
    const auto sounds = parseDefineButtonSound(w.data());
    ASSERT_TRUE(sounds);
    EXPECT_EQ(sounds->buttonId, 5);
    EXPECT_EQ(sounds->transitions[0].soundId, 0);
    EXPECT_EQ(sounds->transitions[1].soundId, 9);
    EXPECT_EQ(sounds->transitions[2].soundId, 10);
    EXPECT_EQ(sounds->transitions[2].info.loops, 2);
    EXPECT_EQ(sounds->transitions[3].soundId, 0);
}

TEST(SoundDecoding, UncompressedSamplesKeepTheirValues) {
    // 8-bit data is unsigned around 128; 16-bit little-endian as stored.
    const auto eight = decodeNativeSound(*source(3, 1, false, false, 3, {0, 128, 255}));
    ASSERT_EQ(eight.samples.size(), 3u);
    EXPECT_EQ(eight.samples[0], -32768);
    EXPECT_EQ(eight.samples[1], 0);
    EXPECT_EQ(eight.samples[2], 127 * 256);
    EXPECT_EQ(eight.rate, 11025);

    const Samples values{1, -2, 300, -32768, 32767, 0};
    const auto sixteen = decodeNativeSound(*source(3, 3, true, true, 3, le16(values)));
    EXPECT_EQ(sixteen.channels, 2);
    EXPECT_EQ(sixteen.samples, values);
    // The native-endian format reads as this machine stores numbers.
    const auto native = decodeNativeSound(*source(0, 3, true, true, 3, le16(values)));
    if constexpr (std::endian::native == std::endian::little) {
        EXPECT_EQ(native.samples, values);
    }
}

TEST(SoundDecoding, DeclaredSampleCountsNeverStretchASound) {
    const Samples values(100, 1000);
    // Fewer declared than stored: cut there. More declared than stored: what is there.
    EXPECT_EQ(decodeNativeSound(*source(3, 3, true, false, 40, le16(values))).frames(), 40u);
    EXPECT_EQ(decodeNativeSound(*source(3, 3, true, false, 100000, le16(values))).frames(), 100u);
    // An odd byte at the end of 16-bit data is no sample.
    Bytes odd = le16(values);
    odd.push_back(7);
    EXPECT_EQ(decodeNativeSound(*source(3, 3, true, false, 0, odd)).frames(), 100u);
    // A format nobody knows plays nothing, and says so.
    const auto unknown = decodeNativeSound(*source(9, 3, true, false, 100, le16(values)));
    EXPECT_TRUE(unknown.samples.empty());
    EXPECT_TRUE(unknown.damaged);
    EventSound silent(source(9, 3, true, false, 100, le16(values)));
    silent.decodeAll();
    EXPECT_TRUE(silent.complete());
    EXPECT_EQ(silent.framesReady(), 0u);
}

TEST(SoundDecoding, AdpcmMatchesTheReferenceDecodes) {
    const QString dir = sharedDir();
    if (dir.isEmpty()) {
        GTEST_SKIP() << "shared corpus absent";
    }
    // Each movie's one DefineSound (11025 Hz mono); the .raw beside it holds that sound as
    // 16-bit little-endian stereo pairs at half its rate: every second sample (the odd ones)
    // on both sides.
    int largest = -1;
    for (int bits = 2; bits <= 5; ++bits) {
        SCOPED_TRACE(bits);
        const QString base = dir + QString("/corpus/real/swfdec-adpcm/adpcm-%1.swf").arg(bits);
        QFile swf(base);
        QFile raw(base + ".1.0.raw");
        ASSERT_TRUE(swf.open(QIODevice::ReadOnly) && raw.open(QIODevice::ReadOnly));
        const QByteArray file = swf.readAll();
        const auto movie = MovieData::fromBytes(
            {reinterpret_cast<const std::uint8_t*>(file.constData()), std::size_t(file.size())});
        ASSERT_NE(movie->header(), nullptr);
        std::optional<SoundDefinition> def;
        TagWalker walker(movie->data(), movie->header()->size);
        while (const auto tag = walker.next()) {
            if (tag->code == std::uint16_t(TagCode::DefineSound)) {
                def = parseDefineSound(walker.body(*tag));
            }
        }
        ASSERT_TRUE(def);
        EXPECT_EQ(def->coding.format, 1);
        const NativeSound sound = decodeNativeSound(*SoundSource::fromDefinition(*def));
        EXPECT_FALSE(sound.damaged);
        EXPECT_EQ(sound.rate, 11025);
        ASSERT_EQ(sound.frames(), def->sampleCount);
        const QByteArray expected = raw.readAll();
        ASSERT_EQ(std::size_t(expected.size()), sound.samples.size() * 2);
        for (qsizetype i = 0; i + 1 < expected.size(); i += 2) {
            const auto v = static_cast<std::int16_t>(std::uint8_t(expected[i]) |
                                                     std::uint8_t(expected[i + 1]) << 8);
            const std::size_t k = std::size_t(i) / 2;
            largest = std::max(largest, std::abs(v - sound.samples[k / 2 * 2 + 1]));
        }
    }
    RecordProperty("largest_difference", largest);
    std::printf("largest difference from the reference decodes: %d\n", largest);
    EXPECT_EQ(largest, 0);
}

TEST(SoundDecoding, CompressedFormatsComeBackAsTheSoundEncoded) {
    // A 440 Hz tone through each encoder and back: its pitch and about its level survive.
    const Samples tone = sine(440, 22050, 22050);
    struct Case {
        const char* name;
        std::shared_ptr<const SoundSource> src;
        int rate;
    };
    const Mp3 mp3 = encodeMp3(tone, 22050, 1);
    const std::vector<Case> cases = {
        {"adpcm", source(1, 2, true, false, 22050, encodeAdpcm(tone, 22050, 1)), 22050},
        {"mp3", source(2, 2, true, false, 22050, mp3Data(mp3, 0)), 22050},
        {"nellymoser 22k", source(6, 2, true, false, 0, encodeNellymoser(tone, 22050)), 22050},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const NativeSound s = decodeNativeSound(*c.src);
        EXPECT_FALSE(s.damaged);
        EXPECT_EQ(s.rate, c.rate);
        EXPECT_NEAR(double(s.frames()), 22050.0, 1200.0);
        EXPECT_NEAR(frequency(s.samples, s.channels, s.rate), 440.0, 5.0);
        EXPECT_NEAR(rms(s.samples), 16000 / std::sqrt(2.0), 2000.0);
    }
    // Nellymoser at 8 kHz: the format's own rate.
    const Samples low = sine(300, 8000, 8000);
    const NativeSound nelly =
        decodeNativeSound(*source(5, 3, true, true, 0, encodeNellymoser(low, 8000)));
    EXPECT_EQ(nelly.rate, 8000);
    EXPECT_EQ(nelly.channels, 1);
    EXPECT_NEAR(frequency(nelly.samples, 1, 8000), 300.0, 5.0);
}

TEST(SoundDecoding, Mp3LatencyIsSkippedAndDamageSkippedOver) {
    const Samples tone = sine(440, 44100, 44100, 2);
    const Mp3 mp3 = encodeMp3(tone, 44100, 2, 128);
    const NativeSound whole = decodeNativeSound(*source(2, 3, true, true, 0, mp3Data(mp3, 0)));
    const NativeSound skipped = decodeNativeSound(*source(2, 3, true, true, 0, mp3Data(mp3, 1105)));
    EXPECT_EQ(whole.channels, 2);
    EXPECT_EQ(whole.frames(), skipped.frames() + 1105);
    EXPECT_EQ(std::vector(whole.samples.begin() + 1105 * 2, whole.samples.end()), skipped.samples);

    // Garbage over a few frames in the middle, then the data cut inside a frame: the frames
    // around still decode, in place.
    Bytes damaged = mp3Data(mp3, 0);
    for (std::size_t i = mp3.frameOffsets[10]; i < mp3.frameOffsets[13]; ++i) {
        damaged[i + 2] = static_cast<std::uint8_t>(i * 37);
    }
    damaged.resize(mp3.frameOffsets[30] + 2 + 100);
    const NativeSound broken = decodeNativeSound(*source(2, 3, true, true, 0, damaged));
    EXPECT_GE(broken.frames(), 25u * 1152);
    EXPECT_LE(broken.frames(), 31u * 1152);
    EXPECT_NEAR(frequency(std::span(broken.samples).first(9 * 1152 * 2), 2, 44100), 440.0, 10.0);

    // No frames at all: silence, no failure to stop on.
    EXPECT_TRUE(decodeNativeSound(*source(2, 3, true, true, 1000, {0, 0})).samples.empty());
    EXPECT_TRUE(decodeNativeSound(*source(2, 3, true, true, 1000, {})).samples.empty());
}

TEST(SoundDecoding, EventSoundsPlayAt44kStereoFullLevel) {
    // 11 kHz mono becomes four times as many frames, the same on both sides, at its level.
    const Samples tone = sine(500, 11025, 11025);
    EventSound sound(source(3, 1, true, false, 11025, le16(tone)));
    EXPECT_TRUE(sound.monoSource());
    sound.decodeUntil(100);
    EXPECT_GE(sound.framesReady(), 100u);
    sound.decodeAll();
    ASSERT_TRUE(sound.complete());
    EXPECT_NEAR(double(sound.framesReady()), 44100.0, 40.0);
    const auto pcm = sound.pcm();
    for (std::size_t i = 0; i < pcm.size(); i += 2) {
        ASSERT_EQ(pcm[i], pcm[i + 1]);
    }
    EXPECT_NEAR(frequency(pcm, 2, 44100), 500.0, 3.0);
    EXPECT_NEAR(rms(pcm.subspan(2000, 80000)), 16000 / std::sqrt(2.0), 300.0);

    // An MP3 event sound decodes a step at a time as it is asked for.
    const Samples music = sine(220, 44100, 44100 * 3, 2);
    const Mp3 mp3 = encodeMp3(music, 44100, 2, 128);
    EventSound song(source(2, 3, true, true, 44100 * 3, mp3Data(mp3, 0)));
    song.decodeUntil(4410);
    EXPECT_FALSE(song.complete());
    EXPECT_LT(song.framesReady(), 44100u);
    song.decodeAll();
    EXPECT_EQ(song.framesReady(), 44100u * 3);
}

TEST(SoundDecoding, SpeexAndAacComeBackAsTheSoundEncoded) {
    // Speex: 16 kHz mono whatever the rate and channel fields say, a packet at a time (as
    // stream blocks and FLV files hold them).
    const Samples voice = sine(400, 16000, 16000);
    const Packets speex = encodeAudioPackets("libspeex", voice, 16000, 1);
    auto decoder = SoundDecoder::create({11, 0, true, true});
    ASSERT_TRUE(decoder);
    Samples out;
    for (const Bytes& p : speex.packets) {
        EXPECT_TRUE(decoder->decode(p, out));
    }
    decoder->flush(out);
    EXPECT_EQ(decoder->sampleRate(), 16000);
    EXPECT_EQ(decoder->channels(), 1);
    EXPECT_NEAR(double(out.size()), 16000.0, 700.0);
    EXPECT_NEAR(frequency(out, 1, 16000), 400.0, 5.0);

    // AAC, as FLV files carry it: raw frames and the AudioSpecificConfig they need.
    const Samples music = sine(440, 44100, 44100, 2);
    const Packets aac = encodeAudioPackets("aac", music, 44100, 2);
    ASSERT_FALSE(aac.extradata.empty());
    auto aacDecoder = SoundDecoder::create({10, 3, true, true}, aac.extradata);
    ASSERT_TRUE(aacDecoder);
    Samples decoded;
    for (const Bytes& p : aac.packets) {
        EXPECT_TRUE(aacDecoder->decode(p, decoded));
    }
    EXPECT_EQ(aacDecoder->sampleRate(), 44100);
    EXPECT_EQ(aacDecoder->channels(), 2);
    EXPECT_NEAR(double(decoded.size()) / 2, 44100.0, 2100.0);
    EXPECT_NEAR(frequency(decoded, 2, 44100), 440.0, 5.0);
}
