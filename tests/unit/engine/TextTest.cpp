#include <gtest/gtest.h>

#include "RenderSupport.h"
#include "engine/player/StagePlayer.h"
#include "engine/player/TextFieldModel.h"
#include "engine/render/CharacterCache.h"
#include "engine/render/TextLayout.h"
#include "engine/script/TextFields.h"
#include "engine/swf/HtmlText.h"

using namespace zd::engine;
using namespace zd::test;
namespace w = zd::swfwriter;

namespace {

// A font whose glyphs are squares filling the em box's lower-left (0..W, -H..0) in font units,
// so glyph k covers a known rectangle.
w::FontSpec squareFont(const std::string& name, int version, bool bold = false) {
    w::FontSpec f;
    f.name = name;
    f.version = version;
    f.bold = bold;
    const int unit = version == 3 ? 20 : 1;
    for (const char c : std::string("AB ")) {
        w::ShapeBuilder g;
        g.fill1(g.addFillStyle(w::FillStyle::solid({})));
        if (c != ' ') {
            // Clockwise in y-down coordinates, the fill on the right: the inside.
            const int width = (c == 'A' ? 512 : 1024) * unit;
            g.polygon({{0, -1024 * unit}, {width, -1024 * unit}, {width, 0}, {0, 0}});
        }
        f.glyphs.push_back(g);
        f.codes.push_back(static_cast<std::uint16_t>(c));
        f.advances.push_back(static_cast<std::int16_t>((c == 'A' ? 512 : 1024) * unit));
    }
    f.ascent = static_cast<std::uint16_t>(1024 * unit);
    f.descent = static_cast<std::uint16_t>(256 * unit);
    return f;
}

int inkedPixelsInRow(const QImage& image, int y, int from = 0, int to = -1) {
    int n = 0;
    for (int x = from; x < (to < 0 ? image.width() : to); ++x) {
        n += rgb(image, x, y) != rgb(255, 255, 255) ? 1 : 0;
    }
    return n;
}

}  // namespace

TEST(HtmlText, StylesParagraphsAndEntities) {
    TextStyle base;
    base.face = "Base";
    base.size = 200;
    const auto paras = parseHtmlText(
        "<p align=\"center\"><font face='Other' size=\"30\" color=\"#ff8000\">A<b>B<i>C</i></b>"
        "</font>D</p><p>x &lt;y&gt; &amp; &#65;&#x42;<br/>z</p>",
        base, 0);
    ASSERT_EQ(paras.size(), 3u);
    EXPECT_EQ(paras[0].align, 2);
    ASSERT_EQ(paras[0].runs.size(), 4u);
    EXPECT_EQ(paras[0].runs[0].text, "A");
    EXPECT_EQ(paras[0].runs[0].style.face, "Other");
    EXPECT_DOUBLE_EQ(paras[0].runs[0].style.size, 600);
    EXPECT_EQ(paras[0].runs[0].style.color, (Rgba{255, 128, 0, 255}));
    EXPECT_TRUE(paras[0].runs[1].style.bold);
    EXPECT_FALSE(paras[0].runs[1].style.italic);
    EXPECT_TRUE(paras[0].runs[2].style.bold && paras[0].runs[2].style.italic);
    // After the font closes, the base style is back.
    EXPECT_EQ(paras[0].runs[3].style, base);
    EXPECT_EQ(paras[1].align, 0);
    EXPECT_EQ(paras[1].runs.at(0).text, "x <y> & AB");
    EXPECT_EQ(paras[2].runs.at(0).text, "z");
}

