#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <random>

#include "TestSupport.h"
#include "engine/swf/BitmapDecoder.h"
#include "engine/swf/MovieData.h"
#include "engine/swf/TagCodes.h"
#include "engine/swf/TagWalker.h"

using namespace zd::engine;
using Bytes = std::vector<std::uint8_t>;

namespace {

Bytes toBytes(const QByteArray& a) {
    return Bytes(a.begin(), a.end());
}

// A zlib stream (qCompress adds a 4-byte length first).
Bytes zlib(const Bytes& raw) {
    const QByteArray c =
        qCompress(QByteArray(reinterpret_cast<const char*>(raw.data()), qsizetype(raw.size())));
    return toBytes(c.mid(4));
}

void putU16(Bytes& b, unsigned v) {
    b.push_back(static_cast<std::uint8_t>(v & 0xff));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}
void putU32(Bytes& b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }
}
void append(Bytes& b, const Bytes& more) {
    b.insert(b.end(), more.begin(), more.end());
}

// DefineBitsLossless/2 body after the id.
Bytes losslessBody(int format, int w, int h, const Bytes& raw, int tableSize = -1) {
    Bytes b{static_cast<std::uint8_t>(format)};
    putU16(b, unsigned(w));
    putU16(b, unsigned(h));
    if (tableSize >= 0) {
        b.push_back(static_cast<std::uint8_t>(tableSize - 1));
    }
    append(b, zlib(raw));
    return b;
}

QImage testPicture(int w = 32, int h = 16) {
    // Left half red, right half blue: flat areas survive JPEG closely.
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(Qt::red);
    QPainter p(&img);
    p.fillRect(w / 2, 0, w - w / 2, h, Qt::blue);
    return img;
}

Bytes encode(const QImage& img, const char* format, int quality = 95) {
    QByteArray out;
    QBuffer buf(&out);
    buf.open(QIODevice::WriteOnly);
    EXPECT_TRUE(img.save(&buf, format, quality)) << format;
    return toBytes(out);
}

bool near(QRgb a, QRgb b, int tol) {
    return std::abs(qRed(a) - qRed(b)) <= tol && std::abs(qGreen(a) - qGreen(b)) <= tol &&
           std::abs(qBlue(a) - qBlue(b)) <= tol && std::abs(qAlpha(a) - qAlpha(b)) <= tol;
}

void expectRedBlue(const QImage& img) {
    ASSERT_FALSE(img.isNull());
    EXPECT_EQ(img.format(), QImage::Format_ARGB32_Premultiplied);
    EXPECT_TRUE(near(img.pixel(4, 8), qRgb(255, 0, 0), 12)) << std::hex << img.pixel(4, 8);
    EXPECT_TRUE(near(img.pixel(img.width() - 4, 8), qRgb(0, 0, 255), 12))
        << std::hex << img.pixel(img.width() - 4, 8);
}

// Splits a complete JPEG into a tables-only stream (SOI, DQT and DHT, EOI) and the image
// stream without them, the way DefineBits and JPEGTables store one picture.
std::pair<Bytes, Bytes> splitTables(const Bytes& jpeg) {
    Bytes tables{0xff, 0xd8};
    Bytes image{0xff, 0xd8};
    std::size_t i = 2;
    while (i + 4 <= jpeg.size()) {
        const std::uint8_t m = jpeg[i + 1];
        const std::size_t len = std::size_t{jpeg[i + 2]} << 8 | jpeg[i + 3];
        Bytes& to = (m == 0xdb || m == 0xc4) ? tables : image;
        if (m == 0xda) {
            image.insert(image.end(), jpeg.begin() + long(i), jpeg.end());
            break;
        }
        to.insert(to.end(), jpeg.begin() + long(i), jpeg.begin() + long(i + 2 + len));
        i += 2 + len;
    }
    tables.push_back(0xff);
    tables.push_back(0xd9);
    return {tables, image};
}

