// The full-screen bar's buttons at their natural sizes: inside the bar and the screen, none over
// another, at the screen sizes people use.
#include <gtest/gtest.h>

#include <QRectF>
#include <utility>
#include <vector>

#include "mainwindow/FullScreenBar.h"

using namespace zd::fullscreen;

namespace {

QRectF rectOf(const zd::TwipRect& r) {
    return QRectF(r.left, r.top, r.width, r.height);
}

}  // namespace

TEST(FullScreenBar, ButtonsStayInsideTheBarWithoutCoveringOneAnother) {
    const std::pair<int, int> screens[] = {{800, 600},  {1024, 768},  {1280, 1024},
                                           {1366, 768}, {1920, 1080}, {2560, 1440}};
    for (const auto& [w, h] : screens) {
        const double W = w * 15.0;
        const double H = h * 15.0;
        const BarLayout bar = barLayout(W, H);
        const std::vector<std::pair<const char*, QRectF>> parts = {
            {"play", rectOf(bar.play)},       {"seek bar", rectOf(bar.seekBar)},
            {"lock", rectOf(bar.lock)},       {"resume", rectOf(bar.resume)},
            {"capture", rectOf(bar.capture)}, {"volume bar", rectOf(bar.volumeBar)}};
        const QRectF inside(0, 0, W, barHeight(H));
        for (size_t i = 0; i < parts.size(); ++i) {
            EXPECT_TRUE(inside.contains(parts[i].second))
                << parts[i].first << " leaves the bar at " << w << "x" << h;
            EXPECT_GT(parts[i].second.width(), 0) << parts[i].first << " at " << w << "x" << h;
            for (size_t j = i + 1; j < parts.size(); ++j) {
                EXPECT_FALSE(parts[i].second.intersects(parts[j].second))
                    << parts[i].first << " covers " << parts[j].first << " at " << w << "x" << h;
            }
        }
    }
}

TEST(FullScreenBar, ButtonsKeepTheirNaturalSizesAndTheBarsRows) {
    const double W = 1024 * 15.0;
    const double H = 768 * 15.0;
    const BarLayout bar = barLayout(W, H);
    EXPECT_EQ(bar.play, (zd::TwipRect{W / 21, H / 22.5, 255, 150}));
    EXPECT_EQ(bar.resume.width, 255);
    EXPECT_EQ(bar.resume.height, 240);
    EXPECT_EQ(bar.resume.top, H / 22.5);
    EXPECT_EQ(bar.capture.left, bar.resume.left);
    EXPECT_EQ(bar.capture.top, H / 13);
    EXPECT_EQ(bar.seekBar.left, W / 13.5);
    EXPECT_EQ(bar.seekBar.height, 135);
    EXPECT_EQ(bar.lock.width, 315);
    EXPECT_EQ(bar.volumeBar.width, 1095);
    // The right end of the row keeps its margin to the screen's edge.
    EXPECT_EQ(bar.resume.left + bar.resume.width, W - 120);
}
