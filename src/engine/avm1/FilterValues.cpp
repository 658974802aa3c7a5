#include "engine/avm1/FilterValues.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <type_traits>
#include <variant>

#include "engine/avm1/Value.h"

namespace zd::avm1 {

namespace {

constexpr double kDegrees = 180.0 / std::numbers::pi;

engine::Rgba rgba(std::uint32_t rgb, std::uint8_t alpha) {
    return {static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8),
            static_cast<std::uint8_t>(rgb), alpha};
}

std::uint32_t rgbOf(const engine::Rgba& c) {
    return (std::uint32_t{c.r} << 16) | (std::uint32_t{c.g} << 8) | c.b;
}

// Fixed-point fields arrive in a float, which a huge value would overflow.
float toFloat(double v) {
    if (std::isnan(v)) {
        return static_cast<float>(v);
    }
    return static_cast<float>(std::clamp(v, -3.0e38, 3.0e38));
}

std::vector<engine::FilterGradientStop> gradientOf(const FilterValues& f) {
    std::vector<engine::FilterGradientStop> out;
    const auto colors = f.shownColors();
    const auto alphas = f.shownAlphas();
    const auto ratios = f.shownRatios();
    for (std::size_t i = 0; i < colors.size(); ++i) {
        out.push_back({ratios[i], rgba(colors[i], alphas[i])});
    }
    return out;
}

void readGradient(FilterValues& f, const std::vector<engine::FilterGradientStop>& stops) {
    f.colors.clear();
    f.alphas.clear();
    f.ratios.clear();
    for (const auto& s : stops) {
        f.colors.push_back(rgbOf(s.color));
        f.alphas.push_back(s.color.a);
        f.ratios.push_back(s.ratio);
    }
    f.stops = stops.size();
}

std::string typeOf(bool inner, bool onTop) {
    return inner ? "inner" : (onTop ? "full" : "outer");
}

}  // namespace

FilterValues FilterValues::defaults(FilterKind kind) {
    FilterValues f;
    f.kind = kind;
    switch (kind) {
        case FilterKind::Glow:
            f.color = 0xff0000;
            f.blurX = f.blurY = 6;
            f.strength = 2;
            break;
        case FilterKind::GradientGlow:
            f.type = "outer";
            break;
        case FilterKind::Convolution:
        case FilterKind::DisplacementMap:
            f.alpha = 0;
            break;
        default:
            break;
    }
    return f;
}

std::uint32_t FilterValues::toColor(double v) {
    return static_cast<std::uint32_t>(avm1::toInt32(v)) & 0xffffffu;
}

std::uint8_t FilterValues::toAlpha(double v) {
    if (std::isnan(v)) {
        return 255;
    }
    return static_cast<std::uint8_t>(std::clamp(v, 0.0, 1.0) * 255.0);
}

std::uint8_t FilterValues::toStopAlpha(double v) {
    if (std::isnan(v)) {
        return 255;
    }
    return static_cast<std::uint8_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255.0));
}

std::uint8_t FilterValues::toRatio(double v) {
    return static_cast<std::uint8_t>(std::clamp(avm1::toInt32(v), 0, 255));
}

double FilterValues::toBlur(double v) {
    return std::isnan(v) ? 0.0 : std::clamp(v, 0.0, 255.0);
}

double FilterValues::toStrength(double v) {
    return std::isnan(v) ? 0.0 : std::clamp(v, 0.0, 255.0);
}

int FilterValues::toQuality(double v) {
    return std::clamp(avm1::toInt32(v), 0, 15);
}

double FilterValues::toAngle(double v) {
    return std::fmod(v, 360.0);
}

std::string FilterValues::toType(const std::string& v) {
    return v == "inner" || v == "outer" ? v : "full";
}

std::string FilterValues::toMode(const std::string& v) {
    return v == "clamp" || v == "ignore" || v == "color" ? v : "wrap";
}

int FilterValues::toMatrixSize(double v) {
    return std::clamp(avm1::toInt32(v), 0, 15);
}

double FilterValues::toScale(double v) {
    return std::isnan(v) ? 0.0 : std::clamp(v, -65535.0, 65535.0);
}

void FilterValues::setColors(const std::vector<double>& v) {
    stops = std::min<std::size_t>(v.size(), 16);
    colors.resize(std::max(colors.size(), stops), 0);
    alphas.resize(std::max(alphas.size(), stops), 0);
    ratios.resize(std::max(ratios.size(), stops), 0);
    for (std::size_t i = 0; i < stops; ++i) {
        colors[i] = toColor(v[i]);
    }
}

