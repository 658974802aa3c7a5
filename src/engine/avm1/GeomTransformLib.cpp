// flash.geom: Matrix and ColorTransform.

#include <cmath>

#include "engine/avm1/Library.h"
#include "engine/avm1/Vm.h"

namespace zd::avm1 {
namespace lib {
namespace {

// --- Matrix: six plain properties, so scripts may store anything in them ---

constexpr const char* kMatrixFields[] = {"a", "b", "c", "d", "tx", "ty"};

struct Affine {
    double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;
};

Affine readMatrix(Vm& vm, const Value& m) {
    Affine r;
    double* fields[] = {&r.a, &r.b, &r.c, &r.d, &r.tx, &r.ty};
    for (std::size_t i = 0; i < 6; ++i) {
        *fields[i] = vm.toNumber(vm.get(m, kMatrixFields[i]));
    }
    return r;
}

void writeMatrix(Vm& vm, const Value& m, const Affine& r) {
    const double fields[] = {r.a, r.b, r.c, r.d, r.tx, r.ty};
    for (std::size_t i = 0; i < 6; ++i) {
        vm.set(m, kMatrixFields[i], Value(fields[i]));
    }
}

Value matrixClass(Vm& vm) {
    return vm.get(Value(packageObject(vm, "flash.geom")), "Matrix");
}

Value newPointAt(Vm& vm, double x, double y) {
    const Value args[] = {Value(x), Value(y)};
    return vm.construct(vm.get(Value(packageObject(vm, "flash.geom")), "Point"), args);
}

// Arguments left out count as the given default; ones given as undefined are NaN.
double numberOr(Vm& vm, const CallInfo& c, std::size_t i, double fallback) {
    return i < c.count() ? vm.toNumber(c.arg(i)) : fallback;
}

Value matrixConstructor(Vm& vm, const CallInfo& c) {
    if (!c.construct) {
        return Value();
    }
    if (c.count() == 0) {
        writeMatrix(vm, c.thisValue, Affine{});
        return c.thisValue;
    }
    // Exactly what was given, missing ones undefined.
    for (std::size_t i = 0; i < 6; ++i) {
        vm.set(c.thisValue, kMatrixFields[i], c.arg(i));
    }
    return c.thisValue;
}

Value matrixToString(Vm& vm, const CallInfo& c) {
    std::string text = "(";
    for (std::size_t i = 0; i < 6; ++i) {
        if (i > 0) {
            text += ", ";
        }
        text += kMatrixFields[i];
        text += '=';
        text += vm.toStdString(vm.get(c.thisValue, kMatrixFields[i]));
    }
    text += ')';
    return Value(vm.str(std::move(text)));
}

Value matrixClone(Vm& vm, const CallInfo& c) {
    Vm::NoCollect hold(vm);
    Value args[6];
    for (std::size_t i = 0; i < 6; ++i) {
        args[i] = vm.get(c.thisValue, kMatrixFields[i]);
    }
    return vm.construct(matrixClass(vm), args);
}

Value matrixIdentity(Vm& vm, const CallInfo& c) {
    writeMatrix(vm, c.thisValue, Affine{});
    return Value();
}

Value matrixConcat(Vm& vm, const CallInfo& c) {
    if (!c.arg(0).isObject()) {
        return Value();
    }
    const Affine m = readMatrix(vm, c.thisValue);
    const Affine o = readMatrix(vm, c.arg(0));
    Affine r;
    r.a = m.a * o.a + m.b * o.c;
    r.b = m.a * o.b + m.b * o.d;
    r.c = m.c * o.a + m.d * o.c;
    r.d = m.c * o.b + m.d * o.d;
    r.tx = m.tx * o.a + m.ty * o.c + o.tx;
    r.ty = m.tx * o.b + m.ty * o.d + o.ty;
    writeMatrix(vm, c.thisValue, r);
    return Value();
}

Value matrixInvert(Vm& vm, const CallInfo& c) {
    const Affine m = readMatrix(vm, c.thisValue);
    const double det = m.a * m.d - m.b * m.c;
    Affine r;
    r.a = m.d / det;
    r.b = -m.b / det;
    r.c = -m.c / det;
    r.d = m.a / det;
    r.tx = -(r.a * m.tx + r.c * m.ty);
    r.ty = -(r.b * m.tx + r.d * m.ty);
    writeMatrix(vm, c.thisValue, r);
    return Value();
}

Value matrixRotate(Vm& vm, const CallInfo& c) {
    const double angle = vm.toNumber(c.arg(0));
    if (angle == 0) {
        return Value();  // leaves what scripts stored untouched
    }
    const double cs = std::cos(angle);
    const double sn = std::sin(angle);
    const Affine m = readMatrix(vm, c.thisValue);
    Affine r;
    r.a = m.a * cs - m.b * sn;
    r.b = m.a * sn + m.b * cs;
    r.c = m.c * cs - m.d * sn;
    r.d = m.c * sn + m.d * cs;
    r.tx = m.tx * cs - m.ty * sn;
    r.ty = m.tx * sn + m.ty * cs;
    writeMatrix(vm, c.thisValue, r);
    return Value();
}

Value matrixScale(Vm& vm, const CallInfo& c) {
    const double sx = vm.toNumber(c.arg(0));
    const double sy = vm.toNumber(c.arg(1));
    Affine m = readMatrix(vm, c.thisValue);
    m.a *= sx;
    m.b *= sy;
    m.c *= sx;
    m.d *= sy;
    m.tx *= sx;
    m.ty *= sy;
    writeMatrix(vm, c.thisValue, m);
    return Value();
}

Value matrixTranslate(Vm& vm, const CallInfo& c) {
    const double dx = vm.toNumber(c.arg(0));
    const double dy = vm.toNumber(c.arg(1));
    vm.set(c.thisValue, "tx", Value(vm.toNumber(vm.get(c.thisValue, "tx")) + dx));
    vm.set(c.thisValue, "ty", Value(vm.toNumber(vm.get(c.thisValue, "ty")) + dy));
    return Value();
}

Value matrixCreateBox(Vm& vm, const CallInfo& c) {
    const double sx = vm.toNumber(c.arg(0));
    const double sy = vm.toNumber(c.arg(1));
    const double angle = vm.toNumber(c.arg(2));
    Affine r;
    r.a = std::cos(angle) * sx;
    r.b = std::sin(angle) * sy;
    r.c = -std::sin(angle) * sx;
    r.d = std::cos(angle) * sy;
    r.tx = numberOr(vm, c, 3, 0);
    r.ty = numberOr(vm, c, 4, 0);
    writeMatrix(vm, c.thisValue, r);
    return Value();
}

Value matrixCreateGradientBox(Vm& vm, const CallInfo& c) {
    // A gradient spans 1638.4 units across; the box is centred on (tx, ty) + size / 2.
    constexpr double kGradientSpan = 1638.4;
    const double w = vm.toNumber(c.arg(0));
    const double h = vm.toNumber(c.arg(1));
    const double angle = numberOr(vm, c, 2, 0);
    Affine r;
    r.a = std::cos(angle) * w / kGradientSpan;
    r.b = std::sin(angle) * h / kGradientSpan;
    r.c = -std::sin(angle) * w / kGradientSpan;
    r.d = std::cos(angle) * h / kGradientSpan;
    r.tx = numberOr(vm, c, 3, 0) + w / 2;
    r.ty = numberOr(vm, c, 4, 0) + h / 2;
    writeMatrix(vm, c.thisValue, r);
    return Value();
}

Value transformPointBy(Vm& vm, const CallInfo& c, bool withTranslation) {
    Vm::NoCollect hold(vm);
    const Affine m = readMatrix(vm, c.thisValue);
    const double x = vm.toNumber(vm.get(c.arg(0), "x"));
    const double y = vm.toNumber(vm.get(c.arg(0), "y"));
    const double ox = withTranslation ? m.tx : 0;
    const double oy = withTranslation ? m.ty : 0;
    return newPointAt(vm, m.a * x + m.c * y + ox, m.b * x + m.d * y + oy);
}

Value matrixTransformPoint(Vm& vm, const CallInfo& c) {
    return transformPointBy(vm, c, true);
}

Value matrixDeltaTransformPoint(Vm& vm, const CallInfo& c) {
    return transformPointBy(vm, c, false);
}

void installMatrix(Vm& vm, Object* geom) {
    Object* proto = vm.newObject();
    FunctionObject* ctor = defineClass(vm, "", matrixConstructor, proto);
    vm.define(geom, "Matrix", Value(ctor));
    vm.defineNative(proto, "toString", matrixToString);
    vm.defineNative(proto, "clone", matrixClone);
    vm.defineNative(proto, "identity", matrixIdentity);
    vm.defineNative(proto, "concat", matrixConcat);
    vm.defineNative(proto, "invert", matrixInvert);
    vm.defineNative(proto, "rotate", matrixRotate);
    vm.defineNative(proto, "scale", matrixScale);
    vm.defineNative(proto, "translate", matrixTranslate);
    vm.defineNative(proto, "createBox", matrixCreateBox);
    vm.defineNative(proto, "createGradientBox", matrixCreateGradientBox);
    vm.defineNative(proto, "transformPoint", matrixTransformPoint);
    vm.defineNative(proto, "deltaTransformPoint", matrixDeltaTransformPoint);
}

// --- ColorTransform: numbers kept by the instance, read through accessors ---

class ColorTransformObject final : public Object {
  public:
    explicit ColorTransformObject(Object* proto) : Object(proto) {}
    // Multipliers red, green, blue, alpha, then the offsets in the same order.
    double values[8] = {1, 1, 1, 1, 0, 0, 0, 0};
};

ColorTransformObject* colorTransformOf(const Value& v) {
    return dynamic_cast<ColorTransformObject*>(v.asObject());
}

Object* allocateColorTransform(Vm& vm, Object* proto) {
    return vm.heap().make<ColorTransformObject>(proto);
}

constexpr const char* kColorFields[] = {
    "redMultiplier", "greenMultiplier", "blueMultiplier", "alphaMultiplier",
    "redOffset",     "greenOffset",     "blueOffset",     "alphaOffset",
};

Value colorTransformConstructor(Vm& vm, const CallInfo& c) {
    ColorTransformObject* ct = colorTransformOf(c.thisValue);
    if (ct == nullptr) {
        return Value();
    }
    if (c.count() >= 8) {
        for (std::size_t i = 0; i < 8; ++i) {
            ct->values[i] = vm.toNumber(c.arg(i));
        }
    }
    return c.thisValue;
}

template <std::size_t I>
Value colorFieldGet(Vm&, const CallInfo& c) {
    const ColorTransformObject* ct = colorTransformOf(c.thisValue);
    return ct ? Value(ct->values[I]) : Value();
}

template <std::size_t I>
Value colorFieldSet(Vm& vm, const CallInfo& c) {
    if (ColorTransformObject* ct = colorTransformOf(c.thisValue)) {
        ct->values[I] = vm.toNumber(c.arg(0));
    }
    return Value();
}

std::int32_t channel(double v) {
    return toInt32(v);
}

Value colorRgbGet(Vm&, const CallInfo& c) {
    const ColorTransformObject* ct = colorTransformOf(c.thisValue);
    if (ct == nullptr) {
        return Value();
    }
    const std::int32_t rgb =
        (channel(ct->values[4]) << 16) | (channel(ct->values[5]) << 8) | channel(ct->values[6]);
    return Value(static_cast<double>(rgb));
}

Value colorRgbSet(Vm& vm, const CallInfo& c) {
    ColorTransformObject* ct = colorTransformOf(c.thisValue);
    if (ct == nullptr) {
        return Value();
    }
    // A plain colour: the offsets carry it, the colour multipliers drop to 0.
    const std::uint32_t rgb = toUint32(vm.toNumber(c.arg(0)));
    ct->values[0] = ct->values[1] = ct->values[2] = 0;
    ct->values[4] = static_cast<double>((rgb >> 16) & 0xff);
    ct->values[5] = static_cast<double>((rgb >> 8) & 0xff);
    ct->values[6] = static_cast<double>(rgb & 0xff);
    return Value();
}

Value colorTransformToString(Vm& vm, const CallInfo& c) {
    const ColorTransformObject* ct = colorTransformOf(c.thisValue);
    if (ct == nullptr) {
        return Value();
    }
    std::string text = "(";
    for (std::size_t i = 0; i < 8; ++i) {
        if (i > 0) {
            text += ", ";
        }
        text += kColorFields[i];
        text += '=';
        text += numberToString(ct->values[i]);
    }
    text += ')';
    return Value(vm.str(std::move(text)));
}

Value colorTransformConcat(Vm&, const CallInfo& c) {
    ColorTransformObject* ct = colorTransformOf(c.thisValue);
    const ColorTransformObject* other = colorTransformOf(c.arg(0));
    if (ct == nullptr || other == nullptr) {
        return Value();
    }
    // The other transform applies first: its offsets pass through this one's multipliers.
    for (std::size_t i = 0; i < 4; ++i) {
        ct->values[4 + i] += ct->values[i] * other->values[4 + i];
        ct->values[i] *= other->values[i];
    }
    return Value();
}

template <std::size_t I>
void defineColorField(Vm& vm, Object* proto) {
    vm.defineAccessor(proto, kColorFields[I], colorFieldGet<I>, colorFieldSet<I>, 0);
}

void installColorTransform(Vm& vm, Object* geom) {
    Object* proto = vm.newObject();
    FunctionObject* ctor =
        defineClass(vm, "", colorTransformConstructor, proto, allocateColorTransform);
    vm.define(geom, "ColorTransform", Value(ctor));
    // For-in lists the newest first: toString, concat, rgb, then the offsets and multipliers.
    defineColorField<3>(vm, proto);
    defineColorField<0>(vm, proto);
    defineColorField<1>(vm, proto);
    defineColorField<2>(vm, proto);
    defineColorField<7>(vm, proto);
    defineColorField<4>(vm, proto);
    defineColorField<5>(vm, proto);
    defineColorField<6>(vm, proto);
    vm.defineAccessor(proto, "rgb", colorRgbGet, colorRgbSet, 0);
    vm.defineNative(proto, "concat", colorTransformConcat, 0);
    vm.defineNative(proto, "toString", colorTransformToString, 0);
}

}  // namespace

void installGeomTransforms(Vm& vm) {
    Object* geom = packageObject(vm, "flash.geom");
    installMatrix(vm, geom);
    installColorTransform(vm, geom);
}

}  // namespace lib
}  // namespace zd::avm1
