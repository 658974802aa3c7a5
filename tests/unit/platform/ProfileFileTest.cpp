#include <gtest/gtest.h>

#include <sys/resource.h>
#include <QDir>
#include <QFile>
#include <QFileDevice>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <csignal>

#include "platform/ProfileFile.h"

using zd::platform::getProfileString;
using zd::platform::ProfileDocument;
using zd::platform::writeProfileString;

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

class ProfileFileTest : public ::testing::Test {
  protected:
    QTemporaryDir dir;
    QString path() const { return dir.filePath("Test.Tov"); }
};

}  // namespace

TEST_F(ProfileFileTest, MissingFileSectionOrKeyGivesTheDefault) {
    EXPECT_EQ(getProfileString(path(), "Myapp9", "Text3", "Text3"), "Text3");
    writeBytes(path(), "[Other]\nText3=5\n[Myapp9]\nSomething=1\n");
    EXPECT_EQ(getProfileString(path(), "Myapp9", "Text3", "Text3"), "Text3");
    EXPECT_EQ(getProfileString(path(), "Missing", "Text3", "dflt"), "dflt");
}

TEST_F(ProfileFileTest, FirstWriteCreatesFileSectionAndKey) {
    ASSERT_TRUE(writeProfileString(path(), "MyApp9", "Text3", "Text3"));
    EXPECT_EQ(readAll(path()), QByteArray("[MyApp9]\nText3=Text3\n"));
    EXPECT_EQ(getProfileString(path(), "Myapp9", "text3", "x"), "Text3");
}

TEST_F(ProfileFileTest, SectionsAndKeysMatchWithoutRegardToCase) {
    writeBytes(path(), "[myapp1]\ntext1=120\n");
    EXPECT_EQ(getProfileString(path(), "MyApp1", "Text1", "Text1"), "120");
    EXPECT_EQ(getProfileString(path(), "MYAPP1", "TEXT1", "Text1"), "120");
}

TEST_F(ProfileFileTest, LowerCaseHeaderIsUpdatedInPlace) {
    writeBytes(path(), "; options\n[myapp9]\ntext3=7\n\n[MyApp1]\nText1=3\n");
    ASSERT_TRUE(writeProfileString(path(), "MyApp9", "Text3", "8"));
    EXPECT_EQ(readAll(path()), QByteArray("; options\n[myapp9]\ntext3=8\n\n[MyApp1]\nText1=3\n"));
}

TEST_F(ProfileFileTest, NewKeysJoinTheirSectionAndNewSectionsAreAppended) {
    writeBytes(path(), "[A]\nx=1\n\n[B]\ny=2\n");
    ASSERT_TRUE(writeProfileString(path(), "a", "z", "3"));
    ASSERT_TRUE(writeProfileString(path(), "C", "w", "4"));
    EXPECT_EQ(readAll(path()), QByteArray("[A]\nx=1\nz=3\n\n[B]\ny=2\n[C]\nw=4\n"));
}

TEST_F(ProfileFileTest, ValuesAreReadWhole) {
    // A folder path deeper than 255 characters comes back as it was written.
    QString longValue = QStringLiteral("/home/me");
    while (longValue.size() < 600)
        longValue += QStringLiteral("/一个很长的文件夹名称");
    ASSERT_TRUE(writeProfileString(path(), "MyApp8", "Text8", longValue));
    EXPECT_EQ(getProfileString(path(), "Myapp8", "Text8", "Text8"), longValue);
}

TEST_F(ProfileFileTest, ChineseTextIsStoredAsUtf8AndReadBack) {
    const QString folder = QString::fromUtf8("/home/用户/抓图");
    ASSERT_TRUE(writeProfileString(path(), "MyApp8", "Text8", folder));
    EXPECT_TRUE(readAll(path()).contains(folder.toUtf8()));
    EXPECT_EQ(getProfileString(path(), "Myapp8", "Text8", "Text8"), folder);
}

TEST_F(ProfileFileTest, FilesFromTheWindowsProgramAreReadAsGbk) {
    const QString name = QString::fromUtf8("动画片.swf");
    QStringEncoder gbk("GBK");
    ASSERT_TRUE(gbk.isValid());
    QByteArray bytes = "[Items]\r\nItems=1\r\n[0]\r\nList1=";
    bytes += QByteArray(gbk.encode(name));
    bytes += "\r\n[1]\r\nList1=\r\n";
    writeBytes(path(), bytes);
    EXPECT_EQ(getProfileString(path(), "0", "List1", ""), name);
    EXPECT_EQ(getProfileString(path(), "Items", "Items", "Items"), "1");

    // A write keeps the other entries and the file's line breaks, and turns it into UTF-8.
    ASSERT_TRUE(writeProfileString(path(), "Items", "Items", "2"));
    const QByteArray after = readAll(path());
    EXPECT_TRUE(after.contains(("List1=" + name).toUtf8()));
    EXPECT_TRUE(after.startsWith("[Items]\r\nItems=2\r\n"));
    EXPECT_EQ(getProfileString(path(), "0", "List1", ""), name);
}

