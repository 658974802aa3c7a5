#pragma once

#include <QChar>
#include <QFont>
#include <QRectF>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/player/Dictionary.h"
#include "engine/player/TextFieldModel.h"
#include "engine/render/DeviceFonts.h"
#include "engine/swf/HtmlText.h"

namespace zd::engine {

class CharacterCache;

// The gutter DefineEditText keeps between its bounds and its text: 2 pixels.
inline constexpr double kTextGutter = 40.0;

// One laid-out character: an embedded glyph or a device font's, its metrics and where it
// stands on its line (twips, in the field's coordinates).
struct LaidOutChar {
    QChar ch;
    double advance = 0;
    const TextStyle* style = nullptr;  // points into the layout's paragraphs
    CharacterPtr font;                 // null: a device font
    int glyph = -1;
    const DeviceFont::Glyph* deviceGlyph = nullptr;
    bool painted = false;  // through the painter's own text (no system fonts to outline)
    double ascent = 0;
    double descent = 0;
    double x = 0;
    std::size_t index = 0;  // where it stands in the field's text (UTF-16)
};

struct LaidOutLine {
    std::vector<LaidOutChar> chars;
    std::uint8_t align = 0;
    bool lastOfParagraph = true;
    double baseline = 0;  // twips from the field's top, as x is
    double ascent = 0;    // the tallest character's (an empty line: the field's size)
    double descent = 0;
    double width = 0;          // of the characters, trailing spaces left out
    double measuredWidth = 0;  // trailing spaces included: what the text's width counts
    double left = 0;           // where the line may start and must end (twips): the field's
    double right = 0;          // gutters, margins and indents taken off
    // The bullet before a list item's first line.
    std::optional<LaidOutChar> bullet;
    // The paragraph's line end, on its last line: it counts in the line's height.
    double endAscent = 0;
    double endDescent = 0;
    double textLeft = 0;    // where its text starts, as aligned (twips)
    std::size_t begin = 0;  // the text positions it holds, [begin, end)
    std::size_t end = 0;
};

// The text of an edit text field laid out in lines, without drawing it: what the renderer
// paints and what a text field's script properties (its text's width and height, how far it
// scrolls) are measured from.
struct TextLayout {
    TextLayout() = default;
    TextLayout(const TextLayout&) = delete;
    TextLayout& operator=(const TextLayout&) = delete;
    TextLayout(TextLayout&&) = default;
    TextLayout& operator=(TextLayout&&) = default;

    QRectF box;  // the field's bounds
    std::vector<TextParagraph> paragraphs;
    std::vector<LaidOutLine> lines;
    // Lines that show, [firstVisible, visibleLines): from the line scrolled to, up to the first
    // one that reaches below the field, that one included.
    std::size_t firstVisible = 0;
    std::size_t visibleLines = 0;
    double leading = 0;  // twips between lines

    // The widest line, spaces that end it included; from the top of the first line to the
    // bottom of the last (twips); a single line counts its leading too.
    double textWidth() const;
    double textHeight() const;
    // How many lines hold text: all but the empty one a final line end starts.
    std::size_t textLines() const;
};

// Lays out `text` (HTML when html) as the field shows it. Fonts are looked up through cache
// (its context must be set).
TextLayout layoutEditText(const EditTextDefinition& field, const std::string& text, bool html,
                          CharacterCache& cache);
// Lays out styled paragraphs in the field's box.
TextLayout layoutParagraphs(const EditTextDefinition& field, std::vector<TextParagraph> paragraphs,
                            CharacterCache& cache);
// A text field as scripts left it, scrolled to its scroll line. caretLine: an empty field
// still gets an empty line in its new-text format, for its caret to stand on.
TextLayout layoutTextField(const TextFieldModel& field, CharacterCache& cache,
                           bool caretLine = false);
// The field's own initial text.
inline TextLayout layoutEditText(const EditTextDefinition& field, CharacterCache& cache) {
    return layoutEditText(field, field.initialText, field.html, cache);
}

// Where a caret at text position `index` stands: x and the line's top and height (twips, the
// field's coordinates, before hscroll); nullopt when its line is not in view. An empty field
// needs the layout of layoutTextField(..., true).
std::optional<QRectF> caretBox(const TextLayout& layout, std::size_t index);
// The parts of lines in view that text positions [begin, end) cover (twips, as caretBox).
std::vector<QRectF> selectionBoxes(const TextLayout& layout, std::size_t begin, std::size_t end);

// The style of the character shown at a point of the field (twips, the field's coordinates;
// the text moved left by hscroll pixels), or nullptr: only lines in view count.
const TextStyle* styleAt(const TextLayout& layout, QPointF p, int hscroll = 0);

// The system font a style names when no outlines are at hand (_sans, _serif, _typewriter).
QFont deviceTextFont(const TextStyle& style);

// Field text is white glyphs tinted by a colour transform made from the text colour, in 8.8
// fixed point, so channels come out a little darker than the colour itself.
Rgba fieldTextColor(Rgba c);

}  // namespace zd::engine
