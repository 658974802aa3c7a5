// Frames drawn from small movies, compared with pictures worked out here. Antialiasing is off
// unless a test says otherwise, so edges fall on exact pixels (a pixel is covered when its
// centre is inside).

#include <gtest/gtest.h>

#include "RenderSupport.h"
#include "engine/render/StageRenderer.h"

using namespace zd::test;
namespace w = zd::swfwriter;

namespace {

// A picture of the expected frame: white with rectangles painted in (pixels).
QImage expected(QSize size, std::initializer_list<std::pair<QRect, QRgb>> rects = {}) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    for (const auto& [r, c] : rects) {
        for (int y = r.top(); y <= r.bottom(); ++y) {
            for (int x = r.left(); x <= r.right(); ++x) {
                image.setPixel(x, y, c | 0xff000000u);
            }
        }
    }
    return image;
}

int channelDistance(QRgb a, QRgb b) {
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                     std::abs(qBlue(a) - qBlue(b))});
}

w::ColorTransform cxform(std::array<std::int16_t, 4> mult, std::array<std::int16_t, 4> add) {
    w::ColorTransform c;
    c.mult = mult;
    c.add = add;
    return c;
}

}  // namespace

TEST(Render, SolidRectanglesCoverExactlyTheirPixels) {
    auto movie = smallMovie();
    const auto a = movie.defineShape(solidRect(200, 400, 800, 400, {255, 0, 0, 255}));
    const auto b = movie.defineShape(solidRect(0, 0, 300, 300, {0, 0, 255, 255}), 3);
    movie.placeObject2(w::PlaceObject::place(1, a));
    movie.placeObject2(w::PlaceObject::place(2, b, w::Matrix::translation(1400, 1400)));
    movie.showFrame();
    Stage stage(movie.finish());
    const QImage frame = stage.render();
    EXPECT_EQ(differingPixels(frame, expected({100, 100}, {{QRect(10, 20, 40, 20), 0xff0000},
                                                           {QRect(70, 70, 15, 15), 0x0000ff}})),
              0);
}

TEST(Render, SharedEdgesLeaveNoSeam) {
    auto movie = smallMovie();
    w::ShapeBuilder s;
    const int red = s.addFillStyle(w::FillStyle::solid({255, 0, 0, 255}));
    const int blue = s.addFillStyle(w::FillStyle::solid({0, 0, 255, 255}));
    s.fill1(red).moveTo(200, 200).lineTo(1000, 200);
    s.fill0(blue).fill1(red).lineTo(1000, 1000);
    s.fill0(0).fill1(red).lineTo(200, 1000).lineTo(200, 200);
    s.fill1(blue).moveTo(1000, 200).lineTo(1800, 200).lineTo(1800, 1000).lineTo(1000, 1000);
    movie.placeObject2(w::PlaceObject::place(1, movie.defineShape(s)));
    movie.showFrame();
    Stage stage(movie.finish(), true);
    const QImage frame = stage.render();
    // Antialiased too: the pixels either side of the shared edge are pure, none shows white.
    EXPECT_EQ(rgb(frame, 49, 30), rgb(255, 0, 0));
    EXPECT_EQ(rgb(frame, 50, 30), rgb(0, 0, 255));
    EXPECT_EQ(differingPixels(frame, expected({100, 100}, {{QRect(10, 10, 40, 40), 0xff0000},
                                                           {QRect(50, 10, 40, 40), 0x0000ff}})),
              0);
}

