#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/swf/FilterRecords.h"
#include "engine/swf/Records.h"

namespace zd::engine {

// PlaceObject, PlaceObject2 or PlaceObject3: what changes at a depth.
struct PlaceObjectTag {
    std::uint16_t depth = 0;
    bool move = false;  // modifies the object at depth (PlaceObject2/3)
    std::optional<std::uint16_t> characterId;
    std::optional<Matrix> matrix;
    std::optional<ColorTransform> colorTransform;
    std::optional<std::uint16_t> ratio;
    std::optional<std::string> name;
    std::optional<std::uint16_t> clipDepth;
    std::optional<std::string> className;
    std::optional<FilterList> filters;
    std::optional<std::uint8_t> blendMode;
    std::optional<bool> cacheAsBitmap;
    std::optional<bool> visible;
    std::optional<Rgba> opaqueBackground;
    bool hasClipActions = false;
};

// Parses the body of a PlaceObject (version 1), PlaceObject2 (2) or PlaceObject3 (3) tag.
// Returns nullopt when the fields it needs cannot be read.
std::optional<PlaceObjectTag> parsePlaceObject(std::span<const std::uint8_t> body, int version);

// The depth a RemoveObject (version 1) or RemoveObject2 (2) tag clears.
std::optional<std::uint16_t> parseRemoveObject(std::span<const std::uint8_t> body, int version);

}  // namespace zd::engine
