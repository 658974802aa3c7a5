// SharedObject: data a movie keeps between runs. The host stores the bytes; they are written
// here in the .sol layout with AMF0 values, and read back defensively (a damaged or foreign
// file gives an empty object, never a crash).

#include <optional>
#include <string>
#include <string_view>

#include "engine/avm1/Amf.h"
#include "engine/avm1/Library.h"
#include "engine/avm1/Vm.h"

namespace zd::avm1 {

namespace {

using namespace std::string_view_literals;
// The marker and the six bytes that follow it in the layout. Files of earlier versions of this
// player lack the six bytes (the marker was cut at its first zero); they are read as well.
constexpr std::string_view kSignature = "TCSO\0\x04\0\0\0\0"sv;
constexpr std::string_view kMarker = "TCSO";

// The file: a header, the object's name, then its data's members each ended by a zero byte.
std::string encodeSol(Vm& vm, std::string_view name, Object* data) {
    const Vm::NoCollect hold(vm);
    amf::Writer body(vm, amf::Arrays::Ecma);
    body.out.append(kSignature);
    body.name(name);
    body.u32(0);  // AMF0
    for (const auto& [key, value] : body.memberList(data)) {
        body.name(key->view());
        body.value(value, 1);
        body.u8(0);
    }
    amf::Writer file(vm, amf::Arrays::Ecma);
    file.u16(0x00BF);
    file.u32(static_cast<std::uint32_t>(body.out.size()));
    return file.out + body.out;
}

// Fills data from a stored file; false when the file is not one this can read (data then
// holds what came before the damage).
bool decodeSol(Vm& vm, std::string_view file, Object* data) {
    const Vm::NoCollect hold(vm);
    amf::Reader r(vm, file);
    std::uint16_t magic = 0;
    std::uint32_t length = 0;
    std::string_view signature;
    std::string_view name;
    std::uint32_t version = 0;
    if (!r.u16(magic) || magic != 0x00BF || !r.u32(length) || !r.bytes(kMarker.size(), signature) ||
        signature != kMarker) {
        return false;
    }
    // A name cannot hold zero bytes, so the padding tells the layouts apart.
    const std::string_view padding = kSignature.substr(kMarker.size());
    if (file.substr(r.at(), padding.size()) == padding && !r.bytes(padding.size(), signature)) {
        return false;
    }
    if (!r.name(name) || !r.u32(version) || version != 0) {
        return false;
    }
    while (!r.done()) {
        std::string_view key;
        Value v;
        std::uint8_t end = 0;
        if (!r.name(key) || !r.value(v, 1) || !r.u8(end)) {
            return false;
        }
        vm.set(Value(data), vm.intern(key), v);
    }
    return true;
}

// Names as the reference accepts them: not empty, none of the characters it refuses.
bool validName(std::string_view name) {
    if (name.empty() || name.size() > 255) {
        return false;
    }
    for (char c : name) {
        if (std::string_view("~%&\\;:\"',<>?# ").find(c) != std::string_view::npos ||
            static_cast<unsigned char>(c) < 0x20) {
            return false;
        }
    }
    return true;
}

Object* registry(Vm& vm) {
    const Value r = vm.get(Value(vm.global()), "__sharedObjects");
    if (r.isObject()) {
        return r.object();
    }
    Object* o = vm.newObject(nullptr);
    vm.define(vm.global(), "__sharedObjects", Value(o), kDontEnum | kDontDelete);
    return o;
}

// SharedObject.getLocal(name): the same object for the same name while the movie runs.
Value soGetLocal(Vm& vm, const CallInfo& c) {
    const Vm::NoCollect hold(vm);
    const std::string name = c.count() > 0 ? vm.toStdString(c.arg(0)) : std::string();
    if (!validName(name)) {
        return Value::null();
    }
    Object* known = registry(vm);
    const Value existing = vm.get(Value(known), name);
    if (existing.isObject()) {
        return existing;
    }
    const Value cls = vm.get(Value(vm.global()), "SharedObject");
    Object* self = vm.newObject(vm.get(cls, "prototype").asObject());
    vm.define(self, "__name", Value(vm.str(name)), kDontEnum | kDontDelete | kReadOnly);
    vm.set(Value(known), vm.intern(name), Value(self));
    Object* data = vm.newObject(vm.protos().object);
    if (auto stored = vm.host().readSharedObject(name); stored && !stored->empty()) {
        if (!decodeSol(vm, *stored, data)) {
            data = vm.newObject(vm.protos().object);  // unreadable: start afresh
        }
    }
    vm.define(self, "data", Value(data), kDontDelete);
    return Value(self);
}

std::string nameOf(Vm& vm, const CallInfo& c) {
    return c.thisObject() != nullptr ? vm.toStdString(vm.get(c.thisValue, "__name"))
                                     : std::string();
}

Value soFlush(Vm& vm, const CallInfo& c) {
    const Vm::NoCollect hold(vm);
    Object* data = c.thisObject() ? vm.get(c.thisValue, "data").asObject() : nullptr;
    const std::string name = nameOf(vm, c);
    if (data == nullptr || !validName(name)) {
        return Value::boolean(false);
    }
    return Value::boolean(vm.host().writeSharedObject(name, encodeSol(vm, name, data)));
}

Value soGetSize(Vm& vm, const CallInfo& c) {
    const Vm::NoCollect hold(vm);
    Object* data = c.thisObject() ? vm.get(c.thisValue, "data").asObject() : nullptr;
    if (data == nullptr || vm.enumerate(data).empty()) {
        return Value(0.0);
    }
    return Value(static_cast<double>(encodeSol(vm, nameOf(vm, c), data).size()));
}

Value soClear(Vm& vm, const CallInfo& c) {
    const std::string name = nameOf(vm, c);
    if (c.thisObject() == nullptr || !validName(name)) {
        return Value();
    }
    vm.define(c.thisObject(), "data", Value(vm.newObject(vm.protos().object)), kDontDelete);
    vm.host().writeSharedObject(name, "");
    return Value();
}

Value soConstructor(Vm&, const CallInfo& c) {
    return c.thisValue;
}

Value soNothing(Vm&, const CallInfo&) {
    return Value();
}

}  // namespace

namespace lib {

void installSharedObject(Vm& vm) {
    Object* proto = vm.newObject(vm.protos().object);
    FunctionObject* cls = defineClass(vm, "SharedObject", soConstructor, proto);
    vm.defineNative(cls, "getLocal", soGetLocal);
    vm.defineNative(proto, "flush", soFlush);
    vm.defineNative(proto, "getSize", soGetSize);
    vm.defineNative(proto, "clear", soClear);
    vm.defineNative(proto, "close", soNothing);
    vm.defineNative(proto, "connect", soNothing);
    vm.defineNative(proto, "setFps", soNothing);
}

std::string encodeSharedObject(Vm& vm, std::string_view name, Object* data) {
    return encodeSol(vm, name, data);
}

bool decodeSharedObject(Vm& vm, std::string_view bytes, Object* data) {
    return decodeSol(vm, bytes, data);
}

}  // namespace lib
}  // namespace zd::avm1
