#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include "TestSupport.h"
#include "swfwriter/ActionWriter.h"
#include "swfwriter/SwfWriter.h"

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

// Three frames, each tracing its number; the last one stops.
QString tracingFrames() {
    zd::swfwriter::MovieWriter movie(8, {0, 400, 0, 200}, 10.0);
    for (int f = 1; f <= 3; ++f) {
        zd::swfwriter::ActionWriter a;
        const std::string line = "frame " + std::to_string(f);
        a.trace(std::string_view(line));
        if (f == 3) {
            a.act(zd::swfwriter::op::Stop);
        }
        const auto body = a.bytes();
        movie.rawTag(12, body);
        movie.showFrame();
    }
    return zd::test::writeTempFile(movie.finish(), "tracing-frames.swf");
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
    // An input file that holds no events: said on stderr, the movie plays on.
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

TEST(RenderTool, TraceWritesEachLineAndNothingElse) {
    const QString movie = tracingFrames();
    const ToolRun run = render({"--trace", "--frames", "5", movie});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out.toStdString(), "frame 1\nframe 2\nframe 3\n");
    // Without --trace the scripts run, silently.
    const ToolRun quiet = render({"--frames", "5", movie});
    ASSERT_EQ(quiet.exitCode, 0);
    EXPECT_TRUE(quiet.out.isEmpty());
}

// A black triangle on white: its slanted edge shows whether edges are smoothed.
QString slantedEdge() {
    zd::swfwriter::MovieWriter movie(8, {0, 2000, 0, 2000}, 10.0);
    movie.setBackgroundColor({255, 255, 255, 255});
    zd::swfwriter::ShapeBuilder shape;
    shape.fill1(shape.addFillStyle(zd::swfwriter::FillStyle::solid({0, 0, 0, 255})));
    shape.polygon({{100, 100}, {1900, 300}, {300, 1900}});
    const auto id = movie.defineShape(shape);
    movie.placeObject2(zd::swfwriter::PlaceObject::place(1, id));
    movie.showFrame();
    return zd::test::writeTempFile(movie.finish(), "slanted-edge.swf");
}

// Pixels neither black nor white.
int greys(const QString& png) {
    const QImage image = QImage(png).convertToFormat(QImage::Format_RGB32);
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const int g = qGray(image.pixel(x, y));
            count += g > 0 && g < 255 ? 1 : 0;
        }
    }
    return count;
}

TEST(RenderTool, QualityTakesFourLevelsAndLowDrawsWithoutSmoothing) {
    const QString movie = slantedEdge();
    const QString png = zd::test::writeTempFile({}, "quality.png");
    for (const char* q : {"medium", "HIGH", "best"}) {
        ASSERT_EQ(render({"--quality", q, "--png", png, movie}).exitCode, 0) << q;
        EXPECT_GT(greys(png), 10) << q;
    }
    ASSERT_EQ(render({"--png", png, movie}).exitCode, 0);  // high by default
    EXPECT_GT(greys(png), 10);
    ASSERT_EQ(render({"--quality", "low", "--png", png, movie}).exitCode, 0);
    EXPECT_EQ(greys(png), 0);
    EXPECT_EQ(render({"--quality", "ultra", movie}).exitCode, 1);
    EXPECT_EQ(render({"--quality", movie}).exitCode, 1);
    // Events from a file that is not there: said on stderr, the movie plays on.
    EXPECT_EQ(render({"--input", "events.json", "--frames", "1", movie}).exitCode, 0);
}
