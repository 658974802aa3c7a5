// Text fields and drawings as scripts on the player see them: a field placed by a frame binds
// its variable before the frame's scripts run, both ways; fields made by scripts; what the
// drawing methods draw counts in a clip's bounds.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/player/StagePlayer.h"
#include "engine/script/ScriptHost.h"
#include "engine/swf/MovieData.h"
#include "swfwriter/ActionWriter.h"
#include "swfwriter/SwfWriter.h"

using namespace zd::engine;
namespace w = zd::swfwriter;
namespace op = zd::swfwriter::op;
using w::ActionWriter;

namespace {

using Lines = std::vector<std::string>;

struct ScriptedMovie {
    explicit ScriptedMovie(const w::Bytes& file) : movie(MovieData::fromBytes(file)) {
        player = std::make_unique<StagePlayer>(*movie);
        host = std::make_unique<zd::script::ScriptHost>(*player, *movie);
        host->onTrace = [this](std::string_view l) { lines.emplace_back(l); };
        player->settle();
    }
    std::unique_ptr<MovieData> movie;
    std::unique_ptr<StagePlayer> player;
    std::unique_ptr<zd::script::ScriptHost> host;
    Lines lines;
};

void doAction(w::MovieWriter& m, const ActionWriter& a) {
    m.rawTag(12, a.bytes());
}

ActionWriter& traceMember(ActionWriter& a, const std::string& obj, const std::string& member) {
    a.getVariable(obj).push({std::string_view(member)}).act(op::GetMember).act(op::Trace);
    return a;
}

ActionWriter& setMember(ActionWriter& a, const std::string& obj, const std::string& member,
                        const w::PushItem& v) {
    a.getVariable(obj).push({std::string_view(member), v}).act(op::SetMember);
    return a;
}

ActionWriter& call(ActionWriter& a, const std::string& obj, const std::string& method,
                   std::vector<w::PushItem> args) {
    for (auto it = args.rbegin(); it != args.rend(); ++it) {
        a.push({*it});
    }
    a.push({static_cast<int>(args.size())});
    a.getVariable(obj);
    a.push({std::string_view(method)}).act(op::CallMethod);
    return a;
}

}  // namespace

TEST(TextFieldScripts, AFieldBindsItsVariableBothWays) {
    w::MovieWriter m(8, w::Rect{0, 8000, 0, 6000}, 24);
    w::EditTextSpec spec;
    spec.bounds = w::Rect{0, 2000, 0, 400};
    spec.text = "Hello";
    spec.variable = "theVar";
    const auto id = m.defineEditText(spec);
    auto place = w::PlaceObject::place(1, id);
    place.name = "field";
    m.placeObject2(place);
    ActionWriter a;
    a.getVariable("theVar").act(op::Trace);  // the field set it before this ran
    a.push({"theVar", "Test1"}).act(op::SetVariable);
    traceMember(a, "field", "text");  // read through at once
    setMember(a, "field", "text", "Test2");
    a.getVariable("theVar").act(op::Trace);
    traceMember(a, "field", "variable");
    doAction(m, a);
    m.showFrame();
    ScriptedMovie r(m.finish());
    EXPECT_EQ(r.lines, (Lines{"Hello", "Test1", "Test2", "theVar"}));
}

TEST(TextFieldScripts, AFieldInAButtonNamesItsVariableFromTheClipAroundIt) {
    w::MovieWriter m(8, w::Rect{0, 8000, 0, 6000}, 24);
    w::EditTextSpec spec;
    spec.bounds = w::Rect{0, 2000, 0, 400};
    spec.text = "Broken";
    spec.variable = "label";
    const auto field = m.defineEditText(spec);
    w::ButtonRecordSpec up;
    up.characterId = field;
    const auto button = m.defineButton2({up});
    auto place = w::PlaceObject::place(1, button);
    place.name = "btn";
    m.placeObject2(place);
    ActionWriter a;
    a.getVariable("label").act(op::Trace);  // seeded on the root, not on the button
    a.push({"label", "Working"}).act(op::SetVariable);
    doAction(m, a);
    m.showFrame();
    ActionWriter b;
    traceMember(b, "btn", "label");
    doAction(m, b);
    m.showFrame();
    ScriptedMovie r(m.finish());
    r.player->tick(1000.0 / 24);
    EXPECT_EQ(r.lines, (Lines{"Broken", "undefined"}));
    // The field inside the button shows the root's variable.
    bool shown = false;
    for (const auto& [depth, button] : r.player->root().timeline()->objects()) {
        if (button->timeline() != nullptr) {
            for (const auto& [d, inner] : button->timeline()->objects()) {
                shown = shown || (inner->textField() != nullptr &&
                                  inner->textField()->textUtf8() == "Working");
            }
        }
    }
    EXPECT_TRUE(shown);
}

