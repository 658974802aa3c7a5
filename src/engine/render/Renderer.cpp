#include "engine/render/Renderer.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <mutex>
#ifdef __GLIBC__
#include <malloc.h>
#endif

#include "engine/player/StagePlayer.h"
#include "engine/render/BlendModes.h"
#include "engine/render/StageRenderer.h"
#include "engine/render/Stroker.h"
#include "engine/swf/HtmlText.h"

namespace zd::engine {

namespace {

// Objects drawn in one frame at most; a hostile tree is cut off there.
constexpr std::size_t kMaxDrawsPerFrame = 200000;
// Scales beyond this (device pixels per twip) are not drawn: nothing sane needs them.
constexpr double kMaxScale = 1e5;
// The morph steps and bitmaps kept between frames.
constexpr std::size_t kMaxCachedMorphs = 512;
// Offscreen layers (masks, blend modes, filters) open at once at most; each may be as large
// as the picture.
constexpr int kMaxNestedLayers = 8;
// How far glyph outlines may stray from their curves, in device pixels.
constexpr double kGlyphTolerance = 0.02;
// The gutter DefineEditText keeps between its bounds and its text: 2 pixels.
constexpr double kTextGutter = 40.0;

QTransform toQt(const Matrix& m) {
    return QTransform(m.a, m.b, m.c, m.d, m.tx, m.ty);
}

bool sane(const QTransform& t) {
    const double v[] = {t.m11(), t.m12(), t.m21(), t.m22(), t.dx(), t.dy()};
    for (const double x : v) {
        if (!std::isfinite(x)) {
            return false;
        }
    }
    return std::abs(t.m11()) + std::abs(t.m12()) + std::abs(t.m21()) + std::abs(t.m22()) <
           kMaxScale;
}

// Device pixels per unit of the transform, for stroke widths.
double transformScale(const QTransform& t) {
    const double sx = std::hypot(t.m11(), t.m12());
    const double sy = std::hypot(t.m21(), t.m22());
    return (sx + sy) / 2.0;
}

// Field text is white glyphs tinted by a colour transform made from the text colour, in
// 8.8 fixed point, so channels come out a little darker than the colour itself.
Rgba fieldTextColor(Rgba c) {
    auto tint = [](std::uint8_t v) {
        const int mult = v * 256 / 255;
        return static_cast<std::uint8_t>((255 * mult) >> 8);
    };
    return Rgba{tint(c.r), tint(c.g), tint(c.b), c.a};
}

QColor qcolor(Rgba c) {
    return QColor(c.r, c.g, c.b, c.a);
}

}  // namespace

// ---------------------------------------------------------------------------------------------

ColorLut::ColorLut() {
    for (auto& channel : lut_) {
        for (int v = 0; v < 256; ++v) {
            channel[static_cast<std::size_t>(v)] = static_cast<std::uint8_t>(v);
        }
    }
}

std::uint8_t ColorLut::transformChannel(std::uint8_t value, std::int16_t mult, std::int16_t add) {
    const int v = ((value * mult) >> 8) + add;
    return static_cast<std::uint8_t>(std::clamp(v, 0, 255));
}

ColorLut ColorLut::then(const ColorTransform& outer) const {
    if (outer == ColorTransform{}) {
        return *this;
    }
    ColorLut out;
    out.identity_ = false;
    for (std::size_t c = 0; c < 4; ++c) {
        for (std::size_t v = 0; v < 256; ++v) {
            out.lut_[c][v] = transformChannel(lut_[c][v], outer.mult[c], outer.add[c]);
        }
    }
    return out;
}

ColorLut ColorLut::after(const ColorTransform& inner) const {
    if (inner == ColorTransform{}) {
        return *this;
    }
    ColorLut out;
    out.identity_ = false;
    for (std::size_t c = 0; c < 4; ++c) {
        for (std::size_t v = 0; v < 256; ++v) {
            out.lut_[c][v] = lut_[c][transformChannel(static_cast<std::uint8_t>(v), inner.mult[c],
                                                      inner.add[c])];
        }
    }
    return out;
}

Rgba ColorLut::apply(Rgba c) const {
    return Rgba{lut_[0][c.r], lut_[1][c.g], lut_[2][c.b], lut_[3][c.a]};
}

QColor ColorLut::color(Rgba c) const {
    return qcolor(apply(c));
}

void ColorLut::apply(QImage& image) const {
    if (identity_) {
        return;
    }
    image = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = line[x];
            line[x] =
                qRgba(lut_[0][qRed(p)], lut_[1][qGreen(p)], lut_[2][qBlue(p)], lut_[3][qAlpha(p)]);
        }
    }
    image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

// ---------------------------------------------------------------------------------------------

namespace {

// Counts a layer open for as long as it lives.
struct LayerScope {
    explicit LayerScope(int& count) : count_(count) { ++count_; }
    ~LayerScope() { --count_; }
    LayerScope(const LayerScope&) = delete;
    LayerScope& operator=(const LayerScope&) = delete;
    int& count_;
};

}  // namespace

