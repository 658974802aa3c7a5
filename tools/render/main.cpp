// zephyrdeck-render [--frames N | --ticks N [--tick-ms MS]] [--png OUT.png] [--size WxH]
//                   [--quality low|medium|high|best] [--wav OUT.wav] [--info] [--stats]
//                   [--input EVENTS.json] [--trace] MOVIE.swf
//
// Runs a movie and its scripts without a window. --trace writes each trace() line to stdout as
// it happens (script errors go to stderr); --quality low draws without antialiasing or
// smoothing. --input plays a recorded session of mouse and key events (the format of the test
// corpus: a JSON list cut into steps by "Wait"): the events of step N after frame (or tick) N.
// Exit status: 0 done, 1 bad arguments or output not written, 2 not a loadable movie. --wav writes
// the sound of the run (44.1 kHz, 16-bit stereo): one frame interval (or tick) of it for each frame
// (or tick) run.
// --stats draws every frame (or tick) run at --size (the stage size by default) and prints one
// JSON line of timings: the run's wall and process CPU time and each drawing's time.

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "engine/audio/SoundRecording.h"
#include "engine/player/FrameClock.h"
#include "engine/player/InputScript.h"
#include "engine/player/MovieRunner.h"
#include "engine/render/Renderer.h"
#include "engine/render/StageRenderer.h"
#include "engine/render/StandardHooks.h"
#include "engine/script/ScriptHost.h"

namespace {

using zd::engine::MovieRunner;

// Images larger than this on a side are scaled down to fit.
constexpr int kMaxImageSide = 8192;

struct Options {
    std::optional<long> frames;
    std::optional<long> ticks;
    std::optional<double> tickMs;
    QString png;
    QString input;
    QString wav;
    std::optional<QSize> size;
    bool info = false;
    bool trace = false;
    bool stats = false;
    bool antialias = true;
    QString movie;
};

const char kUsage[] =
    "usage: zephyrdeck-render [--frames N | --ticks N [--tick-ms MS]] [--png OUT.png] "
    "[--size WxH] [--quality low|medium|high|best] [--wav OUT.wav] [--info] [--stats] "
    "[--input EVENTS.json] [--trace] MOVIE.swf\n";

int usage(const QString& why) {
    std::fprintf(stderr, "zephyrdeck-render: %s\n%s", qPrintable(why), kUsage);
    return 1;
}

std::optional<long> parseCount(const QString& text) {
    bool ok = false;
    const long v = text.toLong(&ok);
    return ok && v >= 0 ? std::optional<long>(v) : std::nullopt;
}

std::optional<QSize> parseSize(const QString& text) {
    const QStringList parts = text.toLower().split(u'x');
    if (parts.size() != 2) {
        return std::nullopt;
    }
    bool okW = false;
    bool okH = false;
    const int w = parts[0].toInt(&okW);
    const int h = parts[1].toInt(&okH);
    if (!okW || !okH || w <= 0 || h <= 0 || w > kMaxImageSide || h > kMaxImageSide) {
        return std::nullopt;
    }
    return QSize(w, h);
}

// Shortest text that reads back as the same number (24, 2834.6, 29.96875).
std::string jsonNumber(double v) {
    char buf[64];
    const auto result = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, result.ptr);
}

std::string jsonString(const std::string& s) {
    std::string out = "\"";
    for (const char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
        }
        out += c;
    }
    return out + "\"";
}

QSize stagePixels(const zd::engine::Rect& stage) {
    const double w = static_cast<double>(stage.width()) / 20.0;
    const double h = static_cast<double>(stage.height()) / 20.0;
    if (w < 1 || h < 1) {
        return QSize(1, 1);
    }
    const double scale = std::min(1.0, kMaxImageSide / std::max(w, h));
    return QSize(std::max(1, static_cast<int>(std::ceil(w * scale - 1e-9))),
                 std::max(1, static_cast<int>(std::ceil(h * scale - 1e-9))));
}

double cpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

double ms3(double v) {
    return std::round(v * 1000.0) / 1000.0;
}

// One line: {"frames": N, "wall_ms": W, "cpu_ms": C, "render_ms": {"min": a, "median": b,
// "p99": c, "max": d}}, times to the microsecond.
std::string statsLine(std::vector<double> renderMs, double wallMs, double cpuMs) {
    std::sort(renderMs.begin(), renderMs.end());
    auto at = [&](double q) {
        if (renderMs.empty()) {
            return 0.0;
        }
        // Nearest rank: the smallest value with at least q of them at or below it.
        const auto n = static_cast<double>(renderMs.size());
        const auto rank = static_cast<std::size_t>(std::max(1.0, std::ceil(q * n)));
        return renderMs[std::min(rank, renderMs.size()) - 1];
    };
    double median = 0.0;
    if (!renderMs.empty()) {
        const std::size_t mid = renderMs.size() / 2;
        median = renderMs.size() % 2 != 0 ? renderMs[mid] : (renderMs[mid - 1] + renderMs[mid]) / 2;
    }
    return "{\"frames\": " + std::to_string(renderMs.size()) +
           ", \"wall_ms\": " + jsonNumber(ms3(wallMs)) + ", \"cpu_ms\": " + jsonNumber(ms3(cpuMs)) +
           ", \"render_ms\": {\"min\": " + jsonNumber(ms3(at(0.0))) +
           ", \"median\": " + jsonNumber(ms3(median)) + ", \"p99\": " + jsonNumber(ms3(at(0.99))) +
           ", \"max\": " + jsonNumber(ms3(at(1.0))) + "}}\n";
}

