#include "engine/script/ClipDrawing.h"

#include <algorithm>
#include <cmath>

namespace zd::script {

namespace {

using avm1::DrawCommand;
using engine::Point;

std::int32_t twips(double px) {
    return static_cast<std::int32_t>(std::clamp(std::round(px * 20.0), -1e9, 1e9));
}

std::uint8_t alpha255(double percent) {
    return static_cast<std::uint8_t>(std::lround(std::clamp(percent, 0.0, 100.0) * 2.55));
}

engine::Rgba rgba(std::uint32_t rgb, double alphaPercent) {
    return engine::Rgba{static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8),
                        static_cast<std::uint8_t>(rgb), alpha255(alphaPercent)};
}

engine::FillStyle gradientFill(const DrawCommand& c) {
    engine::FillStyle f;
    // The focal point is kept as a shape record keeps it: 8.8 fixed point, the fraction cut.
    const double focal = std::isfinite(c.focalPoint)
                             ? std::trunc(std::clamp(c.focalPoint, -1.0, 1.0) * 256) / 256
                             : 0.0;
    f.type = !c.radial      ? engine::FillStyle::LinearGradient
             : focal != 0.0 ? engine::FillStyle::FocalGradient
                            : engine::FillStyle::RadialGradient;
    f.matrix.a = c.matrix[0];
    f.matrix.b = c.matrix[1];
    f.matrix.c = c.matrix[2];
    f.matrix.d = c.matrix[3];
    f.matrix.tx = twips(c.matrix[4]);
    f.matrix.ty = twips(c.matrix[5]);
    f.gradient.spread = c.spread;
    f.gradient.linearRgb = c.linearRgb;
    f.gradient.focalPoint = focal;
    for (std::size_t i = 0; i < c.colors.size(); ++i) {
        f.gradient.records.push_back(
            {static_cast<std::uint8_t>(std::lround(c.ratios[i])), rgba(c.colors[i], c.alphas[i])});
    }
    return f;
}

// A drawing keeps at most this many edges; later ones are dropped.
constexpr std::size_t kMaxEdges = 200000;

}  // namespace

void ClipDrawing::newGroup() {
    engine::StyleGroup g;
    if (fill_) {
        g.fills.push_back(*fill_);
    }
    if (line_) {
        g.lines.push_back(*line_);
    }
    engine::ShapeRecord r;
    r.kind = engine::ShapeRecord::StyleChange;
    r.fill1 = fill_ && fillOpen_ ? 1u : 0u;
    r.line = line_ ? 1u : 0u;
    r.moveTo = pen_;
    if (!groupUsed_ && !def_.styleGroups.empty() && groupRecord_ < def_.records.size()) {
        // Nothing drawn in the last group yet: it takes the new styles instead.
        def_.styleGroups.back() = std::move(g);
        r.newStyles = def_.records[groupRecord_].newStyles;
        def_.records.resize(groupRecord_);
    } else {
        def_.styleGroups.push_back(std::move(g));
        r.newStyles = static_cast<std::uint32_t>(def_.styleGroups.size() - 1);
    }
    groupRecord_ = def_.records.size();
    def_.records.push_back(r);
    groupUsed_ = false;
}

void ClipDrawing::styleChange(std::optional<Point> moveTo) {
    engine::ShapeRecord r;
    r.kind = engine::ShapeRecord::StyleChange;
    r.moveTo = moveTo;
    def_.records.push_back(r);
}

