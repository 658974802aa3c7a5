#include "engine/render/DeviceFonts.h"

#include <QFont>
#include <QGuiApplication>
#include <cstdint>

namespace zd::engine {

namespace {

// A movie may ask for any number of characters and faces; past these, no more are taken up
// (the glyphs handed out stay valid for the renderer's life).
constexpr std::size_t kMaxGlyphs = 65536;
constexpr std::size_t kMaxFonts = 64;

int bigEndian16(const QByteArray& b, qsizetype at) {
    return (static_cast<std::uint8_t>(b[at]) << 8) | static_cast<std::uint8_t>(b[at + 1]);
}

int signed16(const QByteArray& b, qsizetype at) {
    const int v = bigEndian16(b, at);
    return v >= 0x8000 ? v - 0x10000 : v;
}

// Generic names as the movies give them; the Noto families where installed, as the reference
// pictures were drawn with them, else whatever the system prefers for the kind.
QFont systemFont(const std::string& face) {
    QFont f;
    if (face.empty() || face == "_sans") {
        f.setFamily(QStringLiteral("Noto Sans"));
        f.setStyleHint(QFont::SansSerif);
    } else if (face == "_serif") {
        f.setFamily(QStringLiteral("Noto Serif"));
        f.setStyleHint(QFont::Serif);
    } else if (face == "_typewriter") {
        f.setFamily(QStringLiteral("Noto Sans Mono"));
        f.setStyleHint(QFont::TypeWriter);
    } else {
        f.setFamily(QString::fromStdString(face));
        f.setStyleHint(QFont::SansSerif);
    }
    return f;
}

}  // namespace

std::optional<FontExtent> horizontalExtent(const QByteArray& hhea, const QByteArray& head) {
    // hhea: version (4 bytes), ascender, descender (negative below the baseline).
    // head: ... unitsPerEm at byte 18.
    if (hhea.size() < 8 || head.size() < 20) {
        return std::nullopt;
    }
    const int em = bigEndian16(head, 18);
    if (em == 0) {
        return std::nullopt;
    }
    return FontExtent{signed16(hhea, 4) / static_cast<double>(em),
                      -signed16(hhea, 6) / static_cast<double>(em)};
}

DeviceFont::DeviceFont(QRawFont raw) : raw_(std::move(raw)) {
    if (!raw_.isValid()) {
        return;
    }
    if (const auto e = horizontalExtent(raw_.fontTable("hhea"), raw_.fontTable("head"))) {
        extent_ = *e;
    } else {
        extent_ = {raw_.ascent() / raw_.pixelSize(), raw_.descent() / raw_.pixelSize()};
    }
}

const DeviceFont::Glyph* DeviceFont::glyph(char32_t code) {
    if (!raw_.isValid()) {
        return nullptr;
    }
    auto it = glyphs_.find(code);
    if (it == glyphs_.end()) {
        if (glyphs_.size() >= kMaxGlyphs) {
            return nullptr;
        }
        std::optional<Glyph> g;
        const QList<quint32> ids = raw_.glyphIndexesForString(QString::fromUcs4(&code, 1));
        // Index 0 is the font's "missing" box: a character it does not have.
        if (ids.size() == 1 && ids[0] != 0) {
            g.emplace();
            const double scale = kUnitsPerEm / raw_.pixelSize();
            g->outline = QTransform::fromScale(scale, scale).map(raw_.pathForGlyph(ids[0]));
            g->outline.setFillRule(Qt::WindingFill);
            g->polygons = flattenPath(g->outline);
            const QList<QPointF> advances =
                raw_.advancesForGlyphIndexes(ids, QRawFont::UseDesignMetrics);
            g->advance = advances.isEmpty() ? 0 : advances[0].x() * scale;
        }
        it = glyphs_.emplace(code, std::move(g)).first;
    }
    return it->second ? &*it->second : nullptr;
}

DeviceFont* DeviceFonts::font(const std::string& face, bool bold, bool italic) {
    // The font system needs a GUI application; tools without one draw no device text.
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) {
        return nullptr;
    }
    auto key = std::make_tuple(face, bold, italic);
    auto it = fonts_.find(key);
    if (it == fonts_.end()) {
        if (fonts_.size() >= kMaxFonts) {
            return nullptr;
        }
        QFont f = systemFont(face);
        f.setPixelSize(static_cast<int>(DeviceFont::kUnitsPerEm));
        f.setBold(bold);
        f.setItalic(italic);
        f.setHintingPreference(QFont::PreferNoHinting);
        it = fonts_.emplace(key, std::make_unique<DeviceFont>(QRawFont::fromFont(f))).first;
    }
    return it->second->usable() ? it->second.get() : nullptr;
}

}  // namespace zd::engine
