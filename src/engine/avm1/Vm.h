#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/avm1/Heap.h"
#include "engine/avm1/Host.h"
#include "engine/avm1/InputState.h"
#include "engine/avm1/Object.h"
#include "engine/avm1/Value.h"

namespace zd::avm1 {

// How long one script may run and how deep calls may nest (the ScriptLimits tag).
struct Limits {
    std::chrono::milliseconds timeout{15000};
    int maxRecursion = 256;
};

// Thrown through C++ frames by a script's throw; try/catch in scripts receives it.
struct ScriptException {
    Value value;
};

// Ends the whole running script (time or recursion limit): scripts cannot catch it.
struct ScriptAbort {
    std::string reason;
};

// Names the interpreter uses often, interned once.
struct Atoms {
    String* proto;  // __proto__
    String* prototype;
    String* constructor;
    String* constructorHidden;  // __constructor__
    String* length;
    String* valueOf;
    String* toString;
    String* resolve;  // __resolve
    String* thisName;
    String* arguments;
    String* super;
    String* global;
    String* root;
    String* parent;
    String* callee;
    String* caller;
    String* empty;
    String* undefined;
    String* null;
    String* trueName;
    String* falseName;
    String* nan;
    String* object;
    String* function;
    String* number;
    String* string;
    String* boolean;
    String* movieclip;
    String* onLoad;
    String* onData;
};

struct Frame;

class Vm {
  public:
    Vm(Host& host, int swfVersion, Limits limits = {});
    ~Vm();
    Vm(const Vm&) = delete;
    Vm& operator=(const Vm&) = delete;

    Host& host() { return host_; }
    Heap& heap() { return heap_; }
    const Atoms& atoms() const { return atoms_; }
    int swfVersion() const { return version_; }
    // Scripts of a loaded movie run with that movie's version (for conversions), and see
    // the _global and built-ins of that version's realm.
    void setSwfVersion(int version) {
        version_ = version;
        if (realmOf(version) != realm_) {
            enterRealm(realmOf(version));
        }
    }
    // Movies up to SWF 6 share one _global and one set of built-ins; movies from SWF 7 on
    // share another. A realm is made when a movie of its versions first runs.
    static int realmOf(int version) { return version >= 7 ? 1 : 0; }
    // Names keep the rule of the movie the player opened: the objects all movies share are
    // keyed by it.
    bool caseSensitive() const { return keyVersion_ >= 7; }
    // Empty bounds measured in another clip's space read one twip further out once a movie of
    // version 8 or later has measured a clip, or from the start when the first movie is one.
    // The switch is player-wide and never goes back.
    bool emptyBoundsWidened();
    void setLimits(const Limits& l) { limits_ = l; }
    const Limits& limits() const { return limits_; }

    // --- Running scripts ---
    // Runs the action records code[begin, end) on the timeline of target (DoAction,
    // DoInitAction, clip events). Returns false when the script was aborted.
    bool runActions(const CodeOwner& code, std::size_t begin, std::size_t end, DisplayId target);
    bool runActions(const CodeOwner& code, DisplayId target) {
        return runActions(code, 0, code->size(), target);
    }
    // Calls a script or native function. Script exceptions propagate as ScriptException.
    Value call(const Value& fn, const Value& thisValue, std::span<const Value> args,
               Object* home = nullptr);
    // A call that lets collection run meanwhile: every value the caller still needs must be
    // reachable from the callee (its this, arguments and function). For the interpreter's
    // own calls and for call/apply.
    Value callInternal(const Value& fn, const Value& thisValue, std::span<const Value> args,
                       Object* home);
    // A call from the host (events, timers): exceptions and aborts end here.
    Value callFromHost(const Value& fn, const Value& thisValue, std::span<const Value> args);
    // Runs a class's constructor on an object made without `new` (a clip of a registered
    // class): inside it, super reaches the class's superclass as in a constructor.
    void constructFromHost(const Value& ctor, Object* thisObject);
    // `new fn(args)`.
    Value construct(const Value& fn, std::span<const Value> args);
    // Called by a native constructor that refuses its arguments: the `new` gives undefined.
    void dropConstructed() { dropConstructed_ = true; }
    // The scripts of one tick (frame actions, events, timers, loads) share one time budget
    // while one of these is alive: once a script runs into the limit, the tick's remaining
    // scripts are skipped, so many runaway handlers cannot add up to a frozen player.
    class TickBudget {
      public:
        explicit TickBudget(Vm& vm);
        ~TickBudget();
        TickBudget(const TickBudget&) = delete;
        TickBudget& operator=(const TickBudget&) = delete;

