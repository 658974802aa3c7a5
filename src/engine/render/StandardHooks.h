#pragma once

#include "engine/render/RenderHooks.h"

namespace zd::engine {

// The hooks the player uses: the engine's bitmap decoder, filters and blend modes.
RenderHooks standardRenderHooks();

}  // namespace zd::engine
