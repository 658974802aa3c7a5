#include "engine/avm1/PropertyValues.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "engine/avm1/Vm.h"

namespace zd::avm1 {

namespace {

double numberFor(Vm& vm, const Value& v) {
    return v.isNullish() ? std::numeric_limits<double>::quiet_NaN() : vm.toNumber(v);
}

std::string nameFor(Vm& vm, const Value& v) {
    if (v.isNumber() && std::isnan(v.number()) && vm.swfVersion() >= 7) {
        return "0";  // as the reference player names it from version 7 on
    }
    if (!v.isObject()) {
        return vm.toStdString(v);
    }
    const Value fn = vm.get(v, "toString");
    if (fn.isObject() && fn.object()->isFunction()) {
        const Value r = vm.call(fn, v, {});
        if (r.isString()) {
            return r.string()->text();
        }
    }
    return "[type Object]";
}

}  // namespace

DisplayValue toDisplayValue(Vm& vm, DisplayProperty p, const Value& v, DisplayId target) {
    switch (p) {
        case DisplayProperty::Name:
            return DisplayValue(nameFor(vm, v));
        case DisplayProperty::Quality:
            return DisplayValue(vm.toStdString(v));
        case DisplayProperty::FocusRect:
            if (vm.host().parent(target) != kNoDisplay) {
                return v.isNullish() ? DisplayValue() : DisplayValue(vm.toBoolean(v));
            }
            if (v.isBoolean()) {
                return DisplayValue(v.boolean());
            }
            if (v.isObject()) {
                return DisplayValue(false);
            }
            if (v.isNullish()) {
                return DisplayValue();
            }
            return DisplayValue(vm.toNumber(v));
        default:
            return DisplayValue(numberFor(vm, v));
    }
}

std::optional<int> goToFrameNumber(double frame, int bias) {
    if (!std::isfinite(frame) || frame != std::trunc(frame)) {
        return std::nullopt;
    }
    const auto wrapped = static_cast<std::int64_t>(std::fmod(frame, 4294967296.0));
    // The frame's index, as an unsigned count wrapped into 32 bits read as a signed one.
    const auto index = static_cast<std::uint32_t>(wrapped + bias - 1);
    constexpr auto kLargest = static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max());
    if (index > kLargest) {
        return std::nullopt;  // before the first frame
    }
    return static_cast<int>(std::min(index, kLargest - 1)) + 1;
}

}  // namespace zd::avm1
