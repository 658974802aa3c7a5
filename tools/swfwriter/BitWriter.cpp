#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "swfwriter/SwfWriter.h"

namespace zd::swfwriter {

void BitWriter::ub(std::uint32_t value, unsigned bits) {
    if (bits > 32) {
        throw std::invalid_argument("bit field wider than 32 bits");
    }
    for (unsigned i = bits; i-- > 0;) {
        if (bitPos_ == 0) {
            data_.push_back(0);
        }
        if ((value >> i) & 1u) {
            data_.back() |= static_cast<std::uint8_t>(0x80u >> bitPos_);
        }
        bitPos_ = (bitPos_ + 1) % 8;
    }
}

void BitWriter::sb(std::int32_t value, unsigned bits) {
    if (bits < 32 && signedBits(value) > bits) {
        throw std::invalid_argument("value does not fit its signed bit field");
    }
    ub(static_cast<std::uint32_t>(value), bits);
}

void BitWriter::fb(double value, unsigned bits) {
    sb(toFixed16(value), bits);
}

void BitWriter::align() {
    bitPos_ = 0;
}

void BitWriter::u8(std::uint8_t v) {
    align();
    data_.push_back(v);
}

void BitWriter::u16(std::uint16_t v) {
    u8(static_cast<std::uint8_t>(v));
    u8(static_cast<std::uint8_t>(v >> 8));
}

void BitWriter::u32(std::uint32_t v) {
    u16(static_cast<std::uint16_t>(v));
    u16(static_cast<std::uint16_t>(v >> 16));
}

void BitWriter::fixed8(double v) {
    u16(static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(v * 256.0))));
}

void BitWriter::bytes(std::span<const std::uint8_t> data) {
    align();
    data_.insert(data_.end(), data.begin(), data.end());
}

void BitWriter::cstring(const std::string& s) {
    bytes({reinterpret_cast<const std::uint8_t*>(s.data()), s.size()});
    u8(0);
}

unsigned BitWriter::unsignedBits(std::uint32_t value) {
    unsigned bits = 0;
    while (value != 0) {
        ++bits;
        value >>= 1;
    }
    return bits;
}

unsigned BitWriter::signedBits(std::int64_t value) {
    if (value == 0) {
        return 0;
    }
    const std::uint64_t magnitude =
        value < 0 ? static_cast<std::uint64_t>(-(value + 1)) : static_cast<std::uint64_t>(value);
    unsigned bits = 1;  // the sign
    for (std::uint64_t m = magnitude; m != 0; m >>= 1) {
        ++bits;
    }
    return bits;
}

std::int32_t BitWriter::toFixed16(double value) {
    return static_cast<std::int32_t>(std::lround(value * 65536.0));
}

void writeRect(BitWriter& out, const Rect& r) {
    out.align();
    unsigned bits = 0;
    for (const std::int32_t v : {r.xMin, r.xMax, r.yMin, r.yMax}) {
        bits = std::max(bits, BitWriter::signedBits(v));
    }
    out.ub(bits, 5);
    out.sb(r.xMin, bits);
    out.sb(r.xMax, bits);
    out.sb(r.yMin, bits);
    out.sb(r.yMax, bits);
    out.align();
}

void writeMatrix(BitWriter& out, const Matrix& m) {
    out.align();
    const bool hasScale = m.scaleX != 1.0 || m.scaleY != 1.0;
    out.flag(hasScale);
    if (hasScale) {
        const std::int32_t sx = BitWriter::toFixed16(m.scaleX);
        const std::int32_t sy = BitWriter::toFixed16(m.scaleY);
        const unsigned bits = std::max(BitWriter::signedBits(sx), BitWriter::signedBits(sy));
        out.ub(bits, 5);
        out.sb(sx, bits);
        out.sb(sy, bits);
    }
    const bool hasRotate = m.rotateSkew0 != 0.0 || m.rotateSkew1 != 0.0;
    out.flag(hasRotate);
    if (hasRotate) {
        const std::int32_t r0 = BitWriter::toFixed16(m.rotateSkew0);
        const std::int32_t r1 = BitWriter::toFixed16(m.rotateSkew1);
        const unsigned bits = std::max(BitWriter::signedBits(r0), BitWriter::signedBits(r1));
        out.ub(bits, 5);
        out.sb(r0, bits);
        out.sb(r1, bits);
    }
    const unsigned bits =
        std::max(BitWriter::signedBits(m.translateX), BitWriter::signedBits(m.translateY));
    out.ub(bits, 5);
    out.sb(m.translateX, bits);
    out.sb(m.translateY, bits);
    out.align();
}

void writeColorTransform(BitWriter& out, const ColorTransform& cx, bool withAlpha) {
    out.align();
    const std::size_t channels = withAlpha ? 4 : 3;
    bool hasMult = false;
    bool hasAdd = false;
    unsigned bits = 0;
    for (std::size_t i = 0; i < channels; ++i) {
        hasMult = hasMult || cx.mult[i] != 256;
        hasAdd = hasAdd || cx.add[i] != 0;
    }
    for (std::size_t i = 0; i < channels; ++i) {
        if (hasMult) {
            bits = std::max(bits, BitWriter::signedBits(cx.mult[i]));
        }
        if (hasAdd) {
            bits = std::max(bits, BitWriter::signedBits(cx.add[i]));
        }
    }
    if (bits > 15) {
        throw std::invalid_argument("colour transform term needs more than 15 bits");
    }
    out.flag(hasAdd);
    out.flag(hasMult);
    out.ub(bits, 4);
    for (std::size_t i = 0; hasMult && i < channels; ++i) {
        out.sb(cx.mult[i], bits);
    }
    for (std::size_t i = 0; hasAdd && i < channels; ++i) {
        out.sb(cx.add[i], bits);
    }
    out.align();
}

void writeRgb(BitWriter& out, Rgba c) {
    out.u8(c.r);
    out.u8(c.g);
    out.u8(c.b);
}

void writeRgba(BitWriter& out, Rgba c) {
    writeRgb(out, c);
    out.u8(c.a);
}

Matrix Matrix::translation(std::int32_t x, std::int32_t y) {
    Matrix m;
    m.translateX = x;
    m.translateY = y;
    return m;
}

Matrix Matrix::transform(double sx, double sy, double degrees, std::int32_t x, std::int32_t y) {
    const double rad = degrees * 3.14159265358979323846 / 180.0;
    const double c = std::cos(rad);
    const double s = std::sin(rad);
    Matrix m;
    m.scaleX = sx * c;
    m.rotateSkew0 = sx * s;
    m.rotateSkew1 = -sy * s;
    m.scaleY = sy * c;
    m.translateX = x;
    m.translateY = y;
    return m;
}

}  // namespace zd::swfwriter
