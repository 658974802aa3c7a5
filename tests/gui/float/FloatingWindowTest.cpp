// The floating drop window: its load, colour, mouse, menu, double click and the movies dropped
// on its picture, driven through the real windows offscreen with the platform faked.
#include <QToolTip>
#include <cmath>

#include "../../common/StoredList.h"
#include "FloatFixture.h"
#include "app/FlashControl.h"
#include "mainwindow/Form1.h"
#include "options/Dialog.h"
#include "options/ListFiles.h"
#include "popups/Form3.h"
#include "popups/PopupMenu.h"
#include "program/Functions.h"

using namespace zd;
using testing::FloatFixture;
using testing::TwoPartServer;

namespace {

const QString kDropTip = QStringLiteral("支持拖放URL");

// Records every tooltip the picture shows, in order.
class TipRecorder : public QObject {
  public:
    explicit TipRecorder(QWidget* widget) : widget_(widget) { widget->installEventFilter(this); }
    QStringList tips;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == widget_ && event->type() == QEvent::ToolTipChange)
            tips << widget_->toolTip();
        return false;
    }

  private:
    QWidget* widget_;
};

}  // namespace

class FloatingWindowTest : public QObject {
    Q_OBJECT
    FloatFixture f;

    // Press at `from` on `part`, then two moves with the left button held; the window follows
    // the mouse from the first move on.
    static void dragBy(QWidget* part, QPoint from, QPoint by) {
        FloatFixture::mouse(part, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
        FloatFixture::hover(part, from + QPoint(1, 1), Qt::LeftButton);
        const QPoint target = part->mapFromGlobal(part->mapToGlobal(from + QPoint(1, 1)) + by);
        FloatFixture::hover(part, target, Qt::LeftButton);
        FloatFixture::mouse(part, QEvent::MouseButtonRelease, target, Qt::LeftButton, Qt::NoButton);
    }

  private slots:
    void init() { f.setUp(); }
    void cleanup() { f.tearDown(); }

    void loadingShowsItOnTopTranslucentAtTheTopMiddle() {
        Form3& floating = form3();
        QVERIFY(floating.isVisible());
        QCOMPARE(floating.leftTwips(), 7680.0);
        QCOMPARE(floating.topTwips(), 0.0);
        QCOMPARE(floating.widthTwips(), 735.0);
        QCOMPARE(floating.heightTwips(), 750.0);
        QCOMPARE(qRound(floating.windowOpacity() * 255), 170);
        QVERIFY(floating.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QCOMPARE(floating.Image1->toolTip(), kDropTip);
        QCOMPARE(floating.Image1->picture().size(), QSize(48, 48));
        // Design colours while the setting is no number (its default text "label2").
        QCOMPARE(floating.Image1->backColor(), QColor(128, 128, 128));
        QCOMPARE(floating.backColor(), QColor(64, 64, 64));
        // The frame: top, left, right and bottom edges.
        QCOMPARE(floating.Line4->X1(), 5.0);
        QCOMPARE(floating.Line4->X2(), 720.0);
        QCOMPARE(floating.Line3->Y2(), 725.0);
        QCOMPARE(floating.Line1->X1(), 720.0);
        QCOMPARE(floating.Line2->Y1(), 727.0);
        QVERIFY(!floating.TmrProgress->enabled());
    }

    void theLeftEdgeIsTheRoundedScreenWidthHalved() {
        f.fake->setScreen(1023, 768, 15);  // 15345 twips
        QCOMPARE(form3().leftTwips(), 7672.0);
    }

    void loadedAndHiddenAtOnceStaysHidden() {
        form3().hide();
        f.settle();
        QVERIFY(form3().isHidden());
    }

    void theStoredColourPaintsThePictureAndTheWindow() {
        f.writeSettings("[Myapp7]\nlabel2=16711680\n");
        QCOMPARE(form3().Image1->backColor(), QColor(0, 0, 255));
        QCOMPARE(form3().backColor(), QColor(0, 0, 255));
    }

    void aColourThatIsNoColourLeavesTheDesignColours() {
        for (const char* stored : {"blue", "-5", "16777216", ""}) {
            f.writeSettings(QByteArray("[Myapp7]\nlabel2=") + stored + "\n");
            QCOMPARE(form3().Image1->backColor(), QColor(128, 128, 128));
            QCOMPARE(form3().backColor(), QColor(64, 64, 64));
            discardAllWindows();
        }
    }

    void theRightButtonReleaseOpensTheFloatingMenuBelowTheMouse() {
        Form3& floating = form3();
        f.mouse(floating.Image1, QEvent::MouseButtonRelease, QPoint(0, 0), Qt::RightButton,
                Qt::NoButton);
        PopupMenuForm* menu = loadedForm5();
        QVERIFY(menu && menu->isVisible());
        QCOMPARE(menu->leftTwips(), floating.leftTwips());
        QCOMPARE(menu->topTwips(), floating.topTwips() + 50);
        QCOMPARE(menu->menu[0]->caption(), QStringLiteral("打开主窗口"));
        QCOMPARE(menu->menu[14]->caption(), QStringLiteral("退出"));
        QCOMPARE(f.fake->sound.played.last(), platform::appFile("sound/menu.wav"));

        f.mouse(floating.Image1, QEvent::MouseButtonRelease, QPoint(10, 20), Qt::RightButton,
                Qt::NoButton);
        QCOMPARE(menu->leftTwips(), floating.leftTwips() + 150);
        QCOMPARE(menu->topTwips(), floating.topTwips() + 300 + 50);
    }

    void anyPressHidesTheMenuOnlyTheRightReleaseOpensIt() {
        Form3& floating = form3();
        for (Qt::MouseButton button : {Qt::RightButton, Qt::LeftButton, Qt::MiddleButton}) {
            f.mouse(floating.Image1, QEvent::MouseButtonRelease, QPoint(2, 2), Qt::RightButton,
                    Qt::NoButton);
            QVERIFY(form5().isVisible());
            f.mouse(floating.Image1, QEvent::MouseButtonPress, QPoint(2, 2), button, button);
            QVERIFY2(form5().isHidden(), qPrintable(QString::number(button)));
        }
        const qsizetype sounds = f.fake->sound.played.size();
        f.click(floating.Image1, Qt::LeftButton);
        f.click(floating.Image1, Qt::MiddleButton);
        QVERIFY(form5().isHidden());
        QCOMPARE(f.fake->sound.played.size(), sounds);
    }

    void theLeftButtonDragsTheWindow() {
        Form3& floating = form3();
        const QPoint start = floating.pos();
        dragBy(floating.Image1, QPoint(3, 3), QPoint(12, 7));
        QCOMPARE(floating.pos(), start + QPoint(12, 7));
        // Without a button held, or with the right one, it stays.
        f.hover(floating.Image1, QPoint(20, 20));
        f.hover(floating.Image1, QPoint(30, 30), Qt::RightButton);
        QCOMPARE(floating.pos(), start + QPoint(12, 7));
    }

    void aDoubleClickBringsBackTheMainWindowRestored() {
        Form1& main = form1();
        main.show();
        main.setWindowStateValue(Form::kMinimized);
        main.hide();
        Form3& floating = form3();
        f.mouse(floating.Image1, QEvent::MouseButtonDblClick, QPoint(5, 5), Qt::LeftButton,
                Qt::LeftButton);
        QVERIFY(main.isVisible());
        QCOMPARE(main.windowStateValue(), int(Form::kNormal));
        QVERIFY(floating.isHidden());
    }

    void droppedTextLoadsWithItsPercentageInTheTooltipAndLeavesTheLists() {
        Form1& main = form1();
        Form3& floating = form3();
        Dialog& options = dialog();
        const QStringList names = f.entries(options.List1);
        const QByteArray savedPaths = [] {
            QFile file(listfiles::pathsFilePath());
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        }();

        const QByteArray body = FloatFixture::movieBytes(10, 2000);
        // Just past 37 hundredths of the movie: 37 percent loaded.
        const auto firstPart = static_cast<qsizetype>(std::ceil(body.size() * 0.37));
        TwoPartServer server(body, firstPart);
        TipRecorder seen(floating.Image1);
        const auto drag = f.textDrag(server.url());
        QVERIFY(testing::dropOn(floating.Image1, drag.get()));
        QCOMPARE(main.SwFlash->movie(), server.url());
        QCOMPARE(options.TxtURL->text(), server.url());
        QVERIFY(floating.TmrProgress->enabled());
        QTRY_COMPARE(floating.Image1->toolTip(), QStringLiteral("37%"));

        server.sendRest();
        QTRY_COMPARE(floating.Image1->toolTip(), kDropTip);
        QVERIFY(!floating.TmrProgress->enabled());
        QCOMPARE(main.SwFlash->percentLoaded(), std::optional<qint32>(100));
        // Only percentages on the way, then the plain tip.
        QVERIFY(seen.tips.contains(QStringLiteral("37%")));
        QCOMPARE(seen.tips.last(), kDropTip);
        for (const QString& tip : seen.tips.mid(0, seen.tips.size() - 1))
            QVERIFY2(tip.endsWith('%'), qPrintable(tip));

        QCOMPARE(f.entries(options.List1), names);
        QFile file(listfiles::pathsFilePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), savedPaths);
    }

    void aLoadThatFailsStopsFollowingAndRestoresTheTip() {
        Form3& floating = form3();
        TwoPartServer missing(QByteArray(), 0);  // answers 404
        for (const QString& text :
             {missing.url(), f.movies->filePath(QStringLiteral("nowhere.swf"))}) {
            const auto drag = f.textDrag(text);
            QVERIFY(testing::dropOn(floating.Image1, drag.get()));
            QTRY_VERIFY(!floating.TmrProgress->enabled());
            QCOMPARE(floating.Image1->toolTip(), kDropTip);
        }
    }

    void aNewTextDropWhileLoadingFollowsTheNewMovie() {
        Form3& floating = form3();
        const QByteArray body = FloatFixture::movieBytes(10, 2000);
        TwoPartServer slow(body, body.size() / 2);
        const auto first = f.textDrag(slow.url());
        QVERIFY(testing::dropOn(floating.Image1, first.get()));
        QTRY_COMPARE(floating.Image1->toolTip(), QStringLiteral("%1%").arg(50));
        const QString local = f.movie(QStringLiteral("here.swf"));
        const auto second = f.textDrag(local);
        QVERIFY(testing::dropOn(floating.Image1, second.get()));
        QTRY_VERIFY(!floating.TmrProgress->enabled());
        QCOMPARE(floating.Image1->toolTip(), kDropTip);
        QCOMPARE(form1().SwFlash->movie(), local);
    }

    void droppedFilesGoThroughTheDropObjectIntoBothLists() {
        Form1& main = form1();
        Form3& floating = form3();
        Dialog& options = dialog();
        const QString first = f.movie(QStringLiteral("first.swf"));
        const QString second = f.movie(QStringLiteral("second.swf"));
        const int before = options.List1->listCount();
        const auto drag = f.filesDrag({first, second});
        QVERIFY(testing::dropOn(floating.Image1, drag.get()));
        QCOMPARE(options.TxtURL->text(), first);
        QCOMPARE(main.SwFlash->movie(), first);
        QCOMPARE(options.List1->listCount(), before + 1);
        QCOMPARE(options.List1->list(before), QStringLiteral("first.swf"));
        QCOMPARE(options.List2->list(before), first);
        // Saved: the file's sections end with the one past the last entry, left empty.
        QCOMPARE(zd::testing::storedList(listfiles::pathsFilePath(), "List2").last(2),
                 (QStringList{first, QString()}));
        QCOMPARE(options.Text6->text(), QString::number(before + 1));
        // The file's name, also carried as text, is not loaded a second time as text.
        QVERIFY(!floating.TmrProgress->enabled());

        // No duplicate check here: the same file again is listed again.
        QVERIFY(testing::dropOn(floating.Image1, drag.get()));
        QCOMPARE(f.entries(options.List2).mid(before), (QStringList{first, first}));
    }

    void dataWithoutTextIsRefused() {
        Form1& main = form1();
        Form3& floating = form3();
        QMimeData link;  // an address without a text copy
        link.setUrls({QUrl(QStringLiteral("http://127.0.0.1:9/a.swf"))});
        QVERIFY(!testing::dropOn(floating.Image1, &link));
        QMimeData picture;
        picture.setData(QStringLiteral("image/png"), QByteArray("\x89PNG"));
        QVERIFY(!testing::dropOn(floating.Image1, &picture));
        QCOMPARE(main.SwFlash->movie(), QString());
        QVERIFY(!floating.TmrProgress->enabled());
    }
};

QTEST_MAIN(FloatingWindowTest)
#include "FloatingWindowTest.moc"
