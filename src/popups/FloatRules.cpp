#include "popups/FloatRules.h"

#include <cmath>

namespace zd::floating {

QString dropTip() {
    return QStringLiteral("支持拖放URL");
}

double windowLeft(double screenWidthTwips) {
    const auto whole = static_cast<long long>(std::nearbyint(screenWidthTwips));
    return static_cast<double>(whole / 2);
}

QString progressTip(qint32 percent) {
    return QString::number(percent) + QLatin1Char('%');
}

}  // namespace zd::floating
