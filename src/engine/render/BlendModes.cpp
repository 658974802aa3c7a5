#include "engine/render/BlendModes.h"

#include <algorithm>
#include <cmath>

namespace zd::engine {

namespace {

// Channel values as fractions of 255; premultiplied throughout.
struct Px {
    float r, g, b, a;
};

Px load(QRgb c) {
    constexpr float k = 1.0f / 255.0f;
    return {qRed(c) * k, qGreen(c) * k, qBlue(c) * k, qAlpha(c) * k};
}

int channel(float v) {
    return std::clamp(static_cast<int>(std::lround(v * 255.0f)), 0, 255);
}

QRgb store(Px p) {
    const int a = channel(p.a);
    // Rounding must not leave a colour above its alpha.
    return qRgba(std::min(channel(p.r), a), std::min(channel(p.g), a), std::min(channel(p.b), a),
                 a);
}

// Separable modes in premultiplied form: s and b are premultiplied channels, sa and ba the
// alphas. The result is the mode's mix where both are present, plus each where only it is.
template <typename Mix>
QRgb separable(Px s, Px d, Mix mix) {
    auto one = [&](float sc, float bc) {
        return mix(sc, bc, s.a, d.a) + sc * (1 - d.a) + bc * (1 - s.a);
    };
    return store({one(s.r, d.r), one(s.g, d.g), one(s.b, d.b), s.a + d.a - s.a * d.a});
}

// The "mix" terms: the straight-colour mode B(cs, cb) times sa * ba, written on premultiplied
// values so no division is needed.
float mixMultiply(float s, float b, float, float) {
    return s * b;
}
float mixScreen(float s, float b, float sa, float ba) {
    return s * ba + b * sa - s * b;
}
float mixLighten(float s, float b, float sa, float ba) {
    return std::max(s * ba, b * sa);
}
float mixDarken(float s, float b, float sa, float ba) {
    return std::min(s * ba, b * sa);
}
float mixDifference(float s, float b, float sa, float ba) {
    return std::abs(s * ba - b * sa);
}
float mixHardlight(float s, float b, float sa, float ba) {
    if (2 * s <= sa) {
        return 2 * s * b;
    }
    return sa * ba - 2 * (ba - b) * (sa - s);
}
float mixOverlay(float s, float b, float sa, float ba) {
    return mixHardlight(b, s, ba, sa);
}

QRgb normal(Px s, Px d) {
    const float k = 1 - s.a;
    return store({s.r + d.r * k, s.g + d.g * k, s.b + d.b * k, s.a + d.a * k});
}

}  // namespace

BlendMode blendModeFromByte(std::uint8_t value) {
    if (value < 1 || value > 14) {
        return BlendMode::Normal;
    }
    return static_cast<BlendMode>(value);
}

const char* blendModeName(BlendMode mode) {
    switch (mode) {
        case BlendMode::Normal:
            return "normal";
        case BlendMode::Layer:
            return "layer";
        case BlendMode::Multiply:
            return "multiply";
        case BlendMode::Screen:
            return "screen";
        case BlendMode::Lighten:
            return "lighten";
        case BlendMode::Darken:
            return "darken";
        case BlendMode::Difference:
            return "difference";
        case BlendMode::Add:
            return "add";
        case BlendMode::Subtract:
            return "subtract";
        case BlendMode::Invert:
            return "invert";
        case BlendMode::Alpha:
            return "alpha";
        case BlendMode::Erase:
            return "erase";
        case BlendMode::Overlay:
            return "overlay";
        case BlendMode::Hardlight:
            return "hardlight";
    }
    return "normal";
}

bool needsOwnLayer(BlendMode mode) {
    return mode != BlendMode::Normal;
}

bool needsParentLayer(BlendMode mode) {
    return mode == BlendMode::Alpha || mode == BlendMode::Erase;
}

QRgb blendPixel(QRgb source, QRgb backdrop, BlendMode mode) {
    if (qAlpha(source) == 0) {
        return backdrop;
    }
    const Px s = load(source);
    const Px d = load(backdrop);
    switch (mode) {
        case BlendMode::Normal:
        case BlendMode::Layer:
            return normal(s, d);
        case BlendMode::Multiply:
            return separable(s, d, mixMultiply);
        case BlendMode::Screen:
            return separable(s, d, mixScreen);
        case BlendMode::Lighten:
            return separable(s, d, mixLighten);
        case BlendMode::Darken:
            return separable(s, d, mixDarken);
        case BlendMode::Difference:
            return separable(s, d, mixDifference);
        case BlendMode::Add:
            // The object's premultiplied channels added to the backdrop's, saturating.
            return store({s.r + d.r, s.g + d.g, s.b + d.b, s.a + d.a});
        case BlendMode::Subtract: {
            // Taken from the backdrop's channels down to nothing; alpha is their union.
            auto sub = [](float b, float v) { return std::max(0.0f, b - v); };
            return store({sub(d.r, s.r), sub(d.g, s.g), sub(d.b, s.b), s.a + d.a - s.a * d.a});
        }
        case BlendMode::Overlay:
            return separable(s, d, mixOverlay);
        case BlendMode::Hardlight:
            return separable(s, d, mixHardlight);
        case BlendMode::Invert: {
            // The backdrop turns to its negative where the object covers it; its alpha stays.
            auto inv = [&](float b) { return b * (1 - s.a) + (d.a - b) * s.a; };
            return store({inv(d.r), inv(d.g), inv(d.b), d.a});
        }
        case BlendMode::Alpha:
            return store({d.r * s.a, d.g * s.a, d.b * s.a, d.a * s.a});
        case BlendMode::Erase: {
            const float k = 1 - s.a;
            return store({d.r * k, d.g * k, d.b * k, d.a * k});
        }
    }
    return normal(s, d);
}

void compositeLayer(QImage& backdrop, const QImage& layer, QPoint at, BlendMode mode,
                    double opacity) {
    if (backdrop.isNull() || layer.isNull()) {
        return;
    }
    if (backdrop.format() != QImage::Format_ARGB32_Premultiplied) {
        backdrop.convertTo(QImage::Format_ARGB32_Premultiplied);
    }
    const QImage src = layer.format() == QImage::Format_ARGB32_Premultiplied
                           ? layer
                           : layer.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const int x0 = std::max(0, at.x());
    const int y0 = std::max(0, at.y());
    const int x1 =
        static_cast<int>(std::min<qint64>(backdrop.width(), qint64{at.x()} + src.width()));
    const int y1 =
        static_cast<int>(std::min<qint64>(backdrop.height(), qint64{at.y()} + src.height()));
    const double o = std::isfinite(opacity) ? std::clamp(opacity, 0.0, 1.0) : 0.0;
    const unsigned k = static_cast<unsigned>(std::lround(o * 255));
    for (int y = y0; y < y1; ++y) {
        QRgb* dst = reinterpret_cast<QRgb*>(backdrop.scanLine(y));
        const QRgb* in = reinterpret_cast<const QRgb*>(src.constScanLine(y - at.y()));
        for (int x = x0; x < x1; ++x) {
            QRgb s = in[x - at.x()];
            if (k != 255) {
                auto m = [k](unsigned v) {
                    const unsigned t = v * k + 128;
                    return (t + (t >> 8)) >> 8;
                };
                s = qRgba(m(qRed(s)), m(qGreen(s)), m(qBlue(s)), m(qAlpha(s)));
            }
            dst[x] = blendPixel(s, dst[x], mode);
        }
    }
}

}  // namespace zd::engine
