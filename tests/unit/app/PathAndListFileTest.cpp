#include <gtest/gtest.h>

#include <QFile>

#include "../../common/StoredList.h"
#include "app/PathRules.h"
#include "options/ListFiles.h"
#include "platform/ProfileFile.h"
#include "platform/fake/FakePlatform.h"

using zd::StripPath;
namespace lf = zd::listfiles;

TEST(StripPath, GivesTheNameAfterTheLastSeparator) {
    EXPECT_EQ(StripPath("C:\\films\\a.swf"), "a.swf");
    EXPECT_EQ(StripPath("/home/me/films/a.swf"), "a.swf");
    EXPECT_EQ(StripPath("/home/me\\odd/b.swf"), "b.swf");
    EXPECT_EQ(StripPath("plain.swf"), "plain.swf");
    EXPECT_EQ(StripPath(""), "");
}

TEST(StripPath, TrailingSeparatorGivesTheEmptyText) {
    EXPECT_EQ(StripPath("C:\\films\\"), "");
    EXPECT_EQ(StripPath("/home/me/"), "");
}

TEST(StripPath, WebAddressesKeepTheirForwardSlashes) {
    EXPECT_EQ(StripPath("http://example.org/movies/a.swf"), "http://example.org/movies/a.swf");
    EXPECT_EQ(StripPath("https://example.org/a\\b.swf"), "b.swf");
    // Quotes from a hand-typed command line pass through unchanged.
    EXPECT_EQ(StripPath("\"/tmp/x y.swf\""), "x y.swf\"");
}

TEST(ListFiles, ThreeEntriesGiveSectionsZeroToTwoAnEmptyThirdAndItemsThree) {
    zd::platform::FakePlatform fake;
    ASSERT_TRUE(lf::writeListFile(lf::namesFilePath(), "List1", {"a.swf", "b.swf", "c.swf"}));
    const auto doc = zd::platform::ProfileDocument::load(fake.file("List.Tov"));
    EXPECT_EQ(doc.value("0", "List1", "x"), "a.swf");
    EXPECT_EQ(doc.value("2", "List1", "x"), "c.swf");
    EXPECT_TRUE(doc.contains("3", "List1"));
    EXPECT_EQ(doc.value("3", "List1", "x"), "");
    EXPECT_EQ(doc.value("Items", "Items", "x"), "3");
    EXPECT_EQ(zd::testing::storedList(lf::namesFilePath(), "List1"),
              (QStringList{"a.swf", "b.swf", "c.swf", ""}));
}

TEST(ListFiles, AShorterListLeavesOldSectionsButTheCountRules) {
    zd::platform::FakePlatform fake;
    ASSERT_TRUE(lf::writeListFile(lf::pathsFilePath(), "List2", {"/a", "/b", "/c", "/d"}));
    ASSERT_TRUE(lf::writeListFile(lf::pathsFilePath(), "List2", {"/x"}));
    const auto doc = zd::platform::ProfileDocument::load(fake.file("List2.Tov"));
    EXPECT_EQ(doc.value("3", "List2", "?"), "/d");  // left over, never read
    EXPECT_EQ(zd::testing::storedList(lf::pathsFilePath(), "List2"), (QStringList{"/x", ""}));
}

TEST(ListFiles, MissingSectionsWithinAgreeingCountsReadAsEmptyEntries) {
    zd::platform::FakePlatform fake;
    for (const char* name : {"List.Tov", "List2.Tov"}) {
        QFile f(fake.file(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        const QByteArray key = QByteArray(name) == "List.Tov" ? "List1" : "List2";
        f.write("[Items]\nItems=3\n[0]\n" + key + "=/m/a.swf\n[2]\n" + key + "=/m/c.swf\n");
    }
    const lf::StoredLists lists = lf::readListPair();
    ASSERT_EQ(lists.entries.size(), size_t(4));
    EXPECT_EQ(lists.entries[1].path, QString());
    EXPECT_EQ(lists.entries[2].path, "/m/c.swf");
    EXPECT_EQ(lists.namesCount, "3");
}
