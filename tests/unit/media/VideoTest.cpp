#include <gtest/gtest.h>

#include <QFile>
#include <QPainter>

#include "MediaFixtures.h"
#include "engine/swf/MovieData.h"
#include "engine/swf/TagCodes.h"
#include "engine/swf/TagWalker.h"
#include "engine/swf/VideoTags.h"
#include "engine/video/VideoDecoder.h"
#include "engine/video/VideoStream.h"

using namespace zd::engine;
using namespace zd::test;
namespace sw = zd::swfwriter;

namespace {

// Four quadrants of different colours: a picture whose orientation shows.
QImage quadrants(int w, int h, int shade) {
    QImage image(w, h, QImage::Format_RGB32);
    QPainter p(&image);
    p.fillRect(0, 0, w / 2, h / 2, QColor(shade, 0, 0));
    p.fillRect(w / 2, 0, w - w / 2, h / 2, QColor(0, shade, 0));
    p.fillRect(0, h / 2, w / 2, h - h / 2, QColor(0, 0, shade));
    p.fillRect(w / 2, h / 2, w - w / 2, h - h / 2, QColor(shade, shade, shade));
    return image;
}

int channelDistance(QRgb a, QRgb b) {
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                     std::abs(qBlue(a) - qBlue(b)), std::abs(qAlpha(a) - qAlpha(b))});
}

// Frame i is a solid grey of 20 + 20 * i.
QRgb greyOf(int i) {
    const int v = 20 + 20 * i;
    return qRgb(v, v, v);
}

struct VideoMovie {
    std::unique_ptr<MovieData> movie;
    VideoLibrary library;
    const VideoStreamDefinition* stream = nullptr;

    explicit VideoMovie(const Bytes& file) : movie(MovieData::fromBytes(file)) {
        library.update(movie->data(), movie->header()->size, movie->data().size());
        stream = library.stream(1);
    }
};

// A Sorenson stream of `count` solid grey frames, a key frame every third; frames 0-5 on
// the root timeline, the rest inside a sprite.
Bytes greyStreamMovie(int count) {
    std::vector<QImage> frames;
    for (int i = 0; i < count; ++i) {
        frames.push_back(solidImage(64, 48, greyOf(i)));
    }
    const std::vector<Bytes> coded = encodeVideo("flv", frames, 3);
    sw::MovieWriter movie(8, {0, 2000, 0, 2000}, 12);
    const std::uint16_t id = movie.defineVideoStream(static_cast<std::uint16_t>(count), 64, 48, 2);
    sw::Timeline sprite;
    for (int i = 0; i < count; ++i) {
        if (i < 6) {
            movie.videoFrame(id, static_cast<std::uint16_t>(i), coded[std::size_t(i)]);
            movie.showFrame();
        } else {
            sprite.videoFrame(id, static_cast<std::uint16_t>(i), coded[std::size_t(i)]);
            sprite.showFrame();
        }
    }
    movie.defineSprite(sprite);
    movie.showFrame();
    return movie.finish();
}

}  // namespace

TEST(VideoColour, StudioRangeYuvWithAlphaClamping) {
    EXPECT_EQ(yuvToArgb(16, 128, 128), 0xff000000u);
    EXPECT_EQ(yuvToArgb(235, 128, 128), 0xffffffffu);
    EXPECT_EQ(yuvToArgb(0, 128, 128), 0xff000000u) << "below black clamps";
    EXPECT_EQ(yuvToArgb(126, 128, 128), 0xff808080u);
    // Pure red as BT.601 codes it comes back red.
    const QRgb red = yuvToArgb(81, 90, 240);
    EXPECT_GE(qRed(red), 253);
    EXPECT_LE(qGreen(red), 2);
    EXPECT_LE(qBlue(red), 2);
    // Premultiplied: no colour channel above alpha.
    EXPECT_EQ(yuvToArgb(235, 128, 128, 128), 0x80808080u);
    EXPECT_EQ(yuvToArgb(235, 128, 128, 0), 0u);
}