TEST(TextFieldScripts, FieldsMadeByScriptsTakeTextFormatsAndSizeThemselves) {
    w::MovieWriter m(8, w::Rect{0, 8000, 0, 6000}, 24);
    ActionWriter a;
    call(a, "this", "createTextField", {"tf", 5, 10, 20, 100, 50}).act(op::Pop);
    traceMember(a, "tf", "_x");
    traceMember(a, "tf", "_width");
    setMember(a, "tf", "htmlText", "<b>x</b>");  // not an HTML field: taken as it is
    traceMember(a, "tf", "text");
    traceMember(a, "tf", "length");
    setMember(a, "tf", "_width", 40);  // the box changes, not the scale
    traceMember(a, "tf", "_width");
    traceMember(a, "tf", "_xscale");
    call(a, "tf", "getNewTextFormat", {}).push({"font"}).act(op::GetMember).act(op::Trace);
    call(a, "tf", "getDepth", {}).act(op::Trace);
    doAction(m, a);
    m.showFrame();
    ScriptedMovie r(m.finish());
    EXPECT_EQ(r.lines, (Lines{"10", "100", "<b>x</b>", "8", "40", "100", "Times New Roman", "5"}));
}

TEST(DrawingScripts, WhatIsDrawnCountsInTheClipsSize) {
    w::MovieWriter m(8, w::Rect{0, 8000, 0, 6000}, 24);
    ActionWriter a;
    call(a, "this", "createEmptyMovieClip", {"mc", 1}).act(op::Pop);
    traceMember(a, "mc", "_width");
    call(a, "mc", "beginFill", {0xff0000}).act(op::Pop);
    call(a, "mc", "moveTo", {10, 10}).act(op::Pop);
    call(a, "mc", "lineTo", {60, 10}).act(op::Pop);
    call(a, "mc", "lineTo", {60, 40}).act(op::Pop);
    call(a, "mc", "endFill", {}).act(op::Pop);
    traceMember(a, "mc", "_width");
    traceMember(a, "mc", "_height");
    call(a, "mc", "clear", {}).act(op::Pop);
    traceMember(a, "mc", "_width");
    doAction(m, a);
    m.showFrame();
    ScriptedMovie r(m.finish());
    EXPECT_EQ(r.lines, (Lines{"0", "50", "30", "0"}));
}

namespace {

// fmt = new TextFormat(); fmt.<member> = v; trace(fmt.<member>)
ActionWriter& coerced(ActionWriter& a, const std::string& member, const w::PushItem& v) {
    a.push({"fmt", 0, "TextFormat"}).act(op::NewObject).act(op::SetVariable);
    setMember(a, "fmt", member, v);
    return traceMember(a, "fmt", member);
}

}  // namespace

TEST(TextFieldScripts, TextFormatFieldsAreCoercedAsTheyAreWritten) {
    w::MovieWriter m(8, w::Rect{0, 8000, 0, 6000}, 24);
    ActionWriter a;
    coerced(a, "size", -3.5);  // whole pixels, half to even
    coerced(a, "size", 2.5);
    coerced(a, "color", -3);        // an unsigned 32-bit value
    coerced(a, "leftMargin", -5);   // margins stay at zero or above
    coerced(a, "align", "CENTER");  // alignment names in any case
    coerced(a, "align", "sideways");
    coerced(a, "font", w::Null{});
    traceMember(a, "fmt", "display");
    doAction(m, a);
    m.showFrame();
    ScriptedMovie r(m.finish());
    EXPECT_EQ(r.lines, (Lines{"-4", "2", "4294967293", "0", "center", "null", "null", "block"}));
}

