#include "engine/render/Bounds.h"

#include "engine/player/DisplayTree.h"
#include "engine/render/CharacterCache.h"
#include "engine/render/RenderTypes.h"

namespace zd::engine {

namespace {

// What an object draws, before its scroll rectangle moves it.
QRectF unscrolledBounds(const DisplayObject& o, CharacterCache& cache, int nesting, bool declared);

// What a timeline holds, drawn by the drawing methods or placed on it.
QRectF contentBounds(const DisplayObject& o, CharacterCache& cache, int nesting, bool declared) {
    QRectF r;
    if (const CharacterPtr& drawing = o.drawing()) {
        const auto* shape = drawing->as<ShapeDefinition>();
        const Rect& b = shape->bounds;
        r = QRectF(QPointF(b.xMin, b.yMin), QPointF(b.xMax, b.yMax)).normalized();
        if (!declared) {
            r = r.united(cache.shapePaths(drawing, 0).bounds);
        }
    }
    if (o.timeline() != nullptr) {
        for (const auto& [depth, child] : o.timeline()->objects()) {
            const QRectF b = characterBounds(*child, cache, nesting + 1, declared);
            if (!b.isEmpty()) {
                r = r.united(toQt(child->matrix()).mapRect(b));
            }
        }
    }
    return r;
}

}  // namespace

QRectF characterBounds(const DisplayObject& o, CharacterCache& cache, int nesting, bool declared) {
    const QRectF r = unscrolledBounds(o, cache, nesting, declared);
    // What is drawn moves by the scroll rectangle's corner; masks show all of it, uncut.
    if (const auto& scroll = o.scrollRect(); scroll && !declared && !r.isEmpty()) {
        return r.translated(-scroll->x, -scroll->y);
    }
    return r;
}

namespace {

QRectF unscrolledBounds(const DisplayObject& o, CharacterCache& cache, int nesting, bool declared) {
    if (nesting > 64) {
        return {};
    }
    if (!o.character()) {
        // A level: its movie's timeline.
        return o.isRoot() ? contentBounds(o, cache, nesting, declared) : QRectF();
    }
    const Character& c = *o.character();
    auto rectOf = [](const Rect& r) {
        return QRectF(QPointF(r.xMin, r.yMin), QPointF(r.xMax, r.yMax)).normalized();
    };
    switch (c.kind) {
        case Character::Kind::Shape: {
            const auto* shape = c.as<ShapeDefinition>();
            if (declared) {
                return rectOf(shape->bounds);
            }
            const ShapePaths& paths = cache.shapePaths(o.character(), 0);
            QRectF r = rectOf(shape->bounds).united(paths.bounds);
            // Thin strokes still cover a pixel however far the shape is scaled down.
            return r.adjusted(-40, -40, 40, 40);
        }
        case Character::Kind::Morph: {
            // Measured, a morph keeps its start bounds until its ratio reaches the end (the
            // player steps the bounds in whole ratios); drawn, it may be anywhere between.
            const auto* m = c.as<MorphShapeDefinition>();
            if (declared) {
                return rectOf(o.ratio() == 65535 ? m->endBounds : m->startBounds);
            }
            return rectOf(m->startBounds).united(rectOf(m->endBounds)).adjusted(-40, -40, 40, 40);
        }
        case Character::Kind::Text:
            return rectOf(c.as<TextDefinition>()->bounds)
                .united(toQt(c.as<TextDefinition>()->matrix)
                            .mapRect(rectOf(c.as<TextDefinition>()->bounds)));
        case Character::Kind::EditText: {
            const QRectF r = rectOf(o.textField() != nullptr ? o.textField()->def.bounds
                                                             : c.as<EditTextDefinition>()->bounds);
            // The border takes the pixels its right and bottom edges fall in, beyond the bounds.
            return declared ? r : r.adjusted(-40, -40, 40, 40);
        }
        case Character::Kind::Bitmap: {
            if (const auto* live = c.as<ScriptBitmap>()) {
                return QRectF(0, 0, live->width * 20.0, live->height * 20.0);
            }
            const QImage& image = cache.bitmap(c.id);
            return QRectF(0, 0, image.width() * 20.0, image.height() * 20.0);
        }
        case Character::Kind::Video: {
            const auto* stream = c.as<VideoStreamDefinition>();
            return QRectF(0, 0, stream->width * 20.0, stream->height * 20.0);
        }
        case Character::Kind::Sprite:
        case Character::Kind::Button:
            return contentBounds(o, cache, nesting, declared);
        case Character::Kind::Font:
            break;
    }
    return {};
}

}  // namespace

QRectF buttonHitBounds(const DisplayObject& o, CharacterCache& cache) {
    const auto* def = o.character() ? o.character()->as<ButtonDefinition>() : nullptr;
    if (def == nullptr) {
        return {};
    }
    auto rectOf = [](const Rect& r) {
        return QRectF(QPointF(r.xMin, r.yMin), QPointF(r.xMax, r.yMax)).normalized();
    };
    QRectF out;
    for (const ButtonRecord& record : def->records) {
        if (!(record.states & ButtonRecord::HitTest)) {
            continue;
        }
        const CharacterPtr c = cache.character(record.characterId);
        if (!c) {
            continue;
        }
        QRectF r;
        if (const auto* shape = c->as<ShapeDefinition>()) {
            r = rectOf(shape->bounds);
        } else if (const auto* morph = c->as<MorphShapeDefinition>()) {
            r = rectOf(morph->startBounds);
        } else if (const auto* text = c->as<TextDefinition>()) {
            r = toQt(text->matrix).mapRect(rectOf(text->bounds));
        } else if (const auto* edit = c->as<EditTextDefinition>()) {
            r = rectOf(edit->bounds);
        }
        if (!r.isEmpty()) {
            out = out.united(toQt(record.matrix).mapRect(r));
        }
    }
    return out;
}

QRectF objectBounds(const DisplayObject& o, const QTransform& toDevice, CharacterCache& cache,
                    int nesting) {
    const QRectF local = characterBounds(o, cache, nesting);
    if (local.isEmpty()) {
        return {};
    }
    const QTransform t = toQt(o.matrix()) * toDevice;
    return sane(t) ? t.mapRect(local) : QRectF();
}

}  // namespace zd::engine
