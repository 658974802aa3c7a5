#include "engine/render/Renderer.h"

#include <QFont>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>
#include <algorithm>
#include <cmath>

#include "engine/player/StagePlayer.h"
#include "engine/render/BlendModes.h"
#include "engine/render/StageRenderer.h"

namespace zd::engine {

namespace {

// Objects drawn in one frame at most; a hostile tree is cut off there.
constexpr std::size_t kMaxDrawsPerFrame = 200000;
// Scales beyond this (device pixels per twip) are not drawn: nothing sane needs them.
constexpr double kMaxScale = 1e5;
// The morph steps and bitmaps kept between frames.
constexpr std::size_t kMaxCachedMorphs = 512;
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

QColor qcolor(Rgba c) {
    return QColor(c.r, c.g, c.b, c.a);
}

double toLinear(double v) {
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}

double fromLinear(double v) {
    return v <= 0.0031308 ? v * 12.92 : 1.055 * std::pow(v, 1.0 / 2.4) - 0.055;
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

struct Renderer::Surface {
    QImage* image = nullptr;
    QPainter* painter = nullptr;
    QPoint origin;  // the device position of the image's top left
    QRect visible;  // device pixels worth drawing

    void setTransform(const QTransform& toDevice) const {
        painter->setTransform(toDevice * QTransform::fromTranslate(-origin.x(), -origin.y()));
    }
};

struct Renderer::State {
    QTransform xform;  // twips to device
    ColorLut lut;
    bool maskMode = false;  // drawing a mask: coverage only, in opaque white
    bool inLayer = false;   // drawing into a parent's own layer (Alpha and Erase need one)
    int nesting = 0;
};

Renderer::Renderer(RenderHooks hooks) : hooks_(std::move(hooks)) {}

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
    QTransform toDevice = stageTransform(stage, target);
    if (qEnvironmentVariableIsSet("ZD_OFFSET")) {
        const double d = qEnvironmentVariable("ZD_OFFSET").toDouble();
        toDevice *= QTransform::fromTranslate(d, d);
    }
    renderTimeline(image, player.root(), toDevice, player.context());
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
    QMargins margins;
    if (!o.filterList.empty() && hooks_.filterMargins && hooks_.applyFilters) {
        margins = hooks_.filterMargins(o.filterList, stageScale_);
    }
    // state.xform already holds the object's own matrix.
    const QRectF local = characterBounds(o, *context_, state.nesting);
    const QRectF bounds = local.isEmpty() ? QRectF() : state.xform.mapRect(local);
    const QRect visibleWithMargins = s.visible.marginsAdded(margins);
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
    QPainter& p = *s.painter;
    p.setRenderHint(QPainter::Antialiasing, options_.antialias);
    s.setTransform(state.xform);
    for (const ShapePaths::Group& g : paths.groups) {
        for (const ShapePaths::Fill& f : g.fills) {
            fillPath(p, f.path, f.style, state);
        }
        if (state.maskMode) {
            continue;  // masks are made of the fills alone
        }
        for (const ShapePaths::Stroke& l : g.strokes) {
            strokePath(p, l.path, l.style, state);
        }
    }
}

QBrush Renderer::gradientBrush(const FillStyle& style, const ColorLut& lut) const {
    const Gradient& g = style.gradient;
    if (g.records.empty()) {
        return QBrush(Qt::transparent);
    }
    QGradientStops stops;
    auto add = [&](double at, const QColor& c) {
        // Stops must rise; a ratio going back is taken as equal to the one before.
        if (!stops.isEmpty() && at < stops.back().first) {
            at = stops.back().first;
        }
        stops.append({at, c});
    };
    for (std::size_t i = 0; i < g.records.size(); ++i) {
        const GradientRecord& r = g.records[i];
        const QColor c = lut.color(r.color);
        if (g.linearRgb && i > 0) {
            // Linear-light blending, approximated by stops between the recorded ones.
            const QColor a = lut.color(g.records[i - 1].color);
            const double from = stops.back().first;
            const double to = std::max(from, r.ratio / 255.0);
            constexpr int kSteps = 8;
            for (int k = 1; k < kSteps; ++k) {
                const double t = static_cast<double>(k) / kSteps;
                auto mix = [&](double x, double y) {
                    return fromLinear(toLinear(x) + (toLinear(y) - toLinear(x)) * t);
                };
                add(from + (to - from) * t,
                    QColor::fromRgbF(
                        static_cast<float>(mix(a.redF(), c.redF())),
                        static_cast<float>(mix(a.greenF(), c.greenF())),
                        static_cast<float>(mix(a.blueF(), c.blueF())),
                        static_cast<float>(a.alphaF() + (c.alphaF() - a.alphaF()) * t)));
            }
        }
        add(r.ratio / 255.0, c);
    }
    const QTransform m = toQt(style.matrix);
    if (std::abs(m.determinant()) < 1e-12 || !sane(m)) {
        return QBrush(stops.back().second);
    }
    QGradient::Spread spread = QGradient::PadSpread;
    if (g.spread == Gradient::Reflect) {
        spread = QGradient::ReflectSpread;
    } else if (g.spread == Gradient::Repeat) {
        spread = QGradient::RepeatSpread;
    }
    QBrush brush;
    if (style.type == FillStyle::LinearGradient) {
        QLinearGradient lg(-16384.0, 0.0, 16384.0, 0.0);
        lg.setStops(stops);
        lg.setSpread(spread);
        brush = QBrush(lg);
    } else {
        const double focal = style.type == FillStyle::FocalGradient ? g.focalPoint : 0.0;
        QRadialGradient rg(QPointF(0, 0), 16384.0, QPointF(focal * 16384.0 * 0.999, 0));
        rg.setStops(stops);
        rg.setSpread(spread);
        brush = QBrush(rg);
    }
    brush.setTransform(m);
    return brush;
}

void Renderer::fillPath(QPainter& p, const QPainterPath& path, const FillStyle& style,
                        const State& state) {
    if (state.maskMode) {
        p.fillPath(path, Qt::white);
        return;
    }
    if (style.type == FillStyle::Solid) {
        const QColor c = state.lut.color(style.color);
        if (c.alpha() != 0) {
            p.fillPath(path, c);
        }
        return;
    }
    if (style.isGradient()) {
        p.fillPath(path, gradientBrush(style, state.lut));
        return;
    }
    if (style.isBitmap()) {
        QImage image = transformedBitmap(style.bitmapId, state.lut);
        if (image.isNull()) {
            p.fillPath(path, QColor(0xc0, 0xc0, 0xc0));  // placeholder for a missing bitmap
            return;
        }
        const QTransform m = toQt(style.matrix);
        if (std::abs(m.determinant()) < 1e-12 || !sane(m)) {
            return;
        }
        p.save();
        p.setRenderHint(QPainter::SmoothPixmapTransform,
                        style.bitmapSmoothed() && options_.antialias);
        if (style.bitmapRepeats()) {
            QBrush brush(image);
            brush.setTransform(m);
            p.fillPath(path, brush);
        } else {
            p.setClipPath(path, Qt::IntersectClip);
            p.setTransform(m * p.transform());
            p.drawImage(0, 0, image);
        }
        p.restore();
    }
}

void Renderer::strokePath(QPainter& p, const QPainterPath& path, const LineStyle& style,
                          const State& state) {
    QBrush brush;
    if (state.maskMode) {
        brush = QBrush(Qt::white);
    } else if (style.fill && style.fill->isGradient()) {
        brush = gradientBrush(*style.fill, state.lut);
    } else {
        const QColor c = state.lut.color(style.color);
        if (c.alpha() == 0) {
            return;
        }
        brush = QBrush(c);
    }
    QPen pen(brush, style.width);
    const double scale = transformScale(state.xform);
    const bool fixedWidth = style.noHScale || style.noVScale;
    const double deviceWidth = fixedWidth ? style.width / 20.0 * stageScale_ : style.width * scale;
    if (style.width == 0 || deviceWidth < 1.0) {
        pen.setWidthF(1.0);
        pen.setCosmetic(true);  // hairlines and thin lines: one pixel wide
    } else if (fixedWidth) {
        pen.setWidthF(deviceWidth);
        pen.setCosmetic(true);
    }
    switch (style.startCap) {
        case LineStyle::NoCap:
            pen.setCapStyle(Qt::FlatCap);
            break;
        case LineStyle::SquareCap:
            pen.setCapStyle(Qt::SquareCap);
            break;
        default:
            pen.setCapStyle(Qt::RoundCap);
            break;
    }
    switch (style.join) {
        case LineStyle::BevelJoin:
            pen.setJoinStyle(Qt::BevelJoin);
            break;
        case LineStyle::MiterJoin:
            pen.setJoinStyle(Qt::SvgMiterJoin);
            pen.setMiterLimit(std::max(1.0, style.miterLimit));
            break;
        default:
            pen.setJoinStyle(Qt::RoundJoin);
            break;
    }
    p.strokePath(path, pen);
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
        return it->second.second;
    }
    std::vector<QPainterPath> paths;
    if (const auto* f = font->as<FontDefinition>()) {
        paths.reserve(f->glyphs.size());
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
            paths.push_back(std::move(path));
        }
    }
    return glyphs_.emplace(font.get(), std::make_pair(font, std::move(paths))).first->second.second;
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
                s.setTransform(QTransform(scale, 0, 0, scale, x, y) * textXform);
                p.fillPath((*glyphs)[g.index], c);
            }
            x += g.advance;
        }
    }
}

