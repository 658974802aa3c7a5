#include "engine/render/Filters.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "engine/swf/BitmapDecoder.h"

namespace zd::engine {

namespace {

// ---- Planes and pixels ------------------------------------------------------------------

// One 8-bit channel of an image (an alpha or strength plane).
struct Plane {
    int w = 0;
    int h = 0;
    std::vector<std::uint8_t> v;

    Plane(int width, int height, std::uint8_t fill = 0)
        : w(width), h(height), v(static_cast<std::size_t>(width) * height, fill) {}
    std::uint8_t& at(int x, int y) { return v[static_cast<std::size_t>(y) * w + x]; }
    std::uint8_t at(int x, int y) const { return v[static_cast<std::size_t>(y) * w + x]; }
    const std::uint8_t* line(int y) const { return v.data() + static_cast<std::size_t>(y) * w; }
};

inline unsigned mul255(unsigned a, unsigned b) {
    const unsigned t = a * b + 128;
    return (t + (t >> 8)) >> 8;
}

inline QRgb scalePixel(QRgb c, unsigned k) {
    return qRgba(mul255(qRed(c), k), mul255(qGreen(c), k), mul255(qBlue(c), k),
                 mul255(qAlpha(c), k));
}

// a over b, both premultiplied.
inline QRgb over(QRgb a, QRgb b) {
    const unsigned inv = 255 - qAlpha(a);
    return qRgba(qRed(a) + mul255(qRed(b), inv), qGreen(a) + mul255(qGreen(b), inv),
                 qBlue(a) + mul255(qBlue(b), inv), qAlpha(a) + mul255(qAlpha(b), inv));
}

inline QRgb premultiply(const Rgba& c) {
    return qRgba(mul255(c.r, c.a), mul255(c.g, c.a), mul255(c.b, c.a), c.a);
}

// out = colour x strength (each of w pixels its own strength) composited with in: over it,
// or under it (onTop false). The same pixels as scalePixel and over give.
void compositeFlat(const QRgb* in, QRgb* out, const std::uint8_t* strength, int w, QRgb colour,
                   bool onTop) {
    int x = 0;
#ifdef __SSE2__
    const __m128i zero = _mm_setzero_si128();
    const __m128i c128 = _mm_set1_epi16(128);
    const __m128i full = _mm_set1_epi16(255);
    auto mul = [&](__m128i a, __m128i b) {  // mul255 in each 16-bit lane
        const __m128i t = _mm_add_epi16(_mm_mullo_epi16(a, b), c128);
        return _mm_srli_epi16(_mm_add_epi16(t, _mm_srli_epi16(t, 8)), 8);
    };
    auto alphas = [](__m128i v) { return _mm_shufflehi_epi16(_mm_shufflelo_epi16(v, 0xff), 0xff); };
    const __m128i tint = _mm_unpacklo_epi8(_mm_set1_epi32(static_cast<int>(colour)), zero);
    for (; x + 4 <= w; x += 4) {
        int four;
        std::memcpy(&four, strength + x, 4);
        const __m128i v = _mm_unpacklo_epi8(_mm_cvtsi32_si128(four), zero);
        const __m128i pairs = _mm_unpacklo_epi16(v, v);
        const __m128i sLo = _mm_unpacklo_epi32(pairs, pairs);
        const __m128i sHi = _mm_unpackhi_epi32(pairs, pairs);
        const __m128i src = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + x));
        const __m128i cLo = _mm_unpacklo_epi8(src, zero);
        const __m128i cHi = _mm_unpackhi_epi8(src, zero);
        const __m128i lLo = mul(tint, sLo);
        const __m128i lHi = mul(tint, sHi);
        __m128i lo, hi;
        if (onTop) {
            lo = _mm_add_epi16(lLo, mul(cLo, _mm_sub_epi16(full, alphas(lLo))));
            hi = _mm_add_epi16(lHi, mul(cHi, _mm_sub_epi16(full, alphas(lHi))));
        } else {
            lo = _mm_add_epi16(cLo, mul(lLo, _mm_sub_epi16(full, alphas(cLo))));
            hi = _mm_add_epi16(cHi, mul(lHi, _mm_sub_epi16(full, alphas(cHi))));
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), _mm_packus_epi16(lo, hi));
    }
#endif
    for (; x < w; ++x) {
        const QRgb l = scalePixel(colour, strength[x]);
        out[x] = onTop ? over(l, in[x]) : over(in[x], l);
    }
}

QRgb* row(QImage& image, int y) {
    return reinterpret_cast<QRgb*>(image.scanLine(y));
}
const QRgb* row(const QImage& image, int y) {
    return reinterpret_cast<const QRgb*>(image.constScanLine(y));
}

