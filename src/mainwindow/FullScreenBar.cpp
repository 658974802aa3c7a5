#include "mainwindow/FullScreenBar.h"

namespace zd::fullscreen {

namespace {

// The buttons' natural sizes: their design sizes (twips).
constexpr double kPlayWidth = 255;
constexpr double kPlayHeight = 150;
constexpr double kSeekBarHeight = 135;
constexpr double kLockWidth = 315;
constexpr double kLockHeight = 330;
constexpr double kButtonWidth = 255;  // resume and capture
constexpr double kButtonHeight = 240;
constexpr double kVolumeWidth = 1095;
constexpr double kVolumeHeight = 90;
// Room kept to the screen's right edge, and between neighbours in a row.
constexpr double kMargin = 120;
constexpr double kGap = 90;

}  // namespace

double barHeight(double screenHeight) {
    return screenHeight - screenHeight / 1.1278;
}

BarLayout barLayout(double screenWidth, double screenHeight) {
    const double W = screenWidth;
    const double H = screenHeight;
    const double firstRow = H / 22.5;
    const double secondRow = H / 13;
    BarLayout bar;
    bar.resume = {W - kMargin - kButtonWidth, firstRow, kButtonWidth, kButtonHeight};
    bar.capture = {bar.resume.left, secondRow, kButtonWidth, kButtonHeight};
    bar.lock = {bar.resume.left - kGap - kLockWidth, firstRow, kLockWidth, kLockHeight};
    bar.play = {W / 21, firstRow, kPlayWidth, kPlayHeight};
    const double seekLeft = W / 13.5;
    bar.seekBar = {seekLeft, firstRow, bar.lock.left - kGap - seekLeft, kSeekBarHeight};
    bar.volumeBar = {bar.capture.left - kGap - kVolumeWidth,
                     secondRow + (kButtonHeight - kVolumeHeight) / 2, kVolumeWidth, kVolumeHeight};
    return bar;
}

}  // namespace zd::fullscreen
