#pragma once

#include <QColor>
#include <QImage>
#include <QSize>

namespace zd {

// Fits a persistent drawing surface to `size`, keeping what is drawn on it and filling new
// area with `fill`.
QImage& fitCanvas(QImage& canvas, QSize size, const QColor& fill);

}  // namespace zd
