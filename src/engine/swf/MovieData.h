#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "engine/swf/MovieHeader.h"
#include "engine/swf/MovieStream.h"
#include "engine/swf/TimelineIndex.h"

namespace zd::engine {

// A movie as far as it has arrived: the uncompressed file and the index of its root timeline.
// Feed it the file's bytes in any chunks; everything it reports stays consistent as it grows.
class MovieData {
  public:
    explicit MovieData(std::size_t limit = kMaxMovieBytes) : stream_(limit) {}

    // Reads a whole movie held in memory.
    static std::unique_ptr<MovieData> fromBytes(std::span<const std::uint8_t> file,
                                                std::size_t limit = kMaxMovieBytes);

    void append(std::span<const std::uint8_t> bytes);
    void finish();

    bool failed() const { return stream_.failed(); }
    const std::string& problem() const { return stream_.problem(); }
    bool complete() const { return stream_.complete(); }
    // The header, once it has arrived whole: from then on this is a loadable movie.
    const MovieHeader* header() const { return stream_.header() ? &*stream_.header() : nullptr; }
    int percentLoaded() const { return stream_.percentLoaded(); }
    std::span<const std::uint8_t> data() const { return stream_.data(); }
    const TimelineIndex& timeline() const { return timeline_; }
    // Root frames whose tags have all arrived.
    std::uint64_t framesLoaded() const { return timeline_.showFrameCount(); }

  private:
    void index();

    MovieStream stream_;
    TimelineIndex timeline_;
    bool indexing_ = false;
};

}  // namespace zd::engine
