// The aliased rasterizer against pictures worked out here: pixel-centre sampling, the tie rule
// on edges through centres, fill rules, clipping, and the chords curves are cut into.

#include <gtest/gtest.h>

#include <QPainterPath>
#include <cmath>
#include <random>

#include "engine/render/Rasterizer.h"

using namespace zd::engine;

namespace {

// Coverage counts per pixel of a w x h grid.
struct Grid {
    Grid(int width, int height) : w(width), h(height), count(std::size_t(width * height), 0) {}
    int w, h;
    std::vector<int> count;
    int& at(int x, int y) { return count[std::size_t(y * w + x)]; }
    void add(const std::vector<AliasedRasterizer::Span>& spans) {
        for (const auto& s : spans) {
            EXPECT_GE(s.y, 0);
            EXPECT_LT(s.y, h);
            EXPECT_GE(s.x0, 0);
            EXPECT_LE(s.x1, w);
            EXPECT_LT(s.x0, s.x1);
            for (int x = s.x0; x < s.x1; ++x) {
                ++at(x, s.y);
            }
        }
    }
    int total() const {
        int n = 0;
        for (const int c : count) {
            n += c;
        }
        return n;
    }
};

Polygons polygon(std::initializer_list<QPointF> points) {
    Polygons p;
    p.points.assign(points);
    p.runs.push_back({static_cast<std::uint32_t>(p.points.size()), true});
    return p;
}

std::vector<AliasedRasterizer::Span> rasterize(const Polygons& p, QRect clip, bool nonZero = false,
                                               const QTransform& t = {}) {
    AliasedRasterizer r(clip);
    r.addPolygons(p, t);
    return r.spans(nonZero);
}

}  // namespace

TEST(AliasedRasterizer, TriangleThroughPixelCentresTakesTheCentresOnItsLeftAndTopEdges) {
    // Legs along the centres of column 0 and row 0, hypotenuse through the centres with
    // x + y = 8: centres on the legs have the triangle to their right or below, so they are
    // in; those on the hypotenuse have it to their left and above, so they are out.
    Grid g(12, 12);
    g.add(rasterize(polygon({{0.5, 0.5}, {8.5, 0.5}, {0.5, 8.5}}), QRect(0, 0, 12, 12)));
    for (int y = 0; y < 12; ++y) {
        for (int x = 0; x < 12; ++x) {
            EXPECT_EQ(g.at(x, y), x + y < 8 ? 1 : 0) << x << "," << y;
        }
    }
    EXPECT_EQ(g.total(), 36);
}

TEST(AliasedRasterizer, SameTriangleTurnedRoundCoversTheSamePixels) {
    // Direction of travel does not change the tie rule: only where the inside lies does.
    const auto forward =
        rasterize(polygon({{0.5, 0.5}, {8.5, 0.5}, {0.5, 8.5}}), QRect(0, 0, 12, 12));
    const auto backward =
        rasterize(polygon({{0.5, 8.5}, {8.5, 0.5}, {0.5, 0.5}}), QRect(0, 0, 12, 12));
    ASSERT_EQ(forward.size(), backward.size());
    for (std::size_t i = 0; i < forward.size(); ++i) {
        EXPECT_EQ(forward[i].y, backward[i].y);
        EXPECT_EQ(forward[i].x0, backward[i].x0);
        EXPECT_EQ(forward[i].x1, backward[i].x1);
    }
}

TEST(AliasedRasterizer, RectangleCoversThePixelsWhoseCentresItHolds) {
    // [1.2, 4.5) x [0.5, 3.9): centres 1.5..3.5 across (4.5 lies on the right edge: out),
    // 0.5..3.5 down (0.5 on the top edge: in).
    Grid g(8, 8);
    g.add(rasterize(polygon({{1.2, 0.5}, {4.5, 0.5}, {4.5, 3.9}, {1.2, 3.9}}), QRect(0, 0, 8, 8)));
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            EXPECT_EQ(g.at(x, y), (x >= 1 && x <= 3 && y <= 3) ? 1 : 0) << x << "," << y;
        }
    }
}