TEST(Render, LinearGradientFollowsItsMatrix) {
    auto movie = smallMovie();
    w::ShapeBuilder s;
    w::Gradient g;
    g.stops = {{0, {255, 0, 0, 255}}, {255, {0, 0, 255, 255}}};
    // Turned 90 degrees: red at the top, blue at the bottom, over the middle 50 pixels.
    s.fill0(s.addFillStyle(w::FillStyle::linear(w::gradientBox(0, 500, 2000, 1000, 90), g)));
    s.rectangle(0, 0, 2000, 2000);
    movie.placeObject2(w::PlaceObject::place(1, movie.defineShape(s)));
    movie.showFrame();
    Stage stage(movie.finish());
    const QImage frame = stage.render();
    EXPECT_EQ(rgb(frame, 50, 10), rgb(255, 0, 0));  // padded before the ramp
    EXPECT_EQ(rgb(frame, 50, 90), rgb(0, 0, 255));  // and after it
    for (int y = 25; y < 75; y += 7) {
        const double t = (y + 0.5 - 25) / 50.0;
        const QRgb want = qRgb(static_cast<int>(255 * (1 - t)), 0, static_cast<int>(255 * t));
        EXPECT_LE(channelDistance(frame.pixel(10, y), want), 4) << "row " << y;
        EXPECT_EQ(rgb(frame, 10, y), rgb(frame, 90, y));  // constant across
    }
}

TEST(Render, RadialGradientSpreadModes) {
    auto movie = smallMovie(4000, 1000);
    w::Gradient g;
    g.stops = {{0, {0, 0, 0, 255}}, {255, {255, 255, 255, 255}}};
    std::uint16_t ids[3];
    const w::Gradient::Spread spreads[] = {w::Gradient::Spread::Pad, w::Gradient::Spread::Reflect,
                                           w::Gradient::Spread::Repeat};
    for (int i = 0; i < 3; ++i) {
        w::ShapeBuilder s;
        g.spread = spreads[i];
        // A circle of radius 10 pixels at the centre of a 50-pixel square.
        s.fill0(s.addFillStyle(w::FillStyle::radial(w::gradientBox(300, 300, 400, 400), g)));
        s.rectangle(0, 0, 1000, 1000);
        ids[i] = movie.defineShape(s, 4);
        movie.placeObject2(w::PlaceObject::place(static_cast<std::uint16_t>(i + 1), ids[i],
                                                 w::Matrix::translation(1000 * i, 0)));
    }
    movie.showFrame();
    Stage stage(movie.finish());
    const QImage frame = stage.render();
    for (int i = 0; i < 3; ++i) {
        EXPECT_LE(qRed(frame.pixel(50 * i + 25, 25)), 20) << i;  // the centre is black
    }
    // 15 pixels out: past the radius. Pad stays white, repeat starts over (dark), reflect
    // comes back (bright).
    EXPECT_EQ(rgb(frame, 40, 25), rgb(255, 255, 255));
    EXPECT_GT(qRed(frame.pixel(50 + 40, 25)), 100);
    EXPECT_LT(qRed(frame.pixel(50 + 40, 25)), 180);
    EXPECT_LT(qRed(frame.pixel(100 + 40, 25)), 160);
    // Reflect at 1.5 radii is as bright as at 0.5; repeat as dark.
    EXPECT_NEAR(qRed(frame.pixel(50 + 40, 25)), 255 - qRed(frame.pixel(100 + 40, 25)), 12);
}

TEST(Render, BitmapFillsRepeatOrClipAtTheirMatrix) {
    auto movie = smallMovie();
    const std::uint16_t bitmap =
        movie.defineBitsLossless2(2, 2, {0xffff0000, 0xff00ff00, 0xff0000ff, 0x80ffffff});
    w::Matrix m;  // each bitmap pixel 10 screen pixels (200 twips)
    m.scaleX = 200;
    m.scaleY = 200;
    w::ShapeBuilder repeating;
    repeating.fill0(repeating.addFillStyle(
        w::FillStyle::bitmap(bitmap, m, w::FillStyle::Type::HardRepeatingBitmap)));
    repeating.rectangle(0, 0, 2000, 1000);
    w::ShapeBuilder clipped;
    clipped.fill0(clipped.addFillStyle(
        w::FillStyle::bitmap(bitmap, m, w::FillStyle::Type::HardClippedBitmap)));
    clipped.rectangle(0, 0, 400, 400);
    movie.placeObject2(w::PlaceObject::place(1, movie.defineShape(repeating, 3)));
    movie.placeObject2(
        w::PlaceObject::place(2, movie.defineShape(clipped, 3), w::Matrix::translation(0, 1200)));
    movie.showFrame();
    Stage stage(movie.finish());
    const QImage frame = stage.render();
    EXPECT_EQ(rgb(frame, 5, 5), rgb(255, 0, 0));
    EXPECT_EQ(rgb(frame, 15, 5), rgb(0, 255, 0));
    EXPECT_EQ(rgb(frame, 5, 15), rgb(0, 0, 255));
    // Half-transparent white over the white background.
    EXPECT_EQ(rgb(frame, 15, 15), rgb(255, 255, 255));
    EXPECT_EQ(rgb(frame, 25, 5), rgb(255, 0, 0));   // repeats to the right
    EXPECT_EQ(rgb(frame, 95, 45), rgb(0, 255, 0));  // every 20 pixels
    EXPECT_EQ(rgb(frame, 85, 35), rgb(0, 0, 255));
    // Unsmoothed: hard edges between bitmap pixels.
    EXPECT_EQ(rgb(frame, 9, 5), rgb(255, 0, 0));
    EXPECT_EQ(rgb(frame, 10, 5), rgb(0, 255, 0));
    EXPECT_EQ(rgb(frame, 5, 65), rgb(255, 0, 0));
    EXPECT_EQ(rgb(frame, 15, 75), rgb(255, 255, 255));
}

