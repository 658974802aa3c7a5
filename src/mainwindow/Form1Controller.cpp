// The player controller of the main window: play, pause, stop, the seek bar, the frame counter,
// the volume bar and the movie's ready-state. What it follows is the PlaybackState.
#include "app/Class1.h"
#include "app/FlashControl.h"
#include "app/FloatingLink.h"
#include "app/OptionsLink.h"
#include "controls/FlatScrollBar.h"
#include "controls/MouseEventSource.h"
#include "mainwindow/Form1.h"

namespace zd {

void Form1::connectController() {
    connect(ImageBegin->events(), &MouseEventSource::click, this, &Form1::ImageBegin_Click);
    connect(ImagePause->events(), &MouseEventSource::click, this, &Form1::ImagePause_Click);
    connect(ImageStop->events(), &MouseEventSource::click, this, &Form1::ImageStop_Click);

    connect(playback, &PlaybackState::lookChanged, this, [this](bool playing) {
        ImageBegin->setVisible(!playing);
        ImagePause->setVisible(playing);
    });
    connect(playback, &PlaybackState::frameCaptionChanged, Label1, &LabelControl::setCaption);
    connect(playback, &PlaybackState::countCaptionChanged, Label2, &LabelControl::setCaption);
    connect(playback, &PlaybackState::frameTipChanged, Label1, &QWidget::setToolTip);
    connect(playback, &PlaybackState::countTipChanged, Label2, &QWidget::setToolTip);
    connect(Label1, &LabelControl::Change, this, &Form1::Label1_Change);

    // Only the user's dragging of the thumb seeks; the ticks setting the value do not.
    connect(Scroll, &controls::FlatScrollBar::Scroll, this, &Form1::Scroll_Scroll);
    // The volume follows both the bar's change and its thumb being dragged.
    connect(HScroll1, &controls::FlatScrollBar::Change, this, &Form1::HScroll1_Change);
    connect(HScroll1, &controls::FlatScrollBar::Scroll, this, &Form1::HScroll1_Change);

    connect(SwFlash, &FlashControl::readyStateChange, this, &Form1::SwFlash_OnReadyStateChange);
}

void Form1::ImageBegin_Click() {
    if (SwFlash->movie().isEmpty()) {
        OpenFiles();
        return;
    }
    playback->play();
}

void Form1::ImagePause_Click() {
    playback->pause();
}

void Form1::ImageStop_Click() {
    SwFlash->setMovie(QString());
    options_.setAddress(QString());
    playback->stop();
}

void Form1::Scroll_Scroll() {
    playback->seek();
}

void Form1::HScroll1_Change() {
    // The bar spans the speaker's range halved.
    if (mixer)
        mixer->setPrSpeakerVolume(static_cast<qint32>(HScroll1->Value()) * 2);
}

void Form1::Label1_Change() {
    playback->follow();
}

void Form1::SwFlash_OnReadyStateChange(qint32) {
    // Every report is handled alike: the movie may report several times while it loads.
    showForm();
    setWindowStateValue(kNormal);
    floating_.hideFloatingWindow();
    playback->follow();
    ImageBegin_Click();
}

}  // namespace zd
