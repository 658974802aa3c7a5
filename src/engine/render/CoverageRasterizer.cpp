#include "engine/render/CoverageRasterizer.h"

#include "engine/render/Rasterizer.h"

#include <algorithm>
#include <cmath>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace zd::engine {

namespace {

inline void touch(std::uint64_t* bits, int x) {
    bits[x >> 6] |= std::uint64_t(1) << (x & 63);
}

// Sets n pixels to one value, four at a time where the processor allows.
inline void fillPixels(QRgb* to, int n, QRgb value) {
#ifdef __SSE2__
    const __m128i v = _mm_set1_epi32(static_cast<int>(value));
    for (; n >= 4; n -= 4, to += 4) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to), v);
    }
#endif
    std::fill(to, to + n, value);
}

// A curve is cut into this many chords at most, however large it is.
constexpr int kMaxChords = 1024;
// Device coordinates are kept within this, far past any picture.
constexpr double kMaxCoordinate = 1e7;

double bounded(double v) {
    return std::isfinite(v) ? std::clamp(v, -kMaxCoordinate, kMaxCoordinate) : 0.0;
}

// Each of the four 8-bit channels times a / 255, rounded as the painter does.
inline QRgb byteMul(QRgb x, unsigned a) {
    unsigned t = (x & 0xff00ff) * a;
    t = (t + ((t >> 8) & 0xff00ff) + 0x800080) >> 8;
    t &= 0xff00ff;
    x = ((x >> 8) & 0xff00ff) * a;
    x = x + ((x >> 8) & 0xff00ff) + 0x800080;
    x &= 0xff00ff00;
    return x | t;
}

}  // namespace

void CoverageRasterizer::reset(const QRect& clip) {
    clip_ = clip;
    lines_.clear();
}

void CoverageRasterizer::addLine(QPointF from, QPointF to) {
    const double y0 = bounded(from.y());
    const double y1 = bounded(to.y());
    if (y0 == y1) {
        return;  // a horizontal edge covers nothing
    }
    lines_.push_back({bounded(from.x()), y0, bounded(to.x()), y1});
}

void CoverageRasterizer::addPath(const QPainterPath& path, const QTransform& t, double tolerance) {
    tolerance = std::max(tolerance, 1e-3);
    const auto line = [this](QPointF from, QPointF to) { addLine(from, to); };
    forEachClosedSegment(
        path, [&t](QPointF p) { return t.map(p); }, line,
        [&](QPointF from, QPointF c1, QPointF c2, QPointF to) {
            forEachCubicChord(from, c1, c2, to, tolerance, kMaxChords, line);
        });
}

bool CoverageRasterizer::prepare() {
    edges_.clear();
    if (lines_.empty() || clip_.isEmpty()) {
        lines_.clear();
        return false;
    }
    double left = lines_.front().x0;
    double right = left;
    double top = lines_.front().y0;
    double bottom = top;
    for (const Line& l : lines_) {
        left = std::min({left, l.x0, l.x1});
        right = std::max({right, l.x0, l.x1});
        top = std::min({top, l.y0, l.y1});
        bottom = std::max({bottom, l.y0, l.y1});
    }
    const QRect box(
        QPoint(static_cast<int>(std::floor(left)), static_cast<int>(std::floor(top))),
        QPoint(static_cast<int>(std::ceil(right)), static_cast<int>(std::ceil(bottom))));
    area_ = box.intersected(clip_);
    if (area_.isEmpty()) {
        lines_.clear();
        return false;
    }
    // One row of cells, kept in the cache, for rows swept one at a time.
    stride_ = area_.width() + 2;
    if (cells_.size() < static_cast<std::size_t>(stride_)) {
        cells_.resize(static_cast<std::size_t>(stride_), 0.0f);
        coverage_.resize(static_cast<std::size_t>(stride_));
    }
    words_ = (stride_ + 63) / 64;
    if (touched_.size() < static_cast<std::size_t>(words_)) {
        touched_.resize(static_cast<std::size_t>(words_), 0);
    }
    for (const Line& l : lines_) {
        addEdges(l);
    }
    lines_.clear();
    std::sort(edges_.begin(), edges_.end(),
              [](const Edge& a, const Edge& b) { return a.yTop < b.yTop; });
    return !edges_.empty();
}

void CoverageRasterizer::addEdges(const Line& line) {
    const double w = area_.width();
    const double x0 = line.x0 - area_.left();
    const double y0 = line.y0 - area_.top();
    const double x1 = line.x1 - area_.left();
    const double y1 = line.y1 - area_.top();
    if (std::max(y0, y1) <= 0 || std::min(y0, y1) >= area_.height()) {
        return;
    }
    // Left of the columns an edge still counts, as a vertical edge on the first column's left
    // side; right of them it changes nothing that shows. Cut where it crosses either side.
    double cuts[4] = {0, 1, 1, 1};
    int n = 1;
    for (const double edge : {0.0, w}) {
        if ((x0 < edge) != (x1 < edge) && x0 != x1) {
            cuts[n++] = (edge - x0) / (x1 - x0);
        }
    }
    if (n == 3 && cuts[1] > cuts[2]) {
        std::swap(cuts[1], cuts[2]);
    }
    cuts[n] = 1;
    for (int i = 0; i < n; ++i) {
        const double fa = cuts[i];
        const double fb = cuts[i + 1];
        const double ya = y0 + (y1 - y0) * fa;
        const double yb = fb == 1 ? y1 : y0 + (y1 - y0) * fb;
        const double xa = std::clamp(x0 + (x1 - x0) * fa, 0.0, w);
        const double xb = std::clamp(fb == 1 ? x1 : x0 + (x1 - x0) * fb, 0.0, w);
        addEdge(xa, ya, xb, yb);
    }
}

