#pragma once

#include <QPointF>
#include <QTransform>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/avm1/Host.h"
#include "engine/avm1/Value.h"
#include "engine/player/InputEvents.h"

namespace zd::engine {
class DisplayObject;
struct ButtonDefinition;
struct TextDefinition;
}  // namespace zd::engine

namespace zd::script {

class ScriptHost;

// The state changes of a button (and of a clip acting as one), as button conditions name
// them. The bit of each is its bit in a button condition record's flags.
enum ButtonTransition : std::uint16_t {
    kIdleToOverUp = 1u << 0,
    kOverUpToIdle = 1u << 1,
    kOverUpToOverDown = 1u << 2,
    kOverDownToOverUp = 1u << 3,
    kOverDownToOutDown = 1u << 4,
    kOutDownToOverDown = 1u << 5,
    kOutDownToIdle = 1u << 6,
    kIdleToOverDown = 1u << 7,
    kOverDownToIdle = 1u << 8,
};

// Where the pointer and the button held are relative to the object under the mouse.
enum class PointerPhase : std::uint8_t { Idle, OverUp, OverDown, OutDown };

// The transitions that take a button from one phase to another in one step (none when the
// step is not one a button takes).
std::optional<ButtonTransition> transitionBetween(PointerPhase from, PointerPhase to);

// One action block of a DefineButton2 and what sets it off.
struct ButtonCondition {
    std::uint16_t transitions = 0;  // ButtonTransition bits
    std::uint8_t keyPress = 0;      // 0: none
    std::size_t begin = 0;          // action records within the button's action bytes
    std::size_t end = 0;
};
// Splits DefineButton2's condition records (a DefineButton's actions: one block run on
// release). Damaged records end the list.
std::vector<ButtonCondition> parseButtonConditions(const engine::ButtonDefinition& button);

// The key code a button's or clip's key-press condition names for a key (0: none): arrows,
// home, end and the like have codes of their own, printable characters their ASCII code.
int keyPressCode(int keyCode, char32_t ascii);

// Where the pointer (stage pixels) lies in an object's own space, in whole twips, given the
// object's matrix to the stage (twips). The pointer is placed as the object is drawn: its
// position snapped to whole pixels, the inverse's offset and the result to whole twips. An
// object squeezed flat maps the pointer's pixels through unchanged.
QPointF pointerIn(const QTransform& toStage, double x, double y);

// Hands what the user does to the movie: picks what is under the mouse (by what it draws,
// through masks, in display order), moves buttons through their states and runs what their
// transitions set off, delivers mouse and key events to clips and listeners, drags, and moves
// the focus. Holds ids only, so a handler may remove anything.
class InputRouter {
  public:
    explicit InputRouter(ScriptHost& host);

    void handle(const engine::InputEvent& e);

    double mouseX() const { return mouseX_; }
    double mouseY() const { return mouseY_; }
    // Whether the pointer is over something that shows the hand.
    bool overHandCursor();
    void startDrag(avm1::DisplayId id, bool lockCenter,
                   std::optional<std::array<double, 4>> bounds);
    void stopDrag();
    // The rollOut and rollOver of the focus rectangle for the focus changes scripts made.
    void settleScriptFocus();
    // The clip's _droptarget: where its last drag ended ("" when none).
    std::string dropTarget(avm1::DisplayId id) const;
    // Whether a stage point (twips) falls on what the object draws (shape) or within its
    // bounds.
    bool hits(engine::DisplayObject& object, QPointF stageTwips, bool shape);

