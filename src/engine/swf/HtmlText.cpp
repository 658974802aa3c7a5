#include "engine/swf/HtmlText.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <map>

namespace zd::engine {

namespace {

// Tags nest at most this deep; deeper ones keep the style they are in.
constexpr std::size_t kMaxStyleNesting = 64;

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

std::uint8_t alignOf(const std::string& value, std::uint8_t fallback) {
    const std::string v = lower(value);
    if (v == "left") {
        return 0;
    }
    if (v == "right") {
        return 1;
    }
    if (v == "center") {
        return 2;
    }
    if (v == "justify") {
        return 3;
    }
    return fallback;
}

void appendCodePoint(std::string& out, unsigned long cp) {
    if (cp == 0 || cp > 0x10ffff) {
        return;
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

class Builder {
  public:
    Builder(const TextStyle& base, std::uint8_t align) : baseAlign_(align) {
        styles_.push_back(base);
        paragraphs_.emplace_back();
        paragraphs_.back().align = align;
    }

    void text(const std::string& s) {
        if (s.empty()) {
            return;
        }
        auto& runs = paragraphs_.back().runs;
        if (!runs.empty() && runs.back().style == styles_.back()) {
            runs.back().text += s;
        } else {
            runs.push_back({s, styles_.back()});
        }
    }
    void newParagraph(std::uint8_t align) {
        paragraphs_.emplace_back();
        paragraphs_.back().align = align;
    }
    void push(const TextStyle& s) {
        if (styles_.size() < kMaxStyleNesting) {
            styles_.push_back(s);
        } else {
            styles_.back() = s;
        }
    }
    void pop() {
        if (styles_.size() > 1) {
            styles_.pop_back();
        }
    }
    const TextStyle& style() const { return styles_.back(); }
    TextParagraph& paragraph() { return paragraphs_.back(); }
    std::uint8_t baseAlign() const { return baseAlign_; }

    std::vector<TextParagraph> take() {
        // A trailing empty paragraph left by a closing </p> shows nothing.
        if (paragraphs_.size() > 1 && paragraphs_.back().runs.empty() && closedParagraph_) {
            paragraphs_.pop_back();
        }
        return std::move(paragraphs_);
    }
    bool closedParagraph_ = false;

  private:
    std::uint8_t baseAlign_;
    std::vector<TextStyle> styles_;
    std::vector<TextParagraph> paragraphs_;
};

}  // namespace

std::map<std::string, std::string> attributes(const std::string& tag) {
    std::map<std::string, std::string> out;
    std::size_t i = tag.find_first_of(" \t\r\n");
    while (i != std::string::npos && i < tag.size()) {
        while (i < tag.size() && std::isspace(static_cast<unsigned char>(tag[i]))) {
            ++i;
        }
        const std::size_t nameStart = i;
        while (i < tag.size() && tag[i] != '=' &&
               !std::isspace(static_cast<unsigned char>(tag[i]))) {
            ++i;
        }
        const std::string name = lower(tag.substr(nameStart, i - nameStart));
        if (i >= tag.size() || tag[i] != '=') {
            if (name.empty()) {
                break;
            }
            continue;
        }
        ++i;
        std::string value;
        if (i < tag.size() && (tag[i] == '"' || tag[i] == '\'')) {
            const char quote = tag[i++];
            const std::size_t end = tag.find(quote, i);
            value = tag.substr(i, end == std::string::npos ? std::string::npos : end - i);
            i = end == std::string::npos ? tag.size() : end + 1;
        } else {
            const std::size_t end = tag.find_first_of(" \t\r\n", i);
            value = tag.substr(i, end == std::string::npos ? std::string::npos : end - i);
            i = end;
        }
        if (!name.empty()) {
            out[name] = value;
        }
    }
    return out;
}

std::vector<TextParagraph> parseHtmlText(const std::string& html, const TextStyle& base,
                                         std::uint8_t baseAlign) {
    Builder b(base, baseAlign);
    std::string pending;
    auto flush = [&] {
        b.text(pending);
        pending.clear();
    };
    std::size_t i = 0;
    while (i < html.size()) {
        const char c = html[i];
        if (c == '<') {
            const std::size_t close = html.find('>', i);
            if (close == std::string::npos) {
                break;
            }
            const std::string tag = html.substr(i + 1, close - i - 1);
            i = close + 1;
            flush();
            const bool closing = !tag.empty() && tag[0] == '/';
            const std::string body = closing ? tag.substr(1) : tag;
            const std::string name = lower(body.substr(0, body.find_first_of(" \t\r\n/")));
            if (name == "br" || name == "sbr") {
                b.newParagraph(b.paragraph().align);
                b.closedParagraph_ = false;
                continue;
            }
            if (name == "p" || name == "li") {
                if (closing) {
                    b.newParagraph(b.baseAlign());
                    b.closedParagraph_ = true;
                    b.pop();
                } else {
                    // A paragraph opened in the middle of text starts a new line.
                    if (!b.paragraph().runs.empty()) {
                        b.newParagraph(b.baseAlign());
                    }
                    const auto attrs = attributes(body);
                    auto a = attrs.find("align");
                    b.paragraph().align =
                        alignOf(a == attrs.end() ? std::string() : a->second, b.baseAlign());
                    b.closedParagraph_ = false;
                    b.push(b.style());
                }
                continue;
            }
            if (name == "b" || name == "i" || name == "u" || name == "font" ||
                name == "textformat" || name == "a" || name == "span") {
                if (closing) {
                    b.pop();
                    continue;
                }
                TextStyle s = b.style();
                if (name == "b") {
                    s.bold = true;
                } else if (name == "i") {
                    s.italic = true;
                } else if (name == "u") {
                    s.underline = true;
                } else if (name == "font") {
                    const auto attrs = attributes(body);
                    if (auto f = attrs.find("face"); f != attrs.end()) {
                        s.face = f->second;
                    }
                    if (auto z = attrs.find("size"); z != attrs.end()) {
                        const double size = std::atof(z->second.c_str());
                        const bool relative =
                            !z->second.empty() && (z->second[0] == '+' || z->second[0] == '-');
                        const double px = relative ? s.size / 20.0 + size : size;
                        if (px > 0 && px < 10000) {
                            s.size = px * 20.0;
                        }
                    }
                    if (auto col = attrs.find("color"); col != attrs.end()) {
                        std::string v = col->second;
                        if (!v.empty() && v[0] == '#') {
                            v = v.substr(1);
                        }
                        const unsigned long rgb = std::strtoul(v.c_str(), nullptr, 16);
                        s.color.r = static_cast<std::uint8_t>(rgb >> 16);
                        s.color.g = static_cast<std::uint8_t>(rgb >> 8);
                        s.color.b = static_cast<std::uint8_t>(rgb);
                    }
                }
                b.push(s);
            }
            continue;
        }
        if (c == '&') {
            const std::size_t semi = html.find(';', i);
            if (semi != std::string::npos && semi - i <= 10) {
                const std::string entity = lower(html.substr(i + 1, semi - i - 1));
                std::string decoded;
                if (entity == "lt") {
                    decoded = "<";
                } else if (entity == "gt") {
                    decoded = ">";
                } else if (entity == "amp") {
                    decoded = "&";
                } else if (entity == "quot") {
                    decoded = "\"";
                } else if (entity == "apos") {
                    decoded = "'";
                } else if (entity == "nbsp") {
                    decoded = "\xc2\xa0";
                } else if (entity.size() > 1 && entity[0] == '#') {
                    const bool hex = entity[1] == 'x';
                    appendCodePoint(decoded, std::strtoul(entity.c_str() + (hex ? 2 : 1), nullptr,
                                                          hex ? 16 : 10));
                }
                if (!decoded.empty()) {
                    pending += decoded;
                    i = semi + 1;
                    continue;
                }
            }
        }
        if (c == '\r' || c == '\n') {
            // Line ends in the source are paragraph breaks, as in plain text.
            flush();
            b.newParagraph(b.paragraph().align);
            if (c == '\r' && i + 1 < html.size() && html[i + 1] == '\n') {
                ++i;
            }
            ++i;
            continue;
        }
        pending += c;
        ++i;
    }
    flush();
    return b.take();
}

std::vector<TextParagraph> plainTextParagraphs(const std::string& text, const TextStyle& base,
                                               std::uint8_t baseAlign) {
    std::vector<TextParagraph> out(1);
    out.back().align = baseAlign;
    std::string line;
    auto finish = [&] {
        if (!line.empty()) {
            out.back().runs.push_back({line, base});
        }
        line.clear();
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            finish();
            out.emplace_back();
            out.back().align = baseAlign;
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
            continue;
        }
        line += c;
    }
    finish();
    return out;
}

}  // namespace zd::engine
