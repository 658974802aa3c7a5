// The script side of display objects: display properties by name, children as members, and
// the MovieClip methods. Everything goes through the Host by id.

#include <algorithm>
#include <array>
#include <cmath>
#include <iterator>
#include <optional>

#include "engine/avm1/Library.h"
#include "engine/avm1/PropertyValues.h"
#include "engine/avm1/Strings.h"
#include "engine/avm1/Vm.h"

namespace zd::avm1 {

namespace {

const char* const kPropertyNames[kDisplayPropertyCount] = {
    "_x",           "_y",           "_xscale",       "_yscale",       "_currentframe",
    "_totalframes", "_alpha",       "_visible",      "_width",        "_height",
    "_rotation",    "_target",      "_framesloaded", "_name",         "_droptarget",
    "_url",         "_highquality", "_focusrect",    "_soundbuftime", "_quality",
    "_xmouse",      "_ymouse",
};

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i];
        char y = b[i];
        if (x >= 'A' && x <= 'Z') {
            x = static_cast<char>(x - 'A' + 'a');
        }
        if (y >= 'A' && y <= 'Z') {
            y = static_cast<char>(y - 'A' + 'a');
        }
        if (x != y) {
            return false;
        }
    }
    return true;
}

int displayPropertyIndex(std::string_view name) {
    if (name.size() < 2 || name[0] != '_') {
        return -1;
    }
    for (int i = 0; i < kDisplayPropertyCount; ++i) {
        if (equalsIgnoreCase(name, kPropertyNames[i])) {
            return i;
        }
    }
    return -1;
}

Value fromDisplay(Vm& vm, const DisplayValue& v) {
    if (const double* d = std::get_if<double>(&v)) {
        return Value(*d);
    }
    if (const bool* b = std::get_if<bool>(&v)) {
        return Value::boolean(*b);
    }
    if (const std::string* s = std::get_if<std::string>(&v)) {
        return Value(vm.str(*s));
    }
    return Value();
}

// The clip a MovieClip method runs on, or none.
DisplayId clipOf(const CallInfo& c) {
    Object* o = c.thisObject();
    return o != nullptr && o->kind() == ObjectKind::Clip ? static_cast<ClipObject*>(o)->id
                                                         : kNoDisplay;
}

Value clipValue(Vm& vm, DisplayId id) {
    Object* o = vm.clipObject(id);
    return o ? Value(o) : Value();
}

// A number goes by its value, anything else by its text (a number or a label).
void gotoFrameArg(Vm& vm, DisplayId id, const Value& frame) {
    std::optional<int> to;
    if (frame.isNumber()) {
        to = goToFrameNumber(frame.number());
    } else {
        std::string label = vm.toStdString(frame);
        // "path:frame" names a frame of another clip.
        if (const std::size_t colon = label.rfind(':'); colon != std::string::npos) {
            const std::string path = label.substr(0, colon);
            label = label.substr(colon + 1);
            if (!path.empty()) {
                id = vm.resolvePath(id, path);
                if (id == kNoDisplay) {
                    return;
                }
            }
        }
        const double n = stringToNumber(label, 7);
        if (!std::isnan(n)) {
            to = goToFrameNumber(std::trunc(std::clamp(n, -1e9, 1e9)));
        } else {
            to = vm.host().labelFrame(id, label);
        }
    }
    if (!to) {
        return;
    }
    vm.host().gotoFrame(id, *to);
}

Value mcPlay(Vm& vm, const CallInfo& c) {
    if (DisplayId id = clipOf(c)) {
        vm.host().setPlaying(id, true);
    }
    return Value();
}

Value mcStop(Vm& vm, const CallInfo& c) {
    if (DisplayId id = clipOf(c)) {
        vm.host().setPlaying(id, false);
    }
    return Value();
}

Value mcNextFrame(Vm& vm, const CallInfo& c) {
    if (DisplayId id = clipOf(c)) {
        vm.host().nextFrame(id);
    }
    return Value();
}

