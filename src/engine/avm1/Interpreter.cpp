#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <limits>
#include <utility>

#include "engine/avm1/Frame.h"
#include "engine/avm1/PropertyValues.h"
#include "engine/avm1/Strings.h"
#include "engine/avm1/Vm.h"

namespace zd::avm1 {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// Deeper script calls than this could exhaust the C++ stack, whatever ScriptLimits asks.
constexpr int kHardRecursionLimit = 1000;
// Bytes of the C++ stack scripts may use below their outermost call (threads get 8 MB).
constexpr std::uintptr_t kStackBudget = 6u << 20;
// Where the outermost script call's frames begin on this thread.
thread_local std::uintptr_t stackTop = 0;
constexpr std::size_t kMaxSharedStack = 4096;
// Nested with/try bodies in one frame.
constexpr int kMaxBlockDepth = 64;

// DefineFunction2 flag bits (first byte, then the second byte shifted up).
enum : std::uint16_t {
    kPreloadThis = 0x0001,
    kSuppressThis = 0x0002,
    kPreloadArguments = 0x0004,
    kSuppressArguments = 0x0008,
    kPreloadSuper = 0x0010,
    kSuppressSuper = 0x0020,
    kPreloadRoot = 0x0040,
    kPreloadParent = 0x0080,
    kPreloadGlobal = 0x0100,
};

struct Completion {
    enum Kind { Normal, Return, Jump, End } kind = Normal;
    std::size_t target = 0;
};

std::uint16_t readU16(const Bytes& c, std::size_t at) {
    return static_cast<std::uint16_t>(c[at] | (c[at + 1] << 8));
}

// A NUL-terminated string inside [at, end); at moves past it. False when unterminated.
bool readString(const Bytes& c, std::size_t& at, std::size_t end, std::string_view& out) {
    const std::size_t start = at;
    while (at < end && c[at] != 0) {
        ++at;
    }
    if (at >= end) {
        return false;
    }
    out = std::string_view(reinterpret_cast<const char*>(c.data()) + start, at - start);
    ++at;
    return true;
}

}  // namespace

// Runs action records of one frame. Bodies of with and try run as nested ranges; leaving a
// range by a jump hands the target to the enclosing range.
class Interpreter {
  public:
    Interpreter(Vm& vm, Frame& f) : vm_(vm), f_(f), code_(*f.code) {}

    Completion run(std::size_t begin, std::size_t end);

  private:
    Value pop() {
        auto& s = vm_.stack_;
        if (s.size() <= f_.stackBase) {
            return Value();
        }
        Value v = s.back();
        s.pop_back();
        return v;
    }
    void push(const Value& v) { vm_.stack_.push_back(v); }
    // Where super looks things up: the prototype above the method's home. A clip there is
    // not searched (super never converts what it finds into an object).
    static Object* superStart(const SuperObject* sup) {
        Object* start = sup->home != nullptr ? sup->home->proto() : nullptr;
        return start != nullptr && start->kind() == ObjectKind::Clip ? nullptr : start;
    }
    // super(): the __constructor__ found from the super prototype up (in a constructor, from
    // the class's own prototype, where extends put it), never by __resolve.
    Value superConstructor(const SuperObject* sup) {
        Object* start = sup->constructing ? sup->home : superStart(sup);
        if (start != nullptr && start->kind() == ObjectKind::Clip) {
            start = nullptr;
        }
        Value ctor;
        if (start != nullptr) {
            vm_.lookup(start, Value(sup->thisObject), vm_.key(vm_.atoms().constructorHidden), ctor);
        }
        return ctor;
    }
    Value boolResult(bool b) const {
        return f_.version >= 5 ? Value::boolean(b) : Value(b ? 1.0 : 0.0);
    }
    String* popString() { return vm_.toString(pop()); }
    // Movies before SWF 6 write their strings in the Windows code page, later ones in UTF-8.
    std::string_view sourceText(std::string_view s) {
        if (f_.version >= 6 ||
            std::none_of(s.begin(), s.end(), [](char c) { return (c & 0x80) != 0; })) {
            return s;
        }
        legacyText_ = fromWindows1252(s);
        return legacyText_;
    }

    DisplayId targetId() const {
        Object* o = liveTarget().asObject();
        return o != nullptr && o->kind() == ObjectKind::Clip ? static_cast<ClipObject*>(o)->id
                                                             : kNoDisplay;
    }
    // The target, or when its clip has been removed the clip the block started on, or
    // when that is gone too the root.
    Value liveTarget() const;
    DisplayId originalId() const {
        Object* o = f_.originalTarget.asObject();
        return o != nullptr && o->kind() == ObjectKind::Clip ? static_cast<ClipObject*>(o)->id
                                                             : kNoDisplay;
    }

    Value getVariable(String* name);
    void setVariable(String* name, const Value& v);
    void defineLocal(String* name, const Value& v);
    bool deleteVariable(String* name);
    // The display object a target operand names (a clip, a path, or an object's text).
    DisplayId displayNamed(const Value& v, DisplayId from);
    // A target path as SWF 4 code reads it.
    DisplayId swf4Target(DisplayId from, std::string_view path);
    Value swf4Variable(std::string_view name);
    // A dot path walked last ended on a string, number or boolean instead of an object.
    bool primitivePath_ = false;
    bool lookupScopes(String* name, Value& out, Object** holder);
    // Splits a path variable ("a/b:c", "a.b.c") into the object and the name in it.
    bool resolvePathVariable(std::string_view path, Value& base, String*& name,
                             bool forWrite = false);
    Value evaluatePath(std::string_view path);
    // Where relative paths start: the target, or the clip the actions belong to.
    Value pathStart();
    // Resolves "a.b.c" to the object holding the last name, trying each scope in turn.
    bool walkDotPath(std::string_view path, Value& base, String*& last, bool forWrite = false);
    Scope* captureScope();
    FunctionObject* defineFunction(std::shared_ptr<FunctionDef> def);
    void callFunctionAction();
    void callMethodAction();
    void newObjectAction(bool method);
    std::vector<Value> popArgs();
    Value displayProperty(DisplayId id, int index);
    void setDisplayProperty(DisplayId id, int index, const Value& v);
    void gotoFrameValue(const Value& frame, bool play, int bias);
    // The frame (from 1) a number, numeric string or label names, the scene bias added.
    std::optional<int> frameNumber(DisplayId id, const Value& frame, int bias = 0);
    void setTarget(const Value& path);
    // The object the target scope stands for.
    Object* targetScope();
    void getUrl2(std::uint8_t flags);
    std::string encodeVariables(DisplayId id);
    Completion runTry(std::size_t data, std::size_t next, std::size_t& after);

    Vm& vm_;
    Frame& f_;
    const Bytes& code_;
    std::string legacyText_;
};

Value Interpreter::liveTarget() const {
    const auto gone = [this](const Value& v) {
        Object* o = v.asObject();
        return o != nullptr && o->kind() == ObjectKind::Clip &&
               !vm_.host().exists(static_cast<ClipObject*>(o)->id);
    };
    if (f_.target.isNull()) {
        Object* root = vm_.clipObject(vm_.host().root());
        return root != nullptr ? Value(root) : Value();
    }
    if (!gone(f_.target)) {
        return f_.target;
    }
    if (f_.originalTarget.isObject() && !gone(f_.originalTarget)) {
        return f_.originalTarget;
    }
    Object* root = vm_.clipObject(vm_.host().root());
    return root != nullptr ? Value(root) : Value();
}

Object* Interpreter::targetScope() {
    return liveTarget().asObject();
}

std::vector<Value> Interpreter::popArgs() {
    const double n = vm_.toNumber(pop());
    std::size_t count = 0;
    if (n > 0) {
        const std::size_t available = vm_.stack_.size() - f_.stackBase;
        count = n > static_cast<double>(available) ? available : static_cast<std::size_t>(n);
    }
    std::vector<Value> args(count);
    for (std::size_t i = 0; i < count; ++i) {
        args[i] = pop();
    }
    return args;
}

bool Interpreter::lookupScopes(String* name, Value& out, Object** holder) {
    for (Scope* s = f_.scope; s != nullptr; s = s->parent) {
        Object* o = s->kind == Scope::Kind::Target ? targetScope() : s->object;
        if (o == nullptr) {
            continue;
        }
        if (vm_.lookup(o, Value(o), vm_.key(name), out)) {
            if (holder != nullptr) {
                *holder = o;
            }
            return true;
        }
    }
    return false;
}

bool Interpreter::walkDotPath(std::string_view path, Value& base, String*& last, bool forWrite) {
    std::vector<std::string_view> segments;
    std::size_t i = 0;
    while (i <= path.size()) {
        std::size_t j = path.find('.', i);
        if (j == std::string_view::npos) {
            j = path.size();
        }
        if (j == i) {
            return false;
        }
        segments.push_back(path.substr(i, j - i));
        i = j + 1;
    }
    if (segments.size() < 2) {
        return false;
    }
    // Walks the members from one start value; fails when something on the way is no object.
    auto walk = [&](Value cur) {
        for (std::size_t k = 1; k + 1 < segments.size(); ++k) {
            if (!cur.isObject()) {
                return false;
            }
            cur = vm_.get(cur, vm_.intern(segments[k]));
        }
        if (!cur.isObject()) {
            primitivePath_ = cur.isString() || cur.isNumber() || cur.isBoolean();
            return false;
        }
        base = cur;
        last = vm_.intern(segments.back());
        return true;
    };
    String* first = vm_.intern(segments[0]);
    if (segments[0][0] == '_' || segments[0] == "this") {
        const Value v = getVariable(first);
        if (!v.isUndefined()) {
            return walk(v);
        }
    }
    // The path is tried from each scope holding its first name, innermost first. A write
    // goes to the first that can be walked; a read prefers the first whose last object has
    // the last name.
    String* k = vm_.key(first);
    Value firstBase;
    for (Scope* s = f_.scope; s != nullptr; s = s->parent) {
        Object* o = s->kind == Scope::Kind::Target ? targetScope() : s->object;
        Value start;
        if (o != nullptr && vm_.lookup(o, Value(o), k, start) && walk(start)) {
            if (forWrite || vm_.has(base.object(), last, false)) {
                return true;
            }
            if (firstBase.isUndefined()) {
                firstBase = base;
            }
        }
    }
    if (firstBase.isObject()) {
        base = firstBase;
        return true;
    }
    return false;
}