// A 2x1 GIF89a: a red and a green pixel (2-entry colour table, LZW code size 2).
const Bytes kGif = {'G',  'I',  'F',  '8',  '9',  'a',  0x02, 0x00, 0x01, 0x00, 0x80, 0x00,
                    0x00, 0xff, 0x00, 0x00, 0x00, 0xff, 0x00, 0x2c, 0x00, 0x00, 0x00, 0x00,
                    0x02, 0x00, 0x01, 0x00, 0x00, 0x02, 0x02, 0x44, 0x0a, 0x00, 0x3b};

}  // namespace

TEST(BitmapDecoder, ColourMappedRowsArePaddedAndIndicesPastTheTableAreTransparent) {
    // 3 pixels wide: each row holds 4 bytes, the last one padding.
    const Bytes raw = {10, 20, 30, 40, 50, 60, 70, 80, 90,  // RGB table of 3
                       0,  1,  2,  99, 2,  7,  0,  99};     // rows: 0 1 2 | 2 7 0
    const QImage img = decodeDefineBitsLossless(losslessBody(3, 3, 2, raw, 3), false);
    ASSERT_FALSE(img.isNull());
    EXPECT_EQ(img.size(), QSize(3, 2));
    EXPECT_EQ(img.pixel(0, 0), qRgb(10, 20, 30));
    EXPECT_EQ(img.pixel(1, 0), qRgb(40, 50, 60));
    EXPECT_EQ(img.pixel(2, 0), qRgb(70, 80, 90));
    EXPECT_EQ(img.pixel(0, 1), qRgb(70, 80, 90));
    EXPECT_EQ(img.pixel(1, 1), 0u) << "index 7 is past the table";
    EXPECT_EQ(img.pixel(2, 1), qRgb(10, 20, 30));
}

