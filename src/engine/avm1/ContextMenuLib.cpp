// ContextMenu and ContextMenuItem: the objects a movie uses to describe its right-click menu.
// The menu itself belongs to the player; here they are plain script objects.

#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

#include "engine/avm1/Library.h"
#include "engine/avm1/Vm.h"

namespace zd::avm1 {
namespace lib {
namespace {

// The built-in entries, in the order they are made (for-in lists them newest first).
constexpr const char* kBuiltInItems[] = {"print", "forward_back", "rewind", "loop",
                                         "play",  "quality",      "zoom",   "save"};

bool callable(const Value& v) {
    return v.isObject() && v.object()->isFunction();
}

Value construct(Vm& vm, const char* className, std::span<const Value> args) {
    return vm.construct(vm.get(Value(vm.global()), className), args);
}

Value contextMenuConstructor(Vm& vm, const CallInfo& c) {
    if (!c.construct) {
        return Value();
    }
    Vm::NoCollect hold(vm);
    vm.set(c.thisValue, "onSelect", c.arg(0));
    Object* builtIn = vm.newObject();
    for (const char* name : kBuiltInItems) {
        vm.set(Value(builtIn), name, Value::boolean(true));
    }
    vm.set(c.thisValue, "builtInItems", Value(builtIn));
    vm.set(c.thisValue, "customItems", Value(vm.newArray()));
    return c.thisValue;
}

Value contextMenuHideBuiltIns(Vm& vm, const CallInfo& c) {
    const Value builtIn = vm.get(c.thisValue, "builtInItems");
    if (builtIn.isObject()) {
        for (const char* name : kBuiltInItems) {
            vm.set(builtIn, name, Value::boolean(false));
        }
    }
    return Value();
}

// A new menu with the same handler, the same built-in switches and copies of the items.
Value contextMenuCopy(Vm& vm, const CallInfo& c) {
    Vm::NoCollect hold(vm);
    const Value onSelect = vm.get(c.thisValue, "onSelect");
    const Value copy = construct(vm, "ContextMenu", std::span<const Value>(&onSelect, 1));
    if (!copy.isObject()) {
        return copy;
    }
    const Value from = vm.get(c.thisValue, "builtInItems");
    const Value to = vm.get(copy, "builtInItems");
    if (from.isObject() && to.isObject()) {
        for (const char* name : kBuiltInItems) {
            vm.set(to, name, vm.get(from, name));
        }
    }
    std::vector<Value> items;
    if (Object* custom = vm.get(c.thisValue, "customItems").asObject()) {
        const std::uint32_t n = std::min<std::uint32_t>(lengthOf(vm, custom), 1u << 16);
        for (std::uint32_t i = 0; i < n; ++i) {
            const Value item = elementAt(vm, custom, i);
            const Value itemCopy = vm.get(item, "copy");
            items.push_back(callable(itemCopy) ? vm.call(itemCopy, item, {}) : item);
        }
    }
    vm.set(copy, "customItems", Value(vm.newArray(items)));
    return copy;
}

Value contextMenuItemConstructor(Vm& vm, const CallInfo& c) {
    if (!c.construct) {
        return Value();
    }
    vm.set(c.thisValue, "caption", c.arg(0));
    vm.set(c.thisValue, "onSelect", c.arg(1));
    // Missing switches take their defaults; given ones are kept as they came.
    vm.set(c.thisValue, "separatorBefore", c.count() > 2 ? c.arg(2) : Value::boolean(false));
    vm.set(c.thisValue, "enabled", c.count() > 3 ? c.arg(3) : Value::boolean(true));
    vm.set(c.thisValue, "visible", c.count() > 4 ? c.arg(4) : Value::boolean(true));
    return c.thisValue;
}

Value contextMenuItemCopy(Vm& vm, const CallInfo& c) {
    Vm::NoCollect hold(vm);
    const Value args[] = {vm.get(c.thisValue, "caption"), vm.get(c.thisValue, "onSelect"),
                          vm.get(c.thisValue, "separatorBefore"), vm.get(c.thisValue, "enabled"),
                          vm.get(c.thisValue, "visible")};
    return construct(vm, "ContextMenuItem", args);
}

}  // namespace

void installContextMenu(Vm& vm) {
    Object* menuProto = vm.newObject();
    defineClass(vm, "ContextMenu", contextMenuConstructor, menuProto);
    vm.defineNative(menuProto, "copy", contextMenuCopy);
    vm.defineNative(menuProto, "hideBuiltInItems", contextMenuHideBuiltIns);

    Object* itemProto = vm.newObject();
    defineClass(vm, "ContextMenuItem", contextMenuItemConstructor, itemProto);
    vm.defineNative(itemProto, "copy", contextMenuItemCopy);
}

}  // namespace lib
}  // namespace zd::avm1
