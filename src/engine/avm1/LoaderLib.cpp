// MovieClipLoader: loads a movie into a clip or a level and tells its listeners how it goes
// (onLoadStart, onLoadProgress, onLoadComplete, onLoadInit, onLoadError).

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "engine/avm1/Library.h"
#include "engine/avm1/Vm.h"

namespace zd::avm1 {

namespace {

Value loaderConstructor(Vm& vm, const CallInfo& c) {
    Object* self = c.thisObject();
    if (self == nullptr) {
        return Value();
    }
    // A broadcaster that listens to itself: handlers set on the loader hear its events.
    ArrayObject* listeners = vm.newArray();
    const Value me(self);
    lib::setElement(vm, listeners, 0, me);
    vm.define(self, "_listeners", Value(listeners), kDontEnum);
    return c.thisValue;
}

// The clip or level a load goes into: a clip, a path, or a level number.
bool loadTarget(Vm& vm, const Value& v, DisplayId& target, int& level) {
    target = kNoDisplay;
    level = -1;
    if (v.isNumber()) {
        const double n = v.number();
        if (!std::isfinite(n) || n < 0 || n > 16000) {
            return false;
        }
        level = static_cast<int>(n);
        return true;
    }
    if (Object* o = v.asObject(); o != nullptr && o->kind() != ObjectKind::Clip) {
        return false;
    }
    if (!v.isString() && !v.isObject()) {
        return false;
    }
    if (v.isString()) {
        // "_levelN" names a level whether or not it is there yet.
        const std::string path = vm.toStdString(v);
        if (path.size() > 6 && path.compare(0, 6, "_level") == 0 &&
            path.find_first_not_of("0123456789", 6) == std::string::npos) {
            level = std::stoi(path.substr(6, 5));
            return true;
        }
    }
    target = vm.displayOf(v, vm.currentTarget());
    return target != kNoDisplay && vm.host().exists(target);
}

Value loadClip(Vm& vm, const CallInfo& c) {
    Object* self = c.thisObject();
    if (self == nullptr || c.count() < 2) {
        return Value();
    }
    DisplayId target = kNoDisplay;
    int level = -1;
    if (!c.arg(0).isString() || !loadTarget(vm, c.arg(1), target, level)) {
        return Value::boolean(false);
    }
    vm.requestClipLoad(self, target, level, vm.toStdString(c.arg(0)));
    return Value::boolean(true);
}

Value unloadClip(Vm& vm, const CallInfo& c) {
    DisplayId target = kNoDisplay;
    int level = -1;
    if (c.count() < 1 || !loadTarget(vm, c.arg(0), target, level)) {
        return Value::boolean(false);
    }
    if (level >= 0) {
        target = vm.host().level(level);
    }
    if (target == kNoDisplay) {
        return Value::boolean(false);
    }
    vm.host().unloadMovie(target);
    return Value::boolean(true);
}

Value getProgress(Vm& vm, const CallInfo& c) {
    Object* out = vm.newObject(vm.protos().object);
    DisplayId target = kNoDisplay;
    int level = -1;
    if (c.count() > 0 && loadTarget(vm, c.arg(0), target, level)) {
        if (level >= 0) {
            target = vm.host().level(level);
        }
        if (Object* clip = vm.clipObject(target)) {
            for (const auto& [field, method] : {std::pair{"bytesLoaded", "getBytesLoaded"},
                                                std::pair{"bytesTotal", "getBytesTotal"}}) {
                const Value fn = vm.get(Value(clip), method);
                const bool callable = fn.isObject() && fn.object()->isFunction();
                vm.set(Value(out), field, callable ? vm.call(fn, Value(clip), {}) : Value());
            }
        }
    }
    return Value(out);
}

}  // namespace

std::uint64_t Vm::requestClipLoad(Object* loader, DisplayId target, int level,
                                  std::string_view url) {
    const std::uint64_t id = nextLoadId_++;
    clipLoads_[id] = loader;
    host_.loadClip(id, target, level, url);
    return id;
}

void Vm::clipLoadEvent(std::uint64_t requestId, std::string_view event, DisplayId clip,
                       std::span<const Value> extra, bool last) {
    auto it = clipLoads_.find(requestId);
    if (it == clipLoads_.end()) {
        return;
    }
    Object* loader = it->second;
    if (last) {
        clipLoads_.erase(it);
    }
    if (tickExhausted()) {
        return;
    }
    pinned_.push_back(Value(loader));
    const Value fn = get(Value(loader), "broadcastMessage");
    if (fn.isObject() && fn.object()->isFunction()) {
        std::vector<Value> args;
        args.push_back(Value(str(event)));
        Object* target = clipObject(clip);
        args.push_back(target != nullptr ? Value(target) : Value());
        args.insert(args.end(), extra.begin(), extra.end());
        for (const Value& a : args) {
            pinned_.push_back(a);
        }
        callFromHost(fn, Value(loader), args);
        pinned_.resize(pinned_.size() - args.size());
    }
    pinned_.pop_back();
}

namespace lib {

void installMovieClipLoader(Vm& vm) {
    Object* proto = vm.newObject(vm.protos().object);
    defineClass(vm, "MovieClipLoader", loaderConstructor, proto);
    // The broadcaster's methods, shared with AsBroadcaster.
    Object* broadcaster = vm.get(Value(vm.global()), "AsBroadcaster").asObject();
    for (const char* name : {"broadcastMessage", "addListener", "removeListener"}) {
        vm.define(proto, name, broadcaster != nullptr ? vm.get(Value(broadcaster), name) : Value());
    }
    vm.defineNative(proto, "loadClip", loadClip);
    vm.defineNative(proto, "unloadClip", unloadClip);
    vm.defineNative(proto, "getProgress", getProgress);
}

}  // namespace lib
}  // namespace zd::avm1
