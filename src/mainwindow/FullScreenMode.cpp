#include "mainwindow/FullScreenMode.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <functional>

#include "app/FlashControl.h"
#include "controls/FlatScrollBar.h"
#include "controls/MouseEventSource.h"
#include "mainwindow/Form1.h"
#include "mainwindow/FullScreenBar.h"
#include "platform/Services.h"

namespace zd {

namespace {

// The bar timer's first tick comes this soon after it is switched on, the later ones a second
// apart.
constexpr int kBarFirstTickMs = 10;
constexpr int kBarTickMs = 1000;
// The tick that hides the bar.
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

FullScreenMode::SavedRect savedRect(const TwipRect& rect) {
    return {static_cast<float>(rect.left), static_cast<float>(rect.top),
            static_cast<float>(rect.height), static_cast<float>(rect.width)};
}

}  // namespace

FullScreenMode::FullScreenMode(Form1& window) : QObject(&window), window_(window) {
    Form1& w = window_;
    connect(w.ImageFullScreen->events(), &MouseEventSource::click, this, &FullScreenMode::enter);
    connect(w.ImageResume->events(), &MouseEventSource::click, this, &FullScreenMode::leave);
    connect(w.ImaListBar1->events(), &MouseEventSource::click, this, &FullScreenMode::lock);
    connect(w.ImaListBar2->events(), &MouseEventSource::click, this, &FullScreenMode::unlock);
    for (ImageControl* keeper : {w.ImaListBar1, w.ImaListBar2, w.ImageResume})
        connect(keeper->events(), &MouseEventSource::mouseMove, this, &FullScreenMode::keepBarUp);
    connect(w.Timerfull, &QTimer::timeout, this, &FullScreenMode::barTimerTick);
    connect(w.TmrIfMove2, &QTimer::timeout, this, &FullScreenMode::sampleCursor);
    new CursorMoveWatch(this, [this] { cursorMoved(); });
    // The bar's overlapping pieces stack as designed, the earlier on top: with both lock
    // images showing, the lock (ImaListBar1) is the one clicked.
    for (QWidget* piece :
         {static_cast<QWidget*>(w.ImaListBar2), static_cast<QWidget*>(w.ImaListBar1),
          static_cast<QWidget*>(w.ImageResume), static_cast<QWidget*>(w.ImgCapture),
          static_cast<QWidget*>(w.HScroll1), static_cast<QWidget*>(w.Scroll)})
        piece->raise();
}

bool FullScreenMode::isFullScreen() const {
    const TwipRect movie = twipsGeometry(window_.SwFlash);
    return movie.left == 0 && movie.top == 0;
}

bool FullScreenMode::locked() const {
    return window_.ImaListBar1->isHidden() && !window_.ImaListBar2->isHidden();
}

void FullScreenMode::setBarShown(bool shown) {
    if (barShown_ == shown)
        return;
    barShown_ = shown;
    emit barShownChanged(shown);
}

void FullScreenMode::enter() {
    Form1& w = window_;
    platform::playAppSound(QStringLiteral("sound/menu.wav"));
    SavedFlashRect = savedRect(twipsGeometry(w.SwFlash));
    SavedScrollLeft = static_cast<float>(twipsGeometry(w.Scroll).left);
    SavedWindowRect = savedRect(twipsGeometry(&w));
    const auto [W, H] = screenTwips();
    w.setLeftTwips(0);
    w.setTopTwips(0);
    w.setHeightTwips(H);
    w.setWidthTwips(W);
    // And the window system's full-screen state, so a window manager keeps no panel above the
    // window. Only after the geometry: a window manager may drop the state when the window
    // resizes itself.
    platform::windowSystem().setFullScreen(&w, true);
    setTwipsGeometry(w.SwFlash, {0, 0, W, H - H / 1125});
    w.ImageMin->hide();
    w.ImageMax->hide();
    w.ImageClose->hide();
    w.Picture1->hide();
    // The panel starts just below the movie, practically off the screen.
    zd::setTopTwips(w.PicMove, twipsGeometry(w.SwFlash).height);
    w.PicMove->setBackColor(Qt::black);
    w.ImaListBar1->show();
    w.ImaListBar2->show();
    w.ImgCapture->show();
    zd::setLeftTwips(w.Scroll, W / 13.5);
    zd::setTopTwips(w.HScroll1, W / 16);
    w.paintSkin();
    // The bar comes with the first cursor move.
    startMovementDetection();
    setBarShown(false);
    emit fullScreenChanged(true);
}

void FullScreenMode::leave() {
    Form1& w = window_;
    platform::playAppSound(QStringLiteral("sound/menu.wav"));
    w.Timerfull->setInterval(kBarFirstTickMs);
    w.Timerfull->setEnabled(false);
    // Out of the window system's full-screen state before the window takes its old place, so
    // what the window manager restores is overridden by it.
    platform::windowSystem().setFullScreen(&w, false);
    if (SavedWindowRect) {
        w.setHeightTwips(SavedWindowRect->Height);
        w.setWidthTwips(SavedWindowRect->Width);
    }
    w.ImageMax->setToolTip(QStringLiteral("最大化"));
    if (SavedWindowRect) {
        w.setLeftTwips(SavedWindowRect->Left);
        w.setTopTwips(SavedWindowRect->Top);
    }
    if (SavedFlashRect) {
        zd::setWidthTwips(w.SwFlash, SavedFlashRect->Width);
        zd::setHeightTwips(w.SwFlash, SavedFlashRect->Height);
        zd::setTopTwips(w.SwFlash, SavedFlashRect->Top);
        zd::setLeftTwips(w.SwFlash, SavedFlashRect->Left);
    }
    for (QWidget* shown : {w.ImageOpen, w.ImageFullScreen, w.imascrollbox1, w.imascrollbox3,
                           w.ImageMin, w.ImageMax, w.ImageClose})
        shown->show();
    w.ImageResume->hide();
    w.ImgCapture->hide();
    w.ImageOption->show();
    w.Picture1->show();
    w.ImaListBar1->hide();
    w.ImaListBar2->hide();
    if (SavedScrollLeft)
        zd::setLeftTwips(w.Scroll, *SavedScrollLeft);
    // Detection stays on; outside full screen it only notes the cursor.
    startMovementDetection();
    setBarShown(false);
    emit fullScreenChanged(false);
}

void FullScreenMode::lock() {
    window_.ImaListBar1->hide();
    window_.ImaListBar2->show();
    emit lockChanged(true);
}

void FullScreenMode::unlock() {
    window_.ImaListBar2->hide();
    window_.ImaListBar1->show();
    emit lockChanged(false);
}

void FullScreenMode::keepBarUp() {
    // While the mouse is over the lock or the resume button, the unlocked bar's countdown starts
    // again.
    if (!window_.ImaListBar1->isHidden())
        window_.Timerfull->restart();
}

void FullScreenMode::startMovementDetection() {
    const QString now = cursorSampleText(QCursor::pos());
    window_.Text1->setText(now);
    window_.Text2->setText(now);
    detectingMovement_ = true;
    window_.TmrIfMove2->setEnabled(true);
}

void FullScreenMode::cursorMoved() {
    if (!detectingMovement_)
        return;
    window_.Text1->setText(cursorSampleText(QCursor::pos()));
    // Moved since the last one-second sample: the bar wakes (a running bar timer runs on).
    if (isFullScreen() && window_.Text1->text() != window_.Text2->text())
        window_.Timerfull->setEnabled(true);
}

void FullScreenMode::sampleCursor() {
    window_.Text2->setText(cursorSampleText(QCursor::pos()));
}

void FullScreenMode::barTimerTick() {
    Form1& w = window_;
    const QPoint cursor = QCursor::pos();
    if (w.ImaListBar1->isHidden())
        return;  // locked, or not in full screen
    w.Timerfull->setInterval(kBarTickMs);
    showBar();
    ++HideTicks;
    if (HideTicks != kHidingTick)
        return;
    hideBar();
    w.Timerfull->setEnabled(false);
    w.Timerfull->setInterval(kBarFirstTickMs);
    HideTicks = 0;
    const double H = screenTwips().height;
    // Pixels against twips, as it always was: true in the lowest 2/17 of a 15-twip screen,
    // where the bar is.
    if (cursor.y() > H / 17) {
        w.Timerfull->setInterval(kBarTickMs);
        showBar();
        w.Timerfull->restart();
        return;
    }
    // A cursor moved since the last sample wakes the bar again at once, as a poll would see.
    cursorMoved();
}

void FullScreenMode::showBar() {
    Form1& w = window_;
    const auto [W, H] = screenTwips();
    w.paintSkin(w.PicMove);
    zd::setTopTwips(w.PicMove, H / 1.1278);
    w.PicMove->setPicture(w.PicMove->picture());
    zd::setHeightTwips(w.SwFlash, H - H / 9);
    w.imascrollbox1->hide();
    w.imascrollbox3->hide();
    w.ImageResume->show();
    // The buttons at their own sizes, side by side: scaled with the window they grew over one
    // another and past the screen's edge.
    const fullscreen::BarLayout bar = fullscreen::barLayout(W, H);
    setTwipsGeometry(w.Scroll, bar.seekBar);
    setTwipsGeometry(w.HScroll1, bar.volumeBar);
    setTwipsGeometry(w.ImageResume, bar.resume);
    setTwipsGeometry(w.ImgCapture, bar.capture);
    setTwipsGeometry(w.ImageBegin, bar.play);
    setTwipsGeometry(w.ImagePause, bar.play);
    setTwipsGeometry(w.ImaListBar1, bar.lock);
    setTwipsGeometry(w.ImaListBar2, bar.lock);
    setBarShown(true);
}

void FullScreenMode::hideBar() {
    Form1& w = window_;
    const auto [W, H] = screenTwips();
    setTwipsGeometry(w.SwFlash, {0, 0, W, H - H / 1125});
    for (QWidget* hidden :
         {static_cast<QWidget*>(w.ImageMin), static_cast<QWidget*>(w.ImageMax),
          static_cast<QWidget*>(w.ImageClose), static_cast<QWidget*>(w.ImageOption),
          static_cast<QWidget*>(w.Picture1)})
        hidden->hide();
    zd::setTopTwips(w.PicMove, twipsGeometry(w.SwFlash).height);
    w.PicMove->setBackColor(Qt::black);
    setBarShown(false);
}

}  // namespace zd
