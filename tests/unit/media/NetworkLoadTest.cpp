#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QNetworkAccessManager>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "MediaFixtures.h"
#include "engine/audio/Id3.h"
#include "engine/player/DataFetch.h"
#include "engine/player/StagePlayer.h"
#include "engine/script/ScriptHost.h"
#include "engine/swf/MovieData.h"
#include "swfwriter/ActionWriter.h"

using namespace zd::engine;
using namespace zd::test;
namespace sw = zd::swfwriter;
namespace op = sw::op;

namespace {

void ensureApp() {
    if (QCoreApplication::instance() == nullptr) {
        static int argc = 1;
        static char name[] = "unit_media";
        static char* argv[] = {name, nullptr};
        static auto* app = new QCoreApplication(argc, argv);
        (void)app;
    }
}

bool waitUntil(const std::function<bool()>& done, int timeoutMs = 10000) {
    ensureApp();
    QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired()) {
            return done();
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

// A web server on 127.0.0.1 answering every request with one response, its body sent in
// chunks with pauses between them.
class TrickleServer {
  public:
    struct Response {
        QByteArray status = "200 OK";
        QByteArray body;
        int chunks = 10;
        int pauseMs = 20;
        qsizetype cutAt = -1;  // close the connection once this much is out (-1: all of it)
    };

    explicit TrickleServer(Response response) : response_(std::move(response)) {
        ensureApp();
        QObject::connect(&server_, &QTcpServer::newConnection, [this] { accept(); });
        server_.listen(QHostAddress::LocalHost, 0);
    }
    QString url(const char* name = "file") const {
        return QStringLiteral("http://127.0.0.1:%1/%2").arg(server_.serverPort()).arg(name);
    }
    int requests() const { return requests_; }

  private:
    void accept() {
        while (QTcpSocket* socket = server_.nextPendingConnection()) {
            auto request = std::make_shared<QByteArray>();
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, request] {
                request->append(socket->readAll());
                if (request->contains("\r\n\r\n") && !request->endsWith("sent")) {
                    request->append("sent");
                    ++requests_;
                    respond(socket);
                }
            });
        }
    }

    void respond(QTcpSocket* socket) {
        socket->write("HTTP/1.1 " + response_.status + "\r\nContent-Length: " +
                      QByteArray::number(response_.body.size()) + "\r\nConnection: close\r\n\r\n");
        const qsizetype total = response_.cutAt >= 0 ? response_.cutAt : response_.body.size();
        const qsizetype chunk =
            std::max<qsizetype>(1, (total + response_.chunks - 1) / response_.chunks);
        auto sent = std::make_shared<qsizetype>(0);
        auto* timer = new QTimer(socket);
        QObject::connect(timer, &QTimer::timeout, socket,
                         [this, socket, timer, sent, total, chunk] {
                             const qsizetype n = std::min(chunk, total - *sent);
                             socket->write(response_.body.mid(*sent, n));
                             *sent += n;
                             if (*sent >= total) {
                                 timer->stop();
                                 socket->disconnectFromHost();
                             }
                         });
        timer->start(response_.pauseMs);
    }

    Response response_;
    QTcpServer server_;
    int requests_ = 0;
};

QByteArray bytesOf(const Bytes& b) {
    return QByteArray(reinterpret_cast<const char*>(b.data()), static_cast<qsizetype>(b.size()));
}

struct FetchOutcome {
    int progressed = 0;
    int finished = 0;
    DataFetch::State state = DataFetch::State::Loading;
    std::string bytes;
    QString error;
};

FetchOutcome fetch(const QString& url, std::size_t cap = 1 << 20) {
    QNetworkAccessManager network;
    DataFetch f(network, QUrl(url), cap);
    FetchOutcome out;
    QObject::connect(&f, &DataFetch::progressed, [&out] { ++out.progressed; });
    QObject::connect(&f, &DataFetch::finished, [&out] { ++out.finished; });
    waitUntil([&f] { return f.state() != DataFetch::State::Loading; });
    // Nothing more is told after the end.
    QDeadlineTimer settle(100);
    while (!settle.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    out.state = f.state();
    out.bytes = f.bytes();
    out.error = f.error();
    return out;
}

// An ID3v2.3 tag naming the song.
Bytes id3Tag(std::string_view title) {
    Bytes frame{'T', 'I', 'T', '2', 0, 0, 0, static_cast<std::uint8_t>(title.size() + 1), 0, 0, 0};
    frame.insert(frame.end(), title.begin(), title.end());
    Bytes tag{'I', 'D', '3', 3, 0, 0, 0, 0, 0, static_cast<std::uint8_t>(frame.size())};
    tag.insert(tag.end(), frame.begin(), frame.end());
    return tag;
}

}  // namespace

