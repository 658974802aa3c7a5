#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QUrl>
#include <algorithm>
#include <cmath>
#include <limits>

#include "TestSupport.h"
#include "engine/player/FrameClock.h"
#include "engine/player/MovieRunner.h"

using namespace zd::engine;
using zd::test::MovieSpec;

namespace {

// Collects what a runner reports, in order.
struct Recorder {
    explicit Recorder(MovieRunner& r) {
        QObject::connect(&r, &MovieRunner::readyStateChanged,
                         [this](int s) { ready.push_back(s); });
        QObject::connect(&r, &MovieRunner::frameShown, [this](int f) { frames.push_back(f); });
        QObject::connect(&r, &MovieRunner::loadFailed, [this](const QString& w) { failures << w; });
    }
    std::vector<int> ready;
    std::vector<int> frames;
    QStringList failures;
};

QString movieFile(int frames, double rate = 24.0, const QString& name = {}, int spriteFrames = 4) {
    MovieSpec spec;
    spec.frames = frames;
    spec.frameRate = rate;
    spec.spriteFrames = spriteFrames;
    return zd::test::writeTempFile(
        zd::test::movieBytes(spec),
        name.isEmpty() ? QStringLiteral("movie-%1.swf").arg(frames) : name);
}

}  // namespace

TEST(FrameClock, CountsWholeIntervals) {
    FrameClock clock(24.0);
    EXPECT_NEAR(clock.intervalMs(), 41.6667, 1e-3);
    EXPECT_EQ(clock.advance(41.0), 0);
    EXPECT_EQ(clock.advance(1.0), 1);  // 42 ms: the first interval has ended
    EXPECT_EQ(clock.advance(1000.0), 24);
    clock.reset();
    // Ticks of exactly one interval never lose a frame to rounding.
    int frames = 0;
    for (int i = 0; i < 2400; ++i) {
        frames += clock.advance(1000.0 / 24.0);
    }
    EXPECT_EQ(frames, 2400);
    EXPECT_EQ(clock.advance(-5.0), 0);
}

// A timer of whole milliseconds that fires up to a millisecond late: over 1,000 ticks the
// clock keeps the exact rate, and no tick waits longer than an interval and the rounding and
// lateness of one tick.
TEST(TickPacer, WholeMillisecondTimersKeepTheExactRate) {
    for (const double rate : {24.0, 30.0, 12.5, 60.0}) {
        TickPacer pacer(rate);
        double now = 1000.0;
        pacer.restart(now);
        now += std::lround(pacer.intervalMs());
        const double first = now;
        double longest = 0;
        for (int tick = 0; tick < 1000; ++tick) {
            const double wait = static_cast<double>(std::lround(pacer.next(now)));
            const double late = (tick % 3) * 0.4;
            longest = std::max(longest, wait + late);
            now += wait + late;
        }
        const double mean = (now - first) / 1000.0;
        EXPECT_NEAR(mean, 1000.0 / rate, 1000.0 / rate * 0.0005) << rate;
        EXPECT_LE(longest, 1000.0 / rate + 1.3) << rate;
        EXPECT_EQ(pacer.skipped(), 0);
    }
}

// Far behind, the frames missed are skipped, not run in a burst: the next tick keeps the
// phase of the clock.
TEST(TickPacer, SkipsWhenMoreThanAFrameLate) {
    TickPacer pacer(25.0);  // 40 ms
    pacer.restart(0.0);
    EXPECT_DOUBLE_EQ(pacer.next(40.0), 40.0);
    EXPECT_DOUBLE_EQ(pacer.next(95.0), 25.0);  // 15 ms late: the next keeps its time
    EXPECT_EQ(pacer.skipped(), 0);
    EXPECT_DOUBLE_EQ(pacer.next(250.0), 30.0);  // 130 ms late: on to the slot at 280
    EXPECT_EQ(pacer.skipped(), 3);
    EXPECT_DOUBLE_EQ(pacer.next(280.0), 40.0);
    EXPECT_DOUBLE_EQ(pacer.next(std::numeric_limits<double>::infinity()), 40.0);
    EXPECT_DOUBLE_EQ(pacer.next(320.0), 40.0);  // a broken reading changes nothing
}