TEST(BitmapDecoder, FifteenAndTwentyFourBitPixels) {
    // PIX15 0rrrrrgggggbbbbb, big-endian bit order; rows padded to 4 bytes (1 pixel: 2 + 2).
    const Bytes raw15 = {0x7c, 0x00, 0, 0,   // red 31
                         0x03, 0xe0, 0, 0,   // green 31
                         0x40, 0x1f, 0, 0};  // red 16, blue 31
    const QImage a = decodeDefineBitsLossless(losslessBody(4, 1, 3, raw15), false);
    ASSERT_FALSE(a.isNull());
    EXPECT_EQ(a.pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(a.pixel(0, 1), qRgb(0, 255, 0));
    EXPECT_EQ(a.pixel(0, 2), qRgb(132, 0, 255));

    const Bytes raw24 = {0, 1, 2, 3, 0x55, 200, 100, 50};
    const QImage b = decodeDefineBitsLossless(losslessBody(5, 2, 1, raw24), false);
    ASSERT_FALSE(b.isNull());
    EXPECT_EQ(b.pixel(0, 0), qRgb(1, 2, 3));
    EXPECT_EQ(b.pixel(1, 0), qRgb(200, 100, 50)) << "the reserved byte is not alpha";
}

TEST(BitmapDecoder, AlphaFormatsKeepTheirPremultipliedColour) {
    // ARGB, already premultiplied; the last pixel holds colour above its alpha (bad data).
    const Bytes argb = {128, 100, 50, 0, 0, 0, 0, 0, 255, 1, 2, 3, 10, 200, 20, 5};
    const QImage img = decodeDefineBitsLossless(losslessBody(5, 4, 1, argb), true);
    ASSERT_FALSE(img.isNull());
    EXPECT_EQ(img.format(), QImage::Format_ARGB32_Premultiplied);
    auto raw = [&](int x) { return reinterpret_cast<const QRgb*>(img.constScanLine(0))[x]; };
    EXPECT_EQ(raw(0), qRgba(100, 50, 0, 128));
    EXPECT_EQ(raw(1), 0u);
    EXPECT_EQ(raw(2), qRgba(1, 2, 3, 255));
    EXPECT_EQ(raw(3), qRgba(10, 10, 5, 10)) << "colour is clamped to alpha";

    const Bytes mapped = {60, 30, 0, 64, 255, 255, 255, 255,  // RGBA table of 2
                          0,  1,  1, 0};                      // 3 wide, padded to 4
    const QImage m = decodeDefineBitsLossless(losslessBody(3, 3, 1, mapped, 2), true);
    ASSERT_FALSE(m.isNull());
    EXPECT_EQ(reinterpret_cast<const QRgb*>(m.constScanLine(0))[0], qRgba(60, 30, 0, 64));
    EXPECT_EQ(m.pixel(1, 0), qRgba(255, 255, 255, 255));
}

TEST(BitmapDecoder, RefusesBadHeadersAndOversizedBitmaps) {
    const Bytes px(16, 0);
    EXPECT_TRUE(decodeDefineBitsLossless(losslessBody(4, 2, 2, px), true).isNull())
        << "no 15-bit format with alpha";
    EXPECT_TRUE(decodeDefineBitsLossless(losslessBody(6, 2, 2, px), false).isNull());
    EXPECT_TRUE(decodeDefineBitsLossless(losslessBody(5, 0, 2, px), false).isNull());
    EXPECT_TRUE(decodeDefineBitsLossless(losslessBody(5, 8193, 1, px), false).isNull());
    EXPECT_TRUE(decodeDefineBitsLossless(losslessBody(5, 5000, 5000, px), false).isNull())
        << "25 Mpixel is past the limit";
    EXPECT_TRUE(decodeDefineBitsLossless(Bytes{5, 2, 0}, false).isNull());
    EXPECT_TRUE(decodeDefineBitsLossless(Bytes{}, false).isNull());
    // A colour table cut short gives no image.
    EXPECT_TRUE(decodeDefineBitsLossless(losslessBody(3, 1, 1, {1, 2, 3}, 2), false).isNull());
    EXPECT_TRUE(bitmapSizeAllowed(4096, 4096));
    EXPECT_FALSE(bitmapSizeAllowed(4097, 4096));
}

TEST(BitmapDecoder, ZlibOutputStopsAtTheDeclaredSize) {
    const Bytes big(1 << 20, 0x42);
    const Bytes z = zlib(big);
    EXPECT_EQ(inflateBounded(z, 100).size(), 100u);
    EXPECT_EQ(inflateBounded(z, 2u << 20).size(), big.size());
    // 1x1 24-bit bitmap whose stream inflates to a megabyte: the rest is ignored.
    const QImage img = decodeDefineBitsLossless(losslessBody(5, 1, 1, big), false);
    ASSERT_FALSE(img.isNull());
    EXPECT_EQ(img.pixel(0, 0), qRgb(0x42, 0x42, 0x42));
}

TEST(BitmapDecoder, ShortPixelDataLeavesTheRestZero) {
    // 64x64 ARGB of noise (opaque): compresses poorly, so a cut stream still holds rows.
    Bytes raw(64 * 64 * 4);
    std::mt19937 rng(3);
    for (std::size_t i = 0; i < raw.size(); ++i) {
        raw[i] = i % 4 == 0 ? 255 : static_cast<std::uint8_t>(rng());
    }
    Bytes body = losslessBody(5, 64, 64, raw);
    body.resize(body.size() / 2);
    const QImage img = decodeDefineBitsLossless(body, true);
    ASSERT_FALSE(img.isNull());
    EXPECT_EQ(img.pixel(0, 0), qRgba(raw[1], raw[2], raw[3], 255));
    EXPECT_EQ(img.pixel(63, 63), 0u) << "past the data: transparent";
    EXPECT_TRUE(decodeDefineBitsLossless(Bytes{5, 4, 0, 4, 0, 1, 2, 3}, true).isNull())
        << "a stream that is not zlib gives nothing";
}

TEST(BitmapDecoder, JpegPayloadsWithAndWithoutTheStrayMarkers) {
    const Bytes jpeg = encode(testPicture(), "JPEG");
    EXPECT_EQ(detectImagePayload(jpeg), ImagePayload::Jpeg);
    expectRedBlue(decodeDefineBitsJpeg2(jpeg));

    // Encoders before SWF 8 wrote EOI+SOI before the stream.
    Bytes stray = {0xff, 0xd9, 0xff, 0xd8};
    append(stray, jpeg);
    EXPECT_EQ(detectImagePayload(stray), ImagePayload::Jpeg);
    expectRedBlue(decodeDefineBitsJpeg2(stray));

    // Tables and image written as two streams back to back, an EOI+SOI between them.
    const auto [tables, image] = splitTables(jpeg);
    Bytes joined = tables;
    append(joined, image);
    expectRedBlue(decodeDefineBitsJpeg2(joined));
}

TEST(BitmapDecoder, DefineBitsUsesTheMovieTables) {
    const Bytes jpeg = encode(testPicture(40, 20), "JPEG");
    const auto [tables, image] = splitTables(jpeg);
    const QImage img = decodeDefineBits(image, tables);
    expectRedBlue(img);
    EXPECT_EQ(img.size(), QSize(40, 20));
    // Without its tables the image cannot be decoded.
    EXPECT_TRUE(decodeDefineBits(image, {}).isNull());
    // Tables with the stray header too, and a complete stream with empty tables.
    Bytes strayTables = {0xff, 0xd9, 0xff, 0xd8};
    append(strayTables, tables);
    expectRedBlue(decodeDefineBits(image, strayTables));
    expectRedBlue(decodeDefineBits(jpeg, {}));
}

TEST(BitmapDecoder, Jpeg3And4ApplyTheAlphaPlane) {
    const QImage pic = testPicture(8, 4);
    const Bytes jpeg = encode(pic, "JPEG", 100);
    Bytes alpha(8 * 4);
    for (std::size_t i = 0; i < alpha.size(); ++i) {
        alpha[i] = static_cast<std::uint8_t>(i * 8);
    }
    Bytes body3;
    putU32(body3, std::uint32_t(jpeg.size()));
    append(body3, jpeg);
    append(body3, zlib(alpha));
    const QImage a = decodeDefineBitsJpeg3(body3);
    ASSERT_FALSE(a.isNull());
    for (int i = 0; i < 32; ++i) {
        const QRgb c = reinterpret_cast<const QRgb*>(a.constScanLine(i / 8))[i % 8];
        EXPECT_EQ(qAlpha(c), i * 8);
        EXPECT_LE(qRed(c), qAlpha(c)) << "colour never exceeds alpha";
        EXPECT_LE(qBlue(c), qAlpha(c));
    }

    Bytes body4;
    putU32(body4, std::uint32_t(jpeg.size()));
    putU16(body4, 0x0100);  // deblocking 1.0, ignored
    append(body4, jpeg);
    append(body4, zlib(alpha));
    const QImage b = decodeDefineBitsJpeg4(body4);
    ASSERT_FALSE(b.isNull());
    EXPECT_EQ(b.pixel(7, 3), a.pixel(7, 3));

    // A short alpha plane leaves the pixels it does not reach opaque.
    Bytes shortBody;
    putU32(shortBody, std::uint32_t(jpeg.size()));
    append(shortBody, jpeg);
    append(shortBody, zlib(Bytes(5, 0)));
    const QImage c = decodeDefineBitsJpeg3(shortBody);
    ASSERT_FALSE(c.isNull());
    EXPECT_EQ(qAlpha(c.pixel(4, 0)), 0);
    EXPECT_EQ(qAlpha(c.pixel(5, 0)), 255);

    // An offset past the end: the image without alpha.
    Bytes lying;
    putU32(lying, 1u << 30);
    append(lying, jpeg);
    const QImage d = decodeDefineBitsJpeg3(lying);
    ASSERT_FALSE(d.isNull());
    EXPECT_EQ(qAlpha(d.pixel(0, 0)), 255);
}

TEST(BitmapDecoder, PngAndGifPayloadsKeepTheirOwnAlpha) {
    QImage pic(4, 2, QImage::Format_ARGB32);
    pic.fill(qRgba(0, 255, 0, 255));
    pic.setPixel(1, 1, qRgba(255, 0, 0, 128));
    const Bytes png = encode(pic, "PNG");
    EXPECT_EQ(detectImagePayload(png), ImagePayload::Png);
    const QImage a = decodeDefineBitsJpeg2(png);
    ASSERT_FALSE(a.isNull());
    EXPECT_EQ(a.format(), QImage::Format_ARGB32_Premultiplied);
    EXPECT_EQ(a.pixel(0, 0), qRgb(0, 255, 0));
    EXPECT_TRUE(near(a.pixel(1, 1), qRgba(128, 0, 0, 128), 1)) << "premultiplied";

    // JPEG3 with a PNG payload ignores the alpha plane after it.
    Bytes body;
    putU32(body, std::uint32_t(png.size()));
    append(body, png);
    append(body, zlib(Bytes(8, 0)));
    const QImage b = decodeDefineBitsJpeg3(body);
    ASSERT_FALSE(b.isNull());
    EXPECT_EQ(qAlpha(b.pixel(0, 0)), 255);

    EXPECT_EQ(detectImagePayload(kGif), ImagePayload::Gif);
    const QImage g = decodeDefineBitsJpeg2(kGif);
    ASSERT_FALSE(g.isNull()) << "Qt's GIF reader is missing";
    EXPECT_EQ(g.size(), QSize(2, 1));
    EXPECT_EQ(g.pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(g.pixel(1, 0), qRgb(0, 255, 0));
}

TEST(BitmapDecoder, JpegHeadersOutOfBoundsOrBrokenGiveNothing) {
    Bytes jpeg = encode(testPicture(), "JPEG");
    // Rewrite the frame header (SOF0) to claim 60000 x 60000.
    bool patched = false;
    for (std::size_t i = 2; i + 9 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xff && jpeg[i + 1] == 0xc0) {
            jpeg[i + 5] = jpeg[i + 7] = 0xea;
            jpeg[i + 6] = jpeg[i + 8] = 0x60;
            patched = true;
            break;
        }
    }
    ASSERT_TRUE(patched);
    EXPECT_TRUE(decodeDefineBitsJpeg2(jpeg).isNull());
    EXPECT_TRUE(decodeDefineBitsJpeg2(Bytes{0xff, 0xd8, 0xff}).isNull());
    EXPECT_TRUE(decodeDefineBitsJpeg2(Bytes{1, 2, 3, 4}).isNull());
    EXPECT_TRUE(decodeDefineBitsJpeg2(Bytes{}).isNull());
    EXPECT_TRUE(decodeDefineBitsJpeg3(Bytes{1, 0}).isNull());
}

TEST(BitmapDecoder, TruncatedJpegShowsWhatArrived) {
    // Red rows on top, noise below: the cut falls in the noise's entropy-coded data.
    QImage pic(64, 64, QImage::Format_RGB32);
    pic.fill(Qt::red);
    std::mt19937 rng(5);
    for (int y = 16; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            pic.setPixel(x, y, rng() | 0xff000000u);
        }
    }
    const Bytes jpeg = encode(pic, "JPEG");
    const Bytes cut(jpeg.begin(), jpeg.begin() + long(jpeg.size() * 3 / 4));
    const QImage img = decodeDefineBitsJpeg2(cut);
    ASSERT_FALSE(img.isNull());
    EXPECT_EQ(img.size(), QSize(64, 64));
    EXPECT_TRUE(near(img.pixel(4, 2), qRgb(255, 0, 0), 12));
}

