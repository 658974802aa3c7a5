#include "engine/avm1/Vm.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>

#include "engine/avm1/Frame.h"
#include "engine/avm1/Library.h"
#include "engine/avm1/Strings.h"

namespace zd::avm1 {

namespace {

constexpr int kMaxProtoDepth = 256;
// How often a property's accessors (or its watcher) may run inside themselves before the
// innermost access goes on without them.
constexpr int kMaxCallbackDepth = 65;

// Script equality of numbers: NaN equals NaN.
bool numbersEqual(double a, double b) {
    return a == b || (std::isnan(a) && std::isnan(b));
}

// SWF 4 reads the longest decimal number at the start of text, 0 when there is none.
double swf4Number(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\n' || s[i] == '\r')) {
        ++i;
    }
    const std::string text(s.substr(i));
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (end == text.c_str()) {
        return 0;
    }
    // strtod also reads hex and "inf"/"nan", which SWF 4 does not.
    const std::string_view used(text.c_str(), static_cast<std::size_t>(end - text.c_str()));
    if (used.find_first_of("xXnNiI") != std::string_view::npos) {
        std::size_t k = 0;
        if (k < text.size() && (text[k] == '-' || text[k] == '+')) {
            ++k;
        }
        std::size_t digits = k;
        while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') {
            ++digits;
        }
        return digits > k ? std::strtod(text.substr(0, digits).c_str(), nullptr) : 0.0;
    }
    return v;
}

std::string lowerAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return out;
}

}  // namespace

Value::Value(Object* o) : type_(o ? Type::Object : Type::Null), obj_(o) {}

bool Vm::emptyBoundsWidened() {
    // A function keeps the version of the movie that defined it, whoever calls it.
    const int caller = frame_ != nullptr ? frame_->version : version_;
    widenedEmptyBounds_ = widenedEmptyBounds_ || keyVersion_ >= 8 || caller >= 8;
    return widenedEmptyBounds_;
}

Vm::Vm(Host& host, int swfVersion, Limits limits)
    : host_(host), version_(swfVersion), keyVersion_(swfVersion), limits_(limits) {
    auto a = [this](const char* s) { return heap_.intern(s); };
    atoms_.proto = a("__proto__");
    atoms_.prototype = a("prototype");
    atoms_.constructor = a("constructor");
    atoms_.constructorHidden = a("__constructor__");
    atoms_.length = a("length");
    atoms_.valueOf = a("valueOf");
    atoms_.toString = a("toString");
    atoms_.resolve = a("__resolve");
    atoms_.thisName = a("this");
    atoms_.arguments = a("arguments");
    atoms_.super = a("super");
    atoms_.global = a("_global");
    atoms_.root = a("_root");
    atoms_.parent = a("_parent");
    atoms_.callee = a("callee");
    atoms_.caller = a("caller");
    atoms_.empty = a("");
    atoms_.undefined = a("undefined");
    atoms_.null = a("null");
    atoms_.trueName = a("true");
    atoms_.falseName = a("false");
    atoms_.nan = a("NaN");
    atoms_.object = a("object");
    atoms_.function = a("function");
    atoms_.number = a("number");
    atoms_.string = a("string");
    atoms_.boolean = a("boolean");
    atoms_.movieclip = a("movieclip");
    atoms_.onLoad = a("onLoad");
    atoms_.onData = a("onData");
    // Keys of the atoms (their folded forms) are made now so they are never swept.
    for (String* s : {atoms_.proto, atoms_.prototype, atoms_.constructor, atoms_.length}) {
        key(s);
    }
    realm_ = realmOf(swfVersion);
    installLibrary();
    realms_[realm_] = Realm{global_, protos_};
}

void Vm::enterRealm(int realm) {
    realms_[realm_] = Realm{global_, protos_};
    realm_ = realm;
    if (realms_[realm].global == nullptr) {
        protos_ = Protos{};
        installLibrary();
        realms_[realm] = Realm{global_, protos_};
        host_.realmMade(global_);
        return;
    }
    global_ = realms_[realm].global;
    protos_ = realms_[realm].protos;
}

const Vm::Protos& Vm::protosFor(int version) {
    const int realm = realmOf(version);
    if (realm == realm_) {
        return protos_;
    }
    if (realms_[realm].global == nullptr) {
        const int back = realm_;
        enterRealm(realm);
        enterRealm(back);
    }
    return realms_[realm].protos;
}

Object* Vm::globalFor(int version) {
    protosFor(version);
    return realmOf(version) == realm_ ? global_ : realms_[realmOf(version)].global;
}

std::vector<Object*> Vm::globals() {
    std::vector<Object*> out{global_};
    for (int r = 0; r < static_cast<int>(realms_.size()); ++r) {
        if (r != realm_ && realms_[r].global != nullptr) {
            out.push_back(realms_[r].global);
        }
    }
    return out;
}

Vm::~Vm() = default;

String* Vm::key(String* name) {
    if (!name->interned()) {
        name = heap_.intern(name->view());
    }
    if (caseSensitive()) {
        return name;
    }
    if (name->folded_ == nullptr) {
        const std::string lower = lowerAscii(name->view());
        name->folded_ = lower == name->view() ? name : heap_.intern(lower);
        name->folded_->folded_ = name->folded_;
    }
    return name->folded_;
}

Object* Vm::newObject(Object* proto) {
    return heap_.make<Object>(proto ? proto : protos_.object);
}

ArrayObject* Vm::newArray(std::span<const Value> items) {
    auto* a = heap_.make<ArrayObject>(protos_.array);
    a->setElements(std::vector<Value>(items.begin(), items.end()));
    return a;
}

FunctionObject* Vm::newNative(NativeFunction fn, Object* prototype) {
    auto* f = heap_.make<FunctionObject>(protos_.function, fn);
    if (prototype != nullptr) {
        define(f, "prototype", Value(prototype), kDontEnum | kDontDelete);
        define(prototype, "constructor", Value(f), kDontEnum);
    }
    return f;
}