TEST(Render, ColourTransformsMultiplyAddAndClampAtEachLevel) {
    auto movie = smallMovie();
    const auto shape = movie.defineShape(solidRect(0, 0, 400, 400, {200, 100, 50, 255}));
    // Directly: half the colour plus 10.
    auto direct = w::PlaceObject::place(1, shape);
    direct.colorTransform = cxform({128, 128, 128, 256}, {10, 10, 10, 0});
    movie.placeObject2(direct);
    // Nested: the child adds 100 (red clamps at 255), then the sprite halves. Clamping at
    // each level gives 127; one combined transform would give 150.
    w::Timeline inner;
    auto child = w::PlaceObject::place(1, shape);
    child.colorTransform = cxform({256, 256, 256, 256}, {100, 0, 0, 0});
    inner.placeObject2(child);
    inner.showFrame();
    const auto sprite = movie.defineSprite(inner);
    auto parent = w::PlaceObject::place(2, sprite, w::Matrix::translation(1000, 0));
    parent.colorTransform = cxform({128, 128, 128, 256}, {0, 0, 0, 0});
    movie.placeObject2(parent);
    // Alpha halved over white.
    auto faded = w::PlaceObject::place(3, shape, w::Matrix::translation(0, 1000));
    faded.colorTransform = cxform({256, 256, 256, 128}, {0, 0, 0, 0});
    movie.placeObject2(faded);
    movie.showFrame();
    Stage stage(movie.finish());
    const QImage frame = stage.render();
    EXPECT_EQ(rgb(frame, 10, 10), rgb(110, 60, 35));
    EXPECT_EQ(rgb(frame, 60, 10), rgb(127, 50, 25));
    EXPECT_LE(channelDistance(frame.pixel(10, 60), qRgb(227, 177, 152)), 1);
}

TEST(Render, MasksClipWhatLiesAboveThemAndNest) {
    auto movie = smallMovie();
    const auto red = movie.defineShape(solidRect(0, 0, 2000, 2000, {255, 0, 0, 255}));
    const auto maskShape = movie.defineShape(solidRect(0, 0, 1000, 2000, {0, 0, 0, 255}));
    const auto band = movie.defineShape(solidRect(0, 0, 2000, 400, {0, 0, 255, 255}));
    // Inside a sprite: a mask over the left 80 pixels, masking the red square.
    w::Timeline inner;
    auto innerMask =
        w::PlaceObject::place(1, movie.defineShape(solidRect(0, 0, 1600, 2000, {0, 0, 0, 255})));
    innerMask.clipDepth = 2;
    inner.placeObject2(innerMask);
    inner.placeObject2(w::PlaceObject::place(2, red));
    inner.showFrame();
    const auto sprite = movie.defineSprite(inner);
    // The root masks the sprite with x from 40 to 90 pixels; a band above the masked depths
    // stays whole.
    auto outerMask = w::PlaceObject::place(1, maskShape, w::Matrix::translation(800, 0));
    outerMask.clipDepth = 2;
    movie.placeObject2(outerMask);
    movie.placeObject2(w::PlaceObject::place(2, sprite));
    movie.placeObject2(w::PlaceObject::place(3, band, w::Matrix::translation(0, 1600)));
    movie.showFrame();
    Stage stage(movie.finish());
    EXPECT_EQ(
        differingPixels(stage.render(), expected({100, 100}, {{QRect(40, 0, 40, 80), 0xff0000},
                                                              {QRect(0, 80, 100, 20), 0x0000ff}})),
        0);
}

