// What the user does reaching the movie: the button transition table and condition records,
// recorded input sessions, the input queue under a flood, hit-testing by fill (holes, masks,
// nested transforms), buttons and clips acting as buttons, dragging, tab order and focus, and
// handlers that remove what the pointer is on.
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/player/InputScript.h"
#include "engine/player/StagePlayer.h"
#include "engine/render/Bounds.h"
#include "engine/render/CharacterCache.h"
#include "engine/render/Renderer.h"
#include "engine/render/StageRenderer.h"
#include "engine/script/InputRouter.h"
#include "engine/script/ScriptHost.h"
#include "engine/swf/MovieData.h"
#include "swfwriter/ActionWriter.h"
#include "swfwriter/SwfWriter.h"

using namespace zd::engine;
namespace w = zd::swfwriter;
namespace op = zd::swfwriter::op;
using w::ActionWriter;
using zd::script::ButtonTransition;
using zd::script::PointerPhase;

namespace {

using Lines = std::vector<std::string>;

struct InputRun {
    explicit InputRun(const w::Bytes& file) : movie(MovieData::fromBytes(file)) {
        player = std::make_unique<StagePlayer>(*movie);
        host = std::make_unique<zd::script::ScriptHost>(*player, *movie);
        host->onTrace = [this](std::string_view l) { lines.emplace_back(l); };
        player->settle();
    }
    void deliver(const InputEvent& e) {
        player->postInput(e);
        player->deliverInput();
    }
    void send(InputEvent::Type type, double x = 0, double y = 0, int key = 0) {
        InputEvent e;
        e.type = type;
        e.x = x;
        e.y = y;
        e.keyCode = key;
        deliver(e);
    }
    void move(double x, double y) { send(InputEvent::Type::MouseMove, x, y); }
    void click(double x, double y) {
        send(InputEvent::Type::MouseDown, x, y);
        send(InputEvent::Type::MouseUp, x, y);
    }
    void key(int code) {
        send(InputEvent::Type::KeyDown, 0, 0, code);
        send(InputEvent::Type::KeyUp, 0, 0, code);
    }
    // An editing key as the player sends it: the key, then what it asks of the field.
    void edit(int code, TextCommand command) {
        send(InputEvent::Type::KeyDown, 0, 0, code);
        InputEvent e;
        e.type = InputEvent::Type::TextEdit;
        e.command = command;
        deliver(e);
        send(InputEvent::Type::KeyUp, 0, 0, code);
    }
    Lines take() { return std::exchange(lines, {}); }

    std::unique_ptr<MovieData> movie;
    std::unique_ptr<StagePlayer> player;
    std::unique_ptr<zd::script::ScriptHost> host;
    Lines lines;
};

w::MovieWriter newMovie() {
    return w::MovieWriter(8, w::Rect{0, 8000, 0, 6000}, 24);
}

std::uint16_t box(w::MovieWriter& m, std::int32_t x, std::int32_t y, std::int32_t size) {
    w::ShapeBuilder s;
    s.fill1(s.addFillStyle(w::FillStyle::solid({255, 0, 0, 255}))).rectangle(x, y, size, size);
    return m.defineShape(s);
}

w::PlaceObject named(std::uint16_t depth, std::uint16_t id, const std::string& name,
                     std::optional<w::Matrix> matrix = std::nullopt) {
    auto p = w::PlaceObject::place(depth, id, matrix);
    p.name = name;
    return p;
}

// target.event = function () { trace(text); }
ActionWriter& handler(ActionWriter& a, const std::string& target, const std::string& event,
                      const ActionWriter& body) {
    a.getVariable(target).push({std::string_view(event)});
    a.defineFunction("", {}, body).act(op::SetMember);
    return a;
}

ActionWriter tracing(const std::string& text) {
    ActionWriter a;
    a.trace(std::string_view(text));
    return a;
}

void doAction(w::Timeline& t, const ActionWriter& a) {
    t.rawTag(12, a.bytes());
}

// A 200 x 30 pixel text field "field" at depth 1 holding `text`, which traces its text on
// every change (the handler is set by `a`).
void placeTracedField(w::MovieWriter& m, ActionWriter& a, const std::string& text) {
    w::EditTextSpec spec;
    spec.bounds = w::Rect{0, 4000, 0, 600};
    spec.text = text;
    m.placeObject2(named(1, m.defineEditText(spec), "field"));
    ActionWriter changed;
    changed.getVariable("field").push({"text"}).act(op::GetMember).act(op::Trace);
    handler(a, "field", "onChanged", changed);
}

// A movie clip "clip" showing a 100-pixel box at (100, 100) with the given handlers tracing
// their names.
w::Bytes clipWithHandlers(const std::vector<std::string>& events,
                          const ActionWriter* extra = nullptr) {
    auto m = newMovie();
    const auto shape = box(m, 0, 0, 2000);
    w::Timeline inner;
    inner.placeObject2(w::PlaceObject::place(1, shape));
    inner.showFrame();
    const auto sprite = m.defineSprite(inner);
    m.placeObject2(named(1, sprite, "clip", w::Matrix::translation(2000, 2000)));
    ActionWriter a;
    for (const std::string& e : events) {
        handler(a, "clip", e, tracing(e));
    }
    doAction(m, a);
    if (extra != nullptr) {
        doAction(m, *extra);
    }
    m.showFrame();
    return m.finish();
}

}  // namespace

TEST(ButtonTransitions, EachStepOfThePointerIsOneTransition) {
    using P = PointerPhase;
    EXPECT_EQ(zd::script::transitionBetween(P::Idle, P::OverUp), zd::script::kIdleToOverUp);
    EXPECT_EQ(zd::script::transitionBetween(P::OverUp, P::Idle), zd::script::kOverUpToIdle);
    EXPECT_EQ(zd::script::transitionBetween(P::OverUp, P::OverDown), zd::script::kOverUpToOverDown);
    EXPECT_EQ(zd::script::transitionBetween(P::OverDown, P::OverUp), zd::script::kOverDownToOverUp);
    EXPECT_EQ(zd::script::transitionBetween(P::OverDown, P::OutDown),
              zd::script::kOverDownToOutDown);
    EXPECT_EQ(zd::script::transitionBetween(P::OutDown, P::OverDown),
              zd::script::kOutDownToOverDown);
    EXPECT_EQ(zd::script::transitionBetween(P::OutDown, P::Idle), zd::script::kOutDownToIdle);
    EXPECT_EQ(zd::script::transitionBetween(P::Idle, P::OverDown), zd::script::kIdleToOverDown);
    EXPECT_EQ(zd::script::transitionBetween(P::OverDown, P::Idle), zd::script::kOverDownToIdle);
    // Not one step of a button.
    EXPECT_FALSE(zd::script::transitionBetween(P::Idle, P::OutDown));
    EXPECT_FALSE(zd::script::transitionBetween(P::OverUp, P::OutDown));
    EXPECT_FALSE(zd::script::transitionBetween(P::Idle, P::Idle));
}

