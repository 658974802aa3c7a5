// The play list's rules on whole {name, path} pairs: appending, removing with the selection and
// top row following, the duplicate pass, the empty-entry pass, and the two files.
#include <gtest/gtest.h>

#include <QSignalSpy>

#include "options/ListFiles.h"
#include "options/PlayList.h"
#include "platform/fake/FakePlatform.h"

using zd::PlayList;
using zd::PlayListEntry;
namespace lf = zd::listfiles;

namespace {

std::vector<PlayListEntry> pairs(const QStringList& names, const QStringList& paths) {
    std::vector<PlayListEntry> out;
    for (qsizetype i = 0; i < names.size(); ++i)
        out.push_back({names.at(i), paths.at(i)});
    return out;
}

QStringList names(const PlayList& list) {
    QStringList out;
    for (const PlayListEntry& e : list.entries())
        out << e.name;
    return out;
}

QStringList paths(const PlayList& list) {
    QStringList out;
    for (const PlayListEntry& e : list.entries())
        out << e.path;
    return out;
}

}  // namespace

TEST(PlayListModel, TwoViewsReadNamesAndPathsOfTheSameRows) {
    PlayList list;
    list.append("a.swf", "/m/a.swf");
    list.append("b.swf", "/n/b.swf");
    EXPECT_EQ(list.rowCount(), 2);
    EXPECT_EQ(list.columnCount(), 2);
    EXPECT_EQ(list.data(list.index(1, PlayList::NameColumn)).toString(), "b.swf");
    EXPECT_EQ(list.data(list.index(1, PlayList::PathColumn)).toString(), "/n/b.swf");
    EXPECT_EQ(list.name(5), QString());
    EXPECT_EQ(list.path(-1), QString());
}

TEST(PlayListModel, RemovingKeepsTheSelectionOnItsEntry) {
    PlayList list;
    list.setEntries(pairs({"a", "b", "c", "d"}, {"/a", "/b", "/c", "/d"}));
    ASSERT_TRUE(list.select(2));
    list.removeAt(0);  // before the selection: it moves up with its entry
    EXPECT_EQ(list.selectedRow(), 1);
    EXPECT_EQ(list.selectedPath(), "/c");
    list.removeAt(2);  // after it: nothing changes
    EXPECT_EQ(list.selectedPath(), "/c");
    EXPECT_TRUE(list.removeSelected());  // the selected pair: nothing selected
    EXPECT_EQ(list.selectedRow(), -1);
    EXPECT_EQ(paths(list), (QStringList{"/b"}));
    EXPECT_FALSE(list.removeSelected());
    EXPECT_FALSE(list.removeAt(1));
    EXPECT_FALSE(list.select(1));  // outside: refused
    EXPECT_EQ(list.selectedRow(), -1);
}

TEST(PlayListModel, TheTopRowStaysWithinTheList) {
    PlayList list;
    list.setEntries(pairs({"a", "b", "c"}, {"/a", "/b", "/c"}));
    QSignalSpy moved(&list, &PlayList::topRowChanged);
    ASSERT_TRUE(list.setTopRow(2));
    EXPECT_FALSE(list.setTopRow(3));
    list.removeAt(2);
    EXPECT_EQ(list.topRow(), 1);
    list.clear();
    EXPECT_EQ(list.topRow(), 0);
    EXPECT_EQ(moved.count(), 3);
}

TEST(PlayListModel, LaterCopiesOfAPathGoAsWholePairs) {
    PlayList list;
    list.setEntries(pairs({"a.swf", "b.swf", "a.swf", "c.swf", "a.swf"},
                          {"/x/a.swf", "/x/b.swf", "/x/a.swf", "/x/c.swf", "/x/a.swf"}));
    EXPECT_EQ(list.removeDuplicates(), 2);
    EXPECT_EQ(paths(list), (QStringList{"/x/a.swf", "/x/b.swf", "/x/c.swf"}));
    EXPECT_EQ(names(list), (QStringList{"a.swf", "b.swf", "c.swf"}));
}

