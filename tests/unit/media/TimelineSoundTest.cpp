#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "MediaFixtures.h"
#include "engine/audio/SoundHost.h"
#include "engine/audio/TimelineSound.h"
#include "engine/player/MovieRunner.h"
#include "engine/player/StagePlayer.h"
#include "engine/swf/MovieData.h"

using namespace zd::engine;
using namespace zd::test;
namespace sw = zd::swfwriter;

namespace {

constexpr double kFps = 10;
constexpr std::size_t kPerFrame = 4410;  // 44.1 kHz samples in one frame
constexpr sw::SoundFormatSpec kPcm44Mono{3, 3, true, false};

std::int16_t mark(int f) {
    return static_cast<std::int16_t>(f * 100 + 1);
}

// Frames each streaming a block of mark(frame) (44.1 kHz mono, one frame long), into a
// timeline: the root or a sprite's.
void streamFrames(sw::Timeline& t, int frames, int firstMark = 0) {
    t.soundStreamHead(kPcm44Mono, kPerFrame);
    for (int f = 0; f < frames; ++f) {
        t.soundStreamBlock(le16(Samples(kPerFrame, mark(firstMark + f))));
        t.showFrame();
    }
}

// A movie run by its own tick, its sound mixed on the test's thread: one frame's worth of
// sound is heard after each frame.
struct TickRun {
    explicit TickRun(const Bytes& file, bool leads = false)
        : movie(MovieData::fromBytes(file)), player(*movie) {
        timelines.setLeadsTimelines(leads);
        timelines.movieChanged(movie.get());
        player.setSoundHooks(&timelines);
        player.settle();
    }
    // Lets a frame's worth of sound be heard, then runs the next frame.
    void frame() {
        host.advance(kPerFrame);
        player.tick();
    }
    // The left sample heard at that many frames (and a little) into the run.
    std::int16_t at(double frames) const {
        return host.recording().at(static_cast<std::size_t>(frames * kPerFrame + 10) * 2);
    }

    std::unique_ptr<MovieData> movie;
    DirectSoundHost host{true};
    TimelineSound timelines{host};
    StagePlayer player;
};

}  // namespace

// Sprites stream and start sounds as the root does; a sprite looping restarts its stream and
// one removed falls silent.
TEST(TimelineSound, SpritesStreamAndStartSoundsThroughTheTick) {
    sw::MovieWriter movie(8, {0, 2000, 0, 2000}, kFps);
    movie.defineSound(kPcm44Mono, kPerFrame, le16(Samples(kPerFrame, 1000)), 1);
    sw::Timeline sprite;
    sprite.soundStreamHead(kPcm44Mono, kPerFrame);
    sprite.soundStreamBlock(le16(Samples(kPerFrame, mark(0))));
    sprite.showFrame();
    sprite.soundStreamBlock(le16(Samples(kPerFrame, mark(1))));
    sprite.startSound(1);
    sprite.showFrame();
    sprite.soundStreamBlock(le16(Samples(kPerFrame, mark(2))));
    sprite.showFrame();
    const auto spriteId = movie.defineSprite(sprite);
    movie.placeObject2(sw::PlaceObject::place(1, spriteId));
    for (int f = 0; f < 5; ++f) {
        movie.showFrame();
    }
    movie.removeObject2(1);
    movie.showFrame();
    movie.showFrame();
    TickRun run(movie.finish());
    for (int f = 0; f < 6; ++f) {
        run.frame();
    }
    EXPECT_EQ(run.at(0), mark(0));
    EXPECT_EQ(run.at(1), mark(1) + 1000);  // the sprite's second frame starts sound 1
    EXPECT_EQ(run.at(2), mark(2));
    EXPECT_EQ(run.at(3), mark(0));  // looped: its stream starts again
    EXPECT_EQ(run.at(4), mark(1) + 1000);
    EXPECT_EQ(run.at(5), 0);  // removed
}

