// Object, Function, the global functions, AsBroadcaster, System and Error.

#include <algorithm>
#include <cmath>
#include <limits>

#include "engine/avm1/Library.h"
#include "engine/avm1/Strings.h"
#include "engine/avm1/Vm.h"

namespace zd::avm1 {

void Vm::installLibrary() {
    protos_.object = heap_.make<Object>(nullptr);
    protos_.function = heap_.make<Object>(protos_.object);
    // _global is bare: no prototype, so not even Object's methods.
    global_ = heap_.make<Object>(nullptr);
    lib::installObject(*this);
    lib::installFunction(*this);
    lib::installGlobals(*this);
    lib::installArray(*this);
    lib::installString(*this);
    lib::installNumberAndBoolean(*this);
    lib::installMath(*this);
    lib::installDate(*this);
    lib::installBroadcaster(*this);
    lib::installSystem(*this);
    lib::installPrintJob(*this);
    lib::installContextMenu(*this);
    lib::installXml(*this);
    lib::installLoadVars(*this);
    lib::installMovieClip(*this);
    lib::installGeom(*this);
    lib::installBitmapData(*this);
    lib::installFilters(*this);
    lib::installNet(*this);
    lib::installMovieClipLoader(*this);
    lib::installSharedObject(*this);
    lib::installSound(*this);
    lib::installColor(*this);
    lib::installNetConnection(*this);
    lib::installXmlSocket(*this);
    lib::installFileReference(*this);
    lib::installNetStream(*this);
    lib::installInput(*this);
    lib::installStage(*this);
    lib::installDevices(*this);
}

namespace lib {

FunctionObject* defineClass(Vm& vm, std::string_view name, NativeFunction ctor, Object* proto,
                            NativeAllocator allocator) {
    FunctionObject* f = vm.newNative(ctor, proto);
    f->allocator = allocator;
    if (allocator != nullptr && proto != nullptr) {
        vm.registerAllocator(proto, allocator);
    }
    if (!name.empty()) {
        vm.define(vm.global(), name, Value(f), kDontEnum);
    }
    return f;
}

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

bool isCallable(const Value& v) {
    return v.isObject() && v.object()->isFunction();
}

// --- Object ---

Value objectConstructor(Vm& vm, const CallInfo& c) {
    if (c.count() > 0 && !c.arg(0).isNullish()) {
        return Value(vm.toObject(c.arg(0)));
    }
    if (c.construct) {
        return c.thisValue;
    }
    // Called as a function without a value, Object makes a bare object (no prototype).
    return Value(vm.heap().make<Object>(nullptr));
}

Value objectAddProperty(Vm& vm, const CallInfo& c) {
    Object* o = c.thisObject();
    const Value name = c.arg(0);
    const Value getter = c.arg(1);
    const Value setter = c.arg(2);
    if (o == nullptr || name.isUndefined() || !isCallable(getter)) {
        return Value::boolean(false);
    }
    // The setter must be a function or an explicit null (a read-only property).
    if (!setter.isNull() && !isCallable(setter)) {
        return Value::boolean(false);
    }
    String* n = vm.intern(vm.toString(name)->view());
    if (n->view().empty()) {
        return Value::boolean(false);
    }
    if (o->kind() == ObjectKind::Array) {
        static_cast<ArrayObject*>(o)->spill(vm);  // an element may become an accessor
    }
    String* k = vm.key(n);
    Property* p = o->properties().find(k);
    if (p == nullptr) {
        p = &o->properties().add(k, n);
    }
    p->getter = getter.object();
    // The value a plain property held stays behind the accessor (watchers report it).
    p->setter = isCallable(setter) ? setter.object() : nullptr;
    return Value::boolean(true);
}

Value objectHasOwnProperty(Vm& vm, const CallInfo& c) {
    Object* o = c.thisObject();
    if (o == nullptr || c.count() == 0) {
        return Value::boolean(false);
    }
    String* name = vm.toString(c.arg(0));
    return Value::boolean(!name->view().empty() && vm.has(o, name, true));
}

Value objectIsPropertyEnumerable(Vm& vm, const CallInfo& c) {
    Object* o = c.thisObject();
    if (o == nullptr) {
        return Value::boolean(false);
    }
    String* k = vm.key(vm.toString(c.arg(0)));
    if (Property* p = o->properties().find(k)) {
        return Value::boolean((p->flags & kDontEnum) == 0);
    }
    Value dummy;
    if (o->getSpecial(vm, k, dummy)) {
        return Value::boolean(o->kind() == ObjectKind::Array && k != vm.atoms().length);
    }
    return Value::boolean(false);
}

Value objectIsPrototypeOf(Vm&, const CallInfo& c) {
    Object* o = c.thisObject();
    Object* v = c.arg(0).asObject();
    if (o == nullptr || v == nullptr) {
        return Value::boolean(false);
    }
    int depth = 0;
    for (Object* p = v->proto(); p != nullptr && depth < 256; p = p->proto(), ++depth) {
        if (p == o) {
            return Value::boolean(true);
        }
    }
    return Value::boolean(false);
}

Value objectToString(Vm& vm, const CallInfo& c) {
    Object* o = c.thisObject();
    if (o != nullptr && o->isFunction()) {
        return Value(vm.intern("[type Function]"));
    }
    return Value(vm.intern("[object Object]"));
}

Value objectValueOf(Vm&, const CallInfo& c) {
    return c.thisValue;
}

Value objectWatch(Vm& vm, const CallInfo& c) {
    Object* o = c.thisObject();
    if (o == nullptr || c.count() < 2 || !isCallable(c.arg(1))) {
        return Value::boolean(false);
    }
    String* k = vm.key(vm.toString(c.arg(0)));
    for (auto& w : o->watches()) {
        if (w.key == k) {
            w.callback = c.arg(1).object();
            w.userData = c.arg(2);
            return Value::boolean(true);
        }
    }
    o->watches().push_back(Watch{k, c.arg(1).object(), c.arg(2)});
    return Value::boolean(true);
}

Value objectUnwatch(Vm& vm, const CallInfo& c) {
    Object* o = c.thisObject();
    if (o == nullptr || c.count() == 0) {
        return Value::boolean(false);
    }
    String* k = vm.key(vm.toString(c.arg(0)));
    auto& ws = o->watches();
    const auto it = std::find_if(ws.begin(), ws.end(), [k](const Watch& w) { return w.key == k; });
    if (it == ws.end()) {
        return Value::boolean(false);
    }
    ws.erase(it);
    return Value::boolean(true);
}

Value objectRegisterClass(Vm& vm, const CallInfo& c) {
    // A class is a function; null (or undefined) takes a registration back.
    if (c.count() < 2 || (!c.arg(1).isNullish() && !isCallable(c.arg(1)))) {
        return Value::boolean(false);
    }
    Object* registry = vm.get(Value(vm.global()), "__registeredClasses").asObject();
    if (registry == nullptr) {
        registry = vm.newObject();
        vm.define(vm.global(), "__registeredClasses", Value(registry), kDontEnum);
    }
    // Registering again moves the alias to the end under the spelling given now: stored and
    // sent objects take the latest alias of their class.
    String* alias = vm.toString(c.arg(0));
    vm.remove(registry, alias);
    vm.define(registry, alias->view(), c.arg(1), 0);
    return Value::boolean(true);
}

// --- Function ---

Value functionConstructor(Vm&, const CallInfo& c) {
    return c.construct ? c.thisValue : Value();
}

// call and apply without a this (undefined or null) run the function on _global.
Value thisForCall(Vm& vm, const Value& given) {
    return given.isNullish() ? Value(vm.global()) : given;
}

Value functionCall(Vm& vm, const CallInfo& c) {
    const Value self = thisForCall(vm, c.arg(0));
    const std::span<const Value> rest =
        c.count() > 1 ? c.args.subspan(1) : std::span<const Value>{};
    return vm.callInternal(c.thisValue, self, rest, nullptr);
}

Value functionApply(Vm& vm, const CallInfo& c) {
    std::vector<Value> args;
    if (Object* list = c.arg(1).asObject()) {
        const std::uint32_t n = std::min<std::uint32_t>(lengthOf(vm, list), 1u << 16);
        args.reserve(n);
        for (std::uint32_t i = 0; i < n; ++i) {
            vm.step();
            args.push_back(elementAt(vm, list, i));
        }
    }
    return vm.callInternal(c.thisValue, thisForCall(vm, c.arg(0)), args, nullptr);
}

// --- Globals ---

namespace {
bool isParseSpace(char ch) {
    return ch == ' ' || ch == '\t' || ch == '\n' || ch == '\r';
}
}  // namespace

// radix 0: none given. The reference's rules: a "0x" prefix counts only at the very start
// (where a sign before it is dropped with the "-0"), a leading zero means octal only when
// no white space came first and only octal digits follow.
double parseIntText(std::string_view s, int radix) {
    std::size_t i = 0;
    const auto isX = [&](std::size_t k) { return k < s.size() && (s[k] == 'x' || s[k] == 'X'); };
    if (s.size() >= 2 && s[0] == '0' && isX(1)) {
        i = 2;
    } else if (s.size() >= 3 && (s[0] == '-' || s[0] == '+') && s[1] == '0' && isX(2)) {
        i = 2;
    }
    if (i != 0 && radix == 0) {
        radix = 16;
    }
    const std::size_t beforeSpace = i;
    while (i < s.size() && isParseSpace(s[i])) {
        ++i;
    }
    const bool leadingSpace = i != beforeSpace;
    bool negative = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) {
        negative = s[i] == '-';
        ++i;
    }
    if (radix == 0) {
        radix = 10;
        if (!leadingSpace && i + 1 < s.size() && s[i] == '0') {
            bool octal = true;
            for (std::size_t k = i + 1; k < s.size(); ++k) {
                if (s[k] < '0' || s[k] > '7') {
                    octal = false;
                    break;
                }
            }
            if (octal) {
                radix = 8;
            }
        }
    }
    double v = 0;
    bool any = false;
    for (; i < s.size(); ++i) {
        const char ch = s[i];
        int d = -1;
        if (ch >= '0' && ch <= '9') {
            d = ch - '0';
        } else if (ch >= 'a' && ch <= 'z') {
            d = ch - 'a' + 10;
        } else if (ch >= 'A' && ch <= 'Z') {
            d = ch - 'A' + 10;
        }
        if (d < 0 || d >= radix) {
            break;
        }
        v = v * radix + d;
        any = true;
    }
    if (!any) {
        return kNaN;
    }
    return negative ? -v : v;
}

Value globalParseInt(Vm& vm, const CallInfo& c) {
    if (c.count() == 0) {
        return Value();
    }
    const std::string text = vm.toStdString(c.arg(0));
    int radix = 0;
    if (c.count() >= 2) {
        const double r = vm.toNumber(c.arg(1));
        if (std::isnan(r) || r < 2 || r >= 37) {
            return Value(kNaN);
        }
        radix = static_cast<int>(r);
    }
    return Value(parseIntText(text, radix));
}

Value globalParseFloat(Vm& vm, const CallInfo& c) {
    if (c.count() == 0) {
        return Value();
    }
    const std::string s = vm.toStdString(c.arg(0));
    return Value(parseFloatText(s));
}

Value globalIsNaN(Vm& vm, const CallInfo& c) {
    if (c.count() == 0) {
        return Value::boolean(true);  // no argument is not a number, whatever the version
    }
    return Value::boolean(std::isnan(vm.toNumber(c.arg(0))));
}

Value globalIsFinite(Vm& vm, const CallInfo& c) {
    if (c.count() == 0) {
        return Value::boolean(false);  // no argument is not a number, whatever the version
    }
    return Value::boolean(std::isfinite(vm.toNumber(c.arg(0))));
}

Value globalEscape(Vm& vm, const CallInfo& c) {
    if (c.count() == 0) {
        return Value();
    }
    return Value(vm.str(escape(vm.toString(c.arg(0))->view())));
}

Value globalUnescape(Vm& vm, const CallInfo& c) {
    if (c.count() == 0) {
        return Value();
    }
    return Value(vm.str(unescape(vm.toString(c.arg(0))->view())));
}

Value addTimerFrom(Vm& vm, const CallInfo& c, bool repeat) {
    Vm::Timer t;
    t.repeat = repeat;
    std::size_t next = 0;
    if (isCallable(c.arg(0))) {
        t.callback = c.arg(0);
        next = 1;
    } else if (c.arg(0).isObject() && c.count() >= 2) {
        t.callback = c.arg(0);
        t.method = vm.intern(vm.toString(c.arg(1))->view());
        next = 2;
    } else {
        return Value();
    }
    if (c.count() <= next || c.arg(next).isUndefined()) {
        return Value();  // no interval given: no timer (null is one of 0)
    }
    const double ms = vm.toNumber(c.arg(next));
    t.interval = std::isfinite(ms) && ms > 0 ? ms : 0;
    t.due = vm.host().timer() + t.interval;
    for (std::size_t i = next + 1; i < c.count(); ++i) {
        t.args.push_back(c.args[i]);
    }
    return Value(static_cast<double>(vm.addTimer(std::move(t))));
}

Value globalSetInterval(Vm& vm, const CallInfo& c) {
    return addTimerFrom(vm, c, true);
}
Value globalSetTimeout(Vm& vm, const CallInfo& c) {
    return addTimerFrom(vm, c, false);
}

Value globalClearInterval(Vm& vm, const CallInfo& c) {
    const double id = vm.toNumber(c.arg(0));
    if (std::isfinite(id) && id >= 0 && id <= std::numeric_limits<int>::max()) {
        vm.removeTimer(static_cast<int>(id));
    }
    return Value();
}

void setFlagsOn(Vm& vm, Object* o, String* key, std::uint16_t set, std::uint16_t clear) {
    Property* p = o->properties().find(key);
    if (p != nullptr) {
        p->flags = static_cast<std::uint16_t>((p->flags & ~clear) | set);
    }
    (void)vm;
}

Value globalASSetPropFlags(Vm& vm, const CallInfo& c) {
    Object* o = c.arg(0).asObject();
    if (o == nullptr) {
        return Value();
    }
    if (o->kind() == ObjectKind::Array) {
        static_cast<ArrayObject*>(o)->spill(vm);  // flags live on plain properties only
    }
    const auto set = static_cast<std::uint16_t>(vm.toInt32(c.arg(2)) & 0xffff);
    const auto clear =
        static_cast<std::uint16_t>(c.count() > 3 ? vm.toInt32(c.arg(3)) & 0xffff : 0);
    const Value names = c.arg(1);
    if (names.isNull()) {
        for (auto& p : o->properties().list()) {
            p.flags = static_cast<std::uint16_t>((p.flags & ~clear) | set);
        }
        return Value();
    }
    std::vector<String*> list;
    if (Object* a = names.asObject(); a != nullptr && a->kind() == ObjectKind::Array) {
        const std::uint32_t n = std::min<std::uint32_t>(lengthOf(vm, a), 1u << 16);
        for (std::uint32_t i = 0; i < n; ++i) {
            vm.step();
            list.push_back(vm.toString(elementAt(vm, a, i)));
        }
    } else {
        // Anything else is a comma-separated list by its text (undefined names "undefined").
        const std::string text =
            names.isUndefined() ? std::string("undefined") : vm.toStdString(names);
        const std::string_view s = text;
        std::size_t i = 0;
        while (i <= s.size()) {
            std::size_t j = s.find(',', i);
            if (j == std::string_view::npos) {
                j = s.size();
            }
            list.push_back(vm.intern(s.substr(i, j - i)));
            i = j + 1;
        }
    }
    for (String* n : list) {
        setFlagsOn(vm, o, vm.key(n), set, clear);
    }
    return Value();
}

Value globalUpdateAfterEvent(Vm&, const CallInfo&) {
    return Value();
}

Value globalGetVersion(Vm& vm, const CallInfo&) {
    return Value(vm.intern("LNX 32,0,0,0"));
}

// --- Error ---

Value errorConstructor(Vm& vm, const CallInfo& c) {
    Object* self = c.construct ? c.thisObject() : vm.newObject(vm.protos().error);
    if (self != nullptr && c.count() > 0 && !c.arg(0).isUndefined()) {
        vm.set(Value(self), "message", c.arg(0));
    }
    return Value(self);
}

Value errorToString(Vm& vm, const CallInfo& c) {
    return Value(vm.toString(vm.get(c.thisValue, "message")));
}

// --- AsBroadcaster ---

Value broadcastMessage(Vm& vm, const CallInfo& c) {
    if (c.count() == 0) {
        return Value();
    }
    String* name = vm.toString(c.arg(0));
    const Value listeners = vm.get(c.thisValue, "_listeners");
    Object* list = listeners.asObject();
    if (list == nullptr) {
        return Value();
    }
    // Listeners added or removed by a handler take effect next time.
    std::vector<Value> targets;
    const std::uint32_t n = std::min<std::uint32_t>(lengthOf(vm, list), 1u << 16);
    for (std::uint32_t i = 0; i < n; ++i) {
        vm.step();
        targets.push_back(elementAt(vm, list, i));
    }
    const std::span<const Value> rest = c.args.subspan(1);
    for (const Value& t : targets) {
        // An empty message name calls each listener itself, as a method call with "" does.
        const Value fn = name->view().empty() ? t : vm.get(t, name);
        if (isCallable(fn)) {
            vm.call(fn, t, rest);
        }
    }
    return Value::boolean(!targets.empty());
}

// Listeners are matched with ==, so adding null replaces an undefined entry.
bool removeFirstEqual(Vm& vm, Object* list, const Value& v) {
    const std::uint32_t n = lengthOf(vm, list);
    for (std::uint32_t i = 0; i < n; ++i) {
        vm.step();
        if (vm.abstractEquals(elementAt(vm, list, i), v)) {
            for (std::uint32_t k = i; k + 1 < n; ++k) {
                setElement(vm, list, k, elementAt(vm, list, k + 1));
            }
            vm.set(Value(list), vm.atoms().length, Value(static_cast<double>(n - 1)));
            return true;
        }
    }
    return false;
}

Value addListener(Vm& vm, const CallInfo& c) {
    Object* list = vm.get(c.thisValue, "_listeners").asObject();
    if (list == nullptr) {
        return Value::boolean(false);
    }
    removeFirstEqual(vm, list, c.arg(0));
    setElement(vm, list, lengthOf(vm, list), c.arg(0));
    return Value::boolean(true);
}

Value removeListener(Vm& vm, const CallInfo& c) {
    Object* list = vm.get(c.thisValue, "_listeners").asObject();
    if (list == nullptr) {
        return Value::boolean(false);
    }
    return Value::boolean(removeFirstEqual(vm, list, c.arg(0)));
}

Value broadcasterInitialize(Vm& vm, const CallInfo& c) {
    Object* o = c.arg(0).asObject();
    if (o == nullptr) {
        return Value();
    }
    Object* bc = c.callee != nullptr ? c.callee->data.asObject() : nullptr;
    for (const char* name : {"broadcastMessage", "addListener", "removeListener"}) {
        vm.define(o, name, bc ? vm.get(Value(bc), name) : Value(), kDontEnum);
    }
    vm.define(o, "_listeners", Value(vm.newArray()), kDontEnum);
    return Value();
}

Value broadcasterConstructor(Vm&, const CallInfo& c) {
    return c.thisValue;
}

// --- ASnative: the few table entries scripts reach for ---

Value mathBeyondTable(Vm& vm, const CallInfo& c) {
    if (c.count() > 0) {
        vm.toNumber(c.arg(0));
    }
    if (c.count() > 1) {
        vm.toNumber(c.arg(1));
    }
    return Value(kNaN);
}

// The object at a dotted path from _global ("Date.prototype").
Value objectAtPath(Vm& vm, std::string_view path) {
    Value holder(vm.global());
    while (!path.empty() && !holder.isUndefined()) {
        const std::size_t dot = path.find('.');
        holder = vm.get(holder, path.substr(0, dot));
        path = dot == std::string_view::npos ? std::string_view() : path.substr(dot + 1);
    }
    return holder;
}

// The accessor halves of a property on an object, as ASnative numbers them.
Value accessorHalf(Vm& vm, std::string_view holderPath, std::string_view name, bool setter) {
    Object* holder = objectAtPath(vm, holderPath).asObject();
    Property* p = holder != nullptr ? holder->properties().find(vm.key(name)) : nullptr;
    if (p == nullptr || !p->isAccessor()) {
        return Value();
    }
    Object* half = setter ? p->setter : p->getter;
    return half != nullptr ? Value(half) : Value();
}

Value asnativeEntry(Vm& vm, int table, int index) {
    struct Entry {
        int table;
        int index;
        const char* object;
        const char* name;
    };
    static const Entry kEntries[] = {
        {100, 0, nullptr, "escape"},      {100, 1, nullptr, "unescape"},
        {100, 2, nullptr, "parseInt"},    {100, 3, nullptr, "parseFloat"},
        {200, 0, "Math", "abs"},          {200, 1, "Math", "min"},
        {200, 2, "Math", "max"},          {200, 3, "Math", "sin"},
        {200, 4, "Math", "cos"},          {200, 5, "Math", "atan2"},
        {200, 6, "Math", "tan"},          {200, 7, "Math", "exp"},
        {200, 8, "Math", "log"},          {200, 9, "Math", "sqrt"},
        {200, 10, "Math", "round"},       {200, 11, "Math", "random"},
        {200, 12, "Math", "floor"},       {200, 13, "Math", "ceil"},
        {200, 14, "Math", "atan"},        {200, 15, "Math", "asin"},
        {200, 16, "Math", "acos"},        {200, 17, "Math", "pow"},
        {250, 0, nullptr, "setInterval"}, {250, 1, nullptr, "clearInterval"},
    };
    for (const auto& e : kEntries) {
        if (e.table == table && e.index == index) {
            return e.object != nullptr ? vm.get(objectAtPath(vm, e.object), e.name)
                                       : vm.get(Value(vm.global()), e.name);
        }
    }
    if (table == 103) {
        // Date's methods: local time from 0, the UTC forms from 128.
        static constexpr const char* kDate[] = {
            "getFullYear",     "getYear",    "getMonth",   "getDate",           "getDay",
            "getHours",        "getMinutes", "getSeconds", "getMilliseconds",   "setFullYear",
            "setMonth",        "setDate",    "setHours",   "setMinutes",        "setSeconds",
            "setMilliseconds", "getTime",    "setTime",    "getTimezoneOffset", "toString",
            "setYear"};
        static constexpr const char* kUtc[] = {
            "getUTCFullYear",     "getUTCYear",     "getUTCMonth",   "getUTCDate",
            "getUTCDay",          "getUTCHours",    "getUTCMinutes", "getUTCSeconds",
            "getUTCMilliseconds", "setUTCFullYear", "setUTCMonth",   "setUTCDate",
            "setUTCHours",        "setUTCMinutes",  "setUTCSeconds", "setUTCMilliseconds"};
        const char* name = nullptr;
        if (index >= 0 && index < static_cast<int>(std::size(kDate))) {
            name = kDate[index];
        } else if (index >= 128 && index < 128 + static_cast<int>(std::size(kUtc))) {
            name = kUtc[index - 128];
        }
        return name != nullptr ? vm.get(objectAtPath(vm, "Date.prototype"), name) : Value();
    }
    if (table == 1109 && index >= 1) {
        // ConvolutionFilter's properties: a getter then a setter each, in declaration order.
        static constexpr const char* kFields[] = {"matrixX", "matrixY", "matrix",
                                                  "divisor", "bias",    "preserveAlpha",
                                                  "clamp",   "color",   "alpha"};
        const int field = (index - 1) / 2;
        if (field < static_cast<int>(std::size(kFields))) {
            return accessorHalf(vm, "flash.filters.ConvolutionFilter.prototype", kFields[field],
                                (index - 1) % 2 == 1);
        }
        return Value();
    }
    if (table == 200 && index >= 0) {
        // Past Math's last function the table still answers, with a function that converts
        // its first two arguments as the others do and has no result.
        return Value(vm.newNative(mathBeyondTable));
    }
    return Value();
}

Value asnative(Vm& vm, const CallInfo& c) {
    const int table = vm.toInt32(c.arg(0));
    const int index = vm.toInt32(c.arg(1));
    return asnativeEntry(vm, table, index);
}

// The names ASSetNative and ASSetNativeAccessor take: comma separated, each taking the next
// number of the table (an empty one too). A leading "6" to "9" or "10" makes the property
// one that movies of that version on see; a leading "1" otherwise is dropped.
struct NativeName {
    std::string_view name;
    std::uint16_t flags = 0;
};

NativeName parseNativeName(std::string_view s) {
    NativeName out{s, 0};
    if (s.size() >= 2 && s[0] == '1' && s[1] == '0') {
        out.name = s.substr(2);
        out.flags = kVersion10;
    } else if (!s.empty() && s[0] >= '6' && s[0] <= '9') {
        static constexpr std::uint16_t kFlags[] = {kVersion6, kVersion7, kVersion8, kVersion9};
        out.name = s.substr(1);
        out.flags = kFlags[s[0] - '6'];
    } else if (!s.empty() && s[0] == '1') {
        out.name = s.substr(1);
    }
    return out;
}

// Binds each name on the object to table entries (one per name, or a getter and a setter).
Value setNatives(Vm& vm, const CallInfo& c, bool accessors) {
    Object* o = c.arg(0).asObject();
    if (o == nullptr || c.count() < 3) {
        return Value();
    }
    const int table = vm.toInt32(c.arg(1));
    const std::string names = vm.toStdString(c.arg(2));
    int index = c.count() > 3 ? vm.toInt32(c.arg(3)) : 0;
    Vm::NoCollect hold(vm);
    std::string_view rest = names;
    while (true) {
        const std::size_t comma = rest.find(',');
        const NativeName n = parseNativeName(rest.substr(0, comma));
        if (!n.name.empty()) {
            String* name = vm.intern(n.name);
            String* key = vm.key(name);
            Property* p = o->properties().find(key);
            // A property already there keeps its flags, unless it becomes an accessor.
            if (p == nullptr) {
                p = &o->properties().add(key, name);
                p->flags = n.flags;
            }
            if (accessors) {
                p->flags = n.flags;
                p->value = Value();
                p->getter = asnativeEntry(vm, table, index).asObject();
                p->setter = asnativeEntry(vm, table, index + 1).asObject();
                if (p->getter == nullptr) {
                    // Without a getter the property is a plain one holding nothing.
                    p->setter = nullptr;
                }
            } else {
                p->getter = p->setter = nullptr;
                p->value = asnativeEntry(vm, table, index);
            }
        }
        index += accessors ? 2 : 1;
        if (comma == std::string_view::npos) {
            break;
        }
        rest.remove_prefix(comma + 1);
    }
    return Value();
}

Value globalASSetNative(Vm& vm, const CallInfo& c) {
    return setNatives(vm, c, false);
}

Value globalASSetNativeAccessor(Vm& vm, const CallInfo& c) {
    return setNatives(vm, c, true);
}

}  // namespace

