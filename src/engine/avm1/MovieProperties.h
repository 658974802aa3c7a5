#pragma once

#include "engine/avm1/Host.h"

namespace zd::avm1 {

// The display properties that belong to the whole movie rather than to one object (quality,
// focus rectangles, sound buffer, mouse position), with the value every host reports for
// them; nothing for any other property.
DisplayValue movieWideProperty(DisplayProperty p);

}  // namespace zd::avm1
