#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zd::avm1 {

class Object;
class String;

enum class Type : std::uint8_t {
    Undefined,
    Null,
    Boolean,
    Number,
    String,
    Object,
    // An array slot never written: reads as undefined, skipped by enumeration, joined as "".
    Hole,
};

// A script value. Strings and objects live on the collector's heap; a Value does not own
// them, so values held outside the interpreter must be reachable from a root.
class Value {
  public:
    Value() : type_(Type::Undefined), num_(0) {}
    Value(double n) : type_(Type::Number), num_(n) {}  // NOLINT: numbers convert freely
    Value(String* s) : type_(Type::String), str_(s) {}
    Value(Object* o);

    static Value undefined() { return Value(); }
    static Value null() { return withType(Type::Null); }
    static Value boolean(bool b) {
        Value v = withType(Type::Boolean);
        v.bool_ = b;
        return v;
    }
    static Value hole() { return withType(Type::Hole); }

    Type type() const { return type_; }
    bool isUndefined() const { return type_ == Type::Undefined || type_ == Type::Hole; }
    bool isNull() const { return type_ == Type::Null; }
    bool isNullish() const { return isUndefined() || isNull(); }
    bool isBoolean() const { return type_ == Type::Boolean; }
    bool isNumber() const { return type_ == Type::Number; }
    bool isString() const { return type_ == Type::String; }
    bool isObject() const { return type_ == Type::Object; }
    bool isHole() const { return type_ == Type::Hole; }

    double number() const { return num_; }
    bool boolean() const { return bool_; }
    String* string() const { return str_; }
    Object* object() const { return obj_; }
    // The object, or null for any other type.
    Object* asObject() const { return type_ == Type::Object ? obj_ : nullptr; }

  private:
    static Value withType(Type t) {
        Value v;
        v.type_ = t;
        return v;
    }

    Type type_;
    union {
        double num_;
        bool bool_;
        String* str_;
        Object* obj_;
    };
};

// Number formatting as the reference player prints numbers: at most 15 significant digits,
// exponent form outside [1e-5, 1e15), "NaN", "Infinity", "-Infinity", and "0" for -0.
std::string numberToString(double n);
// Number formatting in another radix (2..36) for Number.toString(radix): integers only keep
// their digits; other values fall back to base 10.
std::string numberToStringRadix(double n, int radix);

// String to number as the SWF 5+ conversions do: leading white space, "0x" hex (SWF 6+
// when hexAllowed), sign, decimal with optional exponent; anything else is NaN. An empty
// string is NaN for SWF 5+ and 0 for older movies.
double stringToNumber(std::string_view s, int swfVersion);

// Length in UTF-16 code units of UTF-8 text, as scripts count string lengths.
std::size_t utf16Length(std::string_view s);

// ECMAScript ToInt32 / ToUint32 (wrap modulo 2^32; NaN and infinities are 0).
std::int32_t toInt32(double n);
std::uint32_t toUint32(double n);

}  // namespace zd::avm1
