#include <gtest/gtest.h>

#include "MediaFixtures.h"
#include "engine/audio/EventSound.h"
#include "engine/audio/Mp3Scan.h"
#include "engine/swf/SoundTags.h"

using namespace zd::engine;
using namespace zd::test;

TEST(Mp3Scan, FindsTheFramesOfAFileBehindAnId3TagAndBeforeTrailingBytes) {
    const Mp3 mp3 = encodeMp3(sine(440, 22050, 22050), 22050, 1);
    ASSERT_GE(mp3.frameOffsets.size(), 3u);
    Bytes file = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 5, 1, 2, 3, 4, 5};  // a 5-byte tag
    file.insert(file.end(), mp3.data.begin(), mp3.data.end());
    const Bytes trailer = {'T', 'A', 'G', 0, 0, 0, 0};
    file.insert(file.end(), trailer.begin(), trailer.end());

    const auto info = scanMp3(file);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->rate, 22050);
    EXPECT_EQ(info->channels, 1);
    EXPECT_EQ(info->begin, 15u + mp3.frameOffsets.front());
    EXPECT_EQ(info->frames, mp3.frameOffsets.size());
    EXPECT_EQ(info->samples, mp3.frameOffsets.size() * std::size_t(mp3.samplesPerFrame));
    EXPECT_EQ(info->end, 15u + mp3.data.size());

    // What it hands the player decodes as the same sound.
    const Bytes body = mp3DefineSound(*info, file);
    const auto def = parseDefineSound(body);
    ASSERT_TRUE(def);
    EXPECT_EQ(def->coding.format, 2);
    EXPECT_EQ(def->sampleCount, info->samples);
    const NativeSound decoded = decodeNativeSound(*SoundSource::fromDefinition(*def));
    EXPECT_EQ(decoded.rate, 22050);
    EXPECT_GT(decoded.frames(), 20000u);
    EXPECT_FALSE(decoded.damaged);
}

TEST(Mp3Scan, RefusesWhatIsNoMp3AndKeepsOnlyWholeFrames) {
    EXPECT_FALSE(scanMp3({}));
    const Bytes text = {'<', 'h', 't', 'm', 'l', '>', 0xFF, 0xFB, 0x90, 0x00, 'x', 'y'};
    EXPECT_FALSE(scanMp3(text)) << "a lone header among other bytes";
    const Bytes hugeTag = {'I', 'D', '3', 3, 0, 0, 0x7F, 0x7F, 0x7F, 0x7F};
    EXPECT_FALSE(scanMp3(hugeTag)) << "a tag longer than the file";

    const Mp3 mp3 = encodeMp3(sine(440, 44100, 44100), 44100, 2);
    ASSERT_GE(mp3.frameOffsets.size(), 4u);
    // Cut in the middle of the third frame: two whole frames remain.
    const std::size_t cut = mp3.frameOffsets[2] + 10;
    const Bytes truncated(mp3.data.begin(), mp3.data.begin() + static_cast<long>(cut));
    const auto info = scanMp3(truncated);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->frames, 2u);
    EXPECT_EQ(info->end, mp3.frameOffsets[2]);
    EXPECT_EQ(info->channels, 2);
}