      private:
        Vm& vm_;
        bool outer_;
    };
    // Whether a script of the current tick ran out of time (scripts are then skipped).
    bool tickExhausted() const { return inTick_ && tickExhausted_; }
    // Runs the timers that are due at time now (ms, the host's timer()).
    void runTimers(double now);
    bool hasTimers() const { return !timers_.empty(); }

    // --- Objects ---
    Object* global() { return global_; }
    Object* newObject(Object* proto = nullptr);
    ArrayObject* newArray(std::span<const Value> items = {});
    FunctionObject* newNative(NativeFunction fn, Object* prototype = nullptr);
    String* str(std::string_view s) { return heap_.string(std::string(s)); }
    String* str(std::string s) { return heap_.string(std::move(s)); }
    String* intern(std::string_view s) { return heap_.intern(s); }
    // The lookup key for a name: interned, lower-cased when names ignore case.
    String* key(String* name);
    String* key(std::string_view name) { return key(heap_.intern(name)); }

    // Built-in prototypes.
    struct Protos {
        Object* object = nullptr;
        Object* function = nullptr;
        Object* array = nullptr;
        Object* string = nullptr;
        Object* number = nullptr;
        Object* boolean = nullptr;
        Object* date = nullptr;
        Object* movieClip = nullptr;
        Object* textField = nullptr;
        Object* button = nullptr;
        Object* xmlNode = nullptr;
        Object* xml = nullptr;
        Object* loadVars = nullptr;
        Object* error = nullptr;
        Object* textFormat = nullptr;
        Object* video = nullptr;
    };
    Protos& protos() { return protos_; }
    // The built-ins and _global movies of that version see (the realm is made if need be).
    const Protos& protosFor(int version);
    Object* globalFor(int version);
    // The _global of every realm made so far, the running one first.
    std::vector<Object*> globals();

    // Properties with the full semantics: prototype chain, getters/setters, __resolve,
    // watchers, read-only flags, the display properties of clips, boxing of primitives.
    Value get(const Value& target, String* name);
    Value get(const Value& target, std::string_view name) { return get(target, intern(name)); }
    void set(const Value& target, String* name, const Value& v);
    void set(const Value& target, std::string_view name, const Value& v) {
        set(target, intern(name), v);
    }
    bool remove(Object* o, String* name);
    // Own or inherited (for `in`-like checks and hasOwnProperty(false)).
    bool has(Object* o, String* name, bool ownOnly);
    // Writes an own property directly (no setters, no watchers), with flags.
    void define(Object* o, std::string_view name, const Value& v, std::uint16_t flags = kDontEnum);
    // A property read and written through natives (flags as define's).
    void defineAccessor(Object* o, std::string_view name, NativeFunction getter,
                        NativeFunction setter, std::uint16_t flags = 0);
    void defineNative(Object* o, std::string_view name, NativeFunction fn,
                      std::uint16_t flags = kDontEnum);
    // The enumerable names of o and its prototypes, in for-in order.
    std::vector<String*> enumerate(Object* o);
    // Reads a property along the chain (getters run, no __resolve); false when absent.
    bool lookup(Object* o, const Value& thisValue, String* key, Value& out);
    // Looks a property up along the chain; nullptr if absent. owner: where it was found.
    Property* findProperty(Object* o, String* key, Object** owner = nullptr);

    // --- Conversions (they may call valueOf/toString of objects) ---
    double toNumber(const Value& v);
    String* toString(const Value& v);
    std::string toStdString(const Value& v) { return toString(v)->text(); }
    bool toBoolean(const Value& v);
    Value toPrimitive(const Value& v, bool preferString = false);
    Object* toObject(const Value& v);
    std::int32_t toInt32(const Value& v) { return avm1::toInt32(toNumber(v)); }
    String* typeOf(const Value& v);
    bool abstractEquals(const Value& a, const Value& b);
    // a + b as Add2 does it: text when either side converts to a string, else numbers.
    Value add(const Value& a, const Value& b);
    static bool strictEquals(const Value& a, const Value& b);
    // a < b: true, false, or undefined (a NaN took part).
    Value lessThan(const Value& a, const Value& b);
    // instanceof: a primitive is never an instance; a primitive class or prototype is made an
    // object first (through the current global String, Number or Boolean).
    bool instanceOf(const Value& v, const Value& ctor);
    // A primitive as an object made by the current global constructor of its type.
    Object* coerceToObject(const Value& v);
    // A class's own prototype as instanceof and implements read it: the value stored, even
    // behind a getter or hidden from the movie's version; nothing on a removed clip.
    Value ownPrototype(Object* ctor);
    Value numberValue(double d) { return Value(d); }