void Vm::define(Object* o, std::string_view name, const Value& v, std::uint16_t flags) {
    String* n = intern(name);
    String* k = key(n);
    Property* p = o->properties().find(k);
    if (p == nullptr) {
        p = &o->properties().add(k, n);
    }
    p->value = v;
    p->getter = p->setter = nullptr;
    p->flags = flags;
}

void Vm::defineNative(Object* o, std::string_view name, NativeFunction fn, std::uint16_t flags) {
    define(o, name, Value(newNative(fn)), flags);
}

void Vm::defineAccessor(Object* o, std::string_view name, NativeFunction getter,
                        NativeFunction setter, std::uint16_t flags) {
    String* n = intern(name);
    String* k = key(n);
    Property* p = o->properties().find(k);
    if (p == nullptr) {
        p = &o->properties().add(k, n);
    }
    p->value = Value();
    p->getter = newNative(getter);
    p->setter = setter != nullptr ? newNative(setter) : nullptr;
    p->flags = flags;
}

Property* Vm::findProperty(Object* o, String* k, Object** owner) {
    int depth = 0;
    for (Object* cur = o; cur != nullptr && depth < kMaxProtoDepth; cur = cur->proto(), ++depth) {
        Property* p = cur->properties().find(k);
        if (p != nullptr && visibleToVersion(p->flags, version_)) {
            if (owner != nullptr) {
                *owner = cur;
            }
            return p;
        }
    }
    return nullptr;
}

bool Vm::lookup(Object* o, const Value& thisValue, String* k, Value& out) {
    if (o->kind() == ObjectKind::Super) {
        // Conversions of super find their methods above the method's home.
        const auto* sup = static_cast<SuperObject*>(o);
        o = sup->home != nullptr ? sup->home->proto() : nullptr;
        if (o == nullptr) {
            return false;
        }
    }
    if (k == atoms_.proto) {
        if (o->proto() != nullptr) {
            out = Value(o->proto());
            return true;
        }
        // A primitive stored as __proto__ reads back, though it links to nothing.
        const Property* stored = o->properties().find(k);
        out = stored != nullptr ? stored->value : Value();
        return stored != nullptr;
    }
    int depth = 0;
    for (Object* cur = o; cur != nullptr; cur = cur->proto(), ++depth) {
        if (depth >= kMaxProtoDepth) {
            // A prototype chain that loops never ends a read: the script stops there.
            throw ScriptAbort{"A prototype chain loops; the script was stopped"};
        }
        // Own properties first: addProperty can take over an array's length or an index.
        Property* p = cur->properties().find(k);
        if (p == nullptr && cur->getSpecial(*this, k, out)) {
            return true;
        }
        if (p != nullptr) {
            if (!visibleToVersion(p->flags, version_)) {
                // Hidden from this version: the prototypes may still answer.
                continue;
            }
            if (p->isAccessor()) {
                // The getter runs as a method of the prototype it was found on (for super).
                // Too deep in itself, the last value written is read.
                const Value stored = p->value;
                out = callBack({cur, k}, p->getter, thisValue, {}, cur).value_or(stored);
            } else {
                out = p->value;
            }
            return true;
        }
    }
    return false;
}

std::optional<Value> Vm::callBack(const Callback& cb, Object* fn, const Value& thisValue,
                                  std::span<const Value> args, Object* home) {
    // Accessors and watchers that reach their property again stop quietly: the innermost
    // access reads the stored value (or writes without them) and the script goes on.
    if (std::count(callbacks_.begin(), callbacks_.end(), cb) >= kMaxCallbackDepth) {
        return std::nullopt;
    }
    callbacks_.push_back(cb);
    struct Leave {
        std::vector<Callback>& running;
        ~Leave() { running.pop_back(); }
    } leave{callbacks_};
    return call(Value(fn), thisValue, args, home);
}

void Vm::callSetter(Object* holder, String* key, Object* fn, const Value& thisValue,
                    const Value& arg, Object* home) {
    callBack({holder, key}, fn, thisValue, std::span<const Value>(&arg, 1), home);
}

Value Vm::getFromObject(Object* o, const Value& thisValue, String* k) {
    Value found;
    if (lookup(o, thisValue, k, found)) {
        return found;
    }
    if (k == atoms_.resolve) {
        return Value();
    }
    // A __resolve that is a primitive or a clip is passed over for one further up the chain;
    // any other object ends the search (and only a function answers).
    String* rk = key(atoms_.resolve);
    int depth = 0;
    for (Object* cur = o; cur != nullptr && depth < kMaxProtoDepth; cur = cur->proto(), ++depth) {
        Property* r = cur->properties().find(rk);
        if (r == nullptr) {
            continue;
        }
        if (r->isAccessor()) {
            return Value();
        }
        if (!r->value.isObject() || r->value.object()->kind() == ObjectKind::Clip) {
            continue;
        }
        if (!r->value.object()->isFunction()) {
            return Value();
        }
        const Value arg(k);
        return call(r->value, thisValue, std::span<const Value>(&arg, 1));
    }
    return Value();
}

Value Vm::get(const Value& target, String* name) {
    switch (target.type()) {
        case Type::Object: {
            Object* o = target.object();
            if (o->kind() == ObjectKind::Super) {
                auto* s = static_cast<SuperObject*>(o);
                Object* start = s->home ? s->home->proto() : nullptr;
                if (start == nullptr || start->kind() == ObjectKind::Clip) {
                    return Value();
                }
                return getFromObject(start, Value(s->thisObject), key(name));
            }
            return getFromObject(o, target, key(name));
        }
        case Type::String: {
            String* k = key(name);
            if (k == atoms_.length) {
                return Value(static_cast<double>(utf16Length(target.string()->view())));
            }
            return getFromObject(protos_.string, target, k);
        }
        case Type::Number:
            return getFromObject(protos_.number, target, key(name));
        case Type::Boolean:
            return getFromObject(protos_.boolean, target, key(name));
        default:
            return Value();
    }
}

