// String, Number, Boolean and Math.

#include <algorithm>
#include <cmath>
#include <limits>

#include "engine/avm1/Library.h"
#include "engine/avm1/Strings.h"
#include "engine/avm1/Vm.h"

namespace zd::avm1::lib {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// --- String ---

String* thisString(Vm& vm, const CallInfo& c) {
    if (Object* o = c.thisObject(); o != nullptr && o->kind() == ObjectKind::String) {
        return vm.toString(static_cast<BoxObject*>(o)->value);
    }
    return vm.toString(c.thisValue);
}

Object* allocateString(Vm& vm, Object* proto) {
    return vm.heap().make<BoxObject>(proto, ObjectKind::String, Value(vm.atoms().empty));
}

// A String object carries its length as an own property that cannot be deleted.
void setBoxedLength(Vm& vm, Object* o, String* s) {
    vm.define(o, "length", Value(static_cast<double>(utf16Length(s->view()))),
              kDontEnum | kDontDelete);
}

Value stringConstructor(Vm& vm, const CallInfo& c) {
    String* s = c.count() > 0 ? vm.toString(c.arg(0)) : vm.atoms().empty;
    if (c.construct) {
        if (Object* o = c.thisObject(); o != nullptr && o->kind() == ObjectKind::String) {
            static_cast<BoxObject*>(o)->value = Value(s);
            setBoxedLength(vm, o, s);
        }
        return c.thisValue;
    }
    return Value(s);
}

Value stringToStringMethod(Vm& vm, const CallInfo& c) {
    return Value(thisString(vm, c));
}

// A position argument as a 32-bit integer (NaN is 0, large values wrap).
double position(Vm& vm, const Value& v) {
    return static_cast<double>(vm.toInt32(v));
}

Value stringCharAt(Vm& vm, const CallInfo& c) {
    const std::u16string s = toUtf16(thisString(vm, c)->view());
    const double i = position(vm, c.arg(0));
    if (i < 0 || i >= static_cast<double>(s.size())) {
        return Value(vm.atoms().empty);
    }
    return Value(vm.str(fromUtf16(s.substr(static_cast<std::size_t>(i), 1))));
}

Value stringCharCodeAt(Vm& vm, const CallInfo& c) {
    const std::u16string s = toUtf16(thisString(vm, c)->view());
    const double i = position(vm, c.arg(0));
    if (i >= static_cast<double>(s.size()) && vm.swfVersion() < 6) {
        return Value(0.0);  // SWF 5 reads past the end as 0
    }
    if (i < 0 || i >= static_cast<double>(s.size())) {
        return Value(kNaN);
    }
    return Value(static_cast<double>(s[static_cast<std::size_t>(i)]));
}

Value stringConcat(Vm& vm, const CallInfo& c) {
    std::string out = thisString(vm, c)->text();
    for (const Value& v : c.args) {
        out += vm.toString(v)->view();
    }
    return Value(vm.str(std::move(out)));
}

Value stringIndexOf(Vm& vm, const CallInfo& c) {
    const std::u16string s = toUtf16(thisString(vm, c)->view());
    if (c.count() == 0) {
        return Value();
    }
    const std::u16string needle = toUtf16(vm.toString(c.arg(0))->view());
    double start = c.count() > 1 ? position(vm, c.arg(1)) : 0;
    if (start > static_cast<double>(s.size())) {
        return Value(-1.0);  // even an empty needle is not found past the end
    }
    start = std::max(start, 0.0);
    const auto pos = s.find(needle, static_cast<std::size_t>(start));
    return Value(pos == std::u16string::npos ? -1.0 : static_cast<double>(pos));
}

Value stringLastIndexOf(Vm& vm, const CallInfo& c) {
    const std::u16string s = toUtf16(thisString(vm, c)->view());
    if (c.count() == 0) {
        return Value();
    }
    const std::u16string needle = toUtf16(vm.toString(c.arg(0))->view());
    std::size_t from = std::u16string::npos;
    if (c.count() > 1 && !c.arg(1).isUndefined()) {
        const double d = position(vm, c.arg(1));
        if (d < 0) {
            return Value(-1.0);
        }
        from = static_cast<std::size_t>(std::min(d, static_cast<double>(s.size())));
    }
    const auto pos = s.rfind(needle, from);
    return Value(pos == std::u16string::npos ? -1.0 : static_cast<double>(pos));
}

Value stringSlice(Vm& vm, const CallInfo& c) {
    const std::u16string s = toUtf16(thisString(vm, c)->view());
    const auto n = static_cast<double>(s.size());
    auto rel = [&](const Value& v, double fallback) {
        if (v.isUndefined()) {
            return fallback;
        }
        double d = position(vm, v);
        if (d < 0) {
            d += n;
        }
        return std::clamp(d, 0.0, n);
    };
    const double begin = rel(c.arg(0), 0);
    const double end = rel(c.arg(1), n);
    if (c.count() == 0) {
        return Value();
    }
    if (end <= begin) {
        return Value(vm.atoms().empty);
    }
    return Value(vm.str(fromUtf16(
        s.substr(static_cast<std::size_t>(begin), static_cast<std::size_t>(end - begin)))));
}

Value stringSubstring(Vm& vm, const CallInfo& c) {
    const std::u16string s = toUtf16(thisString(vm, c)->view());
    const auto n = static_cast<double>(s.size());
    if (c.count() == 0) {
        return Value();
    }
    double a = std::clamp(position(vm, c.arg(0)), 0.0, n);
    double b = c.arg(1).isUndefined() ? n : std::clamp(position(vm, c.arg(1)), 0.0, n);
    if (a > b) {
        std::swap(a, b);
    }
    return Value(
        vm.str(fromUtf16(s.substr(static_cast<std::size_t>(a), static_cast<std::size_t>(b - a)))));
}

Value stringSubstr(Vm& vm, const CallInfo& c) {
    const std::u16string s = toUtf16(thisString(vm, c)->view());
    const auto n = static_cast<double>(s.size());
    if (c.count() == 0) {
        return Value();
    }
    double start = position(vm, c.arg(0));
    if (start < 0) {
        start = std::max(0.0, start + n);
    }
    start = std::min(start, n);
    double len = c.arg(1).isUndefined() ? n - start : position(vm, c.arg(1));
    if (len < 0) {
        len = std::max(0.0, len + n);
    }
    len = std::clamp(len, 0.0, n - start);
    return Value(vm.str(
        fromUtf16(s.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(len)))));
}

