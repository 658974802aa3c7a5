#include "engine/swf/DisplayTags.h"

#include "engine/swf/ByteReader.h"
#include "engine/swf/Characters.h"

namespace zd::engine {

std::optional<PlaceObjectTag> parsePlaceObject(std::span<const std::uint8_t> body, int version) {
    ByteReader in(body);
    PlaceObjectTag p;
    if (version == 1) {
        p.characterId = in.u16();
        p.depth = in.u16();
        p.matrix = readMatrix(in);
        if (!in.ok()) {
            return std::nullopt;
        }
        if (!in.atEnd()) {
            ByteReader rest = in;
            const ColorTransform cx = readColorTransform(rest, false);
            if (rest.ok()) {
                p.colorTransform = cx;
            }
        }
        return p;
    }
    const std::uint8_t flags = in.u8();
    const std::uint8_t flags2 = version >= 3 ? in.u8() : 0;
    p.depth = in.u16();
    p.move = flags & 0x01;
    const bool hasCharacter = flags & 0x02;
    if (flags2 & 0x08 || (flags2 & 0x10 && hasCharacter)) {
        p.className = in.cstring();
    }
    if (hasCharacter) {
        p.characterId = in.u16();
    }
    if (flags & 0x04) {
        p.matrix = readMatrix(in);
    }
    if (flags & 0x08) {
        p.colorTransform = readColorTransform(in, true);
    }
    if (flags & 0x10) {
        p.ratio = in.u16();
    }
    if (flags & 0x20) {
        p.name = in.cstring();
    }
    if (flags & 0x40) {
        p.clipDepth = in.u16();
    }
    if (!in.ok()) {
        return std::nullopt;
    }
    // What follows only adds to the picture: a damaged tail keeps what came before it.
    if (flags2 & 0x01) {
        auto list = readPlacedFilters(in);
        if (!list) {
            return p;
        }
        p.filters = std::move(*list);
    }
    if (flags2 & 0x02) {
        const std::uint8_t mode = in.u8();
        if (in.ok()) {
            p.blendMode = mode;
        }
    }
    if (flags2 & 0x04) {
        const std::uint8_t cache = in.u8();
        if (in.ok()) {
            p.cacheAsBitmap = cache != 0;
        }
    }
    if (flags2 & 0x20) {
        const std::uint8_t visible = in.u8();
        if (in.ok()) {
            p.visible = visible != 0;
        }
    }
    if (flags2 & 0x40) {
        const Rgba colour = readRgba(in);
        if (in.ok()) {
            p.opaqueBackground = colour;
        }
    }
    p.hasClipActions = flags & 0x80;
    return p;
}

std::optional<std::uint16_t> parseRemoveObject(std::span<const std::uint8_t> body, int version) {
    ByteReader in(body);
    if (version == 1) {
        in.u16();  // character id
    }
    const std::uint16_t depth = in.u16();
    if (!in.ok()) {
        return std::nullopt;
    }
    return depth;
}

}  // namespace zd::engine
