#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <string>

#include "MediaFixtures.h"
#include "engine/audio/Id3.h"
#include "engine/player/StagePlayer.h"
#include "engine/script/ScriptHost.h"
#include "engine/swf/MovieData.h"
#include "engine/swf/SoundTags.h"
#include "engine/video/FlvFile.h"
#include "engine/video/FlvVideo.h"
#include "swfwriter/ActionWriter.h"

using namespace zd::engine;
using namespace zd::test;
namespace sw = zd::swfwriter;
namespace op = sw::op;

namespace {

void be(Bytes& out, std::uint32_t v, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) {
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }
}

// AMF0 pieces.
void amfString(Bytes& out, std::string_view s) {
    out.push_back(2);
    be(out, static_cast<std::uint32_t>(s.size()), 2);
    out.insert(out.end(), s.begin(), s.end());
}
void amfName(Bytes& out, std::string_view s) {
    be(out, static_cast<std::uint32_t>(s.size()), 2);
    out.insert(out.end(), s.begin(), s.end());
}
void amfNumber(Bytes& out, double d) {
    out.push_back(0);
    const auto bits = std::bit_cast<std::uint64_t>(d);
    be(out, static_cast<std::uint32_t>(bits >> 32), 4);
    be(out, static_cast<std::uint32_t>(bits), 4);
}
void amfEnd(Bytes& out) {
    out.insert(out.end(), {0, 0, 9});
}

// A FLV file of tags, each given as type, timestamp, body.
struct Tag {
    std::uint8_t type;
    std::uint32_t timestamp;
    Bytes body;
};
Bytes flv(const std::vector<Tag>& tags, bool audio = false, bool video = true) {
    Bytes out{'F', 'L', 'V', 1, static_cast<std::uint8_t>((audio ? 4 : 0) | (video ? 1 : 0))};
    be(out, 9, 4);
    be(out, 0, 4);
    for (const Tag& t : tags) {
        out.push_back(t.type);
        be(out, static_cast<std::uint32_t>(t.body.size()), 3);
        be(out, t.timestamp & 0xffffff, 3);
        out.push_back(static_cast<std::uint8_t>(t.timestamp >> 24));
        be(out, 0, 3);
        out.insert(out.end(), t.body.begin(), t.body.end());
        be(out, static_cast<std::uint32_t>(t.body.size() + 11), 4);
    }
    return out;
}

Bytes metaData(double duration) {
    Bytes b;
    amfString(b, "onMetaData");
    b.push_back(8);
    be(b, 2, 4);
    amfName(b, "duration");
    amfNumber(b, duration);
    amfName(b, "tags");
    b.push_back(10);
    be(b, 2, 4);
    amfString(b, "a");
    b.push_back(1);
    b.push_back(1);
    amfEnd(b);
    return b;
}

// A video tag: frame type and codec, then the data.
Bytes videoBody(bool key, std::uint8_t codec, const Bytes& data) {
    Bytes b{static_cast<std::uint8_t>((key ? 0x10 : 0x20) | codec)};
    b.insert(b.end(), data.begin(), data.end());
    return b;
}

}  // namespace

TEST(Flv, IndexesTagsWithTimesAndKeyFrames) {
    const Bytes file = flv({{18, 0, metaData(2.5)},
                            {9, 0, videoBody(true, 2, {1, 2, 3})},
                            {8, 10, {0x2e, 9, 9}},
                            {9, 40, videoBody(false, 2, {4})},
                            {9, 0x01000050, videoBody(true, 2, {5})}});
    FlvFile f;
    f.update(file, true);
    ASSERT_TRUE(f.valid());
    EXPECT_TRUE(f.hasVideo());
    EXPECT_FALSE(f.hasAudio());
    EXPECT_TRUE(f.finished());
    ASSERT_EQ(f.tags().size(), 5u);
    EXPECT_EQ(f.tags()[0].type, FlvTag::Script);
    EXPECT_EQ(f.tags()[2].type, FlvTag::Audio);
    EXPECT_TRUE(f.tags()[1].key);
    EXPECT_FALSE(f.tags()[3].key);
    EXPECT_EQ(f.tags()[4].timestamp, 0x01000050u) << "the extended byte is the high one";
    EXPECT_EQ(f.lastTimestamp(), 0x01000050u);
    // The body of a tag is where the offsets say.
    const FlvTag& v = f.tags()[1];
    EXPECT_EQ(v.size, 4u);
    EXPECT_EQ(file[v.offset], 0x12);
    EXPECT_EQ(file[v.offset + 3], 3);
}