TEST(ButtonTransitions, ConditionRecordsSplitWithTheirKeysAndDamageEndsThem) {
    ButtonDefinition b;
    b.version = 2;
    // Release (bit 3), then key 'a' with OverDownToIdle, then the last record (size 0).
    b.actions = {
        6,    0,    0x08, 0x00, 0x07, 0x00, 6,   0, 0x00, static_cast<std::uint8_t>('a' << 1 | 1),
        0x07, 0x00, 0,    0,    0x01, 0x00, 0x00};
    const auto c = zd::script::parseButtonConditions(b);
    ASSERT_EQ(c.size(), 3u);
    EXPECT_EQ(c[0].transitions, zd::script::kOverDownToOverUp);
    EXPECT_EQ(c[0].keyPress, 0);
    EXPECT_EQ(c[0].begin, 4u);
    EXPECT_EQ(c[0].end, 6u);
    EXPECT_EQ(c[1].keyPress, 'a');
    EXPECT_EQ(c[1].transitions, zd::script::kOverDownToIdle);
    EXPECT_EQ(c[2].transitions, zd::script::kIdleToOverUp);
    EXPECT_EQ(c[2].end, b.actions.size());

    // A record claiming more than there is stops at the end of the bytes.
    b.actions = {200, 0, 0x08, 0x00, 0x07};
    const auto cut = zd::script::parseButtonConditions(b);
    ASSERT_EQ(cut.size(), 1u);
    EXPECT_EQ(cut[0].end, b.actions.size());

    // DefineButton: its actions run on release.
    ButtonDefinition v1;
    v1.version = 1;
    v1.actions = {0x07, 0x00};
    const auto one = zd::script::parseButtonConditions(v1);
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0].transitions, zd::script::kOverDownToOverUp);
}

TEST(ButtonTransitions, KeyPressCodesForSpecialKeysAndCharacters) {
    EXPECT_EQ(zd::script::keyPressCode(37, 0), 1);    // left
    EXPECT_EQ(zd::script::keyPressCode(13, 13), 13);  // enter
    EXPECT_EQ(zd::script::keyPressCode(9, 9), 18);    // tab
    EXPECT_EQ(zd::script::keyPressCode(27, 27), 19);  // escape
    EXPECT_EQ(zd::script::keyPressCode(65, U'a'), 'a');
    EXPECT_EQ(zd::script::keyPressCode(65, U'A'), 'A');
    EXPECT_EQ(zd::script::keyPressCode(16, 0), 0);  // shift alone traps nothing
}

TEST(InputScript, StepsAreCutByWaitAndUnknownEventsAreLeftOut) {
    const QByteArray json = R"([
        {"type": "MouseMove", "pos": [10.5, 20]},
        {"type": "MouseDown", "pos": [10.5, 20], "btn": "Right"},
        {"type": "Wait"},
        {"type": "KeyDown", "key": {"Char": "a"}},
        {"type": "KeyUp", "key": "ArrowLeft"},
        {"type": "Unheard"},
        {"type": "KeyDown", "key": "NoSuchKey"},
        {"type": "TextInput", "codepoint": "\u00e9"},
        {"type": "MouseWheel", "lines": -1},
        {"type": "Wait"}
    ])";
    InputScript s;
    ASSERT_TRUE(readInputScript(json, s));
    ASSERT_EQ(s.steps.size(), 3u);
    ASSERT_EQ(s.steps[0].size(), 2u);
    EXPECT_EQ(s.steps[0][0].x, 10.5);
    EXPECT_EQ(s.steps[0][1].button, MouseButton::Right);
    ASSERT_EQ(s.steps[1].size(), 4u);
    EXPECT_EQ(s.steps[1][0].keyCode, 'A');
    EXPECT_EQ(s.steps[1][0].ascii, U'a');
    EXPECT_EQ(s.steps[1][1].keyCode, 37);
    EXPECT_EQ(s.steps[1][2].text, std::u32string(U"\u00e9"));
    EXPECT_EQ(s.steps[1][3].wheel, -1);
    EXPECT_TRUE(s.steps[2].empty());

    QString why;
    EXPECT_FALSE(readInputScript("{\"type\": 1}", s, &why));
    EXPECT_FALSE(why.isEmpty());
    EXPECT_FALSE(readInputScript("[{", s, &why));
}

TEST(InputQueue, AFloodOfMovesFoldsAndTheQueueStaysBounded) {
    InputQueue q;
    for (int i = 0; i < 10000; ++i) {
        InputEvent e;
        e.x = i;
        q.push(e);
    }
    ASSERT_EQ(q.size(), 1u);
    EXPECT_EQ(q.take().x, 9999);
    for (std::size_t i = 0; i < 3 * InputQueue::kMaxEvents; ++i) {
        InputEvent e;
        e.type = InputEvent::Type::KeyDown;
        e.keyCode = static_cast<int>(i);
        q.push(e);
    }
    EXPECT_EQ(q.size(), InputQueue::kMaxEvents);
    // The newest are kept.
    EXPECT_EQ(q.take().keyCode, static_cast<int>(2 * InputQueue::kMaxEvents));
}

TEST(ShowAllInput, WidgetPointsMapBackThroughTheLetterbox) {
    const Rect stage{0, 8000, 0, 6000};  // 400 x 300 pixels
    // 800 x 800: scaled by 2, bars of 100 above and below.
    const QRectF target(0, 0, 800, 800);
    auto p = targetToStagePixels(stage, target, QPointF(0, 100));
    ASSERT_TRUE(p);
    EXPECT_NEAR(p->x(), 0, 1e-9);
    EXPECT_NEAR(p->y(), 0, 1e-9);
    p = targetToStagePixels(stage, target, QPointF(400, 400));
    EXPECT_NEAR(p->x(), 200, 1e-9);
    EXPECT_NEAR(p->y(), 150, 1e-9);
    // In the bar: above the stage.
    p = targetToStagePixels(stage, target, QPointF(10, 50));
    EXPECT_LT(p->y(), 0);
    // A stage that starts away from the origin.
    p = targetToStagePixels(Rect{2000, 10000, 0, 6000}, target, QPointF(0, 100));
    EXPECT_NEAR(p->x(), 100, 1e-9);
    EXPECT_FALSE(targetToStagePixels(stage, QRectF(0, 0, 0, 0), QPointF(1, 1)));
}

TEST(MouseInput, AClipWithHandlersGoesThroughRollPressReleaseAndOutside) {
    InputRun r(clipWithHandlers({"onRollOver", "onRollOut", "onPress", "onRelease",
                                 "onReleaseOutside", "onDragOut", "onDragOver"}));
    r.move(10, 10);
    EXPECT_TRUE(r.take().empty());
    r.move(150, 150);
    EXPECT_EQ(r.take(), Lines{"onRollOver"});
    EXPECT_TRUE(r.host->handCursor());
    r.click(150, 150);
    EXPECT_EQ(r.take(), (Lines{"onPress", "onRelease"}));
    r.send(InputEvent::Type::MouseDown, 150, 150);
    r.move(10, 10);
    r.move(150, 150);
    r.move(10, 10);
    r.send(InputEvent::Type::MouseUp, 10, 10);
    EXPECT_EQ(r.take(),
              (Lines{"onPress", "onDragOut", "onDragOver", "onDragOut", "onReleaseOutside"}));
    EXPECT_FALSE(r.host->handCursor());
}

TEST(MouseInput, DisabledClipsAndHiddenOnesTakeNoMouse) {
    ActionWriter off;
    off.getVariable("clip").push({"enabled", false}).act(op::SetMember);
    InputRun r(clipWithHandlers({"onPress"}, &off));
    r.click(150, 150);
    EXPECT_TRUE(r.take().empty());

    ActionWriter hide;
    hide.getVariable("clip").push({"_visible", false}).act(op::SetMember);
    InputRun h(clipWithHandlers({"onPress"}, &hide));
    h.click(150, 150);
    EXPECT_TRUE(h.take().empty());
}