Value Interpreter::evaluatePath(std::string_view path) {
    // Paths name clips (or, through members, objects); a dot path may also start from a
    // variable of any scope and walk members.
    if (path.empty()) {
        return Value();
    }
    if (path.find_first_of("/:") != std::string_view::npos) {
        return vm_.followPath(pathStart(), path, true);
    }
    if (path.find('.') == std::string_view::npos) {
        return getVariable(vm_.intern(path));
    }
    Value base;
    String* last = nullptr;
    if (walkDotPath(path, base, last)) {
        return vm_.get(base, last);
    }
    return vm_.followPath(pathStart(), path, true);
}

Value Interpreter::pathStart() {
    const DisplayId from = targetId() ? targetId() : originalId();
    Object* o = from != kNoDisplay ? vm_.clipObject(from) : nullptr;
    return o != nullptr ? Value(o) : Value();
}

bool Interpreter::resolvePathVariable(std::string_view path, Value& base, String*& name,
                                      bool forWrite) {
    // The variable is the name after the last colon or dot; what comes before is the path
    // to the object holding it. Slashes alone make no path: "a/b" is a name.
    const std::size_t cut = path.find_last_of(":.");
    if (cut == std::string_view::npos) {
        return false;
    }
    const std::string_view objectPath = path.substr(0, cut);
    name = vm_.intern(path.substr(cut + 1));
    if (objectPath.empty()) {
        base = f_.target;
        return true;
    }
    // A dot path starts from a variable of any scope, innermost first; failing that (and
    // always for slashes and colons) it names clips and members from the target.
    if (path.find_first_of("/:") == std::string_view::npos &&
        walkDotPath(path, base, name, forWrite)) {
        return true;
    }
    name = vm_.intern(path.substr(cut + 1));
    base = vm_.followPath(pathStart(), objectPath, true);
    if (!base.isObject() && path.find_first_of("/:") == std::string_view::npos) {
        name = vm_.intern(path);  // a path to nothing: reads undefined, writes nowhere
    }
    return true;
}

DisplayId Interpreter::swf4Target(DisplayId from, std::string_view path) {
    // Only slashes separate names; a leading "_levelN" (whatever follows it up to the first
    // slash) names a level, and no other name is special but "..".
    Host& host = vm_.host();
    DisplayId cur = from;
    std::size_t i = 0;
    if (!path.empty() && path[0] == '/') {
        cur = from != kNoDisplay ? host.rootOf(from) : host.root();
        i = 1;
    } else {
        const std::string_view first = path.substr(0, path.find('/'));
        for (const std::string_view prefix : {"_level", "_flash"}) {
            if (first.size() > prefix.size() && first.substr(0, prefix.size()) == prefix &&
                std::isdigit(static_cast<unsigned char>(first[prefix.size()]))) {
                if (const auto level = vm_.levelName(first); level && *level >= 0) {
                    cur = host.level(static_cast<int>(*level));
                    i = first.size() + 1;
                }
            }
        }
    }
    while (i < path.size() && cur != kNoDisplay) {
        std::size_t j = path.find('/', i);
        if (j == std::string_view::npos) {
            j = path.size();
        }
        const std::string_view seg = path.substr(i, j - i);
        if (seg.empty()) {
            return kNoDisplay;
        }
        cur = seg == ".." ? host.parent(cur) : host.child(cur, seg, !vm_.caseSensitive());
        i = j + 1;
    }
    return cur;
}

Value Interpreter::swf4Variable(std::string_view n) {
    // Variables hold numbers and strings only: a clip's name reads as nothing. A colon
    // parts the target path from the name; dots belong to names.
    Value out;
    const std::size_t colon = n.rfind(':');
    if (colon == std::string_view::npos) {
        if (!lookupScopes(vm_.intern(n), out, nullptr)) {
            out = Value();
        }
    } else {
        const DisplayId id =
            colon > 0 ? swf4Target(targetId() ? targetId() : originalId(), n.substr(0, colon))
                      : kNoDisplay;
        Object* o = id != kNoDisplay ? vm_.clipObject(id) : nullptr;
        out = o != nullptr ? vm_.get(Value(o), vm_.intern(n.substr(colon + 1))) : Value();
    }
    return out.isObject() && out.object()->kind() == ObjectKind::Clip ? Value() : out;
}

Value Interpreter::getVariable(String* name) {
    const std::string_view n = name->view();
    if (f_.version < 5) {
        return swf4Variable(n);
    }
    if (n.find_first_of("/:.") != std::string_view::npos && n != "." && n != "..") {
        Value base;
        String* var = nullptr;
        if (resolvePathVariable(n, base, var)) {
            return base.isObject() ? vm_.get(base, var) : Value();
        }
        // "a/b": a variable of that name, else the object the path leads to.
        Value out;
        if (lookupScopes(name, out, nullptr)) {
            return out;
        }
        return vm_.followPath(pathStart(), n, true);
    }
    String* k = vm_.key(name);
    if (k == vm_.key(vm_.atoms().thisName)) {
        return f_.thisValue;
    }
    if (k == vm_.key(vm_.atoms().global) && f_.version >= 6) {
        return Value(vm_.global());
    }
    Value out;
    if (lookupScopes(name, out, nullptr)) {
        return out;
    }
    // _root, _parent and _levelN answer from the target even outside its scope.
    if (n.size() > 1 && n[0] == '_') {
        if (Object* t = f_.target.asObject(); t != nullptr && t->kind() == ObjectKind::Clip) {
            return vm_.get(f_.target, name);
        }
        if (Object* t = f_.originalTarget.asObject();
            t != nullptr && t->kind() == ObjectKind::Clip) {
            return vm_.get(f_.originalTarget, name);
        }
    }
    return Value();
}

void Interpreter::setVariable(String* name, const Value& v) {
    const std::string_view n = name->view();
    if (n.find_first_of(":.") != std::string_view::npos && n != "." && n != "..") {
        Value base;
        String* var = nullptr;
        if (resolvePathVariable(n, base, var, true)) {
            if (base.isObject()) {
                vm_.set(base, var, v);
            }
            return;
        }
    }
    String* k = vm_.key(name);
    for (Scope* s = f_.scope; s != nullptr; s = s->parent) {
        Object* o = s->kind == Scope::Kind::Target ? targetScope() : s->object;
        if (o == nullptr || o == vm_.global()) {
            continue;
        }
        if (vm_.has(o, k, false)) {
            vm_.set(Value(o), name, v);
            return;
        }
    }
    if (k == vm_.key(vm_.atoms().thisName)) {
        f_.thisValue = v;  // scripts may rebind this for the rest of the block
        return;
    }
    if (const Value target = liveTarget(); target.isObject()) {
        vm_.set(target, name, v);
    }
}

void Interpreter::defineLocal(String* name, const Value& v) {
    const bool path = name->view().find_first_of(":/.") != std::string_view::npos;
    if (path && f_.activation == nullptr) {
        setVariable(name, v);  // outside functions a path names where the variable goes
        return;
    }
    if (path) {
        // Inside a function a path is not followed: the timeline gets the whole name.
        if (f_.target.isObject()) {
            vm_.set(f_.target, name, v);
        }
        return;
    }
    if (f_.activation != nullptr) {
        vm_.define(f_.activation, name->view(), v, 0);
        return;
    }
    // Outside functions, a with block whose object has the variable as its own takes it.
    String* k = vm_.key(name);
    for (Scope* s = f_.scope; s != nullptr && s->kind != Scope::Kind::Target; s = s->parent) {
        if (s->with && s->object != nullptr && vm_.has(s->object, k, true)) {
            vm_.set(Value(s->object), name, v);
            return;
        }
    }
    if (f_.target.isObject()) {
        vm_.set(f_.target, name, v);
    }
}

bool Interpreter::deleteVariable(String* name) {
    const std::string_view n = name->view();
    if (n.find_first_of(":.") != std::string_view::npos) {
        Value base;
        String* var = nullptr;
        primitivePath_ = false;
        if (resolvePathVariable(n, base, var)) {
            if (primitivePath_) {
                // The player's own notice, which it writes to the trace output.
                vm_.host().trace(
                    "Parameters of primitive types are no longer coerced into the required type "
                    "- Object.");
            }
            Object* o = base.asObject();
            return o != nullptr && vm_.remove(o, var);
        }
    }
    for (Scope* s = f_.scope; s != nullptr; s = s->parent) {
        Object* o = s->kind == Scope::Kind::Target ? targetScope() : s->object;
        if (o != nullptr && vm_.has(o, name, true)) {
            return vm_.remove(o, name);
        }
    }
    return false;
}

Scope* Interpreter::captureScope() {
    Heap& heap = vm_.heap();
    if (f_.version < 6) {
        // Functions of SWF 5 movies see their timeline and _global only.
        Scope* global = heap.make<Scope>(Scope::Kind::Object, vm_.global(), nullptr);
        Object* t = f_.target.asObject();
        return t != nullptr ? heap.make<Scope>(Scope::Kind::Object, t, global) : global;
    }
    // Copy the chain up to the target entry, fixing the target as it is now.
    std::vector<Scope*> chain;
    for (Scope* s = f_.scope; s != nullptr; s = s->parent) {
        chain.push_back(s);
    }
    Scope* tail = nullptr;
    std::size_t split = chain.size();
    for (std::size_t i = 0; i < chain.size(); ++i) {
        if (chain[i]->kind == Scope::Kind::Target) {
            split = i;
            break;
        }
    }
    if (split == chain.size()) {
        return f_.scope;
    }
    tail = chain[split]->parent;
    Object* t = f_.target.asObject();
    Scope* result = t != nullptr ? heap.make<Scope>(Scope::Kind::Object, t, tail) : tail;
    for (std::size_t i = split; i-- > 0;) {
        Scope* copy = heap.make<Scope>(chain[i]->kind, chain[i]->object, result);
        copy->with = chain[i]->with;
        result = copy;
    }
    return result;
}