TEST(HtmlText, BrokenMarkupAndPlainText) {
    TextStyle base;
    // Unclosed tags, stray closers, a tag with no end: text is kept, nothing is read beyond.
    auto paras = parseHtmlText("</b></font>a<b>b<font size=\"+2\">c<i", base, 1);
    ASSERT_EQ(paras.size(), 1u);
    EXPECT_EQ(paras[0].align, 1);
    ASSERT_EQ(paras[0].runs.size(), 3u);
    EXPECT_EQ(paras[0].runs[2].text, "c");
    EXPECT_DOUBLE_EQ(paras[0].runs[2].style.size, base.size + 40);
    std::string deep;
    for (int i = 0; i < 5000; ++i) {
        deep += "<b>";
    }
    paras = parseHtmlText(deep + "x", base, 0);
    EXPECT_EQ(paras.at(0).runs.at(0).text, "x");
    paras = plainTextParagraphs("one\r\ntwo\rthree\n", base, 0);
    ASSERT_EQ(paras.size(), 4u);
    EXPECT_EQ(paras[1].runs.at(0).text, "two");
    EXPECT_TRUE(paras[3].runs.empty());
}

TEST(StaticText, GlyphsAtTheirAdvancesHeightsAndColours) {
    for (const int version : {2, 3}) {
        SCOPED_TRACE(version);
        auto movie = smallMovie(4000, 2000);
        const auto font = movie.defineFont(squareFont("Squares", version));
        // 400-twip (20-pixel) glyphs: A is 10 pixels wide, B 20; the baseline at y = 30 px.
        w::TextRecordSpec r;
        r.fontId = font;
        r.height = 400;
        r.color = {0, 0, 0, 255};
        r.x = 200;
        r.y = 600;
        r.glyphs = {{0, 300}, {1, 500}, {0, 200}};
        w::TextRecordSpec blue;
        blue.color = {0, 0, 255, 255};
        blue.y = 1400;
        blue.glyphs = {{1, 400}};
        const auto text = movie.defineText({0, 4000, 0, 2000}, {}, {r, blue});
        movie.placeObject2(w::PlaceObject::place(1, text, w::Matrix::translation(0, 0)));
        movie.showFrame();
        Stage stage(movie.finish());
        const QImage f = stage.render();
        // A at x 10..20, B at 25..45, A at 50..60; rows 10..30.
        EXPECT_EQ(rgb(f, 10, 20), rgb(0, 0, 0));
        EXPECT_EQ(rgb(f, 19, 20), rgb(0, 0, 0));
        EXPECT_EQ(rgb(f, 22, 20), rgb(255, 255, 255));
        EXPECT_EQ(rgb(f, 25, 10), rgb(0, 0, 0));
        EXPECT_EQ(rgb(f, 44, 29), rgb(0, 0, 0));
        EXPECT_EQ(rgb(f, 47, 20), rgb(255, 255, 255));
        EXPECT_EQ(rgb(f, 55, 20), rgb(0, 0, 0));
        EXPECT_EQ(rgb(f, 55, 30), rgb(255, 255, 255));
        EXPECT_EQ(rgb(f, 55, 9), rgb(255, 255, 255));
        // The second record keeps the font and x position, changes colour and baseline.
        EXPECT_EQ(rgb(f, 75, 60), rgb(0, 0, 255));
        EXPECT_EQ(rgb(f, 60, 51), rgb(0, 0, 255));  // B from x = 60 (where the A ended)
        EXPECT_EQ(rgb(f, 79, 69), rgb(0, 0, 255));
        EXPECT_EQ(rgb(f, 81, 60), rgb(255, 255, 255));
    }
}

