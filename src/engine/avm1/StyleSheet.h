#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zd::avm1 {

// One selector of a style sheet with its properties in the order written (names already in
// script form: "font-size" becomes "fontSize").
struct CssRule {
    std::string selector;
    std::vector<std::pair<std::string, std::string>> properties;
};

// The rules of a style sheet's text; nullopt when any part of it cannot be read, so that a
// broken sheet changes nothing. Selectors and names are kept as written (case included);
// values lose their leading blanks only.
std::optional<std::vector<CssRule>> parseCss(std::string_view text);

// A CSS property name in script form: each dash goes and the character after it is raised.
std::string cssPropertyName(std::string_view name);

}  // namespace zd::avm1
