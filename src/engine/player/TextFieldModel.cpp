#include "engine/player/TextFieldModel.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>

namespace zd::engine {

namespace {

// Tags nest at most this deep in HTML a script sets; deeper ones keep the format they are in.
constexpr std::size_t kMaxNesting = 64;
// The largest size a FONT tag sets (points).
constexpr double kMaxHtmlSize = 127;
// The widest margin or indent a paragraph is laid out with (pixels).
constexpr double kMaxParagraphSpace = 10000;
// The largest text size drawn (pixels).
constexpr double kMaxDrawnSize = 2000;

template <typename T>
void take(std::optional<T>& to, const std::optional<T>& from) {
    if (from) {
        to = from;
    }
}

template <typename T>
void agree(std::optional<T>& mine, const std::optional<T>& other) {
    if (mine != other) {
        mine.reset();
    }
}

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

// Whole numbers without a fraction, others with as many digits as they need.
std::string number(double v) {
    if (!std::isfinite(v)) {
        return "0";
    }
    char buf[64];
    if (v == std::floor(v) && std::fabs(v) < 1e15) {
        std::snprintf(buf, sizeof buf, "%.0f", v);
    } else {
        std::snprintf(buf, sizeof buf, "%.15g", v);
    }
    return buf;
}

std::string colorHex(std::uint32_t c) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "#%06X", static_cast<unsigned>(c & 0xffffff));
    return buf;
}

const char* alignName(std::uint8_t a) {
    switch (a) {
        case 1:
            return "RIGHT";
        case 2:
            return "CENTER";
        case 3:
            return "JUSTIFY";
        default:
            return "LEFT";
    }
}

std::optional<std::uint8_t> alignOf(const std::string& v) {
    const std::string l = lower(v);
    if (l == "left") {
        return 0;
    }
    if (l == "right") {
        return 1;
    }
    if (l == "center") {
        return 2;
    }
    if (l == "justify") {
        return 3;
    }
    return std::nullopt;
}

// Entities HTML text may hold; unknown ones stay as written.
std::u16string decodeEntity(const std::string& name) {
    if (name == "lt") {
        return u"<";
    }
    if (name == "gt") {
        return u">";
    }
    if (name == "amp") {
        return u"&";
    }
    if (name == "quot") {
        return u"\"";
    }
    if (name == "apos") {
        return u"'";
    }
    if (name == "nbsp") {
        return u"\u00a0";
    }
    if (name.size() > 1 && name[0] == '#') {
        const bool hex = name[1] == 'x' || name[1] == 'X';
        const long cp = std::strtol(name.c_str() + (hex ? 2 : 1), nullptr, hex ? 16 : 10);
        if (cp > 0 && cp < 0x10000) {
            return std::u16string(1, static_cast<char16_t>(cp));
        }
    }
    return {};
}

// "#" and hex digits, blanks allowed after the "#"; digits past six keep the last six.
std::optional<std::uint32_t> htmlColor(const std::string& v) {
    if (v.empty() || v[0] != '#') {
        return std::nullopt;
    }
    std::size_t i = 1;
    while (i < v.size() && (v[i] == ' ' || v[i] == '\t' || v[i] == '\r' || v[i] == '\n')) {
        ++i;
    }
    std::uint32_t c = 0;
    bool any = false;
    for (; i < v.size() && std::isxdigit(static_cast<unsigned char>(v[i])); ++i) {
        const char d = static_cast<char>(std::tolower(static_cast<unsigned char>(v[i])));
        const std::uint32_t digit = d <= '9' ? static_cast<std::uint32_t>(d - '0')
                                             : static_cast<std::uint32_t>(d - 'a' + 10);
        c = ((c << 4) | digit) & 0xffffff;
        any = true;
    }
    return any ? std::optional<std::uint32_t>(c) : std::nullopt;
}

}  // namespace

