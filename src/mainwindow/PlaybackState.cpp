#include "mainwindow/PlaybackState.h"

#include <QTimer>
#include <optional>

#include "app/FlashControl.h"
#include "controls/FlatScrollBar.h"
#include "controls/FormTimer.h"

namespace zd {

namespace {
// The timer is on while the controller follows a playing movie, but its tick runs for every
// frame the movie shows instead of polling; the timer itself only beats slowly, so a thumb
// moved by the arrows or the track while no frame comes (a movie still arriving) is put back.
constexpr int kPlayTimerBeatMs = 50;
// The beat while there is nothing to put back (the movie fully here, the thumb on its frame):
// long enough never to come, so a movie that stands still costs nothing. The timer stays on.
constexpr int kRestingBeatMs = 24 * 60 * 60 * 1000;
}  // namespace

PlaybackState::PlaybackState(FlashControl& movie, controls::FlatScrollBar& seekBar,
                             FormTimer& timer, QObject* parent)
    : QObject(parent), movie_(movie), seekBar_(seekBar), timer_(timer) {
    timer_.setInterval(kPlayTimerBeatMs);
    connect(&timer_, &QTimer::timeout, this, &PlaybackState::tick);
    connect(&movie_, &FlashControl::frameShown, this, [this] {
        if (following())
            tick();
    });
    // Whatever may leave the thumb off the movie's frame brings the beat back.
    connect(&seekBar_, &controls::RangeControl::Change, this, &PlaybackState::beat);
    connect(&seekBar_, &controls::RangeControl::Scroll, this, &PlaybackState::beat);
    connect(&movie_, &FlashControl::readyStateChange, this, &PlaybackState::beat);
}

void PlaybackState::beat() {
    if (following() && timer_.interval() != kPlayTimerBeatMs)
        timer_.setInterval(kPlayTimerBeatMs);
}

void PlaybackState::restIfSettled(std::optional<qint32> frame) {
    if (!following() || !frame || seekBar_.Value() != *frame)
        return;
    const std::optional<qint32> loaded = movie_.percentLoaded();
    if (loaded && *loaded == 100 && timer_.interval() != kRestingBeatMs)
        timer_.setInterval(kRestingBeatMs);
}

bool PlaybackState::following() const {
    return timer_.enabled();
}

void PlaybackState::setLook(bool playing) {
    // Announced every time: the buttons are put right even when they already were.
    playingLook_ = playing;
    emit lookChanged(playing);
}

void PlaybackState::setFrameCaption(const QString& caption) {
    if (frameCaption_ == caption)
        return;
    frameCaption_ = caption;
    emit frameCaptionChanged(caption);
}

void PlaybackState::setCountCaption(const QString& caption) {
    if (countCaption_ == caption)
        return;
    countCaption_ = caption;
    emit countCaptionChanged(caption);
}

void PlaybackState::follow() {
    if (following())
        return;
    timer_.setInterval(kPlayTimerBeatMs);
    timer_.setEnabled(true);
    // A movie already standing on its last frame shows no further frame, yet the tick must
    // bring the play button back.
    if (tickQueued_)
        return;
    tickQueued_ = true;
    QTimer::singleShot(0, this, [this] {
        tickQueued_ = false;
        if (following())
            tick();
    });
}

void PlaybackState::play() {
    movie_.setPlaying(true);
    setLook(true);
    follow();
    if (const std::optional<qint32> total = movie_.totalFrames()) {
        // A count beyond the bar's 16 bits is refused; the bar keeps its maximum.
        seekBar_.setMax(*total);
        setCountCaption(QStringLiteral("/") + QString::number(*total) + QStringLiteral("帧"));
    }
}

void PlaybackState::pause() {
    setLook(false);
    timer_.setEnabled(false);
    movie_.setPlaying(false);
}

void PlaybackState::stop() {
    setFrameCaption(QString());
    setCountCaption(QString());
    movie_.setPlaying(false);
    timer_.setEnabled(false);
    seekBar_.setValue(0);
    setLook(false);
}

void PlaybackState::showHalted() {
    setLook(false);
}

void PlaybackState::tick() {
    // With no movie both reads fail and the bar and the counter stay as they are.
    const std::optional<qint32> frame = movie_.frameNum();
    const std::optional<qint32> total = movie_.totalFrames();
    const QString frameText = frame ? QString::number(*frame) : QString();
    const QString totalText = total ? QString::number(*total) : QString();
    // Frame numbers beyond the bar's 16 bits are refused: the thumb stays where it was.
    if (frame)
        seekBar_.setValue(*frame);
    if (frame && total) {
        seekBar_.setToolTip(QStringLiteral("第") + frameText + QLatin1Char('/') + totalText +
                            QStringLiteral("帧"));
    }
    if (frame)
        setFrameCaption(QStringLiteral("第") + frameText);
    emit frameTipChanged(frameCaption_ + QStringLiteral("帧 "));
    if (total)
        emit countTipChanged(QStringLiteral("共") + totalText + QStringLiteral("帧"));
    // The last frame is showing: back to the halted look. Playing is left alone; the movie
    // holds its last frame by itself, and one that jumps back by its own script runs on.
    if (total && *total == seekBar_.Value() + 1) {
        timer_.setEnabled(false);
        setLook(false);
        emit endOfMovie();
        return;
    }
    restIfSettled(frame);
}

void PlaybackState::seek() {
    movie_.setFrameNum(seekBar_.Value());
    // A running movie runs on from the new frame, a halted one stays halted on it.
    movie_.setPlaying(following());
}

}  // namespace zd