TEST(VideoDecoding, ScreenVideoComesBackPixelForPixel) {
    std::vector<QImage> frames{quadrants(40, 24, 200), quadrants(40, 24, 200),
                               quadrants(40, 24, 90)};
    // Inter frames send only the blocks that changed: the second sends none.
    const std::vector<Bytes> coded = encodeVideo("flashsv", frames, 100);
    ASSERT_EQ(coded.size(), 3u);
    EXPECT_TRUE(VideoDecoder::isKeyFrame(3, coded[0]));
    auto decoder = VideoDecoder::create(3);
    ASSERT_TRUE(decoder);
    for (std::size_t i = 0; i < coded.size(); ++i) {
        SCOPED_TRACE(i);
        const QImage image = decoder->decode(coded[i]);
        ASSERT_EQ(image.size(), QSize(40, 24));
        EXPECT_EQ(image.format(), QImage::Format_ARGB32_Premultiplied);
        for (const QPoint at : {QPoint(3, 3), QPoint(30, 2), QPoint(1, 20), QPoint(39, 23)}) {
            EXPECT_EQ(image.pixel(at), frames[i].pixel(at)) << at.x() << "," << at.y();
        }
    }
}

TEST(VideoDecoding, SorensonAndScreenVideo2DecodeToTheirPictures) {
    const std::vector<QImage> frames{quadrants(64, 48, 220), quadrants(64, 48, 120),
                                     quadrants(64, 48, 60)};
    const std::vector<Bytes> h263 = encodeVideo("flv", frames, 2);
    ASSERT_EQ(h263.size(), 3u);
    EXPECT_TRUE(VideoDecoder::isKeyFrame(2, h263[0]));
    EXPECT_FALSE(VideoDecoder::isKeyFrame(2, h263[1]));
    EXPECT_TRUE(VideoDecoder::isKeyFrame(2, h263[2]));
    // FFmpeg's Screen Video 2 encoder writes inter frames its own decoder refuses: key frames
    // only, each a stream of its own.
    std::vector<Bytes> sv2;
    for (const QImage& f : frames) {
        sv2.push_back(encodeVideo("flashsv2", {f}, 1)[0]);
    }
    struct Case {
        std::uint8_t codec;
        const std::vector<Bytes>* coded;
        int tolerance;
    };
    // Screen Video 2 here keeps 15 bits of colour: steps of 8.
    for (const Case& c : {Case{2, &h263, 12}, Case{6, &sv2, 10}}) {
        SCOPED_TRACE(int(c.codec));
        auto decoder = VideoDecoder::create(c.codec);
        ASSERT_TRUE(decoder);
        for (std::size_t i = 0; i < frames.size(); ++i) {
            if (c.codec == 6) {
                decoder = VideoDecoder::create(c.codec);
            }
            const QImage image = decoder->decode((*c.coded)[i]);
            ASSERT_EQ(image.size(), QSize(64, 48)) << i;
            for (const QPoint at : {QPoint(8, 8), QPoint(56, 8), QPoint(8, 40), QPoint(56, 40)}) {
                EXPECT_LE(channelDistance(image.pixel(at), frames[i].pixel(at)), c.tolerance)
                    << i << " at " << at.x() << "," << at.y();
            }
        }
    }
    EXPECT_FALSE(VideoDecoder::create(1)) << "no such codec";
    EXPECT_FALSE(VideoDecoder::create(9));
}

TEST(VideoDecoding, H264AsFlvFilesCarryIt) {
    const std::vector<QImage> frames{quadrants(64, 48, 220), quadrants(64, 48, 120),
                                     quadrants(64, 48, 60), quadrants(64, 48, 160)};
    Bytes config;
    const std::vector<Bytes> coded = encodeVideo("libx264", frames, 2, &config);
    ASSERT_EQ(coded.size(), frames.size());
    auto decoder = VideoDecoder::create(7, 0, avcConfiguration(config));
    ASSERT_TRUE(decoder);
    for (std::size_t i = 0; i < frames.size(); ++i) {
        SCOPED_TRACE(i);
        const Bytes data = lengthPrefixed(coded[i]);
        EXPECT_EQ(VideoDecoder::isKeyFrame(7, data), i % 2 == 0);
        const QImage image = decoder->decode(data);
        ASSERT_EQ(image.size(), QSize(64, 48));
        for (const QPoint at : {QPoint(8, 8), QPoint(56, 8), QPoint(8, 40), QPoint(56, 40)}) {
            EXPECT_LE(channelDistance(image.pixel(at), frames[i].pixel(at)), 12);
        }
    }
}