TEST(FrameClock, ZeroAndExcessiveRates) {
    EXPECT_DOUBLE_EQ(FrameClock(0.0).framesPerSecond(), kFallbackFrameRate);
    EXPECT_DOUBLE_EQ(FrameClock(-3.0).framesPerSecond(), kFallbackFrameRate);
    EXPECT_DOUBLE_EQ(FrameClock(255.99).framesPerSecond(), 255.99);
    EXPECT_DOUBLE_EQ(FrameClock(1e9).framesPerSecond(), kMaxFrameRate);
}

TEST(MovieRunner, ManualClockStopsOnTheLastFrame) {
    zd::test::ensureApp();
    MovieRunner runner;
    runner.setClockMode(MovieRunner::ClockMode::Manual);
    runner.setMovie(movieFile(5));
    ASSERT_TRUE(runner.hasMovie()) << runner.errorString().toStdString();
    EXPECT_EQ(runner.totalFrames(), 5);
    EXPECT_EQ(runner.currentFrame(), 0);
    EXPECT_TRUE(runner.isPlaying());  // play on
    EXPECT_FALSE(runner.isClockRunning());

    int moved = 0;
    for (int i = 0; i < 20; ++i) {
        moved += runner.stepFrame() ? 1 : 0;
    }
    EXPECT_EQ(moved, 4);
    EXPECT_EQ(runner.currentFrame(), 4);
    EXPECT_FALSE(runner.isPlaying());  // looping is off: it stops by itself

    // Playing again on the last frame goes nowhere.
    runner.setPlaying(true);
    EXPECT_FALSE(runner.stepFrame());
    EXPECT_EQ(runner.currentFrame(), 4);
    EXPECT_FALSE(runner.isPlaying());
}

TEST(MovieRunner, SeekingAndHolding) {
    zd::test::ensureApp();
    MovieRunner runner;
    runner.setClockMode(MovieRunner::ClockMode::Manual);
    runner.setMovie(movieFile(10));
    ASSERT_TRUE(runner.hasMovie());

    EXPECT_TRUE(runner.gotoFrame(6));
    EXPECT_EQ(runner.currentFrame(), 6);
    EXPECT_TRUE(runner.isPlaying());  // a seek does not change playing
    EXPECT_TRUE(runner.stepFrame());
    EXPECT_EQ(runner.currentFrame(), 7);

    runner.setPlaying(false);
    EXPECT_FALSE(runner.stepFrame());
    EXPECT_EQ(runner.currentFrame(), 7);
    EXPECT_TRUE(runner.gotoFrame(2));  // a held movie shows the frame and stays held
    EXPECT_EQ(runner.currentFrame(), 2);
    EXPECT_FALSE(runner.stepFrame());

    // Out of range: clamped to the movie.
    EXPECT_TRUE(runner.gotoFrame(1000));
    EXPECT_EQ(runner.currentFrame(), 9);
    EXPECT_TRUE(runner.gotoFrame(-5));
    EXPECT_EQ(runner.currentFrame(), 0);
}

TEST(MovieRunner, AdvanceTimeFollowsTheFrameRate) {
    zd::test::ensureApp();
    MovieRunner runner;
    runner.setClockMode(MovieRunner::ClockMode::Manual);
    runner.setMovie(movieFile(50, 10.0, "ten-fps.swf"));
    ASSERT_TRUE(runner.hasMovie());
    EXPECT_EQ(runner.advanceTime(99.0), 0);
    EXPECT_EQ(runner.advanceTime(1.0), 1);
    EXPECT_EQ(runner.advanceTime(1000.0), 10);
    EXPECT_EQ(runner.currentFrame(), 11);
    EXPECT_EQ(runner.advanceTime(60000.0), 38);  // up to the last frame, no further
    EXPECT_EQ(runner.currentFrame(), 49);
}