TEST(EditText, EmbeddedGlyphsLaidOutInTheField) {
    auto movie = smallMovie(4000, 2000);
    const auto font = movie.defineFont(squareFont("Squares", 3));
    const auto bold = movie.defineFont(squareFont("Squares", 3, true));
    (void)bold;
    w::EditTextSpec e;
    e.bounds = {0, 4000, 0, 2000};
    e.fontId = font;
    e.fontHeight = 400;
    e.color = {255, 0, 0, 255};
    e.useOutlines = true;
    e.text = "AB";
    const auto plain = movie.defineEditText(e);
    e.text = "<p align=\"right\"><b>BA</b></p>";
    e.html = true;
    e.layout = true;
    e.color = {0, 0, 255, 255};
    const auto html = movie.defineEditText(e);
    movie.placeObject2(w::PlaceObject::place(1, plain));
    movie.placeObject2(w::PlaceObject::place(2, html, w::Matrix::translation(0, 1000)));
    movie.showFrame();
    Stage stage(movie.finish());
    const QImage f = stage.render();
    // Two pixels of gutter, then A (10 px) and B (20 px); the ascent (20 px) sets the baseline.
    EXPECT_EQ(inkedPixelsInRow(f, 12), 30);
    EXPECT_EQ(rgb(f, 2, 12), rgb(255, 0, 0));
    EXPECT_EQ(rgb(f, 1, 12), rgb(255, 255, 255));
    EXPECT_EQ(rgb(f, 31, 12), rgb(255, 0, 0));
    EXPECT_EQ(rgb(f, 32, 12), rgb(255, 255, 255));
    EXPECT_EQ(rgb(f, 2, 21), rgb(255, 0, 0));
    EXPECT_EQ(rgb(f, 2, 22), rgb(255, 255, 255));
    // Right-aligned HTML in the bold font: ends two pixels from the right edge.
    EXPECT_EQ(rgb(f, 197, 62), rgb(0, 0, 255));
    EXPECT_EQ(rgb(f, 198, 62), rgb(255, 255, 255));
    EXPECT_EQ(rgb(f, 168, 62), rgb(0, 0, 255));
    EXPECT_EQ(rgb(f, 167, 62), rgb(255, 255, 255));
}

TEST(EditText, WrapsAtSpacesAndDrawsItsBorder) {
    auto movie = smallMovie(4000, 2000);
    const auto font = movie.defineFont(squareFont("Squares", 2));
    w::EditTextSpec e;
    e.bounds = {0, 1400, 0, 2000};  // 70 px: room for 66 px of text
    e.fontId = font;
    e.fontHeight = 400;
    e.color = {0, 0, 0, 255};
    e.useOutlines = true;
    e.multiline = true;
    e.wordWrap = true;
    e.border = true;
    e.text = "BB A BB";
    movie.placeObject2(w::PlaceObject::place(1, movie.defineEditText(e)));
    movie.showFrame();
    Stage stage(movie.finish());
    const QImage f = stage.render();
    // "BB A " fits (40 + 20 + 10 = 70 > 66? no: BB=40, space=20, A=10 -> 70): BB breaks first.
    EXPECT_EQ(inkedPixelsInRow(f, 12, 1, 69), 40);
    // Next line: A and, after a space, BB does not fit: A alone.
    const int second = 2 + 20 + 6 + 10;  // gutter, first line ascent + descent, middle
    EXPECT_EQ(inkedPixelsInRow(f, second, 1, 69), 10);
    // The border: one-pixel lines on the pixels the bounds' edges fall in (0 and 70, 0 and
    // 100), the bottom-right corner left open.
    EXPECT_EQ(rgb(f, 0, 50), rgb(0, 0, 0));
    EXPECT_EQ(rgb(f, 70, 50), rgb(0, 0, 0));
    EXPECT_EQ(rgb(f, 69, 50), rgb(255, 255, 255));
    EXPECT_EQ(rgb(f, 35, 0), rgb(0, 0, 0));
    EXPECT_EQ(rgb(f, 35, 99), rgb(255, 255, 255));
    EXPECT_EQ(rgb(f, 35, 98), rgb(255, 255, 255));
    EXPECT_EQ(rgb(f, 71, 50), rgb(255, 255, 255));
}

