#include "engine/avm1/Strings.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <QChar>

namespace zd::avm1 {

std::string displayText(std::string_view s) {
    // Lone surrogates are stored as three-byte sequences starting ED A0..BF.
    if (s.find('\xed') == std::string_view::npos) {
        return std::string(s);
    }
    return fromUtf16(toUtf16(s), true);
}

double parseFloatText(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\n' || s[i] == '\r')) {
        ++i;
    }
    bool negative = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) {
        negative = s[i++] == '-';
    }
    bool any = false;
    bool point = false;
    bool secondPoint = false;
    double value = 0;
    double scale = 1;
    for (; i < s.size(); ++i) {
        if (s[i] >= '0' && s[i] <= '9') {
            const int d = s[i] - '0';
            if (point) {
                scale /= 10;
                value += d * scale;
            } else {
                value = value * 10 + d;
            }
            any = true;
        } else if (s[i] == '.') {
            secondPoint = point;
            point = true;
        } else {
            break;
        }
    }
    if (!any) {
        return std::numeric_limits<double>::quiet_NaN();
    }
    if (!secondPoint && i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        std::size_t k = i + 1;
        bool negativeExp = false;
        if (k < s.size() && (s[k] == '-' || s[k] == '+')) {
            negativeExp = s[k++] == '-';
        }
        std::uint32_t exp = 0;
        bool digits = false;
        for (; k < s.size() && s[k] >= '0' && s[k] <= '9'; ++k) {
            exp = exp * 10 + static_cast<std::uint32_t>(s[k] - '0');  // wraps, as observed
            digits = true;
        }
        if (digits) {
            auto e = static_cast<std::int32_t>(exp);
            if (negativeExp) {
                e = static_cast<std::int32_t>(0u - exp);
            }
            value *= std::pow(10.0, static_cast<double>(e));
        }
    }
    return negative ? -value : value;
}

std::u16string toUtf16(std::string_view s) {
    std::u16string out;
    out.reserve(s.size());
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        std::uint32_t cp = c;
        std::size_t extra = 0;
        if (c >= 0xf0 && c < 0xf8) {
            cp = c & 0x07;
            extra = 3;
        } else if (c >= 0xe0) {
            cp = c & 0x0f;
            extra = 2;
        } else if (c >= 0xc0) {
            cp = c & 0x1f;
            extra = 1;
        } else if (c >= 0x80) {
            cp = c;  // a stray continuation byte stands for itself
        }
        if (extra > 0 && i + extra >= s.size()) {
            out.push_back(static_cast<char16_t>(c));
            ++i;
            continue;
        }
        bool valid = true;
        for (std::size_t k = 1; k <= extra; ++k) {
            const auto cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xc0) != 0x80) {
                valid = false;
                break;
            }
            cp = (cp << 6) | (cc & 0x3f);
        }
        if (!valid) {
            out.push_back(static_cast<char16_t>(c));
            ++i;
            continue;
        }
        i += extra + 1;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xd800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xdc00 + (cp & 0x3ff)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return out;
}

namespace {

void appendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xc0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3f)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xe0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3f)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3f)));
    } else {
        out.push_back(static_cast<char>(0xf0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3f)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3f)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3f)));
    }
}

bool isAscii(std::string_view s) {
    for (char c : s) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::string fromUtf16(std::u16string_view s, bool replaceLoneSurrogates) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        std::uint32_t cp = s[i];
        if (cp >= 0xd800 && cp < 0xdc00 && i + 1 < s.size() && s[i + 1] >= 0xdc00 &&
            s[i + 1] < 0xe000) {
            cp = 0x10000 + ((cp - 0xd800) << 10) + (s[i + 1] - 0xdc00);
            ++i;
        } else if (replaceLoneSurrogates && isSurrogate(cp)) {
            cp = 0xfffd;
        }
        appendUtf8(out, cp);
    }
    return out;
}

