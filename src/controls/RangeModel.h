#pragma once

#include <QtGlobal>

namespace zd::controls {

// A value between Min and Max (Max may be the smaller: the bar then runs the other way), with
// the steps of the arrows and of the track, all within the limits of the owner's value type.
// Every setter refuses a value it cannot hold and then changes nothing.
class RangeModel {
  public:
    RangeModel(int typeLow, int typeHigh, int min, int max, int value, int smallChange,
               int largeChange);

    int value() const { return value_; }
    int min() const { return min_; }
    int max() const { return max_; }
    int smallChange() const { return smallChange_; }
    int largeChange() const { return largeChange_; }

    // False, and nothing changed, outside the type's limits or outside [Min, Max].
    bool setValue(int value);
    // False outside the type's limits; the value is pulled into the new range.
    bool setMin(int min);
    bool setMax(int max);
    // Steps are positive and within the type's limits.
    bool setSmallChange(int step);
    bool setLargeChange(int step);

    // The value moved by `amount` towards Max (towards Min when negative), stopping at the ends.
    int steppedBy(qint64 amount) const;
    // Clamped into the range.
    int clamped(qint64 value) const;
    // Where the value sits between Min (0) and Max (1); 0 for an empty range.
    double fraction() const;
    // The value at a fraction of the way from Min to Max, rounded, clamped.
    int valueAt(double fraction) const;

  private:
    int low() const { return qMin(min_, max_); }
    int high() const { return qMax(min_, max_); }

    int typeLow_;
    int typeHigh_;
    int min_;
    int max_;
    int value_;
    int smallChange_;
    int largeChange_;
};

}  // namespace zd::controls