TEST(EditText, AFilteredBorderKeepsItsRightAndBottomLines) {
    // The right and bottom lines lie just beyond the bounds; the filter's layer must hold them.
    auto movie = smallMovie();
    w::EditTextSpec e;
    e.bounds = {0, 200, 0, 200};
    e.border = true;
    auto place =
        w::PlaceObject::place(1, movie.defineEditText(e), w::Matrix::translation(200, 200));
    place.filterList = unitBlurFilter();
    movie.placeObject3(place);
    movie.showFrame();
    Stage stage(movie.finish());
    const QImage f = stage.render();
    EXPECT_EQ(rgb(f, 10, 15), rgb(0, 0, 0));
    EXPECT_EQ(rgb(f, 20, 15), rgb(0, 0, 0));
    EXPECT_EQ(rgb(f, 15, 10), rgb(0, 0, 0));
    EXPECT_EQ(rgb(f, 15, 20), rgb(0, 0, 0));
    EXPECT_EQ(rgb(f, 20, 20), rgb(255, 255, 255)) << "the corner stays open";
    EXPECT_EQ(rgb(f, 15, 15), rgb(255, 255, 255));
    EXPECT_EQ(rgb(f, 21, 15), rgb(255, 255, 255));
}

TEST(EditText, ATurnedFieldsFrameFollowsItOrHidesWithItsDeviceText) {
    // A 40 px bordered field turned 45 degrees about its top-left corner at (100, 20): a
    // diamond. Embedded glyphs can turn, so the frame is drawn along the diamond; device
    // text cannot, and such a field is not shown at all.
    for (const bool embedded : {true, false}) {
        auto movie = smallMovie(6000, 4000);
        w::EditTextSpec e;
        e.bounds = {0, 800, 0, 800};
        e.border = true;
        e.useOutlines = embedded;
        movie.placeObject2(w::PlaceObject::place(1, movie.defineEditText(e),
                                                 w::Matrix::transform(1, 1, 45, 2000, 400)));
        movie.showFrame();
        Stage stage(movie.finish());
        const QImage f = stage.render();
        const QRgb white = rgb(255, 255, 255);
        // Half way down the diamond's upper-right edge, from (100, 20) to (128.3, 48.3).
        if (embedded) {
            EXPECT_NE(rgb(f, 114, 34), white);
        } else {
            EXPECT_EQ(rgb(f, 114, 34), white);
        }
        EXPECT_EQ(rgb(f, 80, 20), white) << "nothing along the upright bounds' top edge";
        EXPECT_EQ(rgb(f, 100, 48), white) << "inside the diamond";
    }
}

TEST(EditText, TheFirstBaselineLiesOnAWholeTwip) {
    // The font's ascent at this size is 390.51 twips: the line stands on 390, so the baseline
    // falls on 21.5 pixels (gutter included) and the square glyph covers rows 1 to 20.
    auto movie = smallMovie();
    w::FontSpec font = squareFont("Squares", 3);
    font.ascent = 19994;
    w::EditTextSpec e;
    e.bounds = {0, 2000, 0, 2000};
    e.fontId = movie.defineFont(font);
    e.fontHeight = 400;
    e.color = {0, 0, 0, 255};
    e.useOutlines = true;
    e.text = "B";
    movie.placeObject2(w::PlaceObject::place(1, movie.defineEditText(e)));
    movie.showFrame();
    Stage stage(movie.finish());
    const QImage f = stage.render();
    EXPECT_EQ(rgb(f, 10, 0), rgb(255, 255, 255));
    EXPECT_EQ(rgb(f, 10, 1), rgb(0, 0, 0));
    EXPECT_EQ(rgb(f, 10, 20), rgb(0, 0, 0));
    EXPECT_EQ(rgb(f, 10, 21), rgb(255, 255, 255));
}