// Version 7 movies cut whole pixels toward zero; their setters keep spacing at zero or above
// while the constructor takes it as given, and no version's setter takes null as an alignment.
TEST(TextFieldScripts, OlderMoviesTruncateTextFormatFields) {
    w::MovieWriter m(7, w::Rect{0, 8000, 0, 6000}, 24);
    ActionWriter a;
    coerced(a, "size", -10.9);
    coerced(a, "size", 2.9);
    coerced(a, "indent", -3);
    coerced(a, "leading", -0.5);
    coerced(a, "rightMargin", 4.7);
    // new TextFormat(f, -10.9, c, b, i, u, url, target, "right", -4.5, 1, -2.2, -7)
    a.push({"fmt", -7, -2.2, 1, -4.5, "right", "t", "u", false, false, false, 0, -10.9, "f", 13,
            "TextFormat"})
        .act(op::NewObject)
        .act(op::SetVariable);
    for (const char* field : {"size", "leftMargin", "indent", "leading"}) {
        traceMember(a, "fmt", field);
    }
    setMember(a, "fmt", "align", w::Null{});
    traceMember(a, "fmt", "align");
    doAction(m, a);
    m.showFrame();
    ScriptedMovie r(m.finish());
    EXPECT_EQ(r.lines, (Lines{"-10", "2", "0", "0", "4", "-10", "-4", "-2", "-7", "right"}));
}

TEST(TextFieldScripts, FormatsOfRangesAndReplacedTextReachTheHtml) {
    w::MovieWriter m(8, w::Rect{0, 8000, 0, 6000}, 24);
    ActionWriter a;
    call(a, "this", "createTextField", {"tf", 1, 0, 0, 200, 40}).act(op::Pop);
    setMember(a, "tf", "html", true);
    setMember(a, "tf", "text", "abcd");
    a.push({"fmt", 0, "TextFormat"}).act(op::NewObject).act(op::SetVariable);
    setMember(a, "fmt", "bold", true);
    a.getVariable("fmt").push({3, 1, 3}).getVariable("tf");  // tf.setTextFormat(1, 3, fmt)
    a.push({"setTextFormat"}).act(op::CallMethod).act(op::Pop);
    call(a, "tf", "getTextFormat", {0, 4}).push({"bold"}).act(op::GetMember).act(op::Trace);
    call(a, "tf", "getTextFormat", {1, 3}).push({"bold"}).act(op::GetMember).act(op::Trace);
    call(a, "tf", "replaceText", {2, 3, "XY"}).act(op::Pop);  // takes the bold it replaces
    traceMember(a, "tf", "htmlText");
    call(a, "tf", "getTextFormat", {}).push({"bold"}).act(op::GetMember).act(op::Trace);
    doAction(m, a);
    m.showFrame();
    ScriptedMovie r(m.finish());
    const std::string font =
        R"(<FONT FACE="Times New Roman" SIZE="12" COLOR="#000000" LETTERSPACING="0" KERNING="0">)";
    EXPECT_EQ(r.lines, (Lines{"null", "true",
                              "<P ALIGN=\"LEFT\">" + font + "a<B>bXY</B>d</FONT></P>", "null"}));
}

TEST(TextSnapshots, SelectionCarriesLineEndsOnlyWhenAsked) {
    w::MovieWriter m(8, w::Rect{0, 8000, 0, 6000}, 24);
    w::FontSpec font;
    for (const char c : std::string("ABC")) {
        w::ShapeBuilder g;
        g.fill1(g.addFillStyle(w::FillStyle::solid({})));
        font.glyphs.push_back(g);
        font.codes.push_back(static_cast<std::uint16_t>(c));
    }
    const auto fontId = m.defineFont(font);
    w::TextRecordSpec first;
    first.fontId = fontId;
    first.y = 300;
    first.glyphs = {{0, 200}, {1, 200}};
    w::TextRecordSpec second;
    second.y = 700;  // a line further down
    second.glyphs = {{2, 200}};
    m.placeObject2(w::PlaceObject::place(1, m.defineText({0, 2000, 0, 1000}, {}, {first, second})));
    ActionWriter a;
    a.push({"s"}).getVariable("_root").push({1, "TextSnapshot"}).act(op::NewObject);
    a.act(op::SetVariable);
    call(a, "s", "getText", {0, 3, true}).act(op::Trace);
    call(a, "s", "setSelected", {1, 3, true}).act(op::Pop);
    call(a, "s", "getSelected", {0, 1}).act(op::Trace);
    call(a, "s", "getSelected", {0, 2}).act(op::Trace);
    call(a, "s", "getSelectedText", {true}).act(op::Trace);
    call(a, "s", "getSelectedText", {false}).act(op::Trace);
    call(a, "s", "setSelected", {0, 2, false}).act(op::Pop);
    call(a, "s", "getSelectedText", {true}).act(op::Trace);
    doAction(m, a);
    m.showFrame();
    ScriptedMovie r(m.finish());
    EXPECT_EQ(r.lines, (Lines{"AB\nC", "false", "true", "B\nC", "BC", "C"}));
}