TEST(AliasedRasterizer, AbuttingShapesCoverEveryPixelOnce) {
    // A jittered lattice cut into triangles: shared edges run at every slope and many pass
    // through pixel centres (on the 1/2 grid) or close by. Inside the lattice each pixel
    // belongs to exactly one triangle.
    std::mt19937 random(7);
    std::uniform_int_distribution<int> jitter(-6, 6);
    constexpr int n = 6;
    constexpr double step = 6.0;
    QPointF lattice[n + 1][n + 1];
    for (int j = 0; j <= n; ++j) {
        for (int i = 0; i <= n; ++i) {
            const bool border = i == 0 || j == 0 || i == n || j == n;
            // Inner points on a grid of quarter pixels, so some edges meet centres exactly.
            lattice[j][i] = QPointF(2 + i * step + (border ? 0 : jitter(random) * 0.25),
                                    2 + j * step + (border ? 0 : jitter(random) * 0.25));
        }
    }
    Grid g(44, 44);
    for (int j = 0; j < n; ++j) {
        for (int i = 0; i < n; ++i) {
            const QPointF a = lattice[j][i], b = lattice[j][i + 1], c = lattice[j + 1][i + 1],
                          d = lattice[j + 1][i];
            g.add(rasterize(polygon({a, b, c}), QRect(0, 0, 44, 44)));
            g.add(rasterize(polygon({a, c, d}), QRect(0, 0, 44, 44)));
        }
    }
    for (int y = 0; y < 44; ++y) {
        for (int x = 0; x < 44; ++x) {
            const bool inside = x >= 2 && x < 38 && y >= 2 && y < 38;
            EXPECT_EQ(g.at(x, y), inside ? 1 : 0) << x << "," << y;
        }
    }
}

TEST(AliasedRasterizer, FillRulesDecideHoles) {
    // A square inside a square: wound the same way the inner one is a hole only by the
    // even-odd rule; wound against it, a hole by both.
    Polygons same = polygon({{1, 1}, {9, 1}, {9, 9}, {1, 9}});
    Polygons inner = polygon({{3, 3}, {7, 3}, {7, 7}, {3, 7}});
    Polygons against = polygon({{3, 3}, {3, 7}, {7, 7}, {7, 3}});
    auto merged = [&](const Polygons& hole) {
        Polygons p = same;
        for (const QPointF& q : hole.points) {
            p.points.push_back(q);
        }
        p.runs.push_back({static_cast<std::uint32_t>(p.points.size()), true});
        return p;
    };
    auto count = [](const Polygons& p, bool nonZero) {
        Grid g(10, 10);
        g.add(rasterize(p, QRect(0, 0, 10, 10), nonZero));
        return std::make_pair(g.total(), g.at(5, 5));
    };
    EXPECT_EQ(count(merged(inner), false), std::make_pair(64 - 16, 0));
    EXPECT_EQ(count(merged(inner), true), std::make_pair(64, 1));
    EXPECT_EQ(count(merged(against), false), std::make_pair(64 - 16, 0));
    EXPECT_EQ(count(merged(against), true), std::make_pair(64 - 16, 0));
}

