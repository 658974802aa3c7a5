#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace zd::engine {

// One text frame of an MP3 file's ID3 tag: its four-letter id (TIT2, TPE1, COMM, ...) and its
// text as UTF-8.
struct Id3Frame {
    std::string id;
    std::string text;
};

// The text frames (T... but TXXX, and COMM) of the ID3v2 tag that starts the file, in file
// order; without one, those an ID3v1 tag at its end gives (as TIT2, TPE1, TALB, TYER, COMM,
// TRCK and TCON). Empty when there is no tag. Damaged frames end the list.
std::vector<Id3Frame> readId3(std::span<const std::uint8_t> file);
// The bytes the ID3v2 tag starting the file takes, header included (nullopt: the file does
// not start with one, or not enough of it is there to say): a file arriving piece by piece
// can have its tag read once that many bytes are in.
std::optional<std::size_t> id3Version2Size(std::span<const std::uint8_t> file);

}  // namespace zd::engine