FunctionObject* Interpreter::defineFunction(std::shared_ptr<FunctionDef> def) {
    auto* f = vm_.heap().make<FunctionObject>(vm_.protos().function, std::move(def));
    f->scope = captureScope();
    f->pool = f_.pool;
    f->baseClip = f_.target;
    Object* proto = vm_.newObject();
    vm_.define(proto, "constructor", Value(f), kDontEnum);
    vm_.define(f, "prototype", Value(proto), kDontEnum | kDontDelete);
    return f;
}

void Interpreter::callFunctionAction() {
    String* name = popString();
    std::vector<Value> args = popArgs();
    Value fn;
    Value self = f_.target;
    if (vm_.key(name) == vm_.key(vm_.atoms().super)) {
        fn = getVariable(name);
    } else {
        Object* holder = nullptr;
        const std::string_view n = name->view();
        if (n.find_first_of("/:.") == std::string_view::npos && lookupScopes(name, fn, &holder)) {
            // Functions found on a with object run as its methods.
            for (Scope* s = f_.scope; s != nullptr; s = s->parent) {
                if (s->with && s->object == holder) {
                    self = Value(holder);
                    break;
                }
            }
        } else if (n != "." && n != "..") {
            // A function named by a path runs as a method of the object the path ends on.
            Value base;
            String* var = nullptr;
            const std::size_t slash = n.rfind('/');
            const std::size_t dot = n.rfind('.');
            if (n.find(':') == std::string_view::npos && slash != std::string_view::npos &&
                dot != std::string_view::npos && dot > slash) {
                base = evaluatePath(n.substr(0, dot));
                var = vm_.intern(n.substr(dot + 1));
            } else if (!resolvePathVariable(n, base, var)) {
                base = Value();
            }
            if (var != nullptr && base.isObject()) {
                fn = vm_.get(base, var);
                self = base;
            } else {
                fn = getVariable(name);
            }
        } else {
            fn = getVariable(name);
        }
    }
    if (Object* o = fn.asObject(); o != nullptr && o->kind() == ObjectKind::Super) {
        auto* sup = static_cast<SuperObject*>(o);
        Object* home = sup->home;
        push(vm_.callSuperConstructor(superConstructor(sup), sup->thisObject, args,
                                      home ? home->proto() : nullptr));
        return;
    }
    push(vm_.callInternal(fn, self, args, nullptr));
}

void Interpreter::callMethodAction() {
    const Value nameValue = pop();
    const Value object = pop();
    std::vector<Value> args = popArgs();
    Object* o = object.asObject();
    // A name that converts to "" (an object whose toString gives "") calls the value itself.
    String* name = nameValue.isUndefined() ? nullptr : vm_.toString(nameValue);
    if (name == nullptr || name->view().empty()) {
        if (o != nullptr && o->kind() == ObjectKind::Super) {
            auto* sup = static_cast<SuperObject*>(o);
            Object* home = sup->home;
            push(vm_.callSuperConstructor(superConstructor(sup), sup->thisObject, args,
                                          home ? home->proto() : nullptr));
            return;
        }
        push(vm_.callInternal(object, Value(), args, nullptr));
        return;
    }
    if (o != nullptr && o->kind() == ObjectKind::Super) {
        auto* sup = static_cast<SuperObject*>(o);
        Object* start = superStart(sup);
        Value fn;
        Object* owner = nullptr;
        if (start != nullptr) {
            Property* p = vm_.findProperty(start, vm_.key(name), &owner);
            fn = vm_.get(object, name);
            if (p == nullptr) {
                owner = nullptr;
            }
        }
        push(vm_.callInternal(fn, Value(sup->thisObject), args, owner));
        return;
    }
    Value fn;
    Object* owner = nullptr;
    if (o != nullptr) {
        Property* p = vm_.findProperty(o, vm_.key(name), &owner);
        if (p == nullptr) {
            owner = nullptr;
        }
        fn = vm_.get(object, name);
    } else {
        fn = vm_.get(object, name);
    }
    if (!fn.isObject()) {
        push(Value());
        return;
    }
    push(vm_.callInternal(fn, object, args, owner));
}

void Interpreter::newObjectAction(bool method) {
    Value ctor;
    if (method) {
        const Value nameValue = pop();
        const Value object = pop();
        const bool blank =
            nameValue.isUndefined() || (nameValue.isString() && nameValue.string()->view().empty());
        ctor = blank ? object : vm_.get(object, vm_.toString(nameValue));
    } else {
        ctor = getVariable(popString());
    }
    std::vector<Value> args = popArgs();
    push(vm_.construct(ctor, args));
}

Value Interpreter::displayProperty(DisplayId id, int index) {
    if (index < 0 || index >= kDisplayPropertyCount || !vm_.host().exists(id)) {
        return Value();
    }
    const DisplayValue v = vm_.host().property(id, static_cast<DisplayProperty>(index));
    if (const double* d = std::get_if<double>(&v)) {
        return Value(*d);
    }
    if (const bool* b = std::get_if<bool>(&v)) {
        return Value::boolean(*b);
    }
    if (const std::string* s = std::get_if<std::string>(&v)) {
        return Value(vm_.str(*s));
    }
    return static_cast<DisplayProperty>(index) == DisplayProperty::FocusRect ? Value::null()
                                                                             : Value();
}

DisplayId Interpreter::displayNamed(const Value& v, DisplayId from) {
    // An object that is no clip names one by its text.
    Object* o = v.asObject();
    if (o != nullptr && o->kind() != ObjectKind::Clip) {
        return vm_.resolvePath(from, vm_.toString(v)->view());
    }
    if (f_.version < 5 && o == nullptr) {
        return swf4Target(from, vm_.toString(v)->view());
    }
    return vm_.displayOf(v, from);
}

void Interpreter::setDisplayProperty(DisplayId id, int index, const Value& v) {
    if (index < 0 || index >= kDisplayPropertyCount) {
        return;
    }
    if (!vm_.host().exists(id)) {
        // The value is converted for the property even when there is nothing to set.
        const auto p = static_cast<DisplayProperty>(index);
        if (p == DisplayProperty::Name) {
            vm_.toString(v);
        } else if (p != DisplayProperty::Target && p != DisplayProperty::DropTarget &&
                   p != DisplayProperty::Url && p != DisplayProperty::Quality) {
            vm_.toNumber(v);
        }
        return;
    }
    const auto p = static_cast<DisplayProperty>(index);
    vm_.host().setProperty(id, p, toDisplayValue(vm_, p, v, id));
}

std::optional<int> Interpreter::frameNumber(DisplayId id, const Value& frame, int bias) {
    if (frame.isNumber()) {
        return goToFrameNumber(frame.number(), bias);
    }
    const std::string s = vm_.toStdString(frame);
    const double n = stringToNumber(s, 7);
    if (!std::isnan(n)) {
        return goToFrameNumber(std::trunc(std::clamp(n, -1e9, 1e9)), bias);
    }
    // The scene bias counts from a label's frame too.
    const std::optional<int> label = vm_.host().labelFrame(id, s);
    return label ? goToFrameNumber(*label, bias) : std::nullopt;
}

void Interpreter::gotoFrameValue(const Value& frame, bool play, int bias) {
    DisplayId id = targetId();
    Value f = frame;
    if (frame.isString()) {
        const std::string_view s = frame.string()->view();
        const std::size_t colon = s.rfind(':');
        if (colon != std::string_view::npos) {
            id = vm_.resolvePath(id, s.substr(0, colon));
            f = Value(vm_.str(s.substr(colon + 1)));
        }
    }
    if (id == kNoDisplay) {
        return;
    }
    const std::optional<int> to = frameNumber(id, f, bias);
    if (!to) {
        return;  // no go-to at all
    }
    vm_.host().gotoFrame(id, *to);
    vm_.host().setPlaying(id, play);
}

void Interpreter::setTarget(const Value& path) {
    if (path.isObject() && path.object()->kind() == ObjectKind::Clip) {
        f_.target = path;
        return;
    }
    const std::string p = vm_.toStdString(path);
    if (p.empty()) {
        f_.target = f_.originalTarget;
        return;
    }
    // Paths from a clip that has been removed lead nowhere, not even to the root.
    if (originalId() != kNoDisplay && !vm_.host().exists(originalId())) {
        f_.target = Value();
        return;
    }
    if (f_.version < 5) {
        const DisplayId id = swf4Target(originalId(), p);
        f_.target = id != kNoDisplay ? Value(vm_.clipObject(id)) : Value::null();
        return;
    }
    DisplayId id = vm_.resolvePath(originalId(), p);
    // A target path knows no `this`, not even through variables.
    const bool fromThis = p.compare(0, 4, "this") == 0 &&
                          (p.size() == 4 || p[4] == '.' || p[4] == '/' || p[4] == ':');
    if (id == kNoDisplay && !fromThis) {
        // A dot path through variables (tellTarget(someVar)).
        const Value v = evaluatePath(p);
        if (v.isObject() && v.object()->kind() == ObjectKind::Clip) {
            f_.target = v;
            return;
        }
    }
    // A target that names nothing (null) has no properties of its own, while its variables
    // and relative paths are the root's.
    f_.target = id != kNoDisplay ? Value(vm_.clipObject(id)) : Value::null();
}

std::string Interpreter::encodeVariables(DisplayId id) {
    Object* o = vm_.clipObject(id);
    if (o == nullptr) {
        return {};
    }
    std::string out;
    auto add = [&out](std::string_view name, std::string_view value) {
        if (!out.empty()) {
            out += '&';
        }
        out += urlEncode(name);
        out += '=';
        out += urlEncode(value);
    };
    // Newest first, as for-in lists them.
    const auto& props = o->properties().list();
    for (auto it = props.rbegin(); it != props.rend(); ++it) {
        const auto& p = *it;
        if ((p.flags & kDontEnum) != 0 || p.isAccessor() || p.value.isObject()) {
            continue;
        }
        add(p.name->view(), vm_.toStdString(p.value));
    }
    // A level's form also tells the player version, the oldest of its variables.
    if (vm_.host().parent(id) == kNoDisplay) {
        const Value version = vm_.get(Value(vm_.global()), "$version");
        if (version.isString()) {
            add("$version", version.string()->view());
        }
    }
    return out;
}

