#include <gtest/gtest.h>

#include <cmath>

#include "MediaFixtures.h"
#include "engine/audio/MovieSound.h"
#include "engine/audio/SoundHost.h"
#include "engine/player/Dictionary.h"
#include "engine/swf/MovieData.h"

using namespace zd::engine;
using namespace zd::test;
namespace sw = zd::swfwriter;

namespace {

constexpr double kFps = 10;
constexpr std::size_t kPerFrame = 4410;  // 44.1 kHz samples in one frame

// The value every sample of frame f's block holds.
std::int16_t mark(int f) {
    return static_cast<std::int16_t>(f * 100 + 1);
}

// A movie whose root streams uncompressed 44.1 kHz mono, each frame's block a constant
// mark(frame); frames in `gaps` carry no block, the last `silentTail` frames none either.
Bytes streamMovie(int frames, const std::vector<int>& gaps = {}, int silentTail = 0) {
    sw::MovieWriter movie(8, {0, 2000, 0, 2000}, kFps);
    movie.soundStreamHead({3, 3, true, false}, kPerFrame);
    for (int f = 0; f < frames; ++f) {
        const bool gap = std::find(gaps.begin(), gaps.end(), f) != gaps.end();
        if (!gap && f < frames - silentTail) {
            movie.soundStreamBlock(le16(Samples(kPerFrame, mark(f))));
        }
        movie.showFrame();
    }
    return movie.finish();
}

struct Player {
    explicit Player(const Bytes& file) : movie(MovieData::fromBytes(file)) {
        sound.setMovie(movie.get());
    }
    std::unique_ptr<MovieData> movie;
    DirectSoundHost host{true};
    MovieSound sound{host};

    std::int16_t at(std::size_t frame) const { return host.recording().at(frame * 2); }
};

}  // namespace

TEST(StreamSound, PlaysTheBlocksOfTheFramesInOrder) {
    Player p(streamMovie(6));
    p.sound.rootFrameShown(0);
    for (int f = 1; f < 6; ++f) {
        p.host.advance(kPerFrame);
        p.sound.rootFrameShown(f);  // the picture keeps up: nothing restarts
    }
    p.host.advance(kPerFrame * 2);
    for (int f = 0; f < 6; ++f) {
        EXPECT_EQ(p.at(f * kPerFrame), mark(f)) << f;
        EXPECT_EQ(p.at(f * kPerFrame + kPerFrame - 1), mark(f)) << f;
    }
    EXPECT_EQ(p.at(6 * kPerFrame), 0) << "the stream ends with its last block";
    // Where it ended, the timeline takes over with its own clock.
    EXPECT_EQ(p.sound.streamFrame(kRootTimeline), 6);
    EXPECT_EQ(p.sound.framesToAdvance(kRootTimeline, 5), 1);
    EXPECT_EQ(p.sound.framesToAdvance(kRootTimeline, 6), 1);
}

TEST(StreamSound, SeekingRestartsAtTheFramesBlock) {
    Player p(streamMovie(20));
    p.sound.rootFrameShown(0);
    p.host.advance(kPerFrame / 2);
    p.sound.rootFrameShown(12);  // a jump
    p.host.advance(kPerFrame);
    EXPECT_EQ(p.at(kPerFrame / 2 - 1), mark(0));
    EXPECT_EQ(p.at(kPerFrame / 2), mark(12));
    EXPECT_EQ(p.sound.streamFrame(kRootTimeline), 12 + 1);
    // Back to the start, as a loop does.
    p.sound.rootFrameShown(0);
    p.host.advance(10);
    EXPECT_EQ(p.at(kPerFrame / 2 + kPerFrame), mark(0));
}

TEST(StreamSound, StoppingAndPlayingOnResumesAtTheFrameShown) {
    Player p(streamMovie(20));
    p.sound.rootFrameShown(0);
    for (int f = 1; f <= 7; ++f) {
        p.host.advance(kPerFrame);
        p.sound.rootFrameShown(f);
    }
    p.sound.timelineStopped(kRootTimeline);
    p.host.advance(kPerFrame);  // held on frame 7: silent
    EXPECT_EQ(p.at(7 * kPerFrame + 10), 0);
    p.sound.rootFrameShown(8);  // plays on
    p.host.advance(kPerFrame);
    EXPECT_EQ(p.at(8 * kPerFrame + 10), mark(8));

    // Pausing everything holds the stream at its sample: nothing is lost or skipped.
    p.host.setPaused(true);
    p.host.advance(kPerFrame * 3);
    p.host.setPaused(false);
    p.host.advance(kPerFrame);
    EXPECT_EQ(p.at(9 * kPerFrame + 10), mark(9));
}

