// flash.display.BitmapData. The methods answer a bad call with a negative number (too few
// arguments, or a disposed bitmap: -1; then one code per argument that is not what it must
// be), as movies written against the reference player see.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <QImage>
#include <QPainter>
#include <QTransform>

#include "engine/avm1/BitmapPixels.h"
#include "engine/avm1/Library.h"
#include "engine/avm1/Vm.h"
#include "engine/render/BlendModes.h"
#include "engine/render/Filters.h"

namespace zd::avm1 {
namespace lib {

BitmapDataObject::BitmapDataObject(Object* proto) : Object(proto) {}

std::size_t BitmapDataObject::footprint() const {
    return Object::footprint() + sizeof(BitmapDataObject) +
           (pixels ? pixels->data().size() * sizeof(std::uint32_t) : 0);
}

namespace {

const Value kFail(-1.0);

BitmapDataObject* bitmapOf(const Value& v) {
    return dynamic_cast<BitmapDataObject*>(v.asObject());
}

// The live pixels of the method's bitmap, or null when it was disposed (or is none).
BitmapPixels* pixelsOf(const CallInfo& c) {
    BitmapDataObject* b = bitmapOf(c.thisValue);
    return b != nullptr ? b->pixels.get() : nullptr;
}

Object* allocateBitmapData(Vm& vm, Object* proto) {
    return vm.heap().make<BitmapDataObject>(proto);
}

int intArg(Vm& vm, const Value& v) {
    return vm.toInt32(v);
}

std::uint32_t colorArg(Vm& vm, const Value& v) {
    return static_cast<std::uint32_t>(vm.toInt32(v));
}

// A rectangle is any object with all four fields (a Rectangle or a plain object alike).
bool readRect(Vm& vm, const Value& v, PixelRect& out) {
    if (!v.isObject()) {
        return false;
    }
    const Value x = vm.get(v, "x");
    const Value y = vm.get(v, "y");
    const Value w = vm.get(v, "width");
    const Value h = vm.get(v, "height");
    if (x.isUndefined() || y.isUndefined() || w.isUndefined() || h.isUndefined()) {
        return false;
    }
    out = {intArg(vm, x), intArg(vm, y), intArg(vm, w), intArg(vm, h)};
    return true;
}

// A point reads its fields, each 0 when missing; anything else is the origin.
std::array<int, 2> readPoint(Vm& vm, const Value& v) {
    if (!v.isObject()) {
        return {0, 0};
    }
    return {intArg(vm, vm.get(v, "x")), intArg(vm, vm.get(v, "y"))};
}

Value geomClass(Vm& vm, const char* name) {
    return vm.get(Value(packageObject(vm, "flash.geom")), name);
}

Value newRectangle(Vm& vm, PixelRect r) {
    Vm::NoCollect hold(vm);
    const Value args[] = {Value(static_cast<double>(r.x)), Value(static_cast<double>(r.y)),
                          Value(static_cast<double>(r.width)),
                          Value(static_cast<double>(r.height))};
    return vm.construct(geomClass(vm, "Rectangle"), args);
}

Value newBitmap(Vm& vm, std::shared_ptr<BitmapPixels> pixels) {
    Vm::NoCollect hold(vm);
    Value ctor = vm.get(Value(packageObject(vm, "flash.display")), "BitmapData");
    Object* proto = vm.get(ctor, "prototype").asObject();
    auto* b = vm.heap().make<BitmapDataObject>(proto != nullptr ? proto : vm.protos().object);
    vm.define(b, "__constructor__", ctor, kDontEnum);
    b->pixels = std::move(pixels);
    return Value(b);
}

// The largest bitmap a movie of this version may make.
bool sizeAllowed(int swfVersion, int w, int h) {
    if (w <= 0 || h <= 0) {
        return false;
    }
    if (swfVersion < 10) {
        return w <= 2880 && h <= 2880;
    }
    return w <= 8191 && h <= 8191 &&
           static_cast<std::int64_t>(w) * static_cast<std::int64_t>(h) < 16777216;
}

Value ctorBitmapData(Vm& vm, const CallInfo& c) {
    BitmapDataObject* b = bitmapOf(c.thisValue);
    if (!c.construct || b == nullptr) {
        return Value();
    }
    const int w = intArg(vm, c.arg(0));
    const int h = intArg(vm, c.arg(1));
    if (!sizeAllowed(vm.swfVersion(), w, h) || !BitmapPixels::roomFor(w, h)) {
        vm.dropConstructed();
        return Value();
    }
    const bool transparent = c.count() > 2 ? vm.toBoolean(c.arg(2)) : true;
    const std::uint32_t fill = c.count() > 3 ? colorArg(vm, c.arg(3)) : 0xffffffffu;
    b->pixels = std::make_shared<BitmapPixels>(w, h, transparent, fill);
    return Value();
}

Value getWidth(Vm&, const CallInfo& c) {
    BitmapPixels* p = pixelsOf(c);
    return p != nullptr ? Value(static_cast<double>(p->width())) : kFail;
}

Value getHeight(Vm&, const CallInfo& c) {
    BitmapPixels* p = pixelsOf(c);
    return p != nullptr ? Value(static_cast<double>(p->height())) : kFail;
}

Value getTransparent(Vm&, const CallInfo& c) {
    BitmapPixels* p = pixelsOf(c);
    return p != nullptr ? Value::boolean(p->transparent()) : kFail;
}

Value getRectangle(Vm& vm, const CallInfo& c) {
    BitmapPixels* p = pixelsOf(c);
    return p != nullptr ? newRectangle(vm, {0, 0, p->width(), p->height()}) : kFail;
}

Value getPixel(Vm& vm, const CallInfo& c) {
    BitmapPixels* p = pixelsOf(c);
    if (p == nullptr || c.count() < 2) {
        return kFail;
    }
    const std::uint32_t v = p->pixel32(intArg(vm, c.arg(0)), intArg(vm, c.arg(1)));
    return Value(static_cast<double>(v & 0xffffffu));
}

Value getPixel32(Vm& vm, const CallInfo& c) {
    BitmapPixels* p = pixelsOf(c);
    if (p == nullptr || c.count() < 2) {
        return kFail;
    }
    const std::uint32_t v = p->pixel32(intArg(vm, c.arg(0)), intArg(vm, c.arg(1)));
    return Value(static_cast<double>(static_cast<std::int32_t>(v)));
}

Value setPixel(Vm& vm, const CallInfo& c) {
    BitmapPixels* p = pixelsOf(c);
    if (p == nullptr || c.count() < 3) {
        return kFail;
    }
    p->setPixel(intArg(vm, c.arg(0)), intArg(vm, c.arg(1)), colorArg(vm, c.arg(2)));
    return Value(0.0);
}

Value setPixel32(Vm& vm, const CallInfo& c) {
    BitmapPixels* p = pixelsOf(c);
    if (p == nullptr || c.count() < 3) {
        return kFail;
    }
    p->setPixel32(intArg(vm, c.arg(0)), intArg(vm, c.arg(1)), colorArg(vm, c.arg(2)));
    return Value(0.0);
}

Value fillRect(Vm& vm, const CallInfo& c) {
    BitmapPixels* p = pixelsOf(c);
    PixelRect r;
    if (p == nullptr || c.count() < 2 || !readRect(vm, c.arg(0), r)) {
        return kFail;
    }
    p->fillRect(r, colorArg(vm, c.arg(1)));
    return Value(0.0);
}

Value floodFill(Vm& vm, const CallInfo& c) {
    BitmapPixels* p = pixelsOf(c);
    if (p == nullptr || c.count() < 3) {
        return kFail;
    }
    const bool changed =
        p->floodFill(intArg(vm, c.arg(0)), intArg(vm, c.arg(1)), colorArg(vm, c.arg(2)));
    return Value(changed ? 1.0 : 0.0);
}

Value getColorBoundsRect(Vm& vm, const CallInfo& c) {
    BitmapPixels* p = pixelsOf(c);
    if (p == nullptr || c.count() < 2) {
        return kFail;
    }
    const bool find = c.count() > 2 ? vm.toBoolean(c.arg(2)) : true;
    return newRectangle(vm, p->colorBounds(colorArg(vm, c.arg(0)), colorArg(vm, c.arg(1)), find));
}

// A flash.geom.ColorTransform's multipliers and offsets; nothing for any other value.
std::optional<PixelTransform> readColorTransform(Vm& vm, const Value& v) {
    Object* ctor = geomClass(vm, "ColorTransform").asObject();
    if (ctor == nullptr || !vm.instanceOf(v, ctor)) {
        return std::nullopt;
    }
    static constexpr const char* kMultipliers[] = {"redMultiplier", "greenMultiplier",
                                                   "blueMultiplier", "alphaMultiplier"};
    static constexpr const char* kOffsets[] = {"redOffset", "greenOffset", "blueOffset",
                                               "alphaOffset"};
    PixelTransform t;
    for (int i = 0; i < 4; ++i) {
        t.multiply[i] = vm.toNumber(vm.get(v, kMultipliers[i]));
        t.add[i] = vm.toNumber(vm.get(v, kOffsets[i]));
    }
    return t;
}

Value colorTransform(Vm& vm, const CallInfo& c) {
    BitmapPixels* p = pixelsOf(c);
    if (p == nullptr || c.count() < 2) {
        return kFail;
    }
    PixelRect r;
    if (!readRect(vm, c.arg(0), r)) {
        return Value(-2.0);
    }
    const std::optional<PixelTransform> t = readColorTransform(vm, c.arg(1));
    if (!t) {
        return Value(-3.0);
    }
    p->colorTransform(r, *t);
    return kFail;
}

// The source bitmap of a copy: -2 when the argument is none, -3 when it was disposed.
int sourceOf(const Value& v, BitmapPixels*& out) {
    BitmapDataObject* b = bitmapOf(v);
    if (b == nullptr) {
        return -2;
    }
    if (!b->pixels) {
        return -3;
    }
    out = b->pixels.get();
    return 0;
}

// What the copying methods read first: the source bitmap, its rectangle and where it goes.
struct CopySource {
    BitmapPixels* pixels = nullptr;
    PixelRect rect;
    std::array<int, 2> dest{};
    std::unique_ptr<BitmapPixels> snapshot;