struct Renderer::Surface {
    QImage* image = nullptr;
    QPainter* painter = nullptr;
    QPoint origin;  // the device position of the image's top left
    QRect visible;  // device pixels worth drawing

    // Twips to this surface's image pixels.
    QTransform deviceTransform(const QTransform& toDevice) const {
        return toDevice * QTransform::fromTranslate(-origin.x(), -origin.y());
    }
    void setTransform(const QTransform& toDevice) const {
        painter->setTransform(deviceTransform(toDevice));
    }
};

struct Renderer::State {
    QTransform xform;  // twips to device
    ColorLut lut;
    bool maskMode = false;  // drawing a mask: coverage only, in opaque white
    bool inLayer = false;   // drawing into a parent's own layer (Alpha and Erase need one)
    int nesting = 0;
};

namespace {

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

}  // namespace

Renderer::Renderer(RenderHooks hooks) : hooks_(std::move(hooks)) {
    keepFrameSizedBlocks();
}

Renderer::~Renderer() = default;

void Renderer::clearCaches() {
    shapes_.clear();
    morphs_.clear();
    glyphs_.clear();
    bitmaps_.clear();
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
    renderTimeline(image, player.root(), stageTransform(stage, target), player.context());
}

void Renderer::renderTimeline(QImage& image, const Timeline& timeline, const QTransform& toDevice,
                              DisplayContext& context) {
    context_ = &context;
    drawn_ = 0;
    stageScale_ = transformScale(toDevice) * 20.0;
    QPainter painter(&image);
    Surface s;
    s.image = &image;
    s.painter = &painter;
    s.visible = image.rect();
    State state;
    state.xform = toDevice;
    drawList(s, timeline.objects(), timeline.objects().begin(), timeline.objects().end(), state);
    if (morphs_.size() > kMaxCachedMorphs) {
        morphs_.clear();
    }
}

void Renderer::drawList(Surface& s, const ObjectMap& objects, ObjectMap::const_iterator begin,
                        ObjectMap::const_iterator end, const State& state) {
    for (auto it = begin; it != end;) {
        const DisplayObject& o = it->second;
        ++it;
        if (!o.isMask()) {
            drawObject(s, o, state);
            continue;
        }
        // A mask covers the depths above it up to its clip depth.
        auto last = it;
        while (last != end && last->first <= o.clipDepth) {
            ++last;
        }
        drawMasked(s, o, it, last, objects, state);
        it = last;
    }
}

void Renderer::drawObject(Surface& s, const DisplayObject& o, const State& parent) {
    if (!o.visible || !o.character || ++drawn_ > kMaxDrawsPerFrame) {
        return;
    }
    State state = parent;
    state.xform = toQt(o.matrix) * parent.xform;
    if (!sane(state.xform)) {
        return;
    }
    if (!parent.maskMode) {
        state.lut = parent.lut.after(o.colorTransform);
        const BlendMode mode = blendModeFromByte(o.blendMode);
        if (needsParentLayer(mode) && !parent.inLayer) {
            // Alpha and Erase only change the alpha of a layer; on the opaque stage nothing
            // of them shows.
            return;
        }
        const bool blends = !drawsAsNormal(mode, parent.inLayer);
        if (blends || !o.filterList.empty()) {
            drawLayered(s, o, state);
            return;
        }
    }
    drawCharacter(s, o, state);
}

void Renderer::drawCharacter(Surface& s, const DisplayObject& o, const State& state) {
    const Character& c = *o.character;
    switch (c.kind) {
        case Character::Kind::Shape:
        case Character::Kind::Morph:
            drawShapePaths(s, shapePaths(o.character, o.ratio), state);
            break;
        case Character::Kind::Sprite:
        case Character::Kind::Button:
            if (o.children) {
                State inner = state;
                ++inner.nesting;
                if (const auto* b = c.as<ButtonDefinition>(); b && b->colorTransform) {
                    inner.lut = inner.lut.after(*b->colorTransform);
                }
                const auto& list = o.children->objects();
                drawList(s, list, list.begin(), list.end(), inner);
            }
            break;
        case Character::Kind::Text:
            drawText(s, *c.as<TextDefinition>(), state);
            break;
        case Character::Kind::EditText:
            drawEditText(s, *c.as<EditTextDefinition>(), state);
            break;
        case Character::Kind::Bitmap:
            drawBitmapCharacter(s, c, state);
            break;
        case Character::Kind::Font:
            break;
    }
}

