#include "engine/avm1/BitmapPixels.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <climits>
#include <cmath>
#include <numeric>
#include <optional>
#include <utility>

namespace zd::avm1 {

namespace {

std::uint32_t channel(std::uint32_t argb, int shift) {
    return (argb >> shift) & 0xffu;
}

std::uint32_t pack(std::uint32_t a, std::uint32_t r, std::uint32_t g, std::uint32_t b) {
    return (a << 24) | (r << 16) | (g << 8) | b;
}

int shiftOf(std::uint32_t channelBit) {
    switch (channelBit) {
        case kRedChannel:
            return 16;
        case kGreenChannel:
            return 8;
        case kBlueChannel:
            return 0;
        case kAlphaChannel:
            return 24;
        default:
            return -1;
    }
}

// The part of r inside both a w x h source (at r's own coordinates) and the destination at
// (dx, dy); adjusts the destination point with it.
bool clipCopy(PixelRect& r, int srcW, int srcH, int& dx, int& dy, int dstW, int dstH) {
    if (r.x < 0) {
        dx -= r.x;
        r.width += r.x;
        r.x = 0;
    }
    if (r.y < 0) {
        dy -= r.y;
        r.height += r.y;
        r.y = 0;
    }
    if (dx < 0) {
        r.x -= dx;
        r.width += dx;
        dx = 0;
    }
    if (dy < 0) {
        r.y -= dy;
        r.height += dy;
        dy = 0;
    }
    r.width = std::min({r.width, srcW - r.x, dstW - dx});
    r.height = std::min({r.height, srcH - r.y, dstH - dy});
    return !r.empty();
}

std::atomic<std::size_t> g_liveBytes{0};

}  // namespace

BitmapPixels::Accounting::Accounting(std::size_t bytes) : bytes_(bytes) {
    g_liveBytes += bytes_;
}

BitmapPixels::Accounting::Accounting(const Accounting& other) : bytes_(other.bytes_) {
    g_liveBytes += bytes_;
}

BitmapPixels::Accounting::~Accounting() {
    g_liveBytes -= bytes_;
}

std::size_t BitmapPixels::liveBytes() {
    return g_liveBytes;
}

BitmapPixels::BitmapPixels(int width, int height, bool transparent, std::uint32_t fillArgb)
    : width_(std::max(width, 0)),
      height_(std::max(height, 0)),
      transparent_(transparent),
      accounting_(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_) * 4) {
    pixels_.assign(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_),
                   toStored(fillArgb));
}

BitmapPixels::BitmapPixels(int width, int height, bool transparent,
                           std::vector<std::uint32_t> stored)
    : width_(std::max(width, 0)),
      height_(std::max(height, 0)),
      transparent_(transparent),
      pixels_(std::move(stored)),
      accounting_(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_) * 4) {
    pixels_.resize(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_), 0);
}

std::uint32_t BitmapPixels::premultiply(std::uint32_t argb) {
    const std::uint32_t a = channel(argb, 24);
    if (a == 255) {
        return argb;
    }
    auto scale = [a](std::uint32_t c) { return (c * a + 127) / 255; };
    return pack(a, scale(channel(argb, 16)), scale(channel(argb, 8)), scale(channel(argb, 0)));
}

std::uint32_t BitmapPixels::unmultiply(std::uint32_t p) {
    const std::uint32_t a = channel(p, 24);
    if (a == 255 || a == 0) {
        return a == 0 ? 0 : p;
    }
    // Through a reciprocal of 8 fractional bits, cut off, then rounded just short of a half:
    // the last bits of a colour under a high alpha come out as the reference player reads them.
    const std::uint32_t reciprocal = 255 * 256 / a;
    auto scale = [reciprocal](std::uint32_t c) {
        return std::min(255u, (c * reciprocal + 127) >> 8);
    };
    return pack(a, scale(channel(p, 16)), scale(channel(p, 8)), scale(channel(p, 0)));
}

