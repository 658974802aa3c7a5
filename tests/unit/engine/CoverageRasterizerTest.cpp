// The antialiased coverage rasterizer: exact shares of pixels for known outlines, fill rules,
// clipping, blending, and agreement with the painter's own antialiased fills.

#include <gtest/gtest.h>

#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <random>

#include "engine/render/CoverageRasterizer.h"

using namespace zd::engine;

namespace {

// The coverage of every pixel of a w x h grid (the sweep hands out each pixel once at most).
struct Coverage {
    Coverage(int width, int height)
        : w(width), h(height), value(std::size_t(width * height), 0), seen(value.size(), 0) {}
    int w, h;
    std::vector<int> value;
    std::vector<int> seen;
    int at(int x, int y) const { return value[std::size_t(y * w + x)]; }
    void set(int x, int y, int c) {
        ASSERT_GE(x, 0);
        ASSERT_LT(x, w);
        ASSERT_GE(y, 0);
        ASSERT_LT(y, h);
        EXPECT_EQ(seen[std::size_t(y * w + x)]++, 0) << "pixel handed out twice " << x << "," << y;
        value[std::size_t(y * w + x)] = c;
    }
};

Coverage rasterize(const QPainterPath& path, QRect clip, bool nonZero, int w, int h,
                   CoverageRasterizer& r) {
    Coverage out(w, h);
    r.reset(clip);
    r.addPath(path, QTransform());
    int lastY = -1;
    r.sweep(
        nonZero,
        [&](int y, int x0, int x1, const std::uint8_t* c) {
            EXPECT_GE(y, lastY);
            lastY = y;
            EXPECT_LT(x0, x1);
            for (int x = x0; x < x1; ++x) {
                out.set(x, y, c[x - x0]);
            }
        },
        [&](int y, int x0, int x1, std::uint8_t c) {
            EXPECT_GE(y, lastY);
            lastY = y;
            EXPECT_LT(x0, x1);
            EXPECT_NE(c, 0);
            for (int x = x0; x < x1; ++x) {
                out.set(x, y, c);
            }
        });
    return out;
}

Coverage rasterize(const QPainterPath& path, int w, int h, bool nonZero = true) {
    CoverageRasterizer r;
    return rasterize(path, QRect(0, 0, w, h), nonZero, w, h, r);
}

QPainterPath polygonPath(std::initializer_list<QPointF> points) {
    QPainterPath p;
    p.addPolygon(QPolygonF(QList<QPointF>(points)));
    p.closeSubpath();
    return p;
}

QImage ourFill(const QPainterPath& path, QSize size, QColor color) {
    QImage ours(size, QImage::Format_ARGB32_Premultiplied);
    ours.fill(Qt::white);
    CoverageRasterizer r;
    r.reset(ours.rect());
    r.addPath(path, QTransform());
    r.fill(ours, path.fillRule() == Qt::WindingFill, qPremultiply(color.rgba()));
    return ours;
}

int largestDifference(const QImage& a, const QImage& b) {
    int worst = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            worst = std::max({worst, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                              std::abs(qBlue(p) - qBlue(q)), std::abs(qAlpha(p) - qAlpha(q))});
        }
    }
    return worst;
}

// The painter's own antialiased fill of path in color over white.
QImage painterFill(const QPainterPath& path, QSize size, QColor color) {
    QImage theirs(size, QImage::Format_ARGB32_Premultiplied);
    theirs.fill(Qt::white);
    QPainter p(&theirs);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillPath(path, color);
    return theirs;
}

// The fill's true picture, near enough: an aliased fill at 32 times the size, each pixel the
// mean of its 1024 samples.
QImage supersampledFill(const QPainterPath& path, QSize size, QColor color) {
    constexpr int k = 32;
    QImage big(size * k, QImage::Format_ARGB32_Premultiplied);
    big.fill(Qt::white);
    {
        QPainter p(&big);
        p.scale(k, k);
        p.fillPath(path, color);
    }
    QImage out(size, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            int sum[4] = {};
            for (int j = 0; j < k; ++j) {
                const auto* line = reinterpret_cast<const QRgb*>(big.constScanLine(y * k + j));
                for (int i = 0; i < k; ++i) {
                    const QRgb v = line[x * k + i];
                    sum[0] += qRed(v);
                    sum[1] += qGreen(v);
                    sum[2] += qBlue(v);
                    sum[3] += qAlpha(v);
                }
            }
            out.setPixel(
                x, y,
                qRgba(sum[0] / (k * k), sum[1] / (k * k), sum[2] / (k * k), sum[3] / (k * k)));
        }
    }
    return out;
}

}  // namespace

