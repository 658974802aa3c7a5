#include "engine/avm1/Value.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace zd::avm1 {

namespace {

// Below this decimal exponent numbers print in exponent form.
constexpr int kSmallestFixedExponent = -5;
// At this decimal exponent and above numbers print in exponent form.
constexpr int kLargestFixedExponent = 15;

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

}  // namespace

std::string numberToString(double n) {
    if (std::isnan(n)) {
        return "NaN";
    }
    if (std::isinf(n)) {
        return n > 0 ? "Infinity" : "-Infinity";
    }
    if (n == 0) {
        return "0";
    }
    // Integers that fit print directly (the common case, and exact).
    if (std::fabs(n) < 1e15 && n == std::trunc(n)) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.0f", n);
        return buf;
    }
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.14e", n);
    // buf: [-]d.dddddddddddddde[+-]xx
    std::string text(buf);
    const bool negative = text[0] == '-';
    const auto ePos = text.find('e');
    const int exponent = std::atoi(text.c_str() + ePos + 1);
    std::string digits;
    for (std::size_t i = negative ? 1 : 0; i < ePos; ++i) {
        if (text[i] != '.') {
            digits.push_back(text[i]);
        }
    }
    while (digits.size() > 1 && digits.back() == '0') {
        digits.pop_back();
    }
    std::string out = negative ? "-" : "";
    if (exponent < kSmallestFixedExponent || exponent >= kLargestFixedExponent) {
        out += digits[0];
        if (digits.size() > 1) {
            out += '.';
            out.append(digits, 1);
        }
        out += exponent < 0 ? "e-" : "e+";
        out += std::to_string(std::abs(exponent));
        return out;
    }
    if (exponent < 0) {
        out += "0.";
        out.append(static_cast<std::size_t>(-exponent - 1), '0');
        out += digits;
        return out;
    }
    const auto intDigits = static_cast<std::size_t>(exponent) + 1;
    if (digits.size() <= intDigits) {
        out += digits;
        out.append(intDigits - digits.size(), '0');
        return out;
    }
    out.append(digits, 0, intDigits);
    out += '.';
    out.append(digits, intDigits);
    return out;
}

std::string numberToStringRadix(double n, int radix) {
    if (radix == 10 || radix < 2 || radix > 36 || !std::isfinite(n)) {
        return numberToString(n);
    }
    // Digits of the integer part only; negative numbers keep their sign.
    const double t = std::trunc(n);
    if (std::fabs(t) >= 9007199254740992.0) {
        return numberToString(n);
    }
    auto v = static_cast<std::int64_t>(t);
    const bool negative = v < 0;
    std::uint64_t u = negative ? static_cast<std::uint64_t>(-v) : static_cast<std::uint64_t>(v);
    std::string digits;
    do {
        const int d = static_cast<int>(u % static_cast<std::uint64_t>(radix));
        digits.insert(digits.begin(), static_cast<char>(d < 10 ? '0' + d : 'a' + d - 10));
        u /= static_cast<std::uint64_t>(radix);
    } while (u != 0);
    return negative ? "-" + digits : digits;
}

double stringToNumber(std::string_view s, int swfVersion) {
    std::size_t i = 0;
    while (i < s.size() && isSpace(s[i])) {
        ++i;
    }
    std::size_t end = s.size();
    if (i == end) {
        return swfVersion >= 5 ? std::numeric_limits<double>::quiet_NaN() : 0.0;
    }
    std::string_view body = s.substr(i, end - i);
    bool negative = false;
    std::string_view unsignedBody = body;
    if (!unsignedBody.empty() && (unsignedBody[0] == '-' || unsignedBody[0] == '+')) {
        negative = unsignedBody[0] == '-';
        unsignedBody.remove_prefix(1);
    }
    // Hexadecimal and octal only where the text starts right away: leading white space
    // makes it decimal. Both read as 32-bit signed integers (digits beyond wrap around).
    const bool radixAllowed = swfVersion >= 6 && i == 0;
    if (radixAllowed && unsignedBody.size() > 2 && unsignedBody[0] == '0' &&
        (unsignedBody[1] == 'x' || unsignedBody[1] == 'X')) {
        std::uint32_t v = 0;
        for (std::size_t k = 2; k < unsignedBody.size(); ++k) {
            const char c = unsignedBody[k];
            std::uint32_t d;
            if (c >= '0' && c <= '9') {
                d = static_cast<std::uint32_t>(c - '0');
            } else if (c >= 'a' && c <= 'f') {
                d = static_cast<std::uint32_t>(c - 'a' + 10);
            } else if (c >= 'A' && c <= 'F') {
                d = static_cast<std::uint32_t>(c - 'A' + 10);
            } else {
                return std::numeric_limits<double>::quiet_NaN();
            }
            v = v * 16 + d;
        }
        const double wrapped = static_cast<double>(static_cast<std::int32_t>(v));
        return negative ? -wrapped : wrapped;
    }
    if (radixAllowed && unsignedBody.size() > 1 && unsignedBody[0] == '0') {
        bool octal = true;
        std::uint32_t v = 0;
        for (std::size_t k = 1; k < unsignedBody.size(); ++k) {
            if (unsignedBody[k] < '0' || unsignedBody[k] > '7') {
                octal = false;
                break;
            }
            v = v * 8 + static_cast<std::uint32_t>(unsignedBody[k] - '0');
        }
        if (octal) {
            const double wrapped = static_cast<double>(static_cast<std::int32_t>(v));
            return negative ? -wrapped : wrapped;
        }
    }
    // Decimal: digits, optional fraction, optional exponent, then only white space.
    std::size_t k = 0;
    bool anyDigit = false;
    while (k < unsignedBody.size() && unsignedBody[k] >= '0' && unsignedBody[k] <= '9') {
        ++k;
        anyDigit = true;
    }
    if (k < unsignedBody.size() && unsignedBody[k] == '.') {
        ++k;
        while (k < unsignedBody.size() && unsignedBody[k] >= '0' && unsignedBody[k] <= '9') {
            ++k;
            anyDigit = true;
        }
    }
    if (!anyDigit) {
        return std::numeric_limits<double>::quiet_NaN();
    }
    if (k < unsignedBody.size() && (unsignedBody[k] == 'e' || unsignedBody[k] == 'E')) {
        std::size_t e = k + 1;
        if (e < unsignedBody.size() && (unsignedBody[e] == '-' || unsignedBody[e] == '+')) {
            ++e;
        }
        const std::size_t digitsStart = e;
        while (e < unsignedBody.size() && unsignedBody[e] >= '0' && unsignedBody[e] <= '9') {
            ++e;
        }
        if (e == digitsStart) {
            return std::numeric_limits<double>::quiet_NaN();
        }
        k = e;
    }
    if (k != unsignedBody.size()) {
        return std::numeric_limits<double>::quiet_NaN();  // trailing text, white space too
    }
    const std::string text(unsignedBody.substr(0, k));
    const double v = std::strtod(text.c_str(), nullptr);
    return negative ? -v : v;
}

std::int32_t toInt32(double n) {
    return static_cast<std::int32_t>(toUint32(n));
}

std::uint32_t toUint32(double n) {
    if (!std::isfinite(n)) {
        return 0;
    }
    double t = std::fmod(std::trunc(n), 4294967296.0);
    if (t < 0) {
        t += 4294967296.0;
    }
    return static_cast<std::uint32_t>(t);
}

}  // namespace zd::avm1
