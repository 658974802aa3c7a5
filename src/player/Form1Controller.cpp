// The player controller of the main window: play, pause, stop, the seek bar, the frame counter,
// the volume bar and the movie's ready-state.
#include <QTimer>
#include <optional>

#include "app/FlashControl.h"
#include "app/Windows.h"
#include "controls/FlatScrollBar.h"
#include "options/Class1.h"
#include "options/Dialog.h"
#include "popups/Form3.h"
#include "window/Form1.h"

namespace zd {

namespace {
// TmrPlay is on while the controller follows a playing movie, but its tick runs for every frame
// the movie shows instead of polling; the timer itself only beats slowly, so a thumb moved by
// the arrows or the track while no frame comes (a movie still arriving) is put back too.
constexpr int kPlayTimerBeatMs = 50;
}  // namespace

void Form1::connectController() {
    connect(ImageBegin->events(), &MouseEventSource::click, this, &Form1::ImageBegin_Click);
    connect(ImagePause->events(), &MouseEventSource::click, this, &Form1::ImagePause_Click);
    connect(ImageStop->events(), &MouseEventSource::click, this, &Form1::ImageStop_Click);

    TmrPlay->setInterval(kPlayTimerBeatMs);
    connect(TmrPlay, &QTimer::timeout, this, &Form1::TmrPlay_Timer);
    connect(SwFlash, &FlashControl::frameShown, this, [this] {
        if (TmrPlay->enabled())
            TmrPlay_Timer();
    });
    connect(Label1, &LabelControl::Change, this, &Form1::Label1_Change);

    // Only the user's dragging of the thumb seeks; the ticks setting the value do not.
    connect(Scroll, &controls::FlatScrollBar::Scroll, this, &Form1::Scroll_Scroll);
    // The volume follows both the bar's change and its thumb being dragged.
    connect(HScroll1, &controls::FlatScrollBar::Change, this, &Form1::HScroll1_Change);
    connect(HScroll1, &controls::FlatScrollBar::Scroll, this, &Form1::HScroll1_Change);

    connect(SwFlash, &FlashControl::readyStateChange, this, &Form1::SwFlash_OnReadyStateChange);
}

void Form1::startPlayTimer() {
    if (TmrPlay->enabled())
        return;
    TmrPlay->setEnabled(true);
    // The first tick, as a timer's would, comes from the event loop: a movie already standing
    // on its last frame shows no further frame, yet the tick must bring the play button back.
    if (playTickQueued_)
        return;
    playTickQueued_ = true;
    QTimer::singleShot(0, this, [this] {
        playTickQueued_ = false;
        if (TmrPlay->enabled())
            TmrPlay_Timer();
    });
}

void Form1::ImageBegin_Click() {
    if (SwFlash->movie().isEmpty()) {
        OpenFiles();
        return;
    }
    SwFlash->setPlaying(true);
    ImageBegin->hide();
    ImagePause->show();
    startPlayTimer();
    if (const std::optional<qint32> total = SwFlash->totalFrames()) {
        // A count beyond the bar's 16 bits is refused; the bar keeps its maximum.
        Scroll->setMax(*total);
        Label2->setCaption(QStringLiteral("/") + QString::number(*total) + QStringLiteral("帧"));
    }
}

void Form1::ImagePause_Click() {
    ImagePause->hide();
    ImageBegin->show();
    TmrPlay->setEnabled(false);
    SwFlash->setPlaying(false);
}

void Form1::ImageStop_Click() {
    SwFlash->setMovie(QString());
    dialog().TxtURL->setText(QString());
    Label1->setCaption(QString());
    Label2->setCaption(QString());
    SwFlash->setPlaying(false);
    TmrPlay->setEnabled(false);
    Scroll->setValue(0);
    ImageBegin->show();
    ImagePause->hide();
}

void Form1::TmrPlay_Timer() {
    // With no movie both reads fail and the bar and the counter stay as they are.
    const std::optional<qint32> frame = SwFlash->frameNum();
    const std::optional<qint32> total = SwFlash->totalFrames();
    const QString frameText = frame ? QString::number(*frame) : QString();
    const QString totalText = total ? QString::number(*total) : QString();
    // Frame numbers beyond the bar's 16 bits are refused: the thumb stays where it was.
    if (frame)
        Scroll->setValue(*frame);
    if (frame && total) {
        Scroll->setToolTip(QStringLiteral("第") + frameText + QLatin1Char('/') + totalText +
                           QStringLiteral("帧"));
    }
    if (frame)
        Label1->setCaption(QStringLiteral("第") + frameText);
    Label1->setToolTip(Label1->caption() + QStringLiteral("帧 "));
    if (total)
        Label2->setToolTip(QStringLiteral("共") + totalText + QStringLiteral("帧"));
    // The last frame is showing: back to the halted look. Playing is left alone; the movie
    // holds its last frame by itself, and one that jumps back by its own script runs on.
    if (total && *total == Scroll->Value() + 1) {
        TmrPlay->setEnabled(false);
        ImageBegin->show();
        ImagePause->hide();
    }
}

void Form1::Scroll_Scroll() {
    SwFlash->setFrameNum(Scroll->Value());
    // A running movie runs on from the new frame, a halted one stays halted on it.
    SwFlash->setPlaying(TmrPlay->enabled());
}

void Form1::HScroll1_Change() {
    // The bar spans the speaker's range halved.
    if (mixer)
        mixer->setPrSpeakerVolume(static_cast<qint32>(HScroll1->Value()) * 2);
}

void Form1::Label1_Change() {
    startPlayTimer();
}

void Form1::SwFlash_OnReadyStateChange(qint32) {
    // Every report is handled alike: the movie may report several times while it loads.
    showForm();
    setWindowStateValue(kNormal);
    if (Form3* floating = loadedForm3())
        floating->hide();
    startPlayTimer();
    ImageBegin_Click();
}

}  // namespace zd
