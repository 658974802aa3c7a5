#include "engine/render/StandardHooks.h"

#include "engine/player/Dictionary.h"
#include "engine/render/BlendModes.h"
#include "engine/render/Filters.h"
#include "engine/swf/BitmapDecoder.h"
#include "engine/swf/ByteReader.h"

namespace zd::engine {

namespace {

FilterList parseFilters(std::span<const std::uint8_t> bytes) {
    ByteReader in(bytes);
    return readFilterList(in);
}

}  // namespace

RenderHooks standardRenderHooks() {
    RenderHooks hooks;
    hooks.decodeBitmap = [](const BitmapTag& tag, std::span<const std::uint8_t> tables) {
        const auto decoded = decodeBitmapTag(tag.code, tag.body, tables);
        return decoded ? decoded->image : QImage();
    };
    hooks.filterMargins = [](std::span<const std::uint8_t> list, double scale) {
        return filterMargins(parseFilters(list), scale, scale);
    };
    hooks.applyFilters = [](QImage& layer, std::span<const std::uint8_t> list, double scale) {
        const FilterList filters = parseFilters(list);
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
