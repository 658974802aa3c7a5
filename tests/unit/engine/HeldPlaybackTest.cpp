#include <gtest/gtest.h>

#include "RenderSupport.h"
#include "TestSupport.h"
#include "engine/player/MovieRunner.h"

using namespace zd::engine;
using namespace zd::test;
namespace w = zd::swfwriter;

namespace {

// One root frame holding a sprite of three frames.
QString oneFrameWithSprite() {
    auto movie = smallMovie();
    w::Timeline t;
    for (int f = 0; f < 3; ++f) {
        t.placeObject2(f == 0 ? w::PlaceObject::place(
                                    1, movie.defineShape(solidRect(0, 0, 200, 200, {0, 0, 0, 255})))
                              : w::PlaceObject::modify(1, w::Matrix::translation(200 * f, 0)));
        t.showFrame();
    }
    movie.placeObject2(w::PlaceObject::place(1, movie.defineSprite(t)));
    movie.showFrame();
    return writeTempFile(movie.finish(), "held.swf");
}

int spriteFrame(MovieRunner& runner) {
    return runner.display()->rootTimeline().at(depthOfTag(1))->timeline()->currentFrame();
}

}  // namespace

TEST(HeldPlayback, SpritesPlayOnWhileTheRootHolds) {
    ensureApp();
    MovieRunner runner;
    runner.setClockMode(MovieRunner::ClockMode::Manual);
    runner.setMovie(oneFrameWithSprite());
    ASSERT_TRUE(runner.hasMovie());
    EXPECT_EQ(spriteFrame(runner), 0);
    EXPECT_FALSE(runner.stepFrame());   // a single root frame: nothing more to show...
    EXPECT_EQ(spriteFrame(runner), 1);  // ...but the sprite moves on
    EXPECT_FALSE(runner.isPlaying());
    runner.stepFrame();
    runner.stepFrame();
    EXPECT_EQ(spriteFrame(runner), 0);  // looped
    EXPECT_EQ(runner.currentFrame(), 0);
    runner.stepFrame();
    runner.gotoFrame(0);
    EXPECT_EQ(spriteFrame(runner), 1);  // same frame: nothing rebuilt
}

TEST(HeldPlayback, TheTimerRunsWhileClipsCanMoveAndNotOnceNothingCan) {
    ensureApp();
    MovieRunner runner;
    int changed = 0;
    QObject::connect(&runner, &MovieRunner::displayChanged, [&] { ++changed; });
    runner.setMovie(oneFrameWithSprite());
    ASSERT_TRUE(waitUntil([&] { return runner.hasMovie(); }));
    // The root holds on its only frame; its sprite plays on by itself, drawn or not.
    EXPECT_TRUE(waitUntil([&] { return changed >= 2; }, 2000));
    EXPECT_FALSE(runner.isPlaying());
    EXPECT_TRUE(runner.isClockRunning());
    // Stopping the sprite leaves nothing that can move: the clock stops, nothing changes.
    runner.display()->rootTimeline().at(depthOfTag(1))->timeline()->setPlaying(false);
    runner.wake();
    EXPECT_TRUE(waitUntil([&] { return !runner.isClockRunning(); }, 1000));
    const int still = changed;
    processEvents(200);
    EXPECT_EQ(changed, still);
    runner.setMovie(QString());
    EXPECT_FALSE(runner.isClockRunning());
}

// A movie that ends with nothing left to move runs no timer and draws nothing more.
TEST(HeldPlayback, AnEndedStillMovieCostsNoTicks) {
    ensureApp();
    auto movie = smallMovie();
    const auto square = movie.defineShape(solidRect(0, 0, 200, 200, {0, 0, 0, 255}));
    w::Timeline still;  // a sprite of one frame
    still.placeObject2(w::PlaceObject::place(1, square));
    still.showFrame();
    movie.placeObject2(w::PlaceObject::place(1, movie.defineSprite(still)));
    movie.showFrame();
    movie.placeObject2(w::PlaceObject::modify(1, w::Matrix::translation(100, 0)));
    movie.showFrame();
    MovieRunner runner;
    int changed = 0;
    int ticks = 0;
    QObject::connect(&runner, &MovieRunner::displayChanged, [&] { ++changed; });
    QObject::connect(&runner, &MovieRunner::frameShown, [&] { ++ticks; });
    runner.setMovie(writeTempFile(movie.finish(), "ends-still.swf"));
    ASSERT_TRUE(waitUntil([&] { return runner.currentFrame() == 1 && !runner.isPlaying(); }));
    EXPECT_TRUE(waitUntil([&] { return !runner.isClockRunning(); }, 1000));
    EXPECT_EQ(changed, 1);  // the move on the second frame
    const int before = changed + ticks;
    processEvents(300);
    EXPECT_EQ(changed + ticks, before);
    // Playing again at the end goes nowhere and stops again.
    runner.setPlaying(true);
    EXPECT_TRUE(runner.isClockRunning());
    EXPECT_TRUE(waitUntil([&] { return !runner.isClockRunning(); }, 1000));
    EXPECT_FALSE(runner.isPlaying());
    EXPECT_EQ(changed, 1);
}
