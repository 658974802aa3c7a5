#include "app/Gradient.h"

#include <QPainter>
#include <cmath>
#include <limits>

#include "controls/Form.h"
#include "controls/PictureBox.h"
#include "controls/Twips.h"

namespace zd {

namespace {

// The painter's coordinates are 16-bit; a target beyond that range cannot be painted.
bool fits16(double value) {
    return value >= -32768 && value <= 32767;
}

int roundHalfEven(double value) {
    return static_cast<int>(std::nearbyint(value));
}

int clampColour(qint32 part) {
    return std::clamp(part, 0, 255);
}

}  // namespace

std::vector<GradientBand> gradientBands(int height, qint32& red, qint32& green, qint32& blue,
                                        bool topDown) {
    std::vector<GradientBand> bands;
    if (!fits16(height))
        return bands;
    const int h = roundHalfEven(static_cast<double>(height) / kGradientBands);
    int top = topDown ? 0 : height - h;
    bands.reserve(kGradientBands);
    for (int i = 0; i < kGradientBands; ++i) {
        bands.push_back({top, top + h, clampColour(red), clampColour(green), clampColour(blue)});
        red = std::max(0, red - 4);
        green = std::max(0, green - 4);
        blue = std::max(0, blue - 4);
        top = topDown ? top + h : top - h;
    }
    return bands;
}

void PaintGradient(QWidget* target, qint32& red, qint32& green, qint32& blue, bool topDown) {
    if (!target)
        return;
    QImage* canvas = nullptr;
    if (auto* picture = qobject_cast<PictureBox*>(target)) {
        canvas = &picture->canvas();
    } else if (auto* form = qobject_cast<Form*>(target)) {
        canvas = &form->canvas();
    }
    if (!canvas)
        return;
    const TwipRect size = twipsGeometry(target);
    const int width = roundHalfEven(size.width);
    const int height = roundHalfEven(size.height);
    if (!fits16(width))
        return;
    const std::vector<GradientBand> bands = gradientBands(height, red, green, blue, topDown);
    QPainter p(canvas);
    for (const GradientBand& band : bands) {
        // A filled box from (0, top) to (width, bottom), both corners included.
        const int x1 = toPixelsX(width);
        const int y0 = toPixelsY(band.top);
        const int y1 = toPixelsY(band.bottom);
        p.fillRect(QRect(QPoint(0, y0), QPoint(x1, y1)), QColor(band.red, band.green, band.blue));
    }
    p.end();
    target->update();
}

void paintSkin(QWidget* target, const SkinColours& colours) {
    qint32 red = colours.red;
    qint32 green = colours.green;
    qint32 blue = colours.blue;
    PaintGradient(target, red, green, blue, colours.topDown);
}

}  // namespace zd