// Division by a divisor fixed for many numerators, without a divide instruction: exact for
// numerators below 2^50.
class Divider {
  public:
    explicit Divider(std::uint64_t divisor) : d_(divisor), inverse_(1.0 / double(divisor)) {}
    std::uint64_t operator()(std::uint64_t n) const {
        auto q = static_cast<std::uint64_t>(double(n) * inverse_);  // the floor, or one off it
        if (q * d_ > n) {
            --q;
        } else if ((q + 1) * d_ <= n) {
            ++q;
        }
        return q;
    }

  private:
    std::uint64_t d_;
    double inverse_;
};

// One box pass along a line of n values spaced `step` apart: each value becomes the floor of
// the weighted mean of the values within `radius` of it, `outside` standing in beyond the
// ends. A fractional radius gives the two outermost taps that fraction of a weight.
void boxLine(std::uint8_t* data, int n, std::ptrdiff_t step, int whole, unsigned edgeWeight,
             std::uint8_t outside, std::vector<std::uint8_t>& scratch) {
    // The line with `outside` either side, as far as any tap reaches.
    const std::size_t pad = static_cast<std::size_t>(whole) + 1;
    scratch.assign(static_cast<std::size_t>(n) + 2 * pad, outside);
    std::uint8_t* v = scratch.data() + pad;  // v[i] for i in [-whole - 1, n + whole]
    for (int i = 0; i < n; ++i) {
        v[i] = data[i * step];
    }
    // Weights in 1/256: whole taps 256 each, the two at the ends edgeWeight.
    const std::uint64_t total =
        (2 * std::uint64_t(whole) + 1) * 256 + 2 * std::uint64_t(edgeWeight);
    const Divider divide(total);
    std::uint64_t sum = 0;
    for (int i = -whole; i <= whole; ++i) {
        sum += v[i];
    }
    for (int i = 0; i < n; ++i) {
        const std::uint64_t ends = std::uint64_t{v[i - whole - 1]} + v[i + whole + 1];
        data[i * step] = static_cast<std::uint8_t>(divide(sum * 256 + ends * edgeWeight));
        sum += v[i + whole + 1];
        sum -= v[i - whole];
    }
}

// The box pass of boxLine down every column of h rows of `width` bytes at once, sixteen
// columns at a time with SSE2: the same values. False (nothing done) where it cannot: radii
// whose sums pass 2^24, which single floats would not hold exactly.
bool boxColumns(std::uint8_t* data, int width, int h, std::ptrdiff_t stride, int whole,
                unsigned edgeWeight, std::uint8_t outside, std::vector<std::uint8_t>& copy) {
#ifdef __SSE2__
    const std::uint64_t total =
        (2 * std::uint64_t(whole) + 1) * 256 + 2 * std::uint64_t(edgeWeight);
    if (total * 256 >= (std::uint64_t{1} << 24) || width < 16) {
        return false;
    }
    // The rows as they were, with a row of `outside` for every row beyond either end.
    const auto w = static_cast<std::size_t>(width);
    copy.resize(w * (static_cast<std::size_t>(h) + 1));
    for (int y = 0; y < h; ++y) {
        std::memcpy(copy.data() + static_cast<std::size_t>(y) * w, data + y * stride, w);
    }
    const std::uint8_t* beyond = copy.data() + static_cast<std::size_t>(h) * w;
    std::memset(copy.data() + static_cast<std::size_t>(h) * w, outside, w);
    auto rowAt = [&](int y) {
        return y < 0 || y >= h ? beyond : copy.data() + static_cast<std::size_t>(y) * w;
    };
    const __m128i zero = _mm_setzero_si128();
    const __m128 divisor = _mm_set1_ps(static_cast<float>(total));
    const __m128 inverse = _mm_set1_ps(1.0f / static_cast<float>(total));
    const __m128i edge = _mm_set1_epi32(static_cast<int>(edgeWeight));
    auto widen = [&](const std::uint8_t* p, __m128i out[4]) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i lo = _mm_unpacklo_epi8(v, zero);
        const __m128i hi = _mm_unpackhi_epi8(v, zero);
        out[0] = _mm_unpacklo_epi16(lo, zero);
        out[1] = _mm_unpackhi_epi16(lo, zero);
        out[2] = _mm_unpacklo_epi16(hi, zero);
        out[3] = _mm_unpackhi_epi16(hi, zero);
    };
    // floor(n / total) for n below 2^24: a float estimate, put right where it is one off.
    auto divide = [&](__m128i n) {
        const __m128 nf = _mm_cvtepi32_ps(n);
        __m128 q = _mm_cvtepi32_ps(_mm_cvttps_epi32(_mm_mul_ps(nf, inverse)));
        const __m128 over = _mm_cmpgt_ps(_mm_mul_ps(q, divisor), nf);
        q = _mm_sub_ps(q, _mm_and_ps(over, _mm_set1_ps(1.0f)));
        const __m128 under =
            _mm_cmple_ps(_mm_mul_ps(_mm_add_ps(q, _mm_set1_ps(1.0f)), divisor), nf);
        q = _mm_add_ps(q, _mm_and_ps(under, _mm_set1_ps(1.0f)));
        return _mm_cvttps_epi32(q);
    };
    for (std::size_t x0 = 0; x0 < w; x0 += 16) {
        const std::size_t x = std::min(x0, w - 16);  // the last block overlaps the one before
        __m128i sum[4] = {zero, zero, zero, zero};
        for (int k = -whole; k <= whole; ++k) {
            __m128i v[4];
            widen(rowAt(k) + x, v);
            for (int j = 0; j < 4; ++j) {
                sum[j] = _mm_add_epi32(sum[j], v[j]);
            }
        }
        for (int y = 0; y < h; ++y) {
            __m128i before[4], after[4], leaving[4];
            widen(rowAt(y - whole - 1) + x, before);
            widen(rowAt(y + whole + 1) + x, after);
            widen(rowAt(y - whole) + x, leaving);
            __m128i q[4];
            for (int j = 0; j < 4; ++j) {
                const __m128i ends = _mm_add_epi32(before[j], after[j]);
                // sum * 256 + ends * edgeWeight; ends is below 2^9, the weight 2^8.
                const __m128i n =
                    _mm_add_epi32(_mm_slli_epi32(sum[j], 8), _mm_madd_epi16(ends, edge));
                q[j] = divide(n);
                sum[j] = _mm_sub_epi32(_mm_add_epi32(sum[j], after[j]), leaving[j]);
            }
            const __m128i packed =
                _mm_packus_epi16(_mm_packs_epi32(q[0], q[1]), _mm_packs_epi32(q[2], q[3]));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(data + y * stride + x), packed);
        }
    }
    return true;
