#include "engine/player/MovieRunner.h"

#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <algorithm>
#include <cmath>

namespace zd::engine {

namespace {

constexpr qint64 kReadChunk = 1 << 20;
// A server that stops sending for this long ends the load with what arrived.
constexpr int kTransferTimeoutMs = 30000;

std::span<const std::uint8_t> asBytes(const char* data, qsizetype size) {
    return {reinterpret_cast<const std::uint8_t*>(data), static_cast<std::size_t>(size)};
}

// Where a Movie text points: a local file or a network address.
struct Location {
    enum class Kind { File, Network, Unsupported } kind = Kind::Unsupported;
    QString path;
    QUrl url;
};

Location locate(QString text) {
    // A path handed over in quotes (as shells and command lines do) names the same file.
    if (text.size() >= 2 && text.startsWith(u'"') && text.endsWith(u'"')) {
        text = text.mid(1, text.size() - 2);
    }
    Location where;
    const QUrl url(text);
    const QString scheme = url.scheme().toLower();
    if (scheme == u"http" || scheme == u"https") {
        where.kind = Location::Kind::Network;
        where.url = url;
    } else if (scheme == u"file") {
        where.kind = Location::Kind::File;
        where.path = url.toLocalFile();
    } else if (text.contains(u"://")) {
        where.kind = Location::Kind::Unsupported;
    } else {
        where.kind = Location::Kind::File;
        where.path = text;
    }
    return where;
}

}  // namespace

MovieRunner::MovieRunner(QObject* parent) : QObject(parent) {
    clock_.setTimerType(Qt::PreciseTimer);
    clock_.setSingleShot(true);
    connect(&clock_, &QTimer::timeout, this, &MovieRunner::onClockTick);
    heldClock_.setTimerType(Qt::PreciseTimer);
    connect(&heldClock_, &QTimer::timeout, this, &MovieRunner::advanceHeld);
}

MovieRunner::~MovieRunner() {
    dropReply();
}

const MovieHeader* MovieRunner::header() const {
    return hasMovie() ? movie_->header() : nullptr;
}

int MovieRunner::totalFrames() const {
    if (!hasMovie()) {
        return 0;
    }
    return std::max<int>(1, movie_->header()->frameCount);
}

int MovieRunner::framesLoaded() const {
    if (!hasMovie()) {
        return 0;
    }
    return static_cast<int>(std::min<std::uint64_t>(movie_->framesLoaded(), INT32_MAX));
}

int MovieRunner::percentLoaded() const {
    if (!movie_ || state_ == LoadState::Failed) {
        return 0;
    }
    return movie_->percentLoaded();
}

Rect MovieRunner::stage() const {
    return hasMovie() ? movie_->header()->frameSize : Rect{};
}

double MovieRunner::frameRate() const {
    return playableFrameRate(hasMovie() ? movie_->header()->frameRate() : 0.0);
}

QColor MovieRunner::backgroundColor() const {
    if (hasMovie()) {
        if (const auto c = movie_->timeline().backgroundAt(static_cast<std::size_t>(frame_))) {
            return QColor(c->r, c->g, c->b);
        }
    }
    return QColor(Qt::white);
}

void MovieRunner::post(std::function<void()> emitter) {
    const quint64 generation = generation_;
    QMetaObject::invokeMethod(
        this,
        [this, generation, emitter = std::move(emitter)] {
            if (generation == generation_) {
                emitter();
            }
        },
        Qt::QueuedConnection);
}

void MovieRunner::resetMovie() {
    ++generation_;
    dropReply();
    display_.reset();
    movie_.reset();
    text_.clear();
    error_.clear();
    state_ = LoadState::Empty;
    frame_ = 0;
    lastPercent_ = -1;
    announcedComplete_ = false;
    updateClock();
}

void MovieRunner::setMovie(const QString& pathOrAddress) {
    resetMovie();
    if (pathOrAddress.isEmpty()) {
        return;
    }
    text_ = pathOrAddress;
    state_ = LoadState::Loading;
    playing_ = true;  // the control is built with play on
    movie_ = std::make_unique<MovieData>();
    const Location where = locate(pathOrAddress);
    switch (where.kind) {
        case Location::Kind::File:
            loadLocalFile(where.path);
            break;
        case Location::Kind::Network:
            startDownload(where.url);
            break;
        case Location::Kind::Unsupported:
            failLoad(QStringLiteral("unsupported address: %1").arg(pathOrAddress));
            break;
    }
}

void MovieRunner::loadLocalFile(const QString& path) {
    const QFileInfo info(path);
    if (path.isEmpty() || !info.isFile()) {
        failLoad(QStringLiteral("no such file: %1").arg(path));
        return;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        failLoad(QStringLiteral("cannot read %1: %2").arg(path, file.errorString()));
        return;
    }
    QByteArray chunk;
    while (state_ == LoadState::Loading || (state_ == LoadState::Ready && !isLoadComplete())) {
        chunk = file.read(kReadChunk);
        if (chunk.isEmpty()) {
            break;  // end of file or a read error: what arrived is the movie
        }
        feed(chunk.constData(), chunk.size());
    }
    if (state_ != LoadState::Failed) {
        finishFeed();
    }
}

void MovieRunner::startDownload(const QUrl& url) {
    if (network_ == nullptr) {
        network_ = new QNetworkAccessManager(this);
    }
    QNetworkRequest request(url);
    request.setTransferTimeout(kTransferTimeoutMs);
    reply_ = network_->get(request);
    connect(reply_, &QNetworkReply::readyRead, this, &MovieRunner::onReplyData);
    connect(reply_, &QNetworkReply::finished, this, &MovieRunner::onReplyFinished);
}

bool MovieRunner::failedHttpStatus(QNetworkReply* reply) {
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status < 400) {
        return false;
    }
    failLoad(QStringLiteral("HTTP %1 from %2").arg(status).arg(reply->url().toString()));
    return true;
}

