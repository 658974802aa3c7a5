#include <gtest/gtest.h>

#include "RenderSupport.h"
#include "engine/player/DisplayTree.h"

using namespace zd::engine;
using namespace zd::test;
namespace w = zd::swfwriter;

namespace {

// A sprite of `frames` frames, each showing a square of its own colour.
std::uint16_t colourCycleSprite(w::MovieWriter& movie, int frames, int size = 400) {
    w::Timeline t;
    for (int f = 0; f < frames; ++f) {
        const auto shape = movie.defineShape(
            solidRect(0, 0, size, size, {static_cast<std::uint8_t>(60 * f), 0, 200, 255}));
        auto p = w::PlaceObject::place(1, shape);
        if (f > 0) {
            p.move = true;  // same depth, new character
        }
        t.placeObject2(p);
        t.showFrame();
    }
    return movie.defineSprite(t);
}

// Ten frames: a moving square, a sprite of three frames, one object removed on frame 6.
w::Bytes animatedMovie() {
    auto movie = smallMovie();
    const auto square = movie.defineShape(solidRect(0, 0, 300, 300, {0, 160, 0, 255}));
    const auto bar = movie.defineShape(solidRect(0, 0, 2000, 100, {90, 90, 90, 255}));
    const auto sprite = colourCycleSprite(movie, 3);
    for (int f = 0; f < 10; ++f) {
        if (f == 0) {
            movie.placeObject2(w::PlaceObject::place(1, square));
            movie.placeObject2(w::PlaceObject::place(2, sprite, w::Matrix::translation(1200, 200)));
            movie.placeObject2(w::PlaceObject::place(3, bar, w::Matrix::translation(0, 1800)));
        } else {
            movie.placeObject2(w::PlaceObject::modify(1, w::Matrix::translation(150 * f, 100 * f)));
        }
        if (f == 6) {
            movie.removeObject2(3);
        }
        movie.showFrame();
    }
    return movie.finish();
}

const DisplayObject& at(const Timeline& t, std::uint16_t depth) {
    return *t.objects().at(depthOfTag(depth));
}

}  // namespace

TEST(DisplayModel, SeekingGivesThePictureOfAStraightRun) {
    const w::Bytes file = animatedMovie();
    Stage straight(file);
    std::vector<QImage> frames;
    for (int f = 0; f < 10; ++f) {
        ASSERT_EQ(straight.player().gotoFrame(f), f);
        frames.push_back(straight.render());
    }
    EXPECT_GT(differingPixels(frames[3], frames[4]), 0);
    Stage seeking(file);
    for (const int f : {9, 2, 7, 0, 5, 5, 1, 8, 3}) {
        ASSERT_EQ(seeking.player().gotoFrame(f), f);
        EXPECT_EQ(differingPixels(seeking.render(), frames[static_cast<std::size_t>(f)]), 0)
            << "frame " << f;
    }
    // Past the end: the last frame.
    EXPECT_EQ(seeking.player().gotoFrame(500), 9);
    EXPECT_FALSE(seeking.player().rootTimeline().objects().count(depthOfTag(3)));
}

TEST(DisplayModel, SpritesPlayOnTheirOwnWhileTheRootHolds) {
    auto movie = smallMovie();
    const auto sprite = colourCycleSprite(movie, 3);
    movie.placeObject2(w::PlaceObject::place(1, sprite));
    movie.showFrame();
    movie.showFrame();
    Stage stage(movie.finish());
    StagePlayer& p = stage.player();
    ASSERT_EQ(p.frame(), 0);
    const Timeline* child = at(p.rootTimeline(), 1).timeline();
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(child->currentFrame(), 0);
    const int expected[] = {1, 2, 0, 1, 2, 0};
    for (const int e : expected) {
        p.tick();
        EXPECT_EQ(at(p.rootTimeline(), 1).timeline()->currentFrame(), e);
    }
    EXPECT_EQ(p.frame(), 1);                               // held on its last frame
    EXPECT_EQ(at(p.rootTimeline(), 1).timeline(), child);  // the same sprite all along
    // The picture follows the sprite's own frame.
    EXPECT_EQ(rgb(stage.render(), 5, 5), rgb(0, 0, 200));
    p.tick();
    EXPECT_EQ(rgb(stage.render(), 5, 5), rgb(60, 0, 200));
}

