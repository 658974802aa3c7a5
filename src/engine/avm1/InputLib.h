#pragma once

#include <initializer_list>

#include "engine/avm1/Host.h"
#include "engine/avm1/Value.h"

namespace zd::avm1 {

class Vm;
struct CallInfo;

// Moves the keyboard focus to `id` (kNoDisplay: nowhere): the one losing it hears
// onKillFocus, the one getting it onSetFocus, then the Selection listeners onSetFocus. Nothing
// happens when the focus stays where it is.
void moveFocus(Vm& vm, DisplayId id);

// tabIndex of buttons, clips and text fields: undefined until set; text fields keep it as an
// unsigned 32-bit number, the others as a signed one (what does not fit is the least int).
Value tabIndexGet(Vm& vm, const CallInfo& c);
Value tabIndexSet(Vm& vm, const CallInfo& c);

// Calls broadcastMessage on a global broadcaster object (Key, Mouse, Selection) with args.
void broadcast(Vm& vm, const char* object, const char* message,
               std::initializer_list<Value> args = {});

}  // namespace zd::avm1
