#include "engine/render/SpanShaders.h"

#include <algorithm>
#include <cmath>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace zd::engine {

namespace {

constexpr double kMaxFocalPoint = 0.98;

// The gradient square runs from -kHalf to kHalf both ways.
constexpr double kHalf = 16384.0;
constexpr int kSteps = 1024;
// Gradient positions are kept within this many ramps either way before they become indices.
constexpr double kMaxRamps = 1e6;

double toLinear(double v) {
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}

double fromLinear(double v) {
    return v <= 0.0031308 ? v * 12.92 : 1.055 * std::pow(v, 1.0 / 2.4) - 0.055;
}

int channel(double v) {
    return static_cast<int>(std::lround(std::clamp(v, 0.0, 1.0) * 255.0));
}

// a and b (premultiplied) mixed with b weighing w of 256, each channel rounded down.
QRgb mix(QRgb a, QRgb b, unsigned w) {
    const unsigned v = 256 - w;
    const unsigned rb = (((a & 0xff00ff) * v + (b & 0xff00ff) * w) >> 8) & 0xff00ff;
    const unsigned ag = (((a >> 8) & 0xff00ff) * v + ((b >> 8) & 0xff00ff) * w) & 0xff00ff00;
    return rb | ag;
}

// Each channel of a premultiplied colour times f/256 (f at most 256).
QRgb scaled(QRgb c, unsigned f) {
    const unsigned rb = (((c & 0xff00ff) * f) >> 8) & 0xff00ff;
    const unsigned ag = (((c >> 8) & 0xff00ff) * f) & 0xff00ff00;
    return rb | ag;
}

// Across first, then down, each step rounded down: the same pixels with or without SSE2.
inline QRgb bilinear(QRgb tl, QRgb tr, QRgb bl, QRgb br, unsigned dx, unsigned dy) {
#ifdef __SSE2__
    const __m128i zero = _mm_setzero_si128();
    // 16 bits a channel: left pixels in the low half, right ones in the high half.
    const __m128i left =
        _mm_unpacklo_epi8(_mm_unpacklo_epi32(_mm_cvtsi32_si128(static_cast<int>(tl)),
                                             _mm_cvtsi32_si128(static_cast<int>(bl))),
                          zero);
    const __m128i right =
        _mm_unpacklo_epi8(_mm_unpacklo_epi32(_mm_cvtsi32_si128(static_cast<int>(tr)),
                                             _mm_cvtsi32_si128(static_cast<int>(br))),
                          zero);
    const __m128i across = _mm_srli_epi16(
        _mm_add_epi16(_mm_mullo_epi16(left, _mm_set1_epi16(static_cast<short>(256 - dx))),
                      _mm_mullo_epi16(right, _mm_set1_epi16(static_cast<short>(dx)))),
        8);
    // across holds the top row's mix in its low four channels, the bottom row's above them.
    const __m128i down = _mm_srli_epi16(
        _mm_add_epi16(
            _mm_mullo_epi16(across, _mm_set1_epi16(static_cast<short>(256 - dy))),
            _mm_mullo_epi16(_mm_srli_si128(across, 8), _mm_set1_epi16(static_cast<short>(dy)))),
        8);
    return static_cast<QRgb>(_mm_cvtsi128_si32(_mm_packus_epi16(down, zero)));
#else
    return mix(mix(tl, tr, dx), mix(bl, br, dx), dy);
#endif
}

#ifdef __SSE2__
// Two bilinear samples at once, rounded as bilinear() rounds. a and b point at the top left
// pixel of each sample's square; the pixel right of it and the two below it, one row further
// on (strides in pixels), complete it.
inline void bilinearTwo(const QRgb* a, const QRgb* b, qsizetype strideA, qsizetype strideB,
                        unsigned dxA, unsigned dyA, unsigned dxB, unsigned dyB, QRgb* out) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i topA = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(a));
    const __m128i topB = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(b));
    const __m128i bottomA = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(a + strideA));
    const __m128i bottomB = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(b + strideB));
    // [left A, left B, right A, right B], then 16 bits a channel.
    const __m128i top = _mm_unpacklo_epi32(topA, topB);
    const __m128i bottom = _mm_unpacklo_epi32(bottomA, bottomB);
    auto weights = [](unsigned wA, unsigned wB) {
        return _mm_set_epi64x(static_cast<long long>(wB * 0x0001000100010001ULL),
                              static_cast<long long>(wA * 0x0001000100010001ULL));
    };
    const __m128i wx = weights(dxA, dxB);
    const __m128i vx = _mm_sub_epi16(_mm_set1_epi16(256), wx);
    auto across = [&](__m128i pair) {
        return _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(pair, zero), vx),
                                            _mm_mullo_epi16(_mm_unpackhi_epi8(pair, zero), wx)),
                              8);
    };
    const __m128i upper = across(top);
    const __m128i lower = across(bottom);
    const __m128i wy = weights(dyA, dyB);
    const __m128i vy = _mm_sub_epi16(_mm_set1_epi16(256), wy);
    const __m128i down =
        _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(upper, vy), _mm_mullo_epi16(lower, wy)), 8);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(down, zero));
}
#endif

