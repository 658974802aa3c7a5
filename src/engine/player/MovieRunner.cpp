#include "engine/player/MovieRunner.h"

#include <algorithm>
#include <cmath>

#include "engine/player/FrameLog.h"

namespace zd::engine {

MovieRunner::MovieRunner(QObject* parent, std::size_t sizeCap) : QObject(parent), loader_(sizeCap) {
    connect(&loader_, &MovieLoader::arrived, this, &MovieRunner::afterArrival);
    connect(&loader_, &MovieLoader::failed, this, &MovieRunner::failLoad);
    clock_.setTimerType(Qt::PreciseTimer);
    clock_.setSingleShot(true);
    connect(&clock_, &QTimer::timeout, this, &MovieRunner::onClockTick);
}

MovieRunner::~MovieRunner() {
    movieScripts_.reset();
    display_.reset();
    loader_.cancel();
}

const MovieHeader* MovieRunner::header() const {
    return hasMovie() ? movie_->header() : nullptr;
}

void MovieRunner::setScriptHooks(ScriptHooks* hooks) {
    scripts_ = hooks;
    if (display_ && !movieScripts_) {
        display_->setScriptHooks(hooks);
    }
    updateClock();
}

void MovieRunner::setSoundHooks(SoundHooks* hooks) {
    // Hooks hear of a movie only while there is one: none was put, nothing was started.
    if (sound_ != nullptr && sound_ != hooks && display_) {
        sound_->movieChanged(nullptr);
    }
    sound_ = hooks;
    if (sound_ != nullptr && display_) {
        sound_->movieChanged(movie_);
    }
    if (display_) {
        display_->setSoundHooks(hooks);
    }
    updateClock();
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

int MovieRunner::currentFrame() const {
    return display_ ? std::max(0, display_->frame()) : 0;
}

bool MovieRunner::isPlaying() const {
    return display_ ? display_->rootTimeline().playing() : false;
}

QColor MovieRunner::backgroundColor() const {
    if (hasMovie()) {
        if (const auto c =
                movie_->timeline().backgroundAt(static_cast<std::size_t>(currentFrame()))) {
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
    movieScripts_.reset();
    if (display_ && sound_ != nullptr) {
        sound_->movieChanged(nullptr);
    }
    display_.reset();
    loader_.cancel();
    movie_ = nullptr;
    text_.clear();
    error_.clear();
    state_ = LoadState::Empty;
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
        manualClock_ = FrameClock(frameRate());
        manualTimeMs_ = 0;
        movieStarted_.start();
        if (sound_ != nullptr) {
            sound_->movieChanged(movie_);
        }
        display_ = std::make_unique<StagePlayer>(*movie_);
        display_->setRootFrameLimit(static_cast<std::size_t>(totalFrames()));
        display_->setScriptHooks(scripts_);
        if (scriptFactory_) {
            movieScripts_ = scriptFactory_(*display_, *movie_);
            display_->setScriptHooks(movieScripts_ != nullptr ? movieScripts_.get() : scripts_);
        }
        display_->setSoundHooks(sound_);
        display_->rootTimeline().setPlaying(playing_);
        firstFrameSettled_ = false;
        reportedChanges_ = display_->changes();
        reportedBackground_ = backgroundColor().rgb();
        announcedComplete_ = complete;
        const int readyState = complete ? kReadyComplete : kReadyInteractive;
        post([this, readyState] {
            // Ready is reported before the first frame's actions run: a host that starts the
            // movie when it is ready must not undo a stop() in that frame.
            const quint64 generation = generation_;
            emit readyStateChanged(readyState);
            if (generation == generation_ && display_) {
                settleFirstFrame();
                emit frameShown(currentFrame());
                reportPicture();
            }
        });
    } else if (hadHeader) {
        if (display_->refresh()) {
            firstFrameSettled_ = true;
            display_->settle();  // the first frame arrived only now
            post([this] {
                emit frameShown(currentFrame());
                reportPicture();
            });
        }
        if (complete && !announcedComplete_) {
            announcedComplete_ = true;
            post([this] { emit readyStateChanged(kReadyComplete); });
        }
    }
    const int percent = movie_->percentLoaded();
    if (percent != lastPercent_) {
        lastPercent_ = percent;
        post([this, percent] { emit loadProgress(percent); });
    }
    updateClock();
}

void MovieRunner::settleFirstFrame() {
    // Whatever comes first runs the first frame's actions: the ready report, a tick or a seek.
    if (display_ && !firstFrameSettled_) {
        firstFrameSettled_ = true;
        display_->settle();
    }
}

void MovieRunner::failLoad(const QString& reason) {
    resetMovie();
    state_ = LoadState::Failed;
    error_ = reason;
    post([this, reason] { emit loadFailed(reason); });
}

void MovieRunner::reportPicture() {
    if (!display_) {
        return;
    }
    const QRgb background = backgroundColor().rgb();
    if (display_->changes() != reportedChanges_ || background != reportedBackground_) {
        reportedChanges_ = display_->changes();
        reportedBackground_ = background;
        emit displayChanged();
    }
}

void MovieRunner::setPlaying(bool playing) {
    playing_ = playing;
    if (display_) {
        display_->rootTimeline().setPlaying(playing);
    }
    updateClock();
}

double MovieRunner::movieTime() const {
    if (clockMode_ == ClockMode::Manual) {
        return manualTimeMs_;
    }
    return movieStarted_.isValid() ? static_cast<double>(movieStarted_.elapsed()) : 0.0;
}

bool MovieRunner::stepFrame() {
    if (!display_) {
        return false;
    }
    const quint64 generation = generation_;
    const int before = currentFrame();
    if (clockMode_ == ClockMode::Manual) {
        manualTimeMs_ += 1000.0 / frameRate();
    }
    settleFirstFrame();
    display_->tick(movieTime());
    if (generation != generation_ || !display_) {
        return false;  // a hook put another movie meanwhile
    }
    const bool moved = currentFrame() != before;
    if (moved) {
        emit frameShown(currentFrame());
    }
    reportPicture();
    updateClock();
    return moved;
}

int MovieRunner::advanceTime(double ms) {
    int shown = 0;
    for (int due = manualClock_.advance(ms); due > 0 && display_; --due) {
        if (stepFrame()) {
            ++shown;
        }
        if (display_ && !display_->needsTicks()) {
            break;  // nothing can change any more
        }
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
    settleFirstFrame();
    display_->gotoFrame(std::clamp(frame, 0, last));
    emit frameShown(currentFrame());
    reportPicture();
    updateClock();
    return true;
}

void MovieRunner::setClockMode(ClockMode mode) {
    clockMode_ = mode;
    manualClock_ = FrameClock(frameRate());
    updateClock();
}

void MovieRunner::input(const InputEvent& event) {
    if (!display_) {
        return;
    }
    settleFirstFrame();
    const quint64 generation = generation_;
    display_->postInput(event);
    display_->deliverInput();
    if (generation != generation_ || !display_) {
        return;  // a handler put another movie
    }
    reportPicture();
    updateClock();
}

void MovieRunner::wake() {
    updateClock();
}

void MovieRunner::updateClock() {
    const bool run = clockMode_ == ClockMode::Timer && display_ && display_->needsTicks();
    if (!run) {
        clock_.stop();
        return;
    }
    if (!clock_.isActive() && !inClockTick_) {
        pacer_ = TickPacer(frameRate());
        pacer_.restart(FrameLog::monotonicMs());
        clock_.start(std::max(1, static_cast<int>(std::lround(pacer_.intervalMs()))));
    }
}

void MovieRunner::onClockTick() {
    const quint64 generation = generation_;
    inClockTick_ = true;
    stepFrame();
    inClockTick_ = false;
    if (FrameLog* log = FrameLog::instance(); log != nullptr && generation == generation_) {
        log->frameShown(currentFrame());
    }
    if (generation != generation_) {
        updateClock();  // another movie was put meanwhile: its clock starts afresh
        return;
    }
    if (!clock_.isActive() && clockMode_ == ClockMode::Timer && display_ &&
        display_->needsTicks()) {
        // Timers take whole milliseconds; aiming each tick at its own due time keeps the
        // average rate exact (24 fps is not 42 ms a frame).
        const double wait = pacer_.next(FrameLog::monotonicMs());
        clock_.start(static_cast<int>(std::lround(wait)));
    }
}

}  // namespace zd::engine