TEST(Render, StrokeWidthsAndHairlines) {
    auto movie = smallMovie();
    w::ShapeBuilder s;
    s.line(s.addLineStyle(w::LineStyle::solid(0, {0, 0, 0, 255}))).moveTo(0, 210).lineTo(2000, 210);
    w::LineStyle thick = w::LineStyle::solid(200, {0, 0, 255, 255});
    thick.startCap = thick.endCap = w::LineStyle::Cap::None;
    s.line(s.addLineStyle(thick)).moveTo(400, 1000).lineTo(1600, 1000);
    movie.placeObject2(w::PlaceObject::place(1, movie.defineShape(s, 4)));
    // The same shape scaled to a tenth: its thick line keeps at least one pixel.
    w::PlaceObject small = w::PlaceObject::place(2, movie.defineShape(s, 4));
    small.matrix = w::Matrix::transform(0.1, 0.1, 0, 0, 1500);
    movie.placeObject2(small);
    movie.showFrame();
    Stage stage(movie.finish());
    const QImage frame = stage.render();
    // Width 0: exactly one row.
    int rows = 0;
    for (int y = 5; y < 15; ++y) {
        rows += rgb(frame, 50, y) == rgb(0, 0, 0) ? 1 : 0;
    }
    EXPECT_EQ(rows, 1);
    // 10 pixels wide, flat ends at x = 20 and 80.
    EXPECT_EQ(rgb(frame, 50, 45), rgb(0, 0, 255));
    EXPECT_EQ(rgb(frame, 50, 54), rgb(0, 0, 255));
    EXPECT_EQ(rgb(frame, 50, 44), rgb(255, 255, 255));
    EXPECT_EQ(rgb(frame, 50, 55), rgb(255, 255, 255));
    EXPECT_EQ(rgb(frame, 20, 50), rgb(0, 0, 255));
    EXPECT_EQ(rgb(frame, 19, 50), rgb(255, 255, 255));
    EXPECT_EQ(rgb(frame, 80, 50), rgb(255, 255, 255));
    int thin = 0;
    for (int y = 75; y < 90; ++y) {
        thin += rgb(frame, 5, y) == rgb(0, 0, 255) ? 1 : 0;
    }
    EXPECT_GE(thin, 1);
}

TEST(Render, BlendModesGoThroughLayers) {
    auto movie = smallMovie();
    movie.placeObject2(w::PlaceObject::place(
        1, movie.defineShape(solidRect(0, 0, 2000, 2000, {200, 100, 50, 255}))));
    w::Timeline inner;
    inner.placeObject2(w::PlaceObject::place(
        1, movie.defineShape(solidRect(0, 0, 1000, 1000, {128, 255, 0, 255}))));
    inner.showFrame();
    const auto sprite = movie.defineSprite(inner);
    auto multiply = w::PlaceObject::place(2, sprite);
    multiply.blendMode = 3;
    movie.placeObject3(multiply);
    // Alpha outside a layer changes nothing on the stage.
    auto alpha = w::PlaceObject::place(3, sprite, w::Matrix::translation(1000, 1000));
    alpha.blendMode = 11;
    movie.placeObject3(alpha);
    movie.showFrame();
    Stage stage(movie.finish());
    const QImage frame = stage.render();
    EXPECT_LE(channelDistance(frame.pixel(10, 10), qRgb(100, 100, 0)), 1);
    EXPECT_EQ(rgb(frame, 70, 70), rgb(200, 100, 50));
    EXPECT_EQ(rgb(frame, 70, 10), rgb(200, 100, 50));
}

