#include "controls/RangeModel.h"

#include <algorithm>
#include <cmath>

namespace zd::controls {

RangeModel::RangeModel(int typeLow, int typeHigh, int min, int max, int value, int smallChange,
                       int largeChange)
    : typeLow_(typeLow),
      typeHigh_(typeHigh),
      min_(min),
      max_(max),
      value_(value),
      smallChange_(smallChange),
      largeChange_(largeChange) {}

bool RangeModel::setValue(int value) {
    if (value < low() || value > high()) {
        return false;
    }
    value_ = value;
    return true;
}

bool RangeModel::setMin(int min) {
    if (min < typeLow_ || min > typeHigh_) {
        return false;
    }
    min_ = min;
    value_ = clamped(value_);
    return true;
}

bool RangeModel::setMax(int max) {
    if (max < typeLow_ || max > typeHigh_) {
        return false;
    }
    max_ = max;
    value_ = clamped(value_);
    return true;
}

bool RangeModel::setSmallChange(int step) {
    if (step < 1 || step > typeHigh_) {
        return false;
    }
    smallChange_ = step;
    return true;
}

bool RangeModel::setLargeChange(int step) {
    if (step < 1 || step > typeHigh_) {
        return false;
    }
    largeChange_ = step;
    return true;
}

int RangeModel::clamped(qint64 value) const {
    return int(std::clamp<qint64>(value, low(), high()));
}

int RangeModel::steppedBy(qint64 amount) const {
    const qint64 direction = max_ >= min_ ? 1 : -1;
    return clamped(qint64(value_) + amount * direction);
}

double RangeModel::fraction() const {
    if (max_ == min_) {
        return 0.0;
    }
    return (double(value_) - min_) / (double(max_) - min_);
}

int RangeModel::valueAt(double fraction) const {
    const double span = double(max_) - min_;
    return clamped(qint64(min_) + std::llround(qBound(0.0, fraction, 1.0) * span));
}

}  // namespace zd::controls
