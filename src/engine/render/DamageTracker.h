#pragma once

#include <QRect>
#include <QRegion>
#include <QTransform>
#include <optional>
#include <unordered_map>
#include <vector>

#include "engine/player/DisplayTree.h"

namespace zd::engine {

class Renderer;
class StagePlayer;

// Works out which device pixels a new frame changes: the old and new bounds of the objects
// the display tree reports added, removed, moved or changed since the last frame drawn. It
// remembers where each object was drawn; anything it cannot place exactly (filters that
// spread pixels, a whole-picture change, a new transform) asks for the whole frame.
class DamageTracker {
  public:
    // The next frame is drawn whole (another movie, size or colour).
    void invalidate() { whole_ = true; }

    // What to draw again of the frame the player shows now, in device pixels within
    // `device` (the image's rectangle): nullopt for all of it, an empty region for nothing.
    // Takes the changes the display tree collected.
    std::optional<QRegion> damage(Renderer& renderer, StagePlayer& player,
                                  const QTransform& toDevice, const QRect& device);

    // Rectangles a damaged region is drawn in at most; more are merged into their union.
    static constexpr int kMaxRects = 8;

  private:
    // Measures an object and everything inside it under its parent's transform, remembering
    // each one's device bounds; returns the union. Sets filtered_ on filters met.
    QRectF measure(const DisplayObject& object, const QTransform& parentXform, int nesting);
    void measureAll(const StagePlayer& player);

    Renderer* renderer_ = nullptr;
    DisplayContext* context_ = nullptr;
    QTransform toDevice_;
    std::unordered_map<InstanceId, QRectF> drawnAt_;
    std::vector<InstanceId> touched_;
    bool whole_ = true;
    bool filtered_ = false;
};

}  // namespace zd::engine
