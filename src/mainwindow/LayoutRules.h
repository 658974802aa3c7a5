#pragma once

#include <QString>
#include <optional>

#include "controls/Twips.h"

// The arithmetic of the main window's proportional layout, free of widgets: reading a layout
// tag, scaling a control's reference rectangle and font, and the steps of the enlarge and
// shrink buttons.
namespace zd::layout {

// A control's reference geometry as its tag holds it (twips) and its font size (points).
struct LayoutTag {
    double left = 0;
    double top = 0;
    double width = 0;
    double height = 0;
    double fontSize = 0;
    bool operator==(const LayoutTag&) const = default;
};

// Reads up to five numbers from a tag: each number is the text up to the next blank; a number
// without a following blank counts 0 (so a missing font size is 0 and an empty tag gives five
// zeros). Text that is not a number also counts 0.
LayoutTag parseLayoutTag(const QString& tag);

// The tag text for a geometry: each number followed by one blank; the font size only when the
// control has a font.
QString formatLayoutTag(const TwipRect& rect, std::optional<double> fontSize);

struct ScaleFactors {
    double x = 1;
    double y = 1;
    // Fonts follow the smaller factor.
    double font() const { return x >= y ? y : x; }
};

// Current client size against the reference taken at start-up; nullopt while no reference
// was taken (either reference is 0). A minimised window gives factors of 0.
std::optional<ScaleFactors> scaleFactors(double scaleWidth, double scaleHeight, qint32 refWidth,
                                         qint32 refHeight);

TwipRect scaledRect(const LayoutTag& tag, const ScaleFactors& factors);
double scaledFontSize(const LayoutTag& tag, const ScaleFactors& factors);

// The counter labels keep this height whatever the window's height.
inline constexpr double kCounterLabelHeight = 255;

// Enlarge and shrink buttons: one timer tick's change of the window size.
inline constexpr double kStepWidth = 450;
inline constexpr double kStepHeight = 300;
inline constexpr double kShrinkLimitHeight = 5500;
inline constexpr double kShrunkWidth = 5220;
inline constexpr double kShrunkHeight = 5325;

struct WindowSize {
    double width = 0;
    double height = 0;
    bool operator==(const WindowSize&) const = default;
};

struct SizeStep {
    WindowSize size;
    bool stop = false;  // the timer turns itself off after this step
};

// One enlarge step: 450 x 300 twips larger, never beyond the screen (the window system keeps a
// window within the screen's size); stops once the window exactly fills the screen.
SizeStep enlargeStep(WindowSize current, WindowSize screen);
// One shrink step: 450 x 300 twips smaller; once the height falls below 5500 the window snaps
// to 5220 x 5325 and the shrinking stops.
SizeStep shrinkStep(WindowSize current);

// The window covers the whole screen exactly (it then belongs at the origin).
bool fillsScreen(WindowSize window, WindowSize screen);

}  // namespace zd::layout
