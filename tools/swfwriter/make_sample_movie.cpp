// Writes the sample movie bundled with the player: five seconds of shapes, gradients and
// motion at 24 frames per second.

#include <cmath>
#include <cstdio>
#include <exception>

#include "swfwriter/SwfWriter.h"

using namespace zd::swfwriter;

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kWidth = 11000;  // 550 x 400 pixels
constexpr int kHeight = 8000;
constexpr int kFrames = 120;
constexpr int kGroundY = 6600;
constexpr int kBallRadius = 900;

constexpr std::uint16_t kBackdropDepth = 1;
constexpr std::uint16_t kGroundDepth = 2;
constexpr std::uint16_t kTileDepth = 3;
constexpr std::uint16_t kBallDepth = 4;
constexpr std::uint16_t kSpinnerDepth = 5;

std::int32_t round32(double v) {
    return static_cast<std::int32_t>(std::lround(v));
}

ShapeBuilder backdrop() {
    ShapeBuilder s;
    Gradient sky;
    sky.stops = {{0, {0x13, 0x29, 0x4b, 255}},
                 {160, {0x3a, 0x2f, 0x6e, 255}},
                 {255, {0x5b, 0x2c, 0x83, 255}}};
    s.fill0(s.addFillStyle(FillStyle::linear(gradientBox(0, 0, kWidth, kHeight, 90), sky)));
    s.rectangle(0, 0, kWidth, kHeight);
    return s;
}

ShapeBuilder ground() {
    ShapeBuilder s;
    s.fill0(s.addFillStyle(FillStyle::solid({0x2e, 0x6b, 0x3a, 255})));
    s.line(s.addLineStyle(LineStyle::solid(40, {0x1c, 0x40, 0x24, 255})));
    s.rectangle(0, kGroundY, kWidth, kHeight - kGroundY);
    return s;
}

ShapeBuilder ball() {
    ShapeBuilder s;
    Gradient glow;
    glow.stops = {{0, {0xff, 0xff, 0xff, 255}},
                  {90, {0xff, 0xb3, 0x47, 255}},
                  {255, {0xe0, 0x56, 0x1b, 255}}};
    const int d = 2 * kBallRadius;
    s.fill0(s.addFillStyle(
        FillStyle::radial(gradientBox(-kBallRadius - 300, -kBallRadius - 300, d, d), glow)));
    s.ellipse(0, 0, kBallRadius, kBallRadius);
    return s;
}

ShapeBuilder tile() {
    ShapeBuilder s;
    Gradient light;
    light.stops = {{0, {0x8f, 0xf7, 0xff, 255}},
                   {128, {0x2a, 0x9d, 0xc4, 255}},
                   {255, {0x0d, 0x3b, 0x66, 255}}};
    light.spread = Gradient::Spread::Reflect;
    light.focalPoint = 0.6;
    s.fill0(s.addFillStyle(FillStyle::focal(gradientBox(-1000, -1000, 2000, 2000, 30), light)));
    LineStyle edge = LineStyle::solid(80, {0xff, 0xff, 0xff, 200});
    edge.join = LineStyle::Join::Miter;
    edge.miterLimit = 2.0;
    edge.startCap = LineStyle::Cap::Square;
    edge.endCap = LineStyle::Cap::Square;
    s.line(s.addLineStyle(edge));
    // A square with its corners cut by curves.
    const int r = 1000;
    const int k = 250;
    s.moveTo(-r + k, -r)
        .lineTo(r - k, -r)
        .curveTo(r, -r, r, -r + k)
        .lineTo(r, r - k)
        .curveTo(r, r, r - k, r)
        .lineTo(-r + k, r)
        .curveTo(-r, r, -r, r - k)
        .lineTo(-r, -r + k)
        .curveTo(-r, -r, -r + k, -r);
    return s;
}

ShapeBuilder star() {
    ShapeBuilder s;
    s.fill0(s.addFillStyle(FillStyle::solid({0xff, 0xe1, 0x4d, 255})));
    s.line(s.addLineStyle(LineStyle::solid(30, {0x8a, 0x6d, 0x00, 255})));
    std::vector<Point> points;
    for (int i = 0; i < 10; ++i) {
        const double radius = i % 2 == 0 ? 700 : 300;
        const double angle = -kPi / 2 + i * kPi / 5;
        points.push_back({round32(radius * std::cos(angle)), round32(radius * std::sin(angle))});
    }
    s.polygon(points);
    // The centre dot comes from a second style group.
    s.newStyleGroup();
    s.fill0(s.addFillStyle(FillStyle::solid({0xe0, 0x56, 0x1b, 255}))).line(0);
    s.ellipse(0, 0, 120, 120);
    return s;
}

