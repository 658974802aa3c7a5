#include "engine/render/StandardHooks.h"

#include "engine/player/Dictionary.h"
#include "engine/render/BlendModes.h"
#include "engine/render/Filters.h"
#include "engine/swf/BitmapDecoder.h"

namespace zd::engine {

RenderHooks standardRenderHooks() {
    RenderHooks hooks;
    hooks.decodeBitmap = [](const BitmapTag& tag, std::span<const std::uint8_t> tables) {
        const auto decoded = decodeBitmapTag(tag.code, tag.body, tables);
        return decoded ? decoded->image : QImage();
    };
    hooks.filterMargins = [](const FilterList& filters, double scale) {
        return filterMargins(filters, scale, scale);
    };
    hooks.applyFilters = [](QImage& layer, const FilterList& filters, double scale) {
        if (!filters.empty()) {
            layer = applyFilters(layer, filters, scale, scale);
        }
    };
    hooks.blend = [](QImage& backdrop, QPoint at, const QImage& layer, std::uint8_t mode) {
        compositeLayer(backdrop, layer, at, blendModeFromByte(mode));
    };
    return hooks;
}

}  // namespace zd::engine