TEST(DisplayModel, LoopingKeepsWhatTheFirstFramePlacedAndRebuildsTheRest) {
    auto movie = smallMovie();
    const auto inner = colourCycleSprite(movie, 5);
    const auto square = movie.defineShape(solidRect(0, 0, 100, 100, {0, 0, 0, 255}));
    w::Timeline outer;
    outer.placeObject2(w::PlaceObject::place(1, inner));
    outer.placeObject2(w::PlaceObject::place(2, square));
    outer.showFrame();
    outer.removeObject2(2);
    outer.showFrame();
    outer.placeObject2(w::PlaceObject::place(3, square));
    auto moved = w::PlaceObject::modify(1, w::Matrix::translation(500, 0));
    outer.placeObject2(moved);
    outer.showFrame();
    movie.placeObject2(w::PlaceObject::place(1, movie.defineSprite(outer)));
    movie.showFrame();
    Stage stage(movie.finish());
    StagePlayer& p = stage.player();
    const Timeline& sprite = *at(p.rootTimeline(), 1).timeline();
    const Timeline* kept = at(sprite, 1).timeline();
    p.tick();
    p.tick();
    EXPECT_EQ(sprite.currentFrame(), 2);
    EXPECT_EQ(at(sprite, 1).matrix().tx, 500);
    EXPECT_EQ(sprite.objects().count(depthOfTag(2)), 0u);
    p.tick();  // loops
    EXPECT_EQ(sprite.currentFrame(), 0);
    EXPECT_EQ(sprite.objects().count(depthOfTag(3)), 0u);
    ASSERT_EQ(sprite.objects().count(depthOfTag(2)), 1u);
    EXPECT_EQ(at(sprite, 1).timeline(), kept);               // still the same instance...
    EXPECT_EQ(at(sprite, 1).timeline()->currentFrame(), 3);  // ...playing on
    EXPECT_EQ(at(sprite, 1).matrix().tx, 0);                 // with the first frame's matrix
}

TEST(DisplayModel, PlaceReplaceAndRemove) {
    auto movie = smallMovie();
    const auto red = movie.defineShape(solidRect(0, 0, 400, 400, {255, 0, 0, 255}));
    const auto blue = movie.defineShape(solidRect(0, 0, 400, 400, {0, 0, 255, 255}));
    w::ColorTransform half;
    half.mult = {128, 128, 128, 256};
    movie.placeObject1(red, 1, w::Matrix::translation(200, 200), half);
    movie.showFrame();
    // A new character at the same depth keeps the placement's matrix.
    auto swap = w::PlaceObject::modify(1);
    swap.characterId = blue;
    movie.placeObject2(swap);
    movie.showFrame();
    movie.removeObject1(blue, 1);
    movie.showFrame();
    Stage stage(movie.finish());
    // 255 * 128 / 256, rounded down as the format's 8.8 multiply does.
    EXPECT_EQ(rgb(stage.render(), 15, 15), rgb(127, 0, 0));
    stage.player().gotoFrame(1);
    EXPECT_EQ(rgb(stage.render(), 15, 15), rgb(0, 0, 127));
    EXPECT_EQ(at(stage.player().rootTimeline(), 1).characterId(), blue);
    stage.player().gotoFrame(2);
    EXPECT_TRUE(stage.player().rootTimeline().objects().empty());
    EXPECT_EQ(rgb(stage.render(), 15, 15), rgb(255, 255, 255));
}

TEST(DisplayModel, MorphRatioPicksTheStep) {
    auto movie = smallMovie();
    w::ShapeBuilder start;
    start.fill0(start.addFillStyle(w::FillStyle::solid({255, 0, 0, 255})));
    start.rectangle(0, 0, 400, 400);
    w::ShapeBuilder end;
    end.addFillStyle(w::FillStyle::solid({0, 0, 255, 255}));
    end.rectangle(1000, 1000, 800, 800);
    const auto morph = movie.defineMorphShape(start, end);
    for (const std::uint16_t ratio : {0, 32768, 65535}) {
        auto p = ratio == 0 ? w::PlaceObject::place(1, morph) : w::PlaceObject::modify(1);
        p.ratio = ratio;
        movie.placeObject2(p);
        movie.showFrame();
    }
    Stage stage(movie.finish());
    QImage f = stage.render();
    EXPECT_EQ(rgb(f, 10, 10), rgb(255, 0, 0));
    EXPECT_EQ(rgb(f, 60, 60), rgb(255, 255, 255));
    stage.player().gotoFrame(1);
    f = stage.render();
    EXPECT_EQ(rgb(f, 10, 10), rgb(255, 255, 255));
    // Halfway: from (25,25) to (55,55), blue 127.502 rounded down.
    EXPECT_EQ(rgb(f, 30, 30), rgb(127, 0, 127));
    EXPECT_EQ(rgb(f, 56, 56), rgb(255, 255, 255));
    stage.player().gotoFrame(2);
    f = stage.render();
    EXPECT_EQ(rgb(f, 85, 85), rgb(0, 0, 255));
    EXPECT_EQ(rgb(f, 45, 45), rgb(255, 255, 255));
}

