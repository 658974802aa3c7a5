#pragma once

#include <QColor>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>

#include "engine/player/FrameClock.h"
#include "engine/player/MovieLoader.h"
#include "engine/player/StagePlayer.h"
#include "engine/swf/MovieData.h"

namespace zd::engine {

// Runs a movie: frame clock, play and hold, seeking, loading progress. It knows nothing of
// windows; the movie control and the headless front end sit on top of it.
//
// Loading (through a MovieLoader): a local path, a file: URL or an http(s): address. Local
// files are read at once; addresses load progressively and frames become playable as their
// tags arrive. Whatever happens, a failed load leaves no movie and raises no ready-state.
//
// Clock: in Timer mode a timer ticks at the movie's frame rate while playing; in Manual mode
// nothing runs by itself and stepFrame()/advanceTime() drive the clock deterministically.
class MovieRunner : public QObject {
    Q_OBJECT

  public:
    enum class ClockMode { Timer, Manual };
    enum class LoadState {
        Empty,    // no movie put, or the empty text
        Loading,  // waiting for the header
        Ready,    // a loadable movie: playable, possibly still loading
        Failed,   // the last movie put could not be loaded
    };
    // Values carried by readyStateChanged.
    static constexpr int kReadyInteractive = 3;  // playable, still loading
    static constexpr int kReadyComplete = 4;     // fully loaded

    explicit MovieRunner(QObject* parent = nullptr, std::size_t sizeCap = kMaxMovieBytes);
    ~MovieRunner() override;

    // Begins loading a movie, replacing the current one; the empty text unloads. Signals of a
    // load are always delivered later from the event loop, never from inside this call.
    void setMovie(const QString& pathOrAddress);
    // The text put while its movie is loading or loaded; empty when none is.
    QString movie() const { return text_; }
    LoadState loadState() const { return state_; }
    bool hasMovie() const { return state_ == LoadState::Ready; }
    QString errorString() const { return error_; }
    const MovieHeader* header() const;
    const MovieData* data() const { return loader_.movie(); }
    const MovieLoader& loader() const { return loader_; }

    // Play on from the current frame, or hold it. A movie starts playing when it loads.
    void setPlaying(bool playing);
    bool isPlaying() const { return hasMovie() && playing_; }
    // Current frame counted from 0 (0 with no movie).
    int currentFrame() const { return hasMovie() ? frame_ : 0; }
    // The header's frame count (at least 1); 0 with no movie.
    int totalFrames() const;
    // Frames whose tags have all arrived.
    int framesLoaded() const;
    bool isLoadComplete() const { return movie_ && movie_->complete(); }
    // 0 to 100, exactly 100 once fully loaded; 0 with no movie.
    int percentLoaded() const;
    // Shows that frame (clamped to the movie and to what has arrived). False with no movie.
    bool gotoFrame(int frame);
    // The movie's background colour on the current frame; white when it sets none.
    QColor backgroundColor() const;
    // The stage rectangle in twips (empty with no movie).
    Rect stage() const;
    // The rate the clock runs at (the header's, or a fallback for a zero rate).
    double frameRate() const;

    void setClockMode(ClockMode mode);
    ClockMode clockMode() const { return clockMode_; }
    // One clock tick: shows the next frame while playing. Stops on the last frame (no loop).
    // Returns whether the frame changed.
    bool stepFrame();
    // Manual mode: lets ms of virtual time pass at the movie's frame rate; returns the number
    // of frames shown.
    int advanceTime(double ms);
    // Whether the timer runs (Timer mode, playing, not held on the last frame).
    bool isClockRunning() const { return clock_.isActive(); }

    // The display state of the frame shown, built on demand; nullptr with no movie.
    StagePlayer* display();
    // One clock tick while the root timeline holds (stopped, or on its last frame): its
    // sprites play on. In Timer mode this happens by itself once the display state exists.
    void advanceHeld();

  signals:
    // A loadable movie was put: kReadyInteractive once it can play while still loading,
    // kReadyComplete once it has arrived whole (one or both, in that order).
    void readyStateChanged(int state);
    void frameShown(int frame);
    // The picture changed without a new frame: sprites played on while the root held.
    void displayChanged();
    void loadProgress(int percent);
    void loadFailed(const QString& reason);

  private:
    void resetMovie();
    void afterArrival();
    void failLoad(const QString& reason);
    bool frameAvailable(int frame) const;
    void updateClock();
    void onClockTick();
    // Queues a signal for the current load; dropped if another movie is put meanwhile.
    void post(std::function<void()> emitter);

    QString text_;
    QString error_;
    LoadState state_ = LoadState::Empty;
    MovieLoader loader_;
    const MovieData* movie_ = nullptr;      // the loader's, while it loads or has loaded
    std::unique_ptr<StagePlayer> display_;  // goes before the movie it reads
    int frame_ = 0;
    bool playing_ = false;
    int lastPercent_ = -1;
    bool announcedComplete_ = false;
    quint64 generation_ = 0;

    ClockMode clockMode_ = ClockMode::Timer;
    QTimer clock_;
    QTimer heldClock_;            // ticks the sprites while the root holds
    QElapsedTimer clockStarted_;  // when the timer's current run began
    qint64 clockTicks_ = 0;       // ticks since then
    bool inClockTick_ = false;
    FrameClock manualClock_;
};

}  // namespace zd::engine