namespace {

// The first edit text of a movie laid out without drawing anything.
struct FieldLayout {
    explicit FieldLayout(const w::Bytes& file)
        : movie(MovieData::fromBytes(file)), player(*movie), cache(hooks) {
        cache.setContext(&player.context());
        const DisplayObject* o = player.rootTimeline().at(depthOfTag(1));
        field = o->character()->as<EditTextDefinition>();
    }
    std::unique_ptr<MovieData> movie;
    StagePlayer player;
    RenderHooks hooks;
    CharacterCache cache;
    const EditTextDefinition* field = nullptr;
};

w::Bytes wrappedField(std::uint8_t align, int bottom) {
    auto movie = smallMovie(4000, 2000);
    w::EditTextSpec e;
    e.bounds = {0, 580, 0, bottom};  // 500 twips between the gutters
    e.fontId = movie.defineFont(squareFont("Squares", 2));
    e.fontHeight = 200;  // A 100 twips, B and the space 200
    e.useOutlines = true;
    e.multiline = true;
    e.wordWrap = true;
    e.layout = true;
    e.align = align;
    e.text = "AB AB AB";
    movie.placeObject2(w::PlaceObject::place(1, movie.defineEditText(e)));
    movie.showFrame();
    return movie.finish();
}

}  // namespace

// Text fields are laid out apart from drawing: lines, positions and extents a script can ask
// for, the same ones the renderer paints.
TEST(TextLayout, LinesPositionsAndExtentsOfAWrappedField) {
    FieldLayout f(wrappedField(0, 600));
    ASSERT_NE(f.field, nullptr);
    const TextLayout layout = layoutEditText(*f.field, f.cache);
    ASSERT_EQ(layout.lines.size(), 3u);
    EXPECT_EQ(layout.visibleLines, 3u);
    EXPECT_EQ(layout.lines[0].chars.size(), 3u);  // "AB " breaks after its space
    EXPECT_EQ(layout.lines[2].chars.size(), 2u);
    EXPECT_DOUBLE_EQ(layout.lines[0].width, 300);  // the trailing space left out
    EXPECT_DOUBLE_EQ(layout.lines[0].chars[1].x, 140);
    // Ascent 200 and descent 50 twips: baselines 250 apart, the first below the gutter.
    EXPECT_DOUBLE_EQ(layout.lines[0].baseline, 240);
    EXPECT_DOUBLE_EQ(layout.lines[1].baseline, 490);
    EXPECT_DOUBLE_EQ(layout.lines[2].baseline, 740);
    // The text's width counts the space that ends the first line; aligning leaves it out.
    EXPECT_DOUBLE_EQ(layout.textWidth(), 500);
    EXPECT_DOUBLE_EQ(layout.textHeight(), 750);

    // A shorter field shows the lines up to the first that reaches below it.
    FieldLayout low(wrappedField(0, 400));
    EXPECT_EQ(layoutEditText(*low.field, low.cache).visibleLines, 2u);
    // Right and centre alignment move each line within the gutters.
    FieldLayout right(wrappedField(1, 600));
    EXPECT_DOUBLE_EQ(layoutEditText(*right.field, right.cache).lines[0].chars[0].x, 240);
    FieldLayout centre(wrappedField(2, 600));
    EXPECT_DOUBLE_EQ(layoutEditText(*centre.field, centre.cache).lines[0].chars[0].x, 140);

    // Text a script puts in the field is laid out the same way.
    const TextLayout other = layoutEditText(*f.field, "<b>B</b>A", true, f.cache);
    ASSERT_EQ(other.lines.size(), 1u);
    EXPECT_DOUBLE_EQ(other.textWidth(), 300);
    EXPECT_TRUE(layoutEditText(*f.field, "", false, f.cache).lines.empty());
}

