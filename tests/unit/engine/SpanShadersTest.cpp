// Span shaders against the painter's own gradients and bitmap drawing (as the renderer drew
// them before it shaded spans itself), their ramps, and hostile matrices and positions.

#include <gtest/gtest.h>

#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>
#include <cmath>
#include <random>

#include "engine/render/SpanShaders.h"

using namespace zd::engine;

namespace {

constexpr QSize kSize(96, 72);

QImage shaded(const SpanShader& shader, QSize size = kSize) {
    QImage out(size, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < size.height(); ++y) {
        shader.shade(0, y, size.width(), reinterpret_cast<QRgb*>(out.scanLine(y)));
    }
    return out;
}

// The largest channel difference over the pixels `keep` accepts.
template <typename Keep>
int largestDifference(const QImage& a, const QImage& b, Keep keep) {
    int worst = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            if (!keep(x, y)) {
                continue;
            }
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            worst = std::max({worst, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                              std::abs(qBlue(p) - qBlue(q)), std::abs(qAlpha(p) - qAlpha(q))});
        }
    }
    return worst;
}

// How many pixels differ by more than tolerance in some channel.
int differing(const QImage& a, const QImage& b, int tolerance) {
    int n = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            const int worst =
                std::max({std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                          std::abs(qBlue(p) - qBlue(q)), std::abs(qAlpha(p) - qAlpha(q))});
            n += worst > tolerance ? 1 : 0;
        }
    }
    return n;
}

int largestDifference(const QImage& a, const QImage& b) {
    return largestDifference(a, b, [](int, int) { return true; });
}

std::vector<Rgba> coloursOf(const Gradient& g) {
    std::vector<Rgba> out;
    for (const GradientRecord& r : g.records) {
        out.push_back(r.color);
    }
    return out;
}

// The painter's gradient over the whole picture: the ramp's 256 colours as stops, blended
// between their centres (linear) or held over each step (radial), on the square -16384 to
// 16384 mapped by toDevice.
QImage painterGradient(const FillStyle& style, const QTransform& toDevice) {
    const std::array<QRgb, 256> ramp = gradientRamp(style.gradient, coloursOf(style.gradient));
    const bool linear = style.type == FillStyle::LinearGradient;
    QGradientStops stops;
    for (int t = 0; t < 256; ++t) {
        const QColor c = QColor::fromRgba(ramp[static_cast<std::size_t>(t)]);
        if (linear) {
            stops.append({(t + 0.5) / 256.0, c});
        } else {
            stops.append({t / 256.0, c});
            stops.append({(t + 1) / 256.0 - 1e-6, c});
        }
    }
    const QGradient::Spread spread =
        style.gradient.spread == Gradient::Reflect  ? QGradient::ReflectSpread
        : style.gradient.spread == Gradient::Repeat ? QGradient::RepeatSpread
                                                    : QGradient::PadSpread;
    QBrush brush;
    if (linear) {
        QLinearGradient g(-16384.0, 0.0, 16384.0, 0.0);
        g.setStops(stops);
        g.setSpread(spread);
        brush = QBrush(g);
    } else {
        // Focal points are drawn no nearer the circle than 0.98 of its radius.
        const double focal = style.type == FillStyle::FocalGradient
                                 ? std::clamp(style.gradient.focalPoint, -0.98, 0.98)
                                 : 0.0;
        QRadialGradient g(QPointF(0, 0), 16384.0, QPointF(focal * 16384.0, 0));
        g.setStops(stops);
        g.setSpread(spread);
        brush = QBrush(g);
    }
    brush.setTransform(toDevice);
    QImage out(kSize, QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::transparent);
    QPainter p(&out);
    p.fillRect(out.rect(), brush);
    return out;
}

FillStyle gradientStyle(std::uint8_t type, std::uint8_t spread) {
    FillStyle s;
    s.type = type;
    s.gradient.spread = spread;
    s.gradient.records = {{0, {255, 0, 0, 255}},
                          {90, {20, 200, 40, 160}},
                          {200, {0, 0, 255, 255}},
                          {255, {250, 250, 20, 255}}};
    s.gradient.focalPoint = 0.6;
    return s;
}

// A small picture with every pixel different, some of them translucent.
QImage testBitmap() {
    QImage image(7, 5, QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            image.setPixel(x, y, qRgba(x * 37, y * 61, (x * y * 23) % 256, 255 - (x + y) * 12));
        }
    }
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

}  // namespace