Value mcPrevFrame(Vm& vm, const CallInfo& c) {
    if (DisplayId id = clipOf(c)) {
        vm.host().prevFrame(id);
    }
    return Value();
}

Value mcGotoAndPlay(Vm& vm, const CallInfo& c) {
    if (DisplayId id = clipOf(c); id != kNoDisplay && c.count() > 0) {
        gotoFrameArg(vm, id, c.arg(c.count() > 1 ? 1 : 0));
        vm.host().setPlaying(id, true);
    }
    return Value();
}

Value mcGotoAndStop(Vm& vm, const CallInfo& c) {
    if (DisplayId id = clipOf(c); id != kNoDisplay && c.count() > 0) {
        gotoFrameArg(vm, id, c.arg(c.count() > 1 ? 1 : 0));
        vm.host().setPlaying(id, false);
    }
    return Value();
}

void copyInitObject(Vm& vm, DisplayId id, const Value& init) {
    Object* from = init.asObject();
    Object* to = vm.clipObject(id);
    if (from == nullptr || to == nullptr) {
        return;
    }
    for (String* name : vm.enumerate(from)) {
        vm.set(Value(to), name, vm.get(init, name));
    }
}

// Depths wrap as 32-bit integers do (4294967297 is depth 1).
int depthArg(Vm& vm, const Value& v) {
    const double d = vm.toNumber(v);
    if (!std::isfinite(d)) {
        return 0;
    }
    const double wrapped = std::fmod(std::trunc(d), 4294967296.0);
    const auto bits = static_cast<std::uint32_t>(static_cast<std::int64_t>(wrapped));
    return static_cast<int>(bits);
}

Value mcAttachMovie(Vm& vm, const CallInfo& c) {
    DisplayId id = clipOf(c);
    if (id == kNoDisplay || c.count() < 3) {
        return Value();
    }
    // Converted in the order given: each may call a script.
    const std::string exportName = vm.toStdString(c.arg(0));
    const std::string name = vm.toStdString(c.arg(1));
    const int depth = depthArg(vm, c.arg(2));
    const DisplayId made = vm.host().attach(id, exportName, name, depth);
    if (made == kNoDisplay) {
        return Value();
    }
    copyInitObject(vm, made, c.arg(3));
    vm.host().clipMade(made);
    return clipValue(vm, made);
}

Value mcDuplicateMovieClip(Vm& vm, const CallInfo& c) {
    DisplayId id = clipOf(c);
    if (id == kNoDisplay || c.count() < 2) {
        return Value();
    }
    // The name first, then the depth: each may call a script.
    const std::string name = vm.toStdString(c.arg(0));
    const int depth = depthArg(vm, c.arg(1));
    const DisplayId made = vm.host().duplicate(id, name, depth);
    if (made == kNoDisplay) {
        return Value();
    }
    copyInitObject(vm, made, c.arg(2));
    vm.host().clipMade(made);
    return clipValue(vm, made);
}

Value mcRemoveMovieClip(Vm& vm, const CallInfo& c) {
    if (DisplayId id = clipOf(c)) {
        vm.host().remove(id);
    }
    return Value();
}

Value mcCreateEmptyMovieClip(Vm& vm, const CallInfo& c) {
    DisplayId id = clipOf(c);
    if (id == kNoDisplay || c.count() < 2) {
        return Value();
    }
    const std::string name = vm.toStdString(c.arg(0));  // before the depth's valueOf
    const int depth = depthArg(vm, c.arg(1));
    const DisplayId made = vm.host().createEmpty(id, name, depth);
    if (made == kNoDisplay) {
        return Value();
    }
    vm.host().clipMade(made);
    return clipValue(vm, made);
}