void Interpreter::getUrl2(std::uint8_t flags) {
    // Operands become text in the order they are popped: the target first.
    const Value targetValue = pop();
    const std::string target =
        targetValue.isObject() && targetValue.object()->kind() == ObjectKind::Clip
            ? vm_.dotPath(static_cast<ClipObject*>(targetValue.object())->id)
            : vm_.toStdString(targetValue);
    const std::string url = vm_.toStdString(pop());
    // Compilers write the flags in the reverse of the documented bit order: the method in
    // the low bits, the load-variables and load-target flags in the top two.
    const auto methodBits = flags & 0x03;
    const UrlMethod method = methodBits == 1   ? UrlMethod::Get
                             : methodBits == 2 ? UrlMethod::Post
                                               : UrlMethod::None;
    const bool loadTarget = (flags & 0x40) != 0;
    const bool loadVariables = (flags & 0x80) != 0;
    const std::string vars = method != UrlMethod::None ? encodeVariables(targetId()) : "";
    auto levelOf = [](std::string_view t) -> int {
        if (t.size() > 6 && t.substr(0, 6) == "_level") {
            const std::string digits(t.substr(6));
            if (digits.find_first_not_of("0123456789") == std::string::npos) {
                return std::atoi(digits.c_str());
            }
        }
        return -1;
    };
    const int level = levelOf(target);
    if (loadVariables) {
        const DisplayId id =
            level >= 0 ? vm_.host().level(level) : vm_.resolvePath(targetId(), target);
        if (id != kNoDisplay) {
            vm_.host().loadVariables(id, url, method, vars);
        }
        return;
    }
    if (level >= 0) {
        vm_.host().loadMovieLevel(level, url, method, vars);
        return;
    }
    if (loadTarget) {
        const DisplayId id = vm_.resolvePath(targetId(), target);
        if (id != kNoDisplay) {
            if (url.empty()) {
                vm_.host().unloadMovie(id);
            } else {
                vm_.host().loadMovie(id, url, method, vars);
            }
        }
        return;
    }
    vm_.host().getUrl(url, target, method, vars);
}

Completion Interpreter::runTry(std::size_t data, std::size_t next, std::size_t& after) {
    std::size_t at = data;
    const std::uint8_t flags = code_[at++];
    const std::uint16_t trySize = readU16(code_, at);
    const std::uint16_t catchSize = readU16(code_, at + 2);
    const std::uint16_t finallySize = readU16(code_, at + 4);
    at += 6;
    const bool catchInRegister = (flags & 0x04) != 0;
    const bool hasFinally = (flags & 0x02) != 0;
    const bool hasCatch = (flags & 0x01) != 0;
    std::string_view catchName;
    std::uint8_t catchRegister = 0;
    if (catchInRegister) {
        if (at >= next) {
            after = next;
            return {};
        }
        catchRegister = code_[at++];
    } else if (!readString(code_, at, next, catchName)) {
        after = next;
        return {};
    }
    const std::size_t tryBegin = next;
    const std::size_t tryEnd = tryBegin + trySize;
    const std::size_t catchEnd = tryEnd + catchSize;
    const std::size_t finallyEnd = catchEnd + finallySize;
    after = finallyEnd;

    Completion result;
    bool pending = false;
    Value thrown;
    const std::size_t stackAtTry = vm_.stack_.size();
    try {
        result = run(tryBegin, tryEnd);
    } catch (ScriptException& e) {
        // What the try block pushed before the throw is dropped.
        if (vm_.stack_.size() > stackAtTry) {
            vm_.stack_.resize(stackAtTry);
        }
        if (hasCatch) {
            if (catchInRegister) {
                if (catchRegister < f_.registers.size()) {
                    f_.registers[catchRegister] = e.value;
                }
            } else if (f_.activation != nullptr) {
                vm_.define(f_.activation, catchName, e.value, 0);
            } else {
                setVariable(vm_.intern(catchName), e.value);
            }
            try {
                result = run(tryEnd, catchEnd);
            } catch (ScriptException& again) {
                if (!hasFinally) {
                    throw;
                }
                pending = true;
                thrown = again.value;
            }
        } else {
            pending = true;
            thrown = e.value;
        }
    }
    if (hasFinally) {
        f_.pinned.push_back(thrown);
        const std::size_t mark = f_.pinned.size();
        Completion fin = run(catchEnd, finallyEnd);
        f_.pinned.resize(mark - 1);
        if (fin.kind != Completion::Normal) {
            return fin;  // a return or jump out of finally wins over everything
        }
    }
    if (pending) {
        throw ScriptException{thrown};
    }
    return result;
}

