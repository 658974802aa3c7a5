#include "engine/player/StagePlayer.h"

namespace zd::engine {

StagePlayer::StagePlayer(const MovieData& movie, DisplayLimits limits)
    : movie_(movie), context_(dictionary_, movie.data(), limits) {
    refresh();
    rebuild();
}

StagePlayer::~StagePlayer() {
    root_.reset();  // before the context its objects count in
}

void StagePlayer::refresh() {
    context_.setData(movie_.data());
    if (movie_.header() != nullptr) {
        dictionary_.update(movie_.data(), movie_.header()->size, movie_.timeline().scannedOffset());
    }
    if (root_ && root_->currentFrame() < 0) {
        root_->start();
    }
}

std::size_t StagePlayer::framesAvailable() const {
    return movie_.timeline().frames().size();
}

void StagePlayer::rebuild() {
    root_.reset();
    root_ = std::make_unique<Timeline>(context_, &movie_.timeline().frames(), 0);
    root_->start();
}

int StagePlayer::gotoFrame(int frame) {
    refresh();
    if (frame < 0 || framesAvailable() == 0) {
        return this->frame();
    }
    const int target = std::min<int>(frame, static_cast<int>(framesAvailable()) - 1);
    if (target < root_->currentFrame()) {
        rebuild();
    }
    while (root_->currentFrame() < target) {
        root_->advance(false);
    }
    return root_->currentFrame();
}

void StagePlayer::tickHeld() {
    refresh();
    root_->advanceChildren();
}

void StagePlayer::tick(bool loop) {
    refresh();
    root_->advance(loop);
}

}  // namespace zd::engine
