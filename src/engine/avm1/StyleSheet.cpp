#include "engine/avm1/StyleSheet.h"

#include <cctype>

namespace zd::avm1 {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && isBlank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

bool hasBlank(std::string_view s) {
    for (const char c : s) {
        if (isBlank(c)) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::string cssPropertyName(std::string_view name) {
    std::string out;
    out.reserve(name.size());
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name[i] == '-') {
            if (i + 1 < name.size()) {
                out += static_cast<char>(std::toupper(static_cast<unsigned char>(name[++i])));
            }
        } else {
            out += name[i];
        }
    }
    return out;
}

std::optional<std::vector<CssRule>> parseCss(std::string_view text) {
    std::vector<CssRule> rules;
    std::size_t pos = 0;
    auto skipBlanks = [&] {
        while (pos < text.size() && isBlank(text[pos])) {
            ++pos;
        }
    };
    while (true) {
        skipBlanks();
        if (pos >= text.size()) {
            return rules;
        }
        const std::size_t brace = text.find('{', pos);
        if (brace == std::string_view::npos) {
            return std::nullopt;  // a selector without a block
        }
        // "a, b" names two selectors; one with blanks inside names none.
        std::vector<std::string> selectors;
        std::string_view list = text.substr(pos, brace - pos);
        while (true) {
            const std::size_t comma = list.find(',');
            const std::string_view one = trimmed(list.substr(0, comma));
            if (one.empty() || hasBlank(one)) {
                return std::nullopt;
            }
            selectors.emplace_back(one);
            if (comma == std::string_view::npos) {
                break;
            }
            list.remove_prefix(comma + 1);
        }
        pos = brace + 1;
        std::vector<std::pair<std::string, std::string>> properties;
        while (true) {
            skipBlanks();
            if (pos >= text.size()) {
                break;  // the text may end inside a block between properties
            }
            if (text[pos] == '}') {
                ++pos;
                break;
            }
            // A name runs to its colon, whatever else it holds; only blanks may trail it.
            const std::size_t colon = text.find(':', pos);
            if (colon == std::string_view::npos) {
                return std::nullopt;
            }
            const std::string_view name = text.substr(pos, colon - pos);
            if (hasBlank(trimmed(name))) {
                return std::nullopt;
            }
            pos = colon + 1;
            skipBlanks();
            const std::size_t end = text.find_first_of(";}", pos);
            if (end == std::string_view::npos) {
                return std::nullopt;
            }
            if (!name.empty()) {
                properties.emplace_back(cssPropertyName(name),
                                        std::string(text.substr(pos, end - pos)));
            }
            pos = end + 1;
            if (text[end] == '}') {
                break;
            }
        }
        for (std::string& s : selectors) {
            rules.push_back({std::move(s), properties});
        }
    }
}

}  // namespace zd::avm1
