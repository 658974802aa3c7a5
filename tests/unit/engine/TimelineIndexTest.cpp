#include <gtest/gtest.h>

#include "TestSupport.h"
#include "engine/swf/MovieData.h"
#include "engine/swf/TagCodes.h"
#include "engine/swf/TagWalker.h"

using namespace zd::engine;
using namespace zd::swfwriter;
using zd::test::Bytes;

namespace {

MovieWriter smallStage() {
    return MovieWriter(8, zd::swfwriter::Rect{0, 2000, 0, 1000}, 12.0);
}

Bytes u16le(std::uint16_t v) {
    return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)};
}

}  // namespace

TEST(TimelineIndex, SpriteFramesAreNotRootFrames) {
    MovieWriter movie = smallStage();
    Timeline inner;
    for (int i = 0; i < 5; ++i) {
        inner.showFrame();
    }
    movie.defineSprite(inner);
    movie.showFrame();
    movie.defineSprite(inner);
    movie.showFrame();
    const auto data = MovieData::fromBytes(movie.finish());
    EXPECT_EQ(data->timeline().showFrameCount(), 2u);
    EXPECT_EQ(data->timeline().spriteCount(), 2u);
    EXPECT_EQ(data->timeline().spriteShowFrameCount(), 10u);
    EXPECT_EQ(data->timeline().state(), TimelineIndex::State::Ended);
}

TEST(TimelineIndex, FrameRangesCoverEachFramesTags) {
    MovieWriter movie = smallStage();
    movie.rawTag(1000, Bytes(10, 0));
    movie.showFrame();
    movie.showFrame();
    movie.rawTag(1000, Bytes(70, 0));  // long header
    movie.showFrame();
    const Bytes file = movie.finish();
    const auto data = MovieData::fromBytes(file);
    const auto& frames = data->timeline().frames();
    ASSERT_EQ(frames.size(), 3u);
    const std::size_t start = data->header()->size;
    EXPECT_EQ(frames[0].begin, start);
    EXPECT_EQ(frames[0].end, start + 12 + 2);
    EXPECT_EQ(frames[1].begin, frames[0].end);
    EXPECT_EQ(frames[1].end, frames[1].begin + 2);
    EXPECT_EQ(frames[2].end, frames[2].begin + 6 + 70 + 2);
    // Walking a frame's bytes finds its tags, ShowFrame last.
    TagWalker walker(data->data().first(frames[2].end), frames[2].begin);
    auto first = walker.next();
    auto second = walker.next();
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->code, 1000);
    EXPECT_EQ(second->code, static_cast<std::uint16_t>(TagCode::ShowFrame));
    EXPECT_FALSE(walker.next());
}

TEST(TimelineIndex, BackgroundColourPerFrame) {
    MovieWriter movie = smallStage();
    movie.showFrame();  // frame 0: none set yet
    movie.setBackgroundColor({255, 0, 0, 255});
    movie.showFrame();
    movie.showFrame();
    movie.setBackgroundColor({0, 0, 255, 255});
    movie.showFrame();
    const auto data = MovieData::fromBytes(movie.finish());
    const TimelineIndex& t = data->timeline();
    EXPECT_FALSE(t.backgroundAt(0));
    EXPECT_EQ(t.backgroundAt(1), (zd::engine::Rgba{255, 0, 0, 255}));
    EXPECT_EQ(t.backgroundAt(2), (zd::engine::Rgba{255, 0, 0, 255}));
    EXPECT_EQ(t.backgroundAt(3), (zd::engine::Rgba{0, 0, 255, 255}));
    EXPECT_EQ(t.backgroundAt(99), (zd::engine::Rgba{0, 0, 255, 255}));
}

TEST(TimelineIndex, ShortSetBackgroundColorIsIgnored) {
    MovieWriter movie = smallStage();
    movie.rawTag(static_cast<std::uint16_t>(TagCode::SetBackgroundColor), Bytes{1, 2});
    movie.showFrame();
    const auto data = MovieData::fromBytes(movie.finish());
    EXPECT_FALSE(data->timeline().backgroundAt(0));
    EXPECT_EQ(data->timeline().showFrameCount(), 1u);
}

TEST(TimelineIndex, TheEndTagEndsTheTimeline) {
    MovieWriter movie = smallStage();
    movie.showFrame();
    movie.end();
    movie.showFrame();  // after End: not part of the movie
    const auto data = MovieData::fromBytes(movie.finish());
    EXPECT_EQ(data->timeline().showFrameCount(), 1u);
    EXPECT_EQ(data->timeline().state(), TimelineIndex::State::Ended);
}