// What arrives is told as it arrives; the end is told once, and a load that goes wrong
// (an error status, a connection cut short, a file over the cap) fails rather than hands over
// what came.
TEST(DataFetch, StreamsAndFailsOnce) {
    Bytes body(40000);
    for (std::size_t i = 0; i < body.size(); ++i) {
        body[i] = static_cast<std::uint8_t>(i * 7);
    }
    TrickleServer ok({.body = bytesOf(body), .chunks = 8});
    const FetchOutcome whole = fetch(ok.url());
    EXPECT_EQ(whole.state, DataFetch::State::Done);
    EXPECT_EQ(whole.finished, 1);
    EXPECT_GE(whole.progressed, 2) << "the bytes came in one piece";
    EXPECT_EQ(whole.bytes, std::string(body.begin(), body.end()));

    TrickleServer missing({.status = "404 Not Found", .body = "no such file"});
    const FetchOutcome notFound = fetch(missing.url());
    EXPECT_EQ(notFound.state, DataFetch::State::Failed);
    EXPECT_EQ(notFound.finished, 1);
    EXPECT_TRUE(notFound.error.contains("404")) << notFound.error.toStdString();

    TrickleServer cut({.body = bytesOf(body), .chunks = 4, .cutAt = 15000});
    const FetchOutcome cutShort = fetch(cut.url());
    EXPECT_EQ(cutShort.state, DataFetch::State::Failed);
    EXPECT_EQ(cutShort.finished, 1);

    TrickleServer large({.body = bytesOf(body), .chunks = 4});
    const FetchOutcome over = fetch(large.url(), 10000);
    EXPECT_EQ(over.state, DataFetch::State::Failed);
    EXPECT_EQ(over.finished, 1);
    EXPECT_LE(over.bytes.size(), 10000u);

    // Nobody listening.
    quint16 closed = 0;
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        closed = probe.serverPort();
    }
    const FetchOutcome refused = fetch(QStringLiteral("http://127.0.0.1:%1/x").arg(closed));
    EXPECT_EQ(refused.state, DataFetch::State::Failed);
    EXPECT_EQ(refused.finished, 1);
}

TEST(Id3, Version2SizeOfATagStillArriving) {
    const Bytes tag = id3Tag("Song");
    EXPECT_EQ(id3Version2Size(tag), tag.size());
    EXPECT_EQ(id3Version2Size(std::span(tag).first(10)), tag.size());
    EXPECT_FALSE(id3Version2Size(std::span(tag).first(9)));
    const Bytes noTag(20, 0xff);
    EXPECT_FALSE(id3Version2Size(noTag));
}

namespace {

// Records what the scripts' sounds ask of the mixer.
struct SoundLog : SoundHooks {
    struct Start {
        std::uint32_t id;
        double offset;
        std::size_t tracesBefore;
    };
    std::vector<Start> starts;
    std::vector<std::uint32_t> stops;
    const std::vector<std::string>* traces = nullptr;

    bool startScriptSoundData(InstanceId, std::uint32_t dataId, std::span<const std::uint8_t>,
                              double offset, int) override {
        starts.push_back({dataId, offset, traces->size()});
        return true;
    }
    void stopScriptSounds(InstanceId, std::optional<std::uint32_t> id) override {
        stops.push_back(id.value_or(0));
    }
};

// s = new Sound(); s.onID3 and s.onLoad trace what they see; s.loadSound(url, streaming).
Bytes loadSoundMovie(const std::string& url, bool streaming) {
    sw::MovieWriter m(8, sw::Rect{0, 2000, 0, 2000}, 10);
    sw::ActionWriter a;
    a.push({"s", 0, "Sound"}).act(op::NewObject).act(op::SetVariable);
    sw::ActionWriter onId3;
    onId3.push({"id3 "})
        .getVariable("s")
        .push({"id3"})
        .act(op::GetMember)
        .push({"songname"})
        .act(op::GetMember)
        .act(op::Add2)
        .push({" "})
        .act(op::Add2)
        .push({0})
        .getVariable("s")
        .push({"getBytesLoaded"})
        .act(op::CallMethod)
        .act(op::Add2)
        .act(op::Trace);
    a.getVariable("s").push({"onID3"}).defineFunction("", {}, onId3).act(op::SetMember);
    sw::ActionWriter onLoad;
    onLoad.push({"load "})
        .getVariable("ok")
        .act(op::Add2)
        .push({" "})
        .act(op::Add2)
        .push({0})
        .getVariable("s")
        .push({"getBytesLoaded"})
        .act(op::CallMethod)
        .act(op::Add2)
        .act(op::Trace);
    a.getVariable("s").push({"onLoad"}).defineFunction("", {"ok"}, onLoad).act(op::SetMember);
    a.push({streaming, std::string_view(url), 2})
        .getVariable("s")
        .push({"loadSound"})
        .act(op::CallMethod)
        .act(op::Pop);
    m.rawTag(12, a.bytes());
    m.showFrame();
    m.showFrame();
    return m.finish();
}

struct SoundRun {
    SoundRun(const Bytes& file, bool network) : movie(MovieData::fromBytes(file)) {
        sounds.traces = &lines;
        player = std::make_unique<StagePlayer>(*movie);
        player->setSoundHooks(&sounds);
        host = std::make_unique<zd::script::ScriptHost>(*player, *movie);
        host->setNetworkLoads(network);
        host->onTrace = [this](std::string_view l) { lines.emplace_back(l); };
        player->settle();
    }
    // Ticks with the event loop running between, until a line starts so.
    bool tickUntil(std::string_view prefix, int timeoutMs = 10000) {
        return waitUntil(
            [&] {
                player->tick();
                QThread::msleep(5);
                return std::any_of(lines.begin(), lines.end(),
                                   [&](const std::string& l) { return l.starts_with(prefix); });
            },
            timeoutMs);
    }

