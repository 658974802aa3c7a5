// zephyrdeck-input-movie OUT.swf
//
// Writes the movie the end-to-end input checks drive: 550 x 400 pixels at 24 frames a second,
// white, with a button at (20, 20)-(270, 180) that is blue when up, yellow under the pointer
// and green while pressed, and an input field at (300, 20)-(530, 80) whose every change is
// traced as "typed: " and its text.

#include <cstdio>
#include <string>

#include "swfwriter/ActionWriter.h"
#include "swfwriter/SwfWriter.h"

using namespace zd::swfwriter;

namespace {

std::uint16_t solidBox(MovieWriter& m, Rgba colour, std::int32_t w, std::int32_t h) {
    ShapeBuilder s;
    s.fill1(s.addFillStyle(FillStyle::solid(colour))).rectangle(0, 0, w, h);
    return m.defineShape(s);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: zephyrdeck-input-movie OUT.swf\n");
        return 2;
    }
    MovieWriter m(8, {0, 11000, 0, 8000}, 24);
    m.setBackgroundColor({255, 255, 255, 255});

    const std::int32_t w = 250 * 20;
    const std::int32_t h = 160 * 20;
    const auto up = solidBox(m, {0, 0, 255, 255}, w, h);
    const auto over = solidBox(m, {255, 255, 0, 255}, w, h);
    const auto down = solidBox(m, {0, 255, 0, 255}, w, h);
    ButtonRecordSpec upRecord{1 | 8, up, 1, {}, std::nullopt};
    ButtonRecordSpec overRecord{2, over, 2, {}, std::nullopt};
    ButtonRecordSpec downRecord{4, down, 3, {}, std::nullopt};
    const auto button = m.defineButton2({upRecord, overRecord, downRecord});

    EditTextSpec field;
    field.bounds = {0, 230 * 20, 0, 60 * 20};
    field.border = true;
    field.fontHeight = 600;
    field.color = Rgba{0, 0, 0, 255};
    field.text = "";
    const auto text = m.defineEditText(field);

    m.placeObject2(PlaceObject::place(1, button, Matrix::translation(20 * 20, 20 * 20)));
    PlaceObject placeField = PlaceObject::place(2, text, Matrix::translation(300 * 20, 20 * 20));
    placeField.name = "field";
    m.placeObject2(placeField);

    // field.onChanged = function () { trace("typed: " + field.text); };
    ActionWriter changed;
    changed.push({"typed: "}).getVariable("field").push({"text"}).act(op::GetMember);
    changed.act(op::Add2).act(op::Trace);
    ActionWriter a;
    a.getVariable("field").push({"onChanged"});
    a.defineFunction("", {}, changed).act(op::SetMember);
    a.act(op::Stop);
    m.rawTag(12, a.bytes());
    m.showFrame();
    if (!m.save(argv[1], {})) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
