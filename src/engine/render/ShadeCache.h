#pragma once

#include <QRgb>
#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <vector>

#include "engine/render/SpanShaders.h"

namespace zd::engine {

// Keeps the colours gradient and bitmap fills shade from one frame to the next. A fill drawn
// again with the same shader (same picture, ramp and transform) reads its rows back instead of
// working them out: still photographs and backgrounds cost a copy, not a bilinear sample per
// pixel. A shader is kept once it has been seen twice, so fills that change every frame cost
// no memory; the oldest go first once the budget is spent.
class ShadeCache {
  public:
    // A shader giving exactly what shader gives, from kept rows where it can. rows: the height
    // of the surface drawn on (rows outside it are passed through). Null shaders and shaders
    // that cannot say what they depend on come back as they are.
    std::unique_ptr<SpanShader> wrap(std::unique_ptr<SpanShader> shader, int rows);

    // Memory the kept colours take now, bytes.
    std::size_t bytes() const { return bytes_; }
    static constexpr std::size_t kMaxBytes = std::size_t{32} << 20;
    // Shaders remembered (kept or only seen) at most.
    static constexpr std::size_t kMaxEntries = 128;

    // A shader's colours depend on where its span starts (positions are stepped along it), so
    // only the very spans shaded before are served: a fill asks for the same ones each frame.
    struct Span {
        int x0 = 0;
        std::vector<QRgb> colours;
    };
    struct Row {
        std::vector<Span> spans;
    };
    // Spans kept per row at most.
    static constexpr std::size_t kMaxSpansPerRow = 8;
    struct Entry {
        std::vector<std::uint8_t> key;
        bool keep = false;     // seen before: its rows are kept
        bool refused = false;  // larger than the whole budget: never kept
        std::vector<Row> rows;
        std::size_t bytes = 0;
    };

  private:
    friend class CachedShader;
    void trim();

    std::list<std::shared_ptr<Entry>> entries_;  // most recently used first
    std::size_t bytes_ = 0;
};

}  // namespace zd::engine
