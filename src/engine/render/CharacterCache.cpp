#include "engine/render/CharacterCache.h"

#include "engine/player/DisplayTree.h"

namespace zd::engine {

namespace {
// The morph steps kept between frames.
constexpr std::size_t kMaxCachedMorphs = 512;
}  // namespace

void CharacterCache::clear() {
    shapes_.clear();
    morphs_.clear();
    glyphs_.clear();
    bitmaps_.clear();
}

void CharacterCache::trim() {
    if (morphs_.size() > kMaxCachedMorphs) {
        morphs_.clear();
    }
}

CharacterPtr CharacterCache::character(std::uint16_t id) {
    return context_ != nullptr ? context_->character(id) : nullptr;
}

const ShapePaths& CharacterCache::shapePaths(const CharacterPtr& c, std::uint16_t ratio) {
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

const QImage& CharacterCache::bitmap(std::uint16_t id) {
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

QImage CharacterCache::transformedBitmap(std::uint16_t id, const ColorLut& lut) {
    QImage image = bitmap(id);
    if (!image.isNull() && !lut.identity()) {
        lut.apply(image);
    }
    return image;
}

const std::vector<QPainterPath>& CharacterCache::glyphPaths(const CharacterPtr& font) {
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

const Polygons& CharacterCache::glyphPolygons(const CharacterPtr& font, std::size_t index) {
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

CharacterPtr CharacterCache::findFont(const std::string& face, bool bold, bool italic,
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

}  // namespace zd::engine
