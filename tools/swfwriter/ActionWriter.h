#pragma once

// Assembles action records (DoAction bodies) for test movies: pushes, plain actions, jumps to
// labels, constant pools, function definitions, with and try blocks.

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace zd::swfwriter {

using ActionBytes = std::vector<std::uint8_t>;

// Action codes by name.
namespace op {
enum : std::uint8_t {
    End = 0x00,
    NextFrame = 0x04,
    PrevFrame = 0x05,
    Play = 0x06,
    Stop = 0x07,
    Add = 0x0A,
    Subtract = 0x0B,
    Multiply = 0x0C,
    Divide = 0x0D,
    Equals = 0x0E,
    Less = 0x0F,
    And = 0x10,
    Or = 0x11,
    Not = 0x12,
    StringEquals = 0x13,
    StringLength = 0x14,
    StringExtract = 0x15,
    Pop = 0x17,
    ToInteger = 0x18,
    GetVariable = 0x1C,
    SetVariable = 0x1D,
    SetTarget2 = 0x20,
    StringAdd = 0x21,
    GetProperty = 0x22,
    SetProperty = 0x23,
    CloneSprite = 0x24,
    RemoveSprite = 0x25,
    Trace = 0x26,
    StringLess = 0x29,
    Throw = 0x2A,
    CastOp = 0x2B,
    ImplementsOp = 0x2C,
    RandomNumber = 0x30,
    CharToAscii = 0x32,
    AsciiToChar = 0x33,
    GetTime = 0x34,
    Delete = 0x3A,
    Delete2 = 0x3B,
    DefineLocal = 0x3C,
    CallFunction = 0x3D,
    Return = 0x3E,
    Modulo = 0x3F,
    NewObject = 0x40,
    DefineLocal2 = 0x41,
    InitArray = 0x42,
    InitObject = 0x43,
    TypeOf = 0x44,
    TargetPath = 0x45,
    Enumerate = 0x46,
    Add2 = 0x47,
    Less2 = 0x48,
    Equals2 = 0x49,
    ToNumber = 0x4A,
    ToString = 0x4B,
    PushDuplicate = 0x4C,
    StackSwap = 0x4D,
    GetMember = 0x4E,
    SetMember = 0x4F,
    Increment = 0x50,
    Decrement = 0x51,
    CallMethod = 0x52,
    NewMethod = 0x53,
    InstanceOf = 0x54,
    Enumerate2 = 0x55,
    BitAnd = 0x60,
    BitOr = 0x61,
    BitXor = 0x62,
    BitLShift = 0x63,
    BitRShift = 0x64,
    BitURShift = 0x65,
    StrictEquals = 0x66,
    Greater = 0x67,
    StringGreater = 0x68,
    Extends = 0x69,
    GotoFrame = 0x81,
    GetUrl = 0x83,
    StoreRegister = 0x87,
    ConstantPool = 0x88,
    SetTarget = 0x8B,
    GotoLabel = 0x8C,
    DefineFunction2 = 0x8E,
    Try = 0x8F,
    With = 0x94,
    Push = 0x96,
    Jump = 0x99,
    GetUrl2 = 0x9A,
    DefineFunction = 0x9B,
    If = 0x9D,
    Call = 0x9E,
    GotoFrame2 = 0x9F,
};
}  // namespace op

// One value of a Push record.
struct Null {};
struct Undefined {};
struct Reg {
    std::uint8_t index;
};
struct Const {
    std::uint16_t index;
};
struct Float {
    float value;
};
// Text is held as a view: a push record copies it at once.
using PushItem = std::variant<std::string_view, const char*, double, int, bool, Null, Undefined,
                              Reg, Const, Float>;

class ActionWriter {
  public:
    using Label = int;

    ActionWriter& push(std::initializer_list<PushItem> items);
    // A record without payload (codes below 0x80).
    ActionWriter& act(std::uint8_t code);
    // Any record with its payload as given (for malformed input too).
    ActionWriter& record(std::uint8_t code, const ActionBytes& payload);
    ActionWriter& constantPool(const std::vector<std::string>& strings);
    ActionWriter& storeRegister(std::uint8_t r);
    ActionWriter& setTarget(const std::string& path);
    ActionWriter& gotoFrame(std::uint16_t frame);

    Label newLabel();
    ActionWriter& bind(Label l);
    ActionWriter& jump(Label l);
    ActionWriter& ifTrue(Label l);

    // DefineFunction: the body follows the record.
    ActionWriter& defineFunction(const std::string& name, const std::vector<std::string>& params,
                                 const ActionWriter& body);
    struct Param {
        std::uint8_t reg;
        std::string name;
    };
    // DefineFunction2 with the flag word (bit 0 PreloadThis ... bit 8 PreloadGlobal).
    ActionWriter& defineFunction2(const std::string& name, std::uint8_t registerCount,
                                  std::uint16_t flags, const std::vector<Param>& params,
                                  const ActionWriter& body);
    // with (popped object) { body }
    ActionWriter& with(const ActionWriter& body);
    // try { body } catch (name or register) { handler } finally { fin }; empty handler or
    // fin leaves that block out.
    ActionWriter& tryBlock(const ActionWriter& body, const ActionWriter* handler,
                           const ActionWriter* fin, const std::string& catchName,
                           int catchRegister = -1);

    // Shorthands for common sequences.
    ActionWriter& trace(const PushItem& v) { return push({v}).act(op::Trace); }
    ActionWriter& setVariable(const std::string& name, const PushItem& v) {
        return push({std::string_view(name), v}).act(op::SetVariable);
    }
    ActionWriter& getVariable(const std::string& name) {
        return push({std::string_view(name)}).act(op::GetVariable);
    }

    // The records, jumps resolved, without an End.
    ActionBytes code() const;
    // With an End action: a DoAction body.
    ActionBytes bytes() const;

  private:
    struct Fixup {
        std::size_t at;       // offset of the 16-bit field
        std::size_t fromEnd;  // offset the jump counts from
        Label label;
    };
    ActionBytes out_;
    std::vector<std::ptrdiff_t> labels_;
    std::vector<Fixup> fixups_;
};

}  // namespace zd::swfwriter