TEST(BitmapDecoder, TruncatedAndCorruptedDataNeverCrashes) {
    QImage alphaPic(12, 10, QImage::Format_ARGB32);
    alphaPic.fill(qRgba(10, 200, 30, 100));
    const Bytes jpeg = encode(testPicture(24, 16), "JPEG");
    const Bytes png = encode(alphaPic, "PNG");
    Bytes jpeg3;
    putU32(jpeg3, std::uint32_t(jpeg.size()));
    append(jpeg3, jpeg);
    append(jpeg3, zlib(Bytes(24 * 16, 0x80)));
    Bytes argb(12 * 10 * 4, 0x40);
    const auto [tables, image] = splitTables(jpeg);

    struct Case {
        std::uint16_t code;
        Bytes body;  // after the id
    };
    const std::vector<Case> cases = {
        {21, jpeg},
        {21, png},
        {21, kGif},
        {35, jpeg3},
        {6, image},
        {20, losslessBody(3, 7, 5, Bytes(3 * 256 + 8 * 5, 0x11), 256)},
        {20, losslessBody(4, 7, 5, Bytes(16 * 5, 0x22))},
        {36, losslessBody(5, 12, 10, argb)},
    };
    std::mt19937 rng(7);
    int decoded = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        auto check = [&](const Bytes& body) {
            Bytes full = {0x01, 0x00};
            append(full, body);
            const auto def = decodeBitmapTag(c.code, full, tables);
            ASSERT_TRUE(def.has_value());
            EXPECT_EQ(def->characterId, 1);
            if (!def->image.isNull()) {
                ++decoded;
                EXPECT_EQ(def->image.format(), QImage::Format_ARGB32_Premultiplied);
                EXPECT_TRUE(bitmapSizeAllowed(def->image.width(), def->image.height()));
            }
        };
        check(c.body);
        for (std::size_t n = 0; n < c.body.size(); n += 1 + c.body.size() / 97) {
            check(Bytes(c.body.begin(), c.body.begin() + long(n)));
        }
        for (int round = 0; round < 60; ++round) {
            Bytes bad = c.body;
            for (int k = 0; k < 1 + round % 5; ++k) {
                bad[rng() % bad.size()] ^= static_cast<std::uint8_t>(1 + rng() % 255);
            }
            check(bad);
        }
    }
    EXPECT_GT(decoded, 8) << "the intact bodies decode";
}

