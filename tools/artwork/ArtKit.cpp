#include "ArtKit.h"

#include <QFontInfo>
#include <QLinearGradient>
#include <QPainterPath>

namespace artkit {

QColor mix(const QColor& a, const QColor& b, double t) {
    auto channel = [t](int x, int y) { return qRound(x + (y - x) * t); };
    return QColor(channel(a.red(), b.red()), channel(a.green(), b.green()),
                  channel(a.blue(), b.blue()));
}

QImage canvas(int width, int height, const QColor& fill) {
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(fill);
    return image;
}

void begin(QPainter& p, QImage& image) {
    p.begin(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
}

void fillRows(QImage& image, const QRect& area, const QColor& top, const QColor& bottom) {
    const int rows = area.height();
    for (int i = 0; i < rows; ++i) {
        const double t = rows > 1 ? double(i) / (rows - 1) : 0.0;
        const QRgb rgb = mix(top, bottom, t).rgb();
        const int y = area.top() + i;
        for (int x = area.left(); x <= area.right(); ++x) {
            image.setPixel(x, y, rgb);
        }
    }
}

QFont uiFont(int pixelSize, bool bold) {
    QFont font(QStringLiteral("WenQuanYi Micro Hei"));
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    font.setStyleStrategy(QFont::PreferAntialias);
    font.setHintingPreference(QFont::PreferFullHinting);
    return font;
}

void drawEmblem(QPainter& p, const QRectF& box, const QColor& triangle, const QColor& streaks) {
    p.save();
    p.translate(box.topLeft());
    p.scale(box.width(), box.height());
    QPainterPath play;
    play.moveTo(0.44, 0.22);
    play.lineTo(0.84, 0.50);
    play.lineTo(0.44, 0.78);
    play.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(triangle);
    p.drawPath(play);

    QPen pen(streaks, 0.075, Qt::SolidLine, Qt::RoundCap);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    QPainterPath wind;
    wind.moveTo(0.14, 0.33);
    wind.quadTo(0.28, 0.27, 0.40, 0.35);
    wind.moveTo(0.08, 0.50);
    wind.lineTo(0.38, 0.50);
    wind.moveTo(0.14, 0.67);
    wind.quadTo(0.28, 0.73, 0.40, 0.65);
    p.drawPath(wind);
    p.restore();
}

void drawEmblemTile(QPainter& p, const QRectF& box, double radius) {
    QLinearGradient g(box.topLeft(), box.bottomRight());
    g.setColorAt(0.0, QColor(92, 152, 220));
    g.setColorAt(1.0, QColor(30, 58, 98));
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawRoundedRect(box, radius, radius);
    p.restore();
    const double inset = box.width() * 0.08;
    drawEmblem(p, box.adjusted(inset, inset, -inset, -inset), ink::snow, QColor(190, 220, 250));
}

}  // namespace artkit