TEST(StreamSound, FramesWithoutABlockAreSilentInPlace) {
    Player p(streamMovie(8, {3}, 2));
    p.sound.rootFrameShown(0);
    p.host.advance(kPerFrame * 8);
    EXPECT_EQ(p.at(2 * kPerFrame + 5), mark(2));
    EXPECT_EQ(p.at(3 * kPerFrame + 5), 0);
    EXPECT_EQ(p.at(4 * kPerFrame + 5), mark(4));
    EXPECT_EQ(p.at(5 * kPerFrame + 5), mark(5));
    EXPECT_EQ(p.at(6 * kPerFrame + 5), 0);

    // Started on a frame without a block: silent up to the next one, in time with it.
    Player q(streamMovie(8, {3}));
    q.sound.rootFrameShown(3);
    q.host.advance(kPerFrame * 2);
    EXPECT_EQ(q.at(5), 0);
    EXPECT_EQ(q.at(kPerFrame + 5), mark(4));
    EXPECT_EQ(q.sound.streamFrame(kRootTimeline), 5);
}

TEST(StreamSound, TheTimelineFollowsTheSoundClockUnderASlowRenderer) {
    // The fake clock: sound time passes as the test mixes it. Each picture takes 2.5 frame
    // intervals to draw; at each tick the timeline moves on as far as the sound has come.
    const int frames = 60;
    Player p(streamMovie(frames));
    int shown = 0;
    p.sound.rootFrameShown(0);
    int dropped = 0;
    int ticks = 0;
    std::size_t played = 0;
    while (shown < frames - 1 && ticks < 200) {
        const std::size_t step = kPerFrame * 5 / 2;
        p.host.advance(step);
        played += step;
        ++ticks;
        const int advance = p.sound.framesToAdvance(kRootTimeline, shown);
        // Frames dropped are still run (their tags, their sound), just not drawn.
        for (int i = 0; i < advance && shown < frames - 1; ++i) {
            p.sound.rootFrameShown(++shown);
        }
        dropped += std::max(0, advance - 1);
        // The frame shown is the one whose sound plays now (the last one once it is over).
        const int soundFrame = std::min<int>(int(played / kPerFrame), frames - 1);
        EXPECT_EQ(shown, soundFrame) << "tick " << ticks;
    }
    EXPECT_EQ(shown, frames - 1);
    // Not slowed: the run took as long as the sound, give or take a tick.
    EXPECT_NEAR(double(played) / kPerFrame, frames - 1, 2.5);
    EXPECT_GT(dropped, frames / 2);
    // Nothing restarted on the way: the sound is the stream from end to end.
    for (int f = 0; f < frames; f += 7) {
        EXPECT_EQ(p.at(f * kPerFrame + 100), mark(f)) << f;
    }
}

TEST(StreamSound, TheClockCountsOnlyWhatHasBeenHeard) {
    Player p(streamMovie(20));
    p.sound.rootFrameShown(0);
    EXPECT_EQ(p.sound.streamFrame(kRootTimeline), 0);
    p.host.advance(kPerFrame * 3);
    EXPECT_EQ(p.sound.streamFrame(kRootTimeline), 3);
    EXPECT_EQ(p.sound.framesToAdvance(kRootTimeline, 0), 3);
    // The picture ahead of the sound waits for it.
    EXPECT_EQ(p.sound.framesToAdvance(kRootTimeline, 5), 0);
    p.host.advance(kPerFrame / 4);
    EXPECT_NEAR(*p.sound.streamPosition(kRootTimeline), 3.25, 0.001);
    // Two frames' worth still in the device's buffers.
    p.host.setQueuedFrames(kPerFrame * 2);
    EXPECT_EQ(p.sound.streamFrame(kRootTimeline), 1);
    p.host.setQueuedFrames(kPerFrame * 100);
    EXPECT_EQ(p.sound.streamFrame(kRootTimeline), 0);
    // No stream: the timeline's own clock leads.
    Player silent(streamMovie(5, {0, 1, 2, 3, 4}));
    silent.sound.rootFrameShown(0);
    EXPECT_FALSE(silent.sound.streamFrame(kRootTimeline));
    EXPECT_EQ(silent.sound.framesToAdvance(kRootTimeline, 0), 1);
}

TEST(StreamSound, SpritesPlayTheirOwnStreams) {
    sw::Timeline sprite;
    sprite.soundStreamHead({3, 3, true, false}, kPerFrame);
    for (int f = 0; f < 3; ++f) {
        sprite.soundStreamBlock(le16(Samples(kPerFrame, mark(f + 50))));
        sprite.showFrame();
    }
    sw::MovieWriter movie(8, {0, 2000, 0, 2000}, kFps);
    movie.defineSprite(sprite);
    movie.showFrame();
    const Bytes file = movie.finish();
    Player p(file);
    Dictionary dictionary;
    const auto data = p.movie->data();
    dictionary.update(data, p.movie->header()->size, data.size());
    const CharacterPtr c = dictionary.get(1, data);
    ASSERT_TRUE(c);
    const auto* def = c->as<SpriteDefinition>();
    ASSERT_NE(def, nullptr);
    ASSERT_EQ(def->frames.size(), 3u);
    const TimelineId clip = 5;
    p.sound.timelineFrame(clip, def->frames, 1, true);
    p.host.advance(kPerFrame * 3);
    EXPECT_EQ(p.at(10), mark(51));
    EXPECT_EQ(p.at(kPerFrame + 10), mark(52));
    EXPECT_EQ(p.at(2 * kPerFrame + 10), 0);
    EXPECT_FALSE(p.sound.streamFrame(kRootTimeline)) << "the root has no stream";
}

