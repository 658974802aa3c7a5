// The options window's title strip, tabs, and its play, colour and help pages.
#include <QDropEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMimeData>

#include "app/AdvancedLink.h"
#include "app/CommonDialogState.h"
#include "app/FlashControl.h"
#include "app/FloatingLink.h"
#include "app/Gradient.h"
#include "app/MenuLink.h"
#include "app/PlayerLink.h"
#include "app/ProgramActions.h"
#include "app/clsEx_Drag.h"
#include "controls/ClassicEvents.h"
#include "controls/MouseEventSource.h"
#include "controls/Slider.h"
#include "controls/WindowDrag.h"
#include "controls/xpcheckbox.h"
#include "controls/xpcmdbutton.h"
#include "options/Dialog.h"
#include "options/OptionRules.h"
#include "platform/Services.h"
#include "resources/Resources.h"

namespace zd {

namespace {

void playSound(const char* name) {
    platform::playAppSound(QStringLiteral("sound/") + QLatin1String(name));
}

const QColor kLabel7Colour(192, 192, 255);

}  // namespace

void Dialog::connectPages() {
    // Title strip.
    connect(PicMove2->events(), &MouseEventSource::mouseDown, this, &Dialog::PicMove2_MouseDown);
    connect(PicMove2->events(), &MouseEventSource::mouseMove, this, &Dialog::PicMove2_MouseMove);
    connect(PicMove2->events(), &MouseEventSource::mouseUp, this, &Dialog::PicMove2_MouseUp);
    // Dragging the strip with the left button moves the window.
    new WindowDrag(PicMove2);
    connect(Image1->events(), &MouseEventSource::click, this, &Dialog::Image1_Click);
    connect(Image1->events(), &MouseEventSource::mouseMove, this, &Dialog::Image1_MouseMove);

    // The tabs switch pages as soon as the button goes down.
    const std::pair<controls::xpcmdbutton*, PictureBox*> tabs[] = {
        {Tabutton1, Frame1}, {Tabutton2, Frame2}, {Tabutton3, Frame3}, {Tabutton4, Frame4}};
    for (const auto& [tab, frame] : tabs) {
        PictureBox* page = frame;
        connect(tab, &controls::xpcmdbutton::MouseDown, this, [this, page] { showPage(page); });
    }

    // Play page.
    connect(FlatBttn1, &controls::xpcmdbutton::Click, this, &Dialog::FlatBttn1_Click);
    connect(FlatBttn2, &controls::xpcmdbutton::Click, this, &Dialog::FlatBttn2_Click);
    connect(FlatBttn3, &controls::xpcmdbutton::Click, this, &Dialog::FlatBttn3_Click);
    TxtFrame->installEventFilter(this);
    for (TextBox* box : {TxtFrame, TxtURL}) {
        connect(box->events(), &MouseEventSource::click, box, &QLineEdit::selectAll);
    }
    for (TextBox* box : {TxtFrame, TxtURL, TxtPath}) {
        connect(box->events(), &MouseEventSource::mouseMove, box, [box] { box->setBorder(true); });
    }
    connect(ImgPath->events(), &MouseEventSource::click, this, &Dialog::ImgPath_Click);
    connect(ImgPath->events(), &MouseEventSource::mouseDown, this,
            [this] { ImgPath->setPicture(res::bitmap(140)); });
    for (auto signal : {&MouseEventSource::mouseMove, &MouseEventSource::mouseUp}) {
        connect(ImgPath->events(), signal, this, [this] { ImgPath->setPicture(res::bitmap(141)); });
    }
    connect(Command2er, &controls::xpcmdbutton::Click, this, &Dialog::Command2er_Click);
    connect(Frame1->events(), &MouseEventSource::mouseMove, this, &Dialog::Frame1_MouseMove);
    for (PictureBox* frame : {Frame2, Frame3, Frame4}) {
        connect(frame->events(), &MouseEventSource::mouseMove, this, &Dialog::Frame2to4_MouseMove);
    }
    connect(Frame3->events(), &MouseEventSource::mouseDown, this, &Dialog::Frame3_MouseDown);

    // Colour page.
    int index = 0;
    for (controls::Slider* slider : {Slider1, Slider2, Slider3}) {
        connect(slider, &controls::Slider::Scroll, this, [this, index] { Slider_Scroll(index); });
        ++index;
    }
    connect(Check1, &controls::xpcheckbox::Click, this, &Dialog::Check1_Click);
    connect(Command1, &controls::xpcmdbutton::Click, this, &Dialog::Command1_Click);
    connect(ComUse, &controls::xpcmdbutton::Click, this, &Dialog::ComUse_Click);
    connect(Command2, &controls::xpcmdbutton::Click, this, &Dialog::Command2_Click);
    connect(ComAdvanced, &controls::xpcmdbutton::Click, this, &Dialog::ComAdvanced_Click);

    // Help page.
    connect(buttonhelp, &controls::xpcmdbutton::Click, this, &Dialog::buttonhelp_Click);
    connect(xpcmdbutton1, &controls::xpcmdbutton::Click, this, &Dialog::xpcmdbutton1_Click);
    connect(Label7->events(), &MouseEventSource::click, this, &Dialog::Label7_Click);
    connect(Label7->events(), &MouseEventSource::mouseMove, this, &Dialog::Label7_MouseMove);
}

void Dialog::hideForm6() {
    menus_.hideMenu(MenuLink::Menu::PlayList);
}

// Title strip: dragging it moves the window.

void Dialog::PicMove2_MouseDown(int, int, double, double) {
    hideForm6();
    show();
}

void Dialog::PicMove2_MouseMove(int, int, double, double) {
    show();
    Image1->setPicture(res::bitmap(138));
}

void Dialog::PicMove2_MouseUp(int, int, double, double) {
    show();
}

void Dialog::Image1_Click() {
    hide();
}

void Dialog::Image1_MouseMove() {
    Image1->setPicture(res::bitmap(139));
}

void Dialog::showPage(PictureBox* frame) {
    for (PictureBox* page : {Frame1, Frame2, Frame3, Frame4})
        page->setVisible(page == frame);
}

// Play page.

void Dialog::FlatBttn1_Click() {
    if (!TxtFrame->text().isEmpty()) {
        FlashControl* flash = &player_.movie();
        // A text the movie control cannot take as a frame skips the jump, not the rest.
        const std::optional<qint32> frame = options::frameNumberFrom(TxtFrame->text());
        if (flash->playing()) {
            if (frame)
                flash->setFrameNum(*frame);
            flash->setPlaying(true);
        } else {
            if (frame)
                flash->setFrameNum(*frame);
            flash->setPlaying(false);
            if (const std::optional<qint32> now = flash->frameNum()) {
                if (const std::optional<qint16> value = options::seekBarValueFor(*now))
                    player_.showFrameOnSeekBar(*value);
            }
        }
    }
    playSound("ok.wav");
}

void Dialog::FlatBttn2_Click() {
    FlashControl* flash = &player_.movie();
    flash->setMovie(TxtURL->text());
    // Playback starts when the movie reports it is ready.
    flash->setPlaying(false);
    playSound("ok.wav");
}

void Dialog::FlatBttn3_Click() {
    player_.openMovieFile();
    TxtURL->setText(advanced_.fileDialog().FileName);
    playSound("menu.wav");
}

void Dialog::ImgPath_Click() {
    browseCaptureFolder();
}

void Dialog::Command2er_Click() {
    preferences_.setTick(Preferences::Item::WhiteBackground, Check2->Value() == 1);
    preferences_.savePlayPage();
    applyPlaybackBackground();
    hide();
    playSound("ok.wav");
}

void Dialog::Frame1_OLEDragDrop(const QString& text) {
    player_.movie().setMovie(text);
    TxtURL->setText(text);
    player_.bringPlayerBack();
    floating_.hideFloatingWindow();
}

bool Dialog::takeDrag(QObject* target, QDropEvent* event) {
    const QMimeData* data = event->mimeData();
    if (!clsEx_Drag::isDroppedText(data)) {
        // Files dropped on the address box go on to its drop object; nothing else is taken,
        // not even by the box itself.
        if (target == TxtURL && !clsEx_Drag::firstDroppedFile(data).isEmpty())
            return false;
        event->ignore();
        return true;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    if (event->type() == QEvent::Drop)
        Frame1_OLEDragDrop(data->text());
    return true;
}

void Dialog::Frame1_MouseMove() {
    for (TextBox* box : {TxtFrame, TxtURL, TxtPath})
        box->setBorder(false);
    Label7->setForeColor(kLabel7Colour);
    ImgPath->setPicture(res::bitmap(140));
}

void Dialog::Frame2to4_MouseMove() {
    for (TextBox* box : {TxtFrame, TxtURL})
        box->setBorder(false);
    Label7->setForeColor(kLabel7Colour);
}

void Dialog::Frame3_MouseDown() {
    hideForm6();
}

bool Dialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == TxtFrame && event->type() == QEvent::KeyPress) {
        // Digits only: any other typed character is dropped, and so is Backspace; the
        // shortcuts that type over the text (paste, cut) count as typed characters.
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Backspace || key->matches(QKeySequence::Paste) ||
            key->matches(QKeySequence::Cut))
            return true;
        const QString typed = key->text();
        if (!typed.isEmpty() && !(typed.size() == 1 && options::isFrameDigit(typed.at(0))))
            return true;
        return false;
    }
    if (watched == Frame1 || watched == TxtURL) {
        switch (event->type()) {
            case QEvent::DragEnter:
            case QEvent::DragMove:
            case QEvent::Drop:
                return takeDrag(watched, static_cast<QDropEvent*>(event));
            default:
                break;
        }
    }
    return Form::eventFilter(watched, event);
}