void Renderer::drawMasked(Surface& s, const DisplayObject& mask, ObjectMap::const_iterator begin,
                          ObjectMap::const_iterator end, const ObjectMap& objects,
                          const State& state) {
    if (begin == end || !mask.character) {
        return;
    }
    const QRectF maskBounds = deviceBounds(mask, state.xform, *context_, state.nesting);
    const QRect area = maskBounds.toAlignedRect().intersected(s.visible);
    if (area.isEmpty()) {
        return;  // nothing of the masked objects can show
    }
    if (layers_ >= kMaxNestedLayers) {
        // Deeper than any real movie goes: the masked objects are drawn unmasked.
        drawList(s, objects, begin, end, state);
        return;
    }
    const LayerScope scope(layers_);
    QImage content(area.size(), QImage::Format_ARGB32_Premultiplied);
    content.fill(Qt::transparent);
    {
        QPainter p(&content);
        p.setRenderHint(QPainter::Antialiasing, options_.antialias);
        Surface sub{&content, &p, area.topLeft(), area};
        drawList(sub, objects, begin, end, state);
    }
    QImage coverage(area.size(), QImage::Format_ARGB32_Premultiplied);
    coverage.fill(Qt::transparent);
    {
        QPainter p(&coverage);
        p.setRenderHint(QPainter::Antialiasing, options_.antialias);
        Surface sub{&coverage, &p, area.topLeft(), area};
        State maskState = state;
        maskState.maskMode = true;
        drawObject(sub, mask, maskState);
    }
    {
        QPainter p(&content);
        p.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        p.drawImage(0, 0, coverage);
    }
    s.painter->resetTransform();
    s.painter->drawImage(area.topLeft() - s.origin, content);
}

void Renderer::drawLayered(Surface& s, const DisplayObject& o, const State& state) {
    if (layers_ >= kMaxNestedLayers) {
        drawCharacter(s, o, state);  // too deep for another layer: drawn as normal
        return;
    }
    const LayerScope scope(layers_);
    QMargins margins;
    if (!o.filterList.empty() && hooks_.filterMargins && hooks_.applyFilters) {
        margins = hooks_.filterMargins(o.filterList, stageScale_);
    }
    // state.xform already holds the object's own matrix.
    const QRectF local = characterBounds(o, *context_, state.nesting);
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
    const BlendMode mode = blendModeFromByte(o.blendMode);
    QImage layer(area.size(), QImage::Format_ARGB32_Premultiplied);
    layer.fill(Qt::transparent);
    {
        QPainter p(&layer);
        p.setRenderHint(QPainter::Antialiasing, options_.antialias);
        Surface sub{&layer, &p, area.topLeft(), area};
        State inner = state;
        inner.inLayer = inner.inLayer || mode != BlendMode::Normal;
        if (!o.filterList.empty()) {
            // A filtered object is drawn with the corner of its bounds on a whole pixel.
            const QRectF declared = characterBounds(o, *context_, state.nesting, true);
            if (!declared.isEmpty()) {
                const QPointF at = state.xform.mapRect(declared).topLeft();
                inner.xform *= QTransform::fromTranslate(std::round(at.x()) - at.x(),
                                                         std::round(at.y()) - at.y());
            }
        }
        drawCharacter(sub, o, inner);
    }
    if (!o.filterList.empty() && hooks_.applyFilters) {
        hooks_.applyFilters(layer, o.filterList, stageScale_);
    }
    const bool special = !drawsAsNormal(mode, state.inLayer) && mode != BlendMode::Layer;
    if (special && hooks_.blend) {
        s.painter->end();
        hooks_.blend(*s.image, area.topLeft() - s.origin, layer, o.blendMode);
        s.painter->begin(s.image);
        s.painter->setRenderHint(QPainter::Antialiasing, options_.antialias);
        return;
    }
    s.painter->resetTransform();
    s.painter->drawImage(area.topLeft() - s.origin, layer);
}

// ---------------------------------------------------------------------------------------------
// Shapes

const ShapePaths& Renderer::shapePaths(const CharacterPtr& c, std::uint16_t ratio) {
    if (const auto* morph = c->as<MorphShapeDefinition>()) {
        const auto key = std::make_pair(c.get(), ratio);
        auto it = morphs_.find(key);
        if (it == morphs_.end()) {
            it = morphs_.emplace(key, std::make_pair(c, buildShapePaths(morphAt(*morph, ratio))))
                     .first;
        }
        return it->second.second;
    }
    auto it = shapes_.find(c.get());
    if (it == shapes_.end()) {
        const auto* shape = c->as<ShapeDefinition>();
        it =
            shapes_
                .emplace(c.get(), std::make_pair(c, shape ? buildShapePaths(*shape) : ShapePaths{}))
                .first;
    }
    return it->second.second;
}

void Renderer::drawShapePaths(Surface& s, const ShapePaths& paths, const State& state) {
    const QTransform device = s.deviceTransform(state.xform);
    for (const ShapePaths::Group& g : paths.groups) {
        for (const ShapePaths::Fill& f : g.fills) {
            const bool nonZero = f.path.fillRule() == Qt::WindingFill;
            if (!options_.antialias) {
                // Chords cut once per shape; the rasterizer keeps only what falls on the image.
                fillAliased(s, f.polygons(), nonZero, device, f.style, state);
                continue;
            }
            if (!coverage_.reset(s.image->rect(), f.raster, device, nonZero)) {
                coverage_.addPath(f.path, device);
            }
            fillCoverage(s, nonZero, f.style, device, state);
        }
        if (state.maskMode) {
            continue;  // masks are made of the fills alone
        }
        for (const ShapePaths::Stroke& l : g.strokes) {
            strokeLine(s, l, device, state);
        }
    }
}