TEST(Flv, KeyFrameIndexForSeeks) {
    std::vector<Tag> tags;
    for (int i = 0; i < 10; ++i) {
        tags.push_back({9, static_cast<std::uint32_t>(i * 100), videoBody(i % 4 == 0, 2, {1})});
    }
    FlvFile f;
    f.update(flv(tags), true);
    EXPECT_EQ(f.keyFrameBefore(0), 0u);
    EXPECT_EQ(f.keyFrameBefore(350), 0u);
    EXPECT_EQ(f.keyFrameBefore(400), 4u);
    EXPECT_EQ(f.keyFrameBefore(799.9), 4u);
    EXPECT_EQ(f.keyFrameBefore(100000), 8u);
    EXPECT_DOUBLE_EQ(f.seekTime(650), 400);
    EXPECT_DOUBLE_EQ(f.seekTime(-5), 0) << "before the first frame: the first one";
    FlvFile audioOnly;
    audioOnly.update(flv({{8, 0, {0x2e, 1}}}, true, false), true);
    EXPECT_FALSE(audioOnly.keyFrameBefore(10).has_value());
    EXPECT_DOUBLE_EQ(audioOnly.seekTime(10), 0);
}

TEST(Flv, GrowingAndDamagedFiles) {
    const Bytes whole = flv(
        {{9, 0, videoBody(true, 2, Bytes(100, 7))}, {9, 40, videoBody(false, 2, Bytes(100, 8))}});
    // A tag cut short waits for its bytes while the file is still arriving.
    FlvFile growing;
    growing.update(std::span(whole).first(whole.size() - 20), false);
    EXPECT_EQ(growing.tags().size(), 1u);
    EXPECT_FALSE(growing.finished());
    growing.update(whole, false);
    EXPECT_EQ(growing.tags().size(), 2u);
    growing.update(whole, true);
    EXPECT_TRUE(growing.finished());

    // At the end, it is taken as far as it goes.
    FlvFile cut;
    cut.update(std::span(whole).first(whole.size() - 20), true);
    ASSERT_EQ(cut.tags().size(), 2u);
    EXPECT_TRUE(cut.finished());
    EXPECT_LE(cut.tags()[1].offset + cut.tags()[1].size, whole.size() - 20);

    // A tag claiming more than the file has, with a wrong closing size.
    Bytes liar = whole;
    liar[13 + 1] = 0xff;  // first tag's size: about 16 MB
    FlvFile l;
    l.update(liar, true);
    ASSERT_EQ(l.tags().size(), 1u);
    EXPECT_LE(l.tags()[0].offset + l.tags()[0].size, liar.size());

    FlvFile notFlv;
    notFlv.update(Bytes{'F', 'W', 'S', 1, 0, 0, 0, 0, 9, 0, 0, 0, 0}, true);
    EXPECT_FALSE(notFlv.valid());
    EXPECT_TRUE(notFlv.tags().empty());
    FlvFile tiny;
    tiny.update(Bytes{'F', 'L'}, true);
    EXPECT_FALSE(tiny.valid());
    EXPECT_TRUE(tiny.finished());
}

TEST(Flv, MetaDataDecodesAsAmf0) {
    const auto call = parseFlvScript(metaData(6.6));
    ASSERT_TRUE(call);
    EXPECT_EQ(call->name, "onMetaData");
    ASSERT_EQ(call->args.size(), 1u);
    const AmfValue& info = call->args[0];
    ASSERT_EQ(info.type, AmfValue::Type::EcmaArray);
    ASSERT_EQ(info.members.size(), 2u);
    EXPECT_EQ(info.members[0].first, "duration");
    EXPECT_DOUBLE_EQ(info.members[0].second.number, 6.6);
    const AmfValue& list = info.members[1].second;
    ASSERT_EQ(list.type, AmfValue::Type::StrictArray);
    ASSERT_EQ(list.members.size(), 2u);
    EXPECT_EQ(list.members[0].second.string, "a");
    EXPECT_TRUE(list.members[1].second.boolean);
}