#else
    (void)data;
    (void)width;
    (void)h;
    (void)stride;
    (void)whole;
    (void)edgeWeight;
    (void)outside;
    (void)copy;
    return false;
#endif
}

// Box blur of `channels` interleaved 8-bit channels.
void boxBlur(std::uint8_t* data, int w, int h, int channels, std::ptrdiff_t stride, double radiusX,
             double radiusY, int passes, std::uint8_t outside) {
    std::vector<std::uint8_t> scratch;
    std::vector<std::uint8_t> block;
    auto split = [](double r) {
        const int whole = static_cast<int>(std::floor(r));
        return std::make_pair(whole, static_cast<unsigned>(std::lround((r - whole) * 256)));
    };
    const auto [wholeX, edgeX] = split(radiusX);
    const auto [wholeY, edgeY] = split(radiusY);
    // Columns are blurred a block at a time, copied out side by side, so each pass reads
    // memory in order.
    constexpr int kBlock = 32;
    const int bytesWide = w * channels;
    for (int p = 0; p < passes; ++p) {
        if (radiusX > 0) {
            for (int y = 0; y < h; ++y) {
                for (int c = 0; c < channels; ++c) {
                    boxLine(data + y * stride + c, w, channels, wholeX, edgeX, outside, scratch);
                }
            }
        }
        if (radiusY > 0) {
            if (boxColumns(data, bytesWide, h, stride, wholeY, edgeY, outside, block)) {
                continue;
            }
            for (int x0 = 0; x0 < bytesWide; x0 += kBlock) {
                const int columns = std::min(kBlock, bytesWide - x0);
                block.resize(static_cast<std::size_t>(columns) * h);
                for (int y = 0; y < h; ++y) {
                    const std::uint8_t* from = data + y * stride + x0;
                    for (int k = 0; k < columns; ++k) {
                        block[static_cast<std::size_t>(k) * h + y] = from[k];
                    }
                }
                for (int k = 0; k < columns; ++k) {
                    boxLine(block.data() + static_cast<std::size_t>(k) * h, h, 1, wholeY, edgeY,
                            outside, scratch);
                }
                for (int y = 0; y < h; ++y) {
                    std::uint8_t* to = data + y * stride + x0;
                    for (int k = 0; k < columns; ++k) {
                        to[k] = block[static_cast<std::size_t>(k) * h + y];
                    }
                }
            }
        }
    }
}

