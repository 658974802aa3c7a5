#pragma once

// What the pieces of the renderer share while drawing a frame: the options, the surface drawn
// on, the state handed down the tree, and small geometry helpers.

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPoint>
#include <QRect>
#include <QTransform>

#include "engine/render/ColorLut.h"
#include "engine/swf/Records.h"

namespace zd::engine {

struct RenderOptions {
    bool antialias = true;  // off: the low quality the format allows (no smoothing either)
};

// An image being drawn on: the picture itself, or an offscreen layer of part of it.
struct RenderSurface {
    QImage* image = nullptr;
    QPainter* painter = nullptr;
    QPoint origin;  // the device position of the image's top left
    QRect visible;  // device pixels worth drawing

    // Twips to this surface's image pixels.
    QTransform deviceTransform(const QTransform& toDevice) const {
        return toDevice * QTransform::fromTranslate(-origin.x(), -origin.y());
    }
    void setTransform(const QTransform& toDevice) const {
        painter->setTransform(deviceTransform(toDevice));
    }
};

// What an object is drawn with, handed down from its parents.
struct RenderState {
    QTransform xform;  // twips to device
    ColorLut lut;
    bool maskMode = false;  // drawing a mask: coverage only, in opaque white
    bool inLayer = false;   // drawing into a parent's own layer (Alpha and Erase need one)
    int nesting = 0;
};

QTransform toQt(const Matrix& m);
// Finite and not absurdly scaled: worth drawing.
bool sane(const QTransform& t);
// Device pixels per unit of the transform, for stroke widths.
double transformScale(const QTransform& t);
QColor qcolor(Rgba c);

}  // namespace zd::engine
