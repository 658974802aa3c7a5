#include "Pictures.h"

#include <QLinearGradient>
#include <QPainterPath>
#include <QRadialGradient>
#include <functional>

#include "ArtKit.h"

using namespace artkit;

namespace {

enum class Look { Normal, Pressed, Hover };

using Glyph = std::function<void(QPainter&, const QColor&)>;

// --- title-bar and window-size buttons (18 x 18, indexed) -------------------------------------
// Full-bleed tiles: neighbouring buttons overlap by two pixels and join into one strip.
QImage titleTile(Look look, const Glyph& glyph) {
    QColor top(128, 148, 174), bottom(82, 102, 130);
    if (look == Look::Pressed) {
        top = QColor(78, 96, 122);
        bottom = QColor(54, 70, 92);
    } else if (look == Look::Hover) {
        top = QColor(168, 186, 208);
        bottom = QColor(116, 138, 166);
    }
    QImage image = canvas(18, 18, top);
    fillRows(image, QRect(0, 0, 18, 18), top, bottom);
    QPainter p;
    begin(p, image);
    p.setPen(mix(top, Qt::white, 0.35));
    p.drawLine(QPointF(0.5, 0.5), QPointF(17.5, 0.5));
    p.setPen(mix(bottom, Qt::black, 0.3));
    p.drawLine(QPointF(0.5, 17.5), QPointF(17.5, 17.5));
    if (look == Look::Pressed) {
        p.translate(0.5, 1.0);
    }
    glyph(p, look == Look::Pressed ? QColor(226, 232, 240) : ink::snow);
    return image;
}

void upArrow(QPainter& p, const QColor& c) {
    QPainterPath path;
    path.moveTo(9, 4.5);
    path.lineTo(14, 11.5);
    path.lineTo(4, 11.5);
    path.closeSubpath();
    p.fillPath(path, c);
    p.fillRect(QRectF(4, 12.5, 10, 1.5), c);
}

void downArrow(QPainter& p, const QColor& c) {
    QPainterPath path;
    path.moveTo(4, 6.5);
    path.lineTo(14, 6.5);
    path.lineTo(9, 13.5);
    path.closeSubpath();
    p.fillPath(path, c);
    p.fillRect(QRectF(4, 4, 10, 1.5), c);
}

void closeCross(QPainter& p, const QColor& c) {
    p.setPen(QPen(c, 2.0, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(5.5, 5.5), QPointF(12.5, 12.5));
    p.drawLine(QPointF(12.5, 5.5), QPointF(5.5, 12.5));
}

void maximiseBox(QPainter& p, const QColor& c) {
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(c);
    p.setBrush(Qt::NoBrush);
    p.drawRect(4, 5, 9, 8);
    p.fillRect(4, 4, 10, 2, c);
}

void minimiseBar(QPainter& p, const QColor& c) {
    p.fillRect(QRectF(4.5, 11, 9, 2), c);
}

void trayDot(QPainter& p, const QColor& c) {
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawEllipse(QPointF(9, 9.5), 3.2, 3.2);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(c, 1.0));
    p.drawLine(QPointF(4, 14.5), QPointF(14, 14.5));
}

// --- transport buttons (17 x 10) ----------------------------------------------------------------
QImage transportButton(bool faded, const Glyph& glyph) {
    const QColor border = faded ? QColor(168, 184, 204) : ink::pewter;
    QImage image = canvas(17, 10, border);
    fillRows(image, QRect(1, 1, 15, 8), faded ? QColor(244, 246, 250) : QColor(240, 244, 249),
             faded ? QColor(226, 232, 240) : QColor(198, 210, 225));
    QPainter p;
    begin(p, image);
    glyph(p, faded ? QColor(150, 166, 188) : QColor(36, 58, 90));
    return image;
}

void playGlyph(QPainter& p, const QColor& c) {
    QPainterPath path;
    path.moveTo(6.5, 2);
    path.lineTo(11.5, 5);
    path.lineTo(6.5, 8);
    path.closeSubpath();
    p.fillPath(path, c);
}

void pauseGlyph(QPainter& p, const QColor& c) {
    p.fillRect(QRect(6, 2, 2, 6), c);
    p.fillRect(QRect(10, 2, 2, 6), c);
}

void stopGlyph(QPainter& p, const QColor& c) {
    p.fillRect(QRect(6, 2, 5, 6), c);
}

// --- panel buttons (17 x 16): pale at rest, framed under the mouse ------------------------------
struct ToolColours {
    QColor line, fill, accent;
};

QImage toolButton(bool hover, const std::function<void(QPainter&, const ToolColours&)>& glyph) {
    QImage image = canvas(17, 16, hover ? ink::snow : ink::frost);
    QPainter p;
    begin(p, image);
    if (hover) {
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(ink::azure);
        p.drawRect(0, 0, 16, 15);
        p.setRenderHint(QPainter::Antialiasing, true);
    }
    const ToolColours colours =
        hover ? ToolColours{QColor(34, 66, 112), QColor(104, 160, 224), QColor(255, 255, 255)}
              : ToolColours{QColor(128, 146, 172), QColor(196, 210, 228), QColor(238, 242, 247)};
    glyph(p, colours);
    return image;
}

void folderGlyph(QPainter& p, const ToolColours& c) {
    p.setPen(QPen(c.line, 1.0));
    p.setBrush(c.fill.lighter(115));
    QPainterPath back;
    back.moveTo(2.5, 12.5);
    back.lineTo(2.5, 3.5);
    back.lineTo(6.5, 3.5);
    back.lineTo(8, 5);
    back.lineTo(13.5, 5);
    back.lineTo(13.5, 12.5);
    back.closeSubpath();
    p.drawPath(back);
    QPainterPath front;
    front.moveTo(2.5, 12.5);
    front.lineTo(4.5, 7.5);
    front.lineTo(15.5, 7.5);
    front.lineTo(13.5, 12.5);
    front.closeSubpath();
    p.setBrush(c.fill);
    p.drawPath(front);
}

void wrenchGlyph(QPainter& p, const ToolColours& c) {
    p.save();
    p.translate(8.5, 8);
    p.rotate(45);
    QPainterPath head;
    head.addEllipse(QPointF(0, -3.8), 3.6, 3.6);
    QPainterPath notch;
    notch.addRect(QRectF(-1.3, -8.5, 2.6, 4.6));
    QPainterPath handle;
    handle.addRoundedRect(QRectF(-1.5, -1.5, 3, 9.5), 1.5, 1.5);
    const QPainterPath wrench = head.subtracted(notch).united(handle);
    p.setPen(QPen(c.line, 1.0));
    p.setBrush(c.fill);
    p.drawPath(wrench);
    p.restore();
}

void windowsGlyph(QPainter& p, const ToolColours& c) {
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(c.line);
    p.setBrush(c.accent);
    p.drawRect(1, 2, 9, 7);
    p.fillRect(2, 3, 8, 2, c.fill);
    p.drawRect(5, 5, 10, 8);
    p.fillRect(6, 6, 9, 2, c.fill);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(c.line, 1.3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(8, 12), QPointF(12.5, 8.5));
    QPainterPath head;
    head.moveTo(13.5, 8);
    head.lineTo(10, 8.4);
    head.lineTo(13, 11.2);
    head.closeSubpath();
    p.fillPath(head, c.line);
}

void captureGlyph(QPainter& p, const ToolColours& c) {
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(c.line);
    p.setBrush(c.accent);
    p.drawRect(1, 2, 12, 8);
    p.fillRect(2, 3, 11, 7, c.fill.lighter(118));
    p.fillRect(6, 11, 3, 1, c.line);
    p.fillRect(4, 12, 7, 1, c.line);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(c.line, 1.0));
    p.setBrush(c.fill.darker(125));
    p.drawRoundedRect(QRectF(9.5, 8.5, 6.5, 5), 1, 1);
    p.fillRect(QRectF(10.5, 7.5, 2, 1.2), c.line);
    p.setBrush(c.accent);
    p.drawEllipse(QPointF(12.75, 11), 1.4, 1.4);
}

