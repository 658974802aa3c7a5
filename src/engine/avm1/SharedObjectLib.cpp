// SharedObject: data a movie keeps between runs. The host stores the bytes; they are written
// here in the .sol layout with AMF0 values, and read back defensively (a damaged or foreign
// file gives an empty object, never a crash).

#include <bit>
#include <cmath>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/avm1/Library.h"
#include "engine/avm1/Vm.h"

namespace zd::avm1 {

namespace {

constexpr std::size_t kMaxDepth = 64;
constexpr std::size_t kMaxValues = 1u << 20;

enum Amf : std::uint8_t {
    kNumber = 0x00,
    kBoolean = 0x01,
    kString = 0x02,
    kObject = 0x03,
    kNull = 0x05,
    kUndefined = 0x06,
    kReference = 0x07,
    kEcmaArray = 0x08,
    kObjectEnd = 0x09,
    kStrictArray = 0x0A,
    kDate = 0x0B,
    kLongString = 0x0C,
    kTypedObject = 0x10,
};

// --- Writing ---

class Writer {
  public:
    explicit Writer(Vm& vm) : vm_(vm) {}

    void u8(std::uint8_t v) { out.push_back(static_cast<char>(v)); }
    void u16(std::uint16_t v) {
        u8(static_cast<std::uint8_t>(v >> 8));
        u8(static_cast<std::uint8_t>(v));
    }
    void u32(std::uint32_t v) {
        u16(static_cast<std::uint16_t>(v >> 16));
        u16(static_cast<std::uint16_t>(v));
    }
    void f64(double d) {
        const auto bits = std::bit_cast<std::uint64_t>(d);
        u32(static_cast<std::uint32_t>(bits >> 32));
        u32(static_cast<std::uint32_t>(bits));
    }
    // A name (property key): at most 65535 bytes.
    void name(std::string_view s) {
        s = s.substr(0, 0xFFFF);
        u16(static_cast<std::uint16_t>(s.size()));
        out.append(s);
    }

    void value(const Value& v, std::size_t depth) {
        if (v.isNumber()) {
            u8(kNumber);
            f64(v.number());
        } else if (v.isBoolean()) {
            u8(kBoolean);
            u8(v.boolean() ? 1 : 0);
        } else if (v.isString()) {
            const std::string_view s = v.string()->view();
            if (s.size() > 0xFFFF) {
                u8(kLongString);
                u32(static_cast<std::uint32_t>(s.size()));
                out.append(s);
            } else {
                u8(kString);
                name(s);
            }
        } else if (v.isNull()) {
            u8(kNull);
        } else if (v.isObject()) {
            object(v.object(), depth);
        } else {
            u8(kUndefined);
        }
    }

    std::string out;

  private:
    void object(Object* o, std::size_t depth) {
        if (o->isFunction() || depth > kMaxDepth) {
            u8(kUndefined);  // functions and what lies too deep are not stored
            return;
        }
        if (auto it = seen_.find(o); it != seen_.end()) {
            u8(kReference);
            u16(it->second);
            return;
        }
        if (seen_.size() < 0xFFFF) {
            seen_.emplace(o, static_cast<std::uint16_t>(seen_.size()));
        }
        if (o->kind() == ObjectKind::Date) {
            u8(kDate);
            f64(static_cast<DateObject*>(o)->time);
            u16(0);
            return;
        }
        if (o->kind() == ObjectKind::Array) {
            u8(kEcmaArray);
            u32(lib::lengthOf(vm_, o));
        } else {
            u8(kObject);
        }
        std::vector<String*> names = vm_.enumerate(o);
        // Oldest first, so that reading them back in order restores for-in's order.
        for (auto it = names.rbegin(); it != names.rend(); ++it) {
            vm_.step();
            name((*it)->view());
            value(vm_.get(Value(o), *it), depth + 1);
        }
        u16(0);
        u8(kObjectEnd);
    }

    Vm& vm_;
    std::unordered_map<Object*, std::uint16_t> seen_;
};

// --- Reading ---

class Reader {
  public:
    Reader(Vm& vm, std::string_view in) : vm_(vm), in_(in) {}

    bool u8(std::uint8_t& v) {
        if (at_ >= in_.size()) {
            return false;
        }
        v = static_cast<std::uint8_t>(in_[at_++]);
        return true;
    }
    bool u16(std::uint16_t& v) {
        std::uint8_t a = 0, b = 0;
        if (!u8(a) || !u8(b)) {
            return false;
        }
        v = static_cast<std::uint16_t>((a << 8) | b);
        return true;
    }
    bool u32(std::uint32_t& v) {
        std::uint16_t a = 0, b = 0;
        if (!u16(a) || !u16(b)) {
            return false;
        }
        v = (std::uint32_t{a} << 16) | b;
        return true;
    }
    bool f64(double& d) {
        std::uint32_t hi = 0, lo = 0;
        if (!u32(hi) || !u32(lo)) {
            return false;
        }
        d = std::bit_cast<double>((std::uint64_t{hi} << 32) | lo);
        return true;
    }
    bool bytes(std::size_t n, std::string_view& s) {
        if (n > in_.size() - at_) {
            return false;
        }
        s = in_.substr(at_, n);
        at_ += n;
        return true;
    }
    bool name(std::string_view& s) {
        std::uint16_t n = 0;
        return u16(n) && bytes(n, s);
    }
    bool done() const { return at_ >= in_.size(); }

