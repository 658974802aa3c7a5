#pragma once

#include <QColor>
#include <QImage>
#include <array>
#include <cstdint>

#include "engine/swf/Records.h"

namespace zd::engine {

// A colour transform chain collapsed into one table per channel (r, g, b, a). Each level
// multiplies, adds and clamps in turn, as the display tree applies them from the object up.
class ColorLut {
  public:
    ColorLut();
    // This table followed by an outer transform (a parent's, applied after).
    ColorLut then(const ColorTransform& outer) const;
    // A transform applied first, then this table (a child's inside this one's).
    ColorLut after(const ColorTransform& inner) const;
    // The same with the transform's products rounded to nearest (as a cached bitmap is
    // tinted), not down.
    ColorLut afterRounded(const ColorTransform& inner) const;
    bool identity() const { return identity_; }
    Rgba apply(Rgba c) const;
    QColor color(Rgba c) const;
    // Applies the table to a premultiplied image (in place).
    void apply(QImage& image) const;

    static std::uint8_t transformChannel(std::uint8_t value, std::int16_t mult, std::int16_t add);

  private:
    ColorLut afterWith(const ColorTransform& inner, bool rounded) const;

    std::array<std::array<std::uint8_t, 256>, 4> lut_{};
    bool identity_ = true;
};

}  // namespace zd::engine
