#include <gtest/gtest.h>

#include <QPainterPath>

#include "engine/player/Dictionary.h"
#include "engine/render/ShapePaths.h"
#include "engine/swf/ByteReader.h"
#include "engine/swf/MovieData.h"
#include "swfwriter/SwfWriter.h"

using namespace zd::engine;
namespace w = zd::swfwriter;

namespace {

// Writes the shape into a movie and reads it back through the dictionary.
struct Parsed {
    std::unique_ptr<MovieData> movie;
    Dictionary dictionary;
    CharacterPtr character;

    const ShapeDefinition& shape() const { return *character->as<ShapeDefinition>(); }
};

std::unique_ptr<Parsed> parse(const w::ShapeBuilder& builder, int version) {
    w::MovieWriter writer(10, {0, 2000, 0, 2000}, 12);
    const std::uint16_t id = writer.defineShape(builder, version);
    writer.showFrame();
    auto p = std::make_unique<Parsed>();
    p->movie = MovieData::fromBytes(writer.finish());
    p->dictionary.update(p->movie->data(), p->movie->header()->size,
                         p->movie->timeline().scannedOffset());
    p->character = p->dictionary.get(id, p->movie->data());
    return p;
}

// Two unit squares side by side sharing the edge x = 100: the left one fill 1, the right one
// fill 2, drawn as a single outline with fill0/fill1 on each edge the way authoring tools do.
w::ShapeBuilder sharedEdgeSquares() {
    w::ShapeBuilder s;
    const int red = s.addFillStyle(w::FillStyle::solid({255, 0, 0, 255}));
    const int blue = s.addFillStyle(w::FillStyle::solid({0, 0, 255, 255}));
    // Outer outline of the left square, filled on the right-hand side of travel.
    s.fill0(0).fill1(red).moveTo(0, 0).lineTo(100, 0);
    // The shared edge: red on one side, blue on the other.
    s.fill0(blue).fill1(red).lineTo(100, 100);
    s.fill0(0).fill1(red).lineTo(0, 100).lineTo(0, 0);
    // The rest of the right square.
    s.fill0(0).fill1(blue).moveTo(100, 0).lineTo(200, 0).lineTo(200, 100).lineTo(100, 100);
    return s;
}

}  // namespace

TEST(ShapeParsing, StylesAndAbsoluteEdgesOfEveryVersion) {
    for (int version = 1; version <= 4; ++version) {
        SCOPED_TRACE(version);
        w::ShapeBuilder b;
        const int fill = b.addFillStyle(w::FillStyle::solid({10, 20, 30, 255}));
        w::LineStyle line = w::LineStyle::solid(60, {1, 2, 3, 255});
        line.startCap = w::LineStyle::Cap::Square;
        line.endCap = w::LineStyle::Cap::None;
        line.join = w::LineStyle::Join::Miter;
        line.miterLimit = 4.5;
        line.noHScale = true;
        b.line(b.addLineStyle(line))
            .fill0(fill)
            .moveTo(-100, 50)
            .lineTo(300, 50)
            .curveTo(400, 150, 300, 250);
        const auto p = parse(b, version);
        ASSERT_NE(p->character, nullptr);
        const ShapeDefinition& s = p->shape();
        EXPECT_FALSE(s.truncated);
        ASSERT_EQ(s.styleGroups.size(), 1u);
        ASSERT_EQ(s.styleGroups[0].fills.size(), 1u);
        EXPECT_EQ(s.styleGroups[0].fills[0].color, (Rgba{10, 20, 30, 255}));
        const LineStyle& l = s.styleGroups[0].lines.at(0);
        EXPECT_EQ(l.width, 60);
        EXPECT_EQ(l.color, (Rgba{1, 2, 3, 255}));
        if (version == 4) {
            EXPECT_EQ(l.startCap, LineStyle::SquareCap);
            EXPECT_EQ(l.endCap, LineStyle::NoCap);
            EXPECT_EQ(l.join, LineStyle::MiterJoin);
            EXPECT_DOUBLE_EQ(l.miterLimit, 4.5);
            EXPECT_TRUE(l.noHScale);
        }
        ASSERT_EQ(s.records.size(), 3u);
        EXPECT_EQ(s.records[0].moveTo, (Point{-100, 50}));
        EXPECT_EQ(s.records[1].kind, ShapeRecord::Straight);
        EXPECT_EQ(s.records[1].to, (Point{300, 50}));
        EXPECT_EQ(s.records[2].kind, ShapeRecord::Curved);
        EXPECT_EQ(s.records[2].control, (Point{400, 150}));
        EXPECT_EQ(s.records[2].to, (Point{300, 250}));
    }
}

