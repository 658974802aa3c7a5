#include "engine/render/StandardHooks.h"

namespace zd::engine {

RenderHooks standardRenderHooks() {
    // Bitmap decoding, filters and blend modes plug in here as they arrive.
    return RenderHooks{};
}

}  // namespace zd::engine