void installObject(Vm& vm) {
    Object* proto = vm.protos().object;
    FunctionObject* ctor = defineClass(vm, "Object", objectConstructor, proto);
    vm.defineNative(proto, "addProperty", objectAddProperty);
    vm.defineNative(proto, "hasOwnProperty", objectHasOwnProperty);
    vm.defineNative(proto, "isPropertyEnumerable", objectIsPropertyEnumerable);
    vm.defineNative(proto, "isPrototypeOf", objectIsPrototypeOf);
    vm.defineNative(proto, "toString", objectToString);
    vm.defineNative(proto, "toLocaleString", objectToString);
    vm.defineNative(proto, "valueOf", objectValueOf);
    vm.defineNative(proto, "watch", objectWatch);
    vm.defineNative(proto, "unwatch", objectUnwatch);
    vm.defineNative(ctor, "registerClass", objectRegisterClass);
}

void installFunction(Vm& vm) {
    Object* proto = vm.protos().function;
    defineClass(vm, "Function", functionConstructor, proto);
    vm.defineNative(proto, "call", functionCall);
    vm.defineNative(proto, "apply", functionApply);
}

void installGlobals(Vm& vm) {
    Object* g = vm.global();
    vm.defineNative(g, "parseInt", globalParseInt);
    vm.defineNative(g, "parseFloat", globalParseFloat);
    vm.defineNative(g, "isNaN", globalIsNaN);
    vm.defineNative(g, "isFinite", globalIsFinite);
    vm.defineNative(g, "escape", globalEscape);
    vm.defineNative(g, "unescape", globalUnescape);
    vm.defineNative(g, "setInterval", globalSetInterval);
    vm.defineNative(g, "clearInterval", globalClearInterval);
    vm.defineNative(g, "setTimeout", globalSetTimeout);
    vm.defineNative(g, "clearTimeout", globalClearInterval);
    vm.defineNative(g, "ASSetPropFlags", globalASSetPropFlags);
    vm.defineNative(g, "ASnative", asnative);
    vm.defineNative(g, "ASSetNative", globalASSetNative);
    vm.defineNative(g, "ASSetNativeAccessor", globalASSetNativeAccessor);
    vm.defineNative(g, "updateAfterEvent", globalUpdateAfterEvent);
    vm.defineNative(g, "getVersion", globalGetVersion);
    vm.define(g, "NaN", Value(kNaN));
    vm.define(g, "Infinity", Value(std::numeric_limits<double>::infinity()));
    vm.define(g, "$version", Value(vm.intern("LNX 32,0,0,0")));
    // The player leaves a global named o holding null.
    vm.define(g, "o", Value::null());

    Object* errorProto = vm.newObject();
    vm.protos().error = errorProto;
    defineClass(vm, "Error", errorConstructor, errorProto);
    vm.define(errorProto, "name", Value(vm.intern("Error")));
    vm.define(errorProto, "message", Value(vm.intern("Error")));
    vm.defineNative(errorProto, "toString", errorToString);
}