Value mcCreateTextField(Vm& vm, const CallInfo& c) {
    DisplayId id = clipOf(c);
    if (id == kNoDisplay || c.count() < 6) {
        return Value();
    }
    // Converted in the order given: each may call a script.
    const std::string name = vm.toStdString(c.arg(0));
    const int depth = depthArg(vm, c.arg(1));
    std::array<double, 4> box{};
    for (std::size_t i = 0; i < box.size(); ++i) {
        box[i] = vm.toNumber(c.arg(2 + i));
    }
    const DisplayId made =
        vm.host().createTextField(id, name, depth, box[0], box[1], box[2], box[3]);
    return vm.swfVersion() >= 8 ? clipValue(vm, made) : Value();
}

Value mcGetDepth(Vm& vm, const CallInfo& c) {
    if (DisplayId id = clipOf(c)) {
        if (auto d = vm.host().depth(id)) {
            return Value(static_cast<double>(*d));
        }
    }
    return Value();
}

Value mcGetSwfVersion(Vm& vm, const CallInfo& c) {
    const auto info = vm.host().movieInfo(clipOf(c));
    return info ? Value(static_cast<double>(info->version)) : Value(-1.0);
}

Value mcGetBytesLoaded(Vm& vm, const CallInfo& c) {
    const auto info = vm.host().movieInfo(clipOf(c));
    return info ? Value(info->bytesLoaded) : Value();
}

Value mcGetBytesTotal(Vm& vm, const CallInfo& c) {
    const auto info = vm.host().movieInfo(clipOf(c));
    return info ? Value(info->bytesTotal) : Value();
}

Value mcSwapDepths(Vm& vm, const CallInfo& c) {
    DisplayId id = clipOf(c);
    if (id == kNoDisplay || c.count() == 0) {
        return Value();
    }
    const Value t = c.arg(0);
    if (t.isNumber()) {
        vm.host().swapDepths(id, depthArg(vm, t));
        return Value();
    }
    // A path names the other clip from this one.
    const DisplayId other = vm.displayOf(t, t.isString() ? id : vm.host().parent(id));
    if (other != kNoDisplay && vm.host().parent(other) == vm.host().parent(id)) {
        if (auto d = vm.host().depth(other)) {
            vm.host().swapDepths(id, *d);
        }
    }
    return Value();
}

Value mcGetNextHighestDepth(Vm& vm, const CallInfo& c) {
    if (DisplayId id = clipOf(c)) {
        return Value(static_cast<double>(vm.host().nextHighestDepth(id)));
    }
    return Value();
}

Value mcGetInstanceAtDepth(Vm& vm, const CallInfo& c) {
    DisplayId id = clipOf(c);
    if (id == kNoDisplay || c.count() == 0) {
        return Value();
    }
    return clipValue(vm, vm.host().instanceAtDepth(id, depthArg(vm, c.arg(0))));
}

UrlMethod methodArg(Vm& vm, const Value& v) {
    if (v.isUndefined()) {
        return UrlMethod::None;
    }
    const std::string m = toLowerCase(vm.toStdString(v));
    return m == "get" ? UrlMethod::Get : m == "post" ? UrlMethod::Post : UrlMethod::None;
}

Value mcLoadMovie(Vm& vm, const CallInfo& c) {
    if (DisplayId id = clipOf(c); id != kNoDisplay && c.count() > 0) {
        vm.host().loadMovie(id, vm.toStdString(c.arg(0)), methodArg(vm, c.arg(1)), "");
    }
    return Value();
}

Value mcUnloadMovie(Vm& vm, const CallInfo& c) {
    if (DisplayId id = clipOf(c)) {
        vm.host().unloadMovie(id);
    }
    return Value();
}

Value mcLoadVariables(Vm& vm, const CallInfo& c) {
    if (DisplayId id = clipOf(c); id != kNoDisplay && c.count() > 0) {
        vm.host().loadVariables(id, vm.toStdString(c.arg(0)), methodArg(vm, c.arg(1)), "");
    }
    return Value();
}

Value mcGetUrl(Vm& vm, const CallInfo& c) {
    if (c.count() > 0) {
        vm.host().getUrl(vm.toStdString(c.arg(0)), c.count() > 1 ? vm.toStdString(c.arg(1)) : "",
                         methodArg(vm, c.arg(2)), "");
    }
    return Value();
}

