#pragma once

#include <QRgb>
#include <QtGlobal>
#include <vector>

class QWidget;

namespace zd {

inline constexpr int kGradientBands = 63;

// One filled band of the skin gradient, in the target's own units (twips).
struct GradientBand {
    int top = 0;
    int bottom = 0;
    int red = 0;
    int green = 0;
    int blue = 0;
};

// The 63 bands over a target `width` x `height` units: band height = height / 63 rounded
// half to even; the first band at the top (topDown) or at the bottom, each further band 4 steps
// darker in every colour part down to 0. The colour parts are lowered in place, as the
// painter's callers see them afterwards. Colour parts above 255 paint as 255.
std::vector<GradientBand> gradientBands(int height, qint32& red, qint32& green, qint32& blue,
                                        bool topDown);

// PaintGradient: paints the bands across the whole width of a picture box or form (its
// persistent drawing surface) and lowers the caller's colour values.
void PaintGradient(QWidget* target, qint32& red, qint32& green, qint32& blue, bool topDown);

// The skin of the program's windows: the gradient's colour values as painted (the colour page's
// slider positions + 50) and its direction.
struct SkinColours {
    qint32 red = 0;
    qint32 green = 0;
    qint32 blue = 0;
    bool topDown = true;
    bool operator==(const SkinColours&) const = default;
};

// PaintGradient with the skin's colours, each call starting again from them.
void paintSkin(QWidget* target, const SkinColours& colours);

}  // namespace zd
