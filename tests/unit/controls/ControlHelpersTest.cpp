#include <gtest/gtest.h>

#include "controls/ClassicEvents.h"
#include "controls/NineSlice.h"
#include "controls/PropertyBag.h"
#include "controls/xpcheckbox.h"

using namespace zd::controls;

TEST(ClassicEvents, KeyCodesFollowTheVirtualKeyTable) {
    EXPECT_EQ(classicKeyCode(Qt::Key_A), 65);
    EXPECT_EQ(classicKeyCode(Qt::Key_Z), 90);
    EXPECT_EQ(classicKeyCode(Qt::Key_0), 48);
    EXPECT_EQ(classicKeyCode(Qt::Key_Space), 32);
    EXPECT_EQ(classicKeyCode(Qt::Key_Return), 13);
    EXPECT_EQ(classicKeyCode(Qt::Key_Enter, Qt::KeypadModifier), 13);
    EXPECT_EQ(classicKeyCode(Qt::Key_Escape), 27);
    EXPECT_EQ(classicKeyCode(Qt::Key_Left), 37);
    EXPECT_EQ(classicKeyCode(Qt::Key_Down), 40);
    EXPECT_EQ(classicKeyCode(Qt::Key_Delete), 46);
    EXPECT_EQ(classicKeyCode(Qt::Key_F1), 112);
    EXPECT_EQ(classicKeyCode(Qt::Key_F12), 123);
    EXPECT_EQ(classicKeyCode(Qt::Key_5, Qt::KeypadModifier), 101);
    EXPECT_EQ(classicKeyCode(Qt::Key_Plus, Qt::KeypadModifier), 107);
    EXPECT_EQ(classicKeyCode(Qt::Key_Plus), 187);
    EXPECT_EQ(classicKeyCode(Qt::Key_Exclam), 49);  // Shift+1
    EXPECT_EQ(classicKeyCode(Qt::Key_Semicolon), 186);
    EXPECT_EQ(classicKeyCode(Qt::Key_VolumeUp), 0);
}

TEST(ClassicEvents, ShiftStateAndButtonsAreBitSums) {
    EXPECT_EQ(classicShiftState(Qt::NoModifier), 0);
    EXPECT_EQ(classicShiftState(Qt::ShiftModifier | Qt::AltModifier), 5);
    EXPECT_EQ(classicShiftState(Qt::ControlModifier | Qt::KeypadModifier), 2);
    EXPECT_EQ(classicButtons(Qt::LeftButton), 1);
    EXPECT_EQ(classicButtons(Qt::RightButton | Qt::MiddleButton), 6);
    EXPECT_EQ(classicButtons(Qt::NoButton), 0);
}

TEST(ClassicEvents, KeyAsciiIsTheTypedCharacter) {
    EXPECT_EQ(classicKeyAscii(QString()), 0);
    EXPECT_EQ(classicKeyAscii(QStringLiteral("\r")), 13);
    EXPECT_EQ(classicKeyAscii(QStringLiteral("a")), 97);
    EXPECT_EQ(classicKeyAscii(QStringLiteral("中")), qint16(0x4E2D));
}

TEST(PropertyBag, DefaultsAreNotStoredAndReadBack) {
    PropertyBag bag;
    EXPECT_EQ(bag.read("State", 0).toInt(), 0);
    bag.write("State", 1, 0);
    bag.write("Enabled", true, true);
    bag.write("Caption", "关闭", "Command2");
    EXPECT_EQ(bag.names(), QStringList({"State", "Caption"}));
    EXPECT_EQ(bag.read("State", 0).toInt(), 1);
    EXPECT_EQ(bag.read("Enabled", false).toBool(), false);  // absent: the reader's default
    bag.write("State", 0, 0);                               // back to its default: dropped
    EXPECT_FALSE(bag.contains("State"));
    EXPECT_EQ(bag.read("Caption", "x").toString(), QStringLiteral("关闭"));
}

TEST(NineSlice, SmallFacesGiveNoNegativePieces) {
    for (const auto& part : nineSliceParts(4, 2)) {
        EXPECT_GE(part.target.width(), 0);
        EXPECT_GE(part.target.height(), 0);
    }
    const auto parts = nineSliceParts(100, 30);
    int area = 0;
    for (const auto& part : parts) {
        area += part.target.width() * part.target.height();
    }
    EXPECT_EQ(area, 100 * 30);  // the pieces tile the face exactly
}

TEST(XpCheckBoxLayout, CentresByWholeTwips) {
    // 255 twips high at 15 twips a pixel: (255 - 240) \ 2 = 7 twips, under half a pixel.
    XpCheckBoxLayout l = xpCheckBoxLayout(17, 13, 15.0);
    EXPECT_EQ(l.box, QRect(0, 0, 16, 16));
    EXPECT_EQ(l.caption, QPoint(32, 2));  // (255 - 195) \ 2 = 30 twips
    l = xpCheckBoxLayout(30, 16, 15.0);
    EXPECT_EQ(l.box.top(), 7);           // (450 - 240) \ 2 = 105 twips
    EXPECT_EQ(l.caption.y(), 7);         // (450 - 240) \ 2
    l = xpCheckBoxLayout(20, 13, 12.0);  // 120 dpi
    EXPECT_EQ(l.box, QRect(0, 0, 20, 20));
    EXPECT_EQ(l.caption, QPoint(40, 4));  // (240 - 156) \ 2 = 42 twips, 3.5 pixels rounds up
    l = xpCheckBoxLayout(10, 13, 15.0);   // shorter than the box: both rise above the top
    EXPECT_LT(l.box.top(), 0);
}
