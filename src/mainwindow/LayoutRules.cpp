#include "mainwindow/LayoutRules.h"

#include <algorithm>
#include <array>

namespace zd::layout {

LayoutTag parseLayoutTag(const QString& tag) {
    std::array<double, 5> numbers{};
    qsizetype from = 0;
    for (double& number : numbers) {
        const qsizetype blank = tag.indexOf(QLatin1Char(' '), from);
        if (blank < 0)
            break;  // no following blank: this number and the rest count 0
        bool ok = false;
        const double value = QStringView(tag).mid(from, blank - from).toDouble(&ok);
        number = ok ? value : 0;
        from = blank + 1;
    }
    return {numbers[0], numbers[1], numbers[2], numbers[3], numbers[4]};
}

QString formatLayoutTag(const TwipRect& rect, std::optional<double> fontSize) {
    QString tag;
    for (double v : {rect.left, rect.top, rect.width, rect.height})
        tag += QString::number(v) + QLatin1Char(' ');
    if (fontSize)
        tag += QString::number(*fontSize) + QLatin1Char(' ');
    return tag;
}

std::optional<ScaleFactors> scaleFactors(double scaleWidth, double scaleHeight, qint32 refWidth,
                                         qint32 refHeight) {
    if (refWidth == 0 || refHeight == 0)
        return std::nullopt;
    return ScaleFactors{scaleWidth / refWidth, scaleHeight / refHeight};
}

TwipRect scaledRect(const LayoutTag& tag, const ScaleFactors& factors) {
    return {factors.x * tag.left, factors.y * tag.top, factors.x * tag.width,
            factors.y * tag.height};
}

double scaledFontSize(const LayoutTag& tag, const ScaleFactors& factors) {
    return factors.font() * tag.fontSize;
}

bool fillsScreen(WindowSize window, WindowSize screen) {
    return window.height == screen.height && window.width == screen.width;
}

SizeStep enlargeStep(WindowSize current, WindowSize screen) {
    SizeStep step;
    step.size.width = std::min(current.width + kStepWidth, screen.width);
    step.size.height = std::min(current.height + kStepHeight, screen.height);
    step.stop = fillsScreen(step.size, screen);
    return step;
}

SizeStep shrinkStep(WindowSize current) {
    SizeStep step;
    // A tall, narrow window runs out of width first; it stays empty until the height snaps.
    step.size = {std::max(0.0, current.width - kStepWidth), current.height - kStepHeight};
    if (step.size.height < kShrinkLimitHeight) {
        step.size = {kShrunkWidth, kShrunkHeight};
        step.stop = true;
    }
    return step;
}

}  // namespace zd::layout
