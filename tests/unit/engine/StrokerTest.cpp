// The stroker's outlines, filled by the coverage rasterizer, against the true pictures of
// caps and joins worked out here point by point; its limits on hostile input.

#include <gtest/gtest.h>

#include <QPainterPath>
#include <chrono>
#include <cmath>
#include <numbers>

#include "engine/render/CoverageRasterizer.h"
#include "engine/render/Stroker.h"

using namespace zd::engine;

namespace {

// Coverage (0-255) of a w x h grid: the outline filled by the non-zero rule.
std::vector<int> rasterize(const Polygons& outline, int w, int h) {
    std::vector<int> out(static_cast<std::size_t>(w * h), 0);
    CoverageRasterizer r;
    r.reset(QRect(0, 0, w, h));
    r.addPolygons(outline, QTransform());
    r.sweep(
        true,
        [&](int y, int x0, int x1, const std::uint8_t* c) {
            for (int x = x0; x < x1; ++x) {
                out[static_cast<std::size_t>(y * w + x)] = c[x - x0];
            }
        },
        [&](int y, int x0, int x1, std::uint8_t c) {
            for (int x = x0; x < x1; ++x) {
                out[static_cast<std::size_t>(y * w + x)] = c;
            }
        });
    return out;
}

// The true coverage of each pixel, 32 x 32 samples (to within 4 of 255 along an edge).
template <typename Inside>
std::vector<int> truth(const Inside& inside, int w, int h) {
    constexpr int k = 32;
    std::vector<int> out(static_cast<std::size_t>(w * h), 0);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            int n = 0;
            for (int j = 0; j < k; ++j) {
                for (int i = 0; i < k; ++i) {
                    n += inside(QPointF(x + (i + 0.5) / k, y + (j + 0.5) / k)) ? 1 : 0;
                }
            }
            out[static_cast<std::size_t>(y * w + x)] = std::min(255, n * 256 / (k * k));
        }
    }
    return out;
}

int largestDifference(const std::vector<int>& a, const std::vector<int>& b) {
    int worst = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        worst = std::max(worst, std::abs(a[i] - b[i]));
    }
    return worst;
}

double distanceToSegment(QPointF p, QPointF a, QPointF b) {
    const QPointF ab = b - a;
    const double len2 = QPointF::dotProduct(ab, ab);
    const double t = len2 > 0 ? std::clamp(QPointF::dotProduct(p - a, ab) / len2, 0.0, 1.0) : 0.0;
    const QPointF q = a + t * ab;
    return std::hypot(p.x() - q.x(), p.y() - q.y());
}

// Inside the convex polygon (either winding).
bool insideConvex(const std::vector<QPointF>& poly, QPointF p) {
    int sign = 0;
    for (std::size_t i = 0; i < poly.size(); ++i) {
        const QPointF a = poly[i];
        const QPointF b = poly[(i + 1) % poly.size()];
        const double c = (b.x() - a.x()) * (p.y() - a.y()) - (b.y() - a.y()) * (p.x() - a.x());
        const int s = c > 0 ? 1 : c < 0 ? -1 : 0;
        if (s != 0) {
            if (sign != 0 && s != sign) {
                return false;
            }
            sign = s;
        }
    }
    return true;
}

// The rectangle a segment sweeps, `extend` longer at both ends.
std::vector<QPointF> band(QPointF a, QPointF b, double half, double extend = 0) {
    const QPointF d = (b - a) / std::hypot(b.x() - a.x(), b.y() - a.y());
    const QPointF n(-d.y(), d.x());
    const QPointF a2 = a - extend * d;
    const QPointF b2 = b + extend * d;
    return {a2 + half * n, b2 + half * n, b2 - half * n, a2 - half * n};
}

Polygons strokeOf(const QPainterPath& path, StrokeStyle style, bool openEnds = false) {
    return Stroker(style, 0.02).stroke(path, QTransform(), openEnds);
}

QPainterPath line(std::initializer_list<QPointF> points) {
    QPainterPath p;
    bool first = true;
    for (const QPointF q : points) {
        if (first) {
            p.moveTo(q);
            first = false;
        } else {
            p.lineTo(q);
        }
    }
    return p;
}

// The outline's area by the non-zero rule, from its coverage (255 is a whole pixel).
double coveredArea(const Polygons& outline, int w, int h) {
    double sum = 0;
    for (const int c : rasterize(outline, w, h)) {
        sum += c == 255 ? 1.0 : c / 256.0;
    }
    return sum;
}

}  // namespace

