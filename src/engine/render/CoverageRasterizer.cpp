#include "engine/render/CoverageRasterizer.h"

#include <algorithm>
#include <cmath>

#include "engine/render/PixelBlend.h"
#include "engine/render/SpanShaders.h"

namespace zd::engine {

struct RasterKey {
    double m11, m12, m21, m22;
    double fractionX, fractionY;  // of the translation
    double salt;
    bool nonZero;
    bool operator==(const RasterKey&) const = default;
};

struct CachedRaster {
    struct Segment {
        std::int32_t y, x0, x1;
        std::uint32_t cells;  // where its coverage starts in cells, or kRun | its coverage
    };
    static constexpr std::uint32_t kRun = 0x80000000u;

    RasterKey key{};
    QPoint origin;          // the translation's whole pixels
    bool recorded = false;  // else only how it was last drawn
    QRect clip;             // the pixels worked out
    QRect box;              // the outline's, unclipped
    std::vector<Segment> segments;
    std::vector<std::uint8_t> cells;

    std::size_t bytes() const {
        return sizeof(CachedRaster) + segments.capacity() * sizeof(Segment) + cells.capacity();
    }
};

namespace {

// A whole pixel's share in a cell.
constexpr double kCellOne = 65536.0;

// v (well within 32 bits) to the nearest whole number, halves away from zero.
inline std::int32_t nearest(double v) {
    return static_cast<std::int32_t>(v + (v < 0 ? -0.5 : 0.5));
}

inline void touch(std::uint64_t* bits, int x) {
    bits[x >> 6] |= std::uint64_t(1) << (x & 63);
}

// A curve is cut into this many chords at most, however large it is; a curve needing more is
// halved first, this many times at most, and only its halves that show are cut finely.
constexpr int kMaxChords = 1024;
constexpr int kMaxHalvings = 12;
// Device coordinates are kept within this: far past any picture, and small enough that every
// sum and product of them stays exact to well under a pixel where they are drawn.
constexpr double kMaxCoordinate = 1e15;

double bounded(double v) {
    return std::isfinite(v) ? std::clamp(v, -kMaxCoordinate, kMaxCoordinate) : 0.0;
}

QPointF cubicAt(QPointF p0, QPointF p1, QPointF p2, QPointF p3, double t) {
    const double u = 1 - t;
    return u * u * u * p0 + 3 * u * u * t * p1 + 3 * u * t * t * p2 + t * t * t * p3;
}

}  // namespace

void CoverageRasterizer::reset(const QRect& clip) {
    clip_ = clip;
    reached_ = false;
    lines_.clear();
    mode_ = Mode::Direct;
    current_.reset();
}

bool CoverageRasterizer::reset(const QRect& clip, RasterSlot& slot, const QTransform& t,
                               bool nonZero, double salt) {
    reset(clip);
    // Only whole-pixel moves keep the picture the same; anything else is worked out again.
    constexpr double kFar = 1e9;
    if (!(std::abs(t.dx()) < kFar && std::abs(t.dy()) < kFar)) {
        return false;
    }
    const double wholeX = std::floor(t.dx());
    const double wholeY = std::floor(t.dy());
    const RasterKey key{t.m11(),         t.m12(),         t.m21(), t.m22(),
                        t.dx() - wholeX, t.dy() - wholeY, salt,    nonZero};
    const QPoint origin(static_cast<int>(wholeX), static_cast<int>(wholeY));
    CachedRaster* kept = slot.raster_.get();
    if (kept != nullptr && kept->key == key) {
        const QPoint shift = origin - kept->origin;
        if (kept->recorded) {
            // Every pixel it covers within the clip must have been worked out.
            const QRect needed = clip.intersected(kept->box.translated(shift));
            if (needed.isEmpty() || kept->clip.translated(shift).contains(needed)) {
                mode_ = Mode::Replay;
                current_ = slot.raster_;
                shift_ = shift;
                return true;
            }
        }
        // Drawn the same way again: worth keeping.
        auto raster = std::make_shared<CachedRaster>();
        raster->key = key;
        raster->origin = origin;
        raster->clip = clip;
        slot.raster_ = raster;
        current_ = std::move(raster);
        mode_ = Mode::Record;
        return false;
    }
    // Remembered, not kept yet; what was kept for another transform goes.
    if (kept == nullptr || kept->recorded) {
        slot.raster_ = std::make_shared<CachedRaster>();
        kept = slot.raster_.get();
    }
    kept->key = key;
    kept->origin = origin;
    return false;
}

std::size_t CoverageRasterizer::cachedBytes() {
    trimCache();
    return keptBytes_;
}

void CoverageRasterizer::trimCache() {
    // Rasterisations whose outlines are gone have gone with them.
    std::size_t total = 0;
    std::erase_if(kept_, [&](const std::weak_ptr<CachedRaster>& w) {
        const auto raster = w.lock();
        if (!raster || !raster->recorded) {
            return true;
        }
        total += raster->bytes();
        return false;
    });
    keptBytes_ = total;
    while (keptBytes_ > kMaxCachedBytes && !kept_.empty()) {
        if (const auto oldest = kept_.front().lock()) {
            keptBytes_ -= oldest->bytes();
            *oldest = CachedRaster{};  // its slot sees nothing kept
        }
        kept_.pop_front();
    }
}

void CoverageRasterizer::record(bool nonZero) {
    CachedRaster& r = *current_;
    r.segments.clear();
    r.cells.clear();
    sweep(
        nonZero,
        [&r](int y, int x0, int x1, const std::uint8_t* coverage) {
            r.segments.push_back({y, x0, x1, static_cast<std::uint32_t>(r.cells.size())});
            r.cells.insert(r.cells.end(), coverage, coverage + (x1 - x0));
        },
        [&r](int y, int x0, int x1, std::uint8_t c) {
            r.segments.push_back({y, x0, x1, CachedRaster::kRun | c});
        });
    r.box = box_;
    r.segments.shrink_to_fit();
    r.cells.shrink_to_fit();
    r.recorded = true;
    keptBytes_ += r.bytes();
    kept_.push_back(current_);
    if (keptBytes_ > kMaxCachedBytes) {
        trimCache();
    }
}

void CoverageRasterizer::reach(double left, double top, double right, double bottom) {
    if (!reached_) {
        reachLeft_ = left;
        reachTop_ = top;
        reachRight_ = right;
        reachBottom_ = bottom;
        reached_ = true;
        return;
    }
    reachLeft_ = std::min(reachLeft_, left);
    reachTop_ = std::min(reachTop_, top);
    reachRight_ = std::max(reachRight_, right);
    reachBottom_ = std::max(reachBottom_, bottom);
}

void CoverageRasterizer::addLine(QPointF from, QPointF to) {
    double y0 = bounded(from.y());
    double y1 = bounded(to.y());
    double x0 = bounded(from.x());
    double x1 = bounded(to.x());
    if (grid_ > 0) {
        const double g = grid_;
        y0 = std::round(y0 * g) / g;
        y1 = std::round(y1 * g) / g;
        x0 = std::round(x0 * g) / g;
        x1 = std::round(x1 * g) / g;
    }
    reach(std::min(x0, x1), std::min(y0, y1), std::max(x0, x1), std::max(y0, y1));
    if (y0 == y1) {
        return;  // a horizontal edge covers nothing
    }
    if (std::max(y0, y1) <= clip_.top() || std::min(y0, y1) >= clip_.bottom() + 1.0) {
        return;  // it crosses no row that is drawn
    }
    lines_.push_back({x0, y0, x1, y1});
}

void CoverageRasterizer::addCubic(QPointF from, QPointF c1, QPointF c2, QPointF to,
                                  double tolerance, int depth) {
    const auto [top, bottom] = std::minmax({from.y(), c1.y(), c2.y(), to.y()});
    const auto [left, right] = std::minmax({from.x(), c1.x(), c2.x(), to.x()});
    if (depth == 0) {
        reach(bounded(left), bounded(top), bounded(right), bounded(bottom));
    }
    if (!(std::isfinite(top) && std::isfinite(bottom) && std::isfinite(left) &&
          std::isfinite(right)) ||
        bottom <= clip_.top() || top >= clip_.bottom() + 1.0) {
        addLine(from, to);  // no row of it is drawn: only where it ends counts
        return;
    }
    if (right <= clip_.left() || left >= clip_.right() + 1.0) {
        // Beside the clip all that counts is which rows it crosses, and how often: chords
        // through the points where it turns up or down cross the same ones.
        const double a1 = c1.y() - from.y();
        const double a2 = c2.y() - c1.y();
        const double a3 = to.y() - c2.y();
        const double a = a1 - 2 * a2 + a3;
        const double b = 2 * (a2 - a1);
        double turns[2];
        int count = 0;
        auto keep = [&](double t) {
            if (t > 0 && t < 1) {
                turns[count++] = t;
            }
        };
        if (std::abs(a) < 1e-12 * (std::abs(b) + std::abs(a1))) {
            if (b != 0) {
                keep(-a1 / b);
            }
        } else if (const double d = b * b - 4 * a * a1; d >= 0) {
            const double r = std::sqrt(d);
            keep((-b - r) / (2 * a));
            keep((-b + r) / (2 * a));
            if (count == 2 && turns[0] > turns[1]) {
                std::swap(turns[0], turns[1]);
            }
        }
        QPointF last = from;
        for (int i = 0; i < count; ++i) {
            const QPointF p = cubicAt(from, c1, c2, to, turns[i]);
            addLine(last, p);
            last = p;
        }
        addLine(last, to);
        return;
    }
    const QPointF d1 = from - 2 * c1 + c2;
    const QPointF d2 = c1 - 2 * c2 + to;
    const double bend = std::max(std::hypot(d1.x(), d1.y()), std::hypot(d2.x(), d2.y()));
    if (std::sqrt(0.75 * bend / tolerance) <= kMaxChords || depth >= kMaxHalvings) {
        forEachCubicChord(from, c1, c2, to, tolerance, kMaxChords,
                          [this](QPointF a, QPointF b) { addLine(a, b); });
        return;
    }
    // Too large to cut evenly to the tolerance: halve it, and each half again where it shows.
    const QPointF ab = (from + c1) / 2;
    const QPointF bc = (c1 + c2) / 2;
    const QPointF cd = (c2 + to) / 2;
    const QPointF abc = (ab + bc) / 2;
    const QPointF bcd = (bc + cd) / 2;
    const QPointF mid = (abc + bcd) / 2;
    addCubic(from, ab, abc, mid, tolerance, depth + 1);
    addCubic(mid, bcd, cd, to, tolerance, depth + 1);
}

void CoverageRasterizer::addPath(const QPainterPath& path, const QTransform& t, double tolerance) {
    tolerance = std::max(tolerance, 1e-3);
    forEachClosedSegment(
        path, [&t](QPointF p) { return t.map(p); },
        [this](QPointF from, QPointF to) { addLine(from, to); },
        [&](QPointF from, QPointF c1, QPointF c2, QPointF to) {
            addCubic(from, c1, c2, to, tolerance, 0);
        });
}

void CoverageRasterizer::addPolygons(const Polygons& polygons, const QTransform& t) {
    std::uint32_t start = 0;
    for (const Polygons::Run& run : polygons.runs) {
        if (run.end > start && run.end <= polygons.points.size()) {
            const QPointF first = t.map(polygons.points[start]);
            QPointF last = first;
            for (std::uint32_t i = start + 1; i < run.end; ++i) {
                const QPointF p = t.map(polygons.points[i]);
                addLine(last, p);
                last = p;
            }
            addLine(last, first);
        }
        start = run.end;
    }
}

bool CoverageRasterizer::prepare() {
    edges_.clear();
    box_ = QRect();
    constexpr double kIntLimit = 1 << 30;
    if (reached_) {
        box_ = QRect(
            QPoint(static_cast<int>(std::clamp(std::floor(reachLeft_), -kIntLimit, kIntLimit)),
                   static_cast<int>(std::clamp(std::floor(reachTop_), -kIntLimit, kIntLimit))),
            QPoint(static_cast<int>(std::clamp(std::ceil(reachRight_), -kIntLimit, kIntLimit)),
                   static_cast<int>(std::clamp(std::ceil(reachBottom_), -kIntLimit, kIntLimit))));
    }
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
    // The box in whole pixels within the clip.
    const double l = std::max(std::floor(left), clip_.left() - 1.0);
    const double t = std::max(std::floor(top), clip_.top() - 1.0);
    const double r = std::min(std::ceil(right), clip_.right() + 2.0);
    const double b = std::min(std::ceil(bottom), clip_.bottom() + 2.0);
    if (l > r || t > b) {
        lines_.clear();
        return false;
    }
    const QRect box(QPoint(static_cast<int>(l), static_cast<int>(t)),
                    QPoint(static_cast<int>(r), static_cast<int>(b)));
    area_ = box.intersected(clip_);
    if (area_.isEmpty()) {
        lines_.clear();
        return false;
    }
    // One row of cells, kept in the cache, for rows swept one at a time.
    stride_ = area_.width() + 2;
    if (cells_.size() < static_cast<std::size_t>(stride_)) {
        cells_.resize(static_cast<std::size_t>(stride_), 0);
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
    std::int32_t dir = 1;
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
    // All this part adds to the row, in cell units; its cells share it out exactly.
    const std::int32_t total = nearest(dy * kCellOne) * e.dir;
    const double lo = std::min(x, xNext);
    const double hi = std::max(x, xNext);
    const int i0 = static_cast<int>(lo);  // not negative: floor
    const double loFloor = i0;
    int i1 = static_cast<int>(hi);
    i1 += hi > i1 ? 1 : 0;  // ceil
    std::int32_t* cells = cells_.data();
    std::uint64_t* bits = touched_.data();
    rowMin_ = std::min(rowMin_, i0);
    auto share = [total](double part) { return nearest(part * total); };
    if (i1 <= i0 + 1) {
        // Within one column: the part right of the edge's mean position is covered.
        const std::int32_t right = share(0.5 * (x + xNext) - loFloor);
        cells[i0] += total - right;
        cells[i0 + 1] += right;
        touch(bits, i0);
        touch(bits, i0 + 1);
        rowMax_ = std::max(rowMax_, i0 + 1);
        return;
    }
    // Across columns: the triangles at both ends, equal strips between.
    const double s = 1.0 / (hi - lo);
    const double x0f = lo - loFloor;
    const double a0 = 0.5 * s * (1 - x0f) * (1 - x0f);
    const double x1f = hi - i1 + 1;
    const double am = 0.5 * s * x1f * x1f;
    const std::int32_t first = share(a0);
    const std::int32_t last = share(am);
    cells[i0] += first;
    cells[i1] += last;
    std::int32_t rest = total - first - last;  // for the columns between
    if (i1 == i0 + 2) {
        cells[i0 + 1] += rest;
    } else {
        const double a1 = s * (1.5 - x0f);
        const std::int32_t second = share(a1 - a0);
        cells[i0 + 1] += second;
        rest -= second;
        const std::int32_t strip = share(s);
        for (int xi = i0 + 2; xi < i1 - 1; ++xi) {
            cells[xi] += strip;
        }
        cells[i1 - 1] += rest - strip * (i1 - i0 - 3);
    }
    // Every column from i0 to i1 is touched.
    for (int word = i0 >> 6; word <= i1 >> 6; ++word) {
        const int low = std::max(i0 - word * 64, 0);
        const int high = std::min(i1 - word * 64, 63);
        const std::uint64_t upTo = high == 63 ? ~std::uint64_t{0} : (std::uint64_t{2} << high) - 1;
        bits[word] |= upTo & (~std::uint64_t{0} << low);
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

template <typename Cells, typename Run>
void CoverageRasterizer::paint(QImage& image, bool nonZero, Cells&& cells, Run&& run) {
    const Mode mode = mode_;
    mode_ = Mode::Direct;
    if (mode == Mode::Direct) {
        sweep(nonZero, cells, run);
        return;
    }
    const std::shared_ptr<CachedRaster> raster = std::move(current_);
    if (mode == Mode::Record) {
        current_ = raster;
        record(nonZero);
        current_.reset();
        shift_ = QPoint();
    }
    // The kept rows moved by whole pixels, cut to the clip.
    const QRect clip = clip_.intersected(image.rect());
    if (clip.isEmpty() || !raster->recorded) {
        return;
    }
    // The pixels along edges are far apart in memory and read before they are written:
    // ask for those a few segments ahead early.
    constexpr std::size_t kAhead = 12;
    const std::vector<CachedRaster::Segment>& segments = raster->segments;
    uchar* bits = image.bits();
    const qsizetype bytesPerLine = image.bytesPerLine();
    const int top = clip.top();
    const int bottom = clip.bottom();
    const int left = clip.left();
    const int right = clip.right();
    for (std::size_t i = 0; i < segments.size(); ++i) {
        if (i + kAhead < segments.size()) {
            const CachedRaster::Segment& ahead = segments[i + kAhead];
            const int y = ahead.y + shift_.y();
            const int x = ahead.x0 + shift_.x();
            if (y >= top && y <= bottom && x >= left && x <= right) {
                __builtin_prefetch(bits + y * bytesPerLine + x * 4, 1);
            }
        }
        const CachedRaster::Segment& segment = segments[i];
        const int y = segment.y + shift_.y();
        const int x0 = std::max(segment.x0 + shift_.x(), left);
        const int x1 = std::min(segment.x1 + shift_.x(), right + 1);
        if (y < top || y > bottom || x0 >= x1) {
            continue;
        }
        if (segment.cells & CachedRaster::kRun) {
            run(y, x0, x1, static_cast<std::uint8_t>(segment.cells & 0xff));
        } else {
            cells(y, x0, x1, raster->cells.data() + segment.cells + (x0 - segment.x0 - shift_.x()));
        }
    }
}

void CoverageRasterizer::fill(QImage& image, bool nonZero, QRgb color) {
    if (qAlpha(color) == 0) {
        lines_.clear();
        mode_ = Mode::Direct;
        current_.reset();
        return;
    }
    clip_ = clip_.intersected(image.rect());
    uchar* bits = image.bits();  // once: scanLine() checks for sharing on every call
    const qsizetype bytesPerLine = image.bytesPerLine();
    auto row = [&](int y) { return reinterpret_cast<QRgb*>(bits + y * bytesPerLine); };
    paint(
        image, nonZero,
        [&](int y, int x0, int x1, const std::uint8_t* coverage) {
            blend::solidCellsShort(row(y) + x0, coverage, x1 - x0, color);
        },
        [&](int y, int x0, int x1, std::uint8_t c) {
            blend::solidRunShort(row(y) + x0, x1 - x0, color, c);
        });
}

void CoverageRasterizer::fill(QImage& image, bool nonZero, const SpanShader& shader) {
    clip_ = clip_.intersected(image.rect());
    if (shaded_.size() < static_cast<std::size_t>(image.width())) {
        shaded_.resize(static_cast<std::size_t>(image.width()));
    }
    QRgb* colours = shaded_.data();
    uchar* bits = image.bits();
    const qsizetype bytesPerLine = image.bytesPerLine();
    auto row = [&](int y) { return reinterpret_cast<QRgb*>(bits + y * bytesPerLine); };
    paint(
        image, nonZero,
        [&](int y, int x0, int x1, const std::uint8_t* coverage) {
            shader.shade(x0, y, x1 - x0, colours);
            blend::shadedCells(row(y) + x0, colours, coverage, x1 - x0);
        },
        [&](int y, int x0, int x1, std::uint8_t c) {
            shader.shade(x0, y, x1 - x0, colours);
            blend::shadedRun(row(y) + x0, colours, x1 - x0, c);
        });
}

}  // namespace zd::engine
