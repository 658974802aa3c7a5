#include "controls/RangeControl.h"

#include <QEvent>

namespace zd::controls {

namespace {
constexpr int kRepeatDelayMs = 350;
constexpr int kRepeatIntervalMs = 50;
}  // namespace

RangeControl::RangeControl(int typeLow, int typeHigh, int max, int smallChange, int largeChange,
                           QWidget* parent)
    : QWidget(parent), model_(typeLow, typeHigh, 0, max, 0, smallChange, largeChange) {
    repeat_.setSingleShot(false);
    connect(&repeat_, &QTimer::timeout, this, [this] {
        repeat_.setInterval(kRepeatIntervalMs);
        // A copy: the step may end the repeat, which drops the stored one.
        if (auto step = repeatStep_) {
            step();
        }
    });
}

bool RangeControl::setValue(int value) {
    const int before = model_.value();
    if (!model_.setValue(value)) {
        return false;
    }
    if (model_.value() != before) {
        update();
        emit Change();
    }
    return true;
}

bool RangeControl::applyRangeChange(bool accepted, int before) {
    if (!accepted) {
        return false;
    }
    update();
    if (model_.value() != before) {
        emit Change();
    }
    return true;
}

bool RangeControl::setMin(int min) {
    const int before = model_.value();
    return applyRangeChange(model_.setMin(min), before);
}

bool RangeControl::setMax(int max) {
    const int before = model_.value();
    return applyRangeChange(model_.setMax(max), before);
}

bool RangeControl::setSmallChange(int step) {
    return model_.setSmallChange(step);
}

bool RangeControl::setLargeChange(int step) {
    return model_.setLargeChange(step);
}

bool RangeControl::moveByUser(int value, bool scroll) {
    const int target = model_.clamped(value);
    if (target == model_.value()) {
        return false;
    }
    model_.setValue(target);
    update();
    emit Change();
    if (scroll) {
        emit Scroll();
    }
    return true;
}

void RangeControl::startRepeat(std::function<void()> step) {
    repeatStep_ = step;
    repeat_.start(kRepeatDelayMs);
    step();
}

void RangeControl::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange && !isEnabled()) {
        stopRepeat();
    }
    QWidget::changeEvent(event);
}

void RangeControl::hideEvent(QHideEvent* event) {
    stopRepeat();
    QWidget::hideEvent(event);
}

void RangeControl::stopRepeat() {
    repeat_.stop();
    repeatStep_ = nullptr;
}

}  // namespace zd::controls
