#include "engine/render/SpanShaders.h"

#include <algorithm>
#include <cmath>

namespace zd::engine {

namespace {

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

QRgb bilinear(QRgb tl, QRgb tr, QRgb bl, QRgb br, unsigned dx, unsigned dy) {
    return mix(mix(tl, tr, dx), mix(bl, br, dx), dy);
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
            linear.push_back(
                {toLinear(c.r / 255.0), toLinear(c.g / 255.0), toLinear(c.b / 255.0), a});
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
            c.r = fromLinear(c.r);
            c.g = fromLinear(c.g);
            c.b = fromLinear(c.b);
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
    // Slightly inside the circle, so every point outside it still has a ramp position.
    focal_ = std::clamp(style.gradient.focalPoint, -1.0, 1.0) * 0.999;
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

int GradientShader::index(double t) const {
    if (!(std::abs(t) <= kMaxRamps)) {
        t = std::isnan(t) ? 0.0 : std::copysign(kMaxRamps, t);
    }
    auto i = static_cast<std::int64_t>(std::floor(t * (kSteps - 1) + 0.5));
    if (i >= 0 && i < kSteps) {
        return static_cast<int>(i);
    }
    switch (spread_) {
        case Gradient::Repeat:
            return wrap(i, kSteps);
        case Gradient::Reflect: {
            const int r = wrap(i, 2 * kSteps);
            return r >= kSteps ? 2 * kSteps - 1 - r : r;
        }
        default:
            return i < 0 ? 0 : kSteps - 1;
    }
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
            // The ramp runs from -1 to 1 across.
            const double t0 = (gx + 1) / 2;
            const double dt = stepX / 2;
            for (int i = 0; i < n; ++i) {
                out[i] = table_[static_cast<std::size_t>(index(t0 + dt * i))];
            }
            break;
        }
        case Kind::Radial:
            for (int i = 0; i < n; ++i) {
                out[i] = table_[static_cast<std::size_t>(
                    index(std::hypot(gx + stepX * i, gy + stepY * i)))];
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

QRgb BitmapShader::edgeCovered(QRgb colour, double u, double v) const {
    // The share of the pixel inside the bitmap's edges, taken across each edge in turn.
    auto across = [](double inside) { return std::clamp(0.5 + inside, 0.0, 1.0); };
    const double f = across(u * pixelsPerU_) * across((width_ - u) * pixelsPerU_) *
                     across(v * pixelsPerV_) * across((height_ - v) * pixelsPerV_);
    return scaled(colour, static_cast<unsigned>(std::lround(f * 256)));
}

void BitmapShader::shade(int x, int y, int n, QRgb* out) const {
    if (!valid_) {
        std::fill(out, out + n, 0u);
        return;
    }
    const double px = x + 0.5;
    const double py = y + 0.5;
    const double u0 = fromDevice_.m11() * px + fromDevice_.m21() * py + fromDevice_.dx();
    const double v0 = fromDevice_.m12() * px + fromDevice_.m22() * py + fromDevice_.dy();
    const double du = fromDevice_.m11();
    const double dv = fromDevice_.m12();
    // Beyond this the fill shows nothing (a clipped bitmap) or repeats (so only the position
    // within the bitmap counts), and stepping in 16.16 fixed point could overflow.
    constexpr double kFar = 1e9;
    if (!(std::abs(u0) < kFar && std::abs(v0) < kFar && std::abs(u0 + du * n) < kFar &&
          std::abs(v0 + dv * n) < kFar)) {
        for (int i = 0; i < n; ++i) {
            const double u = u0 + du * i;
            const double v = v0 + dv * i;
            if (std::abs(u) < kFar && std::abs(v) < kFar) {
                shade(x + i, y, 1, out + i);
            } else {
                out[i] = 0;
            }
        }
        return;
    }
    // Pixel positions in 16.16 fixed point, stepped along the row.
    constexpr double kOne = 65536.0;
    const auto stepU = static_cast<std::int64_t>(du * kOne);
    const auto stepV = static_cast<std::int64_t>(dv * kOne);
    std::int64_t fu = static_cast<std::int64_t>(u0 * kOne);
    std::int64_t fv = static_cast<std::int64_t>(v0 * kOne);
    auto row = [this](std::int64_t j) { return pixels_ + j * stride_; };
    auto column = [this](std::int64_t i) {
        return repeat_ ? wrap(i, width_)
                       : static_cast<int>(std::clamp<std::int64_t>(i, 0, width_ - 1));
    };
    auto line = [this](std::int64_t j) {
        return repeat_ ? wrap(j, height_)
                       : static_cast<int>(std::clamp<std::int64_t>(j, 0, height_ - 1));
    };
    for (int i = 0; i < n; ++i, fu += stepU, fv += stepV) {
        QRgb c;
        if (smooth_) {
            // Between the centres of the four pixels around.
            const std::int64_t su = fu - 32768;
            const std::int64_t sv = fv - 32768;
            const std::int64_t iu = su >> 16;
            const std::int64_t iv = sv >> 16;
            const auto dx = static_cast<unsigned>((su & 0xffff) >> 8);
            const auto dy = static_cast<unsigned>((sv & 0xffff) >> 8);
            const QRgb* top = row(line(iv));
            const QRgb* bottom = row(line(iv + 1));
            const int left = column(iu);
            const int right = column(iu + 1);
            c = bilinear(top[left], top[right], bottom[left], bottom[right], dx, dy);
        } else {
            c = row(line(fv >> 16))[column(fu >> 16)];
        }
        if (!repeat_) {
            const double u = fu / kOne;
            const double v = fv / kOne;
            const double inU = std::min(u, width_ - u) * pixelsPerU_;
            const double inV = std::min(v, height_ - v) * pixelsPerV_;
            if (inU <= -0.5 || inV <= -0.5) {
                c = 0;
            } else if (inU < 0.5 || inV < 0.5) {
                c = edgeCovered(c, u, v);
            }
        }
        out[i] = c;
    }
}

}  // namespace zd::engine
