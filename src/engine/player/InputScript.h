#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

#include "engine/player/InputEvents.h"

namespace zd::engine {

// A recorded session of input as test cases keep it: a JSON array of events ("MouseMove",
// "MouseDown", "MouseUp" with "pos" and "btn", "MouseWheel" with "lines", "KeyDown"/"KeyUp"
// with "key" (a name such as "Enter", or {"Char": "a"}), "TextInput" with "codepoint",
// "TextControl" with "code" (Copy, Paste, MoveLeft, Backspace...), "SetClipboardText" with "text",
// "ImePreedit" with "text" and "cursor" ([start, end] within the text, or null)),
// cut into steps by "Wait" entries. Events of kinds this player does not take are left out.
struct InputScript {
    std::vector<std::vector<InputEvent>> steps;  // steps[i] is delivered after step i
};

// Reads a script; false with a reason when it is not one.
bool readInputScript(const QByteArray& json, InputScript& out, QString* error = nullptr);

// The key code and character of a key as the recorded sessions name it ("ArrowLeft", "Tab",
// {"Char": "a"}...); false for a name not known.
bool keyFromName(const QString& name, int& code, char32_t& ascii);
bool keyFromChar(char32_t ch, int& code, char32_t& ascii);

}  // namespace zd::engine