void blurPlane(Plane& p, double radiusX, double radiusY, int passes, std::uint8_t outside) {
    boxBlur(p.v.data(), p.w, p.h, 1, p.w, radiusX, radiusY, passes, outside);
}

// out(p) = in(p - (dx, dy)), bilinear between pixels, `outside` beyond the plane.
Plane shifted(const Plane& in, double dx, double dy, std::uint8_t outside) {
    if (dx == 0 && dy == 0) {
        return in;
    }
    Plane out(in.w, in.h, outside);
    const double fx0 = std::floor(dx);
    const double fy0 = std::floor(dy);
    const int ix = static_cast<int>(fx0);
    const int iy = static_cast<int>(fy0);
    // Weights of the samples at (x - ix, ...) and (x - ix - 1, ...).
    const double fx = dx - fx0;
    const double fy = dy - fy0;
    auto sample = [&](int x, int y) -> double {
        return x < 0 || y < 0 || x >= in.w || y >= in.h ? outside : in.at(x, y);
    };
    if (fx == 0 && fy == 0) {
        // Whole pixels: rows copied across, `outside` where nothing comes.
        const int x0 = std::clamp(ix, 0, in.w);
        const int x1 = std::clamp(in.w + ix, 0, in.w);
        for (int y = 0; y < in.h; ++y) {
            const int sy = y - iy;
            if (sy >= 0 && sy < in.h && x0 < x1) {
                std::memcpy(&out.at(x0, y), in.line(sy) + (x0 - ix),
                            static_cast<std::size_t>(x1 - x0));
            }
        }
        return out;
    }
    for (int y = 0; y < in.h; ++y) {
        for (int x = 0; x < in.w; ++x) {
            const int sx = x - ix;
            const int sy = y - iy;
            double v;
            if (fx == 0 && fy == 0) {
                v = sample(sx, sy);
            } else {
                v = (1 - fx) * (1 - fy) * sample(sx, sy) + fx * (1 - fy) * sample(sx - 1, sy) +
                    (1 - fx) * fy * sample(sx, sy - 1) + fx * fy * sample(sx - 1, sy - 1);
            }
            out.at(x, y) = static_cast<std::uint8_t>(std::clamp(std::lround(v), 0L, 255L));
        }
    }
    return out;
}

Plane alphaPlane(const QImage& image, bool inverted) {
    const int w = image.width();
    const int h = image.height();
    Plane p(w, h);
    const std::uint8_t flip = inverted ? 255 : 0;
    for (int y = 0; y < h; ++y) {
        const QRgb* px = row(image, y);
        std::uint8_t* to = &p.at(0, y);
        for (int x = 0; x < w; ++x) {
            to[x] = static_cast<std::uint8_t>(qAlpha(px[x]) ^ flip);
        }
    }
    return p;
}

void applyStrength(Plane& p, double strength) {
    if (strength == 1.0) {
        return;
    }
    const double k = std::max(0.0, strength);
    for (auto& v : p.v) {
        v = static_cast<std::uint8_t>(std::min(255.0, std::floor(v * k)));
    }
}

// 256 premultiplied colours along a filter gradient.
std::array<QRgb, 256> gradientRamp(const std::vector<FilterGradientStop>& stops) {
    std::array<QRgb, 256> ramp{};
    if (stops.empty()) {
        return ramp;
    }
    for (int i = 0; i < 256; ++i) {
        std::size_t k = 0;
        while (k < stops.size() && stops[k].ratio < i) {
            ++k;
        }
        Rgba c;
        if (k == 0) {
            c = stops.front().color;
        } else if (k == stops.size()) {
            c = stops.back().color;
        } else {
            const auto& a = stops[k - 1];
            const auto& b = stops[k];
            const int span = b.ratio - a.ratio;
            const double t = span <= 0 ? 1.0 : double(i - a.ratio) / span;
            auto mix = [t](std::uint8_t u, std::uint8_t v) {
                return static_cast<std::uint8_t>(std::lround(u + (v - u) * t));
            };
            c = Rgba{mix(a.color.r, b.color.r), mix(a.color.g, b.color.g),
                     mix(a.color.b, b.color.b), mix(a.color.a, b.color.a)};
        }
        ramp[static_cast<std::size_t>(i)] = premultiply(c);
    }
    return ramp;
}

struct ShadowParams {
    double blurX = 0;
    double blurY = 0;
    double dx = 0;  // screen pixels
    double dy = 0;
    double strength = 1;
    int passes = 1;
    bool inner = false;
    bool knockout = false;
    bool compositeSource = true;
    bool onTop = false;
};

int clampPasses(int passes) {
    return std::clamp(passes, 0, kMaxFilterPasses);
}

