#include "engine/swf/MovieHeader.h"

#include <algorithm>

#include "engine/swf/ByteReader.h"

namespace zd::engine {

std::string MovieHeader::signature() const {
    switch (compression) {
        case Compression::Zlib:
            return "CWS";
        case Compression::Lzma:
            return "ZWS";
        case Compression::None:
            break;
    }
    return "FWS";
}

ParseStatus checkSignature(std::span<const std::uint8_t> prefix, Compression* compression) {
    if (prefix.empty()) {
        return ParseStatus::NeedMore;
    }
    Compression c;
    switch (prefix[0]) {
        case 'F':
            c = Compression::None;
            break;
        case 'C':
            c = Compression::Zlib;
            break;
        case 'Z':
            c = Compression::Lzma;
            break;
        default:
            return ParseStatus::Invalid;
    }
    if ((prefix.size() > 1 && prefix[1] != 'W') || (prefix.size() > 2 && prefix[2] != 'S')) {
        return ParseStatus::Invalid;
    }
    if (prefix.size() < 3) {
        return ParseStatus::NeedMore;
    }
    if (compression != nullptr) {
        *compression = c;
    }
    return ParseStatus::Ok;
}

ParseStatus parseMovieHeader(std::span<const std::uint8_t> file, MovieHeader& out) {
    Compression compression = Compression::None;
    const ParseStatus sig =
        checkSignature(file.first(std::min<std::size_t>(3, file.size())), &compression);
    if (sig != ParseStatus::Ok) {
        return sig;
    }
    ByteReader in(file);
    in.skip(3);
    MovieHeader h;
    h.compression = compression;
    h.version = in.u8();
    h.fileLength = in.u32();
    h.frameSize = readRect(in);
    h.frameRateFixed = in.u16();
    h.frameCount = in.u16();
    if (!in.ok()) {
        return ParseStatus::NeedMore;
    }
    h.size = in.position();
    out = h;
    return ParseStatus::Ok;
}

}  // namespace zd::engine
