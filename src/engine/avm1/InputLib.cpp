// Key, Mouse and Selection: what scripts read of the keyboard, the mouse and the focus.

#include "engine/avm1/InputLib.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

#include "engine/avm1/Library.h"
#include "engine/avm1/TextFieldHost.h"
#include "engine/avm1/Vm.h"

namespace zd::avm1 {

namespace {

bool callable(const Value& v) {
    return v.isObject() && v.object()->isFunction();
}

Value focusValue(Vm& vm, DisplayId id) {
    if (id == kNoDisplay || !vm.host().exists(id)) {
        return Value::null();
    }
    return Value(vm.clipObject(id));
}

// --- Key ---

Value keyIsDown(Vm& vm, const CallInfo& c) {
    return Value::boolean(vm.input().isDown(vm.toInt32(c.arg(0))));
}

Value keyGetCode(Vm& vm, const CallInfo&) {
    return Value(static_cast<double>(vm.input().lastCode));
}

Value keyGetAscii(Vm& vm, const CallInfo&) {
    return Value(static_cast<double>(vm.input().lastAscii));
}

Value keyIsToggled(Vm& vm, const CallInfo& c) {
    return Value::boolean(vm.input().isToggled(vm.toInt32(c.arg(0))));
}

Value keyIsAccessible(Vm&, const CallInfo&) {
    return Value::boolean(false);
}

// --- Mouse ---

Value mouseHide(Vm& vm, const CallInfo&) {
    const bool wasShown = !vm.input().mouseHidden;
    vm.input().mouseHidden = true;
    return Value(wasShown ? 1.0 : 0.0);
}

Value mouseShow(Vm& vm, const CallInfo&) {
    const bool wasShown = !vm.input().mouseHidden;
    vm.input().mouseHidden = false;
    return Value(wasShown ? 1.0 : 0.0);
}

// --- Selection ---

Value selectionGetFocus(Vm& vm, const CallInfo&) {
    const DisplayId f = vm.input().focus;
    if (f == kNoDisplay || !vm.host().exists(f)) {
        return Value::null();
    }
    return Value(vm.str(vm.dotPath(f)));
}

// Buttons and text fields take the focus; a clip when it asks (focusEnabled) or acts as a
// button; the root never.
bool focusable(Vm& vm, DisplayId id) {
    if (id == vm.host().root()) {
        return false;  // the movie itself never holds the focus
    }
    if (vm.host().kind(id) != Host::Kind::MovieClip) {
        return true;
    }
    Object* clip = vm.clipObject(id);
    if (clip == nullptr) {
        return false;
    }
    if (vm.toBoolean(vm.get(Value(clip), "focusEnabled"))) {
        return true;
    }
    for (const char* handler : {"onPress", "onRelease", "onReleaseOutside", "onRollOver",
                                "onRollOut", "onDragOver", "onDragOut"}) {
        if (callable(vm.get(Value(clip), handler))) {
            return true;
        }
    }
    return false;
}

Value selectionSetFocus(Vm& vm, const CallInfo& c) {
    const Value target = c.arg(0);
    DisplayId id = kNoDisplay;
    if (!target.isNullish()) {
        id = vm.displayOf(target, vm.currentTarget());
        if (id == kNoDisplay || !focusable(vm, id)) {
            return Value::boolean(false);
        }
    }
    if (vm.input().scriptFocusMoves.size() < InputState::kMaxScriptFocusMoves) {
        vm.input().scriptFocusMoves.emplace_back(vm.input().focus, id);
    }
    moveFocus(vm, id);
    // A field given the focus by a script has all its text selected, even when it had it.
    if (TextFieldHost* fields = vm.host().textFields();
        fields != nullptr && id != kNoDisplay && vm.input().focus == id &&
        vm.host().kind(id) == Host::Kind::TextField) {
        fields->setSelection(id, 0, std::numeric_limits<int>::max());
    }
    return Value::boolean(true);
}

// The focused text field's selection, or nothing when no text field has the focus.
std::optional<std::array<int, 2>> focusedSelection(Vm& vm) {
    const DisplayId f = vm.input().focus;
    TextFieldHost* fields = vm.host().textFields();
    if (f == kNoDisplay || fields == nullptr || vm.host().kind(f) != Host::Kind::TextField) {
        return std::nullopt;
    }
    return fields->selection(f);
}

Value selectionBegin(Vm& vm, const CallInfo&) {
    const auto s = focusedSelection(vm);
    return Value(s ? static_cast<double>((*s)[0]) : -1.0);
}

Value selectionEnd(Vm& vm, const CallInfo&) {
    const auto s = focusedSelection(vm);
    return Value(s ? static_cast<double>((*s)[1]) : -1.0);
}

Value selectionSetSelection(Vm& vm, const CallInfo& c) {
    const DisplayId f = vm.input().focus;
    TextFieldHost* fields = vm.host().textFields();
    if (f != kNoDisplay && fields != nullptr && vm.host().exists(f) &&
        vm.host().kind(f) == Host::Kind::TextField) {
        fields->setSelection(f, vm.toInt32(c.arg(0)), vm.toInt32(c.arg(1)));
    }
    return Value();
}

DisplayId displayOfThis(const CallInfo& c) {
    Object* o = c.thisObject();
    return o != nullptr && o->kind() == ObjectKind::Clip ? static_cast<ClipObject*>(o)->id
                                                         : kNoDisplay;
}

}  // namespace

Value tabIndexGet(Vm& vm, const CallInfo& c) {
    const auto& indexes = vm.input().tabIndexes;
    const auto it = indexes.find(displayOfThis(c));
    return it != indexes.end() ? Value(it->second) : Value();
}

Value tabIndexSet(Vm& vm, const CallInfo& c) {
    const DisplayId id = displayOfThis(c);
    if (id == kNoDisplay) {
        return Value();
    }
    auto& indexes = vm.input().tabIndexes;
    const Value v = c.arg(0);
    if (v.isUndefined()) {
        indexes.erase(id);
        return Value();
    }
    if (vm.host().exists(id) && vm.host().kind(id) == Host::Kind::TextField) {
        indexes[id] = static_cast<double>(static_cast<std::uint32_t>(vm.toInt32(v)));
        return Value();
    }
    const double d = std::trunc(vm.toNumber(v));
    indexes[id] = d >= -2147483648.0 && d <= 2147483647.0 ? d : -2147483648.0;
    return Value();
}

void moveFocus(Vm& vm, DisplayId id) {
    InputState& in = vm.input();
    in.focusShown = true;
    ++in.focusMoves;
    DisplayId old = in.focus;
    if (old != kNoDisplay && !vm.host().exists(old)) {
        old = kNoDisplay;
    }
    if (old == id) {
        in.focus = id;
        return;
    }
    in.focus = id;
    // A text field losing the focus keeps no selection: its caret goes back to the start.
    if (old != kNoDisplay && vm.host().kind(old) == Host::Kind::TextField) {
        if (TextFieldHost* fields = vm.host().textFields()) {
            fields->setSelection(old, 0, 0);
        }
    }
    Vm::NoCollect hold(vm);
    const Value oldValue = focusValue(vm, old);
    const Value newValue = focusValue(vm, id);
    if (Object* o = oldValue.asObject()) {
        const Value fn = vm.get(Value(o), "onKillFocus");
        if (callable(fn)) {
            vm.callFromHost(fn, Value(o), std::span<const Value>(&newValue, 1));
        }
    }
    if (Object* o = newValue.asObject()) {
        const Value fn = vm.get(Value(o), "onSetFocus");
        if (callable(fn)) {
            vm.callFromHost(fn, Value(o), std::span<const Value>(&oldValue, 1));
        }
    }
    broadcast(vm, "Selection", "onSetFocus", {oldValue, newValue});
}

void broadcast(Vm& vm, const char* object, const char* message, std::initializer_list<Value> args) {
    Vm::NoCollect hold(vm);
    // Listeners added or removed by a handler count from the next event on. Movies of each
    // realm listen through their own object.
    std::vector<Value> listeners;
    for (Object* global : vm.globals()) {
        const Value target = vm.get(Value(global), object);
        Object* list = vm.get(target, "_listeners").asObject();
        if (list == nullptr) {
            continue;
        }
        const std::uint32_t n = std::min<std::uint32_t>(lib::lengthOf(vm, list), 1u << 16);
        for (std::uint32_t i = 0; i < n; ++i) {
            listeners.push_back(lib::elementAt(vm, list, i));
        }
    }
    String* name = vm.intern(message);
    for (const Value& l : listeners) {
        // A clip that has left the stage hears nothing.
        Object* o = l.asObject();
        if (o != nullptr && o->kind() == ObjectKind::Clip &&
            !vm.host().exists(static_cast<ClipObject*>(o)->id)) {
            continue;
        }
        const Value fn = vm.get(l, name);
        if (callable(fn)) {
            vm.callFromHost(fn, l, std::vector<Value>(args));
        }
    }
}

namespace lib {

Object* makeBroadcaster(Vm& vm, const char* name) {
    Object* o = vm.newObject();
    vm.define(vm.global(), name, Value(o), kDontEnum);
    const Value bc = vm.get(Value(vm.global()), "AsBroadcaster");
    const Value init = vm.get(bc, "initialize");
    if (callable(init)) {
        const Value arg(o);
        vm.call(init, bc, std::span<const Value>(&arg, 1));
    }
    return o;
}

void installInput(Vm& vm) {
    Object* key = makeBroadcaster(vm, "Key");
    vm.defineNative(key, "isDown", keyIsDown);
    vm.defineNative(key, "getCode", keyGetCode);
    vm.defineNative(key, "getAscii", keyGetAscii);
    vm.defineNative(key, "isToggled", keyIsToggled);
    vm.defineNative(key, "isAccessible", keyIsAccessible);
    const struct {
        const char* name;
        int code;
    } kCodes[] = {
        {"ALT", keycode::kAlt},
        {"BACKSPACE", keycode::kBackspace},
        {"CAPSLOCK", keycode::kCapsLock},
        {"CONTROL", keycode::kControl},
        {"DELETEKEY", keycode::kDelete},
        {"DOWN", keycode::kDown},
        {"END", keycode::kEnd},
        {"ENTER", keycode::kEnter},
        {"ESCAPE", keycode::kEscape},
        {"HOME", keycode::kHome},
        {"INSERT", keycode::kInsert},
        {"LEFT", keycode::kLeft},
        {"PGDN", keycode::kPageDown},
        {"PGUP", keycode::kPageUp},
        {"RIGHT", keycode::kRight},
        {"SHIFT", keycode::kShift},
        {"SPACE", keycode::kSpace},
        {"TAB", keycode::kTab},
        {"UP", keycode::kUp},
    };
    for (const auto& k : kCodes) {
        vm.define(key, k.name, Value(static_cast<double>(k.code)),
                  kDontEnum | kDontDelete | kReadOnly);
    }

    // Buttons list it among their properties, clips keep it hidden.
    vm.defineAccessor(vm.protos().button, "tabIndex", tabIndexGet, tabIndexSet);
    vm.defineAccessor(vm.protos().movieClip, "tabIndex", tabIndexGet, tabIndexSet, kDontEnum);

    Object* mouse = makeBroadcaster(vm, "Mouse");
    vm.defineNative(mouse, "hide", mouseHide);
    vm.defineNative(mouse, "show", mouseShow);

    Object* selection = makeBroadcaster(vm, "Selection");
    vm.defineNative(selection, "getFocus", selectionGetFocus);
    vm.defineNative(selection, "setFocus", selectionSetFocus);
    vm.defineNative(selection, "getBeginIndex", selectionBegin);
    vm.defineNative(selection, "getEndIndex", selectionEnd);
    vm.defineNative(selection, "getCaretIndex", selectionEnd);
    vm.defineNative(selection, "setSelection", selectionSetSelection);
}

}  // namespace lib
}  // namespace zd::avm1
