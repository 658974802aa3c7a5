#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <bit>

#include "FuzzMovie.h"
#include "engine/swf/BitmapDecoder.h"
#include "swfwriter/SwfWriter.h"

namespace sw = zd::swfwriter;
using Bytes = std::vector<std::uint8_t>;

namespace {

void putU16(Bytes& b, unsigned v) {
    b.push_back(static_cast<std::uint8_t>(v & 0xff));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}

Bytes zlib(const Bytes& raw) {
    const QByteArray c =
        qCompress(QByteArray(reinterpret_cast<const char*>(raw.data()), qsizetype(raw.size())));
    return Bytes(c.begin() + 4, c.end());
}

// A movie with one red square placed by PlaceObject3 with the given filter list bytes, plus
// whatever extra definition tags come first.
Bytes movieWith(const Bytes& filterList, const std::vector<std::pair<int, Bytes>>& extraTags,
                std::uint8_t blendMode = 1) {
    sw::MovieWriter movie(10, {0, 11000, 0, 8000}, 24);
    for (const auto& [code, body] : extraTags) {
        movie.rawTag(static_cast<std::uint16_t>(code), body, true);
    }
    sw::ShapeBuilder shape;
    shape.fill1(shape.addFillStyle(sw::FillStyle::solid({255, 0, 0, 255})));
    shape.rectangle(1000, 1000, 4000, 3000);
    const auto id = movie.defineShape(shape, 3);
    sw::PlaceObject p = sw::PlaceObject::place(1, id);
    p.filterList = filterList;
    p.blendMode = blendMode;
    movie.placeObject3(p);
    movie.showFrame();
    movie.placeObject3(sw::PlaceObject::modify(1, sw::Matrix::translation(200, 100)));
    movie.showFrame();
    return movie.finish();
}

// FILTERLIST with n blurs of the largest size and quality.
Bytes hugeBlurs(int n) {
    sw::BitWriter w;
    w.u8(static_cast<std::uint8_t>(n));
    for (int i = 0; i < n; ++i) {
        w.u8(1);
        w.u32(255u << 16);
        w.u32(255u << 16);
        w.u8(15 << 3);
    }
    return w.data();
}

}  // namespace

