#include "engine/avm1/BitmapPixels.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>
#include <numeric>
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

// Improved gradient noise on a lattice shuffled by the seed; period (when not 0) wraps the
// lattice so the noise repeats.
class GradientNoise {
  public:
    explicit GradientNoise(std::int32_t seed) {
        std::iota(perm_.begin(), perm_.begin() + 256, 0);
        NoiseRandom random(seed);
        for (int i = 255; i > 0; --i) {
            std::swap(perm_[static_cast<std::size_t>(i)],
                      perm_[random.next() % static_cast<std::uint32_t>(i + 1)]);
        }
        std::copy(perm_.begin(), perm_.begin() + 256, perm_.begin() + 256);
    }

    double at(double x, double y, double z, int periodX, int periodY) const {
        // The lattice repeats every 256 cells (or its period), so far coordinates fold back.
        x = std::fmod(x, periodX > 0 ? periodX : 256.0);
        y = std::fmod(y, periodY > 0 ? periodY : 256.0);
        z = std::fmod(z, 256.0);
        if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z)) {
            return 0;
        }
        const double fx = std::floor(x), fy = std::floor(y), fz = std::floor(z);
        const double u = x - fx, v = y - fy, w = z - fz;
        auto wrap = [](double c, int period) {
            long i = static_cast<long>(c);
            if (period > 0) {
                i %= period;
                if (i < 0) {
                    i += period;
                }
            }
            return static_cast<int>(i & 255);
        };
        const int x0 = wrap(fx, periodX), x1 = wrap(fx + 1, periodX);
        const int y0 = wrap(fy, periodY), y1 = wrap(fy + 1, periodY);
        const int z0 = static_cast<int>(static_cast<long>(fz) & 255), z1 = (z0 + 1) & 255;
        auto corner = [&](int xi, int yi, int zi, double dx, double dy, double dz) {
            const int h =
                perm_[static_cast<std::size_t>(
                    perm_[static_cast<std::size_t>(perm_[static_cast<std::size_t>(xi)] + yi)] +
                    zi)] &
                15;
            const double a = h < 8 ? dx : dy;
            const double b = h < 4 ? dy : (h == 12 || h == 14 ? dx : dz);
            return ((h & 1) == 0 ? a : -a) + ((h & 2) == 0 ? b : -b);
        };
        auto fade = [](double t) { return t * t * t * (t * (t * 6 - 15) + 10); };
        auto lerp = [](double t, double a, double b) { return a + t * (b - a); };
        const double su = fade(u), sv = fade(v), sw = fade(w);
        const double n00 = lerp(su, corner(x0, y0, z0, u, v, w), corner(x1, y0, z0, u - 1, v, w));
        const double n10 =
            lerp(su, corner(x0, y1, z0, u, v - 1, w), corner(x1, y1, z0, u - 1, v - 1, w));
        const double n01 =
            lerp(su, corner(x0, y0, z1, u, v, w - 1), corner(x1, y0, z1, u - 1, v, w - 1));
        const double n11 =
            lerp(su, corner(x0, y1, z1, u, v - 1, w - 1), corner(x1, y1, z1, u - 1, v - 1, w - 1));
        return lerp(sw, lerp(sv, n00, n10), lerp(sv, n01, n11));
    }

  private:
    std::array<int, 512> perm_{};
};

}  // namespace

void BitmapPixels::perlinNoise(const PerlinOptions& o) {
    const GradientNoise noise(o.seed);
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
    // A base below one pixel is one pixel; NaN is too.
    const double baseX = o.baseX >= 1 ? o.baseX : 1;
    const double baseY = o.baseY >= 1 ? o.baseY : 1;
    struct Octave {
        double fx, fy, weight, ox, oy;
        int periodX, periodY;
    };
    std::vector<Octave> levels;
    double total = 0;
    for (int i = 0; i < octaves; ++i) {
        const double scale = std::ldexp(1.0, i);
        Octave l{scale / baseX, scale / baseY, std::ldexp(1.0, -i), 0, 0, 0, 0};
        if (static_cast<std::size_t>(i) < o.offsets.size()) {
            l.ox = std::isfinite(o.offsets[static_cast<std::size_t>(i)][0])
                       ? o.offsets[static_cast<std::size_t>(i)][0]
                       : 0;
            l.oy = std::isfinite(o.offsets[static_cast<std::size_t>(i)][1])
                       ? o.offsets[static_cast<std::size_t>(i)][1]
                       : 0;
        }
        if (o.stitch) {
            // A period past the lattice's own repeats anyway.
            auto period = [](double cells) {
                return cells < 256 ? std::max(1, static_cast<int>(std::lround(cells))) : 0;
            };
            l.periodX = period(width_ * l.fx);
            l.periodY = period(height_ * l.fy);
        }
        total += l.weight;
        levels.push_back(l);
    }
    auto sample = [&](int x, int y, int channel) {
        double sum = 0;
        for (const Octave& l : levels) {
            const double n = noise.at((x + l.ox) * l.fx, (y + l.oy) * l.fy, channel * 17.31,
                                      l.periodX, l.periodY);
            sum += (o.fractal ? n : std::abs(n)) * l.weight;
        }
        if (total > 0) {
            sum /= total;
        }
        const double v = o.fractal ? (sum + 1) * 127.5 : sum * 255;
        return static_cast<std::uint32_t>(std::clamp(v, 0.0, 255.0));
    };
    for (int y = 0; y < height_; ++y) {
        for (int x = 0; x < width_; ++x) {
            std::uint32_t r = 0, g = 0, b = 0, a = 255;
            if (o.grey) {
                r = g = b = sample(x, y, 0);
            } else {
                r = (o.channels & kRedChannel) != 0 ? sample(x, y, 0) : 0;
                g = (o.channels & kGreenChannel) != 0 ? sample(x, y, 1) : 0;
                b = (o.channels & kBlueChannel) != 0 ? sample(x, y, 2) : 0;
            }
            if ((o.channels & kAlphaChannel) != 0) {
                a = sample(x, y, 3);
            }
            setStored(x, y, toStored(pack(a, r, g, b)));
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