TEST(GradientShader, MatchesThePaintersGradientsForEverySpread) {
    // The square shrunk to a band across the picture and turned, so every spread shows.
    const QTransform toDevice = QTransform::fromScale(0.0011, 0.0008) * QTransform().rotate(25) *
                                QTransform::fromTranslate(40, 30);
    for (const std::uint8_t type :
         {FillStyle::LinearGradient, FillStyle::RadialGradient, FillStyle::FocalGradient}) {
        for (const std::uint8_t spread : {Gradient::Pad, Gradient::Reflect, Gradient::Repeat}) {
            const FillStyle style = gradientStyle(type, spread);
            const GradientShader shader(style, coloursOf(style.gradient), toDevice);
            ASSERT_TRUE(shader.valid());
            QImage ours = shaded(shader);
            QImage theirs = painterGradient(style, toDevice);
            if (type != FillStyle::LinearGradient && spread != Gradient::Pad) {
                // The painter's circles repeat a little wider than one ramp, so past the
                // first one the two drift apart; only the first is compared.
                const QTransform back = toDevice.inverted();
                for (int y = 0; y < kSize.height(); ++y) {
                    for (int x = 0; x < kSize.width(); ++x) {
                        const QPointF g = back.map(QPointF(x + 0.5, y + 0.5));
                        if (std::hypot(g.x(), g.y()) > 0.95 * 16384) {
                            ours.setPixel(x, y, 0);
                            theirs.setPixel(x, y, 0);
                        }
                    }
                }
            }
            // Where a repeated ramp starts over, a pixel may fall either side of the jump.
            EXPECT_LE(differing(ours, theirs, 4), 2) << int(type) << " spread " << int(spread);
            EXPECT_LE(differing(ours, theirs, 2), kSize.width() * kSize.height() / 100)
                << int(type) << " spread " << int(spread);
        }
    }
}

TEST(GradientShader, RampsFollowTheRecordsAsPlayersShowThem) {
    Gradient g;
    g.records = {{0, {0, 0, 0, 255}}, {255, {255, 255, 255, 255}}};
    auto ramp = gradientRamp(g, coloursOf(g));
    EXPECT_EQ(ramp[0], qRgba(0, 0, 0, 255));
    EXPECT_EQ(ramp[255], qRgba(255, 255, 255, 255));
    EXPECT_EQ(qRed(ramp[128]), 128);
    // In linear light the middle is brighter: half the light is 188 in sRGB.
    g.linearRgb = true;
    ramp = gradientRamp(g, coloursOf(g));
    EXPECT_NEAR(qRed(ramp[128]), 188, 1);
    // Linear light kept in 8 bits: dark colours fall to the steps of that encoding. 14 and 20
    // are both one step of linear light, which comes back as 13.
    g.records = {{0, {14, 20, 255, 255}}, {255, {14, 20, 255, 255}}};
    ramp = gradientRamp(g, coloursOf(g));
    EXPECT_EQ(ramp[0], qRgba(13, 13, 255, 255));
    EXPECT_EQ(ramp[200], qRgba(13, 13, 255, 255));
    g.records = {{0, {0, 0, 0, 255}}, {255, {0, 0, 255, 255}}};
    ramp = gradientRamp(g, coloursOf(g));
    EXPECT_EQ(qBlue(ramp[1]), 13);  // one step of 255 is the first step of linear light
    EXPECT_EQ(qBlue(ramp[0]), 0);
    EXPECT_EQ(qBlue(ramp[255]), 255);
    // Records out of order: a ratio takes the segment ending at the first record at or past it.
    g.linearRgb = false;
    g.records = {{0, {0, 0, 0, 255}}, {200, {200, 0, 0, 255}}, {100, {0, 0, 200, 255}}};
    ramp = gradientRamp(g, coloursOf(g));
    EXPECT_EQ(ramp[100], qRgba(100, 0, 0, 255)) << "half way along the first segment";
    EXPECT_EQ(ramp[250], qRgba(0, 0, 200, 255)) << "past them all: the last record";
    // The colours as drawn replace the records' own.
    ramp = gradientRamp(g, {{0, 255, 0, 255}, {0, 255, 0, 255}, {0, 255, 0, 255}});
    EXPECT_EQ(ramp[40], qRgba(0, 255, 0, 255));
    EXPECT_EQ(gradientRamp(Gradient{}, {})[7], 0u) << "no records: transparent";
}

