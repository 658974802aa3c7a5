#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace zd::engine {

// The MPEG audio (Layer III) frames of an MP3 file, found by their headers alone.
struct Mp3Info {
    int rate = 0;
    int channels = 0;
    std::uint64_t samples = 0;  // per channel, over all whole frames
    std::size_t begin = 0;      // the first frame
    std::size_t end = 0;        // after the last whole frame
    std::size_t frames = 0;
};

// Skips an ID3v2 tag and any bytes before the first frame (within a bound); stops at the first
// bytes that are no frame (an ID3v1 tag, junk, a frame cut short). Nothing when no two frames
// follow each other (or one frame fills the file): the bytes are no MP3.
std::optional<Mp3Info> scanMp3(std::span<const std::uint8_t> file);

// A DefineSound body (character id 0) carrying the frames scanMp3 found, to play them as a
// movie's own sound.
std::vector<std::uint8_t> mp3DefineSound(const Mp3Info& info, std::span<const std::uint8_t> file);

}  // namespace zd::engine
