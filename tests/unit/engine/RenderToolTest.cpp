#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include "TestSupport.h"

namespace {

struct ToolRun {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

ToolRun render(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral(ZD_BIN_DIR "/zephyrdeck-render"), args);
    ToolRun run;
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit) {
        p.kill();
        return run;
    }
    run.exitCode = p.exitCode();
    run.out = p.readAllStandardOutput();
    run.err = p.readAllStandardError();
    return run;
}

// A movie whose background colour tells which frame is showing: red = 20 * frame.
QString framesByColour() {
    zd::swfwriter::MovieWriter movie(8, {0, 400, 0, 200}, 10.0);
    for (int f = 0; f < 10; ++f) {
        movie.setBackgroundColor({static_cast<std::uint8_t>(20 * f), 0, 100, 255});
        movie.showFrame();
    }
    return zd::test::writeTempFile(movie.finish(), "colour-frames.swf");
}

int frameShown(const QString& png) {
    const QImage image(png);
    if (image.isNull()) {
        return -1;
    }
    return qRed(image.pixel(image.width() / 2, image.height() / 2)) / 20;
}

}  // namespace

TEST(RenderTool, InfoMatchesTheManifest) {
    const QString dir = zd::test::corpusDir();
    if (dir.isEmpty()) {
        GTEST_SKIP() << "the shared corpus (" ZD_SHARED_DIR "/corpus/real) is absent";
    }
    QFile manifest(dir + "/manifest.json");
    ASSERT_TRUE(manifest.open(QIODevice::ReadOnly));
    const QJsonArray entries = QJsonDocument::fromJson(manifest.readAll()).array();
    int checked = 0;
    for (const QString file : {"gordon-blue.swf", "gnash-car_smash.swf", "jpexs-as2.swf"}) {
        SCOPED_TRACE(file.toStdString());
        QJsonObject facts;
        for (const QJsonValue& e : entries) {
            if (e.toObject()["file"].toString() == file) {
                facts = e.toObject();
            }
        }
        ASSERT_FALSE(facts.isEmpty());
        const ToolRun run = render({"--info", dir + "/" + file});
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
        ASSERT_EQ(run.out.count('\n'), 1);
        QJsonParseError error;
        const QJsonObject info = QJsonDocument::fromJson(run.out, &error).object();
        ASSERT_EQ(error.error, QJsonParseError::NoError) << run.out.toStdString();
        const QJsonObject size = facts["frame_size_twips"].toObject();
        EXPECT_EQ(info["version"], facts["version"]);
        EXPECT_EQ(info["signature"], facts["signature"]);
        EXPECT_DOUBLE_EQ(info["width"].toDouble(),
                         (size["xmax"].toInt() - size["xmin"].toInt()) / 20.0);
        EXPECT_DOUBLE_EQ(info["height"].toDouble(),
                         (size["ymax"].toInt() - size["ymin"].toInt()) / 20.0);
        EXPECT_DOUBLE_EQ(info["frame_rate"].toDouble(), facts["frame_rate"].toDouble());
        EXPECT_EQ(info["frame_count"], facts["frame_count"]);
        EXPECT_EQ(info["file_length"], facts["file_length_field"]);
        EXPECT_TRUE(info["width"].isDouble());  // numbers, not text
        ++checked;
    }
    EXPECT_EQ(checked, 3);
}

TEST(RenderTool, InfoOfTheSampleMovie) {
    const QString sample = QStringLiteral(ZD_BIN_DIR "/samples/zephyrdeck-sample.swf");
    ASSERT_TRUE(QFile::exists(sample)) << "the build writes the sample movie";
    const ToolRun run = render({"--info", sample});
    ASSERT_EQ(run.exitCode, 0);
    const QJsonObject info = QJsonDocument::fromJson(run.out).object();
    EXPECT_EQ(info["signature"].toString(), "CWS");
    EXPECT_EQ(info["width"].toInt(), 550);
    EXPECT_EQ(info["height"].toInt(), 400);
    EXPECT_EQ(info["frame_rate"].toInt(), 24);
    EXPECT_EQ(info["frame_count"].toInt(), 120);
}

TEST(RenderTool, NotAMovieExitsWithStatus2AndOneLine) {
    const QString text = zd::test::writeTempFile({'n', 'o', 't', '\n'}, "not-a-movie.swf");
    for (const QString& movie : {text, QStringLiteral("/no/such/file.swf")}) {
        SCOPED_TRACE(movie.toStdString());
        const ToolRun run = render({"--info", "--png", "/tmp/never-written.png", movie});
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_TRUE(run.out.isEmpty());
        EXPECT_EQ(run.err.count('\n'), 1) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(movie.toUtf8()));
    }
}

TEST(RenderTool, BadArgumentsAreNotMistakenForBadMovies) {
    const QString movie = framesByColour();
    for (const QStringList& args :
         {QStringList{"--frames", "x", movie}, QStringList{"--size", "10", movie},
          QStringList{"--frames", "2", "--ticks", "2", movie}, QStringList{"--bogus", movie},
          QStringList{}}) {
        SCOPED_TRACE(args.join(' ').toStdString());
        EXPECT_EQ(render(args).exitCode, 1);
    }
    // Accepted and ignored for now.
    EXPECT_EQ(render({"--trace", "--input", "/dev/null", movie}).exitCode, 0);
}

TEST(RenderTool, PngAtStageSizeOrAskedSize) {
    const QString movie = framesByColour();
    const QString png = zd::test::writeTempFile({}, "stage.png");
    ASSERT_EQ(render({"--png", png, movie}).exitCode, 0);
    QImage image(png);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(20, 10));
    EXPECT_TRUE(image.hasAlphaChannel());
    EXPECT_EQ(image.pixel(0, 0), qRgb(0, 0, 100));

    ASSERT_EQ(render({"--png", png, "--size", "64x48", movie}).exitCode, 0);
    image.load(png);
    EXPECT_EQ(image.size(), QSize(64, 48));
    // The area around the ShowAll stage takes the background colour too.
    EXPECT_EQ(image.pixel(0, 0), qRgb(0, 0, 100));
    EXPECT_EQ(image.pixel(63, 47), qRgb(0, 0, 100));
}

// Frame 1 is the first one run; ticks default to one frame interval each.
TEST(RenderTool, FramesAndTicks) {
    const QString movie = framesByColour();
    const QString png = zd::test::writeTempFile({}, "frame.png");
    struct Case {
        QStringList args;
        int frame;
    };
    const std::vector<Case> cases = {
        {{}, 0},
        {{"--frames", "1"}, 0},
        {{"--frames", "4"}, 3},
        {{"--frames", "100"}, 9},  // stops on the last frame
        {{"--ticks", "0"}, 0},
        {{"--ticks", "4"}, 3},
        {{"--ticks", "5", "--tick-ms", "50"}, 2},   // 200 ms after the first tick at 10 fps
        {{"--ticks", "3", "--tick-ms", "250"}, 5},  // 500 ms
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const ToolRun run = render(c.args + QStringList{"--png", png, movie});
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
        EXPECT_EQ(frameShown(png), c.frame);
    }
}
