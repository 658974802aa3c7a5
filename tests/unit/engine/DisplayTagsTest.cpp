// PlaceObject's clip actions: read as the movie's version stores them, kept on the object
// placed, pointing at the right bytes.
#include <gtest/gtest.h>

#include "RenderSupport.h"
#include "engine/player/StagePlayer.h"
#include "engine/swf/DisplayTags.h"

using namespace zd::engine;
using namespace zd::test;
namespace w = zd::swfwriter;

namespace {

void u16(w::Bytes& b, std::uint16_t v) {
    b.push_back(static_cast<std::uint8_t>(v & 0xff));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}

void u32(w::Bytes& b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }
}

// CLIPEVENTFLAGS bytes: four for SWF 6 and later, the first two before.
void events(w::Bytes& b, std::uint8_t b0, std::uint8_t b1, std::uint8_t b2, int swfVersion) {
    b.push_back(b0);
    b.push_back(b1);
    if (swfVersion >= 6) {
        b.push_back(b2);
        b.push_back(0);
    }
}

// PlaceObject2 of character `id` at depth 1, named "c", with two handlers: enterFrame
// (actions 07 00) and a key press of key 0x20 (actions 06 00).
w::Bytes placeWithClipActions(std::uint16_t id, int swfVersion) {
    w::Bytes b{0x80 | 0x20 | 0x02};
    u16(b, 1);
    u16(b, id);
    b.push_back('c');
    b.push_back(0);
    u16(b, 0);                             // reserved
    events(b, 0x02, 0, 0x02, swfVersion);  // all events
    events(b, 0x02, 0, 0, swfVersion);     // enterFrame
    u32(b, 2);
    b.push_back(0x07);
    b.push_back(0x00);
    if (swfVersion >= 6) {
        events(b, 0, 0, 0x02, swfVersion);  // key press
        u32(b, 3);
        b.push_back(0x20);
        b.push_back(0x06);
        b.push_back(0x00);
        u32(b, 0);
    } else {
        u16(b, 0);
    }
    return b;
}

}  // namespace

TEST(ClipActions, ReadWithTheFlagsOfTheMoviesVersion) {
    for (const int version : {5, 6}) {
        SCOPED_TRACE(version);
        const w::Bytes body = placeWithClipActions(3, version);
        const auto p = parsePlaceObject(body, 2, version);
        ASSERT_TRUE(p.has_value());
        EXPECT_EQ(p->name, std::optional<std::string>("c"));
        EXPECT_TRUE(p->hasClipActions);
        ASSERT_EQ(p->clipActions.size(), version >= 6 ? 2u : 1u);
        const ClipActionRecord& enter = p->clipActions[0];
        EXPECT_EQ(enter.events, kClipEnterFrame);
        EXPECT_EQ(body[enter.codeBegin], 0x07);
        EXPECT_EQ(enter.codeEnd - enter.codeBegin, 2u);
        if (version >= 6) {
            const ClipActionRecord& key = p->clipActions[1];
            EXPECT_EQ(key.events, kClipKeyPress);
            EXPECT_EQ(key.keyCode, 0x20);
            EXPECT_EQ(body[key.codeBegin], 0x06);
            EXPECT_EQ(key.codeEnd, body.size() - 4);
        }
    }
    // Every flag lands on its own bit.
    w::Bytes all{0x80};
    u16(all, 1);
    u16(all, 0);
    events(all, 0xff, 0xff, 0x07, 6);
    events(all, 0xff, 0xff, 0x07, 6);
    u32(all, 2);
    all.push_back(0x20);  // the key code (key press is among them)
    all.push_back(0);
    u32(all, 0);
    const auto p = parsePlaceObject(all, 2, 6);
    ASSERT_TRUE(p && p->clipActions.size() == 1);
    EXPECT_EQ(p->clipActions[0].events, (1u << 19) - 1);
}

TEST(ClipActions, ARecordRunningPastTheTagEndsTheList) {
    w::Bytes b = placeWithClipActions(3, 6);
    // The second record claims more bytes than follow.
    const std::size_t sizeAt = b.size() - 4 - 3 - 4;
    b[sizeAt] = 0xff;
    const auto p = parsePlaceObject(b, 2, 6);
    ASSERT_TRUE(p.has_value());
    ASSERT_EQ(p->clipActions.size(), 1u);
    EXPECT_EQ(p->clipActions[0].events, kClipEnterFrame);
    // SWF 4 and earlier have no clip actions to read.
    EXPECT_TRUE(parsePlaceObject(placeWithClipActions(3, 5), 2, 4)->clipActions.empty());
}

TEST(ClipActions, ThePlacedObjectPointsAtItsActionBytes) {
    auto movie = smallMovie();
    w::Timeline one;
    one.showFrame();
    const auto clip = movie.defineSprite(one);
    movie.rawTag(26, placeWithClipActions(clip, 10));
    movie.showFrame();
    const auto data = MovieData::fromBytes(movie.finish());
    StagePlayer player(*data);
    const DisplayObject* c = player.rootTimeline().childByName("c", false);
    ASSERT_NE(c, nullptr);
    ASSERT_EQ(c->clipActions().size(), 2u);
    const auto enter = player.context().bytes(c->clipActions()[0].code);
    EXPECT_EQ(std::vector<std::uint8_t>(enter.begin(), enter.end()),
              (std::vector<std::uint8_t>{0x07, 0x00}));
    EXPECT_EQ(c->clipActions()[1].keyCode, 0x20);
    EXPECT_EQ(player.context().bytes(c->clipActions()[1].code).front(), 0x06);
    // A copy made by a script answers the same events.
    DisplayObject* copy = player.rootTimeline().duplicate(*c, 3, "d");
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->clipActions().size(), 2u);
}
