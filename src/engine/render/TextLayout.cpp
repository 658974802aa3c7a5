#include "engine/render/TextLayout.h"

#include <QFontMetricsF>
#include <QString>
#include <algorithm>
#include <cmath>
#include <optional>
#include <tuple>
#include <utility>

#include "engine/render/CharacterCache.h"

namespace zd::engine {

QFont deviceTextFont(const TextStyle& style) {
    QString family = QString::fromStdString(style.face);
    if (family.isEmpty() || family == u"_sans") {
        family = QStringLiteral("Sans Serif");
    } else if (family == u"_serif") {
        family = QStringLiteral("Serif");
    } else if (family == u"_typewriter") {
        family = QStringLiteral("Monospace");
    }
    QFont f(family);
    f.setPixelSize(std::max(1, static_cast<int>(std::lround(style.size))));
    f.setBold(style.bold);
    f.setItalic(style.italic);
    return f;
}

Rgba fieldTextColor(Rgba c) {
    auto tint = [](std::uint8_t v) {
        const int mult = v * 256 / 255;
        return static_cast<std::uint8_t>((255 * mult) >> 8);
    };
    return Rgba{tint(c.r), tint(c.g), tint(c.b), c.a};
}

double TextLayout::textWidth() const {
    double widest = 0;
    for (const LaidOutLine& line : lines) {
        widest = std::max(widest, line.measuredWidth);
    }
    return widest;
}

std::size_t TextLayout::textLines() const {
    // The empty line after a final line end is no text.
    const std::size_t n = lines.size();
    return n > 1 && lines[n - 1].chars.empty() ? n - 1 : n;
}

double TextLayout::textHeight() const {
    if (lines.empty()) {
        return 0;
    }
    const std::size_t last = textLines() - 1;
    const double height = lines[last].baseline + lines[last].descent - (box.top() + kTextGutter);
    return last == 0 ? height + leading : height;
}

TextLayout layoutEditText(const EditTextDefinition& e, const std::string& text, bool html,
                          CharacterCache& cache) {
    if (text.empty()) {
        TextLayout layout;
        layout.box =
            QRectF(QPointF(e.bounds.xMin, e.bounds.yMin), QPointF(e.bounds.xMax, e.bounds.yMax));
        return layout;
    }
    CharacterPtr ownFont = e.fontId ? cache.character(*e.fontId) : nullptr;
    const FontDefinition* ownDef = ownFont ? ownFont->as<FontDefinition>() : nullptr;
    TextStyle base;
    base.face = ownDef != nullptr ? ownDef->name : e.fontClass;
    base.size = e.fontHeight;
    base.color = e.color;
    // HTML text says itself what is bold or italic.
    base.bold = !html && ownDef != nullptr && ownDef->bold;
    base.italic = !html && ownDef != nullptr && ownDef->italic;
    return layoutParagraphs(
        e, html ? parseHtmlText(text, base, e.align) : plainTextParagraphs(text, base, e.align),
        cache);
}

std::optional<QRectF> caretBox(const TextLayout& layout, std::size_t index) {
    // A position where a line wraps starts the next line; the end of a paragraph ends its own.
    std::size_t n = 0;
    while (n + 1 < layout.lines.size() &&
           !(index < layout.lines[n].end ||
             (index == layout.lines[n].end && layout.lines[n].lastOfParagraph))) {
        ++n;
    }
    if (n < layout.firstVisible || n >= std::min(layout.visibleLines, layout.lines.size())) {
        return std::nullopt;
    }
    const LaidOutLine& line = layout.lines[n];
    double x = line.textLeft;
    for (const LaidOutChar& c : line.chars) {
        if (c.index >= index) {
            break;
        }
        x = c.x + c.advance;
    }
    return QRectF(x, line.baseline - line.ascent, 0, line.ascent + line.descent);
}

std::vector<QRectF> selectionBoxes(const TextLayout& layout, std::size_t begin, std::size_t end) {
    std::vector<QRectF> boxes;
    const std::size_t last = std::min(layout.visibleLines, layout.lines.size());
    for (std::size_t n = layout.firstVisible; n < last; ++n) {
        const LaidOutLine& line = layout.lines[n];
        std::optional<std::pair<double, double>> span;
        for (const LaidOutChar& c : line.chars) {
            if (c.index >= begin && c.index < end) {
                const double from = span ? span->first : c.x;
                span.emplace(from, c.x + c.advance);
            }
        }
        if (span && span->second > span->first) {
            boxes.emplace_back(QPointF(span->first, line.baseline - line.ascent),
                               QPointF(span->second, line.baseline + line.descent));
        }
    }
    return boxes;
}

const TextStyle* styleAt(const TextLayout& layout, QPointF p, int hscroll) {
    if (!layout.box.contains(p)) {
        return nullptr;
    }
    const double x = p.x() + hscroll * 20.0;
    const std::size_t last = std::min(layout.visibleLines, layout.lines.size());
    for (std::size_t n = layout.firstVisible; n < last; ++n) {
        const LaidOutLine& line = layout.lines[n];
        if (p.y() < line.baseline - line.ascent || p.y() >= line.baseline + line.descent) {
            continue;
        }
        for (const LaidOutChar& c : line.chars) {
            if (x >= c.x && x < c.x + std::max(c.advance, 0.0)) {
                return c.style;
            }
        }
    }
    return nullptr;
}

TextLayout layoutTextField(const TextFieldModel& field, CharacterCache& cache, bool caretLine) {
    EditTextDefinition e = field.def;
    e.useOutlines = field.embedFonts;
    // Margins and indents come with each paragraph (an empty field's from the new-text
    // format); leading with the text's own format.
    e.leftMargin = 0;
    e.rightMargin = 0;
    if (!field.runs().empty()) {
        const TextFormat& f = field.runs().front().format;
        e.leading =
            static_cast<std::int16_t>(std::clamp(f.leading.value_or(0) * 20, -32768.0, 32767.0));
        e.fontHeight =
            static_cast<std::uint16_t>(std::clamp(f.size.value_or(12) * 20, 0.0, 65535.0));
    }
    if (field.text().empty() && !caretLine) {
        TextLayout layout;
        layout.box =
            QRectF(QPointF(e.bounds.xMin, e.bounds.yMin), QPointF(e.bounds.xMax, e.bounds.yMax));
        return layout;
    }
    TextLayout layout = layoutParagraphs(e, field.paragraphs(), cache);
    if (field.swfVersion >= 8) {
        // Newer movies measure right and centred lines as they are aligned, without the
        // spaces that end them.
        for (LaidOutLine& line : layout.lines) {
            if (line.align == 1 || line.align == 2) {
                line.measuredWidth = line.width;
            }
        }
    }
    // Scrolled lines move up out of the field.
    const auto first = static_cast<std::size_t>(std::max(0, field.scroll - 1));
    if (first > 0 && first < layout.lines.size()) {
        const double shift = layout.lines[first].baseline - layout.lines[first].ascent -
                             (layout.box.top() + kTextGutter);
        for (LaidOutLine& line : layout.lines) {
            line.baseline -= shift;
        }
        layout.firstVisible = first;
        layout.visibleLines = layout.lines.size();
        for (std::size_t n = first; n < layout.lines.size(); ++n) {
            if (n > first &&
                layout.lines[n].baseline + layout.lines[n].descent > layout.box.bottom()) {
                layout.visibleLines = n;
                break;
            }
        }
    }
    return layout;
}

namespace {

// How far a bullet's text stands in from its paragraph's margins (twips).
constexpr double kBulletIndent = 36 * 20.0;

// The font a style is drawn in and its line metrics (lines stand on whole twips).
struct StyleFont {
    bool shown = true;  // false: embedded glyphs asked for and none to be had
    CharacterPtr font;
    const FontDefinition* def = nullptr;
    DeviceFont* device = nullptr;
    QFont qfont;
    double ascent = 0;
    double descent = 0;
};

StyleFont styleFont(const EditTextDefinition& e, const TextStyle& style, CharacterCache& cache) {
    StyleFont f;
    f.font =
        e.useOutlines ? cache.findFont(style.face, style.bold, style.italic, e.fontId) : nullptr;
    f.def = f.font ? f.font->as<FontDefinition>() : nullptr;
    if (e.useOutlines && f.def == nullptr) {
        f.shown = false;
        return f;
    }
    f.device =
        f.def == nullptr ? cache.deviceFonts().font(style.face, style.bold, style.italic) : nullptr;
    f.qfont = deviceTextFont(style);
    if (f.def != nullptr) {
        const double scale = style.size / f.def->unitsPerEm();
        f.ascent = f.def->hasLayout ? std::floor(f.def->ascent * scale) : style.size * 0.9;
        f.descent = f.def->hasLayout ? f.def->descent * scale : style.size * 0.2;
    } else if (f.device != nullptr) {
        const double scale = style.size / DeviceFont::kUnitsPerEm;
        f.ascent = std::floor(f.device->ascent() * scale);
        f.descent = f.device->descent() * scale;
    } else {
        const QFontMetricsF metrics(f.qfont);
        f.ascent = metrics.ascent();
        f.descent = metrics.descent();
    }
    return f;
}

LaidOutChar laidOutChar(const StyleFont& f, const TextStyle& style, QChar ch,
                        CharacterCache& cache) {
    LaidOutChar item;
    item.ch = ch;
    item.style = &style;
    item.ascent = f.ascent;
    item.descent = f.descent;
    if (f.def != nullptr) {
        const double scale = style.size / f.def->unitsPerEm();
        item.font = f.font;
        item.glyph = f.def->glyphFor(item.ch.unicode());
        const auto g = static_cast<std::size_t>(item.glyph);
        if (item.glyph >= 0 && g < f.def->advances.size()) {
            item.advance = std::floor(f.def->advances[g] * scale);
        } else if (item.glyph >= 0 && g < cache.glyphPaths(f.font).size()) {
            item.advance = cache.glyphPaths(f.font)[g].boundingRect().right() * scale;
        }
    } else if (f.device != nullptr) {
        // Laid out as embedded glyphs are, but advancing by whole pixels.
        const double scale = style.size / DeviceFont::kUnitsPerEm;
        item.deviceGlyph = f.device->glyph(item.ch.unicode());
        if (item.deviceGlyph != nullptr) {
            item.advance = std::round(item.deviceGlyph->advance * scale / 20) * 20;
        }
    } else {
        item.painted = true;
        item.advance = QFontMetricsF(f.qfont).horizontalAdvance(item.ch);
    }
    item.advance += style.letterSpacing;
    return item;
}

}  // namespace

TextLayout layoutParagraphs(const EditTextDefinition& e, std::vector<TextParagraph> paragraphs,
                            CharacterCache& cache) {
    TextLayout layout;
    layout.box =
        QRectF(QPointF(e.bounds.xMin, e.bounds.yMin), QPointF(e.bounds.xMax, e.bounds.yMax));
    const QRectF& box = layout.box;
    layout.paragraphs = std::move(paragraphs);
    layout.leading = e.leading;

    const double fieldLeft = box.left() + kTextGutter + e.leftMargin;
    const double fieldRight = box.right() - kTextGutter - e.rightMargin;

    std::vector<LaidOutLine>& lines = layout.lines;
    // An empty line stands as tall as its paragraph's first format.
    std::vector<std::pair<double, double>> emptyMetrics;
    std::size_t position = 0;  // in the text, paragraph breaks counted
    for (const TextParagraph& para : layout.paragraphs) {
        std::vector<LaidOutChar> items;
        std::optional<std::pair<double, double>> paraMetrics;
        std::optional<LaidOutChar> bullet;
        for (const TextRun& run : para.runs) {
            const StyleFont f = styleFont(e, run.style, cache);
            const QString runText =
                QString::fromUtf8(run.text.data(), static_cast<qsizetype>(run.text.size()));
            const std::size_t runStart = position;
            position += static_cast<std::size_t>(runText.size());
            if (!f.shown) {
                continue;  // embedded glyphs asked for and none to be had: nothing shows
            }
            if (!paraMetrics) {
                paraMetrics.emplace(f.ascent, f.descent);
            }
            if (para.bullet && !bullet) {
                bullet = laidOutChar(f, run.style, QChar(0x2022), cache);
            }
            std::size_t at = runStart;
            for (const QChar ch : runText) {
                LaidOutChar item = laidOutChar(f, run.style, e.password ? QChar(u'*') : ch, cache);
                item.index = at++;
                items.push_back(item);
            }
        }
        const std::size_t paraEnd = position;
        position += 1;  // the break
        // The line end's format counts in the last line's height.
        std::optional<std::pair<double, double>> endMetrics;
        if (para.lineEnd) {
            const StyleFont f = styleFont(e, *para.lineEnd, cache);
            if (f.shown) {
                endMetrics.emplace(f.ascent, f.descent);
            }
        }
        const double paraLeft =
            fieldLeft + para.leftMargin + para.blockIndent + (para.bullet ? kBulletIndent : 0);
        const double paraRight = fieldRight - para.rightMargin;
        // Breaks at spaces to fit the width when the field wraps.
        std::size_t start = 0;
        while (true) {
            const double lineLeft = paraLeft + (start == 0 ? para.indent : 0);
            const double width = std::max(0.0, paraRight - lineLeft);
            std::size_t end = items.size();
            if (e.wordWrap) {
                double w = 0;
                std::size_t lastSpace = items.size();
                for (std::size_t i = start; i < items.size(); ++i) {
                    if (items[i].ch == u' ') {
                        lastSpace = i;
                    }
                    w += items[i].advance;
                    if (w > width && i > start) {
                        end = lastSpace < items.size() && lastSpace > start ? lastSpace + 1 : i;
                        break;
                    }
                }
            }
            LaidOutLine l;
            l.align = para.align;
            l.left = lineLeft;
            l.right = std::max(lineLeft, paraRight);
            l.chars.assign(items.begin() + static_cast<long>(start),
                           items.begin() + static_cast<long>(end));
            l.lastOfParagraph = end >= items.size();
            l.begin = start < items.size() ? items[start].index : paraEnd;
            l.end = end < items.size() ? items[end].index : paraEnd;
            if (start == 0 && bullet) {
                l.bullet = bullet;
                l.bullet->x = paraLeft - kBulletIndent + kBulletIndent / 4;
            }
            std::pair<double, double> empty = paraMetrics.value_or(
                std::pair<double, double>(e.fontHeight * 0.9, e.fontHeight * 0.2));
            if (l.lastOfParagraph && endMetrics) {
                l.endAscent = endMetrics->first;
                l.endDescent = endMetrics->second;
            }
            lines.push_back(std::move(l));
            emptyMetrics.push_back(empty);
            if (end >= items.size()) {
                break;
            }
            start = end;
        }
    }

    double baseline = box.top() + kTextGutter;
    layout.visibleLines = lines.size();
    for (std::size_t n = 0; n < lines.size(); ++n) {
        LaidOutLine& line = lines[n];
        // The tallest character sets the line; an empty line takes the field's own size.
        double ascent = 0;
        double descent = 0;
        double lineWidth = 0;
        int spaces = 0;
        for (const LaidOutChar& item : line.chars) {
            ascent = std::max(ascent, item.ascent);
            descent = std::max(descent, item.descent);
            lineWidth += item.advance;
            spaces += item.ch == u' ' ? 1 : 0;
        }
        if (line.chars.empty()) {
            std::tie(ascent, descent) = emptyMetrics[n];
        } else {
            ascent = std::max(ascent, line.endAscent);
            descent = std::max(descent, line.endDescent);
        }
        line.measuredWidth = lineWidth;
        // Trailing spaces do not count when aligning.
        for (std::size_t i = line.chars.size(); i-- > 0 && line.chars[i].ch == u' ';) {
            lineWidth -= line.chars[i].advance;
            --spaces;
        }
        baseline += ascent;
        const double width = line.right - line.left;
        double x = line.left;
        double extraPerSpace = 0;
        if (line.align == 1) {
            x = line.right - lineWidth;
        } else if (line.align == 2) {
            x = line.left + (width - lineWidth) / 2;
        } else if (line.align == 3 && !line.lastOfParagraph && spaces > 0) {
            extraPerSpace = (width - lineWidth) / spaces;
        }
        line.textLeft = x;
        for (LaidOutChar& item : line.chars) {
            item.x = x;
            x += item.advance + (item.ch == u' ' ? extraPerSpace : 0);
        }
        line.baseline = baseline;
        line.ascent = ascent;
        line.descent = descent;
        line.width = lineWidth;
        baseline += descent + e.leading;
        if (layout.visibleLines == lines.size() && baseline - descent > box.bottom()) {
            layout.visibleLines = n + 1;  // the rest is below the field
        }
    }
    return layout;
}

}  // namespace zd::engine
