#include "engine/swf/ByteReader.h"

#include <bit>
#include <cstring>

namespace zd::engine {

std::size_t ByteReader::remaining() const {
    const std::size_t used = position();
    return used >= data_.size() ? 0 : data_.size() - used;
}

void ByteReader::fail() {
    ok_ = false;
    pos_ = data_.size();
    bitPos_ = 0;
}

bool ByteReader::need(std::size_t n) {
    align();
    if (!ok_ || n > data_.size() - pos_) {
        fail();
        return false;
    }
    return true;
}

void ByteReader::align() {
    if (bitPos_ != 0) {
        bitPos_ = 0;
        ++pos_;
    }
}

std::uint8_t ByteReader::u8() {
    if (!need(1)) {
        return 0;
    }
    return data_[pos_++];
}

std::uint16_t ByteReader::u16() {
    if (!need(2)) {
        return 0;
    }
    const auto v = static_cast<std::uint16_t>(data_[pos_] | (data_[pos_ + 1] << 8));
    pos_ += 2;
    return v;
}

std::uint32_t ByteReader::u32() {
    if (!need(4)) {
        return 0;
    }
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) {
        v = (v << 8) | data_[pos_ + static_cast<std::size_t>(i)];
    }
    pos_ += 4;
    return v;
}

double ByteReader::fixed8() {
    return s16() / 256.0;
}

double ByteReader::fixed16() {
    return s32() / 65536.0;
}

float ByteReader::f32() {
    return std::bit_cast<float>(u32());
}

double ByteReader::f64() {
    // Stored as two little-endian 32-bit words, low word first.
    const std::uint64_t lo = u32();
    const std::uint64_t hi = u32();
    return std::bit_cast<double>((hi << 32) | lo);
}

std::uint32_t ByteReader::encodedU32() {
    std::uint32_t result = 0;
    for (int i = 0; i < 5; ++i) {
        const std::uint8_t b = u8();
        result |= static_cast<std::uint32_t>(b & 0x7f) << (7 * i);
        if (!(b & 0x80)) {
            break;
        }
    }
    return result;
}

std::span<const std::uint8_t> ByteReader::bytes(std::size_t n) {
    if (!need(n)) {
        return {};
    }
    auto out = data_.subspan(pos_, n);
    pos_ += n;
    return out;
}

bool ByteReader::skip(std::size_t n) {
    if (!need(n)) {
        return false;
    }
    pos_ += n;
    return true;
}

std::string ByteReader::cstring() {
    align();
    if (!ok_) {
        return {};
    }
    const auto* begin = data_.data() + pos_;
    const auto* nul = static_cast<const std::uint8_t*>(std::memchr(begin, 0, data_.size() - pos_));
    if (nul == nullptr) {
        fail();
        return {};
    }
    std::string s(reinterpret_cast<const char*>(begin), static_cast<std::size_t>(nul - begin));
    pos_ += s.size() + 1;
    return s;
}

ByteReader ByteReader::sub(std::size_t n) {
    auto span = bytes(n);
    ByteReader r(span);
    if (!ok_) {
        r.fail();
    }
    return r;
}

std::uint32_t ByteReader::ub(unsigned bits) {
    if (bits == 0) {
        return 0;
    }
    if (bits > 32 || !ok_) {
        fail();
        return 0;
    }
    if (pos_ >= data_.size() || bits > (data_.size() - pos_) * 8 - bitPos_) {
        fail();
        return 0;
    }
    std::uint64_t v = 0;
    unsigned left = bits;
    while (left > 0) {
        const unsigned inByte = 8 - bitPos_;
        const unsigned take = left < inByte ? left : inByte;
        const unsigned shift = inByte - take;
        const unsigned part = (data_[pos_] >> shift) & ((1u << take) - 1u);
        v = (v << take) | part;
        left -= take;
        bitPos_ += take;
        if (bitPos_ == 8) {
            bitPos_ = 0;
            ++pos_;
        }
    }
    return static_cast<std::uint32_t>(v);
}

std::int32_t ByteReader::sb(unsigned bits) {
    const std::uint32_t v = ub(bits);
    if (bits == 0 || bits >= 32) {
        return static_cast<std::int32_t>(v);
    }
    const std::uint32_t sign = 1u << (bits - 1);
    return static_cast<std::int32_t>((v ^ sign) - sign);
}

double ByteReader::fb(unsigned bits) {
    return sb(bits) / 65536.0;
}

}  // namespace zd::engine
