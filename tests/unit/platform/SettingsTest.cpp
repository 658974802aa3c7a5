#include <gtest/gtest.h>

#include <QFile>

#include "app/Settings.h"
#include "platform/fake/FakePlatform.h"

TEST(Settings, LivesBesideTheExecutableAndDefaultsToTheKeyName) {
    zd::platform::FakePlatform fake;
    EXPECT_EQ(zd::settings::filePath(), fake.file("Settings.Tov"));
    EXPECT_EQ(zd::settings::read("Myapp9", "Text3"), "Text3");
    EXPECT_EQ(zd::settings::read("Myapp6", "label1"), "label1");
    EXPECT_FALSE(QFile::exists(fake.file("Settings.Tov")));  // reads never create the file
}

TEST(Settings, WrittenAndReadUnderTheTwoSpellingsOfASection) {
    zd::platform::FakePlatform fake;
    ASSERT_TRUE(zd::settings::write("MyApp6", "label1", "200"));
    ASSERT_TRUE(zd::settings::write("MyApp7", "label2", "16711680"));
    EXPECT_EQ(zd::settings::read("Myapp6", "label1"), "200");
    EXPECT_EQ(zd::settings::read("Myapp7", "label2"), "16711680");
    ASSERT_TRUE(zd::settings::write("MyApp6", "label1", "0"));
    EXPECT_EQ(zd::settings::read("Myapp6", "label1"), "0");
}