double clampOffset(double v) {
    return std::clamp(v, double(-kMaxFilterMargin), double(kMaxFilterMargin));
}

// Drop shadow, glow and gradient glow: a coloured copy of the (inverted, for inner) alpha,
// blurred, moved and strengthened, composited with the object.
// flat: the one colour colorOf scales by strength, when it does (not for gradient glows).
template <typename ColorOf>
QImage shadowLike(const QImage& src, const ShadowParams& p, double sx, double sy, ColorOf colorOf,
                  std::optional<QRgb> flat = std::nullopt) {
    Plane s = alphaPlane(src, p.inner);
    const std::uint8_t outside = p.inner ? 255 : 0;
    blurPlane(s, blurRadius(p.blurX, sx), blurRadius(p.blurY, sy), clampPasses(p.passes), outside);
    // The shadow moves by whole pixels.
    s = shifted(s, std::round(p.dx), std::round(p.dy), outside);
    applyStrength(s, p.strength);

    QImage out(src.size(), QImage::Format_ARGB32_Premultiplied);
    const int w = src.width();
    const int h = src.height();
    for (int y = 0; y < h; ++y) {
        const QRgb* in = row(src, y);
        QRgb* o = row(out, y);
        const std::uint8_t* strength = &s.at(0, y);
        if (flat && !p.inner && !p.knockout && p.compositeSource) {
            compositeFlat(in, o, strength, w, *flat, p.onTop);
            continue;
        }
        for (int x = 0; x < w; ++x) {
            const QRgb c = in[x];
            const unsigned a = qAlpha(c);
            const QRgb l = colorOf(strength[x]);
            if (p.inner) {
                // Inside the object only: atop it (the object's alpha stays), or alone.
                const QRgb masked = scalePixel(l, a);
                if (p.knockout || !p.compositeSource) {
                    o[x] = masked;
                } else {
                    const QRgb keep = scalePixel(c, 255 - qAlpha(l));
                    o[x] = qRgba(qRed(masked) + qRed(keep), qGreen(masked) + qGreen(keep),
                                 qBlue(masked) + qBlue(keep), qAlpha(masked) + qAlpha(keep));
                }
            } else if (p.knockout) {
                o[x] = scalePixel(l, 255 - a);
            } else if (!p.compositeSource) {
                o[x] = l;
            } else if (p.onTop) {
                o[x] = over(l, c);
            } else {
                o[x] = over(c, l);
            }
        }
    }
    return out;
}

// Bevel and gradient bevel: the blurred alpha seen from both sides of the angle; the lit
// side takes the highlight, the far side the shadow.
template <typename ColorOfSigned>
QImage bevelLike(const QImage& src, const ShadowParams& p, double sx, double sy,
                 ColorOfSigned colorOf) {
    Plane b = alphaPlane(src, false);
    blurPlane(b, blurRadius(p.blurX, sx), blurRadius(p.blurY, sy), clampPasses(p.passes), 0);
    // Light and shadow move by whole pixels, as a shadow does.
    const Plane ahead = shifted(b, -std::round(p.dx), -std::round(p.dy), 0);  // b(q + offset)
    const Plane behind = shifted(b, std::round(p.dx), std::round(p.dy), 0);   // b(q - offset)
    const double k = std::max(0.0, p.strength);

    QImage out(src.size(), QImage::Format_ARGB32_Premultiplied);
    const int w = src.width();
    const int h = src.height();
    for (int y = 0; y < h; ++y) {
        const QRgb* in = row(src, y);
        QRgb* o = row(out, y);
        const std::uint8_t* lit = behind.line(y);
        const std::uint8_t* far = ahead.line(y);
        for (int x = 0; x < w; ++x) {
            const QRgb c = in[x];
            const unsigned a = qAlpha(c);
            // > 0 towards the shadow, < 0 towards the highlight.
            const double d = (int(lit[x]) - int(far[x])) * k;
            const QRgb l = colorOf(static_cast<int>(std::clamp(std::floor(d), -255.0, 255.0)));
            if (p.inner) {
                const QRgb masked = scalePixel(l, a);
                if (p.knockout || !p.compositeSource) {
                    o[x] = masked;
                } else {
                    const QRgb keep = scalePixel(c, 255 - qAlpha(l));
                    o[x] = qRgba(qRed(masked) + qRed(keep), qGreen(masked) + qGreen(keep),
                                 qBlue(masked) + qBlue(keep), qAlpha(masked) + qAlpha(keep));
                }
            } else if (p.onTop) {
                o[x] = p.knockout || !p.compositeSource ? l : over(l, c);
            } else if (p.knockout) {
                o[x] = scalePixel(l, 255 - a);
            } else if (!p.compositeSource) {
                o[x] = l;
            } else {
                o[x] = over(c, l);
            }
        }
    }
    return out;
}

