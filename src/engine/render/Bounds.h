#pragma once

#include <QRectF>
#include <QTransform>

namespace zd::engine {

class CharacterCache;
class DisplayObject;

// Where an object's character draws, in its own coordinates (twips), strokes included; empty
// for nothing. declared: the bounds the definitions give, without room for thin strokes.
QRectF characterBounds(const DisplayObject& object, CharacterCache& cache, int nesting = 0,
                       bool declared = false);

// The area a button answers the pointer in, in its own coordinates (twips): its hit state's
// characters as they declare their bounds. Empty for none, or for anything but a button.
QRectF buttonHitBounds(const DisplayObject& button, CharacterCache& cache);

// Where an object's picture falls under toDevice (its own matrix applied first).
QRectF objectBounds(const DisplayObject& object, const QTransform& toDevice, CharacterCache& cache,
                    int nesting = 0);

}  // namespace zd::engine