Value mcStartDrag(Vm& vm, const CallInfo& c) {
    DisplayId id = clipOf(c);
    if (id == kNoDisplay) {
        return Value();
    }
    std::optional<std::array<double, 4>> bounds;
    if (c.count() >= 5) {
        bounds = std::array<double, 4>{vm.toNumber(c.arg(1)), vm.toNumber(c.arg(2)),
                                       vm.toNumber(c.arg(3)), vm.toNumber(c.arg(4))};
    }
    vm.host().startDrag(id, vm.toBoolean(c.arg(0)), bounds);
    return Value();
}

Value mcStopDrag(Vm& vm, const CallInfo&) {
    vm.host().stopDrag();
    return Value();
}

// An empty clip's bounds: every side at the largest coordinate twips hold (2^27 - 1). Mapped
// into another space under the widened rule it comes out rounded up to 2^27.
constexpr double kNoBounds = 134217727 / 20.0;
constexpr double kNoBoundsWidened = 134217728 / 20.0;

Value boundsObject(Vm& vm, const CallInfo& c, bool strokes) {
    const DisplayId id = clipOf(c);
    if (id == kNoDisplay || !vm.host().exists(id)) {
        return Value();
    }
    DisplayId space = id;
    if (c.count() > 0) {
        space = vm.displayOf(c.arg(0), id);
        if (space == kNoDisplay) {
            return Value();
        }
    }
    const auto b = vm.host().bounds(id, space, strokes);
    const bool widened = vm.emptyBoundsWidened();
    const double none = widened && space != id ? kNoBoundsWidened : kNoBounds;
    Vm::NoCollect hold(vm);
    const std::array<double, 4> r = b ? *b : std::array<double, 4>{none, none, none, none};
    Object* o = vm.newObject(vm.protos().object);
    vm.set(Value(o), "xMin", Value(r[0]));
    vm.set(Value(o), "xMax", Value(r[2]));
    vm.set(Value(o), "yMin", Value(r[1]));
    vm.set(Value(o), "yMax", Value(r[3]));
    return Value(o);
}

Value mcGetBounds(Vm& vm, const CallInfo& c) {
    return boundsObject(vm, c, true);
}

Value mcGetRect(Vm& vm, const CallInfo& c) {
    return boundsObject(vm, c, false);
}

// Moves the x and y of the point object given between the clip's coordinates and the stage's.
Value mapPointArg(Vm& vm, const CallInfo& c, bool toStage) {
    const DisplayId id = clipOf(c);
    Object* point = c.count() > 0 ? c.arg(0).asObject() : nullptr;
    if (id == kNoDisplay || point == nullptr) {
        return Value();
    }
    // Only a point's own numbers move: anything else in x or y, or an inherited one, leaves
    // the point as it is.
    if (!vm.has(point, vm.intern("x"), true) || !vm.has(point, vm.intern("y"), true)) {
        return Value();
    }
    const Value vx = vm.get(Value(point), "x");
    const Value vy = vm.get(Value(point), "y");
    if (!vx.isNumber() || !vy.isNumber()) {
        return Value();
    }
    const double x = vx.number();
    const double y = vy.number();
    if (auto p = vm.host().mapPoint(id, x, y, toStage)) {
        vm.set(Value(point), "x", Value((*p)[0]));
        vm.set(Value(point), "y", Value((*p)[1]));
    }
    return Value();
}

Value mcLocalToGlobal(Vm& vm, const CallInfo& c) {
    return mapPointArg(vm, c, true);
}

Value mcGlobalToLocal(Vm& vm, const CallInfo& c) {
    return mapPointArg(vm, c, false);
}

