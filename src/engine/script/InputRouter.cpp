#include "engine/script/InputRouter.h"

#include <QPainterPathStroker>
#include <algorithm>
#include <cctype>
#include <cmath>
#include <string_view>
#include <utility>

#include "engine/avm1/InputLib.h"
#include "engine/player/DisplayTree.h"
#include "engine/player/StagePlayer.h"
#include "engine/player/TextFieldModel.h"
#include "engine/render/Bounds.h"
#include "engine/render/CharacterCache.h"
#include "engine/render/RenderTypes.h"
#include "engine/script/ScriptHost.h"
#include "engine/script/TextFields.h"

namespace zd::script {

using avm1::DisplayId;
using avm1::kNoDisplay;
using engine::DisplayObject;

namespace {

constexpr std::uint32_t kButtonClipEvents =
    engine::kClipPress | engine::kClipRelease | engine::kClipReleaseOutside |
    engine::kClipRollOver | engine::kClipRollOut | engine::kClipDragOver | engine::kClipDragOut;

struct TransitionInfo {
    ButtonTransition transition;
    std::uint32_t clipEvent;
    const char* method;
};

constexpr TransitionInfo kTransitions[] = {
    {kIdleToOverUp, engine::kClipRollOver, "onRollOver"},
    {kOverUpToIdle, engine::kClipRollOut, "onRollOut"},
    {kOverUpToOverDown, engine::kClipPress, "onPress"},
    {kOverDownToOverUp, engine::kClipRelease, "onRelease"},
    {kOverDownToOutDown, engine::kClipDragOut, "onDragOut"},
    {kOutDownToOverDown, engine::kClipDragOver, "onDragOver"},
    {kOutDownToIdle, engine::kClipReleaseOutside, "onReleaseOutside"},
    // Menu tracking: the held button slides from one menu item onto another.
    {kIdleToOverDown, engine::kClipDragOver, "onDragOver"},
    {kOverDownToIdle, engine::kClipDragOut, "onDragOut"},
};

std::uint8_t buttonStateOf(PointerPhase phase) {
    switch (phase) {
        case PointerPhase::OverUp:
            return engine::ButtonRecord::Over;
        case PointerPhase::OverDown:
            return engine::ButtonRecord::Down;
        case PointerPhase::Idle:
        case PointerPhase::OutDown:
            break;
    }
    return engine::ButtonRecord::Up;
}

// Key.isDown answers for the mouse buttons too.
int mouseKeyCode(engine::MouseButton b) {
    return b == engine::MouseButton::Left ? 1 : b == engine::MouseButton::Right ? 2 : 4;
}

bool isButton(const DisplayObject& o) {
    return o.character() && o.character()->kind == engine::Character::Kind::Button;
}

// The DefineButtonSound entry a phase change sounds (0 OverUpToIdle, 1 IdleToOverUp,
// 2 OverUpToOverDown, 3 OverDownToOverUp), by the state the button comes to show; -1 none.
int buttonSoundIndex(PointerPhase from, PointerPhase to) {
    using P = PointerPhase;
    switch (to) {
        case P::Idle:
            return from == P::OverUp || from == P::OverDown ? 0 : -1;
        case P::OverUp:
            return from == P::OverDown ? 3 : 1;
        case P::OverDown:
            return 2;
        case P::OutDown:
            return -1;
    }
    return -1;
}

}  // namespace

std::optional<ButtonTransition> transitionBetween(PointerPhase from, PointerPhase to) {
    using P = PointerPhase;
    if (from == P::Idle && to == P::OverUp)
        return kIdleToOverUp;
    if (from == P::OverUp && to == P::Idle)
        return kOverUpToIdle;
    if (from == P::OverUp && to == P::OverDown)
        return kOverUpToOverDown;
    if (from == P::OverDown && to == P::OverUp)
        return kOverDownToOverUp;
    if (from == P::OverDown && to == P::OutDown)
        return kOverDownToOutDown;
    if (from == P::OutDown && to == P::OverDown)
        return kOutDownToOverDown;
    if (from == P::OutDown && to == P::Idle)
        return kOutDownToIdle;
    if (from == P::Idle && to == P::OverDown)
        return kIdleToOverDown;
    if (from == P::OverDown && to == P::Idle)
        return kOverDownToIdle;
    return std::nullopt;
}

std::vector<ButtonCondition> parseButtonConditions(const engine::ButtonDefinition& button) {
    std::vector<ButtonCondition> out;
    const std::vector<std::uint8_t>& a = button.actions;
    if (button.version == 1) {
        if (!a.empty()) {
            out.push_back({kOverDownToOverUp, 0, 0, a.size()});
        }
        return out;
    }
    std::size_t at = 0;
    while (at + 4 <= a.size()) {
        const std::size_t size = a[at] | (std::size_t{a[at + 1]} << 8);
        ButtonCondition c;
        c.transitions = a[at + 2];
        c.transitions |= (a[at + 3] & 0x01) ? kOverDownToIdle : 0;
        c.keyPress = a[at + 3] >> 1;
        c.begin = at + 4;
        c.end = size == 0 ? a.size() : std::min(a.size(), at + size);
        if (c.end < c.begin) {
            break;
        }
        out.push_back(c);
        if (size == 0) {
            break;
        }
        at += size;
    }
    return out;
}

int keyPressCode(int keyCode, char32_t ascii) {
    using namespace avm1::keycode;
    switch (keyCode) {
        case kLeft:
            return 1;
        case kRight:
            return 2;
        case kHome:
            return 3;
        case kEnd:
            return 4;
        case kInsert:
            return 5;
        case kDelete:
            return 6;
        case kBackspace:
            return 8;
        case kEnter:
            return 13;
        case kUp:
            return 14;
        case kDown:
            return 15;
        case kPageUp:
            return 16;
        case kPageDown:
            return 17;
        case kTab:
            return 18;
        case kEscape:
            return 19;
        default:
            break;
    }
    return ascii >= 32 && ascii <= 126 ? static_cast<int>(ascii) : 0;
}

QPointF pointerIn(const QTransform& toStage, double x, double y) {
    const double det = toStage.m11() * toStage.m22() - toStage.m12() * toStage.m21();
    if (det == 0 || !std::isfinite(det)) {
        return {x, y};
    }
    const auto whole = [](double v) { return std::floor(v + 0.5); };
    const double tx = whole(toStage.dx() / 20.0) * 20.0;
    const double ty = whole(toStage.dy() / 20.0) * 20.0;
    const double a = toStage.m22() / det;
    const double b = -toStage.m12() / det;
    const double c = -toStage.m21() / det;
    const double d = toStage.m11() / det;
    const double dx = whole(-(a * tx + c * ty));
    const double dy = whole(-(b * tx + d * ty));
    return {whole(a * x * 20.0 + c * y * 20.0 + dx), whole(b * x * 20.0 + d * y * 20.0 + dy)};
}

InputRouter::InputRouter(ScriptHost& host) : host_(host) {}

QTransform InputRouter::toStage(const DisplayObject& o) const {
    return host_.toStage(o);
}

void InputRouter::handle(const engine::InputEvent& e) {
    using T = engine::InputEvent::Type;
    // The pointer at work hides the focus rectangle, even where it gave the focus (the
    // middle button leaves it), and so does the movie losing the keyboard.
    struct HideFocus {
        avm1::InputState& in;
        bool hide;
        ~HideFocus() {
            if (hide) {
                in.focusShown = false;
            }
        }
    } hideFocus{host_.vm().input(), e.type == T::MouseMove || e.type == T::FocusLost ||
                                        ((e.type == T::MouseDown || e.type == T::MouseUp) &&
                                         e.button != engine::MouseButton::Middle)};
    if (e.type == T::MouseMove || e.type == T::MouseDown || e.type == T::MouseUp) {
        followReplaced();
    }
    switch (e.type) {
        case T::MouseMove:
            mouseMove(e.x, e.y);
            break;
        case T::MouseDown:
            if (e.x != mouseX_ || e.y != mouseY_) {
                mouseMove(e.x, e.y);
            }
            host_.vm().input().press(mouseKeyCode(e.button));
            if (e.button == engine::MouseButton::Left) {
                mouseDown();
            }
            break;
        case T::MouseUp:
            if (e.x != mouseX_ || e.y != mouseY_) {
                mouseMove(e.x, e.y);
            }
            host_.vm().input().release(mouseKeyCode(e.button));
            if (e.button == engine::MouseButton::Left) {
                mouseUp();
                settleScriptFocus();
            }
            break;
        case T::MouseWheel: {
            const DisplayId under = pick(QPointF(mouseX_ * 20.0, mouseY_ * 20.0));
            avm1::Vm& vm = host_.vm();
            avm1::broadcast(
                vm, "Mouse", "onMouseWheel",
                {avm1::Value(static_cast<double>(e.wheel)),
                 under != kNoDisplay && host_.exists(under) ? avm1::Value(vm.clipObject(under))
                                                            : avm1::Value()});
            wheelScroll(e.wheel);
            break;
        }
        case T::KeyDown:
            keyDown(e);
            break;
        case T::KeyUp:
            keyUp(e);
            break;
        case T::TextInput:
            typeText(e.text);
            break;
        case T::ImePreedit:
            preedit(e.text, e.preeditCursor);
            break;
        case T::FocusLost:
            host_.vm().input().down.reset();
            break;
        case T::TextEdit:
            textCommand(e.command);
            break;
        case T::ClipboardChanged:
            host_.clipboard().setText(e.text);
            break;
        case T::ContextMenu:
            host_.menus_->open(menuOwnerAt(QPointF(e.x * 20.0, e.y * 20.0)));
            break;
        case T::MenuItem:
            if (e.menuItem >= 0) {
                host_.menus_->choose(static_cast<std::size_t>(e.menuItem));
            }
            break;
    }
    settlePreedit();
    rememberPlaces();
}

void InputRouter::rememberPlaces() {
    auto placeOf = [this](DisplayId id) {
        Place place;
        const DisplayObject* o = host_.find(id);
        if (o != nullptr && !o->removed() && o->parent() != nullptr) {
            place = {id, o->parent()->id(), o->depth(), o->characterId()};
        }
        return place;
    };
    hoveredPlace_ = placeOf(hovered_);
    pressedPlace_ = placeOf(pressed_);
}

void InputRouter::followReplaced() {
    // The timeline may take an object away and put the same character back at its depth
    // (a loop going back over the frame that placed it): to the pointer it is the same
    // object, in the same state.
    auto follow = [this](DisplayId& id, const Place& place) {
        if (id == kNoDisplay || host_.exists(id) || place.id != id) {
            return;
        }
        const auto it = phases_.find(id);
        const PointerPhase phase = it != phases_.end() ? it->second : PointerPhase::Idle;
        if (it != phases_.end()) {
            phases_.erase(it);
        }
        const DisplayObject* parent = host_.find(place.parent);
        engine::Timeline* t = parent != nullptr ? parent->timeline() : nullptr;
        DisplayObject* now = t != nullptr ? t->at(place.depth) : nullptr;
        if (now == nullptr || now->removed() || now->characterId() != place.character ||
            phases_.contains(now->id())) {
            return;
        }
        const DisplayId old = id;
        id = now->id();
        if (hovered_ == old) {
            hovered_ = id;
        }
        if (pressed_ == old) {
            pressed_ = id;
        }
        if (phase == PointerPhase::Idle) {
            return;
        }
        phases_[id] = phase;
        if (isButton(*now) && now->timeline() != nullptr) {
            if (const auto* def = now->character()->as<engine::ButtonDefinition>()) {
                now->timeline()->placeButtonState(*def, buttonStateOf(phase));
                host_.player_.context().changed();
            }
        }
    };
    follow(pressed_, pressedPlace_);
    follow(hovered_, hoveredPlace_);
}

// --- Hit-testing ---

namespace {

// A point (the shape's twips) on a fill, by the fill's own rule, or on a line.
bool hitPaths(const engine::ShapePaths& paths, QPointF local) {
    if (!paths.bounds.adjusted(-400, -400, 400, 400).contains(local)) {
        return false;
    }
    for (const auto& g : paths.groups) {
        for (const auto& f : g.fills) {
            if (f.path.contains(local)) {
                return true;
            }
        }
    }
    for (const auto& g : paths.groups) {
        for (const auto& s : g.strokes) {
            QPainterPathStroker stroker;
            stroker.setWidth(std::max<double>(s.style.width, 20.0));
            if (stroker.createStroke(s.path).contains(local)) {
                return true;
            }
        }
    }
    return false;
}

}  // namespace

bool InputRouter::hitShape(DisplayObject& o, QPointF p, int nesting, bool checkVisible) {
    if (nesting > 64 || (checkVisible && !o.visible())) {
        return false;
    }
    if (isButton(o)) {
        return hitButton(o, p, nesting);
    }
    if (engine::Timeline* t = o.timeline()) {
        // Children topmost first; a masked child counts only where its mask is hit.
        const auto& list = t->objects();
        std::vector<DisplayObject*> masks;
        for (const auto& [depth, child] : list) {
            if (child->isMask()) {
                masks.push_back(child.get());
            }
        }
        for (auto it = list.rbegin(); it != list.rend(); ++it) {
            DisplayObject& child = *it->second;
            if (child.isMask()) {
                continue;
            }
            const DisplayObject* mask = nullptr;
            for (DisplayObject* m : masks) {
                if (m->depth() < child.depth() && child.depth() <= *m->clipDepth()) {
                    mask = m;
                }
            }
            if (mask != nullptr && !hitShape(*const_cast<DisplayObject*>(mask), p, nesting + 1)) {
                continue;
            }
            if (hitShape(child, p, nesting + 1)) {
                return true;
            }
        }
        // What the drawing methods drew lies under the children.
        if (o.drawing()) {
            bool invertible = false;
            const QPointF local = toStage(o).inverted(&invertible).map(p);
            // Built afresh: drawings change often, and the cache would keep every one.
            const auto* shape = o.drawing()->as<engine::ShapeDefinition>();
            return invertible && shape != nullptr &&
                   hitPaths(engine::buildShapePaths(*shape), local);
        }
        return false;
    }
    const engine::CharacterPtr& c = o.character();
    if (!c) {
        return false;
    }
    bool invertible = false;
    const QPointF local = toStage(o).inverted(&invertible).map(p);
    if (!invertible) {
        return false;
    }
    if (c->kind == engine::Character::Kind::Shape || c->kind == engine::Character::Kind::Morph) {
        return hitPaths(host_.characters_->shapePaths(c, o.ratio()), local);
    }
    // Static text is hit on its glyphs' outlines; set for advanced anti-aliasing, anywhere in
    // the upright box its bounds fill on the stage.
    if (const auto* text = c->as<engine::TextDefinition>()) {
        if (!text->advancedAntiAlias) {
            return hitStaticText(*text, local);
        }
        return toStage(o)
            .mapRect(engine::characterBounds(o, *host_.characters_, 0, true))
            .contains(p);
    }
    // Fields, bitmaps, video: where they draw.
    return engine::characterBounds(o, *host_.characters_, 0, true).contains(local);
}

bool InputRouter::hitStaticText(const engine::TextDefinition& text, QPointF local) {
    bool invertible = false;
    const QPointF p = toQt(text.matrix).inverted(&invertible).map(local);
    if (!invertible) {
        return false;
    }
    engine::CharacterPtr font;
    const std::vector<QPainterPath>* glyphs = nullptr;
    double unitsPerEm = 1024.0;
    double height = 0;
    double x = 0;
    double y = 0;
    for (const engine::TextRecord& r : text.records) {
        if (r.fontId) {
            font = host_.player_.context().character(*r.fontId);
            const auto* def = font ? font->as<engine::FontDefinition>() : nullptr;
            glyphs = def != nullptr ? &host_.characters_->glyphPaths(font) : nullptr;
            unitsPerEm = def != nullptr ? def->unitsPerEm() : 1024.0;
        }
        height = r.height.value_or(height);
        x = r.xOffset.value_or(x);
        y = r.yOffset.value_or(y);
        const double scale = height / unitsPerEm;
        for (const engine::GlyphEntry& g : r.glyphs) {
            if (glyphs != nullptr && g.index < glyphs->size() && scale != 0 &&
                (*glyphs)[g.index].contains(QPointF((p.x() - x) / scale, (p.y() - y) / scale))) {
                return true;
            }
            x += g.advance;
        }
    }
    return false;
}

bool InputRouter::hitButton(DisplayObject& button, QPointF p, int nesting) {
    const auto* def = button.character()->as<engine::ButtonDefinition>();
    if (def == nullptr) {
        return false;
    }
    const QTransform buttonToStage = toStage(button);
    for (const engine::ButtonRecord& r : def->records) {
        if (!(r.states & engine::ButtonRecord::HitTest)) {
            continue;
        }
        // A child shown at the record's depth with its character is tested as drawn.
        if (engine::Timeline* t = button.timeline()) {
            DisplayObject* shown = t->at(engine::depthOfTag(r.depth));
            if (shown != nullptr && shown->characterId() == r.characterId) {
                if (hitShape(*shown, p, nesting + 1, false)) {
                    return true;
                }
                continue;
            }
        }
        const engine::CharacterPtr c = host_.characters_->character(r.characterId);
        if (!c) {
            continue;
        }
        const QTransform recordToStage =
            QTransform(r.matrix.a, r.matrix.b, r.matrix.c, r.matrix.d, r.matrix.tx, r.matrix.ty) *
            buttonToStage;
        bool invertible = false;
        const QPointF local = recordToStage.inverted(&invertible).map(p);
        if (!invertible) {
            continue;
        }
        if (c->kind == engine::Character::Kind::Shape ||
            c->kind == engine::Character::Kind::Morph) {
            if (hitPaths(host_.characters_->shapePaths(c, 0), local)) {
                return true;
            }
        } else if (const auto* sprite = c->as<engine::SpriteDefinition>()) {
            (void)sprite;  // a hit area drawn by a clip: its bounds as declared
            continue;
        } else if (const auto* text = c->as<engine::TextDefinition>()) {
            const engine::Rect& b = text->bounds;
            if (QRectF(QPointF(b.xMin, b.yMin), QPointF(b.xMax, b.yMax)).contains(local)) {
                return true;
            }
        } else if (const auto* edit = c->as<engine::EditTextDefinition>()) {
            const engine::Rect& b = edit->bounds;
            if (QRectF(QPointF(b.xMin, b.yMin), QPointF(b.xMax, b.yMax)).contains(local)) {
                return true;
            }
        }
    }
    return false;
}

bool InputRouter::hits(DisplayObject& object, QPointF stageTwips, bool shape) {
    if (shape) {
        // Hidden objects still answer a script's question. A mask a script gave the object
        // cuts it too; one its parent's timeline lays over it does not.
        if (DisplayObject* mask = host_.find(object.scriptMask());
            mask != nullptr && !hitShape(*mask, stageTwips, 0, false)) {
            return false;
        }
        return hitShape(object, stageTwips, 0, false);
    }
    const QRectF local = engine::characterBounds(object, *host_.characters_, 0, true);
    return !local.isNull() && toStage(object).mapRect(local).contains(stageTwips);
}

std::optional<avm1::Value> InputRouter::scriptProperty(DisplayObject& object, const char* name) {
    avm1::Vm& vm = host_.vm();
    avm1::Object* self = vm.clipObject(object.id());
    avm1::Value v;
    if (self == nullptr || !vm.lookup(self, avm1::Value(self), vm.key(name), v) ||
        v.isUndefined()) {
        return std::nullopt;
    }
    return v;
}

bool InputRouter::enabled(DisplayObject& object) {
    avm1::Vm& vm = host_.vm();
    avm1::Object* self = vm.clipObject(object.id());
    if (self == nullptr) {
        return true;
    }
    avm1::Value v;
    if (!vm.lookup(self, avm1::Value(self), vm.key("enabled"), v) || v.isUndefined()) {
        return true;
    }
    return vm.toBoolean(v);
}

bool InputRouter::tracksAsMenu(DisplayId id) {
    DisplayObject* o = host_.find(id);
    if (o == nullptr || o->removed()) {
        return false;
    }
    if (const auto v = scriptProperty(*o, "trackAsMenu")) {
        return host_.vm().toBoolean(*v);
    }
    if (isButton(*o) && o->character() != nullptr) {
        if (const auto* def = o->character()->as<engine::ButtonDefinition>()) {
            return def->trackAsMenu;
        }
    }
    return false;
}

bool InputRouter::actsAsButton(DisplayObject& clip) {
    for (const engine::ClipAction& a : clip.clipActions()) {
        if (a.events & kButtonClipEvents) {
            return true;
        }
    }
    avm1::Vm& vm = host_.vm();
    avm1::Object* self = vm.clipObject(clip.id());
    if (self == nullptr) {
        return false;
    }
    // A handler's name is enough, whatever it holds (even undefined).
    for (const TransitionInfo& t : kTransitions) {
        avm1::Value fn;
        if (t.method != nullptr && vm.lookup(self, avm1::Value(self), vm.key(t.method), fn)) {
            return true;
        }
    }
    return false;
}

DisplayId InputRouter::pickIn(DisplayObject& clip, QPointF p, int nesting) {
    engine::Timeline* t = clip.timeline();
    if (t == nullptr || nesting > 64) {
        return kNoDisplay;
    }
    const auto& list = t->objects();
    std::vector<DisplayObject*> masks;
    for (const auto& [depth, child] : list) {
        if (child->isMask()) {
            masks.push_back(child.get());
        }
    }
    for (auto it = list.rbegin(); it != list.rend(); ++it) {
        DisplayObject& child = *it->second;
        if (child.isMask() || !child.visible()) {
            continue;
        }
        DisplayObject* mask = nullptr;
        for (DisplayObject* m : masks) {
            if (m->depth() < child.depth() && child.depth() <= *m->clipDepth()) {
                mask = m;
            }
        }
        if (mask != nullptr && !hitShape(*mask, p, nesting + 1)) {
            continue;
        }
        if (isButton(child)) {
            if (enabled(child) && hitButton(child, p, nesting + 1)) {
                return child.id();
            }
        } else if (child.isClip()) {
            if (actsAsButton(child)) {
                if (enabled(child) && hitShape(child, p, nesting + 1)) {
                    return child.id();
                }
            } else if (const DisplayId inner = pickIn(child, p, nesting + 1)) {
                return inner;
            }
        }
    }
    return kNoDisplay;
}

DisplayId InputRouter::pick(QPointF stageTwips) {
    // The movie itself never acts as a button, whatever handlers it has.
    return pickIn(host_.player_.root(), stageTwips, 0);
}

DisplayObject* InputRouter::objectAt(DisplayObject& clip, QPointF p, int nesting) {
    engine::Timeline* t = clip.timeline();
    if (t == nullptr || nesting > 64) {
        return nullptr;
    }
    const auto& list = t->objects();
    for (auto it = list.rbegin(); it != list.rend(); ++it) {
        DisplayObject& child = *it->second;
        if (child.isMask() || !child.visible()) {
            continue;
        }
        bool masked = false;
        for (const auto& [depth, m] : list) {
            if (m->isMask() && m->depth() < child.depth() && child.depth() <= *m->clipDepth() &&
                !hitShape(*m, p, nesting + 1)) {
                masked = true;
            }
        }
        if (masked || !hitShape(child, p, nesting + 1)) {
            continue;
        }
        DisplayObject* inner = isButton(child) ? nullptr : objectAt(child, p, nesting + 1);
        return inner != nullptr ? inner : &child;
    }
    return nullptr;
}

avm1::Object* InputRouter::menuOwnerAt(QPointF p) {
    avm1::Vm& vm = host_.vm();
    DisplayObject& root = host_.player_.root();
    for (DisplayObject* o = objectAt(root, p, 0); o != nullptr; o = o->parent()) {
        if (scriptProperty(*o, "menu").value_or(avm1::Value()).isObject()) {
            return vm.clipObject(o->id());
        }
    }
    return scriptProperty(root, "menu").value_or(avm1::Value()).isObject()
               ? vm.clipObject(root.id())
               : nullptr;
}

bool InputRouter::overHandCursor() {
    const DisplayId id = hovered_;
    DisplayObject* o = host_.find(id);
    if (o == nullptr || o->removed()) {
        // Links show the hand as buttons do.
        return id == kNoDisplay && linkAt(QPointF(mouseX_ * 20.0, mouseY_ * 20.0)).has_value();
    }
    avm1::Vm& vm = host_.vm();
    avm1::Object* self = vm.clipObject(id);
    avm1::Value v;
    if (self != nullptr && vm.lookup(self, avm1::Value(self), vm.key("useHandCursor"), v) &&
        !v.isUndefined()) {
        return vm.toBoolean(v);
    }
    return true;
}

// --- Transitions ---

bool InputRouter::runButtonActions(DisplayObject& button, std::uint16_t transitions,
                                   std::uint8_t keyPress) {
    const engine::CharacterPtr c = button.character();
    const auto* def = c ? c->as<engine::ButtonDefinition>() : nullptr;
    if (def == nullptr || def->actions.empty()) {
        return false;
    }
    auto found = conditions_.find(c.get());
    if (found == conditions_.end()) {
        found = conditions_.emplace(c.get(), parseButtonConditions(*def)).first;
    }
    // Actions run on the timeline holding the button.
    DisplayObject* parent = button.parent();
    const DisplayId target = parent != nullptr ? parent->id() : host_.root();
    const avm1::CodeOwner code = host_.buttonCode(c);
    bool ran = false;
    for (const ButtonCondition& cond : found->second) {
        const bool matches =
            keyPress != 0 ? cond.keyPress == keyPress : (cond.transitions & transitions) != 0;
        if (matches && host_.exists(target)) {
            host_.vm().runActions(code, cond.begin, cond.end, target);
            ran = true;
        }
    }
    return ran;
}

void InputRouter::runTransition(DisplayId id, ButtonTransition t) {
    DisplayObject* o = host_.find(id);
    if (o == nullptr || o->removed()) {
        return;
    }
    if (isButton(*o)) {
        runButtonActions(*o, t, 0);
    }
    for (const TransitionInfo& info : kTransitions) {
        if (info.transition != t || info.method == nullptr) {
            continue;
        }
        o = host_.find(id);
        if (o != nullptr && !o->removed() && !isButton(*o)) {
            host_.runClipActions(*o, info.clipEvent);
        }
        if (host_.exists(id)) {
            host_.callMethod(id, info.method);
        }
    }
}

void InputRouter::setPhase(DisplayId id, PointerPhase phase) {
    if (id == kNoDisplay) {
        return;
    }
    const auto it = phases_.find(id);
    const PointerPhase from = it != phases_.end() ? it->second : PointerPhase::Idle;
    if (from == phase) {
        return;
    }
    if (phase == PointerPhase::Idle) {
        phases_.erase(id);
    } else {
        phases_[id] = phase;
    }
    DisplayObject* o = host_.find(id);
    if (o == nullptr || o->removed()) {
        phases_.erase(id);
        return;
    }
    if (isButton(*o) && o->timeline() != nullptr) {
        if (const auto* def = o->character()->as<engine::ButtonDefinition>()) {
            o->timeline()->placeButtonState(*def, buttonStateOf(phase));
            host_.player_.context().changed();
        }
        if (engine::SoundHooks* sound = host_.player_.soundHooks()) {
            if (const int index = buttonSoundIndex(from, phase); index >= 0) {
                sound->buttonTransition(o->characterId(), index);
            }
        }
    }
    if (const auto t = transitionBetween(from, phase)) {
        runTransition(id, *t);
    }
}

// --- Mouse ---

std::vector<DisplayId> InputRouter::clipsInEventOrder() {
    std::vector<DisplayId> out;
    std::vector<std::pair<DisplayObject*, bool>> stack{{&host_.player_.root(), false}};
    while (!stack.empty()) {
        auto [o, expanded] = stack.back();
        stack.pop_back();
        if (expanded) {
            out.push_back(o->id());
            continue;
        }
        stack.push_back({o, true});
        if (engine::Timeline* t = o->timeline(); t != nullptr && !isButton(*o)) {
            // Pushed lowest first, so the topmost child comes out first.
            for (const auto& [depth, child] : t->objects()) {
                if (child->isClip()) {
                    stack.push_back({child.get(), false});
                }
            }
        }
    }
    return out;
}

void InputRouter::clipEvent(std::uint32_t events, const char* method, int keyPress) {
    for (const DisplayId id : clipsInEventOrder()) {
        DisplayObject* o = host_.find(id);
        if (o == nullptr || o->removed()) {
            continue;
        }
        if (keyPress != 0) {
            for (const engine::ClipAction& a : o->clipActions()) {
                if ((a.events & engine::kClipKeyPress) && a.keyCode == keyPress) {
                    host_.runClipAction(*o, a);
                    if (host_.find(id) == nullptr) {
                        break;
                    }
                }
            }
        } else {
            host_.runClipActions(*o, events);
        }
        if (method != nullptr && host_.exists(id)) {
            host_.callMethod(id, method);
        }
    }
}

void InputRouter::updateHover() {
    const QPointF p(mouseX_ * 20.0, mouseY_ * 20.0);
    if (hovered_ != kNoDisplay && !host_.exists(hovered_)) {
        phases_.erase(hovered_);
        hovered_ = kNoDisplay;
    }
    if (pressed_ != kNoDisplay && !host_.exists(pressed_)) {
        phases_.erase(pressed_);
        pressed_ = kNoDisplay;
    }
    const DisplayId under = pick(p);
    if (mouseDown_ && under != pressed_ && under != kNoDisplay && tracksAsMenu(under) &&
        (pressed_ == kNoDisplay || tracksAsMenu(pressed_))) {
        // A menu item takes over the held button from the item (or nothing) it was on.
        const DisplayId old = pressed_;
        pressed_ = under;
        hovered_ = under;
        setPhase(old, PointerPhase::Idle);
        if (pressed_ == under && host_.exists(under)) {
            setPhase(under, PointerPhase::OverDown);
        }
        return;
    }
    if (mouseDown_ && pressed_ != kNoDisplay) {
        // While held, only the pressed object changes, between over and out.
        setPhase(pressed_, under == pressed_ ? PointerPhase::OverDown : PointerPhase::OutDown);
        hovered_ = under == pressed_ ? pressed_ : kNoDisplay;
        return;
    }
    if (mouseDown_) {
        return;  // pressed outside anything: nothing rolls over until released
    }
    if (under != hovered_) {
        const DisplayId old = hovered_;
        hovered_ = under;
        setPhase(old, PointerPhase::Idle);
        setPhase(under, PointerPhase::OverUp);
    }
}

void InputRouter::dragTo() {
    DisplayObject* o = host_.find(drag_.id);
    if (o == nullptr || o->removed()) {
        drag_ = {};
        return;
    }
    DisplayObject* parent = o->parent();
    double x = mouseX_;
    double y = mouseY_;
    if (parent != nullptr) {
        bool invertible = false;
        const QPointF local =
            toStage(*parent).inverted(&invertible).map(QPointF(mouseX_ * 20.0, mouseY_ * 20.0));
        if (!invertible) {
            return;
        }
        x = local.x() / 20.0;
        y = local.y() / 20.0;
    }
    x += drag_.dx;
    y += drag_.dy;
    if (drag_.bounds) {
        const auto& b = *drag_.bounds;
        x = std::clamp(x, std::min(b[0], b[2]), std::max(b[0], b[2]));
        y = std::clamp(y, std::min(b[1], b[3]), std::max(b[1], b[3]));
    }
    host_.setProperty(drag_.id, avm1::DisplayProperty::X, x);
    host_.setProperty(drag_.id, avm1::DisplayProperty::Y, y);
}

void InputRouter::mouseMove(double x, double y) {
    // A move that goes nowhere still tells the clips, but rolls nothing over or out.
    const bool moved = x != mouseX_ || y != mouseY_;
    mouseX_ = x;
    mouseY_ = y;
    mouseTookOver_ = true;
    focusAtMouseMove_ = host_.vm().input().focus;
    if (drag_.id != kNoDisplay) {
        dragTo();
    }
    clipEvent(engine::kClipMouseMove, "onMouseMove");
    avm1::broadcast(host_.vm(), "Mouse", "onMouseMove");
    if (moved) {
        updateHover();
    }
}

void InputRouter::mouseDown() {
    mouseDown_ = true;
    clipEvent(engine::kClipMouseDown, "onMouseDown");
    avm1::broadcast(host_.vm(), "Mouse", "onMouseDown");
    updateHover();
    if (hovered_ != kNoDisplay && host_.exists(hovered_)) {
        // Pressing a button takes the focus from where it was without giving it the focus.
        const DisplayId pressed = hovered_;
        focusByPointer(kNoDisplay);
        if (!host_.exists(pressed)) {
            return;
        }
        pressed_ = pressed;
        setPhase(pressed_, PointerPhase::OverDown);
    } else {
        if (const auto link = linkAt(QPointF(mouseX_ * 20.0, mouseY_ * 20.0))) {
            followLink(*link);
        }
        // A click on a text field gives it the focus; on nothing that takes it, clears it.
        const DisplayId field = textFieldAt(QPointF(mouseX_ * 20.0, mouseY_ * 20.0));
        focusByPointer(field);
        if (DisplayObject* o = host_.find(field); o != nullptr && o->textField() != nullptr) {
            engine::TextFieldModel& f = *o->textField();
            f.caret = f.selectionBegin = f.selectionEnd = static_cast<int>(f.text().size());
        }
    }
}

void InputRouter::focusByPointer(DisplayId to) {
    // What the pointer rolled over rolls out once the tick's scripts are done, as it does for
    // a script's focus change.
    avm1::InputState& in = host_.vm().input();
    if (in.focus != to && in.focus != kNoDisplay && host_.exists(in.focus) &&
        in.scriptFocusMoves.size() < avm1::InputState::kMaxScriptFocusMoves) {
        in.scriptFocusMoves.emplace_back(in.focus, to);
    }
    avm1::moveFocus(host_.vm(), to);
}

void InputRouter::mouseUp() {
    mouseDown_ = false;
    clipEvent(engine::kClipMouseUp, "onMouseUp");
    avm1::broadcast(host_.vm(), "Mouse", "onMouseUp");
    const DisplayId pressed = pressed_;
    pressed_ = kNoDisplay;
    if (pressed != kNoDisplay && host_.exists(pressed)) {
        const auto it = phases_.find(pressed);
        const PointerPhase phase = it != phases_.end() ? it->second : PointerPhase::Idle;
        if (phase == PointerPhase::OverDown) {
            setPhase(pressed, PointerPhase::OverUp);
        } else if (phase == PointerPhase::OutDown) {
            setPhase(pressed, PointerPhase::Idle);
            hovered_ = kNoDisplay;
        }
    }
    updateHover();
}

void InputRouter::startDrag(DisplayId id, bool lockCenter,
                            std::optional<std::array<double, 4>> bounds) {
    DisplayObject* o = host_.find(id);
    if (o == nullptr || o->removed() || o->isRoot()) {
        return;
    }
    drag_ = {};
    drag_.id = id;
    drag_.bounds = bounds;
    if (!lockCenter) {
        double px = mouseX_;
        double py = mouseY_;
        if (DisplayObject* parent = o->parent()) {
            bool invertible = false;
            const QPointF local =
                toStage(*parent).inverted(&invertible).map(QPointF(mouseX_ * 20.0, mouseY_ * 20.0));
            if (invertible) {
                px = local.x() / 20.0;
                py = local.y() / 20.0;
            }
        }
        drag_.dx = o->matrix().tx / 20.0 - px;
        drag_.dy = o->matrix().ty / 20.0 - py;
    }
    dragTo();
}

void InputRouter::stopDrag() {
    const DisplayId id = drag_.id;
    drag_ = {};
    DisplayObject* o = host_.find(id);
    if (o == nullptr || o->removed()) {
        return;
    }
    // What lies under the pointer, the dragged clip left out.
    const QPointF p(mouseX_ * 20.0, mouseY_ * 20.0);
    std::string target;
    DisplayObject* best = nullptr;
    // Walk the whole tree in display order: the last clip hit is the topmost.
    std::vector<std::pair<DisplayObject*, int>> walk{{&host_.player_.root(), 0}};
    while (!walk.empty()) {
        auto [cur, nesting] = walk.back();
        walk.pop_back();
        if (cur->id() == id || nesting > 64 || !cur->visible()) {
            continue;
        }
        if (engine::Timeline* t = cur->timeline(); t != nullptr && !isButton(*cur)) {
            for (auto it = t->objects().rbegin(); it != t->objects().rend(); ++it) {
                walk.push_back({it->second.get(), nesting + 1});
            }
        } else if (hitShape(*cur, p, nesting)) {
            // The clip holding what was hit.
            DisplayObject* holder = cur->isClip() ? cur : cur->parent();
            if (holder != nullptr) {
                best = holder;
            }
        }
    }
    if (best != nullptr && !best->isRoot()) {
        target = host_.vm().slashPath(best->id());
    }
    dropTargets_[id] = target;
}

std::string InputRouter::dropTarget(DisplayId id) const {
    const auto it = dropTargets_.find(id);
    return it != dropTargets_.end() ? it->second : std::string();
}

// --- Focus ---

DisplayObject* InputRouter::topTextField(QPointF p) {
    std::vector<std::pair<DisplayObject*, int>> walk{{&host_.player_.root(), 0}};
    DisplayObject* top = nullptr;
    // Display order: the last one hit is the topmost.
    while (!walk.empty()) {
        auto [cur, nesting] = walk.back();
        walk.pop_back();
        if (nesting > 64 || !cur->visible()) {
            continue;
        }
        if (cur->textField() != nullptr) {
            if (hitShape(*cur, p, nesting)) {
                top = cur;
            }
        } else if (engine::Timeline* t = cur->timeline(); t != nullptr && !isButton(*cur)) {
            for (auto it = t->objects().rbegin(); it != t->objects().rend(); ++it) {
                walk.push_back({it->second.get(), nesting + 1});
            }
        }
    }
    return top;
}

std::optional<InputRouter::Link> InputRouter::linkAt(QPointF p) {
    script::TextFields* fields = host_.textFields_.get();
    DisplayObject* top = topTextField(p);
    if (fields == nullptr || top == nullptr) {
        return std::nullopt;
    }
    bool invertible = false;
    const QPointF local = toStage(*top).inverted(&invertible).map(p);
    if (!invertible) {
        return std::nullopt;
    }
    auto found = fields->linkAt(top->id(), local.x(), local.y());
    if (!found) {
        return std::nullopt;
    }
    return Link{top->id(), std::move(found->first), std::move(found->second)};
}

void InputRouter::wheelScroll(int lines) {
    script::TextFields* fields = host_.textFields_.get();
    DisplayObject* top = topTextField(QPointF(mouseX_ * 20.0, mouseY_ * 20.0));
    if (fields == nullptr || top == nullptr || lines == 0 || !top->textField()->mouseWheelEnabled) {
        return;
    }
    // Turning the wheel away from the user shows earlier lines.
    const engine::TextFieldModel& f = *top->textField();
    const double to = static_cast<double>(f.scroll) - lines;
    if (to != f.scroll) {
        fields->setTextProperty(top->id(), avm1::TextProperty::Scroll, avm1::DisplayValue(to));
    }
}

void InputRouter::followLink(const Link& link) {
    static constexpr std::string_view kScheme = "asfunction:";
    const std::string& url = link.url;
    const bool script = url.size() >= kScheme.size() &&
                        std::equal(kScheme.begin(), kScheme.end(), url.begin(), [](char a, char b) {
                            return a == std::tolower(static_cast<unsigned char>(b));
                        });
    if (!script) {
        host_.getUrl(url, link.target, avm1::UrlMethod::None, {});
        return;
    }
    const std::string rest = url.substr(kScheme.size());
    const std::size_t comma = rest.find(',');
    const std::string path = rest.substr(0, comma);
    DisplayObject* field = host_.find(link.field);
    DisplayObject* parent = field != nullptr ? field->parent() : nullptr;
    if (path.empty() || parent == nullptr) {
        return;
    }
    avm1::Vm& vm = host_.vm();
    avm1::Vm::NoCollect hold(vm);
    avm1::Object* clip = vm.clipObject(parent->id());
    if (clip == nullptr) {
        return;
    }
    // The name's first part is found on the field's timeline, else among the globals; each
    // further part on what the one before it named, which is also what the call runs on.
    avm1::Value self(clip);
    avm1::Value fn;
    std::size_t at = 0;
    for (bool first = true;; first = false) {
        const std::size_t dot = path.find('.', at);
        const std::string part = path.substr(at, dot == std::string::npos ? dot : dot - at);
        if (!first) {
            self = fn;
        }
        fn = vm.get(self, part);
        if (first && fn.isUndefined()) {
            self = avm1::Value(vm.global());
            fn = vm.get(self, part);
        }
        if (dot == std::string::npos) {
            break;
        }
        at = dot + 1;
    }
    if (!fn.isObject() || !fn.object()->isFunction()) {
        return;
    }
    if (comma == std::string::npos) {
        vm.callFromHost(fn, self, {});
        return;
    }
    const avm1::Value argument(vm.str(rest.substr(comma + 1)));
    vm.callFromHost(fn, self, std::span<const avm1::Value>(&argument, 1));
}

DisplayId InputRouter::textFieldAt(QPointF p) {
    std::vector<std::pair<DisplayObject*, int>> walk{{&host_.player_.root(), 0}};
    DisplayId found = kNoDisplay;
    // Display order: the last one hit is the topmost.
    while (!walk.empty()) {
        auto [cur, nesting] = walk.back();
        walk.pop_back();
        if (nesting > 64 || !cur->visible()) {
            continue;
        }
        if (const engine::TextFieldModel* field = cur->textField()) {
            if ((field->editable || field->selectable) && hitShape(*cur, p, nesting)) {
                found = cur->id();
            }
        } else if (engine::Timeline* t = cur->timeline(); t != nullptr && !isButton(*cur)) {
            for (auto it = t->objects().rbegin(); it != t->objects().rend(); ++it) {
                walk.push_back({it->second.get(), nesting + 1});
            }
        }
    }
    return found;
}

std::vector<DisplayId> InputRouter::tabOrder() {
    struct Entry {
        DisplayId id;
        std::optional<double> tabIndex;
        QPointF at;
        std::size_t order;
    };
    std::vector<Entry> entries;
    avm1::Vm& vm = host_.vm();
    std::vector<std::pair<DisplayObject*, int>> walk;
    auto pushChildren = [&walk](DisplayObject& o, int nesting) {
        if (engine::Timeline* t = o.timeline()) {
            for (auto it = t->objects().rbegin(); it != t->objects().rend(); ++it) {
                walk.push_back({it->second.get(), nesting + 1});
            }
        }
    };
    pushChildren(host_.player_.root(), 0);
    while (!walk.empty()) {
        auto [cur, nesting] = walk.back();
        walk.pop_back();
        if (nesting > 64 || !cur->visible() || cur->isMask()) {
            continue;
        }
        const engine::TextFieldModel* edit = cur->textField();
        const bool button = isButton(*cur);
        if (!button && edit == nullptr && !cur->isClip()) {
            continue;
        }
        // Indexes count as 32-bit integers; -1 is none.
        std::optional<double> tabIndex;
        if (const auto v = scriptProperty(*cur, "tabIndex"); v && v->isNumber()) {
            const std::int32_t index = vm.toInt32(*v);
            if (index != -1) {
                tabIndex = index;
            }
        }
        bool eligible = false;
        if (const auto v = scriptProperty(*cur, "tabEnabled")) {
            eligible = vm.toBoolean(*v);
        } else if (button) {
            eligible = true;
        } else if (edit != nullptr) {
            eligible = edit->editable;
        } else {
            // A clip given a place in the order takes it, handlers or not.
            eligible = tabIndex.has_value() || actsAsButton(*cur);
        }
        if (eligible && (button || edit != nullptr || enabled(*cur))) {
            Entry e{cur->id(), tabIndex, {}, entries.size()};
            const QRectF local = engine::characterBounds(*cur, *host_.characters_, 0, true);
            // Whole twips: objects a scale apart by a rounding error stand at one place.
            const QPointF at = toStage(*cur).map(local.isNull() ? QPointF() : local.topLeft());
            e.at = QPointF(std::round(at.x()), std::round(at.y()));
            entries.push_back(e);
        }
        if (cur->isClip()) {
            const auto children = scriptProperty(*cur, "tabChildren");
            if (!children || vm.toBoolean(*children)) {
                pushChildren(*cur, nesting);
            }
        }
    }
    const bool custom = std::any_of(entries.begin(), entries.end(),
                                    [](const Entry& e) { return e.tabIndex.has_value(); });
    if (custom) {
        std::erase_if(entries, [](const Entry& e) { return !e.tabIndex.has_value(); });
        std::stable_sort(entries.begin(), entries.end(),
                         [](const Entry& a, const Entry& b) { return *a.tabIndex < *b.tabIndex; });
    } else {
        std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
            if (a.at.y() != b.at.y()) {
                return a.at.y() < b.at.y();
            }
            return a.at.x() < b.at.x();
        });
        // Of objects at the same place only the first in display order is reached.
        entries.erase(std::unique(entries.begin(), entries.end(),
                                  [](const Entry& a, const Entry& b) { return a.at == b.at; }),
                      entries.end());
    }
    std::vector<DisplayId> out;
    out.reserve(entries.size());
    for (const Entry& e : entries) {
        out.push_back(e.id);
    }
    return out;
}

