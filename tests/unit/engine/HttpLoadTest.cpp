#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <memory>
#include <thread>

#include "TestSupport.h"
#include "engine/player/MovieLoader.h"
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
        int chunks = 10;  // 0: the whole response in one write
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
        if (response_.chunks == 0) {
            // Head and body in one go, the connection closed at once.
            socket->write("HTTP/1.1 " + response_.status +
                          "\r\nContent-Length: " + QByteArray::number(response_.body.size()) +
                          "\r\nConnection: close\r\n\r\n" + response_.body);
            socket->disconnectFromHost();
            return;
        }
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

namespace {

// A web server on its own thread that answers with a movie header claiming 4 GB and then an
// endless body, sent as fast as the connection takes it (blocking sends: the server itself
// holds no more than one block).
class EndlessServer {
  public:
    EndlessServer() {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        socklen_t len = sizeof addr;
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len);
        port_ = ntohs(addr.sin_port);
        ::listen(fd_, 4);
        thread_ = std::thread([this] { serve(); });
    }
    ~EndlessServer() {
        stop_ = true;
        ::shutdown(fd_, SHUT_RDWR);
        ::close(fd_);
        thread_.join();
    }
    QString url() const { return QStringLiteral("http://127.0.0.1:%1/endless.swf").arg(port_); }
    std::uint64_t sent() const { return sent_; }

  private:
    void serve() {
        const int client = ::accept(fd_, nullptr, nullptr);
        if (client < 0) {
            return;
        }
        char request[4096];
        (void)::recv(client, request, sizeof request, 0);
        std::string head =
            "HTTP/1.1 200 OK\r\nContent-Type: application/x-shockwave-flash\r\n"
            "Connection: close\r\n\r\n";
        // FWS, version 10, file length 0xffffffff, an empty stage, 24 fps, one frame.
        const unsigned char header[] = {'F',  'W', 'S', 10, 0xff, 0xff, 0xff,
                                        0xff, 0,   0,   24, 1,    0,    0};
        head.append(reinterpret_cast<const char*>(header), sizeof header);
        // Then unknown tags of 64 KiB each, for ever.
        std::string block;
        for (int i = 0; i < 16; ++i) {
            const std::uint16_t code = (200 << 6) | 0x3f;
            const std::uint32_t length = 65536;
            block.push_back(static_cast<char>(code & 0xff));
            block.push_back(static_cast<char>(code >> 8));
            for (int b = 0; b < 4; ++b) {
                block.push_back(static_cast<char>((length >> (8 * b)) & 0xff));
            }
            block.append(length, '\x01');
        }
        bool ok = ::send(client, head.data(), head.size(), MSG_NOSIGNAL) > 0;
        while (ok && !stop_) {
            const ssize_t n = ::send(client, block.data(), block.size(), MSG_NOSIGNAL);
            ok = n > 0;
            if (ok) {
                sent_ += static_cast<std::uint64_t>(n);
            }
        }
        ::close(client);
    }

    int fd_ = -1;
    quint16 port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<std::uint64_t> sent_{0};
    std::thread thread_;
};

long residentKiB() {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) {
        return 0;
    }
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) {
            return line.mid(6).trimmed().split(' ').front().toLong();
        }
    }
    return 0;
}

}  // namespace

// A source that never ends: the load stops at the size cap with what arrived, and while the
// player is too busy to read, the transfer waits instead of piling up in memory.
TEST(HttpLoad, EndlessBodyStopsAtTheCapWithBoundedMemory) {
    zd::test::ensureApp();
    constexpr std::size_t kCap = std::size_t{8} << 20;
    EndlessServer server;
    MovieLoader loader(kCap);
    int failures = 0;
    QObject::connect(&loader, &MovieLoader::failed, [&] { ++failures; });
    const long before = residentKiB();
    loader.load(server.url());
    // Busy elsewhere for a while: the connection keeps offering data meanwhile.
    ASSERT_TRUE(zd::test::waitUntil([&] { return loader.bytesReceived() > 0; }, 10000));
    QThread::msleep(400);
    const long whileBusy = residentKiB() - before;
    ASSERT_TRUE(
        zd::test::waitUntil([&] { return loader.state() != MovieLoader::State::Loading; }, 20000));
    EXPECT_EQ(loader.state(), MovieLoader::State::Done);
    EXPECT_EQ(failures, 0);
    ASSERT_NE(loader.movie(), nullptr);
    EXPECT_TRUE(loader.movie()->complete());
    EXPECT_EQ(loader.movie()->data().size(), kCap);
    EXPECT_EQ(loader.bytesReceived(), static_cast<qint64>(kCap));
    // The read buffer and the cap, not the speed of the connection, bound what is held.
    EXPECT_LT(whileBusy, 96 * 1024) << "KiB more resident while the loader was not reading";
    EXPECT_GT(server.sent(), 0u);
}

// An error page that arrives whole in one go: one failure, and no complaint from Qt about
// the reply being ended twice.
TEST(HttpLoad, ErrorStatusIsReportedOnceAndQuietly) {
    zd::test::ensureApp();
    static QStringList messages;
    messages.clear();
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext&, const QString& text) { messages << text; });
    for (const QByteArray& status : {QByteArray("404 Not Found"), QByteArray("403 Forbidden")}) {
        SCOPED_TRACE(status.toStdString());
        TrickleServer server({.status = status, .body = "not here", .chunks = 0});
        MovieRunner runner;
        Observed seen;
        record(runner, seen);
        runner.setMovie(server.url());
        ASSERT_TRUE(zd::test::waitUntil(
            [&] { return runner.loadState() == MovieRunner::LoadState::Failed; }, 10000));
        zd::test::processEvents(200);
        EXPECT_EQ(seen.failures.size(), 1);
        EXPECT_TRUE(seen.failures.value(0).startsWith("HTTP " + status.left(3)));
        EXPECT_TRUE(seen.ready.empty());
    }
    qInstallMessageHandler(previous);
    EXPECT_TRUE(messages.isEmpty()) << messages.join(" | ").toStdString();
}

// A local file larger than the cap loads as far as the cap, as a truncated movie.
TEST(MovieLoader, LocalFilesStopAtTheCap) {
    zd::test::ensureApp();
    MovieSpec spec;
    spec.frames = 20;
    spec.paddingPerFrame = 4000;
    const zd::test::Bytes bytes = zd::test::movieBytes(spec);
    const QString path = zd::test::writeTempFile(bytes, "over-the-cap.swf");
    MovieLoader loader(bytes.size() / 2);
    int arrivals = 0;
    QObject::connect(&loader, &MovieLoader::arrived, [&] { ++arrivals; });
    loader.load(path);
    EXPECT_EQ(loader.state(), MovieLoader::State::Done);
    ASSERT_NE(loader.movie(), nullptr);
    EXPECT_EQ(loader.bytesReceived(), static_cast<qint64>(bytes.size() / 2));
    EXPECT_TRUE(loader.movie()->complete());
    EXPECT_GT(loader.movie()->framesLoaded(), 0u);
    EXPECT_LT(loader.movie()->framesLoaded(), 20u);
    EXPECT_GE(arrivals, 1);

    // Loading again starts afresh; cancelling drops the movie without a signal.
    MovieLoader whole;
    whole.load(path);
    EXPECT_EQ(whole.movie()->framesLoaded(), 20u);
    whole.cancel();
    EXPECT_EQ(whole.state(), MovieLoader::State::Idle);
    EXPECT_EQ(whole.movie(), nullptr);
}
