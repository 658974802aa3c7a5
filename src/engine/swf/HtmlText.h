#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "engine/swf/Records.h"

namespace zd::engine {

// The character format a text run is shown in.
struct TextStyle {
    std::string face;
    double size = 240;  // twips
    Rgba color{0, 0, 0, 255};
    bool bold = false;
    bool italic = false;
    bool underline = false;
    double letterSpacing = 0;  // twips added after each character
    std::string url;           // a link's target address ("" none) and window
    std::string target;
    bool operator==(const TextStyle&) const = default;
};

struct TextRun {
    std::string text;  // UTF-8
    TextStyle style;
};

struct TextParagraph {
    std::uint8_t align = 0;  // 0 left, 1 right, 2 centre, 3 justify
    std::vector<TextRun> runs;
    // Twips on top of the field's own margins; indent moves the first line only.
    double leftMargin = 0;
    double rightMargin = 0;
    double indent = 0;
    double blockIndent = 0;
    bool bullet = false;
    // The line end closing the paragraph, when it has one: its format counts in the height of
    // the paragraph's last line.
    std::optional<TextStyle> lineEnd;
};

// DefineEditText's HTML reduced to styled paragraphs: <p align>, <br>, <b>, <i>, <u>,
// <font face size color>, <li> and the common entities; other tags are dropped.
// name="value" pairs of an HTML tag body (quotes optional), names in lower case.
std::map<std::string, std::string> attributes(const std::string& tag);

std::vector<TextParagraph> parseHtmlText(const std::string& html, const TextStyle& base,
                                         std::uint8_t baseAlign);

// Plain text as paragraphs of one run each (split at CR, LF or CRLF).
std::vector<TextParagraph> plainTextParagraphs(const std::string& text, const TextStyle& base,
                                               std::uint8_t baseAlign);

}  // namespace zd::engine