std::unique_ptr<SpanShader> Renderer::fillShader(const FillStyle& style, const QTransform& device,
                                                 const State& state, QRgb& solid, bool smooth) {
    solid = 0;
    const QTransform m = toQt(style.matrix);
    if (style.isGradient()) {
        std::vector<Rgba> colours;
        colours.reserve(style.gradient.records.size());
        for (const GradientRecord& r : style.gradient.records) {
            colours.push_back(state.lut.apply(r.color));
        }
        auto shader = std::make_unique<GradientShader>(style, colours, m * device);
        if (!shader->valid() || std::abs(m.determinant()) < 1e-12 || !sane(m)) {
            solid = shader->lastColour();  // squashed flat: its last colour throughout
            return nullptr;
        }
        return shader;
    }
    if (style.isBitmap()) {
        const QImage image = transformedBitmap(style.bitmapId, state.lut);
        if (image.isNull()) {
            solid = qPremultiply(qRgb(0xc0, 0xc0, 0xc0));  // placeholder for a missing bitmap
            return nullptr;
        }
        if (std::abs(m.determinant()) < 1e-12 || !sane(m)) {
            return nullptr;
        }
        auto shader = std::make_unique<BitmapShader>(image, m * device, style.bitmapRepeats(),
                                                     smooth && style.bitmapSmoothed());
        return shader->valid() ? std::move(shader) : nullptr;
    }
    if (style.type == FillStyle::Solid) {
        solid = qPremultiply(state.lut.color(style.color).rgba());
    }
    return nullptr;
}

void Renderer::fillCoverage(Surface& s, bool nonZero, const FillStyle& style,
                            const QTransform& device, const State& state) {
    if (state.maskMode) {
        coverage_.fill(*s.image, nonZero, qRgba(255, 255, 255, 255));
        return;
    }
    QRgb solid = 0;
    if (const auto shader = fillShader(style, device, state, solid, true)) {
        coverage_.fill(*s.image, nonZero, *shader);
    } else {
        coverage_.fill(*s.image, nonZero, solid);  // nothing when transparent
    }
}

void Renderer::fillAliased(Surface& s, const Polygons& outline, bool nonZero,
                           const QTransform& device, const FillStyle& style, const State& state,
                           const std::optional<QRect>& clip) {
    AliasedRasterizer r(clip ? clip->intersected(s.image->rect()) : s.image->rect());
    r.addPolygons(outline, device);
    const auto spans = r.spans(nonZero);
    if (!spans.empty()) {
        paintSpans(s, spans, style, device, state);
    }
}

namespace {

// Source over, premultiplied, rounding as QPainter does.
inline QRgb over(QRgb src, QRgb dst) {
    const unsigned k = 255 - qAlpha(src);
    auto mul = [k](unsigned v) {
        const unsigned t = v * k + 128;
        return (t + (t >> 8)) >> 8;
    };
    return qRgba(qRed(src) + mul(qRed(dst)), qGreen(src) + mul(qGreen(dst)),
                 qBlue(src) + mul(qBlue(dst)), qAlpha(src) + mul(qAlpha(dst)));
}

}  // namespace

void Renderer::paintSpans(Surface& s, const std::vector<AliasedRasterizer::Span>& spans,
                          const FillStyle& style, const QTransform& device, const State& state) {
    QImage& image = *s.image;
    auto solid = [&](QColor c) {
        const QRgb px = qPremultiply(c.rgba());
        if (qAlpha(px) == 0) {
            return;
        }
        for (const auto& span : spans) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(span.y));
            if (qAlpha(px) == 255) {
                std::fill(line + span.x0, line + span.x1, px);
            } else {
                for (int x = span.x0; x < span.x1; ++x) {
                    line[x] = over(px, line[x]);
                }
            }
        }
    };
    if (state.maskMode) {
        solid(Qt::white);
        return;
    }
    if (style.type == FillStyle::Solid) {
        solid(state.lut.color(style.color));
        return;
    }
    QRgb flat = 0;
    const auto shader = fillShader(style, device, state, flat, false);
    if (!shader) {
        solid(QColor::fromRgba(qUnpremultiply(flat)));
        return;
    }
    std::vector<QRgb> colours;
    for (const auto& span : spans) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(span.y));
        colours.resize(static_cast<std::size_t>(span.x1 - span.x0));
        shader->shade(span.x0, span.y, span.x1 - span.x0, colours.data());
        for (int x = span.x0; x < span.x1; ++x) {
            const QRgb px = colours[static_cast<std::size_t>(x - span.x0)];
            if (qAlpha(px) == 255) {
                line[x] = px;
            } else if (qAlpha(px) != 0) {
                line[x] = over(px, line[x]);
            }
        }
    }
}