// --- close button of the options and advanced windows (13 x 13) ---------------------------------
QImage smallClose(bool hover) {
    const QColor top = hover ? QColor(132, 182, 238) : QColor(120, 142, 170);
    const QColor bottom = hover ? QColor(58, 118, 196) : QColor(76, 96, 124);
    QImage image = canvas(13, 13, top);
    fillRows(image, QRect(0, 0, 13, 13), top, bottom);
    QPainter p;
    begin(p, image);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(hover ? QColor(34, 78, 140) : ink::slate);
    p.drawRect(0, 0, 12, 12);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(ink::snow, 1.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(3.8, 3.8), QPointF(9.2, 9.2));
    p.drawLine(QPointF(9.2, 3.8), QPointF(3.8, 9.2));
    return image;
}

// --- the hand pointer (32 x 32, with transparency) ----------------------------------------------
QImage handCursor() {
    QImage image(32, 32, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);  // crisp edges, as pointers are drawn
    QPainterPath hand;
    hand.setFillRule(Qt::WindingFill);
    hand.addRoundedRect(QRectF(9.5, 0.5, 4, 17), 2, 2);       // index finger
    hand.addRoundedRect(QRectF(13.5, 8.5, 4, 10), 2, 2);      // middle
    hand.addRoundedRect(QRectF(17.5, 9.5, 4, 9), 2, 2);       // ring
    hand.addRoundedRect(QRectF(21.5, 11.5, 3, 8), 1.5, 1.5);  // little finger
    hand.addRoundedRect(QRectF(9.5, 14.5, 15, 12), 3, 3);     // palm
    QPainterPath thumb;
    thumb.addRoundedRect(QRectF(-2, -8, 4, 11), 2, 2);
    QTransform turn;
    turn.translate(9.5, 21.5);
    turn.rotate(-45);
    hand.addPath(turn.map(thumb));
    hand.addRect(QRectF(11.5, 25.5, 11, 4));  // wrist
    hand = hand.simplified();
    p.setPen(QPen(Qt::black, 1.0));
    p.setBrush(Qt::white);
    p.drawPath(hand);
    p.setPen(QPen(QColor(96, 96, 96), 1.0));
    p.drawLine(QPointF(13.5, 14.5), QPointF(13.5, 16.5));
    p.drawLine(QPointF(17.5, 15.5), QPointF(17.5, 17.5));
    p.drawLine(QPointF(21.5, 16.5), QPointF(21.5, 18.5));
    return image;
}