// A stream sound sets the pace of its timeline: the picture waits for the sound, skips
// frames to catch up with it (a few a tick at most), and without a lead moves one a tick.
TEST(TimelineSound, StreamSoundLeadsItsTimeline) {
    sw::MovieWriter movie(8, {0, 2000, 0, 2000}, kFps);
    streamFrames(movie, 30);
    TickRun run(movie.finish(), true);
    run.player.tick();
    EXPECT_EQ(run.player.frame(), 0) << "nothing heard yet: the picture waits";
    run.host.advance(3 * kPerFrame);
    run.player.tick();
    EXPECT_EQ(run.player.frame(), 3) << "behind the sound: frames are dropped";
    run.host.advance(10 * kPerFrame);
    run.player.tick();
    EXPECT_EQ(run.player.frame(), 7) << "four frames a tick at most";
    run.player.tick();
    EXPECT_EQ(run.player.frame(), 11);
    run.player.tick();
    EXPECT_EQ(run.player.frame(), 13);
    run.player.tick();
    EXPECT_EQ(run.player.frame(), 13) << "caught up: it waits again";
    // Once the sound has gone, or the lead is off, a frame a tick.
    run.timelines.setLeadsTimelines(false);
    run.player.tick();
    EXPECT_EQ(run.player.frame(), 14);
}

// Holding the root stops its stream; holding and playing on before the sound hears of it
// leaves the stream playing where it was.
TEST(TimelineSound, HoldingTheRootStopsItsStream) {
    sw::MovieWriter movie(8, {0, 2000, 0, 2000}, kFps);
    streamFrames(movie, 10);
    TickRun run(movie.finish());
    run.frame();
    run.host.advance(kPerFrame / 2);
    run.player.rootTimeline().setPlaying(false);
    run.player.rootTimeline().setPlaying(true);
    run.player.tick();
    run.host.advance(kPerFrame);
    EXPECT_EQ(run.at(1.5), mark(1)) << "the stream went on from its sample";
    EXPECT_EQ(run.at(2.2), mark(2));
    run.player.rootTimeline().setPlaying(false);
    run.player.settle();
    run.host.advance(kPerFrame);
    EXPECT_EQ(run.at(2.7), 0);
    EXPECT_FALSE(run.host.mixer().isPlaying(0x10000u));
    // Played on, it starts again at the frame shown.
    run.player.rootTimeline().setPlaying(true);
    run.player.tick();
    run.host.advance(kPerFrame);
    EXPECT_EQ(run.at(3.6), mark(3));
}

// A seek restarts the stream at the frame arrived at; frames passed over start no sounds.
TEST(TimelineSound, SeekingStartsTheStreamAtTheFrameShown) {
    sw::MovieWriter movie(8, {0, 2000, 0, 2000}, kFps);
    movie.defineSound(kPcm44Mono, kPerFrame, le16(Samples(kPerFrame, 1000)), 1);
    movie.soundStreamHead(kPcm44Mono, kPerFrame);
    for (int f = 0; f < 10; ++f) {
        movie.soundStreamBlock(le16(Samples(kPerFrame, mark(f))));
        if (f == 4) {
            movie.startSound(1);  // passed over by the seek
        }
        movie.showFrame();
    }
    TickRun run(movie.finish());
    run.frame();
    run.player.gotoFrame(7);
    run.host.advance(kPerFrame);
    EXPECT_EQ(run.at(1.5), mark(7));
    run.player.gotoFrame(2);
    run.host.advance(kPerFrame);
    EXPECT_EQ(run.at(2.5), mark(2));
}

// The movie put decides what sounds: replacing or closing it stops the last one's sound.
TEST(TimelineSound, AnotherMovieStopsTheLastOnesSound) {
    QTemporaryDir dir;
    sw::MovieWriter movie(8, {0, 2000, 0, 2000}, kFps);
    movie.defineSound(kPcm44Mono, kPerFrame * 20, le16(Samples(kPerFrame * 20, 1000)), 1);
    movie.startSound(1);
    streamFrames(movie, 10);
    const QString path = dir.filePath("stream.swf");
    ASSERT_TRUE(movie.save(path.toStdString(), {}));

    DirectSoundHost host;
    TimelineSound timelines(host);
    MovieRunner runner;
    runner.setClockMode(MovieRunner::ClockMode::Manual);
    runner.setSoundHooks(&timelines);
    runner.setMovie(path);
    ASSERT_TRUE(runner.hasMovie());
    runner.settleFirstFrame();
    EXPECT_EQ(host.mixer().voiceCount(), 2u) << "the first frame's sound and the stream";
    EXPECT_TRUE(timelines.sound().hasStream(kRootTimeline));
    runner.setMovie(QString());
    EXPECT_EQ(host.mixer().voiceCount(), 0u);
    EXPECT_FALSE(timelines.sound().hasStream(kRootTimeline));
    runner.setMovie(path);
    runner.settleFirstFrame();
    EXPECT_EQ(host.mixer().voiceCount(), 2u);
    runner.setSoundHooks(nullptr);
    EXPECT_EQ(host.mixer().voiceCount(), 0u) << "hooks taken away stop what they played";
}
