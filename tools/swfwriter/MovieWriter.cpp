#include <lzma.h>
#include <zlib.h>

#include <cmath>
#include <fstream>
#include <stdexcept>

#include "swfwriter/SwfWriter.h"

namespace zd::swfwriter {

namespace {

enum Code : std::uint16_t {
    kEnd = 0,
    kShowFrame = 1,
    kDefineShape = 2,
    kSetBackgroundColor = 9,
    kDefineShape2 = 22,
    kPlaceObject2 = 26,
    kRemoveObject2 = 28,
    kDefineShape3 = 32,
    kDefineSprite = 39,
    kFrameLabel = 43,
    kPlaceObject3 = 70,
    kDefineShape4 = 83,
};

void appendTag(Bytes& out, std::uint16_t code, std::span<const std::uint8_t> body,
               bool longHeader) {
    if (code > 0x3ff) {
        throw std::invalid_argument("tag code above 1023");
    }
    BitWriter w;
    if (!longHeader && body.size() < 0x3f) {
        w.u16(static_cast<std::uint16_t>(code << 6 | body.size()));
    } else {
        if (body.size() > 0x7fffffff) {
            throw std::invalid_argument("tag body too long");
        }
        w.u16(static_cast<std::uint16_t>(code << 6 | 0x3f));
        w.u32(static_cast<std::uint32_t>(body.size()));
    }
    w.bytes(body);
    out.insert(out.end(), w.data().begin(), w.data().end());
}

void writePlaceCommon(BitWriter& w, const PlaceObject& p) {
    if (p.characterId) {
        w.u16(*p.characterId);
    }
    if (p.matrix) {
        writeMatrix(w, *p.matrix);
    }
    if (p.colorTransform) {
        writeColorTransform(w, *p.colorTransform, true);
    }
    if (p.ratio) {
        w.u16(*p.ratio);
    }
    if (p.name) {
        w.cstring(*p.name);
    }
    if (p.clipDepth) {
        w.u16(*p.clipDepth);
    }
}

std::uint8_t placeFlags(const PlaceObject& p) {
    return static_cast<std::uint8_t>((p.clipDepth ? 0x40 : 0) | (p.name ? 0x20 : 0) |
                                     (p.ratio ? 0x10 : 0) | (p.colorTransform ? 0x08 : 0) |
                                     (p.matrix ? 0x04 : 0) | (p.characterId ? 0x02 : 0) |
                                     (p.move ? 0x01 : 0));
}

Bytes zlibCompress(std::span<const std::uint8_t> in) {
    uLongf size = compressBound(static_cast<uLong>(in.size()));
    Bytes out(size);
    if (compress2(out.data(), &size, in.data(), static_cast<uLong>(in.size()), 9) != Z_OK) {
        throw std::runtime_error("zlib compression failed");
    }
    out.resize(size);
    return out;
}

// LZMA as ZWS stores it: the 5 properties bytes, then the raw stream (with its end marker).
Bytes lzmaCompress(std::span<const std::uint8_t> in) {
    lzma_options_lzma options;
    if (lzma_lzma_preset(&options, 6)) {
        throw std::runtime_error("LZMA preset unavailable");
    }
    lzma_stream s = LZMA_STREAM_INIT;
    if (lzma_alone_encoder(&s, &options) != LZMA_OK) {
        throw std::runtime_error("LZMA encoder unavailable");
    }
    Bytes out(in.size() + in.size() / 2 + 4096);
    s.next_in = in.data();
    s.avail_in = in.size();
    s.next_out = out.data();
    s.avail_out = out.size();
    lzma_ret r = LZMA_OK;
    while (r == LZMA_OK) {
        if (s.avail_out == 0) {
            const std::size_t used = out.size();
            out.resize(used * 2);
            s.next_out = out.data() + used;
            s.avail_out = out.size() - used;
        }
        r = lzma_code(&s, LZMA_FINISH);
    }
    const std::size_t produced = out.size() - s.avail_out;
    lzma_end(&s);
    if (r != LZMA_STREAM_END || produced < 13) {
        throw std::runtime_error("LZMA compression failed");
    }
    // Drop the .lzma container's 8-byte uncompressed size after the properties.
    Bytes result(out.begin(), out.begin() + 5);
    result.insert(result.end(), out.begin() + 13, out.begin() + static_cast<long>(produced));
    return result;
}

}  // namespace

PlaceObject PlaceObject::place(std::uint16_t depth, std::uint16_t characterId,
                               std::optional<Matrix> matrix) {
    PlaceObject p;
    p.depth = depth;
    p.characterId = characterId;
    p.matrix = matrix;
    return p;
}

PlaceObject PlaceObject::modify(std::uint16_t depth, std::optional<Matrix> matrix) {
    PlaceObject p;
    p.depth = depth;
    p.move = true;
    p.matrix = matrix;
    return p;
}

void Timeline::rawTag(std::uint16_t code, std::span<const std::uint8_t> body, bool longHeader) {
    appendTag(tags_, code, body, longHeader);
    if (code == kShowFrame) {
        ++frames_;
    } else if (code == kEnd) {
        ended_ = true;
    }
}

void Timeline::showFrame() {
    rawTag(kShowFrame, {});
}

void Timeline::frameLabel(const std::string& name, bool namedAnchor) {
    BitWriter w;
    w.cstring(name);
    if (namedAnchor) {
        w.u8(1);
    }
    rawTag(kFrameLabel, w.data());
}

void Timeline::placeObject2(const PlaceObject& p) {
    BitWriter w;
    w.u8(placeFlags(p));
    w.u16(p.depth);
    writePlaceCommon(w, p);
    rawTag(kPlaceObject2, w.data());
}

void Timeline::placeObject3(const PlaceObject& p) {
    BitWriter w;
    w.u8(placeFlags(p));
    w.u8(static_cast<std::uint8_t>((p.className ? 0x08 : 0) | (p.cacheAsBitmap ? 0x04 : 0) |
                                   (p.blendMode ? 0x02 : 0) | (p.filterList ? 0x01 : 0)));
    w.u16(p.depth);
    if (p.className) {
        w.cstring(*p.className);
    }
    writePlaceCommon(w, p);
    if (p.filterList) {
        w.bytes(*p.filterList);
    }
    if (p.blendMode) {
        w.u8(*p.blendMode);
    }
    if (p.cacheAsBitmap) {
        w.u8(*p.cacheAsBitmap ? 1 : 0);
    }
    rawTag(kPlaceObject3, w.data());
}

void Timeline::removeObject2(std::uint16_t depth) {
    BitWriter w;
    w.u16(depth);
    rawTag(kRemoveObject2, w.data());
}

void Timeline::end() {
    rawTag(kEnd, {});
}

MovieWriter::MovieWriter(std::uint8_t version, const Rect& frameSize, double frameRate)
    : version_(version), frameSize_(frameSize), frameRate_(frameRate) {}

void MovieWriter::setBackgroundColor(Rgba color) {
    BitWriter w;
    writeRgb(w, color);
    rawTag(kSetBackgroundColor, w.data());
}

std::uint16_t MovieWriter::defineShape(const ShapeBuilder& shape, int shapeVersion,
                                       std::optional<std::uint16_t> id, bool longHeader) {
    static constexpr std::uint16_t kCodes[] = {kDefineShape, kDefineShape2, kDefineShape3,
                                               kDefineShape4};
    if (shapeVersion < 1 || shapeVersion > 4) {
        throw std::invalid_argument("shape version must be 1 to 4");
    }
    const std::uint16_t shapeId = id ? *id : nextCharacterId();
    BitWriter w;
    w.u16(shapeId);
    writeRect(w, shape.bounds());
    if (shapeVersion == 4) {
        writeRect(w, shape.edgeBounds());
        w.ub(0, 5);
        w.flag(false);  // fill winding rule
        w.flag(shape.usesNonScalingStrokes());
        w.flag(shape.usesScalingStrokes());
    }
    w.bytes(shape.encode(shapeVersion));
    rawTag(kCodes[shapeVersion - 1], w.data(), longHeader);
    return shapeId;
}

std::uint16_t MovieWriter::defineSprite(const Timeline& sprite, std::optional<std::uint16_t> id) {
    const std::uint16_t spriteId = id ? *id : nextCharacterId();
    BitWriter w;
    w.u16(spriteId);
    w.u16(static_cast<std::uint16_t>(sprite.frameCount()));
    w.bytes(sprite.tags());
    if (!sprite.ended()) {
        w.u16(0);  // End
    }
    rawTag(kDefineSprite, w.data());
    return spriteId;
}

Bytes MovieWriter::finish(const Output& output) const {
    BitWriter w;
    w.u8('F');
    w.u8('W');
    w.u8('S');
    w.u8(version_);
    w.u32(0);  // file length, filled in below
    writeRect(w, frameSize_);
    w.u16(static_cast<std::uint16_t>(std::lround(frameRate_ * 256.0)));
    w.u16(output.frameCount ? *output.frameCount : static_cast<std::uint16_t>(frameCount()));
    Bytes file = w.data();
    file.insert(file.end(), tags().begin(), tags().end());
    if (output.endTag && !ended()) {
        file.push_back(0);
        file.push_back(0);
    }
    const std::uint32_t length =
        output.fileLength ? *output.fileLength : static_cast<std::uint32_t>(file.size());
    for (int i = 0; i < 4; ++i) {
        file[4 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(length >> (8 * i));
    }
    return compressMovie(file, output.compression);
}

bool MovieWriter::save(const std::string& path, const Output& output) const {
    const Bytes file = finish(output);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(file.data()),
              static_cast<std::streamsize>(file.size()));
    out.close();
    return static_cast<bool>(out);
}

Bytes compressMovie(std::span<const std::uint8_t> fws, Compression compression) {
    if (fws.size() < 8) {
        throw std::invalid_argument("a movie has at least 8 header bytes");
    }
    if (compression == Compression::None) {
        return Bytes(fws.begin(), fws.end());
    }
    const auto body = fws.subspan(8);
    Bytes out;
    out.reserve(fws.size() + 64);
    out.assign(fws.begin(), fws.begin() + 8);
    switch (compression) {
        case Compression::None:
            break;
        case Compression::Zlib: {
            out[0] = 'C';
            const Bytes packed = zlibCompress(body);
            out.insert(out.end(), packed.begin(), packed.end());
            break;
        }
        case Compression::Lzma: {
            out[0] = 'Z';
            const Bytes packed = lzmaCompress(body);
            const auto streamLength = static_cast<std::uint32_t>(packed.size() - 5);
            for (int i = 0; i < 4; ++i) {
                out.push_back(static_cast<std::uint8_t>(streamLength >> (8 * i)));
            }
            out.insert(out.end(), packed.begin(), packed.end());
            break;
        }
    }
    return out;
}

}  // namespace zd::swfwriter
