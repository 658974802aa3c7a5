#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/swf/FilterRecords.h"
#include "engine/swf/Records.h"

namespace zd::engine {

// The events a clip action answers (CLIPEVENTFLAGS), one bit each. Movies of SWF 5 and
// earlier store the first 16 only.
enum ClipEvent : std::uint32_t {
    kClipLoad = 1u << 0,
    kClipEnterFrame = 1u << 1,
    kClipUnload = 1u << 2,
    kClipMouseMove = 1u << 3,
    kClipMouseDown = 1u << 4,
    kClipMouseUp = 1u << 5,
    kClipKeyDown = 1u << 6,
    kClipKeyUp = 1u << 7,
    kClipData = 1u << 8,
    kClipInitialize = 1u << 9,
    kClipPress = 1u << 10,
    kClipRelease = 1u << 11,
    kClipReleaseOutside = 1u << 12,
    kClipRollOver = 1u << 13,
    kClipRollOut = 1u << 14,
    kClipDragOver = 1u << 15,
    kClipDragOut = 1u << 16,
    kClipKeyPress = 1u << 17,
    kClipConstruct = 1u << 18,
};

// One CLIPACTIONRECORD: the events it answers and where its action records lie, as offsets
// into the body of the tag it came from.
struct ClipActionRecord {
    std::uint32_t events = 0;
    std::uint8_t keyCode = 0;  // with kClipKeyPress
    std::size_t codeBegin = 0;
    std::size_t codeEnd = 0;
};

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
    // The handlers that could be read (a damaged record ends the list).
    std::vector<ClipActionRecord> clipActions;
};

// Parses the body of a PlaceObject (version 1), PlaceObject2 (2) or PlaceObject3 (3) tag of
// a movie of the given SWF version. Returns nullopt when the fields it needs cannot be read.
std::optional<PlaceObjectTag> parsePlaceObject(std::span<const std::uint8_t> body, int version,
                                               int swfVersion = 10);

// The depth a RemoveObject (version 1) or RemoveObject2 (2) tag clears.
std::optional<std::uint16_t> parseRemoveObject(std::span<const std::uint8_t> body, int version);

}  // namespace zd::engine