TEST(Flv, DamagedAmf0IsRefused) {
    // Every cut of a good value fails cleanly, never reads past the end.
    const Bytes good = metaData(1);
    for (std::size_t n = 14; n < good.size(); ++n) {
        std::size_t at = 13;  // past the name
        EXPECT_FALSE(readAmf0(std::span(good).first(n), at).has_value()) << n;
    }
    // A strict array claiming more items than bytes.
    Bytes array{10, 0xff, 0xff, 0xff, 0xff, 5};
    std::size_t at = 0;
    EXPECT_FALSE(readAmf0(array, at));
    // Nesting without end is cut off, not recursed into.
    Bytes deep;
    for (int i = 0; i < 10000; ++i) {
        deep.push_back(3);
        amfName(deep, "x");
    }
    at = 0;
    EXPECT_FALSE(readAmf0(deep, at));
    // A name that is no string: no call.
    Bytes noName;
    amfNumber(noName, 1);
    EXPECT_FALSE(parseFlvScript(noName));
}

TEST(Flv, VideoAndAudioPacketHeaders) {
    const Bytes vp6{0x14, 0x52, 0xaa, 0xbb};
    const auto p = parseFlvVideo(vp6);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->codec, 4);
    EXPECT_EQ(p->frameType, 1);
    EXPECT_EQ(p->cropRight, 5);
    EXPECT_EQ(p->cropBottom, 2);
    ASSERT_EQ(p->data.size(), 2u) << "the crop byte is no picture data";
    EXPECT_EQ(p->data[0], 0xaa);
    const Bytes avcConfig{0x17, 0, 0, 0, 0, 1, 2};
    const auto c = parseFlvVideo(avcConfig);
    ASSERT_TRUE(c);
    EXPECT_TRUE(c->configuration);
    EXPECT_EQ(c->data.size(), 2u);
    EXPECT_FALSE(parseFlvVideo(Bytes{0x17, 1}));
    const Bytes aac{0xaf, 0, 0x12, 0x10};
    const auto a = parseFlvAudio(aac);
    ASSERT_TRUE(a);
    EXPECT_EQ(a->format, 10);
    EXPECT_EQ(a->rateCode, 3);
    EXPECT_TRUE(a->sixteenBit);
    EXPECT_TRUE(a->stereo);
    EXPECT_TRUE(a->configuration);
    EXPECT_EQ(a->data.size(), 2u);
}

// The sound of a file plays as one track: MP3 frames and uncompressed samples join up in
// file order; formats whose packets each start afresh are left out.
TEST(Flv, SoundTrackJoinsThePackets) {
    const Samples tone = sine(440, 44100, 44100 / 2);
    const Mp3 mp3 = encodeMp3(tone, 44100, 1);
    ASSERT_GE(mp3.frameOffsets.size(), 4u);
    std::vector<Tag> tags;
    for (std::size_t i = 0; i < mp3.frameOffsets.size(); ++i) {
        const std::size_t end =
            i + 1 < mp3.frameOffsets.size() ? mp3.frameOffsets[i + 1] : mp3.data.size();
        Bytes body{0x2e};  // MP3, 44 kHz, 16 bits, mono
        body.insert(body.end(), mp3.data.begin() + static_cast<std::ptrdiff_t>(mp3.frameOffsets[i]),
                    mp3.data.begin() + static_cast<std::ptrdiff_t>(end));
        tags.push_back({8, static_cast<std::uint32_t>(i * 26), body});
        tags.push_back({9, static_cast<std::uint32_t>(i * 26), videoBody(true, 2, {1})});
    }
    const Bytes file = flv(tags, true);
    FlvFile f;
    f.update(file, true);
    const auto track = flvSoundTrack(f, file);
    ASSERT_TRUE(track);
    const auto def = parseDefineSound(*track);
    ASSERT_TRUE(def);
    EXPECT_EQ(def->coding.format, 2);
    EXPECT_EQ(def->sampleCount, mp3.frameOffsets.size() * 1152);

    const Bytes pcm{0x3e, 1, 0, 2, 0, 3, 0};  // uncompressed, 44 kHz, 16 bits, mono
    const Bytes pcmFile = flv({{8, 0, pcm}, {8, 10, pcm}}, true, false);
    f = FlvFile();
    f.update(pcmFile, true);
    const auto joined = flvSoundTrack(f, pcmFile);
    ASSERT_TRUE(joined);
    const auto pcmDef = parseDefineSound(*joined);
    ASSERT_TRUE(pcmDef);
    EXPECT_EQ(pcmDef->sampleCount, 6u);
    EXPECT_EQ(pcmDef->data.size(), 12u);

    const Bytes speexFile = flv({{8, 0, {0xb2, 1, 2, 3}}}, true, false);
    f = FlvFile();
    f.update(speexFile, true);
    EXPECT_FALSE(flvSoundTrack(f, speexFile));
    const Bytes silent = flv({{9, 0, videoBody(true, 2, {1})}});
    f = FlvFile();
    f.update(silent, true);
    EXPECT_FALSE(flvSoundTrack(f, silent));
}