ShadowParams shadowParams(double blurX, double blurY, double angle, double distance,
                          double strength, int passes, bool inner, bool knockout, bool composite,
                          bool onTop, double sx, double sy) {
    ShadowParams p;
    p.blurX = blurX;
    p.blurY = blurY;
    if (std::isfinite(angle) && std::isfinite(distance)) {
        p.dx = clampOffset(std::cos(angle) * distance * sx);
        p.dy = clampOffset(std::sin(angle) * distance * sy);
    }
    p.strength = std::isfinite(strength) ? strength : 0;
    p.passes = passes;
    p.inner = inner;
    p.knockout = knockout;
    p.compositeSource = composite;
    p.onTop = onTop;
    return p;
}

QImage blurImage(const QImage& src, const BlurFilter& f, double sx, double sy) {
    QImage out = src.copy();
    boxBlur(out.bits(), out.width(), out.height(), 4, out.bytesPerLine(), blurRadius(f.blurX, sx),
            blurRadius(f.blurY, sy), clampPasses(f.passes), 0);
    return out;
}

QRgb unpremultiplied(QRgb c) {
    const unsigned a = qAlpha(c);
    if (a == 0) {
        return 0;
    }
    if (a == 255) {
        return c;
    }
    auto un = [a](unsigned v) { return std::min(255u, (v * 255 + a / 2) / a); };
    return qRgba(un(qRed(c)), un(qGreen(c)), un(qBlue(c)), a);
}

QRgb premultiplied(unsigned r, unsigned g, unsigned b, unsigned a) {
    return qRgba(mul255(r, a), mul255(g, a), mul255(b, a), a);
}

std::uint8_t saturate(double v) {
    if (!(v > 0)) {
        return 0;
    }
    return v >= 255 ? 255 : static_cast<std::uint8_t>(std::lround(v));
}

QImage colorMatrix(const QImage& src, const ColorMatrixFilter& f) {
    QImage out(src.size(), QImage::Format_ARGB32_Premultiplied);
    const auto& m = f.matrix;
    const int w = src.width();
    const int h = src.height();
    for (int y = 0; y < h; ++y) {
        const QRgb* in = row(src, y);
        QRgb* o = row(out, y);
        for (int x = 0; x < w; ++x) {
            const QRgb c = unpremultiplied(in[x]);
            const double v[4] = {double(qRed(c)), double(qGreen(c)), double(qBlue(c)),
                                 double(qAlpha(c))};
            std::uint8_t r[4];
            for (int i = 0; i < 4; ++i) {
                const float* k = &m[static_cast<std::size_t>(i) * 5];
                r[i] = saturate(k[0] * v[0] + k[1] * v[1] + k[2] * v[2] + k[3] * v[3] + k[4]);
            }
            o[x] = premultiplied(r[0], r[1], r[2], r[3]);
        }
    }
    return out;
}

QImage convolution(const QImage& src, const ConvolutionFilter& f) {
    const int mx = f.matrixX;
    const int my = f.matrixY;
    const std::int64_t work = std::int64_t{mx} * my * src.width() * src.height();
    if (mx <= 0 || my <= 0 || f.matrix.size() != std::size_t(mx) * std::size_t(my) ||
        work > kMaxConvolutionWork) {
        return src;
    }
    const double divisor = f.divisor == 0 || !std::isfinite(f.divisor) ? 1.0 : f.divisor;
    const double bias = std::isfinite(f.bias) ? f.bias : 0.0;
    const int w = src.width();
    const int h = src.height();
    // With the alpha kept, the colour is convolved alone, as straight colour, and takes the
    // pixel's own alpha again. Otherwise all four premultiplied channels are convolved, as the
    // blur does, so transparent neighbours do not darken the colour.
    const bool straightColour = f.preserveAlpha;
    std::vector<QRgb> pixels(static_cast<std::size_t>(w) * h);
    for (int y = 0; y < h; ++y) {
        const QRgb* in = row(src, y);
        for (int x = 0; x < w; ++x) {
            pixels[static_cast<std::size_t>(y) * w + x] =
                straightColour ? unpremultiplied(in[x]) : in[x];
        }
    }
    const Rgba& dc = f.defaultColor;
    const QRgb fallback = straightColour ? qRgba(dc.r, dc.g, dc.b, dc.a) : premultiply(dc);
    QImage out(src.size(), QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < h; ++y) {
        QRgb* o = row(out, y);
        for (int x = 0; x < w; ++x) {
            double sum[4] = {0, 0, 0, 0};
            for (int j = 0; j < my; ++j) {
                for (int i = 0; i < mx; ++i) {
                    const float g = f.matrix[static_cast<std::size_t>(j) * mx + i];
                    if (g == 0) {
                        continue;
                    }
                    int px = x + i - mx / 2;
                    int py = y + j - my / 2;
                    QRgb c = fallback;
                    if (px >= 0 && py >= 0 && px < w && py < h) {
                        c = pixels[static_cast<std::size_t>(py) * w + px];
                    } else if (f.clamp) {
                        px = std::clamp(px, 0, w - 1);
                        py = std::clamp(py, 0, h - 1);
                        c = pixels[static_cast<std::size_t>(py) * w + px];
                    }
                    sum[0] += g * qRed(c);
                    sum[1] += g * qGreen(c);
                    sum[2] += g * qBlue(c);
                    sum[3] += g * qAlpha(c);
                }
            }
            const std::uint8_t r = saturate(sum[0] / divisor + bias);
            const std::uint8_t g = saturate(sum[1] / divisor + bias);
            const std::uint8_t b = saturate(sum[2] / divisor + bias);
            if (straightColour) {
                const unsigned a = qAlpha(pixels[static_cast<std::size_t>(y) * w + x]);
                o[x] = premultiplied(r, g, b, a);
            } else {
                const std::uint8_t a = saturate(sum[3] / divisor + bias);
                o[x] = qRgba(std::min(r, a), std::min(g, a), std::min(b, a), a);
            }
        }
    }
    return out;
}