TEST(CoverageRasterizer, RectangleEdgesTakeTheirShareOfThePixel) {
    // [1.25, 4.5) x [0.5, 3.75): a quarter of column 1 uncovered, half of column 4 covered,
    // half of row 0 and three quarters of row 3.
    const Coverage c =
        rasterize(polygonPath({{1.25, 0.5}, {4.5, 0.5}, {4.5, 3.75}, {1.25, 3.75}}), 8, 8);
    auto expected = [](int x, int y) {
        const double cx = std::clamp(std::min(x + 1.0, 4.5) - std::max(x + 0.0, 1.25), 0.0, 1.0);
        const double cy = std::clamp(std::min(y + 1.0, 3.75) - std::max(y + 0.0, 0.5), 0.0, 1.0);
        return std::min(255, int(cx * cy * 256));
    };
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            EXPECT_NEAR(c.at(x, y), expected(x, y), 1) << x << "," << y;
        }
    }
    EXPECT_EQ(c.at(2, 1), 255);
    EXPECT_EQ(c.at(5, 1), 0);
}

TEST(CoverageRasterizer, AVertexGridRoundsEdgesToTheNearestStep) {
    // Left side 1.05 rounds to 1 (column 1 whole), right side 4.4 to 4.5 (column 4 half),
    // top 0.3 to 0.25, bottom 2.9 to 3 (row 2 whole, row 3 untouched).
    CoverageRasterizer r;
    r.setVertexGrid(4);
    const QPainterPath p = polygonPath({{1.05, 0.3}, {4.4, 0.3}, {4.4, 2.9}, {1.05, 2.9}});
    const Coverage c = rasterize(p, QRect(0, 0, 8, 8), true, 8, 8, r);
    EXPECT_EQ(c.at(1, 1), 255);
    EXPECT_NEAR(c.at(4, 1), 128, 1);
    EXPECT_NEAR(c.at(2, 0), 192, 1);
    EXPECT_EQ(c.at(2, 2), 255);
    EXPECT_EQ(c.at(2, 3), 0);
    EXPECT_EQ(c.at(0, 1), 0);
    EXPECT_EQ(c.at(5, 1), 0);

    // Back to exact positions: the same outline tints column 4 by its true share.
    r.setVertexGrid(0);
    const Coverage exact = rasterize(p, QRect(0, 0, 8, 8), true, 8, 8, r);
    EXPECT_NEAR(exact.at(4, 1), 102, 1);
    EXPECT_NEAR(exact.at(1, 1), 243, 1);
}

TEST(CoverageRasterizer, SlantedEdgesSumToTheOutlinesArea) {
    // A triangle at odd slopes, crossing many columns per row and rows per column: the
    // coverage adds up to its area, whichever way it is wound.
    for (const bool reversed : {false, true}) {
        QPainterPath p = reversed ? polygonPath({{2.3, 19.6}, {27.9, 11.2}, {3.1, 1.7}})
                                  : polygonPath({{3.1, 1.7}, {27.9, 11.2}, {2.3, 19.6}});
        const Coverage c = rasterize(p, 32, 24);
        double sum = 0;
        for (const int v : c.value) {
            sum += v / 256.0;
        }
        const double area =
            std::abs((27.9 - 3.1) * (19.6 - 1.7) - (2.3 - 3.1) * (11.2 - 1.7)) / 2.0;
        EXPECT_NEAR(sum, area, 0.5 + 0.004 * area) << reversed;
        EXPECT_EQ(c.at(10, 10), 255);
        EXPECT_EQ(c.at(30, 10), 0);
    }
}

TEST(CoverageRasterizer, FillRulesDecideHoles) {
    // A square inside a square wound the same way: a hole by the even-odd rule only; the ring
    // between is covered by both.
    QPainterPath p = polygonPath({{1, 1}, {9, 1}, {9, 9}, {1, 9}});
    p.addPath(polygonPath({{3, 3}, {7, 3}, {7, 7}, {3, 7}}));
    const Coverage nonZero = rasterize(p, 10, 10, true);
    const Coverage evenOdd = rasterize(p, 10, 10, false);
    EXPECT_EQ(nonZero.at(5, 5), 255);
    EXPECT_EQ(evenOdd.at(5, 5), 0);
    EXPECT_EQ(nonZero.at(2, 5), 255);
    EXPECT_EQ(evenOdd.at(2, 5), 255);
    EXPECT_EQ(evenOdd.at(0, 0), 0);
}