Value mcHitTest(Vm& vm, const CallInfo& c) {
    const DisplayId id = clipOf(c);
    if (id == kNoDisplay || !vm.host().exists(id) || c.count() == 0) {
        return Value::boolean(false);
    }
    if (c.count() >= 2) {
        const double x = vm.toNumber(c.arg(0));
        const double y = vm.toNumber(c.arg(1));
        const bool shape = c.count() >= 3 && vm.toBoolean(c.arg(2));
        return Value::boolean(std::isfinite(x) && std::isfinite(y) &&
                              vm.host().hitTest(id, x, y, shape));
    }
    // Another object: whether their bounds on the stage overlap. An empty path names none.
    const Value& target = c.arg(0);
    if (target.isString() && target.string()->view().empty()) {
        return Value::boolean(false);
    }
    const DisplayId other = vm.displayOf(target, id);
    if (other == kNoDisplay) {
        return Value::boolean(false);
    }
    const auto a = vm.host().bounds(id, kNoDisplay, true);
    const auto b = vm.host().bounds(other, kNoDisplay, true);
    if (!a || !b) {
        return Value::boolean(false);
    }
    return Value::boolean((*a)[0] <= (*b)[2] && (*b)[0] <= (*a)[2] && (*a)[1] <= (*b)[3] &&
                          (*b)[1] <= (*a)[3]);
}

// The blend modes by name, in PlaceObject3's numbering from 1.
constexpr const char* kBlendModeNames[] = {
    "normal", "layer",    "multiply", "screen", "lighten", "darken",  "difference",
    "add",    "subtract", "invert",   "alpha",  "erase",   "overlay", "hardlight",
};
constexpr int kBlendModeCount = static_cast<int>(std::size(kBlendModeNames));

Value mcBlendModeGet(Vm& vm, const CallInfo& c) {
    const DisplayId id = clipOf(c);
    const auto mode = id != kNoDisplay ? vm.host().blendMode(id) : std::nullopt;
    if (!mode) {
        return Value();
    }
    const int n = *mode >= 1 && *mode <= kBlendModeCount ? *mode : 1;
    return Value(vm.str(std::string_view(kBlendModeNames[n - 1])));
}

// Names must match exactly and numbers count modulo 256; anything else unknown leaves the
// mode as it was, while null and undefined reset it.
Value mcBlendModeSet(Vm& vm, const CallInfo& c) {
    const DisplayId id = clipOf(c);
    if (id == kNoDisplay) {
        return Value();
    }
    const Value v = c.arg(0);
    int mode = 0;
    if (v.isNullish()) {
        mode = 1;
    } else if (v.isNumber()) {
        mode = vm.toInt32(v) & 0xff;
    } else if (v.isString()) {
        const std::string_view name = v.string()->view();
        for (int i = 0; i < kBlendModeCount; ++i) {
            if (name == kBlendModeNames[i]) {
                mode = i + 1;
            }
        }
    }
    if (mode >= 1 && mode <= kBlendModeCount) {
        vm.host().setBlendMode(id, static_cast<std::uint8_t>(mode));
    }
    return Value();
}

Value mcScrollRectGet(Vm& vm, const CallInfo& c) {
    const DisplayId id = clipOf(c);
    const auto r = id != kNoDisplay ? vm.host().scrollRect(id) : std::nullopt;
    if (!r) {
        return Value();
    }
    Vm::NoCollect hold(vm);
    const Value args[] = {Value((*r)[0]), Value((*r)[1]), Value((*r)[2]), Value((*r)[3])};
    return vm.construct(vm.get(Value(lib::packageObject(vm, "flash.geom")), "Rectangle"), args);
}

// Any object with x, y, width and height sets the rectangle (as numbers, a missing one 0);
// anything else takes it away.
Value mcScrollRectSet(Vm& vm, const CallInfo& c) {
    const DisplayId id = clipOf(c);
    if (id == kNoDisplay) {
        return Value();
    }
    const Value v = c.arg(0);
    if (!v.isObject()) {
        vm.host().setScrollRect(id, std::nullopt);
        return Value();
    }
    Host::ScrollRect r{};
    const char* names[] = {"x", "y", "width", "height"};
    for (std::size_t i = 0; i < r.size(); ++i) {
        const double d = vm.toNumber(vm.get(v, names[i]));
        r[i] = std::isfinite(d) ? d : 0;
    }
    vm.host().setScrollRect(id, r);
    return Value();
}

