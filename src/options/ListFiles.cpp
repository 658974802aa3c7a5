#include "options/ListFiles.h"

#include "platform/AppFolder.h"
#include "platform/ProfileFile.h"

namespace zd::listfiles {

QString namesFilePath() {
    return platform::appFile(QStringLiteral("List.Tov"));
}
QString pathsFilePath() {
    return platform::appFile(QStringLiteral("List2.Tov"));
}

bool writeListFile(const QString& filePath, const QString& key, const QStringList& entries) {
    platform::ProfileDocument doc;
    // An unreadable file is left alone rather than replaced by a document missing its sections.
    if (!platform::ProfileDocument::loadExisting(filePath, doc))
        return false;
    const int count = std::min<int>(entries.size(), kMaxEntries);
    for (int i = 0; i <= count; ++i) {
        doc.setValue(QString::number(i), key, i < count ? entries.at(i) : QString());
    }
    doc.setValue(QStringLiteral("Items"), QStringLiteral("Items"), QString::number(count));
    return doc.save(filePath);
}

QStringList readListFile(const QString& filePath, const QString& key) {
    const platform::ProfileDocument doc = platform::ProfileDocument::load(filePath);
    const QString countText =
        doc.value(QStringLiteral("Items"), QStringLiteral("Items"), QStringLiteral("Items"));
    bool ok = false;
    const int count = countText.trimmed().toInt(&ok);
    if (!ok || count < 0 || count > kMaxEntries)
        return {};
    QStringList entries;
    entries.reserve(count + 1);
    for (int i = 0; i <= count; ++i)
        entries.push_back(doc.value(QString::number(i), key, QString()));
    return entries;
}

}  // namespace zd::listfiles