void TextFormat::apply(const TextFormat& o) {
    take(font, o.font);
    take(size, o.size);
    take(color, o.color);
    take(bold, o.bold);
    take(italic, o.italic);
    take(underline, o.underline);
    take(url, o.url);
    take(target, o.target);
    take(align, o.align);
    take(leftMargin, o.leftMargin);
    take(rightMargin, o.rightMargin);
    take(indent, o.indent);
    take(leading, o.leading);
    take(blockIndent, o.blockIndent);
    take(letterSpacing, o.letterSpacing);
    take(bullet, o.bullet);
    take(kerning, o.kerning);
    take(tabStops, o.tabStops);
}

void TextFormat::intersect(const TextFormat& o) {
    agree(font, o.font);
    agree(size, o.size);
    agree(color, o.color);
    agree(bold, o.bold);
    agree(italic, o.italic);
    agree(underline, o.underline);
    agree(url, o.url);
    agree(target, o.target);
    agree(align, o.align);
    agree(leftMargin, o.leftMargin);
    agree(rightMargin, o.rightMargin);
    agree(indent, o.indent);
    agree(leading, o.leading);
    agree(blockIndent, o.blockIndent);
    agree(letterSpacing, o.letterSpacing);
    agree(bullet, o.bullet);
    agree(kerning, o.kerning);
    agree(tabStops, o.tabStops);
}

TextFieldModel::TextFieldModel(const EditTextDefinition& d, const std::string& fontName,
                               int version, const FontDefinition* font)
    : def(d), swfVersion(version) {
    TextFormat& f = newFormat_;
    f.font = !fontName.empty()      ? fontName
             : !d.fontClass.empty() ? d.fontClass
                                    : std::string("Times New Roman");
    f.size = d.fontHeight / 20.0;
    f.color = (std::uint32_t{d.color.r} << 16) | (std::uint32_t{d.color.g} << 8) | d.color.b;
    // Plain text is in the style of the field's font; HTML says its own.
    f.bold = !d.html && font != nullptr && font->bold;
    f.italic = !d.html && font != nullptr && font->italic;
    f.underline = false;
    f.url = "";
    f.target = "";
    f.align = d.align;
    // Formats hold whole pixels; the tag's indent is read as signed.
    f.leftMargin = std::round(d.leftMargin / 20.0);
    f.rightMargin = std::round(d.rightMargin / 20.0);
    f.indent = std::round(static_cast<std::int16_t>(d.indent) / 20.0);
    f.leading = std::round(d.leading / 20.0);
    f.blockIndent = 0.0;
    f.letterSpacing = 0.0;
    f.bullet = false;
    f.kerning = false;
    f.tabStops = std::vector<double>{};
    editable = !d.readOnly;
    embedFonts = d.useOutlines;
    selectable = !d.noSelect;
    maxChars = d.maxLength;
    variable = d.variableName;
    if (def.border) {
        background = true;
    }
    if (d.autoSize) {
        autoSize = 1;
    }
    if (d.html) {
        if (d.initialText.empty()) {
            f.align = 0;  // an HTML field with no text of its own starts left-aligned
        }
        setHtmlText(d.initialText);
    } else {
        setTextUtf8(d.initialText);
    }
}

std::u16string TextFieldModel::fromUtf8(const std::string& s) {
    std::u16string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        std::uint32_t cp = c;
        int extra = 0;
        if (c >= 0xf0) {
            cp = c & 0x07;
            extra = 3;
        } else if (c >= 0xe0) {
            cp = c & 0x0f;
            extra = 2;
        } else if (c >= 0xc0) {
            cp = c & 0x1f;
            extra = 1;
        }
        ++i;
        for (int k = 0; k < extra && i < s.size(); ++k, ++i) {
            cp = (cp << 6) | (static_cast<unsigned char>(s[i]) & 0x3f);
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xd800 + (cp >> 10));
            out += static_cast<char16_t>(0xdc00 + (cp & 0x3ff));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

std::string TextFieldModel::toUtf8(const std::u16string& s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        std::uint32_t cp = s[i];
        if (cp >= 0xd800 && cp < 0xdc00 && i + 1 < s.size() && s[i + 1] >= 0xdc00 &&
            s[i + 1] < 0xe000) {
            cp = 0x10000 + ((cp - 0xd800) << 10) + (s[i + 1] - 0xdc00);
            ++i;
        }
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xc0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3f));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xe0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3f));
            out += static_cast<char>(0x80 | (cp & 0x3f));
        } else {
            out += static_cast<char>(0xf0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3f));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3f));
            out += static_cast<char>(0x80 | (cp & 0x3f));
        }
    }
    return out;
}