std::string substringUtf16(std::string_view s, double index, double count) {
    if (std::isnan(index) || index < 0) {
        index = 0;
    }
    if (isAscii(s)) {
        if (index >= static_cast<double>(s.size())) {
            return {};
        }
        const auto start = static_cast<std::size_t>(index);
        if (std::isnan(count) || count < 0 || count >= static_cast<double>(s.size() - start)) {
            return std::string(s.substr(start));
        }
        return std::string(s.substr(start, static_cast<std::size_t>(count)));
    }
    const std::u16string u = toUtf16(s);
    if (index >= static_cast<double>(u.size())) {
        return {};
    }
    const auto start = static_cast<std::size_t>(index);
    std::size_t n = u.size() - start;
    if (!std::isnan(count) && count >= 0 && count < static_cast<double>(n)) {
        n = static_cast<std::size_t>(count);
    }
    return fromUtf16(std::u16string_view(u).substr(start, n));
}

bool textLess(std::string_view a, std::string_view b) {
    // Bytes of UTF-8 order as code points do, unless a surrogate was written in three bytes
    // (as some compilers do): then the text is decoded and compared in code point order.
    const auto hasEncodedSurrogate = [](std::string_view s) {
        for (std::size_t i = 0; i + 1 < s.size(); ++i) {
            if (static_cast<unsigned char>(s[i]) == 0xed &&
                static_cast<unsigned char>(s[i + 1]) >= 0xa0) {
                return true;
            }
        }
        return false;
    };
    if (!hasEncodedSurrogate(a) && !hasEncodedSurrogate(b)) {
        return a < b;
    }
    const auto order = [](char16_t u) -> std::uint32_t {
        return u >= 0xe000 ? u - 0x800u : u >= 0xd800 ? u + 0x2000u : u;
    };
    const std::u16string ua = toUtf16(a);
    const std::u16string ub = toUtf16(b);
    return std::lexicographical_compare(
        ua.begin(), ua.end(), ub.begin(), ub.end(),
        [&](char16_t x, char16_t y) { return order(x) < order(y); });
}

std::uint16_t firstCodeUnit(std::string_view s) {
    if (s.empty()) {
        return 0;
    }
    if (static_cast<unsigned char>(s[0]) < 0x80) {
        return static_cast<std::uint16_t>(s[0]);
    }
    const std::u16string u = toUtf16(s.substr(0, 4));
    return u.empty() ? 0 : u[0];
}

std::string fromCharCode(std::uint32_t unit) {
    if (unit == 0) {
        return {};
    }
    std::string out;
    appendUtf8(out, unit & 0xffff);
    return out;
}

std::string toLowerCase(std::string_view s) {
    std::u16string u = toUtf16(s);
    for (auto& c : u) {
        if (c >= 0x10a0 && c <= 0x10c5) {
            // Georgian capitals lower to the letters of the everyday alphabet.
            c = static_cast<char16_t>(c + 0x30);
            continue;
        }
        if (c == 0x130 || c == 0x3a2) {
            // Dotted I and the gap among the Greek capitals follow their neighbours' rule.
            c = c == 0x130 ? u'i' : u'\u03c2';
            continue;
        }
        const char32_t lower = QChar::toLower(static_cast<char32_t>(c));
        if (lower <= 0xffff && !isSurrogate(lower)) {
            c = static_cast<char16_t>(lower);
        }
    }
    return fromUtf16(u);
}

std::string toUpperCase(std::string_view s) {
    std::u16string u = toUtf16(s);
    for (auto& c : u) {
        if (c == 0x3c2 || c == 0x3f2) {
            // Final sigma keeps its own (empty) capital slot; lunate sigma is a sigma.
            c = c == 0x3c2 ? u'\u03a2' : u'\u03a3';
            continue;
        }
        if ((c >= 0x1f80 && c <= 0x1faf && (c & 0x8) == 0) || c == 0x1fb3 || c == 0x1fc3 ||
            c == 0x1ff3) {
            // Greek letters with iota subscript take the title-case capital.
            c = static_cast<char16_t>(c >= 0x1f80 && c <= 0x1faf ? c + 8 : c + 9);
            continue;
        }
        const char32_t upper = QChar::toUpper(static_cast<char32_t>(c));
        // Georgian keeps its letters: the capital forms came too late for scripts.
        if (upper <= 0xffff && !isSurrogate(upper) && !(upper >= 0x1c90 && upper <= 0x1cbf)) {
            c = static_cast<char16_t>(upper);
        }
    }
    return fromUtf16(u);
}