void Renderer::drawEditText(Surface& s, const EditTextDefinition& e, const State& state) {
    QPainter& p = *s.painter;
    p.setRenderHint(QPainter::Antialiasing, options_.antialias);
    s.setTransform(state.xform);
    const QRectF box(QPointF(e.bounds.xMin, e.bounds.yMin), QPointF(e.bounds.xMax, e.bounds.yMax));
    if (e.border) {
        p.fillRect(box,
                   state.maskMode ? QColor(Qt::white) : state.lut.color(Rgba{255, 255, 255, 255}));
        QPen pen(state.maskMode ? QColor(Qt::white) : state.lut.color(Rgba{0, 0, 0, 255}));
        pen.setCosmetic(true);
        pen.setWidthF(1.0);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        p.drawRect(box.adjusted(10, 10, -10, -10));
    }
    std::string text = e.html ? htmlToPlainText(e.initialText) : e.initialText;
    if (text.empty()) {
        return;
    }
    QString content = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    content.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    content.replace(u'\r', u'\n');
    if (e.password) {
        for (QChar& ch : content) {
            if (ch != u'\n') {
                ch = u'*';
            }
        }
    }
    if (!e.multiline) {
        content.replace(u'\n', u' ');
    }
    const QColor color = state.maskMode ? QColor(Qt::white) : state.lut.color(e.color);
    const double size = e.fontHeight;

    // Embedded glyphs when the field asks for them and the font has them; else a system font.
    CharacterPtr fontChar = e.fontId ? context_->character(*e.fontId) : nullptr;
    const FontDefinition* font = fontChar ? fontChar->as<FontDefinition>() : nullptr;
    const bool outlines = e.useOutlines && font != nullptr && !font->glyphs.empty();
    const std::vector<QPainterPath>* glyphs = outlines ? &glyphPaths(fontChar) : nullptr;

    QFont qfont(
        font != nullptr && !font->name.empty()
            ? QString::fromUtf8(font->name.data(), static_cast<qsizetype>(font->name.size()))
            : QStringLiteral("Times New Roman"));
    if (font != nullptr && (font->name == "_sans" || font->name.empty())) {
        qfont.setFamily(QStringLiteral("Sans Serif"));
    } else if (font != nullptr && font->name == "_serif") {
        qfont.setFamily(QStringLiteral("Serif"));
    } else if (font != nullptr && font->name == "_typewriter") {
        qfont.setFamily(QStringLiteral("Monospace"));
    }
    qfont.setPixelSize(std::max(1, static_cast<int>(std::lround(size))));
    qfont.setBold(font != nullptr && font->bold);
    qfont.setItalic(font != nullptr && font->italic);
    const QFontMetricsF metrics(qfont);

    const double em = font != nullptr ? font->unitsPerEm() : 1024.0;
    auto advanceOf = [&](QChar ch) -> double {
        if (outlines) {
            const int g = font->glyphFor(ch.unicode());
            if (g < 0) {
                return 0;
            }
            if (static_cast<std::size_t>(g) < font->advances.size()) {
                return font->advances[static_cast<std::size_t>(g)] * size / em;
            }
            return (*glyphs)[static_cast<std::size_t>(g)].boundingRect().right() * size / em;
        }
        return metrics.horizontalAdvance(ch);
    };
    double ascent = metrics.ascent();
    double descent = metrics.descent();
    if (outlines && font->hasLayout) {
        ascent = font->ascent * size / em;
        descent = font->descent * size / em;
    } else if (outlines) {
        ascent = size * 0.8;
        descent = size * 0.2;
    }
    const double lineHeight = ascent + descent + e.leading;

    const double left = box.left() + kTextGutter + e.leftMargin;
    const double right = box.right() - kTextGutter - e.rightMargin;
    const double width = std::max(0.0, right - left);

    // Lines broken at newlines, and at spaces to fit the width when the field wraps.
    std::vector<QString> lines;
    for (const QString& paragraph : content.split(u'\n')) {
        if (!e.wordWrap) {
            lines.push_back(paragraph);
            continue;
        }
        QString line;
        double lineWidth = 0;
        for (const QString& word : paragraph.split(u' ')) {
            double w = 0;
            for (const QChar ch : word) {
                w += advanceOf(ch);
            }
            const double space = line.isEmpty() ? 0 : advanceOf(u' ');
            if (!line.isEmpty() && lineWidth + space + w > width) {
                lines.push_back(line);
                line = word;
                lineWidth = w;
            } else {
                if (!line.isEmpty()) {
                    line += u' ';
                }
                line += word;
                lineWidth += space + w;
            }
        }
        lines.push_back(line);
    }

    p.save();
    p.setClipRect(box, Qt::IntersectClip);
    double baseline = box.top() + kTextGutter + ascent;
    for (const QString& line : lines) {
        double lineWidth = 0;
        for (const QChar ch : line) {
            lineWidth += advanceOf(ch);
        }
        double x = left + (lines.size() == 1 && &line == &lines.front() ? e.indent : 0);
        if (e.align == 1) {
            x = right - lineWidth;
        } else if (e.align == 2) {
            x = left + (width - lineWidth) / 2;
        }
        if (outlines) {
            const double scale = size / em;
            for (const QChar ch : line) {
                const int g = font->glyphFor(ch.unicode());
                if (g >= 0) {
                    s.setTransform(QTransform(scale, 0, 0, scale, x, baseline) * state.xform);
                    p.fillPath((*glyphs)[static_cast<std::size_t>(g)], color);
                }
                x += advanceOf(ch);
            }
        } else {
            s.setTransform(state.xform);
            p.setFont(qfont);
            p.setPen(color);
            p.drawText(QPointF(x, baseline), line);
        }
        baseline += lineHeight;
        if (baseline - ascent > box.bottom()) {
            break;
        }
    }
    p.restore();
}

