#include <gtest/gtest.h>

#include "engine/swf/ByteReader.h"
#include "engine/swf/Records.h"
#include "swfwriter/SwfWriter.h"

using zd::engine::ByteReader;

namespace {

std::vector<std::uint8_t> bytes(std::initializer_list<int> v) {
    std::vector<std::uint8_t> out;
    for (int b : v) {
        out.push_back(static_cast<std::uint8_t>(b));
    }
    return out;
}

}  // namespace

TEST(ByteReader, ReadsLittleEndianIntegers) {
    const auto data = bytes({0x34, 0x12, 0x78, 0x56, 0x34, 0x12, 0xff, 0xff});
    ByteReader in(data);
    EXPECT_EQ(in.u16(), 0x1234);
    EXPECT_EQ(in.u32(), 0x12345678u);
    EXPECT_EQ(in.s16(), -1);
    EXPECT_TRUE(in.ok());
    EXPECT_TRUE(in.atEnd());
}

TEST(ByteReader, ReadPastTheEndFailsForGoodAndReturnsZero) {
    const auto data = bytes({0x01, 0x02, 0x03});
    ByteReader in(data);
    EXPECT_EQ(in.u16(), 0x0201);
    EXPECT_EQ(in.u16(), 0);  // only one byte left
    EXPECT_FALSE(in.ok());
    EXPECT_EQ(in.u8(), 0);  // even a read that would fit now fails
    EXPECT_FALSE(in.ok());
    EXPECT_TRUE(in.bytes(1).empty());
}

TEST(ByteReader, BitFieldsAreMostSignificantFirstAndSignExtended) {
    // 1110 0101 1010 0000: UB[3]=7, SB[3]=001, SB[4]=0110, SB[2]=10 (-2).
    const auto data = bytes({0xe5, 0xa0});
    ByteReader in(data);
    EXPECT_EQ(in.ub(3), 7u);
    EXPECT_EQ(in.sb(3), 1);
    EXPECT_EQ(in.sb(4), 0b0110);
    EXPECT_EQ(in.sb(2), -2);  // bits "10"
    EXPECT_TRUE(in.ok());
    // A byte read after bit fields starts at the next whole byte: none is left.
    EXPECT_EQ(in.u8(), 0);
    EXPECT_FALSE(in.ok());
}

TEST(ByteReader, BitFieldsNeverReadBeyondTheBuffer) {
    const auto data = bytes({0xff});
    ByteReader in(data);
    EXPECT_EQ(in.ub(8), 0xffu);
    EXPECT_EQ(in.ub(1), 0u);
    EXPECT_FALSE(in.ok());

    ByteReader wide(data);
    EXPECT_EQ(wide.ub(33), 0u);  // wider than any field
    EXPECT_FALSE(wide.ok());

    ByteReader empty(std::span<const std::uint8_t>{});
    EXPECT_EQ(empty.sb(5), 0);
    EXPECT_FALSE(empty.ok());
}

TEST(ByteReader, SignedFieldsOfThirtyTwoBits) {
    const auto data = bytes({0x80, 0x00, 0x00, 0x00, 0xff, 0xff, 0xff, 0xff});
    ByteReader in(data);
    EXPECT_EQ(in.sb(32), INT32_MIN);
    EXPECT_EQ(in.sb(32), -1);
}

TEST(ByteReader, StringsNeedTheirTerminator) {
    const auto data = bytes({'a', 'b', 0, 'c'});
    ByteReader in(data);
    EXPECT_EQ(in.cstring(), "ab");
    EXPECT_TRUE(in.ok());
    EXPECT_EQ(in.cstring(), "");
    EXPECT_FALSE(in.ok());
}

TEST(ByteReader, EncodedU32) {
    const auto data = bytes({0x7f, 0x80, 0x01, 0xff, 0xff, 0xff, 0xff, 0x0f, 0x80});
    ByteReader in(data);
    EXPECT_EQ(in.encodedU32(), 0x7fu);
    EXPECT_EQ(in.encodedU32(), 0x80u);
    EXPECT_EQ(in.encodedU32(), 0xffffffffu);
    EXPECT_TRUE(in.ok());
    in.encodedU32();  // continuation bit set on the last byte of the buffer
    EXPECT_FALSE(in.ok());
}

TEST(ByteReader, SubReaderIsConfinedToItsRange) {
    const auto data = bytes({1, 2, 3, 4});
    ByteReader in(data);
    ByteReader sub = in.sub(2);
    EXPECT_EQ(in.u8(), 3);
    EXPECT_EQ(sub.u16(), 0x0201);
    EXPECT_EQ(sub.u8(), 0);
    EXPECT_FALSE(sub.ok());
    EXPECT_TRUE(in.ok());

    ByteReader tooLong = in.sub(5);
    EXPECT_FALSE(in.ok());
    EXPECT_FALSE(tooLong.ok());
}

TEST(ByteReader, FixedPointAndFloats) {
    const auto data = bytes({0x80, 0x07, 0x00, 0x80, 0x07, 0x00, 0x00, 0x00, 0x80, 0x3f});
    ByteReader in(data);
    EXPECT_DOUBLE_EQ(in.fixed8(), 7.5);
    EXPECT_DOUBLE_EQ(in.fixed16(), 7.5);
    EXPECT_FLOAT_EQ(in.f32(), 1.0f);
}

// Records written by the writer read back through the engine's readers.
TEST(Records, RoundTripThroughWriter) {
    namespace w = zd::swfwriter;
    w::BitWriter out;
    w::writeRect(out, {-20, 11000, 5, 8000});
    w::Matrix m = w::Matrix::transform(1.5, -0.25, 30, -1234, 5678);
    w::writeMatrix(out, m);
    w::writeMatrix(out, w::Matrix{});  // identity: one byte
    w::ColorTransform cx;
    cx.mult = {128, 256, 512, 64};
    cx.add = {-255, 0, 10, 255};
    w::writeColorTransform(out, cx, true);
    w::writeColorTransform(out, cx, false);
    w::writeRgba(out, {1, 2, 3, 4});

    ByteReader in(out.data());
    EXPECT_EQ(zd::engine::readRect(in), (zd::engine::Rect{-20, 11000, 5, 8000}));
    const zd::engine::Matrix rm = zd::engine::readMatrix(in);
    EXPECT_NEAR(rm.a, m.scaleX, 1e-4);
    EXPECT_NEAR(rm.b, m.rotateSkew0, 1e-4);
    EXPECT_NEAR(rm.c, m.rotateSkew1, 1e-4);
    EXPECT_NEAR(rm.d, m.scaleY, 1e-4);
    EXPECT_EQ(rm.tx, -1234);
    EXPECT_EQ(rm.ty, 5678);
    EXPECT_EQ(zd::engine::readMatrix(in), zd::engine::Matrix{});
    const auto withAlpha = zd::engine::readColorTransform(in, true);
    EXPECT_EQ(withAlpha.mult, (std::array<std::int16_t, 4>{128, 256, 512, 64}));
    EXPECT_EQ(withAlpha.add, (std::array<std::int16_t, 4>{-255, 0, 10, 255}));
    const auto noAlpha = zd::engine::readColorTransform(in, false);
    EXPECT_EQ(noAlpha.mult, (std::array<std::int16_t, 4>{128, 256, 512, 256}));
    EXPECT_EQ(noAlpha.add, (std::array<std::int16_t, 4>{-255, 0, 10, 0}));
    EXPECT_EQ(zd::engine::readRgba(in), (zd::engine::Rgba{1, 2, 3, 4}));
    EXPECT_TRUE(in.ok());
    EXPECT_TRUE(in.atEnd());
}