// --- program icon (48 x 48), panel picture (37 x 32), lock pictures -----------------------------
QImage programIcon() {
    QImage image = canvas(48, 48, QColor(30, 58, 98));
    QPainter p;
    begin(p, image);
    QLinearGradient g(0, 0, 48, 48);
    g.setColorAt(0.0, QColor(96, 156, 224));
    g.setColorAt(1.0, QColor(28, 54, 92));
    p.fillRect(image.rect(), g);
    QRadialGradient shine(QPointF(16, 8), 30);
    shine.setColorAt(0.0, QColor(255, 255, 255, 70));
    shine.setColorAt(1.0, QColor(255, 255, 255, 0));
    p.fillRect(image.rect(), shine);
    drawEmblem(p, QRectF(3, 3, 42, 42), ink::snow, QColor(190, 222, 252));
    return image;
}

QImage panelPicture() {
    QImage image = canvas(37, 32, ink::frost);
    fillRows(image, image.rect(), QColor(232, 237, 244), QColor(206, 216, 229));
    QPainter p;
    begin(p, image);
    drawEmblemTile(p, QRectF(5.5, 2.5, 26, 26), 5);
    p.setPen(QPen(QColor(20, 40, 70, 90), 1.0));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(5.5, 2.5, 26, 26), 5, 5);
    return image;
}