TEST(StreamSound, Mp3BlocksSkipTheirSeekSamplesAfterAJump) {
    // One MP3 frame (1152 samples) in each block; block 5 says its frame starts 300 samples
    // before the frame's own place.
    const double fps = 44100.0 / 1152.0;
    const Samples tone = sine(300, 44100, 1152 * 20, 2);
    const Mp3 mp3 = encodeMp3(tone, 44100, 2, 128);
    auto movieWithSeek = [&](std::int16_t seek5) {
        sw::MovieWriter movie(8, {0, 2000, 0, 2000}, fps);
        movie.soundStreamHead({2, 3, true, true}, 1152);
        for (std::size_t f = 0; f + 1 < mp3.frameOffsets.size(); ++f) {
            sw::BitWriter w;
            w.u16(1152);
            w.u16(static_cast<std::uint16_t>(f == 5 ? seek5 : 0));
            w.bytes(std::span(mp3.data).subspan(mp3.frameOffsets[f],
                                                mp3.frameOffsets[f + 1] - mp3.frameOffsets[f]));
            movie.soundStreamBlock(w.data());
            movie.showFrame();
        }
        return movie.finish();
    };
    Player plain(movieWithSeek(0));
    Player skipping(movieWithSeek(300));
    for (Player* p : {&plain, &skipping}) {
        p->sound.rootFrameShown(5);
        p->host.advance(1152 * 4);
    }
    const auto& a = plain.host.recording();
    const auto& b = skipping.host.recording();
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < 1152 * 2; ++i) {
        ASSERT_EQ(b[i], a[i + 600]) << i;
    }
}

TEST(StreamSound, CompressedStreamsAndOversizedBlocks) {
    // ADPCM, 22 kHz: a block of 4096 samples in each frame, as the encoder makes them.
    const double fps = 22050.0 / 4096.0;
    const Samples tone = sine(440, 22050, 4096 * 6);
    sw::MovieWriter movie(8, {0, 2000, 0, 2000}, fps);
    movie.soundStreamHead({1, 2, true, false}, 4096);
    for (const Bytes& block : encodeAdpcmPackets(tone, 22050, 1)) {
        movie.soundStreamBlock(block);
        movie.showFrame();
    }
    Player p(movie.finish());
    p.sound.rootFrameShown(0);
    p.host.advance(4096 * 2 * 8);
    const auto& out = p.host.recording();
    std::size_t heard = 0;
    for (std::size_t i = 0; i < out.size(); i += 2) {
        heard += out[i] != 0;
    }
    EXPECT_NEAR(double(heard), 4096.0 * 2 * 6, 4096.0 * 0.2);

    // A block far larger than the head declares plays whole; the clock still keeps the
    // frame rate's pace.
    sw::MovieWriter big(8, {0, 2000, 0, 2000}, kFps);
    big.soundStreamHead({3, 3, true, false}, kPerFrame);
    big.soundStreamBlock(le16(Samples(kPerFrame * 10, 77)));
    big.showFrame();
    big.showFrame();
    Player q(big.finish());
    q.sound.rootFrameShown(0);
    q.host.advance(kPerFrame * 10);
    EXPECT_EQ(q.at(kPerFrame * 10 - 1), 77);
    EXPECT_EQ(q.sound.streamFrame(kRootTimeline), 10);
}

TEST(StreamSound, AMovieStillLoadingStreamsWhatHasArrived) {
    const Bytes file = streamMovie(10);
    MovieData movie;
    const std::size_t half = file.size() / 2;
    movie.append(std::span(file).first(half));
    DirectSoundHost host(true);
    MovieSound sound(host);
    sound.setMovie(&movie);
    const std::size_t arrived = movie.framesLoaded();
    ASSERT_GT(arrived, 2u);
    ASSERT_LT(arrived, 10u);
    sound.rootFrameShown(0);
    host.advance(kPerFrame * arrived);
    EXPECT_EQ(sound.streamFrame(kRootTimeline), int(arrived));
    host.advance(kPerFrame);  // nothing more has come: the stream waits
    EXPECT_EQ(sound.streamFrame(kRootTimeline), int(arrived));
    movie.append(std::span(file).subspan(half));
    movie.finish();
    sound.rootFrameShown(1);
    host.advance(kPerFrame);
    EXPECT_EQ(host.recording().at((arrived + 1) * kPerFrame * 2 + 10), mark(int(arrived)));
}
