#pragma once

#include <QByteArray>
#include <QPainterPath>
#include <QRawFont>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <unordered_map>

#include "engine/render/Rasterizer.h"

namespace zd::engine {

// A font's height above and below the baseline, as fractions of its em.
struct FontExtent {
    double ascent = 0;
    double descent = 0;
};

// The line extent a font's "hhea" table gives, scaled by the em of its "head" table; none
// when either table is too short or the em is zero.
std::optional<FontExtent> horizontalExtent(const QByteArray& hhea, const QByteArray& head);

// A font of the system standing in for one the movie names but does not carry. Its glyphs
// are outlines in units of kUnitsPerEm, cut into chords as embedded glyphs are, so device
// text lays out and rasterizes like embedded text.
class DeviceFont {
  public:
    static constexpr double kUnitsPerEm = 1024.0;

    struct Glyph {
        QPainterPath outline;  // y down, origin on the baseline
        Polygons polygons;
        double advance = 0;
    };

    explicit DeviceFont(QRawFont raw);

    bool usable() const { return raw_.isValid(); }
    double ascent() const { return extent_.ascent * kUnitsPerEm; }
    double descent() const { return extent_.descent * kUnitsPerEm; }
    // Null when the font has no glyph for the character.
    const Glyph* glyph(char32_t code);

  private:
    QRawFont raw_;
    FontExtent extent_;
    std::unordered_map<char32_t, std::optional<Glyph>> glyphs_;
};

// The device fonts in use, one per face and style, kept for the renderer's life.
class DeviceFonts {
  public:
    // The font for a face as movies name it ("_sans", "_serif", "_typewriter" or a family);
    // an unknown family falls back to the system's sans serif. Null when there are no system
    // fonts to be had (no GUI application).
    DeviceFont* font(const std::string& face, bool bold, bool italic);

  private:
    std::map<std::tuple<std::string, bool, bool>, std::unique_ptr<DeviceFont>> fonts_;
};

}  // namespace zd::engine
