#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>

// The options file Settings.Tov beside the executable. Every access forms the path anew and
// goes to the file; nothing is cached.
namespace zd::settings {

QString filePath();

// The value of [section] key, whole, or the key's own name when the file, section or key is
// missing.
QString read(const QString& section, const QString& key);

// Stores the value, creating the file, section and key as needed. A failed write is silent for
// the program (the option is simply not remembered); the result is for tests.
bool write(const QString& section, const QString& key, const QString& value);

// How stored texts become numbers, in one place for every reader of a stored value.
//
// The number a stored text holds (blanks around it allowed), or nullopt when it holds none: the
// key's own name read back for a missing value, "7a", infinities and NaN.
std::optional<double> number(const QString& text);
// That number rounded to a whole one (halves to even, as the classic conversion does); nullopt
// when the text holds no number or the result does not fit 32 bits.
std::optional<qint32> wholeNumber(const QString& text);
// A text that is written as a whole number ("12", " -3 "), nothing else ("12.5" and "1e3" are
// not).
std::optional<qint32> integer(const QString& text);

}  // namespace zd::settings