// Frames of four colours, a key frame every three: the picture follows the time set, seeking
// back starts from the key frame before, and playing on decodes one frame at a time.
namespace {

// Sign changes per second of the first channel: twice the frequency of a pure tone.
double crossingsPerSecond(std::span<const std::uint8_t> le, int channels, int rate) {
    const std::size_t frames = le.size() / 2 / static_cast<std::size_t>(channels);
    int crossings = 0;
    bool negative = false;
    for (std::size_t i = 0; i < frames; ++i) {
        const std::size_t at = i * 2 * static_cast<std::size_t>(channels);
        const auto v = static_cast<std::int16_t>(le[at] | le[at + 1] << 8);
        if (i > 0 && (v < 0) != negative && std::abs(v) > 200) {
            ++crossings;
        }
        if (std::abs(v) > 200) {
            negative = v < 0;
        }
    }
    return frames == 0 ? 0.0 : crossings / (double(frames) / rate);
}

}  // namespace

// ADPCM packets each start afresh and AAC needs its configuration: both become one
// uncompressed track of the sound that was coded.
TEST(Flv, AdpcmAndAacTracksDecode) {
    const Samples tone = sine(440, 22050, 22050);
    std::vector<Tag> tags;
    std::uint32_t ms = 0;
    for (const Bytes& packet : encodeAdpcmPackets(tone, 22050, 1)) {
        Bytes body{0x1a};  // ADPCM, 22 kHz, 16 bits, mono
        body.insert(body.end(), packet.begin(), packet.end());
        tags.push_back({8, ms, body});
        ms += 4096 * 1000 / 22050;
    }
    ASSERT_GE(tags.size(), 5u);
    const Bytes adpcmFile = flv(tags, true, false);
    FlvFile f;
    f.update(adpcmFile, true);
    const auto adpcm = flvSoundTrack(f, adpcmFile);
    ASSERT_TRUE(adpcm);
    const auto adpcmDef = parseDefineSound(*adpcm);
    ASSERT_TRUE(adpcmDef);
    EXPECT_EQ(adpcmDef->coding.format, 3);
    EXPECT_EQ(adpcmDef->coding.rateCode, 2);
    EXPECT_FALSE(adpcmDef->coding.stereo);
    EXPECT_NEAR(double(adpcmDef->sampleCount), 22050.0, 4096.0);
    // (The encoder pads the last packet with silence: the tone is measured where it sounds.)
    ASSERT_GE(adpcmDef->data.size(), 20000u * 2);
    EXPECT_NEAR(crossingsPerSecond(adpcmDef->data.first(20000 * 2), 1, 22050) / 2, 440.0, 10.0);

    // AAC at 48 kHz, a rate no movie sound has: brought to 44.1 kHz stereo. Frames before
    // the configuration are ignored.
    const Samples music = sine(660, 48000, 48000, 2);
    const Packets aac = encodeAudioPackets("aac", music, 48000, 2);
    ASSERT_FALSE(aac.extradata.empty());
    tags.clear();
    Bytes early{0xaf, 1};
    early.insert(early.end(), aac.packets[0].begin(), aac.packets[0].end());
    tags.push_back({8, 0, early});
    Bytes config{0xaf, 0};
    config.insert(config.end(), aac.extradata.begin(), aac.extradata.end());
    tags.push_back({8, 0, config});
    for (std::size_t i = 0; i < aac.packets.size(); ++i) {
        Bytes body{0xaf, 1};
        body.insert(body.end(), aac.packets[i].begin(), aac.packets[i].end());
        tags.push_back({8, static_cast<std::uint32_t>(i * 1024 * 1000 / 48000), body});
    }
    const Bytes aacFile = flv(tags, true, false);
    f = FlvFile();
    f.update(aacFile, true);
    const auto track = flvSoundTrack(f, aacFile);
    ASSERT_TRUE(track);
    const auto def = parseDefineSound(*track);
    ASSERT_TRUE(def);
    EXPECT_EQ(def->coding.format, 3);
    EXPECT_EQ(def->coding.rateCode, 3);
    EXPECT_TRUE(def->coding.stereo);
    EXPECT_NEAR(double(def->sampleCount), 44100.0 * (aac.packets.size() * 1024) / 48000, 2100.0);
    ASSERT_GE(def->data.size(), 40000u * 4);
    EXPECT_NEAR(crossingsPerSecond(def->data.subspan(4000 * 4, 36000 * 4), 2, 44100) / 2, 660.0,
                10.0);

    // Without its configuration, AAC gives no track; damaged packets give what decodes.
    const Bytes unconfigured = flv({{8, 0, early}}, true, false);
    f = FlvFile();
    f.update(unconfigured, true);
    EXPECT_FALSE(flvSoundTrack(f, unconfigured));
    Bytes garbage{0x1a};
    for (int i = 0; i < 300; ++i) {
        garbage.push_back(static_cast<std::uint8_t>(i * 37 + 11));
    }
    const Bytes damaged =
        flv({{8, 0, garbage}, {8, 10, {0x1a}}, {8, 20, {0x1a, 0xff}}}, true, false);
    f = FlvFile();
    f.update(damaged, true);
    if (const auto t = flvSoundTrack(f, damaged)) {
        EXPECT_TRUE(parseDefineSound(*t));
    }
}