TEST(TimelineIndex, NegativeLongLengthIsMalformed) {
    MovieWriter movie = smallStage();
    movie.showFrame();
    MovieWriter::Output open;
    open.endTag = false;
    Bytes file = movie.finish(open);
    // A long header whose length has the sign bit set.
    const Bytes code = u16le(static_cast<std::uint16_t>(1000 << 6 | 0x3f));
    file.insert(file.end(), code.begin(), code.end());
    file.insert(file.end(), {0xff, 0xff, 0xff, 0xff});
    file.insert(file.end(), 32, 0);
    for (int i = 0; i < 4; ++i) {
        file[4 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(file.size() >> (8 * i));
    }
    MovieData data;
    data.append(file);  // malformed is known without waiting for the end
    EXPECT_EQ(data.timeline().state(), TimelineIndex::State::Malformed);
    EXPECT_EQ(data.framesLoaded(), 1u);
}

// A tag whose body runs past the file length can never arrive: the index stops there at once,
// without waiting for the source to end.
TEST(TimelineIndex, TagBeyondTheFileLengthIsTruncation) {
    MovieWriter movie = smallStage();
    movie.showFrame();
    movie.rawTag(1000, Bytes(100, 0));
    movie.showFrame();
    const Bytes plain = movie.finish();
    Bytes file = plain;
    const std::uint32_t length = static_cast<std::uint32_t>(plain.size() - 60);
    for (int i = 0; i < 4; ++i) {
        file[4 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(length >> (8 * i));
    }
    MovieData data;
    data.append(std::span(file).first(file.size() - 70));
    EXPECT_EQ(data.timeline().state(), TimelineIndex::State::Truncated);
    EXPECT_EQ(data.framesLoaded(), 1u);
}

TEST(TimelineIndex, DamagedSpritesAreSkipped) {
    MovieWriter movie = smallStage();
    movie.rawTag(static_cast<std::uint16_t>(TagCode::DefineSprite), Bytes{1, 0});  // too short
    // A sprite whose inner tag claims more than the sprite holds.
    Bytes sprite = {2, 0, 1, 0};
    const Bytes inner = u16le(static_cast<std::uint16_t>(1 << 6 | 0x3f));
    sprite.insert(sprite.end(), inner.begin(), inner.end());
    sprite.insert(sprite.end(), {0x00, 0x10, 0x00, 0x00});
    movie.rawTag(static_cast<std::uint16_t>(TagCode::DefineSprite), sprite);
    movie.showFrame();
    const auto data = MovieData::fromBytes(movie.finish());
    EXPECT_EQ(data->timeline().showFrameCount(), 1u);
    EXPECT_EQ(data->timeline().spriteCount(), 2u);
    EXPECT_EQ(data->timeline().spriteShowFrameCount(), 0u);
    EXPECT_EQ(data->timeline().state(), TimelineIndex::State::Ended);
}

TEST(TimelineIndex, NestedSpritesAreFollowedOnlySoDeep) {
    // 50 sprites each inside the next, each with one frame: bounded work, no deep recursion.
    const std::uint16_t spriteCode = static_cast<std::uint16_t>(TagCode::DefineSprite);
    Bytes spriteBody = {1, 0, 1, 0, 0x40, 0x00, 0x00, 0x00};  // one ShowFrame, End
    for (int depth = 0; depth < 50; ++depth) {
        Timeline t;
        t.rawTag(spriteCode, spriteBody);
        Bytes outer = {1, 0, 1, 0};
        outer.insert(outer.end(), t.tags().begin(), t.tags().end());
        outer.insert(outer.end(), {0x40, 0x00, 0x00, 0x00});
        spriteBody = outer;
    }
    MovieWriter movie = smallStage();
    movie.rawTag(spriteCode, spriteBody);
    movie.showFrame();
    const auto data = MovieData::fromBytes(movie.finish());
    EXPECT_EQ(data->timeline().showFrameCount(), 1u);
    EXPECT_GE(data->timeline().spriteCount(), 2u);
    EXPECT_LE(data->timeline().spriteCount(), 5u);
    EXPECT_EQ(data->timeline().spriteShowFrameCount(), data->timeline().spriteCount());
}

TEST(TagWalker, StopsOnAShortHeaderOrBody) {
    const Bytes shortHeader = {0x40};
    TagWalker a(shortHeader);
    EXPECT_FALSE(a.next());
    EXPECT_EQ(a.status(), TagStatus::NeedMore);
    EXPECT_EQ(a.pending().bodyOffset, 0u);

    const Bytes shortBody = {0x45, 0x00, 1, 2, 3};  // code 1, length 5, 3 bytes present
    TagWalker b(shortBody);
    EXPECT_FALSE(b.next());
    EXPECT_EQ(b.status(), TagStatus::NeedMore);
    EXPECT_EQ(b.pending().end(), 7u);

    const Bytes shortLong = {0x7f, 0x00, 0x10, 0x00};  // long header cut inside its length
    TagWalker c(shortLong);
    EXPECT_FALSE(c.next());
    EXPECT_EQ(c.status(), TagStatus::NeedMore);
}

TEST(TagCodes, Names) {
    EXPECT_STREQ(tagName(39), "DefineSprite");
    EXPECT_STREQ(tagName(83), "DefineShape4");
    EXPECT_EQ(tagName(3), nullptr);
    EXPECT_EQ(tagName(1000), nullptr);
}