TEST(VideoPlayback, FramesOnTheTimelineAndSeekingFromKeyFrames) {
    VideoMovie m(greyStreamMovie(10));
    ASSERT_NE(m.stream, nullptr);
    EXPECT_EQ(m.stream->codec, 2);
    EXPECT_EQ(m.stream->width, 64);
    const VideoLibrary::Frames* frames = m.library.frames(1);
    ASSERT_NE(frames, nullptr);
    ASSERT_EQ(frames->size(), 10u) << "those inside the sprite too";
    for (const auto& [num, at] : *frames) {
        EXPECT_EQ(at.key, num % 3 == 0) << num;
    }

    VideoPlayer player(*m.stream);
    const auto data = m.movie->data();
    auto greyAt = [&](int frame) {
        return qRed(player.frame(m.library, data, frame).pixel(30, 20));
    };
    // Straight on: one decode a frame.
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(greyAt(i), qRed(greyOf(i)), 4) << i;
    }
    EXPECT_EQ(player.framesDecoded(), 3);
    // Forward past a key frame (6): from there.
    EXPECT_NEAR(greyAt(7), qRed(greyOf(7)), 4);
    EXPECT_EQ(player.framesDecoded(), 5);
    // Forward with no key frame on the way (8 follows 7): on from the frame shown.
    EXPECT_NEAR(greyAt(8), qRed(greyOf(8)), 4);
    EXPECT_EQ(player.framesDecoded(), 6);
    // Back: from the key frame before (3).
    EXPECT_NEAR(greyAt(4), qRed(greyOf(4)), 4);
    EXPECT_EQ(player.framesDecoded(), 8);
    // The same frame again costs nothing; a frame number past the stream shows its last
    // (a key frame: decoded alone).
    greyAt(4);
    EXPECT_EQ(player.framesDecoded(), 8);
    EXPECT_NEAR(greyAt(500), qRed(greyOf(9)), 4);
    EXPECT_EQ(player.framesDecoded(), 9);
}

TEST(VideoPlayback, DamagedAndMismatchedFramesNeverBreakThePicture) {
    const std::vector<QImage> small{solidImage(32, 16, qRgb(200, 40, 40))};
    const std::vector<QImage> big{solidImage(96, 64, qRgb(40, 200, 40))};
    const Bytes good = encodeVideo("flv", small, 1)[0];
    const Bytes other = encodeVideo("flv", big, 1)[0];
    Bytes cut = good;
    cut.resize(good.size() / 3);
    Bytes garbage(500);
    for (std::size_t i = 0; i < garbage.size(); ++i) {
        garbage[i] = static_cast<std::uint8_t>(i * 97 + 13);
    }
    // A picture header claiming 65535 x 65535.
    const Bytes huge{0x00, 0x00, 0x84, 0x00, 0x01, 0xff, 0xff, 0xff, 0xff, 0x00, 0x00, 0x00};

    sw::MovieWriter movie(8, {0, 2000, 0, 2000}, 12);
    const std::uint16_t id = movie.defineVideoStream(6, 32, 16, 2);
    const std::vector<const Bytes*> sequence{&good, &cut, &garbage, &other, &huge, &good};
    for (std::size_t i = 0; i < sequence.size(); ++i) {
        movie.videoFrame(id, static_cast<std::uint16_t>(i), *sequence[i]);
        movie.showFrame();
    }
    movie.rawTag(std::uint16_t(TagCode::VideoFrame), Bytes{1, 0, 9});           // cut short
    movie.rawTag(std::uint16_t(TagCode::VideoFrame), Bytes{7, 0, 0, 0, 1, 2});  // no stream
    VideoMovie m(movie.finish());
    ASSERT_NE(m.stream, nullptr);
    VideoPlayer player(*m.stream);
    const auto data = m.movie->data();
    const QImage first = player.frame(m.library, data, 0);
    ASSERT_EQ(first.size(), QSize(32, 16));
    for (int i = 1; i < 6; ++i) {
        const QImage image = player.frame(m.library, data, i);
        EXPECT_FALSE(image.isNull()) << i << ": the last good picture stays";
        if (i == 3) {
            EXPECT_EQ(image.size(), QSize(96, 64)) << "a frame of another size keeps its own";
        }
    }
    EXPECT_EQ(player.frame(m.library, data, 5).size(), QSize(32, 16));
    // Streams of a codec nobody decodes show nothing, and do not try again.
    VideoStreamDefinition unknown = *m.stream;
    unknown.codec = 9;
    VideoPlayer none(unknown);
    EXPECT_TRUE(none.frame(m.library, data, 0).isNull());
    EXPECT_EQ(none.framesDecoded(), 0);
}

