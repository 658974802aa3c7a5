#pragma once

#include <QColor>
#include <QImage>
#include <QPainterPath>
#include <QRectF>
#include <QTransform>
#include <array>
#include <map>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

#include "engine/player/DisplayTree.h"
#include "engine/render/CoverageRasterizer.h"
#include "engine/render/DeviceFonts.h"
#include "engine/render/Rasterizer.h"
#include "engine/render/RenderHooks.h"
#include "engine/render/ShapePaths.h"
#include "engine/render/SpanShaders.h"

class QPainter;

namespace zd::engine {

class StagePlayer;

// A colour transform chain collapsed into one table per channel (r, g, b, a). Each level
// multiplies, adds and clamps in turn, as the display tree applies them from the object up.
class ColorLut {
  public:
    ColorLut();
    // This table followed by an outer transform (a parent's, applied after).
    ColorLut then(const ColorTransform& outer) const;
    // A transform applied first, then this table (a child's inside this one's).
    ColorLut after(const ColorTransform& inner) const;
    bool identity() const { return identity_; }
    Rgba apply(Rgba c) const;
    QColor color(Rgba c) const;
    // Applies the table to a premultiplied image (in place).
    void apply(QImage& image) const;

    static std::uint8_t transformChannel(std::uint8_t value, std::int16_t mult, std::int16_t add);

  private:
    std::array<std::array<std::uint8_t, 256>, 4> lut_{};
    bool identity_ = true;
};

struct RenderOptions {
    bool antialias = true;  // off: the low quality the format allows (no smoothing either)
};

// Draws display trees with QPainter into premultiplied ARGB images. It caches the outlines
// of shapes, glyphs and morph steps and the decoded bitmaps between frames.
class Renderer {
  public:
    explicit Renderer(RenderHooks hooks = {});
    ~Renderer();
    Renderer(const Renderer&) = delete;
    Renderer& operator=(const Renderer&) = delete;

    void setHooks(RenderHooks hooks) { hooks_ = std::move(hooks); }
    void setOptions(const RenderOptions& options) { options_ = options; }
    const RenderOptions& options() const { return options_; }

    // Paints a frame into image (Format_ARGB32_Premultiplied): the background over the whole
    // target, then the stage's display tree scaled "ShowAll" into target.
    void renderStage(QImage& image, const QRectF& target, StagePlayer& player, const Rect& stage,
                     const QColor& background);
    // Draws a timeline's objects into image, twips mapped to the image by toDevice.
    void renderTimeline(QImage& image, const Timeline& timeline, const QTransform& toDevice,
                        DisplayContext& context);
    // Forgets cached outlines and bitmaps (a new movie).
    void clearCaches();

    // Where an object's picture falls on the device, strokes included (empty for nothing).
    QRectF deviceBounds(const DisplayObject& object, const QTransform& toDevice,
                        DisplayContext& context, int nesting = 0);

  private:
    struct Surface;
    struct State;
    using ObjectMap = std::map<std::uint16_t, DisplayObject>;

    void drawList(Surface& s, const ObjectMap& objects, ObjectMap::const_iterator begin,
                  ObjectMap::const_iterator end, const State& state);
    void drawObject(Surface& s, const DisplayObject& object, const State& parent);
    void drawMasked(Surface& s, const DisplayObject& mask, ObjectMap::const_iterator begin,
                    ObjectMap::const_iterator end, const ObjectMap& objects, const State& state);
    void drawCharacter(Surface& s, const DisplayObject& object, const State& state);
    void drawLayered(Surface& s, const DisplayObject& object, const State& state);
    void drawShapePaths(Surface& s, const ShapePaths& paths, const State& state);
    void drawText(Surface& s, const TextDefinition& text, const State& state);
    void drawEditText(Surface& s, const EditTextDefinition& text, const State& state);
    void drawBitmapCharacter(Surface& s, const Character& c, const State& state);
    // Antialiased drawing: the outline in coverage_ painted with the style. device maps the
    // style's matrix into the surface's image.
    void fillCoverage(Surface& s, bool nonZero, const FillStyle& style, const QTransform& device,
                      const State& state);
    // A line outlined by our stroker and filled like any fill.
    void strokeLine(Surface& s, const ShapePaths::Stroke& line, const QTransform& device,
                    const State& state);
    // A glyph's outline (winding rule) mapped by glyph, in one colour, antialiased.
    void fillGlyph(Surface& s, const QPainterPath& outline, const QTransform& glyph,
                   const QColor& colour);
    // The shader for a gradient or bitmap fill; null for one painted in one colour, which
    // solid then holds (premultiplied; transparent for nothing at all).
    std::unique_ptr<SpanShader> fillShader(const FillStyle& style, const QTransform& device,
                                           const State& state, QRgb& solid, bool smooth);
    // Aliased drawing: the pixels whose centres the outline covers, painted with the style.
    // device maps the outline (and the style's matrix) into the surface's image.
    void fillAliased(Surface& s, const Polygons& outline, bool nonZero, const QTransform& device,
                     const FillStyle& style, const State& state,
                     const std::optional<QRect>& clip = std::nullopt);
    void paintSpans(Surface& s, const std::vector<AliasedRasterizer::Span>& spans,
                    const FillStyle& style, const QTransform& device, const State& state);

    // An embedded font by name and style (the field's own font preferred), else any of that
    // name; null when none has glyphs.
    CharacterPtr findFont(const std::string& face, bool bold, bool italic,
                          std::optional<std::uint16_t> preferred);
    const ShapePaths& shapePaths(const CharacterPtr& c, std::uint16_t ratio);
    const std::vector<QPainterPath>& glyphPaths(const CharacterPtr& font);
    // A glyph's outline cut into chords (empty for an index it does not have).
    const Polygons& glyphPolygons(const CharacterPtr& font, std::size_t index);
    // The decoded bitmap (null when it cannot be had).
    const QImage& bitmap(std::uint16_t id);
    QImage transformedBitmap(std::uint16_t id, const ColorLut& lut);
    // declared: the bounds the definitions give, without room for thin strokes.
    QRectF characterBounds(const DisplayObject& object, DisplayContext& context, int nesting,
                           bool declared = false);

    RenderHooks hooks_;
    RenderOptions options_;
    DisplayContext* context_ = nullptr;
    double stageScale_ = 1.0;  // device pixels per stage pixel
    std::size_t drawn_ = 0;    // objects drawn this frame
    int layers_ = 0;           // offscreen layers open now

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
    CoverageRasterizer coverage_;  // its buffers kept between fills
    std::unordered_map<std::uint16_t, QImage> bitmaps_;
};

}  // namespace zd::engine