void InputRouter::tab(bool backwards) {
    const std::vector<DisplayId> order = tabOrder();
    if (order.empty()) {
        return;
    }
    avm1::Vm& vm = host_.vm();
    const auto at = std::find(order.begin(), order.end(), vm.input().focus);
    DisplayId next = kNoDisplay;
    if (at == order.end()) {
        next = backwards ? order.back() : order.front();
    } else if (backwards) {
        next = at == order.begin() ? order.back() : *std::prev(at);
    } else {
        next = std::next(at) == order.end() ? order.front() : *std::next(at);
    }
    if (next != vm.input().focus) {
        moveHighlight(next);
    }
    avm1::moveFocus(vm, next);
    // A field reached by Tab has all its text selected.
    if (DisplayObject* f = host_.find(vm.input().focus);
        f != nullptr && f->id() == next && f->textField() != nullptr) {
        engine::TextFieldModel& field = *f->textField();
        field.selectionBegin = 0;
        field.selectionEnd = field.caret = static_cast<int>(field.text().size());
        host_.player_.context().changed();
    }
}

void InputRouter::moveHighlight(DisplayId to) {
    // Buttons and clips take the focus rectangle as the pointer rolling over them; text
    // fields show a caret instead. The pointer and the rectangle share one object rolled
    // over: whatever it is rolls out first, even the one the focus comes to. What the held
    // button holds stays as it is.
    auto rolls = [this](DisplayId id) {
        const DisplayObject* o = host_.find(id);
        return o != nullptr && !o->removed() && !o->isRoot() && (isButton(*o) || o->isClip());
    };
    auto held = [this](DisplayId id) { return mouseDown_ && id == pressed_; };
    if (const DisplayId old = hovered_; old != kNoDisplay && !held(old)) {
        hovered_ = kNoDisplay;
        setPhase(old, PointerPhase::Idle);
    }
    if (rolls(to) && !held(to) && hovered_ == kNoDisplay) {
        hovered_ = to;
        setPhase(to, PointerPhase::OverUp);
    }
}