// Colour page.

void Dialog::paintPreview(PictureBox* target, qint32 red, qint32 green, qint32 blue) {
    PaintGradient(target, red, green, blue, skinColours().topDown);
}

void Dialog::paintPreviews() {
    const SkinColours skin = skinColours();
    paintPreview(Picture1, skin.red, 0, 0);
    paintPreview(Picture2, 0, skin.green, 0);
    paintPreview(Picture3, 0, 0, skin.blue);
    paintPreview(Picture4, skin.red, skin.green, skin.blue);
}

void Dialog::Slider_Scroll(int index) {
    static const char* const kCaptions[] = {" Red = ", " Green = ", " Blue = "};
    controls::Slider* const sliders[] = {Slider1, Slider2, Slider3};
    LabelControl* const labels[] = {Label1, Label2, Label3};
    PictureBox* const previews[] = {Picture1, Picture2, Picture3};
    const Preferences::Item stored[] = {Preferences::Item::SkinRed, Preferences::Item::SkinGreen,
                                        Preferences::Item::SkinBlue};
    const QString value = QString::number(sliders[index]->Value());
    labels[index]->setText(QLatin1String(kCaptions[index]) + value);
    const SkinColours skin = skinColours();
    const qint32 parts[] = {skin.red, skin.green, skin.blue};
    paintPreview(previews[index], index == 0 ? parts[0] : 0, index == 1 ? parts[1] : 0,
                 index == 2 ? parts[2] : 0);
    paintPreview(Picture4, parts[0], parts[1], parts[2]);
    preferences_.setSkinPart(stored[index], sliders[index]->Value());
}

