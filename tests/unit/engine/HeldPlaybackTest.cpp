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
    return runner.display()->root().objects().at(1).children->currentFrame();
}

}  // namespace

TEST(HeldPlayback, SpritesPlayOnWhileTheRootHolds) {
    ensureApp();
    MovieRunner runner;
    runner.setClockMode(MovieRunner::ClockMode::Manual);
    runner.setMovie(oneFrameWithSprite());
    ASSERT_TRUE(runner.hasMovie());
    EXPECT_EQ(spriteFrame(runner), 0);
    EXPECT_FALSE(runner.stepFrame());  // a single root frame: nothing more to show
    runner.advanceHeld();
    EXPECT_EQ(spriteFrame(runner), 1);
    runner.advanceHeld();
    runner.advanceHeld();
    EXPECT_EQ(spriteFrame(runner), 0);  // looped
    EXPECT_EQ(runner.currentFrame(), 0);
    // Seeking rebuilds what a straight run reaches: the sprite starts over.
    runner.advanceHeld();
    runner.gotoFrame(0);
    EXPECT_EQ(spriteFrame(runner), 1);  // same frame: nothing rebuilt
}

TEST(HeldPlayback, TheTimerKeepsSpritesGoingOnceTheyAreShown) {
    ensureApp();
    MovieRunner runner;
    int changed = 0;
    QObject::connect(&runner, &MovieRunner::displayChanged, [&] { ++changed; });
    runner.setMovie(oneFrameWithSprite());
    ASSERT_TRUE(waitUntil([&] { return runner.hasMovie(); }));
    // Nothing ticks until something draws the movie.
    processEvents(150);
    EXPECT_EQ(changed, 0);
    ASSERT_NE(runner.display(), nullptr);
    EXPECT_TRUE(waitUntil([&] { return changed >= 2; }, 2000));
    runner.setMovie(QString());
    const int after = changed;
    processEvents(200);
    EXPECT_EQ(changed, after);  // stopped with the movie
}
