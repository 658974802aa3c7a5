#pragma once

#include <QImage>
#include <QPainterPath>
#include <QPointF>
#include <QRect>
#include <QTransform>
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "engine/render/PixelBlend.h"
#include "engine/render/Rasterizer.h"

namespace zd::engine {

class SpanShader;
struct CachedRaster;

// Where one outline keeps its last rasterisation between frames. Drawn again through the same
// transform, moved by whole pixels at most, it skips the rasterizer and only blends.
class RasterSlot {
  private:
    friend class CoverageRasterizer;
    std::shared_ptr<CachedRaster> raster_;
};

// Antialiased scan conversion: each pixel gets the share of its square the outline covers,
// worked out exactly from the edges (signed area and cover accumulated per cell, then summed
// along the row), in 256 steps. A fill costs its edges plus the pixels it touches; on the large
// outlines of real movies the painter's own antialiased fill took about twice as long.
class CoverageRasterizer {
  public:
    // Starts a new outline; only pixels inside clip are ever produced. The buffers are kept
    // from one outline to the next.
    void reset(const QRect& clip);
    // The same for an outline that keeps its rasterisation in slot: t is the transform its
    // points go through, salt anything else its outline depends on. True when the slot holds
    // it for this transform and fill rule: then nothing need be added before fill. An outline
    // found drawn the same way twice is kept (within a memory budget).
    bool reset(const QRect& clip, RasterSlot& slot, const QTransform& t, bool nonZero,
               double salt = 0);

    // Vertices added from now on land on a grid of this many steps per pixel (0: exactly where
    // they fall). With 4, straight edges cover what sampling each pixel 4 by 4 would give.
    void setVertexGrid(int stepsPerPixel) { grid_ = std::max(stepsPerPixel, 0); }

    void addLine(QPointF from, QPointF to);
    // Every subpath of path mapped by t, closed. Curves are cut on the device into chords
    // that stray at most tolerance pixels.
    void addPath(const QPainterPath& path, const QTransform& t, double tolerance = 0.1);
    // Every run of the polygons mapped by t, closed.
    void addPolygons(const Polygons& polygons, const QTransform& t);

    // Rasterizes the outline, row by row from the top, left to right: the pixels edges pass
    // through as cells(y, x0, x1, coverage) with coverage[i] (0-255) that of pixel x0 + i, the
    // pixels between them as run(y, x0, x1, c) all covered c (never 0).
    template <typename Cells, typename Run>
    void sweep(bool nonZero, Cells&& cells, Run&& run);

    // The memory kept rasterisations take now, bytes.
    std::size_t cachedBytes();
    // Rasterisations kept take this much memory at most; the oldest go first.
    static constexpr std::size_t kMaxCachedBytes = std::size_t{48} << 20;

    // Paints a colour (premultiplied) over image with source-over, as the painter blends a
    // solid fill's coverage.
    void fill(QImage& image, bool nonZero, QRgb premultiplied);
    // Paints the shader's colours over image with source-over, weighted by coverage.
    void fill(QImage& image, bool nonZero, const SpanShader& shader);

  private:
    struct Line {
        double x0, y0, x1, y1;
    };
    // An edge within the buffer's rows and columns, top down.
    struct Edge {
        double yTop, yBottom;
        double xTop;
        double dxdy;
        std::int32_t dir;  // 1 going down, -1 going up
    };
    enum class Mode : std::uint8_t { Direct, Record, Replay };
    // Hands out the outline's cells and runs as sweep does, from the slot when it is kept.
    template <typename Cells, typename Run>
    void paint(QImage& image, bool nonZero, Cells&& cells, Run&& run);
    void record(bool nonZero);
    void trimCache();
    bool prepare();
    void addCubic(QPointF from, QPointF c1, QPointF c2, QPointF to, double tolerance, int depth);
    void addEdges(const Line& line);
    void addEdge(double x0, double y0, double x1, double y1);
    // Adds the edges that cross the first row at or after row holding any into the row of
    // cells; returns that row (the height when none is left).
    int accumulateRow(int row);
    void accumulate(const Edge& e, int row);

