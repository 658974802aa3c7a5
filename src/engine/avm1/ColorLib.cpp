// The Color object: the colour transform of the clip it was made for, as percentages and
// offsets. The clip is found again at every call, so a Color outlives its clip harmlessly.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>

#include "engine/avm1/Library.h"
#include "engine/avm1/Vm.h"

namespace zd::avm1 {

namespace {

class ColorObject final : public Object {
  public:
    explicit ColorObject(Object* proto) : Object(proto) {}
    Value target;
    DisplayId from = kNoDisplay;  // where a path is resolved from

    void trace(Tracer& t) override {
        Object::trace(t);
        t.mark(target);
    }
};

Object* allocateColor(Vm& vm, Object* proto) {
    return vm.heap().make<ColorObject>(proto);
}

// The clip a Color speaks for now, or none.
DisplayId clipOf(Vm& vm, const CallInfo& c) {
    const auto* color = dynamic_cast<ColorObject*>(c.thisObject());
    if (color == nullptr || color->target.isUndefined()) {
        return kNoDisplay;
    }
    const DisplayId id = vm.displayOf(color->target, color->from);
    return id != kNoDisplay && vm.host().exists(id) ? id : kNoDisplay;
}

// The transform keeps 16-bit values; what does not fit saturates and NaN counts as 0.
std::int16_t fixed(double v) {
    if (!std::isfinite(v)) {
        return std::isnan(v) ? std::int16_t{0} : (v > 0 ? INT16_MAX : INT16_MIN);
    }
    return static_cast<std::int16_t>(std::clamp(std::trunc(v), -32768.0, 32767.0));
}

Value colorConstructor(Vm& vm, const CallInfo& c) {
    auto* color = dynamic_cast<ColorObject*>(c.thisObject());
    if (color != nullptr) {
        color->target = c.count() > 0 ? c.arg(0) : Value();
        color->from = vm.currentTarget();
    }
    return Value();
}

Value setRGB(Vm& vm, const CallInfo& c) {
    const DisplayId id = clipOf(vm, c);
    if (id == kNoDisplay || c.count() == 0) {
        return Value();
    }
    auto t = vm.host().colorTransform(id);
    if (!t) {
        return Value();
    }
    const auto rgb = static_cast<std::uint32_t>(vm.toInt32(c.arg(0)));
    // The colour replaces the picture's own: no multiplier, the colour as offsets; alpha stays.
    (*t)[0] = (*t)[1] = (*t)[2] = 0;
    (*t)[4] = static_cast<std::int16_t>((rgb >> 16) & 0xff);
    (*t)[5] = static_cast<std::int16_t>((rgb >> 8) & 0xff);
    (*t)[6] = static_cast<std::int16_t>(rgb & 0xff);
    vm.host().setColorTransform(id, *t);
    return Value();
}

Value getRGB(Vm& vm, const CallInfo& c) {
    const DisplayId id = clipOf(vm, c);
    const auto t = id != kNoDisplay ? vm.host().colorTransform(id) : std::nullopt;
    if (!t) {
        return Value();
    }
    const std::int32_t rgb = ((*t)[4] << 16) | ((*t)[5] << 8) | (*t)[6];
    return Value(static_cast<double>(rgb));
}

constexpr const char* kPercentNames[4] = {"ra", "ga", "ba", "aa"};
constexpr const char* kOffsetNames[4] = {"rb", "gb", "bb", "ab"};

Value getTransform(Vm& vm, const CallInfo& c) {
    const DisplayId id = clipOf(vm, c);
    const auto t = id != kNoDisplay ? vm.host().colorTransform(id) : std::nullopt;
    if (!t) {
        return Value();
    }
    Object* o = vm.newObject(vm.protos().object);
    for (int i = 0; i < 4; ++i) {
        vm.set(Value(o), kPercentNames[i], Value((*t)[i] * 100.0 / 256.0));
        vm.set(Value(o), kOffsetNames[i], Value(static_cast<double>((*t)[4 + i])));
    }
    return Value(o);
}

Value setTransform(Vm& vm, const CallInfo& c) {
    const DisplayId id = clipOf(vm, c);
    Object* from = c.count() > 0 ? c.arg(0).asObject() : nullptr;
    auto t = id != kNoDisplay && from != nullptr ? vm.host().colorTransform(id) : std::nullopt;
    if (!t) {
        return Value();
    }
    // Only what the object names changes; the rest keeps its value.
    for (int i = 0; i < 4; ++i) {
        if (String* key = vm.key(kPercentNames[i]); vm.has(from, key, false)) {
            (*t)[i] = fixed(vm.toNumber(vm.get(Value(from), key)) * 256.0 / 100.0);
        }
        if (String* key = vm.key(kOffsetNames[i]); vm.has(from, key, false)) {
            (*t)[4 + i] = fixed(vm.toNumber(vm.get(Value(from), key)));
        }
    }
    vm.host().setColorTransform(id, *t);
    return Value();
}

}  // namespace

namespace lib {

void installColor(Vm& vm) {
    Object* proto = vm.newObject(vm.protos().object);
    defineClass(vm, "Color", colorConstructor, proto, allocateColor);
    constexpr std::uint16_t kHidden = kDontEnum | kDontDelete;
    vm.defineNative(proto, "setRGB", setRGB, kHidden);
    vm.defineNative(proto, "getRGB", getRGB, kHidden);
    vm.defineNative(proto, "setTransform", setTransform, kHidden);
    vm.defineNative(proto, "getTransform", getTransform, kHidden);
}

}  // namespace lib

}  // namespace zd::avm1