// An empty paragraph is as tall as the format of its line end, not the field's own size, and
// the text's width still counts spaces that end a line.
TEST(TextLayout, EmptyLinesStandAsTallAsTheirFormat) {
    FieldLayout f(wrappedField(0, 2000));
    ASSERT_NE(f.field, nullptr);
    TextFieldModel model(*f.field, "Squares");
    model.setTextUtf8("AB\r\rA ");
    TextFormat big;
    big.size = 20.0;  // 400 twips: ascent 400, descent 100
    model.setFormat(3, 4, big);
    const TextLayout layout = layoutTextField(model, f.cache);
    ASSERT_EQ(layout.lines.size(), 3u);
    EXPECT_TRUE(layout.lines[1].chars.empty());
    EXPECT_DOUBLE_EQ(layout.lines[1].ascent, 400);
    EXPECT_DOUBLE_EQ(layout.lines[1].descent, 100);
    EXPECT_DOUBLE_EQ(layout.lines[0].ascent, 200);
    // 250 for the first line, 500 for the empty one, then the last line's ascent.
    EXPECT_DOUBLE_EQ(layout.lines[2].baseline, layout.lines[0].baseline + 50 + 500 + 200);
    EXPECT_DOUBLE_EQ(layout.lines[2].width, 100);
    EXPECT_DOUBLE_EQ(layout.textWidth(), 300);  // "AB" against "A " with its space

    // A field ending in a line end adds an empty line in the last format.
    model.setTextUtf8("A\r");
    model.setFormat(1, 2, big);
    const TextLayout trailing = layoutTextField(model, f.cache);
    ASSERT_EQ(trailing.lines.size(), 2u);
    EXPECT_DOUBLE_EQ(trailing.lines[1].ascent, 400);
}

// A field scrolls as far as the lines that show from its top, taken off the end of its text:
// the empty line a final line end starts is no text, and short last lines do not let it
// scroll further (field: two lines of A between the gutters).
TEST(TextLayout, MaxScrollCountsTheLinesShownFromTheTop) {
    FieldLayout f(wrappedField(0, 600));
    ASSERT_NE(f.field, nullptr);
    zd::script::TextFields fields(f.player, f.cache);
    const zd::avm1::DisplayId id = f.player.rootTimeline().at(depthOfTag(1))->id();
    using P = zd::avm1::TextProperty;
    auto maxScroll = [&](const char* text) {
        fields.setTextProperty(id, P::Text, zd::avm1::DisplayValue(std::string(text)));
        return std::get<double>(fields.textProperty(id, P::MaxScroll));
    };
    EXPECT_EQ(maxScroll("A\rA\rA\rA"), 3);  // two lines show
    EXPECT_EQ(maxScroll("A\rA\rA\rA\r"), 3);
    EXPECT_EQ(maxScroll("A\rA\r"), 1);
    // The first line twice as tall: only it shows from the top.
    zd::avm1::TextFormatValues big;
    big.size = 20.0;
    fields.setTextFormat(id, 0, 1, big);
    EXPECT_EQ(std::get<double>(fields.textProperty(id, P::MaxScroll)), 2);
    fields.setTextProperty(id, P::Text, zd::avm1::DisplayValue(std::string("A\rA\rA\rA")));
    fields.setTextFormat(id, 0, 1, big);
    EXPECT_EQ(std::get<double>(fields.textProperty(id, P::MaxScroll)), 4);
}

// Movies from version 8 on measure right and centred lines without the spaces that end them;
// older ones, and left-aligned lines, count those spaces.
TEST(TextLayout, AlignedLinesMeasureTrailingSpacesByMovieVersion) {
    FieldLayout f(wrappedField(0, 2000));
    ASSERT_NE(f.field, nullptr);
    for (const int version : {7, 8}) {
        for (const std::uint8_t align : {0, 1, 2}) {
            TextFieldModel model(*f.field, "Squares", version);
            model.setTextUtf8("A ");
            TextFormat aligned;
            aligned.align = align;
            model.setFormat(0, 2, aligned);
            const TextLayout layout = layoutTextField(model, f.cache);
            ASSERT_EQ(layout.lines.size(), 1u);
            EXPECT_DOUBLE_EQ(layout.lines[0].width, 100);
            EXPECT_DOUBLE_EQ(layout.textWidth(), version >= 8 && align != 0 ? 100 : 300)
                << "version " << version << " align " << int{align};
        }
    }
}

