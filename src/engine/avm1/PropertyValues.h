#pragma once

#include <optional>

#include "engine/avm1/Host.h"

namespace zd::avm1 {

class Vm;
class Value;

// A script value as a display property receives it. Numbers come from valueOf, except that
// undefined and null give NaN in every version; a NaN the host leaves the property alone.
// Names take the string an object's toString gives, or "[type Object]" when that is not a
// string. The movie's focus rectangle takes booleans as they are and any object as false; an
// object's own takes the value as a condition (null and undefined clear it).
DisplayValue toDisplayValue(Vm& vm, DisplayProperty p, const Value& v, DisplayId target);

// The frame (from 1) a go-to by number reaches, the scene bias added: numbers wrap as 32-bit
// integers, frame 0 and the frames before it are not gone to, and frames past the last are
// for the host to bring back to it (the largest wrap there too). None for a number that is
// not a whole one.
std::optional<int> goToFrameNumber(double frame, int bias = 0);

}  // namespace zd::avm1