TEST(DisplayModel, ButtonsShowTheirUpState) {
    auto movie = smallMovie();
    const auto red = movie.defineShape(solidRect(0, 0, 400, 400, {255, 0, 0, 255}));
    const auto blue = movie.defineShape(solidRect(0, 0, 400, 400, {0, 0, 255, 255}));
    w::ButtonRecordSpec up{1, red, 1, {}, std::nullopt};
    w::ButtonRecordSpec over{2 | 4, blue, 2, {}, std::nullopt};
    w::ButtonRecordSpec hit{8, blue, 3, w::Matrix::translation(1000, 0), std::nullopt};
    movie.placeObject2(w::PlaceObject::place(1, movie.defineButton2({up, over, hit})));
    movie.showFrame();
    Stage stage(movie.finish());
    const QImage f = stage.render();
    EXPECT_EQ(rgb(f, 10, 10), rgb(255, 0, 0));
    EXPECT_EQ(rgb(f, 60, 10), rgb(255, 255, 255));
    const auto* def = at(stage.player().rootTimeline(), 1).character()->as<ButtonDefinition>();
    ASSERT_NE(def, nullptr);
    EXPECT_EQ(def->records.size(), 3u);  // every state kept for later
}

TEST(DisplayModel, FramesBecomePlayableAsTheirBytesArrive) {
    const w::Bytes file = animatedMovie();
    MovieData data;
    StagePlayer player(data);
    std::size_t fed = 0;
    int lastFrames = 0;
    while (fed < file.size()) {
        const std::size_t n = std::min<std::size_t>(37, file.size() - fed);
        data.append(std::span<const std::uint8_t>(file).subspan(fed, n));
        fed += n;
        const int shown = player.gotoFrame(9);
        const int available = static_cast<int>(player.framesAvailable());
        EXPECT_GE(available, lastFrames);
        EXPECT_EQ(shown, available - 1);
        lastFrames = available;
    }
    data.finish();
    EXPECT_EQ(player.gotoFrame(9), 9);
    // What it shows matches a movie loaded at once.
    Stage whole(file);
    whole.player().gotoFrame(9);
    zd::engine::Renderer renderer;
    zd::engine::RenderOptions options;
    options.antialias = false;
    renderer.setOptions(options);
    QImage image(100, 100, QImage::Format_ARGB32_Premultiplied);
    renderer.renderStage(image, QRectF(0, 0, 100, 100), player, data.header()->frameSize,
                         Qt::white);
    EXPECT_EQ(differingPixels(image, whole.render()), 0);
}

TEST(HostileMovies, SelfPlacingSpritesStopAtTheNestingLimit) {
    auto movie = smallMovie();
    const auto square = movie.defineShape(solidRect(0, 0, 200, 200, {0, 0, 0, 255}));
    // Sprite 100 places itself (and a square) — a cycle only a reference by id can make.
    w::Timeline self;
    self.placeObject2(w::PlaceObject::place(1, square));
    self.placeObject2(w::PlaceObject::place(2, 100, w::Matrix::translation(10, 10)));
    self.showFrame();
    movie.defineSprite(self, 100);
    movie.placeObject2(w::PlaceObject::place(1, 100));
    movie.showFrame();
    Stage stage(movie.finish());
    int depth = 0;
    const Timeline* t = &stage.player().rootTimeline();
    while (t != nullptr && t->objects().count(depthOfTag(1))) {
        const auto it = t->objects().find(depthOfTag(t == &stage.player().rootTimeline() ? 1 : 2));
        t = it == t->objects().end() ? nullptr : it->second->timeline();
        ++depth;
    }
    EXPECT_LE(depth, DisplayLimits{}.maxNesting + 1);
    EXPECT_GE(depth, 10);
    EXPECT_EQ(rgb(stage.render(), 5, 5), rgb(0, 0, 0));
    stage.player().setRootLoops(true);
    stage.player().tick();
}