TEST(MouseInput, ShapesAreHitByTheirFillNotTheirBounds) {
    // A ring: a 200-pixel square with a 100-pixel hole, inside a clip scaled by 2 at (50, 50).
    auto m = newMovie();
    w::ShapeBuilder s;
    const int red = s.addFillStyle(w::FillStyle::solid({255, 0, 0, 255}));
    s.fill0(0).fill1(red).rectangle(0, 0, 4000, 4000);
    s.fill0(red).fill1(0).rectangle(1000, 1000, 2000, 2000);
    const auto ring = m.defineShape(s);
    w::Timeline inner;
    inner.placeObject2(w::PlaceObject::place(1, ring));
    inner.showFrame();
    const auto sprite = m.defineSprite(inner);
    w::Matrix scaled = w::Matrix::translation(1000, 1000);
    scaled.scaleX = 0.5;
    scaled.scaleY = 0.5;
    m.placeObject2(named(1, sprite, "clip", scaled));
    ActionWriter a;
    handler(a, "clip", "onPress", tracing("press"));
    doAction(m, a);
    m.showFrame();
    InputRun r(m.finish());
    r.click(100, 100);  // in the hole (the ring spans 50..150, the hole 75..125)
    EXPECT_TRUE(r.take().empty());
    r.click(60, 60);  // on the ring
    EXPECT_EQ(r.take(), Lines{"press"});
    r.click(160, 160);  // outside
    EXPECT_TRUE(r.take().empty());
}

TEST(MouseInput, MasksCutWhatTheyCover) {
    auto m = newMovie();
    const auto big = box(m, 0, 0, 4000);
    const auto small = box(m, 0, 0, 1000);
    w::Timeline inner;
    inner.placeObject2(w::PlaceObject::place(1, big));
    inner.showFrame();
    const auto sprite = m.defineSprite(inner);
    auto mask = w::PlaceObject::place(1, small);
    mask.clipDepth = 2;
    m.placeObject2(mask);
    m.placeObject2(named(2, sprite, "clip"));
    ActionWriter a;
    handler(a, "clip", "onPress", tracing("press"));
    doAction(m, a);
    m.showFrame();
    InputRun r(m.finish());
    r.click(150, 150);  // on the clip, outside the mask's 50 pixels
    EXPECT_TRUE(r.take().empty());
    r.click(20, 20);
    EXPECT_EQ(r.take(), Lines{"press"});
}

TEST(MouseInput, ButtonsShowTheirStatesAndRunTheirConditions) {
    auto m = newMovie();
    const auto up = box(m, 0, 0, 2000);
    const auto over = box(m, 0, 0, 2000);
    const auto down = box(m, 0, 0, 2000);
    auto traceBytes = [](const std::string& t) {
        ActionWriter a;
        a.trace(std::string_view(t));
        return a.bytes();
    };
    const auto button = m.defineButton2(
        {{1, up, 1, {}, {}}, {2, over, 1, {}, {}}, {4, down, 1, {}, {}}, {8, up, 1, {}, {}}},
        {{zd::script::kIdleToOverUp, 0, traceBytes("over")},
         {zd::script::kOverUpToOverDown, 0, traceBytes("press")},
         {zd::script::kOverDownToOverUp, 0, traceBytes("release")},
         {0, 'k', traceBytes("key k")}});
    m.placeObject2(named(1, button, "b", w::Matrix::translation(2000, 2000)));
    m.showFrame();
    InputRun r(m.finish());
    DisplayObject* b = r.player->rootTimeline().at(depthOfTag(1));
    ASSERT_NE(b, nullptr);
    auto shown = [&] {
        const DisplayObject* c = b->timeline()->at(depthOfTag(1));
        return c != nullptr ? c->characterId() : 0;
    };
    EXPECT_EQ(shown(), up);
    r.move(150, 150);
    EXPECT_EQ(shown(), over);
    r.send(InputEvent::Type::MouseDown, 150, 150);
    EXPECT_EQ(shown(), down);
    r.send(InputEvent::Type::MouseUp, 150, 150);
    EXPECT_EQ(shown(), over);
    r.move(10, 10);
    EXPECT_EQ(shown(), up);
    EXPECT_EQ(r.take(), (Lines{"over", "press", "release"}));
    InputEvent k;
    k.type = InputEvent::Type::KeyDown;
    k.keyCode = 'K';
    k.ascii = U'k';
    r.player->postInput(k);
    r.player->deliverInput();
    // The character presses as it is typed.
    EXPECT_TRUE(r.take().empty());
    InputEvent typedK;
    typedK.type = InputEvent::Type::TextInput;
    typedK.text = U"k";
    r.player->postInput(typedK);
    r.player->deliverInput();
    EXPECT_EQ(r.take(), Lines{"key k"});
}

TEST(MouseInput, AHandlerRemovingTheClipUnderTheMouseLeavesNothingStale) {
    // onPress drags the clip, then removes it.
    ActionWriter body;
    body.trace(std::string_view("press"));
    body.push({0}).getVariable("clip").push({"startDrag"}).act(op::CallMethod).act(op::Pop);
    body.push({0, 1}).getVariable("clip").push({"swapDepths"}).act(op::CallMethod).act(op::Pop);
    body.push({0}).getVariable("clip").push({"removeMovieClip"}).act(op::CallMethod).act(op::Pop);
    ActionWriter a;
    handler(a, "clip", "onPress", body);
    handler(a, "clip", "onRelease", tracing("release"));
    handler(a, "clip", "onMouseMove", tracing("move"));
    InputRun r(clipWithHandlers({}, &a));
    r.move(150, 150);
    EXPECT_EQ(r.take(), Lines{"move"});
    r.send(InputEvent::Type::MouseDown, 150, 150);
    EXPECT_EQ(r.take(), Lines{"press"});
    // Gone: no release, no move, the drag of it ends quietly.
    for (int i = 0; i < 100; ++i) {
        r.move(150 + i, 150);
    }
    r.send(InputEvent::Type::MouseUp, 150, 150);
    r.player->tick();
    EXPECT_TRUE(r.take().empty());
}

TEST(MouseInput, DraggingFollowsThePointerWithinItsBounds) {
    ActionWriter a;
    // clip.startDrag(false, 0, 0, 200, 100)
    a.push({100, 200, 0, 0, false, 5}).getVariable("clip").push({"startDrag"});
    a.act(op::CallMethod).act(op::Pop);
    InputRun r(clipWithHandlers({}, &a));
    DisplayObject* clip = r.player->rootTimeline().at(depthOfTag(1));
    ASSERT_NE(clip, nullptr);
    // Grabbed with the pointer at (0, 0), 100 pixels right of and below it.
    EXPECT_EQ(clip->matrix().tx, 100 * 20);
    EXPECT_EQ(clip->matrix().ty, 100 * 20);
    r.move(50, -20);
    EXPECT_EQ(clip->matrix().tx, 150 * 20);
    EXPECT_EQ(clip->matrix().ty, 80 * 20);
    r.move(1000, 1000);
    EXPECT_EQ(clip->matrix().tx, 200 * 20);
    EXPECT_EQ(clip->matrix().ty, 100 * 20);
    r.move(-500, -500);
    EXPECT_EQ(clip->matrix().tx, 0);
    EXPECT_EQ(clip->matrix().ty, 0);
}