Completion Interpreter::run(std::size_t begin, std::size_t end) {
    end = std::min(end, code_.size());
    if (++f_.blockDepth > kMaxBlockDepth) {
        --f_.blockDepth;
        throw ScriptAbort{"Blocks nested too deeply"};
    }
    struct DepthGuard {
        int& d;
        ~DepthGuard() { --d; }
    } depthGuard{f_.blockDepth};

    std::size_t pc = begin;
    // Moves pc within this block, or returns true with how the block ends (a jump past the
    // block leaves it).
    auto jumpTo = [&](std::size_t to, Completion& out) {
        if (to >= begin && to < end) {
            if (to <= pc) {
                vm_.maybeCollect();
            }
            pc = to;
            return false;
        }
        out = to == end ? Completion{} : Completion{Completion::Jump, to};
        return true;
    };
    // Jump and If: a target before the code ends the script.
    auto branch = [&](std::size_t from, std::int16_t offset, Completion& out) {
        const auto target = static_cast<std::ptrdiff_t>(from) + offset;
        if (target < 0) {
            out = {Completion::End, 0};
            return true;
        }
        return jumpTo(static_cast<std::size_t>(target), out);
    };

    while (pc < end) {
        if ((++vm_.actions_ & 0x3fff) == 0) {
            vm_.checkLimits();
        }
        const std::uint8_t op = code_[pc];
        if (op == 0) {
            return {Completion::End, 0};
        }
        std::size_t data = pc + 1;
        std::size_t length = 0;
        if (op >= 0x80) {
            if (pc + 3 > end) {
                return {Completion::End, 0};
            }
            length = readU16(code_, pc + 1);
            data = pc + 3;
        }
        const std::size_t next = data + length;
        if (next > end) {
            return {Completion::End, 0};
        }
        switch (op) {
            // --- SWF 3 ---
            case 0x04:  // NextFrame
                vm_.host().nextFrame(targetId());
                break;
            case 0x05:  // PrevFrame
                vm_.host().prevFrame(targetId());
                break;
            case 0x06:  // Play
                vm_.host().setPlaying(targetId(), true);
                break;
            case 0x07:  // Stop
                vm_.host().setPlaying(targetId(), false);
                break;
            case 0x08:  // ToggleQuality
                vm_.host().toggleQuality();
                break;
            case 0x09:  // StopSounds
                vm_.host().stopSounds();
                break;
            case 0x81:  // GotoFrame
                // The bare action halts the timeline it moves; authoring tools follow it with
                // Play for gotoAndPlay.
                if (length >= 2 && targetId() != kNoDisplay) {
                    vm_.host().setPlaying(targetId(), false);
                    // A frame number written past the end goes nowhere (a go-to by value
                    // stops on the last frame instead).
                    const int frame = readU16(code_, data) + 1;
                    const Value total = displayProperty(targetId(), 5);  // _totalframes
                    if (!total.isNumber() || frame <= total.number()) {
                        vm_.host().gotoFrame(targetId(), frame);
                    }
                }
                break;
            case 0x83: {  // GetURL
                std::size_t at = data;
                std::string_view url, window;
                if (readString(code_, at, next, url) && readString(code_, at, next, window)) {
                    if (window.size() > 6 && window.substr(0, 6) == "_level") {
                        vm_.host().loadMovieLevel(std::atoi(std::string(window.substr(6)).c_str()),
                                                  url, UrlMethod::None, "");
                    } else {
                        vm_.host().getUrl(url, window, UrlMethod::None, "");
                    }
                }
                break;
            }
            case 0x8A: {  // WaitForFrame
                if (length < 3) {
                    break;
                }
                const int frame = readU16(code_, data) + 1;
                const int skip = code_[data + 2];
                const Value loaded = displayProperty(targetId(), 12);
                if (loaded.isNumber() && loaded.number() < frame) {
                    pc = next;
                    for (int i = 0; i < skip && pc < end; ++i) {
                        const std::uint8_t o = code_[pc];
                        pc += o >= 0x80 && pc + 3 <= end ? 3 + readU16(code_, pc + 1) : 1;
                    }
                    continue;
                }
                break;
            }
            case 0x8B: {  // SetTarget
                std::size_t at = data;
                std::string_view path;
                if (readString(code_, at, next, path)) {
                    setTarget(Value(vm_.str(path)));
                }
                break;
            }
            case 0x8C: {  // GoToLabel
                std::size_t at = data;
                std::string_view label;
                if (readString(code_, at, next, label) && targetId() != kNoDisplay) {
                    if (auto frame = vm_.host().labelFrame(targetId(), label)) {
                        vm_.host().gotoFrame(targetId(), *frame);
                    }
                }
                break;
            }
            // --- SWF 4: the stack ---
            case 0x96: {  // Push
                std::size_t at = data;
                while (at < next) {
                    const std::uint8_t type = code_[at++];
                    switch (type) {
                        case 0: {
                            std::string_view s;
                            if (!readString(code_, at, next, s)) {
                                at = next;
                                break;
                            }
                            push(Value(vm_.intern(sourceText(s))));
                            break;
                        }
                        case 1: {
                            if (at + 4 > next) {
                                at = next;
                                break;
                            }
                            float fv;
                            std::memcpy(&fv, &code_[at], 4);
                            at += 4;
                            push(Value(static_cast<double>(fv)));
                            break;
                        }
                        case 2:
                            push(Value::null());
                            break;
                        case 3:
                            push(Value());
                            break;
                        case 4: {
                            if (at >= next) {
                                break;
                            }
                            const std::uint8_t r = code_[at++];
                            push(r < f_.registers.size() ? f_.registers[r] : Value());
                            break;
                        }
                        case 5:
                            if (at < next) {
                                push(Value::boolean(code_[at++] != 0));
                            }
                            break;
                        case 6: {
                            if (at + 8 > next) {
                                at = next;
                                break;
                            }
                            // Stored as two little-endian words, the high word first.
                            std::uint8_t b[8];
                            std::memcpy(b, &code_[at + 4], 4);
                            std::memcpy(b + 4, &code_[at], 4);
                            double d;
                            std::memcpy(&d, b, 8);
                            at += 8;
                            push(Value(d));
                            break;
                        }
                        case 7: {
                            if (at + 4 > next) {
                                at = next;
                                break;
                            }
                            std::int32_t iv;
                            std::memcpy(&iv, &code_[at], 4);
                            at += 4;
                            push(Value(static_cast<double>(iv)));
                            break;
                        }
                        case 8:
                        case 9: {
                            std::size_t index = 0;
                            if (type == 8) {
                                if (at >= next) {
                                    break;
                                }
                                index = code_[at++];
                            } else {
                                if (at + 2 > next) {
                                    at = next;
                                    break;
                                }
                                index = readU16(code_, at);
                                at += 2;
                            }
                            if (f_.pool != nullptr && index < f_.pool->values.size()) {
                                push(f_.pool->values[index]);
                            } else {
                                push(Value());
                            }
                            break;
                        }
                        default:
                            at = next;  // an unknown type ends the record
                            break;
                    }
                }
                break;
            }
            case 0x17:  // Pop
                pop();
                break;
            case 0x0A:    // Add
            case 0x0B:    // Subtract
            case 0x0C:    // Multiply
            case 0x0D: {  // Divide
                auto& s = vm_.stack_;
                const std::size_t n = s.size();
                if (n >= f_.stackBase + 2 && s[n - 1].isNumber() && s[n - 2].isNumber()) {
                    const double b = s[n - 1].number();
                    const double a = s[n - 2].number();
                    s.pop_back();
                    double r = op == 0x0A ? a + b : op == 0x0B ? a - b : op == 0x0C ? a * b : a / b;
                    if (op == 0x0D && b == 0 && f_.version < 5) {
                        s.back() = Value(vm_.intern("#ERROR#"));
                        break;
                    }
                    s.back() = Value(r);
                    break;
                }
                const Value bv = pop();
                const Value av = pop();
                // Subtract and Divide convert their right operand first, Add and Multiply not.
                const bool rightFirst = op == 0x0B || op == 0x0D;
                const double b0 = rightFirst ? vm_.toNumber(bv) : 0;
                const double a = vm_.toNumber(av);
                const double b = rightFirst ? b0 : vm_.toNumber(bv);
                if (op == 0x0D && b == 0 && f_.version < 5) {
                    push(Value(vm_.intern("#ERROR#")));
                    break;
                }
                push(Value(op == 0x0A ? a + b : op == 0x0B ? a - b : op == 0x0C ? a * b : a / b));
                break;
            }
            case 0x0E: {  // Equals (converts its right operand first)
                const double b = vm_.toNumber(pop());
                const double a = vm_.toNumber(pop());
                push(boolResult(a == b));
                break;
            }
            case 0x0F: {  // Less
                auto& s = vm_.stack_;
                const std::size_t n = s.size();
                if (n >= f_.stackBase + 2 && s[n - 1].isNumber() && s[n - 2].isNumber()) {
                    const bool r = s[n - 2].number() < s[n - 1].number();
                    s.pop_back();
                    s.back() = boolResult(r);
                    break;
                }
                const Value bv = pop();
                const Value av = pop();
                const double a = vm_.toNumber(av);
                const double b = vm_.toNumber(bv);
                push(boolResult(a < b));
                break;
            }
            case 0x10:    // And
            case 0x11: {  // Or
                const Value bv = pop();
                const Value av = pop();
                const bool a = vm_.toBoolean(av);
                const bool b = vm_.toBoolean(bv);
                push(boolResult(op == 0x10 ? (a && b) : (a || b)));
                break;
            }
            case 0x12:  // Not
                push(boolResult(!vm_.toBoolean(pop())));
                break;
            case 0x13: {  // StringEquals
                String* b = popString();
                String* a = popString();
                push(boolResult(a->view() == b->view()));
                break;
            }
            case 0x29:    // StringLess
            case 0x68: {  // StringGreater
                String* b = popString();
                String* a = popString();
                push(boolResult(op == 0x29 ? textLess(a->view(), b->view())
                                           : textLess(b->view(), a->view())));
                break;
            }
            case 0x14:    // StringLength
            case 0x31: {  // MBStringLength
                String* s = popString();
                push(Value(static_cast<double>(op == 0x14 && f_.version < 6
                                                   ? codePageLength(s->view())
                                                   : utf16Length(s->view()))));
                break;
            }
            case 0x21: {  // StringAdd
                String* b = popString();
                String* a = popString();
                push(Value(vm_.str(a->text() + b->text())));
                break;
            }
            case 0x15:    // StringExtract
            case 0x35: {  // MBStringExtract
                // Index and count are 32-bit integers: larger ones wrap.
                const double count = vm_.toInt32(pop());
                const double index = vm_.toInt32(pop());
                String* s = popString();
                push(Value(vm_.str(substringUtf16(s->view(), index - 1, count))));
                break;
            }
            case 0x18: {  // ToInteger
                const double n = vm_.toNumber(pop());
                push(Value(std::isnan(n) ? 0.0 : std::trunc(n)));
                break;
            }
            case 0x32:    // CharToAscii
            case 0x36: {  // MBCharToAscii
                String* s = popString();
                const std::uint16_t unit = s->view().empty() ? 0 : firstCodeUnit(s->view());
                // Half of a surrogate pair is no character to these: the replacement one.
                push(Value(static_cast<double>(isSurrogate(unit) ? 0xfffd : unit)));
                break;
            }
            case 0x33:    // AsciiToChar
            case 0x37: {  // MBAsciiToChar
                const double n = vm_.toNumber(pop());
                std::uint32_t unit = std::isfinite(n) ? toUint32(n) & 0xffff : 0;
                if (isSurrogate(unit)) {
                    unit = 0xfffd;
                }
                push(Value(vm_.str(fromCharCode(unit))));
                break;
            }
            case 0x99: {  // Jump
                if (length < 2) {
                    break;
                }
                Completion out;
                if (branch(next, static_cast<std::int16_t>(readU16(code_, data)), out)) {
                    return out;
                }
                continue;
            }
            case 0x9D: {  // If
                if (length < 2) {
                    break;
                }
                const auto offset = static_cast<std::int16_t>(readU16(code_, data));
                const Value cond = pop();
                const bool taken = cond.isBoolean() ? cond.boolean() : vm_.toBoolean(cond);
                if (!taken) {
                    break;
                }
                Completion out;
                if (branch(next, offset, out)) {
                    return out;
                }
                continue;
            }
            case 0x9E: {  // Call
                const Value frame = pop();
                DisplayId id = targetId();
                // A frame number is a 32-bit unsigned integer here: larger ones wrap.
                Value fv = frame.isNumber() && std::isfinite(frame.number())
                               ? Value(static_cast<double>(toUint32(frame.number())))
                               : frame;
                if (frame.isString()) {
                    const std::string_view s = frame.string()->view();
                    const std::size_t colon = s.rfind(':');
                    if (colon != std::string_view::npos) {
                        id = vm_.resolvePath(id, s.substr(0, colon));
                        fv = Value(vm_.str(s.substr(colon + 1)));
                    }
                }
                if (id != kNoDisplay) {
                    if (auto n = frameNumber(id, fv)) {
                        vm_.host().callFrame(id, *n);
                    }
                }
                // A block whose clips are all gone ends once it has called on the root.
                if (!liveTarget().isObject() ||
                    (liveTarget().object() != f_.target.asObject() &&
                     liveTarget().object() != f_.originalTarget.asObject())) {
                    return {Completion::End, 0};
                }
                break;
            }
            case 0x1C:  // GetVariable
                push(getVariable(popString()));
                break;
            case 0x1D: {  // SetVariable
                const Value v = pop();
                setVariable(popString(), v);
                break;
            }
            case 0x9A:  // GetURL2
                if (length >= 1) {
                    getUrl2(code_[data]);
                }
                break;
            case 0x9F: {  // GotoFrame2
                if (length < 1) {
                    break;
                }
                const std::uint8_t flags = code_[data];
                int bias = 0;
                if ((flags & 0x02) != 0 && length >= 3) {
                    bias = readU16(code_, data + 1);
                }
                gotoFrameValue(pop(), (flags & 0x01) != 0, bias);
                break;
            }
            case 0x20:  // SetTarget2
                setTarget(pop());
                break;
            case 0x22: {  // GetProperty
                const double index = vm_.toNumber(pop());
                const Value target = pop();
                const DisplayId id =
                    target.isString() && target.string()->view().empty()
                        ? (f_.target.isNull() ? kNoDisplay : targetId())
                        : displayNamed(target, targetId() ? targetId() : originalId());
                push(std::isfinite(index) ? displayProperty(id, static_cast<int>(index)) : Value());
                break;
            }
            case 0x23: {  // SetProperty
                const Value v = pop();
                const double index = vm_.toNumber(pop());
                const Value target = pop();
                const DisplayId id =
                    target.isString() && target.string()->view().empty()
                        ? targetId()
                        : displayNamed(target, targetId() ? targetId() : originalId());
                if (std::isfinite(index)) {
                    setDisplayProperty(id, static_cast<int>(index), v);
                }
                break;
            }
            case 0x24: {  // CloneSprite
                const double depth = vm_.toNumber(pop());
                const std::string name = vm_.toStdString(pop());
                const DisplayId source = displayNamed(pop(), targetId());
                if (source != kNoDisplay && std::isfinite(depth)) {
                    // Depths wrap as 32-bit integers.
                    const auto wrapped = static_cast<std::int32_t>(toUint32(depth) - 16384u);
                    vm_.host().duplicate(source, name, wrapped);
                }
                break;
            }
            case 0x25: {  // RemoveSprite
                const DisplayId id = displayNamed(pop(), targetId());
                if (id != kNoDisplay) {
                    vm_.host().remove(id);
                }
                break;
            }
            case 0x27: {  // StartDrag
                // The flags are read as numbers; only a constrain flag of exactly 1 takes the
                // four bounds below it (any other value leaves them on the stack).
                const DisplayId id = displayNamed(pop(), targetId());
                const double lock = vm_.toNumber(pop());
                const bool lockCenter = !std::isnan(lock) && lock != 0;
                const bool constrain = vm_.toNumber(pop()) == 1;
                std::optional<std::array<double, 4>> bounds;
                if (constrain) {
                    const double y2 = vm_.toNumber(pop());
                    const double x2 = vm_.toNumber(pop());
                    const double y1 = vm_.toNumber(pop());
                    const double x1 = vm_.toNumber(pop());
                    bounds = std::array<double, 4>{x1, y1, x2, y2};
                }
                if (id != kNoDisplay) {
                    vm_.host().startDrag(id, lockCenter, bounds);
                }
                break;
            }
            case 0x28:  // EndDrag
                vm_.host().stopDrag();
                break;
            case 0x8D: {  // WaitForFrame2
                if (length < 1) {
                    break;
                }
                const int skip = code_[data];
                const Value frame = pop();
                const DisplayId id = targetId();
                const auto n = id != kNoDisplay ? frameNumber(id, frame) : std::nullopt;
                const Value loaded = displayProperty(id, 12);
                if (n && loaded.isNumber() && loaded.number() < *n) {
                    pc = next;
                    for (int i = 0; i < skip && pc < end; ++i) {
                        const std::uint8_t o = code_[pc];
                        pc += o >= 0x80 && pc + 3 <= end ? 3 + readU16(code_, pc + 1) : 1;
                    }
                    continue;
                }
                break;
            }
            case 0x26: {  // Trace
                const Value v = pop();
                if (v.isUndefined()) {
                    vm_.host().trace("undefined");
                    break;
                }
                // A carriage return ends a line of output as a line feed does.
                std::string text;
                try {
                    text = vm_.toStdString(v);
                } catch (const ScriptException&) {
                    // The line is still written, as the object's type, before the throw goes on.
                    vm_.host().trace("[type Object]");
                    throw;
                }
                std::replace(text.begin(), text.end(), '\r', '\n');
                vm_.host().trace(displayText(text));
                break;
            }
            case 0x34:  // GetTime
                push(Value(std::floor(vm_.host().timer())));
                break;
            case 0x30: {  // RandomNumber
                const double max = vm_.toNumber(pop());
                const double bound = std::isfinite(max) ? std::trunc(max) : 0;
                push(Value(
                    bound >= 1 && bound < 4294967296.0
                        ? static_cast<double>(vm_.host().random(static_cast<std::uint32_t>(bound)))
                        : 0.0));
                break;
            }
            // --- SWF 5 ---
            case 0x3D:  // CallFunction
                callFunctionAction();
                break;
            case 0x52:  // CallMethod
                callMethodAction();
                break;
            case 0x88: {  // ConstantPool
                if (length < 2) {
                    break;
                }
                auto* pool = vm_.heap().make<ConstantPool>();
                const std::size_t count = readU16(code_, data);
                std::size_t at = data + 2;
                pool->values.reserve(std::min<std::size_t>(count, length));
                for (std::size_t i = 0; i < count; ++i) {
                    std::string_view s;
                    if (!readString(code_, at, next, s)) {
                        break;
                    }
                    pool->values.push_back(Value(vm_.intern(sourceText(s))));
                }
                f_.pool = pool;
                break;
            }
            case 0x9B:    // DefineFunction
            case 0x8E: {  // DefineFunction2
                auto def = std::make_shared<FunctionDef>();
                def->code = f_.code;
                // Functions came with SWF 5: their bodies follow its rules even in older movies.
                def->swfVersion = std::max(f_.version, 5);
                def->v2 = op == 0x8E;
                std::size_t at = data;
                std::string_view name;
                if (!readString(code_, at, next, name) || at + 2 > next) {
                    break;
                }
                def->name = std::string(name);
                const std::uint16_t params = readU16(code_, at);
                at += 2;
                bool ok = true;
                if (def->v2) {
                    if (at + 3 > next) {
                        break;
                    }
                    def->registerCount = code_[at];
                    def->flags = static_cast<std::uint16_t>(code_[at + 1] | (code_[at + 2] << 8));
                    at += 3;
                }
                for (std::uint16_t i = 0; i < params && ok; ++i) {
                    FunctionDef::Param p;
                    if (def->v2) {
                        if (at >= next) {
                            ok = false;
                            break;
                        }
                        p.reg = code_[at++];
                    }
                    std::string_view pn;
                    ok = readString(code_, at, next, pn);
                    p.name = std::string(pn);
                    def->params.push_back(std::move(p));
                }
                if (!ok || at + 2 > next) {
                    break;
                }
                const std::uint16_t codeSize = readU16(code_, at);
                def->begin = next;
                def->end = std::min<std::size_t>(next + codeSize, end);
                const std::size_t after = def->end;
                FunctionObject* fn = defineFunction(std::move(def));
                if (name.empty()) {
                    push(Value(fn));
                } else {
                    defineLocal(vm_.intern(name), Value(fn));
                }
                pc = after;
                continue;
            }
            case 0x3C: {  // DefineLocal
                const Value v = pop();
                defineLocal(popString(), v);
                break;
            }
            case 0x41: {  // DefineLocal2
                String* name = popString();
                Value base;
                String* var = nullptr;
                if (f_.activation == nullptr &&
                    name->view().find_first_of(":/.") != std::string_view::npos) {
                    // Outside functions a path declares the variable where it points.
                    if (resolvePathVariable(name->view(), base, var, true) && base.isObject() &&
                        !vm_.has(base.object(), var, false)) {
                        vm_.set(base, var, Value());
                    }
                } else if (f_.activation != nullptr) {
                    if (!vm_.has(f_.activation, name, true)) {
                        vm_.define(f_.activation, name->view(), Value(), 0);
                    }
                } else if (f_.target.isObject() && !vm_.has(f_.target.object(), name, false)) {
                    vm_.set(f_.target, name, Value());
                }
                break;
            }
            case 0x3A: {  // Delete
                String* name = popString();
                const Value object = pop();
                Object* o = object.asObject();
                push(Value::boolean(o != nullptr && vm_.remove(o, name)));
                break;
            }
            case 0x3B:  // Delete2
                push(Value::boolean(deleteVariable(popString())));
                break;
            case 0x46:    // Enumerate
            case 0x55: {  // Enumerate2
                const Value v = op == 0x46 ? getVariable(popString()) : pop();
                Object* o = v.asObject();
                // The names sit above an undefined, which ends the loop (== null).
                push(Value());
                if (o == nullptr) {
                    break;
                }
                for (String* name : vm_.enumerate(o)) {
                    push(Value(name));
                }
                break;
            }
            case 0x49: {  // Equals2
                const Value b = pop();
                const Value a = pop();
                push(boolResult(vm_.abstractEquals(a, b)));
                break;
            }
            case 0x4E: {  // GetMember
                const Value name = pop();
                const Value object = pop();
                if (Object* o = object.asObject(); o != nullptr && o->kind() == ObjectKind::Array &&
                                                   name.isNumber() && o->properties().size() == 0) {
                    auto* a = static_cast<ArrayObject*>(o);
                    const double d = name.number();
                    if (d >= 0 && d < static_cast<double>(a->dense.size()) && d == std::trunc(d) &&
                        !a->dense[static_cast<std::size_t>(d)].isHole()) {
                        push(a->dense[static_cast<std::size_t>(d)]);
                        break;
                    }
                }
                push(vm_.get(object, vm_.toString(name)));
                break;
            }
            case 0x4F: {  // SetMember
                const Value v = pop();
                const Value name = pop();
                const Value object = pop();
                if (Object* o = object.asObject(); o != nullptr && o->kind() == ObjectKind::Array &&
                                                   name.isNumber() && o->watches().empty() &&
                                                   o->properties().size() == 0) {
                    auto* a = static_cast<ArrayObject*>(o);
                    const double d = name.number();
                    if (d >= 0 && d < static_cast<double>(a->dense.size()) && d == std::trunc(d) &&
                        !a->dense[static_cast<std::size_t>(d)].isHole()) {
                        a->dense[static_cast<std::size_t>(d)] = v;
                        break;
                    }
                }
                vm_.set(object, vm_.toString(name), v);
                break;
            }
            case 0x42: {  // InitArray
                // A count larger than the stack holds makes no array and takes nothing.
                const std::size_t available = vm_.stack_.size() - f_.stackBase;
                if (available > 0) {
                    const Value& top = vm_.stack_.back();
                    if (top.isNumber() && top.number() > static_cast<double>(available - 1)) {
                        pop();
                        push(Value());
                        break;
                    }
                }
                std::vector<Value> items = popArgs();
                push(Value(vm_.newArray(items)));
                break;
            }
            case 0x43: {  // InitObject
                const double n = vm_.toNumber(pop());
                Object* o = vm_.newObject();
                const std::size_t available = (vm_.stack_.size() - f_.stackBase) / 2;
                const std::size_t count =
                    n > 0 ? std::min(available, static_cast<std::size_t>(std::min(n, 1e9))) : 0;
                // Members are made as the pairs come off the stack: the last written first.
                for (std::size_t i = 0; i < count; ++i) {
                    const Value v = pop();
                    String* name = popString();
                    vm_.set(Value(o), name, v);
                }
                push(Value(o));
                break;
            }
            case 0x53:  // NewMethod
                newObjectAction(true);
                break;
            case 0x40:  // NewObject
                newObjectAction(false);
                break;
            case 0x45: {  // TargetPath
                const Value v = pop();
                Object* o = v.asObject();
                if (o != nullptr && o->kind() == ObjectKind::Clip) {
                    push(Value(vm_.str(vm_.dotPath(static_cast<ClipObject*>(o)->id))));
                } else {
                    push(Value());
                }
                break;
            }
            case 0x94: {  // With
                if (length < 2) {
                    break;
                }
                const std::size_t bodyEnd = std::min<std::size_t>(next + readU16(code_, data), end);
                const Value object = pop();
                if (object.isNullish()) {
                    pc = bodyEnd;  // no object: the block is skipped
                    continue;
                }
                Object* o = vm_.toObject(object);  // a primitive is boxed
                Scope* saved = f_.scope;
                if (o != nullptr) {
                    auto* s = vm_.heap().make<Scope>(Scope::Kind::Object, o, f_.scope);
                    s->with = true;
                    f_.scope = s;
                }
                Completion c;
                try {
                    c = run(next, bodyEnd);
                } catch (...) {
                    f_.scope = saved;
                    throw;
                }
                f_.scope = saved;
                if (c.kind == Completion::Jump) {
                    Completion out;
                    if (jumpTo(c.target, out)) {
                        return out;
                    }
                    continue;
                }
                if (c.kind != Completion::Normal) {
                    return c;
                }
                pc = bodyEnd;
                continue;
            }
            case 0x4A:  // ToNumber
                push(Value(vm_.toNumber(pop())));
                break;
            case 0x4B:  // ToString
                push(Value(popString()));
                break;
            case 0x44:  // TypeOf
                push(Value(vm_.typeOf(pop())));
                break;
            case 0x47: {  // Add2
                auto& s = vm_.stack_;
                const std::size_t n = s.size();
                if (n >= f_.stackBase + 2 && s[n - 1].isNumber() && s[n - 2].isNumber()) {
                    const double r = s[n - 2].number() + s[n - 1].number();
                    s.pop_back();
                    s.back() = Value(r);
                    break;
                }
                const Value b = pop();
                const Value a = pop();
                push(vm_.add(a, b));
                break;
            }
            case 0x48: {  // Less2
                auto& s = vm_.stack_;
                const std::size_t n = s.size();
                if (n >= f_.stackBase + 2 && s[n - 1].isNumber() && s[n - 2].isNumber()) {
                    const double a = s[n - 2].number();
                    const double b = s[n - 1].number();
                    s.pop_back();
                    s.back() = std::isnan(a) || std::isnan(b) ? Value() : Value::boolean(a < b);
                    break;
                }
                const Value b = pop();
                const Value a = pop();
                push(vm_.lessThan(a, b));
                break;
            }
            case 0x67: {  // Greater
                const Value b = pop();
                const Value a = pop();
                push(vm_.lessThan(b, a));
                break;
            }
            case 0x3F: {  // Modulo
                const double b = vm_.toNumber(pop());
                const double a = vm_.toNumber(pop());
                push(Value(std::fmod(a, b)));
                break;
            }
            case 0x60:    // BitAnd
            case 0x61:    // BitOr
            case 0x62:    // BitXor
            case 0x63:    // BitLShift
            case 0x64:    // BitRShift
            case 0x65: {  // BitURShift
                const std::int32_t b = vm_.toInt32(pop());
                const std::int32_t a = vm_.toInt32(pop());
                double r = 0;
                const auto ua = static_cast<std::uint32_t>(a);
                const int shift = b & 31;
                switch (op) {
                    case 0x60:
                        r = a & b;
                        break;
                    case 0x61:
                        r = a | b;
                        break;
                    case 0x62:
                        r = a ^ b;
                        break;
                    case 0x63:
                        r = static_cast<std::int32_t>(ua << shift);
                        break;
                    case 0x64:
                        r = a >> shift;
                        break;
                    default:
                        r = ua >> shift;
                        break;
                }
                push(Value(r));
                break;
            }
            case 0x50:    // Increment
            case 0x51: {  // Decrement
                auto& s = vm_.stack_;
                if (s.size() > f_.stackBase && s.back().isNumber()) {
                    s.back() = Value(s.back().number() + (op == 0x50 ? 1 : -1));
                    break;
                }
                push(Value(vm_.toNumber(pop()) + (op == 0x50 ? 1 : -1)));
                break;
            }
            case 0x4C: {  // PushDuplicate
                const Value v = vm_.stack_.size() > f_.stackBase ? vm_.stack_.back() : Value();
                push(v);
                break;
            }
            case 0x3E:  // Return
                f_.returnValue = pop();
                return {Completion::Return, 0};
            case 0x4D: {  // StackSwap
                const Value a = pop();
                const Value b = pop();
                push(a);
                push(b);
                break;
            }
            case 0x87: {  // StoreRegister
                if (length < 1) {
                    break;
                }
                const std::uint8_t r = code_[data];
                if (r < f_.registers.size()) {
                    f_.registers[r] =
                        vm_.stack_.size() > f_.stackBase ? vm_.stack_.back() : Value();
                }
                break;
            }
            // --- SWF 6 and 7 ---
            case 0x54: {  // InstanceOf
                const Value ctor = pop();
                const Value v = pop();
                push(Value::boolean(vm_.instanceOf(v, ctor)));
                break;
            }
            case 0x66: {  // StrictEquals
                const Value b = pop();
                const Value a = pop();
                push(Value::boolean(Vm::strictEquals(a, b)));
                break;
            }
            case 0x69: {  // Extends
                const Value superclass = pop();
                const Value subclass = pop();
                Object* sub = subclass.asObject();
                Object* sup = superclass.asObject();
                if (sub == nullptr || sup == nullptr) {
                    break;
                }
                const Value superProto = vm_.get(superclass, vm_.atoms().prototype);
                Object* proto = vm_.heap().make<Object>(superProto.asObject());
                vm_.define(proto, "__constructor__", superclass, kDontEnum);
                if (f_.version < 7) {
                    vm_.define(proto, "constructor", superclass, kDontEnum);
                }
                vm_.set(subclass, vm_.atoms().prototype, Value(proto));
                break;
            }
            case 0x2B: {  // CastOp
                const Value v = pop();
                const Value ctor = pop();
                // The value is made an object first; a primitive is never cast.
                Object* o = v.isObject() ? v.object() : vm_.coerceToObject(v);
                push(o != nullptr && v.isObject() && vm_.instanceOf(v, ctor) ? v : Value::null());
                break;
            }
            case 0x2C: {  // ImplementsOp
                const Value ctor = pop();
                std::vector<Value> interfaces = popArgs();
                // The interfaces' prototypes as they are now; a class keeps its first list
                // that names any.
                Object* c = ctor.asObject();
                Object* p = c != nullptr ? vm_.ownPrototype(c).asObject() : nullptr;
                if (p != nullptr && !interfaces.empty() &&
                    p->properties().find(vm_.intern("__implements__")) == nullptr) {
                    for (Value& i : interfaces) {
                        Object* io = i.asObject();
                        i = io != nullptr ? vm_.ownPrototype(io) : Value();
                    }
                    vm_.define(p, "__implements__", Value(vm_.newArray(interfaces)), kDontEnum);
                }
                break;
            }
            case 0x8F: {  // Try
                if (length < 7) {
                    break;
                }
                std::size_t after = next;
                const Completion c = runTry(data, next, after);
                if (c.kind == Completion::Jump) {
                    Completion out;
                    if (jumpTo(c.target, out)) {
                        return out;
                    }
                    continue;
                }
                if (c.kind != Completion::Normal) {
                    return c;
                }
                if (after >= end) {
                    return {};
                }
                pc = after;
                continue;
            }
            case 0x2A:  // Throw
                throw ScriptException{pop()};
            default:
                break;  // unknown actions are skipped by their length
        }
        pc = next;
    }
    return {};
}