TEST(GradientShader, FocalPointsNearTheCircleDrawAlike) {
    // Past 0.98 of the radius the ramp no longer crowds further: 0.985, 0.99 and 1 draw the
    // same picture, which 0.97 does not.
    const QTransform toDevice =
        QTransform::fromScale(0.003, 0.002) * QTransform::fromTranslate(48, 36);
    auto picture = [&](double focal) {
        FillStyle s = gradientStyle(FillStyle::FocalGradient, Gradient::Reflect);
        s.gradient.focalPoint = focal;
        const GradientShader shader(s, coloursOf(s.gradient), toDevice);
        EXPECT_TRUE(shader.valid());
        return shaded(shader);
    };
    const QImage limit = picture(0.98);
    EXPECT_EQ(picture(0.985), limit);
    EXPECT_EQ(picture(1.0), limit);
    EXPECT_EQ(picture(-1.0), picture(-0.99));
    EXPECT_GT(differing(picture(0.97), limit, 2), 0);
}

TEST(GradientShader, SquashedOrHostileSquaresStayInTheRamp) {
    const FillStyle style = gradientStyle(FillStyle::RadialGradient, Gradient::Pad);
    // Flat: no inverse; the fill shows its last colour.
    const GradientShader flat(style, coloursOf(style.gradient), QTransform(0.01, 0, 0.02, 0, 5, 5));
    EXPECT_FALSE(flat.valid());
    EXPECT_EQ(flat.lastColour(), qPremultiply(qRgba(250, 250, 20, 255)));
    const QImage all = shaded(flat);
    EXPECT_EQ(all.pixel(3, 3), qRgba(250, 250, 20, 255));
    // Far too large or small and far off: positions are kept within reach of the ramp.
    for (const QTransform& t :
         {QTransform::fromScale(1e-300, 1e-300), QTransform::fromScale(1e300, 1e300),
          QTransform::fromTranslate(1e300, -1e300), QTransform(1e-9, 1e9, -1e9, 1e-9, 0, 0)}) {
        for (const std::uint8_t spread : {Gradient::Pad, Gradient::Reflect, Gradient::Repeat}) {
            FillStyle s = gradientStyle(FillStyle::FocalGradient, spread);
            const GradientShader shader(s, coloursOf(s.gradient), t);
            QRgb row[64];
            shader.shade(-2000000000, 2000000000, 64, row);
            shader.shade(0, 0, 64, row);
            for (const QRgb c : row) {
                EXPECT_GE(qAlpha(c), qRed(c));
            }
        }
    }
}

TEST(BitmapShader, MatchesThePaintersBitmapsRepeatedAndClipped) {
    const QImage bitmap = testBitmap();
    // Turned, stretched and moved by fractions of a pixel.
    const QTransform toDevice = QTransform::fromScale(6.3, 5.1) * QTransform().rotate(17) *
                                QTransform::fromTranslate(30.35, 6.6);
    for (const bool smooth : {false, true}) {
        // Repeated: the painter's texture brush.
        QImage theirs(kSize, QImage::Format_ARGB32_Premultiplied);
        theirs.fill(Qt::transparent);
        {
            QPainter p(&theirs);
            p.setRenderHint(QPainter::SmoothPixmapTransform, smooth);
            QBrush brush(bitmap);
            brush.setTransform(toDevice);
            p.fillRect(theirs.rect(), brush);
        }
        const BitmapShader repeated(bitmap, toDevice, true, smooth);
        EXPECT_LE(largestDifference(shaded(repeated), theirs), smooth ? 3 : 0) << smooth;

        // Clipped: the painter's picture of the bitmap alone, compared away from its edges
        // (both antialias them, a little differently).
        theirs.fill(Qt::transparent);
        {
            QPainter p(&theirs);
            p.setRenderHint(QPainter::SmoothPixmapTransform, smooth);
            p.setRenderHint(QPainter::Antialiasing);
            p.setTransform(toDevice);
            p.drawImage(0, 0, bitmap);
        }
        const QImage ours = shaded(BitmapShader(bitmap, toDevice, false, smooth));
        const QTransform back = toDevice.inverted();
        auto awayFromEdges = [&](int x, int y) {
            const QPointF b = back.map(QPointF(x + 0.5, y + 0.5));
            const double margin = 0.3;  // bitmap pixels: over a device pixel here
            const bool inside = b.x() > margin && b.y() > margin &&
                                b.x() < bitmap.width() - margin && b.y() < bitmap.height() - margin;
            const bool outside = b.x() < -margin || b.y() < -margin ||
                                 b.x() > bitmap.width() + margin ||
                                 b.y() > bitmap.height() + margin;
            return inside || outside;
        };
        EXPECT_LE(largestDifference(ours, theirs, awayFromEdges), smooth ? 6 : 0) << smooth;
        // Along the edges both shade part of the pixel.
        EXPECT_LE(largestDifference(ours, theirs), 140) << smooth;
    }
}