TEST_F(ProfileFileTest, EachLineIsReadInItsOwnEncoding) {
    // One line in the Windows program's code page among lines in UTF-8: the UTF-8 lines keep
    // their text, and so do they after the next write.
    const QString folder = QString::fromUtf8("/home/我/抓图");
    const QString film = QString::fromUtf8("/films/动画片.swf");
    const QString old = QString::fromUtf8("旧的.swf");
    QStringEncoder gbk("GBK");
    ASSERT_TRUE(gbk.isValid());
    QByteArray bytes = "[MyApp8]\nText8=" + folder.toUtf8() + "\n[0]\nList2=" + film.toUtf8();
    bytes += "\n[1]\nList2=" + QByteArray(gbk.encode(old)) + "\n";
    writeBytes(path(), bytes);
    EXPECT_EQ(getProfileString(path(), "Myapp8", "Text8", "Text8"), folder);
    EXPECT_EQ(getProfileString(path(), "0", "List2", ""), film);
    EXPECT_EQ(getProfileString(path(), "1", "List2", ""), old);
    ASSERT_TRUE(writeProfileString(path(), "MyApp9", "Text3", "4"));
    const QByteArray after = readAll(path());
    EXPECT_TRUE(after.contains(("Text8=" + folder).toUtf8()));
    EXPECT_TRUE(after.contains(("List2=" + film).toUtf8()));
    EXPECT_TRUE(after.contains(("List2=" + old).toUtf8()));
}

TEST_F(ProfileFileTest, DamagedFileReadsAsTheKeysItStillHas) {
    QByteArray bytes("[MyApp1]\nText1=40\n\x01\x02\xff garbage without equals\n[MyApp2\nText2=9\n");
    bytes += QByteArray("=no key\n[MyApp3]\nText3=77");  // no final line break
    writeBytes(path(), bytes);
    EXPECT_EQ(getProfileString(path(), "Myapp1", "Text1", "Text1"), "40");
    EXPECT_EQ(getProfileString(path(), "Myapp3", "Text3", "Text3"), "77");
    // "[MyApp2" never closes, so its key belongs to no readable section of that name.
    EXPECT_EQ(getProfileString(path(), "Myapp2", "Text2", "Text2"), "Text2");
}

TEST_F(ProfileFileTest, ValuesAreTrimmedAndUnquotedLikeThePlatformReads) {
    writeBytes(path(), "[S]\n  key  =   spaced value  \nq=\"quoted\"\n");
    EXPECT_EQ(getProfileString(path(), "S", "key", ""), "spaced value");
    EXPECT_EQ(getProfileString(path(), "S", "q", ""), "quoted");
}

TEST_F(ProfileFileTest, LineBreaksInAValueCannotCreateEntries) {
    ASSERT_TRUE(writeProfileString(path(), "0", "List1", "a\nItems=99\r\n[x]"));
    EXPECT_FALSE(ProfileDocument::load(path()).contains("Items", "Items"));
    EXPECT_EQ(getProfileString(path(), "0", "List1", ""), "a Items=99 [x]");
}

TEST_F(ProfileFileTest, FailedWriteLeavesTheOldFileWhole) {
    writeBytes(path(), "[MyApp9]\nText3=5\n");
    const QByteArray before = readAll(path());
    // A file-size limit makes the write fail half-way, as a full disk would (even for root).
    struct rlimit old {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto previousHandler = signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool written = writeProfileString(path(), "MyApp9", "Text3", QString(20000, 'x'));
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, previousHandler);
    EXPECT_FALSE(written);
    EXPECT_EQ(readAll(path()), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"Test.Tov"});  // no leftovers
}

TEST_F(ProfileFileTest, UnreadableFileIsNotReplaced) {
    writeBytes(path(), "[MyApp9]\nText3=5\n[MyApp1]\nText1=1\n");
    // A folder where the file should be cannot be read as a file: nothing may replace it.
    const QString folderPath = dir.filePath("Folder.Tov");
    ASSERT_TRUE(QDir().mkdir(folderPath));
    EXPECT_FALSE(writeProfileString(folderPath, "MyApp9", "Text3", "6"));
    EXPECT_TRUE(QFileInfo(folderPath).isDir());
}

TEST_F(ProfileFileTest, DocumentBatchesManyWritesIntoOneSave) {
    ProfileDocument doc;
    for (int i = 0; i < 1000; ++i)
        doc.setValue(QString::number(i), "List1", QString("m%1").arg(i));
    doc.setValue("Items", "Items", "1000");
    ASSERT_TRUE(doc.save(path()));
    const ProfileDocument back = ProfileDocument::load(path());
    EXPECT_EQ(back.value("999", "list1", ""), "m999");
    EXPECT_EQ(back.value("Items", "Items", "Items"), "1000");
}
