#pragma once

#include <QString>
#include <QStringList>

// The two play-list files List.Tov (names, key "List1") and List2.Tov (paths, key "List2"):
// section "Items" key "Items" holds the count N, sections "0" .. "N-1" the entries, and section
// "N" an empty entry. Sections left from a longer earlier list may remain; only the count says
// how many are valid.
namespace zd::listfiles {

// Entries are counted with 16-bit integers: longer lists are saved up to this many.
inline constexpr int kMaxEntries = 32767;

QString namesFilePath();  // List.Tov beside the executable
QString pathsFilePath();  // List2.Tov

// Writes the whole file at once (temporary file, then rename): an interrupted save leaves the
// previous file intact. False when the file could not be written.
bool writeListFile(const QString& filePath, const QString& key, const QStringList& entries);

// Reads sections 0 up to and including the stored count, so the result ends with the (normally
// empty) entry of section N. A missing file or a count that is not a whole number from 0 to
// 32767 reads as an empty list.
QStringList readListFile(const QString& filePath, const QString& key);

}  // namespace zd::listfiles