// The largest difference between the stroke's coverage and the region's, on a w x h grid.
template <typename Inside>
int strokeError(const QPainterPath& path, const StrokeStyle& style, const Inside& region, int w,
                int h) {
    return largestDifference(rasterize(strokeOf(path, style), w, h), truth(region, w, h));
}

bool inDisc(QPointF p, QPointF centre, double radius) {
    return std::hypot(p.x() - centre.x(), p.y() - centre.y()) <= radius;
}

TEST(Stroker, CapsEndTheLineFlatSquareOrRound) {
    const QPointF a(10.3, 20.6);
    const QPointF b(40.7, 14.2);
    const double half = 3.5;
    const QPainterPath path = line({a, b});
    StrokeStyle style;
    style.width = 2 * half;
    using Cap = StrokeStyle::Cap;
    auto caps = [&](Cap start, Cap end) {
        style.startCap = start;
        style.endCap = end;
        return style;
    };
    const std::vector<QPointF> body = band(a, b, half);
    const std::vector<QPointF> longer = band(a, b, half, half);
    EXPECT_LE(strokeError(
                  path, caps(Cap::None, Cap::None),
                  [&](QPointF p) { return insideConvex(body, p); }, 56, 40),
              5);
    EXPECT_LE(strokeError(
                  path, caps(Cap::Square, Cap::Square),
                  [&](QPointF p) { return insideConvex(longer, p); }, 56, 40),
              5);
    EXPECT_LE(strokeError(
                  path, caps(Cap::Round, Cap::Round),
                  [&](QPointF p) { return distanceToSegment(p, a, b) <= half; }, 56, 40),
              8);
    // Each end its own cap: round where it starts, none where it ends.
    EXPECT_LE(strokeError(
                  path, caps(Cap::Round, Cap::None),
                  [&](QPointF p) { return insideConvex(body, p) || inDisc(p, a, half); }, 56, 40),
              8);
}

TEST(Stroker, JoinsMeetAsTheStyleSays) {
    // A right angle turning either way: the outer corner is square (miter), cut across (bevel)
    // or rounded; the inner corner is the same for all three.
    const double half = 4;
    for (const bool clockwise : {true, false}) {
        const QPointF a(6.2, 30.4);
        const QPointF corner(30.6, 30.4);
        const QPointF b(30.6, clockwise ? 6.3 : 54.1);
        const QPainterPath path = line({a, corner, b});
        const QPointF outer(corner.x() + half, corner.y() + (clockwise ? half : -half));
        const QPointF across(outer.x(), corner.y());  // where the arms' outer sides end
        const QPointF down(corner.x(), outer.y());
        StrokeStyle style;
        style.width = 2 * half;
        style.startCap = style.endCap = StrokeStyle::Cap::None;
        const std::vector<QPointF> first = band(a, corner, half);
        const std::vector<QPointF> second = band(corner, b, half);
        auto joined = [&](StrokeStyle::Join join, auto tip) {
            style.join = join;
            return strokeError(
                path, style,
                [&](QPointF p) {
                    return insideConvex(first, p) || insideConvex(second, p) || tip(p);
                },
                48, 64);
        };
        EXPECT_LE(joined(StrokeStyle::Join::Miter,
                         [&](QPointF p) {
                             return insideConvex({corner, across, outer, down}, p);
                         }),
                  5)
            << clockwise;
        EXPECT_LE(joined(StrokeStyle::Join::Bevel,
                         [&](QPointF p) {
                             return insideConvex({corner, across, down}, p);
                         }),
                  5)
            << clockwise;
        EXPECT_LE(
            joined(StrokeStyle::Join::Round, [&](QPointF p) { return inDisc(p, corner, half); }), 8)
            << clockwise;
    }
}