void Vm::set(const Value& target, String* name, const Value& value) {
    Object* o = target.asObject();
    if (o == nullptr) {
        return;
    }
    if (o->kind() == ObjectKind::Super) {
        // super.x = v: a setter above the method's prototype runs on this; anything else
        // is written to this.
        auto* sup = static_cast<SuperObject*>(o);
        if (sup->thisObject == nullptr) {
            return;
        }
        Object* start = sup->home ? sup->home->proto() : nullptr;
        Object* owner = nullptr;
        Property* p = start ? findProperty(start, key(name), &owner) : nullptr;
        if (p != nullptr && p->isAccessor()) {
            if (p->setter != nullptr) {
                const Value arg = value;
                callSetter(owner, key(name), p->setter, Value(sup->thisObject), arg, owner);
            }
            return;
        }
        o = sup->thisObject;
    }
    String* k = key(name);
    Value v = value;
    if (!o->watches().empty()) {
        for (auto& w : o->watches()) {
            if (w.key == k) {
                // A watcher sees the stored value: a getter is not run for it, the value the
                // property held before addProperty took it over is reported instead.
                Property* found = findProperty(o, k);
                const Value old =
                    found != nullptr && found->isAccessor() ? found->value : get(Value(o), name);
                const Value args[] = {Value(name), old, v, w.userData};
                try {
                    v = callBack({o, k}, w.callback, Value(o), args).value_or(v);
                } catch (ScriptException&) {
                    // A watcher that throws leaves the property undefined.
                    if (Property* p = o->properties().find(k); p != nullptr && !p->isAccessor()) {
                        p->value = Value();
                    }
                    throw;
                }
                break;
            }
        }
    }
    if (k == atoms_.proto) {
        o->setProtoLink(v.asObject());
        o->properties().remove(k);
        if (!v.isObject() && !v.isUndefined()) {
            Property& stored = o->properties().add(k, atoms_.proto);
            stored.flags = kDontEnum;
            stored.value = v;
        }
        return;
    }
    Property* p = o->properties().find(k);
    if ((p == nullptr || !p->isAccessor()) && o->setSpecial(*this, k, v)) {
        return;
    }
    if (p != nullptr && !visibleToVersion(p->flags, version_)) {
        // Writing a property hidden from this version makes it visible again.
        p->value = v;
        p->getter = p->setter = nullptr;
        p->flags = static_cast<std::uint16_t>(p->flags & ~kVersionMask);
        return;
    }
    if (p == nullptr) {
        // An accessor up the chain takes the write.
        Object* owner = nullptr;
        Property* inherited = o->proto() ? findProperty(o->proto(), k, &owner) : nullptr;
        if (inherited != nullptr && inherited->isAccessor()) {
            if (inherited->setter != nullptr) {
                const Value arg = v;
                callSetter(owner, k, inherited->setter, Value(o), arg, owner);
                storeBehindAccessor(owner, k, v);
            }
            return;
        }
        p = &o->properties().add(k, name->interned() ? name : intern(name->view()));
        p->value = v;
        return;
    }
    if (p->isAccessor()) {
        if (p->setter != nullptr) {
            const Value arg = v;
            callSetter(o, k, p->setter, Value(o), arg, o);
            storeBehindAccessor(o, k, v);
        }
        return;
    }
    if ((p->flags & kReadOnly) != 0) {
        return;
    }
    p->value = v;
}

void Vm::storeBehindAccessor(Object* owner, String* k, const Value& v) {
    // After its setter ran (which may have changed the object), the accessor keeps the value
    // written: getters too deep in themselves read it.
    if (Property* p = owner->properties().find(k); p != nullptr && p->isAccessor()) {
        p->value = v;
    }
}

bool Vm::remove(Object* o, String* name) {
    String* k = key(name);
    if (k == atoms_.proto) {
        const bool had = o->proto() != nullptr || o->properties().find(k) != nullptr;
        o->setProtoLink(nullptr);
        o->properties().remove(k);
        return had;
    }
    bool deleted = false;
    if (o->deleteSpecial(*this, k, deleted)) {
        return deleted;
    }
    Property* p = o->properties().find(k);
    if (p == nullptr || (p->flags & kDontDelete) != 0) {
        return false;
    }
    o->properties().remove(k);
    return true;
}

bool Vm::has(Object* o, String* name, bool ownOnly) {
    String* k = key(name);
    Value dummy;
    if (k == atoms_.proto) {
        return o->proto() != nullptr;
    }
    if (o->getSpecial(*this, k, dummy)) {
        return true;
    }
    if (o->properties().find(k) != nullptr) {
        return true;
    }
    if (ownOnly || o->proto() == nullptr) {
        return false;
    }
    return findProperty(o->proto(), k) != nullptr;
}

std::vector<String*> Vm::enumerate(Object* o) {
    std::vector<String*> names;
    std::vector<String*> seen;
    auto seenKey = [&](String* k) {
        if (std::find(seen.begin(), seen.end(), k) != seen.end()) {
            return true;
        }
        seen.push_back(k);
        return false;
    };
    int depth = 0;
    for (Object* cur = o; cur != nullptr && depth < kMaxProtoDepth; cur = cur->proto(), ++depth) {
        std::vector<String*> special;
        cur->specialNames(*this, special);
        for (String* n : special) {
            if (!seenKey(key(n))) {
                names.push_back(n);
            }
        }
        for (auto& p : cur->properties().list()) {
            if (seenKey(p.key)) {
                continue;
            }
            if ((p.flags & kDontEnum) == 0) {
                names.push_back(p.name);
            }
        }
    }
    return names;
}

// --- Conversions ---

std::size_t utf16Length(std::string_view s) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if ((c & 0xc0) != 0x80) {
            n += c >= 0xf0 ? 2 : 1;
        }
    }
    return n;
}

Value Vm::toPrimitive(const Value& v, bool preferString) {
    Object* o = v.asObject();
    if (o == nullptr) {
        return v;
    }
    if (preferString) {
        return Value(toString(v));
    }
    // valueOf's result stands, even when it is an object (no fallback to toString).
    // Conversions look methods up without __resolve.
    Value fn;
    lookup(o, v, key(atoms_.valueOf), fn);
    if (fn.isObject() && fn.object()->isFunction()) {
        return call(fn, v, {});
    }
    return Value();  // an object without valueOf (no prototype) has no value
}