void FilterValues::setAlphas(const std::vector<double>& v) {
    for (std::size_t i = 0; i < stops; ++i) {
        alphas[i] = toStopAlpha(i < v.size() ? v[i] : std::nan(""));
    }
}

void FilterValues::setRatios(const std::vector<double>& v) {
    stops = std::min(stops, v.size());
    for (std::size_t i = 0; i < stops; ++i) {
        ratios[i] = toRatio(v[i]);
    }
}

std::vector<std::uint32_t> FilterValues::shownColors() const {
    return {colors.begin(), colors.begin() + static_cast<std::ptrdiff_t>(stops)};
}

std::vector<std::uint8_t> FilterValues::shownAlphas() const {
    return {alphas.begin(), alphas.begin() + static_cast<std::ptrdiff_t>(stops)};
}

std::vector<std::uint8_t> FilterValues::shownRatios() const {
    return {ratios.begin(), ratios.begin() + static_cast<std::ptrdiff_t>(stops)};
}

void FilterValues::setMatrix(std::vector<double> v) {
    matrix = std::move(v);
    const std::size_t size = static_cast<std::size_t>(matrixX) * static_cast<std::size_t>(matrixY);
    if (matrix.size() < size) {
        matrix.resize(size, 0.0);
    }
}

void FilterValues::setMatrixX(int v) {
    matrixX = v;
    setMatrix(std::move(matrix));
}

void FilterValues::setMatrixY(int v) {
    matrixY = v;
    setMatrix(std::move(matrix));
}

FilterValues keptByDisplay(FilterValues f) {
    f.angle = std::round(f.angle / kDegrees * 1e9) / 1e9 * kDegrees;
    if (f.kind == FilterKind::GradientGlow && f.type == "outer") {
        f.type = "inner";
    }
    return f;
}

std::optional<engine::Filter> toFilterRecord(const FilterValues& f) {
    // The display keeps the angle in radians to nine decimals.
    const double radians = std::round(f.angle / kDegrees * 1e9) / 1e9;
    const bool inner = f.type == "inner";
    const bool onTop = f.type == "full";
    switch (f.kind) {
        case FilterKind::Blur:
            return engine::BlurFilter{f.blurX, f.blurY, f.quality};
        case FilterKind::DropShadow: {
            engine::DropShadowFilter d;
            d.color = rgba(f.color, f.alpha);
            d.blurX = f.blurX;
            d.blurY = f.blurY;
            d.angle = radians;
            d.distance = f.distance;
            d.strength = f.strength;
            d.inner = f.inner;
            d.knockout = f.knockout;
            d.compositeSource = !f.hideObject;
            d.passes = f.quality;
            return d;
        }
        case FilterKind::Glow: {
            engine::GlowFilter g;
            g.color = rgba(f.color, f.alpha);
            g.blurX = f.blurX;
            g.blurY = f.blurY;
            g.strength = f.strength;
            g.inner = f.inner;
            g.knockout = f.knockout;
            g.passes = f.quality;
            return g;
        }
        case FilterKind::Bevel: {
            engine::BevelFilter b;
            b.highlight = rgba(f.highlightColor, f.highlightAlpha);
            b.shadow = rgba(f.shadowColor, f.shadowAlpha);
            b.blurX = f.blurX;
            b.blurY = f.blurY;
            b.angle = radians;
            b.distance = f.distance;
            b.strength = f.strength;
            b.inner = inner;
            b.onTop = onTop;
            b.knockout = f.knockout;
            b.passes = f.quality;
            return b;
        }
        case FilterKind::GradientGlow:
        case FilterKind::GradientBevel: {
            auto fill = [&](auto g) {
                g.gradient = gradientOf(f);
                g.blurX = f.blurX;
                g.blurY = f.blurY;
                g.angle = radians;
                g.distance = f.distance;
                g.strength = f.strength;
                g.inner = inner;
                g.onTop = onTop;
                g.knockout = f.knockout;
                g.passes = f.quality;
                return engine::Filter(std::move(g));
            };
            return f.kind == FilterKind::GradientGlow ? fill(engine::GradientGlowFilter{})
                                                      : fill(engine::GradientBevelFilter{});
        }
        case FilterKind::ColorMatrix: {
            engine::ColorMatrixFilter m;
            for (std::size_t i = 0; i < m.matrix.size(); ++i) {
                m.matrix[i] = toFloat(f.colorMatrix[i]);
            }
            return m;
        }
        case FilterKind::Convolution: {
            engine::ConvolutionFilter c;
            c.matrixX = f.matrixX;
            c.matrixY = f.matrixY;
            c.divisor = toFloat(f.divisor);
            c.bias = toFloat(f.bias);
            // The record holds exactly the cells the size names.
            c.matrix.assign(static_cast<std::size_t>(f.matrixX * f.matrixY), 0.0f);
            for (std::size_t i = 0; i < c.matrix.size() && i < f.matrix.size(); ++i) {
                c.matrix[i] = toFloat(f.matrix[i]);
            }
            c.defaultColor = rgba(f.color, f.alpha);
            c.clamp = f.clamp;
            c.preserveAlpha = f.preserveAlpha;
            return c;
        }
        case FilterKind::Base:
        case FilterKind::DisplacementMap:
            break;
    }
    return std::nullopt;
}

