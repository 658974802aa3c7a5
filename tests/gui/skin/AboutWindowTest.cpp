// The about window: centred, its gradient panels, the close button's looks and closing, and
// which parts drag the window.
#include <QtTest>

#include "SkinFixture.h"
#include "popups/FrmHelp.h"
#include "popups/FrmSplash.h"

using namespace zd;

class AboutWindowTest : public QObject {
    Q_OBJECT

    testing::SkinFixture f;

    static QColor bottomOf(PictureBox* box) {
        return testing::SkinFixture::painted(box, 2, box->height() - 1);
    }
    static QColor topOf(PictureBox* box) { return testing::SkinFixture::painted(box, 2, 0); }
    // The close button's face is lit from one side: from the top while pressed, else from the
    // bottom.
    static bool litFromTop(PictureBox* button) {
        const QImage& face = button->canvas();
        return face.pixelColor(2, 1).lightness() >
               face.pixelColor(2, face.height() - 2).lightness();
    }

    // Press at `from` on `part`, then two moves with the left button held; the window follows
    // the mouse from the first move on.
    static void dragBy(QWidget* part, QPoint from, QPoint by) {
        using F = testing::SkinFixture;
        F::mouse(part, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
        F::hover(part, from + QPoint(1, 1), Qt::LeftButton);
        // The window moved meanwhile: the mouse's place in the part is taken from the screen.
        const QPoint target = part->mapFromGlobal(part->mapToGlobal(from + QPoint(1, 1)) + by);
        F::hover(part, target, Qt::LeftButton);
        F::mouse(part, QEvent::MouseButtonRelease, target, Qt::LeftButton, Qt::NoButton);
    }

  private slots:
    void init() { f.setUp(); }
    void cleanup() { f.tearDown(); }

    void loadCentresTheWindowAndPaintsItsPanels() {
        FrmHelp& about = frmHelp();
        QCOMPARE(about.leftTwips(), (1024 * 15 - 5805) / 2.0);
        QCOMPARE(about.topTwips(), (768 * 15 - 3990) / 2.0);
        const QColor light(204, 219, 237);
        QCOMPARE(topOf(about.Pic1), light);
        QVERIFY(bottomOf(about.Pic1) != light);
        QCOMPARE(bottomOf(about.Pic2), light);
        QVERIFY(topOf(about.Pic2) != light);
        QVERIFY(!litFromTop(about.PicButton1));
        QVERIFY(about.Label1->isHidden());
        QCOMPARE(about.Label2->text(), QStringLiteral("关于Quillon的ZephyrDeck Flash播放器"));
        QVERIFY(about.Label2->font().bold());
        QCOMPARE(about.Picture1->picture().size(), QSize(338, 209));
        QCOMPARE(about.Image1->picture().size(), QSize(129, 30));
        // The artwork lies over both panels.
        QCOMPARE(about.childAt(toPixelsX(2000), toPixelsY(1925)), about.Picture1);
    }

    void theCloseButtonLooks() {
        FrmHelp& about = frmHelp();
        about.show();
        const QImage normal = about.PicButton1->canvas();
        f.hover(about.PicButton1);
        const QImage hovered = about.PicButton1->canvas();
        QVERIFY(hovered != normal);
        QVERIFY(!litFromTop(about.PicButton1));
        QVERIFY(about.Label1->isVisibleTo(&about));
        f.press(about.PicButton1);
        QVERIFY(about.PicButton1->canvas() != hovered);
        QVERIFY(litFromTop(about.PicButton1));
        // Released elsewhere: only the normal look comes back; the window stays.
        f.mouse(about.PicButton1, QEvent::MouseButtonRelease, QPoint(-40, 40), Qt::LeftButton,
                Qt::NoButton);
        QCOMPARE(about.PicButton1->canvas(), normal);
        QVERIFY(loadedFrmHelp());
        QVERIFY(f.fake->sound.played.isEmpty());
        // Back over the upper panel: the label goes.
        f.hover(about.PicButton1);
        QCOMPARE(about.PicButton1->canvas(), hovered);
        f.hover(about.Pic1, QPoint(20, 60));
        QVERIFY(about.Label1->isHidden());
        QCOMPARE(about.PicButton1->canvas(), normal);
    }

    void aClickOnTheCloseButtonPlaysTheSoundAndCloses() {
        FrmHelp& about = frmHelp();
        about.show();
        f.click(about.PicButton1);
        QCOMPARE(f.fake->sound.played, QStringList{f.fake->file("sound/ok.wav")});
        QVERIFY(loadedFrmHelp() == nullptr);
        f.settle();
        // The next one is loaded afresh, painted again.
        QCOMPARE(topOf(frmHelp().Pic1), QColor(204, 219, 237));
    }

    void thePanelsTheArtworkAndTheTitleDragTheWindowTheCloseButtonDoesNot() {
        FrmHelp& about = frmHelp();
        about.show();
        QPoint expected = about.pos();
        for (QWidget* part :
             {static_cast<QWidget*>(about.Pic1), static_cast<QWidget*>(about.Pic2),
              static_cast<QWidget*>(about.Picture1), static_cast<QWidget*>(about.Label2)}) {
            dragBy(part, QPoint(3, 3), QPoint(12, 7));
            expected += QPoint(12, 7);
            QVERIFY2(about.pos() == expected, qPrintable(part->objectName()));
        }
        dragBy(about.PicButton1, QPoint(3, 3), QPoint(12, 7));
        dragBy(about.Image1, QPoint(3, 3), QPoint(12, 7));
        QCOMPARE(about.pos(), expected);
        // Moves without the button do not drag.
        f.hover(about.Pic1, QPoint(10, 10));
        f.hover(about.Pic1, QPoint(30, 30));
        QCOMPARE(about.pos(), expected);
    }

    void theSplashBorrowsTheArtwork() {
        // The start-up's splash shows the about window's picture: that loads it, hidden.
        form1();
        QVERIFY(loadedFrmHelp());
        QVERIFY(!loadedFrmHelp()->isVisible());
        FrmSplash splash;
        splash.Main(loadedFrmHelp()->Picture1->picture());
        QCOMPARE(splash.Image1->picture().toImage(),
                 loadedFrmHelp()->Picture1->picture().toImage());
        QVERIFY(!splash.isVisible());
    }
};

QTEST_MAIN(AboutWindowTest)
#include "AboutWindowTest.moc"
