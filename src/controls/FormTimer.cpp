#include "controls/FormTimer.h"

namespace zd {

FormTimer::FormTimer(int intervalMs, QObject* parent) : QTimer(parent) {
    setInterval(intervalMs);
    setTimerType(Qt::PreciseTimer);
}

void FormTimer::setEnabled(bool enabled) {
    if (enabled) {
        if (!isActive())
            start();
    } else {
        stop();
    }
}

void FormTimer::restart() {
    stop();
    start();
}

}  // namespace zd
