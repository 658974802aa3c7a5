#include <zlib.h>

#include <stdexcept>

#include "swfwriter/SwfWriter.h"

namespace zd::swfwriter {

namespace {

enum Code : std::uint16_t {
    kPlaceObject = 4,
    kRemoveObject = 5,
    kDefineText = 11,
    kDefineBitsLossless2 = 36,
    kDefineText2 = 33,
    kDefineButton2 = 34,
    kDefineEditText = 37,
    kDefineMorphShape = 46,
    kDefineFont2 = 48,
    kDefineFont3 = 75,
    kDefineMorphShape2 = 84,
};

void writeMorphFill(BitWriter& w, const FillStyle& a, const FillStyle& b) {
    if (a.type != b.type) {
        throw std::invalid_argument("morph fill styles differ in type");
    }
    w.u8(static_cast<std::uint8_t>(a.type));
    if (a.type == FillStyle::Type::Solid) {
        writeRgba(w, a.color);
        writeRgba(w, b.color);
        return;
    }
    if (a.type == FillStyle::Type::LinearGradient || a.type == FillStyle::Type::RadialGradient) {
        if (a.gradient.stops.size() != b.gradient.stops.size() || a.gradient.stops.empty()) {
            throw std::invalid_argument("morph gradients need the same number of stops");
        }
        writeMatrix(w, a.matrix);
        writeMatrix(w, b.matrix);
        w.u8(static_cast<std::uint8_t>(a.gradient.stops.size()));
        for (std::size_t i = 0; i < a.gradient.stops.size(); ++i) {
            w.u8(a.gradient.stops[i].ratio);
            writeRgba(w, a.gradient.stops[i].color);
            w.u8(b.gradient.stops[i].ratio);
            writeRgba(w, b.gradient.stops[i].color);
        }
        return;
    }
    throw std::invalid_argument("morph fill type not supported by the writer");
}

}  // namespace

std::uint16_t MovieWriter::defineMorphShape(const ShapeBuilder& start, const ShapeBuilder& end,
                                            int version) {
    if (version != 1 && version != 2) {
        throw std::invalid_argument("morph shape version must be 1 or 2");
    }
    if (start.fillStyles().size() != end.fillStyles().size() ||
        start.lineStyles().size() != end.lineStyles().size()) {
        throw std::invalid_argument("morph ends need the same styles");
    }
    const std::uint16_t id = nextCharacterId();
    BitWriter w;
    w.u16(id);
    writeRect(w, start.bounds());
    writeRect(w, end.bounds());
    if (version == 2) {
        writeRect(w, start.edgeBounds());
        writeRect(w, end.edgeBounds());
        w.u8(0x01);  // scaling strokes
    }
    BitWriter styles;
    styles.u8(static_cast<std::uint8_t>(start.fillStyles().size()));
    for (std::size_t i = 0; i < start.fillStyles().size(); ++i) {
        writeMorphFill(styles, start.fillStyles()[i], end.fillStyles()[i]);
    }
    styles.u8(static_cast<std::uint8_t>(start.lineStyles().size()));
    for (std::size_t i = 0; i < start.lineStyles().size(); ++i) {
        const LineStyle& a = start.lineStyles()[i];
        const LineStyle& b = end.lineStyles()[i];
        styles.u16(a.width);
        styles.u16(b.width);
        if (version == 2) {
            styles.ub(static_cast<std::uint32_t>(a.startCap), 2);
            styles.ub(static_cast<std::uint32_t>(a.join), 2);
            styles.flag(false);
            styles.flag(a.noHScale);
            styles.flag(a.noVScale);
            styles.flag(a.pixelHinting);
            styles.ub(0, 5);
            styles.flag(a.noClose);
            styles.ub(static_cast<std::uint32_t>(a.endCap), 2);
            if (a.join == LineStyle::Join::Miter) {
                styles.fixed8(a.miterLimit);
            }
        }
        writeRgba(styles, a.color);
        writeRgba(styles, b.color);
    }
    const Bytes startEdges = start.encodeRecords(version == 2 ? 4 : 3);
    // Offset from after the field to the end edges.
    w.u32(static_cast<std::uint32_t>(styles.data().size() + startEdges.size()));
    w.bytes(styles.data());
    w.bytes(startEdges);
    w.bytes(end.encodeRecords(version == 2 ? 4 : 3));
    rawTag(version == 2 ? kDefineMorphShape2 : kDefineMorphShape, w.data(), true);
    return id;
}

std::uint16_t MovieWriter::defineFont(const FontSpec& font) {
    if (font.version != 2 && font.version != 3) {
        throw std::invalid_argument("font version must be 2 or 3");
    }
    if (font.codes.size() != font.glyphs.size()) {
        throw std::invalid_argument("one code per glyph");
    }
    const std::uint16_t id = nextCharacterId();
    const bool layout = !font.advances.empty();
    if (layout && font.advances.size() != font.glyphs.size()) {
        throw std::invalid_argument("one advance per glyph");
    }
    std::vector<Bytes> shapes;
    for (const ShapeBuilder& g : font.glyphs) {
        shapes.push_back(g.encodeRecords(1));
    }
    BitWriter w;
    w.u16(id);
    w.u8(static_cast<std::uint8_t>((layout ? 0x80 : 0) | 0x08 | 0x04 | (font.italic ? 0x02 : 0) |
                                   (font.bold ? 0x01 : 0)));
    w.u8(0);  // language
    w.u8(static_cast<std::uint8_t>(font.name.size()));
    w.bytes({reinterpret_cast<const std::uint8_t*>(font.name.data()), font.name.size()});
    w.u16(static_cast<std::uint16_t>(font.glyphs.size()));
    // Wide offsets from the start of the offset table.
    std::uint32_t offset = static_cast<std::uint32_t>(4 * (font.glyphs.size() + 1));
    for (const Bytes& s : shapes) {
        w.u32(offset);
        offset += static_cast<std::uint32_t>(s.size());
    }
    w.u32(offset);  // code table
    for (const Bytes& s : shapes) {
        w.bytes(s);
    }
    for (const std::uint16_t c : font.codes) {
        w.u16(c);
    }
    if (layout) {
        w.u16(font.ascent);
        w.u16(font.descent);
        w.u16(static_cast<std::uint16_t>(font.leading));
        for (const std::int16_t a : font.advances) {
            w.u16(static_cast<std::uint16_t>(a));
        }
        for (std::size_t i = 0; i < font.glyphs.size(); ++i) {
            writeRect(w, {});
        }
        w.u16(0);  // kerning
    }
    rawTag(font.version == 3 ? kDefineFont3 : kDefineFont2, w.data(), true);
    return id;
}

std::uint16_t MovieWriter::defineText(const Rect& bounds, const Matrix& matrix,
                                      const std::vector<TextRecordSpec>& records, int version) {
    const std::uint16_t id = nextCharacterId();
    unsigned glyphBits = 1;
    unsigned advanceBits = 1;
    for (const TextRecordSpec& r : records) {
        for (const GlyphEntry& g : r.glyphs) {
            glyphBits = std::max(glyphBits, BitWriter::unsignedBits(g.index));
            advanceBits = std::max(advanceBits, BitWriter::signedBits(g.advance));
        }
    }
    BitWriter w;
    w.u16(id);
    writeRect(w, bounds);
    writeMatrix(w, matrix);
    w.u8(static_cast<std::uint8_t>(glyphBits));
    w.u8(static_cast<std::uint8_t>(advanceBits));
    for (const TextRecordSpec& r : records) {
        w.u8(static_cast<std::uint8_t>(0x80 | (r.fontId ? 0x08 : 0) | (r.color ? 0x04 : 0) |
                                       (r.y ? 0x02 : 0) | (r.x ? 0x01 : 0)));
        if (r.fontId) {
            w.u16(*r.fontId);
        }
        if (r.color) {
            if (version >= 2) {
                writeRgba(w, *r.color);
            } else {
                writeRgb(w, *r.color);
            }
        }
        if (r.x) {
            w.u16(static_cast<std::uint16_t>(*r.x));
        }
        if (r.y) {
            w.u16(static_cast<std::uint16_t>(*r.y));
        }
        if (r.fontId) {
            w.u16(r.height);
        }
        w.u8(static_cast<std::uint8_t>(r.glyphs.size()));
        for (const GlyphEntry& g : r.glyphs) {
            w.ub(g.index, glyphBits);
            w.sb(g.advance, advanceBits);
        }
        w.align();
    }
    w.u8(0);
    rawTag(version >= 2 ? kDefineText2 : kDefineText, w.data(), true);
    return id;
}

std::uint16_t MovieWriter::defineEditText(const EditTextSpec& t) {
    const std::uint16_t id = nextCharacterId();
    BitWriter w;
    w.u16(id);
    writeRect(w, t.bounds);
    w.u8(static_cast<std::uint8_t>((t.text ? 0x80 : 0) | (t.wordWrap ? 0x40 : 0) |
                                   (t.multiline ? 0x20 : 0) | (t.color ? 0x04 : 0) |
                                   (t.fontId ? 0x01 : 0)));
    w.u8(static_cast<std::uint8_t>((t.layout ? 0x20 : 0) | (t.border ? 0x08 : 0) |
                                   (t.html ? 0x02 : 0) | (t.useOutlines ? 0x01 : 0)));
    if (t.fontId) {
        w.u16(*t.fontId);
        w.u16(t.fontHeight);
    }
    if (t.color) {
        writeRgba(w, *t.color);
    }
    if (t.layout) {
        w.u8(t.align);
        w.u16(t.leftMargin);
        w.u16(t.rightMargin);
        w.u16(0);
        w.u16(static_cast<std::uint16_t>(t.leading));
    }
    w.cstring(t.variable);
    if (t.text) {
        w.cstring(*t.text);
    }
    rawTag(kDefineEditText, w.data(), true);
    return id;
}

std::uint16_t MovieWriter::defineButton2(const std::vector<ButtonRecordSpec>& records) {
    const std::uint16_t id = nextCharacterId();
    BitWriter w;
    w.u16(id);
    w.u8(0);
    w.u16(0);  // no actions
    for (const ButtonRecordSpec& r : records) {
        w.u8(r.states & 0x0f);
        w.u16(r.characterId);
        w.u16(r.depth);
        writeMatrix(w, r.matrix);
        writeColorTransform(w, r.colorTransform.value_or(ColorTransform{}), true);
    }
    w.u8(0);
    rawTag(kDefineButton2, w.data(), true);
    return id;
}

std::uint16_t MovieWriter::defineButton2(const std::vector<ButtonRecordSpec>& records,
                                         const std::vector<ButtonAction>& actions,
                                         bool trackAsMenu) {
    const std::uint16_t id = nextCharacterId();
    BitWriter w;
    w.u16(id);
    w.u8(trackAsMenu ? 1 : 0);
    BitWriter rec;
    for (const ButtonRecordSpec& r : records) {
        rec.u8(r.states & 0x0f);
        rec.u16(r.characterId);
        rec.u16(r.depth);
        writeMatrix(rec, r.matrix);
        writeColorTransform(rec, r.colorTransform.value_or(ColorTransform{}), true);
    }
    rec.u8(0);
    // The offset counts from its own field to the first condition.
    w.u16(actions.empty() ? 0 : static_cast<std::uint16_t>(2 + rec.data().size()));
    Bytes body = w.data();
    body.insert(body.end(), rec.data().begin(), rec.data().end());
    for (std::size_t i = 0; i < actions.size(); ++i) {
        const ButtonAction& a = actions[i];
        const std::size_t size = 4 + a.actions.size();
        const std::uint16_t next = i + 1 == actions.size() ? 0 : static_cast<std::uint16_t>(size);
        body.push_back(static_cast<std::uint8_t>(next & 0xff));
        body.push_back(static_cast<std::uint8_t>(next >> 8));
        body.push_back(static_cast<std::uint8_t>(a.conditions & 0xff));
        body.push_back(static_cast<std::uint8_t>((a.key << 1) | ((a.conditions >> 8) & 1)));
        body.insert(body.end(), a.actions.begin(), a.actions.end());
    }
    rawTag(kDefineButton2, body, true);
    return id;
}

std::uint16_t MovieWriter::defineBitsLossless2(int width, int height,
                                               const std::vector<std::uint32_t>& argb) {
    if (width <= 0 || height <= 0 || argb.size() != static_cast<std::size_t>(width) * height) {
        throw std::invalid_argument("one pixel per place");
    }
    Bytes pixels;
    pixels.reserve(argb.size() * 4);
    for (const std::uint32_t p : argb) {
        // Stored premultiplied, alpha first.
        const std::uint32_t a = p >> 24;
        pixels.push_back(static_cast<std::uint8_t>(a));
        for (const int shift : {16, 8, 0}) {
            pixels.push_back(static_cast<std::uint8_t>(((p >> shift) & 0xff) * a / 255));
        }
    }
    uLongf size = compressBound(static_cast<uLong>(pixels.size()));
    Bytes packed(size);
    if (compress2(packed.data(), &size, pixels.data(), static_cast<uLong>(pixels.size()), 9) !=
        Z_OK) {
        throw std::runtime_error("zlib compression failed");
    }
    packed.resize(size);
    const std::uint16_t id = nextCharacterId();
    BitWriter w;
    w.u16(id);
    w.u8(5);
    w.u16(static_cast<std::uint16_t>(width));
    w.u16(static_cast<std::uint16_t>(height));
    w.bytes(packed);
    rawTag(kDefineBitsLossless2, w.data(), true);
    return id;
}

void Timeline::placeObject1(std::uint16_t characterId, std::uint16_t depth, const Matrix& matrix,
                            std::optional<ColorTransform> colorTransform) {
    BitWriter w;
    w.u16(characterId);
    w.u16(depth);
    writeMatrix(w, matrix);
    if (colorTransform) {
        writeColorTransform(w, *colorTransform, false);
    }
    rawTag(kPlaceObject, w.data());
}

void Timeline::removeObject1(std::uint16_t characterId, std::uint16_t depth) {
    BitWriter w;
    w.u16(characterId);
    w.u16(depth);
    rawTag(kRemoveObject, w.data());
}

}  // namespace zd::swfwriter