TEST(Render, ShowAllCentresTheStageInTheBackground) {
    w::MovieWriter movie(10, {0, 2000, 0, 2000}, 12);
    movie.setBackgroundColor({0, 128, 0, 255});
    movie.placeObject2(
        w::PlaceObject::place(1, movie.defineShape(solidRect(0, 0, 2000, 2000, {255, 0, 0, 255}))));
    // Content off the stage's right edge stays out of the picture's band either way.
    movie.showFrame();
    Stage stage(movie.finish());
    const QImage frame = stage.render(QSize(300, 100));
    EXPECT_EQ(rgb(frame, 99, 50), rgb(0, 128, 0));
    EXPECT_EQ(rgb(frame, 100, 50), rgb(255, 0, 0));
    EXPECT_EQ(rgb(frame, 199, 50), rgb(255, 0, 0));
    EXPECT_EQ(rgb(frame, 200, 50), rgb(0, 128, 0));
    const QImage tall = stage.render(QSize(50, 200));
    EXPECT_EQ(rgb(tall, 25, 74), rgb(0, 128, 0));
    EXPECT_EQ(rgb(tall, 25, 75), rgb(255, 0, 0));
    EXPECT_EQ(rgb(tall, 25, 124), rgb(255, 0, 0));
    EXPECT_EQ(rgb(tall, 25, 125), rgb(0, 128, 0));
}

TEST(Render, ScaledLinesWidenAlongTheirScaleOnly) {
    auto movie = smallMovie();
    w::ShapeBuilder s;
    w::LineStyle line = w::LineStyle::solid(100, {0, 0, 255, 255});
    line.startCap = line.endCap = w::LineStyle::Cap::None;
    const int style = s.addLineStyle(line);
    s.line(style).moveTo(0, 300).lineTo(400, 300);    // across: 5 pixels high
    s.line(style).moveTo(200, 600).lineTo(200, 900);  // down: 5 pixels wide
    // Three times wider, as high as drawn.
    movie.placeObject2(
        w::PlaceObject::place(1, movie.defineShape(s, 4), w::Matrix::transform(3, 1, 0, 0, 0)));
    movie.showFrame();
    Stage stage(movie.finish());
    const QImage frame = stage.render();
    auto blueRun = [&](QPoint from, QPoint step) {
        int n = 0;
        for (QPoint p = from; frame.rect().contains(p); p += step) {
            n += rgb(frame, p.x(), p.y()) == rgb(0, 0, 255) ? 1 : 0;
        }
        return n;
    };
    EXPECT_EQ(blueRun({50, 0}, {0, 1}), 5) << "the line across keeps its height";
    EXPECT_EQ(blueRun({0, 37}, {1, 0}), 15) << "the line down widens three times";
}

TEST(Render, FilteredObjectsSitOnWholePixels) {
    // A 10.5 pixel wide rectangle 0.3 pixels right of the shape's corner covers pixels 0 to 10
    // as it stands; filtered, its corner moves to pixel 0 and it covers 0 to 9.
    auto movie = smallMovie();
    w::ShapeBuilder s = solidRect(0, 0, 210, 200, {255, 0, 0, 255});
    const auto shape = movie.defineShape(s, 3);
    movie.placeObject2(w::PlaceObject::place(1, shape, w::Matrix::translation(6, 0)));
    auto filtered = w::PlaceObject::place(2, shape, w::Matrix::translation(6, 400));
    filtered.filterList = unitBlurFilter();
    movie.placeObject3(filtered);
    movie.showFrame();
    Stage stage(movie.finish());
    const QImage frame = stage.render();
    EXPECT_EQ(rgb(frame, 10, 5), rgb(255, 0, 0));
    EXPECT_EQ(rgb(frame, 11, 5), rgb(255, 255, 255));
    EXPECT_EQ(rgb(frame, 0, 25), rgb(255, 0, 0));
    EXPECT_EQ(rgb(frame, 9, 25), rgb(255, 0, 0));
    EXPECT_EQ(rgb(frame, 10, 25), rgb(255, 255, 255));
}