TEST(Stroker, MitersLongerThanTheLimitTimesTheWidthAreBevelled) {
    // Two arms 20 degrees apart: the full miter reaches half / sin(10 deg) = 5.76 half-widths
    // (2.88 widths) past the corner.
    const QPointF corner(10, 40);
    const double angle = 20 * std::numbers::pi / 180;
    const QPointF a = corner + QPointF(60, 0);
    const QPointF b = corner + 60 * QPointF(std::cos(angle), -std::sin(angle));
    const QPainterPath path = line({a, corner, b});
    StrokeStyle style;
    style.width = 4;
    style.join = StrokeStyle::Join::Miter;
    style.startCap = style.endCap = StrokeStyle::Cap::None;
    // How far the outline reaches behind the corner, along the bisector.
    const QPointF back(-std::cos(angle / 2), std::sin(angle / 2));
    auto reach = [&](double limit) {
        style.miterLimit = limit;
        const Polygons outline = strokeOf(path, style);
        double far = 0;
        for (const QPointF p : outline.points) {
            far = std::max(far, QPointF::dotProduct(p - corner, back));
        }
        return far;
    };
    const double full = 2 / std::sin(angle / 2);
    EXPECT_NEAR(reach(3), full, 1e-6) << "within the limit: the whole miter";
    EXPECT_NEAR(reach(2.9), full, 1e-6) << "just within";
    // Past the limit the corner is cut straight across between the two outer edges, which
    // lie half a width off the corner: half * sin(10 deg) behind it along the bisector.
    const double bevel = 2 * std::sin(angle / 2);
    EXPECT_NEAR(reach(2.8), bevel, 1e-6) << "just past the limit: bevelled";
    EXPECT_NEAR(reach(1), bevel, 1e-6);
    EXPECT_NEAR(reach(std::nan("")), bevel, 1e-6);
}

TEST(Stroker, ClosedLinesJoinAllRoundUnlessTheirEndsStayOpen) {
    // A square outline with square caps and bevel joins: closed, every corner is bevelled;
    // left open (the no-close flag) where it starts, the start and end get square caps, which
    // fill that corner completely.
    QPainterPath square = line({{10, 10}, {40, 10}, {40, 40}, {10, 40}, {10, 10}});
    StrokeStyle style;
    style.width = 6;
    style.join = StrokeStyle::Join::Bevel;
    style.startCap = style.endCap = StrokeStyle::Cap::Square;
    const Polygons closed = strokeOf(square, style);
    ASSERT_EQ(closed.runs.size(), 2u) << "outside and inside";
    const std::vector<int> joined = rasterize(closed, 50, 50);
    const std::vector<int> open = rasterize(strokeOf(square, style, true), 50, 50);
    EXPECT_EQ(joined[7 * 50 + 7], 0) << "the bevel leaves the corner's tip";
    EXPECT_EQ(open[7 * 50 + 7], 255) << "the caps fill it";
    EXPECT_EQ(joined[7 * 50 + 42], 0) << "another corner, bevelled either way";
    EXPECT_EQ(open[7 * 50 + 42], 0);
    EXPECT_EQ(joined[25 * 50 + 25], 0) << "the inside stays empty";
    EXPECT_EQ(joined[10 * 50 + 25], 255);
    // The ring's area: the band less the four bevelled tips (9 / 2 each).
    EXPECT_NEAR(coveredArea(closed, 50, 50), 36 * 36 - 24 * 24 - 4 * 4.5, 1.0);
}

TEST(Stroker, CurvesAreStrokedAsTheirTrueOffset) {
    // A thick curve: everything within half the width of the curve, whatever join the style
    // asks for at its corners (inside a curve there are none).
    QPainterPath path;
    path.moveTo(8.3, 50.2);
    path.quadTo(30.7, -10.4, 55.1, 45.6);
    std::vector<QPointF> fine;
    for (int k = 0; k <= 600; ++k) {
        const double t = k / 600.0;
        const double u = 1 - t;
        fine.push_back(u * u * QPointF(8.3, 50.2) + 2 * u * t * QPointF(30.7, -10.4) +
                       t * t * QPointF(55.1, 45.6));
    }
    // The curve's pieces near each pixel, so each sample looks at a few only.
    constexpr int kW = 64;
    constexpr int kH = 60;
    std::vector<std::vector<std::size_t>> nearby(kW * kH);
    for (int y = 0; y < kH; ++y) {
        for (int x = 0; x < kW; ++x) {
            for (std::size_t i = 0; i + 1 < fine.size(); ++i) {
                if (distanceToSegment(QPointF(x + 0.5, y + 0.5), fine[i], fine[i + 1]) < 6) {
                    nearby[static_cast<std::size_t>(y * kW + x)].push_back(i);
                }
            }
        }
    }
    auto near = [&](QPointF p, double half) {
        const auto x = static_cast<int>(p.x());
        const auto y = static_cast<int>(p.y());
        for (const std::size_t i : nearby[static_cast<std::size_t>(y * kW + x)]) {
            if (distanceToSegment(p, fine[i], fine[i + 1]) <= half) {
                return true;
            }
        }
        return false;
    };
    for (const StrokeStyle::Join join : {StrokeStyle::Join::Bevel, StrokeStyle::Join::Miter}) {
        StrokeStyle style;
        style.width = 9;
        style.join = join;
        const std::vector<int> ours = rasterize(Stroker(style, 0.05).stroke(path), kW, kH);
        EXPECT_LE(largestDifference(ours, truth([&](QPointF p) { return near(p, 4.5); }, kW, kH)),
                  12);
    }
}