TEST(BitmapShader, ClippedBitmapsAntialiasTheirEdges) {
    // A 2 x 2 opaque bitmap, 10 pixels to a bitmap pixel, its left edge three quarters into a
    // column: that column is a quarter covered, the next fully; its right edge likewise.
    QImage white(2, 2, QImage::Format_ARGB32_Premultiplied);
    white.fill(Qt::white);
    const BitmapShader shader(
        white, QTransform::fromScale(10, 10) * QTransform::fromTranslate(5.75, 3), false, false);
    QRgb row[40];
    shader.shade(0, 10, 40, row);
    EXPECT_EQ(row[4], 0u);
    EXPECT_NEAR(qAlpha(row[5]), 64, 1);
    EXPECT_EQ(row[6], 0xffffffffu);
    EXPECT_EQ(row[24], 0xffffffffu);
    EXPECT_NEAR(qAlpha(row[25]), 192, 1);
    EXPECT_EQ(row[26], 0u);
}

TEST(BitmapShader, HostilePositionsAndMatricesGiveTransparencyOrTheBitmap) {
    const QImage bitmap = testBitmap();
    EXPECT_FALSE(BitmapShader(bitmap, QTransform(0, 0, 0, 0, 1, 1), true, true).valid());
    EXPECT_FALSE(BitmapShader(QImage(), QTransform(), true, true).valid());
    std::mt19937 random(5);
    std::uniform_real_distribution<double> exponent(-30, 30);
    for (int i = 0; i < 200; ++i) {
        const double a = std::pow(10.0, exponent(random));
        const double d = std::pow(10.0, exponent(random));
        const QTransform t(a, std::pow(10.0, exponent(random)) * (i % 3 - 1), 0, d,
                           std::pow(10.0, exponent(random)), -std::pow(10.0, exponent(random)));
        for (const bool repeat : {false, true}) {
            for (const bool smooth : {false, true}) {
                const BitmapShader shader(bitmap, t, repeat, smooth);
                QRgb row[32];
                shader.shade(-1000000000 + i, 1000000000 - i, 32, row);
                shader.shade(i, i, 32, row);
                for (const QRgb c : row) {
                    EXPECT_GE(qAlpha(c), qBlue(c));
                }
            }
        }
    }
}

TEST(GradientShader, RepeatedCirclesKeepTheirPeriodFarOut) {
    // Along the row through the centre one ramp spans 16 pixels, or 24 from a focal point
    // half way to the left: ten ramps out a pixel shows the colour it shows in the first one.
    const QTransform toDevice =
        QTransform::fromScale(16 / 16384.0, 16 / 16384.0) * QTransform::fromTranslate(0, 0.5);
    for (const std::uint8_t type : {FillStyle::RadialGradient, FillStyle::FocalGradient}) {
        for (const std::uint8_t spread : {Gradient::Repeat, Gradient::Reflect}) {
            FillStyle s;
            s.type = type;
            s.gradient.spread = spread;
            s.gradient.focalPoint = -0.5;
            s.gradient.records = {{0, {0, 0, 0, 255}}, {255, {255, 255, 255, 255}}};
            const GradientShader shader(s, coloursOf(s.gradient), toDevice);
            std::vector<QRgb> row(500);
            shader.shade(0, 0, static_cast<int>(row.size()), row.data());
            const int x = 5;
            const int ramp = type == FillStyle::FocalGradient ? 24 : 16;
            const int cycle = spread == Gradient::Reflect ? 2 * ramp : ramp;
            EXPECT_EQ(row[x + 10 * cycle], row[x]) << int(type) << " spread " << int(spread);
            EXPECT_NE(row[x + 8], row[x]);
        }
    }
}