Value stringSplit(Vm& vm, const CallInfo& c) {
    String* self = thisString(vm, c);
    ArrayObject* out = vm.newArray();
    std::vector<Value> parts;
    const bool swf5 = vm.swfVersion() < 6;
    if (c.arg(0).isUndefined() && !swf5) {
        parts.push_back(Value(self));
        out->setElements(std::move(parts));
        return Value(out);
    }
    const std::u16string s = toUtf16(self->view());
    // SWF 5 splits at commas when no separator is given.
    const std::u16string sep =
        c.arg(0).isUndefined() ? std::u16string(u",") : toUtf16(vm.toString(c.arg(0))->view());
    double limit = 4294967295.0;
    if (c.count() > 1 && !c.arg(1).isUndefined()) {
        limit = vm.toNumber(c.arg(1));
        if (std::isnan(limit) || limit < 0) {
            limit = 0;
        }
    }
    if (sep.empty() && swf5) {
        if (limit > 0) {
            parts.push_back(Value(self));  // SWF 5 does not split into characters
        }
    } else if (sep.empty()) {
        for (std::size_t i = 0; i < s.size() && parts.size() < limit; ++i) {
            parts.push_back(Value(vm.str(fromUtf16(s.substr(i, 1)))));
        }
    } else if (!s.empty() || vm.swfVersion() < 6) {
        std::size_t i = 0;
        while (parts.size() < limit) {
            const std::size_t j = s.find(sep, i);
            if (j == std::u16string::npos) {
                parts.push_back(Value(vm.str(fromUtf16(s.substr(i)))));
                break;
            }
            parts.push_back(Value(vm.str(fromUtf16(s.substr(i, j - i)))));
            i = j + sep.size();
        }
    } else {
        parts.push_back(Value(self));
    }
    out->setElements(std::move(parts));
    return Value(out);
}

Value stringToLowerCase(Vm& vm, const CallInfo& c) {
    return Value(vm.str(toLowerCase(thisString(vm, c)->view())));
}

Value stringToUpperCase(Vm& vm, const CallInfo& c) {
    return Value(vm.str(toUpperCase(thisString(vm, c)->view())));
}

Value stringFromCharCode(Vm& vm, const CallInfo& c) {
    std::u16string out;
    for (const Value& v : c.args) {
        const double d = vm.toNumber(v);
        const auto u = static_cast<char16_t>(toUint32(d) & 0xffff);
        if (u == 0) {
            break;  // a NUL ends the string
        }
        out.push_back(u);
    }
    return Value(vm.str(fromUtf16(out)));
}

// --- Number and Boolean ---

Object* allocateNumber(Vm& vm, Object* proto) {
    return vm.heap().make<BoxObject>(proto, ObjectKind::Number, Value(0.0));
}

Object* allocateBoolean(Vm& vm, Object* proto) {
    return vm.heap().make<BoxObject>(proto, ObjectKind::Boolean, Value::boolean(false));
}

