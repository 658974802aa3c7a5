// Antialiased frames with lines, shapes far larger than the picture and frames drawn again:
// what the renderer's own stroker and shaders paint.

#include <gtest/gtest.h>

#include "RenderSupport.h"

using namespace zd::test;
namespace w = zd::swfwriter;

namespace {

int channelDistance(QRgb a, QRgb b) {
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                     std::abs(qBlue(a) - qBlue(b))});
}

}  // namespace

TEST(RenderLines, ThickLinesCoverTheirCapsAndJoinsAntialiased) {
    // A 10-pixel line with square caps along whole pixels: exactly its rectangle, caps
    // included; the same with no caps stops at its ends; round caps cover half a disc.
    auto movie = smallMovie();
    w::ShapeBuilder s;
    w::LineStyle square = w::LineStyle::solid(200, {0, 0, 255, 255});
    square.startCap = square.endCap = w::LineStyle::Cap::Square;
    s.line(s.addLineStyle(square)).moveTo(400, 300).lineTo(1600, 300);
    w::LineStyle flat = square;
    flat.startCap = flat.endCap = w::LineStyle::Cap::None;
    s.line(s.addLineStyle(flat)).moveTo(400, 900).lineTo(1600, 900);
    w::LineStyle round = square;
    round.startCap = round.endCap = w::LineStyle::Cap::Round;
    s.line(s.addLineStyle(round)).moveTo(400, 1500).lineTo(1600, 1500);
    movie.placeObject2(w::PlaceObject::place(1, movie.defineShape(s, 4)));
    movie.showFrame();
    Stage stage(movie.finish(), true);
    const QImage frame = stage.render();
    EXPECT_EQ(rgb(frame, 15, 12), rgb(0, 0, 255)) << "square cap";
    EXPECT_EQ(rgb(frame, 14, 12), rgb(255, 255, 255));
    EXPECT_EQ(rgb(frame, 84, 19), rgb(0, 0, 255));
    EXPECT_EQ(rgb(frame, 85, 19), rgb(255, 255, 255));
    EXPECT_EQ(rgb(frame, 20, 40), rgb(0, 0, 255)) << "no cap";
    EXPECT_EQ(rgb(frame, 19, 40), rgb(255, 255, 255));
    EXPECT_EQ(rgb(frame, 80, 49), rgb(255, 255, 255));
    EXPECT_EQ(rgb(frame, 16, 75), rgb(0, 0, 255)) << "round cap: within five pixels";
    EXPECT_EQ(rgb(frame, 15, 70), rgb(255, 255, 255)) << "but not in its corner";
}

TEST(RenderLines, FilledLinesArePaintedWithTheirFill) {
    // A line filled with a bitmap shows the bitmap, whatever colour the style gives.
    auto movie = smallMovie();
    const std::uint16_t bitmap = movie.defineBitsLossless2(2, 1, {0xffff0000, 0xff00ff00});
    w::Matrix m;
    m.scaleX = m.scaleY = 400;  // a bitmap pixel 20 screen pixels
    w::LineStyle style = w::LineStyle::solid(400, {0, 0, 0, 255});
    style.fill = w::FillStyle::bitmap(bitmap, m, w::FillStyle::Type::HardRepeatingBitmap);
    style.startCap = style.endCap = w::LineStyle::Cap::None;
    w::ShapeBuilder s;
    s.line(s.addLineStyle(style)).moveTo(0, 1000).lineTo(2000, 1000);
    movie.placeObject2(w::PlaceObject::place(1, movie.defineShape(s, 4)));
    movie.showFrame();
    Stage stage(movie.finish(), true);
    const QImage frame = stage.render();
    EXPECT_EQ(rgb(frame, 10, 50), rgb(255, 0, 0));
    EXPECT_EQ(rgb(frame, 30, 50), rgb(0, 255, 0));
    EXPECT_EQ(rgb(frame, 50, 50), rgb(255, 0, 0));
    EXPECT_EQ(rgb(frame, 50, 30), rgb(255, 255, 255));
}

