#include <gtest/gtest.h>

#include "engine/swf/ByteReader.h"
#include "engine/swf/MovieData.h"
#include "engine/swf/TagCodes.h"
#include "engine/swf/TagWalker.h"
#include "swfwriter/SwfWriter.h"

using namespace zd::swfwriter;

// The one-frame movie dissected in appendix A of the SWF format document (a 1-pixel black
// rectangle outline on white, 550 x 400 at 12 fps), written by our writer byte for byte.
TEST(SwfWriter, ReproducesTheFormatDocumentsDissectedExample) {
    const Bytes expected = {0x46, 0x57, 0x53, 0x03, 0x4F, 0x00, 0x00, 0x00, 0x78, 0x00, 0x05, 0x5F,
                            0x00, 0x00, 0x0F, 0xA0, 0x00, 0x00, 0x0C, 0x01, 0x00, 0x43, 0x02, 0xFF,
                            0xFF, 0xFF, 0xBF, 0x00, 0x23, 0x00, 0x00, 0x00, 0x01, 0x00, 0x70, 0xFB,
                            0x49, 0x97, 0x0D, 0x0C, 0x7D, 0x50, 0x00, 0x01, 0x14, 0x00, 0x00, 0x00,
                            0x00, 0x01, 0x25, 0xC9, 0x92, 0x0D, 0x21, 0xED, 0x48, 0x87, 0x65, 0x30,
                            0x3B, 0x6D, 0xE1, 0xD8, 0xB4, 0x00, 0x00, 0x86, 0x06, 0x06, 0x01, 0x00,
                            0x01, 0x00, 0x00, 0x40, 0x00, 0x00, 0x00};

    MovieWriter movie(3, Rect{0, 11000, 0, 8000}, 12.0);
    movie.setBackgroundColor({0xff, 0xff, 0xff, 255});
    ShapeBuilder outline;
    outline.line(outline.addLineStyle(LineStyle::solid(20, {0, 0, 0, 255})));
    outline.moveTo(4900, 1680)
        .lineTo(4900, 4000)
        .lineTo(2020, 4000)
        .lineTo(2020, 1680)
        .lineTo(4900, 1680);
    const std::uint16_t id = movie.defineShape(outline, 1, std::nullopt, /*longHeader=*/true);
    EXPECT_EQ(id, 1);
    movie.placeObject2(PlaceObject::place(1, id, Matrix{}));
    movie.showFrame();
    EXPECT_EQ(movie.finish(), expected);
}

TEST(SwfWriter, ShortAndLongTagHeaders) {
    Timeline t;
    const Bytes small(62, 1);
    const Bytes big(63, 2);
    t.rawTag(1000, small);
    t.rawTag(1001, big);
    t.rawTag(1002, {}, /*longHeader=*/true);
    const Bytes& tags = t.tags();
    ASSERT_EQ(tags.size(), 2 + 62 + 6 + 63 + 6u);

    zd::engine::TagWalker walker(tags);
    auto a = walker.next();
    auto b = walker.next();
    auto c = walker.next();
    ASSERT_TRUE(a && b && c);
    EXPECT_EQ(a->code, 1000);
    EXPECT_EQ(a->length, 62u);
    EXPECT_EQ(a->bodyOffset, 2u);
    EXPECT_EQ(b->code, 1001);
    EXPECT_EQ(b->length, 63u);
    EXPECT_EQ(b->bodyOffset - b->offset, 6u);
    EXPECT_EQ(c->length, 0u);
    EXPECT_FALSE(walker.next());
    EXPECT_EQ(walker.status(), zd::engine::TagStatus::Ok);
}

TEST(SwfWriter, CountsFramesAndClosesSprites) {
    MovieWriter movie(8, Rect{0, 2000, 0, 2000}, 30.0);
    Timeline sprite;
    sprite.showFrame();
    sprite.showFrame();
    const std::uint16_t spriteId = movie.defineSprite(sprite);
    movie.placeObject2(PlaceObject::place(1, spriteId));
    movie.showFrame();
    movie.frameLabel("two", true);
    movie.showFrame();
    EXPECT_EQ(movie.frameCount(), 2);

    const Bytes file = movie.finish();
    const auto data = zd::engine::MovieData::fromBytes(file);
    ASSERT_NE(data->header(), nullptr);
    EXPECT_EQ(data->header()->frameCount, 2);
    EXPECT_DOUBLE_EQ(data->header()->frameRate(), 30.0);
    EXPECT_EQ(data->timeline().state(), zd::engine::TimelineIndex::State::Ended);
    EXPECT_EQ(data->timeline().showFrameCount(), 2u);
    EXPECT_EQ(data->timeline().spriteShowFrameCount(), 2u);
}

