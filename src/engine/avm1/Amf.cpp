#include "engine/avm1/Amf.h"

#include <algorithm>
#include <bit>
#include <charconv>

#include "engine/avm1/Library.h"
#include "engine/avm1/Object.h"
#include "engine/avm1/Vm.h"

namespace zd::avm1::amf {

namespace {

constexpr std::size_t kMaxDepth = 64;
constexpr std::size_t kMaxValues = 1u << 20;
// A strict array writes every slot: an array this long (mostly holes) goes as name/value
// pairs instead, so a script cannot make one call send gigabytes.
constexpr std::uint32_t kMaxStrictLength = 1u << 16;

enum Marker : std::uint8_t {
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

// The array index a name spells ("0", "17"; not "01" or "-1"), if any.
std::optional<std::uint32_t> indexName(std::string_view s) {
    if (s.empty() || s.size() > 10 || (s.size() > 1 && s[0] == '0')) {
        return std::nullopt;
    }
    std::uint64_t v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || end != s.data() + s.size() || v >= 0xFFFFFFFFull) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(v);
}

Object* registry(Vm& vm) {
    return vm.get(Value(vm.global()), "__registeredClasses").asObject();
}

}  // namespace

std::optional<std::string> registeredAlias(Vm& vm, Object* o) {
    Object* known = registry(vm);
    if (known == nullptr) {
        return std::nullopt;
    }
    // Only the links construction left on the object itself count, and only as stored values:
    // an inherited or computed constructor does not make an object typed.
    for (const std::string_view link : {"__constructor__", "constructor"}) {
        const Property* p = o->properties().find(vm.key(link));
        if (p == nullptr || p->isAccessor() || !p->value.isObject()) {
            continue;
        }
        // The latest registration of a class wins.
        const auto& list = known->properties().list();
        for (auto it = list.rbegin(); it != list.rend(); ++it) {
            if (!it->isAccessor() && it->value.isObject() &&
                it->value.object() == p->value.object()) {
                return it->name->text();
            }
        }
    }
    return std::nullopt;
}

// --- Writer ---

void Writer::u16(std::uint16_t v) {
    u8(static_cast<std::uint8_t>(v >> 8));
    u8(static_cast<std::uint8_t>(v));
}

void Writer::u32(std::uint32_t v) {
    u16(static_cast<std::uint16_t>(v >> 16));
    u16(static_cast<std::uint16_t>(v));
}

void Writer::f64(double d) {
    const auto bits = std::bit_cast<std::uint64_t>(d);
    u32(static_cast<std::uint32_t>(bits >> 32));
    u32(static_cast<std::uint32_t>(bits));
}

void Writer::name(std::string_view s) {
    s = s.substr(0, 0xFFFF);
    u16(static_cast<std::uint16_t>(s.size()));
    out.append(s);
}

void Writer::value(const Value& v, std::size_t depth) {
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

void Writer::strictArray(std::span<const Value> items, std::size_t depth) {
    u8(kStrictArray);
    u32(static_cast<std::uint32_t>(items.size()));
    for (const Value& item : items) {
        value(item, depth + 1);
    }
}

std::optional<Value> Writer::memberValue(Object* o, String* name) {
    if (const Property* p = vm_.findProperty(o, vm_.key(name)); p != nullptr && p->isAccessor()) {
        return Value();
    }
    Value v = vm_.get(Value(o), name);
    if (v.isObject() && v.object()->isFunction()) {
        return std::nullopt;
    }
    return v;
}

// Each level of the prototype chain in turn, its own properties oldest first; an array's
// elements lead in index order.
std::vector<std::pair<String*, Value>> Writer::memberList(Object* o) {
    std::vector<String*> seen;
    std::vector<String*> names;
    auto consider = [&](String* key, String* shown, bool enumerable) {
        if (std::find(seen.begin(), seen.end(), key) != seen.end()) {
            return;
        }
        seen.push_back(key);
        if (enumerable) {
            names.push_back(shown);
        }
    };
    int level = 0;
    for (Object* cur = o; cur != nullptr && level < 64; cur = cur->proto(), ++level) {
        std::vector<String*> special;
        cur->specialNames(vm_, special);
        for (String* n : special) {
            consider(vm_.key(n), n, true);
        }
        for (const Property& p : cur->properties().list()) {
            consider(p.key, p.name, (p.flags & kDontEnum) == 0);
        }
    }
    if (o->kind() == ObjectKind::Array) {
        const auto firstOther = std::stable_partition(
            names.begin(), names.end(), [](String* n) { return indexName(n->view()).has_value(); });
        std::stable_sort(names.begin(), firstOther, [](String* a, String* b) {
            return *indexName(a->view()) < *indexName(b->view());
        });
    }
    std::vector<std::pair<String*, Value>> out;
    for (String* n : names) {
        vm_.step();
        if (const std::optional<Value> v = memberValue(o, n)) {
            out.emplace_back(n, *v);
        }
    }
    return out;
}

void Writer::pairs(Object* o, std::size_t depth) {
    for (const auto& [n, v] : memberList(o)) {
        name(n->view());
        value(v, depth + 1);
    }
    u16(0);
    u8(kObjectEnd);
}

void Writer::object(Object* o, std::size_t depth) {
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
        const std::uint32_t length = lib::lengthOf(vm_, o);
        if (arrays_ == Arrays::StrictWhenPlain && length <= kMaxStrictLength) {
            bool onlyElements = true;
            for (String* n : vm_.enumerate(o)) {
                const auto i = indexName(n->view());
                if (!i || *i >= length) {
                    onlyElements = false;
                    break;
                }
            }
            if (onlyElements) {
                u8(kStrictArray);
                u32(length);
                for (std::uint32_t i = 0; i < length; ++i) {
                    vm_.step();
                    const Value v = memberValue(o, vm_.intern(std::to_string(i))).value_or(Value());
                    value(v, depth + 1);
                }
                return;
            }
        }
        u8(kEcmaArray);
        u32(length);
        pairs(o, depth);
        return;
    }
    if (const auto alias = registeredAlias(vm_, o)) {
        u8(kTypedObject);
        name(*alias);
    } else {
        u8(kObject);
    }
    pairs(o, depth);
}

// --- Reader ---

bool Reader::u8(std::uint8_t& v) {
    if (at_ >= in_.size()) {
        return false;
    }
    v = static_cast<std::uint8_t>(in_[at_++]);
    return true;
}

bool Reader::u16(std::uint16_t& v) {
    std::uint8_t a = 0, b = 0;
    if (!u8(a) || !u8(b)) {
        return false;
    }
    v = static_cast<std::uint16_t>((a << 8) | b);
    return true;
}

bool Reader::u32(std::uint32_t& v) {
    std::uint16_t a = 0, b = 0;
    if (!u16(a) || !u16(b)) {
        return false;
    }
    v = (std::uint32_t{a} << 16) | b;
    return true;
}

bool Reader::f64(double& d) {
    std::uint32_t hi = 0, lo = 0;
    if (!u32(hi) || !u32(lo)) {
        return false;
    }
    d = std::bit_cast<double>((std::uint64_t{hi} << 32) | lo);
    return true;
}

bool Reader::bytes(std::size_t n, std::string_view& s) {
    if (n > in_.size() - at_) {
        return false;
    }
    s = in_.substr(at_, n);
    at_ += n;
    return true;
}

bool Reader::name(std::string_view& s) {
    std::uint16_t n = 0;
    return u16(n) && bytes(n, s);
}

bool Reader::value(Value& out, std::size_t depth) {
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
            Object* proto = vm_.protos().object;
            if (type == kTypedObject) {
                std::string_view alias;
                if (!name(alias)) {
                    return false;
                }
                // An instance of the class registered under that alias, when there is one
                // (its constructor does not run); else a plain object.
                if (Object* known = registry(vm_)) {
                    if (const Property* p = known->properties().find(vm_.key(alias));
                        p != nullptr && p->value.isObject() && p->value.object()->isFunction()) {
                        if (Object* cp = vm_.get(p->value, "prototype").asObject()) {
                            proto = cp;
                        }
                    }
                }
            }
            std::uint32_t length = 0;
            if (type == kEcmaArray && !u32(length)) {
                return false;
            }
            Object* o =
                type == kEcmaArray ? static_cast<Object*>(vm_.newArray()) : vm_.newObject(proto);
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

// name/value pairs up to the empty name and the end marker.
bool Reader::members(Object* o, std::size_t depth) {
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

}  // namespace zd::avm1::amf
