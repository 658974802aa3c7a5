#include <gtest/gtest.h>

#include "engine/render/BlendModes.h"

using namespace zd::engine;

namespace {

// Opaque source and backdrop, and a half-transparent source (straight 199, 100, 40).
constexpr QRgb kS = 0xffc86428u;  // 200, 100, 40
constexpr QRgb kD = 0xff3296fau;  // 50, 150, 250
constexpr QRgb kHalf = qRgba(100, 50, 20, 128);

struct Case {
    BlendMode mode;
    QRgb source;
    QRgb backdrop;
    QRgb expected;
};

QImage filled(int w, int h, QRgb c) {
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    img.fill(c);
    return img;
}

QRgb px(const QImage& img, int x, int y) {
    return reinterpret_cast<const QRgb*>(img.constScanLine(y))[x];
}

}  // namespace

TEST(BlendModes, EveryModeOnKnownPixelPairs) {
    const Case cases[] = {
        {BlendMode::Normal, kS, kD, kS},
        {BlendMode::Layer, kS, kD, kS},
        {BlendMode::Multiply, kS, kD, qRgb(39, 59, 39)},
        {BlendMode::Screen, kS, kD, qRgb(211, 191, 251)},
        {BlendMode::Lighten, kS, kD, qRgb(200, 150, 250)},
        {BlendMode::Darken, kS, kD, qRgb(50, 100, 40)},
        {BlendMode::Difference, kS, kD, qRgb(150, 50, 210)},
        {BlendMode::Add, kS, kD, qRgb(250, 250, 255)},
        {BlendMode::Subtract, kS, kD, qRgb(0, 50, 210)},
        {BlendMode::Invert, kS, kD, qRgb(205, 105, 5)},
        {BlendMode::Alpha, kS, kD, kD},
        {BlendMode::Erase, kS, kD, 0u},
        {BlendMode::Overlay, kS, kD, qRgb(78, 127, 247)},
        {BlendMode::Hardlight, kS, kD, qRgb(167, 118, 78)},
        // A half-transparent object: the mode's mix where it covers, the backdrop elsewhere.
        {BlendMode::Normal, kHalf, kD, qRgb(125, 125, 145)},
        {BlendMode::Multiply, kHalf, kD, qRgb(45, 104, 144)},
        {BlendMode::Screen, kHalf, kD, qRgb(130, 171, 250)},
        // Add and Subtract work on the premultiplied channels as they are, saturating.
        {BlendMode::Add, kHalf, kD, qRgb(150, 200, 255)},
        {BlendMode::Subtract, kHalf, kD, qRgb(0, 100, 230)},
        {BlendMode::Difference, kHalf, kD, qRgb(100, 100, 230)},
        {BlendMode::Hardlight, kHalf, kD, qRgb(108, 134, 164)},
        {BlendMode::Overlay, kHalf, kD, qRgb(64, 138, 248)},
        {BlendMode::Invert, kHalf, kD, qRgb(128, 127, 127)},
        {BlendMode::Alpha, kHalf, kD, qRgba(25, 75, 125, 128)},
        {BlendMode::Erase, kHalf, kD, qRgba(25, 75, 125, 127)},
        // Both half transparent: alpha is their union.
        {BlendMode::Multiply, kHalf, qRgba(60, 30, 90, 128), qRgba(103, 46, 62, 192)},
        {BlendMode::Screen, kHalf, qRgba(60, 30, 90, 128), qRgba(136, 74, 103, 192)},
        {BlendMode::Add, kHalf, qRgba(60, 30, 90, 128), qRgba(160, 80, 110, 255)},
        {BlendMode::Subtract, kHalf, qRgba(60, 30, 90, 128), qRgba(0, 0, 70, 192)},
    };
    for (const Case& c : cases) {
        const QRgb got = blendPixel(c.source, c.backdrop, c.mode);
        EXPECT_EQ(got, c.expected) << blendModeName(c.mode) << std::hex << " source " << c.source
                                   << " got " << got << " want " << c.expected;
    }
}

TEST(BlendModes, TransparentPixelsOnEitherSide) {
    for (int m = 1; m <= 14; ++m) {
        const auto mode = static_cast<BlendMode>(m);
        SCOPED_TRACE(blendModeName(mode));
        EXPECT_EQ(blendPixel(0u, kD, mode), kD) << "nothing drawn, nothing changes";
        const QRgb onEmpty = blendPixel(kS, 0u, mode);
        if (needsParentLayer(mode) || mode == BlendMode::Invert) {
            EXPECT_EQ(onEmpty, 0u) << "these change the backdrop only";
        } else if (mode == BlendMode::Subtract) {
            EXPECT_EQ(onEmpty, qRgba(0, 0, 0, 255)) << "nothing left to take from, covered";
        } else {
            EXPECT_EQ(onEmpty, kS) << "over nothing, the object as it is";
        }
    }
    // An Alpha object leaves the layer alone where it is wholly transparent, and clears it
    // where it is all but transparent.
    const QRgb nearlyCleared = blendPixel(qRgba(0, 0, 0, 1), kD, BlendMode::Alpha);
    EXPECT_EQ(qAlpha(nearlyCleared), 1);
    EXPECT_LE(qBlue(nearlyCleared), 1);
}

