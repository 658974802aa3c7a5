// A text field's text and formats: the HTML it prints and reads, formats over ranges,
// replacing text; and the shapes clips draw with the drawing methods.

#include <gtest/gtest.h>

#include "engine/player/TextFieldModel.h"
#include "engine/script/ClipDrawing.h"

namespace zd::engine {
namespace {

TextFieldModel scriptField() {
    EditTextDefinition def;
    def.bounds = {0, 2000, 0, 400};
    return TextFieldModel(def, "");
}

constexpr const char* kFont =
    R"(<FONT FACE="Times New Roman" SIZE="12" COLOR="#000000" LETTERSPACING="0" KERNING="0">)";

TEST(TextFieldHtml, EmptyFieldPrintsNothingAndALoneLineEndOneParagraph) {
    TextFieldModel f = scriptField();
    EXPECT_EQ(f.htmlText(), "");
    f.setTextUtf8("\r");
    EXPECT_EQ(f.htmlText(), std::string("<P ALIGN=\"LEFT\">") + kFont + "</FONT></P>");
}

TEST(TextFieldHtml, StylesWrapEachRunWhileFontTagsStayOpen) {
    TextFieldModel f = scriptField();
    f.setTextUtf8("ab cd");
    TextFormat bold;
    bold.bold = true;
    f.setFormat(0, 5, bold);
    TextFormat grey;
    grey.color = 0xaaaaaa;
    f.setFormat(3, 5, grey);
    TextFormat italic;
    italic.italic = true;
    f.setFormat(1, 2, italic);
    EXPECT_EQ(f.htmlText(), std::string("<P ALIGN=\"LEFT\">") + kFont +
                                "<B>a</B><B><I>b</I></B><B> </B><FONT COLOR=\"#AAAAAA\"><B>cd</B>"
                                "</FONT></FONT></P>");
}

TEST(TextFieldHtml, ALineEndInAnotherFormatStillOpensItsTags) {
    TextFieldModel f = scriptField();
    f.setTextUtf8("ab\r");
    TextFormat grey;
    grey.color = 0x111111;
    f.setFormat(0, 2, grey);
    EXPECT_EQ(f.htmlText(), std::string("<P ALIGN=\"LEFT\">") +
                                "<FONT FACE=\"Times New Roman\" SIZE=\"12\" COLOR=\"#111111\" "
                                "LETTERSPACING=\"0\" KERNING=\"0\">ab<FONT COLOR=\"#000000\">"
                                "</FONT></FONT></P>");
}

TEST(TextFieldHtml, OpeningParagraphsBreakNoLineAndOldMoviesDropBlankText) {
    EditTextDefinition def;
    def.multiline = true;
    TextFieldModel f(def, "", 8);
    f.setHtmlText(" <p>a</p>  <p>b</p> ");
    EXPECT_EQ(f.textUtf8(), " a\r  b\r ");
    TextFieldModel old(def, "", 7);
    old.setHtmlText(" <p>a</p>  <b> </b><p>b</p>\n");
    EXPECT_EQ(old.textUtf8(), "a\rb\r");
    old.setHtmlText("<b>\nx\n</b> <font kerning='1'>y</font>");
    EXPECT_EQ(old.textUtf8(), "\rx\ry");
    EXPECT_FALSE(old.format(4, 5).kerning.value_or(true));
}

TEST(TextFieldHtml, NestedFontTagsCarryOnlyWhatDiffers) {
    TextFieldModel f = scriptField();
    f.setTextUtf8("hello bolded world");
    TextFormat face;
    face.font = "Noto Sans";
    f.setFormat(4, 10, face);
    TextFormat size;
    size.size = 14;
    f.setFormat(8, 15, size);
    TextFormat times;
    times.font = "Times New Roman";
    f.setFormat(10, 15, times);
    EXPECT_EQ(f.htmlText(),
              std::string("<P ALIGN=\"LEFT\">") + kFont +
                  "hell<FONT FACE=\"Noto Sans\">o bo<FONT SIZE=\"14\">ld<FONT "
                  "FACE=\"Times New Roman\">ed wo</FONT></FONT></FONT>rld</FONT></P>");
}

TEST(TextFieldHtml, ParagraphsBoldAndEntitiesRoundTrip) {
    TextFieldModel f = scriptField();
    f.def.html = true;
    f.def.multiline = true;
    f.setHtmlText("<p align='center'>a <b>b</b> &amp; &lt;c&gt;</p><p>next</p>");
    EXPECT_EQ(f.textUtf8(), "a b & <c>\rnext\r");
    const std::string html = f.htmlText();
    EXPECT_EQ(html, std::string("<P ALIGN=\"CENTER\">") + kFont +
                        "a <B>b</B> &amp; &lt;c&gt;</FONT></P><P ALIGN=\"LEFT\">" + kFont +
                        "next</FONT></P>");
    TextFieldModel again = scriptField();
    again.def.multiline = true;
    again.setHtmlText(html);
    EXPECT_EQ(again.htmlText(), html);
}

TEST(TextFieldHtml, OneLineFieldsFromSwf7TakeLineEndsOnlyFromCharacters) {
    TextFieldModel f = scriptField();
    f.def.html = true;
    f.swfVersion = 8;
    f.setHtmlText("a\nb<br>c<p>d</p><li>e</li>");
    EXPECT_EQ(f.textUtf8(), "a\rbcde");
    f.def.multiline = true;
    f.setHtmlText("a\nb<br>c<p>d</p><li>e</li>");
    EXPECT_EQ(f.textUtf8(), "a\rb\rcd\re\r");  // only closing paragraphs end lines
    f.setHtmlText("x<li></li><li></li>");
    EXPECT_EQ(f.textUtf8(), "x\r\r\r");
    f.setHtmlText("<p>a<p>b</p>c<p>d</p>e</p>");
    EXPECT_EQ(f.textUtf8(), "ab\rcd\re");
    f.def.multiline = false;
    f.swfVersion = 6;
    f.setHtmlText("<p>a</p>b<br>c");
    EXPECT_EQ(f.textUtf8(), "a\rb\rc");
}

TEST(TextFieldHtml, StrayClosingTagsChangeNothingAndSizesAreWholePoints) {
    TextFieldModel f = scriptField();
    f.setHtmlText("<b>a<i>b</b>c</i>d</b>e<font size='9.7'>f</font>");
    EXPECT_EQ(f.textUtf8(), "abcdef");
    EXPECT_EQ(f.format(2, 3).bold, true);  // </b> did not end the <i> inside it
    EXPECT_EQ(f.format(2, 3).italic, true);
    EXPECT_EQ(f.format(3, 4).italic, false);
    EXPECT_EQ(f.format(4, 5).bold, false);
    EXPECT_EQ(f.format(5, 6).size, 9);
}

TEST(TextFieldHtml, FontSizesStayWithinOneTo127AndNonNumbersAreIgnored) {
    TextFieldModel f = scriptField();
    f.setHtmlText(
        "<font size='200'>a</font><font size='0'>b</font><font size='x'>c</font>"
        "<font size='126'><font size='+5'>d</font></font>");
    EXPECT_EQ(f.format(0, 1).size, 127);
    EXPECT_EQ(f.format(1, 2).size, 1);
    EXPECT_EQ(f.format(2, 3).size, 12);
    EXPECT_EQ(f.format(3, 4).size, 127);
}

TEST(TextFieldHtml, ParagraphEndsTakeTheLastClosedFontListItemsTheirOwnFormat) {
    TextFieldModel f = scriptField();
    f.def.multiline = true;
    // An empty FONT lends its format to the line ends of this and later paragraphs.
    f.setHtmlText("<p>a<font color='#121212'></font>b</p><p>c</p>");
    EXPECT_EQ(f.textUtf8(), "ab\rc\r");
    EXPECT_EQ(f.format(1, 2).color, 0u);
    EXPECT_EQ(f.format(2, 3).color, 0x121212u);
    EXPECT_EQ(f.format(4, 5).color, 0x121212u);
    // Enclosing styles and links do not reach a paragraph's line end; a list item's they do.
    f.setHtmlText("<a href='u'><b><font color='#010101'><p></p><li></li></font></b></a>");
    EXPECT_EQ(f.textUtf8(), "\r\r");
    EXPECT_EQ(f.format(0, 1).url, "");
    EXPECT_EQ(f.format(0, 1).bold, false);
    EXPECT_EQ(f.format(0, 1).color, 0u);
    EXPECT_EQ(f.format(1, 2).url, "u");
    EXPECT_EQ(f.format(1, 2).color, 0x010101u);
}

TEST(TextFieldHtml, CondensedBlanksFollowTheMovieVersion) {
    EditTextDefinition def;
    def.multiline = true;
    TextFieldModel now(def, "", 8);
    now.condenseWhite = true;
    now.setHtmlText(" <b> a </b> <i> b\x0b </i><p> \n c</p> ");
    EXPECT_EQ(now.textUtf8(), "a b\x0b c\r");  // vertical tabs are no blanks
    TextFieldModel old(def, "", 7);
    old.condenseWhite = true;
    old.setHtmlText(" <b> a </b> <i> b </i> ");
    EXPECT_EQ(old.textUtf8(), " a  b ");
}

TEST(TextFieldHtml, MarginsPrintInATextFormatTagAndAFinalLineEndAddsNoParagraph) {
    TextFieldModel f = scriptField();
    f.def.multiline = true;
    f.setHtmlText("<textformat leftmargin='5' leading='2'>x</textformat>\n");
    EXPECT_EQ(f.textUtf8(), "x\r");
    EXPECT_EQ(f.htmlText(), std::string("<TEXTFORMAT LEFTMARGIN=\"5\" LEADING=\"2\"><P "
                                        "ALIGN=\"LEFT\">") +
                                kFont + "x</FONT></P></TEXTFORMAT>");
}

TEST(TextFieldFormats, RangeFormatsUnsetWhatDiffersAndParagraphFieldsCoverTheParagraph) {
    TextFieldModel f = scriptField();
    f.setTextUtf8("ab\ncd");
    EXPECT_EQ(f.textUtf8(), "ab\rcd");
    TextFormat bold;
    bold.bold = true;
    bold.align = 2;
    f.setFormat(0, 1, bold);
    EXPECT_EQ(f.format(0, 1).bold, true);
    EXPECT_FALSE(f.format(0, 2).bold.has_value());
    EXPECT_EQ(f.format(0, 2).align, 2);  // the whole first paragraph
    EXPECT_EQ(f.format(3, 5).align, 0);  // the second one keeps its own
    EXPECT_EQ(f.format(0, 5).size, 12);
}

TEST(TextFieldFormats, ReplacedTextTakesTheFormatWhereItGoes) {
    TextFieldModel f = scriptField();
    f.setTextUtf8("abc");
    TextFormat red;
    red.color = 0xff0000;
    f.setFormat(1, 3, red);
    f.replace(1, 2, u"XY");
    EXPECT_EQ(f.textUtf8(), "aXYc");
    EXPECT_EQ(f.format(1, 3).color, 0xff0000u);
    EXPECT_EQ(f.format(0, 1).color, 0u);
    f.replace(10, 20, u"!");  // past the end: appended
    EXPECT_EQ(f.textUtf8(), "aXYc!");
    EXPECT_EQ(f.runs().size(), 2u);  // "XYc!" share the red
}

TEST(TextFieldFormats, DeepOrUnclosedHtmlStaysBounded) {
    TextFieldModel f = scriptField();
    std::string html;
    for (int i = 0; i < 1000; ++i) {
        html += "<font size='+1'><b>";
    }
    html += "x<p";
    f.setHtmlText(html);
    EXPECT_EQ(f.textUtf8(), "x");
    EXPECT_FALSE(f.htmlText().empty());
}

}  // namespace
}  // namespace zd::engine

