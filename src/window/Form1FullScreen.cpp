// Full-screen mode: the movie over the whole screen and the panel as a control bar along the
// bottom edge that comes when the cursor moves, goes about two seconds later and can be locked.
#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <functional>

#include "app/FlashControl.h"
#include "controls/FlatScrollBar.h"
#include "platform/Services.h"
#include "window/Form1.h"

namespace zd {

namespace {

// Timerfull's first tick comes this soon after it is switched on, the later ones a second apart.
constexpr int kBarFirstTickMs = 10;
constexpr int kBarTickMs = 1000;
// The tick of the bar's hiding.
constexpr qint16 kHidingTick = 3;

// Runs its callback on every cursor move the program sees; in full screen the window covers
// the screen, so that is every move.
class CursorMoveWatch : public QObject {
  public:
    CursorMoveWatch(QObject* parent, std::function<void()> moved)
        : QObject(parent), moved_(std::move(moved)) {
        qApp->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        // Each move reaches a top-level window once before it goes on to the widgets.
        if (event->type() == QEvent::MouseMove && watched->isWindowType())
            moved_();
        return false;
    }

  private:
    std::function<void()> moved_;
};

// The cursor position as the hidden sample boxes hold it: each number with its sign place, a
// blank for a non-negative one (" 512 384").
QString cursorSampleText(QPoint position) {
    auto part = [](int v) {
        return v < 0 ? QString::number(v) : QLatin1Char(' ') + QString::number(v);
    };
    return part(position.x()) + part(position.y());
}

struct ScreenTwips {
    double width;
    double height;
};

ScreenTwips screenTwips() {
    const platform::ScreenMetrics screen = platform::screenMetrics();
    return {screen.widthTwips(), screen.heightTwips()};
}

}  // namespace

void Form1::connectFullScreen() {
    connect(ImageFullScreen->events(), &MouseEventSource::click, this,
            &Form1::ImageFullScreen_Click);
    connect(ImageResume->events(), &MouseEventSource::click, this, &Form1::ImageResume_Click);
    connect(ImaListBar1->events(), &MouseEventSource::click, this, &Form1::ImaListBar1_Click);
    connect(ImaListBar2->events(), &MouseEventSource::click, this, &Form1::ImaListBar2_Click);
    connect(ImaListBar1->events(), &MouseEventSource::mouseMove, this,
            &Form1::ImaListBar_MouseMove);
    connect(ImaListBar2->events(), &MouseEventSource::mouseMove, this,
            &Form1::ImaListBar_MouseMove);
    connect(Timerfull, &QTimer::timeout, this, &Form1::Timerfull_Timer);
    connect(TmrIfMove2, &QTimer::timeout, this, &Form1::TmrIfMove2_Timer);
    new CursorMoveWatch(this, [this] { TmrIfMove1_Timer(); });
    // The bar's overlapping pieces stack as designed, the earlier on top: with both lock
    // images showing, the lock (ImaListBar1) is the one clicked.
    for (QWidget* piece : {static_cast<QWidget*>(ImaListBar2), static_cast<QWidget*>(ImaListBar1),
                           static_cast<QWidget*>(ImageResume), static_cast<QWidget*>(ImgCapture),
                           static_cast<QWidget*>(HScroll1), static_cast<QWidget*>(Scroll)})
        piece->raise();
}

bool Form1::isFullScreen() const {
    const TwipRect movie = twipsGeometry(SwFlash);
    return movie.left == 0 && movie.top == 0;
}

void Form1::ImageFullScreen_Click() {
    platform::playAppSound(QStringLiteral("sound/menu.wav"));
    const TwipRect movie = twipsGeometry(SwFlash);
    SavedFlashRect = SavedRect{static_cast<float>(movie.left), static_cast<float>(movie.top),
                               static_cast<float>(movie.height), static_cast<float>(movie.width)};
    SavedScrollLeft = static_cast<float>(twipsGeometry(Scroll).left);
    SavedWindowRect =
        SavedRect{static_cast<float>(leftTwips()), static_cast<float>(topTwips()),
                  static_cast<float>(heightTwips()), static_cast<float>(widthTwips())};
    const auto [W, H] = screenTwips();
    setLeftTwips(0);
    setTopTwips(0);
    setHeightTwips(H);
    setWidthTwips(W);
    // And the window system's full-screen state, so a window manager keeps no panel above the
    // window. Only after the geometry: a window manager may drop the state when the window
    // resizes itself.
    platform::windowSystem().setFullScreen(this, true);
    setTwipsGeometry(SwFlash, {0, 0, W, H - H / 1125});
    ImageMin->hide();
    ImageMax->hide();
    ImageClose->hide();
    Picture1->hide();
    // The panel starts just below the movie, practically off the screen.
    zd::setTopTwips(PicMove, twipsGeometry(SwFlash).height);
    PicMove->setBackColor(Qt::black);
    ImaListBar1->show();
    ImaListBar2->show();
    ImgCapture->show();
    zd::setLeftTwips(Scroll, W / 13.5);
    zd::setTopTwips(HScroll1, W / 16);
    paintSkin();
    // The bar comes with the first cursor move.
    startMovementDetection();
}

void Form1::ImageResume_Click() {
    platform::playAppSound(QStringLiteral("sound/menu.wav"));
    Timerfull->setInterval(kBarFirstTickMs);
    Timerfull->setEnabled(false);
    // Out of the window system's full-screen state before the window takes its old place, so
    // what the window manager restores is overridden by it.
    platform::windowSystem().setFullScreen(this, false);
    if (SavedWindowRect) {
        setHeightTwips(SavedWindowRect->Height);
        setWidthTwips(SavedWindowRect->Width);
    }
    ImageMax->setToolTip(QStringLiteral("最大化"));
    if (SavedWindowRect) {
        setLeftTwips(SavedWindowRect->Left);
        setTopTwips(SavedWindowRect->Top);
    }
    if (SavedFlashRect) {
        zd::setWidthTwips(SwFlash, SavedFlashRect->Width);
        zd::setHeightTwips(SwFlash, SavedFlashRect->Height);
        zd::setTopTwips(SwFlash, SavedFlashRect->Top);
        zd::setLeftTwips(SwFlash, SavedFlashRect->Left);
    }
    for (QWidget* shown :
         {ImageOpen, ImageFullScreen, imascrollbox1, imascrollbox3, ImageMin, ImageMax, ImageClose})
        shown->show();
    ImageResume->hide();
    ImgCapture->hide();
    ImageOption->show();
    Picture1->show();
    ImaListBar1->hide();
    ImaListBar2->hide();
    if (SavedScrollLeft)
        zd::setLeftTwips(Scroll, *SavedScrollLeft);
    // Detection stays on; outside full screen it only notes the cursor.
    startMovementDetection();
}

void Form1::ImaListBar1_Click() {
    ImaListBar1->hide();
    ImaListBar2->show();
}

void Form1::ImaListBar2_Click() {
    ImaListBar2->hide();
    ImaListBar1->show();
}

void Form1::ImaListBar_MouseMove() {
    // While the mouse is over the lock, the unlocked bar's countdown starts again.
    if (!ImaListBar1->isHidden())
        Timerfull->restart();
}

void Form1::startMovementDetection() {
    const QString now = cursorSampleText(QCursor::pos());
    Text1->setText(now);
    Text2->setText(now);
    detectingMovement_ = true;
    TmrIfMove2->setEnabled(true);
}

void Form1::TmrIfMove1_Timer() {
    if (!detectingMovement_)
        return;
    Text1->setText(cursorSampleText(QCursor::pos()));
    // Moved since the last one-second sample: the bar wakes (a running Timerfull runs on).
    if (isFullScreen() && Text1->text() != Text2->text())
        Timerfull->setEnabled(true);
}

void Form1::TmrIfMove2_Timer() {
    Text2->setText(cursorSampleText(QCursor::pos()));
}

void Form1::Timerfull_Timer() {
    const QPoint cursor = QCursor::pos();
    if (ImaListBar1->isHidden())
        return;  // locked, or not in full screen
    Timerfull->setInterval(kBarTickMs);
    ShowFullScreenBar();
    ++HideTicks;
    if (HideTicks != kHidingTick)
        return;
    HideFullScreenBar();
    Timerfull->setEnabled(false);
    Timerfull->setInterval(kBarFirstTickMs);
    HideTicks = 0;
    const double H = screenTwips().height;
    // Pixels against twips, as it always was: true in the lowest 2/17 of a 15-twip screen,
    // where the bar is.
    if (cursor.y() > H / 17) {
        Timerfull->setInterval(kBarTickMs);
        ShowFullScreenBar();
        Timerfull->restart();
        return;
    }
    // A cursor moved since the last sample wakes the bar again at once, as a poll would see.
    TmrIfMove1_Timer();
}

void Form1::ShowFullScreenBar() {
    const auto [W, H] = screenTwips();
    paintSkin(PicMove);
    zd::setTopTwips(PicMove, H / 1.1278);
    PicMove->setPicture(PicMove->picture());
    zd::setHeightTwips(SwFlash, H - H / 9);
    zd::setTopTwips(Scroll, H / 22.5);
    imascrollbox1->hide();
    imascrollbox3->hide();
    ImageResume->show();
    zd::setTopTwips(ImageResume, H / 22.5);
    zd::setLeftTwips(ImgCapture, twipsGeometry(ImageResume).left);
    zd::setTopTwips(ImgCapture, H / 13);
    for (ImageControl* play : {ImageBegin, ImagePause}) {
        zd::setTopTwips(play, H / 22.5);
        zd::setLeftTwips(play, W / 21);
    }
    zd::setTopTwips(ImaListBar1, H / 22.5);
    zd::setTopTwips(ImaListBar2, H / 22.5);
}

void Form1::HideFullScreenBar() {
    const auto [W, H] = screenTwips();
    setTwipsGeometry(SwFlash, {0, 0, W, H - H / 1125});
    for (QWidget* hidden : {static_cast<QWidget*>(ImageMin), static_cast<QWidget*>(ImageMax),
                            static_cast<QWidget*>(ImageClose), static_cast<QWidget*>(ImageOption),
                            static_cast<QWidget*>(Picture1)})
        hidden->hide();
    zd::setTopTwips(PicMove, twipsGeometry(SwFlash).height);
    PicMove->setBackColor(Qt::black);
}

}  // namespace zd