std::uint32_t BitmapPixels::pixel32(int x, int y) const {
    if (!contains(x, y)) {
        return 0;
    }
    // An opaque bitmap reads its words as they are (a threshold copy may have left one that
    // is not opaque).
    return transparent_ ? unmultiply(stored(x, y)) : stored(x, y);
}

void BitmapPixels::setPixel32(int x, int y, std::uint32_t argb) {
    if (contains(x, y)) {
        setStored(x, y, toStored(argb));
    }
}

void BitmapPixels::setPixel(int x, int y, std::uint32_t rgb) {
    if (contains(x, y)) {
        const std::uint32_t a = channel(stored(x, y), 24);
        setStored(x, y, toStored((a << 24) | (rgb & 0xffffffu)));
    }
}

PixelRect BitmapPixels::clip(PixelRect r) const {
    const long x0 = std::max<long>(r.x, 0);
    const long y0 = std::max<long>(r.y, 0);
    const long x1 = std::min<long>(static_cast<long>(r.x) + r.width, width_);
    const long y1 = std::min<long>(static_cast<long>(r.y) + r.height, height_);
    if (x1 <= x0 || y1 <= y0) {
        return {};
    }
    return {static_cast<int>(x0), static_cast<int>(y0), static_cast<int>(x1 - x0),
            static_cast<int>(y1 - y0)};
}

void BitmapPixels::fillRect(PixelRect r, std::uint32_t argb) {
    // A negative size reaches back from the corner.
    auto span = [](int& start, int& size) {
        if (size < 0) {
            const long from = std::max<long>(static_cast<long>(start) + size, INT_MIN);
            size = static_cast<int>(std::min<long>(static_cast<long>(start) - from, INT_MAX));
            start = static_cast<int>(from);
        }
    };
    span(r.x, r.width);
    span(r.y, r.height);
    r = clip(r);
    const std::uint32_t v = toStored(argb);
    for (int y = r.y; y < r.y + r.height; ++y) {
        std::fill_n(pixels_.begin() + static_cast<std::ptrdiff_t>(index(r.x, y)), r.width, v);
    }
}

bool BitmapPixels::floodFill(int x, int y, std::uint32_t argb) {
    if (!contains(x, y)) {
        return false;
    }
    const std::uint32_t target = stored(x, y);
    const std::uint32_t fill = toStored(argb);
    if (target == fill) {
        return false;
    }
    // Row spans from an explicit stack: the stack holds at most a few entries per row
    // touched, so even a bitmap of the largest size fills without deep recursion.
    std::vector<std::pair<int, int>> todo{{x, y}};
    while (!todo.empty()) {
        auto [px, py] = todo.back();
        todo.pop_back();
        if (stored(px, py) != target) {
            continue;
        }
        int left = px;
        while (left > 0 && stored(left - 1, py) == target) {
            --left;
        }
        int right = px;
        while (right + 1 < width_ && stored(right + 1, py) == target) {
            ++right;
        }
        for (int i = left; i <= right; ++i) {
            setStored(i, py, fill);
        }
        for (int ny : {py - 1, py + 1}) {
            if (ny < 0 || ny >= height_) {
                continue;
            }
            bool inRun = false;
            for (int i = left; i <= right; ++i) {
                const bool match = stored(i, ny) == target;
                if (match && !inRun) {
                    todo.emplace_back(i, ny);
                }
                inRun = match;
            }
        }
    }
    return true;
}

PixelRect BitmapPixels::colorBounds(std::uint32_t mask, std::uint32_t color, bool find) const {
    int x0 = width_, y0 = height_, x1 = -1, y1 = -1;
    // An opaque bitmap compares the colour as it is, not masked, and leaves alpha out on
    // both sides.
    const std::uint32_t keep = transparent_ ? 0xffffffffu : 0x00ffffffu;
    const std::uint32_t want = (transparent_ ? color & mask : color) & keep;
    for (int y = 0; y < height_; ++y) {
        for (int x = 0; x < width_; ++x) {
            if (((stored(x, y) & mask & keep) == want) == find) {
                x0 = std::min(x0, x);
                x1 = std::max(x1, x);
                y0 = std::min(y0, y);
                y1 = std::max(y1, y);
            }
        }
    }
    if (x1 < 0) {
        return {};
    }
    return {x0, y0, x1 - x0 + 1, y1 - y0 + 1};
}