    QRect clip_;
    int grid_ = 0;
    std::vector<Line> lines_;
    QRect area_;  // the rows and columns swept, device pixels
    int stride_ = 0;
    int words_ = 0;            // of touched_
    std::vector<Edge> edges_;  // by their tops
    std::size_t nextEdge_ = 0;
    std::vector<std::size_t> active_;
    // One row of cells, kept zero between rows: what edges add to the winding integrated
    // over each pixel, 65536 to a whole pixel.
    std::vector<std::int32_t> cells_;
    std::vector<std::uint64_t> touched_;  // cells an edge passed through, a bit each
    int rowMin_ = 0;                      // the first and last touched cell of the row
    int rowMax_ = -1;
    std::vector<std::uint8_t> coverage_;
    std::vector<QRgb> shaded_;  // one row of a shader's colours
    Mode mode_ = Mode::Direct;
    std::shared_ptr<CachedRaster> current_;         // being recorded or replayed
    QPoint shift_;                                  // where it is replayed, from where it was made
    std::deque<std::weak_ptr<CachedRaster>> kept_;  // oldest first
    std::size_t keptBytes_ = 0;
    QRect box_;  // the outline's whole pixels, unclipped (as far as ints go)
    // Everything the outline reaches, rows culled against the clip included: a kept picture
    // is replayed under another clip only where it was worked out.
    double reachLeft_ = 0, reachTop_ = 0, reachRight_ = 0, reachBottom_ = 0;
    bool reached_ = false;
    void reach(double left, double top, double right, double bottom);
};

template <typename Cells, typename Run>
void CoverageRasterizer::sweep(bool nonZero, Cells&& cells, Run&& run) {
    if (!prepare()) {
        return;
    }
    auto coverageOf = [nonZero](std::int32_t sum) {
        std::uint8_t c = 0;
        blend::scalar::coverageRun(&sum, 1, 0, &c, nonZero);
        return c;
    };
    const int width = area_.width();
    nextEdge_ = 0;
    active_.clear();
    std::int32_t* acc = cells_.data();
    std::uint8_t* coverage = coverage_.data();
    std::uint64_t* bits = touched_.data();
    for (int row = 0; row < area_.height(); ++row) {
        row = accumulateRow(row);
        const int from = rowMin_;
        const int to = rowMax_;
        if (from > to) {
            continue;
        }
        const int y = area_.top() + row;
        std::int32_t sum = 0;
        int pending = -1;  // first of the cells not yet handed out
        int next = from;   // the column after the last cell visited
        // Only the cells edges touched change the sum; between them coverage is constant.
        // Past the last one the sum is the row's total winding: zero for closed outlines.
        for (int word = from >> 6; word <= to >> 6; ++word) {
            std::uint64_t set = bits[word];
            bits[word] = 0;
            while (set != 0) {
                // The next run of touched cells within the word.
                const int first = std::countr_zero(set);
                const int length = std::countr_one(set >> first);
                set = first + length >= 64 ? 0 : set & (~std::uint64_t{0} << (first + length));
                const int x = word * 64 + first;
                if (x > next) {
                    if (pending >= 0) {
                        cells(y, area_.left() + pending, area_.left() + std::min(next, width),
                              coverage + pending);
                        pending = -1;
                    }
                    const std::uint8_t c = coverageOf(sum);
                    if (c != 0 && next < width) {
                        run(y, area_.left() + next, area_.left() + std::min(x, width), c);
                    }
                }
                sum = blend::coverageRun(acc + x, length, sum, coverage + x, nonZero);
                if (x < width && pending < 0) {
                    pending = x;
                }
                next = x + length;
            }
        }
        if (pending >= 0) {
            cells(y, area_.left() + pending, area_.left() + std::min(next, width),
                  coverage + pending);
        }
    }
    edges_.clear();
}

}  // namespace zd::engine
