#include <gtest/gtest.h>

#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <memory>

#include "TestSupport.h"
#include "engine/player/MovieRunner.h"

using namespace zd::engine;
using zd::test::MovieSpec;

namespace {

// A web server on 127.0.0.1 that answers every request with one response, its body sent in
// chunks with pauses between them.
class TrickleServer {
  public:
    struct Response {
        QByteArray status = "200 OK";
        QByteArray body;
        int chunks = 10;
        int pauseMs = 25;
        // Close the connection once this many bytes of the body are out (-1: send it all).
        qsizetype cutAt = -1;
    };

    explicit TrickleServer(Response response) : response_(std::move(response)) {
        QObject::connect(&server_, &QTcpServer::newConnection, [this] { accept(); });
        server_.listen(QHostAddress::LocalHost, 0);
    }

    QString url() const {
        return QStringLiteral("http://127.0.0.1:%1/movie.swf").arg(server_.serverPort());
    }

  private:
    void accept() {
        while (QTcpSocket* socket = server_.nextPendingConnection()) {
            auto request = std::make_shared<QByteArray>();
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, request] {
                request->append(socket->readAll());
                if (request->contains("\r\n\r\n") && !request->contains("sent")) {
                    request->append("sent");
                    respond(socket);
                }
            });
        }
    }

    void respond(QTcpSocket* socket) {
        socket->write("HTTP/1.1 " + response_.status + "\r\n");
        socket->write("Content-Type: application/x-shockwave-flash\r\n");
        socket->write("Content-Length: " + QByteArray::number(response_.body.size()) + "\r\n");
        socket->write("Connection: close\r\n\r\n");
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
};

struct Observed {
    std::vector<int> ready;
    std::vector<int> progress;
    std::vector<bool> completeAtProgress;
    std::vector<int> framesLoadedAtReady;
    QStringList failures;
};

void record(MovieRunner& runner, Observed& seen) {
    QObject::connect(&runner, &MovieRunner::readyStateChanged, [&runner, &seen](int s) {
        seen.ready.push_back(s);
        seen.framesLoadedAtReady.push_back(runner.framesLoaded());
    });
    QObject::connect(&runner, &MovieRunner::loadProgress, [&runner, &seen](int p) {
        seen.progress.push_back(p);
        seen.completeAtProgress.push_back(runner.isLoadComplete());
    });
    QObject::connect(&runner, &MovieRunner::loadFailed,
                     [&seen](const QString& why) { seen.failures << why; });
}

void expectProgressiveLoad(const Observed& seen, int totalFrames) {
    ASSERT_FALSE(seen.progress.empty());
    // Never backwards; 100 exactly once, last, and only when complete.
    for (std::size_t i = 1; i < seen.progress.size(); ++i) {
        EXPECT_GE(seen.progress[i], seen.progress[i - 1]);
    }
    EXPECT_EQ(seen.progress.back(), 100);
    EXPECT_EQ(std::count(seen.progress.begin(), seen.progress.end(), 100), 1);
    for (std::size_t i = 0; i < seen.progress.size(); ++i) {
        EXPECT_EQ(seen.completeAtProgress[i], seen.progress[i] == 100);
    }
    const auto between = std::count_if(seen.progress.begin(), seen.progress.end(),
                                       [](int p) { return p > 0 && p < 100; });
    EXPECT_GE(between, 3) << "loading did not report progress on the way";
    // Playable while still loading, then complete.
    EXPECT_EQ(seen.ready,
              (std::vector<int>{MovieRunner::kReadyInteractive, MovieRunner::kReadyComplete}));
    EXPECT_LT(seen.framesLoadedAtReady.front(), totalFrames);
    EXPECT_EQ(seen.framesLoadedAtReady.back(), totalFrames);
    EXPECT_TRUE(seen.failures.isEmpty());
}

}  // namespace

TEST(HttpLoad, TrickledMovieReportsIncreasingProgressUpToExactly100) {
    zd::test::ensureApp();
    MovieSpec spec;
    spec.frames = 10;
    spec.paddingPerFrame = 2000;
    for (const auto c : {zd::swfwriter::Compression::None, zd::swfwriter::Compression::Zlib}) {
        spec.noisyPadding = c != zd::swfwriter::Compression::None;
        SCOPED_TRACE(c == zd::swfwriter::Compression::None ? "FWS" : "CWS");
        TrickleServer server({.body = zd::test::toQByteArray(zd::test::movieBytes(spec, c))});
        MovieRunner runner;
        Observed seen;
        record(runner, seen);
        runner.setMovie(server.url());
        EXPECT_EQ(runner.loadState(), MovieRunner::LoadState::Loading);
        EXPECT_EQ(runner.movie(), server.url());
        ASSERT_TRUE(zd::test::waitUntil([&] { return runner.isLoadComplete(); }, 10000));
        zd::test::processEvents(50);
        expectProgressiveLoad(seen, 10);
        EXPECT_EQ(runner.percentLoaded(), 100);
        EXPECT_EQ(runner.totalFrames(), 10);
    }
}

