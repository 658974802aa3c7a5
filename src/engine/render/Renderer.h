#pragma once

#include <QColor>
#include <QImage>
#include <QRectF>
#include <QTransform>
#include <functional>

#include "engine/player/DisplayTree.h"
#include "engine/render/CharacterCache.h"
#include "engine/render/ColorLut.h"
#include "engine/render/RenderHooks.h"
#include "engine/render/RenderTypes.h"
#include "engine/render/ShapePainter.h"
#include "engine/video/VideoPictures.h"

namespace zd::engine {

class StagePlayer;
struct TextLayout;

// Draws display trees into premultiplied ARGB images: the walk down the tree with its masks,
// layers, filters and blend modes, and the characters at its leaves. Shapes are painted by a
// ShapePainter, edit text is laid out by layoutEditText; what they need again from frame to
// frame is kept in a CharacterCache.
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
    // Draws a timeline's objects into image, twips mapped to the image by toDevice. Placed:
    // the owner's own matrix and colour transform apply too (a level on the stage); not: the
    // timeline is drawn in its owner's own coordinates (a clip drawn into a bitmap).
    void renderTimeline(QImage& image, const Timeline& timeline, const QTransform& toDevice,
                        DisplayContext& context, bool placed = true);
    // Forgets cached outlines, bitmaps and video decoders (a new movie).
    void clearCaches();
    // Videos on the stage drawn so far, each with a decoder of its own.
    std::size_t videoDecoders() const { return videos_.players(); }

    // Where an object's picture falls on the device, strokes included (empty for nothing).
    QRectF deviceBounds(const DisplayObject& object, const QTransform& toDevice,
                        DisplayContext& context, int nesting = 0);

  private:
    using ObjectMap = Timeline::List;
    using Surface = RenderSurface;
    using State = RenderState;

    // The yellow frame around the object the keyboard focus is on, while it shows.
    void drawFocusHighlight(QImage& image, const QTransform& toDevice, DisplayContext& context);

    void drawList(Surface& s, const ObjectMap& objects, ObjectMap::const_iterator begin,
                  ObjectMap::const_iterator end, const State& state);
    void drawObject(Surface& s, const DisplayObject& object, const State& parent);
    // Draws an object with its own matrix in state, past its scroll rectangle if any.
    void drawContent(Surface& s, const DisplayObject& object, const State& parent, State& state);
    // An object cut to its scroll rectangle, standing where `frame` puts the rectangle.
    void drawScrolled(Surface& s, const DisplayObject& object, const ScrollRect& scroll,
                      const QTransform& frame, const State& parent, State& state);
    void drawOpaqueBackground(Surface& s, const DisplayObject& object, const State& state);
    void drawMasked(Surface& s, const DisplayObject& mask, ObjectMap::const_iterator begin,
                    ObjectMap::const_iterator end, const ObjectMap& objects, const State& state);
    void drawCharacter(Surface& s, const DisplayObject& object, const State& state);
    // tint: a colour transform applied to the whole layer once drawn.
    void drawLayered(Surface& s, const DisplayObject& object, const State& state,
                     const ColorLut* tint = nullptr);
    void snapToPixel(const DisplayObject& object, State& state);
    void drawText(Surface& s, const TextDefinition& text, const State& state);
    void drawEditText(Surface& s, const DisplayObject& object, const State& state);
    // The caret of the focused field, laid out in layout, its text moved by shift twips.
    void drawCaret(Surface& s, const TextFieldModel& field, const TextLayout& layout, double shift,
                   const State& state);
    // The device pixels a mask may cover.
    QRect maskArea(const DisplayObject& mask, const QTransform& toDevice, int nesting);
    // An object a script masked with another (drawn with the mask's place on the stage).
    void drawScriptMasked(Surface& s, const DisplayObject& object, const DisplayObject& mask,
                          const State& state);
    // A transparent picture of a device area holding what draw paints there.
    QImage drawnLayer(const QRect& area, const std::function<void(Surface&)>& draw);
    // Draws `content` into a layer and keeps what `mask` covers of it within area.
    void drawThroughMask(Surface& s, const QRect& area,
                         const std::function<void(Surface&)>& content,
                         const std::function<void(Surface&)>& mask);
    void drawBitmapCharacter(Surface& s, const Character& c, const State& state);
    void drawScriptBitmap(Surface& s, const ScriptBitmap& b, const State& state);
    void drawVideo(Surface& s, const DisplayObject& object, const State& state);

    RenderHooks hooks_;
    RenderOptions options_;
    DisplayContext* context_ = nullptr;
    double stageScale_ = 1.0;  // device pixels per stage pixel
    QTransform rootXform_;     // the stage's twips to the device
    std::size_t drawn_ = 0;    // objects drawn this frame
    int layers_ = 0;           // offscreen layers open now
    CharacterCache cache_{hooks_};
    ShapePainter shapes_{cache_, options_};
    VideoPictures videos_;
};

}  // namespace zd::engine