void Renderer::strokeLine(Surface& s, const ShapePaths::Stroke& line, const QTransform& device,
                          const State& state) {
    FillStyle paint;
    paint.color = line.style.color;
    if (line.style.fill) {
        paint = *line.style.fill;
    } else if (state.lut.color(line.style.color).alpha() == 0) {
        return;
    }
    // A scaled line is outlined in the shape's own units (its width follows the transform in
    // each direction); hairlines and lines of fixed width are outlined on the device.
    const LineOutline how = lineOutline(line.style, transformScale(state.xform), stageScale_);
    const QTransform toOutline = how.onDevice ? device : QTransform();
    const QTransform fromOutline = how.onDevice ? QTransform() : device;
    // Arcs and curves stray at most a tenth of a device pixel.
    const double deviceUnits =
        std::max(std::hypot(device.m11(), device.m12()), std::hypot(device.m21(), device.m22()));
    const double tolerance = how.onDevice || !(deviceUnits > 0) ? 0.1 : 0.1 / deviceUnits;
    Stroker stroker(how.style, tolerance);
    if (!options_.antialias) {
        // From the chords cut once per shape, so both sides follow the same pixel-centre rule
        // as fills.
        const Polygons& centre = line.polygons();
        Polygons outline;
        std::vector<QPointF> points;
        std::uint32_t start = 0;
        for (const Polygons::Run& run : centre.runs) {
            points.clear();
            for (std::uint32_t i = start; i < run.end && i < centre.points.size(); ++i) {
                points.push_back(toOutline.map(centre.points[i]));
            }
            start = run.end;
            stroker.strokeLine(points, {}, run.closed && !line.style.noClose, outline);
        }
        AliasedRasterizer r(s.image->rect());
        r.addPolygons(outline, fromOutline);
        const auto spans = r.spans(true);
        if (!spans.empty()) {
            paintSpans(s, spans, paint, device, state);
        }
        return;
    }
    if (!coverage_.reset(s.image->rect(), line.raster, device, true, how.style.width)) {
        coverage_.addPolygons(stroker.stroke(line.path, toOutline, line.style.noClose),
                              fromOutline);
    }
    fillCoverage(s, true, paint, device, state);
}

void Renderer::fillGlyph(Surface& s, const QPainterPath& outline, const QTransform& glyph,
                         const QColor& colour) {
    // Glyph outlines are defined in large font units and drawn tiny: their curves are cut on
    // the device, finely.
    coverage_.reset(s.image->rect());
    coverage_.addPath(outline, s.deviceTransform(glyph), kGlyphTolerance);
    coverage_.fill(*s.image, true, qPremultiply(colour.rgba()));
}

// ---------------------------------------------------------------------------------------------
// Bitmaps

const QImage& Renderer::bitmap(std::uint16_t id) {
    auto it = bitmaps_.find(id);
    if (it != bitmaps_.end()) {
        return it->second;
    }
    QImage image;
    if (context_ != nullptr && hooks_.decodeBitmap) {
        const CharacterPtr c = context_->character(id);
        if (c) {
            if (const auto* tag = c->as<BitmapTag>()) {
                image =
                    hooks_.decodeBitmap(*tag, context_->dictionary().jpegTables(context_->data()));
                if (!image.isNull() && image.format() != QImage::Format_ARGB32_Premultiplied) {
                    image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
                }
            }
        }
    }
    return bitmaps_.emplace(id, std::move(image)).first->second;
}

QImage Renderer::transformedBitmap(std::uint16_t id, const ColorLut& lut) {
    QImage image = bitmap(id);
    if (!image.isNull() && !lut.identity()) {
        lut.apply(image);
    }
    return image;
}

void Renderer::drawBitmapCharacter(Surface& s, const Character& c, const State& state) {
    QImage image = transformedBitmap(c.id, state.lut);
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

// ---------------------------------------------------------------------------------------------
// Text

const std::vector<QPainterPath>& Renderer::glyphPaths(const CharacterPtr& font) {
    auto it = glyphs_.find(font.get());
    if (it != glyphs_.end()) {
        return it->second.paths;
    }
    Glyphs glyphs;
    glyphs.font = font;
    if (const auto* f = font->as<FontDefinition>()) {
        glyphs.paths.reserve(f->glyphs.size());
        for (const ShapeDefinition& glyph : f->glyphs) {
            ShapeDefinition g = glyph;
            g.windingRule = true;
            const ShapePaths built = buildShapePaths(g);
            QPainterPath path;
            path.setFillRule(Qt::WindingFill);
            for (const auto& group : built.groups) {
                for (const auto& fill : group.fills) {
                    path.addPath(fill.path);
                }
            }
            glyphs.paths.push_back(std::move(path));
        }
    }
    glyphs.polygons.resize(glyphs.paths.size());
    return glyphs_.emplace(font.get(), std::move(glyphs)).first->second.paths;
}

const Polygons& Renderer::glyphPolygons(const CharacterPtr& font, std::size_t index) {
    static const Polygons none;
    glyphPaths(font);
    Glyphs& glyphs = glyphs_.find(font.get())->second;
    if (index >= glyphs.paths.size()) {
        return none;
    }
    std::optional<Polygons>& flat = glyphs.polygons[index];
    if (!flat) {
        flat = flattenPath(glyphs.paths[index]);
    }
    return *flat;
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
                glyphs = &glyphPaths(font);
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
                    fillAliased(s, glyphPolygons(font, g.index), true, s.deviceTransform(glyph),
                                paint, state);
                } else {
                    fillGlyph(s, (*glyphs)[g.index], glyph, c);
                }
            }
            x += g.advance;
        }
    }
}

