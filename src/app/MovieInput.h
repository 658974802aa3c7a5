#pragma once

#include <QString>
#include <optional>

namespace zd {

// A key as movies know it: its code (Key.getCode) and the character it gives (Key.getAscii,
// 0 for none).
struct MovieKey {
    int code = 0;
    char32_t ascii = 0;
};

// The movie's key for a Qt key and the text it typed; nothing for keys movies never see.
std::optional<MovieKey> movieKeyOf(int qtKey, const QString& text);

}  // namespace zd