TEST(FlvVideoPictures, FollowTheTimeAndSeekFromKeyFrames) {
    const QRgb colours[] = {qRgb(200, 30, 30),  qRgb(30, 200, 30),  qRgb(30, 30, 200),
                            qRgb(220, 220, 30), qRgb(30, 220, 220), qRgb(220, 30, 220),
                            qRgb(128, 128, 128)};
    std::vector<QImage> frames;
    for (QRgb c : colours) {
        frames.push_back(solidImage(64, 48, c));
    }
    const std::vector<Bytes> coded = encodeVideo("flv", frames, 3);
    ASSERT_EQ(coded.size(), frames.size());
    std::vector<Tag> tags;
    for (std::size_t i = 0; i < coded.size(); ++i) {
        tags.push_back(
            {9, static_cast<std::uint32_t>(i * 100), videoBody(i % 3 == 0, 2, coded[i])});
    }
    const Bytes file = flv(tags);
    FlvVideo v;
    EXPECT_TRUE(v.picture().isNull()) << "nothing before a file";
    v.setData(std::string(file.begin(), file.end()), true);
    const auto near = [](QRgb a, QRgb b) {
        return std::abs(qRed(a) - qRed(b)) < 12 && std::abs(qGreen(a) - qGreen(b)) < 12 &&
               std::abs(qBlue(a) - qBlue(b)) < 12;
    };
    v.setTime(0);
    QImage p = v.picture();
    ASSERT_FALSE(p.isNull());
    EXPECT_EQ(p.size(), QSize(64, 48));
    EXPECT_TRUE(near(p.pixel(10, 10), colours[0]));
    v.setTime(150);
    EXPECT_TRUE(near(v.picture().pixel(10, 10), colours[1]));
    EXPECT_EQ(v.framesDecoded(), 2);
    v.setTime(250);
    EXPECT_TRUE(near(v.picture().pixel(10, 10), colours[2]));
    EXPECT_EQ(v.framesDecoded(), 3) << "playing on decodes the next frame only";
    // Back to frame 5: from the key frame at 3.
    v.setTime(500);
    EXPECT_TRUE(near(v.picture().pixel(10, 10), colours[5]));
    EXPECT_EQ(v.framesDecoded(), 6) << "on from 3, a key frame, not from 2";
    v.setTime(120);
    EXPECT_TRUE(near(v.picture().pixel(10, 10), colours[1]));
    EXPECT_EQ(v.framesDecoded(), 8) << "back: the key frame at 0, then 1";
    v.setTime(100000);
    EXPECT_TRUE(near(v.picture().pixel(10, 10), colours[6]));
    v.clear();
    EXPECT_TRUE(v.picture().isNull());
}

