#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>

namespace zd::engine {

// What the focused text field is told to do, apart from the key that asked for it (a key
// bound to a button's key press edits nothing; the desktop's shortcuts differ).
enum class TextCommand : std::uint8_t {
    Copy,
    Cut,
    Paste,
    SelectAll,
    MoveLeft,
    MoveRight,
    LineStart,
    LineEnd,
    Backspace,
    Delete,
    Enter,
};

// Mouse buttons as movies know them.
enum class MouseButton : std::uint8_t { Left, Right, Middle };

// One thing the user did to the movie area. Positions are stage pixels (the movie's own
// coordinates, before its matrix on screen); key codes are the movie's (Key.getCode values).
struct InputEvent {
    enum class Type : std::uint8_t {
        MouseMove,
        MouseDown,
        MouseUp,
        MouseWheel,
        KeyDown,
        KeyUp,
        TextInput,         // text typed, after the keyboard layout and input method
        FocusLost,         // the movie area lost the keyboard (keys held are let go)
        TextEdit,          // an editing command for the focused text field
        ClipboardChanged,  // the desktop's clipboard now holds `text`
        ImePreedit,        // the input method's text being composed (`text`; empty: none)
        ContextMenu,       // the right-click menu opens at x, y (the movie may change it first)
        MenuItem,          // the movie's own menu entry `menuItem` was chosen
    };
    Type type = Type::MouseMove;
    double x = 0;
    double y = 0;
    MouseButton button = MouseButton::Left;
    int wheel = 0;           // MouseWheel: lines, positive away from the user
    int keyCode = 0;         // KeyDown/KeyUp
    char32_t ascii = 0;      // KeyDown/KeyUp: the character the key gives (0: none)
    std::u32string text;     // TextInput, ClipboardChanged, ImePreedit
    int preeditCursor = -1;  // ImePreedit: the caret within `text` (-1: at its end)
    TextCommand command = TextCommand::Paste;  // TextEdit
    int menuItem = -1;                         // MenuItem: its place among the movie's entries
};

// The desktop's clipboard as the engine uses it: plain text only. The player plugs in the
// real one; without it a clipboard of the player's own keeps what was copied.
class Clipboard {
  public:
    virtual ~Clipboard() = default;
    virtual std::u32string text() const = 0;
    virtual void setText(const std::u32string& text) = 0;
};

class MemoryClipboard final : public Clipboard {
  public:
    std::u32string text() const override { return text_; }
    void setText(const std::u32string& text) override { text_ = text; }

  private:
    std::u32string text_;
};

// Events waiting for the next tick. A flood cannot grow it without bound: moves in a row
// collapse into the last one, and beyond kMaxEvents the oldest go.
class InputQueue {
  public:
    static constexpr std::size_t kMaxEvents = 4096;

    void push(InputEvent e) {
        if (e.type == InputEvent::Type::MouseMove && !events_.empty() &&
            events_.back().type == InputEvent::Type::MouseMove) {
            events_.back() = std::move(e);
            return;
        }
        if (events_.size() >= kMaxEvents) {
            events_.pop_front();
        }
        events_.push_back(std::move(e));
    }
    bool empty() const { return events_.empty(); }
    std::size_t size() const { return events_.size(); }
    InputEvent take() {
        InputEvent e = std::move(events_.front());
        events_.pop_front();
        return e;
    }
    void clear() { events_.clear(); }

  private:
    std::deque<InputEvent> events_;
};

}  // namespace zd::engine