CharacterPtr Renderer::findFont(const std::string& face, bool bold, bool italic,
                                std::optional<std::uint16_t> preferred) {
    auto usable = [](const CharacterPtr& c) {
        const auto* f = c ? c->as<FontDefinition>() : nullptr;
        return f != nullptr && !f->glyphs.empty() ? f : nullptr;
    };
    auto matches = [&](const CharacterPtr& c, bool exact) {
        const FontDefinition* f = usable(c);
        if (f == nullptr || (!face.empty() && f->name != face)) {
            return false;
        }
        return !exact || (f->bold == bold && f->italic == italic);
    };
    CharacterPtr own = preferred ? context_->character(*preferred) : nullptr;
    if (matches(own, true)) {
        return own;
    }
    CharacterPtr sameName;
    for (const std::uint16_t id : context_->dictionary().fontIds()) {
        CharacterPtr c = context_->character(id);
        if (matches(c, true)) {
            return c;
        }
        if (!sameName && matches(c, false)) {
            sameName = c;
        }
    }
    if (sameName) {
        return sameName;
    }
    return usable(own) != nullptr ? own : nullptr;
}

void Renderer::drawEditText(Surface& s, const EditTextDefinition& e, const State& state) {
    QPainter& p = *s.painter;
    p.setRenderHint(QPainter::Antialiasing, options_.antialias);
    s.setTransform(state.xform);
    const QRectF box(QPointF(e.bounds.xMin, e.bounds.yMin), QPointF(e.bounds.xMax, e.bounds.yMax));
    const QColor maskColor(Qt::white);
    if (e.border) {
        // The frame lies on whole pixels, the ones its bounds' edges fall in, both included.
        const QRectF device = state.xform.mapRect(box).translated(-s.origin);
        const QRect frame(QPoint(static_cast<int>(std::floor(device.left() + 0.5)),
                                 static_cast<int>(std::floor(device.top() + 0.5))),
                          QPoint(static_cast<int>(std::floor(device.right() + 0.5)),
                                 static_cast<int>(std::floor(device.bottom() + 0.5))));
        if (frame.isValid() && frame.width() < 100000 && frame.height() < 100000) {
            const QColor white = state.maskMode ? maskColor : state.lut.color({255, 255, 255, 255});
            const QColor black = state.maskMode ? maskColor : state.lut.color({0, 0, 0, 255});
            p.save();
            p.resetTransform();
            p.fillRect(frame, white);
            p.fillRect(QRect(frame.left(), frame.top(), frame.width(), 1), black);
            // Drawn as lines that each leave out their last pixel: the bottom-right corner
            // stays open.
            p.fillRect(QRect(frame.left(), frame.bottom(), frame.width() - 1, 1), black);
            p.fillRect(QRect(frame.left(), frame.top(), 1, frame.height()), black);
            p.fillRect(QRect(frame.right(), frame.top(), 1, frame.height() - 1), black);
            p.restore();
        }
    }
    if (e.initialText.empty()) {
        return;
    }
    CharacterPtr ownFont = e.fontId ? context_->character(*e.fontId) : nullptr;
    const FontDefinition* ownDef = ownFont ? ownFont->as<FontDefinition>() : nullptr;
    TextStyle base;
    base.face = ownDef != nullptr ? ownDef->name : e.fontClass;
    base.size = e.fontHeight;
    base.color = e.color;
    // HTML text says itself what is bold or italic.
    base.bold = !e.html && ownDef != nullptr && ownDef->bold;
    base.italic = !e.html && ownDef != nullptr && ownDef->italic;
    const std::vector<TextParagraph> paragraphs =
        e.html ? parseHtmlText(e.initialText, base, e.align)
               : plainTextParagraphs(e.initialText, base, e.align);

    // One laid-out character: embedded glyph or device font, and its metrics.
    struct Item {
        QChar ch;
        double advance = 0;
        const TextStyle* style = nullptr;
        CharacterPtr font;  // null: a device font
        int glyph = -1;
        const DeviceFont::Glyph* deviceGlyph = nullptr;
        bool painted = false;  // through the painter's own text (no system fonts to outline)
        double ascent = 0;
        double descent = 0;
    };
    struct Line {
        std::vector<Item> items;
        std::uint8_t align = 0;
        bool lastOfParagraph = true;
    };
    const double left = box.left() + kTextGutter + e.leftMargin;
    const double right = box.right() - kTextGutter - e.rightMargin;
    const double width = std::max(0.0, right - left);

    auto deviceFont = [](const TextStyle& style) {
        QString family = QString::fromStdString(style.face);
        if (family.isEmpty() || family == u"_sans") {
            family = QStringLiteral("Sans Serif");
        } else if (family == u"_serif") {
            family = QStringLiteral("Serif");
        } else if (family == u"_typewriter") {
            family = QStringLiteral("Monospace");
        }
        QFont f(family);
        f.setPixelSize(std::max(1, static_cast<int>(std::lround(style.size))));
        f.setBold(style.bold);
        f.setItalic(style.italic);
        return f;
    };

    std::vector<Line> lines;
    for (const TextParagraph& para : paragraphs) {
        std::vector<Item> items;
        for (const TextRun& run : para.runs) {
            const CharacterPtr font =
                e.useOutlines ? findFont(run.style.face, run.style.bold, run.style.italic, e.fontId)
                              : nullptr;
            const FontDefinition* def = font ? font->as<FontDefinition>() : nullptr;
            if (e.useOutlines && def == nullptr) {
                continue;  // embedded glyphs asked for and none to be had: nothing shows
            }
            DeviceFont* device =
                def == nullptr ? deviceFonts_.font(run.style.face, run.style.bold, run.style.italic)
                               : nullptr;
            const QFont qfont = deviceFont(run.style);
            const QFontMetricsF metrics(qfont);
            const QString text =
                QString::fromUtf8(run.text.data(), static_cast<qsizetype>(run.text.size()));
            for (const QChar ch : text) {
                Item item;
                item.ch = e.password ? QChar(u'*') : ch;
                item.style = &run.style;
                if (def != nullptr) {
                    const double scale = run.style.size / def->unitsPerEm();
                    item.font = font;
                    item.glyph = def->glyphFor(item.ch.unicode());
                    const auto g = static_cast<std::size_t>(item.glyph);
                    if (item.glyph >= 0 && g < def->advances.size()) {
                        item.advance = std::floor(def->advances[g] * scale);
                    } else if (item.glyph >= 0 && g < glyphPaths(font).size()) {
                        item.advance = glyphPaths(font)[g].boundingRect().right() * scale;
                    }
                    // Lines stand on whole twips.
                    item.ascent =
                        def->hasLayout ? std::floor(def->ascent * scale) : run.style.size * 0.9;
                    item.descent = def->hasLayout ? def->descent * scale : run.style.size * 0.2;
                } else if (device != nullptr) {
                    // Laid out as embedded glyphs are, but advancing by whole pixels.
                    const double scale = run.style.size / DeviceFont::kUnitsPerEm;
                    item.deviceGlyph = device->glyph(item.ch.unicode());
                    if (item.deviceGlyph != nullptr) {
                        item.advance = std::round(item.deviceGlyph->advance * scale / 20) * 20;
                    }
                    item.ascent = std::floor(device->ascent() * scale);
                    item.descent = device->descent() * scale;
                } else {
                    item.painted = true;
                    item.advance = metrics.horizontalAdvance(item.ch);
                    item.ascent = metrics.ascent();
                    item.descent = metrics.descent();
                }
                items.push_back(item);
            }
        }
        // Breaks at spaces to fit the width when the field wraps.
        std::size_t start = 0;
        while (true) {
            std::size_t end = items.size();
            if (e.wordWrap && e.multiline) {
                double w = 0;
                std::size_t lastSpace = items.size();
                for (std::size_t i = start; i < items.size(); ++i) {
                    if (items[i].ch == u' ') {
                        lastSpace = i;
                    }
                    w += items[i].advance;
                    if (w > width && i > start) {
                        end = lastSpace < items.size() && lastSpace > start ? lastSpace + 1 : i;
                        break;
                    }
                }
            }
            Line l;
            l.align = para.align;
            l.items.assign(items.begin() + static_cast<long>(start),
                           items.begin() + static_cast<long>(end));
            l.lastOfParagraph = end >= items.size();
            lines.push_back(std::move(l));
            if (end >= items.size()) {
                break;
            }
            start = end;
        }
    }

    p.save();
    p.setClipRect(box, Qt::IntersectClip);
    // Aliased glyphs take the pixels whose centres lie in the field (upright fields; a turned
    // one is cut to its bounds).
    const QRectF deviceBox = s.deviceTransform(state.xform).mapRect(box);
    auto pixelEdge = [](double v) {
        return static_cast<int>(std::clamp(std::ceil(v - 0.5), -1e8, 1e8));
    };
    const std::optional<QRect> aliasedClip(
        QRect(QPoint(pixelEdge(deviceBox.left()), pixelEdge(deviceBox.top())),
              QPoint(pixelEdge(deviceBox.right()) - 1, pixelEdge(deviceBox.bottom()) - 1)));
    double baseline = box.top() + kTextGutter;
    for (const Line& line : lines) {
        // The tallest character sets the line; an empty line takes the field's own size.
        double ascent = 0;
        double descent = 0;
        double lineWidth = 0;
        int spaces = 0;
        for (const Item& item : line.items) {
            ascent = std::max(ascent, item.ascent);
            descent = std::max(descent, item.descent);
            lineWidth += item.advance;
            spaces += item.ch == u' ' ? 1 : 0;
        }
        if (line.items.empty()) {
            ascent = e.fontHeight * 0.9;
            descent = e.fontHeight * 0.2;
        }
        // Trailing spaces do not count when aligning.
        for (std::size_t i = line.items.size(); i-- > 0 && line.items[i].ch == u' ';) {
            lineWidth -= line.items[i].advance;
            --spaces;
        }
        baseline += ascent;
        double x = left;
        double extraPerSpace = 0;
        if (line.align == 1) {
            x = right - lineWidth;
        } else if (line.align == 2) {
            x = left + (width - lineWidth) / 2;
        } else if (line.align == 3 && !line.lastOfParagraph && spaces > 0) {
            extraPerSpace = (width - lineWidth) / spaces;
        }
        for (const Item& item : line.items) {
            const QColor color =
                state.maskMode ? maskColor : state.lut.color(fieldTextColor(item.style->color));
            if (item.font && item.glyph >= 0 && color.alpha() != 0) {
                const double scale =
                    item.style->size / item.font->as<FontDefinition>()->unitsPerEm();
                const auto& paths = glyphPaths(item.font);
                const auto index = static_cast<std::size_t>(item.glyph);
                if (index < paths.size()) {
                    const QTransform glyph =
                        QTransform(scale, 0, 0, scale, x, baseline) * state.xform;
                    if (!options_.antialias) {
                        FillStyle paint;
                        paint.color = fieldTextColor(item.style->color);
                        fillAliased(s, glyphPolygons(item.font, index), true,
                                    s.deviceTransform(glyph), paint, state, aliasedClip);
                    } else {
                        fillGlyph(s, paths[index], glyph, color);
                    }
                }
            } else if (item.deviceGlyph != nullptr && color.alpha() != 0) {
                const double scale = item.style->size / DeviceFont::kUnitsPerEm;
                const QTransform glyph = QTransform(scale, 0, 0, scale, x, baseline) * state.xform;
                if (!options_.antialias) {
                    FillStyle paint;
                    paint.color = fieldTextColor(item.style->color);
                    fillAliased(s, item.deviceGlyph->polygons, true, s.deviceTransform(glyph),
                                paint, state, aliasedClip);
                } else {
                    fillGlyph(s, item.deviceGlyph->outline, glyph, color);
                }
            } else if (item.painted && color.alpha() != 0) {
                s.setTransform(state.xform);
                p.setFont(deviceFont(*item.style));
                p.setPen(color);
                p.drawText(QPointF(x, baseline), QString(item.ch));
            }
            x += item.advance + (item.ch == u' ' ? extraPerSpace : 0);
        }
        baseline += descent + e.leading;
        if (baseline - descent > box.bottom()) {
            break;  // the rest is below the field
        }
    }
    p.restore();
}