    bool value(Value& out, std::size_t depth) {
        std::uint8_t type = 0;
        if (!u8(type) || depth > kMaxDepth || ++count_ > kMaxValues) {
            return false;
        }
        vm_.step();
        switch (type) {
            case kNumber: {
                double d = 0;
                if (!f64(d)) {
                    return false;
                }
                out = Value(d);
                return true;
            }
            case kBoolean: {
                std::uint8_t b = 0;
                if (!u8(b)) {
                    return false;
                }
                out = Value::boolean(b != 0);
                return true;
            }
            case kString: {
                std::string_view s;
                if (!name(s)) {
                    return false;
                }
                out = Value(vm_.str(s));
                return true;
            }
            case kLongString: {
                std::uint32_t n = 0;
                std::string_view s;
                if (!u32(n) || !bytes(n, s)) {
                    return false;
                }
                out = Value(vm_.str(s));
                return true;
            }
            case kNull:
                out = Value::null();
                return true;
            case kUndefined:
                out = Value();
                return true;
            case kReference: {
                std::uint16_t i = 0;
                if (!u16(i) || i >= objects_.size()) {
                    return false;
                }
                out = Value(objects_[i]);
                return true;
            }
            case kDate: {
                double t = 0;
                std::uint16_t zone = 0;
                if (!f64(t) || !u16(zone)) {
                    return false;
                }
                const Value ctor = vm_.get(Value(vm_.global()), "Date");
                const Value d = vm_.construct(ctor, std::vector<Value>{Value(t)});
                if (d.isObject()) {
                    objects_.push_back(d.object());
                }
                out = d;
                return true;
            }
            case kObject:
            case kTypedObject:
            case kEcmaArray: {
                if (type == kTypedObject) {
                    std::string_view className;
                    if (!name(className)) {
                        return false;
                    }
                }
                std::uint32_t length = 0;
                if (type == kEcmaArray && !u32(length)) {
                    return false;
                }
                Object* o = type == kEcmaArray ? static_cast<Object*>(vm_.newArray())
                                               : vm_.newObject(vm_.protos().object);
                objects_.push_back(o);
                out = Value(o);
                return members(o, depth);
            }
            case kStrictArray: {
                std::uint32_t n = 0;
                if (!u32(n) || n > in_.size() - at_) {
                    return false;
                }
                ArrayObject* a = vm_.newArray();
                objects_.push_back(a);
                out = Value(a);
                for (std::uint32_t i = 0; i < n; ++i) {
                    Value item;
                    if (!value(item, depth + 1)) {
                        return false;
                    }
                    lib::setElement(vm_, a, i, item);
                }
                return true;
            }
            default:
                return false;  // movie clips, XML, AMF3 and the like are not read back
        }
    }

  private:
    // name/value pairs up to the empty name and the end marker.
    bool members(Object* o, std::size_t depth) {
        while (true) {
            std::string_view key;
            if (!name(key)) {
                return false;
            }
            if (key.empty()) {
                std::uint8_t end = 0;
                return u8(end) && end == kObjectEnd;
            }
            Value v;
            if (!value(v, depth + 1)) {
                return false;
            }
            vm_.set(Value(o), vm_.intern(key), v);
        }
    }

    Vm& vm_;
    std::string_view in_;
    std::size_t at_ = 0;
    std::size_t count_ = 0;
    std::vector<Object*> objects_;
};

constexpr std::string_view kSignature = "TCSO\0\x04\0\0\0\0";

// The file: a header, the object's name, then its data's members each ended by a zero byte.
std::string encodeSol(Vm& vm, std::string_view name, Object* data) {
    Writer body(vm);
    body.out.append(kSignature);
    body.name(name);
    body.u32(0);  // AMF0
    for (String* key : [&] {
             std::vector<String*> keys = vm.enumerate(data);
             return std::vector<String*>(keys.rbegin(), keys.rend());
         }()) {
        body.name(key->view());
        body.value(vm.get(Value(data), key), 1);
        body.u8(0);
    }
    Writer file(vm);
    file.u16(0x00BF);
    file.u32(static_cast<std::uint32_t>(body.out.size()));
    return file.out + body.out;
}

// Fills data from a stored file; false when the file is not one this can read (data then
// holds what came before the damage).
bool decodeSol(Vm& vm, std::string_view file, Object* data) {
    Reader r(vm, file);
    std::uint16_t magic = 0;
    std::uint32_t length = 0;
    std::string_view signature;
    std::string_view name;
    std::uint32_t version = 0;
    if (!r.u16(magic) || magic != 0x00BF || !r.u32(length) ||
        !r.bytes(kSignature.size(), signature) || signature.substr(0, 4) != "TCSO" ||
        !r.name(name) || !r.u32(version) || version != 0) {
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
