#pragma once

#include <bitset>
#include <cstdint>
#include <unordered_map>
#include <utility>
#include <vector>

#include "engine/avm1/Host.h"

namespace zd::avm1 {

// Key codes movies test for (Key.getCode values).
namespace keycode {
inline constexpr int kBackspace = 8;
inline constexpr int kTab = 9;
inline constexpr int kEnter = 13;
inline constexpr int kShift = 16;
inline constexpr int kControl = 17;
inline constexpr int kAlt = 18;
inline constexpr int kCapsLock = 20;
inline constexpr int kEscape = 27;
inline constexpr int kSpace = 32;
inline constexpr int kPageUp = 33;
inline constexpr int kPageDown = 34;
inline constexpr int kEnd = 35;
inline constexpr int kHome = 36;
inline constexpr int kLeft = 37;
inline constexpr int kUp = 38;
inline constexpr int kRight = 39;
inline constexpr int kDown = 40;
inline constexpr int kInsert = 45;
inline constexpr int kDelete = 46;
inline constexpr int kNumLock = 144;
inline constexpr int kScrollLock = 145;
}  // namespace keycode

// What the keyboard and mouse are doing as scripts see it (Key, Mouse, Selection, _xmouse).
// The script host keeps it current as it hands events over.
struct InputState {
    std::bitset<256> down;
    // Every key flips its own toggle each time it goes down (the lock keys are the ones that
    // matter; the mouse buttons count as keys 1 and 2).
    std::bitset<256> toggled;
    int lastCode = 0;
    int lastAscii = 0;
    bool mouseHidden = false;
    // The object with the keyboard focus (a text field, button or clip), or none.
    DisplayId focus = kNoDisplay;
    // Whether the focus shows its rectangle: every focus change (Tab or a script) shows it,
    // the mouse hides it.
    bool focusShown = false;
    // Counts the focus changes (the same object given it again counts too).
    std::uint32_t focusMoves = 0;
    // The focus changes scripts made (from, to): the rollOut and rollOver of the focus
    // rectangle follow once the script is done.
    std::vector<std::pair<DisplayId, DisplayId>> scriptFocusMoves;
    static constexpr std::size_t kMaxScriptFocusMoves = 1024;
    // tabIndex as scripts set it, already converted for the kind of object holding it.
    std::unordered_map<DisplayId, double> tabIndexes;

    bool isDown(int code) const { return code >= 0 && code < 256 && down.test(code); }
    bool isToggled(int code) const { return code >= 0 && code < 256 && toggled.test(code); }
    // A key went down or up: Key.getCode/getAscii answer with it.
    void keyDown(int code, int ascii) {
        press(code);
        lastCode = code;
        lastAscii = ascii;
    }
    void keyUp(int code, int ascii) {
        release(code);
        lastCode = code;
        lastAscii = ascii;
    }
    // A key or mouse button's state alone (Key.getCode stays).
    void press(int code) {
        if (code >= 0 && code < 256) {
            toggled.flip(code);
            down.set(code);
        }
    }
    void release(int code) {
        if (code >= 0 && code < 256) {
            down.reset(code);
        }
    }
};

}  // namespace zd::avm1
