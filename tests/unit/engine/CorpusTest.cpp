#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <random>

#include "TestSupport.h"
#include "engine/player/StagePlayer.h"
#include "engine/render/Renderer.h"
#include "engine/render/StandardHooks.h"
#include "engine/swf/MovieData.h"

using namespace zd::engine;

namespace {

struct CorpusMovie {
    QString file;
    QJsonObject facts;
    zd::test::Bytes bytes;
};

std::vector<CorpusMovie> loadCorpus() {
    std::vector<CorpusMovie> movies;
    const QString dir = zd::test::corpusDir();
    if (dir.isEmpty()) {
        return movies;
    }
    QFile manifest(dir + "/manifest.json");
    if (!manifest.open(QIODevice::ReadOnly)) {
        return movies;
    }
    for (const QJsonValue& entry : QJsonDocument::fromJson(manifest.readAll()).array()) {
        CorpusMovie m;
        m.facts = entry.toObject();
        m.file = m.facts["file"].toString();
        QFile f(dir + "/" + m.file);
        if (f.open(QIODevice::ReadOnly)) {
            const QByteArray data = f.readAll();
            m.bytes.assign(data.begin(), data.end());
        }
        movies.push_back(std::move(m));
    }
    return movies;
}

const std::vector<CorpusMovie>& corpus() {
    static const std::vector<CorpusMovie> movies = loadCorpus();
    return movies;
}

}  // namespace

#define SKIP_WITHOUT_CORPUS()                                                          \
    if (corpus().empty()) {                                                            \
        GTEST_SKIP() << "the shared corpus (" ZD_SHARED_DIR "/corpus/real) is absent"; \
    }

TEST(Corpus, HeadersMatchTheManifest) {
    SKIP_WITHOUT_CORPUS();
    for (const CorpusMovie& m : corpus()) {
        SCOPED_TRACE(m.file.toStdString());
        ASSERT_EQ(m.bytes.size(), static_cast<std::size_t>(m.facts["bytes"].toInteger()));
        const auto data = MovieData::fromBytes(m.bytes);
        const MovieHeader* h = data->header();
        ASSERT_NE(h, nullptr) << data->problem();
        EXPECT_EQ(QString::fromStdString(h->signature()), m.facts["signature"].toString());
        EXPECT_EQ(h->version, m.facts["version"].toInt());
        EXPECT_EQ(h->fileLength, m.facts["file_length_field"].toInteger());
        const QJsonObject size = m.facts["frame_size_twips"].toObject();
        EXPECT_EQ(h->frameSize.xMin, size["xmin"].toInt());
        EXPECT_EQ(h->frameSize.xMax, size["xmax"].toInt());
        EXPECT_EQ(h->frameSize.yMin, size["ymin"].toInt());
        EXPECT_EQ(h->frameSize.yMax, size["ymax"].toInt());
        EXPECT_DOUBLE_EQ(h->frameRate(), m.facts["frame_rate"].toDouble());
        EXPECT_EQ(h->frameCount, m.facts["frame_count"].toInt());
        EXPECT_TRUE(data->complete());
        EXPECT_EQ(data->percentLoaded(), 100);
        EXPECT_EQ(data->data().size(), h->fileLength);
    }
}