TEST(Render, CachedObjectsSitOnWholePixelsToo) {
    // As above, a rectangle 0.3 pixels off a whole pixel, now cached as a bitmap: it moves
    // by the rounding of its corner, even with the corner at a half pixel.
    auto movie = smallMovie();
    w::ShapeBuilder s = solidRect(0, 0, 210, 200, {255, 0, 0, 255});
    const auto shape = movie.defineShape(s, 3);
    auto cached = w::PlaceObject::place(1, shape, w::Matrix::translation(6, 0));
    cached.cacheAsBitmap = true;
    movie.placeObject3(cached);
    auto half = w::PlaceObject::place(2, shape, w::Matrix::translation(10, 400));
    half.cacheAsBitmap = true;
    movie.placeObject3(half);
    movie.showFrame();
    Stage stage(movie.finish());
    const QImage frame = stage.render();
    EXPECT_EQ(rgb(frame, 0, 5), rgb(255, 0, 0));
    EXPECT_EQ(rgb(frame, 9, 5), rgb(255, 0, 0));
    EXPECT_EQ(rgb(frame, 10, 5), rgb(255, 255, 255));
    // Corner at 0.5: drawn from pixel 1, its last column (centre 10.5 at the edge 11) with it.
    EXPECT_EQ(rgb(frame, 0, 25), rgb(255, 255, 255));
    EXPECT_EQ(rgb(frame, 1, 25), rgb(255, 0, 0));
    EXPECT_EQ(rgb(frame, 10, 25), rgb(255, 0, 0));
    EXPECT_EQ(rgb(frame, 11, 25), rgb(255, 255, 255));
}

TEST(Render, ShadowsOfObjectsOffTheStageStillShow) {
    // The square lies wholly left of the stage (-25 to -5); its shadow, 30 pixels right, shows.
    auto movie = smallMovie();
    auto place =
        w::PlaceObject::place(1, movie.defineShape(solidRect(0, 0, 400, 400, {255, 0, 0, 255}), 3),
                              w::Matrix::translation(-500, 200));
    place.filterList = blackShadowFilter(30);
    movie.placeObject3(place);
    movie.showFrame();
    Stage stage(movie.finish());
    const QImage frame = stage.render();
    EXPECT_EQ(rgb(frame, 4, 15), rgb(255, 255, 255));
    EXPECT_EQ(rgb(frame, 5, 15), rgb(0, 0, 0));
    EXPECT_EQ(rgb(frame, 24, 15), rgb(0, 0, 0));
    EXPECT_EQ(rgb(frame, 25, 15), rgb(255, 255, 255));
    EXPECT_EQ(rgb(frame, 0, 35), rgb(255, 255, 255));
}

TEST(Render, ScrollRectsShiftAndCutButMasksOnlyShift) {
    // A sprite holding a 10 pixel red square at (20, 20) scrolled by (2, 3) with a 5x4
    // window: the square's part from (2, 3) shows at the sprite's corner, cut to the window.
    // The same sprite as a mask lets the blue square below show wherever its shifted
    // content lies, uncut.
    auto movie = smallMovie();
    w::Timeline inner;
    inner.placeObject2(
        w::PlaceObject::place(1, movie.defineShape(solidRect(0, 0, 200, 200, {255, 0, 0, 255}))));
    inner.showFrame();
    const auto sprite = movie.defineSprite(inner);
    auto scrolled = w::PlaceObject::place(1, sprite, w::Matrix::translation(400, 400));
    scrolled.name = "scrolled";
    movie.placeObject2(scrolled);
    auto mask = w::PlaceObject::place(2, sprite, w::Matrix::translation(1000, 1000));
    mask.name = "mask";
    mask.clipDepth = 3;
    movie.placeObject2(mask);
    movie.placeObject2(
        w::PlaceObject::place(3, movie.defineShape(solidRect(0, 0, 2000, 2000, {0, 0, 255, 255}))));
    movie.showFrame();
    Stage stage(movie.finish());
    const zd::engine::ScrollRect window{40, 60, 100, 80};
    for (const char* name : {"scrolled", "mask"}) {
        auto* o = stage.player().root().timeline()->childByName(name, false);
        ASSERT_NE(o, nullptr);
        auto props = o->properties();
        props.scrollRect = window;
        o->setProperties(props);
    }
    EXPECT_EQ(
        differingPixels(stage.render(), expected({100, 100}, {{QRect(20, 20, 5, 4), 0xff0000},
                                                              {QRect(48, 47, 10, 10), 0x0000ff}})),
        0);
}