template <typename T>
void append(std::vector<std::uint8_t>& key, const T& value) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(&value);
    key.insert(key.end(), bytes, bytes + sizeof(T));
}

void appendTransform(std::vector<std::uint8_t>& key, const QTransform& t) {
    for (const double v :
         {t.m11(), t.m12(), t.m13(), t.m21(), t.m22(), t.m23(), t.m31(), t.m32(), t.m33()}) {
        append(key, v);
    }
}

bool sane(const QTransform& t) {
    for (const double v : {t.m11(), t.m12(), t.m21(), t.m22(), t.dx(), t.dy()}) {
        if (!std::isfinite(v)) {
            return false;
        }
    }
    return true;
}

// Where a coordinate falls in n pixels repeated without end.
inline int wrap(std::int64_t i, int n) {
    const std::int64_t r = i % n;
    return static_cast<int>(r < 0 ? r + n : r);
}

}  // namespace

std::array<QRgb, 256> gradientRamp(const Gradient& g, const std::vector<Rgba>& colours) {
    std::array<QRgb, 256> ramp{};
    const std::size_t count = std::min(g.records.size(), colours.size());
    if (count == 0) {
        return ramp;  // transparent
    }
    struct Channels {
        double r, g, b, a;
    };
    std::vector<Channels> linear;
    linear.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const Rgba c = colours[i];
        const double a = c.a / 255.0;
        if (g.linearRgb) {
            // Linear light is held in 8 bits, cut down on the way in: the dark colours of a
            // linear ramp come out in the coarse steps of that encoding.
            auto lin = [](std::uint8_t v) {
                return std::floor(toLinear(v / 255.0) * 255.0) / 255.0;
            };
            linear.push_back({lin(c.r), lin(c.g), lin(c.b), a});
        } else {
            linear.push_back({c.r / 255.0, c.g / 255.0, c.b / 255.0, a});
        }
    }
    for (int t = 0; t < 256; ++t) {
        std::size_t i = 0;
        while (i < count && g.records[i].ratio < t) {
            ++i;
        }
        Channels c;
        if (i == 0) {
            c = linear.front();
        } else if (i == count) {
            c = linear.back();
        } else {
            const double from = g.records[i - 1].ratio;
            const double to = g.records[i].ratio;
            const double f = to > from ? std::clamp((t - from) / (to - from), 0.0, 1.0) : 1.0;
            const Channels& x = linear[i - 1];
            const Channels& y = linear[i];
            c = {x.r + (y.r - x.r) * f, x.g + (y.g - x.g) * f, x.b + (y.b - x.b) * f,
                 x.a + (y.a - x.a) * f};
        }
        if (g.linearRgb) {
            auto encoded = [](double v) { return fromLinear(std::round(v * 255.0) / 255.0); };
            c.r = encoded(c.r);
            c.g = encoded(c.g);
            c.b = encoded(c.b);
        }
        ramp[static_cast<std::size_t>(t)] =
            qRgba(channel(c.r), channel(c.g), channel(c.b), channel(c.a));
    }
    return ramp;
}

// ---------------------------------------------------------------------------------------------