void Vm::reportUncaught(const Value& thrown) {
    // The log names what was thrown; converting it may run script and throw again.
    std::string text;
    try {
        text = toStdString(thrown);
    } catch (ScriptException&) {
        text = "[object]";
    } catch (ScriptAbort&) {
        text = "[object]";
    }
    host_.trace("Warning: Uncaught exception, " + text);
}

double Vm::toNumber(const Value& v) {
    switch (v.type()) {
        case Type::Number:
            return v.number();
        case Type::Boolean:
            return v.boolean() ? 1 : 0;
        case Type::String:
            return version_ < 5 ? swf4Number(v.string()->view())
                                : stringToNumber(v.string()->view(), version_);
        case Type::Object: {
            const Value p = toPrimitive(v);
            if (p.isObject()) {
                return version_ < 5 ? 0.0 : std::numeric_limits<double>::quiet_NaN();
            }
            if (p.isString()) {
                return stringToNumber(p.string()->view(), version_);
            }
            return toNumber(p);
        }
        case Type::Undefined:
        case Type::Hole:
        case Type::Null:
            return version_ >= 7 ? std::numeric_limits<double>::quiet_NaN() : 0.0;
    }
    return 0;
}

String* Vm::toString(const Value& v) {
    switch (v.type()) {
        case Type::String:
            return v.string();
        case Type::Number:
            return heap_.string(numberToString(v.number()));
        case Type::Boolean:
            return v.boolean() ? atoms_.trueName : atoms_.falseName;
        case Type::Null:
            return atoms_.null;
        case Type::Undefined:
        case Type::Hole:
            return version_ >= 7 ? atoms_.undefined : atoms_.empty;
        case Type::Object: {
            Object* o = v.object();
            if (o->kind() == ObjectKind::Clip) {
                // Object's own toString (of either realm) leaves the clip its path.
                auto nativeOf = [](const Property* q) -> NativeFunction {
                    return q != nullptr && q->value.isObject() && q->value.object()->isFunction()
                               ? static_cast<FunctionObject*>(q->value.object())->native
                               : nullptr;
                };
                Property* p = findProperty(o, key(atoms_.toString));
                if (p == nullptr ||
                    (nativeOf(p) != nullptr && o->proto() != nullptr &&
                     nativeOf(p) == nativeOf(findProperty(protos_.object, key(atoms_.toString))))) {
                    return heap_.string(dotPath(static_cast<ClipObject*>(o)->id));
                }
            }
            Value fn;
            lookup(o, v, key(atoms_.toString), fn);
            if (fn.isObject() && fn.object()->isFunction()) {
                // Only a string stands; anything else prints as the object's type.
                const Value r = call(fn, v, {});
                if (r.isString()) {
                    return r.string();
                }
            }
            return intern(o->isFunction() ? "[type Function]" : "[type Object]");
        }
    }
    return atoms_.empty;
}

bool Vm::toBoolean(const Value& v) {
    switch (v.type()) {
        case Type::Boolean:
            return v.boolean();
        case Type::Number:
            return !std::isnan(v.number()) && v.number() != 0;
        case Type::String:
            if (version_ >= 7) {
                return !v.string()->view().empty();
            } else {
                const double n = stringToNumber(v.string()->view(), version_);
                return !std::isnan(n) && n != 0;
            }
        case Type::Object:
            return true;
        default:
            return false;
    }
}

Object* Vm::toObject(const Value& v) {
    switch (v.type()) {
        case Type::Object:
            return v.object();
        case Type::String: {
            Object* o = heap_.make<BoxObject>(protos_.string, ObjectKind::String, v);
            define(o, "length", Value(static_cast<double>(utf16Length(v.string()->view()))),
                   kDontEnum | kDontDelete);
            return o;
        }
        case Type::Number:
            return heap_.make<BoxObject>(protos_.number, ObjectKind::Number, v);
        case Type::Boolean:
            return heap_.make<BoxObject>(protos_.boolean, ObjectKind::Boolean, v);
        default:
            return nullptr;
    }
}

String* Vm::typeOf(const Value& v) {
    switch (v.type()) {
        case Type::Number:
            return atoms_.number;
        case Type::Boolean:
            return atoms_.boolean;
        case Type::String:
            return atoms_.string;
        case Type::Null:
            return atoms_.null;
        case Type::Undefined:
        case Type::Hole:
            return atoms_.undefined;
        case Type::Object: {
            Object* o = v.object();
            if (o->isFunction()) {
                return atoms_.function;
            }
            if (o->kind() == ObjectKind::Clip) {
                const auto k = host_.kind(static_cast<ClipObject*>(o)->id);
                return k == Host::Kind::MovieClip || !host_.exists(static_cast<ClipObject*>(o)->id)
                           ? atoms_.movieclip
                           : atoms_.object;
            }
            return atoms_.object;
        }
    }
    return atoms_.undefined;
}

bool Vm::strictEquals(const Value& a, const Value& b) {
    if (a.isUndefined() && b.isUndefined()) {
        return true;
    }
    if (a.type() != b.type()) {
        return false;
    }
    switch (a.type()) {
        case Type::Number:
            return numbersEqual(a.number(), b.number());
        case Type::Boolean:
            return a.boolean() == b.boolean();
        case Type::String:
            return a.string() == b.string() || a.string()->view() == b.string()->view();
        case Type::Object:
            return a.object() == b.object();
        default:
            return true;
    }
}