void InputRouter::settleScriptFocus() {
    settlePreedit();
    auto& moves = host_.vm().input().scriptFocusMoves;
    if (mouseDown_ && pressed_ != kNoDisplay && hovered_ == pressed_) {
        return;  // the held object rolls out once let go
    }
    // Handlers may move the focus again: their moves wait for the next call.
    const auto pending = std::exchange(moves, {});
    for (const auto& move : pending) {
        moveHighlight(move.second);
    }
}

// --- Typing ---

namespace {

// Whether a field's restrict string lets a character in. The string lists characters and
// ranges ("a-z"; a range with no start begins at 0, one running backwards adds nothing, a
// dash with nothing after it is ignored); "^" switches between letting in and keeping out,
// and a string starting with it lets in everything not kept out; "\\" makes the next
// character plain. Later entries win. No restrict, or an empty one, lets everything in.
bool restrictAllows(const std::optional<std::string>& restrict, char16_t ch) {
    if (!restrict || restrict->empty()) {
        return true;
    }
    const std::u16string r = engine::TextFieldModel::fromUtf8(*restrict);
    struct Token {
        enum Kind : std::uint8_t { Char, Caret, Dash } kind;
        char16_t c;
    };
    std::vector<Token> tokens;
    for (std::size_t i = 0; i < r.size(); ++i) {
        if (r[i] == u'\\') {
            if (i + 1 < r.size()) {
                tokens.push_back({Token::Char, r[++i]});
            }
        } else if (r[i] == u'^') {
            tokens.push_back({Token::Caret, 0});
        } else if (r[i] == u'-') {
            tokens.push_back({Token::Dash, 0});
        } else {
            tokens.push_back({Token::Char, r[i]});
        }
    }
    bool allowed = !tokens.empty() && tokens.front().kind == Token::Caret;
    bool including = true;
    std::optional<char16_t> last;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        const Token& t = tokens[i];
        if (t.kind == Token::Caret) {
            including = !including;
            last.reset();
        } else if (t.kind == Token::Char) {
            if (ch == t.c) {
                allowed = including;
            }
            last = t.c;
        } else if (i + 1 < tokens.size() && tokens[i + 1].kind == Token::Char) {
            const char16_t lo = last.value_or(0);
            const char16_t hi = tokens[++i].c;
            if (lo <= hi && ch >= lo && ch <= hi) {
                allowed = including;
            }
            last.reset();
        }
    }
    return allowed;
}