std::string TextFieldModel::escapeHtml(const std::u16string& s) {
    std::u16string out;
    for (const char16_t c : s) {
        switch (c) {
            case u'<':
                out += u"&lt;";
                break;
            case u'>':
                out += u"&gt;";
                break;
            case u'&':
                out += u"&amp;";
                break;
            case u'"':
                out += u"&quot;";
                break;
            case u'\'':
                out += u"&apos;";
                break;
            default:
                out += c;
        }
    }
    return toUtf8(out);
}

std::string TextFieldModel::textUtf8() const {
    return toUtf8(text_);
}

void TextFieldModel::setText(const std::u16string& text) {
    // Line ends of either kind end paragraphs the same way; a CR LF pair ends two.
    std::u16string t = text;
    std::replace(t.begin(), t.end(), u'\n', u'\r');
    text_ = std::move(t);
    runs_.clear();
    if (!text_.empty()) {
        runs_.push_back({text_.size(), newFormat_});
    }
    scroll = 1;
    hscroll = 0;
    ++version;
}

void TextFieldModel::setNewFormat(const TextFormat& f) {
    newFormat_.apply(f);
}

void TextFieldModel::splitAt(std::size_t pos) {
    std::size_t at = 0;
    for (std::size_t i = 0; i < runs_.size(); ++i) {
        if (pos > at && pos < at + runs_[i].length) {
            Run tail{at + runs_[i].length - pos, runs_[i].format};
            runs_[i].length = pos - at;
            runs_.insert(runs_.begin() + static_cast<long>(i) + 1, std::move(tail));
            return;
        }
        at += runs_[i].length;
    }
}

void TextFieldModel::mergeRuns() {
    std::vector<Run> merged;
    for (Run& r : runs_) {
        if (r.length == 0) {
            continue;
        }
        if (!merged.empty() && merged.back().format == r.format) {
            merged.back().length += r.length;
        } else {
            merged.push_back(std::move(r));
        }
    }
    runs_ = std::move(merged);
}

void TextFieldModel::spreadParagraphFormats() {
    // One pass: runs are cut after each line end, and every piece takes the paragraph fields
    // of the first piece of its paragraph.
    std::vector<Run> pieces;
    pieces.reserve(runs_.size());
    std::optional<TextFormat> first;
    std::size_t at = 0;
    for (const Run& r : runs_) {
        std::size_t s = at;
        const std::size_t end = at + r.length;
        while (s < end) {
            std::size_t e = text_.find(u'\r', s);
            e = e == std::u16string::npos || e >= end ? end : e + 1;
            Run piece{e - s, r.format};
            if (s == 0 || text_[s - 1] == u'\r' || !first) {
                first = piece.format;
            } else {
                piece.format.align = first->align;
                piece.format.leftMargin = first->leftMargin;
                piece.format.rightMargin = first->rightMargin;
                piece.format.indent = first->indent;
                piece.format.leading = first->leading;
                piece.format.blockIndent = first->blockIndent;
                piece.format.bullet = first->bullet;
                piece.format.tabStops = first->tabStops;
            }
            pieces.push_back(std::move(piece));
            s = e;
        }
        at = end;
    }
    runs_ = std::move(pieces);
    mergeRuns();
}

TextFormat TextFieldModel::format(std::size_t begin, std::size_t end) const {
    if (runs_.empty()) {
        return newFormat_;
    }
    begin = std::min(begin, text_.size());
    end = std::min(end, text_.size());
    if (end <= begin) {
        // An empty range: the character there (the last one past the end).
        if (begin >= text_.size()) {
            return runs_.back().format;
        }
        end = begin + 1;
    }
    std::optional<TextFormat> out;
    std::size_t at = 0;
    for (const Run& r : runs_) {
        if (at + r.length > begin && at < end) {
            if (!out) {
                out = r.format;
            } else {
                out->intersect(r.format);
            }
        }
        at += r.length;
    }
    return out.value_or(newFormat_);
}