TEST(MouseInput, ADraggedClipKeepsItsPlaceWhenItsTimelineLoopsBack) {
    // Frame 1 places the clip, frame 2 starts dragging it, frame 3 goes back to frame 2: each
    // time the timeline goes back it must not put the clip back where frame 1 placed it.
    auto m = newMovie();
    const auto shape = box(m, 0, 0, 2000);
    w::Timeline inner;
    inner.placeObject2(w::PlaceObject::place(1, shape));
    inner.showFrame();
    const auto sprite = m.defineSprite(inner);
    m.placeObject2(named(1, sprite, "clip", w::Matrix::translation(2000, 2000)));
    m.showFrame();
    ActionWriter drag;
    drag.push({true, 1}).getVariable("clip").push({"startDrag"});
    drag.act(op::CallMethod).act(op::Pop);
    doAction(m, drag);
    m.showFrame();
    ActionWriter back;
    back.gotoFrame(1).act(op::Play);
    doAction(m, back);
    m.showFrame();
    InputRun r(m.finish());
    r.move(300, 200);
    for (int i = 0; i < 6; ++i) {
        r.player->tick();
    }
    DisplayObject* clip = r.player->rootTimeline().at(depthOfTag(1));
    ASSERT_NE(clip, nullptr);
    EXPECT_EQ(clip->matrix().tx, 300 * 20);
    EXPECT_EQ(clip->matrix().ty, 200 * 20);
}

TEST(Focus, RemovingTheFocusedClipTellsTheListenersWhileItCanBeNamed) {
    ActionWriter a;
    // clip.focusEnabled = true; Selection.addListener(l) with l.onSetFocus tracing both ends;
    // the clip takes the focus, then is removed.
    a.getVariable("clip").push({"focusEnabled", true}).act(op::SetMember);
    // A depth scripts own, so removeMovieClip may take it.
    a.push({10, 1}).getVariable("clip").push({"swapDepths"}).act(op::CallMethod).act(op::Pop);
    a.push({"l", 0, "Object"}).act(op::NewObject).act(op::DefineLocal);
    ActionWriter changed;
    changed.push({"from "}).getVariable("a").act(op::Add2).push({" to "}).act(op::Add2);
    changed.getVariable("b").act(op::Add2).act(op::Trace);
    a.getVariable("l").push({"onSetFocus"});
    a.defineFunction("", {"a", "b"}, changed).act(op::SetMember);
    a.getVariable("l").push({1, "Selection"}).act(op::GetVariable).push({"addListener"});
    a.act(op::CallMethod).act(op::Pop);
    a.getVariable("clip").push({1, "Selection"}).act(op::GetVariable).push({"setFocus"});
    a.act(op::CallMethod).act(op::Pop);
    a.push({0}).getVariable("clip").push({"removeMovieClip"}).act(op::CallMethod).act(op::Pop);
    a.push({0, "Selection"}).act(op::GetVariable).push({"getFocus"}).act(op::CallMethod);
    a.act(op::Trace);
    InputRun r(clipWithHandlers({}, &a));
    EXPECT_EQ(r.take(), (Lines{"from null to _level0.clip", "from _level0.clip to null", "null"}));
    // Keys and clicks after it find no focus and nothing stale.
    r.key(9);
    r.click(110, 110);
}

TEST(Focus, TabGoesByPlaceOrByTabIndexAndSkipsRemovedObjects) {
    auto m = newMovie();
    const auto shape = box(m, 0, 0, 400);
    w::Timeline inner;
    inner.placeObject2(w::PlaceObject::place(1, shape));
    inner.showFrame();
    const auto sprite = m.defineSprite(inner);
    // Depth order differs from place order: c sits highest and leftmost on the lower row.
    m.placeObject2(named(1, sprite, "a", w::Matrix::translation(2000, 0)));
    m.placeObject2(named(2, sprite, "b", w::Matrix::translation(0, 2000)));
    m.placeObject2(named(3, sprite, "c", w::Matrix::translation(0, 0)));
    ActionWriter a;
    for (const char* name : {"a", "b", "c"}) {
        a.getVariable(name).push({"tabEnabled", true}).act(op::SetMember);
    }
    doAction(m, a);
    m.showFrame();
    InputRun r(m.finish());
    zd::avm1::Vm& vm = r.host->vm();
    auto focusName = [&] {
        const auto f = vm.input().focus;
        return f == zd::avm1::kNoDisplay ? std::string("null") : vm.dotPath(f);
    };
    r.key(9);
    EXPECT_EQ(focusName(), "_level0.c");
    r.key(9);
    EXPECT_EQ(focusName(), "_level0.a");
    r.key(9);
    EXPECT_EQ(focusName(), "_level0.b");
    r.key(9);
    EXPECT_EQ(focusName(), "_level0.c");

    // Given tab indexes, only they count, in their order.
    ActionWriter custom;
    custom.getVariable("b").push({"tabIndex", 1}).act(op::SetMember);
    custom.getVariable("a").push({"tabIndex", 2}).act(op::SetMember);
    vm.runActions(std::make_shared<const zd::avm1::Bytes>(custom.bytes()), r.host->root());
    r.key(9);
    EXPECT_EQ(focusName(), "_level0.b");
    r.key(9);
    EXPECT_EQ(focusName(), "_level0.a");

    // The focused clip goes: the focus reads as none and Tab starts again.
    ActionWriter gone;
    gone.push({0, 1}).getVariable("a").push({"swapDepths"}).act(op::CallMethod).act(op::Pop);
    gone.push({0}).getVariable("a").push({"removeMovieClip"}).act(op::CallMethod).act(op::Pop);
    gone.push({0}).getVariable("Selection").push({"getFocus"}).act(op::CallMethod).act(op::Trace);
    vm.runActions(std::make_shared<const zd::avm1::Bytes>(gone.bytes()), r.host->root());
    r.player->settle();
    EXPECT_EQ(r.take(), Lines{"null"});
    r.key(9);
    EXPECT_EQ(focusName(), "_level0.b");
}

TEST(TextInput, TypingGoesToTheFocusedFieldWithinRestrictAndMaxChars) {
    auto m = newMovie();
    ActionWriter a;
    placeTracedField(m, a, "ab");
    a.getVariable("field").push({"restrict", "a-z"}).act(op::SetMember);
    a.getVariable("field").push({"maxChars", 5}).act(op::SetMember);
    doAction(m, a);
    m.showFrame();
    InputRun r(m.finish());
    auto type = [&](const std::u32string& t) {
        InputEvent e;
        e.type = InputEvent::Type::TextInput;
        e.text = t;
        r.deliver(e);
    };
    type(U"x");  // no focus yet: nowhere to go
    EXPECT_TRUE(r.take().empty());
    r.click(10, 10);
    // "!" is kept out, "X" comes in as "x"; three fit.
    type(U"X!cdefg");
    EXPECT_EQ(r.take(), Lines{"abxcd"});
    r.edit(8, TextCommand::Backspace);
    EXPECT_EQ(r.take(), Lines{"abxc"});
    r.edit(37, TextCommand::MoveLeft);
    type(U"z");
    EXPECT_EQ(r.take(), Lines{"abxzc"});
    type(U"q");  // full
    EXPECT_TRUE(r.take().empty());
    // Clicking outside takes the focus away: typing goes nowhere.
    r.click(300, 300);
    r.edit(8, TextCommand::Backspace);
    EXPECT_TRUE(r.take().empty());
}

namespace {

// Records the button sounds asked for.
struct ButtonSoundLog : SoundHooks {
    void buttonTransition(std::uint16_t buttonId, int transition) override {
        calls.emplace_back(buttonId, transition);
    }
    std::vector<std::pair<std::uint16_t, int>> calls;
};

InputEvent textEdit(TextCommand command) {
    InputEvent e;
    e.type = InputEvent::Type::TextEdit;
    e.command = command;
    return e;
}

InputEvent clipboardHolds(const std::u32string& text) {
    InputEvent e;
    e.type = InputEvent::Type::ClipboardChanged;
    e.text = text;
    return e;
}

}  // namespace

