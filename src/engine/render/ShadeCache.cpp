#include "engine/render/ShadeCache.h"

#include <algorithm>
#include <cstring>

namespace zd::engine {

class CachedShader final : public SpanShader {
  public:
    CachedShader(std::unique_ptr<SpanShader> inner, std::shared_ptr<ShadeCache::Entry> entry,
                 ShadeCache& cache)
        : inner_(std::move(inner)), entry_(std::move(entry)), cache_(cache) {}

    void shade(int x, int y, int n, QRgb* out) const override {
        auto& rows = entry_->rows;
        if (n <= 0 || y < 0 || static_cast<std::size_t>(y) >= rows.size()) {
            inner_->shade(x, y, n, out);
            return;
        }
        std::vector<ShadeCache::Span>& spans = rows[static_cast<std::size_t>(y)].spans;
        for (const ShadeCache::Span& span : spans) {
            if (span.x0 == x && span.colours.size() == static_cast<std::size_t>(n)) {
                std::memcpy(out, span.colours.data(), sizeof(QRgb) * span.colours.size());
                return;
            }
        }
        inner_->shade(x, y, n, out);
        if (spans.size() >= ShadeCache::kMaxSpansPerRow) {
            return;
        }
        spans.push_back({x, std::vector<QRgb>(out, out + n)});
        const std::size_t added = sizeof(QRgb) * static_cast<std::size_t>(n);
        entry_->bytes += added;
        cache_.bytes_ += added;
        if (cache_.bytes_ > ShadeCache::kMaxBytes) {
            cache_.trim();
        }
    }

  private:
    std::unique_ptr<SpanShader> inner_;
    std::shared_ptr<ShadeCache::Entry> entry_;
    ShadeCache& cache_;
};

std::unique_ptr<SpanShader> ShadeCache::wrap(std::unique_ptr<SpanShader> shader, int rows) {
    std::vector<std::uint8_t> key;
    if (!shader || rows <= 0 || !shader->identity(key)) {
        return shader;
    }
    auto it = std::find_if(entries_.begin(), entries_.end(),
                           [&](const std::shared_ptr<Entry>& e) { return e->key == key; });
    if (it == entries_.end()) {
        auto entry = std::make_shared<Entry>();
        entry->key = std::move(key);
        entries_.push_front(std::move(entry));
        trim();
        return shader;  // seen once: nothing kept yet
    }
    entries_.splice(entries_.begin(), entries_, it);
    const std::shared_ptr<Entry> entry = entries_.front();
    if (entry->refused) {
        return shader;
    }
    if (!entry->keep) {
        entry->keep = true;
        entry->rows.resize(static_cast<std::size_t>(rows));
    } else if (entry->rows.size() != static_cast<std::size_t>(rows)) {
        // Another surface's height: rows past the shorter one are passed through.
        if (entry->rows.size() > static_cast<std::size_t>(rows)) {
            for (std::size_t i = static_cast<std::size_t>(rows); i < entry->rows.size(); ++i) {
                for (const Span& span : entry->rows[i].spans) {
                    const std::size_t b = span.colours.size() * sizeof(QRgb);
                    entry->bytes -= b;
                    bytes_ -= b;
                }
            }
        }
        entry->rows.resize(static_cast<std::size_t>(rows));
    }
    return std::make_unique<CachedShader>(std::move(shader), entry, *this);
}

void ShadeCache::trim() {
    while (entries_.size() > 1 && (entries_.size() > kMaxEntries || bytes_ > kMaxBytes)) {
        const std::shared_ptr<Entry>& last = entries_.back();
        bytes_ -= last->bytes;
        // A shader still drawing with it keeps it alive; its rows stop counting here and
        // it no longer grows the total.
        last->bytes = 0;
        last->rows.clear();
        last->rows.shrink_to_fit();
        entries_.pop_back();
    }
    if (bytes_ > kMaxBytes && !entries_.empty()) {
        // One fill larger than the budget on its own: it stops keeping rows.
        const std::shared_ptr<Entry>& only = entries_.front();
        bytes_ -= only->bytes;
        only->bytes = 0;
        only->rows.clear();
        only->rows.shrink_to_fit();
        only->refused = true;
    }
}

}  // namespace zd::engine