void TextFieldModel::setFormat(std::size_t begin, std::size_t end, const TextFormat& f) {
    end = std::min(end, text_.size());
    if (begin >= end) {
        return;
    }
    // Paragraph fields reach the whole paragraphs the range touches.
    TextFormat paragraphPart;
    paragraphPart.align = f.align;
    paragraphPart.leftMargin = f.leftMargin;
    paragraphPart.rightMargin = f.rightMargin;
    paragraphPart.indent = f.indent;
    paragraphPart.leading = f.leading;
    paragraphPart.blockIndent = f.blockIndent;
    paragraphPart.bullet = f.bullet;
    paragraphPart.tabStops = f.tabStops;
    std::size_t pBegin = begin;
    while (pBegin > 0 && text_[pBegin - 1] != u'\r') {
        --pBegin;
    }
    std::size_t pEnd = end;
    while (pEnd < text_.size() && text_[pEnd - 1] != u'\r') {
        ++pEnd;
    }
    splitAt(begin);
    splitAt(end);
    splitAt(pBegin);
    splitAt(pEnd);
    std::size_t at = 0;
    for (Run& r : runs_) {
        if (at >= begin && at < end) {
            r.format.apply(f);
        } else if (at >= pBegin && at < pEnd) {
            r.format.apply(paragraphPart);
        }
        at += r.length;
    }
    mergeRuns();
    ++version;
}

void TextFieldModel::replace(std::size_t begin, std::size_t end, const std::u16string& text) {
    begin = std::min(begin, text_.size());
    end = std::clamp(end, begin, text_.size());
    const TextFormat f = runs_.empty() ? newFormat_ : format(begin, begin);
    splitAt(begin);
    splitAt(end);
    std::vector<Run> next;
    std::size_t at = 0;
    bool inserted = false;
    auto insert = [&] {
        if (!inserted && !text.empty()) {
            next.push_back({text.size(), f});
        }
        inserted = true;
    };
    for (Run& r : runs_) {
        if (at >= begin && !inserted) {
            insert();
        }
        if (at < begin || at >= end) {
            next.push_back(r);
        }
        at += r.length;
    }
    insert();
    runs_ = std::move(next);
    text_.replace(begin, end - begin, text);
    mergeRuns();
    ++version;
}