TEST(Render, OpaqueBackgroundsFillTheBoundsOnWholePixels) {
    // Two 2 pixel squares at opposite corners of a sprite half a pixel off the grid: the
    // background fills the 10 pixel bounds between them, starting at the pixel the left and
    // top edges halve (the lower one) and stopping before the ones the far edges halve.
    auto movie = smallMovie();
    w::Timeline inner;
    const auto square = movie.defineShape(solidRect(0, 0, 40, 40, {255, 0, 0, 255}));
    inner.placeObject2(w::PlaceObject::place(1, square));
    inner.placeObject2(w::PlaceObject::place(2, square, w::Matrix::translation(160, 160)));
    inner.showFrame();
    auto placed =
        w::PlaceObject::place(1, movie.defineSprite(inner), w::Matrix::translation(210, 210));
    placed.name = "backed";
    movie.placeObject2(placed);
    movie.showFrame();
    Stage stage(movie.finish());
    auto* o = stage.player().root().timeline()->childByName("backed", false);
    ASSERT_NE(o, nullptr);
    auto props = o->properties();
    props.opaqueBackground = zd::engine::Rgba{0, 255, 0, 255};
    o->setProperties(props);
    const QImage frame = stage.render();
    const QRgb green = rgb(0, 255, 0);
    const QRgb white = rgb(255, 255, 255);
    for (const auto& [x, y, colour] :
         std::initializer_list<std::tuple<int, int, QRgb>>{{9, 15, white},
                                                           {10, 15, green},
                                                           {19, 15, green},
                                                           {20, 15, white},
                                                           {15, 9, white},
                                                           {15, 10, green},
                                                           {15, 19, green},
                                                           {15, 20, white}}) {
        EXPECT_EQ(rgb(frame, x, y), colour) << x << "," << y;
    }
}

TEST(StagePlacement, ScaleModesAndAlignmentPlaceTheStageInTheView) {
    const QSizeF stage(400, 300);
    const QRectF view(0, 0, 1000, 500);
    const struct {
        const char* mode;
        const char* align;
        QRectF expected;
    } cases[] = {
        {"showAll", "", QRectF(166.0 + 2.0 / 3.0, 0, 666.0 + 2.0 / 3.0, 500)},
        {"exactFit", "L", QRectF(0, 0, 666.0 + 2.0 / 3.0, 500)},
        {"noBorder", "", QRectF(0, -125, 1000, 750)},
        {"noBorder", "B", QRectF(0, -250, 1000, 750)},
        {"noScale", "", QRectF(300, 100, 400, 300)},
        {"noScale", "TR", QRectF(600, 0, 400, 300)},
        {"noScale", "BL", QRectF(0, 200, 400, 300)},
    };
    for (const auto& c : cases) {
        const QRectF placed = zd::engine::placedStageRect(stage, view, c.mode, c.align);
        EXPECT_NEAR(placed.x(), c.expected.x(), 1e-9) << c.mode << ' ' << c.align;
        EXPECT_NEAR(placed.y(), c.expected.y(), 1e-9) << c.mode << ' ' << c.align;
        EXPECT_NEAR(placed.width(), c.expected.width(), 1e-9) << c.mode << ' ' << c.align;
        EXPECT_NEAR(placed.height(), c.expected.height(), 1e-9) << c.mode << ' ' << c.align;
    }
    EXPECT_TRUE(zd::engine::placedStageRect(QSizeF(0, 300), view, "noScale", "").isEmpty());
}
