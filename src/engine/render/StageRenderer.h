#pragma once

#include <QColor>
#include <QRectF>
#include <QSizeF>
#include <QTransform>

#include "engine/swf/Records.h"

class QPainter;

namespace zd::engine {

// "ShowAll" scaling: the largest rectangle of the stage's aspect that fits the target,
// centred in it. An empty stage or target gives an empty rectangle.
QRectF showAllRect(const QSizeF& stage, const QRectF& target);

// Maps stage coordinates (twips) into the target the way showAllRect places the stage.
QTransform stageTransform(const Rect& stageTwips, const QRectF& target);

// What a frame shows. The display list joins this when shapes are drawn.
struct StageView {
    Rect stage;  // twips
    QColor background = Qt::white;
};

// Paints one frame into target: the background colour over the whole target (the area
// around the stage included), then the stage.
void paintStage(QPainter& painter, const QRectF& target, const StageView& view);

}  // namespace zd::engine