// A field's UTF-16 text as characters (pairs joined, a lone half kept as it is).
std::u32string toUtf32(const std::u16string& text) {
    std::u32string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char32_t c = text[i];
        if (c >= 0xd800 && c < 0xdc00 && i + 1 < text.size() && text[i + 1] >= 0xdc00 &&
            text[i + 1] < 0xe000) {
            out.push_back(0x10000 + ((c - 0xd800) << 10) + (text[++i] - 0xdc00));
        } else {
            out.push_back(c);
        }
    }
    return out;
}

}  // namespace

engine::DisplayObject* InputRouter::focusedInput() {
    DisplayObject* f = host_.find(host_.vm().input().focus);
    if (f == nullptr || f->removed() || f->textField() == nullptr || !f->textField()->editable) {
        return nullptr;
    }
    return f;
}

void InputRouter::editField(DisplayObject& field, int begin, int end, const std::u16string& text) {
    const DisplayId id = field.id();
    script::TextFields* fields = host_.textFields_.get();
    if (fields == nullptr) {
        return;
    }
    fields->replaceText(id, begin, end, engine::TextFieldModel::toUtf8(text));
    host_.player_.context().changed();
    notifyChanged(id);
}

void InputRouter::notifyChanged(DisplayId id) {
    // The field tells its listeners, itself first (or only its own handler when it has no
    // broadcaster).
    avm1::Vm& vm = host_.vm();
    if (!host_.exists(id)) {
        return;
    }
    avm1::Object* self = vm.clipObject(id);
    if (self == nullptr) {
        return;
    }
    avm1::Vm::NoCollect hold(vm);
    const avm1::Value me(self);
    const avm1::Value bc = vm.get(me, "broadcastMessage");
    if (bc.isObject() && bc.object()->isFunction()) {
        const avm1::Value args[] = {avm1::Value(vm.intern("onChanged")), me};
        vm.callFromHost(bc, me, args);
        return;
    }
    const avm1::Value fn = vm.get(me, "onChanged");
    if (fn.isObject() && fn.object()->isFunction()) {
        vm.callFromHost(fn, me, std::span<const avm1::Value>(&me, 1));
    }
}