void MovieRunner::onReplyData() {
    QNetworkReply* reply = reply_;
    if (reply == nullptr || sender() != reply) {
        return;
    }
    if (failedHttpStatus(reply)) {
        return;
    }
    const QByteArray bytes = reply->readAll();
    feed(bytes.constData(), bytes.size());
}

void MovieRunner::onReplyFinished() {
    QNetworkReply* reply = reply_;
    if (reply == nullptr || sender() != reply) {
        return;
    }
    if (failedHttpStatus(reply)) {
        return;
    }
    const QByteArray rest = reply->readAll();
    const QString networkError =
        reply->error() == QNetworkReply::NoError ? QString() : reply->errorString();
    dropReply();
    feed(rest.constData(), rest.size());
    if (state_ == LoadState::Failed) {
        return;
    }
    if (!networkError.isEmpty() && state_ != LoadState::Ready) {
        failLoad(networkError);
        return;
    }
    // A connection that breaks off after the header leaves a truncated but playable movie.
    finishFeed();
}

void MovieRunner::dropReply() {
    if (QNetworkReply* reply = reply_) {
        reply_ = nullptr;
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
}

void MovieRunner::feed(const char* bytes, qsizetype size) {
    if (!movie_ || size <= 0) {
        return;
    }
    const bool hadHeader = hasMovie();
    movie_->append(asBytes(bytes, size));
    afterFeed(hadHeader);
}

void MovieRunner::finishFeed() {
    if (!movie_) {
        return;
    }
    const bool hadHeader = hasMovie();
    movie_->finish();
    afterFeed(hadHeader);
}

void MovieRunner::afterFeed(bool hadHeader) {
    if (movie_->failed()) {
        failLoad(QString::fromStdString(movie_->problem()));
        return;
    }
    const bool complete = movie_->complete();
    if (complete) {
        dropReply();  // everything needed has arrived; the rest of the transfer is not wanted
    }
    if (!hadHeader && movie_->header() != nullptr) {
        state_ = LoadState::Ready;
        frame_ = 0;
        manualClock_ = FrameClock(frameRate());
        announcedComplete_ = complete;
        const int readyState = complete ? kReadyComplete : kReadyInteractive;
        post([this, readyState] {
            emit readyStateChanged(readyState);
            emit frameShown(frame_);
        });
    } else if (hadHeader && complete && !announcedComplete_) {
        announcedComplete_ = true;
        post([this] { emit readyStateChanged(kReadyComplete); });
    }
    const int percent = movie_->percentLoaded();
    if (percent != lastPercent_) {
        lastPercent_ = percent;
        post([this, percent] { emit loadProgress(percent); });
    }
    updateClock();
}

void MovieRunner::failLoad(const QString& reason) {
    resetMovie();
    state_ = LoadState::Failed;
    error_ = reason;
    post([this, reason] { emit loadFailed(reason); });
}

bool MovieRunner::frameAvailable(int frame) const {
    return isLoadComplete() || static_cast<std::uint64_t>(frame) < movie_->framesLoaded();
}

void MovieRunner::setPlaying(bool playing) {
    playing_ = playing;
    updateClock();
}

bool MovieRunner::stepFrame() {
    if (!hasMovie() || !playing_) {
        return false;
    }
    const int last = totalFrames() - 1;
    if (frame_ >= last) {
        // Looping is off: the movie stops on its last frame.
        playing_ = false;
        updateClock();
        return false;
    }
    if (!frameAvailable(frame_ + 1)) {
        return false;  // still arriving; the clock waits for it
    }
    ++frame_;
    if (frame_ >= last) {
        playing_ = false;
    }
    emit frameShown(frame_);
    updateClock();
    return true;
}

int MovieRunner::advanceTime(double ms) {
    int shown = 0;
    for (int due = manualClock_.advance(ms); due > 0; --due) {
        if (!stepFrame()) {
            break;
        }
        ++shown;
    }
    return shown;
}

bool MovieRunner::gotoFrame(int frame) {
    if (!hasMovie()) {
        return false;
    }
    int last = totalFrames() - 1;
    if (!isLoadComplete()) {
        last = std::min(last, std::max(0, framesLoaded() - 1));
    }
    frame_ = std::clamp(frame, 0, last);
    emit frameShown(frame_);
    updateClock();
    return true;
}

StagePlayer* MovieRunner::display() {
    if (!hasMovie()) {
        return nullptr;
    }
    if (!display_) {
        display_ = std::make_unique<StagePlayer>(*movie_);
    }
    display_->gotoFrame(frame_);
    updateClock();
    return display_.get();
}

void MovieRunner::advanceHeld() {
    if (StagePlayer* d = display()) {
        d->tickHeld();
        emit displayChanged();
    }
}

void MovieRunner::setClockMode(ClockMode mode) {
    clockMode_ = mode;
    manualClock_ = FrameClock(frameRate());
    updateClock();
}

void MovieRunner::updateClock() {
    const bool run = clockMode_ == ClockMode::Timer && hasMovie() && playing_;
    // While the root holds, its sprites still play: only once something shows them.
    const bool held = clockMode_ == ClockMode::Timer && hasMovie() && !run && display_;
    if (held && !heldClock_.isActive()) {
        heldClock_.start(std::max(1, static_cast<int>(std::lround(1000.0 / frameRate()))));
    } else if (!held) {
        heldClock_.stop();
    }
    if (!run) {
        clock_.stop();
        return;
    }
    if (!clock_.isActive() && !inClockTick_) {
        clockStarted_.start();
        clockTicks_ = 0;
        clock_.start(std::max(1, static_cast<int>(std::lround(1000.0 / frameRate()))));
    }
}

void MovieRunner::onClockTick() {
    const quint64 generation = generation_;
    inClockTick_ = true;
    stepFrame();
    inClockTick_ = false;
    if (generation != generation_) {
        updateClock();  // another movie was put meanwhile: its clock starts afresh
        return;
    }
    if (!clock_.isActive() && hasMovie() && playing_ && clockMode_ == ClockMode::Timer) {
        // Timers take whole milliseconds; aiming each tick at its own due time keeps the
        // average rate exact (24 fps is not 42 ms a frame).
        const double interval = 1000.0 / frameRate();
        ++clockTicks_;
        double wait = (clockTicks_ + 1) * interval - static_cast<double>(clockStarted_.elapsed());
        if (wait < -interval) {
            // Far behind (a busy machine): start afresh rather than rush to catch up.
            clockStarted_.start();
            clockTicks_ = 0;
            wait = interval;
        }
        clock_.start(std::max(1, static_cast<int>(std::lround(wait))));
    }
}

}  // namespace zd::engine