TEST(FlvVideoPictures, DamagedFramesKeepTheLastPicture) {
    const std::vector<Bytes> coded = encodeVideo(
        "flv", {solidImage(32, 32, qRgb(0, 0, 255)), solidImage(32, 32, qRgb(255, 0, 0))}, 10);
    ASSERT_EQ(coded.size(), 2u);
    Bytes junk(coded[1].size(), 0x5a);
    const Bytes file = flv({{9, 0, videoBody(true, 2, coded[0])},
                            {9, 100, videoBody(false, 2, junk)},
                            {9, 200, videoBody(false, 9, {1, 2, 3})},
                            {9, 300, {}}});
    FlvVideo v;
    v.setData(std::string(file.begin(), file.end()), true);
    v.setTime(400);
    const QImage p = v.picture();
    ASSERT_FALSE(p.isNull());
    EXPECT_GT(qBlue(p.pixel(5, 5)), 200);
}

TEST(Id3, Version2FramesInFileOrder) {
    Bytes tag{'I', 'D', '3', 3, 0, 0};
    Bytes frames;
    const auto frame = [&frames](std::string_view id, const Bytes& body) {
        frames.insert(frames.end(), id.begin(), id.end());
        be(frames, static_cast<std::uint32_t>(body.size()), 4);
        frames.insert(frames.end(), {0, 0});
        frames.insert(frames.end(), body.begin(), body.end());
    };
    frame("TPE1", {0, 'A', 'r', 't'});
    frame("WOAR", {'h', 't'});
    frame("COMM", {0, 'e', 'n', 'g', 'd', 0, 'C', '1'});
    // UTF-16 with a byte order mark, little-endian: "é!"
    frame("TIT2", {1, 0xff, 0xfe, 0xe9, 0, '!', 0});
    frame("TXXX", {0, 'x', 0, 'y'});
    frames.insert(frames.end(), 20, 0);  // padding
    tag.push_back(0);
    tag.push_back(0);
    tag.push_back(static_cast<std::uint8_t>(frames.size() >> 7));
    tag.push_back(static_cast<std::uint8_t>(frames.size() & 0x7f));
    tag.insert(tag.end(), frames.begin(), frames.end());
    const auto found = readId3(tag);
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found[0].id, "TPE1");
    EXPECT_EQ(found[0].text, "Art");
    EXPECT_EQ(found[1].id, "COMM");
    EXPECT_EQ(found[1].text, "C1") << "the description is not the comment";
    EXPECT_EQ(found[2].id, "TIT2");
    EXPECT_EQ(found[2].text, "\xc3\xa9!");

    // A frame longer than the tag ends the list; the ones before stay.
    Bytes cut = tag;
    cut[10 + 4 + 3] = 0x7f;
    EXPECT_TRUE(readId3(cut).empty());
    Bytes cutLater = tag;
    cutLater[10 + 14 + 4 + 3] = 0x7f;  // WOAR
    EXPECT_EQ(readId3(cutLater).size(), 1u);
}

TEST(Id3, Version1AtTheEndAndNoTag) {
    Bytes file(300, 0x55);
    Bytes v1(128, 0);
    std::memcpy(v1.data(), "TAG", 3);
    std::memcpy(v1.data() + 3, "Song   ", 7);
    std::memcpy(v1.data() + 33, "Band", 4);
    std::memcpy(v1.data() + 93, "1999", 4);
    std::memcpy(v1.data() + 97, "Nice", 4);
    v1[126] = 7;
    v1[127] = 17;
    EXPECT_TRUE(readId3(file).empty());
    file.insert(file.end(), v1.begin(), v1.end());
    const auto found = readId3(file);
    ASSERT_EQ(found.size(), 7u);
    EXPECT_EQ(found[0].text, "Song");
    EXPECT_EQ(found[1].text, "Band");
    EXPECT_EQ(found[3].text, "1999");
    EXPECT_EQ(found[4].id, "COMM");
    EXPECT_EQ(found[4].text, "Nice");
    EXPECT_EQ(found[5].id, "TRCK");
    EXPECT_EQ(found[5].text, "7");
    EXPECT_EQ(found[6].text, "17");
}

