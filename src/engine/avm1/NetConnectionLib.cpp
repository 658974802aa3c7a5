// NetConnection: connect(null) opens the local, progressive connection streams play over;
// another address names a remoting service: call() sends AMF0 messages to it by post, those
// a script makes in one go together in one request, and the answers go to the responders.

#include <charconv>
#include <string>
#include <vector>

#include "engine/avm1/Amf.h"
#include "engine/avm1/Library.h"
#include "engine/avm1/Vm.h"

namespace zd::avm1 {

namespace {

class ConnectionObject final : public Object {
  public:
    explicit ConnectionObject(Object* proto) : Object(proto) {}
    enum class State : std::uint8_t { Closed, Local, Remote };
    State state = State::Closed;
    std::string url;
    // The object scripts hold: this one, or the instance of a subclass this state belongs to.
    Object* self = this;

    struct Header {
        String* name = nullptr;
        bool mustUnderstand = false;
        Value value;
    };
    struct Call {
        std::string method;
        std::uint32_t id = 0;
        Value responder;
        std::vector<Value> args;
    };
    // Headers go with every request; calls wait for the scripts to finish.
    std::vector<Header> headers;
    std::vector<Call> calls;
    std::uint32_t nextCallId = 1;
    bool sentAny = false;  // a request went out since connecting