TEST(VideoDecoding, ReferenceFramesOfTheCorpus) {
    const QString dir = sharedDir();
    if (dir.isEmpty()) {
        GTEST_SKIP() << "shared corpus absent";
    }
    // Each movie shows its one frame at the stage's top left, at its size: the decoded
    // picture (over the stage's colour) is the expected image.
    struct Case {
        const char* name;
        int maxDifference;
        int maxOff;  // pixels off by more than zero
    };
    for (const Case c : {Case{"visual__video__colorconversion__vp6", 0, 0},
                         Case{"visual__video__vp6_dispsize", 0, 0},
                         Case{"visual__video__colorconversion__vp6a", 1, 200},
                         Case{"visual__video__colorconversion__h263", 1, 5}}) {
        SCOPED_TRACE(c.name);
        const QString base = dir + "/corpus/ruffle/" + c.name;
        QFile f(base + "/test.swf");
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        const auto movie = MovieData::fromBytes(
            {reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size())});
        VideoLibrary library;
        library.update(movie->data(), movie->header()->size, movie->data().size());
        QColor stage = Qt::white;
        TagWalker walker(movie->data(), movie->header()->size);
        while (const auto tag = walker.next()) {
            if (tag->code == std::uint16_t(TagCode::SetBackgroundColor)) {
                const auto b = walker.body(*tag);
                stage = QColor(b[0], b[1], b[2]);
            }
        }
        const VideoStreamDefinition* def = library.stream(0);
        ASSERT_NE(def, nullptr);
        VideoPlayer player(*def);
        const QImage picture = player.frame(library, movie->data(), 0);
        ASSERT_EQ(picture.size(), QSize(def->width, def->height));
        QImage shown(picture.size(), QImage::Format_ARGB32_Premultiplied);
        shown.fill(stage);
        QPainter(&shown).drawImage(0, 0, picture);
        const QImage expected = QImage(base + "/output.expected.png")
                                    .convertToFormat(QImage::Format_ARGB32_Premultiplied);
        int largest = 0;
        int off = 0;
        for (int y = 0; y < shown.height(); ++y) {
            for (int x = 0; x < shown.width(); ++x) {
                const int d = channelDistance(shown.pixel(x, y), expected.pixel(x, y));
                largest = std::max(largest, d);
                off += d > 0;
            }
        }
        EXPECT_LE(largest, c.maxDifference);
        EXPECT_LE(off, c.maxOff);
    }
}

TEST(VideoDecoding, Vp6PicturesKeepTheirStreamsSize) {
    const QString dir = sharedDir();
    if (dir.isEmpty()) {
        GTEST_SKIP() << "shared corpus absent";
    }
    // A 600 x 400 stream inside a sprite: VP6 codes 608 columns, the last 8 are padding.
    QFile f(dir + "/corpus/real/jpexs-video.swf");
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    const auto movie = MovieData::fromBytes(
        {reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size())});
    VideoLibrary library;
    library.update(movie->data(), movie->header()->size, movie->data().size());
    const VideoStreamDefinition* def = library.stream(2);
    ASSERT_NE(def, nullptr);
    ASSERT_EQ(def->codec, 4);
    VideoPlayer player(*def);
    for (int frame = 0; frame < 5; ++frame) {
        const QImage picture = player.frame(library, movie->data(), frame);
        EXPECT_EQ(picture.size(), QSize(600, 400)) << frame;
        // The grid's red border runs along the right edge of the picture shown.
        EXPECT_GT(qRed(picture.pixel(599, 200)), 150) << frame;
        EXPECT_LT(qGreen(picture.pixel(599, 200)), 80) << frame;
    }
    EXPECT_EQ(player.framesDecoded(), 5);
}
