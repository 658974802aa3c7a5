#include "engine/swf/FilterRecords.h"

#include "engine/swf/ByteReader.h"
#include "engine/swf/Characters.h"

namespace zd::engine {

namespace {

struct ShadowFlags {
    bool inner = false;
    bool knockout = false;
    bool compositeSource = true;
    bool onTop = false;
    int passes = 1;
};

// InnerShadow, Knockout, CompositeSource, then OnTop and UB[4] passes (bevel family) or UB[5]
// passes (drop shadow and glow).
ShadowFlags readShadowFlags(ByteReader& in, bool hasOnTop) {
    const std::uint8_t b = in.u8();
    ShadowFlags f;
    f.inner = (b & 0x80) != 0;
    f.knockout = (b & 0x40) != 0;
    f.compositeSource = (b & 0x20) != 0;
    if (hasOnTop) {
        f.onTop = (b & 0x10) != 0;
        f.passes = b & 0x0f;
    } else {
        f.passes = b & 0x1f;
    }
    return f;
}

std::vector<FilterGradientStop> readFilterGradient(ByteReader& in) {
    const int count = in.u8();
    std::vector<FilterGradientStop> stops(static_cast<std::size_t>(count));
    for (auto& s : stops) {
        s.color = readRgba(in);
    }
    for (auto& s : stops) {
        s.ratio = in.u8();
    }
    return stops;
}

template <typename T>
void readGradientFilter(ByteReader& in, T& f) {
    f.gradient = readFilterGradient(in);
    f.blurX = in.fixed16();
    f.blurY = in.fixed16();
    f.angle = in.fixed16();
    f.distance = in.fixed16();
    f.strength = in.fixed8();
    const ShadowFlags flags = readShadowFlags(in, true);
    f.inner = flags.inner;
    f.knockout = flags.knockout;
    f.compositeSource = flags.compositeSource;
    f.onTop = flags.onTop;
    f.passes = flags.passes;
}

}  // namespace

FilterList readFilterList(ByteReader& in, bool* complete) {
    FilterList list;
    const int count = in.u8();
    bool whole = in.ok();
    for (int i = 0; i < count && whole; ++i) {
        const std::uint8_t id = in.u8();
        switch (id) {
            case 0: {
                DropShadowFilter f;
                f.color = readRgba(in);
                f.blurX = in.fixed16();
                f.blurY = in.fixed16();
                f.angle = in.fixed16();
                f.distance = in.fixed16();
                f.strength = in.fixed8();
                const ShadowFlags flags = readShadowFlags(in, false);
                f.inner = flags.inner;
                f.knockout = flags.knockout;
                f.compositeSource = flags.compositeSource;
                f.passes = flags.passes;
                list.emplace_back(f);
                break;
            }
            case 1: {
                BlurFilter f;
                f.blurX = in.fixed16();
                f.blurY = in.fixed16();
                f.passes = in.u8() >> 3;
                list.emplace_back(f);
                break;
            }
            case 2: {
                GlowFilter f;
                f.color = readRgba(in);
                f.blurX = in.fixed16();
                f.blurY = in.fixed16();
                f.strength = in.fixed8();
                const ShadowFlags flags = readShadowFlags(in, false);
                f.inner = flags.inner;
                f.knockout = flags.knockout;
                f.compositeSource = flags.compositeSource;
                f.passes = flags.passes;
                list.emplace_back(f);
                break;
            }
            case 3: {
                BevelFilter f;
                f.highlight = readRgba(in);
                f.shadow = readRgba(in);
                f.blurX = in.fixed16();
                f.blurY = in.fixed16();
                f.angle = in.fixed16();
                f.distance = in.fixed16();
                f.strength = in.fixed8();
                const ShadowFlags flags = readShadowFlags(in, true);
                f.inner = flags.inner;
                f.knockout = flags.knockout;
                f.compositeSource = flags.compositeSource;
                f.onTop = flags.onTop;
                f.passes = flags.passes;
                list.emplace_back(f);
                break;
            }
            case 4: {
                GradientGlowFilter f;
                readGradientFilter(in, f);
                list.emplace_back(std::move(f));
                break;
            }
            case 5: {
                ConvolutionFilter f;
                f.matrixX = in.u8();
                f.matrixY = in.u8();
                f.divisor = in.f32();
                f.bias = in.f32();
                const std::size_t n = std::size_t(f.matrixX) * std::size_t(f.matrixY);
                if (n * 4 > in.remaining()) {
                    in.skip(n * 4);  // fails the reader: the list is cut short
                    break;
                }
                f.matrix.resize(n);
                for (auto& v : f.matrix) {
                    v = in.f32();
                }
                f.defaultColor = readRgba(in);
                const std::uint8_t flags = in.u8();
                f.clamp = (flags & 0x02) != 0;
                f.preserveAlpha = (flags & 0x01) != 0;
                list.emplace_back(std::move(f));
                break;
            }
            case 6: {
                ColorMatrixFilter f;
                for (auto& v : f.matrix) {
                    v = in.f32();
                }
                list.emplace_back(f);
                break;
            }
            case 7: {
                GradientBevelFilter f;
                readGradientFilter(in, f);
                list.emplace_back(std::move(f));
                break;
            }
            default:
                whole = false;
                break;
        }
        if (!in.ok()) {
            // A record cut short is not kept.
            if (whole && !list.empty() && i + 1 == static_cast<int>(list.size())) {
                list.pop_back();
            }
            whole = false;
        }
    }
    if (complete != nullptr) {
        *complete = whole && in.ok();
    }
    return list;
}

std::optional<FilterList> readPlacedFilters(ByteReader& in) {
    const std::vector<std::uint8_t> bytes = readFilterListBytes(in);
    if (!in.ok()) {
        return std::nullopt;
    }
    ByteReader list(bytes);
    return readFilterList(list);
}

}  // namespace zd::engine