TEST(ShapeParsing, GradientsFocalPointAndFilledStrokes) {
    w::ShapeBuilder b;
    w::Gradient g;
    g.stops = {{0, {255, 0, 0, 255}}, {128, {0, 255, 0, 128}}, {255, {0, 0, 255, 0}}};
    g.spread = w::Gradient::Spread::Reflect;
    g.interpolation = w::Gradient::Interpolation::Linear;
    g.focalPoint = -0.5;
    const int focal = b.addFillStyle(w::FillStyle::focal(w::gradientBox(0, 0, 1000, 500), g));
    w::LineStyle stroke = w::LineStyle::solid(100, {});
    stroke.fill = w::FillStyle::linear(w::gradientBox(0, 0, 1000, 1000), g);
    b.line(b.addLineStyle(stroke)).fill0(focal).rectangle(0, 0, 1000, 500);
    const auto p = parse(b, 4);
    const FillStyle& f = p->shape().styleGroups[0].fills.at(0);
    EXPECT_EQ(f.type, FillStyle::FocalGradient);
    EXPECT_EQ(f.gradient.spread, Gradient::Reflect);
    EXPECT_TRUE(f.gradient.linearRgb);
    EXPECT_DOUBLE_EQ(f.gradient.focalPoint, -0.5);
    ASSERT_EQ(f.gradient.records.size(), 3u);
    EXPECT_EQ(f.gradient.records[1].ratio, 128);
    EXPECT_EQ(f.gradient.records[2].color, (Rgba{0, 0, 255, 0}));
    // The gradient square maps onto the box: its centre is the box's centre.
    EXPECT_EQ(f.matrix.tx, 500);
    EXPECT_EQ(f.matrix.ty, 250);
    EXPECT_NEAR(f.matrix.a, 1000.0 / 32768.0, 1e-4);
    const LineStyle& l = p->shape().styleGroups[0].lines.at(0);
    ASSERT_TRUE(l.fill.has_value());
    EXPECT_EQ(l.fill->type, FillStyle::LinearGradient);
}

TEST(ShapeParsing, NewStyleGroupsStartTheirOwnArrays) {
    w::ShapeBuilder b;
    b.fill0(b.addFillStyle(w::FillStyle::solid({255, 0, 0, 255}))).rectangle(0, 0, 100, 100);
    b.newStyleGroup();
    b.fill0(b.addFillStyle(w::FillStyle::solid({0, 255, 0, 255}))).rectangle(50, 50, 100, 100);
    const auto p = parse(b, 2);
    const ShapeDefinition& s = p->shape();
    ASSERT_EQ(s.styleGroups.size(), 2u);
    EXPECT_EQ(s.styleGroups[1].fills.at(0).color, (Rgba{0, 255, 0, 255}));
    const ShapePaths paths = buildShapePaths(s);
    ASSERT_EQ(paths.groups.size(), 2u);
    ASSERT_EQ(paths.groups[1].fills.size(), 1u);
    EXPECT_EQ(paths.groups[1].fills[0].style.color, (Rgba{0, 255, 0, 255}));
    EXPECT_TRUE(paths.groups[1].fills[0].path.contains(QPointF(140, 140)));
    EXPECT_FALSE(paths.groups[1].fills[0].path.contains(QPointF(20, 20)));
    EXPECT_TRUE(paths.groups[0].fills[0].path.contains(QPointF(20, 20)));
}

TEST(ShapeParsing, DamagedAndOversizedRecordsStopSafely) {
    w::ShapeBuilder b;
    b.fill0(b.addFillStyle(w::FillStyle::solid({1, 1, 1, 255}))).rectangle(0, 0, 100, 100);
    const w::Bytes full = b.encode(3);
    // Cut at every length: never a read past the end, the records read so far are kept.
    for (std::size_t cut = 0; cut < full.size(); ++cut) {
        ByteReader in(std::span<const std::uint8_t>(full).first(cut));
        ShapeDefinition s;
        s.styleGroups.emplace_back();
        readFillStyles(in, 3, s.styleGroups[0].fills);
        readLineStyles(in, 3, s.styleGroups[0].lines);
        readShapeRecords(in, 3, s);
        EXPECT_LE(s.records.size(), 5u);
    }
    // More edges than a shape may hold: cut at the limit, marked as truncated.
    w::BitWriter edges;
    edges.ub(0, 4);
    edges.ub(0, 4);
    for (std::size_t i = 0; i < kMaxShapeEdges + 10; ++i) {
        edges.ub(0b11, 2);  // straight edge
        edges.ub(0, 4);     // 2-bit deltas
        edges.ub(0, 1);     // horizontal or vertical
        edges.ub(0, 1);     // horizontal
        edges.sb(1, 2);
    }
    edges.ub(0, 6);
    ByteReader in(edges.data());
    ShapeDefinition s;
    s.styleGroups.emplace_back();
    readShapeRecords(in, 3, s);
    EXPECT_TRUE(s.truncated);
    EXPECT_EQ(s.records.size(), kMaxShapeEdges);
    EXPECT_EQ(s.records.back().to.x, static_cast<std::int32_t>(kMaxShapeEdges));
}