namespace zd::script {
namespace {

avm1::DrawCommand command(avm1::DrawCommand::Kind kind, double x = 0, double y = 0) {
    avm1::DrawCommand c;
    c.kind = kind;
    c.point = {x, y, 0, 0};
    return c;
}

TEST(ClipDrawing, AnOpenFillClosesItselfAndBoundsFollowThePoints) {
    ClipDrawing d;
    EXPECT_EQ(d.shape(), nullptr);
    avm1::DrawCommand fill = command(avm1::DrawCommand::Kind::BeginFill);
    fill.color = 0x00ff00;
    d.apply(fill);
    d.apply(command(avm1::DrawCommand::Kind::MoveTo, 10, 10));
    d.apply(command(avm1::DrawCommand::Kind::LineTo, 50, 10));
    d.apply(command(avm1::DrawCommand::Kind::LineTo, 50, 30));
    const auto open = d.shape();
    ASSERT_NE(open, nullptr);
    const auto* def = open->as<engine::ShapeDefinition>();
    ASSERT_NE(def, nullptr);
    EXPECT_EQ(def->bounds.xMin, 200);
    EXPECT_EQ(def->bounds.xMax, 1000);
    EXPECT_EQ(def->bounds.yMax, 600);
    // The edge back to the start is there while the fill is open.
    EXPECT_EQ(def->records.back().kind, engine::ShapeRecord::Straight);
    EXPECT_EQ(def->records.back().to, (engine::Point{200, 200}));
    ASSERT_FALSE(def->styleGroups.empty());
    EXPECT_EQ(def->styleGroups.back().fills.at(0).color.g, 255);

    d.apply(command(avm1::DrawCommand::Kind::Clear));
    EXPECT_EQ(d.shape(), nullptr);
}

TEST(ClipDrawing, GradientFocalPointsKeepTheFixedPointOfAShapeRecord) {
    auto focalOf = [](double focal) {
        ClipDrawing d;
        avm1::DrawCommand fill = command(avm1::DrawCommand::Kind::BeginGradientFill);
        fill.radial = true;
        fill.focalPoint = focal;
        fill.colors = {0xff0000, 0x000000};
        fill.alphas = {100, 100};
        fill.ratios = {0, 255};
        d.apply(fill);
        d.apply(command(avm1::DrawCommand::Kind::MoveTo, 0, 0));
        d.apply(command(avm1::DrawCommand::Kind::LineTo, 10, 0));
        d.apply(command(avm1::DrawCommand::Kind::LineTo, 10, 10));
        const auto shape = d.shape();
        EXPECT_NE(shape, nullptr);
        const auto& fills = shape->as<engine::ShapeDefinition>()->styleGroups.back().fills;
        EXPECT_FALSE(fills.empty());
        return std::pair{int(fills.at(0).type), fills.at(0).gradient.focalPoint};
    };
    // 0.98 is 250.88 / 256: the fraction goes, toward zero either side.
    EXPECT_EQ(focalOf(0.98), std::pair(int(engine::FillStyle::FocalGradient), 250.0 / 256));
    EXPECT_EQ(focalOf(-0.98), std::pair(int(engine::FillStyle::FocalGradient), -250.0 / 256));
    EXPECT_EQ(focalOf(0.9), std::pair(int(engine::FillStyle::FocalGradient), 230.0 / 256));
    // Too small to keep: a plain radial gradient.
    EXPECT_EQ(focalOf(0.003), std::pair(int(engine::FillStyle::RadialGradient), 0.0));
}

TEST(ClipDrawing, StyleChangesWithoutEdgesReuseTheirGroup) {
    ClipDrawing d;
    avm1::DrawCommand line = command(avm1::DrawCommand::Kind::LineStyle);
    line.thickness = 2;
    for (int i = 0; i < 1000; ++i) {
        d.apply(line);
    }
    d.apply(command(avm1::DrawCommand::Kind::LineTo, 5, 5));
    const auto shape = d.shape();
    ASSERT_NE(shape, nullptr);
    EXPECT_EQ(shape->as<engine::ShapeDefinition>()->styleGroups.size(), 1u);
    EXPECT_EQ(shape->as<engine::ShapeDefinition>()->styleGroups[0].lines.at(0).width, 40);
}

}  // namespace
}  // namespace zd::script
