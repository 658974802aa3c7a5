#include "options/ListFiles.h"

#include <QFile>
#include <optional>

#include "app/PathRules.h"
#include "platform/AppFolder.h"
#include "platform/FileSet.h"
#include "platform/ProfileFile.h"

namespace zd::listfiles {

QString namesFilePath() {
    return platform::appFile(QStringLiteral("List.Tov"));
}
QString pathsFilePath() {
    return platform::appFile(QStringLiteral("List2.Tov"));
}

namespace {

const QString kItems = QStringLiteral("Items");
const QString kNamesKey = QStringLiteral("List1");
const QString kPathsKey = QStringLiteral("List2");

// The file's document with the entries put in; false when the file is there but unreadable (it
// is left alone rather than replaced by a document missing its sections).
bool withEntries(const QString& filePath, const QString& key, const QStringList& entries,
                 platform::ProfileDocument& doc) {
    if (!platform::ProfileDocument::loadExisting(filePath, doc))
        return false;
    const int count = std::min<int>(entries.size(), kMaxEntries);
    for (int i = 0; i <= count; ++i)
        doc.setValue(QString::number(i), key, i < count ? entries.at(i) : QString());
    doc.setValue(kItems, kItems, QString::number(count));
    return true;
}

// The stored count when it is a whole number from 0 to kMaxEntries.
std::optional<int> countOf(const QString& text) {
    bool ok = false;
    const int count = text.trimmed().toInt(&ok);
    if (!ok || count < 0 || count > kMaxEntries)
        return std::nullopt;
    return count;
}

// How many sections from 0 on the file holds without a gap.
int sectionsThere(const platform::ProfileDocument& doc, const QString& key) {
    int n = 0;
    while (n < kMaxEntries && doc.contains(QString::number(n), key))
        ++n;
    return n;
}

}  // namespace

bool writeListFile(const QString& filePath, const QString& key, const QStringList& entries) {
    platform::ProfileDocument doc;
    return withEntries(filePath, key, entries, doc) && doc.save(filePath);
}

bool writeListPair(const QStringList& names, const QStringList& paths) {
    platform::ProfileDocument namesDoc;
    platform::ProfileDocument pathsDoc;
    if (!withEntries(namesFilePath(), kNamesKey, names, namesDoc) ||
        !withEntries(pathsFilePath(), kPathsKey, paths, pathsDoc))
        return false;
    return platform::replaceFilesTogether(
        {{namesFilePath(), namesDoc.serialize()}, {pathsFilePath(), pathsDoc.serialize()}});
}

StoredLists readListPair() {
    const bool namesThere = QFile::exists(namesFilePath());
    const bool pathsThere = QFile::exists(pathsFilePath());
    const platform::ProfileDocument names = platform::ProfileDocument::load(namesFilePath());
    const platform::ProfileDocument paths = platform::ProfileDocument::load(pathsFilePath());
    StoredLists lists;
    lists.namesCount = names.value(kItems, kItems, kItems);
    lists.pathsCount = paths.value(kItems, kItems, kItems);
    const std::optional<int> namesCount = countOf(lists.namesCount);
    const std::optional<int> pathsCount = countOf(lists.pathsCount);
    if (namesThere && pathsThere && namesCount && pathsCount && *namesCount == *pathsCount) {
        // Sections 0 to the count: the empty entry of section N comes along.
        for (int i = 0; i <= *pathsCount; ++i) {
            const QString section = QString::number(i);
            lists.entries.push_back({names.value(section, kNamesKey, QString()),
                                     paths.value(section, kPathsKey, QString())});
        }
        return lists;
    }
    if (!pathsThere)
        return lists;
    const int count =
        pathsCount ? *pathsCount : (namesCount ? *namesCount : sectionsThere(paths, kPathsKey));
    lists.entries.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        const QString section = QString::number(i);
        const QString path = paths.value(section, kPathsKey, QString());
        const QString ownName = StripPath(path);
        // A name that belongs to another entry (the names file lost or gained one) is not kept.
        const bool nameFits = names.contains(section, kNamesKey) &&
                              names.value(section, kNamesKey, QString()) == ownName;
        lists.entries.push_back(
            {nameFits ? names.value(section, kNamesKey, QString()) : ownName, path});
    }
    return lists;
}

}  // namespace zd::listfiles