TEST(ShapePaths, SharedEdgeBoundsBothFills) {
    const auto p = parse(sharedEdgeSquares(), 1);
    const ShapePaths paths = buildShapePaths(p->shape());
    ASSERT_EQ(paths.groups.size(), 1u);
    ASSERT_EQ(paths.groups[0].fills.size(), 2u);
    const QPainterPath& red = paths.groups[0].fills[0].path;
    const QPainterPath& blue = paths.groups[0].fills[1].path;
    EXPECT_TRUE(red.contains(QPointF(50, 50)));
    EXPECT_FALSE(red.contains(QPointF(150, 50)));
    EXPECT_TRUE(blue.contains(QPointF(150, 50)));
    EXPECT_FALSE(blue.contains(QPointF(50, 50)));
    // Each fill is one closed outline, the shared edge used by both.
    EXPECT_EQ(red.toSubpathPolygons().size(), 1u);
    EXPECT_EQ(blue.toSubpathPolygons().size(), 1u);
    EXPECT_EQ(red.boundingRect(), QRectF(0, 0, 100, 100));
    EXPECT_EQ(blue.boundingRect(), QRectF(100, 0, 100, 100));
}

TEST(ShapePaths, StyleChangesMidOutlineAndHoles) {
    w::ShapeBuilder b;
    const int a = b.addFillStyle(w::FillStyle::solid({255, 0, 0, 255}));
    const int c = b.addFillStyle(w::FillStyle::solid({0, 0, 255, 255}));
    // A square whose fill changes halfway round: the edges after the change belong to the
    // second style only, so neither closes by itself into the whole square.
    b.fill1(a).moveTo(0, 0).lineTo(100, 0).lineTo(100, 100);
    b.fill1(c).lineTo(0, 100).lineTo(0, 0);
    // A hole: an inner square traced with the fill on its other side.
    b.fill1(0).fill0(0);
    b.fill0(a).moveTo(300, 0).lineTo(600, 0).lineTo(600, 300).lineTo(300, 300).lineTo(300, 0);
    b.fill0(0).fill1(a).moveTo(400, 100).lineTo(500, 100).lineTo(500, 200).lineTo(400, 200).lineTo(
        400, 100);
    const auto p = parse(b, 2);
    const ShapePaths paths = buildShapePaths(p->shape());
    ASSERT_EQ(paths.groups[0].fills.size(), 2u);
    const QPainterPath& first = paths.groups[0].fills[0].path;
    EXPECT_TRUE(first.contains(QPointF(350, 50)));
    EXPECT_FALSE(first.contains(QPointF(450, 150)));  // the hole
    EXPECT_TRUE(first.contains(QPointF(90, 10)));     // the triangle below (0,0)-(100,0)-(100,100)
    EXPECT_FALSE(first.contains(QPointF(10, 90)));
    const QPainterPath& second = paths.groups[0].fills[1].path;
    EXPECT_TRUE(second.contains(QPointF(10, 90)));
    EXPECT_FALSE(second.contains(QPointF(90, 10)));
}

TEST(ShapePaths, StrokesFollowTheLineStyleAndCloseOnlyWhenTheyMeet) {
    w::ShapeBuilder b;
    const int thin = b.addLineStyle(w::LineStyle::solid(20, {0, 0, 0, 255}));
    const int thick = b.addLineStyle(w::LineStyle::solid(200, {0, 0, 0, 255}));
    b.line(thin).rectangle(0, 0, 100, 100);
    b.line(thick).moveTo(500, 0).lineTo(600, 0).lineTo(600, 100);
    const auto p = parse(b, 1);
    const ShapePaths paths = buildShapePaths(p->shape());
    ASSERT_EQ(paths.groups[0].strokes.size(), 2u);
    EXPECT_EQ(paths.groups[0].strokes[0].style.width, 20);
    EXPECT_EQ(paths.groups[0].strokes[1].style.width, 200);
    const QPainterPath& closed = paths.groups[0].strokes[0].path;
    const QPainterPath& open = paths.groups[0].strokes[1].path;
    // A closed outline ends on its start with a close element; the open one does not.
    EXPECT_EQ(closed.elementAt(closed.elementCount() - 1).x, 0);
    EXPECT_EQ(open.elementCount(), 3);
    EXPECT_TRUE(paths.groups[0].fills.empty());
}