TEST(Stroker, LinesOfNoLengthAreDotsOfTheirCap) {
    const QPainterPath dot = line({{20.5, 20.5}, {20.5, 20.5}});
    StrokeStyle style;
    style.width = 10;
    EXPECT_NEAR(coveredArea(strokeOf(dot, style), 40, 40), std::numbers::pi * 25, 0.5);
    style.startCap = style.endCap = StrokeStyle::Cap::Square;
    EXPECT_NEAR(coveredArea(strokeOf(dot, style), 40, 40), 100, 0.1);
    style.startCap = style.endCap = StrokeStyle::Cap::None;
    EXPECT_TRUE(strokeOf(dot, style).empty());
}

TEST(Stroker, HostileLinesGiveBoundedOutlines) {
    StrokeStyle style;
    style.width = 4;
    // Points beyond any number are left out; what is left is stroked.
    const double inf = std::numeric_limits<double>::infinity();
    const Polygons some = strokeOf(line({{0, 0}, {std::nan(""), 5}, {inf, 1}, {10, 0}}), style);
    EXPECT_FALSE(some.empty());
    for (const QPointF p : some.points) {
        EXPECT_TRUE(std::isfinite(p.x()) && std::isfinite(p.y()));
    }
    // No width, or none that is a number: nothing to draw.
    style.width = 0;
    EXPECT_TRUE(strokeOf(line({{0, 0}, {10, 0}}), style).empty());
    style.width = std::nan("");
    EXPECT_TRUE(strokeOf(line({{0, 0}, {10, 0}}), style).empty());
    // A huge width still takes a bounded number of points for its caps and joins.
    style.width = 1e12;
    const Polygons huge = strokeOf(line({{0, 0}, {10, 0}, {10, 10}}), style);
    EXPECT_LT(huge.points.size(), 1200u);
    // Beyond the outline limit a line is dropped rather than drawn in part.
    style.width = 1;
    std::vector<QPointF> zigzag;
    std::vector<bool> smooth;
    for (std::size_t i = 0; i < Stroker::kMaxPoints / 2; ++i) {
        zigzag.emplace_back(static_cast<double>(i), (i % 2) * 3.0);
    }
    Polygons many;
    Stroker stroker(style, 0.1);
    const auto start = std::chrono::steady_clock::now();
    stroker.strokeLine(zigzag, smooth, false, many);
    EXPECT_TRUE(many.empty());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

TEST(LineOutline, ThinAndFixedLinesAreOutlinedOnTheDevice) {
    LineStyle s;
    s.width = 40;  // two stage pixels
    // Scaled: outlined in the shape's units, at its own width.
    LineOutline o = lineOutline(s, 0.1, 2.0);
    EXPECT_FALSE(o.onDevice);
    EXPECT_EQ(o.style.width, 40);
    // Under a pixel once scaled, and hairlines: one device pixel.
    o = lineOutline(s, 0.01, 2.0);
    EXPECT_TRUE(o.onDevice);
    EXPECT_EQ(o.style.width, 1);
    s.width = 0;
    EXPECT_EQ(lineOutline(s, 10, 2.0).style.width, 1);
    EXPECT_TRUE(lineOutline(s, 10, 2.0).onDevice);
    EXPECT_TRUE(lineOutline(s, std::nan(""), 2.0).onDevice);
    // Not scaling with the shape: the width on the stage, scaled with the stage only.
    s.width = 40;
    s.noHScale = true;
    o = lineOutline(s, 0.01, 3.0);
    EXPECT_TRUE(o.onDevice);
    EXPECT_EQ(o.style.width, 6);
    // Caps and joins carry over.
    s.startCap = LineStyle::NoCap;
    s.endCap = LineStyle::SquareCap;
    s.join = LineStyle::MiterJoin;
    s.miterLimit = 2.5;
    o = lineOutline(s, 1, 1);
    EXPECT_EQ(o.style.startCap, StrokeStyle::Cap::None);
    EXPECT_EQ(o.style.endCap, StrokeStyle::Cap::Square);
    EXPECT_EQ(o.style.join, StrokeStyle::Join::Miter);
    EXPECT_EQ(o.style.miterLimit, 2.5);
}
