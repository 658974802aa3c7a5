#include <gtest/gtest.h>

#include <random>

#include "TestSupport.h"
#include "engine/swf/MovieData.h"
#include "engine/swf/MovieStream.h"

using namespace zd::engine;
using Packing = zd::swfwriter::Compression;
using zd::test::Bytes;
using zd::test::MovieSpec;

namespace {

constexpr Packing kAll[] = {Packing::None, Packing::Zlib, Packing::Lzma};

const char* name(Packing c) {
    return c == Packing::None ? "FWS" : c == Packing::Zlib ? "CWS" : "ZWS";
}

Bytes withLengthField(Bytes file, std::uint32_t length) {
    for (int i = 0; i < 4; ++i) {
        file[4 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(length >> (8 * i));
    }
    return file;
}

}  // namespace

TEST(MovieStream, ParsesTheHeaderOfEachCompression) {
    MovieSpec spec;
    spec.frames = 7;
    spec.version = 13;
    spec.stage = {0, 12345, 0, 6789};
    spec.frameRate = 29.97;
    const Bytes plain = zd::test::movieBytes(spec);
    for (const Packing c : kAll) {
        SCOPED_TRACE(name(c));
        const auto movie = MovieData::fromBytes(zd::test::movieBytes(spec, c));
        ASSERT_FALSE(movie->failed()) << movie->problem();
        const MovieHeader* h = movie->header();
        ASSERT_NE(h, nullptr);
        EXPECT_EQ(h->signature(), name(c));
        EXPECT_EQ(h->version, 13);
        EXPECT_EQ(h->fileLength, plain.size());
        EXPECT_EQ(h->frameSize, (Rect{0, 12345, 0, 6789}));
        EXPECT_EQ(h->frameRateFixed, 7672);  // 29.97 in 8.8
        EXPECT_EQ(h->frameCount, 7);
        EXPECT_TRUE(movie->complete());
        EXPECT_EQ(movie->percentLoaded(), 100);
        EXPECT_EQ(movie->data().size(), plain.size());
        EXPECT_EQ(movie->framesLoaded(), 7u);
        EXPECT_EQ(movie->timeline().state(), TimelineIndex::State::Ended);
    }
}

// Feeding one byte at a time must give what feeding the whole file gives, and the header and
// frames must turn up as soon as their bytes are decoded (before the source ends).
TEST(MovieStream, ByteAtATimeMatchesWholeFile) {
    MovieSpec spec;
    spec.frames = 5;
    spec.paddingPerFrame = 300;
    for (const Packing c : kAll) {
        SCOPED_TRACE(name(c));
        const Bytes file = zd::test::movieBytes(spec, c);
        const auto whole = MovieData::fromBytes(file);
        MovieData trickle;
        std::size_t headerAt = 0;
        std::uint64_t framesSeen = 0;
        bool framesNeverDropped = true;
        for (std::size_t i = 0; i < file.size(); ++i) {
            trickle.append(std::span(file).subspan(i, 1));
            if (headerAt == 0 && trickle.header() != nullptr) {
                headerAt = i + 1;
            }
            framesNeverDropped = framesNeverDropped && trickle.framesLoaded() >= framesSeen;
            framesSeen = trickle.framesLoaded();
            if (i + 1 < file.size() / 2) {
                EXPECT_LT(trickle.percentLoaded(), 100);
            }
        }
        EXPECT_TRUE(framesNeverDropped);
        // The whole movie is decoded before the source is even declared finished.
        EXPECT_EQ(trickle.framesLoaded(), 5u);
        EXPECT_TRUE(trickle.complete());
        trickle.finish();
        ASSERT_GT(headerAt, 0u);
        EXPECT_LT(headerAt, file.size());
        EXPECT_TRUE(std::equal(trickle.data().begin(), trickle.data().end(), whole->data().begin(),
                               whole->data().end()));
        EXPECT_EQ(trickle.percentLoaded(), 100);
    }
}

// A movie cut off at every possible byte: never a crash or a hang; before the header is whole
// it is not a movie, after that it is a movie with the frames that arrived.
TEST(MovieStream, TruncatedAtEveryOffset) {
    MovieSpec spec;
    spec.frames = 4;
    for (const Packing c : kAll) {
        SCOPED_TRACE(name(c));
        const Bytes file = zd::test::movieBytes(spec, c);
        const auto whole = MovieData::fromBytes(file);
        const std::size_t headerEnd = whole->header()->size;
        std::uint64_t lastFrames = 0;
        bool monotonic = true;
        for (std::size_t cut = 0; cut < file.size(); ++cut) {
            const auto part = MovieData::fromBytes(std::span(file).first(cut));
            if (part->header() == nullptr) {
                EXPECT_TRUE(part->failed()) << "cut at " << cut;
                EXPECT_FALSE(part->complete());
                EXPECT_FALSE(part->problem().empty());
                EXPECT_EQ(part->percentLoaded(), 0);
                continue;
            }
            EXPECT_FALSE(part->failed());
            EXPECT_TRUE(part->complete());
            EXPECT_EQ(part->percentLoaded(), 100);
            EXPECT_LE(part->data().size(), whole->data().size());
            EXPECT_LE(part->framesLoaded(), 4u);
            EXPECT_NE(part->timeline().state(), TimelineIndex::State::Scanning);
            monotonic = monotonic && part->framesLoaded() >= lastFrames;
            lastFrames = part->framesLoaded();
            // Uncompressed, the header is usable exactly when its bytes are there.
            if (c == Packing::None) {
                EXPECT_GE(cut, headerEnd);
            }
        }
        EXPECT_TRUE(monotonic);
        if (c == Packing::None) {
            // The last cut before the end lacks only the End tag's last byte.
            const auto almost = MovieData::fromBytes(std::span(file).first(file.size() - 1));
            EXPECT_EQ(almost->framesLoaded(), 4u);
            EXPECT_EQ(almost->timeline().state(), TimelineIndex::State::Truncated);
        }
    }
}

TEST(MovieStream, NotAMovie) {
    const std::vector<std::string> inputs = {
        "",
        "F",
        "FW",
        "GIF89a....",
        "<html><body>Not found</body></html>",
        "FWX\x0a\x20\x00\x00\x00",
        "CWT\x0a\x20\x00\x00\x00",
    };
    for (const std::string& s : inputs) {
        SCOPED_TRACE(s);
        MovieData movie;
        movie.append({reinterpret_cast<const std::uint8_t*>(s.data()), s.size()});
        movie.finish();
        EXPECT_TRUE(movie.failed());
        EXPECT_EQ(movie.header(), nullptr);
        EXPECT_FALSE(movie.problem().empty());
    }
}

TEST(MovieStream, RejectsAWrongSignatureAtOnce) {
    // The first byte decides; no more data is waited for.
    MovieData movie;
    const std::uint8_t x = 'X';
    movie.append({&x, 1});
    EXPECT_TRUE(movie.failed());
}

TEST(MovieStream, LengthFieldSmallerThanTheFile) {
    MovieSpec spec;
    spec.frames = 6;
    spec.paddingPerFrame = 100;
    const Bytes plain = zd::test::movieBytes(spec);
    // Claim only the header and about half of the tags.
    const auto length = static_cast<std::uint32_t>(plain.size() / 2);
    const Bytes lying = withLengthField(plain, length);
    for (const Packing c : kAll) {
        SCOPED_TRACE(name(c));
        const auto movie = MovieData::fromBytes(zd::swfwriter::compressMovie(lying, c));
        ASSERT_NE(movie->header(), nullptr) << movie->problem();
        EXPECT_EQ(movie->data().size(), length);  // nothing decoded beyond the field
        EXPECT_TRUE(movie->complete());
        EXPECT_GT(movie->framesLoaded(), 0u);
        EXPECT_LT(movie->framesLoaded(), 6u);
        EXPECT_EQ(movie->timeline().state(), TimelineIndex::State::Truncated);
    }
}

TEST(MovieStream, LengthFieldSmallerThanTheHeader) {
    const Bytes plain = zd::test::movieBytes(MovieSpec{});
    for (const std::uint32_t length : {0u, 8u, 12u, 14u}) {
        for (const Packing c : kAll) {
            SCOPED_TRACE(std::to_string(length) + name(c));
            const auto movie = MovieData::fromBytes(
                zd::swfwriter::compressMovie(withLengthField(plain, length), c));
            EXPECT_TRUE(movie->failed());
            EXPECT_EQ(movie->header(), nullptr);
        }
    }
}

TEST(MovieStream, LengthFieldLargerThanTheFile) {
    MovieSpec spec;
    spec.frames = 3;
    const Bytes plain = zd::test::movieBytes(spec);
    for (const std::uint32_t length : {static_cast<std::uint32_t>(plain.size() * 2), 0xffffffffu}) {
        for (const Packing c : kAll) {
            SCOPED_TRACE(std::to_string(length) + name(c));
            MovieData movie;
            const Bytes file = zd::swfwriter::compressMovie(withLengthField(plain, length), c);
            movie.append(file);
            ASSERT_NE(movie.header(), nullptr) << movie.problem();
            EXPECT_EQ(movie.framesLoaded(), 3u);
            if (c == Packing::None) {
                // All there, but the length field promises more: still loading.
                EXPECT_FALSE(movie.complete());
                EXPECT_LT(movie.percentLoaded(), 100);
            } else {
                // The end of the compressed stream is the end of the movie.
                EXPECT_TRUE(movie.complete());
            }
            movie.finish();
            EXPECT_TRUE(movie.complete());
            EXPECT_EQ(movie.percentLoaded(), 100);
            EXPECT_EQ(movie.data().size(), plain.size());
        }
    }
}

// A small file that inflates far beyond its limit (a zip bomb, or a huge length field over
// a long run of zeros) is cut at the limit.
TEST(MovieStream, DecodingStopsAtTheLimit) {
    MovieSpec spec;
    spec.frames = 40;
    spec.paddingPerFrame = 4000;  // compresses to almost nothing
    const Bytes plain = zd::test::movieBytes(spec);
    constexpr std::size_t kLimit = 50000;
    ASSERT_GT(plain.size(), 3 * kLimit);
    for (const Packing c : kAll) {
        SCOPED_TRACE(name(c));
        const Bytes file = zd::swfwriter::compressMovie(withLengthField(plain, 0xffffffffu), c);
        MovieData movie(kLimit);
        movie.append(file);
        EXPECT_EQ(movie.data().size(), kLimit);
        EXPECT_TRUE(movie.complete());
        EXPECT_GT(movie.framesLoaded(), 0u);
        EXPECT_LT(movie.framesLoaded(), 40u);
    }
}

TEST(MovieStream, PercentFollowsTheDecodedBytes) {
    MovieSpec spec;
    spec.frames = 10;
    spec.paddingPerFrame = 1000;
    const Bytes file = zd::test::movieBytes(spec);
    MovieData movie;
    int last = -1;
    std::vector<int> seen;
    for (std::size_t at = 0; at < file.size(); at += 1000) {
        movie.append(std::span(file).subspan(at, std::min<std::size_t>(1000, file.size() - at)));
        const int p = movie.percentLoaded();
        EXPECT_GE(p, last);
        last = p;
        seen.push_back(p);
        const std::size_t received = std::min(file.size(), at + 1000);
        if (received < file.size()) {
            EXPECT_EQ(p, static_cast<int>(received * 100 / file.size()));
        }
    }
    EXPECT_EQ(seen.back(), 100);
    EXPECT_LT(seen[seen.size() - 2], 100);
}

// Damaged compressed data ends decoding; what came before is kept.
TEST(MovieStream, DamagedCompressedDataKeepsWhatCameBefore) {
    MovieSpec spec;
    spec.frames = 8;
    spec.paddingPerFrame = 500;
    for (const Packing c : {Packing::Zlib, Packing::Lzma}) {
        SCOPED_TRACE(name(c));
        Bytes file = zd::test::movieBytes(spec, c);
        // Garbage over the second half of the compressed stream.
        for (std::size_t i = file.size() / 2; i < file.size(); ++i) {
            file[i] = static_cast<std::uint8_t>(i * 37);
        }
        const auto movie = MovieData::fromBytes(file);
        ASSERT_NE(movie->header(), nullptr);
        EXPECT_TRUE(movie->complete());
        EXPECT_LT(movie->framesLoaded(), 8u);
    }
}

// Random damage anywhere, including the compressed stream and the header: no crash, no hang,
// and whatever is reported stays within the file's own bounds.
TEST(MovieStream, RandomByteFlips) {
    MovieSpec spec;
    spec.frames = 6;
    spec.paddingPerFrame = 40;
    std::mt19937 rng(20240611);
    for (const Packing c : kAll) {
        SCOPED_TRACE(name(c));
        const Bytes original = zd::test::movieBytes(spec, c);
        for (int round = 0; round < 400; ++round) {
            Bytes file = original;
            const int flips = 1 + static_cast<int>(rng() % 6);
            for (int i = 0; i < flips; ++i) {
                file[rng() % file.size()] ^= static_cast<std::uint8_t>(1u << (rng() % 8));
            }
            MovieData movie(1 << 20);
            // Arrives in random chunks, as over a network.
            for (std::size_t at = 0; at < file.size();) {
                const std::size_t n = std::min<std::size_t>(1 + rng() % 64, file.size() - at);
                movie.append(std::span(file).subspan(at, n));
                at += n;
            }
            movie.finish();
            ASSERT_TRUE(movie.failed() || movie.complete());
            ASSERT_LE(movie.data().size(), std::size_t{1} << 20);
            if (const MovieHeader* h = movie.header()) {
                ASSERT_LE(movie.data().size(), h->fileLength);
                ASSERT_EQ(movie.percentLoaded(), 100);
                for (const FrameRange& f : movie.timeline().frames()) {
                    ASSERT_LE(f.begin, f.end);
                    ASSERT_LE(f.end, movie.data().size());
                }
            }
        }
    }
}