void installBroadcaster(Vm& vm) {
    FunctionObject* bc = defineClass(vm, "AsBroadcaster", broadcasterConstructor, vm.newObject());
    vm.defineNative(bc, "broadcastMessage", broadcastMessage);
    vm.defineNative(bc, "addListener", addListener);
    vm.defineNative(bc, "removeListener", removeListener);
    FunctionObject* init = vm.newNative(broadcasterInitialize);
    init->data = Value(bc);
    vm.define(bc, "initialize", Value(init));
}

void installSystem(Vm& vm) {
    Object* system = vm.newObject();
    vm.define(vm.global(), "System", Value(system));
    Object* caps = vm.newObject();
    vm.define(system, "capabilities", Value(caps));
    auto s = [&](const char* name, const char* value) {
        vm.define(caps, name, Value(vm.intern(value)), 0);
    };
    auto b = [&](const char* name, bool value) { vm.define(caps, name, Value::boolean(value), 0); };
    s("version", "LNX 32,0,0,0");
    s("os", "Linux");
    s("manufacturer", "Adobe Linux");
    s("playerType", "StandAlone");
    s("language", "en");
    s("cpuArchitecture", "x86");
    vm.define(caps, "screenResolutionX", Value(1920.0), 0);
    vm.define(caps, "screenResolutionY", Value(1080.0), 0);
    vm.define(caps, "screenDPI", Value(72.0), 0);
    vm.define(caps, "pixelAspectRatio", Value(1.0), 0);
    s("screenColor", "color");
    b("hasAudio", true);
    b("hasMP3", true);
    b("hasVideoEncoder", false);
    b("hasAudioEncoder", false);
    b("hasAccessibility", false);
    b("isDebugger", false);
    b("localFileReadDisable", false);
    b("avHardwareDisable", true);
    b("hasPrinting", false);
    b("hasStreamingAudio", true);
    b("hasStreamingVideo", true);
    b("hasEmbeddedVideo", true);
    b("hasScreenBroadcast", false);
    b("hasScreenPlayback", false);
    b("hasIME", false);
    b("hasTLS", true);
    Object* security = vm.newObject();
    vm.define(system, "security", Value(security));
    // Each movie has its own sandbox: the one of the movie whose clip runs the script.
    vm.defineAccessor(
        security, "sandboxType",
        [](Vm& v, const CallInfo&) {
            return Value(v.intern(v.host().sandboxType(v.currentTarget())));
        },
        [](Vm&, const CallInfo&) { return Value(); }, 0);
    vm.define(system, "useCodepage", Value::boolean(false), 0);
    // No input method editor here, but scripts may still listen to one.
    Object* ime = vm.newObject();
    vm.define(system, "IME", Value(ime));
    if (Object* bc = vm.get(Value(vm.global()), "AsBroadcaster").asObject()) {
        for (const char* name : {"broadcastMessage", "addListener", "removeListener"}) {
            vm.define(ime, name, vm.get(Value(bc), name), kDontEnum);
        }
        vm.define(ime, "_listeners", Value(vm.newArray()), kDontEnum);
    }
}

}  // namespace lib
}  // namespace zd::avm1