TEST(SwfWriter, LongEdgesAreSplitToFitTheirBitFields) {
    // Deltas of 17 bits are the most an edge record can hold.
    ShapeBuilder s;
    s.line(s.addLineStyle(LineStyle::solid(20, {0, 0, 0, 255})));
    s.moveTo(0, 0).lineTo(200000, 0).curveTo(300000, 100000, 0, 150000);
    EXPECT_NO_THROW(s.encode(1));
    const Rect b = s.edgeBounds();
    EXPECT_EQ(b.xMax, 300000);
    EXPECT_EQ(b.yMax, 150000);
}

TEST(SwfWriter, RejectsWhatAShapeVersionCannotHold) {
    ShapeBuilder s;
    EXPECT_THROW(s.fill0(1), std::invalid_argument);  // no such style yet
    for (int i = 0; i < 255; ++i) {
        s.addFillStyle(FillStyle::solid({0, 0, 0, 255}));
    }
    EXPECT_THROW(s.encode(1), std::invalid_argument);  // DefineShape holds 254 at most
    EXPECT_NO_THROW(s.encode(2));

    ShapeBuilder groups;
    groups.newStyleGroup();
    EXPECT_THROW(groups.encode(1), std::invalid_argument);

    ShapeBuilder focal;
    Gradient g;
    g.stops = {{0, {}}, {255, {}}};
    focal.addFillStyle(FillStyle::focal(Matrix{}, g));
    EXPECT_THROW(focal.encode(3), std::invalid_argument);
    EXPECT_NO_THROW(focal.encode(4));
}

TEST(SwfWriter, CompressedFormsKeepTheHeaderFields) {
    MovieWriter movie(13, Rect{0, 4000, 0, 3000}, 25.0);
    movie.showFrame();
    const Bytes plain = movie.finish();
    for (const Compression c : {Compression::Zlib, Compression::Lzma}) {
        MovieWriter::Output out;
        out.compression = c;
        const Bytes packed = movie.finish(out);
        EXPECT_EQ(packed[0], c == Compression::Zlib ? 'C' : 'Z');
        EXPECT_TRUE(std::equal(packed.begin() + 1, packed.begin() + 8, plain.begin() + 1));
        const auto data = zd::engine::MovieData::fromBytes(packed);
        ASSERT_NE(data->header(), nullptr) << data->problem();
        EXPECT_TRUE(std::equal(data->data().begin() + 8, data->data().end(), plain.begin() + 8,
                               plain.end()));
        EXPECT_EQ(data->data().size(), plain.size());
    }
}

// The gradient square's ramp (its x axis, -16384..16384) spans the box at any angle.
TEST(SwfWriter, GradientBoxMapsTheRampAcrossTheBox) {
    auto map = [](const Matrix& m, double x, double y) {
        return std::pair<double, double>{m.scaleX * x + m.rotateSkew1 * y + m.translateX,
                                         m.rotateSkew0 * x + m.scaleY * y + m.translateY};
    };
    const Matrix flat = gradientBox(1000, 2000, 11000, 8000);
    EXPECT_NEAR(map(flat, -16384, 0).first, 1000, 1e-6);
    EXPECT_NEAR(map(flat, 16384, 0).first, 12000, 1e-6);
    EXPECT_NEAR(map(flat, 0, 16384).second, 10000, 1e-6);

    const Matrix down = gradientBox(0, 0, 11000, 8000, 90);
    const auto [x0, y0] = map(down, -16384, 0);
    const auto [x1, y1] = map(down, 16384, 0);
    EXPECT_NEAR(x0, 5500, 1e-6);
    EXPECT_NEAR(y0, 0, 1e-6);
    EXPECT_NEAR(x1, 5500, 1e-6);
    EXPECT_NEAR(y1, 8000, 1e-6);
}