// A button's sounds follow the states it shows: over from idle, down, up again over it, and
// idle when the pointer leaves; nothing for a change that shows no other state.
TEST(ButtonSounds, EachStateChangeAsksForItsSound) {
    auto m = newMovie();
    const auto shape = box(m, 0, 0, 2000);
    const auto button = m.defineButton2({{15, shape, 1, {}, {}}});
    m.placeObject2(named(1, button, "b", w::Matrix::translation(2000, 2000)));
    m.showFrame();
    InputRun r(m.finish());
    ButtonSoundLog log;
    r.player->setSoundHooks(&log);
    using Calls = std::vector<std::pair<std::uint16_t, int>>;
    r.move(150, 150);
    EXPECT_EQ(log.calls, (Calls{{button, 1}}));
    r.send(InputEvent::Type::MouseDown, 150, 150);
    r.send(InputEvent::Type::MouseUp, 150, 150);
    EXPECT_EQ(log.calls, (Calls{{button, 1}, {button, 2}, {button, 3}}));
    log.calls.clear();
    r.send(InputEvent::Type::MouseDown, 150, 150);
    r.move(10, 10);  // dragged off while down: no state of its own to sound
    EXPECT_EQ(log.calls, (Calls{{button, 2}}));
    r.send(InputEvent::Type::MouseUp, 10, 10);
    r.move(150, 150);
    r.move(10, 10);
    EXPECT_EQ(log.calls, (Calls{{button, 2}, {button, 1}, {button, 0}}));
    r.player->setSoundHooks(nullptr);
}

TEST(TextInput, PasteKeepsToRestrictAndMaxCharsAndCopyNeverTakesAPassword) {
    auto m = newMovie();
    ActionWriter a;
    placeTracedField(m, a, "");
    a.getVariable("field").push({"restrict", "bc"}).act(op::SetMember);
    a.getVariable("field").push({"maxChars", 3}).act(op::SetMember);
    doAction(m, a);
    m.showFrame();
    InputRun r(m.finish());
    auto send = [&r](const InputEvent& e) { r.deliver(e); };
    r.click(10, 10);
    // Upper case comes in as the lower case the field lets in; the fourth letter has no room.
    send(clipboardHolds(U"aAbBcCdD"));
    send(textEdit(TextCommand::Paste));
    EXPECT_EQ(r.take(), Lines{"bbc"});
    // Pasting nothing leaves the selection in place.
    send(textEdit(TextCommand::SelectAll));
    send(clipboardHolds(U""));
    send(textEdit(TextCommand::Paste));
    EXPECT_TRUE(r.take().empty());
    // Copy and cut go through the clipboard.
    send(textEdit(TextCommand::Copy));
    EXPECT_EQ(r.host->clipboard().text(), U"bbc");
    send(textEdit(TextCommand::Cut));
    EXPECT_EQ(r.take(), Lines{""});
    send(textEdit(TextCommand::Paste));
    send(textEdit(TextCommand::Paste));  // full after three
    EXPECT_EQ(r.take(), Lines{"bbc"});

    // A password field neither copies nor cuts.
    ActionWriter password;
    password.getVariable("field").push({"password", true}).act(op::SetMember);
    r.host->vm().runActions(std::make_shared<const zd::avm1::Bytes>(password.bytes()),
                            r.host->root());
    send(clipboardHolds(U"kept"));
    send(textEdit(TextCommand::SelectAll));
    send(textEdit(TextCommand::Copy));
    send(textEdit(TextCommand::Cut));
    EXPECT_EQ(r.host->clipboard().text(), U"kept");
    EXPECT_TRUE(r.take().empty());
}

TEST(InputScript, ClipboardAndEditingCommandsAreRead) {
    InputScript script;
    ASSERT_TRUE(readInputScript(R"([{"type": "SetClipboardText", "text": "x\u00e9"},
                                    {"type": "TextControl", "code": "Paste"},
                                    {"type": "TextControl", "code": "MoveRightLine"},
                                    {"type": "TextControl", "code": "Scroll"},
                                    {"type": "TextControl", "code": "SelectAll"}])",
                                script));
    ASSERT_EQ(script.steps.size(), 1u);
    // A command this player does not know is left out.
    ASSERT_EQ(script.steps[0].size(), 4u);
    EXPECT_EQ(script.steps[0][0].type, InputEvent::Type::ClipboardChanged);
    EXPECT_EQ(script.steps[0][0].text, U"x\u00e9");
    EXPECT_EQ(script.steps[0][1].command, TextCommand::Paste);
    EXPECT_EQ(script.steps[0][2].command, TextCommand::LineEnd);
    EXPECT_EQ(script.steps[0][3].command, TextCommand::SelectAll);
}

TEST(Focus, TabShowsTheRectangleAsARollOverAndThePointerHidesIt) {
    ActionWriter extra;
    extra.getVariable("clip").push({"tabEnabled", true}).act(op::SetMember);
    InputRun r(clipWithHandlers({"onRollOver", "onRollOut"}, &extra));
    const auto clip = r.host->vm().resolvePath(r.host->root(), "clip");
    ASSERT_NE(clip, zd::avm1::kNoDisplay);
    EXPECT_EQ(r.player->context().highlighted(), kNoInstance);
    r.send(InputEvent::Type::KeyDown, 0, 0, 9);
    EXPECT_EQ(r.player->context().highlighted(), clip);
    EXPECT_EQ(r.take(), Lines{"onRollOver"});
    r.move(5, 5);
    EXPECT_EQ(r.player->context().highlighted(), kNoInstance);
    EXPECT_EQ(r.take(), Lines{"onRollOut"});

    // A script moving the focus shows it again; the rollOver follows once the script is done.
    ActionWriter focus;
    focus.push({"_level0.clip", 1}).getVariable("Selection").push({"setFocus"});
    focus.act(op::CallMethod).act(op::Pop).trace("set");
    r.host->vm().runActions(std::make_shared<const zd::avm1::Bytes>(focus.bytes()), r.host->root());
    r.player->settle();
    EXPECT_EQ(r.player->context().highlighted(), clip);
    EXPECT_EQ(r.take(), (Lines{"set", "onRollOver"}));

    // _focusrect off: the focus stays, the rectangle does not show.
    ActionWriter off;
    off.push({"_focusrect", false}).act(op::SetVariable);
    r.host->vm().runActions(std::make_shared<const zd::avm1::Bytes>(off.bytes()), r.host->root());
    r.player->settle();
    EXPECT_EQ(r.player->context().highlighted(), kNoInstance);
    EXPECT_EQ(r.host->vm().input().focus, clip);
}