void BitmapPixels::colorTransform(PixelRect r, const PixelTransform& t) {
    r = clip(r);
    auto apply = [&t](std::uint32_t c, int i) {
        const double v = std::floor(static_cast<double>(c) * t.multiply[i] + t.add[i]);
        return static_cast<std::uint32_t>(std::clamp(std::isnan(v) ? 0.0 : v, 0.0, 255.0));
    };
    // Multiplying up only the alpha keeps the stored (premultiplied) colour as it is; an
    // alpha offset goes through the straight colour like everything else.
    const bool alphaUp = t.multiply[0] == 1 && t.multiply[1] == 1 && t.multiply[2] == 1 &&
                         t.add[0] == 0 && t.add[1] == 0 && t.add[2] == 0 && t.multiply[3] >= 1 &&
                         t.add[3] == 0;
    for (int y = r.y; y < r.y + r.height; ++y) {
        for (int x = r.x; x < r.x + r.width; ++x) {
            if (alphaUp) {
                const std::uint32_t s = stored(x, y);
                const std::uint32_t a = transparent_ ? apply(channel(s, 24), 3) : 255u;
                setStored(x, y, (a << 24) | (s & 0xffffffu));
                continue;
            }
            const std::uint32_t c = unmultiply(stored(x, y));
            const std::uint32_t out = pack(apply(channel(c, 24), 3), apply(channel(c, 16), 0),
                                           apply(channel(c, 8), 1), apply(channel(c, 0), 2));
            setStored(x, y, toStored(out));
        }
    }
}

void BitmapPixels::copyPixels(const BitmapPixels& src, PixelRect r, int dx, int dy,
                              const BitmapPixels* alphaSource, int ax, int ay, bool mergeAlpha) {
    const int startX = r.x;
    const int startY = r.y;
    if (!clipCopy(r, src.width_, src.height_, dx, dy, width_, height_)) {
        return;
    }
    // The alpha bitmap's point lines up with the area's corner.
    const int alphaOffsetX = ax - startX;
    const int alphaOffsetY = ay - startY;
    const bool blend = mergeAlpha || !transparent_;
    for (int y = 0; y < r.height; ++y) {
        for (int x = 0; x < r.width; ++x) {
            std::uint32_t s = src.stored(r.x + x, r.y + y);
            if (alphaSource != nullptr) {
                const int px = r.x + x + alphaOffsetX;
                const int py = r.y + y + alphaOffsetY;
                // The copy stops where the alpha bitmap ends.
                if (!alphaSource->contains(px, py)) {
                    continue;
                }
                const std::uint32_t m = channel(alphaSource->stored(px, py), 24);
                auto scale = [m](std::uint32_t c) { return (c * m + 127) / 255; };
                s = pack(scale(channel(s, 24)), scale(channel(s, 16)), scale(channel(s, 8)),
                         scale(channel(s, 0)));
            }
            std::uint32_t out = s;
            if (blend) {
                const std::uint32_t d = stored(dx + x, dy + y);
                const std::uint32_t keep = 255 - channel(s, 24);
                // What shows through is cut off, not rounded.
                auto over = [&](int shift) {
                    return std::min(255u, channel(s, shift) + channel(d, shift) * keep / 255);
                };
                out = pack(over(24), over(16), over(8), over(0));
            }
            if (!transparent_) {
                out |= 0xff000000u;
            }
            setStored(dx + x, dy + y, out);
        }
    }
}