namespace {

const char* kHex = "0123456789ABCDEF";

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

}  // namespace

std::string escape(std::string_view s) {
    std::string out;
    for (char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
            c == '@' || c == '*' || c == '_' || c == '-' || c == '.') {
            out.push_back(ch);
        } else {
            out.push_back('%');
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 15]);
        }
    }
    return out;
}

std::string unescape(std::string_view s) {
    // A '+' is a space. A '%' swallows the characters after it up to the first one that is
    // not a hex digit (that one too), or makes a byte of two hex digits.
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '+') {
            out.push_back(' ');
        } else if (s[i] == '%') {
            if (i + 1 >= s.size() || hexValue(s[i + 1]) < 0) {
                ++i;
                continue;
            }
            if (i + 2 >= s.size() || hexValue(s[i + 2]) < 0) {
                i += 2;
                continue;
            }
            out.push_back(static_cast<char>(hexValue(s[i + 1]) * 16 + hexValue(s[i + 2])));
            i += 2;
        } else {
            out.push_back(s[i]);
        }
    }
    return out;
}

std::string urlEncode(std::string_view s) {
    std::string out;
    for (char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
            c == '_' || c == '-' || c == '.' || c == '*' || c == '@') {
            out.push_back(ch);
        } else if (c == ' ') {
            out.push_back('+');
        } else {
            out.push_back('%');
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 15]);
        }
    }
    return out;
}

std::string urlDecode(std::string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '+') {
            out.push_back(' ');
        } else if (s[i] == '%' && i + 2 < s.size()) {
            const int h = hexValue(s[i + 1]);
            const int l = hexValue(s[i + 2]);
            if (h >= 0 && l >= 0) {
                out.push_back(static_cast<char>(h * 16 + l));
                i += 2;
            } else {
                out.push_back(s[i]);
            }
        } else {
            out.push_back(s[i]);
        }
    }
    return out;
}

std::string fromWindows1252(std::string_view s) {
    // 0x80-0x9F hold typographic marks in this code page; the rest is Latin-1.
    static constexpr std::uint16_t k80[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    std::string out;
    out.reserve(s.size());
    for (const char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            out += ch;
            continue;
        }
        const std::uint32_t cp = c < 0xA0 ? k80[c - 0x80] : c;
        if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

std::size_t codePageLength(std::string_view utf8) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        const std::size_t len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        // Two-byte sequences from 0xC2 0x80 to 0xC3 0xBF are U+0080 to U+00FF.
        n += len == 2 && c <= 0xC3 ? 1 : std::min(len, utf8.size() - i);
        i += len;
    }
    return n;
}

std::string joinText(std::string_view a, std::string_view b) {
    std::string out;
    out.reserve(a.size() + b.size() + 1);
    const auto byte = [](std::string_view s, std::size_t i) {
        return static_cast<unsigned char>(s[i]);
    };
    // ED A0..AF xx is a high surrogate, ED B0..BF xx a low one.
    if (a.size() >= 3 && b.size() >= 3 && byte(a, a.size() - 3) == 0xed &&
        (byte(a, a.size() - 2) & 0xf0) == 0xa0 && byte(b, 0) == 0xed &&
        (byte(b, 1) & 0xf0) == 0xb0) {
        const std::uint32_t high =
            0xd000 | (byte(a, a.size() - 2) & 0x3f) << 6 | (byte(a, a.size() - 1) & 0x3f);
        const std::uint32_t low = 0xd000 | (byte(b, 1) & 0x3f) << 6 | (byte(b, 2) & 0x3f);
        const std::uint32_t cp = 0x10000 + ((high - 0xd800) << 10) + (low - 0xdc00);
        out.append(a.substr(0, a.size() - 3));
        out += static_cast<char>(0xf0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3f));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3f));
        out += static_cast<char>(0x80 | (cp & 0x3f));
        out.append(b.substr(3));
        return out;
    }
    out.append(a);
    out.append(b);
    return out;
}

}  // namespace zd::avm1
