// What a play-list file holds, read the way the program wrote it: sections 0 up to and
// including the stored count (so the empty entry after the last one comes along); nothing when
// the file or its count is missing.
#pragma once

#include <QStringList>

#include "platform/ProfileFile.h"

namespace zd::testing {

inline QStringList storedList(const QString& filePath, const QString& key) {
    const platform::ProfileDocument doc = platform::ProfileDocument::load(filePath);
    bool ok = false;
    const int count = doc.value("Items", "Items", QString()).toInt(&ok);
    QStringList entries;
    for (int i = 0; ok && i <= count; ++i)
        entries << doc.value(QString::number(i), key, QString());
    return entries;
}

}  // namespace zd::testing
