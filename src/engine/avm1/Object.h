#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/avm1/Heap.h"
#include "engine/avm1/Host.h"
#include "engine/avm1/Value.h"

namespace zd::avm1 {

class Vm;
class FunctionObject;
struct ScriptFilters;

// Attribute bits of a property, as ASSetPropFlags sets them.
enum PropertyFlag : std::uint16_t {
    kDontEnum = 1,
    kDontDelete = 2,
    kReadOnly = 4,
    // Visible only to movies of at least this version (built-ins added in later players).
    kVersion6 = 1 << 7,
    kVersion7 = 1 << 10,
    kVersion8 = 1 << 12,
    kVersion9 = 1 << 13,
    kVersion10 = 1 << 14,
    kVersionMask = kVersion6 | kVersion7 | kVersion8 | kVersion9 | kVersion10,
};

// Whether a property's version bits let a movie of this version see its value. A hidden
// property still exists (hasOwnProperty, for-in), but reads pass it by for the prototypes.
bool visibleToVersion(std::uint16_t flags, int swfVersion);

struct Property {
    String* key = nullptr;   // the lookup key (lower-cased when names ignore case)
    String* name = nullptr;  // the name as first written, for enumeration
    Value value;
    // A property made by addProperty: reads and writes call these.
    Object* getter = nullptr;
    Object* setter = nullptr;
    std::uint16_t flags = 0;

    bool isAccessor() const { return getter != nullptr; }
};

// Own properties in creation order, with a hash index once there are many.
class PropertyMap {
  public:
    Property* find(String* key);
    const Property* find(String* key) const { return const_cast<PropertyMap*>(this)->find(key); }
    // Appends; the key must not be present.
    Property& add(String* key, String* name);
    bool remove(String* key);
    // Removes every property pred picks, reindexing once.
    template <typename Pred>
    void removeIf(Pred pred) {
        std::erase_if(list_, pred);
        index_.clear();
        if (list_.size() >= kIndexFrom) {
            reindex();
        }
    }
    // Puts properties (keys not present) ahead of all others.
    void prepend(std::vector<Property> front);
    std::vector<Property>& list() { return list_; }
    const std::vector<Property>& list() const { return list_; }
    std::size_t size() const { return list_.size(); }

  private:
    static constexpr std::size_t kIndexFrom = 12;
    void reindex();

    std::vector<Property> list_;
    std::unordered_map<String*, std::uint32_t> index_;
};

enum class ObjectKind : std::uint8_t {
    Plain,
    Function,
    Array,
    Boolean,
    Number,
    String,
    Date,
    Clip,
    Super,
    XmlNode,
    Activation,
};

struct Watch {
    String* key = nullptr;
    Object* callback = nullptr;
    Value userData;
};

class Object : public Cell {
  public:
    explicit Object(Object* proto, ObjectKind kind = ObjectKind::Plain)
        : proto_(proto), kind_(kind) {}

    ObjectKind kind() const { return kind_; }
    bool isFunction() const { return kind_ == ObjectKind::Function; }
    Object* proto() const { return proto_; }
    // Changes the prototype link only; the __proto__ property is written by the Vm.
    void setProtoLink(Object* p) { proto_ = p; }

    PropertyMap& properties() { return props_; }
    const PropertyMap& properties() const { return props_; }

    std::vector<Watch>& watches() { return watches_; }

    // Storage that is not a plain property (array elements, a clip's display properties).
    // get: true when key is such a property, its value in out.
    virtual bool getSpecial(Vm&, String* /*key*/, Value& /*out*/) { return false; }
    // set: true when handled (the plain property is then not written).
    virtual bool setSpecial(Vm&, String* /*key*/, const Value& /*v*/) { return false; }
    virtual bool deleteSpecial(Vm&, String* /*key*/, bool& /*deleted*/) { return false; }
    // Names of enumerable special properties, in enumeration order.
    virtual void specialNames(Vm&, std::vector<String*>& /*names*/) {}
    // A file asked for by requestLoad arrives (ok false: it did not). Objects that take the
    // bytes themselves return true; the others hear of it through their onData.
    virtual bool receiveLoad(Vm&, bool /*ok*/, std::string_view /*data*/) { return false; }
    // Part of that file has arrived (from the network); the whole follows through
    // receiveLoad. data: everything so far.
    virtual void receiveProgress(Vm&, std::uint64_t /*requestId*/, std::string_view /*data*/) {}

    void trace(Tracer& t) override;
    std::size_t footprint() const override {
        return sizeof(Object) + props_.size() * sizeof(Property);
    }

  protected:
    Object* proto_;
    PropertyMap props_;
    std::vector<Watch> watches_;
    ObjectKind kind_;
};

// Arguments of a call as natives see them.
struct CallInfo {
    Value thisValue;
    std::span<const Value> args;
    FunctionObject* callee = nullptr;
    bool construct = false;  // called by new: thisValue is the fresh object