TEST(MorphShapes, ColoursBetweenTheEndsRoundDown) {
    w::MovieWriter writer(10, {0, 2000, 0, 2000}, 12);
    w::ShapeBuilder start;
    start.fill0(start.addFillStyle(w::FillStyle::solid({255, 0, 0, 255})));
    start.moveTo(0, 0).lineTo(100, 0).lineTo(100, 100).lineTo(0, 0);
    w::ShapeBuilder end;
    end.addFillStyle(w::FillStyle::solid({0, 0, 255, 255}));
    end.moveTo(0, 0).lineTo(100, 0).lineTo(100, 100).lineTo(0, 0);
    const std::uint16_t id = writer.defineMorphShape(start, end);
    const auto movie = MovieData::fromBytes(writer.finish());
    Dictionary d;
    d.update(movie->data(), movie->header()->size, movie->timeline().scannedOffset());
    const CharacterPtr c = d.get(id, movie->data());
    ASSERT_NE(c, nullptr);
    const auto* m = c->as<MorphShapeDefinition>();
    ASSERT_NE(m, nullptr);
    // Two thirds of the way: 84.99 red and 170.01 blue.
    EXPECT_EQ(morphAt(*m, 0xaaab).styleGroups[0].fills[0].color, (Rgba{84, 0, 170, 255}));
    EXPECT_EQ(morphAt(*m, 0).styleGroups[0].fills[0].color, (Rgba{255, 0, 0, 255}));
    EXPECT_EQ(morphAt(*m, 65535).styleGroups[0].fills[0].color, (Rgba{0, 0, 255, 255}));
}

TEST(MorphShapes, InterpolateEdgesColoursAndWidths) {
    w::MovieWriter writer(10, {0, 2000, 0, 2000}, 12);
    w::ShapeBuilder start;
    start.fill0(start.addFillStyle(w::FillStyle::solid({0, 0, 0, 255})));
    start.line(start.addLineStyle(w::LineStyle::solid(20, {0, 0, 0, 255})));
    start.moveTo(0, 0).lineTo(100, 0).lineTo(100, 100).lineTo(0, 0);
    w::ShapeBuilder end;
    end.addFillStyle(w::FillStyle::solid({200, 100, 50, 55}));
    end.addLineStyle(w::LineStyle::solid(220, {0, 0, 0, 255}));
    // The second edge turns into a curve at the end: a straight start edge pairs with it.
    end.moveTo(1000, 0).lineTo(1200, 0).curveTo(1400, 100, 1200, 200).lineTo(1000, 0);
    const std::uint16_t id = writer.defineMorphShape(start, end);
    const auto movie = MovieData::fromBytes(writer.finish());
    Dictionary d;
    d.update(movie->data(), movie->header()->size, movie->timeline().scannedOffset());
    const CharacterPtr c = d.get(id, movie->data());
    ASSERT_NE(c, nullptr);
    const auto* m = c->as<MorphShapeDefinition>();
    ASSERT_NE(m, nullptr);

    const ShapeDefinition first = morphAt(*m, 0);
    const ShapeDefinition last = morphAt(*m, 65535);
    const ShapeDefinition half = morphAt(*m, 32768);
    ASSERT_EQ(half.records.size(), 4u);
    EXPECT_EQ(first.records[0].moveTo, (Point{0, 0}));
    EXPECT_EQ(last.records[0].moveTo, (Point{1000, 0}));
    EXPECT_EQ(half.records[0].moveTo, (Point{500, 0}));
    EXPECT_EQ(half.records[1].to, (Point{650, 0}));
    EXPECT_EQ(half.records[2].kind, ShapeRecord::Curved);
    // Start control point taken halfway along the straight edge: (100, 50).
    EXPECT_EQ(half.records[2].control, (Point{750, 75}));
    EXPECT_EQ(half.records[2].to, (Point{650, 150}));
    EXPECT_EQ(last.records[2].control, (Point{1400, 100}));
    // Alpha 255 to 55 at 32768/65535 is 154.998: rounded down.
    EXPECT_EQ(half.styleGroups[0].fills[0].color, (Rgba{100, 50, 25, 154}));
    EXPECT_EQ(half.styleGroups[0].lines[0].width, 120);
    EXPECT_EQ(first.styleGroups[0].lines[0].width, 20);
}