void BitmapPixels::copyChannel(const BitmapPixels& src, PixelRect r, int dx, int dy,
                               std::uint32_t srcChannel, std::uint32_t dstChannel) {
    // A destination naming no single channel takes nothing.
    const int to = shiftOf(dstChannel);
    if (to < 0 || !clipCopy(r, src.width_, src.height_, dx, dy, width_, height_)) {
        return;
    }
    // A source naming no single channel reads as 0.
    const int from = shiftOf(srcChannel);
    for (int y = 0; y < r.height; ++y) {
        for (int x = 0; x < r.width; ++x) {
            const std::uint32_t v =
                from < 0 ? 0 : channel(unmultiply(src.stored(r.x + x, r.y + y)), from);
            std::uint32_t d = unmultiply(stored(dx + x, dy + y));
            d = (d & ~(0xffu << to)) | (v << to);
            setStored(dx + x, dy + y, toStored(d));
        }
    }
}

void BitmapPixels::merge(const BitmapPixels& src, PixelRect r, int dx, int dy,
                         const std::array<std::uint32_t, 4>& m) {
    if (!clipCopy(r, src.width_, src.height_, dx, dy, width_, height_)) {
        return;
    }
    for (int y = 0; y < r.height; ++y) {
        for (int x = 0; x < r.width; ++x) {
            const std::uint32_t s = unmultiply(src.stored(r.x + x, r.y + y));
            const std::uint32_t d = unmultiply(stored(dx + x, dy + y));
            auto mix = [&](int shift, std::uint32_t k) {
                return (channel(s, shift) * k + channel(d, shift) * (256 - k)) / 256;
            };
            setStored(dx + x, dy + y,
                      toStored(pack(mix(24, m[3]), mix(16, m[0]), mix(8, m[1]), mix(0, m[2]))));
        }
    }
}

void BitmapPixels::scroll(int dx, int dy) {
    // Distances past the size move everything off.
    if (std::abs(static_cast<long>(dx)) >= width_ || std::abs(static_cast<long>(dy)) >= height_) {
        return;
    }
    const std::vector<std::uint32_t> before = pixels_;
    for (int y = std::max(0, dy); y < std::min(height_, height_ + dy); ++y) {
        for (int x = std::max(0, dx); x < std::min(width_, width_ + dx); ++x) {
            pixels_[index(x, y)] = before[index(x - dx, y - dy)];
        }
    }
}

void BitmapPixels::paletteMap(const BitmapPixels& src, PixelRect r, int dx, int dy,
                              const std::array<const PaletteTable*, 4>& tables) {
    if (!clipCopy(r, src.width_, src.height_, dx, dy, width_, height_)) {
        return;
    }
    static constexpr int kShift[4] = {16, 8, 0, 24};
    for (int y = 0; y < r.height; ++y) {
        for (int x = 0; x < r.width; ++x) {
            const std::uint32_t s = unmultiply(src.stored(r.x + x, r.y + y));
            std::uint32_t out = 0;
            for (int i = 0; i < 4; ++i) {
                const std::uint32_t c = channel(s, kShift[i]);
                out += tables[i] != nullptr ? (*tables[i])[c] : c << kShift[i];
            }
            setStored(dx + x, dy + y, toStored(out));
        }
    }
}

NoiseRandom::NoiseRandom(std::int32_t seed) {
    constexpr std::int64_t kModulus = 2147483647;
    // Seeds at or below zero count from the other side of 1 (0 is 1, -1 is 2).
    std::int64_t s = seed > 0 ? seed : 1 - static_cast<std::int64_t>(seed);
    s %= kModulus;
    state_ = static_cast<std::uint32_t>(s == 0 ? 1 : s);
}

std::uint32_t NoiseRandom::next() {
    state_ = static_cast<std::uint32_t>(static_cast<std::uint64_t>(state_) * 16807u % 2147483647u);
    return state_;
}

