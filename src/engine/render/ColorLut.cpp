#include "engine/render/ColorLut.h"

#include <algorithm>

namespace zd::engine {

ColorLut::ColorLut() {
    for (auto& channel : lut_) {
        for (int v = 0; v < 256; ++v) {
            channel[static_cast<std::size_t>(v)] = static_cast<std::uint8_t>(v);
        }
    }
}

std::uint8_t ColorLut::transformChannel(std::uint8_t value, std::int16_t mult, std::int16_t add) {
    const int v = ((value * mult) >> 8) + add;
    return static_cast<std::uint8_t>(std::clamp(v, 0, 255));
}

ColorLut ColorLut::then(const ColorTransform& outer) const {
    if (outer == ColorTransform{}) {
        return *this;
    }
    ColorLut out;
    out.identity_ = false;
    for (std::size_t c = 0; c < 4; ++c) {
        for (std::size_t v = 0; v < 256; ++v) {
            out.lut_[c][v] = transformChannel(lut_[c][v], outer.mult[c], outer.add[c]);
        }
    }
    return out;
}

ColorLut ColorLut::after(const ColorTransform& inner) const {
    return afterWith(inner, false);
}

ColorLut ColorLut::afterRounded(const ColorTransform& inner) const {
    return afterWith(inner, true);
}

ColorLut ColorLut::afterWith(const ColorTransform& inner, bool rounded) const {
    if (inner == ColorTransform{}) {
        return *this;
    }
    ColorLut out;
    out.identity_ = false;
    for (std::size_t c = 0; c < 4; ++c) {
        for (std::size_t v = 0; v < 256; ++v) {
            const auto value = static_cast<std::uint8_t>(v);
            const std::uint8_t t =
                rounded ? static_cast<std::uint8_t>(std::clamp(
                              ((value * inner.mult[c] + 128) >> 8) + inner.add[c], 0, 255))
                        : transformChannel(value, inner.mult[c], inner.add[c]);
            out.lut_[c][v] = lut_[c][t];
        }
    }
    return out;
}

Rgba ColorLut::apply(Rgba c) const {
    return Rgba{lut_[0][c.r], lut_[1][c.g], lut_[2][c.b], lut_[3][c.a]};
}

QColor ColorLut::color(Rgba c) const {
    const Rgba t = apply(c);
    return QColor(t.r, t.g, t.b, t.a);
}

void ColorLut::apply(QImage& image) const {
    if (identity_) {
        return;
    }
    image = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = line[x];
            line[x] =
                qRgba(lut_[0][qRed(p)], lut_[1][qGreen(p)], lut_[2][qBlue(p)], lut_[3][qAlpha(p)]);
        }
    }
    image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

}  // namespace zd::engine
