// Blur passes and glow compositing on pictures wide enough for their vector paths, against
// the filters' definitions worked out here one value at a time.

#include <gtest/gtest.h>

#include <QImage>
#include <random>

#include "engine/render/Filters.h"

using namespace zd::engine;

namespace {

QImage randomImage(int w, int h, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> byte(0, 255);
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            // Runs of equal values as well as noise: sums land on exact multiples too.
            const int a = (x / 5 + y / 3) % 2 == 0 ? 255 : byte(random);
            image.setPixel(x, y, qPremultiply(qRgba(byte(random), byte(random), byte(random), a)));
        }
    }
    return image;
}

// One box pass along a line, as the blur defines it: the floor of the mean of the values
// within `radius`, the two outermost weighing its fraction, zero beyond the ends.
std::vector<int> boxPass(const std::vector<int>& v, double radius) {
    const int whole = static_cast<int>(std::floor(radius));
    const long edge = std::lround((radius - whole) * 256);
    const long total = (2L * whole + 1) * 256 + 2 * edge;
    auto at = [&](int i) -> long {
        return i < 0 || i >= static_cast<int>(v.size()) ? 0 : v[static_cast<std::size_t>(i)];
    };
    std::vector<int> out(v.size());
    for (int i = 0; i < static_cast<int>(v.size()); ++i) {
        long sum = 0;
        for (int k = i - whole; k <= i + whole; ++k) {
            sum += at(k) * 256;
        }
        sum += (at(i - whole - 1) + at(i + whole + 1)) * edge;
        out[static_cast<std::size_t>(i)] = static_cast<int>(sum / total);
    }
    return out;
}

// The blur of every channel: passes of across-then-down.
QImage referenceBlur(const QImage& in, double rx, double ry, int passes) {
    QImage out = in.copy();
    const int w = out.width();
    const int h = out.height();
    for (int p = 0; p < passes; ++p) {
        for (int c = 0; c < 4; ++c) {
            if (rx > 0) {
                for (int y = 0; y < h; ++y) {
                    std::vector<int> line(static_cast<std::size_t>(w));
                    for (int x = 0; x < w; ++x) {
                        line[static_cast<std::size_t>(x)] = out.constScanLine(y)[4 * x + c];
                    }
                    line = boxPass(line, rx);
                    for (int x = 0; x < w; ++x) {
                        out.scanLine(y)[4 * x + c] =
                            static_cast<uchar>(line[static_cast<std::size_t>(x)]);
                    }
                }
            }
        }
        for (int c = 0; c < 4; ++c) {
            if (ry > 0) {
                for (int x = 0; x < w; ++x) {
                    std::vector<int> line(static_cast<std::size_t>(h));
                    for (int y = 0; y < h; ++y) {
                        line[static_cast<std::size_t>(y)] = out.constScanLine(y)[4 * x + c];
                    }
                    line = boxPass(line, ry);
                    for (int y = 0; y < h; ++y) {
                        out.scanLine(y)[4 * x + c] =
                            static_cast<uchar>(line[static_cast<std::size_t>(y)]);
                    }
                }
            }
        }
    }
    return out;
}

unsigned mul255(unsigned a, unsigned b) {
    const unsigned t = a * b + 128;
    return (t + (t >> 8)) >> 8;
}

}  // namespace

TEST(FilterPasses, BlursOfWidePicturesAreTheBoxPassesExactly) {
    const QImage image = randomImage(23, 41, 4);
    // Whole and fractional radii, several passes, and a radius too large for the vector path.
    struct Case {
        double blurX, blurY;
        int passes;
        double scale;
    };
    for (const Case c : {Case{3, 3, 1, 1}, Case{6, 2, 2, 1}, Case{2, 9.5, 3, 1}, Case{1, 40, 1, 1},
                         Case{255, 255, 1, 1}, Case{255, 200, 1, 3}}) {
        const QImage ours =
            applyFilter(image, BlurFilter{c.blurX, c.blurY, c.passes}, c.scale, c.scale);
        const QImage want = referenceBlur(image, blurRadius(c.blurX, c.scale),
                                          blurRadius(c.blurY, c.scale), c.passes);
        EXPECT_EQ(ours, want) << c.blurX << " x " << c.blurY << " passes " << c.passes;
    }
}

TEST(FilterPasses, GlowsOfOneColourLieUnderTheObject) {
    // The glow alone (its object hidden) is the tinted, blurred alpha; shown with the object,
    // the object lies over it, as source-over works it out channel by channel.
    const QImage image = randomImage(37, 21, 8);
    GlowFilter glow;
    glow.color = {250, 120, 10, 200};
    glow.blurX = glow.blurY = 5;
    glow.strength = 1.7;
    glow.compositeSource = false;
    const QImage alone = applyFilter(image, glow, 1, 1);
    glow.compositeSource = true;
    const QImage with = applyFilter(image, glow, 1, 1);
    int checked = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb top = reinterpret_cast<const QRgb*>(image.constScanLine(y))[x];
            const QRgb under = reinterpret_cast<const QRgb*>(alone.constScanLine(y))[x];
            const unsigned rest = 255 - qAlpha(top);
            const QRgb want = qRgba(
                qRed(top) + mul255(qRed(under), rest), qGreen(top) + mul255(qGreen(under), rest),
                qBlue(top) + mul255(qBlue(under), rest), qAlpha(top) + mul255(qAlpha(under), rest));
            EXPECT_EQ(reinterpret_cast<const QRgb*>(with.constScanLine(y))[x], want)
                << x << "," << y;
            checked += qAlpha(under) != 0 && rest != 0 ? 1 : 0;
        }
    }
    EXPECT_GT(checked, 100) << "the glow shows through somewhere";
}