// --- Calls ---

Value Vm::callInternal(const Value& fn, const Value& thisValue, std::span<const Value> args,
                       Object* home) {
    Object* o = fn.asObject();
    if (o == nullptr || !o->isFunction()) {
        return Value();
    }
    auto* f = static_cast<FunctionObject*>(o);
    if (f->native != nullptr) {
        // Natives count as calls too: one calling itself through conversions must end.
        if (tooDeep()) {
            throw ScriptAbort{
                "Script recursion went deeper than the limit; the script was stopped"};
        }
        ++depth_;
        struct DepthGuard {
            int& depth;
            ~DepthGuard() { --depth; }
        } guard{depth_};
        CallInfo info{thisValue, args, f, std::exchange(constructCall_, false)};
        return f->native(*this, info);
    }
    return callScript(f, thisValue, args, home);
}

Value Vm::call(const Value& fn, const Value& thisValue, std::span<const Value> args, Object* home) {
    NoCollect hold(*this);
    return callInternal(fn, thisValue, args, home);
}

template <typename Call>
Value Vm::hostCall(Call&& call) {
    const bool outer = !running_;
    if (outer && !beginOuterRun()) {
        return Value();
    }
    Value result;
    try {
        result = call();
    } catch (ScriptException& e) {
        reportUncaught(e.value);
    } catch (ScriptAbort& a) {
        if (!outer) {
            throw;
        }
        reportError(a.reason);
        abortedOuterRun();
    }
    if (outer) {
        running_ = false;
        maybeCollect();
    }
    return result;
}