TEST(RenderLines, LinesMeetingThemselvesCloseUnlessTheyMayNot) {
    // A triangle's outline: closed, its start is a join; with the no-close flag and no caps,
    // the start and end are cut square across, leaving the corner's tip empty.
    auto frameOf = [](bool noClose) {
        auto movie = smallMovie();
        w::LineStyle style = w::LineStyle::solid(200, {0, 0, 0, 255});
        style.join = w::LineStyle::Join::Miter;
        style.miterLimit = 10;
        style.startCap = style.endCap = w::LineStyle::Cap::None;
        style.noClose = noClose;
        w::ShapeBuilder s;
        s.line(s.addLineStyle(style))
            .moveTo(400, 1600)
            .lineTo(1600, 1600)
            .lineTo(1000, 400)
            .lineTo(400, 1600);
        movie.placeObject2(w::PlaceObject::place(1, movie.defineShape(s, 4)));
        movie.showFrame();
        Stage stage(movie.finish(), true);
        return stage.render();
    };
    const QImage closed = frameOf(false);
    const QImage open = frameOf(true);
    // The mitred corner at (20, 80) reaches out to about (12, 85).
    EXPECT_EQ(rgb(closed, 14, 84), rgb(0, 0, 0));
    EXPECT_EQ(rgb(open, 14, 84), rgb(255, 255, 255));
    // Elsewhere the two agree.
    EXPECT_EQ(rgb(closed, 50, 80), rgb(open, 50, 80));
    EXPECT_EQ(rgb(closed, 86, 84), rgb(0, 0, 0));
    EXPECT_EQ(rgb(open, 86, 84), rgb(0, 0, 0));
}

TEST(RenderLines, ShapesFarLargerThanThePictureDrawWhatShows) {
    // A gradient-filled square blown up ten thousand times, its middle on the stage: the part
    // that shows is the gradient's middle; a line across it keeps its width.
    auto movie = smallMovie();
    w::Gradient g;
    g.stops = {{0, {255, 0, 0, 255}}, {255, {0, 0, 255, 255}}};
    w::ShapeBuilder s;
    s.fill0(s.addFillStyle(w::FillStyle::linear(w::gradientBox(-100, -100, 200, 200), g)));
    s.rectangle(-100, -100, 200, 200);
    w::LineStyle line = w::LineStyle::solid(0, {0, 0, 0, 255});
    s.line(s.addLineStyle(line)).moveTo(-100, 0).lineTo(100, 0);
    w::PlaceObject huge = w::PlaceObject::place(1, movie.defineShape(s, 4));
    huge.matrix = w::Matrix::transform(10000, 10000, 0, 1000, 1010);  // the line on row 50
    movie.placeObject2(huge);
    movie.showFrame();
    Stage stage(movie.finish(), true);
    const QImage frame = stage.render();
    EXPECT_LE(channelDistance(frame.pixel(50, 20), qRgb(128, 0, 127)), 3);
    EXPECT_LE(channelDistance(frame.pixel(2, 80), qRgb(128, 0, 127)), 3);
    int dark = 0;
    for (int y = 0; y < 100; ++y) {
        dark += qRed(frame.pixel(50, y)) < 64 && qBlue(frame.pixel(50, y)) < 64 ? 1 : 0;
    }
    EXPECT_EQ(dark, 1) << "a hairline: one pixel";
}

TEST(RenderLines, FramesDrawnAgainAreTheSame) {
    // The renderer keeps what it rasterised; drawing the frame again, or after the shape moved
    // by whole pixels, gives what a fresh renderer draws.
    auto movie = smallMovie();
    w::ShapeBuilder s;
    s.fill0(s.addFillStyle(w::FillStyle::solid({200, 30, 60, 180})));
    s.ellipse(500, 500, 333, 271);
    w::LineStyle line = w::LineStyle::solid(57, {0, 90, 0, 255});
    s.line(s.addLineStyle(line)).moveTo(100, 900).curveTo(700, 100, 1300, 900);
    const auto shape = movie.defineShape(s, 3);
    movie.placeObject2(w::PlaceObject::place(1, shape, w::Matrix::translation(7, 3)));
    movie.showFrame();
    movie.showFrame();
    // Moved ten pixels right and five up.
    movie.placeObject2(w::PlaceObject::modify(1, w::Matrix::translation(7 + 200, 3 - 100)));
    movie.showFrame();
    const w::Bytes file = movie.finish();
    Stage kept(file, true);
    for (int frame = 0; frame < 3; ++frame) {
        const QImage again = kept.render();
        Stage fresh(file, true);
        for (int i = 0; i < frame; ++i) {
            fresh.player().tick(true);
        }
        EXPECT_EQ(again, fresh.render()) << frame;
        kept.player().tick(true);
    }
}