Value numberConstructor(Vm& vm, const CallInfo& c) {
    const double n = c.count() > 0 ? vm.toNumber(c.arg(0)) : 0.0;
    if (c.construct) {
        if (Object* o = c.thisObject(); o != nullptr && o->kind() == ObjectKind::Number) {
            static_cast<BoxObject*>(o)->value = Value(n);
        }
        return c.thisValue;
    }
    return Value(n);
}

Value thisNumber(const CallInfo& c) {
    if (c.thisValue.isNumber()) {
        return c.thisValue;
    }
    if (Object* o = c.thisObject(); o != nullptr && o->kind() == ObjectKind::Number) {
        return static_cast<BoxObject*>(o)->value;
    }
    return Value();
}

Value numberToStringMethod(Vm& vm, const CallInfo& c) {
    const Value n = thisNumber(c);
    if (!n.isNumber()) {
        return Value();
    }
    int radix = 10;
    if (c.count() > 0 && !c.arg(0).isUndefined()) {
        const double r = vm.toNumber(c.arg(0));
        radix = std::isnan(r) ? 10 : static_cast<int>(r);
    }
    return Value(vm.str(numberToStringRadix(n.number(), radix)));
}

Value numberValueOf(Vm&, const CallInfo& c) {
    return thisNumber(c);
}

Value booleanConstructor(Vm& vm, const CallInfo& c) {
    const bool b = c.count() > 0 && vm.toBoolean(c.arg(0));
    if (c.construct) {
        if (Object* o = c.thisObject(); o != nullptr && o->kind() == ObjectKind::Boolean) {
            static_cast<BoxObject*>(o)->value = Value::boolean(b);
        }
        return c.thisValue;
    }
    return c.count() > 0 ? Value::boolean(b) : Value();
}

Value thisBoolean(const CallInfo& c) {
    if (c.thisValue.isBoolean()) {
        return c.thisValue;
    }
    if (Object* o = c.thisObject(); o != nullptr && o->kind() == ObjectKind::Boolean) {
        return static_cast<BoxObject*>(o)->value;
    }
    return Value();
}

Value booleanToString(Vm& vm, const CallInfo& c) {
    const Value b = thisBoolean(c);
    return b.isBoolean() ? Value(vm.toString(b)) : Value();
}

Value booleanValueOf(Vm&, const CallInfo& c) {
    return thisBoolean(c);
}

// --- Math ---

double arg0(Vm& vm, const CallInfo& c) {
    return c.count() > 0 ? vm.toNumber(c.arg(0)) : kNaN;
}

// The first two arguments are converted, in order, whatever the function uses.
double arg1(Vm& vm, const CallInfo& c) {
    return c.count() > 1 ? vm.toNumber(c.arg(1)) : kNaN;
}

#define ZD_MATH1(name, expr)                       \
    Value math_##name(Vm& vm, const CallInfo& c) { \
        const double x = arg0(vm, c);              \
        arg1(vm, c);                               \
        return Value(expr);                        \
    }
ZD_MATH1(abs, std::fabs(x))
ZD_MATH1(acos, std::acos(x))
ZD_MATH1(asin, std::asin(x))
ZD_MATH1(atan, std::atan(x))
ZD_MATH1(ceil, std::ceil(x))
ZD_MATH1(cos, std::cos(x))
ZD_MATH1(exp, std::exp(x))
ZD_MATH1(floor, std::floor(x))
ZD_MATH1(log, std::log(x))
ZD_MATH1(sin, std::sin(x))
ZD_MATH1(sqrt, std::sqrt(x))
ZD_MATH1(tan, std::tan(x))
ZD_MATH1(round, std::floor(x + 0.5))
#undef ZD_MATH1

Value math_atan2(Vm& vm, const CallInfo& c) {
    const double y = arg0(vm, c);
    return Value(std::atan2(y, arg1(vm, c)));
}

Value math_pow(Vm& vm, const CallInfo& c) {
    const double x = arg0(vm, c);
    return Value(std::pow(x, arg1(vm, c)));
}

Value math_max(Vm& vm, const CallInfo& c) {
    if (c.count() == 0) {
        return Value(-std::numeric_limits<double>::infinity());
    }
    // Only the first two arguments count; one alone is compared with a missing one.
    const double x = arg0(vm, c);
    const double y = arg1(vm, c);
    if (std::isnan(x) || std::isnan(y)) {
        return Value(kNaN);
    }
    return Value(std::max(x, y));
}

Value math_min(Vm& vm, const CallInfo& c) {
    if (c.count() == 0) {
        return Value(std::numeric_limits<double>::infinity());
    }
    // Only the first two arguments count; one alone is compared with a missing one.
    const double x = arg0(vm, c);
    const double y = arg1(vm, c);
    if (std::isnan(x) || std::isnan(y)) {
        return Value(kNaN);
    }
    return Value(std::min(x, y));
}