// Letter spacing widens every character, spaces too, and so moves where lines break.
TEST(TextLayout, LetterSpacingWidensCharactersAndMovesBreaks) {
    FieldLayout f(wrappedField(0, 2000));
    ASSERT_NE(f.field, nullptr);
    TextFieldModel model(*f.field, "Squares");
    model.setTextUtf8("AB AB");
    const TextLayout plain = layoutTextField(model, f.cache);
    ASSERT_EQ(plain.lines.size(), 2u);  // "AB " and "AB" in 500 twips
    TextFormat spaced;
    spaced.letterSpacing = 1.5;  // 30 twips
    model.setFormat(0, 5, spaced);
    const TextLayout layout = layoutTextField(model, f.cache);
    ASSERT_EQ(layout.lines.size(), 2u);
    ASSERT_EQ(layout.lines[1].chars.size(), 2u);
    EXPECT_DOUBLE_EQ(layout.lines[1].chars[1].x - layout.lines[1].chars[0].x, 130);
    EXPECT_DOUBLE_EQ(layout.lines[1].width, 360);

    // Wider letters leave less room: "A" then "B" fills a 200 twip line on its own.
    spaced.letterSpacing = 8.0;  // 160 twips
    model.setFormat(0, 5, spaced);
    EXPECT_GT(layoutTextField(model, f.cache).lines.size(), 2u);
}

// The caret stands before the character at its position: a position where a line wraps starts
// the next line, the end of the text follows the last character, and an empty field's caret
// line is aligned and indented as typed text would be. A selection covers its characters on
// each line it reaches.
TEST(TextLayout, CaretAndSelectionFollowTheTextPositions) {
    FieldLayout f(wrappedField(0, 2000));
    ASSERT_NE(f.field, nullptr);
    TextFieldModel model(*f.field, "Squares");
    model.setTextUtf8("AB AB\rAB");  // lines "AB ", "AB", "AB"; A 100 twips, B and space 200
    const TextLayout layout = layoutTextField(model, f.cache);
    ASSERT_EQ(layout.lines.size(), 3u);
    struct Case {
        std::size_t index;
        double x;
        double top;
    };
    for (const Case c : {Case{0, 40, 40}, Case{2, 340, 40}, Case{3, 40, 290}, Case{5, 340, 290},
                         Case{6, 40, 540}, Case{8, 340, 540}, Case{99, 340, 540}}) {
        const std::optional<QRectF> at = caretBox(layout, c.index);
        ASSERT_TRUE(at.has_value()) << c.index;
        EXPECT_DOUBLE_EQ(at->left(), c.x) << c.index;
        EXPECT_DOUBLE_EQ(at->top(), c.top) << c.index;
        EXPECT_DOUBLE_EQ(at->height(), 250) << c.index;
    }
    const std::vector<QRectF> selected = selectionBoxes(layout, 1, 4);
    ASSERT_EQ(selected.size(), 2u);
    EXPECT_EQ(selected[0], QRectF(140, 40, 400, 250));  // "B "
    EXPECT_EQ(selected[1], QRectF(40, 290, 100, 250));  // "A"
    EXPECT_TRUE(selectionBoxes(layout, 2, 2).empty());

    // Empty, the field still has a line for its caret, in the new-text format.
    model.setTextUtf8("");
    EXPECT_TRUE(layoutTextField(model, f.cache).lines.empty());
    TextFormat indented;
    indented.indent = 5.0;
    indented.align = 0;
    model.setNewFormat(indented);
    const std::optional<QRectF> empty = caretBox(layoutTextField(model, f.cache, true), 0);
    ASSERT_TRUE(empty.has_value());
    EXPECT_DOUBLE_EQ(empty->left(), 140);
    EXPECT_DOUBLE_EQ(empty->height(), 250);
    indented.align = 2;  // centred between the indent and the right gutter
    model.setNewFormat(indented);
    EXPECT_DOUBLE_EQ(caretBox(layoutTextField(model, f.cache, true), 0)->left(), 340);
}