void BitmapPixels::noise(std::int32_t seed, int low, int high, std::uint32_t channels, bool grey) {
    NoiseRandom random(seed);
    low = std::clamp(low, 0, 255);
    high = std::clamp(high, 0, 255);
    const std::uint32_t range = high >= low ? static_cast<std::uint32_t>(high - low + 1) : 0;
    auto value = [&]() {
        const std::uint32_t v = random.next();
        return static_cast<std::uint32_t>(low) + (range > 0 ? v % range : 0);
    };
    for (int y = 0; y < height_; ++y) {
        for (int x = 0; x < width_; ++x) {
            std::uint32_t r = 0, g = 0, b = 0, a = 255;
            if (grey) {
                r = g = b = value();
            } else {
                r = (channels & kRedChannel) != 0 ? value() : 0;
                g = (channels & kGreenChannel) != 0 ? value() : 0;
                b = (channels & kBlueChannel) != 0 ? value() : 0;
            }
            // An opaque bitmap draws no alpha, so it takes no number from the sequence for it.
            if (transparent_ && (channels & kAlphaChannel) != 0) {
                a = value();
            }
            setStored(x, y, toStored(pack(a, r, g, b)));
        }
    }
}

namespace {

// Gradient noise on a 256-cell lattice: a unit gradient per cell and colour channel and a
// shuffle of the cells, both drawn from the seed's Park-Miller sequence.
class LatticeNoise {
  public:
    static constexpr int kCells = 256;
    static constexpr int kMask = kCells - 1;
    // Lattice coordinates are moved this far before being cut to whole cells, so that small
    // negative ones are cut the same way as positive ones.
    static constexpr double kShift = 4096;

    // What stitching needs: the period in cells, and the cell at which it wraps.
    struct Stitch {
        long long width, height;
        long long wrapX, wrapY;
    };

    explicit LatticeNoise(std::int32_t seed) {
        constexpr std::int64_t kModulus = 2147483647;
        std::int64_t s = seed;
        if (s <= 0) {
            s = -(s % (kModulus - 1)) + 1;
        }
        s = std::min(s, kModulus - 1);
        auto next = [&s] {
            s = s * 16807 % kModulus;
            return s;
        };
        for (auto& channel : gradient_) {
            for (int i = 0; i < kCells; ++i) {
                auto& g = channel[static_cast<std::size_t>(i)];
                for (double& v : g) {
                    v = static_cast<double>(next() % (2 * kCells) - kCells) / kCells;
                }
                const double length = std::sqrt(g[0] * g[0] + g[1] * g[1]);
                if (length > 0) {
                    g[0] /= length;
                    g[1] /= length;
                }
            }
        }
        std::iota(lattice_.begin(), lattice_.begin() + kCells, 0);
        for (int i = kCells - 1; i > 0; --i) {
            std::swap(lattice_[static_cast<std::size_t>(i)],
                      lattice_[static_cast<std::size_t>(next() % kCells)]);
        }
        for (int i = 0; i < kCells + 2; ++i) {
            lattice_[static_cast<std::size_t>(kCells + i)] = lattice_[static_cast<std::size_t>(i)];
            for (auto& channel : gradient_) {
                channel[static_cast<std::size_t>(kCells + i)] =
                    channel[static_cast<std::size_t>(i)];
            }
        }
    }

