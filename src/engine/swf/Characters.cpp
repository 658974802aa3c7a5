#include "engine/swf/Characters.h"

#include <algorithm>

#include "engine/swf/ByteReader.h"

namespace zd::engine {

namespace {

// A font holds at most 65535 glyphs by its 16-bit count; a text record at most 255.
constexpr std::size_t kMaxTextRecords = 65536;

// Reads glyph shapes whose offsets are relative to the offset table's start. Offsets that
// point outside the tag give empty glyphs.
void readGlyphTable(std::span<const std::uint8_t> table, const std::vector<std::uint32_t>& offsets,
                    std::size_t tableEnd, FontDefinition& font) {
    font.glyphs.reserve(offsets.size());
    for (std::size_t i = 0; i < offsets.size(); ++i) {
        const std::size_t begin = offsets[i];
        std::size_t end = i + 1 < offsets.size() ? offsets[i + 1] : tableEnd;
        end = std::min(end, table.size());
        if (begin >= end) {
            font.glyphs.emplace_back();
            continue;
        }
        ByteReader glyph(table.subspan(begin, end - begin));
        font.glyphs.push_back(parseGlyph(glyph));
    }
}

}  // namespace

int FontDefinition::glyphFor(char32_t code) const {
    for (std::size_t i = 0; i < codes.size() && i < glyphs.size(); ++i) {
        if (codes[i] == code) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

FontDefinition parseFont(ByteReader& in, int version) {
    FontDefinition font;
    font.version = version;
    if (version == 1) {
        // The offset table's first entry tells how many entries there are.
        const std::size_t start = in.position();
        const std::span<const std::uint8_t> table = in.bytes(in.remaining());
        ByteReader offsets(table);
        const std::uint16_t first = offsets.u16();
        const std::size_t count = first / 2;
        std::vector<std::uint32_t> list;
        list.push_back(first);
        for (std::size_t i = 1; i < count && offsets.ok(); ++i) {
            list.push_back(offsets.u16());
        }
        (void)start;
        if (offsets.ok()) {
            readGlyphTable(table, list, table.size(), font);
        }
        return font;
    }
    const std::uint8_t flags = in.u8();
    font.hasLayout = flags & 0x80;
    font.smallText = flags & 0x20;
    const bool wideOffsets = flags & 0x08;
    const bool wideCodes = flags & 0x04;
    font.italic = flags & 0x02;
    font.bold = flags & 0x01;
    in.u8();  // language
    const std::uint8_t nameLength = in.u8();
    const auto name = in.bytes(nameLength);
    font.name.assign(name.begin(), name.end());
    while (!font.name.empty() && font.name.back() == '\0') {
        font.name.pop_back();
    }
    const std::uint16_t count = in.u16();
    const std::span<const std::uint8_t> rest = in.bytes(in.remaining());
    if (!in.ok()) {
        return font;
    }
    ByteReader table(rest);
    std::vector<std::uint32_t> offsets;
    offsets.reserve(count);
    for (std::size_t i = 0; i < count && table.ok(); ++i) {
        offsets.push_back(wideOffsets ? table.u32() : table.u16());
    }
    const std::uint32_t codeOffset = count == 0 ? 0 : (wideOffsets ? table.u32() : table.u16());
    if (!table.ok()) {
        return font;
    }
    readGlyphTable(rest, offsets, codeOffset, font);
    ByteReader tail(rest);
    if (codeOffset > rest.size() || !tail.skip(codeOffset)) {
        return font;
    }
    for (std::size_t i = 0; i < count && tail.ok(); ++i) {
        font.codes.push_back(wideCodes ? tail.u16() : tail.u8());
    }
    if (font.hasLayout && tail.ok()) {
        font.ascent = tail.u16();
        font.descent = tail.u16();
        font.leading = tail.s16();
        for (std::size_t i = 0; i < count && tail.ok(); ++i) {
            font.advances.push_back(tail.u16());
        }
        if (!tail.ok()) {
            font.advances.clear();
        }
    }
    return font;
}

void parseFontInfo(ByteReader& in, int version, FontDefinition& font) {
    const std::uint8_t nameLength = in.u8();
    const auto name = in.bytes(nameLength);
    const std::uint8_t flags = in.u8();
    if (!in.ok()) {
        return;
    }
    font.name.assign(name.begin(), name.end());
    while (!font.name.empty() && font.name.back() == '\0') {
        font.name.pop_back();
    }
    font.smallText = flags & 0x20;
    font.italic = flags & 0x04;
    font.bold = flags & 0x02;
    const bool wideCodes = flags & 0x01;
    if (version >= 2) {
        in.u8();  // language
    }
    font.codes.clear();
    for (std::size_t i = 0; i < font.glyphs.size() && in.ok(); ++i) {
        font.codes.push_back(wideCodes ? in.u16() : in.u8());
    }
}

TextDefinition parseText(ByteReader& in, int version) {
    TextDefinition text;
    text.bounds = readRect(in);
    text.matrix = readMatrix(in);
    const std::uint8_t glyphBits = in.u8();
    const std::uint8_t advanceBits = in.u8();
    if (glyphBits > 32 || advanceBits > 32) {
        return text;
    }
    while (in.ok() && text.records.size() < kMaxTextRecords) {
        const std::uint8_t flags = in.u8();
        if (flags == 0 || !in.ok()) {
            break;  // end of records
        }
        TextRecord r;
        if (flags & 0x08) {
            r.fontId = in.u16();
        }
        if (flags & 0x04) {
            r.color = version >= 2 ? readRgba(in) : readRgb(in);
        }
        if (flags & 0x01) {
            r.xOffset = in.s16();
        }
        if (flags & 0x02) {
            r.yOffset = in.s16();
        }
        if (flags & 0x08) {
            r.height = in.u16();
        }
        const std::uint8_t count = in.u8();
        for (unsigned i = 0; i < count && in.ok(); ++i) {
            GlyphEntry g;
            g.index = in.ub(glyphBits);
            g.advance = in.sb(advanceBits);
            r.glyphs.push_back(g);
        }
        in.align();
        if (!in.ok()) {
            break;
        }
        text.records.push_back(std::move(r));
    }
    return text;
}

EditTextDefinition parseEditText(ByteReader& in) {
    EditTextDefinition e;
    e.bounds = readRect(in);
    const std::uint8_t f1 = in.u8();
    const std::uint8_t f2 = in.u8();
    const bool hasText = f1 & 0x80;
    e.wordWrap = f1 & 0x40;
    e.multiline = f1 & 0x20;
    e.password = f1 & 0x10;
    e.readOnly = f1 & 0x08;
    const bool hasColor = f1 & 0x04;
    const bool hasMaxLength = f1 & 0x02;
    const bool hasFont = f1 & 0x01;
    const bool hasFontClass = f2 & 0x80;
    e.autoSize = f2 & 0x40;
    const bool hasLayout = f2 & 0x20;
    e.noSelect = f2 & 0x10;
    e.border = f2 & 0x08;
    e.html = f2 & 0x02;
    e.useOutlines = f2 & 0x01;
    if (hasFont) {
        e.fontId = in.u16();
    }
    if (hasFontClass) {
        e.fontClass = in.cstring();
    }
    if (hasFont || hasFontClass) {
        e.fontHeight = in.u16();
    }
    if (hasColor) {
        e.color = readRgba(in);
    }
    if (hasMaxLength) {
        e.maxLength = in.u16();
    }
    if (hasLayout) {
        e.align = in.u8();
        e.leftMargin = in.u16();
        e.rightMargin = in.u16();
        e.indent = in.u16();
        e.leading = in.s16();
    }
    e.variableName = in.cstring();
    if (hasText) {
        e.initialText = in.cstring();
    }
    return e;
}

void parseTextSettings(ByteReader& in, EditTextDefinition& def) {
    const std::uint8_t flags = in.u8();
    const float thickness = in.f32();
    const float sharpness = in.f32();
    if (!in.ok()) {
        return;
    }
    def.advancedAntiAlias = (flags >> 6) == 1;
    def.gridFit = static_cast<std::uint8_t>(std::min((flags >> 3) & 7, 2));
    def.thickness = thickness;
    def.sharpness = sharpness;
}

std::vector<std::uint8_t> readFilterListBytes(ByteReader& in) {
    const std::size_t start = in.position();
    ByteReader probe = in;
    const std::uint8_t count = probe.u8();
    for (unsigned i = 0; i < count && probe.ok(); ++i) {
        const std::uint8_t id = probe.u8();
        switch (id) {
            case 0:  // drop shadow
                probe.skip(23);
                break;
            case 1:  // blur
                probe.skip(9);
                break;
            case 2:  // glow
                probe.skip(15);
                break;
            case 3:  // bevel
                probe.skip(27);
                break;
            case 4:    // gradient glow
            case 7: {  // gradient bevel
                const std::uint8_t colors = probe.u8();
                probe.skip(std::size_t{colors} * 5 + 19);
                break;
            }
            case 5: {  // convolution
                const std::uint8_t w = probe.u8();
                const std::uint8_t h = probe.u8();
                probe.skip(8 + std::size_t{w} * h * 4 + 5);
                break;
            }
            case 6:  // colour matrix
                probe.skip(80);
                break;
            default:
                probe.skip(probe.remaining() + 1);  // unknown: the length cannot be known
                break;
        }
    }
    if (!probe.ok()) {
        in.skip(in.remaining() + 1);
        return {};
    }
    const auto bytes = in.bytes(probe.position() - start);
    return {bytes.begin(), bytes.end()};
}

ButtonDefinition parseButton(ByteReader& in, int version) {
    ButtonDefinition b;
    b.version = version;
    std::size_t actionsAt = 0;
    if (version >= 2) {
        b.trackAsMenu = in.u8() & 0x01;
        const std::size_t offsetAt = in.position();
        const std::uint16_t actionOffset = in.u16();
        actionsAt = actionOffset == 0 ? 0 : offsetAt + actionOffset;
    }
    while (in.ok()) {
        const std::uint8_t flags = in.u8();
        if (flags == 0 || !in.ok()) {
            break;
        }
        ButtonRecord r;
        r.states = flags & 0x0f;
        r.characterId = in.u16();
        r.depth = in.u16();
        r.matrix = readMatrix(in);
        if (version >= 2) {
            r.colorTransform = readColorTransform(in, true);
            if (flags & 0x10) {
                if (auto list = readPlacedFilters(in)) {
                    r.filters = std::make_shared<const FilterList>(std::move(*list));
                }
            }
            if (flags & 0x20) {
                r.blendMode = in.u8();
            }
        }
        if (!in.ok()) {
            break;
        }
        b.records.push_back(std::move(r));
    }
    if (version == 1) {
        const auto rest = in.bytes(in.remaining());
        b.actions.assign(rest.begin(), rest.end());
    } else if (actionsAt != 0 && actionsAt >= in.position() && actionsAt <= in.size()) {
        in.skip(actionsAt - in.position());
        const auto rest = in.bytes(in.remaining());
        b.actions.assign(rest.begin(), rest.end());
    }
    return b;
}

}  // namespace zd::engine
