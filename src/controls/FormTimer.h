#pragma once

#include <QTimer>

namespace zd {

// A timer with the classic switch: enabling a running timer leaves it running, disabling and
// enabling again restarts its interval, changing the interval of a running timer restarts it.
class FormTimer : public QTimer {
    Q_OBJECT
  public:
    explicit FormTimer(int intervalMs, QObject* parent = nullptr);
    void setEnabled(bool enabled);
    bool enabled() const { return isActive(); }
    // Disable, then enable: the next tick comes one full interval from now.
    void restart();
};

}  // namespace zd