TEST(BlendModes, ResultsStayValidPremultipliedColour) {
    const QRgb samples[] = {0u,
                            kS,
                            kD,
                            kHalf,
                            qRgba(1, 0, 1, 1),
                            qRgba(255, 255, 255, 255),
                            qRgba(10, 200, 30, 200),
                            qRgba(3, 3, 3, 3)};
    for (int m = 1; m <= 14; ++m) {
        for (QRgb s : samples) {
            for (QRgb d : samples) {
                const QRgb r = blendPixel(s, d, static_cast<BlendMode>(m));
                EXPECT_LE(qRed(r), qAlpha(r));
                EXPECT_LE(qGreen(r), qAlpha(r));
                EXPECT_LE(qBlue(r), qAlpha(r));
            }
        }
    }
}

TEST(BlendModes, StoredValuesNamesAndWhatTheCallerMustProvide) {
    EXPECT_EQ(blendModeFromByte(0), BlendMode::Normal);
    EXPECT_EQ(blendModeFromByte(1), BlendMode::Normal);
    EXPECT_EQ(blendModeFromByte(2), BlendMode::Layer);
    EXPECT_EQ(blendModeFromByte(14), BlendMode::Hardlight);
    EXPECT_EQ(blendModeFromByte(15), BlendMode::Normal) << "reserved values";
    EXPECT_EQ(blendModeFromByte(255), BlendMode::Normal);
    EXPECT_STREQ(blendModeName(BlendMode::Hardlight), "hardlight");
    EXPECT_STREQ(blendModeName(BlendMode::Subtract), "subtract");
    EXPECT_FALSE(needsOwnLayer(BlendMode::Normal));
    EXPECT_TRUE(needsOwnLayer(BlendMode::Layer));
    EXPECT_TRUE(needsOwnLayer(BlendMode::Multiply));
    EXPECT_TRUE(needsParentLayer(BlendMode::Alpha));
    EXPECT_TRUE(needsParentLayer(BlendMode::Erase));
    EXPECT_FALSE(needsParentLayer(BlendMode::Invert));
    EXPECT_TRUE(drawsAsNormal(BlendMode::Erase, false));
    EXPECT_FALSE(drawsAsNormal(BlendMode::Erase, true));
    EXPECT_FALSE(drawsAsNormal(BlendMode::Screen, false));
}

TEST(BlendModes, CompositeLayerPlacesClipsAndFades) {
    QImage backdrop = filled(4, 4, qRgb(255, 0, 0));
    const QImage layer = filled(2, 2, qRgb(0, 0, 255));
    compositeLayer(backdrop, layer, QPoint(3, 3), BlendMode::Normal);
    EXPECT_EQ(px(backdrop, 3, 3), qRgb(0, 0, 255));
    EXPECT_EQ(px(backdrop, 2, 3), qRgb(255, 0, 0));
    compositeLayer(backdrop, layer, QPoint(-1, -1), BlendMode::Add);
    EXPECT_EQ(px(backdrop, 0, 0), qRgb(255, 0, 255));
    EXPECT_EQ(px(backdrop, 1, 0), qRgb(255, 0, 0));
    compositeLayer(backdrop, layer, QPoint(100, -100), BlendMode::Normal);  // wholly outside
    compositeLayer(backdrop, layer, QPoint(1, 1), BlendMode::Normal, 0.5);
    EXPECT_EQ(px(backdrop, 1, 1), qRgb(127, 0, 128));
    compositeLayer(backdrop, layer, QPoint(1, 1), BlendMode::Normal, 0.0);
    EXPECT_EQ(px(backdrop, 1, 1), qRgb(127, 0, 128)) << "fully faded: no change";

    // A straight-alpha backdrop is converted in place; the layer may be any format.
    QImage straight(2, 1, QImage::Format_ARGB32);
    straight.fill(qRgba(255, 255, 255, 128));
    QImage rgbLayer(1, 1, QImage::Format_RGB32);
    rgbLayer.fill(qRgb(0, 0, 0));
    compositeLayer(straight, rgbLayer, QPoint(0, 0), BlendMode::Erase);
    EXPECT_EQ(straight.format(), QImage::Format_ARGB32_Premultiplied);
    EXPECT_EQ(px(straight, 0, 0), 0u);
    EXPECT_EQ(px(straight, 1, 0), qRgba(128, 128, 128, 128));
}