void InputRouter::typeText(const std::u32string& typed) {
    // What the input method composed gives way to the text it settled on.
    dropPreedit();
    const bool deferred = std::exchange(pendingPress_, 0) != 0;
    char32_t pressed = std::exchange(pressedAtKeyDown_, 0);
    if (keyTrapped_ && !deferred) {
        return;
    }
    std::u32string kept;
    for (const char32_t c : typed) {
        if (c == pressed) {
            pressed = 0;  // its key went to the key-press conditions already
            kept.push_back(c);
        } else if (!pressCharacter(c)) {
            kept.push_back(c);
        }
    }
    DisplayObject* field = focusedInput();
    if (field == nullptr || kept.empty()) {
        return;
    }
    insertText(*field, kept);
}

bool InputRouter::pressCharacter(char32_t c) {
    return c >= 32 && c <= 126 && pressKey(static_cast<int>(c));
}

bool InputRouter::pressKey(int press) {
    clipEvent(0, nullptr, press);
    // Every button on the stage traps its key; the first to trap it takes it.
    std::vector<DisplayId> buttons;
    std::vector<std::pair<DisplayObject*, int>> walk{{&host_.player_.root(), 0}};
    while (!walk.empty()) {
        auto [cur, nesting] = walk.back();
        walk.pop_back();
        if (nesting > 64) {
            continue;
        }
        if (isButton(*cur)) {
            buttons.push_back(cur->id());
        } else if (engine::Timeline* t = cur->timeline()) {
            for (auto it = t->objects().rbegin(); it != t->objects().rend(); ++it) {
                walk.push_back({it->second.get(), nesting + 1});
            }
        }
    }
    for (const DisplayId id : buttons) {
        DisplayObject* b = host_.find(id);
        if (b != nullptr && !b->removed() &&
            runButtonActions(*b, 0, static_cast<std::uint8_t>(press))) {
            return true;
        }
    }
    return false;
}