TEST(AliasedRasterizer, SelfCrossingOutlineByBothRules) {
    // A pentagram's centre winds twice: filled by the non-zero rule only; its points wind
    // once and are filled by both.
    Polygons star;
    for (int k = 0; k < 5; ++k) {
        const double a = -M_PI / 2 + k * 4 * M_PI / 5;
        star.points.push_back(QPointF(20 + 15 * std::cos(a), 20 + 15 * std::sin(a)));
    }
    star.runs.push_back({5, true});
    Grid evenOdd(40, 40);
    evenOdd.add(rasterize(star, QRect(0, 0, 40, 40), false));
    Grid nonZero(40, 40);
    nonZero.add(rasterize(star, QRect(0, 0, 40, 40), true));
    EXPECT_EQ(evenOdd.at(20, 20), 0);
    EXPECT_EQ(nonZero.at(20, 20), 1);
    EXPECT_EQ(evenOdd.at(20, 8), 1);  // a point of the star
    EXPECT_EQ(nonZero.at(20, 8), 1);
    EXPECT_GT(nonZero.total(), evenOdd.total());
}

TEST(AliasedRasterizer, ClipKeepsSpansInsideAndShapesRunningPastItStillFill) {
    // A square from (-1e12, 2.5) to (1e12, 6.5) clipped to [10, 20) x [0, 5): rows 2..4,
    // every column of the clip, although its left and right edges lie far outside.
    const auto spans = rasterize(polygon({{-1e12, 2.5}, {1e12, 2.5}, {1e12, 6.5}, {-1e12, 6.5}}),
                                 QRect(10, 0, 10, 5));
    ASSERT_EQ(spans.size(), 3u);
    for (const auto& s : spans) {
        EXPECT_EQ(s.x0, 10);
        EXPECT_EQ(s.x1, 20);
    }
    EXPECT_EQ(spans.front().y, 2);
    EXPECT_EQ(spans.back().y, 4);
    // Nothing at all outside the clip, even for edges with absurd or broken coordinates.
    AliasedRasterizer r(QRect(0, 0, 4, 4));
    r.addLine({NAN, 0}, {1, 1});
    r.addLine({1e300, -1e300}, {-1e300, 1e300});
    for (const auto& s : r.spans(true)) {
        EXPECT_GE(s.x0, 0);
        EXPECT_LE(s.x1, 4);
        EXPECT_GE(s.y, 0);
        EXPECT_LT(s.y, 4);
    }
}

TEST(AliasedRasterizer, VerticesSitOnA256thPixelGrid) {
    // An edge 1/1024 pixel right of a centre moves onto it, and the centre joins the shape on
    // the edge's right; 1/256 right of it stays there and leaves the centre out.
    auto firstColumn = [](double left) {
        const auto spans =
            rasterize(polygon({{left, 0}, {6, 0}, {6, 1}, {left, 1}}), QRect(0, 0, 8, 1));
        return spans.empty() ? -1 : spans.front().x0;
    };
    EXPECT_EQ(firstColumn(2.5), 2);
    EXPECT_EQ(firstColumn(2.5 + 1.0 / 1024), 2);
    EXPECT_EQ(firstColumn(2.5 + 1.0 / 256), 3);
    EXPECT_EQ(firstColumn(2.5 - 1.0 / 256), 2);
}

TEST(AliasedRasterizer, TransformMapsPolygonsBeforeSampling) {
    // A unit square scaled by 4 and moved by (2, 1): pixels 2..5 by 1..4.
    Grid g(10, 10);
    g.add(rasterize(polygon({{0, 0}, {1, 0}, {1, 1}, {0, 1}}), QRect(0, 0, 10, 10), false,
                    QTransform(4, 0, 0, 4, 2, 1)));
    EXPECT_EQ(g.total(), 16);
    EXPECT_EQ(g.at(2, 1), 1);
    EXPECT_EQ(g.at(5, 4), 1);
    EXPECT_EQ(g.at(6, 4), 0);
}

TEST(AliasedRasterizer, StrokeOutlinePathsCutTheirCurvesFinely) {
    // A circle as the cubic path QPainterPath makes: pixels whose centres lie clearly inside
    // or outside the true circle come out that way.
    QPainterPath circle;
    circle.addEllipse(QPointF(20, 20), 15, 15);
    AliasedRasterizer r(QRect(0, 0, 40, 40));
    r.addPath(circle);
    Grid g(40, 40);
    g.add(r.spans(true));
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 40; ++x) {
            const double d = std::hypot(x + 0.5 - 20, y + 0.5 - 20);
            if (std::abs(d - 15) > 0.15) {
                EXPECT_EQ(g.at(x, y), d < 15 ? 1 : 0) << x << "," << y;
            }
        }
    }
}