// How far a blur spreads a pixel, all its passes together (whole pixels).
int blurReach(double blur, double scale, int passes) {
    return static_cast<int>(std::ceil(blurRadius(blur, scale))) * clampPasses(passes);
}

// Room for a blurred copy moved by (dx, dy).
QMargins movedBlurMargins(int rx, int ry, double dx, double dy) {
    auto side = [](double v) { return std::max(0, static_cast<int>(std::ceil(v))); };
    return QMargins(side(rx - dx), side(ry - dy), side(rx + dx), side(ry + dy));
}

QMargins marginsOf(const Filter& filter, double sx, double sy) {
    return std::visit(
        [&](const auto& f) -> QMargins {
            using T = std::decay_t<decltype(f)>;
            if constexpr (std::is_same_v<T, BlurFilter>) {
                const int rx = blurReach(f.blurX, sx, f.passes);
                const int ry = blurReach(f.blurY, sy, f.passes);
                return QMargins(rx, ry, rx, ry);
            } else if constexpr (std::is_same_v<T, GlowFilter>) {
                if (f.inner) {
                    return {};
                }
                const int rx = blurReach(f.blurX, sx, f.passes);
                const int ry = blurReach(f.blurY, sy, f.passes);
                return QMargins(rx, ry, rx, ry);
            } else if constexpr (std::is_same_v<T, DropShadowFilter> ||
                                 std::is_same_v<T, GradientGlowFilter>) {
                if (f.inner) {
                    return {};
                }
                const auto p = shadowParams(f.blurX, f.blurY, f.angle, f.distance, f.strength,
                                            f.passes, false, false, true, false, sx, sy);
                return movedBlurMargins(blurReach(f.blurX, sx, f.passes),
                                        blurReach(f.blurY, sy, f.passes), p.dx, p.dy);
            } else if constexpr (std::is_same_v<T, BevelFilter> ||
                                 std::is_same_v<T, GradientBevelFilter>) {
                if (f.inner) {
                    return {};
                }
                const auto p = shadowParams(f.blurX, f.blurY, f.angle, f.distance, f.strength,
                                            f.passes, false, false, true, false, sx, sy);
                const int rx =
                    blurReach(f.blurX, sx, f.passes) + static_cast<int>(std::ceil(std::abs(p.dx)));
                const int ry =
                    blurReach(f.blurY, sy, f.passes) + static_cast<int>(std::ceil(std::abs(p.dy)));
                return QMargins(rx, ry, rx, ry);
            } else {
                return {};  // colour matrix and convolution keep the object's bounds
            }
        },
        filter);
}

// Roughly the channel-pixel steps applyFilter takes.
std::int64_t filterWork(const Filter& filter, std::int64_t pixels) {
    return std::visit(
        [&](const auto& f) -> std::int64_t {
            using T = std::decay_t<decltype(f)>;
            if constexpr (std::is_same_v<T, BlurFilter>) {
                return pixels * (2 * 4 * clampPasses(f.passes) + 4);
            } else if constexpr (std::is_same_v<T, ColorMatrixFilter>) {
                return pixels * 20;
            } else if constexpr (std::is_same_v<T, ConvolutionFilter>) {
                return pixels * std::max(1, f.matrixX * f.matrixY);
            } else {
                return pixels * (2 * clampPasses(f.passes) + 16);
            }
        },
        filter);
}

}  // namespace

