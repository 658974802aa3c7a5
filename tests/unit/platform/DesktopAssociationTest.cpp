#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "platform/DesktopAssociation.h"
#include "platform/ProfileFile.h"
#include "platform/fake/FakePlatform.h"

using namespace zd::platform;

namespace {

QString readText(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

QString execOf(const QString& entryText) {
    for (const QString& line : entryText.split('\n')) {
        if (line.startsWith("Exec="))
            return line.mid(5);
    }
    return {};
}

}  // namespace

TEST(DesktopAssociation, ExecLineQuotesOnlyWhenNeeded) {
    EXPECT_EQ(desktopExecLine("/opt/zd/zephyrdeck"), "/opt/zd/zephyrdeck %f");
    EXPECT_EQ(desktopExecLine("/home/me/my apps/zephyrdeck"), "\"/home/me/my apps/zephyrdeck\" %f");
    // Inside quotes ", `, $ and \ are escaped; the value then escapes its backslashes again.
    EXPECT_EQ(desktopExecLine("/a $b/\"c\"/zephyrdeck"),
              "\"/a \\\\$b/\\\\\"c\\\\\"/zephyrdeck\" %f");
    EXPECT_EQ(desktopExecLine("/100%/zephyrdeck"), "/100%%/zephyrdeck %f");
}

TEST(DesktopAssociation, FirstStartWritesTheEntryTheTypeAndTheDefault) {
    FakePlatform fake;
    registerSwfAssociation("/opt/Zephyr Deck");
    const AssociationFiles files = associationFiles();
    EXPECT_TRUE(files.desktopEntry.startsWith(fake.folder()));
    const QString entry = readText(files.desktopEntry);
    EXPECT_TRUE(entry.startsWith("[Desktop Entry]\n"));
    EXPECT_TRUE(entry.contains("\nComment=ZephyrDeck 影片\n"));
    EXPECT_TRUE(entry.contains("\nMimeType=application/x-shockwave-flash;\n"));
    // The folder's name has a blank: the entry starts a link to the program instead.
    const QString link = xdgDataHome() + "/zephyrdeck/zephyrdeck";
    EXPECT_EQ(execOf(entry), link + " %f");
    EXPECT_EQ(QFileInfo(link).symLinkTarget(), "/opt/Zephyr Deck/zephyrdeck");

    const QString mime = readText(files.mimePackage);
    EXPECT_TRUE(mime.contains("<mime-type type=\"application/x-shockwave-flash\">"));
    EXPECT_TRUE(mime.contains("<glob pattern=\"*.swf\"/>"));

    const auto apps = ProfileDocument::load(files.mimeApps);
    EXPECT_EQ(apps.value("Default Applications", "application/x-shockwave-flash", ""),
              "MyPlayer.desktop");
}

TEST(DesktopAssociation, MovingTheProgramRewritesTheFolder) {
    FakePlatform fake;
    registerSwfAssociation("/old/place");
    registerSwfAssociation("/new/place");
    EXPECT_EQ(execOf(readText(associationFiles().desktopEntry)), "/new/place/zephyrdeck %f");
}

TEST(DesktopAssociation, AnAwkwardFolderIsReachedThroughALinkThatFollowsTheProgram) {
    FakePlatform fake;
    const QString link = xdgDataHome() + "/zephyrdeck/zephyrdeck";
    // Percent signs, quotes, dollars, backslashes and blanks: none reaches the command.
    for (const QString& folder :
         {QStringLiteral("/opt/100% sure"), QStringLiteral("/a \"b\" $c\\d"),
          QStringLiteral("/opt/影片 播放")}) {
        registerSwfAssociation(folder);
        EXPECT_EQ(execOf(readText(associationFiles().desktopEntry)), link + " %f");
        EXPECT_EQ(QFileInfo(link).symLinkTarget(), folder + "/zephyrdeck");
    }
    // Back in a plain folder the entry names the program itself.
    registerSwfAssociation("/opt/影片");
    EXPECT_EQ(execOf(readText(associationFiles().desktopEntry)), "/opt/影片/zephyrdeck %f");
}

TEST(DesktopAssociation, WithoutRoomForTheLinkTheEntryQuotesTheProgram) {
    FakePlatform fake;
    // A folder stands where the link would go.
    ASSERT_TRUE(QDir().mkpath(xdgDataHome() + "/zephyrdeck/zephyrdeck"));
    registerSwfAssociation("/opt/100% sure");
    EXPECT_EQ(execOf(readText(associationFiles().desktopEntry)),
              "\"/opt/100%% sure/zephyrdeck\" %f");
}

TEST(DesktopAssociation, OtherLinesOfMimeappsListAreKept) {
    FakePlatform fake;
    const QString path = associationFiles().mimeApps;
    ASSERT_TRUE(QDir().mkpath(QFileInfo(path).absolutePath()));
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(
            "# mine\n[Default Applications]\ntext/plain=editor.desktop\n"
            "application/x-shockwave-flash=other.desktop;\nimage/png=viewer.desktop\n\n"
            "[Added Associations]\ntext/html=browser.desktop;\n");
    }
    registerSwfAssociation("/opt/zd");
    EXPECT_EQ(readText(path),
              "# mine\n[Default Applications]\ntext/plain=editor.desktop\n"
              "application/x-shockwave-flash=MyPlayer.desktop\nimage/png=viewer.desktop\n\n"
              "[Added Associations]\ntext/html=browser.desktop;\n");
}