void InputRouter::preedit(const std::u32string& text, int cursor) {
    DisplayObject* field = focusedInput();
    if (field != nullptr && preedit_.field != kNoDisplay && preedit_.field != field->id()) {
        settlePreedit();
    }
    dropPreedit();
    if (field == nullptr || text.empty()) {
        return;
    }
    engine::TextFieldModel& f = *field->textField();
    std::u16string insert;
    for (const char32_t c : text) {
        if (c >= 32 && c <= 0xffff && c != 127) {
            insert.push_back(static_cast<char16_t>(c));
        }
    }
    script::TextFields* fields = host_.textFields_.get();
    if (insert.empty() || fields == nullptr) {
        return;
    }
    const int length = static_cast<int>(f.text().size());
    const int begin = std::clamp(std::min(f.selectionBegin, f.selectionEnd), 0, length);
    const int end = std::clamp(std::max(f.selectionBegin, f.selectionEnd), begin, length);
    fields->replaceText(field->id(), begin, end, engine::TextFieldModel::toUtf8(insert));
    const int size = static_cast<int>(insert.size());
    const int at = begin + (cursor < 0 ? size : std::min(cursor, size));
    f.caret = f.selectionBegin = f.selectionEnd = at;
    preedit_ = {field->id(), begin, size};
    host_.player_.context().changed();
}