std::string TextFieldModel::htmlText() const {
    if (text_.empty()) {
        return {};
    }
    std::string out;
    // FONT tags stay open while later runs only add to them; a run back in the format of an
    // enclosing one closes the tags above it. Anchors and styles wrap each run on its own.
    auto sameFont = [](const TextFormat& a, const TextFormat& b) {
        return a.font == b.font && a.size == b.size && a.color == b.color &&
               a.letterSpacing == b.letterSpacing && a.kerning == b.kerning;
    };
    auto openFont = [&out](std::vector<TextFormat>& fonts, const TextFormat& f) {
        const TextFormat* cur = fonts.empty() ? nullptr : &fonts.back();
        std::string font;
        if (cur == nullptr || cur->font != f.font) {
            font += " FACE=\"" + escapeHtml(fromUtf8(f.font.value_or(""))) + "\"";
        }
        if (cur == nullptr || cur->size != f.size) {
            font += " SIZE=\"" + number(f.size.value_or(0)) + "\"";
        }
        if (cur == nullptr || cur->color != f.color) {
            font += " COLOR=\"" + colorHex(f.color.value_or(0)) + "\"";
        }
        if (cur == nullptr || cur->letterSpacing != f.letterSpacing) {
            font += " LETTERSPACING=\"" + number(f.letterSpacing.value_or(0)) + "\"";
        }
        if (cur == nullptr || cur->kerning != f.kerning) {
            font += std::string(" KERNING=\"") + (f.kerning.value_or(false) ? "1" : "0") + "\"";
        }
        out += "<FONT" + font + ">";
        fonts.push_back(f);
    };
    auto writeRun = [&out](const std::u16string& text, const TextFormat& f) {
        const bool anchor = !f.url.value_or("").empty();
        const bool bold = f.bold.value_or(false);
        const bool italic = f.italic.value_or(false);
        const bool underline = f.underline.value_or(false);
        if (anchor) {
            out += "<A HREF=\"" + escapeHtml(fromUtf8(*f.url)) + "\" TARGET=\"" +
                   escapeHtml(fromUtf8(f.target.value_or(""))) + "\">";
        }
        out += bold ? "<B>" : "";
        out += italic ? "<I>" : "";
        out += underline ? "<U>" : "";
        out += escapeHtml(text);
        out += underline ? "</U>" : "";
        out += italic ? "</I>" : "";
        out += bold ? "</B>" : "";
        out += anchor ? "</A>" : "";
    };

    std::size_t p = 0;
    std::size_t cursor = 0;  // the first run not wholly before the paragraph
    std::size_t runAt = 0;   // where it starts
    while (true) {
        std::size_t end = text_.find(u'\r', p);
        const bool last = end == std::u16string::npos;
        if (last) {
            end = text_.size();
            if (p == end && p > 0) {
                break;  // a final line end opens no paragraph of its own
            }
        }
        // The paragraph's segments: runs cut to it. Its line end shows no text, but a format
        // of its own still opens its tags.
        const std::size_t stop = last ? end : end + 1;
        std::vector<std::pair<std::u16string, TextFormat>> segments;
        while (cursor < runs_.size() && runAt + runs_[cursor].length <= p) {
            runAt += runs_[cursor++].length;
        }
        for (std::size_t i = cursor, at = runAt; i < runs_.size() && at < stop;
             at += runs_[i++].length) {
            const std::size_t s = std::max(at, p);
            const std::size_t e = std::min(at + runs_[i].length, stop);
            if (s < e) {
                segments.emplace_back(text_.substr(s, std::min(e, end) - s), runs_[i].format);
            }
        }
        const TextFormat pf = !segments.empty() ? segments.front().second : format(p, p);
        std::string block;
        auto attr = [&block](const char* name, double v) {
            if (v != 0) {
                block += std::string(" ") + name + "=\"" + number(v) + "\"";
            }
        };
        attr("LEFTMARGIN", pf.leftMargin.value_or(0));
        attr("RIGHTMARGIN", pf.rightMargin.value_or(0));
        attr("INDENT", pf.indent.value_or(0));
        attr("BLOCKINDENT", pf.blockIndent.value_or(0));
        attr("LEADING", pf.leading.value_or(0));
        if (pf.tabStops && !pf.tabStops->empty()) {
            block += " TABSTOPS=\"";
            for (std::size_t i = 0; i < pf.tabStops->size(); ++i) {
                block += (i ? "," : "") + number((*pf.tabStops)[i]);
            }
            block += "\"";
        }
        if (!block.empty()) {
            out += "<TEXTFORMAT" + block + ">";
        }
        const bool bullet = pf.bullet.value_or(false);
        out += bullet ? std::string("<LI>")
                      : std::string("<P ALIGN=\"") + alignName(pf.align.value_or(0)) + "\">";
        std::vector<TextFormat> fonts;
        openFont(fonts, pf);
        for (const auto& [text, f] : segments) {
            if (!sameFont(fonts.back(), f)) {
                std::size_t keep = fonts.size();
                for (std::size_t i = fonts.size(); i-- > 1;) {
                    if (sameFont(fonts[i - 1], f)) {
                        keep = i;
                        break;
                    }
                }
                while (fonts.size() > keep) {
                    out += "</FONT>";
                    fonts.pop_back();
                }
                if (!sameFont(fonts.back(), f)) {
                    openFont(fonts, f);
                }
            }
            writeRun(text, f);
        }
        for (std::size_t i = 0; i < fonts.size(); ++i) {
            out += "</FONT>";
        }
        out += bullet ? "</LI>" : "</P>";
        if (!block.empty()) {
            out += "</TEXTFORMAT>";
        }
        if (last) {
            break;
        }
        p = end + 1;
    }
    return out;
}