    double at(int channel, double x, double y, const Stitch* stitch) const {
        // The cell (before it is cut to the lattice) and the fraction along it.
        auto split = [](double v, long long& cell, double& fraction) {
            double t = v + kShift;
            if (!std::isfinite(t)) {
                t = 0;
            }
            // Far coordinates keep their cell within the lattice and their fraction.
            if (std::abs(t) >= 1e9) {
                t = std::fmod(t, double(kCells));
            }
            const double whole = std::trunc(t);
            cell = static_cast<long long>(whole);
            fraction = t - whole;
        };
        long long cx, cy;
        double rx0, ry0;
        split(x, cx, rx0);
        split(y, cy, ry0);
        long long bx[2] = {cx, cx + 1};
        long long by[2] = {cy, cy + 1};
        if (stitch != nullptr) {
            // Cells past the wrap point take those a period back.
            for (long long& b : bx) {
                b -= b >= stitch->wrapX ? stitch->width : 0;
            }
            for (long long& b : by) {
                b -= b >= stitch->wrapY ? stitch->height : 0;
            }
        }
        const int bx0 = static_cast<int>(bx[0] & kMask), bx1 = static_cast<int>(bx[1] & kMask);
        const int by0 = static_cast<int>(by[0] & kMask), by1 = static_cast<int>(by[1] & kMask);
        const double rx1 = rx0 - 1;
        const double ry1 = ry0 - 1;
        const int i = lattice_[static_cast<std::size_t>(bx0)];
        const int j = lattice_[static_cast<std::size_t>(bx1)];
        const auto& g = gradient_[static_cast<std::size_t>(channel)];
        auto dot = [&g](int cell, double u, double v) {
            const auto& q = g[static_cast<std::size_t>(cell)];
            return u * q[0] + v * q[1];
        };
        auto lattice = [this](int k) { return lattice_[static_cast<std::size_t>(k)]; };
        auto curve = [](double t) { return t * t * (3 - 2 * t); };
        auto lerp = [](double t, double a, double b) { return a + t * (b - a); };
        const double sx = curve(rx0);
        const double sy = curve(ry0);
        const double a = lerp(sx, dot(lattice(i + by0), rx0, ry0), dot(lattice(j + by0), rx1, ry0));
        const double b = lerp(sx, dot(lattice(i + by1), rx0, ry1), dot(lattice(j + by1), rx1, ry1));
        return lerp(sy, a, b);
    }

  private:
    std::array<int, 2 * kCells + 2> lattice_{};
    std::array<std::array<std::array<double, 2>, 2 * kCells + 2>, 4> gradient_{};
};

}  // namespace

