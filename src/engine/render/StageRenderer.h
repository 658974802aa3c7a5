#pragma once

#include <QRectF>
#include <QSizeF>
#include <QTransform>
#include <optional>
#include <string_view>

#include "engine/swf/Records.h"

namespace zd::engine {

// "ShowAll" scaling: the largest rectangle of the stage's aspect that fits the target,
// centred in it. An empty stage or target gives an empty rectangle.
QRectF showAllRect(const QSizeF& stage, const QRectF& target);

// Where the movie asks its stage to go in a view (Stage.scaleMode and Stage.align): noScale
// keeps its pixels, noBorder fills the view and crops, the others fit it whole; the align
// letters (T or B, L or R) hold it to those edges, centred otherwise. The result has the
// stage's aspect, so showAllRect of it is itself. exactFit fits as showAll does.
QRectF placedStageRect(const QSizeF& stage, const QRectF& view, std::string_view scaleMode,
                       std::string_view align);

// Maps stage coordinates (twips) into the target the way showAllRect places the stage.
QTransform stageTransform(const Rect& stageTwips, const QRectF& target);

// Where a point of the target falls on the stage, in stage pixels (the inverse of
// stageTransform, twips to pixels); nothing when the stage shows nowhere.
std::optional<QPointF> targetToStagePixels(const Rect& stageTwips, const QRectF& target,
                                           QPointF point);

}  // namespace zd::engine