bool Vm::abstractEquals(const Value& a, const Value& b) {
    if (version_ < 6 && a.isObject() && b.isObject() && a.object() != b.object()) {
        // SWF 5 compares two objects by their values (boxed numbers, strings, dates).
        const Value pa = toPrimitive(a);
        const Value pb = toPrimitive(b);
        return pa.isObject() || pb.isObject() ? strictEquals(pa, pb) : abstractEquals(pa, pb);
    }
    if (a.type() == b.type() || (a.isUndefined() && b.isUndefined())) {
        return strictEquals(a, b);
    }
    if (a.isNullish() && b.isNullish()) {
        return true;
    }
    if ((a.isObject() && b.isNullish()) || (a.isNullish() && b.isObject())) {
        const Value p = toPrimitive(a.isObject() ? a : b);
        return !p.isObject() && p.isNullish();
    }
    if (a.isNullish() || b.isNullish()) {
        return false;
    }
    if (a.isNumber() && b.isString()) {
        return a.number() == toNumber(b);
    }
    if (a.isString() && b.isNumber()) {
        return toNumber(a) == b.number();
    }
    if (a.isBoolean()) {
        return abstractEquals(Value(a.boolean() ? 1.0 : 0.0), b);
    }
    if (b.isBoolean()) {
        return abstractEquals(a, Value(b.boolean() ? 1.0 : 0.0));
    }
    if (a.isObject() && !b.isObject()) {
        const Value p = toPrimitive(a);
        return p.isObject() ? false : abstractEquals(p, b);
    }
    if (b.isObject() && !a.isObject()) {
        const Value p = toPrimitive(b);
        return p.isObject() ? false : abstractEquals(a, p);
    }
    return false;
}

Value Vm::add(const Value& a, const Value& b) {
    // From SWF 6 a date adds as its text: toString, not valueOf, gives its primitive here.
    const auto primitive = [this](const Value& v) {
        Object* o = v.asObject();
        if (o == nullptr || o->kind() != ObjectKind::Date || version_ < 6) {
            return toPrimitive(v);
        }
        Value fn;
        lookup(o, v, key(atoms_.toString), fn);
        return fn.isObject() && fn.object()->isFunction() ? call(fn, v, {}) : Value();
    };
    const Value pb = primitive(b);
    const Value pa = primitive(a);
    // An operand whose valueOf gave an object converts again from the original.
    const Value ca = pa.isObject() ? a : pa;
    const Value cb = pb.isObject() ? b : pb;
    if (pa.isString() || pb.isString()) {
        String* sa = toString(ca);
        String* sb = toString(cb);
        return Value(str(joinText(sa->view(), sb->view())));
    }
    return Value(toNumber(ca) + toNumber(cb));
}

Value Vm::lessThan(const Value& a, const Value& b) {
    // An object whose valueOf gives no primitive compares false at once, without converting
    // the other side; a display object is a NaN instead.
    const auto opaque = [](const Value& p) {
        return p.isObject() && p.object()->kind() != ObjectKind::Clip;
    };
    const Value pa = toPrimitive(a);
    if (opaque(pa)) {
        return Value::boolean(false);
    }
    const Value pb = toPrimitive(b);
    if (opaque(pb)) {
        return Value::boolean(false);
    }
    if (pa.isString() && pb.isString()) {
        return Value::boolean(textLess(pa.string()->view(), pb.string()->view()));
    }
    const double na = toNumber(pa);
    const double nb = toNumber(pb);
    if (std::isnan(na) || std::isnan(nb)) {
        return Value();
    }
    return Value::boolean(na < nb);
}

// The prototypes of the interfaces implements listed on a prototype, and of the interfaces
// those implement.
bool Vm::implementsInterface(Object* holder, Object* proto, int depth) {
    // Shallow on purpose: lists that name each other would otherwise branch without end.
    constexpr int kMaxInterfaceDepth = 10;
    if (depth >= kMaxInterfaceDepth) {
        return false;
    }
    Property* list = holder->properties().find(intern("__implements__"));
    if (list == nullptr || !list->value.isObject() ||
        list->value.object()->kind() != ObjectKind::Array) {
        return false;
    }
    auto* a = static_cast<ArrayObject*>(list->value.object());
    for (std::uint32_t i = 0; i < std::min<std::uint32_t>(a->size(), 1u << 16); ++i) {
        Object* p = lib::elementAt(*this, a, i).asObject();
        if (p != nullptr && (p == proto || implementsInterface(p, proto, depth + 1))) {
            return true;
        }
    }
    return false;
}

Object* Vm::coerceToObject(const Value& v) {
    const char* className = nullptr;
    switch (v.type()) {
        case Type::Object:
            return v.object();
        case Type::String:
            className = "String";
            break;
        case Type::Number:
            className = "Number";
            break;
        case Type::Boolean:
            className = "Boolean";
            break;
        default:
            return nullptr;
    }
    // Made by whatever the global of that name is now, as the player's operators do.
    const Value made = construct(get(Value(global_), className), std::span<const Value>(&v, 1));
    return made.asObject();
}

Value Vm::ownPrototype(Object* ctor) {
    if (ctor->kind() == ObjectKind::Clip && !host_.exists(static_cast<ClipObject*>(ctor)->id)) {
        return Value();
    }
    // The stored value: neither a getter nor the version a property is visible from counts.
    const Property* p = ctor->properties().find(key(atoms_.prototype));
    return p != nullptr ? p->value : Value();
}

bool Vm::instanceOf(const Value& v, const Value& ctorValue) {
    Object* o = v.asObject();
    if (o == nullptr) {
        return false;
    }
    NoCollect hold(*this);
    Object* ctor = coerceToObject(ctorValue);
    if (ctor == nullptr) {
        return false;
    }
    Object* proto = coerceToObject(ownPrototype(ctor));
    // A clip never stands as a class's prototype, and a removed clip has no prototypes.
    if (proto == nullptr || proto->kind() == ObjectKind::Clip ||
        (o->kind() == ObjectKind::Clip && !host_.exists(static_cast<ClipObject*>(o)->id))) {
        return false;
    }
    int depth = 0;
    for (Object* cur = o->proto(); cur != nullptr && depth < kMaxProtoDepth;
         cur = cur->proto(), ++depth) {
        if (cur == proto) {
            return true;
        }
        if (implementsInterface(cur, proto, 0)) {
            return true;
        }
    }
    return false;
}

// --- Display objects ---

Object* Vm::protoForDisplay(Host::Kind k, const Protos& protos) {
    switch (k) {
        case Host::Kind::TextField:
            return protos.textField;
        case Host::Kind::Button:
            return protos.button;
        case Host::Kind::MovieClip:
            return protos.movieClip;
        case Host::Kind::Video:
            return protos.video != nullptr ? protos.video : protos.object;
        case Host::Kind::Other:
            return protos.object;
    }
    return protos.object;
}