TEST(Corpus, ShowFrameCountsMatchTheManifest) {
    SKIP_WITHOUT_CORPUS();
    for (const CorpusMovie& m : corpus()) {
        SCOPED_TRACE(m.file.toStdString());
        const auto data = MovieData::fromBytes(m.bytes);
        ASSERT_NE(data->header(), nullptr);
        const TimelineIndex& t = data->timeline();
        EXPECT_EQ(t.state(), TimelineIndex::State::Ended);
        const QJsonObject tags = m.facts["tag_counts"].toObject();
        const int frameCount = m.facts["frame_count"].toInt();
        // The manifest counts sprite contents too: root and sprite frames together.
        EXPECT_EQ(t.showFrameCount() + t.spriteShowFrameCount(), tags["ShowFrame"].toInteger());
        EXPECT_EQ(t.spriteCount(), tags["DefineSprite"].toInteger());
        if (tags["ShowFrame"].toInt() == frameCount) {
            EXPECT_EQ(t.showFrameCount(), static_cast<std::uint64_t>(frameCount));
        }
        // With sprites, the root timeline still holds exactly the header's frames.
        EXPECT_EQ(t.showFrameCount(), static_cast<std::uint64_t>(frameCount));
        EXPECT_EQ(t.backgroundAt(0).has_value() || t.backgroundAt(frameCount).has_value(),
                  tags.contains("SetBackgroundColor"));
    }
}

// Real movies cut short at many places and damaged at random: never a crash or a hang.
TEST(Corpus, TruncatedAndDamagedRealMovies) {
    SKIP_WITHOUT_CORPUS();
    std::mt19937 rng(77);
    for (const CorpusMovie& m : corpus()) {
        SCOPED_TRACE(m.file.toStdString());
        const auto whole = MovieData::fromBytes(m.bytes);
        for (int i = 0; i < 40; ++i) {
            const std::size_t cut =
                i < 20 ? static_cast<std::size_t>(i) * 3 : rng() % m.bytes.size();
            const auto part = MovieData::fromBytes(std::span(m.bytes).first(cut));
            ASSERT_TRUE(part->failed() || part->complete());
            if (part->header() != nullptr) {
                EXPECT_LE(part->framesLoaded(), whole->framesLoaded());
            }
        }
        for (int round = 0; round < 8; ++round) {
            zd::test::Bytes damaged = m.bytes;
            for (int i = 0; i < 4; ++i) {
                damaged[rng() % damaged.size()] ^= static_cast<std::uint8_t>(1u << (rng() % 8));
            }
            const auto part = MovieData::fromBytes(damaged, 4 << 20);
            ASSERT_TRUE(part->failed() || part->complete());
            EXPECT_LE(part->data().size(), std::size_t{4} << 20);
        }
    }
}

// Every frame of every real movie is run and drawn, at the stage's size and antialiased, the
// way the player shows it; sprites keep playing while the root holds on its last frame.
TEST(Corpus, RealMoviesRenderEveryFrame) {
    SKIP_WITHOUT_CORPUS();
    zd::engine::Renderer renderer(zd::engine::standardRenderHooks());
    for (const CorpusMovie& m : corpus()) {
        SCOPED_TRACE(m.file.toStdString());
        const auto data = MovieData::fromBytes(m.bytes);
        ASSERT_NE(data->header(), nullptr);
        const MovieHeader& h = *data->header();
        StagePlayer player(*data);
        renderer.clearCaches();
        const QSize size(std::clamp(static_cast<int>(h.frameSize.width() / 20), 1, 800),
                         std::clamp(static_cast<int>(h.frameSize.height() / 20), 1, 800));
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        int drawn = 0;
        bool painted = false;  // something of the movie showed on some frame
        for (int frame = 0; frame < h.frameCount + 3; ++frame) {
            if (frame > 0) {
                player.tick();
            }
            image.fill(Qt::transparent);
            renderer.renderStage(image, QRectF(QPointF(0, 0), QSizeF(size)), player, h.frameSize,
                                 Qt::white);
            ++drawn;
            for (int y = 0; y < size.height() && !painted; y += 3) {
                for (int x = 0; x < size.width() && !painted; x += 3) {
                    painted = image.pixel(x, y) != qRgb(255, 255, 255);
                }
            }
        }
        EXPECT_EQ(player.frame(), h.frameCount - 1);
        EXPECT_EQ(drawn, h.frameCount + 3);
        EXPECT_TRUE(painted || m.file.startsWith("swfdec-adpcm") || m.file == "gnash-sound1.swf");
    }
}