void TextFieldModel::setHtmlText(const std::string& html) {
    // From SWF 7 a field of one line takes no line ends from paragraph and break tags; a line
    // end written as a character still counts.
    const bool tagsBreak = def.multiline || swfVersion < 7;
    // Before SWF 8 reading HTML starts from a left-aligned paragraph, whatever the field's
    // own alignment.
    if (swfVersion < 8) {
        newFormat_.align = 0;
    }
    std::vector<TextFormat> stack{newFormat_};
    std::u16string text;
    std::vector<Run> runs;
    auto add = [&](const std::u16string& s) {
        if (s.empty()) {
            return;
        }
        text += s;
        runs.push_back({s.size(), stack.back()});
    };
    // The tag each format came with: a closing tag ends only the innermost open one of its
    // own name, and a stray one changes nothing.
    std::vector<std::string> tags{""};
    auto open = [&](const TextFormat& f, const std::string& tag) {
        if (stack.size() < kMaxNesting) {
            stack.push_back(f);
            tags.push_back(tag);
        } else {
            stack.back() = f;
            tags.back() = tag;
        }
    };
    // The format of the last FONT element closed: a closed paragraph's line end is in it,
    // however far back that element was and whatever encloses the paragraph now.
    TextFormat lastFont = newFormat_;
    auto close = [&](const std::string& tag) {
        if (stack.size() > 1 && tags.back() == tag) {
            if (tag == "font") {
                lastFont = stack.back();
            }
            stack.pop_back();
            tags.pop_back();
        }
    };
    std::string pending;
    bool inParagraph = false;
    // Condensed blanks: from SWF 8 they go at the start of a line and collapse across tags;
    // before, each piece of text between tags collapses on its own.
    const bool condenseAcrossTags = swfVersion >= 8;
    bool lastWasSpace = condenseAcrossTags;
    // Before SWF 8 text between tags that is only blanks is not text at all.
    const bool blankRunsCount = swfVersion >= 8;
    auto flush = [&] {
        if (blankRunsCount || pending.find_first_not_of(" \t\r\n") != std::string::npos) {
            add(fromUtf8(pending));
        }
        pending.clear();
    };
    std::size_t i = 0;
    while (i < html.size()) {
        const char c = html[i];
        if (c == '<') {
            const std::size_t closeAt = html.find('>', i);
            if (closeAt == std::string::npos) {
                break;
            }
            const std::string tag = html.substr(i + 1, closeAt - i - 1);
            i = closeAt + 1;
            flush();
            if (!condenseAcrossTags) {
                lastWasSpace = false;
            }
            const bool closing = !tag.empty() && tag[0] == '/';
            const std::string body = closing ? tag.substr(1) : tag;
            const std::string name = lower(body.substr(0, body.find_first_of(" \t\r\n/")));
            const auto attrs = attributes(body);
            auto attr = [&attrs](const char* n) -> const std::string* {
                auto it = attrs.find(n);
                return it == attrs.end() ? nullptr : &it->second;
            };
            if (name == "br" || name == "sbr") {
                if (tagsBreak) {
                    text += u'\r';
                    runs.push_back({1, stack.back()});
                    lastWasSpace = condenseAcrossTags;
                }
                continue;
            }
            if (name == "p" || name == "li") {
                if (closing) {
                    // A list item ends its line in the format it is in; a paragraph ends it
                    // in the last closed FONT's character format, keeping its own paragraph
                    // fields. Paragraphs do not nest: only the first closing tag after an
                    // opening one ends a line.
                    const bool ends = name == "li" || inParagraph;
                    if (name == "p") {
                        inParagraph = false;
                    }
                    if (tagsBreak && ends) {
                        TextFormat end = stack.back();
                        if (name == "p") {
                            end.font = lastFont.font;
                            end.size = lastFont.size;
                            end.color = lastFont.color;
                            end.bold = lastFont.bold;
                            end.italic = lastFont.italic;
                            end.underline = lastFont.underline;
                            end.url = lastFont.url;
                            end.target = lastFont.target;
                            end.letterSpacing = lastFont.letterSpacing;
                            end.kerning = lastFont.kerning;
                        }
                        runs.push_back({1, std::move(end)});
                        text += u'\r';
                        lastWasSpace = condenseAcrossTags;
                    }
                    close(name);
                } else {
                    // A list item starts a line of its own; a paragraph does not.
                    if (name == "li" && tagsBreak && !text.empty() && text.back() != u'\r') {
                        text += u'\r';
                        runs.push_back({1, stack.back()});
                    }
                    inParagraph = inParagraph || name == "p";
                    TextFormat f = stack.back();
                    if (name == "li") {
                        f.bullet = true;
                    } else if (const std::string* a = attr("align")) {
                        if (auto al = alignOf(*a)) {
                            f.align = al;
                        }
                    }
                    open(f, name);
                }
                continue;
            }
            if (name == "b" || name == "i" || name == "u" || name == "font" || name == "a" ||
                name == "textformat" || name == "span") {
                if (closing) {
                    close(name);
                    continue;
                }
                TextFormat f = stack.back();
                if (name == "b") {
                    f.bold = true;
                } else if (name == "i") {
                    f.italic = true;
                } else if (name == "u") {
                    f.underline = true;
                } else if (name == "a") {
                    if (const std::string* h = attr("href")) {
                        f.url = *h;
                    }
                    if (const std::string* t = attr("target")) {
                        f.target = *t;
                    }
                } else if (name == "font") {
                    if (const std::string* v = attr("face")) {
                        f.font = *v;
                    }
                    if (const std::string* v = attr("size")) {
                        // Sizes are whole points from 1 to 127; one that is no number
                        // changes nothing.
                        char* numberEnd = nullptr;
                        const double s = std::trunc(std::strtod(v->c_str(), &numberEnd));
                        const bool relative = !v->empty() && ((*v)[0] == '+' || (*v)[0] == '-');
                        if (numberEnd != v->c_str() && std::isfinite(s)) {
                            f.size = std::clamp(relative ? f.size.value_or(12) + s : s, 1.0,
                                                kMaxHtmlSize);
                        }
                    }
                    if (const std::string* v = attr("color")) {
                        if (auto c = htmlColor(*v)) {
                            f.color = c;
                        }
                    }
                    if (const std::string* v = attr("letterspacing")) {
                        f.letterSpacing = std::atof(v->c_str());
                    }
                    if (const std::string* v = attr("kerning"); v && swfVersion >= 8) {
                        f.kerning = std::atoi(v->c_str()) != 0;
                    }
                } else if (name == "textformat") {
                    auto num = [&](const char* n, std::optional<double>& to) {
                        if (const std::string* v = attr(n)) {
                            to = std::atof(v->c_str());
                        }
                    };
                    num("leftmargin", f.leftMargin);
                    num("rightmargin", f.rightMargin);
                    num("indent", f.indent);
                    num("blockindent", f.blockIndent);
                    num("leading", f.leading);
                    if (const std::string* v = attr("tabstops")) {
                        std::vector<double> stops;
                        std::size_t s = 0;
                        while (s < v->size()) {
                            std::size_t e = v->find(',', s);
                            e = e == std::string::npos ? v->size() : e;
                            stops.push_back(std::atof(v->substr(s, e - s).c_str()));
                            s = e + 1;
                        }
                        f.tabStops = std::move(stops);
                    }
                }
                open(f, name);
            }
            continue;
        }
        if (c == '&') {
            const std::size_t semi = html.find(';', i);
            if (semi != std::string::npos && semi - i <= 10) {
                const std::u16string decoded = decodeEntity(html.substr(i + 1, semi - i - 1));
                if (!decoded.empty()) {
                    pending += toUtf8(decoded);
                    i = semi + 1;
                    lastWasSpace = false;
                    continue;
                }
            }
        }
        if (condenseWhite && (c == ' ' || c == '\t' || c == '\n' || c == '\r')) {
            if (!lastWasSpace) {
                pending += ' ';
            }
            lastWasSpace = true;
            ++i;
            continue;
        }
        lastWasSpace = false;
        if (c == '\n' || c == '\r') {
            if (c == '\r' && i + 1 < html.size() && html[i + 1] == '\n') {
                ++i;
            }
            pending += '\r';
            ++i;
            continue;
        }
        pending += c;
        ++i;
    }
    flush();
    text_ = std::move(text);
    runs_ = std::move(runs);
    mergeRuns();
    spreadParagraphFormats();
    scroll = 1;
    hscroll = 0;
    ++version;
}

