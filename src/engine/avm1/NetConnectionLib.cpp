// NetConnection: connect(null) opens the local, progressive connection streams play over;
// other addresses are remote services this player has no client for: the connection counts
// as made, but nothing travels over it.

#include <string>

#include "engine/avm1/Library.h"
#include "engine/avm1/Vm.h"

namespace zd::avm1 {

namespace {

class ConnectionObject final : public Object {
  public:
    explicit ConnectionObject(Object* proto) : Object(proto) {}
    enum class State : std::uint8_t { Closed, Local, Remote };
    State state = State::Closed;
};

ConnectionObject* connectionOf(const CallInfo& c) {
    return dynamic_cast<ConnectionObject*>(c.thisObject());
}

Object* allocateConnection(Vm& vm, Object* proto) {
    return vm.heap().make<ConnectionObject>(proto);
}

// Calls the connection's onStatus with an info object of that code, or with nothing.
void status(Vm& vm, ConnectionObject* nc, const char* code) {
    Vm::NoCollect hold(vm);
    const Value fn = vm.get(Value(nc), "onStatus");
    if (!fn.isObject() || !fn.object()->isFunction()) {
        return;
    }
    if (code == nullptr) {
        vm.call(fn, Value(nc), {});
        return;
    }
    Object* info = vm.newObject(vm.protos().object);
    vm.set(Value(info), "code", Value(vm.intern(code)));
    vm.set(Value(info), "level", Value(vm.intern("status")));
    const Value arg(info);
    vm.call(fn, Value(nc), std::span<const Value>(&arg, 1));
}

void closeConnection(Vm& vm, ConnectionObject* nc) {
    const auto was = nc->state;
    nc->state = ConnectionObject::State::Closed;
    vm.define(nc, "isConnected", Value::boolean(false), kDontEnum);
    if (was == ConnectionObject::State::Closed) {
        return;
    }
    status(vm, nc, "NetConnection.Connect.Closed");
    if (was == ConnectionObject::State::Remote) {
        // A remote connection also reports its end with an empty status.
        status(vm, nc, nullptr);
    }
}

Value connect(Vm& vm, const CallInfo& c) {
    ConnectionObject* nc = connectionOf(c);
    if (nc == nullptr || c.count() == 0) {
        return Value::boolean(false);
    }
    closeConnection(vm, nc);
    if (c.arg(0).isNullish()) {
        nc->state = ConnectionObject::State::Local;
        vm.define(nc, "isConnected", Value::boolean(true), kDontEnum);
        status(vm, nc, "NetConnection.Connect.Success");
        return Value::boolean(true);
    }
    nc->state = ConnectionObject::State::Remote;
    return Value::boolean(true);
}

Value close(Vm& vm, const CallInfo& c) {
    if (ConnectionObject* nc = connectionOf(c)) {
        closeConnection(vm, nc);
    }
    return Value();
}

Value construct(Vm& vm, const CallInfo& c) {
    if (Object* o = c.thisObject()) {
        vm.define(o, "isConnected", Value::boolean(false), kDontEnum);
    }
    return Value();
}

}  // namespace

namespace lib {

void installNetConnection(Vm& vm) {
    Object* proto = vm.newObject(vm.protos().object);
    defineClass(vm, "NetConnection", construct, proto, allocateConnection);
    constexpr std::uint16_t kHidden = kDontEnum | kDontDelete | kVersion6;
    vm.defineNative(proto, "connect", connect, kHidden);
    vm.defineNative(proto, "close", close, kHidden);
}

}  // namespace lib
}  // namespace zd::avm1
