// Several files replaced as one: all written before any replaces its old file, and the ones
// already replaced put back when a later one cannot be.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "platform/FileSet.h"

using zd::platform::replaceFilesTogether;

namespace {

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
}

void write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

QStringList filesIn(const QTemporaryDir& dir) {
    return QDir(dir.path()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot);
}

}  // namespace

TEST(FileSet, EveryFileIsReplacedWithItsPermissionsKept) {
    QTemporaryDir dir;
    const QString a = dir.filePath("a");
    const QString b = dir.filePath("b");
    write(a, "old a");
    QFile::setPermissions(a, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                 QFileDevice::ReadGroup | QFileDevice::WriteGroup);
    ASSERT_TRUE(replaceFilesTogether({{a, "new a"}, {b, "new b"}}));
    EXPECT_EQ(contents(a), "new a");
    EXPECT_EQ(contents(b), "new b");
    EXPECT_TRUE(QFile::permissions(a) & QFileDevice::WriteGroup);
    EXPECT_TRUE(QFile::permissions(b) & QFileDevice::ReadOther);
    EXPECT_EQ(filesIn(dir), (QStringList{"a", "b"}));
}

TEST(FileSet, ALaterFileThatCannotTakeItsPlacePutsTheEarlierOnesBack) {
    QTemporaryDir dir;
    const QString a = dir.filePath("a");
    const QString b = dir.filePath("b");
    const QString c = dir.filePath("c");
    write(a, "old a");
    ASSERT_TRUE(QDir(dir.path()).mkdir("c"));  // nothing replaces a folder
    EXPECT_FALSE(replaceFilesTogether({{a, "new a"}, {b, "new b"}, {c, "new c"}}));
    EXPECT_EQ(contents(a), "old a");
    EXPECT_FALSE(QFile::exists(b));  // there was none: there is none
    EXPECT_EQ(filesIn(dir), (QStringList{"a", "c"}));
}

TEST(FileSet, AFileThatCannotBeWrittenLeavesEveryOldFile) {
    QTemporaryDir dir;
    const QString a = dir.filePath("a");
    write(a, "old a");
    EXPECT_FALSE(replaceFilesTogether({{a, "new a"}, {dir.filePath("no/such/b"), "new b"}}));
    EXPECT_EQ(contents(a), "old a");
    EXPECT_EQ(filesIn(dir), QStringList{"a"});
}
