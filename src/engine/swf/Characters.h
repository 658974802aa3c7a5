#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/swf/FilterRecords.h"
#include "engine/swf/Records.h"
#include "engine/swf/Shapes.h"

namespace zd::engine {

class ByteReader;

// DefineFont 1-3 with what DefineFontInfo/2 adds. Glyph shapes are in font units: 1024 to the
// em square (20 times that for DefineFont3).
struct FontDefinition {
    std::string name;
    bool bold = false;
    bool italic = false;
    bool smallText = false;
    int version = 1;
    std::vector<ShapeDefinition> glyphs;
    std::vector<std::uint16_t> codes;     // character code of each glyph
    std::vector<std::uint16_t> advances;  // with layout only (read unsigned: wide glyphs)
    bool hasLayout = false;
    std::uint16_t ascent = 0;
    std::uint16_t descent = 0;
    std::int16_t leading = 0;

    double unitsPerEm() const { return version >= 3 ? 1024.0 * 20.0 : 1024.0; }
    // Index of the glyph for a character, or -1.
    int glyphFor(char32_t code) const;
};

FontDefinition parseFont(ByteReader& in, int version);                  // after the font id
void parseFontInfo(ByteReader& in, int version, FontDefinition& font);  // after the font id

struct GlyphEntry {
    std::uint32_t index = 0;
    std::int32_t advance = 0;
};

struct TextRecord {
    std::optional<std::uint16_t> fontId;
    std::optional<Rgba> color;
    std::optional<std::int16_t> xOffset;
    std::optional<std::int16_t> yOffset;
    std::optional<std::uint16_t> height;
    std::vector<GlyphEntry> glyphs;
};

// DefineText / DefineText2.
struct TextDefinition {
    Rect bounds;
    Matrix matrix;
    std::vector<TextRecord> records;
    bool advancedAntiAlias = false;  // from CSMTextSettings
};

TextDefinition parseText(ByteReader& in, int version);  // after the character id

// DefineEditText: what is needed to show its initial text.
struct EditTextDefinition {
    Rect bounds;
    bool wordWrap = false;
    bool multiline = false;
    bool password = false;
    bool border = false;
    bool html = false;
    bool useOutlines = false;
    bool autoSize = false;
    bool readOnly = false;
    bool noSelect = false;
    std::uint16_t maxLength = 0;  // 0: no limit
    std::optional<std::uint16_t> fontId;
    std::string fontClass;
    std::uint16_t fontHeight = 240;
    Rgba color{0, 0, 0, 255};
    std::uint8_t align = 0;  // 0 left, 1 right, 2 centre, 3 justify
    std::uint16_t leftMargin = 0;
    std::uint16_t rightMargin = 0;
    std::uint16_t indent = 0;
    std::int16_t leading = 0;
    std::string variableName;
    std::string initialText;
    // CSMTextSettings for the field, when the movie has them.
    bool advancedAntiAlias = false;
    std::uint8_t gridFit = 1;  // 0 none, 1 pixel, 2 subpixel
    double thickness = 0;
    double sharpness = 0;
};

EditTextDefinition parseEditText(ByteReader& in);  // after the character id
// CSMTextSettings after its text id, into the field it names.
void parseTextSettings(ByteReader& in, EditTextDefinition& def);

// One character of a button in some of its states, as DefineButton/2 place it.
struct ButtonRecord {
    enum State : std::uint8_t { Up = 1, Over = 2, Down = 4, HitTest = 8 };
    std::uint8_t states = 0;
    std::uint16_t characterId = 0;
    std::uint16_t depth = 0;
    Matrix matrix;
    ColorTransform colorTransform;
    SharedFilters filters;  // null for none
    std::uint8_t blendMode = 0;
};

struct ButtonDefinition {
    int version = 1;
    bool trackAsMenu = false;
    std::vector<ButtonRecord> records;
    // The action bytes (DefineButton's actions, or DefineButton2's condition records), kept
    // for ActionScript.
    std::vector<std::uint8_t> actions;
    std::optional<ColorTransform> colorTransform;  // DefineButtonCxform
};

ButtonDefinition parseButton(ByteReader& in, int version);  // after the button id

// The bytes of a FILTERLIST (count byte first), read through to its end. Empty and a failed
// reader when the list is damaged.
std::vector<std::uint8_t> readFilterListBytes(ByteReader& in);

}  // namespace zd::engine
