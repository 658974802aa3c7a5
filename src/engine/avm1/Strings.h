#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zd::avm1 {

// Scripts index strings by UTF-16 code units; the interpreter stores UTF-8. These convert.
std::u16string toUtf16(std::string_view utf8);
std::string fromUtf16(std::u16string_view utf16, bool replaceLoneSurrogates = false);
// Text written in the Western Windows code page (the strings of movies before SWF 6) as UTF-8.
std::string fromWindows1252(std::string_view s);
// Bytes the text takes in such a code page: Latin-1 characters one, others as in UTF-8.
std::size_t codePageLength(std::string_view utf8);
// The substring of count units from index (negative or NaN index is 0; negative count or
// NaN means to the end), in UTF-16 units.
std::string substringUtf16(std::string_view s, double index, double count);
// The first UTF-16 code unit (0 for an empty string).
// a < b for script strings: code point order.
bool textLess(std::string_view a, std::string_view b);
std::uint16_t firstCodeUnit(std::string_view s);
inline bool isSurrogate(std::uint32_t unit) {
    return unit >= 0xd800 && unit <= 0xdfff;
}
// a followed by b; a surrogate pair split between them (each half written in three bytes,
// as single units are) is joined into the one character it stands for.
std::string joinText(std::string_view a, std::string_view b);
// One UTF-16 code unit as UTF-8 (0 gives an empty string).
std::string fromCharCode(std::uint32_t unit);
// Lower / upper case of ASCII and Latin-1 letters and the common Unicode ones.
std::string toLowerCase(std::string_view s);
std::string toUpperCase(std::string_view s);

// Text as it is shown outside scripts: halves of surrogate pairs that stand alone become
// U+FFFD, halves that meet again form their character.
std::string displayText(std::string_view s);
// parseFloat's reading of text: leading blanks, a sign, digits with one point (later points
// are skipped and then no exponent follows), an exponent that wraps as a 32-bit integer.
// Fractions are summed digit by digit, so results can differ from the nearest double in the
// last bit, as scripts observe. NaN when no digit starts the text.
double parseFloatText(std::string_view s);

// %XX encoding as escape() does: letters, digits and @*_+-./ stay.
std::string escape(std::string_view s);
std::string unescape(std::string_view s);
// Form encoding for variables sent with a request (space as +).
std::string urlEncode(std::string_view s);
std::string urlDecode(std::string_view s);

}  // namespace zd::avm1
