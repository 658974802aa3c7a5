#pragma once

#include <QObject>
#include <QString>
#include <optional>

namespace zd {

class FlashControl;
class FormTimer;
namespace controls {
class FlatScrollBar;
}

// What the player controller keeps apart from its buttons: whether it follows a playing movie
// (the playback timer on), the seek bar, the frame counter's captions and tool tips, and the
// end of a movie. It drives the movie control only through its properties. Its state:
//   no movie       - nothing followed, the counter empty;
//   loaded, halted - the play button shows, nothing followed;
//   playing        - the pause button shows, each frame the movie shows moves the bar and the
//                    counter; on the last frame it falls back to the halted look by itself.
class PlaybackState : public QObject {
    Q_OBJECT
  public:
    PlaybackState(FlashControl& movie, controls::FlatScrollBar& seekBar, FormTimer& timer,
                  QObject* parent = nullptr);

    // The playback timer is on: the counter follows the movie.
    bool following() const;
    // The pause button shows (rather than the play button).
    bool playingLook() const { return playingLook_; }
    QString frameCaption() const { return frameCaption_; }
    QString countCaption() const { return countCaption_; }

    // Play with a movie loaded: it plays on, the pause button shows, the timer follows it, the
    // bar spans its frames and the counter shows their number.
    void play();
    // The pause button: the movie holds its frame, the counter keeps its last text.
    void pause();
    // The stop button, once the movie is gone: the counter empty, nothing followed, the bar at
    // the start, the play button.
    void stop();
    // The halted look without touching the movie (a movie just opened).
    void showHalted();
    // The playback timer's tick: the bar, the counter and its tool tips follow the movie; the
    // last frame showing brings the halted look back (the movie is left to hold it).
    void tick();
    // The thumb dragged: the movie shows the bar's frame and plays on only if followed.
    void seek();
    // Turns the timer on; the first tick comes from the event loop, as a timer's would.
    void follow();

  private:
    // The timer beats while the thumb may need putting back; once the movie is all here and
    // the thumb on its frame it rests (still on) until a frame, the bar or the load wakes it.
    void beat();
    void restIfSettled(std::optional<qint32> frame);

  signals:
    // The look the buttons take, each time the controller sets it.
    void lookChanged(bool playing);
    void frameCaptionChanged(const QString& caption);
    void countCaptionChanged(const QString& caption);
    void frameTipChanged(const QString& tip);
    void countTipChanged(const QString& tip);
    // The last frame is showing and the controller stopped following the movie.
    void endOfMovie();

  private:
    void setLook(bool playing);
    void setFrameCaption(const QString& caption);
    void setCountCaption(const QString& caption);

    FlashControl& movie_;
    controls::FlatScrollBar& seekBar_;
    FormTimer& timer_;
    bool playingLook_ = false;
    bool tickQueued_ = false;
    QString frameCaption_;
    QString countCaption_;
};

}  // namespace zd
