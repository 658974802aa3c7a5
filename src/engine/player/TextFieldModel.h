#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/swf/Characters.h"
#include "engine/swf/HtmlText.h"

namespace zd::engine {

// A text format as scripts see it: every field may be unset (a range mixing values, or a
// format that only changes some). Sizes and margins in pixels, colours as 0xRRGGBB.
struct TextFormat {
    std::optional<std::string> font;
    std::optional<double> size;
    std::optional<std::uint32_t> color;
    std::optional<bool> bold;
    std::optional<bool> italic;
    std::optional<bool> underline;
    std::optional<std::string> url;
    std::optional<std::string> target;
    std::optional<std::uint8_t> align;  // 0 left, 1 right, 2 centre, 3 justify
    std::optional<double> leftMargin;
    std::optional<double> rightMargin;
    std::optional<double> indent;
    std::optional<double> leading;
    std::optional<double> blockIndent;
    std::optional<double> letterSpacing;
    std::optional<bool> bullet;
    std::optional<bool> kerning;
    std::optional<std::vector<double>> tabStops;

    // Takes every field `o` sets.
    void apply(const TextFormat& o);
    // Keeps the fields both agree on; the others become unset.
    void intersect(const TextFormat& o);
    bool operator==(const TextFormat&) const = default;
};

// A text field's state: its text with a format for every character, the field's own flags
// and the scroll position. Text is UTF-16 as scripts index it; paragraphs end at '\r'.
// Caret and selection are plain positions that editing code keeps up to date.
class TextFieldModel {
  public:
    // A field as DefineEditText places it (font: the one its id names, if any), in a movie of
    // the given SWF version.
    TextFieldModel(const EditTextDefinition& def, const std::string& fontName, int swfVersion = 10,
                   const FontDefinition* font = nullptr);

    struct Run {
        std::size_t length = 0;
        TextFormat format;  // every field set
    };

    EditTextDefinition def;  // flags and bounds as the field has them now
    bool background = false;
    std::uint32_t backgroundColor = 0xffffff;
    std::uint32_t borderColor = 0x000000;
    bool selectable = true;
    bool editable = false;  // type "input"
    bool condenseWhite = false;
    bool mouseWheelEnabled = true;  // the wheel scrolls the field
    bool embedFonts = false;
    std::uint8_t autoSize = 0;  // 0 none, 1 left, 2 centre, 3 right
    int maxChars = 0;
    int swfVersion = 10;
    std::optional<std::string> restrict;
    std::string variable;
    // The variable has had its first look: the field seeded it or took its value.
    bool variableSeen = false;
    int scroll = 1;
    int hscroll = 0;
    int caret = 0;
    int selectionBegin = 0;
    int selectionEnd = 0;
    // Counts changes of what shows: equal counts, nothing to draw or measure again.
    std::uint64_t version = 0;

    const std::u16string& text() const { return text_; }
    const std::vector<Run>& runs() const { return runs_; }
    std::string textUtf8() const;

    // Replaces all text, in the new-text format.
    void setText(const std::u16string& text);
    void setTextUtf8(const std::string& text) { setText(fromUtf8(text)); }
    // The text as HTML, as the field prints it.
    std::string htmlText() const;
    // Replaces all text by what the HTML says (formats start from the new-text format).
    void setHtmlText(const std::string& html);

    // The format shared by the characters in [begin, end); end <= begin: the one at begin.
    TextFormat format(std::size_t begin, std::size_t end) const;
    void setFormat(std::size_t begin, std::size_t end, const TextFormat& f);
    const TextFormat& newFormat() const { return newFormat_; }
    void setNewFormat(const TextFormat& f);
    // Puts `text` for [begin, end), in the format of the first replaced character (or the
    // new-text format when none is).
    void replace(std::size_t begin, std::size_t end, const std::u16string& text);

    // The text as styled paragraphs for layout (sizes in twips); no text gives one empty run.
    std::vector<TextParagraph> paragraphs() const;

    static std::u16string fromUtf8(const std::string& s);
    static std::string toUtf8(const std::u16string& s);
    // HTML's escapes for text.
    static std::string escapeHtml(const std::u16string& s);

  private:
    void splitAt(std::size_t pos);
    void mergeRuns();
    // Paragraph fields apply to whole paragraphs: the first character's are the paragraph's.
    void spreadParagraphFormats();

    std::u16string text_;
    std::vector<Run> runs_;
    TextFormat newFormat_;
};

// The blinking of an input field's caret on the movie's clock: shown for half a period, hidden
// for the other half, starting shown whenever the focus, the text or the caret moves, so the
// caret never hides while the user types or moves it.
class CaretBlink {
  public:
    static constexpr double kHalfPeriodMs = 500;

    // What the caret stands on now: its field, the focus changes so far and the field's state.
    struct Place {
        std::uint64_t field = 0;
        std::uint64_t focusMoves = 0;
        std::uint64_t version = 0;
        int caret = 0;
        int selectionBegin = 0;
        int selectionEnd = 0;
        bool operator==(const Place&) const = default;
    };

    // Whether the caret shows at nowMs, standing at `place`.
    bool shown(const Place& place, double nowMs);

  private:
    std::optional<Place> place_;
    double since_ = 0;
};

}  // namespace zd::engine