    void trace(Tracer& t) override {
        Object::trace(t);
        t.markObject(self);
        for (const Header& h : headers) {
            t.mark(h.name);
            t.mark(h.value);
        }
        for (const Call& c : calls) {
            t.mark(c.responder);
            for (const Value& v : c.args) {
                t.mark(v);
            }
        }
    }
};

ConnectionObject* attachState(Vm& vm, Object* o);

// Where an instance of a subclass keeps its state: made by NetConnection's constructor when
// super() runs it on an object of another kind.
constexpr std::string_view kStateName = "__netConnectionState";

ConnectionObject* connectionOf(Vm& vm, const CallInfo& c) {
    Object* o = c.thisObject();
    if (o != nullptr && o->kind() == ObjectKind::Super) {
        // super.call.apply(super, arguments) in a subclass: the instance itself.
        o = static_cast<SuperObject*>(o)->thisObject;
    }
    if (o == nullptr) {
        return nullptr;
    }
    if (auto* nc = dynamic_cast<ConnectionObject*>(o)) {
        return nc;
    }
    const Property* p = o->properties().find(vm.key(kStateName));
    auto* nc = p != nullptr ? dynamic_cast<ConnectionObject*>(p->value.asObject()) : nullptr;
    if (nc != nullptr && nc->self == o) {
        return nc;
    }
    // An instance whose constructor never ran NetConnection's gets its state on first use.
    return attachState(vm, o);
}

Object* allocateConnection(Vm& vm, Object* proto) {
    return vm.heap().make<ConnectionObject>(proto);
}

// Calls the connection's onStatus with an info object of that code, or with nothing.
void status(Vm& vm, ConnectionObject* nc, const char* code) {
    Vm::NoCollect hold(vm);
    const Value fn = vm.get(Value(nc->self), "onStatus");
    if (!fn.isObject() || !fn.object()->isFunction()) {
        return;
    }
    if (code == nullptr) {
        vm.call(fn, Value(nc->self), {});
        return;
    }
    Object* info = vm.newObject(vm.protos().object);
    vm.set(Value(info), "code", Value(vm.intern(code)));
    vm.set(Value(info), "level", Value(vm.intern("status")));
    const Value arg(info);
    vm.call(fn, Value(nc->self), std::span<const Value>(&arg, 1));
}

void closeConnection(Vm& vm, ConnectionObject* nc) {
    const auto was = nc->state;
    nc->state = ConnectionObject::State::Closed;
    const bool sentAny = nc->sentAny;
    nc->url.clear();
    nc->calls.clear();
    nc->headers.clear();
    nc->sentAny = false;
    vm.define(nc->self, "isConnected", Value::boolean(false), kDontEnum);
    if (was == ConnectionObject::State::Closed) {
        return;
    }
    status(vm, nc, "NetConnection.Connect.Closed");
    if (was == ConnectionObject::State::Remote && !sentAny) {
        // A remote connection that never carried a call also reports its end with an empty
        // status.
        status(vm, nc, nullptr);
    }
}

Value connect(Vm& vm, const CallInfo& c) {
    ConnectionObject* nc = connectionOf(vm, c);
    if (nc == nullptr || c.count() == 0) {
        return Value::boolean(false);
    }
    closeConnection(vm, nc);
    if (c.arg(0).isNullish()) {
        nc->state = ConnectionObject::State::Local;
        vm.define(nc->self, "isConnected", Value::boolean(true), kDontEnum);
        status(vm, nc, "NetConnection.Connect.Success");
        return Value::boolean(true);
    }
    nc->state = ConnectionObject::State::Remote;
    nc->url = vm.toStdString(c.arg(0));
    nc->nextCallId = 1;
    return Value::boolean(true);
}

constexpr std::string_view kAmfType = "application/x-amf";

// The answer to one request: every message goes to the responder of the call it names
// ("/3/onResult"); an unreadable answer or a failed request tells the connection's onStatus
// with nothing.
Value receiveAnswer(Vm& vm, const CallInfo& c) {
    Object* receiver = c.thisObject();
    if (receiver == nullptr) {
        return Value();
    }
    const Vm::NoCollect hold(vm);
    auto* nc = dynamic_cast<ConnectionObject*>(vm.get(Value(receiver), "connection").asObject());
    if (nc == nullptr) {
        return Value();
    }
    if (c.count() == 0 || !c.arg(0).isString()) {
        status(vm, nc, nullptr);
        return Value();
    }
    const std::string bytes = c.arg(0).string()->text();
    amf::Reader r(vm, bytes);
    std::uint16_t version = 0;
    std::uint16_t headerCount = 0;
    if (!r.u16(version) || !r.u16(headerCount)) {
        status(vm, nc, nullptr);
        return Value();
    }
    // Headers of the answer carry nothing scripts see.
    for (std::uint16_t i = 0; i < headerCount; ++i) {
        std::string_view name;
        std::uint8_t must = 0;
        std::uint32_t length = 0;
        Value ignored;
        if (!r.name(name) || !r.u8(must) || !r.u32(length) || !r.value(ignored)) {
            status(vm, nc, nullptr);
            return Value();
        }
    }
    std::uint16_t messageCount = 0;
    if (!r.u16(messageCount)) {
        status(vm, nc, nullptr);
        return Value();
    }
    struct Message {
        Value responder;
        std::string method;
        Value value;
    };
    std::vector<Message> messages;
    for (std::uint16_t i = 0; i < messageCount; ++i) {
        std::string_view target;
        std::string_view response;
        std::uint32_t length = 0;
        Value value;
        if (!r.name(target) || !r.name(response) || !r.u32(length) || !r.value(value)) {
            break;
        }
        // "/<call>/<method>"
        if (target.size() < 2 || target[0] != '/') {
            continue;
        }
        const std::size_t slash = target.find('/', 1);
        if (slash == std::string_view::npos) {
            continue;
        }
        const std::string_view id = target.substr(1, slash - 1);
        messages.push_back(
            {vm.get(Value(receiver), id), std::string(target.substr(slash + 1)), value});
    }
    for (const Message& m : messages) {
        const Value fn = m.responder.isObject() ? vm.get(m.responder, m.method) : Value();
        if (fn.isObject() && fn.object()->isFunction()) {
            vm.call(fn, m.responder, std::span<const Value>(&m.value, 1));
        }
    }
    return Value();
}

// Sends the calls a connection gathered, with its headers, as one AMF0 packet.
void sendCalls(Vm& vm, Object* o) {
    auto* nc = dynamic_cast<ConnectionObject*>(o);
    if (nc == nullptr || nc->calls.empty() || nc->state != ConnectionObject::State::Remote) {
        return;
    }
    const Vm::NoCollect hold(vm);
    std::vector<ConnectionObject::Call> calls;
    calls.swap(nc->calls);
    amf::Writer packet(vm, amf::Arrays::StrictWhenPlain);
    packet.u16(0);  // AMF0
    packet.u16(static_cast<std::uint16_t>(std::min<std::size_t>(nc->headers.size(), 0xFFFF)));
    for (std::size_t i = 0; i < nc->headers.size() && i < 0xFFFF; ++i) {
        const ConnectionObject::Header& h = nc->headers[i];
        packet.name(h.name->view());
        packet.u8(h.mustUnderstand ? 1 : 0);
        amf::Writer value(vm, amf::Arrays::StrictWhenPlain);
        value.value(h.value);
        packet.u32(static_cast<std::uint32_t>(value.out.size()));
        packet.out += value.out;
    }
    packet.u16(static_cast<std::uint16_t>(std::min<std::size_t>(calls.size(), 0xFFFF)));
    Object* receiver = vm.newObject(vm.protos().object);
    vm.define(receiver, "connection", Value(nc));
    vm.defineNative(receiver, "onData", receiveAnswer);
    for (std::size_t i = 0; i < calls.size() && i < 0xFFFF; ++i) {
        const ConnectionObject::Call& call = calls[i];
        const std::string id = std::to_string(call.id);
        packet.name(call.method);
        packet.name("/" + id);
        amf::Writer args(vm, amf::Arrays::StrictWhenPlain);
        args.strictArray(call.args);
        packet.u32(static_cast<std::uint32_t>(args.out.size()));
        packet.out += args.out;
        vm.define(receiver, id, call.responder);
    }
    nc->sentAny = true;
    vm.requestPost(receiver, nc->url, kAmfType, packet.out);
}

// call(method, responder, args...): queued until the scripts are done.
Value callRemote(Vm& vm, const CallInfo& c) {
    ConnectionObject* nc = connectionOf(vm, c);
    if (nc == nullptr || c.count() == 0 || nc->state != ConnectionObject::State::Remote) {
        return Value();
    }
    ConnectionObject::Call call;
    call.method = vm.toStdString(c.arg(0));
    call.responder = c.arg(1);
    for (std::size_t i = 2; i < c.count(); ++i) {
        call.args.push_back(c.arg(i));
    }
    call.id = nc->nextCallId++;
    nc->calls.push_back(std::move(call));
    vm.defer(nc, sendCalls);
    return Value();
}

// addHeader(name, mustUnderstand, value): a header of that name is replaced in place.
Value addHeader(Vm& vm, const CallInfo& c) {
    ConnectionObject* nc = connectionOf(vm, c);
    if (nc == nullptr || c.count() == 0) {
        return Value();
    }
    ConnectionObject::Header h;
    h.name = vm.toString(c.arg(0));
    // A header named alone is a required one without a value.
    h.mustUnderstand = c.count() < 2 || vm.toBoolean(c.arg(1));
    h.value = c.count() < 3 ? Value::null() : c.arg(2);
    for (ConnectionObject::Header& known : nc->headers) {
        if (known.name->view() == h.name->view()) {
            known = h;
            return Value();
        }
    }
    if (nc->headers.size() < 0xFFFF) {
        nc->headers.push_back(h);
    }
    return Value();
}

Value close(Vm& vm, const CallInfo& c) {
    if (ConnectionObject* nc = connectionOf(vm, c)) {
        closeConnection(vm, nc);
    }
    return Value();
}

ConnectionObject* attachState(Vm& vm, Object* o) {
    auto* state = vm.heap().make<ConnectionObject>(nullptr);
    state->self = o;
    vm.define(o, kStateName, Value(state), kDontEnum | kDontDelete | kReadOnly);
    return state;
}

Value construct(Vm& vm, const CallInfo& c) {
    Object* o = c.thisObject();
    if (o == nullptr) {
        return Value();
    }
    vm.define(o, "isConnected", Value::boolean(false), kDontEnum);
    if (dynamic_cast<ConnectionObject*>(o) == nullptr) {
        attachState(vm, o);
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
    vm.defineNative(proto, "call", callRemote, kHidden);
    vm.defineNative(proto, "addHeader", addHeader, kHidden);
}

}  // namespace lib
}  // namespace zd::avm1
