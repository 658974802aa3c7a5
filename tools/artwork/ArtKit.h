#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QRectF>
#include <QString>

// Drawing helpers shared by the pictures: the palette, canvases, exact fills and the emblem.
namespace artkit {

// A cool blue-grey family; every picture takes its colours from here.
namespace ink {
inline const QColor night(30, 42, 58);
inline const QColor slate(52, 68, 90);
inline const QColor steel(84, 104, 132);
inline const QColor pewter(128, 148, 174);
inline const QColor mist(176, 192, 212);
inline const QColor frost(226, 232, 240);
inline const QColor snow(246, 249, 252);
inline const QColor azure(58, 126, 204);
inline const QColor sky(120, 176, 236);
inline const QColor window(224, 224, 224);  // the dialogs' background
}  // namespace ink

QColor mix(const QColor& a, const QColor& b, double t);

// An opaque canvas filled with one colour (ARGB32 premultiplied, so painting may blend).
QImage canvas(int width, int height, const QColor& fill);
// A painter with antialiasing on.
void begin(QPainter& p, QImage& image);

// Row by row, one exact colour per row: keeps indexed pictures within their palette.
void fillRows(QImage& image, const QRect& area, const QColor& top, const QColor& bottom);

QFont uiFont(int pixelSize, bool bold = false);

// The emblem (a play triangle with three wind streaks) drawn into `box`.
void drawEmblem(QPainter& p, const QRectF& box, const QColor& triangle, const QColor& streaks);
// The emblem on its own rounded blue tile.
void drawEmblemTile(QPainter& p, const QRectF& box, double radius);

}  // namespace artkit