// Each paragraph keeps its own margins, first-line indent and bullet; a paragraph's line end
// counts in its last line's height, and the empty line after a final line end is no text.
TEST(TextLayout, ParagraphsKeepTheirMarginsIndentsBulletsAndLineEnds) {
    auto movie = smallMovie(4000, 4000);
    w::EditTextSpec spec;
    spec.bounds = {0, 2080, 0, 4000};  // 2000 twips between the gutters
    spec.fontId = movie.defineFont(squareFont("Squares", 2));
    spec.fontHeight = 200;
    spec.useOutlines = true;
    spec.multiline = true;
    spec.wordWrap = true;
    spec.layout = true;
    movie.placeObject2(w::PlaceObject::place(1, movie.defineEditText(spec)));
    movie.showFrame();
    FieldLayout f(movie.finish());
    ASSERT_NE(f.field, nullptr);
    TextFieldModel model(*f.field, "Squares");
    model.setTextUtf8("AB\rAB AB\rAB\r");
    TextFormat second;
    second.leftMargin = 5.0;    // 100 twips
    second.indent = 2.0;        // 40 twips, the first line only
    second.rightMargin = 70.0;  // 1400 twips: "AB AB" wraps
    model.setFormat(3, 4, second);
    TextFormat bullet;
    bullet.bullet = true;
    model.setFormat(9, 10, bullet);
    TextFormat big;
    big.size = 20.0;  // ascent 400, descent 100
    model.setFormat(2, 3, big);

    const TextLayout layout = layoutTextField(model, f.cache);
    ASSERT_EQ(layout.lines.size(), 5u);
    EXPECT_DOUBLE_EQ(layout.lines[0].chars[0].x, 40);
    EXPECT_DOUBLE_EQ(layout.lines[0].ascent, 400);  // the big line end
    EXPECT_DOUBLE_EQ(layout.lines[1].chars[0].x, 180);
    EXPECT_EQ(layout.lines[1].chars.size(), 3u);
    EXPECT_DOUBLE_EQ(layout.lines[2].chars[0].x, 140);
    EXPECT_DOUBLE_EQ(layout.lines[1].ascent, 200);
    EXPECT_FALSE(layout.lines[1].bullet);
    // A bullet's text stands 36 pixels in, the bullet itself before it.
    EXPECT_DOUBLE_EQ(layout.lines[3].chars[0].x, 40 + 720);
    ASSERT_TRUE(layout.lines[3].bullet);
    EXPECT_LT(layout.lines[3].bullet->x, 760);
    EXPECT_TRUE(layout.lines[4].chars.empty());
    EXPECT_DOUBLE_EQ(layout.textHeight(), layout.lines[3].baseline + layout.lines[3].descent - 40);
}

// A font's advances are read unsigned: a glyph wider than half the largest advance still moves
// the next one right.
TEST(TextLayout, AdvancesPastTheSignedRangeMoveRight) {
    auto movie = smallMovie(4000, 2000);
    w::FontSpec font = squareFont("Wide", 3);
    font.advances[0] = static_cast<std::int16_t>(40000);  // A
    w::EditTextSpec spec;
    spec.bounds = {0, 4000, 0, 2000};
    spec.fontId = movie.defineFont(font);
    spec.fontHeight = 200;
    spec.useOutlines = true;
    spec.layout = true;
    spec.text = "AB";
    movie.placeObject2(w::PlaceObject::place(1, movie.defineEditText(spec)));
    movie.showFrame();
    FieldLayout f(movie.finish());
    ASSERT_NE(f.field, nullptr);
    const TextLayout layout = layoutEditText(*f.field, f.cache);
    ASSERT_EQ(layout.lines.size(), 1u);
    ASSERT_EQ(layout.lines[0].chars.size(), 2u);
    // 40000 of 20480 units at 200 twips: 390 twips.
    EXPECT_DOUBLE_EQ(layout.lines[0].chars[1].x - layout.lines[0].chars[0].x, 390);
}