TEST(CoverageRasterizer, OutlinesBeyondTheClipStillCoverWhatIsInside) {
    // A rectangle from far left of the clip to far right of it and past the bottom: the clipped
    // part is covered in full, nothing outside the clip is handed out (set() checks).
    CoverageRasterizer r;
    const QPainterPath p = polygonPath({{-5000, 2.5}, {7000, 2.5}, {7000, 5000}, {-5000, 5000}});
    const Coverage c = rasterize(p, QRect(2, 1, 5, 5), true, 10, 10, r);
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 10; ++x) {
            const bool inClip = x >= 2 && x < 7 && y >= 1 && y < 6;
            const int expected = !inClip ? 0 : y == 2 ? 128 : y > 2 ? 255 : 0;
            EXPECT_EQ(c.at(x, y), expected) << x << "," << y;
        }
    }
    // The same rasterizer, reused, starts clean; an outline wholly outside gives nothing.
    const Coverage none = rasterize(polygonPath({{20, 20}, {30, 20}, {30, 30}}),
                                    QRect(0, 0, 10, 10), true, 10, 10, r);
    for (const int v : none.seen) {
        EXPECT_EQ(v, 0);
    }
    const Coverage again = rasterize(polygonPath({{1, 1}, {3, 1}, {3, 3}, {1, 3}}),
                                     QRect(0, 0, 10, 10), true, 10, 10, r);
    EXPECT_EQ(again.at(2, 2), 255);
    EXPECT_EQ(again.at(5, 5), 0);
}

TEST(CoverageRasterizer, HostileCoordinatesNeitherCrashNorHang) {
    QPainterPath p;
    p.moveTo(0, 0);
    p.lineTo(std::numeric_limits<double>::infinity(), 3);
    p.lineTo(1e300, -1e300);
    p.cubicTo(QPointF(-1e12, 4), QPointF(5, 1e12), QPointF(std::nan(""), 2));
    p.lineTo(4, 4);
    // An edge all but flat and very long: its slope is beyond any number.
    p.moveTo(0, 0);
    p.lineTo(5e6, 1e-300);
    p.lineTo(5, 8);
    const Coverage c = rasterize(p, 16, 16);
    for (const int v : c.value) {
        EXPECT_GE(v, 0);
        EXPECT_LE(v, 255);
    }
}

TEST(CoverageRasterizer, FillsMatchTheirTruePictureAndThePaintersOwn) {
    // Curves, holes, both fill rules and a translucent colour over white: no further from the
    // picture worked out at 32 times the size than the painter's own fill (both cut curves into
    // chords that stray a tenth of a pixel or so).
    QPainterPath curves;
    curves.moveTo(10.3, 40.7);
    curves.quadTo(30.1, -5.2, 70.6, 20.4);
    curves.cubicTo(90.2, 35.5, 60.8, 75.1, 40.5, 60.9);
    curves.quadTo(20.2, 80.3, 10.3, 40.7);
    curves.addEllipse(QPointF(45.5, 35.25), 12.3, 9.7);
    const QSize size(96, 80);
    for (const Qt::FillRule rule : {Qt::WindingFill, Qt::OddEvenFill}) {
        curves.setFillRule(rule);
        for (const QColor color : {QColor(20, 90, 200), QColor(200, 40, 10, 128)}) {
            const QImage truth = supersampledFill(curves, size, color);
            const int ours = largestDifference(ourFill(curves, size, color), truth);
            const int painters = largestDifference(painterFill(curves, size, color), truth);
            // One level either way is the two fills' rounding of a share of 255.
            EXPECT_LE(ours, painters + 1) << rule;
            EXPECT_LE(ours, 26) << rule;
        }
    }
    // Straight edges, crossing themselves: what the painter draws, to its rounding of vertices.
    std::mt19937 random(11);
    std::uniform_real_distribution<double> coordinate(-10.0, 110.0);
    for (int i = 0; i < 20; ++i) {
        QPainterPath p;
        p.moveTo(coordinate(random), coordinate(random));
        for (int k = 0; k < 7; ++k) {
            p.lineTo(coordinate(random), coordinate(random));
        }
        p.closeSubpath();
        p.setFillRule(i % 2 == 0 ? Qt::WindingFill : Qt::OddEvenFill);
        // Where edges cross inside a pixel both rasterizers take the summed winding of its
        // parts, so only the painter's picture is the measure here.
        EXPECT_LE(largestDifference(ourFill(p, QSize(100, 100), Qt::black),
                                    painterFill(p, QSize(100, 100), Qt::black)),
                  6)
            << i;
    }
}

