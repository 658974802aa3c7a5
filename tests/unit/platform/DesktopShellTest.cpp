// The desktop shell's question whether a program takes a document, asked of the real xdg-mime
// with the user's and the system's association files in scratch folders.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "platform/DesktopAssociation.h"
#include "platform/RealServices.h"
#include "platform/fake/FakePlatform.h"

using namespace zd::platform;

namespace {

bool writeText(const QString& path, const QByteArray& text) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

// The generic desktop, with no system-wide associations either.
class DesktopShellTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (QStandardPaths::findExecutable("xdg-mime").isEmpty())
            GTEST_SKIP() << "xdg-mime is not installed";
        for (const char* name : {"XDG_DATA_DIRS", "XDG_CONFIG_DIRS", "XDG_CURRENT_DESKTOP"})
            saved_.emplace_back(name, qgetenv(name));
        // The system's type database stays: it knows the compiled-help type.
        QFile::link(QStringLiteral("/usr/share/mime"), system_.filePath(QStringLiteral("mime")));
        qputenv("XDG_DATA_DIRS", system_.path().toLocal8Bit());
        qputenv("XDG_CONFIG_DIRS", system_.path().toLocal8Bit());
        qunsetenv("XDG_CURRENT_DESKTOP");
    }
    void TearDown() override {
        for (const auto& [name, value] : saved_) {
            if (value.isNull())
                qunsetenv(name);
            else
                qputenv(name, value);
        }
    }

    FakePlatform fake;
    QTemporaryDir system_;
    std::vector<std::pair<const char*, QByteArray>> saved_;
    DesktopShell shell;
};

}  // namespace

TEST_F(DesktopShellTest, AProgramTakesADocumentOnlyWhenTheDesktopNamesOne) {
    const QString help = fake.file("ZephyrDeck.chm");
    ASSERT_TRUE(writeText(help, "ITSF"));
    EXPECT_FALSE(shell.hasOpenerFor(help));

    // A default named for the compiled-help type, with its entry installed.
    ASSERT_TRUE(writeText(xdgDataHome() + "/applications/reader.desktop",
                          "[Desktop Entry]\nType=Application\nName=Reader\nExec=reader %f\n"
                          "MimeType=application/vnd.ms-htmlhelp;\n"));
    ASSERT_TRUE(writeText(xdgConfigHome() + "/mimeapps.list",
                          "[Default Applications]\napplication/vnd.ms-htmlhelp=reader.desktop\n"));
    EXPECT_TRUE(shell.hasOpenerFor(help));
    // Other types stay without one.
    const QString page = fake.file("help/index.html");
    ASSERT_TRUE(writeText(page, "<html></html>"));
    EXPECT_FALSE(shell.hasOpenerFor(page));
}

// The build ships the help pages beside the executable, each link leading to a shipped page.
TEST(HelpPages, ShipBesideTheExecutableWithTheirLinksWhole) {
    const QDir pages(QStringLiteral(ZD_BIN_DIR "/help"));
    ASSERT_TRUE(QFileInfo::exists(pages.filePath("index.html")));
    ASSERT_TRUE(QFileInfo::exists(QStringLiteral(ZD_BIN_DIR "/ZephyrDeck.chm")));
    const QRegularExpression link(QStringLiteral("href=\"([^\"#:]+)"));
    int links = 0;
    for (const QString& name : pages.entryList({"*.html"})) {
        QFile file(pages.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        for (auto match = link.globalMatch(text); match.hasNext(); ++links) {
            const QString target = match.next().captured(1);
            EXPECT_TRUE(QFileInfo::exists(pages.filePath(target)))
                << qPrintable(name + ": " + target);
        }
    }
    EXPECT_GE(links, 4);
}