TEST(Focus, TheRectangleIsAYellowFrameThreePixelsWideInsideTheBounds) {
    // The clip's box: 100 pixels square at (100, 100) on a 400 by 300 stage.
    ActionWriter extra;
    extra.getVariable("clip").push({"tabEnabled", true}).act(op::SetMember);
    InputRun r(clipWithHandlers({}, &extra));
    Renderer renderer;
    RenderOptions options;
    options.antialias = false;
    renderer.setOptions(options);
    auto render = [&] {
        QImage image(400, 300, QImage::Format_ARGB32_Premultiplied);
        renderer.renderStage(image, QRectF(0, 0, 400, 300), *r.player, r.movie->header()->frameSize,
                             Qt::white);
        return image;
    };
    const QRgb yellow = qRgb(255, 255, 0);
    EXPECT_NE(render().pixel(100, 100), yellow);
    r.send(InputEvent::Type::KeyDown, 0, 0, 9);
    const QImage shown = render();
    for (const QPoint p :
         {QPoint(100, 100), QPoint(102, 150), QPoint(199, 199), QPoint(150, 197)}) {
        EXPECT_EQ(shown.pixel(p), yellow) << p.x() << "," << p.y();
    }
    for (const QPoint p : {QPoint(99, 100), QPoint(103, 150), QPoint(200, 199), QPoint(150, 196)}) {
        EXPECT_NE(shown.pixel(p), yellow) << p.x() << "," << p.y();
    }
    // Scaled to twice the size, the frame follows the stage's scale.
    QImage large(800, 600, QImage::Format_ARGB32_Premultiplied);
    renderer.renderStage(large, QRectF(0, 0, 800, 600), *r.player, r.movie->header()->frameSize,
                         Qt::white);
    EXPECT_EQ(large.pixel(205, 205), yellow);
    EXPECT_NE(large.pixel(206, 206), yellow);
}

namespace {

TextFieldModel& fieldOf(InputRun& r) {
    for (const auto& [depth, child] : r.player->root().timeline()->objects()) {
        if (child->textField() != nullptr) {
            return *child->textField();
        }
    }
    throw std::runtime_error("no field");
}

InputEvent typed(const std::u32string& text) {
    InputEvent e;
    e.type = InputEvent::Type::TextInput;
    e.text = text;
    return e;
}

InputEvent keyEvent(InputEvent::Type type, int code, char32_t ascii) {
    InputEvent e;
    e.type = type;
    e.keyCode = code;
    e.ascii = ascii;
    return e;
}

}  // namespace

// Key-press conditions hear the characters typed, not the keys: a dead key's accent types
// nothing, the letter after it may type another character, and a character a button takes
// is not typed.
TEST(TextInput, KeyPressConditionsFollowTheTypedCharacters) {
    auto m = newMovie();
    ActionWriter a;
    placeTracedField(m, a, "");
    const auto shape = box(m, 0, 0, 200);
    ActionWriter press;
    press.trace("press r");
    const auto button = m.defineButton2({{15, shape, 1, {}, {}}}, {{0, 'r', press.bytes()}});
    m.placeObject2(named(2, button, "b", w::Matrix::translation(6000, 4000)));
    doAction(m, a);
    m.showFrame();
    InputRun r(m.finish());
    r.click(10, 10);
    auto post = [&r](const InputEvent& e) { r.deliver(e); };
    using T = InputEvent::Type;
    // The key gives "a", the layout "ä": no press of "a".
    post(keyEvent(T::KeyDown, 65, U'a'));
    post(typed(U"ä"));
    post(keyEvent(T::KeyUp, 65, U'a'));
    EXPECT_EQ(r.take(), Lines{"ä"});
    // The accent comes with the next letter, which the button takes.
    post(keyEvent(T::KeyDown, 82, U'r'));
    post(typed(U"\""));
    post(typed(U"r"));
    post(keyEvent(T::KeyUp, 82, U'r'));
    EXPECT_EQ(r.take(), (Lines{"ä\"", "press r"}));
    // A key whose text never comes still presses its character, once.
    post(keyEvent(T::KeyDown, 82, U'r'));
    post(keyEvent(T::KeyUp, 82, U'r'));
    EXPECT_EQ(r.take(), Lines{"press r"});
}

// What the input method composes shows in the field without telling its listeners; it gives
// way to the text it settles on, and is the field's own once the focus leaves.
TEST(TextInput, ACompositionSitsInTheFieldUntilSettled) {
    auto m = newMovie();
    ActionWriter a;
    placeTracedField(m, a, "ab");
    a.getVariable("field").push({"type", "input"}).act(op::SetMember);
    doAction(m, a);
    m.showFrame();
    InputRun r(m.finish());
    auto post = [&r](const InputEvent& e) { r.deliver(e); };
    auto compose = [&post](const std::u32string& t, int cursor) {
        InputEvent e;
        e.type = InputEvent::Type::ImePreedit;
        e.text = t;
        e.preeditCursor = cursor;
        post(e);
    };
    r.click(10, 10);
    compose(U"xy", 1);
    EXPECT_TRUE(r.take().empty());
    EXPECT_EQ(fieldOf(r).textUtf8(), "abxy");
    EXPECT_EQ(fieldOf(r).caret, 3);
    compose(U"z", -1);
    EXPECT_EQ(fieldOf(r).textUtf8(), "abz");
    post(typed(U"Z"));
    EXPECT_EQ(r.take(), Lines{"abZ"});
    compose(U"q", -1);
    EXPECT_TRUE(r.take().empty());
    // Clicking elsewhere takes the focus: the composition stays and is told of.
    r.click(300, 300);
    EXPECT_EQ(r.take(), Lines{"abZq"});
    compose(U"w", -1);  // no field has the focus
    EXPECT_EQ(fieldOf(r).textUtf8(), "abZq");
}

namespace {

// A field of ten short paragraphs, a few lines high, the sixth a link.
w::Bytes linkedLines(const std::string& href) {
    auto m = newMovie();
    // Square glyphs 12 pixels wide at 12 pixels: no system font involved.
    w::FontSpec font;
    font.name = "Squares";
    for (const char c : std::string("eikln")) {
        w::ShapeBuilder g;
        g.fill1(g.addFillStyle(w::FillStyle::solid({})));
        g.moveTo(0, -800).lineTo(800, -800).lineTo(800, 0).lineTo(0, 0).lineTo(0, -800);
        font.glyphs.push_back(g);
        font.codes.push_back(static_cast<std::uint16_t>(c));
        font.advances.push_back(1024);
    }
    font.ascent = 900;
    font.descent = 124;
    const auto fontId = m.defineFont(font);
    w::EditTextSpec spec;
    spec.fontId = fontId;
    spec.useOutlines = true;
    spec.bounds = w::Rect{0, 4000, 0, 1000};
    spec.multiline = true;
    spec.html = true;
    std::string html;
    for (int n = 0; n < 10; ++n) {
        html += n == 5 ? "<p><a href='" + href + "'>link</a></p>" : "<p>line</p>";
    }
    spec.text = html;
    const auto text = m.defineEditText(spec);
    m.placeObject2(named(1, text, "field"));
    ActionWriter hit;
    hit.push({"hit "}).getVariable("a").act(op::Add2).act(op::Trace);
    ActionWriter a;
    a.defineFunction("hit", {"a"}, hit);
    doAction(m, a);
    m.showFrame();
    return m.finish();
}

}  // namespace

// A link is found where its line shows: scrolling moves it, and only its characters count.
TEST(TextLinks, AClickOnALinkCallsItsFunctionWhereTheScrolledLineShows) {
    InputRun r(linkedLines("asfunction:hit,x,y"));
    r.click(5, 5);  // the first line: no link
    EXPECT_TRUE(r.take().empty());
    r.move(5, 5);
    EXPECT_FALSE(r.host->handCursor());
    fieldOf(r).scroll = 6;
    r.move(5, 5);
    EXPECT_TRUE(r.host->handCursor());
    // Everything after the first comma is the one argument.
    r.click(5, 5);
    EXPECT_EQ(r.take(), Lines{"hit x,y"});
    // Past the link's last character on its line: nothing.
    r.click(150, 5);
    EXPECT_TRUE(r.take().empty());
}

