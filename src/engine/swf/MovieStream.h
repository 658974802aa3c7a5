#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/swf/MovieHeader.h"

namespace zd::engine {

// No movie is decoded beyond this many bytes, whatever its length field claims.
inline constexpr std::size_t kMaxMovieBytes = std::size_t{256} << 20;

// Turns the bytes of a movie file, as they arrive, into the uncompressed file (FWS as is, CWS
// inflated, ZWS through LZMA). Decoding stops at the header's file length (and at the limit),
// so a lying header cannot make it grow without end; a stream that ends early keeps what
// arrived. Not a movie, or too short for its header once the source ends: failed().
class MovieStream {
  public:
    explicit MovieStream(std::size_t limit = kMaxMovieBytes);
    ~MovieStream();
    MovieStream(const MovieStream&) = delete;
    MovieStream& operator=(const MovieStream&) = delete;

    // Bytes of the file, in order, in chunks of any size. Ignored once failed or complete.
    void append(std::span<const std::uint8_t> bytes);
    // The source has ended: what arrived is all there is.
    void finish();

    bool failed() const { return failed_; }
    // Why it failed, or why decoding stopped early (damaged compressed data); else empty.
    const std::string& problem() const { return problem_; }
    // Nothing more will be decoded: the file length was reached, the compressed stream ended,
    // it was damaged, or the source ended. Never true together with failed().
    bool complete() const { return complete_ && !failed_; }

    // Set once the whole header has been decoded.
    const std::optional<MovieHeader>& header() const { return header_; }
    // The uncompressed file so far, header included. Invalidated by append().
    std::span<const std::uint8_t> data() const { return data_; }
    // The most data() will ever hold: the file length field, capped by the limit.
    std::size_t bound() const { return bound_; }
    // 0 to 99 while loading, 100 once complete; 0 when failed.
    int percentLoaded() const;

    struct Decoder;  // zlib or LZMA state, defined with the implementation

  private:
    void start();
    void decode(std::span<const std::uint8_t> bytes);
    void afterDecode();
    void fail(std::string why);
    void stop(std::string why = {});

    std::size_t limit_;
    std::vector<std::uint8_t> prefix_;  // raw bytes before decoding can start
    std::vector<std::uint8_t> data_;
    std::optional<Compression> compression_;
    std::optional<MovieHeader> header_;
    std::uint32_t fileLength_ = 0;
    std::size_t bound_ = 0;
    std::unique_ptr<Decoder> decoder_;
    bool started_ = false;
    bool complete_ = false;
    bool failed_ = false;
    std::string problem_;
};

}  // namespace zd::engine
