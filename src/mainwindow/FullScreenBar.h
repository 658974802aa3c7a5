#pragma once

#include "controls/Twips.h"

// Where the buttons of the full-screen bar go, free of widgets. The bar is the main panel moved
// to the bottom of the screen; its buttons keep their natural (design) sizes, stand in two rows
// at the heights the bar was made with (a twenty-second and a thirteenth of the screen's height
// down the panel), and are placed along the rows so that none covers another or leaves the
// screen, at any common screen size.
namespace zd::fullscreen {

struct BarLayout {
    TwipRect play;       // the play and pause buttons (one place)
    TwipRect seekBar;    // from after the play button to before the lock
    TwipRect lock;       // the two lock images (one place)
    TwipRect resume;     // at the right end of the first row
    TwipRect capture;    // under the resume button
    TwipRect volumeBar;  // before the capture button, on its row
};

// The bar's own height on a screen `screenHeight` twips high: from H / 1.1278 to the bottom.
double barHeight(double screenHeight);

// The layout on a screen `screenWidth` x `screenHeight` twips; positions relative to the bar.
BarLayout barLayout(double screenWidth, double screenHeight);

}  // namespace zd::fullscreen