namespace {

QPainterPath blob() {
    QPainterPath p;
    p.moveTo(10.3, 40.7);
    p.quadTo(30.1, -5.2, 70.6, 20.4);
    p.cubicTo(90.2, 35.5, 60.8, 75.1, 40.5, 60.9);
    p.quadTo(20.2, 80.3, 10.3, 40.7);
    return p;
}

// The blob filled through t with a fresh rasterizer, or through r and slot (true when the
// slot's rasterisation was used).
QImage drawn(const QTransform& t, QRect clip, CoverageRasterizer* r = nullptr,
             RasterSlot* slot = nullptr, bool* kept = nullptr) {
    QImage image(120, 100, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    CoverageRasterizer fresh;
    CoverageRasterizer& use = r != nullptr ? *r : fresh;
    bool reused = false;
    if (slot != nullptr) {
        reused = use.reset(clip, *slot, t, true);
    } else {
        use.reset(clip);
    }
    if (!reused) {
        use.addPath(blob(), t);
    }
    use.fill(image, true, qPremultiply(qRgba(20, 90, 200, 200)));
    if (kept != nullptr) {
        *kept = reused;
    }
    return image;
}

}  // namespace

TEST(CoverageRasterizer, OutlinesDrawnAgainReuseTheirRasterisationToTheSamePixels) {
    CoverageRasterizer r;
    RasterSlot slot;
    const QRect clip(0, 0, 120, 100);
    const QTransform t = QTransform::fromScale(1.2, 0.9) * QTransform::fromTranslate(3.25, 4.5);
    bool kept = true;
    // Seen once, then kept the second time, used from the third.
    EXPECT_EQ(drawn(t, clip, &r, &slot, &kept), drawn(t, clip));
    EXPECT_FALSE(kept);
    EXPECT_EQ(r.cachedBytes(), 0u);
    EXPECT_EQ(drawn(t, clip, &r, &slot, &kept), drawn(t, clip));
    EXPECT_FALSE(kept);
    EXPECT_GT(r.cachedBytes(), 0u);
    EXPECT_EQ(drawn(t, clip, &r, &slot, &kept), drawn(t, clip));
    EXPECT_TRUE(kept);
    // Moved by whole pixels: the same rows moved.
    const QTransform moved = t * QTransform::fromTranslate(-7, 11);
    EXPECT_EQ(drawn(moved, clip, &r, &slot, &kept), drawn(moved, clip));
    EXPECT_TRUE(kept);
    // Moved by a fraction, or turned: worked out afresh.
    const QTransform fraction = t * QTransform::fromTranslate(0.5, 0);
    EXPECT_EQ(drawn(fraction, clip, &r, &slot, &kept), drawn(fraction, clip));
    EXPECT_FALSE(kept);
    const QTransform turned = t * QTransform().rotate(3);
    EXPECT_EQ(drawn(turned, clip, &r, &slot, &kept), drawn(turned, clip));
    EXPECT_FALSE(kept);
}

TEST(CoverageRasterizer, KeptRasterisationsAreWorkedOutAgainWhereTheClipCutThem) {
    CoverageRasterizer r;
    RasterSlot slot;
    const QTransform t = QTransform::fromTranslate(2, 3);
    const QRect narrow(0, 0, 40, 100);  // cuts the blob at x = 40
    drawn(t, narrow, &r, &slot);
    drawn(t, narrow, &r, &slot);
    bool kept = false;
    EXPECT_EQ(drawn(t, narrow, &r, &slot, &kept), drawn(t, narrow));
    EXPECT_TRUE(kept);
    // Wider now: what the narrow clip cut away must be drawn, so nothing kept is used.
    const QRect wide(0, 0, 120, 100);
    EXPECT_EQ(drawn(t, wide, &r, &slot, &kept), drawn(t, wide));
    EXPECT_FALSE(kept);
    // Narrower than kept is fine.
    drawn(t, wide, &r, &slot);
    EXPECT_EQ(drawn(t, QRect(10, 10, 30, 30), &r, &slot, &kept), drawn(t, QRect(10, 10, 30, 30)));
    EXPECT_TRUE(kept);
}

TEST(CoverageRasterizer, KeptRasterisationsStayWithinTheirBudget) {
    CoverageRasterizer r;
    std::vector<RasterSlot> holders(120);
    // Large outlines with edges crossing every row: over half a megabyte each.
    QPainterPath stripes;
    for (int i = 0; i < 8; ++i) {
        stripes.addPolygon(
            QPolygonF({QPointF(i * 250.0, 0), QPointF(i * 250.0 + 90, 0),
                       QPointF(i * 250.0 + 190, 2000), QPointF(i * 250.0 + 100, 2000)}));
        stripes.closeSubpath();
    }
    QImage image(2000, 2000, QImage::Format_ARGB32_Premultiplied);
    auto draw = [&](RasterSlot& slot) {
        if (!r.reset(image.rect(), slot, QTransform(), true)) {
            r.addPath(stripes, QTransform());
            r.fill(image, true, 0xff000000u);
            return false;
        }
        r.fill(image, true, 0xff000000u);
        return true;
    };
    for (RasterSlot& slot : holders) {
        draw(slot);
        draw(slot);
        EXPECT_LE(r.cachedBytes(), CoverageRasterizer::kMaxCachedBytes);
    }
    EXPECT_GT(r.cachedBytes(), CoverageRasterizer::kMaxCachedBytes / 2);
    EXPECT_FALSE(draw(holders.front())) << "the oldest went first";
    EXPECT_TRUE(draw(holders.back()));
    // Outlines that are gone free what they kept.
    holders.resize(1);
    EXPECT_LT(r.cachedBytes(), 1u << 20);
}

TEST(CoverageRasterizer, FarAwayVerticesKeepTheirEdgesSlopes) {
    // The region below y = 0.37 x + 2.3, its corners a hundred billion pixels away: each pixel
    // covered by the share of it below the line.
    const double slope = 0.37;
    const double at = 2.3;
    const double far = 1e11;
    QPainterPath p = polygonPath(
        {{-far, -far * slope + at}, {far, far * slope + at}, {far, 1e12}, {-far, 1e12}});
    const Coverage c = rasterize(p, 20, 20);
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 20; ++x) {
            // The line crosses the pixel's column between these heights; the pixel is
            // covered below it.
            const double y0 = slope * x + at;
            const double y1 = slope * (x + 1) + at;
            auto above = [&](double top) {  // area of [x, x+1] x [top, top+1] above the line
                double sum = 0;
                for (int k = 0; k < 1000; ++k) {
                    const double f = (k + 0.5) / 1000;
                    sum += std::clamp(y0 + (y1 - y0) * f - top, 0.0, 1.0);
                }
                return sum / 1000;
            };
            const int want = std::min(255, static_cast<int>((1 - above(y)) * 256));
            EXPECT_NEAR(c.at(x, y), want, 2) << x << "," << y;
        }
    }
}

TEST(CoverageRasterizer, CurvesBesideTheClipCountTheRowsTheyCross) {
    // The left side a curve that turns up and down, wholly left of the clip: inside the clip
    // the picture is the one drawn with nothing clipped.
    QPainterPath p;
    p.moveTo(5, 2);
    p.cubicTo(-30, 50, 8, -20, -10, 38);
    p.lineTo(30.5, 38);
    p.lineTo(30.5, 2);
    p.closeSubpath();
    for (const bool nonZero : {true, false}) {
        CoverageRasterizer r;
        const Coverage clipped = rasterize(p, QRect(10, 0, 30, 40), nonZero, 40, 40, r);
        QPainterPath shifted = p.translated(40, 0);
        const Coverage whole = rasterize(shifted, QRect(0, 0, 80, 40), nonZero, 80, 40, r);
        for (int y = 0; y < 40; ++y) {
            for (int x = 10; x < 40; ++x) {
                EXPECT_NEAR(clipped.at(x, y), whole.at(x + 40, y), 1) << x << "," << y;
            }
        }
    }
}