TEST(TextLinks, AnAsfunctionWithoutArgumentOrFunctionIsHarmless) {
    for (const char* href : {"asfunction:hit", "asfunction:", "asfunction:nothing.here,1"}) {
        InputRun r(linkedLines(href));
        fieldOf(r).scroll = 6;
        r.click(5, 5);
        EXPECT_EQ(r.take(),
                  std::string(href) == "asfunction:hit" ? Lines{"hit undefined"} : Lines{})
            << href;
    }
}

// The wheel scrolls the field under the pointer by lines, within its scroll range, unless
// the field says not to.
TEST(TextScroll, TheWheelScrollsTheFieldUnderThePointer) {
    InputRun r(linkedLines("asfunction:hit"));
    auto wheel = [&r](int lines) {
        InputEvent e;
        e.type = InputEvent::Type::MouseWheel;
        e.wheel = lines;
        r.deliver(e);
    };
    auto scroll = [&r]() { return std::to_string(fieldOf(r).scroll); };
    r.move(300, 300);  // off the field
    wheel(-3);
    EXPECT_EQ(scroll(), "1");
    r.move(5, 5);
    wheel(-3);  // towards the user: later lines
    EXPECT_EQ(scroll(), "4");
    wheel(-100);
    const std::string bottom = scroll();
    EXPECT_GT(std::stoi(bottom), 4);
    wheel(1);
    EXPECT_EQ(scroll(), std::to_string(std::stoi(bottom) - 1));
    wheel(100);
    EXPECT_EQ(scroll(), "1");
    fieldOf(r).mouseWheelEnabled = false;
    wheel(-3);
    EXPECT_EQ(scroll(), "1");
}

TEST(MouseInput, ThePointerInAClipIsPlacedAsTheClipIsDrawn) {
    using zd::script::pointerIn;
    // The clip's offset goes to whole pixels (125.5 to 126, 320.25 to 320).
    EXPECT_EQ(pointerIn(QTransform(1, 0, 0, 1, 2510, 6405), 308, 340), QPointF(3640, 400));
    // Scaled: the inverse's offset and the result go to whole twips.
    const double s = 0.4199981689453125;
    EXPECT_EQ(pointerIn(QTransform(s, 0, 0, s, 7286, 2842), 308, 340), QPointF(-2666, 9429));
    // Squeezed flat: the pointer's pixels pass through as they are.
    EXPECT_EQ(pointerIn(QTransform(0, 0, 0, 0, 0, 0), 308, 340), QPointF(308, 340));
}

TEST(Focus, ThePointerAndTheRectangleShareOneRollOver) {
    ActionWriter extra;
    extra.getVariable("clip").push({"tabEnabled", true}).act(op::SetMember);
    InputRun r(clipWithHandlers({"onRollOver", "onRollOut"}, &extra));
    r.move(10, 10);
    r.key(9);
    EXPECT_EQ(r.take(), Lines{"onRollOver"});
    // The pointer moving off rolls the rectangle's object out at once.
    r.move(5, 5);
    EXPECT_EQ(r.take(), Lines{"onRollOut"});
    // Onto the focused clip and off again: one rollOver, one rollOut.
    r.move(150, 150);
    r.move(150, 150);
    r.move(10, 10);
    EXPECT_EQ(r.take(), (Lines{"onRollOver", "onRollOut"}));

    // The rectangle on the clip and a move that goes nowhere: it stays rolled over.
    r.host->vm().input().focus = zd::avm1::kNoDisplay;
    r.key(9);
    r.move(10, 10);
    EXPECT_EQ(r.take(), Lines{"onRollOver"});
}

TEST(Focus, AClickMovingTheFocusRollsOutWhatThePointerIsOn) {
    auto m = newMovie();
    const auto shape = box(m, 0, 0, 2000);
    w::Timeline inner;
    inner.placeObject2(w::PlaceObject::place(1, shape));
    inner.showFrame();
    const auto sprite = m.defineSprite(inner);
    m.placeObject2(named(1, sprite, "clip", w::Matrix::translation(2000, 2000)));
    w::EditTextSpec text;
    text.bounds = {0, 2000, 0, 400};
    text.text = "x";
    const auto field = m.defineEditText(text);
    m.placeObject2(named(2, field, "field", w::Matrix::translation(0, 0)));
    ActionWriter a;
    handler(a, "clip", "onPress", tracing("onPress"));
    handler(a, "clip", "onRollOut", tracing("onRollOut"));
    doAction(m, a);
    m.showFrame();
    InputRun r(m.finish());
    r.click(150, 150);  // no focus to lose: nothing rolls out
    EXPECT_EQ(r.take(), Lines{"onPress"});
    ActionWriter focus;
    focus.push({"_level0.field", 1}).getVariable("Selection").push({"setFocus"});
    focus.act(op::CallMethod).act(op::Pop);
    r.host->vm().runActions(std::make_shared<const zd::avm1::Bytes>(focus.bytes()), r.host->root());
    r.player->settle();
    r.move(10, 10);
    r.move(150, 150);
    r.take();
    // The press takes the focus from the field; the clip rolls out once let go.
    r.send(InputEvent::Type::MouseDown, 150, 150);
    EXPECT_EQ(r.take(), Lines{"onPress"});
    r.send(InputEvent::Type::MouseUp, 150, 150);
    EXPECT_EQ(r.take(), Lines{"onRollOut"});
}

TEST(Focus, TabTreatsPlacesARoundingErrorApartAsOneAndCountsHandlerNames) {
    auto m = newMovie();
    const auto shape = box(m, -1000, -1000, 2000);
    w::Timeline inner;
    inner.placeObject2(w::PlaceObject::place(1, shape));
    inner.showFrame();
    const auto sprite = m.defineSprite(inner);
    // Both boxes' corners land at (1600, 2600), give or take the scales' fixed-point error.
    m.placeObject2(named(1, sprite, "a", w::Matrix::transform(0.4, 0.4, 0, 2000, 3000)));
    m.placeObject2(named(2, sprite, "b", w::Matrix::transform(0.2, 0.2, 0, 1800, 2800)));
    m.placeObject2(named(3, sprite, "c", w::Matrix::translation(4000, 4000)));
    ActionWriter a;
    for (const char* name : {"a", "b"}) {
        a.getVariable(name).push({"tabEnabled", true}).act(op::SetMember);
    }
    // A handler's name makes c a button, even holding undefined.
    a.getVariable("c").push({"onRelease", w::Undefined{}}).act(op::SetMember);
    doAction(m, a);
    m.showFrame();
    InputRun r(m.finish());
    zd::avm1::Vm& vm = r.host->vm();
    std::vector<std::string> order;
    for (int i = 0; i < 3; ++i) {
        r.key(9);
        order.push_back(vm.dotPath(vm.input().focus));
    }
    EXPECT_EQ(order, (Lines{"_level0.a", "_level0.c", "_level0.a"}));
}