    // A copy onto itself reads what the bitmap was before: one snapshot, taken when first
    // needed.
    BitmapPixels* readable(BitmapPixels* b, const BitmapPixels& target) {
        if (b != &target) {
            return b;
        }
        if (!snapshot) {
            snapshot = std::make_unique<BitmapPixels>(target);
        }
        return snapshot.get();
    }
};

// Nothing when the arguments hold; otherwise the code the method returns.
std::optional<Value> readCopySource(Vm& vm, const CallInfo& c, CopySource& out) {
    if (const int code = sourceOf(c.arg(0), out.pixels); code != 0) {
        return Value(static_cast<double>(code));
    }
    if (!readRect(vm, c.arg(1), out.rect)) {
        return Value(-4.0);
    }
    out.dest = readPoint(vm, c.arg(2));
    return std::nullopt;
}

Value copyPixels(Vm& vm, const CallInfo& c) {
    BitmapPixels* p = pixelsOf(c);
    if (p == nullptr || c.count() < 3) {
        return kFail;
    }
    CopySource from;
    if (const auto error = readCopySource(vm, c, from)) {
        return *error;
    }
    BitmapPixels* alpha = nullptr;
    // An opaque alpha bitmap takes no part: the copy is a plain one, its size no limit.
    if (BitmapDataObject* a = bitmapOf(c.arg(3));
        a != nullptr && a->pixels && a->pixels->transparent()) {
        alpha = a->pixels.get();
    }
    const auto alphaPoint = readPoint(vm, c.arg(4));
    const bool mergeAlpha = vm.toBoolean(c.arg(5));
    BitmapPixels* src = from.readable(from.pixels, *p);
    alpha = from.readable(alpha, *p);
    p->copyPixels(*src, from.rect, from.dest[0], from.dest[1], alpha, alphaPoint[0], alphaPoint[1],
                  mergeAlpha);
    return kFail;
}

Value copyChannel(Vm& vm, const CallInfo& c) {
    BitmapPixels* p = pixelsOf(c);
    if (p == nullptr || c.count() < 5) {
        return kFail;
    }
    CopySource from;
    if (const auto error = readCopySource(vm, c, from)) {
        return *error;
    }
    BitmapPixels* src = from.readable(from.pixels, *p);
    p->copyChannel(*src, from.rect, from.dest[0], from.dest[1], colorArg(vm, c.arg(3)),
                   colorArg(vm, c.arg(4)));
    return kFail;
}

Value merge(Vm& vm, const CallInfo& c) {
    BitmapPixels* p = pixelsOf(c);
    if (p == nullptr || c.count() < 6) {
        return kFail;
    }
    CopySource from;
    if (const auto error = readCopySource(vm, c, from)) {
        return *error;
    }
    std::array<std::uint32_t, 4> m{};
    for (int i = 0; i < 4; ++i) {
        // A multiplier left out entirely counts in full.
        const int v = c.count() > static_cast<std::size_t>(3 + i) ? intArg(vm, c.arg(3 + i)) : 256;
        m[i] = static_cast<std::uint32_t>(v < 0 ? 0 : (v > 256 ? 256 : v));
    }
    BitmapPixels* src = from.readable(from.pixels, *p);
    p->merge(*src, from.rect, from.dest[0], from.dest[1], m);
    return kFail;
}

Value scroll(Vm& vm, const CallInfo& c) {
    BitmapPixels* p = pixelsOf(c);
    if (p == nullptr || c.count() < 2) {
        return kFail;
    }
    p->scroll(intArg(vm, c.arg(0)), intArg(vm, c.arg(1)));
    return Value();
}

Value paletteMap(Vm& vm, const CallInfo& c) {
    BitmapPixels* p = pixelsOf(c);
    if (p == nullptr || c.count() < 3) {
        return kFail;
    }
    CopySource from;
    if (const auto error = readCopySource(vm, c, from)) {
        return *error;
    }
    // A table that is not an object leaves its channel as it is; missing entries are 0.
    std::array<BitmapPixels::PaletteTable, 4> tables{};
    std::array<const BitmapPixels::PaletteTable*, 4> used{};
    for (std::size_t i = 0; i < 4; ++i) {
        const Value list = c.arg(3 + i);
        if (!list.isObject()) {
            continue;
        }
        for (std::size_t k = 0; k < 256; ++k) {
            tables[i][k] = colorArg(vm, vm.get(list, std::to_string(k)));
        }
        used[i] = &tables[i];
    }
    BitmapPixels* src = from.readable(from.pixels, *p);
    p->paletteMap(*src, from.rect, from.dest[0], from.dest[1], used);
    return Value();
}

// The display's own filter code, at 100%.
void runFilter(std::vector<std::uint32_t>& premultiplied, int width, int height,
               const engine::Filter& filter) {
    const QImage in(reinterpret_cast<const uchar*>(premultiplied.data()), width, height, width * 4,
                    QImage::Format_ARGB32_Premultiplied);
    const QImage out = engine::applyFilter(in, filter, 1.0, 1.0)
                           .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (out.width() != width || out.height() != height) {
        return;
    }
    for (int y = 0; y < height; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(out.constScanLine(y));
        std::copy(row, row + width, premultiplied.begin() + static_cast<std::ptrdiff_t>(y) * width);
    }
}

// The filter runs over the source's area (clipped to it) as the display would draw it, and
// the result lands at the destination point; what a blur spreads beyond the area is lost.
Value applyFilter(Vm& vm, const CallInfo& c) {
    BitmapPixels* p = pixelsOf(c);
    if (p == nullptr || c.count() < 4) {
        return kFail;
    }
    CopySource from;
    if (const auto error = readCopySource(vm, c, from)) {
        return *error;
    }
    auto* filter = dynamic_cast<FilterObject*>(c.arg(3).asObject());
    const auto record = filter != nullptr ? toFilterRecord(filter->values) : std::nullopt;
    if (!record) {
        return Value(-5.0);
    }
    const PixelRect area = from.pixels->clip(from.rect);
    if (area.empty()) {
        return Value(0.0);
    }
    std::vector<std::uint32_t> words;
    words.reserve(static_cast<std::size_t>(area.width) * static_cast<std::size_t>(area.height));
    for (int y = area.y; y < area.y + area.height; ++y) {
        for (int x = area.x; x < area.x + area.width; ++x) {
            words.push_back(from.pixels->stored(x, y));
        }
    }
    runFilter(words, area.width, area.height, *record);
    const BitmapPixels filtered(area.width, area.height, true, std::move(words));
    p->copyPixels(filtered, {0, 0, area.width, area.height}, from.dest[0] + (area.x - from.rect.x),
                  from.dest[1] + (area.y - from.rect.y), nullptr, 0, 0, false);
    return Value(0.0);
}

Value perlinNoise(Vm& vm, const CallInfo& c) {
    BitmapPixels* p = pixelsOf(c);
    if (p == nullptr || c.count() < 6) {
        return kFail;
    }
    BitmapPixels::PerlinOptions o;
    o.baseX = vm.toNumber(c.arg(0));
    o.baseY = vm.toNumber(c.arg(1));
    o.octaves = intArg(vm, c.arg(2));
    o.seed = vm.toInt32(c.arg(3));
    o.stitch = vm.toBoolean(c.arg(4));
    o.fractal = vm.toBoolean(c.arg(5));
    o.channels = c.count() > 6 ? colorArg(vm, c.arg(6)) : 7u;
    o.grey = vm.toBoolean(c.arg(7));
    if (const Value list = c.arg(8); list.isObject()) {
        const int used = std::clamp(o.octaves, 0, BitmapPixels::kMaxPerlinOctaves);
        for (int i = 0; i < used; ++i) {
            const Value point = vm.get(list, std::to_string(i));
            o.offsets.push_back({vm.toNumber(vm.get(point, "x")), vm.toNumber(vm.get(point, "y"))});
        }
    }
    p->perlinNoise(o);
    return Value();
}

Value noise(Vm& vm, const CallInfo& c) {
    BitmapPixels* p = pixelsOf(c);
    if (p == nullptr || c.count() < 1) {
        return kFail;
    }
    const int low = c.count() > 1 ? intArg(vm, c.arg(1)) : 0;
    const int high = c.count() > 2 ? intArg(vm, c.arg(2)) : 255;
    const std::uint32_t channels = c.count() > 3 ? colorArg(vm, c.arg(3)) : 7u;
    const bool grey = vm.toBoolean(c.arg(4));
    p->noise(vm.toInt32(c.arg(0)), low, high, channels, grey);
    return Value(0.0);
}

Value threshold(Vm& vm, const CallInfo& c) {
    BitmapPixels* p = pixelsOf(c);
    if (p == nullptr || c.count() < 5) {
        return kFail;
    }
    CopySource from;
    if (const auto error = readCopySource(vm, c, from)) {
        return *error;
    }
    // An operation it does not know compares as "<".
    using Compare = BitmapPixels::Compare;
    Compare op = Compare::Less;
    if (c.arg(3).isString()) {
        const std::string name = vm.toStdString(c.arg(3));
        if (name == "<=") {
            op = Compare::LessEqual;
        } else if (name == ">") {
            op = Compare::Greater;
        } else if (name == ">=") {
            op = Compare::GreaterEqual;
        } else if (name == "==") {
            op = Compare::Equal;
        } else if (name == "!=") {
            op = Compare::NotEqual;
        }
    }
    const std::uint32_t limit = colorArg(vm, c.arg(4));
    const std::uint32_t color = c.count() > 5 ? colorArg(vm, c.arg(5)) : 0u;
    const std::uint32_t mask = c.count() > 6 ? colorArg(vm, c.arg(6)) : 0xffffffffu;
    const bool copySource = vm.toBoolean(c.arg(7));
    BitmapPixels* src = from.readable(from.pixels, *p);
    const int matched = p->threshold(*src, from.rect, from.dest[0], from.dest[1], op, limit, color,
                                     mask, copySource);
    return Value(static_cast<double>(matched));
}

Value pixelDissolve(Vm& vm, const CallInfo& c) {
    BitmapPixels* p = pixelsOf(c);
    if (p == nullptr || c.count() < 3) {
        return kFail;
    }
    BitmapPixels* src = nullptr;
    if (sourceOf(c.arg(0), src) != 0) {
        return kFail;
    }
    PixelRect r;
    if (!readRect(vm, c.arg(1), r)) {
        return Value(-4.0);
    }
    // Without a seed nothing is dissolved.
    if (c.count() < 4) {
        return Value(0.0);
    }
    const auto dest = readPoint(vm, c.arg(2));
    const std::int32_t seed = vm.toInt32(c.arg(3));
    const std::int32_t count = c.count() > 4 ? vm.toInt32(c.arg(4)) : p->width() * p->height() / 30;
    const std::uint32_t fill = colorArg(vm, c.arg(5));
    const bool fromSelf = src == p;
    std::unique_ptr<BitmapPixels> copy;
    if (fromSelf) {
        copy = std::make_unique<BitmapPixels>(*p);
        src = copy.get();
    }
    const std::uint32_t next = p->pixelDissolve(
        *src, fromSelf, r, dest[0], dest[1],
        static_cast<std::uint32_t>(seed < 0 ? -static_cast<std::int64_t>(seed) : seed),
        static_cast<std::uint32_t>(count < 0 ? 0 : count), fill);
    return Value(static_cast<double>(next));
}

Value compare(Vm& vm, const CallInfo& c) {
    BitmapPixels* p = pixelsOf(c);
    if (p == nullptr || c.count() < 1) {
        return kFail;
    }
    BitmapPixels* other = nullptr;
    if (sourceOf(c.arg(0), other) != 0) {
        return Value(-2.0);
    }
    if (other->width() != p->width()) {
        return Value(-3.0);
    }
    if (other->height() != p->height()) {
        return Value(-4.0);
    }
    auto diff = std::make_shared<BitmapPixels>(p->width(), p->height(), true, 0);
    bool same = true;
    for (int y = 0; y < p->height(); ++y) {
        for (int x = 0; x < p->width(); ++x) {
            const std::uint32_t a = p->pixel32(x, y);
            const std::uint32_t b = other->pixel32(x, y);
            if (a == b) {
                continue;
            }
            same = false;
            std::uint32_t out = 0;
            if ((a & 0xffffffu) != (b & 0xffffffu)) {
                out = 0xff000000u;
                for (int shift : {16, 8, 0}) {
                    out |= (((a >> shift) - (b >> shift)) & 0xffu) << shift;
                }
            } else {
                out = ((((a >> 24) - (b >> 24)) & 0xffu) << 24) | 0xffffffu;
            }
            diff->setPixel32(x, y, out);
        }
    }
    if (same) {
        return Value(0.0);
    }
    return newBitmap(vm, std::move(diff));
}

Value hitTest(Vm& vm, const CallInfo& c) {
    BitmapPixels* p = pixelsOf(c);
    if (p == nullptr || c.count() < 3) {
        return kFail;
    }
    const auto origin = readPoint(vm, c.arg(0));
    const std::uint32_t threshold = colorArg(vm, c.arg(1)) & 0xffu;
    const Value& second = c.arg(2);
    if (!second.isObject() || bitmapOf(second) != nullptr) {
        return Value::boolean(false);
    }
    const auto at = readPoint(vm, second);
    return Value::boolean(p->hitPoint(at[0] - origin[0], at[1] - origin[1], threshold));
}

// A Matrix (any object with the six fields) as a, b, c, d, tx, ty; anything else is the
// identity. Nothing when a field is not a finite number.
std::optional<std::array<double, 6>> readMatrix(Vm& vm, const Value& v) {
    std::array<double, 6> m{1, 0, 0, 1, 0, 0};
    if (!v.isObject()) {
        return m;
    }
    static constexpr const char* kFields[] = {"a", "b", "c", "d", "tx", "ty"};
    for (std::size_t i = 0; i < m.size(); ++i) {
        m[i] = vm.toNumber(vm.get(v, kFields[i]));
        if (!std::isfinite(m[i])) {
            return std::nullopt;
        }
    }
    return m;
}

// A blend mode by name ("multiply") or by number; 0 (normal) for anything else.
int readBlendMode(Vm& vm, const Value& v) {
    if (v.isString()) {
        const std::string name = vm.toStdString(v);
        for (int mode = 1; mode <= 14; ++mode) {
            if (name == engine::blendModeName(static_cast<engine::BlendMode>(mode))) {
                return mode;
            }
        }
        return 0;
    }
    if (v.isNumber()) {
        const int mode = vm.toInt32(v);
        return mode >= 1 && mode <= 14 ? mode : 0;
    }
    return 0;
}

std::uint32_t blendWords(std::uint32_t source, std::uint32_t backdrop, int mode) {
    return engine::blendPixel(source, backdrop, static_cast<engine::BlendMode>(mode));
}

// A bitmap's words drawn through the matrix into a transparent picture of the target's size.
std::vector<std::uint32_t> bitmapPicture(const BitmapPixels& src, int width, int height,
                                         const std::array<double, 6>& m, bool smoothing) {
    std::vector<std::uint32_t> words(
        static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
    const QImage from(reinterpret_cast<const uchar*>(src.data().data()), src.width(), src.height(),
                      src.width() * 4, QImage::Format_ARGB32_Premultiplied);
    QImage to(reinterpret_cast<uchar*>(words.data()), width, height, width * 4,
              QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&to);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, smoothing);
    painter.setTransform(QTransform(m[0], m[1], m[2], m[3], m[4], m[5]));
    painter.drawImage(QPointF(0, 0), from);
    painter.end();
    return words;
}

// draw(source, matrix, colorTransform, blendMode, clipRect, smoothing): a clip (its own
// coordinates, without its place, colour or filters) or a bitmap, drawn onto this one.
Value draw(Vm& vm, const CallInfo& c) {
    BitmapPixels* p = pixelsOf(c);
    if (p == nullptr || c.count() < 1) {
        return kFail;
    }
    const auto matrix = readMatrix(vm, c.arg(1));
    if (!matrix) {
        return Value();
    }
    const auto transform = readColorTransform(vm, c.arg(2));
    const int mode = readBlendMode(vm, c.arg(3));
    PixelRect area{0, 0, p->width(), p->height()};
    if (c.arg(4).isObject() && !readRect(vm, c.arg(4), area)) {
        area = {0, 0, p->width(), p->height()};
    }
    const bool smoothing = vm.toBoolean(c.arg(5));
    std::optional<std::vector<std::uint32_t>> picture;
    if (BitmapDataObject* b = bitmapOf(c.arg(0)); b != nullptr) {
        if (!b->pixels) {
            return Value();
        }
        picture = bitmapPicture(*b->pixels, p->width(), p->height(), *matrix, smoothing);
    } else if (c.arg(0).isObject()) {
        if (const DisplayId id = vm.displayOf(c.arg(0), vm.currentTarget()); id != kNoDisplay) {
            picture = vm.host().drawClip(id, p->width(), p->height(), *matrix);
        }
    }
    if (picture) {
        const bool plain = mode <= 2;  // normal and layer lay the picture over
        p->drawLayer(*picture, area, transform ? &*transform : nullptr,
                     plain ? nullptr : blendWords, mode);
    }
    return Value();
}

Value cloneBitmap(Vm& vm, const CallInfo& c) {
    BitmapPixels* p = pixelsOf(c);
    if (p == nullptr) {
        return kFail;
    }
    if (!BitmapPixels::roomFor(p->width(), p->height())) {
        return Value();
    }
    return newBitmap(vm, std::make_shared<BitmapPixels>(*p));
}

Value dispose(Vm&, const CallInfo& c) {
    if (BitmapDataObject* b = bitmapOf(c.thisValue); b != nullptr) {
        b->pixels.reset();
    }
    return Value();
}

Value loadBitmap(Vm& vm, const CallInfo& c) {
    if (c.count() < 1) {
        return Value();
    }
    auto found = vm.host().exportedBitmap(vm.currentTarget(), vm.toStdString(c.arg(0)));
    if (!found ||
        !sizeAllowed(vm.swfVersion() < 10 ? 10 : vm.swfVersion(), found->width, found->height)) {
        return Value();
    }
    return newBitmap(vm, std::make_shared<BitmapPixels>(found->width, found->height, true,
                                                        std::move(found->argb)));
}

// MovieClip.attachBitmap(bitmap, depth, pixelSnapping, smoothing).
Value clipAttachBitmap(Vm& vm, const CallInfo& c) {
    const DisplayId clip = vm.displayOf(c.thisValue, vm.currentTarget());
    BitmapDataObject* b = bitmapOf(c.arg(0));
    if (clip == kNoDisplay || b == nullptr || !b->pixels || c.count() < 2) {
        return Value();
    }
    const double depth = vm.toNumber(c.arg(1));
    if (!std::isfinite(depth)) {
        return Value();
    }
    // The display shares the words themselves and keeps them alive while it shows them.
    std::shared_ptr<const std::vector<std::uint32_t>> words(b->pixels, &b->pixels->data());
    vm.host().attachBitmap(clip, static_cast<int>(std::clamp(depth, -2147483648.0, 2147483647.0)),
                           b->pixels->width(), b->pixels->height(), std::move(words),
                           vm.toBoolean(c.arg(3)));
    return Value();
}

}  // namespace

void installBitmapData(Vm& vm) {
    Object* display = packageObject(vm, "flash.display");
    Object* proto = vm.newObject();
    FunctionObject* ctor = defineClass(vm, "", ctorBitmapData, proto, allocateBitmapData);
    vm.define(display, "BitmapData", Value(ctor));
    vm.defineNative(ctor, "loadBitmap", loadBitmap);
    vm.define(ctor, "RED_CHANNEL", Value(static_cast<double>(kRedChannel)), 0);
    vm.define(ctor, "GREEN_CHANNEL", Value(static_cast<double>(kGreenChannel)), 0);
    vm.define(ctor, "BLUE_CHANNEL", Value(static_cast<double>(kBlueChannel)), 0);
    vm.define(ctor, "ALPHA_CHANNEL", Value(static_cast<double>(kAlphaChannel)), 0);
    // The size and shape read as enumerable fields of every bitmap.
    vm.defineAccessor(proto, "height", getHeight, nullptr, 0);
    vm.defineAccessor(proto, "rectangle", getRectangle, nullptr, 0);
    vm.defineAccessor(proto, "transparent", getTransparent, nullptr, 0);
    vm.defineAccessor(proto, "width", getWidth, nullptr, 0);
    vm.defineNative(proto, "getPixel", getPixel);
    vm.defineNative(proto, "getPixel32", getPixel32);
    vm.defineNative(proto, "setPixel", setPixel);
    vm.defineNative(proto, "setPixel32", setPixel32);
    vm.defineNative(proto, "fillRect", fillRect);
    vm.defineNative(proto, "floodFill", floodFill);
    vm.defineNative(proto, "getColorBoundsRect", getColorBoundsRect);
    vm.defineNative(proto, "colorTransform", colorTransform);
    vm.defineNative(proto, "copyPixels", copyPixels);
    vm.defineNative(proto, "copyChannel", copyChannel);
    vm.defineNative(proto, "merge", merge);
    vm.defineNative(proto, "compare", compare);
    vm.defineNative(proto, "noise", noise);
    vm.defineNative(proto, "scroll", scroll);
    vm.defineNative(proto, "perlinNoise", perlinNoise);
    vm.defineNative(proto, "applyFilter", applyFilter);
    vm.defineNative(proto, "paletteMap", paletteMap);
    vm.defineNative(proto, "pixelDissolve", pixelDissolve);
    vm.defineNative(proto, "threshold", threshold);
    vm.defineNative(proto, "hitTest", hitTest);
    vm.defineNative(proto, "clone", cloneBitmap);
    vm.defineNative(proto, "draw", draw);
    vm.defineNative(proto, "dispose", dispose);
    if (Object* clip = vm.protos().movieClip) {
        vm.defineNative(clip, "attachBitmap", clipAttachBitmap, kDontEnum | kVersion8);
    }
}

}  // namespace lib
}  // namespace zd::avm1
