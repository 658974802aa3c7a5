// The play list's rules on whole {name, path} pairs: appending, removing with the selection and
// top row following, the duplicate pass, the empty-entry pass, and the two files.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>

#include "../../common/StoredList.h"
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

TEST(PlayListModel, AListWithoutCopiesStaysAsItIs) {
    PlayList list;
    const std::vector<PlayListEntry> entries = pairs({"a.swf", "b.swf", ""}, {"/a", "/b", ""});
    list.setEntries(entries);
    ASSERT_TRUE(list.select(1));
    EXPECT_EQ(list.removeDuplicates(), 0);
    EXPECT_EQ(list.entries(), entries);
    EXPECT_EQ(list.selectedRow(), 1);
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
    EXPECT_EQ(zd::testing::storedList(lf::namesFilePath(), "List1"),
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

namespace {

void writeFile(const zd::platform::FakePlatform& fake, const char* name, const QByteArray& bytes) {
    QFile file(fake.file(QString::fromLatin1(name)));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

QByteArray readFile(const zd::platform::FakePlatform& fake, const char* name) {
    QFile file(fake.file(QString::fromLatin1(name)));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The entries as loaded, without the files' empty last entry.
std::vector<PlayListEntry> loaded() {
    PlayList list;
    list.load();
    std::vector<PlayListEntry> out = list.entries();
    if (!out.empty() && out.back() == PlayListEntry{})
        out.pop_back();
    return out;
}

const QByteArray kThreePaths(
    "[Items]\nItems=3\n[0]\nList2=/m/a.swf\n[1]\nList2=/m/b.swf\n"
    "[2]\nList2=/m/c.swf\n[3]\nList2=\n");

}  // namespace

TEST(PlayListFiles, FilesThatAgreeArePairedAsStored) {
    zd::platform::FakePlatform fake;
    writeFile(fake, "List.Tov",
              "[Items]\nItems=3\n[0]\nList1=a.swf\n[1]\nList1=Bee\n"
              "[2]\nList1=c.swf\n[3]\nList1=\n");
    writeFile(fake, "List2.Tov", kThreePaths);
    EXPECT_EQ(loaded(), pairs({"a.swf", "Bee", "c.swf"}, {"/m/a.swf", "/m/b.swf", "/m/c.swf"}));
}

TEST(PlayListFiles, AMissingNamesFileIsRebuiltFromThePaths) {
    zd::platform::FakePlatform fake;
    writeFile(fake, "List2.Tov", kThreePaths);
    EXPECT_EQ(loaded(), pairs({"a.swf", "b.swf", "c.swf"}, {"/m/a.swf", "/m/b.swf", "/m/c.swf"}));
}

TEST(PlayListFiles, WhenTheCountsDifferEveryPathKeepsItsEntry) {
    zd::platform::FakePlatform fake;
    // A save that wrote the names but not the paths: the names hold one entry more, and a
    // name of another path sits at the second place.
    writeFile(fake, "List.Tov",
              "[Items]\nItems=4\n[0]\nList1=a.swf\n[1]\nList1=x.swf\n"
              "[2]\nList1=c.swf\n[3]\nList1=d.swf\n[4]\nList1=\n");
    writeFile(fake, "List2.Tov", kThreePaths);
    EXPECT_EQ(loaded(), pairs({"a.swf", "b.swf", "c.swf"}, {"/m/a.swf", "/m/b.swf", "/m/c.swf"}));
    // Fewer names than paths.
    writeFile(fake, "List.Tov", "[Items]\nItems=1\n[0]\nList1=a.swf\n[1]\nList1=\n");
    EXPECT_EQ(loaded(), pairs({"a.swf", "b.swf", "c.swf"}, {"/m/a.swf", "/m/b.swf", "/m/c.swf"}));
}

TEST(PlayListFiles, ADamagedCountReadsTheEntriesThatAreThere) {
    zd::platform::FakePlatform fake;
    // The names' count tells how many paths there are.
    writeFile(fake, "List.Tov",
              "[Items]\nItems=2\n[0]\nList1=a.swf\n[1]\nList1=b.swf\n"
              "[2]\nList1=\n");
    writeFile(fake, "List2.Tov",
              "[Items]\nItems=tw\n[0]\nList2=/m/a.swf\n[1]\nList2=/m/b.swf\n"
              "[2]\nList2=\n");
    EXPECT_EQ(loaded(), pairs({"a.swf", "b.swf"}, {"/m/a.swf", "/m/b.swf"}));
    // Neither count: the sections there are.
    writeFile(fake, "List.Tov", "[Items]\nItems=\n");
    writeFile(fake, "List2.Tov",
              "[Items]\n[0]\nList2=/m/a.swf\n[1]\nList2=\n[2]\n"
              "List2=/m/c.swf\n[3]\nList2=\n");
    PlayList list;
    list.load();
    list.removeEmptyEntries();
    list.removeEmptyEntries();
    EXPECT_EQ(list.entries(), pairs({"a.swf", "c.swf"}, {"/m/a.swf", "/m/c.swf"}));
}

TEST(PlayListFiles, WithoutThePathsFileThereIsNoEntryToKeep) {
    zd::platform::FakePlatform fake;
    writeFile(fake, "List.Tov", "[Items]\nItems=1\n[0]\nList1=a.swf\n[1]\nList1=\n");
    EXPECT_TRUE(loaded().empty());
}

TEST(PlayListFiles, SavedAsAPairOrNotAtAll) {
    zd::platform::FakePlatform fake;
    PlayList list;
    list.setEntries(pairs({"a.swf"}, {"/m/a.swf"}));
    ASSERT_TRUE(list.save());
    const QByteArray names = readFile(fake, "List.Tov");
    const QByteArray paths = readFile(fake, "List2.Tov");
    // The paths file cannot be replaced (something else took its name): neither file changes.
    ASSERT_TRUE(QFile::remove(fake.file("List2.Tov")));
    ASSERT_TRUE(QDir(fake.folder()).mkdir(QStringLiteral("List2.Tov")));
    list.append("b.swf", "/m/b.swf");
    EXPECT_FALSE(list.save());
    EXPECT_EQ(readFile(fake, "List.Tov"), names);
    ASSERT_TRUE(QDir(fake.folder()).rmdir(QStringLiteral("List2.Tov")));
    ASSERT_TRUE(list.save());
    EXPECT_NE(readFile(fake, "List.Tov"), names);
    EXPECT_NE(readFile(fake, "List2.Tov"), paths);
    // No file is left beside them.
    EXPECT_EQ(QDir(fake.folder()).entryList({QStringLiteral("List*")}, QDir::Files),
              (QStringList{"List.Tov", "List2.Tov"}));
}

TEST(PlayListModel, TheLongestListIsCleanedAtOnce) {
    // 32,767 entries, the most the files keep, with copies at the end: the duplicate and
    // empty-entry passes take a moment, not seconds.
    std::vector<PlayListEntry> entries;
    for (int i = 0; i < lf::kMaxEntries - 3; ++i)
        entries.push_back(
            {QStringLiteral("m%1.swf").arg(i), QStringLiteral("/films/m%1.swf").arg(i)});
    entries.push_back({"m7.swf", "/films/m7.swf"});
    entries.push_back({QString(), QString()});
    entries.push_back({"m9.swf", "/films/m9.swf"});
    PlayList list;
    list.setEntries(entries);
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(list.removeDuplicates(), 2);
    list.removeEmptyEntries();
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_EQ(list.count(), lf::kMaxEntries - 3);
    EXPECT_EQ(list.path(lf::kMaxEntries - 4),
              QStringLiteral("/films/m%1.swf").arg(lf::kMaxEntries - 4));
}
