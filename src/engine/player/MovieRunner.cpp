#include "engine/player/MovieRunner.h"

#include <algorithm>
#include <cmath>

namespace zd::engine {

MovieRunner::MovieRunner(QObject* parent, std::size_t sizeCap) : QObject(parent), loader_(sizeCap) {
    connect(&loader_, &MovieLoader::arrived, this, &MovieRunner::afterArrival);
    connect(&loader_, &MovieLoader::failed, this, &MovieRunner::failLoad);
    clock_.setTimerType(Qt::PreciseTimer);
    clock_.setSingleShot(true);
    connect(&clock_, &QTimer::timeout, this, &MovieRunner::onClockTick);
    heldClock_.setTimerType(Qt::PreciseTimer);
    connect(&heldClock_, &QTimer::timeout, this, &MovieRunner::advanceHeld);
}

MovieRunner::~MovieRunner() {
    display_.reset();
    loader_.cancel();
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
    display_.reset();
    loader_.cancel();
    movie_ = nullptr;
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
    loader_.load(pathOrAddress);
}

void MovieRunner::afterArrival() {
    movie_ = loader_.movie();
    if (movie_ == nullptr) {
        return;
    }
    const bool hadHeader = hasMovie();
    const bool complete = movie_->complete();
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