TEST(HttpLoad, PlaybackWaitsForFramesStillOnTheirWay) {
    zd::test::ensureApp();
    MovieSpec spec;
    spec.frames = 8;
    spec.paddingPerFrame = 3000;
    TrickleServer server(
        {.body = zd::test::toQByteArray(zd::test::movieBytes(spec)), .chunks = 8, .pauseMs = 60});
    MovieRunner runner;
    runner.setClockMode(MovieRunner::ClockMode::Manual);
    runner.setMovie(server.url());
    ASSERT_TRUE(zd::test::waitUntil([&] { return runner.hasMovie(); }));
    ASSERT_FALSE(runner.isLoadComplete());
    // Stepping never runs ahead of the frames that have arrived.
    while (!runner.isLoadComplete()) {
        runner.stepFrame();
        ASSERT_LT(runner.currentFrame(), std::max(1, runner.framesLoaded()));
        runner.gotoFrame(7);
        ASSERT_LT(runner.currentFrame(), std::max(1, runner.framesLoaded()));
        zd::test::processEvents(10);
    }
    EXPECT_TRUE(runner.gotoFrame(7));
    EXPECT_EQ(runner.currentFrame(), 7);
}

TEST(HttpLoad, ErrorsGiveNoMovieAndNoReadyState) {
    zd::test::ensureApp();
    const QByteArray movie = zd::test::toQByteArray(zd::test::movieBytes(MovieSpec{}));
    // A port nobody listens on.
    quint16 closedPort = 0;
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        closedPort = probe.serverPort();
    }
    TrickleServer notFound({.status = "404 Not Found", .body = movie});
    TrickleServer serverError({.status = "500 Internal Server Error", .body = "oops"});
    TrickleServer page({.body = "<html><body>Hello</body></html>"});
    TrickleServer headerCut({.body = movie, .cutAt = 12});
    const QStringList addresses = {
        notFound.url(),
        serverError.url(),
        page.url(),
        headerCut.url(),
        QStringLiteral("http://127.0.0.1:%1/movie.swf").arg(closedPort),
    };
    for (const QString& address : addresses) {
        SCOPED_TRACE(address.toStdString());
        MovieRunner runner;
        Observed seen;
        record(runner, seen);
        runner.setMovie(address);
        ASSERT_TRUE(zd::test::waitUntil(
            [&] { return runner.loadState() == MovieRunner::LoadState::Failed; }, 10000));
        zd::test::processEvents(50);
        EXPECT_TRUE(seen.ready.empty());
        EXPECT_EQ(seen.failures.size(), 1);
        EXPECT_FALSE(runner.hasMovie());
        EXPECT_TRUE(runner.movie().isEmpty());
        EXPECT_EQ(runner.percentLoaded(), 0);
    }
}

// The connection breaks off after the header and some frames: the movie keeps what arrived.
TEST(HttpLoad, BrokenOffTransferKeepsWhatArrived) {
    zd::test::ensureApp();
    MovieSpec spec;
    spec.frames = 10;
    spec.paddingPerFrame = 1000;
    const QByteArray movie = zd::test::toQByteArray(zd::test::movieBytes(spec));
    TrickleServer server({.body = movie, .chunks = 4, .cutAt = movie.size() / 2});
    MovieRunner runner;
    Observed seen;
    record(runner, seen);
    runner.setMovie(server.url());
    ASSERT_TRUE(zd::test::waitUntil([&] { return runner.isLoadComplete(); }, 10000));
    zd::test::processEvents(50);
    EXPECT_TRUE(runner.hasMovie());
    EXPECT_EQ(runner.percentLoaded(), 100);
    EXPECT_GT(runner.framesLoaded(), 0);
    EXPECT_LT(runner.framesLoaded(), 10);
    EXPECT_EQ(seen.ready.back(), MovieRunner::kReadyComplete);
    EXPECT_TRUE(seen.failures.isEmpty());
}

// Putting another movie while one downloads abandons the download and its signals.
TEST(HttpLoad, ReplacingADownload) {
    zd::test::ensureApp();
    MovieSpec spec;
    spec.frames = 5;
    spec.paddingPerFrame = 2000;
    TrickleServer slow(
        {.body = zd::test::toQByteArray(zd::test::movieBytes(spec)), .chunks = 20, .pauseMs = 50});
    MovieRunner runner;
    Observed seen;
    record(runner, seen);
    runner.setMovie(slow.url());
    ASSERT_TRUE(zd::test::waitUntil([&] { return runner.hasMovie(); }));
    runner.setMovie(QString());
    seen = Observed{};
    zd::test::processEvents(300);
    EXPECT_TRUE(seen.ready.empty());
    EXPECT_TRUE(seen.progress.empty());
    EXPECT_EQ(runner.loadState(), MovieRunner::LoadState::Empty);
}
