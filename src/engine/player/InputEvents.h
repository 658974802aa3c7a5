#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>

namespace zd::engine {

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
        TextInput,  // text typed, after the keyboard layout and input method
        FocusLost,  // the movie area lost the keyboard (keys held are let go)
    };
    Type type = Type::MouseMove;
    double x = 0;
    double y = 0;
    MouseButton button = MouseButton::Left;
    int wheel = 0;        // MouseWheel: lines, positive away from the user
    int keyCode = 0;      // KeyDown/KeyUp
    char32_t ascii = 0;   // KeyDown/KeyUp: the character the key gives (0: none)
    std::u32string text;  // TextInput
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