void BitmapPixels::perlinNoise(const PerlinOptions& o) {
    const LatticeNoise noise(o.seed);
    // Work stays bounded on the largest bitmaps: octaves beyond the budget are left out.
    constexpr std::int64_t kBudget = std::int64_t{1} << 24;
    const int perPixel = o.grey ? 1
                                : ((o.channels & kRedChannel) != 0) +
                                      ((o.channels & kGreenChannel) != 0) +
                                      ((o.channels & kBlueChannel) != 0);
    const std::int64_t samples = std::int64_t{width_} * height_ *
                                 std::max(1, perPixel + ((o.channels & kAlphaChannel) != 0));
    const int affordable = static_cast<int>(std::max<std::int64_t>(1, kBudget / samples));
    const int octaves = std::min({std::max(o.octaves, 0), kMaxPerlinOctaves, affordable});
    // The base is a cell's size in pixels; none (or nonsense) is no change along that axis.
    auto frequencyOf = [](double base) { return std::isfinite(base) && base > 0 ? 1 / base : 0.0; };
    double fx = frequencyOf(o.baseX);
    double fy = frequencyOf(o.baseY);
    std::optional<LatticeNoise::Stitch> stitch;
    if (o.stitch) {
        // Whole cells across the bitmap (the nearer whole count by ratio), so its edges meet.
        auto wholeCells = [](double f, int size) {
            if (f == 0 || size <= 0) {
                return f;
            }
            const double low = std::floor(size * f) / size;
            const double high = std::ceil(size * f) / size;
            return f / low < high / f ? low : high;
        };
        fx = wholeCells(fx, width_);
        fy = wholeCells(fy, height_);
        auto cells = [](double f, int size) {
            return static_cast<long long>(std::clamp(size * f + 0.5, 0.0, 1e9));
        };
        LatticeNoise::Stitch st{};
        st.width = cells(fx, width_);
        st.height = cells(fy, height_);
        st.wrapX = static_cast<long long>(LatticeNoise::kShift) + st.width;
        st.wrapY = static_cast<long long>(LatticeNoise::kShift) + st.height;
        stitch = st;
    }
    struct Octave {
        double fx, fy, weight, ox, oy;
        std::optional<LatticeNoise::Stitch> stitch;
    };
    std::vector<Octave> levels;
    for (int i = 0; i < octaves; ++i) {
        const double scale = std::ldexp(1.0, i);
        Octave l{fx * scale, fy * scale, std::ldexp(1.0, -i), 0, 0, stitch};
        if (static_cast<std::size_t>(i) < o.offsets.size()) {
            const auto& at = o.offsets[static_cast<std::size_t>(i)];
            l.ox = std::isfinite(at[0]) ? at[0] : 0;
            l.oy = std::isfinite(at[1]) ? at[1] : 0;
        }
        levels.push_back(l);
        if (stitch) {
            // Each octave doubles the period; the wrap point moves with the doubled lattice.
            // (Octaves are few, so these stay far inside 64 bits.)
            const auto shift = static_cast<long long>(LatticeNoise::kShift);
            stitch->width *= 2;
            stitch->height *= 2;
            stitch->wrapX = 2 * stitch->wrapX - shift;
            stitch->wrapY = 2 * stitch->wrapY - shift;
        }
    }
    auto sample = [&](int x, int y, int channel) {
        double sum = 0;
        for (const Octave& l : levels) {
            const double n = noise.at(channel, (x + l.ox) * l.fx, (y + l.oy) * l.fy,
                                      l.stitch ? &*l.stitch : nullptr);
            sum += (o.fractal ? n : std::abs(n)) * l.weight;
        }
        // Fractal sums lie about 0 and take the middle of the range; turbulence counts up
        // from 0.
        const double scaled = std::clamp(std::round(sum * 255), -1024.0, 1024.0);
        const int v = o.fractal ? (static_cast<int>(scaled) + 255) >> 1 : static_cast<int>(scaled);
        return static_cast<std::uint32_t>(std::clamp(v, 0, 255));
    };
    // Each channel drawn takes the next of the lattice's gradient sets: red, green, blue (or
    // one grey), then alpha, skipping those not asked for.
    const bool wantAlpha = (o.channels & kAlphaChannel) != 0;
    int sets = 0;
    auto nextSet = [&sets](bool wanted) { return wanted ? sets++ : -1; };
    const int redSet = nextSet(o.grey || (o.channels & kRedChannel) != 0);
    const int greenSet = o.grey ? -1 : nextSet((o.channels & kGreenChannel) != 0);
    const int blueSet = o.grey ? -1 : nextSet((o.channels & kBlueChannel) != 0);
    const int alphaSet = nextSet(wantAlpha);
    for (int y = 0; y < height_; ++y) {
        for (int x = 0; x < width_; ++x) {
            std::uint32_t r = redSet >= 0 ? sample(x, y, redSet) : 0;
            std::uint32_t g = greenSet >= 0 ? sample(x, y, greenSet) : 0;
            std::uint32_t b = blueSet >= 0 ? sample(x, y, blueSet) : 0;
            if (o.grey) {
                g = b = r;
            }
            const std::uint32_t a = alphaSet >= 0 && transparent_ ? sample(x, y, alphaSet) : 255;
            // The values are taken as already multiplied by the alpha: a colour above its
            // alpha shows as full.
            setStored(x, y, pack(a, std::min(r, a), std::min(g, a), std::min(b, a)));
        }
    }
}

int BitmapPixels::threshold(const BitmapPixels& src, PixelRect r, int dx, int dy, Compare op,
                            std::uint32_t thresholdValue, std::uint32_t color, std::uint32_t mask,
                            bool copySource) {
    if (!clipCopy(r, src.width_, src.height_, dx, dy, width_, height_)) {
        return 0;
    }
    const std::uint32_t limit = thresholdValue & mask;
    // The colour is stored premultiplied even in an opaque bitmap, alpha and all.
    const std::uint32_t fill = premultiply(color);
    int matched = 0;
    for (int y = 0; y < r.height; ++y) {
        for (int x = 0; x < r.width; ++x) {
            const std::uint32_t s = src.stored(r.x + x, r.y + y);
            const std::uint32_t v = s & mask;
            bool hit = false;
            switch (op) {
                case Compare::Less:
                    hit = v < limit;
                    break;
                case Compare::LessEqual:
                    hit = v <= limit;
                    break;
                case Compare::Greater:
                    hit = v > limit;
                    break;
                case Compare::GreaterEqual:
                    hit = v >= limit;
                    break;
                case Compare::Equal:
                    hit = v == limit;
                    break;
                case Compare::NotEqual:
                    hit = v != limit;
                    break;
            }
            if (hit) {
                ++matched;
                setStored(dx + x, dy + y, fill);
            } else if (copySource) {
                // The stored word goes over as it is, even into an opaque bitmap.
                setStored(dx + x, dy + y, s);
            }
        }
    }
    return matched;
}

