#pragma once

#include <QString>
#include <QStringList>
#include <vector>

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

// The play list's two files, written as a pair: both are written whole before either replaces
// its old file, and a failure of either leaves both old files. Up to kMaxEntries pairs are kept.
bool writeListPair(const QStringList& names, const QStringList& paths);

struct StoredPair {
    QString name;
    QString path;
};
struct StoredLists {
    std::vector<StoredPair> entries;
    // The count of each file as stored ("Items" when it has none).
    QString namesCount;
    QString pathsCount;
};

// The play list as its two files hold it. When they agree (both there, with the same readable
// count) the entries are paired as stored, the empty entry after the last included. When they
// disagree (one missing, the counts differ, a count damaged) the paths decide: every path keeps
// its entry, and a name that is missing or is not the path's own file-name part is rebuilt from
// the path. A damaged count reads the entries that are there: as many as the other file's count
// says, or every section from 0 on while there is one.
StoredLists readListPair();

}  // namespace zd::listfiles