TEST(MovieRunner, TimerClockRunsToTheEndAndStops) {
    zd::test::ensureApp();
    MovieRunner runner;
    Recorder rec(runner);
    runner.setMovie(movieFile(6, 100.0, "fast.swf", 1));
    ASSERT_TRUE(runner.hasMovie());
    EXPECT_TRUE(runner.isClockRunning());
    ASSERT_TRUE(zd::test::waitUntil([&] { return runner.currentFrame() == 5; }, 5000));
    zd::test::processEvents(100);
    EXPECT_EQ(runner.currentFrame(), 5);
    EXPECT_FALSE(runner.isPlaying());
    EXPECT_FALSE(runner.isClockRunning());  // no timer left running on a still, ended movie
    // Every frame was shown once, in order.
    EXPECT_EQ(rec.frames, (std::vector<int>{0, 1, 2, 3, 4, 5}));
}

// The timer never runs ahead of the frame rate (20 frames at 40 fps take at least 475 ms).
TEST(MovieRunner, TimerKeepsToTheFrameRate) {
    zd::test::ensureApp();
    MovieRunner runner;
    QElapsedTimer elapsed;
    qint64 lastShownAt = 0;
    QObject::connect(&runner, &MovieRunner::frameShown, [&](int frame) {
        if (frame == 0) {
            elapsed.start();
        }
        lastShownAt = elapsed.elapsed();
    });
    runner.setMovie(movieFile(20, 40.0, "forty-fps.swf"));
    ASSERT_TRUE(zd::test::waitUntil([&] { return !runner.isPlaying(); }, 10000));
    EXPECT_EQ(runner.currentFrame(), 19);
    EXPECT_GE(lastShownAt, 19 * 25 - 25);
}

TEST(MovieRunner, PausingStopsTheTimer) {
    zd::test::ensureApp();
    MovieRunner runner;
    runner.setMovie(movieFile(200, 50.0, "long.swf", 1));
    ASSERT_TRUE(runner.hasMovie());
    runner.setPlaying(false);
    EXPECT_FALSE(runner.isClockRunning());
    zd::test::processEvents(100);
    EXPECT_EQ(runner.currentFrame(), 0);
    runner.setPlaying(true);
    EXPECT_TRUE(runner.isClockRunning());
    ASSERT_TRUE(zd::test::waitUntil([&] { return runner.currentFrame() >= 2; }));
}

TEST(MovieRunner, ReadyStateIsQueuedNotEmittedInsideSetMovie) {
    zd::test::ensureApp();
    MovieRunner runner;
    Recorder rec(runner);
    runner.setClockMode(MovieRunner::ClockMode::Manual);
    runner.setMovie(movieFile(3));
    EXPECT_TRUE(runner.hasMovie());
    EXPECT_TRUE(rec.ready.empty());
    ASSERT_TRUE(zd::test::waitUntil([&] { return !rec.ready.empty(); }));
    zd::test::processEvents(50);
    // A local file arrives whole at once: one report, "complete".
    EXPECT_EQ(rec.ready, (std::vector<int>{MovieRunner::kReadyComplete}));
    EXPECT_EQ(runner.percentLoaded(), 100);
    EXPECT_TRUE(rec.failures.isEmpty());
}