std::vector<TextParagraph> TextFieldModel::paragraphs() const {
    std::vector<TextParagraph> out;
    // A paragraph's fields come with its first character.
    auto start = [&out](const TextFormat& f) {
        TextParagraph& p = out.emplace_back();
        auto twips = [](const std::optional<double>& px, double least) {
            const double v = px.value_or(0);
            return std::isfinite(v) ? std::clamp(v, least, kMaxParagraphSpace) * 20 : 0.0;
        };
        p.align = f.align.value_or(0);
        p.leftMargin = twips(f.leftMargin, 0);
        p.rightMargin = twips(f.rightMargin, 0);
        p.indent = twips(f.indent, -kMaxParagraphSpace);
        p.blockIndent = twips(f.blockIndent, 0);
        p.bullet = f.bullet.value_or(false);
    };
    start(runs_.empty() ? newFormat_ : runs_.front().format);
    std::size_t at = 0;
    bool fresh = false;  // the last paragraph has no characters yet
    // No text: one empty line in the new-text format, as tall as typing will make it.
    const std::vector<Run> empty{Run{0, newFormat_}};
    for (const Run& r : runs_.empty() ? empty : runs_) {
        TextStyle style;
        style.face = r.format.font.value_or("");
        // Sizes past any screen are drawn at the largest a field shows.
        style.size = std::clamp(r.format.size.value_or(12), 0.0, kMaxDrawnSize) * 20.0;
        const std::uint32_t c = r.format.color.value_or(0);
        style.color = Rgba{static_cast<std::uint8_t>(c >> 16), static_cast<std::uint8_t>(c >> 8),
                           static_cast<std::uint8_t>(c), 255};
        style.bold = r.format.bold.value_or(false);
        style.italic = r.format.italic.value_or(false);
        style.underline = r.format.underline.value_or(false);
        const double spacing = r.format.letterSpacing.value_or(0);
        style.letterSpacing =
            std::isfinite(spacing) ? std::clamp(spacing, -1000.0, 1000.0) * 20 : 0;
        style.url = r.format.url.value_or("");
        style.target = r.format.target.value_or("");
        std::size_t s = at;
        const std::size_t end = at + r.length;
        while (s < end) {
            std::size_t e = text_.find(u'\r', s);
            const bool breaks = e != std::u16string::npos && e < end;
            e = breaks ? e : end;
            if (fresh && (e > s || breaks)) {
                out.pop_back();
                start(r.format);
                fresh = false;
            }
            if (e > s) {
                out.back().runs.push_back({toUtf8(text_.substr(s, e - s)), style});
            }
            if (breaks && out.back().runs.empty()) {
                // An empty paragraph still stands as tall as its break's format.
                out.back().runs.push_back({std::string(), style});
            }
            if (breaks) {
                out.back().lineEnd = style;
                start(r.format);
                fresh = true;
                e += 1;
            }
            s = e;
        }
        at = end;
        if (at == text_.size() && (fresh || runs_.empty())) {
            out.back().runs.push_back({std::string(), style});
        }
    }
    return out;
}

bool CaretBlink::shown(const Place& place, double nowMs) {
    if (!place_ || !(*place_ == place) || nowMs < since_) {
        place_ = place;
        since_ = nowMs;
    }
    const double phases = std::floor((nowMs - since_) / kHalfPeriodMs);
    return std::fmod(phases, 2.0) == 0.0;
}

}  // namespace zd::engine
