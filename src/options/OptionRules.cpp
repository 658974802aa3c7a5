#include "options/OptionRules.h"

#include "app/Settings.h"

#include <cmath>
#include <limits>

namespace zd::options {

std::optional<int> sliderValueFrom(const QString& stored, int min, int max) {
    const std::optional<double> number = settings::number(stored);
    if (!number)
        return std::nullopt;
    const double rounded = std::nearbyint(*number);  // the default rounding: halves to even
    if (rounded < min || rounded > max)
        return std::nullopt;
    return static_cast<int>(rounded);
}

int checkValueFrom(const QString& stored, int current) {
    const std::optional<double> number = settings::number(stored);
    if (!number)
        return 1;
    if (*number == 0)
        return 0;
    if (*number == 1)
        return 1;
    return current;
}

bool isFrameDigit(QChar typed) {
    return typed >= QLatin1Char('0') && typed <= QLatin1Char('9');
}

std::optional<qint32> frameNumberFrom(const QString& text) {
    bool ok = false;
    const qint32 frame = text.trimmed().toInt(&ok);
    if (!ok)
        return std::nullopt;
    return frame;
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
