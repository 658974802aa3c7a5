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
// Playing: the movie's display tree (a StagePlayer) is made as soon as the header is in; each
// clock tick is one StagePlayer::tick(). Playing and holding apply to the root timeline only:
// clips on a held root play on.
//
// Clock: in Timer mode a timer ticks at the movie's frame rate while anything can change (see
// StagePlayer::needsTicks()); a held or ended movie whose clips are still runs none. In Manual
// mode nothing runs by itself and stepFrame()/advanceTime() drive the clock deterministically.
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

    // Where scripts and sound plug into each movie's tick (nullptr: none); kept across movies.
    void setScriptHooks(ScriptHooks* hooks);
    // Makes the script hooks of each movie put (they live as long as its display tree and
    // take the place of setScriptHooks' while they do). Takes effect from the next movie.
    using ScriptFactory =
        std::function<std::unique_ptr<ScriptHooks>(StagePlayer& display, const MovieData& movie)>;
    void setScriptFactory(ScriptFactory factory) { scriptFactory_ = std::move(factory); }
    // The current movie's hooks made by the factory, if any.
    ScriptHooks* movieScripts() const { return movieScripts_.get(); }
    void setSoundHooks(SoundHooks* hooks);

    // Plays the root timeline on from the current frame, or holds it. A movie starts playing
    // when it loads.
    void setPlaying(bool playing);
    bool isPlaying() const;
    // Current root frame counted from 0 (0 with no movie).
    int currentFrame() const;
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
    // One clock step: one frame of the movie (StagePlayer::tick()). The root moves on while
    // playing and stops on its last frame (no loop); the clips on it play on either way.
    // Returns whether the root frame changed.
    bool stepFrame();
    // Runs the first frame's actions and sounds now unless something already has (they
    // otherwise wait for the ready report, so a host that plays on ready keeps a stop() there).
    // For tools that step the movie by hand.
    void settleFirstFrame();
    // Manual mode: lets ms of virtual time pass at the movie's frame rate; returns the number
    // of root frames shown.
    int advanceTime(double ms);
    // Whether the timer runs (Timer mode, and something can change).
    bool isClockRunning() const { return clock_.isActive(); }
    // What the user did to the movie: handed to its scripts at once (not at the next tick, so
    // a held movie answers too), then the picture is reported if it changed.
    void input(const InputEvent& event);
    // Something outside the tick changed what can happen (a script set an interval): the
    // clock starts again if it is needed now.
    void wake();

    // The display tree of the movie; nullptr with no movie.
    StagePlayer* display() const { return display_.get(); }

  signals:
    // A loadable movie was put: kReadyInteractive once it can play while still loading,
    // kReadyComplete once it has arrived whole (one or both, in that order).
    void readyStateChanged(int state);
    // The root timeline shows another frame (or was sent to one).
    void frameShown(int frame);
    // The picture changed (display tree or background colour); nothing else asks for a
    // redraw of a movie that plays.
    void displayChanged();
    void loadProgress(int percent);
    void loadFailed(const QString& reason);

  private:
    void resetMovie();
    void afterArrival();
    void failLoad(const QString& reason);
    // Emits displayChanged when the picture differs from the last one reported.
    void reportPicture();
    double movieTime() const;
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
    ScriptFactory scriptFactory_;
    std::unique_ptr<ScriptHooks> movieScripts_;  // goes before the display tree it runs on
    ScriptHooks* scripts_ = nullptr;
    SoundHooks* sound_ = nullptr;
    bool playing_ = false;  // what was asked before the display tree was there
    int lastPercent_ = -1;
    bool announcedComplete_ = false;
    bool firstFrameSettled_ = true;
    quint64 generation_ = 0;
    std::uint64_t reportedChanges_ = 0;
    QRgb reportedBackground_ = 0;

    ClockMode clockMode_ = ClockMode::Timer;
    QTimer clock_;
    TickPacer pacer_;
    bool inClockTick_ = false;
    QElapsedTimer movieStarted_;  // the movie's clock for timers, in Timer mode
    FrameClock manualClock_;
    double manualTimeMs_ = 0;
};

}  // namespace zd::engine
