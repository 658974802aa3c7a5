#include "CorpusCase.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPainter>
#include <cmath>

#include "TraceRun.h"
#include "engine/player/FrameClock.h"
#include "engine/player/StagePlayer.h"
#include "engine/render/Renderer.h"
#include "engine/render/StandardHooks.h"
#include "engine/script/ScriptHost.h"
#include "engine/swf/MovieData.h"

namespace zd::corpus {

using namespace zd::engine;

bool readCase(const QString& dir, CorpusCase& out) {
    QFile file(dir + "/manifest.json");
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QJsonObject m = QJsonDocument::fromJson(file.readAll()).object();
    if (m["kind"].toString() != u"image") {
        return false;
    }
    out.dir = dir;
    out.name = QDir(dir).dirName();
    out.frames = m["step_unit"].toString() != u"ticks";
    out.steps = std::max(1, m["num_frames"].toInt(1));
    out.tickMs = m["tick_rate_ms"].toDouble(0);
    const QJsonObject features = m["features"].toObject();
    out.withoutActions = true;
    for (const char* feature : {"do_action", "do_init_action", "clip_actions", "video"}) {
        if (features[QLatin1String(feature)].toBool()) {
            out.withoutActions = false;
        }
    }
    const QJsonObject options = m["player_options"].toObject();
    out.antialias = options["quality"].toString() != u"low";
    const QJsonObject viewport = options["viewport"].toObject();
    if (!viewport.isEmpty()) {
        out.viewport = QSize(viewport["width"].toInt(), viewport["height"].toInt());
    }
    for (const QJsonValue& v : m["images"].toArray()) {
        const QJsonObject i = v.toObject();
        ExpectedImage e;
        e.file = i["file"].toString();
        if (i["trigger"].isDouble()) {
            e.step = i["trigger"].toInt();
        } else if (i["at_step"].isDouble() && i["trigger"].toString() != u"last_frame") {
            e.step = i["at_step"].toInt();
        }
        for (const QJsonValue& c : i["checks"].toArray()) {
            e.checks.push_back(
                {c.toObject()["tolerance"].toInt(), c.toObject()["max_outliers"].toInteger()});
        }
        if (e.checks.empty()) {
            e.checks.push_back({0, 0});
        }
        out.images.push_back(std::move(e));
    }
    return !out.images.empty();
}

long countOutliers(const QImage& actual, const QImage& expected, int tolerance) {
    if (actual.size() != expected.size()) {
        const QSize big = actual.size().expandedTo(expected.size());
        return static_cast<long>(big.width()) * big.height() * 4;
    }
    const QImage a = actual.convertToFormat(QImage::Format_RGBA8888);
    const QImage e = expected.convertToFormat(QImage::Format_RGBA8888);
    long outliers = 0;
    for (int y = 0; y < a.height(); ++y) {
        const uchar* pa = a.constScanLine(y);
        const uchar* pe = e.constScanLine(y);
        for (int x = 0; x < a.width() * 4; ++x) {
            if (std::abs(int{pa[x]} - int{pe[x]}) > tolerance) {
                ++outliers;
            }
        }
    }
    return outliers;
}

CaseResult runCase(const CorpusCase& c, const QString& keepDir) {
    CaseResult result;
    QFile file(c.dir + "/test.swf");
    if (!file.open(QIODevice::ReadOnly)) {
        result.detail = "cannot read test.swf";
        return result;
    }
    const QByteArray bytes = file.readAll();
    const auto movie = MovieData::fromBytes(
        {reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size())});
    if (movie->header() == nullptr) {
        result.detail = "not a loadable movie";
        return result;
    }
    const MovieHeader& h = *movie->header();
    StagePlayer player(*movie);
    player.setRootLoops(true);
    script::ScriptHost scripts(player, *movie);
    scripts.setBaseDir(c.dir.toStdString());
    scripts.setMovieUrl("file:///test.swf");     // where the recordings played it from
    scripts.setFixedClock(981152406000.0, 345);  // UTC+05:45
    player.settle();                             // the first frame's scripts
    Renderer renderer(standardRenderHooks());
    RenderOptions options;
    options.antialias = c.antialias;
    renderer.setOptions(options);

