// flash.geom: Point and Rectangle.

#include <cmath>

#include "engine/avm1/Library.h"
#include "engine/avm1/Vm.h"

namespace zd::avm1 {
namespace lib {
namespace {

// The class as scripts see it now: the methods make new points through it, as a class
// written in script would.
Value pointClass(Vm& vm) {
    return vm.get(Value(packageObject(vm, "flash.geom")), "Point");
}

Value newPoint(Vm& vm, const Value& x, const Value& y) {
    const Value args[] = {x, y};
    return vm.construct(pointClass(vm), args);
}

Value member(Vm& vm, const Value& o, const char* name) {
    return vm.get(o, name);
}

double number(Vm& vm, const Value& o, const char* name) {
    return vm.toNumber(vm.get(o, name));
}

Value pointConstructor(Vm& vm, const CallInfo& c) {
    if (!c.construct) {
        return Value();
    }
    // Without arguments the origin; otherwise exactly what was given (even undefined).
    if (c.count() == 0) {
        vm.set(c.thisValue, "x", Value(0.0));
        vm.set(c.thisValue, "y", Value(0.0));
    } else {
        vm.set(c.thisValue, "x", c.arg(0));
        vm.set(c.thisValue, "y", c.arg(1));
    }
    return c.thisValue;
}

Value pointToString(Vm& vm, const CallInfo& c) {
    Value text(vm.intern("(x="));
    text = vm.add(text, member(vm, c.thisValue, "x"));
    text = vm.add(text, Value(vm.intern(", y=")));
    text = vm.add(text, member(vm, c.thisValue, "y"));
    return vm.add(text, Value(vm.intern(")")));
}

Value pointLength(Vm& vm, const CallInfo& c) {
    const double x = number(vm, c.thisValue, "x");
    const double y = number(vm, c.thisValue, "y");
    return Value(std::sqrt(x * x + y * y));
}

Value pointAdd(Vm& vm, const CallInfo& c) {
    Vm::NoCollect hold(vm);
    const Value& o = c.arg(0);
    return newPoint(vm, vm.add(member(vm, c.thisValue, "x"), member(vm, o, "x")),
                    vm.add(member(vm, c.thisValue, "y"), member(vm, o, "y")));
}

Value pointSubtract(Vm& vm, const CallInfo& c) {
    Vm::NoCollect hold(vm);
    const Value& o = c.arg(0);
    return newPoint(vm, Value(number(vm, c.thisValue, "x") - number(vm, o, "x")),
                    Value(number(vm, c.thisValue, "y") - number(vm, o, "y")));
}

Value pointEquals(Vm& vm, const CallInfo& c) {
    const Value& o = c.arg(0);
    if (!o.isObject()) {
        return Value::boolean(false);
    }
    return Value::boolean(vm.abstractEquals(member(vm, o, "x"), member(vm, c.thisValue, "x")) &&
                          vm.abstractEquals(member(vm, o, "y"), member(vm, c.thisValue, "y")));
}

Value pointClone(Vm& vm, const CallInfo& c) {
    Vm::NoCollect hold(vm);
    return newPoint(vm, member(vm, c.thisValue, "x"), member(vm, c.thisValue, "y"));
}

Value pointNormalize(Vm& vm, const CallInfo& c) {
    const double length = vm.toNumber(member(vm, c.thisValue, "length"));
    // A point of no (or no measurable) length stays as it is.
    if (length > 0) {
        const double factor = vm.toNumber(c.arg(0)) / length;
        vm.set(c.thisValue, "x", Value(number(vm, c.thisValue, "x") * factor));
        vm.set(c.thisValue, "y", Value(number(vm, c.thisValue, "y") * factor));
    }
    return Value();
}

Value pointOffset(Vm& vm, const CallInfo& c) {
    Vm::NoCollect hold(vm);
    vm.set(c.thisValue, "x", vm.add(member(vm, c.thisValue, "x"), c.arg(0)));
    vm.set(c.thisValue, "y", vm.add(member(vm, c.thisValue, "y"), c.arg(1)));
    return Value();
}

Value pointDistance(Vm& vm, const CallInfo& c) {
    Vm::NoCollect hold(vm);
    // a.subtract(b).length: a first argument that is no point has no subtract.
    const Value subtract = member(vm, c.arg(0), "subtract");
    if (!subtract.isObject() || !subtract.object()->isFunction()) {
        return Value();
    }
    const Value other = c.arg(1);
    const Value difference = vm.call(subtract, c.arg(0), std::span<const Value>(&other, 1));
    return member(vm, difference, "length");
}

Value pointInterpolate(Vm& vm, const CallInfo& c) {
    Vm::NoCollect hold(vm);
    const double f = vm.toNumber(c.arg(2));
    const double x1 = number(vm, c.arg(0), "x");
    const double y1 = number(vm, c.arg(0), "y");
    const double x2 = number(vm, c.arg(1), "x");
    const double y2 = number(vm, c.arg(1), "y");
    return newPoint(vm, Value(x2 + (x1 - x2) * f), Value(y2 + (y1 - y2) * f));
}

Value pointPolar(Vm& vm, const CallInfo& c) {
    Vm::NoCollect hold(vm);
    const double length = vm.toNumber(c.arg(0));
    const double angle = vm.toNumber(c.arg(1));
    return newPoint(vm, Value(length * std::cos(angle)), Value(length * std::sin(angle)));
}

void installPoint(Vm& vm, Object* geom) {
    Object* proto = vm.newObject();
    FunctionObject* ctor = defineClass(vm, "", pointConstructor, proto);
    vm.define(geom, "Point", Value(ctor));
    vm.defineNative(ctor, "distance", pointDistance);
    vm.defineNative(ctor, "interpolate", pointInterpolate);
    vm.defineNative(ctor, "polar", pointPolar);
    vm.defineNative(proto, "toString", pointToString);
    vm.defineNative(proto, "add", pointAdd);
    vm.defineNative(proto, "subtract", pointSubtract);
    vm.defineNative(proto, "equals", pointEquals);
    vm.defineNative(proto, "clone", pointClone);
    vm.defineNative(proto, "normalize", pointNormalize);
    vm.defineNative(proto, "offset", pointOffset);
    Property& length = proto->properties().add(vm.key("length"), vm.intern("length"));
    length.getter = vm.newNative(pointLength);
    length.flags = kDontEnum;
}

Value rectangleConstructor(Vm& vm, const CallInfo& c) {
    if (!c.construct) {
        return Value();
    }
    static constexpr const char* kFields[] = {"x", "y", "width", "height"};
    // Without arguments an empty rectangle at the origin; otherwise exactly what was given.
    for (std::size_t i = 0; i < 4; ++i) {
        vm.set(c.thisValue, kFields[i], c.count() == 0 ? Value(0.0) : c.arg(i));
    }
    return c.thisValue;
}

Value rectangleToString(Vm& vm, const CallInfo& c) {
    Value text(vm.intern("(x="));
    text = vm.add(text, member(vm, c.thisValue, "x"));
    text = vm.add(text, Value(vm.intern(", y=")));
    text = vm.add(text, member(vm, c.thisValue, "y"));
    text = vm.add(text, Value(vm.intern(", w=")));
    text = vm.add(text, member(vm, c.thisValue, "width"));
    text = vm.add(text, Value(vm.intern(", h=")));
    text = vm.add(text, member(vm, c.thisValue, "height"));
    return vm.add(text, Value(vm.intern(")")));
}

Value rectangleClone(Vm& vm, const CallInfo& c) {
    Vm::NoCollect hold(vm);
    const Value args[] = {member(vm, c.thisValue, "x"), member(vm, c.thisValue, "y"),
                          member(vm, c.thisValue, "width"), member(vm, c.thisValue, "height")};
    return vm.construct(vm.get(Value(packageObject(vm, "flash.geom")), "Rectangle"), args);
}

Value rectangleIsEmpty(Vm& vm, const CallInfo& c) {
    return Value::boolean(!(number(vm, c.thisValue, "width") > 0) ||
                          !(number(vm, c.thisValue, "height") > 0));
}

void installRectangle(Vm& vm, Object* geom) {
    Object* proto = vm.newObject();
    FunctionObject* ctor = defineClass(vm, "", rectangleConstructor, proto);
    vm.define(geom, "Rectangle", Value(ctor));
    vm.defineNative(proto, "toString", rectangleToString);
    vm.defineNative(proto, "clone", rectangleClone);
    vm.defineNative(proto, "isEmpty", rectangleIsEmpty);
}

}  // namespace

void installGeom(Vm& vm) {
    Object* geom = packageObject(vm, "flash.geom");
    installPoint(vm, geom);
    installRectangle(vm, geom);
    installGeomTransforms(vm);
}

}  // namespace lib
}  // namespace zd::avm1
