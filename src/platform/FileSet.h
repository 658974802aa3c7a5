#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

namespace zd::platform {

struct FileContent {
    QString path;
    QByteArray bytes;
};

// Replaces several files as one: every file is first written whole (and flushed to the disk)
// beside its target; only then do they take the targets' places, and when one of them cannot,
// the targets already replaced get their old contents back. True when every file was replaced;
// false when none was (a failure that leaves an old file replaced is not possible unless even
// putting it back fails).
bool replaceFilesTogether(const std::vector<FileContent>& files);

}  // namespace zd::platform
