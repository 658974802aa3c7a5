#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "engine/swf/Records.h"

namespace zd::engine {

enum class Compression { None, Zlib, Lzma };  // FWS, CWS, ZWS

struct MovieHeader {
    Compression compression = Compression::None;
    std::uint8_t version = 0;
    std::uint32_t fileLength = 0;      // the length field: the whole file once uncompressed
    Rect frameSize;                    // the stage, in twips
    std::uint16_t frameRateFixed = 0;  // 8.8 frames per second
    std::uint16_t frameCount = 0;
    std::size_t size = 0;  // bytes of the header; the first tag starts here

    std::string signature() const;
    double frameRate() const { return frameRateFixed / 256.0; }
};

enum class ParseStatus { Ok, NeedMore, Invalid };

// Smallest possible header: 8 fixed bytes, a 5-bit empty RECT, rate and count.
inline constexpr std::size_t kMinHeaderSize = 13;

// Looks at the first bytes of a file (any number, even fewer than three).
ParseStatus checkSignature(std::span<const std::uint8_t> prefix, Compression* compression);

// Parses the header at the start of the uncompressed file (its first 8 bytes as stored).
ParseStatus parseMovieHeader(std::span<const std::uint8_t> file, MovieHeader& out);

}  // namespace zd::engine
