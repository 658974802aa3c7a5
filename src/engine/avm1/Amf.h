#pragma once

// AMF0, the value encoding of stored shared objects and of remote calls. Writing follows what
// scripts can see (enumerable properties, registered classes); reading is defensive: a
// damaged or hostile stream fails, never crashes, and cannot nest or grow without bound.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "engine/avm1/Value.h"

namespace zd::avm1 {

class Vm;
class Object;
class String;

namespace amf {

// Arrays are written as ECMA arrays (name/value pairs) in stored files; remote calls send an
// array holding nothing but elements as a strict array (every slot, holes as undefined).
enum class Arrays : std::uint8_t { Ecma, StrictWhenPlain };

class Writer {
  public:
    Writer(Vm& vm, Arrays arrays) : vm_(vm), arrays_(arrays) {}

    void u8(std::uint8_t v) { out.push_back(static_cast<char>(v)); }
    void u16(std::uint16_t v);
    void u32(std::uint32_t v);
    void f64(double d);
    // A name (property key or short text): at most 65535 bytes.
    void name(std::string_view s);
    void value(const Value& v, std::size_t depth = 0);
    // A strict array of these values (the arguments of a remote call).
    void strictArray(std::span<const Value> items, std::size_t depth = 0);
    // The enumerable members of o (its prototypes' too) in the order they are written, with
    // the values written for them: accessors are not run (undefined) and functions left out.
    // Collection must not run while the result is held.
    std::vector<std::pair<String*, Value>> memberList(Object* o);

    std::string out;

  private:
    void object(Object* o, std::size_t depth);
    // The value a property of o holds for writing; nothing for a function.
    std::optional<Value> memberValue(Object* o, String* name);
    void pairs(Object* o, std::size_t depth);

    Vm& vm_;
    Arrays arrays_;
    std::unordered_map<Object*, std::uint16_t> seen_;
};

class Reader {
  public:
    Reader(Vm& vm, std::string_view in) : vm_(vm), in_(in) {}

    bool u8(std::uint8_t& v);
    bool u16(std::uint16_t& v);
    bool u32(std::uint32_t& v);
    bool f64(double& d);
    bool bytes(std::size_t n, std::string_view& s);
    bool name(std::string_view& s);
    bool done() const { return at_ >= in_.size(); }
    std::size_t at() const { return at_; }
    // One value; false when the input is damaged or goes deeper or longer than allowed.
    bool value(Value& out, std::size_t depth = 0);

  private:
    bool members(Object* o, std::size_t depth);

    Vm& vm_;
    std::string_view in_;
    std::size_t at_ = 0;
    std::size_t count_ = 0;
    std::vector<Object*> objects_;
};

// The alias the class of o is registered under (Object.registerClass), found through o's own
// constructor links; nothing for an object of no registered class.
std::optional<std::string> registeredAlias(Vm& vm, Object* o);

}  // namespace amf
}  // namespace zd::avm1