GradientShader::GradientShader(const FillStyle& style, const std::vector<Rgba>& colours,
                               const QTransform& toDevice) {
    kind_ = style.type == FillStyle::LinearGradient  ? Kind::Linear
            : style.type == FillStyle::FocalGradient ? Kind::Focal
                                                     : Kind::Radial;
    spread_ = style.gradient.spread;
    // Inside the circle, so every point outside it still has a ramp position; nearer its edge
    // than this the ramp would crowd into a few pixels, and focal points past it draw alike.
    focal_ = std::clamp(style.gradient.focalPoint, -kMaxFocalPoint, kMaxFocalPoint);
    std::array<QRgb, 256> ramp = gradientRamp(style.gradient, colours);
    for (QRgb& c : ramp) {
        c = qPremultiply(c);
    }
    if (kind_ == Kind::Linear) {
        // Step k stands for position (k + 0.5) / 1024; ratio j's colour sits at (j + 0.5) / 256.
        table_[0] = table_[1] = ramp.front();
        for (int k = 2; k < kSteps - 2; ++k) {
            const int quarter = k - 2;  // quarters of a ratio past the first one's centre
            const auto j = static_cast<std::size_t>(quarter / 4);
            const unsigned w = 32 + 64 * static_cast<unsigned>(quarter % 4);
            table_[static_cast<std::size_t>(k)] =
                mix(ramp[j], ramp[std::min<std::size_t>(j + 1, 255)], w);
        }
        table_[kSteps - 2] = table_[kSteps - 1] = ramp.back();
    } else {
        for (std::size_t k = 0; k < table_.size(); ++k) {
            table_[k] = ramp[k / 4];
        }
    }
    const double det = toDevice.determinant();
    valid_ = !style.gradient.records.empty() && sane(toDevice) && det != 0;
    if (valid_) {
        // Device pixels to the gradient's own units, where the ramp runs over 0 to 1.
        fromDevice_ = toDevice.inverted() * QTransform::fromScale(1 / kHalf, 1 / kHalf);
        valid_ = sane(fromDevice_);
    }
    if (!valid_ && style.gradient.records.empty()) {
        table_.fill(0);
    }
}

int GradientShader::step(std::int64_t i) const {
    if (i >= 0 && i < kSteps) {
        return static_cast<int>(i);
    }
    switch (spread_) {
        case Gradient::Repeat:
            return static_cast<int>(i & (kSteps - 1));
        case Gradient::Reflect: {
            const auto r = static_cast<int>(i & (2 * kSteps - 1));
            return r >= kSteps ? 2 * kSteps - 1 - r : r;
        }
        default:
            return i < 0 ? 0 : kSteps - 1;
    }
}

int GradientShader::index(double t) const {
    if (!(std::abs(t) <= kMaxRamps)) {
        t = std::isnan(t) ? 0.0 : std::copysign(kMaxRamps, t);
    }
    // The spread folds t into one ramp before it is rounded to a step, so a repeated ramp
    // keeps its period however far out it is.
    if (spread_ == Gradient::Repeat) {
        t -= std::floor(t);
    } else if (spread_ == Gradient::Reflect) {
        t = std::abs(t - 2 * std::floor(t / 2 + 0.5));
    }
    return step(static_cast<std::int64_t>(std::floor(t * (kSteps - 1) + 0.5)));
}

bool GradientShader::identity(std::vector<std::uint8_t>& key) const {
    if (!valid_) {
        return false;
    }
    key.push_back('g');
    append(key, kind_);
    append(key, spread_);
    append(key, focal_);
    appendTransform(key, fromDevice_);
    const auto* table = reinterpret_cast<const std::uint8_t*>(table_.data());
    key.insert(key.end(), table, table + sizeof(QRgb) * table_.size());
    return true;
}