namespace {

using Lines = std::vector<std::string>;

// A movie run in the player with its folder, collecting what it traces.
struct StreamRun {
    StreamRun(const Bytes& file, const std::string& baseDir) : movie(MovieData::fromBytes(file)) {
        player = std::make_unique<StagePlayer>(*movie);
        player->setRootLoops(false);
        host = std::make_unique<zd::script::ScriptHost>(*player, *movie);
        host->setBaseDir(baseDir);
        host->onTrace = [this](std::string_view l) { lines.emplace_back(l); };
        player->settle();
    }
    Lines take() { return std::exchange(lines, {}); }

    std::unique_ptr<MovieData> movie;
    std::unique_ptr<StagePlayer> player;
    std::unique_ptr<zd::script::ScriptHost> host;
    Lines lines;
};

// ns.<method>(arg) for a number or string argument.
void callStream(sw::ActionWriter& a, const char* method, sw::PushItem arg) {
    a.push({arg, 1}).getVariable("ns").push({method}).act(op::CallMethod).act(op::Pop);
}

// Frame 1 makes a stream over a local connection whose onStatus traces the code (with the
// level when it is no status), whose onMetaData and onCuePoint trace what they get, and plays
// `file`; the frame `seekFrame` (from 1; 0: none) seeks to 0.35 s and traces the time.
Bytes streamMovie(const std::string& file, int seekFrame, int frames) {
    sw::MovieWriter m(8, sw::Rect{0, 2000, 0, 2000}, 10);
    sw::ActionWriter first;
    first.push({"nc", 0, "NetConnection"}).act(op::NewObject).act(op::SetVariable);
    first.push({sw::Null{}, 1})
        .getVariable("nc")
        .push({"connect"})
        .act(op::CallMethod)
        .act(op::Pop);
    first.push({"ns"})
        .getVariable("nc")
        .push({1, "NetStream"})
        .act(op::NewObject)
        .act(op::SetVariable);
    sw::ActionWriter onStatus;
    auto other = onStatus.newLabel();
    auto done = onStatus.newLabel();
    onStatus.getVariable("info")
        .push({"level"})
        .act(op::GetMember)
        .push({"status"})
        .act(op::Equals2);
    onStatus.act(op::Not).ifTrue(other);
    onStatus.getVariable("info").push({"code"}).act(op::GetMember).act(op::Trace).jump(done);
    onStatus.bind(other);
    onStatus.getVariable("info").push({"level"}).act(op::GetMember).push({" "}).act(op::Add2);
    onStatus.getVariable("info").push({"code"}).act(op::GetMember).act(op::Add2).act(op::Trace);
    onStatus.bind(done);
    first.getVariable("ns")
        .push({"onStatus"})
        .defineFunction("", {"info"}, onStatus)
        .act(op::SetMember);
    sw::ActionWriter onMeta;
    onMeta.push({"meta "})
        .getVariable("info")
        .push({"duration"})
        .act(op::GetMember)
        .act(op::Add2)
        .act(op::Trace);
    first.getVariable("ns")
        .push({"onMetaData"})
        .defineFunction("", {"info"}, onMeta)
        .act(op::SetMember);
    sw::ActionWriter onCue;
    onCue.push({"cue "})
        .getVariable("info")
        .push({"name"})
        .act(op::GetMember)
        .act(op::Add2)
        .act(op::Trace);
    first.getVariable("ns")
        .push({"onCuePoint"})
        .defineFunction("", {"info"}, onCue)
        .act(op::SetMember);
    callStream(first, "play", std::string_view(file));
    first.trace("played");
    m.rawTag(12, first.bytes());
    m.showFrame();
    for (int f = 2; f <= frames; ++f) {
        if (f == seekFrame) {
            sw::ActionWriter seek;
            callStream(seek, "seek", 0.35);
            seek.push({"seek "})
                .getVariable("ns")
                .push({"time"})
                .act(op::GetMember)
                .act(op::Add2)
                .act(op::Trace);
            m.rawTag(12, seek.bytes());
        }
        m.showFrame();
    }
    return m.finish();
}

Bytes cuePoint(std::string_view name, double time) {
    Bytes b;
    amfString(b, "onCuePoint");
    b.push_back(3);
    amfName(b, "name");
    amfString(b, name);
    amfName(b, "time");
    amfNumber(b, time);
    amfEnd(b);
    return b;
}

// Seven frames 100 ms apart, a key frame every three, a cue point at 450 ms.
Bytes streamFile() {
    std::vector<Tag> tags{{18, 0, metaData(0.7)}};
    for (std::uint32_t i = 0; i < 7; ++i) {
        tags.push_back({9, i * 100, videoBody(i % 3 == 0, 2, {0, 0, 0x84})});
        if (i == 4) {
            tags.push_back({18, 450, cuePoint("c1", 0.45)});
        }
    }
    return flv(tags);
}

class NetStreamRun : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }
    void write(const QString& name, const Bytes& bytes) {
        QFile f(dir_.path() + "/" + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
    }
    std::string dir() const { return dir_.path().toStdString(); }

    QTemporaryDir dir_;
};

}  // namespace