TEST(BitmapDecoder, TagDispatchTakesTheIdFirst) {
    EXPECT_FALSE(decodeBitmapTag(2, Bytes{1, 0, 5}).has_value()) << "not a bitmap tag";
    EXPECT_FALSE(decodeBitmapTag(21, Bytes{1}).has_value()) << "no room for an id";
    const auto def = decodeBitmapTag(20, [] {
        Bytes b = {0x34, 0x12};
        append(b, losslessBody(5, 1, 1, {0, 9, 8, 7}));
        return b;
    }());
    ASSERT_TRUE(def.has_value());
    EXPECT_EQ(def->characterId, 0x1234);
    EXPECT_EQ(def->image.pixel(0, 0), qRgb(9, 8, 7));
    for (auto code : {6, 20, 21, 35, 36, 90}) {
        EXPECT_TRUE(isBitmapTag(std::uint16_t(code)));
    }
    EXPECT_FALSE(isBitmapTag(8)) << "JPEGTables defines no character";
}

TEST(BitmapDecoder, EveryBitmapOfTheRealMoviesDecodes) {
    const QString dir = zd::test::corpusDir();
    if (dir.isEmpty()) {
        GTEST_SKIP() << "the shared corpus (" ZD_SHARED_DIR "/corpus/real) is absent";
    }
    int bitmaps = 0;
    int jpegTablesMovies = 0;
    for (const QString& name : QDir(dir).entryList({"*.swf"}, QDir::Files)) {
        SCOPED_TRACE(name.toStdString());
        QFile f(dir + "/" + name);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const Bytes file = toBytes(f.readAll());
        const auto movie = MovieData::fromBytes(file);
        ASSERT_NE(movie->header(), nullptr);
        TagWalker walker(movie->data(), movie->header()->size);
        std::span<const std::uint8_t> tables;
        while (const auto tag = walker.next()) {
            if (tag->code == std::uint16_t(TagCode::JPEGTables)) {
                tables = walker.body(*tag);
                ++jpegTablesMovies;
            }
            const auto def = decodeBitmapTag(tag->code, walker.body(*tag), tables);
            if (def) {
                ++bitmaps;
                EXPECT_FALSE(def->image.isNull())
                    << tagName(tag->code) << " id " << def->characterId;
                EXPECT_GT(def->image.width(), 0);
            }
        }
    }
    // The corpus holds JPEG, JPEG with tables, PNG-free lossless and lossless-with-alpha tags.
    EXPECT_GE(bitmaps, 10);
    EXPECT_GE(jpegTablesMovies, 1);
}