TEST(HostileMovies, ExponentialTreesStopAtTheObjectLimit) {
    auto movie = smallMovie();
    std::uint16_t previous = movie.defineShape(solidRect(0, 0, 100, 100, {0, 0, 0, 255}));
    // Each level places the one below twice: 2^30 objects if nothing stopped it.
    for (int level = 0; level < 30; ++level) {
        w::Timeline t;
        t.placeObject2(w::PlaceObject::place(1, previous));
        t.placeObject2(w::PlaceObject::place(2, previous, w::Matrix::translation(1, 0)));
        t.showFrame();
        t.showFrame();
        previous = movie.defineSprite(t);
    }
    movie.placeObject2(w::PlaceObject::place(1, previous));
    movie.showFrame();
    const w::Bytes file = movie.finish();
    const auto data = MovieData::fromBytes(file);
    DisplayLimits limits;
    limits.maxObjects = 5000;
    StagePlayer player(*data, limits);
    EXPECT_LE(player.context().objects(), limits.maxObjects);
    EXPECT_GT(player.context().objects(), limits.maxObjects / 2);
    player.setRootLoops(true);
    player.tick();
    player.tick();
    EXPECT_LE(player.context().objects(), limits.maxObjects);
    Renderer renderer;
    QImage image(100, 100, QImage::Format_ARGB32_Premultiplied);
    renderer.renderStage(image, QRectF(0, 0, 100, 100), player, data->header()->frameSize,
                         Qt::white);
    EXPECT_EQ(rgb(image, 2, 2), rgb(0, 0, 0));
}

TEST(HostileMovies, AbsurdValuesDrawWhatIsSane) {
    auto movie = smallMovie();
    const auto square = movie.defineShape(solidRect(0, 0, 400, 400, {255, 0, 0, 255}));
    // Undefined character, enormous scale, degenerate gradient matrix, far-off translation.
    movie.placeObject2(w::PlaceObject::place(1, 4242));
    w::PlaceObject huge = w::PlaceObject::place(2, square);
    huge.matrix = w::Matrix::transform(10000, 10000, 0, 0, 0);
    movie.placeObject2(huge);
    w::ShapeBuilder flat;
    w::Gradient g;
    g.stops = {{0, {0, 0, 255, 255}}, {255, {0, 255, 0, 255}}};
    w::Matrix zero;
    zero.scaleX = zero.scaleY = 0;
    flat.fill0(flat.addFillStyle(w::FillStyle::radial(zero, g))).rectangle(0, 0, 400, 400);
    movie.placeObject2(
        w::PlaceObject::place(3, movie.defineShape(flat), w::Matrix::translation(1000, 0)));
    movie.placeObject2(w::PlaceObject::place(4, square, w::Matrix::translation(-1000000000, 0)));
    // Scaled again inside a sprite: millions of pixels across.
    w::Timeline inner;
    auto deep = w::PlaceObject::place(1, square);
    deep.matrix = w::Matrix::transform(10000, 10000, 0, -2000000, -2000000);
    inner.placeObject2(deep);
    inner.showFrame();
    auto outer = w::PlaceObject::place(5, movie.defineSprite(inner));
    outer.matrix = w::Matrix::transform(100, 100, 0, 0, 1500);
    movie.placeObject2(outer);
    movie.showFrame();
    Stage stage(movie.finish());
    const QImage f = stage.render();
    EXPECT_EQ(rgb(f, 55, 25), rgb(255, 0, 0));  // scaled over the whole stage
    EXPECT_EQ(rgb(f, 5, 95), rgb(255, 0, 0));
    EXPECT_EQ(rgb(f, 55, 5), rgb(0, 255, 0));  // a gradient squashed flat: its last colour
    EXPECT_EQ(rgb(f, 50, 90), rgb(255, 0, 0));
}

TEST(HostileMovies, DeeplyNestedMasksStayBounded) {
    auto movie = smallMovie();
    std::uint16_t inner = movie.defineShape(solidRect(0, 0, 2000, 2000, {0, 0, 255, 255}));
    const auto maskShape = movie.defineShape(solidRect(0, 0, 1800, 1800, {0, 0, 0, 255}));
    // Each level masks the one inside it a little smaller than the stage.
    for (int level = 0; level < 25; ++level) {
        w::Timeline t;
        auto mask = w::PlaceObject::place(1, maskShape);
        mask.clipDepth = 2;
        t.placeObject2(mask);
        t.placeObject2(w::PlaceObject::place(2, inner));
        t.showFrame();
        inner = movie.defineSprite(t);
    }
    movie.placeObject2(w::PlaceObject::place(1, inner));
    movie.showFrame();
    Stage stage(movie.finish());
    const QImage f = stage.render();
    EXPECT_EQ(rgb(f, 50, 50), rgb(0, 0, 255));
    EXPECT_EQ(rgb(f, 95, 95), rgb(255, 255, 255));  // the outer masks still apply
}