void CoverageRasterizer::addEdge(double x0, double y0, double x1, double y1) {
    if (y0 == y1) {
        return;
    }
    float dir = 1;
    if (y0 > y1) {
        std::swap(x0, x1);
        std::swap(y0, y1);
        dir = -1;
    }
    const double height = area_.height();
    // An edge this flat covers nothing that shows, and its slope may not be finite.
    if (y1 <= 0 || y0 >= height || y1 - y0 < 1e-9) {
        return;
    }
    const double dxdy = (x1 - x0) / (y1 - y0);
    if (y0 < 0) {
        x0 += -y0 * dxdy;
        y0 = 0;
    }
    edges_.push_back({y0, std::min(y1, height), x0, dxdy, dir});
}

void CoverageRasterizer::accumulate(const Edge& e, int row) {
    const double top = std::max<double>(row, e.yTop);
    const double bottom = std::min(row + 1.0, e.yBottom);
    const double dy = bottom - top;
    if (dy <= 0) {
        return;
    }
    // The ends of this row's part of the edge, kept within the columns against rounding.
    const double w = area_.width();
    const double x = std::clamp(e.xTop + (top - e.yTop) * e.dxdy, 0.0, w);
    const double xNext = std::clamp(e.xTop + (bottom - e.yTop) * e.dxdy, 0.0, w);
    const auto d = static_cast<float>(dy) * e.dir;
    const double lo = std::min(x, xNext);
    const double hi = std::max(x, xNext);
    const double loFloor = std::floor(lo);
    const int i0 = static_cast<int>(loFloor);
    const int i1 = static_cast<int>(std::ceil(hi));
    float* cells = cells_.data();
    std::uint64_t* bits = touched_.data();
    rowMin_ = std::min(rowMin_, i0);
    if (i1 <= i0 + 1) {
        // Within one column: the part right of the edge's mean position is covered.
        const auto mid = static_cast<float>(0.5 * (x + xNext) - loFloor);
        cells[i0] += d - d * mid;
        cells[i0 + 1] += d * mid;
        touch(bits, i0);
        touch(bits, i0 + 1);
        rowMax_ = std::max(rowMax_, i0 + 1);
        return;
    }
    // Across columns: the triangles at both ends, equal strips between.
    const auto s = static_cast<float>(1.0 / (hi - lo));
    const auto x0f = static_cast<float>(lo - loFloor);
    const float a0 = 0.5f * s * (1 - x0f) * (1 - x0f);
    const auto x1f = static_cast<float>(hi - std::ceil(hi) + 1);
    const float am = 0.5f * s * x1f * x1f;
    cells[i0] += d * a0;
    if (i1 == i0 + 2) {
        cells[i0 + 1] += d * (1 - a0 - am);
    } else {
        const float a1 = s * (1.5f - x0f);
        cells[i0 + 1] += d * (a1 - a0);
        for (int xi = i0 + 2; xi < i1 - 1; ++xi) {
            cells[xi] += d * s;
        }
        const float a2 = a1 + static_cast<float>(i1 - i0 - 3) * s;
        cells[i1 - 1] += d * (1 - a2 - am);
    }
    cells[i1] += d * am;
    for (int xi = i0; xi <= i1; ++xi) {
        touch(bits, xi);
    }
    rowMax_ = std::max(rowMax_, i1);
}

int CoverageRasterizer::accumulateRow(int row) {
    rowMin_ = stride_;
    rowMax_ = -1;
    if (active_.empty()) {
        if (nextEdge_ >= edges_.size()) {
            return area_.height();  // nothing below
        }
        row = std::max(row, static_cast<int>(edges_[nextEdge_].yTop));
    }
    while (nextEdge_ < edges_.size() && edges_[nextEdge_].yTop < row + 1.0) {
        active_.push_back(nextEdge_++);
    }
    std::size_t kept = 0;
    for (const std::size_t index : active_) {
        const Edge& e = edges_[index];
        accumulate(e, row);
        if (e.yBottom > row + 1.0) {
            active_[kept++] = index;
        }
    }
    active_.resize(kept);
    return row;
}

void CoverageRasterizer::fill(QImage& image, bool nonZero, QRgb color) {
    if (qAlpha(color) == 0) {
        lines_.clear();
        return;
    }
    clip_ = clip_.intersected(image.rect());
    const bool opaque = qAlpha(color) == 255;
    const QRgb inverse = 255 - qAlpha(color);
    uchar* bits = image.bits();  // once: scanLine() checks for sharing on every call
    const qsizetype bytesPerLine = image.bytesPerLine();
    auto row = [&](int y) { return reinterpret_cast<QRgb*>(bits + y * bytesPerLine); };
    sweep(
        nonZero,
        [&](int y, int x0, int x1, const std::uint8_t* coverage) {
            QRgb* line = row(y) + x0;
            const int n = x1 - x0;
            for (int i = 0; i < n; ++i) {
                const unsigned c = coverage[i];
                if (c == 255 && opaque) {
                    line[i] = color;
                } else if (c != 0) {
                    const QRgb src = c == 255 ? color : byteMul(color, c);
                    line[i] = src + byteMul(line[i], 255 - qAlpha(src));
                }
            }
        },
        [&](int y, int x0, int x1, std::uint8_t c) {
            QRgb* line = row(y);
            if (c == 255 && opaque) {
                fillPixels(line + x0, x1 - x0, color);
                return;
            }
            const QRgb src = c == 255 ? color : byteMul(color, c);
            const QRgb rest = c == 255 ? inverse : 255 - qAlpha(src);
            for (int x = x0; x < x1; ++x) {
                line[x] = src + byteMul(line[x], rest);
            }
        });
}

}  // namespace zd::engine