Timeline spinner(std::uint16_t starId) {
    Timeline t;
    for (int f = 0; f < 24; ++f) {
        const Matrix turn = Matrix::transform(1.0, 1.0, f * 15.0, 0, 0);
        t.placeObject2(f == 0 ? PlaceObject::place(1, starId, turn) : PlaceObject::modify(1, turn));
        t.showFrame();
    }
    return t;
}

PlaceObject placeSpinner(std::uint16_t spriteId, int frame) {
    PlaceObject p;
    p.depth = kSpinnerDepth;
    p.characterId = spriteId;
    p.name = "spinner";
    p.matrix = Matrix::translation(10000 - frame * 70, 1500);
    p.cacheAsBitmap = true;
    p.blendMode = 1;  // normal
    return p;
}

MovieWriter sampleMovie() {
    MovieWriter movie(10, Rect{0, kWidth, 0, kHeight}, 24.0);
    movie.setBackgroundColor({0x1e, 0x2a, 0x44, 255});
    const std::uint16_t backdropId = movie.defineShape(backdrop(), 3);
    const std::uint16_t groundId = movie.defineShape(ground(), 1);
    const std::uint16_t ballId = movie.defineShape(ball(), 3);
    const std::uint16_t tileId = movie.defineShape(tile(), 4);
    const std::uint16_t starId = movie.defineShape(star(), 2);
    const std::uint16_t spinnerId = movie.defineSprite(spinner(starId));

    for (int f = 0; f < kFrames; ++f) {
        if (f == 0) {
            movie.frameLabel("start");
            movie.placeObject2(PlaceObject::place(kBackdropDepth, backdropId));
            movie.placeObject2(PlaceObject::place(kGroundDepth, groundId));
            movie.placeObject3(placeSpinner(spinnerId, f));
        } else if (f == kFrames / 2) {
            movie.frameLabel("middle");
        } else if (f == 90) {
            movie.removeObject2(kSpinnerDepth);
        } else if (f == 100) {
            movie.placeObject3(placeSpinner(spinnerId, f));
        } else if (f > 0 && f < 90) {
            movie.placeObject2(
                PlaceObject::modify(kSpinnerDepth, Matrix::translation(10000 - f * 70, 1500)));
        }

        // The tile turns and breathes.
        PlaceObject tilePlace;
        tilePlace.depth = kTileDepth;
        tilePlace.move = f > 0;
        if (f == 0) {
            tilePlace.characterId = tileId;
        }
        tilePlace.matrix = Matrix::transform(1.0, 1.0, f * 3.0, 2750, 3000);
        ColorTransform breathe;
        breathe.mult[3] = static_cast<std::int16_t>(192 + round32(64 * std::cos(f * kPi / 30)));
        tilePlace.colorTransform = breathe;
        movie.placeObject2(tilePlace);

        // The ball crosses the stage bouncing, squashed as it meets the ground.
        const double bounce = std::fabs(std::sin(f * kPi / 30));
        const int x = 1200 + f * (kWidth - 2400) / (kFrames - 1);
        const double squash = bounce < 0.15 ? 0.8 : 1.0;
        const int y = kGroundY - round32(kBallRadius * squash) - round32(bounce * 4200);
        PlaceObject ballPlace;
        ballPlace.depth = kBallDepth;
        ballPlace.move = f > 0;
        if (f == 0) {
            ballPlace.characterId = ballId;
        }
        ballPlace.matrix = Matrix::transform(2.0 - squash, squash, 0, x, y);
        movie.placeObject2(ballPlace);

        movie.showFrame();
    }
    return movie;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-sample-movie OUT.swf\n");
        return 1;
    }
    try {
        MovieWriter::Output output;
        output.compression = Compression::Zlib;
        if (!sampleMovie().save(argv[1], output)) {
            std::fprintf(stderr, "make-sample-movie: cannot write %s\n", argv[1]);
            return 1;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make-sample-movie: %s\n", e.what());
        return 1;
    }
    return 0;
}
