#include "engine/swf/MovieData.h"

namespace zd::engine {

std::unique_ptr<MovieData> MovieData::fromBytes(std::span<const std::uint8_t> file,
                                                std::size_t limit) {
    auto movie = std::make_unique<MovieData>(limit);
    movie->append(file);
    movie->finish();
    return movie;
}

void MovieData::append(std::span<const std::uint8_t> bytes) {
    stream_.append(bytes);
    index();
}

void MovieData::finish() {
    stream_.finish();
    index();
}

void MovieData::index() {
    const MovieHeader* h = header();
    if (h == nullptr) {
        return;
    }
    if (!indexing_) {
        timeline_ = TimelineIndex(h->size);
        indexing_ = true;
    }
    timeline_.update(stream_.data(), stream_.bound(), stream_.complete());
}

}  // namespace zd::engine
