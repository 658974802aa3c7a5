#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace zd::engine {

// Little-endian byte reader with MSB-first bit fields over a borrowed buffer. It never reads
// past its buffer: a read that would do so returns zero (or empty), and ok() turns false for
// good, so a parser can read a whole record and check once at the end.
class ByteReader {
  public:
    ByteReader() = default;
    explicit ByteReader(std::span<const std::uint8_t> data) : data_(data) {}

    bool ok() const { return ok_; }
    // Position of the next whole byte; a partly read byte counts as consumed.
    std::size_t position() const { return pos_ + (bitPos_ ? 1 : 0); }
    std::size_t size() const { return data_.size(); }
    std::size_t remaining() const;
    bool atEnd() const { return remaining() == 0; }

    std::uint8_t u8();
    std::uint16_t u16();
    std::uint32_t u32();
    std::int16_t s16() { return static_cast<std::int16_t>(u16()); }
    std::int32_t s32() { return static_cast<std::int32_t>(u32()); }
    double fixed8();   // signed 8.8
    double fixed16();  // signed 16.16
    float f32();
    double f64();
    std::uint32_t encodedU32();

    // The next n bytes; empty (and a failed reader) when fewer remain.
    std::span<const std::uint8_t> bytes(std::size_t n);
    bool skip(std::size_t n);
    // A NUL-terminated string without its terminator; a missing terminator fails.
    std::string cstring();
    // A reader over the next n bytes, which this reader skips.
    ByteReader sub(std::size_t n);

    // Bit fields, most significant bit first. Up to 32 bits per read.
    std::uint32_t ub(unsigned bits);
    std::int32_t sb(unsigned bits);
    double fb(unsigned bits);  // signed 16.16 fixed point
    bool flag() { return ub(1) != 0; }
    // Byte-aligned reads start at the next whole byte anyway; this makes it explicit.
    void align();

  private:
    bool need(std::size_t n);
    void fail();

    std::span<const std::uint8_t> data_;
    std::size_t pos_ = 0;
    unsigned bitPos_ = 0;  // bits already taken from data_[pos_]
    bool ok_ = true;
};

}  // namespace zd::engine