void GradientShader::shade(int x, int y, int n, QRgb* out) const {
    if (!valid_) {
        std::fill(out, out + n, table_.back());
        return;
    }
    const double px = x + 0.5;
    const double py = y + 0.5;
    const double gx = fromDevice_.m11() * px + fromDevice_.m21() * py + fromDevice_.dx();
    const double gy = fromDevice_.m12() * px + fromDevice_.m22() * py + fromDevice_.dy();
    const double stepX = fromDevice_.m11();
    const double stepY = fromDevice_.m12();
    switch (kind_) {
        case Kind::Linear: {
            // The ramp runs from -1 to 1 across; its steps are stepped in 16.16 fixed point.
            const double first = (gx + 1) / 2 * (kSteps - 1) + 0.5;
            const double each = stepX / 2 * (kSteps - 1);
            const double last = first + each * n;
            constexpr double kFar = kMaxRamps * kSteps;
            if (!(std::abs(first) < kFar && std::abs(last) < kFar)) {
                for (int i = 0; i < n; ++i) {
                    out[i] = table_[static_cast<std::size_t>(index((gx + stepX * i + 1) / 2))];
                }
                break;
            }
            auto at = static_cast<std::int64_t>(std::floor(first * 65536));
            const auto by = static_cast<std::int64_t>(std::llround(each * 65536));
            for (int i = 0; i < n; ++i, at += by) {
                out[i] = table_[static_cast<std::size_t>(step(at >> 16))];
            }
            break;
        }
        case Kind::Radial:
            for (int i = 0; i < n; ++i) {
                const double u = gx + stepX * i;
                const double v = gy + stepY * i;
                out[i] = table_[static_cast<std::size_t>(index(std::sqrt(u * u + v * v)))];
            }
            break;
        case Kind::Focal: {
            // The ramp position of p: how far along the ray from the focal point through p,
            // in units of the way to the circle, p lies.
            const double f = focal_;
            const double a = f * f - 1;  // below 0: the focal point is inside the circle
            for (int i = 0; i < n; ++i) {
                const double dx = gx + stepX * i - f;
                const double dy = gy + stepY * i;
                const double b = -dx * f;
                const double c = dx * dx + dy * dy;
                const double t = (b - std::sqrt(b * b - a * c)) / a;
                out[i] = table_[static_cast<std::size_t>(index(t))];
            }
            break;
        }
    }
}

// ---------------------------------------------------------------------------------------------

BitmapShader::BitmapShader(const QImage& image, const QTransform& toDevice, bool repeat,
                           bool smooth)
    : image_(image.format() == QImage::Format_ARGB32_Premultiplied
                 ? image
                 : image.convertToFormat(QImage::Format_ARGB32_Premultiplied)),
      repeat_(repeat),
      smooth_(smooth) {
    width_ = image_.width();
    height_ = image_.height();
    valid_ = !image_.isNull() && sane(toDevice) && toDevice.determinant() != 0;
    if (!valid_) {
        return;
    }
    fromDevice_ = toDevice.inverted();
    valid_ = sane(fromDevice_);
    pixels_ = reinterpret_cast<const QRgb*>(image_.constBits());
    stride_ = image_.bytesPerLine() / 4;
    // How far a pixel centre is from an edge of the bitmap, in device pixels, is its distance
    // in bitmap pixels over the length of the gradient of that coordinate.
    const double du = std::hypot(fromDevice_.m11(), fromDevice_.m21());
    const double dv = std::hypot(fromDevice_.m12(), fromDevice_.m22());
    pixelsPerU_ = du > 0 ? 1 / du : 0;
    pixelsPerV_ = dv > 0 ? 1 / dv : 0;
}

bool BitmapShader::identity(std::vector<std::uint8_t>& key) const {
    if (!valid_) {
        return false;
    }
    key.push_back('b');
    // The picture's key changes whenever its pixels may have.
    append(key, image_.cacheKey());
    append(key, repeat_);
    append(key, smooth_);
    appendTransform(key, fromDevice_);
    return true;
}

QRgb BitmapShader::edgeCovered(QRgb colour, double u, double v) const {
    // The share of the pixel inside the bitmap's edges, taken across each edge in turn.
    auto across = [](double inside) { return std::clamp(0.5 + inside, 0.0, 1.0); };
    const double f = across(u * pixelsPerU_) * across((width_ - u) * pixelsPerU_) *
                     across(v * pixelsPerV_) * across((height_ - v) * pixelsPerV_);
    return scaled(colour, static_cast<unsigned>(std::lround(f * 256)));
}

QRgb BitmapShader::sample(std::int64_t u, std::int64_t v) const {
    auto column = [this](std::int64_t i) {
        return repeat_ ? wrap(i, width_)
                       : static_cast<int>(std::clamp<std::int64_t>(i, 0, width_ - 1));
    };
    auto line = [this](std::int64_t j) {
        return pixels_ +
               (repeat_ ? wrap(j, height_) : std::clamp<std::int64_t>(j, 0, height_ - 1)) * stride_;
    };
    if (!smooth_) {
        return line(v >> 16)[column(u >> 16)];
    }
    // Between the centres of the four pixels around.
    u -= 32768;
    v -= 32768;
    const QRgb* top = line(v >> 16);
    const QRgb* bottom = line((v >> 16) + 1);
    const int left = column(u >> 16);
    const int right = column((u >> 16) + 1);
    return bilinear(top[left], top[right], bottom[left], bottom[right],
                    static_cast<unsigned>((u & 0xffff) >> 8),
                    static_cast<unsigned>((v & 0xffff) >> 8));
}