Value mcOpaqueBackgroundGet(Vm& vm, const CallInfo& c) {
    const DisplayId id = clipOf(c);
    const auto rgb = id != kNoDisplay ? vm.host().opaqueBackground(id) : std::nullopt;
    return rgb ? Value(static_cast<double>(*rgb)) : Value();
}

Value mcOpaqueBackgroundSet(Vm& vm, const CallInfo& c) {
    const DisplayId id = clipOf(c);
    if (id == kNoDisplay) {
        return Value();
    }
    const Value v = c.arg(0);
    vm.host().setOpaqueBackground(
        id, v.isNullish() ? std::nullopt
                          : std::optional(static_cast<std::uint32_t>(vm.toInt32(v)) & 0xffffff));
    return Value();
}

Value mcCacheAsBitmapGet(Vm& vm, const CallInfo& c) {
    const DisplayId id = clipOf(c);
    return Value::boolean(id != kNoDisplay && vm.host().cacheAsBitmap(id));
}

Value mcCacheAsBitmapSet(Vm& vm, const CallInfo& c) {
    if (const DisplayId id = clipOf(c)) {
        vm.host().setCacheAsBitmap(id, vm.toBoolean(c.arg(0)));
    }
    return Value();
}

Value movieClipConstructor(Vm&, const CallInfo& c) {
    return c.thisValue;
}

}  // namespace

bool ClipObject::getSpecial(Vm& vm, String* key, Value& out) {
    Host& host = vm.host();
    const std::string_view name = key->view();
    if (!name.empty() && name[0] == '_') {
        const int index = displayPropertyIndex(name);
        if (index >= 0) {
            if (!host.exists(id)) {
                return false;
            }
            // A child named like a property hides the property from reads (not from writes).
            if (const DisplayId child = host.child(id, name, !vm.caseSensitive());
                child != kNoDisplay) {
                out = clipValue(vm, child);
                return true;
            }
            const auto p = static_cast<DisplayProperty>(index);
            const DisplayValue v = host.property(id, p);
            // An object that never had its own focus flag reads null.
            out = p == DisplayProperty::FocusRect && std::holds_alternative<std::monostate>(v)
                      ? Value::null()
                      : fromDisplay(vm, v);
            return true;
        }
        if (equalsIgnoreCase(name, "_root")) {
            out = clipValue(vm, host.exists(id) ? host.rootOf(id) : host.root());
            return true;
        }
        if (equalsIgnoreCase(name, "_parent")) {
            if (!host.exists(id)) {
                return false;
            }
            // A level has no parent, whatever the prototypes say.
            const DisplayId p = host.parent(id);
            out = p != kNoDisplay ? clipValue(vm, p) : Value();
            return true;
        }
        if (equalsIgnoreCase(name, "_global") && vm.swfVersion() >= 6) {
            out = Value(vm.global());
            return true;
        }
        // Level names ignore case only where all names do; a level that is not there reads
        // undefined rather than anything the prototypes hold.
        if (const auto level = vm.levelName(name)) {
            const DisplayId l = *level >= 0 ? host.level(static_cast<int>(*level)) : kNoDisplay;
            out = l != kNoDisplay ? clipValue(vm, l) : Value();
            return true;
        }
    }
    if (props_.find(key) != nullptr || !host.exists(id)) {
        return false;
    }
    const DisplayId child = host.child(id, name, !vm.caseSensitive());
    if (child == kNoDisplay) {
        return false;
    }
    out = clipValue(vm, child);
    return true;
}

bool ClipObject::setSpecial(Vm& vm, String* key, const Value& v) {
    const int index = displayPropertyIndex(key->view());
    if (index < 0) {
        return false;
    }
    if (vm.host().exists(id)) {
        const auto p = static_cast<DisplayProperty>(index);
        vm.host().setProperty(id, p, toDisplayValue(vm, p, v, id));
    }
    return true;
}

