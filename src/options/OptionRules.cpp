#include "options/OptionRules.h"

#include <limits>

#include "app/Settings.h"

namespace zd::options {

bool isFrameDigit(QChar typed) {
    return typed >= QLatin1Char('0') && typed <= QLatin1Char('9');
}

std::optional<qint32> frameNumberFrom(const QString& text) {
    return settings::integer(text);
}

std::optional<qint16> seekBarValueFor(qint32 frame) {
    if (frame < std::numeric_limits<qint16>::min() || frame > std::numeric_limits<qint16>::max())
        return std::nullopt;
    return static_cast<qint16>(frame);
}

int rowUnderPoint(int y, int rowHeight, int firstVisible) {
    if (y < 0 || rowHeight <= 0)
        return -1;
    return y / rowHeight + firstVisible;
}

}  // namespace zd::options