    Value arg(std::size_t i) const { return i < args.size() ? args[i] : Value(); }
    std::size_t count() const { return args.size(); }
    Object* thisObject() const { return thisValue.asObject(); }
};

using NativeFunction = Value (*)(Vm&, const CallInfo&);
// Makes the instance a native constructor needs (an array, a boxed number...) for new.
using NativeAllocator = Object* (*)(Vm&, Object* proto);

using Bytes = std::vector<std::uint8_t>;
using CodeOwner = std::shared_ptr<const Bytes>;

// The strings of an ActionConstantPool, shared by the functions defined under it.
class ConstantPool final : public Cell {
  public:
    std::vector<Value> values;
    void trace(Tracer& t) override;
};

class Scope final : public Cell {
  public:
    enum class Kind : std::uint8_t {
        Object,  // a with block's object, an activation, _global, a clip captured by a closure
        Target,  // the running frame's current target (changes with setTarget)
    };
    Scope(Kind k, Object* o, Scope* parent) : kind(k), object(o), parent(parent) {}
    Kind kind;
    Object* object;
    Scope* parent;
    bool with = false;  // a with block: its misses fall through, definitions skip it
    void trace(Tracer& t) override;
};

// The static part of a function made by DefineFunction or DefineFunction2.
struct FunctionDef {
    CodeOwner code;
    std::size_t begin = 0;  // body [begin, end) in *code
    std::size_t end = 0;
    std::string name;
    struct Param {
        std::uint8_t reg = 0;  // 0: a local variable instead
        std::string name;
    };
    std::vector<Param> params;
    bool v2 = false;
    std::uint8_t registerCount = 0;
    std::uint16_t flags = 0;  // DefineFunction2 flag word (preload/suppress)
    int swfVersion = 0;
};

class FunctionObject final : public Object {
  public:
    FunctionObject(Object* proto, NativeFunction fn)
        : Object(proto, ObjectKind::Function), native(fn) {}
    FunctionObject(Object* proto, std::shared_ptr<const FunctionDef> d)
        : Object(proto, ObjectKind::Function), def(std::move(d)) {}

    NativeFunction native = nullptr;
    NativeAllocator allocator = nullptr;
    std::shared_ptr<const FunctionDef> def;
    Scope* scope = nullptr;
    ConstantPool* pool = nullptr;
    Value baseClip;  // the timeline the function was defined on
    // A value a native keeps for itself (a bound target, an ASnative id).
    Value data;

    void trace(Tracer& t) override;
};

// Arrays. Elements are properties keyed by their decimal index, and for-in lists them in
// the order they were made, like any other property. While elements were only ever made in
// ascending order and carry no flags, they are kept inline in dense (holes as holes), which
// enumerates the same; anything that would break that order first spills them into plain
// properties for good. length is a signed 32-bit count, as scripts see it.
class ArrayObject final : public Object {
  public:
    explicit ArrayObject(Object* proto) : Object(proto, ObjectKind::Array) {}

    std::vector<Value> dense;  // empty once spilled
    std::int32_t length = 0;
    bool spilled = false;
    // Past the highest element made inline: a hole below it cannot be filled in place.
    std::size_t top = 0;

    static constexpr std::uint32_t kMaxDenseGap = 1 << 16;

    // Replaces the elements with items [0, n), made in ascending order.
    void setElements(std::vector<Value> items);
    // Moves inline elements into plain properties, ahead of the properties made after them.
    void spill(Vm& vm);
    // length as a write sets it: elements from the new length to the old one are deleted.
    void setLength(std::int32_t n);
    // The count of elements Array methods walk (a negative length walks none).
    std::uint32_t size() const { return length > 0 ? static_cast<std::uint32_t>(length) : 0; }

    bool getSpecial(Vm& vm, String* key, Value& out) override;
    bool setSpecial(Vm& vm, String* key, const Value& v) override;
    bool deleteSpecial(Vm& vm, String* key, bool& deleted) override;
    void specialNames(Vm& vm, std::vector<String*>& names) override;
    void trace(Tracer& t) override;
    std::size_t footprint() const override {
        return Object::footprint() + dense.capacity() * sizeof(Value);
    }

  private:
    bool hasEnumerableProperties() const;
};

// new Number(), new String(), new Boolean(): a primitive in an object.
class BoxObject final : public Object {
  public:
    BoxObject(Object* proto, ObjectKind k, Value v) : Object(proto, k), value(v) {}
    Value value;
    void trace(Tracer& t) override;
};

class DateObject final : public Object {
  public:
    explicit DateObject(Object* proto) : Object(proto, ObjectKind::Date) {}
    double time = 0;  // ms since the epoch, UTC; NaN when invalid
};

// The script side of a display object. It refers to the object by id only, so a clip that
// was removed leaves a handle that no longer resolves, never a dangling pointer.
class ClipObject final : public Object {
  public:
    ClipObject(Object* proto, DisplayId id) : Object(proto, ObjectKind::Clip), id(id) {}
    DisplayId id;
    // The filters a script last set, with the records the display was given for them: read
    // back while the display still has those, so filters it has no record for are kept.
    std::shared_ptr<const ScriptFilters> scriptFilters;

    bool getSpecial(Vm& vm, String* key, Value& out) override;
    bool setSpecial(Vm& vm, String* key, const Value& v) override;
    void specialNames(Vm& vm, std::vector<String*>& names) override;
};

// `super` inside a method: lookups start above the prototype the method came from, calls
// keep the caller's this.
class SuperObject final : public Object {
  public:
    SuperObject(Object* thisObj, Object* home)
        : Object(nullptr, ObjectKind::Super), thisObject(thisObj), home(home) {}
    Object* thisObject;
    Object* home;
    bool constructing = false;  // made in a function running for new
    void trace(Tracer& t) override;
};

// An array index ("0", "12"; no sign, no leading zero) named by a key, if it is one.
bool parseArrayIndex(std::string_view s, std::uint32_t& out);
// The element a key names for an array's length: decimal digits with an optional minus
// sign, wrapped to 32 bits as the player's integer parse does ("4294967297" is 1).
bool parseElementIndex(std::string_view s, std::int32_t& out);

}  // namespace zd::avm1
