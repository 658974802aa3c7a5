// The options in one object: how stored texts read as control values, where each lives in the
// settings file, and that changes are announced.
#include <gtest/gtest.h>

#include <QFile>
#include <vector>

#include "app/Preferences.h"
#include "app/Settings.h"
#include "platform/fake/FakePlatform.h"

using zd::Preferences;
using Item = zd::Preferences::Item;

TEST(Preferences, MissingKeysTickTheBoxesAndLeaveTheSliders) {
    zd::platform::FakePlatform fake;
    Preferences prefs;
    prefs.loadOptions();
    prefs.loadAdvanced();
    // A missing key reads back as its own name.
    EXPECT_EQ(prefs.text(Item::SkinRed), "Text1");
    EXPECT_EQ(prefs.text(Item::SkinTopDown), "Text4");
    EXPECT_EQ(prefs.text(Item::WhiteBackground), "Text7");
    EXPECT_EQ(prefs.captureFolder(), "Text8");
    EXPECT_EQ(prefs.text(Item::MenuOpacity), "label1");
    EXPECT_EQ(prefs.skinPart(Item::SkinRed), std::nullopt);
    EXPECT_EQ(prefs.tick(Item::SkinTopDown), true);
    EXPECT_EQ(prefs.tick(Item::WhiteBackground), true);
    EXPECT_EQ(prefs.menuOpacity(), 245);
    EXPECT_EQ(prefs.menuOpacityPosition(), std::nullopt);
    EXPECT_EQ(prefs.floatingColour(), std::nullopt);
}

TEST(Preferences, ZeroAndOneSetTheBoxesOtherNumbersLeaveThem) {
    Preferences prefs;
    const std::pair<const char*, std::optional<bool>> cases[] = {
        {"0", false}, {" 1 ", true}, {"1.0", true}, {"2", std::nullopt}, {"-1", std::nullopt}};
    for (const auto& [text, ticked] : cases) {
        prefs.setText(Item::SkinTopDown, QString::fromLatin1(text));
        EXPECT_EQ(prefs.tick(Item::SkinTopDown), ticked) << text;
    }
}

TEST(Preferences, SlidersTakeTheNearestWholeNumberWithinTheirRange) {
    Preferences prefs;
    const std::pair<const char*, std::optional<int>> cases[] = {{"12", 12},
                                                                {" 200 ", 200},
                                                                {"2.5", 2} /* halves to even */,
                                                                {"3.5", 4},
                                                                {"255", 255},
                                                                {"256", std::nullopt},
                                                                {"-1", std::nullopt},
                                                                {"1e300", std::nullopt},
                                                                {"nan", std::nullopt},
                                                                {"12abc", std::nullopt}};
    for (const auto& [text, position] : cases) {
        prefs.setText(Item::SkinGreen, QString::fromLatin1(text));
        EXPECT_EQ(prefs.skinPart(Item::SkinGreen), position) << text;
    }
}

TEST(Preferences, MenuOpacityIsAWholeNumberFrom0To255ElseTheDefault) {
    Preferences prefs;
    const std::pair<const char*, int> cases[] = {{"0", 0},      {"255", 255}, {"128", 128},
                                                 {"256", 245},  {"-1", 245},  {"label1", 245},
                                                 {"12.5", 245}, {"", 245}};
    for (const auto& [text, opacity] : cases) {
        prefs.setText(Item::MenuOpacity, QString::fromLatin1(text));
        EXPECT_EQ(prefs.menuOpacity(), opacity) << text;
    }
    // The slider rounds what the menus refuse.
    prefs.setText(Item::MenuOpacity, QStringLiteral("12.5"));
    EXPECT_EQ(prefs.menuOpacityPosition(), 12);
}

TEST(Preferences, FloatingColourIsStoredAsRedGreenBlueFromTheLowByteUp) {
    Preferences prefs;
    prefs.setFloatingColour(QColor(1, 2, 3));
    EXPECT_EQ(prefs.text(Item::FloatingColour), QString::number(1 + 2 * 256 + 3 * 65536));
    EXPECT_EQ(prefs.floatingColour(), QColor(1, 2, 3));
}

TEST(Preferences, SavedUnderMyAppAndReadBackUnderMyapp) {
    zd::platform::FakePlatform fake;
    Preferences prefs;
    prefs.setSkinPart(Item::SkinRed, 10);
    prefs.setSkinPart(Item::SkinGreen, 20);
    prefs.setSkinPart(Item::SkinBlue, 30);
    prefs.setTick(Item::SkinTopDown, false);
    prefs.saveSkin();
    prefs.setCaptureFolder(QStringLiteral("/home/me/抓图"));
    prefs.setTick(Item::WhiteBackground, true);
    prefs.savePlayPage();
    prefs.setMenuOpacity(200);
    prefs.setFloatingColour(QColor(0, 0, 255));
    prefs.saveAdvanced();
    QFile file(fake.file("Settings.Tov"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray stored = file.readAll();
    for (const char* section :
         {"[MyApp1]", "[MyApp4]", "[MyApp5]", "[MyApp6]", "[MyApp7]", "[MyApp8]"})
        EXPECT_TRUE(stored.contains(section)) << section;
    EXPECT_EQ(zd::settings::read("Myapp1", "Text1"), "10");
    EXPECT_EQ(zd::settings::read("Myapp3", "Text3"), "30");
    EXPECT_EQ(zd::settings::read("Myapp4", "Text4"), "0");
    EXPECT_EQ(zd::settings::read("Myapp8", "Text8"), "/home/me/抓图");
    EXPECT_EQ(zd::settings::read("Myapp6", "label1"), "200");
    EXPECT_EQ(zd::settings::read("Myapp7", "label2"), "16711680");

    Preferences again;
    again.loadOptions();
    again.loadAdvanced();
    EXPECT_EQ(again.skinPart(Item::SkinGreen), 20);
    EXPECT_EQ(again.tick(Item::SkinTopDown), false);
    EXPECT_EQ(again.captureFolder(), "/home/me/抓图");
    EXPECT_EQ(again.menuOpacity(), 200);
    EXPECT_EQ(again.floatingColour(), QColor(0, 0, 255));
}

TEST(Preferences, EachGroupWritesOnlyItsOwnKeys) {
    zd::platform::FakePlatform fake;
    Preferences prefs;
    prefs.setSkinPart(Item::SkinRed, 10);
    prefs.setMenuOpacity(9);
    prefs.savePlayPage();
    EXPECT_EQ(zd::settings::read("Myapp1", "Text1"), "Text1");
    EXPECT_EQ(zd::settings::read("Myapp6", "label1"), "label1");
    // What was never read nor set is written back as read: the key's own name.
    EXPECT_EQ(zd::settings::read("Myapp8", "Text8"), "Text8");
}

TEST(Preferences, AChangeIsAnnouncedOnceAndOnlyWhenTheValueDiffers) {
    Preferences prefs;
    std::vector<Item> changed;
    QObject::connect(&prefs, &Preferences::changed, [&](Item item) { changed.push_back(item); });
    prefs.setSkinPart(Item::SkinBlue, 7);
    prefs.setSkinPart(Item::SkinBlue, 7);
    prefs.setCaptureFolder(QStringLiteral("/x"));
    EXPECT_EQ(changed, (std::vector<Item>{Item::SkinBlue, Item::CaptureFolder}));
}
