#include "popups/FloatRules.h"

#include "app/Settings.h"

#include <cmath>

namespace zd::floating {

QString dropTip() {
    return QStringLiteral("支持拖放URL");
}

double windowLeft(double screenWidthTwips) {
    const auto whole = static_cast<long long>(std::nearbyint(screenWidthTwips));
    return static_cast<double>(whole / 2);
}

std::optional<QColor> colourFromSetting(const QString& text) {
    const std::optional<double> value = settings::number(text);
    if (!value)
        return std::nullopt;
    const double rounded = std::nearbyint(*value);
    if (rounded < 0 || rounded > 0xFFFFFF)
        return std::nullopt;
    const auto bgr = static_cast<quint32>(rounded);
    return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
}

QString progressTip(qint32 percent) {
    return QString::number(percent) + QLatin1Char('%');
}

}  // namespace zd::floating