double blurRadius(double blur, double scale) {
    const double b = std::clamp(std::isfinite(blur) ? blur : 0.0, 0.0, kMaxFilterBlur);
    const double s = std::clamp(std::isfinite(scale) ? std::abs(scale) : 1.0, 0.0, 64.0);
    return std::clamp((b - 1) * s / 2, 0.0, double(kMaxFilterMargin));
}

QMargins filterMargins(const FilterList& filters, double scaleX, double scaleY) {
    QMargins total;
    for (const auto& f : filters) {
        total += marginsOf(f, scaleX, scaleY);
    }
    auto cap = [](int v) { return std::min(v, kMaxFilterMargin); };
    return QMargins(cap(total.left()), cap(total.top()), cap(total.right()), cap(total.bottom()));
}

QImage applyFilter(const QImage& image, const Filter& filter, double sx, double sy) {
    QImage src = image.format() == QImage::Format_ARGB32_Premultiplied
                     ? image
                     : image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (src.isNull() || !bitmapSizeAllowed(src.width(), src.height())) {
        return src;
    }
    return std::visit(
        [&](const auto& f) -> QImage {
            using T = std::decay_t<decltype(f)>;
            if constexpr (std::is_same_v<T, BlurFilter>) {
                return blurImage(src, f, sx, sy);
            } else if constexpr (std::is_same_v<T, ColorMatrixFilter>) {
                return colorMatrix(src, f);
            } else if constexpr (std::is_same_v<T, ConvolutionFilter>) {
                return convolution(src, f);
            } else if constexpr (std::is_same_v<T, DropShadowFilter>) {
                const QRgb color = premultiply(f.color);
                return shadowLike(
                    src,
                    shadowParams(f.blurX, f.blurY, f.angle, f.distance, f.strength, f.passes,
                                 f.inner, f.knockout, f.compositeSource, false, sx, sy),
                    sx, sy, [color](std::uint8_t s) { return scalePixel(color, s); }, color);
            } else if constexpr (std::is_same_v<T, GlowFilter>) {
                const QRgb color = premultiply(f.color);
                return shadowLike(
                    src,
                    shadowParams(f.blurX, f.blurY, 0, 0, f.strength, f.passes, f.inner, f.knockout,
                                 f.compositeSource, false, sx, sy),
                    sx, sy, [color](std::uint8_t s) { return scalePixel(color, s); }, color);
            } else if constexpr (std::is_same_v<T, GradientGlowFilter>) {
                const auto ramp = gradientRamp(f.gradient);
                return shadowLike(
                    src,
                    shadowParams(f.blurX, f.blurY, f.angle, f.distance, f.strength, f.passes,
                                 f.inner, f.knockout, f.compositeSource, f.onTop, sx, sy),
                    sx, sy, [&ramp](std::uint8_t s) { return ramp[s]; });
            } else if constexpr (std::is_same_v<T, BevelFilter>) {
                const QRgb hi = premultiply(f.highlight);
                const QRgb lo = premultiply(f.shadow);
                return bevelLike(
                    src,
                    shadowParams(f.blurX, f.blurY, f.angle, f.distance, f.strength, f.passes,
                                 f.inner, f.knockout, f.compositeSource, f.onTop, sx, sy),
                    sx, sy, [hi, lo](int d) {
                        return d < 0 ? scalePixel(hi, unsigned(-d)) : scalePixel(lo, unsigned(d));
                    });
            } else {
                const auto ramp = gradientRamp(f.gradient);
                return bevelLike(
                    src,
                    shadowParams(f.blurX, f.blurY, f.angle, f.distance, f.strength, f.passes,
                                 f.inner, f.knockout, f.compositeSource, f.onTop, sx, sy),
                    sx, sy,
                    [&ramp](int d) { return ramp[static_cast<std::size_t>((d + 256) / 2)]; });
            }
        },
        filter);
}

QImage applyFilters(const QImage& image, const FilterList& filters, double scaleX, double scaleY) {
    QImage out = image.format() == QImage::Format_ARGB32_Premultiplied
                     ? image
                     : image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const std::int64_t pixels = std::int64_t{out.width()} * out.height();
    std::int64_t work = 0;
    for (const auto& f : filters) {
        work += filterWork(f, pixels);
        if (work > kMaxFilterWork) {
            break;
        }
        out = applyFilter(out, f, scaleX, scaleY);
    }
    return out;
}

}  // namespace zd::engine
