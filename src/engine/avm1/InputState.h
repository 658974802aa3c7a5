#pragma once

#include <bitset>
#include <cstdint>

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
    int lastCode = 0;
    int lastAscii = 0;
    bool capsLock = false;
    bool numLock = false;
    bool scrollLock = false;
    bool mouseHidden = false;
    // The object with the keyboard focus (a text field, button or clip), or none.
    DisplayId focus = kNoDisplay;

    bool isDown(int code) const { return code >= 0 && code < 256 && down.test(code); }
    // A key went down or up: Key.getCode/getAscii answer with it; the lock keys toggle.
    void keyDown(int code, int ascii) {
        if (code >= 0 && code < 256) {
            if (!down.test(code)) {
                capsLock = code == keycode::kCapsLock ? !capsLock : capsLock;
                numLock = code == keycode::kNumLock ? !numLock : numLock;
                scrollLock = code == keycode::kScrollLock ? !scrollLock : scrollLock;
            }
            down.set(code);
        }
        lastCode = code;
        lastAscii = ascii;
    }
    void keyUp(int code, int ascii) {
        if (code >= 0 && code < 256) {
            down.reset(code);
        }
        lastCode = code;
        lastAscii = ascii;
    }
};

}  // namespace zd::avm1
