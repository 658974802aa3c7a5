#include "app/FlashControl.h"

#include <QPaintEvent>
#include <QPainter>

#include "engine/player/MovieRunner.h"
#include "engine/render/StageRenderer.h"

namespace zd {

namespace {
// The value the control is built with: colour 000001.
constexpr qint32 kInitialBackground = 1;
}  // namespace

FlashControl::FlashControl(QWidget* parent)
    : QWidget(parent), runner_(std::make_unique<engine::MovieRunner>()) {
    background_ = kInitialBackground;
    setAttribute(Qt::WA_OpaquePaintEvent);
    connect(runner_.get(), &engine::MovieRunner::readyStateChanged, this,
            &FlashControl::readyStateChange);
    connect(runner_.get(), &engine::MovieRunner::frameShown, this, [this] {
        update();
        emit frameShown();
    });
    connect(runner_.get(), &engine::MovieRunner::loadFailed, this, [this] { update(); });
}

FlashControl::~FlashControl() = default;

void FlashControl::setMovie(const QString& pathOrAddress) {
    runner_->setMovie(pathOrAddress);
    update();
}

QString FlashControl::movie() const {
    return runner_->movie();
}

void FlashControl::setPlaying(bool playing) {
    runner_->setPlaying(playing);
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
    update();
}

qint32 FlashControl::backgroundColor() const {
    return background_;
}

engine::MovieRunner* FlashControl::runner() const {
    return runner_.get();
}

QColor FlashControl::playbackBackground() const {
    if (background_ == -1) {
        return Qt::white;
    }
    if (runner_->hasMovie()) {
        return runner_->backgroundColor();
    }
    // No movie: the control shows its own colour, a 0x00BBGGRR value.
    const auto bgr = static_cast<quint32>(background_);
    return QColor(bgr & 0xff, (bgr >> 8) & 0xff, (bgr >> 16) & 0xff);
}

void FlashControl::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    engine::StageView view;
    view.stage = runner_->stage();
    view.background = playbackBackground();
    painter.setClipRegion(event->region());
    engine::paintStage(painter, rect(), view);
}

}  // namespace zd