std::uint32_t BitmapPixels::pixelDissolve(const BitmapPixels& src, bool fromSelf, PixelRect r,
                                          int dx, int dy, std::uint32_t seed, std::uint32_t count,
                                          std::uint32_t fillArgb) {
    if (!clipCopy(r, src.width_, src.height_, dx, dy, width_, height_)) {
        return 0;
    }
    const std::uint64_t n =
        static_cast<std::uint64_t>(r.width) * static_cast<std::uint64_t>(r.height);
    // A step coprime to the area walks every pixel once before it repeats; near the golden
    // section of the area it scatters them.
    std::uint64_t step = std::max<std::uint64_t>(1, n * 618 / 1000);
    while (std::gcd(step, n) != 1) {
        ++step;
    }
    const std::uint32_t fill = toStored(fillArgb);
    std::uint64_t at = seed % n;
    const std::uint64_t todo = std::min<std::uint64_t>(count, n);
    for (std::uint64_t i = 0;; ++i) {
        const int x = static_cast<int>(at % static_cast<std::uint64_t>(r.width));
        const int y = static_cast<int>(at / static_cast<std::uint64_t>(r.width));
        std::uint32_t v = fill;
        if (!fromSelf) {
            const std::uint32_t s = src.stored(r.x + x, r.y + y);
            v = transparent_ ? s : toStored(unmultiply(s));
        }
        setStored(dx + x, dy + y, v);
        if (i == todo) {
            break;
        }
        at = (at + step) % n;
    }
    return static_cast<std::uint32_t>(at);
}

void BitmapPixels::drawLayer(const std::vector<std::uint32_t>& layer, PixelRect r,
                             const PixelTransform* t, BlendFunction blend, int mode) {
    r = clip(r);
    if (layer.size() < pixels_.size()) {
        return;
    }
    auto apply = [t](std::uint32_t c, int i) {
        const double v = std::floor(static_cast<double>(c) * t->multiply[i] + t->add[i]);
        return static_cast<std::uint32_t>(std::clamp(std::isnan(v) ? 0.0 : v, 0.0, 255.0));
    };
    for (int y = r.y; y < r.y + r.height; ++y) {
        for (int x = r.x; x < r.x + r.width; ++x) {
            std::uint32_t s = layer[index(x, y)];
            // Only what the picture covers changes: offsets do not colour the rest.
            if (s == 0) {
                continue;
            }
            if (t != nullptr) {
                const std::uint32_t c = unmultiply(s);
                s = premultiply(pack(apply(channel(c, 24), 3), apply(channel(c, 16), 0),
                                     apply(channel(c, 8), 1), apply(channel(c, 0), 2)));
            }
            const std::uint32_t d = stored(x, y);
            std::uint32_t out = 0;
            if (blend != nullptr) {
                out = blend(s, d, mode);
            } else {
                const std::uint32_t keep = 255 - channel(s, 24);
                auto over = [&](int shift) {
                    return std::min(255u,
                                    channel(s, shift) + (channel(d, shift) * keep + 127) / 255);
                };
                out = pack(over(24), over(16), over(8), over(0));
            }
            setStored(x, y, transparent_ ? out : (out | 0xff000000u));
        }
    }
}

bool BitmapPixels::hitPoint(int x, int y, std::uint32_t alphaThreshold) const {
    if (!contains(x, y)) {
        return false;
    }
    return channel(stored(x, y), 24) >= std::max(alphaThreshold, 1u);
}

}  // namespace zd::avm1
