// The drawing methods of movie clips and setMask. Each call goes to the host as a command;
// the host keeps the clip's drawing.

#include <cmath>

#include "engine/avm1/Library.h"
#include "engine/avm1/TextFieldHost.h"
#include "engine/avm1/Vm.h"

namespace zd::avm1 {

namespace {

DisplayId clipOf(const CallInfo& c) {
    Object* o = c.thisObject();
    return o != nullptr && o->kind() == ObjectKind::Clip ? static_cast<ClipObject*>(o)->id
                                                         : kNoDisplay;
}

std::uint32_t rgbArg(Vm& vm, const Value& v) {
    const double d = vm.toNumber(v);
    if (!std::isfinite(d)) {
        return 0;
    }
    return static_cast<std::uint32_t>(
               static_cast<std::int64_t>(std::trunc(std::fmod(d, 4294967296.0)))) &
           0xffffff;
}

double alphaArg(Vm& vm, const Value& v) {
    if (v.isUndefined()) {
        return 100;
    }
    const double d = vm.toNumber(v);
    return std::isfinite(d) ? std::clamp(d, 0.0, 100.0) : 100;
}

std::string lowerString(Vm& vm, const Value& v) {
    std::string s = vm.toStdString(v);
    for (char& ch : s) {
        ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    }
    return s;
}

void send(Vm& vm, const CallInfo& c, const DrawCommand& cmd) {
    if (DisplayId id = clipOf(c)) {
        vm.host().draw(id, cmd);
    }
}

Value mcClear(Vm& vm, const CallInfo& c) {
    send(vm, c, DrawCommand{});
    return Value();
}

Value mcLineStyle(Vm& vm, const CallInfo& c) {
    DrawCommand cmd;
    cmd.kind = DrawCommand::Kind::LineStyle;
    if (c.count() > 0 && !c.arg(0).isNullish()) {
        const double t = vm.toNumber(c.arg(0));
        cmd.thickness = std::isfinite(t) ? std::clamp(t, 0.0, 255.0) : 0.0;
    }
    cmd.color = rgbArg(vm, c.arg(1));
    cmd.alpha = alphaArg(vm, c.arg(2));
    cmd.pixelHinting = vm.toBoolean(c.arg(3));
    if (c.count() > 4 && !c.arg(4).isNullish()) {
        const std::string s = lowerString(vm, c.arg(4));
        cmd.noScale = s == "none" ? 3 : s == "vertical" ? 1 : s == "horizontal" ? 2 : 0;
    }
    if (c.count() > 5 && !c.arg(5).isNullish()) {
        const std::string s = lowerString(vm, c.arg(5));
        cmd.caps = s == "none" ? 1 : s == "square" ? 2 : 0;
    }
    if (c.count() > 6 && !c.arg(6).isNullish()) {
        const std::string s = lowerString(vm, c.arg(6));
        cmd.joints = s == "bevel" ? 1 : s == "miter" ? 2 : 0;
    }
    if (c.count() > 7 && !c.arg(7).isNullish()) {
        const double m = vm.toNumber(c.arg(7));
        cmd.miterLimit = std::isfinite(m) ? std::clamp(m, 1.0, 255.0) : 3.0;
    }
    send(vm, c, cmd);
    return Value();
}

Value mcBeginFill(Vm& vm, const CallInfo& c) {
    DrawCommand cmd;
    cmd.kind = DrawCommand::Kind::BeginFill;
    if (c.count() == 0 || c.arg(0).isNullish()) {
        cmd.kind = DrawCommand::Kind::EndFill;  // no colour: what follows is not filled
    } else {
        cmd.color = rgbArg(vm, c.arg(0));
        cmd.alpha = alphaArg(vm, c.arg(1));
    }
    send(vm, c, cmd);
    return Value();
}

double numberMember(Vm& vm, Object* o, const char* name) {
    const double d = vm.toNumber(vm.get(Value(o), name));
    return std::isfinite(d) ? d : 0;
}

// Reads the gradient arguments (type, colors, alphas, ratios, matrix, spread, interpolation,
// focal point); false when they do not make a gradient.
bool gradientArgs(Vm& vm, const CallInfo& c, DrawCommand& cmd) {
    if (c.count() > 8) {
        return false;  // more than the call takes: ignored whole
    }
    const std::string type = vm.toStdString(c.arg(0));  // names are case-sensitive here
    if (type != "linear" && type != "radial") {
        return false;
    }
    cmd.radial = type == "radial";
    Object* colors = c.arg(1).asObject();
    Object* alphas = c.arg(2).asObject();
    Object* ratios = c.arg(3).asObject();
    Object* matrix = c.arg(4).asObject();
    if (colors == nullptr || alphas == nullptr || ratios == nullptr || matrix == nullptr) {
        return false;
    }
    const std::uint32_t n = std::min<std::uint32_t>(lib::lengthOf(vm, colors), 15);
    if (n == 0 || lib::lengthOf(vm, alphas) < n || lib::lengthOf(vm, ratios) < n) {
        return false;
    }
    for (std::uint32_t i = 0; i < n; ++i) {
        cmd.colors.push_back(rgbArg(vm, lib::elementAt(vm, colors, i)));
        cmd.alphas.push_back(alphaArg(vm, lib::elementAt(vm, alphas, i)));
        // Ratios count in whole steps; one outside 0..255 spoils the call.
        const double r = std::trunc(vm.toNumber(lib::elementAt(vm, ratios, i)));
        if (r < 0 || r > 255) {
            return false;
        }
        cmd.ratios.push_back(std::isfinite(r) ? r : 0.0);
    }
    if (lowerString(vm, vm.get(Value(matrix), "matrixType")) == "box") {
        const double x = numberMember(vm, matrix, "x");
        const double y = numberMember(vm, matrix, "y");
        const double w = numberMember(vm, matrix, "w");
        const double h = numberMember(vm, matrix, "h");
        const double r = numberMember(vm, matrix, "r");
        const double sx = w / 1638.4;
        const double sy = h / 1638.4;
        cmd.matrix = {sx * std::cos(r), sy * std::sin(r), -sx * std::sin(r),
                      sy * std::cos(r), x + w / 2,        y + h / 2};
    } else {
        cmd.matrix = {numberMember(vm, matrix, "a"),  numberMember(vm, matrix, "b"),
                      numberMember(vm, matrix, "c"),  numberMember(vm, matrix, "d"),
                      numberMember(vm, matrix, "tx"), numberMember(vm, matrix, "ty")};
    }
    if (c.count() > 5) {
        const std::string s = vm.toStdString(c.arg(5));
        cmd.spread = s == "reflect" ? 1 : s == "repeat" ? 2 : 0;
    }
    if (c.count() > 6) {
        cmd.linearRgb = vm.toStdString(c.arg(6)) == "linearRGB";
    }
    if (c.count() > 7) {
        const double f = vm.toNumber(c.arg(7));
        cmd.focalPoint = std::isfinite(f) ? std::clamp(f, -1.0, 1.0) : 0.0;
    }
    return true;
}

Value mcBeginGradientFill(Vm& vm, const CallInfo& c) {
    DrawCommand cmd;
    cmd.kind = DrawCommand::Kind::BeginGradientFill;
    if (gradientArgs(vm, c, cmd)) {
        send(vm, c, cmd);
    } else if (c.count() > 0 && c.arg(0).isUndefined()) {
        // No type at all ends the fill, as beginFill without a colour does.
        cmd = DrawCommand{};
        cmd.kind = DrawCommand::Kind::EndFill;
        send(vm, c, cmd);
    }
    return Value();
}

Value mcLineGradientStyle(Vm& vm, const CallInfo& c) {
    DrawCommand cmd;
    cmd.kind = DrawCommand::Kind::LineGradientStyle;
    if (gradientArgs(vm, c, cmd)) {
        send(vm, c, cmd);
    }
    return Value();
}

Value point(Vm& vm, const CallInfo& c, DrawCommand::Kind kind, std::size_t count) {
    if (c.count() < count) {
        return Value();
    }
    DrawCommand cmd;
    cmd.kind = kind;
    for (std::size_t i = 0; i < count; ++i) {
        const double d = vm.toNumber(c.arg(i));
        if (!std::isfinite(d)) {
            return Value();
        }
        cmd.point[i] = d;
    }
    send(vm, c, cmd);
    return Value();
}

Value mcMoveTo(Vm& vm, const CallInfo& c) {
    return point(vm, c, DrawCommand::Kind::MoveTo, 2);
}

Value mcLineTo(Vm& vm, const CallInfo& c) {
    return point(vm, c, DrawCommand::Kind::LineTo, 2);
}

Value mcCurveTo(Vm& vm, const CallInfo& c) {
    return point(vm, c, DrawCommand::Kind::CurveTo, 4);
}

Value mcEndFill(Vm& vm, const CallInfo& c) {
    DrawCommand cmd;
    cmd.kind = DrawCommand::Kind::EndFill;
    send(vm, c, cmd);
    return Value();
}

// Without an argument nothing changes (undefined); null and undefined unmask (true); a clip,
// or a name or number naming one from the clip's parent (variables included), masks (true);
// anything else names no clip (false) and changes nothing.
Value mcSetMask(Vm& vm, const CallInfo& c) {
    const DisplayId id = clipOf(c);
    if (id == kNoDisplay || c.count() == 0) {
        return Value();
    }
    const Value m = c.arg(0);
    DisplayId mask = kNoDisplay;
    if (!m.isNullish()) {
        if (Object* o = m.asObject()) {
            mask = o->kind() == ObjectKind::Clip ? static_cast<ClipObject*>(o)->id : kNoDisplay;
        } else {
            const DisplayId parent = vm.host().parent(id);
            Object* from = parent != kNoDisplay ? vm.clipObject(parent) : nullptr;
            const std::string path = vm.toStdString(m);
            const Value found = from != nullptr ? vm.followPath(Value(from), path, true) : Value();
            Object* named = found.asObject();
            mask = named != nullptr && named->kind() == ObjectKind::Clip
                       ? static_cast<ClipObject*>(named)->id
                       : kNoDisplay;
        }
        if (mask == kNoDisplay) {
            return Value::boolean(false);
        }
    }
    vm.host().setMask(id, mask);
    return Value::boolean(true);
}

}  // namespace

namespace lib {

void installDrawing(Vm& vm) {
    Object* proto = vm.protos().movieClip;
    vm.defineNative(proto, "clear", mcClear);
    vm.defineNative(proto, "lineStyle", mcLineStyle);
    vm.defineNative(proto, "lineGradientStyle", mcLineGradientStyle);
    vm.defineNative(proto, "beginFill", mcBeginFill);
    vm.defineNative(proto, "beginGradientFill", mcBeginGradientFill);
    vm.defineNative(proto, "moveTo", mcMoveTo);
    vm.defineNative(proto, "lineTo", mcLineTo);
    vm.defineNative(proto, "curveTo", mcCurveTo);
    vm.defineNative(proto, "endFill", mcEndFill);
    vm.defineNative(proto, "setMask", mcSetMask);
}

}  // namespace lib
}  // namespace zd::avm1