// Qt's own notes (a missing runtime folder, font fallbacks) would mix with the tool's output,
// which other tools read; only its serious errors pass.
void quietMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg) {
        std::fprintf(stderr, "zephyrdeck-render: %s\n", qPrintable(message));
    }
}

}  // namespace

int main(int argc, char** argv) {
    qInstallMessageHandler(quietMessages);
    // No window is ever shown; this also lets it run where there is no display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    Options opt;
    const QStringList args = QCoreApplication::arguments().mid(1);
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        auto value = [&]() -> std::optional<QString> {
            if (i + 1 >= args.size()) {
                return std::nullopt;
            }
            return args[++i];
        };
        if (arg == u"--frames" || arg == u"--ticks") {
            const auto v = value();
            const auto n = v ? parseCount(*v) : std::nullopt;
            if (!n) {
                return usage(arg + " needs a whole number");
            }
            (arg == u"--frames" ? opt.frames : opt.ticks) = *n;
        } else if (arg == u"--tick-ms") {
            const auto v = value();
            bool ok = false;
            const double ms = v ? v->toDouble(&ok) : 0.0;
            if (!ok || !(ms > 0)) {
                return usage("--tick-ms needs a positive number");
            }
            opt.tickMs = ms;
        } else if (arg == u"--png") {
            const auto v = value();
            if (!v || v->isEmpty()) {
                return usage("--png needs a file name");
            }
            opt.png = *v;
        } else if (arg == u"--wav") {
            const auto v = value();
            if (!v || v->isEmpty()) {
                return usage("--wav needs a file name");
            }
            opt.wav = *v;
        } else if (arg == u"--size") {
            const auto v = value();
            opt.size = v ? parseSize(*v) : std::nullopt;
            if (!opt.size) {
                return usage("--size needs WxH");
            }
        } else if (arg == u"--input") {
            const auto v = value();
            if (!v || v->isEmpty()) {
                return usage("--input needs a file name");
            }
            opt.input = *v;
        } else if (arg == u"--info") {
            opt.info = true;
        } else if (arg == u"--trace") {
            opt.trace = true;
        } else if (arg == u"--stats") {
            opt.stats = true;
        } else if (arg == u"--quality") {
            const auto v = value();
            const QString q = v ? v->toLower() : QString();
            if (q != u"low" && q != u"medium" && q != u"high" && q != u"best") {
                return usage("--quality needs low, medium, high or best");
            }
            opt.antialias = q != u"low";
        } else if (arg.startsWith(u"--")) {
            return usage("unknown option " + arg);
        } else if (opt.movie.isEmpty()) {
            opt.movie = arg;
        } else {
            return usage("only one movie at a time");
        }
    }
    if (opt.movie.isEmpty()) {
        return usage("no movie given");
    }
    if (opt.frames && opt.ticks) {
        return usage("--frames and --ticks exclude each other");
    }
    if (opt.tickMs && !opt.ticks) {
        return usage("--tick-ms goes with --ticks");
    }

    std::optional<zd::engine::SoundRecording> sound;
    if (!opt.wav.isEmpty()) {
        sound.emplace();
    }
    MovieRunner runner;
    runner.setClockMode(MovieRunner::ClockMode::Manual);
    const QString baseDir = QFileInfo(opt.movie).absolutePath();
    const bool trace = opt.trace;
    runner.setScriptFactory(
        [baseDir, trace](zd::engine::StagePlayer& display, const zd::engine::MovieData& movie) {
            auto host = std::make_unique<zd::script::ScriptHost>(display, movie);
            host->setBaseDir(baseDir.toStdString());
            if (trace) {
                host->onTrace = [](std::string_view line) {
                    std::fwrite(line.data(), 1, line.size(), stdout);
                    std::fputc('\n', stdout);
                    std::fflush(stdout);
                };
            }
            host->onError = [](std::string_view e) {
                std::fprintf(stderr, "zephyrdeck-render: script error: %.*s\n",
                             static_cast<int>(e.size()), e.data());
            };
            return host;
        });
    if (sound) {
        runner.setSoundHooks(&sound->hooks());
    }
    runner.setMovie(opt.movie);  // a local file is read at once
    if (!runner.hasMovie()) {
        std::fprintf(stderr, "zephyrdeck-render: %s: not a loadable movie (%s)\n",
                     qPrintable(opt.movie), qPrintable(runner.errorString()));
        return 2;
    }

    runner.settleFirstFrame();
    const zd::engine::MovieHeader& h = *runner.header();
    if (opt.info) {
        const std::string line =
            "{\"version\":" + std::to_string(h.version) +
            ",\"signature\":" + jsonString(h.signature()) +
            ",\"width\":" + jsonNumber(static_cast<double>(h.frameSize.width()) / 20.0) +
            ",\"height\":" + jsonNumber(static_cast<double>(h.frameSize.height()) / 20.0) +
            ",\"frame_rate\":" + jsonNumber(h.frameRate()) +
            ",\"frame_count\":" + std::to_string(h.frameCount) +
            ",\"file_length\":" + std::to_string(h.fileLength) + "}\n";
        std::fputs(line.c_str(), stdout);
        std::fflush(stdout);
    }

    zd::engine::InputScript input;
    if (!opt.input.isEmpty()) {
        QFile f(opt.input);
        QString why;
        // The movie plays on without the events; the reason is said.
        if (!f.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "zephyrdeck-render: cannot read %s; no input played\n",
                         qPrintable(opt.input));
        } else if (!zd::engine::readInputScript(f.readAll(), input, &why)) {
            std::fprintf(stderr, "zephyrdeck-render: %s: %s; no input played\n",
                         qPrintable(opt.input), qPrintable(why));
        }
    }
    // The events recorded for after a step, one at a time (moves in a row stay apart).
    long step = 1;
    auto inputOfStep = [&]() {
        zd::engine::StagePlayer* display = runner.display();
        const auto index = static_cast<std::size_t>(step - 1);
        if (display != nullptr && index < input.steps.size()) {
            for (const zd::engine::InputEvent& e : input.steps[index]) {
                display->postInput(e);
                display->deliverInput();
            }
        }
        ++step;
    };
    inputOfStep();

    auto soundOfTime = [&](double ms) {
        if (sound) {
            sound->advance(ms);
        }
    };

    // --stats draws what each step shows, with the renderer's caches kept from frame to frame
    // as a player keeps them.
    std::vector<double> renderTimes;
    std::optional<zd::engine::Renderer> statsRenderer;
    QImage statsImage;
    if (opt.stats) {
        statsRenderer.emplace(zd::engine::standardRenderHooks());
        zd::engine::RenderOptions options;
        options.antialias = opt.antialias;
        statsRenderer->setOptions(options);
        statsImage = QImage(opt.size.value_or(stagePixels(h.frameSize)),
                            QImage::Format_ARGB32_Premultiplied);
    }
    auto drawForStats = [&] {
        if (!statsRenderer) {
            return;
        }
        const auto begin = std::chrono::steady_clock::now();
        if (zd::engine::StagePlayer* display = runner.display()) {
            statsRenderer->renderStage(statsImage, QRectF(QPointF(0, 0), QSizeF(statsImage.size())),
                                       *display, runner.stage(), runner.backgroundColor());
        }
        renderTimes.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin)
                .count());
    };
    const auto runBegan = std::chrono::steady_clock::now();
    const double cpuBegan = cpuMs();

    // Frame 1 is shown on load; each further frame is one clock step.
    drawForStats();
    if (opt.ticks) {
        // The first tick runs frame 1; time then moves on by the tick length each tick.
        zd::engine::FrameClock clock(runner.frameRate());
        const double tickMs = opt.tickMs.value_or(clock.intervalMs());
        for (long t = 1; t < *opt.ticks; ++t) {
            soundOfTime(tickMs);
            for (int due = clock.advance(tickMs); due > 0; --due) {
                runner.stepFrame();  // a held root's clips play on
            }
            drawForStats();
            inputOfStep();
        }
        soundOfTime(tickMs);
    } else {
        const double intervalMs = 1000.0 / runner.frameRate();
        for (long f = 1; f < opt.frames.value_or(1); ++f) {
            soundOfTime(intervalMs);
            runner.stepFrame();  // held on the last frame, its clips play on
            drawForStats();
            inputOfStep();
        }
        soundOfTime(intervalMs);
    }
    if (opt.stats) {
        const double wallMs =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - runBegan)
                .count();
        std::fputs(statsLine(std::move(renderTimes), wallMs, cpuMs() - cpuBegan).c_str(), stdout);
        std::fflush(stdout);
    }
    if (sound && !sound->save(opt.wav)) {
        std::fprintf(stderr, "zephyrdeck-render: cannot write %s\n", qPrintable(opt.wav));
        return 1;
    }

    if (!opt.png.isEmpty()) {
        const QSize size = opt.size.value_or(stagePixels(h.frameSize));
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        zd::engine::Renderer renderer(zd::engine::standardRenderHooks());
        zd::engine::RenderOptions options;
        options.antialias = opt.antialias;
        renderer.setOptions(options);
        if (statsRenderer && statsImage.size() == size) {
            // The picture drawn with the caches kept from frame to frame: it must be the same.
            image = statsImage;
        } else if (zd::engine::StagePlayer* display = runner.display()) {
            renderer.renderStage(image, QRectF(QPointF(0, 0), QSizeF(size)), *display,
                                 runner.stage(), runner.backgroundColor());
        }
        if (!image.convertToFormat(QImage::Format_RGBA8888).save(opt.png, "PNG")) {
            std::fprintf(stderr, "zephyrdeck-render: cannot write %s\n", qPrintable(opt.png));
            return 1;
        }
    }
    return 0;
}
