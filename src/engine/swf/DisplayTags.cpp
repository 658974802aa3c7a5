#include "engine/swf/DisplayTags.h"

#include "engine/swf/ByteReader.h"
#include "engine/swf/Characters.h"

namespace zd::engine {

namespace {

// CLIPEVENTFLAGS: two bytes up to SWF 5, four after. Fields run from the high bit of each
// byte down; the bits come out in ClipEvent's order.
std::uint32_t readClipEvents(ByteReader& in, int swfVersion) {
    const std::uint8_t b0 = in.u8();
    const std::uint8_t b1 = in.u8();
    std::uint8_t b2 = 0;
    if (swfVersion >= 6) {
        b2 = in.u8();
        in.u8();  // reserved
    }
    auto bit = [](std::uint8_t byte, int n) { return (byte >> n) & 1u; };
    std::uint32_t e = 0;
    e |= bit(b0, 0) ? std::uint32_t{kClipLoad} : 0u;
    e |= bit(b0, 1) ? std::uint32_t{kClipEnterFrame} : 0u;
    e |= bit(b0, 2) ? std::uint32_t{kClipUnload} : 0u;
    e |= bit(b0, 3) ? std::uint32_t{kClipMouseMove} : 0u;
    e |= bit(b0, 4) ? std::uint32_t{kClipMouseDown} : 0u;
    e |= bit(b0, 5) ? std::uint32_t{kClipMouseUp} : 0u;
    e |= bit(b0, 6) ? std::uint32_t{kClipKeyDown} : 0u;
    e |= bit(b0, 7) ? std::uint32_t{kClipKeyUp} : 0u;
    e |= bit(b1, 0) ? std::uint32_t{kClipData} : 0u;
    e |= bit(b1, 1) ? std::uint32_t{kClipInitialize} : 0u;
    e |= bit(b1, 2) ? std::uint32_t{kClipPress} : 0u;
    e |= bit(b1, 3) ? std::uint32_t{kClipRelease} : 0u;
    e |= bit(b1, 4) ? std::uint32_t{kClipReleaseOutside} : 0u;
    e |= bit(b1, 5) ? std::uint32_t{kClipRollOver} : 0u;
    e |= bit(b1, 6) ? std::uint32_t{kClipRollOut} : 0u;
    e |= bit(b1, 7) ? std::uint32_t{kClipDragOver} : 0u;
    e |= bit(b2, 0) ? std::uint32_t{kClipDragOut} : 0u;
    e |= bit(b2, 1) ? std::uint32_t{kClipKeyPress} : 0u;
    e |= bit(b2, 2) ? std::uint32_t{kClipConstruct} : 0u;
    return e;
}

// CLIPACTIONS: reserved, all the events, then records up to an end flag of zero.
std::vector<ClipActionRecord> readClipActions(ByteReader& in, int swfVersion) {
    std::vector<ClipActionRecord> records;
    in.u16();  // reserved
    readClipEvents(in, swfVersion);
    while (in.ok() && !in.atEnd()) {
        ClipActionRecord r;
        r.events = readClipEvents(in, swfVersion);
        if (!in.ok() || r.events == 0) {
            break;  // the end flag
        }
        const std::uint32_t size = in.u32();
        const std::size_t start = in.position();
        if (!in.ok() || size > in.remaining()) {
            break;
        }
        std::size_t code = start;
        if (r.events & kClipKeyPress) {
            if (size == 0) {
                break;
            }
            r.keyCode = in.u8();
            ++code;
        }
        r.codeBegin = code;
        r.codeEnd = start + size;
        in.skip(start + size - in.position());
        records.push_back(r);
    }
    return records;
}

}  // namespace

std::optional<PlaceObjectTag> parsePlaceObject(std::span<const std::uint8_t> body, int version,
                                               int swfVersion) {
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
    if (p.hasClipActions && swfVersion >= 5) {
        p.clipActions = readClipActions(in, swfVersion);
    }
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
