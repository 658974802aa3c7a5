#include "engine/render/ShapePaths.h"

#include <unordered_map>

namespace zd::engine {

namespace {

struct Edge {
    Point from;
    Point control;
    Point to;
    bool curved = false;

    Edge reversed() const { return Edge{to, control, from, curved}; }
};

std::uint64_t key(Point p) {
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(p.x)) << 32) |
           static_cast<std::uint32_t>(p.y);
}

QPointF qp(Point p) {
    return QPointF(p.x, p.y);
}

void addEdge(QPainterPath& path, const Edge& e) {
    if (e.curved) {
        path.quadTo(qp(e.control), qp(e.to));
    } else {
        path.lineTo(qp(e.to));
    }
}

// Joins a fill's edges (all with the fill on the same side) into closed outlines.
QPainterPath linkEdges(const std::vector<Edge>& edges, bool windingRule) {
    QPainterPath path;
    path.setFillRule(windingRule ? Qt::WindingFill : Qt::OddEvenFill);
    std::unordered_multimap<std::uint64_t, std::size_t> starts;
    starts.reserve(edges.size());
    for (std::size_t i = edges.size(); i-- > 0;) {
        starts.emplace(key(edges[i].from), i);
    }
    std::vector<bool> used(edges.size(), false);
    auto take = [&](Point at) -> std::ptrdiff_t {
        auto [begin, end] = starts.equal_range(key(at));
        for (auto it = begin; it != end; ++it) {
            if (!used[it->second]) {
                const std::size_t i = it->second;
                starts.erase(it);
                return static_cast<std::ptrdiff_t>(i);
            }
        }
        return -1;
    };
    for (std::size_t i = 0; i < edges.size(); ++i) {
        if (used[i]) {
            continue;
        }
        used[i] = true;
        const Point first = edges[i].from;
        path.moveTo(qp(first));
        addEdge(path, edges[i]);
        Point at = edges[i].to;
        while (!(at == first)) {
            const std::ptrdiff_t next = take(at);
            if (next < 0) {
                break;  // an open outline: closing it is the best guess
            }
            used[static_cast<std::size_t>(next)] = true;
            addEdge(path, edges[static_cast<std::size_t>(next)]);
            at = edges[static_cast<std::size_t>(next)].to;
        }
        path.closeSubpath();
    }
    return path;
}

}  // namespace

const Polygons& ShapePaths::Fill::polygons() const {
    if (!flat) {
        flat = flattenPath(path);
    }
    return *flat;
}

const Polygons& ShapePaths::Stroke::polygons() const {
    if (!flat) {
        flat = flattenPath(path);
    }
    return *flat;
}

QPainterPath ShapePaths::coverage() const {
    QPainterPath all;
    all.setFillRule(Qt::WindingFill);
    for (const Group& g : groups) {
        for (const Fill& f : g.fills) {
            // Each fill's own rule decides its holes; united they cover their union.
            all.addPath(f.path.fillRule() == Qt::WindingFill ? f.path : f.path.simplified());
        }
    }
    return all;
}

ShapePaths buildShapePaths(const ShapeDefinition& shape) {
    ShapePaths out;
    if (shape.styleGroups.empty()) {
        return out;
    }
    struct GroupEdges {
        std::vector<std::vector<Edge>> fills;
        std::vector<QPainterPath> strokes;
    };
    std::vector<GroupEdges> groups(shape.styleGroups.size());
    for (std::size_t g = 0; g < groups.size(); ++g) {
        groups[g].fills.resize(shape.styleGroups[g].fills.size());
        groups[g].strokes.resize(shape.styleGroups[g].lines.size());
    }
    std::size_t group = 0;
    std::uint32_t fill0 = 0;
    std::uint32_t fill1 = 0;
    std::uint32_t line = 0;
    Point pen;
    bool strokeOpen = false;  // the current line style's path ends at the pen
    Point strokeStart;
    double minX = 0, minY = 0, maxX = 0, maxY = 0;
    bool any = false;
    auto extend = [&](Point p) {
        if (!any) {
            minX = maxX = p.x;
            minY = maxY = p.y;
            any = true;
            return;
        }
        minX = std::min<double>(minX, p.x);
        maxX = std::max<double>(maxX, p.x);
        minY = std::min<double>(minY, p.y);
        maxY = std::max<double>(maxY, p.y);
    };
    auto closeStroke = [&]() {
        if (strokeOpen && line != 0 && line <= groups[group].strokes.size()) {
            QPainterPath& p = groups[group].strokes[line - 1];
            const LineStyle& style = shape.styleGroups[group].lines[line - 1];
            if (pen == strokeStart && !style.noClose && p.elementCount() > 2) {
                p.closeSubpath();
            }
        }
        strokeOpen = false;
    };
    for (const ShapeRecord& r : shape.records) {
        if (r.kind == ShapeRecord::StyleChange) {
            const bool moves = r.moveTo && !(*r.moveTo == pen);
            const bool lineChanges = (r.line && *r.line != line) || r.newStyles;
            if (moves || lineChanges) {
                closeStroke();
            }
            if (r.newStyles && *r.newStyles < groups.size()) {
                group = *r.newStyles;
                fill0 = fill1 = line = 0;
            }
            if (r.fill0) {
                fill0 = *r.fill0;
            }
            if (r.fill1) {
                fill1 = *r.fill1;
            }
            if (r.line) {
                line = *r.line;
            }
            if (r.moveTo) {
                pen = *r.moveTo;
                extend(pen);
            }
            continue;
        }
        Edge e{pen, r.control, r.to, r.kind == ShapeRecord::Curved};
        GroupEdges& ge = groups[group];
        if (fill0 != 0 && fill0 <= ge.fills.size()) {
            ge.fills[fill0 - 1].push_back(e.reversed());
        }
        if (fill1 != 0 && fill1 <= ge.fills.size()) {
            ge.fills[fill1 - 1].push_back(e);
        }
        if (line != 0 && line <= ge.strokes.size()) {
            QPainterPath& p = ge.strokes[line - 1];
            if (!strokeOpen) {
                p.moveTo(qp(pen));
                strokeOpen = true;
                strokeStart = pen;
            }
            addEdge(p, e);
        }
        if (e.curved) {
            extend(e.control);
        }
        extend(e.to);
        pen = e.to;
    }
    closeStroke();
    out.bounds = any ? QRectF(QPointF(minX, minY), QPointF(maxX, maxY)) : QRectF();
    out.groups.resize(groups.size());
    for (std::size_t g = 0; g < groups.size(); ++g) {
        const StyleGroup& styles = shape.styleGroups[g];
        for (std::size_t f = 0; f < groups[g].fills.size(); ++f) {
            if (groups[g].fills[f].empty()) {
                continue;
            }
            out.groups[g].fills.push_back({styles.fills[f],
                                           linkEdges(groups[g].fills[f], shape.windingRule),
                                           std::nullopt,
                                           {}});
        }
        for (std::size_t l = 0; l < groups[g].strokes.size(); ++l) {
            if (groups[g].strokes[l].isEmpty()) {
                continue;
            }
            out.groups[g].strokes.push_back(
                {styles.lines[l], std::move(groups[g].strokes[l]), std::nullopt, {}});
        }
    }
    return out;
}

}  // namespace zd::engine
