#pragma once

#include <QTimer>
#include <QWidget>
#include <functional>

#include "controls/RangeModel.h"

namespace zd::controls {

// What the scroll bar and the slider share: the range, the two steps and the notifications.
// `Change` follows every change of the value, whoever made it; `Scroll` only moves the user
// makes (which moves count is each control's own rule). A value the control cannot hold is
// refused: the setter returns false and nothing changes.
class RangeControl : public QWidget {
    Q_OBJECT
  public:
    int Value() const { return model_.value(); }
    bool setValue(int value);
    int Min() const { return model_.min(); }
    bool setMin(int min);
    int Max() const { return model_.max(); }
    bool setMax(int max);
    int SmallChange() const { return model_.smallChange(); }
    bool setSmallChange(int step);
    int LargeChange() const { return model_.largeChange(); }
    bool setLargeChange(int step);

  signals:
    void Change();
    void Scroll();

  protected:
    RangeControl(int typeLow, int typeHigh, int max, int smallChange, int largeChange,
                 QWidget* parent);

    const RangeModel& model() const { return model_; }
    // A move made by the user: raises Change, and Scroll when `scroll`. False when the value
    // stays as it was.
    bool moveByUser(int value, bool scroll);
    // Runs `step` now, again after a pause and then often, until stopRepeat() (button held on
    // an arrow or the track).
    void startRepeat(std::function<void()> step);
    void stopRepeat();

    void changeEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    bool applyRangeChange(bool accepted, int before);

    RangeModel model_;
    QTimer repeat_;
    std::function<void()> repeatStep_;
};

}  // namespace zd::controls