FilterValues fromFilterRecord(const engine::Filter& record) {
    return std::visit(
        [](const auto& r) {
            using T = std::decay_t<decltype(r)>;
            FilterValues f;
            if constexpr (std::is_same_v<T, engine::BlurFilter>) {
                f = FilterValues::defaults(FilterKind::Blur);
                f.blurX = r.blurX;
                f.blurY = r.blurY;
                f.quality = r.passes;
            } else if constexpr (std::is_same_v<T, engine::DropShadowFilter>) {
                f = FilterValues::defaults(FilterKind::DropShadow);
                f.color = rgbOf(r.color);
                f.alpha = r.color.a;
                f.blurX = r.blurX;
                f.blurY = r.blurY;
                f.angle = r.angle * kDegrees;
                f.distance = r.distance;
                f.strength = r.strength;
                f.inner = r.inner;
                f.knockout = r.knockout;
                f.hideObject = !r.compositeSource;
                f.quality = r.passes;
            } else if constexpr (std::is_same_v<T, engine::GlowFilter>) {
                f = FilterValues::defaults(FilterKind::Glow);
                f.color = rgbOf(r.color);
                f.alpha = r.color.a;
                f.blurX = r.blurX;
                f.blurY = r.blurY;
                f.strength = r.strength;
                f.inner = r.inner;
                f.knockout = r.knockout;
                f.quality = r.passes;
            } else if constexpr (std::is_same_v<T, engine::BevelFilter>) {
                f = FilterValues::defaults(FilterKind::Bevel);
                f.highlightColor = rgbOf(r.highlight);
                f.highlightAlpha = r.highlight.a;
                f.shadowColor = rgbOf(r.shadow);
                f.shadowAlpha = r.shadow.a;
                f.blurX = r.blurX;
                f.blurY = r.blurY;
                f.angle = r.angle * kDegrees;
                f.distance = r.distance;
                f.strength = r.strength;
                f.type = typeOf(r.inner, r.onTop);
                f.knockout = r.knockout;
                f.quality = r.passes;
            } else if constexpr (std::is_same_v<T, engine::GradientGlowFilter> ||
                                 std::is_same_v<T, engine::GradientBevelFilter>) {
                f = FilterValues::defaults(std::is_same_v<T, engine::GradientGlowFilter>
                                               ? FilterKind::GradientGlow
                                               : FilterKind::GradientBevel);
                readGradient(f, r.gradient);
                f.blurX = r.blurX;
                f.blurY = r.blurY;
                f.angle = r.angle * kDegrees;
                f.distance = r.distance;
                f.strength = r.strength;
                f.type = typeOf(r.inner, r.onTop);
                f.knockout = r.knockout;
                f.quality = r.passes;
            } else if constexpr (std::is_same_v<T, engine::ColorMatrixFilter>) {
                f = FilterValues::defaults(FilterKind::ColorMatrix);
                for (std::size_t i = 0; i < r.matrix.size(); ++i) {
                    f.colorMatrix[i] = r.matrix[i];
                }
            } else if constexpr (std::is_same_v<T, engine::ConvolutionFilter>) {
                f = FilterValues::defaults(FilterKind::Convolution);
                f.matrixX = r.matrixX;
                f.matrixY = r.matrixY;
                f.matrix.assign(r.matrix.begin(), r.matrix.end());
                f.setMatrix(std::move(f.matrix));
                f.divisor = r.divisor;
                f.bias = r.bias;
                f.color = rgbOf(r.defaultColor);
                f.alpha = r.defaultColor.a;
                f.clamp = r.clamp;
                f.preserveAlpha = r.preserveAlpha;
            }
            return f;
        },
        record);
}

}  // namespace zd::avm1
