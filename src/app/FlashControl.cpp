#include "app/FlashControl.h"

#include <QDebug>
#include <QPaintEvent>
#include <QPainter>

#include "app/Colours.h"
#include "app/MovieLinks.h"
#include "engine/audio/AudioOutput.h"
#include "engine/audio/TimelineSound.h"
#include "engine/player/MovieRunner.h"
#include "engine/render/DamageTracker.h"
#include "engine/render/Renderer.h"
#include "engine/render/StageRenderer.h"
#include "engine/render/StandardHooks.h"
#include "engine/script/ScriptHost.h"
#include "platform/Services.h"

namespace zd {

namespace {
// The value the control is built with: colour 000001.
constexpr qint32 kInitialBackground = 1;
}  // namespace

FlashControl::FlashControl(QWidget* parent)
    : QWidget(parent),
      audio_(std::make_unique<engine::AudioOutput>()),
      sound_(std::make_unique<engine::TimelineSound>(*audio_)),
      runner_(std::make_unique<engine::MovieRunner>()),
      renderer_(std::make_unique<engine::Renderer>(engine::standardRenderHooks())),
      damage_(std::make_unique<engine::DamageTracker>()) {
    background_ = kInitialBackground;
    runner_->setSoundHooks(sound_.get());
    setAttribute(Qt::WA_OpaquePaintEvent);
    links_ = std::make_unique<MovieLinks>();
    linkClock_.start();
    // Each movie's scripts run on its own display tree; what they ask of the world outside
    // passes here: loads from the movie's folder only, addresses through MovieLinks.
    runner_->setScriptFactory([this](engine::StagePlayer& display, const engine::MovieData& movie) {
        auto host = std::make_unique<script::ScriptHost>(display, movie);
        host->setBaseDir(movieFolder(runner_->movie()).toStdString());
        host->setSharedObjectDir(sharedObjectFolder(runner_->movie()).toStdString());
        host->onUrl = [this](const script::UrlRequest& r) {
            if (auto url = links_->admit(QString::fromStdString(r.url), linkClock_.elapsed())) {
                platform::shell().openDocument(*url);
            }
        };
        host->onError = [](std::string_view e) {
            qWarning("script error: %.*s", static_cast<int>(e.size()), e.data());
        };
        return host;
    });
    connect(runner_.get(), &engine::MovieRunner::readyStateChanged, this, [this](int state) {
        invalidateFrame();
        emit readyStateChange(state);
    });
    // A new frame that changes nothing on the stage is not drawn again: displayChanged says
    // when the picture differs.
    connect(runner_.get(), &engine::MovieRunner::frameShown, this, [this] { emit frameShown(); });
    // Frames arriving may complete what the current frame shows.
    connect(runner_.get(), &engine::MovieRunner::loadProgress, this, [this] { invalidateFrame(); });
    connect(runner_.get(), &engine::MovieRunner::loadFailed, this, [this] { invalidateFrame(); });
    connect(runner_.get(), &engine::MovieRunner::displayChanged, this,
            &FlashControl::displayChanged);
}

FlashControl::~FlashControl() = default;

void FlashControl::setMovie(const QString& pathOrAddress) {
    runner_->setMovie(pathOrAddress);
    // The movie put starts playing, and its sound with it (the last one's has stopped).
    sound_->setHeld(false);
    renderer_->clearCaches();
    invalidateFrame();
}

void FlashControl::invalidateFrame() {
    frameCacheValid_ = false;
    stale_ = QRegion();
    damage_->invalidate();
    update();
}

QTransform FlashControl::deviceTransform() const {
    return engine::stageTransform(runner_->stage(), QRectF(QPointF(0, 0), QSizeF(size())));
}

void FlashControl::displayChanged() {
    engine::StagePlayer* display = runner_->hasMovie() ? runner_->display() : nullptr;
    if (!frameCacheValid_ || frameCache_.size() != size() || display == nullptr) {
        invalidateFrame();
        return;
    }
    const auto region =
        damage_->damage(*renderer_, *display, deviceTransform(), QRect(QPoint(0, 0), size()));
    if (!region) {
        invalidateFrame();
        return;
    }
    if (!region->isEmpty()) {
        stale_ += *region;
        update(*region);
    }
}

QString FlashControl::movie() const {
    return runner_->movie();
}

void FlashControl::setPlaying(bool playing) {
    runner_->setPlaying(playing);
    sound_->setHeld(!playing);
}

bool FlashControl::playing() const {
    return runner_->isPlaying();
}

std::optional<qint32> FlashControl::frameNum() const {
    if (!runner_->hasMovie()) {
        return std::nullopt;
    }
    return runner_->currentFrame();
}

std::optional<qint32> FlashControl::totalFrames() const {
    if (!runner_->hasMovie()) {
        return std::nullopt;
    }
    return runner_->totalFrames();
}

std::optional<qint32> FlashControl::percentLoaded() const {
    // While the header is still on its way there is a movie, just no frames yet.
    if (runner_->loadState() != engine::MovieRunner::LoadState::Ready &&
        runner_->loadState() != engine::MovieRunner::LoadState::Loading) {
        return std::nullopt;
    }
    return runner_->percentLoaded();
}

bool FlashControl::setFrameNum(qint32 frame) {
    return runner_->gotoFrame(frame);
}

void FlashControl::setBackgroundColor(qint32 color) {
    background_ = color;
    invalidateFrame();
}

qint32 FlashControl::backgroundColor() const {
    return background_;
}

engine::MovieRunner* FlashControl::runner() const {
    return runner_.get();
}

QColor FlashControl::playbackBackground() const {
    if (background_ != kNoBackgroundOverride)
        return colours::fromBgr(static_cast<quint32>(background_));
    // The movie's own colour; white without one.
    return runner_->backgroundColor();
}

void FlashControl::paintEvent(QPaintEvent* event) {
    const QSize size = this->size();
    engine::StagePlayer* display = runner_->hasMovie() ? runner_->display() : nullptr;
    if (frameCacheValid_ && frameCache_.size() == size && display != nullptr && !stale_.isEmpty()) {
        // Only what changed is drawn again, each part through a window into the picture.
        const QRectF target(QPointF(0, 0), QSizeF(size));
        for (const QRect& r : stale_) {
            QImage part(frameCache_.bits() + r.y() * frameCache_.bytesPerLine() + r.x() * 4,
                        r.width(), r.height(), frameCache_.bytesPerLine(),
                        QImage::Format_ARGB32_Premultiplied);
            renderer_->renderStage(part, target.translated(-r.x(), -r.y()), *display,
                                   runner_->stage(), playbackBackground());
        }
        lastDrawn_ = stale_;
        stale_ = QRegion();
        ++picturesDrawn_;
    }
    if (!frameCacheValid_ || frameCache_.size() != size) {
        // Drawn only when something changed: a repaint of the same frame reuses the picture.
        if (frameCache_.size() != size) {
            frameCache_ = QImage(size, QImage::Format_ARGB32_Premultiplied);
        }
        const QRectF target(QPointF(0, 0), QSizeF(size));
        if (display != nullptr && !frameCache_.isNull()) {
            // What the tree changed until now is in this picture.
            damage_->damage(*renderer_, *display, deviceTransform(), QRect(QPoint(0, 0), size));
            renderer_->renderStage(frameCache_, target, *display, runner_->stage(),
                                   playbackBackground());
        } else if (!frameCache_.isNull()) {
            frameCache_.fill(playbackBackground());
        }
        frameCacheValid_ = true;
        stale_ = QRegion();
        lastDrawn_ = QRegion(QRect(QPoint(0, 0), size));
        ++picturesDrawn_;
    }
    QPainter painter(this);
    painter.setClipRegion(event->region());
    painter.drawImage(0, 0, frameCache_);
}

}  // namespace zd
