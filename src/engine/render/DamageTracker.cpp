#include "engine/render/DamageTracker.h"

#include <unordered_set>

#include "engine/player/StagePlayer.h"
#include "engine/render/RenderTypes.h"
#include "engine/render/Renderer.h"

namespace zd::engine {

namespace {

constexpr int kMaxNesting = 64;

// Antialiased edges and rounding reach a pixel beyond the bounds; cut to the device first so
// far-off coordinates never reach whole numbers.
QRect deviceRect(const QRectF& r, const QRect& device) {
    const QRectF cut = r.intersected(QRectF(device).adjusted(-2, -2, 2, 2));
    return cut.isEmpty() ? QRect() : cut.toAlignedRect().adjusted(-1, -1, 1, 1).intersected(device);
}

// The transform an object's own matrix is applied under.
QTransform parentTransform(const DisplayObject& object, const QTransform& toDevice) {
    QTransform t;
    int guard = 0;
    for (const DisplayObject* p = object.parent(); p != nullptr && !p->isRoot() && ++guard < 256;
         p = p->parent()) {
        t = t * toQt(p->matrix());
    }
    return t * toDevice;
}

}  // namespace

QRectF DamageTracker::measure(const DisplayObject& object, const QTransform& parentXform,
                              int nesting) {
    if (object.filters() != nullptr) {
        filtered_ = true;
    }
    QRectF bounds;
    if (object.timeline() != nullptr && nesting < kMaxNesting) {
        const QTransform xform = toQt(object.matrix()) * parentXform;
        if (sane(xform)) {
            for (const auto& [depth, child] : object.timeline()->objects()) {
                const QRectF b = measure(*child, xform, nesting + 1);
                if (!b.isEmpty()) {
                    bounds = bounds.united(b);
                }
            }
        }
    } else {
        bounds = renderer_->deviceBounds(object, parentXform, *context_, nesting);
    }
    drawnAt_[object.id()] = bounds;
    return bounds;
}

void DamageTracker::measureAll(const StagePlayer& player) {
    drawnAt_.clear();
    filtered_ = false;
    for (const auto& [depth, child] : player.rootTimeline().objects()) {
        measure(*child, toDevice_, 1);
    }
}

std::optional<QRegion> DamageTracker::damage(Renderer& renderer, StagePlayer& player,
                                             const QTransform& toDevice, const QRect& device) {
    renderer_ = &renderer;
    context_ = &player.context();
    const bool all = context_->takeTouched(touched_);
    if (whole_ || all || toDevice != toDevice_) {
        whole_ = false;
        toDevice_ = toDevice;
        measureAll(player);
        return std::nullopt;
    }
    QRegion region;
    std::unordered_set<InstanceId> seen;
    for (const InstanceId id : touched_) {
        if (!seen.insert(id).second) {
            continue;
        }
        QRectF area;
        if (const auto it = drawnAt_.find(id); it != drawnAt_.end()) {
            area = it->second;
        }
        if (const DisplayObject* object = context_->find(id)) {
            const QRectF now = measure(*object, parentTransform(*object, toDevice_), 1);
            area = area.united(now);
            // The clips it sits in reach where it went now, should they go themselves.
            for (const DisplayObject* p = object->parent(); p != nullptr && !p->isRoot();
                 p = p->parent()) {
                QRectF& up = drawnAt_[p->id()];
                up = up.united(now);
            }
        } else {
            drawnAt_.erase(id);
        }
        if (filtered_) {
            // Filters spread pixels beyond the bounds, by amounts not kept here.
            measureAll(player);
            return std::nullopt;
        }
        if (!area.isEmpty()) {
            region += deviceRect(area, device);
        }
    }
    // Objects inside removed clips leave unseen: let go of them now and then.
    if (drawnAt_.size() > 2 * context_->objects() + 1024) {
        std::erase_if(drawnAt_,
                      [this](const auto& e) { return context_->find(e.first) == nullptr; });
    }
    touched_.clear();
    if (region.rectCount() > kMaxRects) {
        region = QRegion(region.boundingRect());
    }
    return region;
}

}  // namespace zd::engine
