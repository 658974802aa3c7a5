#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/avm1/Host.h"

namespace zd::avm1 {

// A TextFormat's fields; unset ones print as null. Sizes in pixels, colours 0xRRGGBB.
struct TextFormatValues {
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
};

// The properties of a text field scripts read and write.
enum class TextProperty : std::uint8_t {
    Text,
    HtmlText,
    Html,
    Variable,
    AutoSize,
    WordWrap,
    Multiline,
    Border,
    BorderColor,
    Background,
    BackgroundColor,
    TextColor,
    EmbedFonts,
    Selectable,
    Type,
    Password,
    MaxChars,
    Restrict,
    CondenseWhite,
    Scroll,
    MaxScroll,
    HScroll,
    MaxHScroll,
    BottomScroll,
    TextWidth,
    TextHeight,
    Length,
    AntiAliasType,
    GridFitType,
    Sharpness,
    Thickness,
    MouseWheelEnabled,
};

// What the text field library needs of the player: the fields' state and their layout.
class TextFieldHost {
  public:
    virtual ~TextFieldHost() = default;

    // monostate when the object is no text field.
    virtual DisplayValue textProperty(DisplayId id, TextProperty p) = 0;
    virtual void setTextProperty(DisplayId id, TextProperty p, const DisplayValue& v) = 0;
    // The format shared by [begin, end) (characters counted in UTF-16 units).
    virtual std::optional<TextFormatValues> textFormat(DisplayId id, int begin, int end) = 0;
    virtual void setTextFormat(DisplayId id, int begin, int end, const TextFormatValues& f) = 0;
    virtual std::optional<TextFormatValues> newTextFormat(DisplayId id) = 0;
    virtual void setNewTextFormat(DisplayId id, const TextFormatValues& f) = 0;
    virtual void replaceText(DisplayId id, int begin, int end, std::string_view text) = 0;
    // The selection as [begin, end), for replaceSel.
    virtual std::array<int, 2> selection(DisplayId id) = 0;
    // Selects [begin, end) (clamped to the text; the caret goes to end).
    virtual void setSelection(DisplayId id, int begin, int end) = 0;
    // Width, height, first-line ascent and descent (pixels) of `text` in format `f`, wrapped
    // at `width` when given.
    virtual std::array<double, 4> measure(const TextFormatValues& f, std::string_view text,
                                          std::optional<double> width) = 0;
    // The static text placed directly in a clip, in depth order, as UTF-16 with a '\n'
    // where a new line starts (between text objects and where a text moves down).
    virtual std::u16string staticText(DisplayId clip) = 0;
};

// One call of the drawing methods of a clip.
struct DrawCommand {
    enum class Kind : std::uint8_t {
        Clear,
        LineStyle,
        LineGradientStyle,
        BeginFill,
        BeginGradientFill,
        MoveTo,
        LineTo,
        CurveTo,
        EndFill,
    };
    Kind kind = Kind::Clear;
    // MoveTo/LineTo: x, y; CurveTo: control x, y, anchor x, y (pixels).
    std::array<double, 4> point{};
    // LineStyle: thickness (pixels; unset: no line), colour, alpha (0-100).
    std::optional<double> thickness;
    std::uint32_t color = 0;
    double alpha = 100;
    bool pixelHinting = false;
    std::uint8_t noScale = 0;  // 1 horizontal, 2 vertical, 3 both
    std::uint8_t caps = 0;     // 0 round, 1 none, 2 square
    std::uint8_t joints = 0;   // 0 round, 1 bevel, 2 miter
    double miterLimit = 3;
    // Gradients: linear or radial, colours, alphas (0-100), ratios, the box matrix (a, b, c, d,
    // tx, ty in pixels), spread (0 pad, 1 reflect, 2 repeat), linear RGB, focal point.
    bool radial = false;
    std::vector<std::uint32_t> colors;
    std::vector<double> alphas;
    std::vector<double> ratios;
    std::array<double, 6> matrix{1, 0, 0, 1, 0, 0};
    std::uint8_t spread = 0;
    bool linearRgb = false;
    double focalPoint = 0;
};

}  // namespace zd::avm1