TEST(FuzzRegressions, EveryKeptInputRunsToTheEnd) {
    const QDir dir(QStringLiteral(ZD_SOURCE_DIR "/tests/fuzz/regressions"));
    const QStringList files = dir.entryList(QDir::Files);
    ASSERT_FALSE(files.isEmpty()) << "no inputs in " << dir.path().toStdString();
    int movies = 0;
    for (const QString& name : files) {
        if (name.endsWith(".md")) {
            continue;
        }
        SCOPED_TRACE(name.toStdString());
        QFile f(dir.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray data = f.readAll();
        const int frames = zd::fuzz::runMovie(
            {reinterpret_cast<const std::uint8_t*>(data.constData()), std::size_t(data.size())});
        // Either not a movie at all, or every frame asked for was drawn.
        EXPECT_TRUE(frames == 0 || frames == 5) << frames;
        movies += frames > 0;
    }
    EXPECT_GT(movies, 0);
}

TEST(HostileMovies, StackedHugeFiltersStillDrawInBoundedTime) {
    sw::BitWriter shadow;  // drop shadow with the largest distance and blur
    shadow.u8(1);
    shadow.u8(0);
    for (int i = 0; i < 4; ++i) {
        shadow.u8(255);
    }
    shadow.u32(255u << 16);
    shadow.u32(255u << 16);
    shadow.u32(0);
    shadow.u32(0x7fff0000u);
    shadow.u16(0x7fff);
    shadow.u8(0x20 | 31);
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(zd::fuzz::runMovie(movieWith(hugeBlurs(255), {})), 5);
    EXPECT_EQ(zd::fuzz::runMovie(movieWith(shadow.data(), {}, 14)), 5);
    // A generous bound: the point is that it ends, not how fast.
    EXPECT_LT(timer.elapsed(), 60000);
}

TEST(HostileMovies, HugeAndLyingBitmapsAreRefusedCheaply) {
    // Lossless bitmaps claiming 8192 x 8192 (past the pixel limit) and 4096 x 4096 (at it)
    // with a few bytes of data, a colour-mapped one claiming 256 colours with none, a JPEG
    // claiming 65535 x 65535.
    auto lossless = [](int format, int w, int h, const Bytes& raw) {
        Bytes b;
        putU16(b, 9);
        b.push_back(static_cast<std::uint8_t>(format));
        putU16(b, unsigned(w));
        putU16(b, unsigned(h));
        if (format == 3) {
            b.push_back(255);
        }
        const Bytes z = zlib(raw);
        b.insert(b.end(), z.begin(), z.end());
        return b;
    };
    const Bytes tooBig = lossless(5, 8192, 8192, Bytes(64, 7));
    const Bytes atLimit = lossless(5, 4096, 4096, Bytes(64, 7));
    const Bytes noColours = lossless(3, 100, 100, {});
    Bytes jpeg = {9, 0, 0xff, 0xd8, 0xff, 0xc0, 0, 11, 8, 0xff, 0xff, 0xff, 0xff, 1, 1, 0x11, 0};

    std::span<const std::uint8_t> none;
    EXPECT_TRUE(zd::engine::decodeBitmapTag(36, std::span(tooBig), none)->image.isNull());
    const auto limit = zd::engine::decodeBitmapTag(36, std::span(atLimit), none);
    ASSERT_FALSE(limit->image.isNull()) << "at the limit the bitmap is made, mostly empty";
    EXPECT_EQ(limit->image.pixel(4095, 4095), 0u);
    EXPECT_TRUE(zd::engine::decodeBitmapTag(20, std::span(noColours), none)->image.isNull());
    EXPECT_TRUE(zd::engine::decodeBitmapTag(21, std::span(jpeg), none)->image.isNull());

    const Bytes movie =
        movieWith({0}, {{36, tooBig}, {20, noColours}, {21, jpeg}, {6, Bytes{10, 0, 0xff, 0xd9}}});
    EXPECT_EQ(zd::fuzz::runMovie(movie), 5);
}

TEST(HostileMovies, ReadersStopAtBrokenFilterLists) {
    // A filter list whose count promises more than the tag holds, an unknown filter, and a
    // convolution claiming a 255 x 255 matrix: the movie still runs and draws every frame.
    EXPECT_EQ(zd::fuzz::runMovie(movieWith({9, 1}, {})), 5);
    EXPECT_EQ(zd::fuzz::runMovie(movieWith({2, 9, 1, 2, 3}, {})), 5);
    EXPECT_EQ(zd::fuzz::runMovie(movieWith({1, 5, 255, 255, 0, 0, 128, 63}, {})), 5);
}

TEST(HostileMovies, BrokenSoundsAndVideosPlayWhatTheyCan) {
    sw::MovieWriter movie(10, {0, 11000, 0, 8000}, 24);
    Bytes noise(100000);
    for (std::size_t i = 0; i < noise.size(); ++i) {
        noise[i] = static_cast<std::uint8_t>((i * 2654435761u) >> 13);
    }
    auto cut = [&](std::size_t n) { return Bytes(noise.begin(), noise.begin() + long(n)); };
    // MP3 frame headers with garbage for frames, counts far off in both directions.
    Bytes mp3{0x10, 0x27};  // 10000 samples of latency to skip
    for (int i = 0; i < 40; ++i) {
        mp3.insert(mp3.end(), {0xff, 0xfb, 0x90, 0x64});
        mp3.insert(mp3.end(), noise.begin() + i * 400, noise.begin() + i * 400 + 413);
    }
    const auto mp3Id = movie.defineSound({2, 3, true, true}, 0xffffffffu, mp3);
    movie.defineSound({2, 1, true, false}, 3, mp3);
    movie.defineSound({1, 0, true, true}, 10, cut(37));          // ADPCM
    movie.defineSound({1, 3, true, false}, 1u << 30, {});        // ADPCM, no data
    movie.defineSound({3, 3, true, true}, 0xffffffffu, cut(3));  // PCM, cut sample
    movie.defineSound({6, 2, true, false}, 100, cut(100));       // Nellymoser, cut block
    movie.defineSound({11, 0, true, false}, 1000, cut(300));     // Speex
    movie.defineSound({7, 1, false, false}, 800, cut(800));      // A-law
    movie.defineSound({15, 3, true, true}, 1000, cut(100));      // unknown format
    movie.exportAssets({{mp3Id, "Noise"}, {999, "Nothing"}});
    movie.defineButtonSound(77, {{{mp3Id, {}}, {999, {}}, {0, {}}, {1, {}}}});
    sw::SoundInfoSpec wild;
    wild.inPoint = 0xfffffff0u;
    wild.outPoint = 3;
    wild.loops = 65535;
    for (std::uint32_t i = 0; i < 255; ++i) {
        wild.envelope.push_back({0xffffffffu - i * 7, std::uint16_t(i * 300), 65535});
    }
    movie.startSound(mp3Id, wild);
    sw::SoundInfoSpec looped;
    looped.loops = 65535;
    movie.startSound(mp3Id + 1, looped);
    movie.startSound2("Nothing", {});
    movie.startSound2("Noise", looped);
    // A root stream of MP3: a block far larger than declared, a cut one, an empty one.
    movie.soundStreamHead({2, 2, true, true}, 576);
    movie.soundStreamBlock(noise);
    sw::Timeline sprite;
    sprite.soundStreamHead({1, 1, true, true}, 1000);  // ADPCM garbage in a sprite
    sprite.soundStreamBlock(cut(5000));
    sprite.showFrame();
    sprite.soundStreamHead({15, 1, true, true}, 1000);
    sprite.soundStreamBlock(cut(1));
    sprite.showFrame();
    movie.defineSprite(sprite);
    // Video streams of every codec fed garbage, frames claiming huge sizes, a codec unknown.
    for (const std::uint8_t codec : {2, 3, 4, 5, 6, 7, 9}) {
        const auto id = movie.defineVideoStream(3, 64, 48, codec, 1, true);
        movie.videoFrame(id, 0, cut(3000));
        movie.videoFrame(id, 1, Bytes{0x00, 0x00, 0x84, 0x00, 0x01, 0xff, 0xff, 0xff, 0xff, 0x00});
        movie.videoFrame(id, 2, Bytes{0xff, 0xff, 0xff, 0xff, 0x00, 0x01});
    }
    movie.showFrame();
    Bytes block{0, 2, 0, 0};  // 512 samples, then garbage
    block.insert(block.end(), noise.begin(), noise.begin() + 300);
    movie.soundStreamBlock(block);
    movie.showFrame();
    movie.soundStreamBlock(Bytes{1});
    movie.showFrame();
    movie.soundStreamBlock(Bytes{});
    movie.showFrame();
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(zd::fuzz::runMovie(movie.finish()), 5);
    EXPECT_LT(timer.elapsed(), 60000);
}

// FLV files with lying sizes, cut tags, frame sizes and codecs changing mid-stream: read as
// far as they go, without reading past their bytes.
TEST(HostileFlv, LyingSizesAndChangingStreamsReadAsFarAsTheyGo) {
    const auto tag = [](std::vector<std::uint8_t>& out, std::uint8_t type, std::uint32_t size,
                        std::uint32_t time, const std::vector<std::uint8_t>& body) {
        out.insert(out.end(), {type, std::uint8_t(size >> 16), std::uint8_t(size >> 8),
                               std::uint8_t(size), std::uint8_t(time >> 16),
                               std::uint8_t(time >> 8), std::uint8_t(time), 0, 0, 0, 0});
        out.insert(out.end(), body.begin(), body.end());
        out.insert(out.end(), {0xff, 0xff, 0xff, 0xff});  // a wrong closing size
    };
    std::vector<std::uint8_t> file{'F', 'L', 'V', 1, 5, 0, 0, 0, 9, 0, 0, 0, 0};
    // Script data nesting objects deeper than any metadata, then a video tag of each codec
    // (the H.263 one announcing a huge picture), key and not, and an audio tag of each format.
    std::vector<std::uint8_t> script{2, 0, 1, 'x'};
    for (int i = 0; i < 200; ++i) {
        script.insert(script.end(), {3, 0, 1, 'y'});
    }
    tag(file, 18, static_cast<std::uint32_t>(script.size()), 0, script);
    for (std::uint8_t codec = 0; codec < 16; ++codec) {
        const std::vector<std::uint8_t> body{
            std::uint8_t(0x10 | codec), 0, 0, 0x84, 0x00, 0x7f, 0xff, 0xff, 0xff, 0x12, 0x34};
        tag(file, 9, static_cast<std::uint32_t>(body.size()), codec * 10u, body);
        const std::vector<std::uint8_t> audio{std::uint8_t(codec << 4 | 0x0f), 0, 1, 2, 3};
        tag(file, 8, static_cast<std::uint32_t>(audio.size()), codec * 10u, audio);
    }
    // A last tag claiming 16 MB.
    tag(file, 9, 0xffffff, 500, {0x12, 0, 0});
    EXPECT_EQ(zd::fuzz::runFlv(file), 34);
    for (std::size_t cut = 0; cut < file.size(); cut += 7) {
        zd::fuzz::runFlv(std::span(file).first(cut));
    }
    EXPECT_EQ(zd::fuzz::runMovie(file), 0) << "a FLV file is no movie";
}

// Sound that has to be decoded to join up (ADPCM packets each starting afresh, AAC after its
// configuration) made of noise, configurations that lie, and files cut anywhere.
TEST(HostileFlv, NoisyAdpcmAndAacDecodeAsFarAsTheyGo) {
    std::uint32_t seed = 12345;
    const auto noise = [&seed](std::size_t n) {
        std::vector<std::uint8_t> out;
        for (std::size_t i = 0; i < n; ++i) {
            seed = seed * 1103515245u + 12345u;
            out.push_back(static_cast<std::uint8_t>(seed >> 16));
        }
        return out;
    };
    const auto flv = [](const std::vector<std::vector<std::uint8_t>>& bodies) {
        std::vector<std::uint8_t> out{'F', 'L', 'V', 1, 4, 0, 0, 0, 9, 0, 0, 0, 0};
        std::uint32_t time = 0;
        for (const auto& body : bodies) {
            const auto size = static_cast<std::uint32_t>(body.size());
            out.insert(out.end(), {8, std::uint8_t(size >> 16), std::uint8_t(size >> 8),
                                   std::uint8_t(size), std::uint8_t(time >> 16),
                                   std::uint8_t(time >> 8), std::uint8_t(time), 0, 0, 0, 0});
            out.insert(out.end(), body.begin(), body.end());
            const std::uint32_t back = size + 11;
            out.insert(out.end(), {std::uint8_t(back >> 24), std::uint8_t(back >> 16),
                                   std::uint8_t(back >> 8), std::uint8_t(back)});
            time += 40;
        }
        return out;
    };
    std::vector<std::vector<std::uint8_t>> adpcm;
    std::vector<std::vector<std::uint8_t>> aac;
    // AAC configurations: empty, one byte, a lying object type and rate, then noise.
    aac.push_back({0xaf, 0});
    aac.push_back({0xaf, 0, 0xff});
    aac.push_back({0xaf, 0, 0xf8, 0x88, 0x00});
    for (int i = 0; i < 40; ++i) {
        auto a = noise(static_cast<std::size_t>(i * 37 % 700));
        a.insert(a.begin(), static_cast<std::uint8_t>(0x10 | (i & 0x0f)));  // ADPCM, any rate
        adpcm.push_back(std::move(a));
        auto b = noise(static_cast<std::size_t>(i * 53 % 900));
        b.insert(b.begin(), {0xaf, static_cast<std::uint8_t>(i % 7 == 0 ? 0 : 1)});
        aac.push_back(std::move(b));
    }
    const std::vector<std::uint8_t> files[] = {flv(adpcm), flv(aac)};
    EXPECT_EQ(zd::fuzz::runFlv(files[0]), 40);
    EXPECT_EQ(zd::fuzz::runFlv(files[1]), 43);
    for (const auto& file : files) {
        for (std::size_t cut = 0; cut < file.size(); cut += 211) {
            zd::fuzz::runFlv(std::span(file).first(cut));
        }
    }
}