// ---------------------------------------------------------------------------------------------

namespace {

QPointF quadAt(QPointF p0, QPointF p1, QPointF p2, double t) {
    return (1 - t) * (1 - t) * p0 + 2 * (1 - t) * t * p1 + t * t * p2;
}

// How far the curve strays from the chord [a, b] (sampled densely between the chord's ends).
double strayFrom(QPointF p0, QPointF p1, QPointF p2, QPointF a, QPointF b) {
    // The chord's ends lie on the curve: find their parameters first.
    auto param = [&](QPointF q) {
        double best = 0;
        double bestDist = 1e300;
        for (int i = 0; i <= 20000; ++i) {
            const double t = i / 20000.0;
            const QPointF d = quadAt(p0, p1, p2, t) - q;
            const double dist = d.x() * d.x() + d.y() * d.y();
            if (dist < bestDist) {
                bestDist = dist;
                best = t;
            }
        }
        return best;
    };
    const double ta = param(a);
    const double tb = param(b);
    const QPointF ab = b - a;
    const double len = std::hypot(ab.x(), ab.y());
    double worst = 0;
    for (int i = 0; i <= 200; ++i) {
        const QPointF q = quadAt(p0, p1, p2, ta + (tb - ta) * i / 200.0) - a;
        worst = std::max(worst, std::abs(q.x() * ab.y() - q.y() * ab.x()) / len);
    }
    return worst;
}

}  // namespace

TEST(CurveChords, ChordsEndOnTheCurveAndStayWithinTheTolerance) {
    const QPointF p0(0, 0), p1(300, 0), p2(300, 300);
    for (const double tolerance : {2.0, 0.5, 0.1}) {
        std::vector<QPointF> chords;
        appendCurveChords(p0, p1, p2, tolerance, chords);
        ASSERT_GE(chords.size(), 2u);
        EXPECT_EQ(chords.back(), p2);
        QPointF last = p0;
        for (const QPointF& q : chords) {
            // On the curve: y = (t^2) * 300 where x = (2t - t^2) * 300.
            const double t = std::sqrt(q.y() / 300);
            EXPECT_NEAR(q.x(), (2 * t - t * t) * 300, 1e-6);
            EXPECT_LE(strayFrom(p0, p1, p2, last, q), tolerance * 1.05);
            last = q;
        }
    }
    std::vector<QPointF> coarse;
    std::vector<QPointF> fine;
    appendCurveChords(p0, p1, p2, 2.0, coarse);
    appendCurveChords(p0, p1, p2, 0.1, fine);
    EXPECT_GT(fine.size(), 3 * coarse.size());
}

TEST(CurveChords, ChordsBunchWhereTheCurveBendsMost) {
    // A curve turning sharply near its end: the chords there are shorter than at the start.
    const QPointF p0(0, 0), p1(1000, 0), p2(1000, 40);
    std::vector<QPointF> chords;
    appendCurveChords(p0, p1, p2, 0.5, chords);
    ASSERT_GE(chords.size(), 3u);
    const QPointF first = chords[0] - p0;
    const QPointF lastChord = chords[chords.size() - 1] - chords[chords.size() - 2];
    EXPECT_GT(std::hypot(first.x(), first.y()), 2 * std::hypot(lastChord.x(), lastChord.y()));
}