Object* Vm::clipObject(DisplayId id) {
    if (id == kNoDisplay) {
        return nullptr;
    }
    auto it = clips_.find(id);
    if (it != clips_.end()) {
        return it->second;
    }
    if (!host_.exists(id)) {
        return nullptr;
    }
    const Host::Kind kind = host_.kind(id);
    // Before SWF 6 a button is no object of its own: scripts reaching it reach its clip.
    if (kind == Host::Kind::Button && swfVersion() < 6) {
        const DisplayId parent = host_.parent(id);
        return parent != id ? clipObject(parent) : nullptr;
    }
    // The object takes the built-ins of its movie's version, whoever reaches it first.
    int version = version_;
    for (DisplayId d = id; d != kNoDisplay;) {
        if (const auto info = host_.movieInfo(d)) {
            version = info->version;
            break;
        }
        const DisplayId up = host_.parent(d);
        d = up != d ? up : kNoDisplay;
    }
    auto* c = heap_.make<ClipObject>(protoForDisplay(kind, protosFor(version)), id);
    clips_.emplace(id, c);
    if (kind == Host::Kind::TextField) {
        lib::initTextFieldObject(*this, c);
    }
    return c;
}

void Vm::forgetClip(DisplayId id) {
    clips_.erase(id);
}

DisplayId Vm::currentTarget() const {
    if (frame_ == nullptr) {
        return host_.root();
    }
    Object* o = frame_->target.asObject();
    if (o != nullptr && o->kind() == ObjectKind::Clip) {
        return static_cast<ClipObject*>(o)->id;
    }
    return kNoDisplay;
}

DisplayId Vm::resolvePath(DisplayId from, std::string_view path) {
    if (path.empty()) {
        return from;
    }
    Object* start = from != kNoDisplay ? clipObject(from) : nullptr;
    const Value v = followPath(start != nullptr ? Value(start) : Value(), path, false);
    Object* o = v.asObject();
    return o != nullptr && o->kind() == ObjectKind::Clip ? static_cast<ClipObject*>(o)->id
                                                         : kNoDisplay;
}

namespace {

// "_levelN" (or "_flashN"): the digits that follow, read as far as they go and wrapped to a
// 32-bit integer; nothing when the name is no level name.
std::optional<std::int64_t> levelNumber(std::string_view name, bool ignoreCase) {
    if (name.size() < 6) {
        return std::nullopt;
    }
    const std::string_view head = name.substr(0, 6);
    auto same = [ignoreCase](std::string_view a, std::string_view b) {
        return ignoreCase ? std::equal(a.begin(), a.end(), b.begin(), b.end(),
                                       [](char x, char y) {
                                           return std::tolower(static_cast<unsigned char>(x)) ==
                                                  std::tolower(static_cast<unsigned char>(y));
                                       })
                          : a == b;
    };
    if (!same(head, "_level") && !same(head, "_flash")) {
        return std::nullopt;
    }
    if (name.size() > 6 && name[6] == '-') {
        return -1;  // a level below zero: none
    }
    std::uint32_t n = 0;
    for (std::size_t i = 6; i < name.size() && name[i] >= '0' && name[i] <= '9'; ++i) {
        n = n * 10 + static_cast<std::uint32_t>(name[i] - '0');
    }
    return static_cast<std::int32_t>(n);
}

}  // namespace

std::optional<std::int64_t> Vm::levelName(std::string_view name) const {
    return levelNumber(name, !caseSensitive());
}

Value Vm::followPath(const Value& from, std::string_view path, bool members) {
    Value cur = from;
    auto clipId = [](const Value& v) {
        Object* o = v.asObject();
        return o != nullptr && o->kind() == ObjectKind::Clip ? static_cast<ClipObject*>(o)->id
                                                             : kNoDisplay;
    };
    auto clipValue = [this](DisplayId id) {
        Object* o = id != kNoDisplay ? clipObject(id) : nullptr;
        return o != nullptr ? Value(o) : Value();
    };
    // A path that ends in an empty name between two colons names nothing.
    if (path.size() >= 2 && path.substr(path.size() - 2) == "::") {
        return Value();
    }
    std::size_t i = 0;
    bool slash = false;
    if (!path.empty() && path[0] == '/') {
        cur = clipValue(host_.root());
        slash = true;
        i = 1;
    }
    auto separator = [&slash](char c) { return c == '/' || c == ':' || (c == '.' && !slash); };
    while (i < path.size() && cur.isObject()) {
        std::size_t j = i;
        std::string_view seg;
        // ".." is the parent when a slash or colon (or the end) follows it.
        if (path.compare(i, 2, "..") == 0 &&
            (i + 2 == path.size() || path[i + 2] == '/' || path[i + 2] == ':')) {
            j = i + 2;
            seg = "..";
        } else {
            while (j < path.size() && !separator(path[j])) {
                ++j;
            }
            seg = path.substr(i, j - i);
        }
        if (!seg.empty()) {
            const DisplayId id = clipId(cur);
            if (seg == ".." || seg == "_parent") {
                cur = id != kNoDisplay ? clipValue(host_.parent(id)) : Value();
            } else if (seg == "_root") {
                cur = clipValue(id != kNoDisplay ? host_.rootOf(id) : host_.root());
            } else if (const auto level = levelName(seg)) {
                cur = *level >= 0 ? clipValue(host_.level(static_cast<int>(*level))) : Value();
            } else if (seg == "this" && members) {
            } else {
                const DisplayId child =
                    id != kNoDisplay ? host_.child(id, seg, !caseSensitive()) : kNoDisplay;
                if (child != kNoDisplay) {
                    cur = clipValue(child);
                } else if (members) {
                    const Value v = get(cur, intern(seg));
                    cur = v.isObject() ? v : Value();
                } else {
                    cur = Value();
                }
            }
        }
        if (j < path.size() && path[j] == '/') {
            slash = true;
        }
        i = j + 1;
    }
    return cur.isObject() ? cur : Value();
}

DisplayId Vm::displayOf(const Value& v, DisplayId from) {
    if (Object* o = v.asObject(); o != nullptr && o->kind() == ObjectKind::Clip) {
        return static_cast<ClipObject*>(o)->id;
    }
    if (v.isString()) {
        return resolvePath(from, v.string()->view());
    }
    return kNoDisplay;
}

