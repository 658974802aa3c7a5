#pragma once

#include <QImage>
#include <QPainterPath>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "engine/player/Dictionary.h"
#include "engine/render/ColorLut.h"
#include "engine/render/DeviceFonts.h"
#include "engine/render/Rasterizer.h"
#include "engine/render/RenderHooks.h"
#include "engine/render/ShapePaths.h"

namespace zd::engine {

class DisplayContext;

// What drawing a movie's characters needs again from frame to frame: the outlines of shapes,
// morph steps and glyphs, decoded bitmaps, fonts found by name. Kept until clear() (a new
// movie). Characters are looked up in the context given for the frame.
class CharacterCache {
  public:
    // hooks: where bitmaps are decoded (read at each decode; may change).
    explicit CharacterCache(const RenderHooks& hooks) : hooks_(hooks) {}

    void setContext(DisplayContext* context) { context_ = context; }
    DisplayContext* context() const { return context_; }
    void clear();
    // Lets go of morph steps when too many have piled up (movies morph continuously).
    void trim();

    // A shape's outlines, or a morph's at that ratio.
    const ShapePaths& shapePaths(const CharacterPtr& c, std::uint16_t ratio);
    // A font's glyph outlines, in font units.
    const std::vector<QPainterPath>& glyphPaths(const CharacterPtr& font);
    // A glyph's outline cut into chords (empty for an index it does not have).
    const Polygons& glyphPolygons(const CharacterPtr& font, std::size_t index);
    // The decoded bitmap (null when it cannot be had).
    const QImage& bitmap(std::uint16_t id);
    QImage transformedBitmap(std::uint16_t id, const ColorLut& lut);
    // An embedded font by name and style (the field's own font preferred), else any of that
    // name; null when none has glyphs.
    CharacterPtr findFont(const std::string& face, bool bold, bool italic,
                          std::optional<std::uint16_t> preferred);
    // The character with that id in the current context (null without one).
    CharacterPtr character(std::uint16_t id);
    DeviceFonts& deviceFonts() { return deviceFonts_; }

  private:
    const RenderHooks& hooks_;
    DisplayContext* context_ = nullptr;
    std::unordered_map<const Character*, std::pair<CharacterPtr, ShapePaths>> shapes_;
    std::map<std::pair<const Character*, std::uint16_t>, std::pair<CharacterPtr, ShapePaths>>
        morphs_;
    struct Glyphs {
        CharacterPtr font;
        std::vector<QPainterPath> paths;
        std::vector<std::optional<Polygons>> polygons;
    };
    std::unordered_map<const Character*, Glyphs> glyphs_;
    DeviceFonts deviceFonts_;
    std::unordered_map<std::uint16_t, QImage> bitmaps_;
};

}  // namespace zd::engine