QImage padlock(int width, int height, bool open) {
    QImage image = canvas(width, height, ink::frost);
    QPainter p;
    begin(p, image);
    const QRectF body(3.5, height - 11.5, 12, 10);
    QPainterPath shackle;
    if (open) {
        shackle.moveTo(11.5, body.top());
        shackle.lineTo(11.5, 5.5);
        shackle.arcTo(QRectF(11.5, 1.5, 6, 8), 180, -180);
        shackle.lineTo(17.5, 7.5);
    } else {
        shackle.moveTo(6.5, body.top());
        shackle.lineTo(6.5, 6.5);
        shackle.arcTo(QRectF(6.5, 2.5, 6, 8), 180, -180);
        shackle.lineTo(12.5, body.top());
    }
    p.setPen(QPen(ink::steel, 2.0, Qt::SolidLine, Qt::FlatCap));
    p.setBrush(Qt::NoBrush);
    p.drawPath(shackle);
    QLinearGradient g(body.topLeft(), body.bottomLeft());
    g.setColorAt(0.0, open ? QColor(120, 176, 236) : QColor(96, 120, 152));
    g.setColorAt(1.0, open ? QColor(52, 112, 190) : ink::slate);
    p.setPen(QPen(ink::night, 1.0));
    p.setBrush(g);
    p.drawRoundedRect(body, 2, 2);
    p.setPen(Qt::NoPen);
    p.setBrush(ink::snow);
    p.drawEllipse(QPointF(body.center().x(), body.center().y() - 1), 1.6, 1.6);
    p.fillRect(QRectF(body.center().x() - 0.75, body.center().y(), 1.5, 3), ink::snow);
    return image;
}

// --- window pictures --------------------------------------------------------------------------
// The dark strip with the emblem and a title: options window and advanced window share it.
void drawTitleStrip(QPainter& p, const QRectF& strip, const QString& title) {
    QLinearGradient g(strip.topLeft(), strip.topRight());
    g.setColorAt(0.0, QColor(40, 58, 84));
    g.setColorAt(1.0, QColor(104, 128, 160));
    p.fillRect(strip, g);
    p.fillRect(QRectF(strip.left(), strip.top(), strip.width(), 1), QColor(255, 255, 255, 46));
    p.fillRect(QRectF(strip.left(), strip.bottom() - 1, strip.width(), 1), ink::night);
    const double tile = strip.height() - 6;
    drawEmblemTile(p, QRectF(strip.left() + 4, strip.top() + 3, tile, tile), 3);
    p.setFont(uiFont(12));
    p.setPen(ink::snow);
    p.drawText(QRectF(strip.left() + tile + 10, strip.top(), strip.width(), strip.height() - 1),
               Qt::AlignVCenter | Qt::AlignLeft, title);
}

QImage optionsTitle() {
    QImage image = canvas(359, 21, ink::slate);
    QPainter p;
    begin(p, image);
    drawTitleStrip(p, QRectF(0, 0, 359, 21), QStringLiteral("ZephyrDeck 选项"));
    return image;
}

QImage advancedSkin() {
    QImage image = canvas(209, 236, ink::window);
    QPainter p;
    begin(p, image);
    drawTitleStrip(p, QRectF(0, 0, 209, 22), QStringLiteral("高级"));
    p.setRenderHint(QPainter::Antialiasing, false);
    // Etched rules between the colour, opacity and quit groups.
    for (int y : {72, 191}) {
        p.setPen(QColor(176, 182, 192));
        p.drawLine(8, y, 200, y);
        p.setPen(Qt::white);
        p.drawLine(8, y + 1, 200, y + 1);
    }
    p.setPen(ink::slate);
    p.setBrush(Qt::NoBrush);
    p.drawRect(0, 0, 208, 235);
    p.setPen(QColor(246, 246, 246));
    p.drawLine(1, 22, 1, 234);
    p.drawLine(1, 22, 207, 22);
    p.setPen(QColor(184, 188, 196));
    p.drawLine(207, 22, 207, 234);
    p.drawLine(1, 234, 207, 234);
    return image;
}

QImage helpPage() {
    QImage image = canvas(328, 165, QColor(238, 242, 247));
    fillRows(image, image.rect(), QColor(246, 248, 251), QColor(222, 230, 240));
    QPainter p;
    begin(p, image);
    drawEmblemTile(p, QRectF(14, 12, 48, 48), 9);
    p.setPen(ink::slate);
    p.setFont(uiFont(20, true));
    p.drawText(QPointF(74, 34), QStringLiteral("ZephyrDeck"));
    p.setFont(uiFont(12));
    p.setPen(ink::steel);
    p.drawText(QPointF(75, 54), QStringLiteral("Flash 动画播放器 · 使用提示"));
    p.fillRect(QRectF(14, 70, 300, 1), ink::mist);
    const QStringList tips = {
        QStringLiteral("打开 .swf 文件，或把文件拖到窗口上即可播放"),
        QStringLiteral("列表中双击条目播放，右键打开列表菜单"),
        QStringLiteral("全屏时移动鼠标显示控制条，点锁可让它常驻"),
        QStringLiteral("悬浮窗口接受拖放的文件和网址"),
    };
    p.setFont(uiFont(12));
    for (int i = 0; i < tips.size(); ++i) {
        const double y = 88 + i * 20;
        p.setPen(Qt::NoPen);
        p.setBrush(ink::azure);
        p.drawEllipse(QPointF(20, y - 4), 2.5, 2.5);
        p.setPen(ink::slate);
        p.drawText(QPointF(30, y), tips.at(i));
    }
    return image;
}