    SoundLog sounds;
    std::vector<std::string> lines;
    std::unique_ptr<MovieData> movie;
    std::unique_ptr<StagePlayer> player;
    std::unique_ptr<zd::script::ScriptHost> host;
};

}  // namespace

// A streaming sound from the web starts playing before the whole file is in, and its ID3 tag
// is told as soon as the tag has arrived; once all is in, the whole file plays on from where
// the part had got to.
TEST(NetworkSound, StreamingMp3StartsBeforeTheDownloadEnds) {
    const Mp3 mp3 = encodeMp3(sine(440, 44100, 44100 * 3), 44100, 1);
    Bytes file = id3Tag("Song");
    file.insert(file.end(), mp3.data.begin(), mp3.data.end());
    TrickleServer server({.body = bytesOf(file), .chunks = 30, .pauseMs = 30});
    SoundRun run(loadSoundMovie(server.url("tone.mp3").toStdString(), true), true);
    ASSERT_TRUE(run.tickUntil("load "));
    ASSERT_GE(run.lines.size(), 2u);
    EXPECT_TRUE(run.lines[0].starts_with("id3 Song ")) << run.lines[0];
    const double loadedAtId3 = std::stod(run.lines[0].substr(9));
    EXPECT_LT(loadedAtId3, double(file.size())) << "the tag waited for the whole file";
    EXPECT_EQ(run.lines.back(), "load true " + std::to_string(file.size()));
    EXPECT_EQ(std::count_if(run.lines.begin(), run.lines.end(),
                            [](const std::string& l) { return l.starts_with("id3"); }),
              1);
    ASSERT_GE(run.sounds.starts.size(), 2u);
    const SoundLog::Start early = run.sounds.starts.front();
    EXPECT_EQ(early.offset, 0.0);
    EXPECT_LT(early.tracesBefore, run.lines.size()) << "nothing played before the load ended";
    const SoundLog::Start whole = run.sounds.starts.back();
    EXPECT_NE(whole.id, early.id);
    EXPECT_GT(whole.offset, 0.0) << "the whole file started again from its beginning";
    EXPECT_NE(std::find(run.sounds.stops.begin(), run.sounds.stops.end(), early.id),
              run.sounds.stops.end())
        << "the part kept playing beside the whole";
    EXPECT_EQ(server.requests(), 1);
}

// A failed load from the web is told once, as a failed local one is; without network loads
// allowed, an address is never asked for.
TEST(NetworkSound, FailuresAndLoadsNotAllowed) {
    TrickleServer missing({.status = "404 Not Found", .body = "gone"});
    SoundRun run(loadSoundMovie(missing.url("x.mp3").toStdString(), true), true);
    ASSERT_TRUE(run.tickUntil("load "));
    for (int i = 0; i < 5; ++i) {
        run.player->tick();
    }
    ASSERT_EQ(run.lines.size(), 1u);
    EXPECT_TRUE(run.lines[0].starts_with("load false")) << run.lines[0];
    EXPECT_TRUE(run.sounds.starts.empty());

    const Mp3 mp3 = encodeMp3(sine(440, 44100, 44100), 44100, 1);
    TrickleServer server({.body = bytesOf(mp3.data)});
    SoundRun local(loadSoundMovie(server.url("tone.mp3").toStdString(), false), false);
    ASSERT_TRUE(local.tickUntil("load "));
    EXPECT_EQ(local.lines.back().substr(0, 10), "load false");
    EXPECT_EQ(server.requests(), 0);
}

