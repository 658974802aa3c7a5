#include "engine/swf/MovieStream.h"

#include <lzma.h>
#define ZLIB_CONST
#include <zlib.h>

#include <algorithm>
#include <cstring>

namespace zd::engine {

namespace {

constexpr std::size_t kFixedHeader = 8;  // signature, version, file length
constexpr std::size_t kLzmaPrefix = 17;  // ... compressed length, 5 properties bytes
constexpr std::size_t kOutputChunk = 64 * 1024;
constexpr std::uint64_t kLzmaMemoryLimit = std::uint64_t{320} << 20;

}  // namespace

// zlib or LZMA state; writes into the stream's data up to its bound.
struct MovieStream::Decoder {
    enum class Result { NeedMore, Ended, Damaged };

    virtual ~Decoder() = default;
    virtual Result feed(std::span<const std::uint8_t> in, std::vector<std::uint8_t>& out,
                        std::size_t bound) = 0;
    // The source has ended: let the decoder give out what it still holds.
    virtual void flush(std::vector<std::uint8_t>&, std::size_t) {}
};

namespace {

// Runs code() over `in` until the input is used up, the bound is reached or the stream ends.
template <typename Stream, typename Code>
MovieStream::Decoder::Result pump(Stream& s, std::span<const std::uint8_t> in,
                                  std::vector<std::uint8_t>& out, std::size_t bound, Code code) {
    using Result = MovieStream::Decoder::Result;
    s.next_in = in.data();
    s.avail_in = static_cast<decltype(s.avail_in)>(in.size());
    for (;;) {
        if (out.size() >= bound) {
            return Result::Ended;
        }
        const std::size_t before = out.size();
        const std::size_t room = std::min(kOutputChunk, bound - before);
        const auto inBefore = s.avail_in;
        out.resize(before + room);
        s.next_out = out.data() + before;
        s.avail_out = static_cast<decltype(s.avail_out)>(room);
        const Result r = code();
        const std::size_t produced = room - s.avail_out;
        out.resize(before + produced);
        if (r != Result::NeedMore) {
            return r;
        }
        if (s.avail_in == 0 && s.avail_out > 0) {
            return Result::NeedMore;  // input used up, output drained
        }
        if (produced == 0 && s.avail_in == inBefore) {
            return s.avail_in == 0 ? Result::NeedMore : Result::Damaged;  // stuck
        }
    }
}

class ZlibDecoder final : public MovieStream::Decoder {
  public:
    ZlibDecoder() { ok_ = inflateInit(&z_) == Z_OK; }
    ~ZlibDecoder() override {
        if (ok_) {
            inflateEnd(&z_);
        }
    }

    Result feed(std::span<const std::uint8_t> in, std::vector<std::uint8_t>& out,
                std::size_t bound) override {
        if (!ok_) {
            return Result::Damaged;
        }
        return pump(z_, in, out, bound, [this] {
            const int r = inflate(&z_, Z_NO_FLUSH);
            if (r == Z_STREAM_END) {
                return Result::Ended;
            }
            if (r == Z_OK || r == Z_BUF_ERROR) {
                return Result::NeedMore;
            }
            return Result::Damaged;
        });
    }

  private:
    z_stream z_{};
    bool ok_ = false;
};

class LzmaDecoder final : public MovieStream::Decoder {
  public:
    // props: the 5 LZMA properties bytes of the file; bound: the most output there can be.
    LzmaDecoder(std::span<const std::uint8_t> props, std::size_t bound) {
        ok_ = lzma_alone_decoder(&s_, kLzmaMemoryLimit) == LZMA_OK;
        // The decoder expects the .lzma container: properties, dictionary size, uncompressed
        // size (unknown here). A dictionary larger than the whole output is never used, so it
        // is cut to the output bound; a hostile size then cannot claim memory.
        std::uint32_t dict = 0;
        for (std::size_t i = 0; i < 4; ++i) {
            dict |= std::uint32_t{props[1 + i]} << (8 * i);
        }
        const std::size_t maxDict = std::max<std::size_t>(4096, bound);
        if (dict > maxDict) {
            dict = static_cast<std::uint32_t>(maxDict);
        }
        head_.push_back(props[0]);
        for (int i = 0; i < 4; ++i) {
            head_.push_back(static_cast<std::uint8_t>(dict >> (8 * i)));
        }
        head_.insert(head_.end(), 8, 0xff);
    }
    ~LzmaDecoder() override { lzma_end(&s_); }

    Result feed(std::span<const std::uint8_t> in, std::vector<std::uint8_t>& out,
                std::size_t bound) override {
        if (!ok_) {
            return Result::Damaged;
        }
        if (!head_.empty()) {
            std::vector<std::uint8_t> first = std::move(head_);
            head_.clear();
            first.insert(first.end(), in.begin(), in.end());
            return pump(s_, first, out, bound, [this] { return step(LZMA_RUN); });
        }
        return pump(s_, in, out, bound, [this] { return step(LZMA_RUN); });
    }

    void flush(std::vector<std::uint8_t>& out, std::size_t bound) override {
        if (ok_ && head_.empty() && out.size() < bound) {
            pump(s_, {}, out, bound, [this] { return step(LZMA_FINISH); });
        }
    }