  private:
    struct ButtonStateInfo {
        PointerPhase phase = PointerPhase::Idle;
    };
    void mouseMove(double x, double y);
    void mouseDown();
    void mouseUp();
    // A click moves the focus (none, or a text field).
    void focusByPointer(avm1::DisplayId to);
    void keyDown(const engine::InputEvent& e);
    // Typing into the focused input field: text at the caret (over the selection) within its
    // restrict and maxChars; editing keys (backspace, delete, arrows, home, end). editKey
    // returns whether a field took the key.
    engine::DisplayObject* focusedInput();
    void typeText(const std::u32string& text);
    // Characters go to the key-press conditions as they are typed, not as keys go down: a dead
    // key types nothing, the key after it may type two. Whether a button took the character.
    bool pressCharacter(char32_t c);
    // Runs the key-press conditions of clips and buttons for a key-press code; whether a
    // button took it.
    bool pressKey(int press);
    // The input method's composition sits in the focused field as plain text the field's
    // listeners have not heard of; it is theirs once the focus leaves or the text comes.
    void preedit(const std::u32string& text, int cursor);
    // Drops the composition from its field (the field keeps what it was before).
    void dropPreedit();
    // The composition becomes the field's own text when its field lost the focus.
    void settlePreedit();
    void notifyChanged(avm1::DisplayId id);
    // Puts text at the caret (over the selection) as typing does: what restrict lets in, up
    // to maxChars. Nothing at all leaves the field as it was.
    void insertText(engine::DisplayObject& field, const std::u32string& text);
    // Copy, cut, paste and select-all on the focused text field, through the clipboard.
    void textCommand(engine::TextCommand command);
    bool editKey(int keyCode);
    void editField(engine::DisplayObject& field, int begin, int end, const std::u16string& text);
    // The focused button or clip while keys go to it (text fields take keys their own way),
    // or nullptr.
    engine::DisplayObject* keyboardFocus();
    void keyUp(const engine::InputEvent& e);
    // The topmost object under a stage point that takes mouse events (a button, or a clip
    // with button handlers), or none.
    avm1::DisplayId pick(QPointF stageTwips);
    avm1::DisplayId pickIn(engine::DisplayObject& clip, QPointF p, int nesting);
    bool hitShape(engine::DisplayObject& object, QPointF p, int nesting, bool checkVisible = true);
    bool hitStaticText(const engine::TextDefinition& text, QPointF local);
    bool hitButton(engine::DisplayObject& button, QPointF p, int nesting);
    // The deepest object drawn under a stage point (twips) within a clip, or nullptr.
    engine::DisplayObject* objectAt(engine::DisplayObject& clip, QPointF p, int nesting);
    // The script object whose menu the right-click opens: the nearest object under the point
    // or above it that names a menu, else the movie if it does; nullptr when none does.
    avm1::Object* menuOwnerAt(QPointF stageTwips);
    bool actsAsButton(engine::DisplayObject& clip);
    // Whether the object takes the held button over from another (trackAsMenu).
    bool tracksAsMenu(avm1::DisplayId id);
    bool enabled(engine::DisplayObject& object);
    // Moves an object to a phase, running the transition's actions and handlers.
    void setPhase(avm1::DisplayId id, PointerPhase phase);
    void runTransition(avm1::DisplayId id, ButtonTransition t);
    // Whether any ran.
    bool runButtonActions(engine::DisplayObject& button, std::uint16_t transitions,
                          std::uint8_t keyPress);
    // Every clip, children topmost first and each before its parent (the order clip mouse
    // and key events go in).
    std::vector<avm1::DisplayId> clipsInEventOrder();
    void clipEvent(std::uint32_t events, const char* method, int keyPress = 0);
    void updateHover();
    // The objects Tab moves the focus through, in order: those given a tabIndex by it, else
    // every tab-enabled object by its place on the stage (top to bottom, left to right).
    std::vector<avm1::DisplayId> tabOrder();
    void tab(bool backwards);
    // The focus rectangle comes to an object (or none), as the pointer would.
    void moveHighlight(avm1::DisplayId to);
    // The link shown under a stage point (twips) in the topmost text field there, if any:
    // the field, the address and the window.
    struct Link {
        avm1::DisplayId field = avm1::kNoDisplay;
        std::string url;
        std::string target;
    };
    std::optional<Link> linkAt(QPointF stageTwips);
    // The topmost text field whose box holds a stage point (twips), or nullptr.
    engine::DisplayObject* topTextField(QPointF stageTwips);
    // The wheel scrolls the text field under the pointer by lines, unless it says not to.
    void wheelScroll(int lines);
    // A click on a link: "asfunction:name,argument" calls the function the name reaches from
    // the field's timeline with the argument; any other address opens as getURL would.
    void followLink(const Link& link);
    // The topmost text field under a stage point that takes the focus when clicked.
    avm1::DisplayId textFieldAt(QPointF stageTwips);
    // A property a script set on the object (or its prototypes), if any.
    std::optional<avm1::Value> scriptProperty(engine::DisplayObject& object, const char* name);
    void dragTo();
    QTransform toStage(const engine::DisplayObject& o) const;

    ScriptHost& host_;
    double mouseX_ = 0;
    double mouseY_ = 0;
    bool mouseDown_ = false;
    avm1::DisplayId hovered_ = avm1::kNoDisplay;  // the object the pointer is over
    avm1::DisplayId pressed_ = avm1::kNoDisplay;  // the object pressed while the button is held
    std::unordered_map<avm1::DisplayId, PointerPhase> phases_;
    struct Drag {
        avm1::DisplayId id = avm1::kNoDisplay;
        double dx = 0;  // the clip's position less the mouse's, in its parent's pixels
        double dy = 0;
        std::optional<std::array<double, 4>> bounds;
    };
    // Where the objects the pointer is over and holds were at the end of the last event.
    struct Place {
        avm1::DisplayId id = avm1::kNoDisplay;
        avm1::DisplayId parent = avm1::kNoDisplay;
        std::int32_t depth = 0;
        std::uint16_t character = 0;
    };
    void rememberPlaces();
    // Moves the pointer's state to what replaced the object it was over or held, if that
    // is the same character at the same depth.
    void followReplaced();
    Place hoveredPlace_;
    Place pressedPlace_;
    bool mouseTookOver_ = false;
    bool keyTrapped_ = false;        // the last key went down to a button's key condition
    int pendingPress_ = 0;           // the character key down whose text has not come yet
    char32_t pressedAtKeyDown_ = 0;  // the last key down's press, when it pressed at once
    struct Preedit {
        avm1::DisplayId field = avm1::kNoDisplay;
        int begin = 0;
        int length = 0;
    } preedit_;
    avm1::DisplayId focusAtMouseMove_ = avm1::kNoDisplay;
    Drag drag_;
    std::unordered_map<avm1::DisplayId, std::string> dropTargets_;
    std::unordered_map<const void*, std::vector<ButtonCondition>> conditions_;
};

}  // namespace zd::script