void InputRouter::dropPreedit() {
    const Preedit p = std::exchange(preedit_, {});
    DisplayObject* field = host_.find(p.field);
    script::TextFields* fields = host_.textFields_.get();
    if (field == nullptr || field->removed() || field->textField() == nullptr ||
        fields == nullptr || p.length <= 0) {
        return;
    }
    const int length = static_cast<int>(field->textField()->text().size());
    const int begin = std::clamp(p.begin, 0, length);
    const int end = std::clamp(p.begin + p.length, begin, length);
    fields->replaceText(p.field, begin, end, {});
    host_.player_.context().changed();
}

void InputRouter::settlePreedit() {
    if (preedit_.field == kNoDisplay || preedit_.field == host_.vm().input().focus) {
        return;
    }
    const DisplayId id = std::exchange(preedit_, {}).field;
    if (host_.exists(id)) {
        notifyChanged(id);
    }
}

void InputRouter::textCommand(engine::TextCommand command) {
    using C = engine::TextCommand;
    switch (command) {
        case C::MoveLeft:
        case C::MoveRight:
        case C::LineStart:
        case C::LineEnd:
        case C::Backspace:
        case C::Delete: {
            static constexpr int kKeys[] = {avm1::keycode::kLeft,      avm1::keycode::kRight,
                                            avm1::keycode::kHome,      avm1::keycode::kEnd,
                                            avm1::keycode::kBackspace, avm1::keycode::kDelete};
            // A key a button took edits nothing either.
            if (!keyTrapped_) {
                editKey(kKeys[static_cast<int>(command) - static_cast<int>(C::MoveLeft)]);
            }
            return;
        }
        case C::Enter:
            typeText(U"\r");
            return;
        default:
            break;
    }
    DisplayObject* field = host_.find(host_.vm().input().focus);
    if (field == nullptr || field->removed() || field->textField() == nullptr) {
        return;
    }
    engine::TextFieldModel& f = *field->textField();
    const int length = static_cast<int>(f.text().size());
    const int begin = std::clamp(std::min(f.selectionBegin, f.selectionEnd), 0, length);
    const int end = std::clamp(std::max(f.selectionBegin, f.selectionEnd), begin, length);
    switch (command) {
        default:
            return;
        case engine::TextCommand::SelectAll:
            if (f.selectable) {
                f.selectionBegin = 0;
                f.selectionEnd = f.caret = length;
                host_.player_.context().changed();
            }
            return;
        case engine::TextCommand::Copy:
        case engine::TextCommand::Cut: {
            // A password never leaves its field.
            if (f.def.password || !f.selectable || begin == end) {
                return;
            }
            const std::u16string part = f.text().substr(static_cast<std::size_t>(begin),
                                                        static_cast<std::size_t>(end - begin));
            host_.clipboard().setText(toUtf32(part));
            if (command == engine::TextCommand::Cut && f.editable) {
                editField(*field, begin, end, {});
            }
            return;
        }
        case engine::TextCommand::Paste:
            if (f.editable) {
                insertText(*field, host_.clipboard().text());
            }
            return;
    }
}