    // --- Display objects ---
    // The script object of a display object (made on first use, kept while it exists).
    Object* clipObject(DisplayId id);
    // The display object is gone: its script object stops being a root.
    void forgetClip(DisplayId id);
    // Resolves a target path ("/a/b", "_root.a", "a:b", "../x", "a") from a clip.
    DisplayId resolvePath(DisplayId from, std::string_view path);
    // Follows a target path from a value: '/' and ':' separate names everywhere, '.' only
    // before the first '/'. With `members`, a name that is no child may name an object held
    // in a member, and "this" stays where it is (variable paths); without, only clips count.
    // Undefined when the path leads nowhere.
    Value followPath(const Value& from, std::string_view path, bool members);
    // The level a "_levelN" name (also "_flashN"; the digits read as far as they go) names;
    // nothing for other names.
    std::optional<std::int64_t> levelName(std::string_view name) const;
    // The display object behind a value (a clip object, or a path string), or none.
    DisplayId displayOf(const Value& v, DisplayId from);
    // "_level0.a.b" for a clip.
    std::string dotPath(DisplayId id);
    // "/a/b" for a clip ("/" for the root).
    std::string slashPath(DisplayId id);

    // --- Garbage ---
    // A full collection; runs also by itself at safe points while scripts allocate.
    void collectGarbage();
    // Values kept by the host across calls (event handler tables and the like).
    void addRoot(Object* o);
    void removeRoot(Object* o);
    std::size_t liveCells() const { return heap_.cellCount(); }

    // The keyboard, mouse and focus as Key, Mouse and Selection report them.
    InputState& input() { return input_; }
    // How the player fits the stage to its view, as Stage's properties set it; all movies
    // share it.
    struct StageSettings {
        std::string scaleMode = "showAll";
        std::string align;  // "", or T/B then L/R
        bool showMenu = true;
    };
    StageSettings& stageSettings() { return stageSettings_; }

    // Results of loadData requests, for the XML and LoadVars objects waiting on them.
    void deliverLoad(std::uint64_t requestId, bool ok, std::string_view data);
    // Part of a load has arrived (data: all so far; total: the length announced, 0 unknown).
    void deliverProgress(std::uint64_t requestId, std::string_view data, std::size_t total);
    // The receiver no longer wants that load (it asked for another).
    void cancelLoad(std::uint64_t requestId);
    std::uint64_t requestLoad(Object* receiver, std::string_view url, UrlMethod method,
                              std::string_view body);
    // A movie loaded by a MovieClipLoader into a clip or (target none) a level; the loader
    // hears each stage through its broadcastMessage: the event, the clip, then `extra`.
    // `last` ends the request.
    std::uint64_t requestClipLoad(Object* loader, DisplayId target, int level,
                                  std::string_view url);
    void clipLoadEvent(std::uint64_t requestId, std::string_view event, DisplayId clip,
                       std::span<const Value> extra, bool last);
    // A request with a body of that content type (remote calls); the answer comes back as a
    // load's does, through the receiver's onData.
    std::uint64_t requestPost(Object* receiver, std::string_view url, std::string_view contentType,
                              std::string_view body);
    // Work a native leaves until the running scripts are done (remote calls made in one go
    // travel in one request): send(vm, o) runs once per queued object when the host calls
    // runDeferred between scripts.
    // XMLSocket connections: the host opens one (Host::openSocket) under the id returned (0:
    // refused) and reports back through lib::socketConnected and the like.
    std::uint64_t requestSocket(Object* owner, std::string_view host, int port);
    Object* socketOwner(std::uint64_t id);
    void forgetSocket(std::uint64_t id);
    // A file dialog or transfer of a FileReference: the host reports under the id returned,
    // and the owner stays alive until the request is forgotten.
    std::uint64_t requestFile(Object* owner);
    Object* fileOwner(std::uint64_t id);
    void forgetFile(std::uint64_t id);
    using DeferredSend = void (*)(Vm&, Object*);
    void defer(Object* o, DeferredSend send);
    void runDeferred();

    // --- Used by the interpreter and the library ---
    struct Timer {
        int id = 0;
        Value callback;  // a function, or an object whose method is named by method
        Value thisValue;
        String* method = nullptr;
        std::vector<Value> args;
        double interval = 0;
        double due = 0;
        bool repeat = true;
    };
    int addTimer(Timer t);
    void removeTimer(int id);
    // Collection cannot run while native code holds values in C++ locals; natives that call
    // back into scripts hold this.
    struct NoCollect {
        explicit NoCollect(Vm& vm) : vm_(vm) { ++vm_.noCollect_; }
        ~NoCollect() { --vm_.noCollect_; }
        NoCollect(const NoCollect&) = delete;
        NoCollect& operator=(const NoCollect&) = delete;