// ---------------------------------------------------------------------------------------------
// Bounds

QRectF Renderer::characterBounds(const DisplayObject& o, DisplayContext& context, int nesting,
                                 bool declared) {
    if (!o.character || nesting > 64) {
        return {};
    }
    const Character& c = *o.character;
    auto rectOf = [](const Rect& r) {
        return QRectF(QPointF(r.xMin, r.yMin), QPointF(r.xMax, r.yMax)).normalized();
    };
    switch (c.kind) {
        case Character::Kind::Shape: {
            const auto* shape = c.as<ShapeDefinition>();
            if (declared) {
                return rectOf(shape->bounds);
            }
            const ShapePaths& paths = shapePaths(o.character, 0);
            QRectF r = rectOf(shape->bounds).united(paths.bounds);
            // Thin strokes still cover a pixel however far the shape is scaled down.
            return r.adjusted(-40, -40, 40, 40);
        }
        case Character::Kind::Morph: {
            const auto* m = c.as<MorphShapeDefinition>();
            const QRectF r = rectOf(m->startBounds).united(rectOf(m->endBounds));
            return declared ? r : r.adjusted(-40, -40, 40, 40);
        }
        case Character::Kind::Text:
            return rectOf(c.as<TextDefinition>()->bounds)
                .united(toQt(c.as<TextDefinition>()->matrix)
                            .mapRect(rectOf(c.as<TextDefinition>()->bounds)));
        case Character::Kind::EditText: {
            const QRectF r = rectOf(c.as<EditTextDefinition>()->bounds);
            // The border takes the pixels its right and bottom edges fall in, beyond the bounds.
            return declared ? r : r.adjusted(-40, -40, 40, 40);
        }
        case Character::Kind::Bitmap: {
            const QImage& image = bitmap(c.id);
            return QRectF(0, 0, image.width() * 20.0, image.height() * 20.0);
        }
        case Character::Kind::Sprite:
        case Character::Kind::Button: {
            QRectF r;
            if (o.children) {
                for (const auto& [depth, child] : o.children->objects()) {
                    const QRectF b = characterBounds(child, context, nesting + 1, declared);
                    if (!b.isEmpty()) {
                        r = r.united(toQt(child.matrix).mapRect(b));
                    }
                }
            }
            return r;
        }
        case Character::Kind::Font:
            break;
    }
    return {};
}

QRectF Renderer::deviceBounds(const DisplayObject& o, const QTransform& toDevice,
                              DisplayContext& context, int nesting) {
    DisplayContext* saved = context_;
    context_ = &context;
    const QRectF local = characterBounds(o, context, nesting);
    context_ = saved;
    if (local.isEmpty()) {
        return {};
    }
    const QTransform t = toQt(o.matrix) * toDevice;
    return sane(t) ? t.mapRect(local) : QRectF();
}

}  // namespace zd::engine