void InputRouter::insertText(DisplayObject& field, const std::u32string& typed) {
    engine::TextFieldModel& f = *field.textField();
    std::u16string insert;
    char32_t previous = 0;
    for (char32_t c : typed) {
        const char32_t before = std::exchange(previous, c);
        if (c == U'\r' || c == U'\n') {
            // A pasted line break may come as a pair.
            if (!f.def.multiline || (c == U'\n' && before == U'\r')) {
                continue;
            }
            c = U'\r';
        } else if (c < 32 || c == 127) {
            continue;
        }
        if (c > 0xffff) {
            continue;  // outside what the field's UTF-16 indexes as one character
        }
        // A plain letter kept out in one case comes in as the other when that one is let in.
        const char32_t other = c >= U'a' && c <= U'z'   ? c - U'a' + U'A'
                               : c >= U'A' && c <= U'Z' ? c - U'A' + U'a'
                                                        : c;
        if (restrictAllows(f.restrict, static_cast<char16_t>(c))) {
            insert.push_back(static_cast<char16_t>(c));
        } else if (other != c && restrictAllows(f.restrict, static_cast<char16_t>(other))) {
            insert.push_back(static_cast<char16_t>(other));
        }
    }
    const int length = static_cast<int>(f.text().size());
    const int begin = std::clamp(std::min(f.selectionBegin, f.selectionEnd), 0, length);
    const int end = std::clamp(std::max(f.selectionBegin, f.selectionEnd), begin, length);
    if (f.maxChars > 0) {
        const int room = std::max(0, f.maxChars - (length - (end - begin)));
        if (static_cast<int>(insert.size()) > room) {
            insert.resize(static_cast<std::size_t>(room));
        }
    }
    if (insert.empty()) {
        return;
    }
    editField(field, begin, end, insert);
}

bool InputRouter::editKey(int keyCode) {
    DisplayObject* field = focusedInput();
    if (field == nullptr) {
        return false;
    }
    engine::TextFieldModel& f = *field->textField();
    const int length = static_cast<int>(f.text().size());
    int begin = std::clamp(std::min(f.selectionBegin, f.selectionEnd), 0, length);
    int end = std::clamp(std::max(f.selectionBegin, f.selectionEnd), begin, length);
    auto place = [&](int at) {
        f.caret = f.selectionBegin = f.selectionEnd = std::clamp(at, 0, length);
        host_.player_.context().changed();
    };
    switch (keyCode) {
        case avm1::keycode::kBackspace:
        case avm1::keycode::kDelete:
            if (begin == end) {
                if (keyCode == avm1::keycode::kBackspace && begin > 0) {
                    --begin;
                } else if (keyCode == avm1::keycode::kDelete && end < length) {
                    ++end;
                } else {
                    return true;
                }
            }
            editField(*field, begin, end, {});
            return true;
        case avm1::keycode::kLeft:
            place(begin == end ? begin - 1 : begin);
            return true;
        case avm1::keycode::kRight:
            place(begin == end ? end + 1 : end);
            return true;
        case avm1::keycode::kHome:
            place(0);
            return true;
        case avm1::keycode::kEnd:
            place(length);
            return true;
        default:
            return false;
    }
}

// --- Keys ---

DisplayObject* InputRouter::keyboardFocus() {
    const DisplayId focus = host_.vm().input().focus;
    DisplayObject* f = host_.find(focus);
    if (f == nullptr || f->removed() || !(isButton(*f) || f->isClip())) {
        return nullptr;
    }
    // Moving the mouse leaves the keyboard, until the focus moves again.
    if (mouseTookOver_ && focus == focusAtMouseMove_) {
        return nullptr;
    }
    return f;
}

void InputRouter::keyDown(const engine::InputEvent& e) {
    // A character key whose text never came presses its character without it.
    if (const int unsettled = std::exchange(pendingPress_, 0)) {
        pressKey(unsettled);
    }
    avm1::Vm& vm = host_.vm();
    vm.input().keyDown(e.keyCode, static_cast<int>(e.ascii));
    clipEvent(engine::kClipKeyDown, nullptr);
    // The focused clip or button hears of the key first, then the listeners.
    const DisplayId focus = vm.input().focus;
    if (keyboardFocus() != nullptr) {
        host_.callMethod(focus, "onKeyDown");
    }
    avm1::broadcast(vm, "Key", "onKeyDown");
    bool trapped = false;
    const int press = keyPressCode(e.keyCode, e.ascii);
    pressedAtKeyDown_ = 0;
    // Space also clicks the focused button, so it presses as it goes down.
    if (press > 32 && press <= 126) {
        // Characters press as their text comes.
        pendingPress_ = press;
    } else if (press != 0) {
        trapped = pressKey(press);
        pressedAtKeyDown_ = static_cast<char32_t>(press);
    }
    // A key a button took types nothing either.
    keyTrapped_ = trapped;
    if (trapped) {
        return;
    }
    // A key no button took: Tab moves the focus, Enter and Space click the focused clip or
    // button while its focus rectangle shows.
    if (e.keyCode == avm1::keycode::kTab) {
        tab(vm.input().isDown(avm1::keycode::kShift));
    } else if (e.keyCode == avm1::keycode::kEnter || e.keyCode == avm1::keycode::kSpace) {
        DisplayObject* f = keyboardFocus();
        if (f != nullptr && f->id() == focus && host_.focusRect(*f)) {
            runTransition(focus, kOverUpToOverDown);
            runTransition(focus, kOverDownToOverUp);
        }
    }
}

void InputRouter::keyUp(const engine::InputEvent& e) {
    if (const int unsettled = std::exchange(pendingPress_, 0)) {
        pressKey(unsettled);
    }
    avm1::Vm& vm = host_.vm();
    vm.input().keyUp(e.keyCode, static_cast<int>(e.ascii));
    clipEvent(engine::kClipKeyUp, nullptr);
    if (keyboardFocus() != nullptr) {
        host_.callMethod(vm.input().focus, "onKeyUp");
    }
    avm1::broadcast(vm, "Key", "onKeyUp");
}

}  // namespace zd::script