QImage aboutArtwork() {
    QImage image = canvas(338, 209, QColor(34, 52, 78));
    QPainter p;
    begin(p, image);
    QLinearGradient g(0, 0, 338, 209);
    g.setColorAt(0.0, QColor(70, 110, 160));
    g.setColorAt(0.55, QColor(38, 60, 92));
    g.setColorAt(1.0, QColor(22, 34, 54));
    p.fillRect(image.rect(), g);
    // Sweeping wind lines across the background.
    for (int i = 0; i < 6; ++i) {
        QPainterPath line;
        const double y = 40 + i * 26;
        line.moveTo(-10, y + 30);
        line.cubicTo(90, y - 30, 220, y + 50, 350, y - 10);
        p.setPen(QPen(QColor(255, 255, 255, 18 + i * 4), 1.5 + i * 0.4));
        p.setBrush(Qt::NoBrush);
        p.drawPath(line);
    }
    drawEmblemTile(p, QRectF(26, 38, 84, 84), 16);
    p.setPen(QPen(QColor(255, 255, 255, 60), 1.0));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(26.5, 38.5, 83, 83), 16, 16);

    p.setPen(ink::snow);
    p.setFont(uiFont(30, true));
    p.drawText(QPointF(124, 78), QStringLiteral("ZephyrDeck"));
    p.setFont(uiFont(13));
    p.setPen(QColor(190, 214, 240));
    p.drawText(QPointF(126, 102), QStringLiteral("Flash 动画播放器"));
    p.setFont(uiFont(12));
    p.drawText(QPointF(126, 122), QStringLiteral("版本 1.0"));

    p.fillRect(QRectF(26, 150, 286, 1), QColor(255, 255, 255, 60));
    p.setFont(uiFont(15, true));
    p.setPen(ink::snow);
    p.drawText(QPointF(26, 176), QStringLiteral("Quillon"));
    p.setFont(uiFont(11));
    p.setPen(QColor(176, 200, 228));
    p.drawText(QPointF(26, 194), QStringLiteral("Quillon 工作室出品"));
    p.drawText(QRectF(150, 160, 162, 40), Qt::AlignRight | Qt::AlignVCenter,
               QStringLiteral("© 2026 Quillon"));
    return image;
}

QImage versionPicture() {
    QImage image = canvas(129, 30, QColor(204, 219, 237));
    QPainter p;
    begin(p, image);
    drawEmblemTile(p, QRectF(4, 4, 22, 22), 4);
    p.setPen(ink::slate);
    p.setFont(uiFont(13, true));
    p.drawText(QRectF(32, 0, 97, 30), Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("版本 1.0"));
    p.setFont(uiFont(10));
    p.setPen(ink::steel);
    p.drawText(QRectF(32, 0, 92, 30), Qt::AlignVCenter | Qt::AlignRight, QStringLiteral("2026"));
    return image;
}