void ClipObject::specialNames(Vm& vm, std::vector<String*>& names) {
    if (!vm.host().exists(id)) {
        return;
    }
    for (const std::string& n : vm.host().childNames(id)) {
        if (!n.empty()) {
            names.push_back(vm.intern(n));
        }
    }
}

namespace lib {

void installMovieClip(Vm& vm) {
    Object* proto = vm.newObject();
    vm.protos().movieClip = proto;
    defineClass(vm, "MovieClip", movieClipConstructor, proto);
    vm.defineNative(proto, "play", mcPlay);
    vm.defineNative(proto, "stop", mcStop);
    vm.defineNative(proto, "nextFrame", mcNextFrame);
    vm.defineNative(proto, "prevFrame", mcPrevFrame);
    vm.defineNative(proto, "gotoAndPlay", mcGotoAndPlay);
    vm.defineNative(proto, "gotoAndStop", mcGotoAndStop);
    vm.defineNative(proto, "attachMovie", mcAttachMovie);
    vm.defineNative(proto, "duplicateMovieClip", mcDuplicateMovieClip);
    vm.defineNative(proto, "removeMovieClip", mcRemoveMovieClip);
    vm.defineNative(proto, "createEmptyMovieClip", mcCreateEmptyMovieClip);
    vm.defineNative(proto, "createTextField", mcCreateTextField);
    vm.defineNative(proto, "getDepth", mcGetDepth, kDontEnum | kVersion6);
    vm.defineNative(proto, "swapDepths", mcSwapDepths);
    vm.defineNative(proto, "getNextHighestDepth", mcGetNextHighestDepth);
    vm.defineNative(proto, "getSWFVersion", mcGetSwfVersion);
    vm.defineNative(proto, "getBytesLoaded", mcGetBytesLoaded);
    vm.defineNative(proto, "getBytesTotal", mcGetBytesTotal);
    vm.defineNative(proto, "getInstanceAtDepth", mcGetInstanceAtDepth);
    vm.defineNative(proto, "loadMovie", mcLoadMovie);
    vm.defineNative(proto, "unloadMovie", mcUnloadMovie);
    vm.defineNative(proto, "loadVariables", mcLoadVariables);
    vm.defineNative(proto, "getURL", mcGetUrl);
    vm.defineNative(proto, "startDrag", mcStartDrag);
    vm.defineNative(proto, "stopDrag", mcStopDrag);
    vm.defineNative(proto, "getBounds", mcGetBounds);
    vm.defineNative(proto, "getRect", mcGetRect);
    vm.defineNative(proto, "localToGlobal", mcLocalToGlobal);
    vm.defineNative(proto, "globalToLocal", mcGlobalToLocal);
    vm.defineNative(proto, "hitTest", mcHitTest);
    vm.define(proto, "useHandCursor", Value::boolean(true));
    vm.define(proto, "enabled", Value::boolean(true));
    vm.defineAccessor(proto, "blendMode", mcBlendModeGet, mcBlendModeSet, kDontEnum);
    vm.defineAccessor(proto, "scrollRect", mcScrollRectGet, mcScrollRectSet, kDontEnum);
    vm.defineAccessor(proto, "opaqueBackground", mcOpaqueBackgroundGet, mcOpaqueBackgroundSet,
                      kDontEnum);
    vm.defineAccessor(proto, "cacheAsBitmap", mcCacheAsBitmapGet, mcCacheAsBitmapSet, kDontEnum);

    // Text fields and buttons share the display properties; their own methods come with the
    // display list.
    vm.protos().textField = vm.newObject();
    vm.protos().button = vm.newObject();
    defineClass(vm, "Button", movieClipConstructor, vm.protos().button);
    vm.define(vm.protos().button, "useHandCursor", Value::boolean(true));
    // Listed by for-in, unlike the clip's.
    vm.define(vm.protos().button, "enabled", Value::boolean(true), 0);
    installTextField(vm);
    installDrawing(vm);
}

}  // namespace lib
}  // namespace zd::avm1