  private:
    Result step(lzma_action action) {
        const lzma_ret r = lzma_code(&s_, action);
        if (r == LZMA_STREAM_END) {
            return Result::Ended;
        }
        if (r == LZMA_OK || r == LZMA_BUF_ERROR) {
            return Result::NeedMore;
        }
        return Result::Damaged;
    }

    lzma_stream s_ = LZMA_STREAM_INIT;
    std::vector<std::uint8_t> head_;
    bool ok_ = false;
};

}  // namespace

MovieStream::MovieStream(std::size_t limit) : limit_(std::max(limit, kMinHeaderSize)) {}

MovieStream::~MovieStream() = default;

int MovieStream::percentLoaded() const {
    if (failed_) {
        return 0;
    }
    if (complete_) {
        return 100;
    }
    if (fileLength_ == 0) {
        return 0;
    }
    const auto percent = static_cast<std::uint64_t>(data_.size()) * 100 / fileLength_;
    return static_cast<int>(std::min<std::uint64_t>(percent, 99));
}

void MovieStream::fail(std::string why) {
    failed_ = true;
    complete_ = false;
    problem_ = std::move(why);
    decoder_.reset();
    prefix_.clear();
    prefix_.shrink_to_fit();
}

void MovieStream::stop(std::string why) {
    complete_ = true;
    if (problem_.empty()) {
        problem_ = std::move(why);
    }
    decoder_.reset();
    prefix_.clear();
    prefix_.shrink_to_fit();
}

void MovieStream::append(std::span<const std::uint8_t> bytes) {
    if (failed_ || complete_ || bytes.empty()) {
        return;
    }
    if (!started_) {
        // Collect the fixed part (and the LZMA properties) before decoding can begin.
        const std::size_t need = compression_ == Compression::Lzma ? kLzmaPrefix : kFixedHeader;
        const std::size_t take = std::min(bytes.size(), need - prefix_.size());
        prefix_.insert(prefix_.end(), bytes.begin(), bytes.begin() + static_cast<long>(take));
        bytes = bytes.subspan(take);
        if (!compression_) {
            Compression c;
            const ParseStatus sig = checkSignature(prefix_, &c);
            if (sig == ParseStatus::Invalid) {
                fail("not a SWF movie");
                return;
            }
            if (sig == ParseStatus::Ok) {
                compression_ = c;
            }
        }
        if (prefix_.size() >= kFixedHeader && bound_ == 0) {
            fileLength_ = std::uint32_t{prefix_[4]} | std::uint32_t{prefix_[5]} << 8 |
                          std::uint32_t{prefix_[6]} << 16 | std::uint32_t{prefix_[7]} << 24;
            if (fileLength_ < kMinHeaderSize) {
                fail("the file length field is smaller than a movie header");
                return;
            }
            bound_ = static_cast<std::size_t>(std::min<std::uint64_t>(fileLength_, limit_));
        }
        if (compression_ == Compression::Lzma && prefix_.size() < kLzmaPrefix) {
            if (!bytes.empty()) {
                append(bytes);  // the rest of the properties may be in this chunk
            }
            return;
        }
        if (prefix_.size() < kFixedHeader) {
            return;
        }
        start();
    }
    decode(bytes);
}

void MovieStream::start() {
    started_ = true;
    data_.assign(prefix_.begin(), prefix_.begin() + kFixedHeader);
    if (compression_ == Compression::Zlib) {
        decoder_ = std::make_unique<ZlibDecoder>();
    } else if (compression_ == Compression::Lzma) {
        decoder_ = std::make_unique<LzmaDecoder>(
            std::span<const std::uint8_t>(prefix_).subspan(12, 5), bound_ - kFixedHeader);
    }
    prefix_.clear();
    prefix_.shrink_to_fit();
}

void MovieStream::decode(std::span<const std::uint8_t> bytes) {
    if (!decoder_) {
        const std::size_t take = std::min(bytes.size(), bound_ - data_.size());
        data_.insert(data_.end(), bytes.begin(), bytes.begin() + static_cast<long>(take));
        afterDecode();
        return;
    }
    if (!bytes.empty()) {
        switch (decoder_->feed(bytes, data_, bound_)) {
            case Decoder::Result::NeedMore:
                break;
            case Decoder::Result::Ended:
                stop();
                break;
            case Decoder::Result::Damaged:
                stop("the compressed data is damaged");
                break;
        }
    }
    afterDecode();
}

void MovieStream::afterDecode() {
    if (failed_) {
        return;
    }
    if (data_.size() >= bound_ && started_) {
        stop();
    }
    if (!header_) {
        MovieHeader h;
        switch (parseMovieHeader(data_, h)) {
            case ParseStatus::Ok:
                if (h.size > fileLength_) {
                    fail("the file length field is smaller than the movie header");
                    return;
                }
                header_ = h;
                break;
            case ParseStatus::Invalid:
                fail("not a SWF movie");
                return;
            case ParseStatus::NeedMore:
                break;
        }
    }
    if (complete_ && !header_) {
        fail(data_.size() >= fileLength_ ? "the file length field is smaller than the movie header"
                                         : "the movie ends before its header is complete");
    }
}

void MovieStream::finish() {
    if (failed_ || complete_) {
        return;
    }
    if (!started_) {
        fail(prefix_.empty() ? "the file is empty"
                             : "the movie ends before its header is complete");
        return;
    }
    if (decoder_) {
        decoder_->flush(data_, bound_);
    }
    stop();
    afterDecode();
}

}  // namespace zd::engine