namespace {

// A FLV file of `frames` video frames 100 ms apart, each padded to `padding` bytes.
Bytes paddedFlv(int frames, std::size_t padding) {
    Bytes out{'F', 'L', 'V', 1, 1, 0, 0, 0, 9, 0, 0, 0, 0};
    for (int i = 0; i < frames; ++i) {
        Bytes body{static_cast<std::uint8_t>((i % 5 == 0 ? 0x10 : 0x20) | 2), 0, 0, 0x84};
        body.resize(padding, 0);
        const auto size = static_cast<std::uint32_t>(body.size());
        const auto time = static_cast<std::uint32_t>(i * 100);
        out.insert(out.end(), {9, std::uint8_t(size >> 16), std::uint8_t(size >> 8),
                               std::uint8_t(size), std::uint8_t(time >> 16),
                               std::uint8_t(time >> 8), std::uint8_t(time), 0, 0, 0, 0});
        out.insert(out.end(), body.begin(), body.end());
        const std::uint32_t back = size + 11;
        out.insert(out.end(), {std::uint8_t(back >> 24), std::uint8_t(back >> 16),
                               std::uint8_t(back >> 8), std::uint8_t(back)});
    }
    return out;
}

// A stream over a local connection whose onStatus traces the code and the bytes loaded, then
// plays `url`.
Bytes netStreamMovie(const std::string& url) {
    sw::MovieWriter m(8, sw::Rect{0, 2000, 0, 2000}, 10);
    sw::ActionWriter a;
    a.push({"nc", 0, "NetConnection"}).act(op::NewObject).act(op::SetVariable);
    a.push({sw::Null{}, 1}).getVariable("nc").push({"connect"}).act(op::CallMethod).act(op::Pop);
    a.push({"ns"}).getVariable("nc").push({1, "NetStream"}).act(op::NewObject).act(op::SetVariable);
    sw::ActionWriter onStatus;
    onStatus.getVariable("info")
        .push({"code"})
        .act(op::GetMember)
        .push({" "})
        .act(op::Add2)
        .getVariable("ns")
        .push({"bytesLoaded"})
        .act(op::GetMember)
        .act(op::Add2)
        .act(op::Trace);
    a.getVariable("ns")
        .push({"onStatus"})
        .defineFunction("", {"info"}, onStatus)
        .act(op::SetMember);
    a.push({std::string_view(url), 1})
        .getVariable("ns")
        .push({"play"})
        .act(op::CallMethod)
        .act(op::Pop);
    m.rawTag(12, a.bytes());
    m.showFrame();
    m.showFrame();
    return m.finish();
}

}  // namespace

// A video from the web plays while it arrives: it starts once its buffer time is in, waits
// (buffer empty, then full again) when the play time catches up with the download, and ends
// as a local file does once all of it is in.
TEST(NetworkStream, FlvPlaysWhileItArrives) {
    const Bytes file = paddedFlv(30, 2000);
    TrickleServer server({.body = bytesOf(file), .chunks = 25, .pauseMs = 40});
    SoundRun run(netStreamMovie(server.url("clip.flv").toStdString()), true);
    ASSERT_TRUE(run.tickUntil("NetStream.Play.Stop", 20000));
    ASSERT_GE(run.lines.size(), 5u);
    const auto bytesIn = [](const std::string& line) {
        return std::stod(line.substr(line.rfind(' ') + 1));
    };
    EXPECT_TRUE(run.lines[0].starts_with("NetStream.Play.Start ")) << run.lines[0];
    EXPECT_LT(bytesIn(run.lines[0]), double(file.size())) << "it waited for the whole file";
    EXPECT_TRUE(run.lines[1].starts_with("NetStream.Buffer.Full ")) << run.lines[1];
    const auto count = [&](std::string_view code) {
        return std::count_if(run.lines.begin(), run.lines.end(),
                             [&](const std::string& l) { return l.starts_with(code); });
    };
    EXPECT_EQ(count("NetStream.Play.Start"), 1);
    EXPECT_GE(count("NetStream.Buffer.Empty"), 2) << "the play time never caught up";
    EXPECT_EQ(count("NetStream.Buffer.Empty"), count("NetStream.Buffer.Full"))
        << "each wait ends once more is in";
    const std::size_t n = run.lines.size();
    EXPECT_TRUE(run.lines[n - 2].starts_with("NetStream.Play.Stop ")) << run.lines[n - 2];
    EXPECT_TRUE(run.lines[n - 3].starts_with("NetStream.Buffer.Flush ")) << run.lines[n - 3];
    EXPECT_EQ(bytesIn(run.lines[n - 2]), double(file.size()));
    EXPECT_EQ(server.requests(), 1);
}
