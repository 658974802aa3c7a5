#pragma once

#include <QString>
#include <optional>

// The options file Settings.Tov beside the executable. Every access forms the path anew and
// goes to the file; nothing is cached.
namespace zd::settings {

QString filePath();

// The value of [section] key, or the key's own name when the file, section or key is missing;
// cut to 255 characters.
QString read(const QString& section, const QString& key);

// Stores the value, creating the file, section and key as needed. A failed write is silent for
// the program (the option is simply not remembered); the result is for tests.
bool write(const QString& section, const QString& key, const QString& value);

// The number a stored text holds (blanks around it allowed), or nullopt when it holds none: the
// key's own name read back for a missing value, "7a", infinities and NaN.
std::optional<double> number(const QString& text);

}  // namespace zd::settings