TEST(MovieRunner, FailedLoadsLeaveNoMovieAndNoReadyState) {
    zd::test::ensureApp();
    const QString notMovie = zd::test::writeTempFile({'h', 'e', 'l', 'l', 'o'}, "hello.swf");
    zd::test::Bytes full = zd::test::movieBytes(MovieSpec{});
    full.resize(15);  // inside the header
    const QString cutShort = zd::test::writeTempFile(full, "cut.swf");
    const QString empty = zd::test::writeTempFile({}, "empty.swf");
    const QStringList bad = {notMovie,
                             cutShort,
                             empty,
                             QDir::tempPath(),  // a folder
                             "/no/such/movie.swf",
                             "ftp://example.invalid/movie.swf"};
    for (const QString& text : bad) {
        SCOPED_TRACE(text.toStdString());
        MovieRunner runner;
        Recorder rec(runner);
        runner.setMovie(text);
        EXPECT_FALSE(runner.hasMovie());
        EXPECT_EQ(runner.loadState(), MovieRunner::LoadState::Failed);
        EXPECT_TRUE(runner.movie().isEmpty());
        EXPECT_EQ(runner.totalFrames(), 0);
        EXPECT_EQ(runner.percentLoaded(), 0);
        EXPECT_FALSE(runner.gotoFrame(1));
        EXPECT_FALSE(runner.stepFrame());
        EXPECT_FALSE(runner.isPlaying());
        EXPECT_FALSE(runner.errorString().isEmpty());
        zd::test::processEvents(30);
        EXPECT_TRUE(rec.ready.empty());
        EXPECT_EQ(rec.failures.size(), 1);
    }
}

TEST(MovieRunner, FileUrlsAndQuotedPaths) {
    zd::test::ensureApp();
    const QString path = movieFile(4, 24.0, "with space.swf");
    for (const QString& text : {QUrl::fromLocalFile(path).toString(), "\"" + path + "\""}) {
        SCOPED_TRACE(text.toStdString());
        MovieRunner runner;
        runner.setMovie(text);
        EXPECT_TRUE(runner.hasMovie()) << runner.errorString().toStdString();
        EXPECT_EQ(runner.movie(), text);  // the text as put
        EXPECT_EQ(runner.totalFrames(), 4);
    }
}

TEST(MovieRunner, ReplacingOrUnloadingDropsTheOldMoviesSignals) {
    zd::test::ensureApp();
    MovieRunner runner;
    Recorder rec(runner);
    runner.setMovie(movieFile(3));
    runner.setMovie(movieFile(7));
    zd::test::processEvents(50);
    EXPECT_EQ(rec.ready.size(), 1u);  // only the second movie's
    EXPECT_EQ(runner.totalFrames(), 7);

    rec.ready.clear();
    runner.setMovie(movieFile(3));
    runner.setMovie(QString());
    zd::test::processEvents(50);
    EXPECT_TRUE(rec.ready.empty());
    EXPECT_EQ(runner.loadState(), MovieRunner::LoadState::Empty);
    EXPECT_FALSE(runner.hasMovie());
    EXPECT_TRUE(runner.movie().isEmpty());
    EXPECT_FALSE(runner.isClockRunning());
}

TEST(MovieRunner, BackgroundColourAndStage) {
    zd::test::ensureApp();
    MovieSpec spec;
    spec.background = zd::swfwriter::Rgba{12, 34, 56, 255};
    spec.stage = {0, 4000, 0, 2000};
    MovieRunner runner;
    runner.setMovie(zd::test::writeTempFile(zd::test::movieBytes(spec), "bg.swf"));
    ASSERT_TRUE(runner.hasMovie());
    EXPECT_EQ(runner.backgroundColor(), QColor(12, 34, 56));
    EXPECT_EQ(runner.stage().width(), 4000);

    MovieSpec none;
    none.background.reset();
    runner.setMovie(zd::test::writeTempFile(zd::test::movieBytes(none), "nobg.swf"));
    ASSERT_TRUE(runner.hasMovie());
    EXPECT_EQ(runner.backgroundColor(), QColor(Qt::white));
}

TEST(MovieRunner, ZeroFrameCountStillShowsOneFrame) {
    zd::test::ensureApp();
    zd::swfwriter::MovieWriter::Output out;
    out.frameCount = 0;
    const auto bytes = zd::test::makeMovie(MovieSpec{}).finish(out);
    MovieRunner runner;
    runner.setClockMode(MovieRunner::ClockMode::Manual);
    runner.setMovie(zd::test::writeTempFile(bytes, "zero-frames.swf"));
    ASSERT_TRUE(runner.hasMovie());
    EXPECT_EQ(runner.totalFrames(), 1);
    EXPECT_FALSE(runner.stepFrame());
    EXPECT_EQ(runner.currentFrame(), 0);
}