void Dialog::Check1_Click() {
    // Raised before the box changes: the previews and Text4 take the state from before the
    // click until the next slider move or apply.
    paintPreviews();
    storeDirection();
}

void Dialog::storeDirection() {
    // A mixed box (2) leaves the stored direction as it was.
    if (Check1->Value() == 0 || Check1->Value() == 1)
        preferences_.setTick(Preferences::Item::SkinTopDown, Check1->Value() == 1);
}

void Dialog::Command1_Click() {
    player_.previewSkin(skinColours());
}

void Dialog::ComUse_Click() {
    Command1_Click();
    storeDirection();
    preferences_.setSkinPart(Preferences::Item::SkinRed, Slider1->Value());
    preferences_.setSkinPart(Preferences::Item::SkinGreen, Slider2->Value());
    preferences_.setSkinPart(Preferences::Item::SkinBlue, Slider3->Value());
    preferences_.saveSkin();
    playSound("ok.wav");
}

void Dialog::Command2_Click() {
    hide();
    playSound("ok.wav");
}

void Dialog::ComAdvanced_Click() {
    hide();
    advanced_.showAdvancedWindow();
}

// Help page.

void Dialog::buttonhelp_Click() {
    program_.showHelp();
}

void Dialog::xpcmdbutton1_Click() {
    hide();
    playSound("ok.wav");
}

void Dialog::Label7_Click() {
    platform::shell().openDocument(QStringLiteral("mailto:") + QLatin1String(kContactAddress));
    playSound("menu.wav");
}

void Dialog::Label7_MouseMove() {
    Label7->setForeColor(QColor(255, 0, 0));
    Label7->setCursor(res::handCursor());
}

}  // namespace zd
