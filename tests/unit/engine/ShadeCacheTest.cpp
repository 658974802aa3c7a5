// Kept shader colours: what a fill reads back from the cache is what its shader shades, for
// spans that overlap, extend or miss what was kept, and a changed picture is never served
// from the old one's colours.

#include <gtest/gtest.h>

#include <QImage>
#include <random>

#include "engine/render/ShadeCache.h"
#include "engine/render/SpanShaders.h"

using namespace zd::engine;

namespace {

QImage noisePicture(int w, int h, unsigned seed) {
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    std::mt19937 random(seed);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const auto a = static_cast<int>(random() % 256);
            image.setPixel(x, y,
                           qPremultiply(qRgba(int(random() % 256), int(random() % 256),
                                              int(random() % 256), a)));
        }
    }
    return image;
}

std::unique_ptr<SpanShader> bitmapShader(const QImage& image) {
    // Rotated and scaled so that every pixel is a bilinear mix.
    QTransform t;
    t.translate(5.3, -2.1);
    t.rotate(17);
    t.scale(2.7, 2.2);
    return std::make_unique<BitmapShader>(image, t, false, true);
}

std::vector<QRgb> shadeSpan(const SpanShader& s, int x, int y, int n) {
    std::vector<QRgb> out(static_cast<std::size_t>(n));
    s.shade(x, y, n, out.data());
    return out;
}

}  // namespace

TEST(ShadeCache, KeptRowsGiveWhatTheShaderGives) {
    const QImage picture = noisePicture(24, 18, 1);
    const auto reference = bitmapShader(picture);
    ShadeCache cache;
    std::mt19937 random(7);
    struct Ask {
        int x, y, n;
    };
    std::vector<Ask> fill;
    for (int k = 0; k < 300; ++k) {
        fill.push_back({static_cast<int>(random() % 90) - 10, static_cast<int>(random() % 70) - 5,
                        1 + static_cast<int>(random() % 40)});
    }
    // Frame after frame the same fill asks for the same spans (some overlapping, some past
    // the surface), and now and then for others that start or end elsewhere.
    for (int frame = 0; frame < 5; ++frame) {
        const auto shader = cache.wrap(bitmapShader(picture), 60);
        for (const Ask& a : fill) {
            ASSERT_EQ(shadeSpan(*shader, a.x, a.y, a.n), shadeSpan(*reference, a.x, a.y, a.n))
                << "frame " << frame << " span " << a.x << "," << a.y << " +" << a.n;
            const int x = a.x + static_cast<int>(random() % 5) - 2;
            const int n = std::max(1, a.n + static_cast<int>(random() % 5) - 2);
            ASSERT_EQ(shadeSpan(*shader, x, a.y, n), shadeSpan(*reference, x, a.y, n));
        }
    }
    EXPECT_GT(cache.bytes(), 0u);  // by the second frame the rows are kept
}

TEST(ShadeCache, OnlyFillsSeenTwiceAreKept) {
    ShadeCache cache;
    const QImage picture = noisePicture(16, 16, 2);
    (void)shadeSpan(*cache.wrap(bitmapShader(picture), 40), 0, 3, 30);
    EXPECT_EQ(cache.bytes(), 0u);
    (void)shadeSpan(*cache.wrap(bitmapShader(picture), 40), 0, 3, 30);
    EXPECT_EQ(cache.bytes(), 30 * sizeof(QRgb));
}

TEST(ShadeCache, AChangedPictureIsShadedAfresh) {
    ShadeCache cache;
    QImage picture = noisePicture(16, 16, 3);
    for (int i = 0; i < 2; ++i) {
        (void)shadeSpan(*cache.wrap(bitmapShader(picture), 40), 0, 5, 30);
    }
    // Painted over in place: the same picture object with other pixels.
    picture.fill(qRgba(10, 20, 30, 255));
    const auto after = cache.wrap(bitmapShader(picture), 40);
    EXPECT_EQ(shadeSpan(*after, 0, 5, 30), shadeSpan(*bitmapShader(picture), 0, 5, 30));
}

TEST(ShadeCache, StaysWithinItsBudget) {
    ShadeCache cache;
    const QImage picture = noisePicture(64, 64, 4);
    // Rows wider than the budget allows in all: old colours go, the total stays bounded and
    // what is shaded stays right.
    const int width = 8192;
    const int rows = static_cast<int>(ShadeCache::kMaxBytes / (width * sizeof(QRgb))) + 64;
    for (int i = 0; i < 2; ++i) {
        const auto shader = cache.wrap(bitmapShader(picture), rows);
        for (int y = 0; y < rows; y += 1) {
            (void)shadeSpan(*shader, 0, y, width);
            ASSERT_LE(cache.bytes(), ShadeCache::kMaxBytes);
        }
    }
    const auto shader = cache.wrap(bitmapShader(picture), rows);
    EXPECT_EQ(shadeSpan(*shader, 3, 40, 100), shadeSpan(*bitmapShader(picture), 3, 40, 100));
}
