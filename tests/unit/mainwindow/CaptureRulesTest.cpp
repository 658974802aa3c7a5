#include <gtest/gtest.h>

#include <QFile>
#include <QSet>
#include <QTemporaryDir>

#include "app/Settings.h"
#include "mainwindow/CaptureRules.h"

using namespace zd::capture;

TEST(CaptureRules, TheUpperEightNinthsOfTheWindowRoundedToTheNearestPixel) {
    EXPECT_EQ(capturedHeight(900), 800);
    EXPECT_EQ(capturedHeight(10), 9);     // 8.89
    EXPECT_EQ(capturedHeight(768), 683);  // 682.67
    EXPECT_EQ(capturedHeight(13), 12);    // 11.56
    EXPECT_EQ(capturedHeight(4), 4);      // 3.56
    EXPECT_EQ(capturedHeight(1), 1);      // 0.89
    EXPECT_EQ(capturedHeight(0), 0);
}

TEST(CaptureRules, TheCounterIsANumberOrNot) {
    EXPECT_EQ(zd::settings::number(QStringLiteral("7")), 7.0);
    EXPECT_EQ(zd::settings::number(QStringLiteral(" 12 ")), 12.0);
    EXPECT_EQ(zd::settings::number(QStringLiteral("7.5")), 7.5);
    EXPECT_EQ(zd::settings::number(QStringLiteral("-3")), -3.0);
    EXPECT_EQ(zd::settings::number(QStringLiteral("Text3")), std::nullopt);
    EXPECT_EQ(zd::settings::number(QString()), std::nullopt);
    EXPECT_EQ(zd::settings::number(QStringLiteral("7a")), std::nullopt);
    EXPECT_EQ(zd::settings::number(QStringLiteral("inf")), std::nullopt);
    EXPECT_EQ(zd::settings::number(QStringLiteral("nan")), std::nullopt);
    EXPECT_EQ(counterText(8), QStringLiteral("8"));
    EXPECT_EQ(counterText(8.5), QStringLiteral("8.5"));
    EXPECT_EQ(counterText(-0.0), QStringLiteral("0"));
    EXPECT_EQ(counterText(123456789), QStringLiteral("123456789"));
}

TEST(CaptureRules, TheCounterNamesTheFileAndThenAdvances) {
    const auto nothingTaken = [](const QString&) { return false; };
    const CaptureName name =
        nextCaptureName(QStringLiteral("/pics"), QStringLiteral("7"), nothingTaken);
    EXPECT_EQ(name.path, QStringLiteral("/pics/7.bmp"));
    EXPECT_EQ(name.nextCounter, QStringLiteral("8"));
    // The folder is used as it stands.
    EXPECT_EQ(nextCaptureName(QStringLiteral("/pics/"), QStringLiteral("7"), nothingTaken).path,
              QStringLiteral("/pics//7.bmp"));
    EXPECT_EQ(nextCaptureName(QStringLiteral("/p"), QStringLiteral(" 2.5"), nothingTaken).path,
              QStringLiteral("/p/2.5.bmp"));
}

TEST(CaptureRules, TakenNumbersAreSkippedAndTheCounterContinuesAfterTheOneUsed) {
    const QSet<QString> taken{QStringLiteral("/p/7.bmp"), QStringLiteral("/p/8.bmp"),
                              QStringLiteral("/p/10.bmp"), QStringLiteral("/p/0.bmp")};
    const auto isTaken = [&taken](const QString& path) { return taken.contains(path); };
    CaptureName name = nextCaptureName(QStringLiteral("/p"), QStringLiteral("7"), isTaken);
    EXPECT_EQ(name.path, QStringLiteral("/p/9.bmp"));
    EXPECT_EQ(name.nextCounter, QStringLiteral("10"));
    name = nextCaptureName(QStringLiteral("/p"), name.nextCounter, isTaken);
    EXPECT_EQ(name.path, QStringLiteral("/p/11.bmp"));
    // No number: the first free one from 0.
    name = nextCaptureName(QStringLiteral("/p"), QStringLiteral("Text3"), isTaken);
    EXPECT_EQ(name.path, QStringLiteral("/p/1.bmp"));
    EXPECT_EQ(name.nextCounter, QStringLiteral("2"));
}

TEST(CaptureRules, AHugeCounterEndsTheSearch) {
    // Where adding one changes nothing the search stops; the file is then not written anew.
    int asked = 0;
    const CaptureName name =
        nextCaptureName(QStringLiteral("/p"), QStringLiteral("1e300"), [&asked](const QString&) {
            ++asked;
            return true;
        });
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(name.path, QStringLiteral("/p/1e+300.bmp"));
}

TEST(CaptureRules, OnlyAFolderThatIsThereTakesThePictures) {
    QTemporaryDir dir;
    EXPECT_TRUE(isUsableFolder(dir.path()));
    EXPECT_FALSE(isUsableFolder(QString()));
    EXPECT_FALSE(isUsableFolder(QStringLiteral("Text8")));  // a first start's stored text
    EXPECT_FALSE(isUsableFolder(dir.filePath(QStringLiteral("gone"))));
    QFile file(dir.filePath(QStringLiteral("a file")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    EXPECT_FALSE(isUsableFolder(file.fileName()));
}