      private:
        Vm& vm_;
    };
    void maybeCollect();
    void checkLimits();
    // For long loops inside natives: counts as an action, so the time limit holds there too.
    void step() {
        if ((++actions_ & 0x3fff) == 0) {
            checkLimits();
        }
    }
    // The clip scripts run on right now (the target of the innermost frame), or none.
    DisplayId currentTarget() const;
    Frame* currentFrame() { return frame_; }
    void reportError(std::string_view message) { host_.scriptError(message); }
    // A throw no script caught ended a block or handler: the log says so.
    void reportUncaught(const Value& thrown);
    // The prototype scripts see for a display object of the given kind.
    Object* protoForDisplay(Host::Kind k) { return protoForDisplay(k, protos_); }
    Object* protoForDisplay(Host::Kind k, const Protos& protos);
    std::uint64_t actionsRun() const { return actions_; }
    // Instances of a native class carry native storage; a script class that extends one
    // gets that storage too when its prototype chain reaches the native prototype.
    void registerAllocator(Object* proto, NativeAllocator allocator);
    NativeAllocator allocatorFor(Object* proto);
    // super() into a native constructor initialises this as new would.
    Value callSuperConstructor(const Value& ctor, Object* thisObject, std::span<const Value> args,
                               Object* home);

  private:
    // Runs a call the host makes: exceptions and aborts end here.
    template <typename Call>
    Value hostCall(Call&& call);
    friend class Interpreter;
    friend struct Frame;

    void installLibrary();
    void enterRealm(int realm);
    void traceRoots(Tracer& t);
    Value callScript(FunctionObject* f, const Value& thisValue, std::span<const Value> args,
                     Object* home);
    Value getFromObject(Object* o, const Value& thisValue, String* key);
    bool implementsInterface(Object* holder, Object* proto, int depth);
    // The property a getter, setter or watcher runs for.
    struct Callback {
        Object* holder;
        String* key;
        bool operator==(const Callback&) const = default;
    };
    // Runs one: nothing (the call is skipped) when the property's accessors and watcher
    // together already run that often. These frames do not count toward the recursion
    // limit.
    std::optional<Value> callBack(const Callback& cb, Object* fn, const Value& thisValue,
                                  std::span<const Value> args, Object* home = nullptr);
    void callSetter(Object* holder, String* key, Object* fn, const Value& thisValue,
                    const Value& arg, Object* home);
    void storeBehindAccessor(Object* owner, String* key, const Value& v);
    // Whether one more call would nest deeper than the limits allow.
    bool tooDeep() const;
    std::vector<Callback> callbacks_;  // innermost last
    bool dropConstructed_ = false;
    bool constructCall_ = false;
    bool constructingScript_ = false;  // the next script call runs for new  // the next native call
                                       // initialises its this (super())
    std::unordered_map<Object*, NativeAllocator> allocators_;

    Host& host_;
    int version_;
    int keyVersion_;
    bool widenedEmptyBounds_ = false;
    Limits limits_;
    Heap heap_;
    Atoms atoms_{};
    // The running realm's _global and built-ins; realms_ keeps them for the others.
    Object* global_ = nullptr;
    Protos protos_;
    struct Realm {
        Object* global = nullptr;
        Protos protos;
    };
    std::array<Realm, 2> realms_{};
    int realm_ = 0;
    std::vector<Value> stack_;
    Frame* frame_ = nullptr;
    int depth_ = 0;
    int noCollect_ = 0;
    std::uint64_t actions_ = 0;
    std::chrono::steady_clock::time_point scriptStart_{};
    bool running_ = false;
    bool inTick_ = false;
    bool tickExhausted_ = false;
    std::chrono::steady_clock::time_point tickStart_{};
    // Starts the time budget of an outermost script; false when the tick's budget is gone.
    bool beginOuterRun();
    void abortedOuterRun();
    std::unordered_map<DisplayId, ClipObject*> clips_;
    std::unordered_map<Object*, int> roots_;
    std::vector<Timer> timers_;
    int nextTimerId_ = 1;
    std::map<std::uint64_t, Object*> loads_;
    std::map<std::uint64_t, Object*> clipLoads_;
    std::vector<std::pair<Object*, DeferredSend>> deferred_;
    std::map<std::uint64_t, Object*> sockets_;
    std::map<std::uint64_t, Object*> files_;
    std::vector<Value> pinned_;  // values the host side keeps across a call
    std::uint64_t nextLoadId_ = 1;
    InputState input_;
    StageSettings stageSettings_;

  public:
    // For library code.
    std::vector<Value>& stack() { return stack_; }
};

}  // namespace zd::avm1
