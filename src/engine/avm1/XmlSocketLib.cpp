// XMLSocket: a TCP connection carrying zero-terminated messages. The host opens and polls the
// connection; what it reports comes back here and reaches the socket's handlers: onConnect
// with the outcome, onData with each whole message (by default parsed and handed to onXML),
// onClose when the peer ends it.

#include <string>

#include "engine/avm1/Library.h"
#include "engine/avm1/Vm.h"

namespace zd::avm1 {

namespace {

// Bytes of a message still without its terminator; a peer that never ends one cannot make
// the player hold more.
constexpr std::size_t kMaxPending = 16 * 1024 * 1024;

class SocketObject final : public Object {
  public:
    explicit SocketObject(Object* proto) : Object(proto) {}
    std::uint64_t id = 0;  // 0: not connected
    std::string pending;
};

Object* allocateSocket(Vm& vm, Object* proto) {
    return vm.heap().make<SocketObject>(proto);
}

SocketObject* socketOf(const CallInfo& c) {
    return dynamic_cast<SocketObject*>(c.thisObject());
}

void closeSocket(Vm& vm, SocketObject* s) {
    if (s->id != 0) {
        vm.forgetSocket(s->id);
        vm.host().closeSocket(s->id);
        s->id = 0;
    }
    s->pending.clear();
}

void callHandler(Vm& vm, SocketObject* s, std::string_view name, std::span<const Value> args) {
    const Value fn = vm.get(Value(s), name);
    if (fn.isObject() && fn.object()->isFunction()) {
        vm.callFromHost(fn, Value(s), args);
    }
}

// connect(host, port): a missing host is the movie's own ("localhost" here).
Value connect(Vm& vm, const CallInfo& c) {
    SocketObject* s = socketOf(c);
    if (s == nullptr) {
        return Value::boolean(false);
    }
    closeSocket(vm, s);
    const std::string host =
        c.arg(0).isNullish() ? std::string("localhost") : vm.toStdString(c.arg(0));
    const double port = c.count() > 1 ? vm.toNumber(c.arg(1)) : 0;
    const int p = port >= 0 && port <= 65535 ? static_cast<int>(port) : 0;
    s->id = vm.requestSocket(s, host, p);
    return Value::boolean(s->id != 0);
}

Value send(Vm& vm, const CallInfo& c) {
    SocketObject* s = socketOf(c);
    if (s == nullptr || s->id == 0) {
        return Value();
    }
    std::string bytes = vm.toStdString(c.arg(0));
    bytes.push_back('\0');
    vm.host().socketSend(s->id, bytes);
    return Value();
}

Value close(Vm& vm, const CallInfo& c) {
    if (SocketObject* s = socketOf(c)) {
        closeSocket(vm, s);
    }
    return Value();
}

// The default onData: the message as an XML document, to onXML.
Value defaultOnData(Vm& vm, const CallInfo& c) {
    const Vm::NoCollect hold(vm);
    const Value source = c.arg(0);
    const Value xml = vm.construct(vm.get(Value(vm.global()), "XML"),
                                   std::span<const Value>(&source, c.count() > 0 ? 1 : 0));
    const Value fn = vm.get(c.thisValue, "onXML");
    if (fn.isObject() && fn.object()->isFunction()) {
        vm.call(fn, c.thisValue, std::span<const Value>(&xml, 1));
    }
    return Value();
}

Value construct(Vm&, const CallInfo& c) {
    return c.thisValue;
}

}  // namespace

namespace lib {

void installXmlSocket(Vm& vm) {
    Object* proto = vm.newObject(vm.protos().object);
    defineClass(vm, "XMLSocket", construct, proto, allocateSocket);
    constexpr std::uint16_t kHidden = kDontEnum | kDontDelete;
    vm.defineNative(proto, "connect", connect, kHidden);
    vm.defineNative(proto, "send", send, kHidden);
    vm.defineNative(proto, "close", close, kHidden);
    vm.defineNative(proto, "onData", defaultOnData, kHidden);
}

void socketConnected(Vm& vm, std::uint64_t id, bool ok) {
    auto* s = dynamic_cast<SocketObject*>(vm.socketOwner(id));
    if (s == nullptr) {
        return;
    }
    const Vm::NoCollect hold(vm);
    if (!ok) {
        vm.forgetSocket(id);
        s->id = 0;
    }
    const Value arg = Value::boolean(ok);
    callHandler(vm, s, "onConnect", std::span<const Value>(&arg, 1));
}

void socketReceived(Vm& vm, std::uint64_t id, std::string_view bytes) {
    auto* s = dynamic_cast<SocketObject*>(vm.socketOwner(id));
    if (s == nullptr) {
        return;
    }
    const Vm::NoCollect hold(vm);
    s->pending.append(bytes.substr(0, kMaxPending - std::min(kMaxPending, s->pending.size())));
    // One message at a time: a handler may close the socket, and then the rest is dropped.
    std::size_t end = 0;
    while (s->id == id && (end = s->pending.find('\0')) != std::string::npos) {
        const Value message(vm.str(s->pending.substr(0, end)));
        s->pending.erase(0, end + 1);
        callHandler(vm, s, "onData", std::span<const Value>(&message, 1));
    }
}

void socketClosed(Vm& vm, std::uint64_t id) {
    auto* s = dynamic_cast<SocketObject*>(vm.socketOwner(id));
    if (s == nullptr) {
        return;
    }
    const Vm::NoCollect hold(vm);
    vm.forgetSocket(id);
    s->id = 0;
    s->pending.clear();
    callHandler(vm, s, "onClose", {});
}

}  // namespace lib
}  // namespace zd::avm1