namespace {

// The instance names from the top of id's tree down to id (the top itself not included),
// and the level number of that top (-1 when it is no level).
std::vector<std::string> namesFromTop(Host& host, DisplayId id, int& level) {
    std::vector<std::string> names;
    level = -1;
    DisplayId cur = id;
    int guard = 0;
    while (cur != kNoDisplay && guard++ < 1000) {
        const DisplayId up = host.parent(cur);
        if (up == kNoDisplay) {
            for (int n = 0; n < 1000; ++n) {
                if (host.level(n) == cur) {
                    level = n;
                    break;
                }
            }
            break;
        }
        const DisplayValue name = host.property(cur, DisplayProperty::Name);
        names.push_back(std::holds_alternative<std::string>(name) ? std::get<std::string>(name)
                                                                  : std::string());
        cur = up;
    }
    std::reverse(names.begin(), names.end());
    return names;
}

}  // namespace

std::string Vm::dotPath(DisplayId id) {
    int level = -1;
    const std::vector<std::string> names = namesFromTop(host_, id, level);
    std::string out = level >= 0 ? "_level" + std::to_string(level) : std::string();
    for (const auto& n : names) {
        if (!out.empty()) {
            out += '.';
        }
        out += n;
    }
    return out;
}

std::string Vm::slashPath(DisplayId id) {
    int level = -1;
    std::string out;
    for (const auto& n : namesFromTop(host_, id, level)) {
        out += '/';
        out += n;
    }
    return out.empty() ? "/" : out;
}

// --- Garbage ---

void Vm::traceRoots(Tracer& t) {
    realms_[realm_] = Realm{global_, protos_};
    for (const Realm& r : realms_) {
        const Protos& p = r.protos;
        t.markObject(r.global);
        for (Object* o : {p.object, p.function, p.array, p.string, p.number, p.boolean, p.date,
                          p.movieClip, p.textField, p.button, p.xmlNode, p.xml, p.loadVars, p.error,
                          p.textFormat, p.video}) {
            t.markObject(o);
        }
    }
    for (String* s :
         {atoms_.proto,     atoms_.prototype, atoms_.constructor, atoms_.constructorHidden,
          atoms_.length,    atoms_.valueOf,   atoms_.toString,    atoms_.resolve,
          atoms_.thisName,  atoms_.arguments, atoms_.super,       atoms_.global,
          atoms_.root,      atoms_.parent,    atoms_.callee,      atoms_.caller,
          atoms_.empty,     atoms_.undefined, atoms_.null,        atoms_.trueName,
          atoms_.falseName, atoms_.nan,       atoms_.object,      atoms_.function,
          atoms_.number,    atoms_.string,    atoms_.boolean,     atoms_.movieclip,
          atoms_.onLoad,    atoms_.onData}) {
        t.mark(s);
    }
    for (auto& [proto, allocator] : allocators_) {
        t.markObject(proto);
    }
    for (const Value& v : stack_) {
        t.mark(v);
    }
    for (Frame* f = frame_; f != nullptr; f = f->caller) {
        f->trace(t);
    }
    for (auto& [id, c] : clips_) {
        t.markObject(c);
    }
    for (auto& [o, n] : roots_) {
        t.markObject(o);
    }
    for (auto& timer : timers_) {
        t.mark(timer.callback);
        t.mark(timer.thisValue);
        t.mark(timer.method);
        for (auto& v : timer.args) {
            t.mark(v);
        }
    }
    for (auto& [id, o] : loads_) {
        t.markObject(o);
    }
    for (auto& [id, o] : clipLoads_) {
        t.markObject(o);
    }
    for (auto& [o, send] : deferred_) {
        t.markObject(o);
    }
    for (auto& [id, o] : sockets_) {
        t.markObject(o);
    }
    for (auto& [id, o] : files_) {
        t.markObject(o);
    }
    for (const Value& v : pinned_) {
        t.mark(v);
    }
}

void Vm::collectGarbage() {
    heap_.collect([this](Tracer& t) { traceRoots(t); });
}

void Vm::maybeCollect() {
    if (noCollect_ == 0 && heap_.wantsCollection()) {
        collectGarbage();
    }
}

void Vm::addRoot(Object* o) {
    ++roots_[o];
}

void Vm::removeRoot(Object* o) {
    auto it = roots_.find(o);
    if (it != roots_.end() && --it->second <= 0) {
        roots_.erase(it);
    }
}

void Vm::checkLimits() {
    if (running_ && std::chrono::steady_clock::now() - scriptStart_ > limits_.timeout) {
        throw ScriptAbort{"A script ran longer than the time limit and was stopped"};
    }
}

Vm::TickBudget::TickBudget(Vm& vm) : vm_(vm), outer_(!vm.inTick_) {
    if (outer_) {
        vm_.inTick_ = true;
        vm_.tickExhausted_ = false;
        vm_.tickStart_ = std::chrono::steady_clock::now();
    }
}

Vm::TickBudget::~TickBudget() {
    if (outer_) {
        vm_.inTick_ = false;
        vm_.tickExhausted_ = false;
    }
}

bool Vm::beginOuterRun() {
    if (inTick_ && tickExhausted_) {
        return false;
    }
    running_ = true;
    scriptStart_ = inTick_ ? tickStart_ : std::chrono::steady_clock::now();
    return true;
}

void Vm::abortedOuterRun() {
    if (inTick_) {
        tickExhausted_ = true;
    }
}

// --- Timers ---

int Vm::addTimer(Timer t) {
    t.id = nextTimerId_++;
    timers_.push_back(std::move(t));
    return timers_.back().id;
}

void Vm::removeTimer(int id) {
    timers_.erase(
        std::remove_if(timers_.begin(), timers_.end(), [id](const Timer& t) { return t.id == id; }),
        timers_.end());
}

