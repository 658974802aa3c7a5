// The texts of the windows show whole at their design sizes, in the Song face standing in for
// 宋体, and the about window's close button looks like a button.
#include <QFontInfo>
#include <QFontMetrics>
#include <QtTest>

#include "SkinFixture.h"
#include "app/MenuItems.h"
#include "mainwindow/Form1.h"
#include "popups/FrmHelp.h"
#include "popups/PopupMenu.h"
#include "program/Fonts.h"

using namespace zd;

namespace {

// The label's text, drawn as the label draws it, lies inside the label and inside every
// container up to its window.
bool showsWhole(const LabelControl* label) {
    const int flags =
        static_cast<int>(label->alignment()) | (label->wordWrap() ? Qt::TextWordWrap : 0);
    const QRect text = QFontMetrics(label->shownFont())
                           .boundingRect(QRect(0, 0, label->width(), 100000), flags, label->text());
    if (text.width() > label->width() || text.height() > label->height())
        return false;
    // Not cut by a container either.
    for (const QWidget* w = label->parentWidget(); w; w = w->parentWidget()) {
        const QRect there(label->mapTo(w, text.topLeft()), text.size());
        if (!w->rect().contains(there))
            return false;
        if (w->isWindow())
            break;
    }
    return true;
}

}  // namespace

class TextsShowWholeTest : public QObject {
    Q_OBJECT

    testing::SkinFixture f;

  private slots:
    void initTestCase() { installFontSubstitutes(); }
    void init() { f.setUp(); }
    void cleanup() { f.tearDown(); }

    void songIsASongFace() {
        QCOMPARE(QFontInfo(QFont(QStringLiteral("宋体"), 9)).family(),
                 QStringLiteral("AR PL UMing CN"));
        QCOMPARE(QFontInfo(QFont(QStringLiteral("宋体-18030"), 9)).family(),
                 QStringLiteral("AR PL UMing CN"));
    }

    void theFrameCounterShowsItsUnit() {
        Form1& main = form1();
        main.show();
        main.Label1->setCaption(QStringLiteral("第161"));
        main.Label2->setCaption(QStringLiteral("/162帧"));
        QVERIFY(showsWhole(main.Label1));
        QVERIFY(showsWhole(main.Label2));
        // Larger counts too, and at twice the window's size.
        main.Label2->setCaption(QStringLiteral("/32767帧"));
        QVERIFY(showsWhole(main.Label2));
        setTwipsGeometry(&main, {0, 0, 10500, 10590});
        QVERIFY(showsWhole(main.Label2));
    }

    void theAboutWindowsTextsShowWhole() {
        FrmHelp& about = frmHelp();
        about.show();
        about.PicButton1_MouseMove();  // "关闭" shows under the button
        QVERIFY(about.Label1->isVisible());
        QVERIFY(showsWhole(about.Label1));
        QVERIFY(showsWhole(about.Label2));
    }

    void theMenuBannerShowsTheWholeName() {
        Form1& main = form1();
        main.show();
        for (PopupMenuForm* menu : {&form4(), &form5()}) {
            menu->showMenu(&main, menu == &form4() ? menuitems::panel() : menuitems::floating(), 0,
                           0, 1950);
            QVERIFY2(showsWhole(menu->Label1), qPrintable(menu->objectName()));
            menu->PopupMenuCommand(-1);
        }
    }

    void theCloseButtonIsNoDarkSquare() {
        FrmHelp& about = frmHelp();
        const QImage face = about.PicButton1->canvas();
        // Light on the whole, as the panel around it.
        qint64 lightness = 0;
        for (int y = 0; y < face.height(); ++y)
            for (int x = 0; x < face.width(); ++x)
                lightness += face.pixelColor(x, y).lightness();
        QVERIFY(lightness / (face.width() * face.height()) > 150);
        // A red cross through its middle, as the label under it.
        const QColor middle = face.pixelColor(face.width() / 2, face.height() / 2);
        QVERIFY(middle.red() > 120 && middle.green() < 80 && middle.blue() < 80);
        // Pressed and hovered it stays a light button with its cross.
        about.PicButton1_MouseDown();
        QVERIFY(about.PicButton1->canvas().pixelColor(1, face.height() - 2).lightness() > 150);
    }
};

QTEST_MAIN(TextsShowWholeTest)
#include "TextsShowWholeTest.moc"
