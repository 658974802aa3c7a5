#pragma once

#include <QObject>
#include <optional>

namespace zd {

class Form1;

// The main window's full-screen mode: the movie over the whole screen and the panel as a
// control bar along the bottom edge that comes when the cursor moves, goes about two seconds
// later and can be locked. Full screen is the movie standing at the window's origin; the lock is
// which lock image shows (ImaListBar1 visible: the bar hides itself).
class FullScreenMode : public QObject {
    Q_OBJECT
  public:
    explicit FullScreenMode(Form1& window);

    // A window or control rectangle kept in single-precision twips, in the order it is saved.
    struct SavedRect {
        float Left = 0;
        float Top = 0;
        float Height = 0;
        float Width = 0;
    };

    bool isFullScreen() const;
    bool barShown() const { return barShown_; }
    bool locked() const;

    // The full-screen button: the window over the screen, the bar not up yet.
    void enter();
    // The bar's resume button: the window, the movie and the seek bar back where they were.
    void leave();
    void lock();
    void unlock();
    // A mouse move over the lock images or the resume button keeps the unlocked bar up.
    void keepBarUp();

    // The bar's timer (Timerfull): shows the bar, counts towards hiding it and hides it on the
    // third tick unless the cursor rests low on the screen, over the bar.
    void barTimerTick();
    // A cursor move (TmrIfMove1): moved since the last one-second sample, the bar wakes.
    void cursorMoved();
    // The one-second cursor sample (TmrIfMove2).
    void sampleCursor();
    void showBar();
    void hideBar();

    // The window, the movie and the seek bar before full screen was last entered.
    std::optional<SavedRect> SavedWindowRect;
    std::optional<SavedRect> SavedFlashRect;
    std::optional<float> SavedScrollLeft;
    // Bar timer ticks towards the next hiding of the bar.
    qint16 HideTicks = 0;

  signals:
    void fullScreenChanged(bool fullScreen);
    void barShownChanged(bool shown);
    void lockChanged(bool locked);

  private:
    // Cursor moves are watched from here on (taking the current position as the last sample,
    // so only a later move counts).
    void startMovementDetection();
    void setBarShown(bool shown);

    Form1& window_;
    bool detectingMovement_ = false;
    bool barShown_ = false;
};

}  // namespace zd