// --- skins of the push button and the check box -----------------------------------------------
// Push button cell, 18 x 21: a one-pixel border with softened corners, a face, and for the hover
// and default looks a two-pixel inner frame shading from top to bottom. The corners and edges
// lie within the three-pixel border that nine-slice painting keeps unscaled.
QImage buttonCell(const QColor& border, const QColor& faceTop, const QColor& faceBottom,
                  const QColor* frameTop, const QColor* frameBottom, bool shadeBottom) {
    const QColor outside = ink::window;
    QImage cell = canvas(18, 21, outside);
    fillRows(cell, QRect(1, 1, 16, 19), faceTop, faceBottom);
    if (shadeBottom) {
        fillRows(cell, QRect(1, 18, 16, 1), mix(faceBottom, QColor(200, 196, 184), 0.5),
                 mix(faceBottom, QColor(200, 196, 184), 0.5));
        fillRows(cell, QRect(1, 19, 16, 1), QColor(214, 208, 197), QColor(214, 208, 197));
    }
    if (frameTop) {
        for (int y = 1; y <= 19; ++y) {
            const QRgb c = mix(*frameTop, *frameBottom, (y - 1) / 18.0).rgb();
            const bool band = y <= 2 || y >= 18;
            for (int x = 1; x <= 16; ++x) {
                if (band || x <= 2 || x >= 15) {
                    cell.setPixel(x, y, c);
                }
            }
        }
    }
    for (int x = 1; x <= 16; ++x) {
        cell.setPixel(x, 0, border.rgb());
        cell.setPixel(x, 20, border.rgb());
    }
    for (int y = 1; y <= 19; ++y) {
        cell.setPixel(0, y, border.rgb());
        cell.setPixel(17, y, border.rgb());
    }
    const QRgb corner = mix(outside, border, 0.35).rgb();
    for (QPoint pt : {QPoint(0, 0), QPoint(17, 0), QPoint(0, 20), QPoint(17, 20)}) {
        cell.setPixel(pt, corner);
    }
    const QRgb inner = mix(border, faceTop, 0.55).rgb();
    for (QPoint pt : {QPoint(1, 1), QPoint(16, 1), QPoint(1, 19), QPoint(16, 19)}) {
        cell.setPixel(pt, inner);
    }
    return cell;
}

QImage buttonSkin() {
    const QColor border(0, 60, 116);
    const QColor orangeTop(255, 240, 207), orangeBottom(229, 151, 0);
    const QColor blueTop(206, 231, 255), blueBottom(105, 130, 238);
    const QImage cells[5] = {
        buttonCell(border, QColor(252, 252, 250), QColor(236, 235, 228), nullptr, nullptr, true),
        buttonCell(border, QColor(214, 212, 203), QColor(233, 232, 225), nullptr, nullptr, false),
        buttonCell(QColor(201, 199, 186), QColor(245, 244, 234), QColor(245, 244, 234), nullptr,
                   nullptr, false),
        buttonCell(border, QColor(252, 252, 250), QColor(236, 235, 228), &orangeTop, &orangeBottom,
                   false),
        buttonCell(border, QColor(252, 252, 250), QColor(236, 235, 228), &blueTop, &blueBottom,
                   false),
    };
    QImage skin = canvas(90, 21, ink::window);
    QPainter p(&skin);
    for (int i = 0; i < 5; ++i) {
        p.drawImage(i * 18, 0, cells[i]);
    }
    return skin;
}