Value math_random(Vm& vm, const CallInfo& c) {
    arg0(vm, c);
    arg1(vm, c);
    return Value(static_cast<double>(vm.host().random(1u << 30)) / static_cast<double>(1u << 30));
}

}  // namespace

void installString(Vm& vm) {
    Object* proto =
        vm.heap().make<BoxObject>(vm.protos().object, ObjectKind::String, Value(vm.atoms().empty));
    vm.protos().string = proto;
    FunctionObject* ctor = defineClass(vm, "String", stringConstructor, proto, allocateString);
    vm.defineNative(proto, "toString", stringToStringMethod);
    vm.defineNative(proto, "valueOf", stringToStringMethod);
    vm.defineNative(proto, "charAt", stringCharAt);
    vm.defineNative(proto, "charCodeAt", stringCharCodeAt);
    vm.defineNative(proto, "concat", stringConcat);
    vm.defineNative(proto, "indexOf", stringIndexOf);
    vm.defineNative(proto, "lastIndexOf", stringLastIndexOf);
    vm.defineNative(proto, "slice", stringSlice);
    vm.defineNative(proto, "substring", stringSubstring);
    vm.defineNative(proto, "substr", stringSubstr);
    vm.defineNative(proto, "split", stringSplit);
    vm.defineNative(proto, "toLowerCase", stringToLowerCase);
    vm.defineNative(proto, "toUpperCase", stringToUpperCase);
    vm.defineNative(ctor, "fromCharCode", stringFromCharCode);
}

void installNumberAndBoolean(Vm& vm) {
    Object* proto = vm.heap().make<BoxObject>(vm.protos().object, ObjectKind::Number, Value(0.0));
    vm.protos().number = proto;
    FunctionObject* ctor = defineClass(vm, "Number", numberConstructor, proto, allocateNumber);
    vm.defineNative(proto, "toString", numberToStringMethod);
    vm.defineNative(proto, "valueOf", numberValueOf);
    const std::uint16_t constant = kDontEnum | kDontDelete | kReadOnly;
    vm.define(ctor, "MAX_VALUE", Value(std::numeric_limits<double>::max()), constant);
    vm.define(ctor, "MIN_VALUE", Value(std::numeric_limits<double>::denorm_min()), constant);
    vm.define(ctor, "NaN", Value(kNaN), constant);
    vm.define(ctor, "NEGATIVE_INFINITY", Value(-std::numeric_limits<double>::infinity()), constant);
    vm.define(ctor, "POSITIVE_INFINITY", Value(std::numeric_limits<double>::infinity()), constant);

    Object* bproto =
        vm.heap().make<BoxObject>(vm.protos().object, ObjectKind::Boolean, Value::boolean(false));
    vm.protos().boolean = bproto;
    defineClass(vm, "Boolean", booleanConstructor, bproto, allocateBoolean);
    vm.defineNative(bproto, "toString", booleanToString);
    vm.defineNative(bproto, "valueOf", booleanValueOf);
}

void installMath(Vm& vm) {
    Object* math = vm.newObject();
    vm.define(vm.global(), "Math", Value(math));
    vm.defineNative(math, "abs", math_abs);
    vm.defineNative(math, "acos", math_acos);
    vm.defineNative(math, "asin", math_asin);
    vm.defineNative(math, "atan", math_atan);
    vm.defineNative(math, "atan2", math_atan2);
    vm.defineNative(math, "ceil", math_ceil);
    vm.defineNative(math, "cos", math_cos);
    vm.defineNative(math, "exp", math_exp);
    vm.defineNative(math, "floor", math_floor);
    vm.defineNative(math, "log", math_log);
    vm.defineNative(math, "max", math_max);
    vm.defineNative(math, "min", math_min);
    vm.defineNative(math, "pow", math_pow);
    vm.defineNative(math, "random", math_random);
    vm.defineNative(math, "round", math_round);
    vm.defineNative(math, "sin", math_sin);
    vm.defineNative(math, "sqrt", math_sqrt);
    vm.defineNative(math, "tan", math_tan);
    const std::uint16_t constant = kDontEnum | kDontDelete | kReadOnly;
    vm.define(math, "E", Value(M_E), constant);
    vm.define(math, "LN10", Value(M_LN10), constant);
    vm.define(math, "LN2", Value(M_LN2), constant);
    vm.define(math, "LOG10E", Value(M_LOG10E), constant);
    vm.define(math, "LOG2E", Value(M_LOG2E), constant);
    vm.define(math, "PI", Value(M_PI), constant);
    vm.define(math, "SQRT1_2", Value(M_SQRT1_2), constant);
    vm.define(math, "SQRT2", Value(M_SQRT2), constant);
}

}  // namespace zd::avm1::lib
