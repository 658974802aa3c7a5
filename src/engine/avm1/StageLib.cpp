// Stage: the movie's view of the player's window, and the players' devices the movie may
// ask for (camera, microphone, screen readers, text renderer).

#include <cctype>

#include "engine/avm1/Library.h"
#include "engine/avm1/Vm.h"

namespace zd::avm1 {
namespace {

constexpr const char* kScaleModes[] = {"showAll", "noBorder", "exactFit", "noScale"};

bool sameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

bool noScale(Vm& vm) {
    return vm.stageSettings().scaleMode == "noScale";
}

Value stageWidth(Vm& vm, const CallInfo&) {
    return Value(vm.host().stageSize(noScale(vm))[0]);
}

Value stageHeight(Vm& vm, const CallInfo&) {
    return Value(vm.host().stageSize(noScale(vm))[1]);
}

Value scaleModeGet(Vm& vm, const CallInfo&) {
    return Value(vm.intern(vm.stageSettings().scaleMode));
}

Value scaleModeSet(Vm& vm, const CallInfo& c) {
    // Only the four modes take; anything else leaves the mode as it was.
    const std::string asked(vm.toString(c.arg(0))->view());
    for (const char* mode : kScaleModes) {
        if (sameIgnoringCase(asked, mode)) {
            vm.stageSettings().scaleMode = mode;
        }
    }
    return Value();
}

Value alignGet(Vm& vm, const CallInfo&) {
    return Value(vm.intern(vm.stageSettings().align));
}

Value alignSet(Vm& vm, const CallInfo& c) {
    // The letters count in any order and case; top wins over bottom, left over right.
    bool top = false, bottom = false, left = false, right = false;
    for (const char ch : vm.toString(c.arg(0))->view()) {
        switch (std::toupper(static_cast<unsigned char>(ch))) {
            case 'T':
                top = true;
                break;
            case 'B':
                bottom = true;
                break;
            case 'L':
                left = true;
                break;
            case 'R':
                right = true;
                break;
            default:
                break;
        }
    }
    std::string align;
    if (top || bottom) {
        align += top ? 'T' : 'B';
    }
    if (left || right) {
        align += left ? 'L' : 'R';
    }
    vm.stageSettings().align = align;
    return Value();
}

Value showMenuGet(Vm& vm, const CallInfo&) {
    return Value::boolean(vm.stageSettings().showMenu);
}

Value showMenuSet(Vm& vm, const CallInfo& c) {
    vm.stageSettings().showMenu = vm.toBoolean(c.arg(0));
    return Value();
}

Value displayStateGet(Vm& vm, const CallInfo&) {
    // The movie cannot take the screen over: it always shows in the player's window.
    return Value(vm.intern("normal"));
}

Value ignoreSet(Vm&, const CallInfo&) {
    return Value();
}

Value noDevices(Vm& vm, const CallInfo&) {
    return Value(vm.newArray());
}

Value textRendererMaxLevel(Vm&, const CallInfo&) {
    return Value(4.0);
}

// A capture device class: no device is ever there, so get() answers null and names is empty.
void defineDevice(Vm& vm, const char* name) {
    FunctionObject* cls = lib::defineClass(vm, name, lib::returnsThis, vm.newObject());
    vm.defineNative(cls, "get", lib::returnsNull);
    vm.defineAccessor(cls, "names", noDevices, ignoreSet, kDontEnum);
}

}  // namespace

namespace lib {

void installStage(Vm& vm) {
    Object* stage = makeBroadcaster(vm, "Stage");
    vm.defineAccessor(stage, "width", stageWidth, ignoreSet, kDontEnum);
    vm.defineAccessor(stage, "height", stageHeight, ignoreSet, kDontEnum);
    vm.defineAccessor(stage, "scaleMode", scaleModeGet, scaleModeSet, kDontEnum);
    vm.defineAccessor(stage, "align", alignGet, alignSet, kDontEnum);
    vm.defineAccessor(stage, "showMenu", showMenuGet, showMenuSet, kDontEnum);
    vm.defineAccessor(stage, "displayState", displayStateGet, ignoreSet, kDontEnum);
}

void installDevices(Vm& vm) {
    defineDevice(vm, "Camera");
    defineDevice(vm, "Microphone");
    Object* accessibility = vm.newObject();
    vm.define(vm.global(), "Accessibility", Value(accessibility), kDontEnum);
    vm.defineNative(accessibility, "isActive", returnsFalse);
    vm.defineNative(accessibility, "updateProperties", returnsNothing);
    Object* text = packageObject(vm, "flash.text");
    FunctionObject* renderer = defineClass(vm, "", returnsThis, vm.newObject());
    vm.define(text, "TextRenderer", Value(renderer), kDontEnum);
    vm.defineAccessor(renderer, "maxLevel", textRendererMaxLevel, ignoreSet, kDontEnum);
    vm.defineNative(renderer, "setAdvancedAntialiasingTable", returnsNothing);
}

}  // namespace lib
}  // namespace zd::avm1