void BitmapShader::shade(int x, int y, int n, QRgb* out) const {
    if (!valid_ || n <= 0) {
        std::fill(out, out + std::max(n, 0), 0u);
        return;
    }
    const double px = x + 0.5;
    const double py = y + 0.5;
    const double u0 = fromDevice_.m11() * px + fromDevice_.m21() * py + fromDevice_.dx();
    const double v0 = fromDevice_.m12() * px + fromDevice_.m22() * py + fromDevice_.dy();
    const double du = fromDevice_.m11();
    const double dv = fromDevice_.m12();
    // Pixel centres in bitmap pixels, in 16.16 fixed point stepped along the row. Beyond this
    // a clipped bitmap shows nothing and a repeated one only its position within the bitmap
    // counts; stepping that far could overflow.
    constexpr double kFar = 1e9;
    constexpr double kOne = 65536.0;
    const double uLast = u0 + du * (n - 1);
    const double vLast = v0 + dv * (n - 1);
    if (!(std::abs(u0) < kFar && std::abs(v0) < kFar && std::abs(uLast) < kFar &&
          std::abs(vLast) < kFar)) {
        for (int i = 0; i < n; ++i) {
            const double u = u0 + du * i;
            const double v = v0 + dv * i;
            out[i] = std::abs(u) < kFar && std::abs(v) < kFar ? shadeOne(u, v) : 0;
        }
        return;
    }
    const auto stepU = static_cast<std::int64_t>(du * kOne);
    const auto stepV = static_cast<std::int64_t>(dv * kOne);
    auto fu = static_cast<std::int64_t>(u0 * kOne);
    auto fv = static_cast<std::int64_t>(v0 * kOne);
    if (repeat_) {
        // Kept within one period, so a step wraps with one subtraction at most.
        const std::int64_t periodU = std::int64_t{width_} << 16;
        const std::int64_t periodV = std::int64_t{height_} << 16;
        auto within = [](std::int64_t a, std::int64_t period) {
            const std::int64_t r = a % period;
            return r < 0 ? r + period : r;
        };
        const std::int64_t half = smooth_ ? 32768 : 0;  // bilinear: from the pixel centres
        fu = within(fu - half, periodU);
        fv = within(fv - half, periodV);
        const std::int64_t byU = within(stepU, periodU);
        const std::int64_t byV = within(stepV, periodV);
        for (int i = 0; i < n; ++i) {
            const std::int64_t top = fv >> 16;
            const std::int64_t left = fu >> 16;
            if (smooth_) {
                const std::int64_t bottom = top + 1 == height_ ? 0 : top + 1;
                const std::int64_t right = left + 1 == width_ ? 0 : left + 1;
                const QRgb* a = pixels_ + top * stride_;
                const QRgb* b = pixels_ + bottom * stride_;
                out[i] = bilinear(a[left], a[right], b[left], b[right],
                                  static_cast<unsigned>((fu & 0xffff) >> 8),
                                  static_cast<unsigned>((fv & 0xffff) >> 8));
            } else {
                out[i] = pixels_[top * stride_ + left];
            }
            fu += byU;
            fu -= fu >= periodU ? periodU : 0;
            fv += byV;
            fv -= fv >= periodV ? periodV : 0;
        }
        return;
    }
    // The pixels at least half a device pixel inside every edge need no share worked out.
    double from = 0;
    double to = n - 1;
    auto within = [&](double start, double step, double low, double high) {
        if (step == 0) {
            if (start < low || start > high) {
                to = -1;
            }
            return;
        }
        double a = (low - start) / step;
        double b = (high - start) / step;
        if (a > b) {
            std::swap(a, b);
        }
        from = std::max(from, a);
        to = std::min(to, b);
    };
    const double marginU = 0.5 / pixelsPerU_ + 1e-6;
    const double marginV = 0.5 / pixelsPerV_ + 1e-6;
    within(u0, du, marginU, width_ - marginU);
    within(v0, dv, marginV, height_ - marginV);
    // One pixel less either way: the fixed-point steps may stray from the exact positions.
    const int inside0 =
        from <= to ? static_cast<int>(std::clamp(std::ceil(from) + 1, 0.0, 1.0 * n)) : n;
    const int inside1 = from <= to ? static_cast<int>(std::clamp(std::floor(to), 0.0, 1.0 * n)) : n;
    auto edge = [&](int i) {
        const double u = static_cast<double>(fu) / kOne;
        const double v = static_cast<double>(fv) / kOne;
        const double inU = std::min(u, width_ - u) * pixelsPerU_;
        const double inV = std::min(v, height_ - v) * pixelsPerV_;
        if (inU <= -0.5 || inV <= -0.5) {
            out[i] = 0;
        } else {
            const QRgb c = sample(fu, fv);
            out[i] = inU < 0.5 || inV < 0.5 ? edgeCovered(c, u, v) : c;
        }
    };
    int i = 0;
    for (; i < std::min(inside0, n); ++i, fu += stepU, fv += stepV) {
        edge(i);
    }
    if (!smooth_) {
        for (; i < inside1; ++i, fu += stepU, fv += stepV) {
            const std::int64_t row = std::clamp<std::int64_t>(fv >> 16, 0, height_ - 1);
            const std::int64_t column = std::clamp<std::int64_t>(fu >> 16, 0, width_ - 1);
            out[i] = pixels_[row * stride_ + column];
        }
    } else {
        // Where all four pixels around lie inside the bitmap no position needs clamping.
        const std::int64_t lastU = (std::int64_t{width_} << 16) - 32768;
        const std::int64_t lastV = (std::int64_t{height_} << 16) - 32768;
#ifdef __SSE2__
        // Two at a time while both squares lie inside.
        auto clear = [&](std::int64_t u, std::int64_t v) {
            return u >= 32768 && u < lastU && v >= 32768 && v < lastV;
        };
        for (; i + 1 < inside1; i += 2, fu += 2 * stepU, fv += 2 * stepV) {
            const std::int64_t u1 = fu + stepU;
            const std::int64_t v1 = fv + stepV;
            if (!clear(fu, fv) || !clear(u1, v1)) {
                out[i] = sample(fu, fv);
                out[i + 1] = sample(u1, v1);
                continue;
            }
            const std::int64_t su0 = fu - 32768;
            const std::int64_t sv0 = fv - 32768;
            const std::int64_t su1 = u1 - 32768;
            const std::int64_t sv1 = v1 - 32768;
            bilinearTwo(pixels_ + (sv0 >> 16) * stride_ + (su0 >> 16),
                        pixels_ + (sv1 >> 16) * stride_ + (su1 >> 16), stride_, stride_,
                        static_cast<unsigned>((su0 & 0xffff) >> 8),
                        static_cast<unsigned>((sv0 & 0xffff) >> 8),
                        static_cast<unsigned>((su1 & 0xffff) >> 8),
                        static_cast<unsigned>((sv1 & 0xffff) >> 8), out + i);
        }
#endif
        for (; i < inside1; ++i, fu += stepU, fv += stepV) {
            if (fu < 32768 || fu >= lastU || fv < 32768 || fv >= lastV) {
                out[i] = sample(fu, fv);
                continue;
            }
            const std::int64_t su = fu - 32768;
            const std::int64_t sv = fv - 32768;
            const QRgb* top = pixels_ + (sv >> 16) * stride_;
            const QRgb* bottom = top + stride_;
            const std::int64_t left = su >> 16;
            out[i] = bilinear(top[left], top[left + 1], bottom[left], bottom[left + 1],
                              static_cast<unsigned>((su & 0xffff) >> 8),
                              static_cast<unsigned>((sv & 0xffff) >> 8));
        }
    }
    for (; i < n; ++i, fu += stepU, fv += stepV) {
        edge(i);
    }
}

QRgb BitmapShader::shadeOne(double u, double v) const {
    constexpr double kOne = 65536.0;
    const auto fu = static_cast<std::int64_t>(u * kOne);
    const auto fv = static_cast<std::int64_t>(v * kOne);
    if (repeat_) {
        return sample(fu, fv);
    }
    const double inU = std::min(u, width_ - u) * pixelsPerU_;
    const double inV = std::min(v, height_ - v) * pixelsPerV_;
    if (inU <= -0.5 || inV <= -0.5) {
        return 0;
    }
    const QRgb c = sample(fu, fv);
    return inU < 0.5 || inV < 0.5 ? edgeCovered(c, u, v) : c;
}

}  // namespace zd::engine