    const QSize stageSize(
        std::max(1, static_cast<int>(std::ceil(static_cast<double>(h.frameSize.width()) / 20.0))),
        std::max(1, static_cast<int>(std::ceil(static_cast<double>(h.frameSize.height()) / 20.0))));
    const QSize size = c.viewport.isEmpty() ? stageSize : c.viewport;

    auto capture = [&]() {
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        const int frame = std::max(0, player.frame());
        const auto bg = movie->timeline().backgroundAt(static_cast<std::size_t>(frame));
        const QColor background = bg ? QColor(bg->r, bg->g, bg->b) : QColor(Qt::white);
        renderer.renderStage(image, QRectF(QPointF(0, 0), QSizeF(size)), player, h.frameSize,
                             background);
        return image;
    };

    // Step 1 shows the first frame; each further step is a frame, or a clock tick that runs
    // the frames falling due in it.
    FrameClock clock(playableFrameRate(h.frameRate()));
    const double tickMs = c.tickMs > 0 ? c.tickMs : clock.intervalMs();
    std::vector<QImage> pictures(c.images.size());
    const InputScript input = readCaseInput(c.dir);
    for (int step = 1; step <= c.steps; ++step) {
        if (step > 1) {
            const int due = c.frames ? 1 : clock.advance(tickMs);
            for (int i = 0; i < due; ++i) {
                player.tick();
            }
        }
        deliverStepInput(player, input, step);
        for (std::size_t i = 0; i < c.images.size(); ++i) {
            if (c.images[i].step == step || (c.images[i].step < 0 && step == c.steps)) {
                pictures[i] = capture();
            }
        }
    }

    result.passed = true;
    for (std::size_t i = 0; i < c.images.size(); ++i) {
        const ExpectedImage& e = c.images[i];
        if (pictures[i].isNull()) {
            pictures[i] = capture();
        }
        if (!keepDir.isEmpty()) {
            pictures[i]
                .convertToFormat(QImage::Format_RGBA8888)
                .save(keepDir + "/" + c.name + "." + QString(e.file).replace(".expected.png", "") +
                      ".actual.png");
        }
        const QImage expected(c.dir + "/" + e.file);
        if (!keepDir.isEmpty() && expected.size() == pictures[i].size()) {
            // Where the pictures differ: red over a faded copy of the expected one.
            const QImage a = pictures[i].convertToFormat(QImage::Format_RGBA8888);
            QImage diff = expected.convertToFormat(QImage::Format_RGBA8888);
            const int tolerance = e.checks.front().tolerance;
            for (int y = 0; y < diff.height(); ++y) {
                uchar* d = diff.scanLine(y);
                const uchar* pa = a.constScanLine(y);
                for (int x = 0; x < diff.width(); ++x) {
                    int worst = 0;
                    for (int k = 0; k < 4; ++k) {
                        worst = std::max(worst, std::abs(int{d[4 * x + k]} - int{pa[4 * x + k]}));
                    }
                    const bool off = worst > tolerance;
                    for (int k = 0; k < 3; ++k) {
                        d[4 * x + k] = off ? (k == 0 ? 255 : 0) : d[4 * x + k] / 4 + 150;
                    }
                    d[4 * x + 3] = 255;
                }
            }
            diff.save(keepDir + "/" + c.name + "." + QString(e.file).replace(".expected.png", "") +
                      ".diff.png");
        }
        if (expected.isNull()) {
            result.passed = false;
            result.detail += QStringLiteral("%1: cannot read; ").arg(e.file);
            continue;
        }
        for (const Check& check : e.checks) {
            const long outliers = countOutliers(pictures[i], expected, check.tolerance);
            if (outliers > check.maxOutliers) {
                result.passed = false;
                result.detail += QStringLiteral("%1: %2 values off by more than %3, %4 allowed; ")
                                     .arg(e.file)
                                     .arg(outliers)
                                     .arg(check.tolerance)
                                     .arg(check.maxOutliers);
                break;
            }
        }
    }
    if (result.detail.endsWith("; ")) {
        result.detail.chop(2);
    }
    return result;
}

}  // namespace zd::corpus