Value Vm::callFromHost(const Value& fn, const Value& thisValue, std::span<const Value> args) {
    return hostCall([&] { return callInternal(fn, thisValue, args, nullptr); });
}

void Vm::constructFromHost(const Value& ctor, Object* thisObject) {
    hostCall([&] {
        Object* home = get(ctor, atoms_.prototype).asObject();
        return callSuperConstructor(ctor, thisObject, {}, home);
    });
}

void Vm::registerAllocator(Object* proto, NativeAllocator allocator) {
    allocators_[proto] = allocator;
}

NativeAllocator Vm::allocatorFor(Object* proto) {
    int depth = 0;
    for (Object* cur = proto; cur != nullptr && depth < 256; cur = cur->proto(), ++depth) {
        if (auto it = allocators_.find(cur); it != allocators_.end()) {
            return it->second;
        }
    }
    return nullptr;
}

bool Vm::tooDeep() const {
    // The C++ stack is measured as well: frames are far larger in some builds (sanitizers),
    // where the call count alone would let a deep chain run off the stack.
    const char here = 0;
    const auto at = reinterpret_cast<std::uintptr_t>(&here);
    if (depth_ <= 1) {
        stackTop = at;
    }
    if (stackTop > at && stackTop - at > kStackBudget) {
        return true;
    }
    // Getters, setters and watchers have their own limits; the stack's holds for all.
    const int counted = depth_ - static_cast<int>(callbacks_.size());
    return counted + 1 > std::min(limits_.maxRecursion, kHardRecursionLimit) ||
           depth_ + 1 > kHardRecursionLimit;
}

