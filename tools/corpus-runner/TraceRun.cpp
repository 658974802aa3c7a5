#include "TraceRun.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QUrl>
#include <cmath>

#include "engine/player/FrameClock.h"
#include "engine/player/InputScript.h"
#include "engine/player/StagePlayer.h"
#include "engine/script/ScriptHost.h"
#include "engine/script/ScriptedFiles.h"
#include "engine/script/ScriptedSocket.h"
#include "engine/swf/MovieData.h"

namespace zd::corpus {

namespace {

// Trace output beyond this is cut: a runaway movie cannot exhaust memory through it.
constexpr std::size_t kMaxOutputBytes = 16 * 1024 * 1024;

// A page request in the recording's words: the address, the window, and for a form its
// method and each variable.
std::string navigationLog(const script::UrlRequest& r) {
    std::string out =
        "Navigator::navigate_to_url:\n  URL: " + r.url + "\n  Target: " + r.window + "\n";
    if (r.method == avm1::UrlMethod::None) {
        return out;
    }
    out += r.method == avm1::UrlMethod::Post ? "  Method: POST\n" : "  Method: GET\n";
    const QString vars = QString::fromStdString(r.variables);
    for (QString pair : vars.split(u'&', Qt::SkipEmptyParts)) {
        pair.replace(u'+', u' ');
        const qsizetype eq = pair.indexOf(u'=');
        const QString name = QUrl::fromPercentEncoding(pair.left(eq).toUtf8());
        const QString value =
            eq < 0 ? QString() : QUrl::fromPercentEncoding(pair.mid(eq + 1).toUtf8());
        out += "  Param: " + name.toStdString() + "=" + value.toStdString() + "\n";
    }
    return out;
}

// A posted request in the recording's words, the body as bytes.
std::string fetchLog(const script::FetchRequest& r) {
    std::string out = "Navigator::fetch:\n  URL: " + r.url +
                      "\n  Method: POST\n  Mime-Type: " + r.contentType + "\n  Body: [";
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (std::size_t i = 0; i < r.body.size(); ++i) {
        const auto b = static_cast<unsigned char>(r.body[i]);
        if (i > 0) {
            out += ", ";
        }
        out += kHex[b >> 4];
        out += kHex[b & 15];
    }
    return out + "]\n";
}

// The recordings served remote addresses from the case's folder: http://host:port/path is
// the file host/path there (nothing for an address without a path).
std::optional<std::string> fakeRemote(const script::ScriptHost& scripts, const std::string& url) {
    const QUrl parsed(QString::fromStdString(url));
    if (!parsed.isValid() || parsed.host().isEmpty() || parsed.path().size() <= 1) {
        return std::nullopt;
    }
    return scripts.readLocal((parsed.host() + parsed.path()).toStdString());
}

}  // namespace

engine::InputScript readCaseInput(const QString& dir) {
    engine::InputScript script;
    QFile f(dir + "/input.json");
    if (f.open(QIODevice::ReadOnly)) {
        engine::readInputScript(f.readAll(), script);
    }
    return script;
}

void deliverStepInput(engine::StagePlayer& player, const engine::InputScript& script, int step) {
    const auto index = static_cast<std::size_t>(step - 1);
    if (step < 1 || index >= script.steps.size()) {
        return;
    }
    // One at a time: the queue would fold moves in a row into one.
    for (const engine::InputEvent& e : script.steps[index]) {
        player.postInput(e);
        player.deliverInput();
    }
}

bool readTraceCase(const QString& dir, TraceCase& out) {
    QFile file(dir + "/manifest.json");
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QJsonObject m = QJsonDocument::fromJson(file.readAll()).object();
    if (m["kind"].toString() != u"trace") {
        return false;
    }
    const QJsonArray traces = m["traces"].toArray();
    if (traces.isEmpty()) {
        return false;
    }
    out.dir = dir;
    out.name = QDir(dir).dirName();
    out.frames = m["step_unit"].toString() != u"ticks";
    out.steps = std::max(1, m["num_frames"].toInt(1));
    out.tickMs = m["tick_rate_ms"].toDouble(0);
    out.logNavigation = m["log_fetch"].toBool();
    out.socketScript = m["socket_script"].toString();
    out.screen = {};
    const QJsonObject viewport = m["player_options"].toObject()["viewport"].toObject();
    if (!viewport.isEmpty()) {
        const double scale = viewport["scale_factor"].toDouble(1.0) > 0
                                 ? viewport["scale_factor"].toDouble(1.0)
                                 : 1.0;
        out.screen = QSize(static_cast<int>(std::lround(viewport["width"].toDouble() / scale)),
                           static_cast<int>(std::lround(viewport["height"].toDouble() / scale)));
    }
    const QJsonObject trace = traces.at(0).toObject();
    out.expected.clear();
    if (!trace["empty"].toBool()) {
        QFile f(dir + "/" + trace["file"].toString());
        if (!f.open(QIODevice::ReadOnly)) {
            return false;
        }
        out.expected = f.readAll().toStdString();
    }
    out.approx = {};
    if (m["approximations"].isObject()) {
        const QJsonObject a = m["approximations"].toObject();
        out.approx.enabled = true;
        out.approx.epsilon = a["epsilon"].toDouble(0);
        out.approx.maxRelative = a["max_relative"].toDouble(0);
        for (const QJsonValue& p : a["number_patterns"].toArray()) {
            out.approx.numberPatterns.push_back(p.toString().toStdString());
        }
    }
    return true;
}

TraceRun runTraceMovie(const TraceCase& c) {
    using namespace zd::engine;
    TraceRun run;
    QFile file(c.dir + "/test.swf");
    if (!file.open(QIODevice::ReadOnly)) {
        return run;
    }
    const QByteArray bytes = file.readAll();
    const auto movie = MovieData::fromBytes(
        {reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size())});
    if (movie->header() == nullptr) {
        return run;
    }
    run.loaded = true;
    StagePlayer player(*movie);
    player.setRootLoops(true);
    // The recordings' file dialogs and transfers answered by markers in the movie's requests;
    // files they pick or save live as long as the run.
    QTemporaryDir files;
    script::ScriptedFiles desktop(files.isValid() ? files.path().toStdString() : std::string());
    script::ScriptHost scripts(player, *movie);
    if (files.isValid()) {
        scripts.setFileDialogs(&desktop);
    }
    scripts.onTransfer = [&desktop](const script::TransferRequest& r) {
        return desktop.transfer(r);
    };
    scripts.setBaseDir(c.dir.toStdString());
    // The recordings played each movie from the top of a file tree of its case's folder.
    scripts.setMovieUrl("file:///test.swf");
    // Shared objects live as long as the run.
    QTemporaryDir shared;
    if (shared.isValid()) {
        scripts.setSharedObjectDir(shared.path().toStdString());
    }
    // The recorded runs saw a fixed moment in a fixed zone.
    scripts.setFixedClock(981152406000.0, 345);  // UTC+05:45
    if (!c.screen.isEmpty()) {
        scripts.setScreenResolution(c.screen.width(), c.screen.height());
    }
    bool quit = false;
    scripts.onTrace = [&run](std::string_view line) {
        if (run.output.size() < kMaxOutputBytes) {
            run.output.append(line);
            run.output.push_back('\n');
        }
    };
    scripts.onError = [&run](std::string_view e) { run.errors.emplace_back(e); };
    scripts.onUrl = [&quit, &run, &c](const script::UrlRequest& r) {
        const QString url = QString::fromStdString(r.url);
        if (url.compare(u"fscommand:quit", Qt::CaseInsensitive) == 0) {
            quit = true;
        } else if (c.logNavigation && !url.startsWith(u"fscommand:", Qt::CaseInsensitive) &&
                   run.output.size() < kMaxOutputBytes) {
            run.output += navigationLog(r);
        }
    };
    scripts.onFetch = [&run, &c, &scripts](const script::FetchRequest& r) {
        if (c.logNavigation && run.output.size() < kMaxOutputBytes) {
            run.output += fetchLog(r);
        }
        return fakeRemote(scripts, r.url);
    };
    // Every connection meets the recorded peer; without one, connections are refused.
    std::vector<script::SocketStep> peer;
    bool hasPeer = false;
    if (!c.socketScript.isEmpty() && !c.socketScript.contains(u'/')) {
        QFile f(c.dir + "/" + c.socketScript);
        hasPeer = f.open(QIODevice::ReadOnly) &&
                  script::readSocketScript(f.readAll().toStdString(), peer);
    }
    scripts.onSocket = [&run, &c, &peer, hasPeer](
                           const std::string& host,
                           int port) -> std::unique_ptr<script::SocketChannel> {
        if (c.logNavigation && run.output.size() < kMaxOutputBytes) {
            run.output += "Navigator::connect_socket\n    Host: " + host +
                          "; Port: " + std::to_string(port) + "\n";
        }
        if (!hasPeer) {
            return nullptr;
        }
        return std::make_unique<script::ScriptedSocket>(peer);
    };
    const MovieHeader& h = *movie->header();
    FrameClock clock(playableFrameRate(h.frameRate()));
    const double tickMs = c.tickMs > 0 ? c.tickMs : clock.intervalMs();
    double now = 0;
    const InputScript input = readCaseInput(c.dir);
    player.settle();  // the first frame
    deliverStepInput(player, input, 1);
    for (int step = 2; step <= c.steps && !quit; ++step) {
        const int due = c.frames ? 1 : clock.advance(tickMs);
        for (int i = 0; i < due && !quit; ++i) {
            now += clock.intervalMs();
            player.tick(now);
        }
        deliverStepInput(player, input, step);
    }
    // The recordings let loads still on their way finish after the last frame.
    if (!quit) {
        scripts.deliverLoads();
    }
    return run;
}

}  // namespace zd::corpus
