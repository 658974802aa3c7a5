#pragma once

#include <QRectF>
#include <QSizeF>
#include <QTransform>

#include "engine/swf/Records.h"

namespace zd::engine {

// "ShowAll" scaling: the largest rectangle of the stage's aspect that fits the target,
// centred in it. An empty stage or target gives an empty rectangle.
QRectF showAllRect(const QSizeF& stage, const QRectF& target);

// Maps stage coordinates (twips) into the target the way showAllRect places the stage.
QTransform stageTransform(const Rect& stageTwips, const QRectF& target);

}  // namespace zd::engine