Value Vm::callSuperConstructor(const Value& ctor, Object* thisObject, std::span<const Value> args,
                               Object* home) {
    Object* fn = ctor.asObject();
    const bool callable = thisObject != nullptr && fn != nullptr && fn->isFunction();
    constructCall_ = callable && static_cast<FunctionObject*>(fn)->native != nullptr;
    constructingScript_ = callable && static_cast<FunctionObject*>(fn)->native == nullptr;
    struct Reset {
        Vm& vm;
        ~Reset() { vm.constructCall_ = vm.constructingScript_ = false; }
    } reset{*this};
    return callInternal(ctor, Value(thisObject), args, home);
}

Value Vm::construct(const Value& fn, std::span<const Value> args) {
    Object* o = fn.asObject();
    if (o == nullptr || !o->isFunction()) {
        return Value();
    }
    auto* f = static_cast<FunctionObject*>(o);
    const Value protoValue = get(fn, atoms_.prototype);
    Object* proto = protoValue.asObject();
    NativeAllocator allocator = f->allocator;
    if (allocator == nullptr && f->native == nullptr && proto != nullptr) {
        allocator = allocatorFor(proto);
    }
    Object* instance = allocator != nullptr ? allocator(*this, proto ? proto : protos_.object)
                                            : heap_.make<Object>(proto);
    define(instance, "__constructor__", fn, kDontEnum);
    if (version_ < 7) {
        define(instance, "constructor", fn, kDontEnum);
    }
    if (f->native != nullptr) {
        pinned_.push_back(Value(instance));
        CallInfo info{Value(instance), args, f, true};
        dropConstructed_ = false;
        Value r;
        try {
            r = f->native(*this, info);
        } catch (...) {
            pinned_.pop_back();
            throw;
        }
        pinned_.pop_back();
        if (dropConstructed_) {
            dropConstructed_ = false;
            return Value();
        }
        return r.isObject() ? r : Value(instance);
    }
    constructingScript_ = true;
    callScript(f, Value(instance), args, proto);
    return Value(instance);
}

Value Vm::callScript(FunctionObject* f, const Value& thisValue, std::span<const Value> args,
                     Object* home) {
    const FunctionDef& def = *f->def;
    const bool constructing = std::exchange(constructingScript_, false);
    if (tooDeep()) {
        throw ScriptAbort{"Script recursion went deeper than the limit; the script was stopped"};
    }
    // A function keeps the rules and the built-ins of the movie that defined it, whoever
    // calls it.
    struct VersionRestore {
        Vm& vm;
        int version;
        ~VersionRestore() { vm.setSwfVersion(version); }
    } versionRestore{*this, version_};
    setSwfVersion(def.swfVersion);
    Frame fr;
    fr.caller = frame_;
    fr.code = def.code;
    fr.version = def.swfVersion;
    fr.pool = f->pool;
    fr.thisValue = thisValue;
    fr.callee = f;
    fr.home = home;
    fr.stackBase = stack_.size();
    Object* base = f->baseClip.asObject();
    if (base != nullptr && base->kind() == ObjectKind::Clip &&
        !host_.exists(static_cast<ClipObject*>(base)->id) && frame_ != nullptr) {
        // The defining clip is gone: run on the clip it is called on, else the caller's
        // target.
        Object* t = thisValue.asObject();
        fr.target = t != nullptr && t->kind() == ObjectKind::Clip &&
                            host_.exists(static_cast<ClipObject*>(t)->id)
                        ? thisValue
                        : frame_->target;
    } else {
        fr.target = f->baseClip;
    }
    Scope* outer = f->scope;
    if (def.swfVersion < 6) {
        // SWF 5 functions run on the clip they are called on, seeing its variables.
        if (Object* t = thisValue.asObject(); t != nullptr && t->kind() == ObjectKind::Clip) {
            fr.target = thisValue;
            outer = heap_.make<Scope>(Scope::Kind::Object, t,
                                      heap_.make<Scope>(Scope::Kind::Object, global_, nullptr));
        }
    }
    fr.originalTarget = fr.target;
    fr.activation = heap_.make<Object>(nullptr, ObjectKind::Activation);
    fr.scope = heap_.make<Scope>(Scope::Kind::Object, fr.activation, outer);

    std::size_t registers = def.v2 ? def.registerCount : 4;
    for (const auto& p : def.params) {
        registers = std::max<std::size_t>(registers, p.reg + 1u);
    }
    fr.registers.resize(std::max<std::size_t>(registers, def.v2 ? 7 : 4));

    ArrayObject* arguments = newArray(args);
    define(arguments, "callee", Value(f), kDontEnum);
    define(arguments, "caller",
           frame_ != nullptr && frame_->callee != nullptr ? Value(frame_->callee) : Value::null(),
           kDontEnum);
    fr.argumentsObject = Value(arguments);

    frame_ = &fr;
    ++depth_;
    struct Restore {
        Vm& vm;
        Frame& fr;
        ~Restore() {
            vm.frame_ = fr.caller;
            --vm.depth_;
            if (vm.stack_.size() > fr.stackBase) {
                vm.stack_.resize(fr.stackBase);
            }
        }
    } restore{*this, fr};

    Object* superObject = nullptr;
    auto makeSuper = [&]() -> Object* {
        if (superObject == nullptr) {
            auto* sup = heap_.make<SuperObject>(thisValue.asObject(), home);
            sup->constructing = constructing;
            superObject = sup;
        }
        return superObject;
    };
    auto rootOf = [&]() -> Value {
        const DisplayId t = currentTarget();
        return t != kNoDisplay ? get(Value(clipObject(t)), atoms_.root)
                               : Value(clipObject(host_.root()));
    };
    if (def.v2) {
        for (std::size_t i = 0; i < def.params.size(); ++i) {
            const auto& p = def.params[i];
            const Value v = i < args.size() ? args[i] : Value();
            if (p.reg != 0) {
                fr.registers[p.reg] = v;
            } else {
                define(fr.activation, p.name, v, 0);
            }
        }
        std::size_t r = 1;
        auto preload = [&](const Value& v) {
            if (r < fr.registers.size()) {
                fr.registers[r] = v;
            }
            ++r;
        };
        // A suppressed this or super still takes its register, left undefined; a parent
        // that does not exist takes none.
        if (def.flags & kPreloadThis) {
            preload((def.flags & kSuppressThis) ? Value() : thisValue);
        }
        if (def.flags & kPreloadArguments) {
            preload(Value(arguments));
        }
        if (def.flags & kPreloadSuper) {
            preload((def.flags & kSuppressSuper) ? Value() : Value(makeSuper()));
        }
        if (def.flags & kPreloadRoot) {
            preload(rootOf());
        }
        if (def.flags & kPreloadParent) {
            const DisplayId t = currentTarget();
            const Value parent =
                t != kNoDisplay ? get(Value(clipObject(t)), atoms_.parent) : Value();
            if (!parent.isUndefined()) {
                preload(parent);
            }
        }
        if (def.flags & kPreloadGlobal) {
            preload(Value(global_));
        }
        if (!(def.flags & (kSuppressArguments | kPreloadArguments))) {
            define(fr.activation, "arguments", Value(arguments), 0);
        }
        if (!(def.flags & (kSuppressSuper | kPreloadSuper))) {
            define(fr.activation, "super", Value(makeSuper()), 0);
        }
        // Without its own binding, the name this falls back to the clip the function runs on
        // (from SWF 6; SWF 5 finds nothing).
        if (def.flags & (kSuppressThis | kPreloadThis)) {
            fr.thisValue = fr.version >= 6 ? fr.target : Value();
        }
    } else {
        define(fr.activation, "arguments", Value(arguments), 0);
        if (version_ >= 6) {
            define(fr.activation, "super", Value(makeSuper()), 0);
        }
        for (std::size_t i = 0; i < def.params.size(); ++i) {
            define(fr.activation, def.params[i].name, i < args.size() ? args[i] : Value(), 0);
        }
    }

    maybeCollect();
    Interpreter interp(*this, fr);
    const Completion c = interp.run(def.begin, def.end);
    return c.kind == Completion::Return ? fr.returnValue : Value();
}

bool Vm::runActions(const CodeOwner& code, std::size_t begin, std::size_t end, DisplayId target) {
    if (!code || begin >= code->size()) {
        return true;
    }
    const bool outer = !running_;
    if (outer) {
        if (!beginOuterRun()) {
            return false;
        }
    } else if (tooDeep()) {
        // Blocks run from scripts (ActionCall) nest like calls and share their limit.
        throw ScriptAbort{"Script recursion went deeper than the limit; the script was stopped"};
    }
    ++depth_;
    struct DepthGuard {
        int& depth;
        ~DepthGuard() { --depth; }
    } depthGuard{depth_};
    Frame fr;
    fr.caller = frame_;
    fr.code = code;
    fr.version = version_;
    Object* clip = clipObject(target);
    fr.thisValue = clip ? Value(clip) : Value();
    fr.target = fr.thisValue;
    fr.originalTarget = fr.thisValue;
    // SWF 4 movies predate the global object: their variables are the timeline's only.
    Scope* globalScope =
        version_ >= 5 ? heap_.make<Scope>(Scope::Kind::Object, global_, nullptr) : nullptr;
    fr.scope = heap_.make<Scope>(Scope::Kind::Target, nullptr, globalScope);
    fr.registers.resize(4);
    // Frame scripts share one stack: what one block leaves behind, the next one can pop.
    fr.stackBase = outer ? 0 : stack_.size();
    frame_ = &fr;
    bool ok = true;
    try {
        Interpreter interp(*this, fr);
        interp.run(begin, std::min(end, code->size()));
    } catch (ScriptException& e) {
        reportUncaught(e.value);
    } catch (ScriptAbort& a) {
        if (!outer) {
            frame_ = fr.caller;
            stack_.resize(std::min(stack_.size(), fr.stackBase));
            throw;
        }
        reportError(a.reason);
        abortedOuterRun();
        ok = false;
        stack_.clear();
    }
    frame_ = fr.caller;
    if (!outer && stack_.size() > fr.stackBase) {
        stack_.resize(fr.stackBase);
    } else if (outer && stack_.size() > kMaxSharedStack) {
        // Scripts that leave values every frame must not grow the stack without end.
        stack_.erase(stack_.begin(),
                     stack_.begin() + static_cast<std::ptrdiff_t>(stack_.size() - kMaxSharedStack));
    }
    if (outer) {
        running_ = false;
        maybeCollect();
    }
    return ok;
}

}  // namespace zd::avm1
