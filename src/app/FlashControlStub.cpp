// Temporary until the engine-backed control lands: a control that never loads a movie.
#include "app/FlashControl.h"

#include <QPainter>

namespace zd {
namespace engine {
class MovieRunner {};
}  // namespace engine

FlashControl::FlashControl(QWidget* parent) : QWidget(parent) {}
FlashControl::~FlashControl() = default;
void FlashControl::setMovie(const QString&) {}
QString FlashControl::movie() const {
    return {};
}
void FlashControl::setPlaying(bool) {}
bool FlashControl::playing() const {
    return false;
}
std::optional<qint32> FlashControl::frameNum() const {
    return std::nullopt;
}
std::optional<qint32> FlashControl::totalFrames() const {
    return std::nullopt;
}
std::optional<qint32> FlashControl::percentLoaded() const {
    return std::nullopt;
}
bool FlashControl::setFrameNum(qint32) {
    return false;
}
void FlashControl::setBackgroundColor(qint32) {}
qint32 FlashControl::backgroundColor() const {
    return 0;
}
engine::MovieRunner* FlashControl::runner() const {
    return nullptr;
}
void FlashControl::paintEvent(QPaintEvent*) {
    QPainter(this).fillRect(rect(), Qt::black);
}
}  // namespace zd