// ---------------------------------------------------------------------------------------------
// Bounds

QRectF Renderer::characterBounds(const DisplayObject& o, DisplayContext& context, int nesting) {
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
            const ShapePaths& paths = shapePaths(o.character, 0);
            QRectF r = rectOf(shape->bounds).united(paths.bounds);
            // Thin strokes still cover a pixel however far the shape is scaled down.
            return r.adjusted(-40, -40, 40, 40);
        }
        case Character::Kind::Morph: {
            const auto* m = c.as<MorphShapeDefinition>();
            return rectOf(m->startBounds).united(rectOf(m->endBounds)).adjusted(-40, -40, 40, 40);
        }
        case Character::Kind::Text:
            return rectOf(c.as<TextDefinition>()->bounds)
                .united(toQt(c.as<TextDefinition>()->matrix)
                            .mapRect(rectOf(c.as<TextDefinition>()->bounds)));
        case Character::Kind::EditText:
            return rectOf(c.as<EditTextDefinition>()->bounds);
        case Character::Kind::Bitmap: {
            const QImage& image = bitmap(c.id);
            return QRectF(0, 0, image.width() * 20.0, image.height() * 20.0);
        }
        case Character::Kind::Sprite:
        case Character::Kind::Button: {
            QRectF r;
            if (o.children) {
                for (const auto& [depth, child] : o.children->objects()) {
                    const QRectF b = characterBounds(child, context, nesting + 1);
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