TEST(CurveChords, AlmostStraightCurvesAndDegenerateOnesAreOneChord) {
    std::vector<QPointF> out;
    // Control point 3.8 units off the chord: the curve strays 1.9, within 2.
    appendCurveChords({0, 0}, {50, 3.8}, {100, 0}, 2.0, out);
    EXPECT_EQ(out.size(), 1u);
    out.clear();
    appendCurveChords({0, 0}, {50, 4.2}, {100, 0}, 2.0, out);
    EXPECT_EQ(out.size(), 2u);
    out.clear();
    appendCurveChords({5, 5}, {5, 5}, {5, 5}, 2.0, out);      // a point
    appendCurveChords({0, 0}, {10, 10}, {20, 20}, 2.0, out);  // a line
    appendCurveChords({0, 0}, {NAN, 1}, {20, 20}, 2.0, out);  // broken
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[0], QPointF(5, 5));
    EXPECT_EQ(out[1], QPointF(20, 20));
    EXPECT_EQ(out[2], QPointF(20, 20));
    // However huge, a curve is cut into a bounded number of chords.
    out.clear();
    appendCurveChords({0, 0}, {1e300, -1e300}, {20, 20}, 2.0, out);
    appendCurveChords({0, 0}, {1e9, 0}, {1e9, 1e9}, 1e-9, out);
    EXPECT_LE(out.size(), 2 * 1024u);
    EXPECT_EQ(out.back(), QPointF(1e9, 1e9));
}

TEST(CurveChords, FlattenPathCutsQuadraticsAndKeepsLines) {
    QPainterPath path;
    path.moveTo(0, 0);
    path.lineTo(100, 0);
    path.quadTo(200, 0, 200, 100);
    path.lineTo(0, 100);
    path.closeSubpath();
    path.moveTo(300, 300);  // an open run: it does not end where it began
    path.lineTo(400, 300);
    path.lineTo(400, 400);
    const Polygons p = flattenPath(path, 1.0);
    ASSERT_EQ(p.runs.size(), 2u);
    EXPECT_TRUE(p.runs[0].closed);
    EXPECT_FALSE(p.runs[1].closed);
    EXPECT_EQ(p.runs[1].end - p.runs[0].end, 3u);
    // The curve's chords lie between (100, 0) and (200, 100), on the curve.
    int onCurve = 0;
    for (std::uint32_t i = 0; i < p.runs[0].end; ++i) {
        const QPointF q = p.points[i];
        if (q.x() > 100 && q.y() > 0 && q.y() < 100) {
            const double t = std::sqrt(q.y() / 100);
            EXPECT_NEAR(q.x(), 100 + (2 * t - t * t) * 100, 1e-6);
            ++onCurve;
        }
    }
    EXPECT_GE(onCurve, 3);
}

TEST(CurveChords, RasterizedCurveMatchesTheTrueCurveAwayFromItsChords) {
    // A quarter disc bounded by one quadratic: centres farther from the curve than the
    // tolerance (plus the vertex grid) are on the same side as for the true curve.
    QPainterPath path;
    path.moveTo(2, 2);
    path.lineTo(32, 2);
    path.quadTo(32, 32, 2, 32);
    path.closeSubpath();
    AliasedRasterizer r(QRect(0, 0, 40, 40));
    r.addPolygons(flattenPath(path, 0.1), QTransform());
    Grid g(40, 40);
    g.add(r.spans(false));
    const QPointF p0(32, 2), p1(32, 32), p2(2, 32);
    for (int y = 3; y < 31; ++y) {
        // Where the true curve crosses this row's centre line.
        const double yc = y + 0.5;
        // y(t) = 2 + 60t - 30t^2  =>  t from the quadratic formula.
        const double t = (60 - std::sqrt(3600 - 120 * (yc - 2))) / 60;
        const double xc = quadAt(p0, p1, p2, t).x();
        for (int x = 2; x < 36; ++x) {
            const double centre = x + 0.5;
            if (std::abs(centre - xc) > 0.3) {
                EXPECT_EQ(g.at(x, y), centre < xc ? 1 : 0) << x << "," << y;
            }
        }
    }
}
