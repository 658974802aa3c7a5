#include "engine/script/TextFields.h"

#include <algorithm>
#include <cmath>

#include "engine/player/DisplayTree.h"
#include "engine/player/StagePlayer.h"
#include "engine/render/CharacterCache.h"
#include "engine/render/TextLayout.h"

namespace zd::script {

using avm1::DisplayId;
using avm1::DisplayValue;
using avm1::TextProperty;
using engine::DisplayObject;
using engine::TextFieldModel;
using engine::TextFormat;

namespace {

// Variable paths nest at most this deep through the display tree.
constexpr int kMaxTreeDepth = 64;

template <typename From, typename To>
void copyFormat(const From& f, To& t) {
    t.font = f.font;
    t.size = f.size;
    t.color = f.color;
    t.bold = f.bold;
    t.italic = f.italic;
    t.underline = f.underline;
    t.url = f.url;
    t.target = f.target;
    t.align = f.align;
    t.leftMargin = f.leftMargin;
    t.rightMargin = f.rightMargin;
    t.indent = f.indent;
    t.leading = f.leading;
    t.blockIndent = f.blockIndent;
    t.letterSpacing = f.letterSpacing;
    t.bullet = f.bullet;
    t.kerning = f.kerning;
    t.tabStops = f.tabStops;
}

avm1::TextFormatValues toScript(const TextFormat& f) {
    avm1::TextFormatValues v;
    copyFormat(f, v);
    return v;
}

TextFormat fromScript(const avm1::TextFormatValues& v) {
    TextFormat f;
    copyFormat(v, f);
    return f;
}

std::size_t index(int i) {
    return static_cast<std::size_t>(std::max(0, i));
}

// Lines from `first` that fit in the field's height, at least one.
std::size_t linesFitting(const engine::TextLayout& layout, std::size_t first) {
    if (first >= layout.lines.size()) {
        return 1;
    }
    const double room = layout.box.height() - 2 * engine::kTextGutter;
    const double top = layout.lines[first].baseline - layout.lines[first].ascent;
    std::size_t n = 0;
    for (std::size_t i = first; i < layout.lines.size(); ++i) {
        const double bottom = layout.lines[i].baseline + layout.lines[i].descent - top;
        if (n > 0 && bottom > room + 1) {
            break;
        }
        ++n;
    }
    return std::max<std::size_t>(n, 1);
}

}  // namespace

TextFields::TextFields(engine::StagePlayer& player, engine::CharacterCache& cache)
    : player_(player), cache_(cache) {}

DisplayObject* TextFields::object(DisplayId id) const {
    DisplayObject* o = player_.context().find(id);
    return o != nullptr && o->textField() != nullptr ? o : nullptr;
}

TextFieldModel* TextFields::field(DisplayId id) const {
    DisplayObject* o = object(id);
    return o != nullptr ? o->textField() : nullptr;
}

DisplayValue TextFields::textProperty(DisplayId id, TextProperty p) {
    TextFieldModel* f = field(id);
    if (f == nullptr) {
        return {};
    }
    if (!f->variable.empty()) {
        syncField(*object(id));  // the variable may have changed since
    }
    auto measured = [&]() { return engine::layoutTextField(*f, cache_); };
    switch (p) {
        case TextProperty::Text:
            return f->textUtf8();
        case TextProperty::HtmlText:
            return f->def.html ? f->htmlText() : f->textUtf8();
        case TextProperty::Html:
            return f->def.html;
        case TextProperty::Variable:
            return f->variable.empty() ? DisplayValue() : DisplayValue(f->variable);
        case TextProperty::AutoSize: {
            static const char* const names[] = {"none", "left", "center", "right"};
            return std::string(names[f->autoSize & 3]);
        }
        case TextProperty::WordWrap:
            return f->def.wordWrap;
        case TextProperty::Multiline:
            return f->def.multiline;
        case TextProperty::Border:
            return f->def.border;
        case TextProperty::BorderColor:
            return static_cast<double>(f->borderColor);
        case TextProperty::Background:
            return f->background;
        case TextProperty::BackgroundColor:
            return static_cast<double>(f->backgroundColor);
        case TextProperty::TextColor:
            return static_cast<double>(f->newFormat().color.value_or(0));
        case TextProperty::EmbedFonts:
            return f->embedFonts;
        case TextProperty::Selectable:
            return f->selectable;
        case TextProperty::Type:
            return std::string(f->editable ? "input" : "dynamic");
        case TextProperty::Password:
            return f->def.password;
        case TextProperty::MaxChars:
            return f->maxChars > 0 ? DisplayValue(static_cast<double>(f->maxChars))
                                   : DisplayValue();
        case TextProperty::Restrict:
            return f->restrict ? DisplayValue(*f->restrict) : DisplayValue();
        case TextProperty::CondenseWhite:
            return f->condenseWhite;
        case TextProperty::MouseWheelEnabled:
            return f->mouseWheelEnabled;
        case TextProperty::Scroll:
            return static_cast<double>(f->scroll);
        case TextProperty::MaxScroll: {
            const auto layout = measured();
            // As many lines as show from the top are taken off the end, whatever the heights
            // of the last ones; the empty line a final line end starts is no text.
            const std::size_t total = layout.textLines();
            const std::size_t shown = linesFitting(layout, 0);
            return static_cast<double>(total > shown ? total - shown + 1 : 1);
        }
        case TextProperty::HScroll:
            return static_cast<double>(f->hscroll);
        case TextProperty::MaxHScroll: {
            if (f->def.wordWrap) {
                return 0.0;
            }
            // The text may run out under the right gutter before it needs scrolling.
            const auto layout = measured();
            const double room = layout.box.width() - engine::kTextGutter;
            return std::max(0.0, std::floor((layout.textWidth() - room) / 20.0));
        }
        case TextProperty::BottomScroll: {
            const auto layout = measured();
            const auto first = index(f->scroll - 1);
            return static_cast<double>(first + linesFitting(layout, first));
        }
        case TextProperty::TextWidth:
            return std::floor(measured().textWidth() / 20.0);
        case TextProperty::TextHeight:
            return std::floor(measured().textHeight() / 20.0);
        case TextProperty::Length:
            return static_cast<double>(f->text().size());
        case TextProperty::AntiAliasType:
            return std::string(f->def.advancedAntiAlias ? "advanced" : "normal");
        case TextProperty::GridFitType: {
            static const char* const names[] = {"none", "pixel", "subpixel"};
            return std::string(names[std::min<int>(f->def.gridFit, 2)]);
        }
        case TextProperty::Sharpness:
            return f->def.sharpness;
        case TextProperty::Thickness:
            return f->def.thickness;
    }
    return {};
}

void TextFields::setTextProperty(DisplayId id, TextProperty p, const DisplayValue& v) {
    DisplayObject* o = object(id);
    if (o == nullptr) {
        return;
    }
    TextFieldModel& f = *o->textField();
    const std::string* s = std::get_if<std::string>(&v);
    const bool* b = std::get_if<bool>(&v);
    const double* d = std::get_if<double>(&v);
    auto color = [](double x) {
        return std::isfinite(x) ? static_cast<std::uint32_t>(
                                      static_cast<std::int64_t>(std::fmod(x, 4294967296.0))) &
                                      0xffffff
                                : 0u;
    };
    switch (p) {
        case TextProperty::Text:
            if (s != nullptr) {
                f.setTextUtf8(*s);
                textChanged(*o, true);
            }
            return;
        case TextProperty::HtmlText:
            if (s != nullptr) {
                if (f.def.html) {
                    f.setHtmlText(*s);
                } else {
                    f.setTextUtf8(*s);
                }
                textChanged(*o, true);
            }
            return;
        case TextProperty::Html:
            if (b != nullptr) {
                f.def.html = *b;
            }
            break;
        case TextProperty::Variable:
            f.variable = s != nullptr ? *s : std::string();
            f.variableSeen = false;
            if (!f.variable.empty()) {
                // Bound anew: a variable not set yet starts from the field's first text.
                avm1::Value clip;
                std::string name;
                if (variableOf(*o, clip, name) && vm_->get(clip, name).isUndefined()) {
                    if (f.def.html) {
                        f.setHtmlText(f.def.initialText);
                    } else {
                        f.setTextUtf8(f.def.initialText);
                    }
                }
                syncField(*o);
            }
            break;
        case TextProperty::AutoSize:
            if (s != nullptr) {
                std::string l = *s;
                std::transform(l.begin(), l.end(), l.begin(),
                               [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
                f.autoSize = l == "left" ? 1 : l == "center" ? 2 : l == "right" ? 3 : 0;
                autoSize(*o);
            }
            break;
        case TextProperty::WordWrap:
            if (b != nullptr) {
                f.def.wordWrap = *b;
                autoSize(*o);
            }
            break;
        case TextProperty::Multiline:
            if (b != nullptr) {
                f.def.multiline = *b;
                autoSize(*o);
            }
            break;
        case TextProperty::Border:
            if (b != nullptr) {
                f.def.border = *b;
            }
            break;
        case TextProperty::BorderColor:
            if (d != nullptr) {
                f.borderColor = color(*d);
            }
            break;
        case TextProperty::Background:
            if (b != nullptr) {
                f.background = *b;
            }
            break;
        case TextProperty::BackgroundColor:
            if (d != nullptr) {
                f.backgroundColor = color(*d);
            }
            break;
        case TextProperty::TextColor:
            if (d != nullptr) {
                TextFormat c;
                c.color = color(*d);
                f.setFormat(0, f.text().size(), c);
                f.setNewFormat(c);
            }
            break;
        case TextProperty::EmbedFonts:
            if (b != nullptr) {
                f.embedFonts = *b;
                autoSize(*o);
            }
            break;
        case TextProperty::Selectable:
            if (b != nullptr) {
                f.selectable = *b;
            }
            break;
        case TextProperty::Type:
            if (s != nullptr) {
                std::string l = *s;
                std::transform(l.begin(), l.end(), l.begin(),
                               [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
                if (l == "input") {
                    f.editable = true;
                } else if (l == "dynamic") {
                    f.editable = false;
                }
            }
            break;
        case TextProperty::Password:
            if (b != nullptr) {
                f.def.password = *b;
            }
            break;
        case TextProperty::MaxChars:
            if (d != nullptr) {
                f.maxChars =
                    std::isfinite(*d) ? static_cast<int>(std::clamp(*d, 0.0, 2147483647.0)) : 0;
            }
            break;
        case TextProperty::Restrict:
            if (s != nullptr && !s->empty()) {
                f.restrict = *s;
            } else {
                f.restrict.reset();
            }
            break;
        case TextProperty::CondenseWhite:
            if (b != nullptr) {
                f.condenseWhite = *b;
            }
            break;
        case TextProperty::MouseWheelEnabled:
            if (b != nullptr) {
                f.mouseWheelEnabled = *b;
            }
            break;
        case TextProperty::Scroll:
            if (d != nullptr && std::isfinite(*d)) {
                const double max = std::get<double>(textProperty(id, TextProperty::MaxScroll));
                // The line index is kept in 32 bits: a value past them wraps around, and
                // the lowest one wraps again once made zero-based.
                const std::uint32_t line = static_cast<std::uint32_t>(avm1::toInt32(*d)) - 1u;
                const auto index = static_cast<std::int32_t>(line);
                f.scroll =
                    index < 0
                        ? 1
                        : static_cast<int>(std::min<double>(index, std::max(1.0, max) - 1)) + 1;
            }
            break;
        case TextProperty::HScroll:
            if (d != nullptr && std::isfinite(*d)) {
                const double max = std::get<double>(textProperty(id, TextProperty::MaxHScroll));
                const std::int32_t pixels = avm1::toInt32(*d);  // wraps as the line index does
                f.hscroll = static_cast<int>(std::clamp<double>(pixels, 0.0, std::max(0.0, max)));
            }
            break;
        case TextProperty::AntiAliasType:
            // Names other than the two kinds leave the setting as it was.
            if (s != nullptr && (*s == "normal" || *s == "advanced")) {
                f.def.advancedAntiAlias = *s == "advanced";
            }
            break;
        case TextProperty::GridFitType:
            if (s != nullptr && (*s == "none" || *s == "pixel" || *s == "subpixel")) {
                f.def.gridFit = *s == "none" ? 0 : *s == "pixel" ? 1 : 2;
            }
            break;
        case TextProperty::Sharpness:
            if (d != nullptr) {
                f.def.sharpness = *d;
            }
            break;
        case TextProperty::Thickness:
            if (d != nullptr) {
                f.def.thickness = *d;
            }
            break;
        default:
            return;  // read only
    }
    ++f.version;
    player_.context().changed();
}

std::optional<avm1::TextFormatValues> TextFields::textFormat(DisplayId id, int begin, int end) {
    TextFieldModel* f = field(id);
    if (f == nullptr) {
        return std::nullopt;
    }
    const std::size_t length = f->text().size();
    if (length == 0) {
        return avm1::TextFormatValues{};  // no characters, no format
    }
    std::size_t b = index(begin);
    std::size_t e = std::min(index(end), length);
    if (b >= length && length > 0) {
        b = length - 1;
        e = length;
    } else if (e <= b) {
        return avm1::TextFormatValues{};  // an empty range has no format either
    }
    return toScript(f->format(b, e));
}

void TextFields::setTextFormat(DisplayId id, int begin, int end, const avm1::TextFormatValues& v) {
    DisplayObject* o = object(id);
    if (o == nullptr) {
        return;
    }
    o->textField()->setFormat(index(begin), index(end), fromScript(v));
    textChanged(*o, false);
}

std::optional<avm1::TextFormatValues> TextFields::newTextFormat(DisplayId id) {
    TextFieldModel* f = field(id);
    if (f == nullptr) {
        return std::nullopt;
    }
    return toScript(f->newFormat());
}

void TextFields::setNewTextFormat(DisplayId id, const avm1::TextFormatValues& v) {
    if (TextFieldModel* f = field(id)) {
        f->setNewFormat(fromScript(v));
    }
}

void TextFields::replaceText(DisplayId id, int begin, int end, std::string_view text) {
    DisplayObject* o = object(id);
    if (o == nullptr) {
        return;
    }
    TextFieldModel& f = *o->textField();
    f.replace(index(begin), index(end), TextFieldModel::fromUtf8(std::string(text)));
    const auto caret =
        static_cast<int>(index(begin) + TextFieldModel::fromUtf8(std::string(text)).size());
    f.caret = f.selectionBegin = f.selectionEnd = caret;
    textChanged(*o, true);
}

std::array<int, 2> TextFields::selection(DisplayId id) {
    TextFieldModel* f = field(id);
    if (f == nullptr) {
        return {0, 0};
    }
    return {std::min(f->selectionBegin, f->selectionEnd),
            std::max(f->selectionBegin, f->selectionEnd)};
}

void TextFields::setSelection(DisplayId id, int begin, int end) {
    TextFieldModel* f = field(id);
    if (f == nullptr) {
        return;
    }
    const int length = static_cast<int>(f->text().size());
    f->selectionBegin = std::clamp(begin, 0, length);
    f->selectionEnd = std::clamp(end, 0, length);
    f->caret = f->selectionEnd;
    ++f->version;
}

std::array<double, 4> TextFields::measure(const avm1::TextFormatValues& v, std::string_view text,
                                          std::optional<double> width) {
    engine::EditTextDefinition def;
    def.bounds = {0, static_cast<std::int32_t>(std::clamp(width.value_or(100000) * 20, 0.0, 2e8)),
                  0, 2000000};
    def.wordWrap = def.multiline = width.has_value();
    TextFieldModel model(def, "");
    TextFormat f = model.newFormat();
    f.apply(fromScript(v));
    model.setNewFormat(f);
    model.setTextUtf8(std::string(text));
    const auto layout = engine::layoutTextField(model, cache_);
    const double ascent = layout.lines.empty() ? 0 : layout.lines.front().ascent;
    const double descent = layout.lines.empty() ? 0 : layout.lines.front().descent;
    return {std::round(layout.textWidth() / 20.0), std::round(layout.textHeight() / 20.0),
            std::round(ascent / 20.0), std::round(descent / 20.0)};
}

std::optional<std::pair<std::string, std::string>> TextFields::linkAt(DisplayId id, double x,
                                                                      double y) {
    const TextFieldModel* f = field(id);
    // Most fields link nowhere: those are not laid out for every click.
    if (f == nullptr || std::none_of(f->runs().begin(), f->runs().end(), [](const auto& r) {
            return !r.format.url.value_or("").empty();
        })) {
        return std::nullopt;
    }
    const auto layout = engine::layoutTextField(*f, cache_);
    const engine::TextStyle* style = engine::styleAt(layout, QPointF(x, y), f->hscroll);
    if (style == nullptr || style->url.empty()) {
        return std::nullopt;
    }
    return std::make_pair(style->url, style->target);
}

std::u16string TextFields::staticText(DisplayId clip) {
    DisplayObject* o = player_.context().find(clip);
    if (o == nullptr || o->timeline() == nullptr) {
        return {};
    }
    std::u16string out;
    for (const auto& [depth, child] : o->timeline()->objects()) {
        const auto* text =
            child->character() ? child->character()->as<engine::TextDefinition>() : nullptr;
        if (text == nullptr) {
            continue;
        }
        bool lineStart = !out.empty();
        const engine::FontDefinition* font = nullptr;
        std::optional<std::int16_t> y;
        for (const engine::TextRecord& r : text->records) {
            if (r.fontId) {
                const engine::CharacterPtr c = player_.context().character(*r.fontId);
                font = c ? c->as<engine::FontDefinition>() : nullptr;
            }
            if (r.yOffset) {
                lineStart = lineStart || (y && *y != *r.yOffset);
                y = r.yOffset;
            }
            for (const engine::GlyphEntry& g : r.glyphs) {
                if (font == nullptr || g.index >= font->codes.size()) {
                    continue;
                }
                if (lineStart) {
                    out += u'\n';
                    lineStart = false;
                }
                out += static_cast<char16_t>(font->codes[g.index]);
            }
        }
    }
    return out;
}

void TextFields::autoSize(DisplayObject& object) {
    TextFieldModel& f = *object.textField();
    if (f.autoSize == 0) {
        return;
    }
    const auto layout = engine::layoutTextField(f, cache_);
    engine::Rect& r = f.def.bounds;
    const auto height =
        static_cast<std::int32_t>(std::round(layout.textHeight() + 2 * engine::kTextGutter));
    r.yMax = r.yMin + height;
    if (!f.def.wordWrap) {
        const auto width =
            static_cast<std::int32_t>(std::ceil(layout.textWidth() + 2 * engine::kTextGutter));
        const std::int32_t old = r.xMax - r.xMin;
        // The field keeps its left, centre or right where it was: the field itself moves,
        // its box keeps its left edge.
        const std::int32_t shift = f.autoSize == 3   ? old - width
                                   : f.autoSize == 2 ? (old - width) / 2
                                                     : 0;
        r.xMax = r.xMin + width;
        if (shift != 0) {
            engine::Matrix m = object.matrix();
            m.tx += static_cast<std::int32_t>(std::lround(m.a * shift));
            m.ty += static_cast<std::int32_t>(std::lround(m.b * shift));
            object.setMatrix(m);
        }
    }
}

void TextFields::resize(DisplayObject& object, bool height, double pixels) {
    TextFieldModel* f = object.textField();
    if (f == nullptr || !std::isfinite(pixels) || pixels < 0) {
        return;
    }
    engine::Rect& r = f->def.bounds;
    const auto twips = static_cast<std::int32_t>(std::clamp(std::round(pixels * 20), 0.0, 2e8));
    if (height) {
        r.yMax = r.yMin + twips;
    } else {
        r.xMax = r.xMin + twips;
    }
    ++f->version;
    player_.context().changed();
}

void TextFields::textChanged(DisplayObject& object, bool writeVariable) {
    TextFieldModel& f = *object.textField();
    autoSize(object);
    if (writeVariable && vm_ != nullptr && !f.variable.empty()) {
        avm1::Value clip;
        std::string name;
        if (variableOf(object, clip, name)) {
            vm_->set(clip, vm_->intern(name), avm1::Value(vm_->str(f.textUtf8())));
        }
    }
    player_.context().changed();
}

bool TextFields::variableOf(DisplayObject& object, avm1::Value& owner, std::string& name) {
    const TextFieldModel& f = *object.textField();
    DisplayObject* parent = object.parent();
    // A button holds no variables: a field in one names them from the clip around it.
    while (parent != nullptr && parent->character() &&
           parent->character()->kind == engine::Character::Kind::Button) {
        parent = parent->parent();
    }
    if (parent == nullptr || vm_ == nullptr) {
        return false;
    }
    avm1::Object* from = vm_->clipObject(parent->id());
    if (from == nullptr) {
        return false;
    }
    const std::string& path = f.variable;
    const std::size_t cut = path.find_last_of(":.");
    // The path may lead through objects held in variables as well as through clips.
    owner = cut != std::string::npos ? vm_->followPath(avm1::Value(from), path.substr(0, cut), true)
                                     : avm1::Value(from);
    name = cut != std::string::npos ? path.substr(cut + 1) : path;
    return owner.isObject() && !name.empty();
}

void TextFields::syncField(DisplayObject& object) {
    TextFieldModel* f = object.textField();
    if (f == nullptr || f->variable.empty() || vm_ == nullptr) {
        return;
    }
    anyBound_ = true;
    avm1::Value owner;
    std::string name;
    if (!variableOf(object, owner, name)) {
        return;
    }
    const bool first = !f->variableSeen;
    f->variableSeen = true;
    const avm1::Value value = vm_->get(owner, name);
    if (value.isUndefined()) {
        // Only a field's first look seeds a variable not set yet, and an empty field leaves it
        // unset: a clip that appears later under the path starts without it.
        if (first && !f->text().empty()) {
            vm_->set(owner, vm_->intern(name), avm1::Value(vm_->str(f->textUtf8())));
        }
        return;
    }
    // A member of a plain object shows on the first look only; later changes to it do not.
    if (!first && owner.asObject()->kind() != avm1::ObjectKind::Clip) {
        return;
    }
    const std::string text = vm_->toStdString(value);
    const std::string now = f->def.html ? f->htmlText() : f->textUtf8();
    if (text != now && text != f->textUtf8()) {
        if (f->def.html) {
            f->setHtmlText(text);
        } else {
            f->setTextUtf8(text);
        }
        autoSize(object);
        player_.context().changed();
    }
}

void TextFields::syncTree(DisplayObject& object, int depth) {
    if (depth > kMaxTreeDepth) {
        return;
    }
    syncField(object);
    if (object.timeline() != nullptr) {
        // Children may go while variables are read (a getter may remove clips): ids first.
        std::vector<avm1::DisplayId> ids;
        for (const auto& [d, child] : object.timeline()->objects()) {
            ids.push_back(child->id());
        }
        for (avm1::DisplayId id : ids) {
            if (DisplayObject* child = player_.context().find(id)) {
                syncTree(*child, depth + 1);
            }
        }
    }
}

void TextFields::syncVariables() {
    if (vm_ == nullptr || (!anyBound_ && player_.context().boundFieldsPlaced() == placedSeen_)) {
        return;  // no field shows a variable: nothing to walk the tree for
    }
    placedSeen_ = player_.context().boundFieldsPlaced();
    anyBound_ = false;
    syncTree(player_.root(), 0);
}

void TextFields::syncIfChanged() {
    if (player_.context().boundFieldsPlaced() != placedSeen_) {
        syncVariables();
    }
}

}  // namespace zd::script
