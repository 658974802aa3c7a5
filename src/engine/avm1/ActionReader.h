#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace zd::avm1 {

// One action record as stored: its code, where it starts and its payload.
struct ActionRecord {
    std::uint8_t code = 0;
    std::size_t offset = 0;
    std::span<const std::uint8_t> payload;

    std::size_t end() const { return offset + (code >= 0x80 ? 3 : 1) + payload.size(); }
};

// Walks the records of an action block; never reads outside it. A record whose length runs
// past the end stops the walk (truncated() then says so).
class ActionReader {
  public:
    explicit ActionReader(std::span<const std::uint8_t> code, std::size_t offset = 0)
        : code_(code), offset_(offset) {}

    bool next(ActionRecord& out);
    bool truncated() const { return truncated_; }
    std::size_t offset() const { return offset_; }

  private:
    std::span<const std::uint8_t> code_;
    std::size_t offset_;
    bool truncated_ = false;
};

// The action's name ("Push", "DefineFunction2"...), or "Unknown".
const char* actionName(std::uint8_t code);

// A readable listing of a block, one record per line with its operands (for tools).
std::string disassemble(std::span<const std::uint8_t> code);

}  // namespace zd::avm1
