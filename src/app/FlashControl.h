#pragma once

#include <QElapsedTimer>
#include <QImage>
#include <QRegion>
#include <QString>
#include <QWidget>
#include <memory>
#include <optional>

#include "engine/player/InputEvents.h"

namespace zd {

namespace engine {
class AudioOutput;
class DamageTracker;
class MovieRunner;
class Renderer;
class TimelineSound;
}  // namespace engine
class MovieFileDialogs;
class MovieLinks;

// The movie control of the windows (SwFlash on the main window, SFlash2 on the play list).
// It is the only way from the windows to the engine: they put and read these properties and
// react to readyStateChange. The movie is drawn scaled "ShowAll" into the widget's rectangle.
class FlashControl : public QWidget {
    Q_OBJECT

  public:
    static constexpr qint32 kNoBackgroundOverride = -1;

    explicit FlashControl(QWidget* parent = nullptr);
    ~FlashControl() override;

    // Movie put: loading of that path, file: URL or http(s): address begins, replacing the
    // current movie; the empty text leaves none loaded.
    void setMovie(const QString& pathOrAddress);
    // Movie get: the text last put while that movie is loading or loaded; the empty text once
    // nothing is loaded (never put, put empty, or the load failed).
    QString movie() const;

    // Playing put: true plays on from the current frame, false holds the current frame and
    // every sound of the movie at its sample.
    void setPlaying(bool playing);
    bool playing() const;

    // The reads fail (nullopt) while no movie is loaded; callers skip a failed read.
    std::optional<qint32> frameNum() const;  // current frame, counted from 0
    std::optional<qint32> totalFrames() const;
    std::optional<qint32> percentLoaded() const;  // 0..100, exactly 100 once fully loaded
    // FrameNum put: the movie shows that frame. Returns false (a failed put) with no movie.
    bool setFrameNum(qint32 frame);

    // -1 (kNoBackgroundOverride): the movie's own background colour shows, over the stage and
    // around it (white for a movie that sets none, and while none is loaded); any other value
    // is a colour (0x00BBGGRR) painted there instead. The control starts with 1 (000001).
    void setBackgroundColor(qint32 color);
    qint32 backgroundColor() const;

    // The engine behind the control, for the headless front end and tests only.
    engine::MovieRunner* runner() const;
    // The movie's sound as its frames play it, for tests only.
    engine::TimelineSound* sound() const { return sound_.get(); }
    // How many times the movie's picture has been drawn (repaints of an unchanged picture
    // reuse it and do not count).
    int picturesDrawn() const { return picturesDrawn_; }
    // The area drawn again for the last picture (the whole control when drawn whole).
    QRegion lastDrawnRegion() const { return lastDrawn_; }

    // Where the stage is drawn in the widget: "ShowAll", or zoomed in from the menu.
    QRectF movieTarget() const;
    // A widget point in stage pixels (nothing when no movie shows).
    std::optional<QPointF> stagePointOf(QPointF widgetPoint) const;

  signals:
    // Raised after Movie has been put with a loadable movie (possibly several times while it
    // loads); handlers ignore the state value.
    void readyStateChange(qint32 newState);
    // Raised for every frame shown, so followers can update once per frame instead of polling.
    void frameShown();
    // The user chose About in the control's own menu.
    void aboutRequested();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    // Tab belongs to the movie while it has the keyboard.
    bool focusNextPrevChild(bool next) override;

  private:
    // Hands an event to the movie and shows the cursor it asks for.
    void sendInput(const engine::InputEvent& event);
    void sendMouse(engine::InputEvent::Type type, QPointF widgetPoint,
                   Qt::MouseButton button = Qt::LeftButton);
    void updateCursor();
    void zoomAt(QPointF widgetPoint, double factor);
    // The colour painted behind and around the stage.
    QColor playbackBackground() const;
    // The picture needs drawing again (another frame, movie, colour or more of the movie).
    void invalidateFrame();
    // The display tree changed: only what its changes cover is drawn and shown again.
    void displayChanged();
    QTransform deviceTransform() const;

    std::unique_ptr<MovieLinks> links_;              // before the runner: its scripts use it
    std::unique_ptr<MovieFileDialogs> fileDialogs_;  // the same
    QElapsedTimer linkClock_;
    // The movie's sound is heard through a device of the control's own; both outlive the
    // runner, which hands the sound its work.
    std::unique_ptr<engine::AudioOutput> audio_;
    std::unique_ptr<engine::TimelineSound> sound_;
    std::unique_ptr<engine::MovieRunner> runner_;
    std::unique_ptr<engine::Renderer> renderer_;
    qint32 background_;
    // The last frame drawn, kept until the frame, the size or the colour changes.
    QImage frameCache_;
    bool frameCacheValid_ = false;
    std::unique_ptr<engine::DamageTracker> damage_;
    QRegion stale_;  // parts of frameCache_ behind the display tree
    QRegion lastDrawn_;
    int picturesDrawn_ = 0;
    // The zoomed stage target relative to the widget's rectangle; empty: "ShowAll".
    QRectF zoom_;
    QRectF shownTarget_;  // where the last frame put the stage
    int quality_ = 2;     // the menu's Low, Medium, High
    bool loop_ = false;   // the root goes back to its first frame at its end
};

}  // namespace zd