// Check box cell, 16 x 16: value 0 (empty), 1 (tick) or 2 (square); look normal, hover,
// pressed or disabled.
QImage checkCell(int value, int look) {
    const bool disabled = look == 3;
    const bool pressed = look == 2;
    const bool hover = look == 1;
    QImage cell = canvas(16, 16, Qt::white);
    if (disabled) {
        cell.fill(Qt::white);
    } else if (pressed) {
        fillRows(cell, QRect(1, 1, 14, 14), QColor(206, 206, 198), QColor(226, 226, 220));
    } else {
        fillRows(cell, QRect(1, 1, 14, 14), QColor(228, 228, 224), QColor(248, 248, 246));
    }
    if (hover) {
        for (int y = 1; y <= 14; ++y) {
            const QRgb c = mix(QColor(255, 223, 159), QColor(248, 180, 72), (y - 1) / 13.0).rgb();
            for (int x = 1; x <= 14; ++x) {
                if (y <= 2 || y >= 13 || x <= 2 || x >= 13) {
                    cell.setPixel(x, y, c);
                }
            }
        }
    }
    QPainter p;
    begin(p, cell);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(disabled ? QColor(207, 207, 191) : QColor(31, 80, 128));
    p.setBrush(Qt::NoBrush);
    p.drawRect(0, 0, 15, 15);
    p.setRenderHint(QPainter::Antialiasing, true);
    if (value == 1) {
        const QColor tick = disabled  ? QColor(176, 176, 162)
                            : pressed ? QColor(31, 128, 31)
                                      : QColor(32, 160, 32);
        QPainterPath path;
        path.moveTo(4, 7.5);
        path.lineTo(6.8, 10.5);
        path.lineTo(12, 4.5);
        p.setPen(QPen(tick, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPath(path);
    } else if (value == 2) {
        const QColor square = disabled  ? QColor(200, 200, 186)
                              : pressed ? QColor(31, 128, 31)
                              : hover   ? QColor(96, 180, 96)
                                        : QColor(160, 208, 160);
        p.setRenderHint(QPainter::Antialiasing, false);
        p.fillRect(QRect(5, 5, 6, 6), square);
    }
    return cell;
}

QImage checkSkin() {
    QImage skin = canvas(16, 192, Qt::white);
    QPainter p(&skin);
    for (int value = 0; value < 3; ++value) {
        for (int look = 0; look < 4; ++look) {
            p.drawImage(0, (value * 4 + look) * 16, checkCell(value, look));
        }
    }
    return skin;
}

}  // namespace

std::vector<Picture> allPictures() {
    std::vector<Picture> out;
    auto bmp8 = [&out](int id, const QImage& image) {
        out.push_back({QStringLiteral("bitmaps/%1.bmp").arg(id), image, Storage::Bmp8});
    };
    auto bmp24 = [&out](int id, const QImage& image) {
        out.push_back({QStringLiteral("bitmaps/%1.bmp").arg(id), image, Storage::Bmp24});
    };
    auto titleSet = [&](int normal, int pressed, int hover, const Glyph& glyph) {
        bmp8(normal, titleTile(Look::Normal, glyph));
        bmp8(pressed, titleTile(Look::Pressed, glyph));
        if (hover) {
            bmp8(hover, titleTile(Look::Hover, glyph));
        }
    };
    titleSet(102, 103, 0, upArrow);
    titleSet(104, 105, 0, downArrow);
    titleSet(106, 107, 108, closeCross);
    titleSet(116, 117, 118, maximiseBox);
    titleSet(119, 120, 121, minimiseBar);
    titleSet(128, 129, 130, trayDot);

    // Pressed (faded) first, then normal, as the numbering goes.
    bmp24(122, transportButton(true, pauseGlyph));
    bmp24(123, transportButton(false, pauseGlyph));
    bmp24(124, transportButton(true, playGlyph));
    bmp24(125, transportButton(false, playGlyph));
    bmp24(126, transportButton(true, stopGlyph));
    bmp24(127, transportButton(false, stopGlyph));

    bmp24(131, toolButton(false, folderGlyph));
    bmp24(132, toolButton(true, folderGlyph));
    bmp24(134, toolButton(false, wrenchGlyph));
    bmp24(135, toolButton(true, wrenchGlyph));
    bmp24(136, toolButton(false, windowsGlyph));
    bmp24(137, toolButton(true, windowsGlyph));
    bmp24(140, toolButton(false, captureGlyph));
    bmp24(141, toolButton(true, captureGlyph));
    bmp24(138, smallClose(false));
    bmp24(139, smallClose(true));

    out.push_back({QStringLiteral("cursors/101.png"), handCursor(), Storage::Png32});
    out.push_back({QStringLiteral("icons/zephyrdeck.png"), programIcon(), Storage::Png24});
    auto picture = [&out](const char* name, const QImage& image) {
        out.push_back(
            {QStringLiteral("pictures/%1.png").arg(QLatin1String(name)), image, Storage::Png24});
    };
    picture("panel", panelPicture());
    picture("lock", padlock(21, 22, false));
    picture("unlock", padlock(20, 21, true));
    picture("options-title", optionsTitle());
    picture("help-page", helpPage());
    picture("advanced-skin", advancedSkin());
    picture("about", aboutArtwork());
    picture("version", versionPicture());
    out.push_back({QStringLiteral("skins/xpbutton.bmp"), buttonSkin(), Storage::Bmp8});
    out.push_back({QStringLiteral("skins/xpcheckbox.bmp"), checkSkin(), Storage::Bmp24});
    return out;
}
