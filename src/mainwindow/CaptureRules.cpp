#include "mainwindow/CaptureRules.h"

#include <QFileInfo>

#include "app/Settings.h"

#include <cmath>

namespace zd::capture {

namespace {

constexpr double kCapturedShare = 1.125;  // the window's height over the captured height

QString pathFor(const QString& folder, double number) {
    return folder + QLatin1Char('/') + counterText(number) + QStringLiteral(".bmp");
}

}  // namespace

bool isUsableFolder(const QString& folder) {
    const QFileInfo info(folder);
    return !folder.isEmpty() && info.isDir() && info.isWritable();
}

int capturedHeight(int heightPixels) {
    // nearbyint rounds halves to even in the default rounding mode.
    return static_cast<int>(std::nearbyint(heightPixels / kCapturedShare));
}

QString counterText(double value) {
    if (value == 0)
        value = 0;  // no "-0"
    return QString::number(value, 'g', 15);
}

CaptureName nextCaptureName(const QString& folder, const QString& counter,
                            const std::function<bool(const QString& path)>& taken) {
    double number = settings::number(counter).value_or(0);
    // Past 2^53 adding one changes nothing; the search stops there rather than spin.
    while (taken(pathFor(folder, number)) && number + 1 != number)
        number += 1;
    return {pathFor(folder, number), counterText(number + 1)};
}

}  // namespace zd::capture