TEST(PlayListModel, SameNameInTwoFoldersAndCaseVariantsStayPaired) {
    PlayList list;
    list.setEntries(pairs({"a.swf", "a.swf", "A.swf", "a.swf"},
                          {"/one/a.swf", "/two/a.swf", "/one/A.swf", "/two/a.swf"}));
    EXPECT_EQ(list.removeDuplicates(), 1);
    EXPECT_EQ(paths(list), (QStringList{"/one/a.swf", "/two/a.swf", "/one/A.swf"}));
    EXPECT_EQ(names(list), (QStringList{"a.swf", "a.swf", "A.swf"}));
}

TEST(PlayListModel, RunsOfCopiesAndEmptyEntriesCollapseToTheFirst) {
    PlayList list;
    list.setEntries(
        pairs({"", "", "m.swf", "m.swf", "m.swf", ""}, {"", "", "/m.swf", "/m.swf", "/m.swf", ""}));
    ASSERT_TRUE(list.select(3));
    EXPECT_EQ(list.removeDuplicates(), 4);
    EXPECT_EQ(paths(list), (QStringList{"", "/m.swf"}));
    EXPECT_EQ(list.selectedRow(), -1);  // the selected copy went
}

TEST(PlayListModel, TheEmptyEntryPassLeavesTheSecondOfTwoEmptiesInARow) {
    PlayList list;
    list.setEntries(pairs({"a", "", "", "b", ""}, {"/a", "", "", "/b", ""}));
    list.removeEmptyEntries();
    EXPECT_EQ(paths(list), (QStringList{"/a", "", "/b"}));
    list.removeEmptyEntries();
    EXPECT_EQ(paths(list), (QStringList{"/a", "/b"}));
    // A path whose name part is empty (a folder) goes too, with its path.
    list.append(QString(), "/films/");
    list.removeEmptyEntries();
    EXPECT_EQ(paths(list), (QStringList{"/a", "/b"}));
    PlayList none;
    none.removeEmptyEntries();
    EXPECT_EQ(none.count(), 0);
}

TEST(PlayListModel, SavedAndLoadedAsPairs) {
    zd::platform::FakePlatform fake;
    PlayList list;
    QSignalSpy saved(&list, &PlayList::saved);
    list.setEntries(pairs({"a.swf", "b.swf", "c.swf"}, {"/m/a.swf", "/m/b.swf", "/m/c.swf"}));
    ASSERT_TRUE(list.save());
    ASSERT_EQ(saved.count(), 1);
    EXPECT_EQ(saved.at(0).at(0).toInt(), 3);
    EXPECT_EQ(lf::readListFile(lf::namesFilePath(), "List1"),
              (QStringList{"a.swf", "b.swf", "c.swf", ""}));
    PlayList again;
    const PlayList::StoredCounts counts = again.load();
    EXPECT_EQ(counts.names, "3");
    EXPECT_EQ(counts.paths, "3");
    // The file's empty last entry comes along; the empty-entry pass takes it away.
    EXPECT_EQ(paths(again), (QStringList{"/m/a.swf", "/m/b.swf", "/m/c.swf", ""}));
    EXPECT_EQ(names(again), (QStringList{"a.swf", "b.swf", "c.swf", ""}));
}

TEST(PlayListModel, LongPathsAndNamesComeBackWhole) {
    zd::platform::FakePlatform fake;
    QString path = QStringLiteral("/films");
    while (path.size() < 400)
        path += QStringLiteral("/a folder with a rather long name");
    const QString name = QString(300, QLatin1Char('n')) + QStringLiteral(".swf");
    path += QLatin1Char('/') + name;
    PlayList list;
    list.append(name, path);
    ASSERT_TRUE(list.save());
    PlayList again;
    again.load();
    ASSERT_GE(again.count(), 1);
    EXPECT_EQ(again.path(0), path);
    EXPECT_EQ(again.name(0), name);
}
