// The player controller of the main window.
#include "controls/FlatScrollBar.h"
#include "options/Class1.h"
#include "window/Form1.h"

namespace zd {

void Form1::connectController() {
    // The volume follows both the bar's change and its thumb being dragged.
    connect(HScroll1, &controls::FlatScrollBar::Change, this, &Form1::HScroll1_Change);
    connect(HScroll1, &controls::FlatScrollBar::Scroll, this, &Form1::HScroll1_Change);
}

void Form1::HScroll1_Change() {
    // The bar spans the speaker's range halved.
    if (mixer)
        mixer->setPrSpeakerVolume(static_cast<qint32>(HScroll1->Value()) * 2);
}

}  // namespace zd