// The statuses come from the stream's tick, after the frame's own actions: start and a full
// buffer once the file is in, then the metadata; a seek lands on the key frame before the
// time asked for and tells so; cue points come as the time reaches them; the end flushes,
// stops and empties.
TEST_F(NetStreamRun, StatusesInOrderThroughSeekAndEnd) {
    write("clip.flv", streamFile());
    StreamRun r(streamMovie("clip.flv", 3, 8), dir());
    EXPECT_EQ(r.take(), (Lines{"played"}));
    r.player->tick();
    EXPECT_EQ(r.take(), (Lines{"NetStream.Play.Start", "NetStream.Buffer.Full", "meta 0.7"}));
    r.player->tick();
    EXPECT_EQ(r.take(), (Lines{"seek 0.3", "NetStream.Seek.Notify"}));
    r.player->tick();
    EXPECT_EQ(r.take(), Lines{});
    r.player->tick();
    EXPECT_EQ(r.take(), (Lines{"cue c1"}));
    r.player->tick();
    EXPECT_EQ(r.take(),
              (Lines{"NetStream.Buffer.Flush", "NetStream.Play.Stop", "NetStream.Buffer.Empty"}));
    r.player->tick();
    r.player->tick();
    EXPECT_EQ(r.take(), Lines{}) << "the end is told once";
}

TEST_F(NetStreamRun, MissingOrDamagedFiles) {
    StreamRun missing(streamMovie("missing.flv", 0, 3), dir());
    missing.take();
    missing.player->tick();
    EXPECT_EQ(missing.take(), (Lines{"error NetStream.Play.StreamNotFound"}));

    // A file cut short in a tag plays what it has, and ends.
    Bytes cut = streamFile();
    cut.resize(cut.size() - 30);
    write("cut.flv", cut);
    StreamRun r(streamMovie("cut.flv", 0, 12), dir());
    r.take();
    Lines all;
    for (int i = 0; i < 11; ++i) {
        r.player->tick();
        for (auto& l : r.take()) {
            all.push_back(l);
        }
    }
    ASSERT_GE(all.size(), 3u);
    EXPECT_EQ(all.front(), "NetStream.Play.Start");
    EXPECT_EQ(all.back(), "NetStream.Buffer.Empty");

    // Bytes that are no FLV at all are as good as no file.
    write("junk.flv", Bytes(5000, 0x41));
    StreamRun junk(streamMovie("junk.flv", 0, 4), dir());
    junk.take();
    junk.player->tick();
    junk.player->tick();
    EXPECT_EQ(junk.take(), (Lines{"error NetStream.Play.StreamNotFound"}));

    // A file of a header only starts and ends at once.
    write("empty.flv", flv({}));
    StreamRun empty(streamMovie("empty.flv", 0, 4), dir());
    empty.take();
    empty.player->tick();
    empty.player->tick();
    EXPECT_EQ(empty.take(),
              (Lines{"NetStream.Play.Start", "NetStream.Buffer.Full", "NetStream.Buffer.Flush",
                     "NetStream.Play.Stop", "NetStream.Buffer.Empty"}));
}