void Vm::runTimers(double now) {
    // All the timers of one tick share one time budget: callbacks that each ran into the
    // limit cannot add up to freezing the player.
    const bool outer = !running_;
    if (outer && !beginOuterRun()) {
        return;
    }
    struct EndRun {
        Vm& vm;
        bool outer;
        ~EndRun() {
            if (outer) {
                vm.running_ = false;
            }
        }
    } endRun{*this, outer};
    std::vector<int> due;
    for (const auto& t : timers_) {
        if (t.due <= now) {
            due.push_back(t.id);
        }
    }
    for (int id : due) {
        auto it = std::find_if(timers_.begin(), timers_.end(),
                               [id](const Timer& t) { return t.id == id; });
        if (it == timers_.end()) {
            continue;  // cleared by an earlier callback
        }
        Timer t = *it;
        if (t.repeat) {
            it->due = std::max(now, it->due + std::max(t.interval, 1.0));
            if (it->due <= now) {
                it->due = now + std::max(t.interval, 1.0);
            }
        } else {
            timers_.erase(it);
        }
        // The copy is rooted through a temporary timer entry while it runs.
        Value fn = t.callback;
        Value self = t.thisValue;
        if (t.method != nullptr) {
            self = t.callback;
            fn = get(t.callback, t.method);
        }
        if (fn.isObject() && fn.object()->isFunction()) {
            pinned_.push_back(fn);
            pinned_.push_back(self);
            for (auto& a : t.args) {
                pinned_.push_back(a);
            }
            bool aborted = false;
            try {
                callInternal(fn, self, t.args, nullptr);
            } catch (ScriptException& e) {
                reportUncaught(e.value);
            } catch (ScriptAbort& a) {
                if (!outer) {
                    pinned_.resize(pinned_.size() - 2 - t.args.size());
                    throw;
                }
                reportError(a.reason);
                abortedOuterRun();
                aborted = true;
            }
            pinned_.resize(pinned_.size() - 2 - t.args.size());
            if (aborted) {
                break;  // the tick's budget is spent: the rest wait for the next one
            }
        }
    }
    if (outer) {
        maybeCollect();
    }
}

// --- Loads ---

std::uint64_t Vm::requestLoad(Object* receiver, std::string_view url, UrlMethod method,
                              std::string_view body) {
    const std::uint64_t id = nextLoadId_++;
    loads_[id] = receiver;
    host_.loadData(id, url, method, body);
    return id;
}

std::uint64_t Vm::requestPost(Object* receiver, std::string_view url, std::string_view contentType,
                              std::string_view body) {
    const std::uint64_t id = nextLoadId_++;
    loads_[id] = receiver;
    host_.postData(id, url, contentType, body);
    return id;
}

std::uint64_t Vm::requestSocket(Object* owner, std::string_view host, int port) {
    const std::uint64_t id = nextLoadId_++;
    if (!host_.openSocket(id, host, port)) {
        return 0;
    }
    sockets_[id] = owner;
    return id;
}

Object* Vm::socketOwner(std::uint64_t id) {
    const auto it = sockets_.find(id);
    return it == sockets_.end() ? nullptr : it->second;
}

void Vm::forgetSocket(std::uint64_t id) {
    sockets_.erase(id);
}

std::uint64_t Vm::requestFile(Object* owner) {
    const std::uint64_t id = nextLoadId_++;
    files_[id] = owner;
    return id;
}

Object* Vm::fileOwner(std::uint64_t id) {
    const auto it = files_.find(id);
    return it == files_.end() ? nullptr : it->second;
}

void Vm::forgetFile(std::uint64_t id) {
    files_.erase(id);
}

void Vm::defer(Object* o, DeferredSend send) {
    for (const auto& [queued, fn] : deferred_) {
        if (queued == o && fn == send) {
            return;
        }
    }
    deferred_.emplace_back(o, send);
}

void Vm::runDeferred() {
    // What the sends queue anew waits for the next round.
    std::vector<std::pair<Object*, DeferredSend>> due;
    due.swap(deferred_);
    pinned_.reserve(pinned_.size() + due.size());
    const std::size_t pinnedBefore = pinned_.size();
    for (const auto& [o, send] : due) {
        pinned_.push_back(Value(o));
    }
    for (const auto& [o, send] : due) {
        send(*this, o);
    }
    pinned_.resize(pinnedBefore);
}

void Vm::deliverProgress(std::uint64_t requestId, std::string_view data, std::size_t total) {
    const auto it = loads_.find(requestId);
    if (it == loads_.end() || tickExhausted()) {
        return;
    }
    Object* receiver = it->second;
    pinned_.push_back(Value(receiver));
    define(receiver, "_bytesLoaded", Value(static_cast<double>(data.size())),
           kDontEnum | kDontDelete);
    if (total > 0) {
        define(receiver, "_bytesTotal", Value(static_cast<double>(total)), kDontEnum | kDontDelete);
    }
    receiver->receiveProgress(*this, requestId, data);
    pinned_.pop_back();
}

void Vm::cancelLoad(std::uint64_t requestId) {
    if (loads_.erase(requestId) > 0) {
        host_.cancelLoad(requestId);
    }
}

void Vm::deliverLoad(std::uint64_t requestId, bool ok, std::string_view data) {
    auto it = loads_.find(requestId);
    if (it == loads_.end()) {
        return;
    }
    Object* receiver = it->second;
    loads_.erase(it);
    if (tickExhausted()) {
        return;  // this tick's scripts ran out of time: the result is dropped
    }
    pinned_.push_back(Value(receiver));
    if (ok) {
        define(receiver, "_bytesLoaded", Value(static_cast<double>(data.size())),
               kDontEnum | kDontDelete);
        define(receiver, "_bytesTotal", Value(static_cast<double>(data.size())),
               kDontEnum | kDontDelete);
    }
    if (receiver->receiveLoad(*this, ok, data)) {
        pinned_.pop_back();
        return;
    }
    const Value fn = get(Value(receiver), atoms_.onData);
    if (fn.isObject() && fn.object()->isFunction()) {
        const Value arg = ok ? Value(str(data)) : Value();
        pinned_.push_back(arg);
        callFromHost(fn, Value(receiver), std::span<const Value>(&arg, 1));
        pinned_.pop_back();
    }
    pinned_.pop_back();
}

}  // namespace zd::avm1
