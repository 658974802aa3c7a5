#pragma once

#include <QImage>
#include <QTransform>
#include <array>
#include <cstdint>
#include <vector>

#include "engine/swf/Shapes.h"

namespace zd::engine {

// Colours the pixels of a fill that is not one colour, a run of a row at a time.
class SpanShader {
  public:
    virtual ~SpanShader() = default;
    // The premultiplied colours of the n pixels from (x, y) rightwards, device pixels.
    virtual void shade(int x, int y, int n, QRgb* out) const = 0;
    // Appends to key everything the colours depend on: two shaders with the same key shade
    // alike. False for one that cannot tell.
    virtual bool identity(std::vector<std::uint8_t>& key) const {
        (void)key;
        return false;
    }
};

// A gradient's colour at each of its 256 ratios (straight, not premultiplied): a ratio takes
// the segment that ends at the first record at or past it, so records out of order still give
// what players show; each channel is interpolated on its own, in linear light for linearRgb
// gradients. colours are the records' colours as drawn (after any colour transform).
std::array<QRgb, 256> gradientRamp(const Gradient& g, const std::vector<Rgba>& colours);

// Linear, radial and focal gradients. The ramp is looked up in 1024 steps; linear gradients
// blend between the ratios' centres, radial ones show the ratio a point falls in, as the
// reference pictures have it.
class GradientShader final : public SpanShader {
  public:
    // toDevice maps the gradient square (-16384 to 16384 both ways) to device pixels.
    GradientShader(const FillStyle& style, const std::vector<Rgba>& colours,
                   const QTransform& toDevice);
    // False when the square is squashed flat: the fill then shows its last colour throughout.
    bool valid() const { return valid_; }
    QRgb lastColour() const { return table_.back(); }
    void shade(int x, int y, int n, QRgb* out) const override;
    bool identity(std::vector<std::uint8_t>& key) const override;

  private:
    enum class Kind : std::uint8_t { Linear, Radial, Focal };
    // The table entry for ramp step i (1023 at the ramp's end), after the spread.
    int step(std::int64_t i) const;
    // The table entry for ramp position t (0 to 1 over the ramp).
    int index(double t) const;

    Kind kind_ = Kind::Linear;
    std::uint8_t spread_ = Gradient::Pad;
    bool valid_ = false;
    QTransform fromDevice_;
    double focal_ = 0;  // the focal point's x, in units of the radius
    std::array<QRgb, 1024> table_{};
};

// Bitmap fills: nearest pixel or bilinear (smoothed), repeated or clipped to the bitmap. A
// clipped bitmap is drawn inside its own edges only, antialiased along them.
class BitmapShader final : public SpanShader {
  public:
    // image: premultiplied ARGB32; toDevice maps its pixels to device pixels.
    BitmapShader(const QImage& image, const QTransform& toDevice, bool repeat, bool smooth);
    bool valid() const { return valid_; }
    void shade(int x, int y, int n, QRgb* out) const override;
    bool identity(std::vector<std::uint8_t>& key) const override;

  private:
    QRgb edgeCovered(QRgb colour, double u, double v) const;
    // The colour at a pixel centre (u, v) given in bitmap pixels, 16.16 fixed point.
    QRgb sample(std::int64_t u, std::int64_t v) const;
    // The same from a position far out, edges included.
    QRgb shadeOne(double u, double v) const;

    QImage image_;
    const QRgb* pixels_ = nullptr;
    qsizetype stride_ = 0;  // pixels per row
    int width_ = 0;
    int height_ = 0;
    bool repeat_ = false;
    bool smooth_ = false;
    bool valid_ = false;
    QTransform fromDevice_;
    double pixelsPerU_ = 0;  // device pixels per bitmap pixel across each axis
    double pixelsPerV_ = 0;
};

}  // namespace zd::engine