TEST(MouseInput, AButtonTheTimelinePutsBackKeepsWhatThePointerDidToIt) {
    // Frame 2 takes the button away and goes back to frame 1, which places it again.
    auto m = newMovie();
    const auto shape = box(m, 0, 0, 2000);
    auto traceBytes = [](const std::string& t) {
        ActionWriter a;
        a.trace(std::string_view(t));
        return a.bytes();
    };
    const auto button = m.defineButton2({{1 | 2 | 4 | 8, shape, 1, {}, {}}},
                                        {{zd::script::kIdleToOverUp, 0, traceBytes("rollOver")},
                                         {zd::script::kOverDownToOutDown, 0, traceBytes("dragOut")},
                                         {zd::script::kOverUpToIdle, 0, traceBytes("rollOut")}});
    m.placeObject2(w::PlaceObject::place(1, button, w::Matrix::translation(2000, 2000)));
    m.showFrame();
    m.removeObject2(1);
    ActionWriter back;
    back.gotoFrame(0).act(op::Play);
    doAction(m, back);
    m.showFrame();
    InputRun r(m.finish());
    r.move(150, 150);
    r.player->tick();
    r.player->tick();
    r.send(InputEvent::Type::MouseDown, 150, 150);
    r.player->tick();
    r.move(10, 10);
    r.send(InputEvent::Type::MouseUp, 10, 10);
    EXPECT_EQ(r.take(), (Lines{"rollOver", "dragOut"}));
}

TEST(Focus, AButtonsRectangleFramesItsHitArea) {
    auto m = newMovie();
    const auto small = box(m, -200, -200, 400);
    const auto large = box(m, -800, -800, 1600);
    const auto shown = m.defineButton2({{1 | 2 | 4, large, 1, {}, {}}, {8, small, 2, {}, {}}});
    const auto none = m.defineButton2({{1 | 2 | 4, large, 1, {}, {}}});
    m.placeObject2(w::PlaceObject::place(1, shown, w::Matrix::translation(2000, 2000)));
    m.placeObject2(w::PlaceObject::place(2, none, w::Matrix::translation(4000, 2000)));
    m.showFrame();
    InputRun r(m.finish());
    RenderHooks hooks;
    CharacterCache cache(hooks);
    cache.setContext(&r.player->context());
    const DisplayObject* a = r.player->rootTimeline().at(depthOfTag(1));
    const DisplayObject* b = r.player->rootTimeline().at(depthOfTag(2));
    ASSERT_TRUE(a != nullptr && b != nullptr);
    EXPECT_EQ(buttonHitBounds(*a, cache), QRectF(-200, -200, 400, 400));
    EXPECT_TRUE(buttonHitBounds(*b, cache).isEmpty());
}

namespace {

// placeTracedField with embedded square glyphs for "W", 12 pixels tall, as an input field.
void placeSquaresField(w::MovieWriter& m, ActionWriter& a, const std::string& text) {
    w::FontSpec font;
    font.name = "Squares";
    font.version = 3;
    for (const char c : std::string(" W")) {
        w::ShapeBuilder g;
        g.fill1(g.addFillStyle(w::FillStyle::solid({})));
        if (c != ' ') {
            g.polygon({{0, -20480}, {20480, -20480}, {20480, 0}, {0, 0}});
        }
        font.glyphs.push_back(g);
        font.codes.push_back(static_cast<std::uint16_t>(c));
        font.advances.push_back(20480);
    }
    font.ascent = 16384;
    font.descent = 4096;
    w::EditTextSpec spec;
    spec.bounds = w::Rect{0, 4000, 0, 600};
    spec.fontId = m.defineFont(font);
    spec.useOutlines = true;
    spec.text = text;
    m.placeObject2(named(1, m.defineEditText(spec), "field"));
    a.getVariable("field").push({"type", "input"}).act(op::SetMember);
}

// The field's column of pixels where its caret stands (the gutter, 2 pixels in), inked.
int caretPixels(InputRun& r, Renderer& renderer) {
    QImage image(400, 300, QImage::Format_ARGB32_Premultiplied);
    renderer.renderStage(image, QRectF(0, 0, 400, 300), *r.player, r.movie->header()->frameSize,
                         Qt::white);
    int n = 0;
    for (int y = 0; y < 30; ++y) {
        n += qGray(image.pixel(2, y)) < 128 ? 1 : 0;
    }
    return n;
}

}  // namespace

// A focused input field's caret blinks half a second on, half off, on the movie's clock, and
// starts over shown when the text changes; each blink touches that field alone, and with no
// field focused nothing asks for ticks.
TEST(TextInput, TheCaretBlinksOnTheMovieClockAndDamagesOnlyItsField) {
    auto m = newMovie();
    ActionWriter a;
    placeSquaresField(m, a, "");
    doAction(m, a);
    m.showFrame();
    InputRun r(m.finish());
    Renderer renderer;
    DisplayContext& context = r.player->context();
    r.player->tick(100);
    r.player->tick(200);
    EXPECT_FALSE(r.player->needsTicks());
    EXPECT_EQ(context.focusedField(), kNoInstance);
    EXPECT_EQ(caretPixels(r, renderer), 0);

    r.click(10, 10);  // between ticks: at the movie time of the last one, 200
    r.player->tick(300);
    const InstanceId field = context.focusedField();
    ASSERT_NE(field, kNoInstance);
    EXPECT_TRUE(r.player->needsTicks());
    EXPECT_TRUE(context.caretShown());
    EXPECT_GT(caretPixels(r, renderer), 8);  // as tall as a line of 12-pixel text

    std::vector<InstanceId> touched;
    context.takeTouched(touched);
    r.player->tick(650);
    EXPECT_TRUE(context.caretShown());
    EXPECT_FALSE(context.takeTouched(touched));
    EXPECT_TRUE(touched.empty());  // nothing changed, nothing to draw
    r.player->tick(750);
    EXPECT_FALSE(context.caretShown());
    EXPECT_EQ(caretPixels(r, renderer), 0);
    EXPECT_FALSE(context.takeTouched(touched));
    EXPECT_EQ(touched, std::vector<InstanceId>{field});
    r.player->tick(1250);
    EXPECT_TRUE(context.caretShown());

    // Typing just before it would hide keeps it on for a full half period from then.
    r.player->tick(1650);
    r.deliver(typed(U"W"));
    r.player->tick(1700);
    EXPECT_TRUE(context.caretShown());
    r.player->tick(2100);
    EXPECT_TRUE(context.caretShown());
    r.player->tick(2200);
    EXPECT_FALSE(context.caretShown());

    // Away from the field the caret goes, and the ticks it needed with it.
    r.click(300, 300);
    r.player->tick(2400);
    EXPECT_EQ(context.focusedField(), kNoInstance);
    EXPECT_FALSE(context.caretShown());
    EXPECT_FALSE(r.player->needsTicks());
}

// hscroll moves a field's text left by whole pixels; the field's bounds still cut it.
TEST(TextInput, HscrollMovesTheDrawnTextLeft) {
    auto m = newMovie();
    ActionWriter a;
    placeSquaresField(m, a, "W W W W W W W W W W W W W W W W W W W W W W");
    doAction(m, a);
    m.showFrame();
    InputRun r(m.finish());
    Renderer renderer;
    auto inked = [&] {
        QImage image(400, 300, QImage::Format_ARGB32_Premultiplied);
        renderer.renderStage(image, QRectF(0, 0, 400, 300), *r.player, r.movie->header()->frameSize,
                             Qt::white);
        std::vector<int> columns;
        for (int x = 0; x < 200; ++x) {
            int n = 0;
            for (int y = 0; y < 30; ++y) {
                n += qGray(image.pixel(x, y)) < 128 ? 1 : 0;
            }
            columns.push_back(n);
        }
        return columns;
    };
    const std::vector<int> before = inked();
    fieldOf(r).hscroll = 7;
    ++fieldOf(r).version;
    r.player->context().changed();
    const std::vector<int> after = inked();
    ASSERT_GT(*std::max_element(before.begin(), before.end()), 0);
    for (int x = 10; x < 190; ++x) {
        EXPECT_EQ(after[x], before[x + 7]) << x;
    }
}