void ClipDrawing::edge(Point control, Point to, bool curved) {
    if (edges_ >= kMaxEdges) {
        return;
    }
    if (def_.styleGroups.empty()) {
        newGroup();
    }
    engine::ShapeRecord r;
    r.kind = curved ? engine::ShapeRecord::Curved : engine::ShapeRecord::Straight;
    r.control = control;
    r.to = to;
    def_.records.push_back(r);
    groupUsed_ = true;
    ++edges_;
    auto extend = [this](Point p, double half) {
        const auto h = static_cast<std::int32_t>(half);
        if (!anyPoint_) {
            def_.bounds = {p.x - h, p.x + h, p.y - h, p.y + h};
            def_.edgeBounds = {p.x, p.x, p.y, p.y};
            anyPoint_ = true;
            return;
        }
        def_.bounds.xMin = std::min(def_.bounds.xMin, p.x - h);
        def_.bounds.xMax = std::max(def_.bounds.xMax, p.x + h);
        def_.bounds.yMin = std::min(def_.bounds.yMin, p.y - h);
        def_.bounds.yMax = std::max(def_.bounds.yMax, p.y + h);
        def_.edgeBounds.xMin = std::min(def_.edgeBounds.xMin, p.x);
        def_.edgeBounds.xMax = std::max(def_.edgeBounds.xMax, p.x);
        def_.edgeBounds.yMin = std::min(def_.edgeBounds.yMin, p.y);
        def_.edgeBounds.yMax = std::max(def_.edgeBounds.yMax, p.y);
    };
    const double half = line_ ? line_->width / 2.0 : 0.0;
    extend(pen_, half);
    if (curved) {
        extend(control, half);
    }
    extend(to, half);
    pen_ = to;
}

void ClipDrawing::closeFill() {
    if (!fillOpen_) {
        return;
    }
    if (!(pen_ == fillStart_) && groupUsed_) {
        edge(pen_, fillStart_, false);  // the fill closes itself, stroked as the rest
    }
    fillOpen_ = false;
}

void ClipDrawing::apply(const DrawCommand& c) {
    switch (c.kind) {
        case DrawCommand::Kind::Clear:
            *this = ClipDrawing{};
            return;
        case DrawCommand::Kind::LineStyle: {
            if (!c.thickness) {
                line_.reset();
            } else {
                engine::LineStyle l;
                l.width = static_cast<std::uint16_t>(std::lround(*c.thickness * 20.0));
                l.color = rgba(c.color, c.alpha);
                l.startCap = l.endCap = c.caps;
                l.join = c.joints;
                l.miterLimit = c.miterLimit;
                l.pixelHinting = c.pixelHinting;
                l.noHScale = (c.noScale & 2) != 0;
                l.noVScale = (c.noScale & 1) != 0;
                line_ = l;
            }
            newGroup();
            return;
        }
        case DrawCommand::Kind::LineGradientStyle:
            if (line_) {
                line_->fill = gradientFill(c);
                newGroup();
            }
            return;
        case DrawCommand::Kind::BeginFill:
        case DrawCommand::Kind::BeginGradientFill: {
            closeFill();
            if (c.kind == DrawCommand::Kind::BeginFill) {
                engine::FillStyle f;
                f.color = rgba(c.color, c.alpha);
                fill_ = f;
            } else {
                fill_ = gradientFill(c);
            }
            fillOpen_ = true;
            fillStart_ = pen_;
            newGroup();
            return;
        }
        case DrawCommand::Kind::EndFill:
            closeFill();
            fill_.reset();
            newGroup();
            return;
        case DrawCommand::Kind::MoveTo: {
            const Point to{twips(c.point[0]), twips(c.point[1])};
            if (fillOpen_) {
                const bool open = fillOpen_;
                closeFill();
                fillOpen_ = open;
            }
            pen_ = to;
            fillStart_ = to;
            styleChange(to);
            return;
        }
        case DrawCommand::Kind::LineTo:
            edge(pen_, Point{twips(c.point[0]), twips(c.point[1])}, false);
            return;
        case DrawCommand::Kind::CurveTo:
            edge(Point{twips(c.point[0]), twips(c.point[1])},
                 Point{twips(c.point[2]), twips(c.point[3])}, true);
            return;
    }
}

engine::CharacterPtr ClipDrawing::shape() const {
    if (edges_ == 0) {
        return nullptr;
    }
    auto c = std::make_shared<engine::Character>();
    c->kind = engine::Character::Kind::Shape;
    engine::ShapeDefinition def = def_;
    // A fill still open shows closed.
    if (fillOpen_ && !(pen_ == fillStart_)) {
        engine::ShapeRecord e;
        e.kind = engine::ShapeRecord::Straight;
        e.to = fillStart_;
        def.records.push_back(e);
    }
    c->def = std::move(def);
    return c;
}

}  // namespace zd::script
