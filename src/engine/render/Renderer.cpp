#include "engine/render/Renderer.h"

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <mutex>
#include <vector>
#ifdef __GLIBC__
#include <malloc.h>
#endif

#include "engine/player/StagePlayer.h"
#include "engine/render/BlendModes.h"
#include "engine/render/Bounds.h"
#include "engine/render/PixelBlend.h"
#include "engine/render/StageRenderer.h"
#include "engine/render/TextLayout.h"

namespace zd::engine {

namespace {

// Objects drawn in one frame at most; a hostile tree is cut off there.
constexpr std::size_t kMaxDrawsPerFrame = 200000;
// Offscreen layers (masks, blend modes, filters) open at once at most; each may be as large
// as the picture.
constexpr int kMaxNestedLayers = 8;

// Counts a layer open for as long as it lives.
struct LayerScope {
    explicit LayerScope(int& count) : count_(count) { ++count_; }
    ~LayerScope() { --count_; }
    LayerScope(const LayerScope&) = delete;
    LayerScope& operator=(const LayerScope&) = delete;
    int& count_;
};

// Every frame allocates and frees layers and filter planes of several megabytes. By default
// glibc hands blocks that large back to the system at once and takes a page fault for every
// page of the next one (about a tenth of the time of a filtered movie); kept in the heap they
// are reused as they are.
void keepFrameSizedBlocks() {
#ifdef __GLIBC__
    static std::once_flag once;
    std::call_once(once, [] {
        mallopt(M_MMAP_THRESHOLD, 32 << 20);
        mallopt(M_TRIM_THRESHOLD, 256 << 20);
    });
#endif
}

// The pixel an edge falls on, for cuts and fills on whole pixels: one halfway between two
// pixels takes the lower one.
int snappedEdge(double v) {
    return static_cast<int>(std::clamp(std::ceil(v - 0.5), -1e8, 1e8));
}

}  // namespace

Renderer::Renderer(RenderHooks hooks) : hooks_(std::move(hooks)) {
    keepFrameSizedBlocks();
}

Renderer::~Renderer() = default;

void Renderer::clearCaches() {
    cache_.clear();
    videos_.clear();
}

void Renderer::renderStage(QImage& image, const QRectF& target, StagePlayer& player,
                           const Rect& stage, const QColor& background) {
    {
        QPainter p(&image);
        p.fillRect(target, background);
    }
    if (player.frame() < 0) {
        return;
    }
    const QTransform toDevice = stageTransform(stage, target);
    renderTimeline(image, player.rootTimeline(), toDevice, player.context());
    drawFocusHighlight(image, toDevice, player.context());
}

void Renderer::drawFocusHighlight(QImage& image, const QTransform& toDevice,
                                  DisplayContext& context) {
    const DisplayObject* o = context.find(context.highlighted());
    if (o == nullptr || o->removed()) {
        return;
    }
    QTransform toStage;
    for (const DisplayObject* p = o; p != nullptr && !p->isRoot(); p = p->parent()) {
        toStage = toStage * toQt(p->matrix());
    }
    cache_.setContext(&context);
    // A button's frame is around where it answers the pointer, whatever it shows.
    const bool button = o->character() && o->character()->kind == Character::Kind::Button;
    const QRectF local =
        button ? buttonHitBounds(*o, cache_) : characterBounds(*o, cache_, 0, true);
    if (local.isEmpty()) {
        return;
    }
    const QRectF r = (toStage * toDevice).mapRect(local);
    if (!std::isfinite(r.left()) || !std::isfinite(r.right()) || !std::isfinite(r.top()) ||
        !std::isfinite(r.bottom())) {
        return;
    }
    // A yellow frame three stage pixels wide, inside the bounds (far edges held where the
    // painter still clips them away).
    auto edge = [](double v) { return static_cast<int>(std::lround(std::clamp(v, -1e6, 1e6))); };
    const QRect bounded(QPoint(edge(r.left()), edge(r.top())),
                        QPoint(edge(r.right()) - 1, edge(r.bottom()) - 1));
    if (bounded.isEmpty()) {
        return;
    }
    const int width =
        std::max(1, static_cast<int>(std::lround(3.0 * transformScale(toDevice) * 20.0)));
    QPainter p(&image);
    const QColor yellow(255, 255, 0);
    p.fillRect(QRect(bounded.left(), bounded.top(), bounded.width(), width), yellow);
    p.fillRect(QRect(bounded.left(), bounded.bottom() - width + 1, bounded.width(), width), yellow);
    p.fillRect(QRect(bounded.left(), bounded.top(), width, bounded.height()), yellow);
    p.fillRect(QRect(bounded.right() - width + 1, bounded.top(), width, bounded.height()), yellow);
}

void Renderer::renderTimeline(QImage& image, const Timeline& timeline, const QTransform& toDevice,
                              DisplayContext& context, bool placed) {
    context_ = &context;
    cache_.setContext(&context);
    drawn_ = 0;
    stageScale_ = transformScale(toDevice) * 20.0;
    shapes_.setStageScale(stageScale_);
    QPainter painter(&image);
    Surface s;
    s.image = &image;
    s.painter = &painter;
    s.visible = image.rect();
    State state;
    // Scripts may move and tint the root as any clip.
    state.xform = placed ? toQt(timeline.owner().matrix()) * toDevice : toDevice;
    if (!sane(state.xform)) {
        state.xform = toDevice;
    }
    if (placed) {
        state.lut = state.lut.after(timeline.owner().colorTransform());
    }
    rootXform_ = state.xform;
    if (const CharacterPtr& drawing = timeline.owner().drawing()) {
        shapes_.drawShapePaths(s, cache_.shapePaths(drawing, 0), state);
    }
    drawList(s, timeline.objects(), timeline.objects().begin(), timeline.objects().end(), state);
    cache_.trim();
    videos_.trim(context);
}

void Renderer::drawList(Surface& s, const ObjectMap& objects, ObjectMap::const_iterator begin,
                        ObjectMap::const_iterator end, const State& state) {
    for (auto it = begin; it != end;) {
        const DisplayObject& o = *it->second;
        ++it;
        if (o.masksByScript() && !state.maskMode) {
            continue;  // shows only as the mask of what a script masked with it
        }
        // A script's masks take the place of the timeline's.
        if (!o.isMask() || o.scriptMask() != kNoInstance) {
            const DisplayObject* scriptMask =
                o.scriptMask() != kNoInstance ? context_->find(o.scriptMask()) : nullptr;
            if (scriptMask != nullptr && !state.maskMode) {
                drawScriptMasked(s, o, *scriptMask, state);
            } else {
                drawObject(s, o, state);
            }
            continue;
        }
        // A mask covers the depths above it up to its clip depth.
        auto last = it;
        while (last != end && last->first <= *o.clipDepth()) {
            ++last;
        }
        drawMasked(s, o, it, last, objects, state);
        it = last;
    }
}

void Renderer::drawObject(Surface& s, const DisplayObject& o, const State& parent) {
    if (!o.visible() || !o.character() || ++drawn_ > kMaxDrawsPerFrame) {
        return;
    }
    State state = parent;
    state.xform = toQt(o.matrix()) * parent.xform;
    if (!sane(state.xform)) {
        return;
    }
    if (const auto& scroll = o.scrollRect()) {
        const QTransform frame = state.xform;  // where the rectangle stands
        state.xform = QTransform::fromTranslate(-scroll->x, -scroll->y) * frame;
        // As a mask the content only moves: nothing of it is cut away.
        if (!parent.maskMode) {
            drawScrolled(s, o, *scroll, frame, parent, state);
            return;
        }
    }
    drawContent(s, o, parent, state);
}

void Renderer::drawScrolled(Surface& s, const DisplayObject& o, const ScrollRect& scroll,
                            const QTransform& frame, const State& parent, State& state) {
    const QRectF rect(0, 0, scroll.width, scroll.height);
    if (!(scroll.width > 0 && scroll.height > 0)) {
        return;
    }
    const QRectF device = frame.mapRect(rect);
    // Upright, the rectangle keeps whole pixels.
    const bool upright = frame.m12() == 0 && frame.m21() == 0;
    const QRect cut(QPoint(snappedEdge(device.left()), snappedEdge(device.top())),
                    QPoint(snappedEdge(device.right()) - 1, snappedEdge(device.bottom()) - 1));
    const QRect area = (upright ? cut : device.toAlignedRect()).intersected(s.visible);
    if (area.isEmpty()) {
        return;
    }
    if (layers_ >= kMaxNestedLayers) {
        drawContent(s, o, parent, state);  // too deep for another layer: drawn uncut
        return;
    }
    auto content = [&](Surface& sub) { drawContent(sub, o, parent, state); };
    if (upright) {
        const LayerScope scope(layers_);
        const QImage layer = drawnLayer(area, content);
        s.painter->resetTransform();
        s.painter->drawImage(area.topLeft() - s.origin, layer);
        return;
    }
    drawThroughMask(s, area, content, [&](Surface& sub) {
        sub.setTransform(frame);
        sub.painter->fillRect(rect, Qt::white);
    });
}

void Renderer::drawContent(Surface& s, const DisplayObject& o, const State& parent, State& state) {
    if (!parent.maskMode) {
        state.lut = parent.lut.after(o.colorTransform());
        const BlendMode mode = blendModeFromByte(o.blendMode());
        if (needsParentLayer(mode) && !parent.inLayer) {
            // Alpha and Erase only change the alpha of a layer; on the opaque stage nothing
            // of them shows.
            return;
        }
        const bool blends = !drawsAsNormal(mode, parent.inLayer);
        if (blends || o.filters()) {
            drawLayered(s, o, state);
            return;
        }
        if (o.cacheAsBitmap() && !(o.colorTransform() == ColorTransform{})) {
            // The bitmap is drawn untinted; the colour transform then applies to its pixels,
            // each rounded to the nearest step rather than down.
            const ColorLut tint = parent.lut.afterRounded(o.colorTransform());
            state.lut = ColorLut();
            drawLayered(s, o, state, &tint);
            return;
        }
        if (o.cacheAsBitmap()) {
            snapToPixel(o, state);
        }
    }
    drawCharacter(s, o, state);
}

// Objects drawn as bitmaps of their own (filtered or cached ones) have the corner of their
// bounds on a whole pixel: their edges fall on other pixels than where they were drawn
// straight onto the stage.
void Renderer::snapToPixel(const DisplayObject& o, State& state) {
    // A scrolled object's bitmap starts at its rectangle's corner.
    const auto& scroll = o.scrollRect();
    const QRectF declared = scroll ? QRectF(scroll->x, scroll->y, scroll->width, scroll->height)
                                   : characterBounds(o, cache_, state.nesting, true);
    if (!declared.isEmpty()) {
        const QPointF at = state.xform.mapRect(declared).topLeft();
        state.xform *=
            QTransform::fromTranslate(std::round(at.x()) - at.x(), std::round(at.y()) - at.y());
    }
}

void Renderer::drawCharacter(Surface& s, const DisplayObject& o, const State& state) {
    const Character& c = *o.character();
    if (o.opaqueBackground() && !state.maskMode) {
        drawOpaqueBackground(s, o, state);
    }
    switch (c.kind) {
        case Character::Kind::Shape:
        case Character::Kind::Morph:
            shapes_.drawShapePaths(s, cache_.shapePaths(o.character(), o.ratio()), state);
            break;
        case Character::Kind::Sprite:
        case Character::Kind::Button:
            if (o.drawing()) {
                shapes_.drawShapePaths(s, cache_.shapePaths(o.drawing(), 0), state);
            }
            if (o.timeline() != nullptr) {
                State inner = state;
                ++inner.nesting;
                if (const auto* b = c.as<ButtonDefinition>(); b && b->colorTransform) {
                    inner.lut = inner.lut.after(*b->colorTransform);
                }
                const auto& list = o.timeline()->objects();
                drawList(s, list, list.begin(), list.end(), inner);
            }
            break;
        case Character::Kind::Text:
            drawText(s, *c.as<TextDefinition>(), state);
            break;
        case Character::Kind::EditText:
            drawEditText(s, o, state);
            break;
        case Character::Kind::Bitmap:
            drawBitmapCharacter(s, c, state);
            break;
        case Character::Kind::Video:
            drawVideo(s, o, state);
            break;
        case Character::Kind::Font:
            break;
    }
}

void Renderer::drawMasked(Surface& s, const DisplayObject& mask, ObjectMap::const_iterator begin,
                          ObjectMap::const_iterator end, const ObjectMap& objects,
                          const State& state) {
    if (begin == end || !mask.character()) {
        return;
    }
    const QRect area = maskArea(mask, state.xform, state.nesting).intersected(s.visible);
    if (area.isEmpty()) {
        return;  // nothing of the masked objects can show
    }
    if (layers_ >= kMaxNestedLayers) {
        // Deeper than any real movie goes: the masked objects are drawn unmasked.
        drawList(s, objects, begin, end, state);
        return;
    }
    drawThroughMask(
        s, area, [&](Surface& sub) { drawList(sub, objects, begin, end, state); },
        [&](Surface& sub) {
            State maskState = state;
            maskState.maskMode = true;
            drawObject(sub, mask, maskState);
        });
}

QRect Renderer::maskArea(const DisplayObject& mask, const QTransform& toDevice, int nesting) {
    // A text field masks with all its text, which may run past its box.
    if (mask.character() && mask.character()->kind == Character::Kind::EditText) {
        return QRect(QPoint(-(1 << 28), -(1 << 28)), QPoint(1 << 28, 1 << 28));
    }
    return objectBounds(mask, toDevice, cache_, nesting).toAlignedRect();
}

void Renderer::drawScriptMasked(Surface& s, const DisplayObject& o, const DisplayObject& mask,
                                const State& state) {
    // The mask stands where its own parents put it on the stage.
    QTransform parents;
    for (const DisplayObject* p = mask.parent(); p != nullptr && !p->isRoot(); p = p->parent()) {
        parents = parents * toQt(p->matrix());
    }
    State maskState = state;
    maskState.xform = parents * rootXform_;
    maskState.maskMode = true;
    const QRect area = maskArea(mask, maskState.xform, state.nesting).intersected(s.visible);
    if (area.isEmpty() || !sane(maskState.xform)) {
        return;  // the mask covers nothing that shows
    }
    if (layers_ >= kMaxNestedLayers) {
        drawObject(s, o, state);
        return;
    }
    drawThroughMask(
        s, area, [&](Surface& sub) { drawObject(sub, o, state); },
        [&](Surface& sub) { drawObject(sub, mask, maskState); });
}

QImage Renderer::drawnLayer(const QRect& area, const std::function<void(Surface&)>& draw) {
    QImage layer(area.size(), QImage::Format_ARGB32_Premultiplied);
    layer.fill(Qt::transparent);
    QPainter p(&layer);
    p.setRenderHint(QPainter::Antialiasing, options_.antialias);
    Surface sub{&layer, &p, area.topLeft(), area};
    draw(sub);
    p.end();
    return layer;
}

void Renderer::drawThroughMask(Surface& s, const QRect& area,
                               const std::function<void(Surface&)>& drawContent,
                               const std::function<void(Surface&)>& drawMask) {
    const LayerScope scope(layers_);
    QImage content = drawnLayer(area, drawContent);
    const QImage coverage = drawnLayer(area, drawMask);
    const QPoint at = area.topLeft() - s.origin;
    if (s.image->format() == QImage::Format_ARGB32_Premultiplied && !s.painter->hasClipping() &&
        s.painter->opacity() >= 1.0 &&
        s.painter->compositionMode() == QPainter::CompositionMode_SourceOver &&
        s.image->rect().contains(QRect(at, area.size()))) {
        // Masked and laid over in one pass, skipping what the mask hides, on this thread:
        // the painter hands large images to its worker threads, which costs more than it saves.
        std::vector<std::uint8_t> alpha(static_cast<std::size_t>(area.width()));
        for (int y = 0; y < area.height(); ++y) {
            const auto* maskRow = reinterpret_cast<const QRgb*>(coverage.constScanLine(y));
            bool any = false;
            for (int x = 0; x < area.width(); ++x) {
                alpha[static_cast<std::size_t>(x)] = static_cast<std::uint8_t>(maskRow[x] >> 24);
                any = any || (maskRow[x] >> 24) != 0;
            }
            if (any) {
                blend::shadedCells(reinterpret_cast<QRgb*>(s.image->scanLine(at.y() + y)) + at.x(),
                                   reinterpret_cast<const QRgb*>(content.constScanLine(y)),
                                   alpha.data(), area.width());
            }
        }
        return;
    }
    {
        QPainter p(&content);
        p.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        p.drawImage(0, 0, coverage);
    }
    s.painter->resetTransform();
    s.painter->drawImage(at, content);
}

void Renderer::drawLayered(Surface& s, const DisplayObject& o, const State& state,
                           const ColorLut* tint) {
    if (layers_ >= kMaxNestedLayers) {
        drawCharacter(s, o, state);  // too deep for another layer: drawn as normal
        return;
    }
    const LayerScope scope(layers_);
    QMargins margins;
    if (o.filters() && hooks_.filterMargins && hooks_.applyFilters) {
        margins = hooks_.filterMargins(*o.filters(), stageScale_);
    }
    // state.xform already holds the object's own matrix.
    const QRectF local = characterBounds(o, cache_, state.nesting);
    const QRectF bounds = local.isEmpty() ? QRectF() : state.xform.mapRect(local);
    // Filters move and spread pixels both ways: what lies beyond the visible area by their
    // reach may still show.
    const int reachX = std::max(margins.left(), margins.right());
    const int reachY = std::max(margins.top(), margins.bottom());
    const QRect visibleWithMargins =
        s.visible.marginsAdded(QMargins(reachX, reachY, reachX, reachY));
    const QRect area = bounds.toAlignedRect().marginsAdded(margins).intersected(visibleWithMargins);
    if (area.isEmpty()) {
        return;
    }
    const BlendMode mode = blendModeFromByte(o.blendMode());
    QImage layer = drawnLayer(area, [&](Surface& sub) {
        State inner = state;
        inner.inLayer = inner.inLayer || mode != BlendMode::Normal;
        if (o.filters() || o.cacheAsBitmap()) {
            snapToPixel(o, inner);
        }
        drawCharacter(sub, o, inner);
    });
    if (o.filters() && hooks_.applyFilters) {
        hooks_.applyFilters(layer, *o.filters(), stageScale_);
    }
    if (tint != nullptr) {
        tint->apply(layer);
    }
    const bool special = !drawsAsNormal(mode, state.inLayer) && mode != BlendMode::Layer;
    if (special && hooks_.blend) {
        s.painter->end();
        hooks_.blend(*s.image, area.topLeft() - s.origin, layer, o.blendMode());
        s.painter->begin(s.image);
        s.painter->setRenderHint(QPainter::Antialiasing, options_.antialias);
        return;
    }
    s.painter->resetTransform();
    s.painter->drawImage(area.topLeft() - s.origin, layer);
}

void Renderer::drawOpaqueBackground(Surface& s, const DisplayObject& o, const State& state) {
    const auto& scroll = o.scrollRect();
    const QRectF local = scroll ? QRectF(scroll->x, scroll->y, scroll->width, scroll->height)
                                : characterBounds(o, cache_, state.nesting, true);
    if (local.isEmpty()) {
        return;
    }
    // Whole pixels, in the colour as tinted.
    const QRectF device = state.xform.mapRect(local).translated(-s.origin);
    const QRect fill(QPoint(snappedEdge(device.left()), snappedEdge(device.top())),
                     QPoint(snappedEdge(device.right()) - 1, snappedEdge(device.bottom()) - 1));
    if (fill.isEmpty()) {
        return;
    }
    s.painter->save();
    s.painter->resetTransform();
    s.painter->fillRect(fill, state.lut.color(*o.opaqueBackground()));
    s.painter->restore();
}

// ---------------------------------------------------------------------------------------------
// Characters at the leaves

void Renderer::drawBitmapCharacter(Surface& s, const Character& c, const State& state) {
    if (const auto* live = c.as<ScriptBitmap>()) {
        drawScriptBitmap(s, *live, state);
        return;
    }
    QImage image = cache_.transformedBitmap(c.id, state.lut);
    if (image.isNull()) {
        return;
    }
    QPainter& p = *s.painter;
    s.setTransform(QTransform::fromScale(20.0, 20.0) * state.xform);
    if (state.maskMode) {
        p.fillRect(image.rect(), Qt::white);
        return;
    }
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    p.drawImage(0, 0, image);
}

void Renderer::drawScriptBitmap(Surface& s, const ScriptBitmap& b, const State& state) {
    if (b.pixels == nullptr || b.width <= 0 || b.height <= 0 ||
        b.pixels->size() < static_cast<std::size_t>(b.width) * static_cast<std::size_t>(b.height)) {
        return;
    }
    QPainter& p = *s.painter;
    s.setTransform(QTransform::fromScale(20.0, 20.0) * state.xform);
    if (state.maskMode) {
        p.fillRect(QRect(0, 0, b.width, b.height), Qt::white);
        return;
    }
    // The words are the premultiplied layout QImage uses: drawn without a copy unless a colour
    // transform changes them.
    QImage image(reinterpret_cast<const uchar*>(b.pixels->data()), b.width, b.height,
                 static_cast<qsizetype>(b.width) * 4, QImage::Format_ARGB32_Premultiplied);
    if (!state.lut.identity()) {
        image = image.copy();
        state.lut.apply(image);
    }
    p.setRenderHint(QPainter::SmoothPixmapTransform, b.smoothing);
    p.drawImage(0, 0, image);
}

void Renderer::drawVideo(Surface& s, const DisplayObject& o, const State& state) {
    const auto* stream = o.character()->as<VideoStreamDefinition>();
    QImage picture = videos_.picture(o, *context_);
    if (picture.isNull() || stream == nullptr) {
        return;
    }
    // The picture fills the stream's rectangle whatever size it was coded at.
    const double width = stream->width > 0 ? stream->width : picture.width();
    const double height = stream->height > 0 ? stream->height : picture.height();
    QPainter& p = *s.painter;
    s.setTransform(
        QTransform::fromScale(20.0 * width / picture.width(), 20.0 * height / picture.height()) *
        state.xform);
    if (state.maskMode) {
        p.fillRect(picture.rect(), Qt::white);
        return;
    }
    if (!state.lut.identity()) {
        state.lut.apply(picture);
    }
    p.setRenderHint(QPainter::SmoothPixmapTransform, stream->smoothing);
    p.drawImage(0, 0, picture);
}

void Renderer::drawText(Surface& s, const TextDefinition& text, const State& state) {
    QPainter& p = *s.painter;
    p.setRenderHint(QPainter::Antialiasing, options_.antialias);
    const QTransform textXform = toQt(text.matrix) * state.xform;
    CharacterPtr font;
    const std::vector<QPainterPath>* glyphs = nullptr;
    double unitsPerEm = 1024.0;
    Rgba color{0, 0, 0, 255};
    double height = 0;
    double x = 0;
    double y = 0;
    for (const TextRecord& r : text.records) {
        if (r.fontId) {
            font = context_->character(*r.fontId);
            glyphs = nullptr;
            if (font && font->as<FontDefinition>()) {
                glyphs = &cache_.glyphPaths(font);
                unitsPerEm = font->as<FontDefinition>()->unitsPerEm();
            }
        }
        if (r.color) {
            color = *r.color;
        }
        if (r.height) {
            height = *r.height;
        }
        if (r.xOffset) {
            x = *r.xOffset;
        }
        if (r.yOffset) {
            y = *r.yOffset;
        }
        const QColor c = state.maskMode ? QColor(Qt::white) : state.lut.color(color);
        const double scale = height / unitsPerEm;
        for (const GlyphEntry& g : r.glyphs) {
            if (glyphs != nullptr && g.index < glyphs->size() && c.alpha() != 0) {
                const QTransform glyph = QTransform(scale, 0, 0, scale, x, y) * textXform;
                if (!options_.antialias) {
                    FillStyle paint;
                    paint.color = color;
                    shapes_.fillAliased(s, cache_.glyphPolygons(font, g.index), true,
                                        s.deviceTransform(glyph), paint, state);
                } else {
                    shapes_.fillGlyph(s, (*glyphs)[g.index], glyph, c);
                }
            }
            x += g.advance;
        }
    }
}

void Renderer::drawEditText(Surface& s, const DisplayObject& o, const State& state) {
    const TextFieldModel* field = o.textField();
    const EditTextDefinition& e =
        field != nullptr ? field->def : *o.character()->as<EditTextDefinition>();
    QPainter& p = *s.painter;
    p.setRenderHint(QPainter::Antialiasing, options_.antialias);
    s.setTransform(state.xform);
    const QRectF box(QPointF(e.bounds.xMin, e.bounds.yMin), QPointF(e.bounds.xMax, e.bounds.yMax));
    const QColor maskColor(Qt::white);
    auto rgb = [](std::uint32_t c) {
        return Rgba{static_cast<std::uint8_t>(c >> 16), static_cast<std::uint8_t>(c >> 8),
                    static_cast<std::uint8_t>(c), 255};
    };
    // How far a turn or skew moves the box's corners off the upright, in pixels. Under a
    // turn, a skew or a mirror the field's device text cannot be drawn, and the field is not
    // shown at all; a skew too small to move a corner by a pixel counts as none.
    const QTransform& m = state.xform;
    const double skew = std::abs(m.m12()) * box.width() + std::abs(m.m21()) * box.height();
    const bool embedded = e.useOutlines || (field != nullptr && field->embedFonts);
    if (!embedded && (skew >= 1 || m.m11() < 0 || m.m22() < 0)) {
        return;
    }
    // Turned a quarter, the box still lies along the pixels.
    const double quarter = std::abs(m.m11()) * box.width() + std::abs(m.m22()) * box.height();
    const bool aligned = skew < 1 || quarter < 1;
    const bool border = field != nullptr ? field->def.border : e.border;
    const bool background = field != nullptr ? field->background : e.border;
    const Rgba backgroundColor =
        field != nullptr ? rgb(field->backgroundColor) : Rgba{255, 255, 255, 255};
    const Rgba borderColor = field != nullptr ? rgb(field->borderColor) : Rgba{0, 0, 0, 255};
    if ((border || background) && !aligned) {
        // Turned or skewed, the frame follows the field's matrix: a one-pixel outline round
        // the background.
        const QPolygonF quad = m.map(QPolygonF(box)).translated(-s.origin);
        p.save();
        p.resetTransform();
        if (background) {
            p.setPen(Qt::NoPen);
            p.setBrush(state.maskMode ? maskColor : state.lut.color(backgroundColor));
            p.drawPolygon(quad);
        }
        if (border) {
            QPen pen(state.maskMode ? maskColor : state.lut.color(borderColor), 1);
            pen.setCosmetic(true);
            pen.setJoinStyle(Qt::MiterJoin);
            p.setPen(pen);
            p.setBrush(Qt::NoBrush);
            p.drawPolygon(quad);
        }
        p.restore();
    } else if (border || background) {
        // The frame stands with its top-left corner moved to the nearest whole pixel; its
        // lines lie on the pixels nearest the edges then, both included (halfway takes the
        // lower one), and the background fills the pixels inside them up to the far lines.
        const QRectF device = state.xform.mapRect(box).translated(-s.origin);
        auto snap = [](double v) {
            return static_cast<int>(std::clamp(std::ceil(v - 0.5), -1e8, 1e8));
        };
        const QPoint corner(snap(device.left()), snap(device.top()));
        const QPointF moved = device.bottomRight() + (QPointF(corner) - device.topLeft());
        const QRect frame(corner, QPoint(snap(moved.x()), snap(moved.y())));
        const QRect inside(corner, QPoint(frame.right() - 1, frame.bottom() - 1));
        if (frame.isValid() && frame.width() < 100000 && frame.height() < 100000) {
            const QColor white = state.maskMode ? maskColor : state.lut.color(backgroundColor);
            const QColor black = state.maskMode ? maskColor : state.lut.color(borderColor);
            p.save();
            p.resetTransform();
            if (background && inside.isValid()) {
                p.fillRect(inside, white);
            }
            if (border) {
                p.fillRect(QRect(frame.left(), frame.top(), frame.width(), 1), black);
                // Drawn as lines that each leave out their last pixel: the bottom-right corner
                // stays open.
                p.fillRect(QRect(frame.left(), frame.bottom(), frame.width() - 1, 1), black);
                p.fillRect(QRect(frame.left(), frame.top(), 1, frame.height()), black);
                p.fillRect(QRect(frame.right(), frame.top(), 1, frame.height() - 1), black);
                if (e.useOutlines || (field != nullptr && field->embedFonts)) {
                    // A field of embedded glyphs half closes that corner.
                    QColor half = black;
                    half.setAlphaF(black.alphaF() / 2);
                    p.fillRect(QRect(frame.right(), frame.bottom(), 1, 1), half);
                }
            }
            p.restore();
        }
    }
    // The focused field shows its selection, or its caret while it blinks on.
    const bool focused = field != nullptr && context_ != nullptr &&
                         context_->focusedField() == o.id() && !state.maskMode;
    const bool caret = focused && context_->caretShown();
    if (field != nullptr ? field->text().empty() && !caret : e.initialText.empty()) {
        return;
    }
    const TextLayout layout =
        field != nullptr ? layoutTextField(*field, cache_, caret) : layoutEditText(e, cache_);
    // hscroll moves the text left by whole pixels.
    const double shift = field != nullptr ? -20.0 * std::max(0, field->hscroll) : 0.0;
    std::size_t selectedFrom = 0;
    std::size_t selectedTo = 0;
    if (focused) {
        selectedFrom = static_cast<std::size_t>(
            std::max(0, std::min(field->selectionBegin, field->selectionEnd)));
        selectedTo = static_cast<std::size_t>(
            std::max(0, std::max(field->selectionBegin, field->selectionEnd)));
    }

    p.save();
    // A field drawn as a mask covers with all its text, inside its box or not.
    if (!state.maskMode) {
        p.setClipRect(box, Qt::IntersectClip);
        // A selection shows inverted: a black block under white text.
        for (const QRectF& r : selectionBoxes(layout, selectedFrom, selectedTo)) {
            QPainterPath block;
            block.addRect(r.translated(shift, 0).intersected(box));
            shapes_.fillGlyph(s, block, state.xform, state.lut.color(Rgba{0, 0, 0, 255}));
        }
    }
    // Aliased glyphs take the pixels whose centres lie in the field (upright fields; a turned
    // one is cut to its bounds).
    const QRectF deviceBox = s.deviceTransform(state.xform).mapRect(box);
    auto pixelEdge = [](double v) {
        return static_cast<int>(std::clamp(std::ceil(v - 0.5), -1e8, 1e8));
    };
    const std::optional<QRect> aliasedClip =
        state.maskMode
            ? std::nullopt
            : std::optional(QRect(
                  QPoint(pixelEdge(deviceBox.left()), pixelEdge(deviceBox.top())),
                  QPoint(pixelEdge(deviceBox.right()) - 1, pixelEdge(deviceBox.bottom()) - 1)));
    for (std::size_t n = layout.firstVisible; n < layout.visibleLines; ++n) {
        const LaidOutLine& line = layout.lines[n];
        const double baseline = line.baseline;
        // The characters, then a list item's bullet.
        for (std::size_t k = 0; k < line.chars.size() + (line.bullet ? 1 : 0); ++k) {
            const LaidOutChar& item = k < line.chars.size() ? line.chars[k] : *line.bullet;
            const double x = item.x + shift;
            const bool selected =
                k < line.chars.size() && item.index >= selectedFrom && item.index < selectedTo;
            const Rgba rgba =
                selected ? Rgba{255, 255, 255, 255} : fieldTextColor(item.style->color);
            const QColor color = state.maskMode ? maskColor : state.lut.color(rgba);
            if (item.font && item.glyph >= 0 && color.alpha() != 0) {
                const double scale =
                    item.style->size / item.font->as<FontDefinition>()->unitsPerEm();
                const auto& paths = cache_.glyphPaths(item.font);
                const auto index = static_cast<std::size_t>(item.glyph);
                if (index < paths.size()) {
                    const QTransform glyph =
                        QTransform(scale, 0, 0, scale, x, baseline) * state.xform;
                    if (!options_.antialias) {
                        FillStyle paint;
                        paint.color = rgba;
                        shapes_.fillAliased(s, cache_.glyphPolygons(item.font, index), true,
                                            s.deviceTransform(glyph), paint, state, aliasedClip);
                    } else {
                        shapes_.fillGlyph(s, paths[index], glyph, color);
                    }
                }
            } else if (item.deviceGlyph != nullptr && color.alpha() != 0) {
                const double scale = item.style->size / DeviceFont::kUnitsPerEm;
                const QTransform glyph = QTransform(scale, 0, 0, scale, x, baseline) * state.xform;
                if (!options_.antialias) {
                    FillStyle paint;
                    paint.color = rgba;
                    shapes_.fillAliased(s, item.deviceGlyph->polygons, true,
                                        s.deviceTransform(glyph), paint, state, aliasedClip);
                } else {
                    shapes_.fillGlyph(s, item.deviceGlyph->outline, glyph, color);
                }
            } else if (item.painted && color.alpha() != 0) {
                s.setTransform(state.xform);
                p.setFont(deviceTextFont(*item.style));
                p.setPen(color);
                p.drawText(QPointF(x, baseline), QString(item.ch));
            }
        }
    }
    if (caret && !state.maskMode) {
        drawCaret(s, *field, layout, shift, state);
    }
    p.restore();
}

void Renderer::drawCaret(Surface& s, const TextFieldModel& field, const TextLayout& layout,
                         double shift, const State& state) {
    const auto index =
        static_cast<std::size_t>(std::clamp(field.caret, 0, static_cast<int>(field.text().size())));
    const std::optional<QRectF> at = caretBox(layout, index);
    if (!at) {
        return;
    }
    // In the colour of the text before it (the first character's at the start).
    const TextFormat format = field.text().empty()
                                  ? field.newFormat()
                                  : field.format(index > 0 ? index - 1 : 0, index > 0 ? index : 1);
    const std::uint32_t c = format.color.value_or(0);
    const QColor color = state.lut.color(
        fieldTextColor(Rgba{static_cast<std::uint8_t>(c >> 16), static_cast<std::uint8_t>(c >> 8),
                            static_cast<std::uint8_t>(c), 255}));
    // One device pixel wide, the line's height.
    const QTransform toDevice = s.deviceTransform(state.xform);
    const QPointF top = toDevice.map(QPointF(at->left() + shift, at->top()));
    const QPointF bottom = toDevice.map(QPointF(at->left() + shift, at->bottom()));
    if (!std::isfinite(top.x()) || !std::isfinite(top.y()) || !std::isfinite(bottom.x()) ||
        !std::isfinite(bottom.y())) {
        return;
    }
    QPainter& p = *s.painter;
    p.save();
    p.resetTransform();
    p.setRenderHint(QPainter::Antialiasing, true);
    if (std::abs(top.x() - bottom.x()) < 1e-6 && bottom.y() > top.y()) {
        const double x = std::floor(std::clamp(top.x(), -1e8, 1e8));
        p.fillRect(QRectF(QPointF(x, top.y()), QPointF(x + 1, bottom.y())), color);
    } else {
        p.setPen(QPen(color, 1.0));
        p.drawLine(top, bottom);
    }
    p.restore();
}

QRectF Renderer::deviceBounds(const DisplayObject& o, const QTransform& toDevice,
                              DisplayContext& context, int nesting) {
    DisplayContext* saved = cache_.context();
    cache_.setContext(&context);
    const QRectF bounds = objectBounds(o, toDevice, cache_, nesting);
    cache_.setContext(saved);
    return bounds;
}

}  // namespace zd::engine
