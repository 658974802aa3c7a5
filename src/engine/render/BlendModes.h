#pragma once

// The blend modes of PlaceObject3: compositing an object's picture onto what lies below it.
//
// Every mode but Normal works on the object as one picture: the caller renders the object
// (a sprite with its children composited normally among themselves, filters applied) into a
// transparent premultiplied layer, then composites that layer with compositeLayer().
//
// What the caller must do per mode:
// - Normal: draw directly (no layer needed); compositeLayer does plain "over" too.
// - Layer: the object's children are drawn into their own transparent layer (a transparency
//   group), which is then composited Normal. It is also what Alpha and Erase children need.
// - Multiply ... Subtract, Invert, Overlay, Hardlight: composite the layer onto the backdrop,
//   the pixels already drawn beneath the object (in the enclosing layer, or the stage).
// - Alpha and Erase act on the backdrop's alpha: they only make sense inside a parent whose
//   blend mode is Layer, and the backdrop given must be that parent's layer image (what the
//   parent's children below this one drew into it), never the stage. Without such a parent
//   the reference player draws these objects as Normal: so does drawsAsNormal() say.
//
// All images are Format_ARGB32_Premultiplied.

#include <QImage>
#include <QPoint>
#include <cstdint>

namespace zd::engine {

// The values of PlaceObject3's BlendMode byte (0 also means Normal).
enum class BlendMode : std::uint8_t {
    Normal = 1,
    Layer = 2,
    Multiply = 3,
    Screen = 4,
    Lighten = 5,
    Darken = 6,
    Difference = 7,
    Add = 8,
    Subtract = 9,
    Invert = 10,
    Alpha = 11,
    Erase = 12,
    Overlay = 13,
    Hardlight = 14,
};

// The stored byte as a mode: 0 and the reserved values 15..255 are Normal.
BlendMode blendModeFromByte(std::uint8_t value);
// The mode's name as the ActionScript blendMode property spells it ("normal", "hardlight").
const char* blendModeName(BlendMode mode);

// True when the object must be rendered into its own layer first (every mode but Normal).
bool needsOwnLayer(BlendMode mode);
// True for Alpha and Erase, which change the parent's layer rather than add to it.
bool needsParentLayer(BlendMode mode);
// Alpha and Erase without a parent layer draw as Normal.
inline bool drawsAsNormal(BlendMode mode, bool parentHasLayer) {
    return mode == BlendMode::Normal || (needsParentLayer(mode) && !parentHasLayer);
}

// One premultiplied source pixel (the object) over one premultiplied backdrop pixel.
QRgb blendPixel(QRgb source, QRgb backdrop, BlendMode mode);

// Composites `layer` onto `backdrop` with its top-left corner at `at` (backdrop pixels),
// clipped to the backdrop. opacity (0..1) scales the layer first, for an object's own alpha
// when the caller has not applied it already. Both images are converted to
// Format_ARGB32_Premultiplied if they are not (the backdrop in place).
void compositeLayer(QImage& backdrop, const QImage& layer, QPoint at, BlendMode mode,
                    double opacity = 1.0);

}  // namespace zd::engine
