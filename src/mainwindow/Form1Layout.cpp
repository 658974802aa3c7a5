// The main window's proportional layout, its skin gradients, the image buttons' looks and the
// enlarge and shrink buttons.
#include <QFont>
#include <QResizeEvent>
#include <array>

#include "app/Gradient.h"
#include "app/OptionsLink.h"
#include "controls/ClassicEvents.h"
#include "controls/MouseEventSource.h"
#include "controls/WindowDrag.h"
#include "mainwindow/Form1.h"
#include "mainwindow/LayoutRules.h"
#include "platform/Services.h"
#include "resources/Resources.h"

namespace zd {

namespace {

constexpr int kNoLook = -1;

// The bitmap each image button shows on a press, on a hover and on a release (kNoLook: the
// button has no handler for that event), and the neighbours a hover puts back to normal.
struct ButtonLooks {
    ImageControl* Form1::*image;
    int down;
    int hover;
    int up;
    std::array<std::pair<ImageControl * Form1::*, int>, 2> hoverResets{};
};

const ButtonLooks kButtonLooks[] = {
    {&Form1::ImageMin, 120, 121, 119, {{{&Form1::ImageMax, 116}}}},
    {&Form1::ImageMax, 117, 118, 116, {{{&Form1::ImageMin, 119}, {&Form1::ImageClose, 106}}}},
    {&Form1::ImageClose, 107, 108, 106, {{{&Form1::ImageMax, 116}}}},
    {&Form1::ImageTray, 129, 130, 128},
    {&Form1::ImageOpen, 131, 132, 132},
    {&Form1::ImageOption, 134, 135, kNoLook},
    {&Form1::ImageFullScreen, 136, 137, kNoLook},
    {&Form1::ImageResume, 136, 137, kNoLook},
    {&Form1::ImgCapture, 140, 141, 141},
    {&Form1::ImageBegin, 124, kNoLook, 125},
    {&Form1::ImagePause, 122, kNoLook, 123},
    {&Form1::ImageStop, 126, kNoLook, 127},
    {&Form1::imascrollbox1, 103, kNoLook, 102},
    {&Form1::imascrollbox3, 105, kNoLook, 104},
};

void showLook(ImageControl* image, int bitmapId) {
    image->setPicture(res::bitmap(bitmapId));
}

layout::WindowSize screenSize() {
    const platform::ScreenMetrics screen = platform::screenMetrics();
    return {screen.widthTwips(), screen.heightTwips()};
}

}  // namespace

void Form1::connectLayout() {
    for (const ButtonLooks& looks : kButtonLooks) {
        ImageControl* image = this->*looks.image;
        MouseEventSource* events = image->events();
        if (looks.down != kNoLook) {
            connect(events, &MouseEventSource::mouseDown, this,
                    [image, id = looks.down] { showLook(image, id); });
        }
        if (looks.hover != kNoLook) {
            connect(events, &MouseEventSource::mouseMove, this, [this, image, looks] {
                showLook(image, looks.hover);
                for (const auto& [neighbour, id] : looks.hoverResets) {
                    if (neighbour)
                        showLook(this->*neighbour, id);
                }
            });
        }
        if (looks.up != kNoLook) {
            connect(events, &MouseEventSource::mouseUp, this,
                    [image, id = looks.up] { showLook(image, id); });
        }
    }
    // The size buttons run their timers while held.
    connect(imascrollbox1->events(), &MouseEventSource::mouseDown, this,
            &Form1::imascrollbox1_MouseDown);
    connect(imascrollbox1->events(), &MouseEventSource::mouseUp, this,
            &Form1::imascrollbox1_MouseUp);
    connect(imascrollbox3->events(), &MouseEventSource::mouseDown, this,
            &Form1::imascrollbox3_MouseDown);
    connect(imascrollbox3->events(), &MouseEventSource::mouseUp, this,
            &Form1::imascrollbox3_MouseUp);
    connect(TimerScroll, &QTimer::timeout, this, &Form1::TimerScroll_Timer);
    connect(TimerScroll2, &QTimer::timeout, this, &Form1::TimerScroll2_Timer);

    connect(Picture1->events(), &MouseEventSource::mouseMove, this, &Form1::Picture1_MouseMove);
    // The title bar drags the window while the left button is held.
    new WindowDrag(Picture1);
    connect(PicMove->events(), &MouseEventSource::mouseMove, this, &Form1::PicMove_MouseMove);
}

void Form1::resizeEvent(QResizeEvent* event) {
    Form::resizeEvent(event);
    Form_Resize();
}

void Form1::Form_Resize() {
    // No reference before the start-up has taken it (the tags are not written yet either).
    const std::optional<layout::ScaleFactors> factors =
        layout::scaleFactors(scaleWidth(), scaleHeight(), RefScaleWidth, RefScaleHeight);
    if (!factors)
        return;
    for (QObject* control : controls_) {
        auto* widget = qobject_cast<QWidget*>(control);
        if (!widget)
            continue;  // a timer cannot be moved: the attempt fails and is skipped
        const bool visible = !widget->isHidden();
        widget->hide();
        const layout::LayoutTag tag = layout::parseLayoutTag(layoutTag(control));
        setTwipsGeometry(widget, layout::scaledRect(tag, *factors));
        const double fontSize = layout::scaledFontSize(tag, *factors);
        // A font cannot be made 0 points high (a collapsed window): that step is skipped.
        if (hasFont(control) && fontSize > 0) {
            QFont font = widget->font();
            font.setPointSizeF(fontSize);
            widget->setFont(font);
        }
        widget->setVisible(visible);
    }
    if (layout::fillsScreen({widthTwips(), heightTwips()}, screenSize())) {
        setLeftTwips(0);
        setTopTwips(0);
    }
    zd::setHeightTwips(Label1, layout::kCounterLabelHeight);
    zd::setHeightTwips(Label2, layout::kCounterLabelHeight);
    paintSkin();
}

void Form1::paintSkin() {
    paintSkin(Picture1);
    paintSkin(PicMove);
}

void Form1::paintSkin(QWidget* area) {
    // During the exit the options window may already be gone; it is not loaded again for this.
    if (const std::optional<SkinColours> colours = options_.skinColours())
        zd::paintSkin(area, *colours);
}

void Form1::previewSkin(const SkinColours& colours) {
    zd::paintSkin(this, colours);
    PicMove->setBackColor(backColor());
    zd::paintSkin(Picture1, colours);
    zd::paintSkin(PicMove, colours);
}

void Form1::imascrollbox1_MouseDown() {
    TimerScroll->setEnabled(true);
}

void Form1::imascrollbox1_MouseUp() {
    TimerScroll->setEnabled(false);
}

void Form1::imascrollbox3_MouseDown() {
    TimerScroll2->setEnabled(true);
}

void Form1::imascrollbox3_MouseUp() {
    TimerScroll2->setEnabled(false);
}

void Form1::TimerScroll_Timer() {
    imascrollbox3->setEnabled(true);
    const layout::SizeStep step = layout::enlargeStep({widthTwips(), heightTwips()}, screenSize());
    setWidthTwips(step.size.width);
    setHeightTwips(step.size.height);
    if (step.stop) {
        setLeftTwips(0);
        setTopTwips(0);
        TimerScroll->setEnabled(false);
    }
}

void Form1::TimerScroll2_Timer() {
    imascrollbox1->setEnabled(true);
    const layout::SizeStep step = layout::shrinkStep({widthTwips(), heightTwips()});
    setWidthTwips(step.size.width);
    setHeightTwips(step.size.height);
    if (step.stop)
        TimerScroll2->setEnabled(false);
}

void Form1::Picture1_MouseMove(int, int, double, double) {
    showLook(ImageMin, 119);
    showLook(ImageMax, 116);
    showLook(ImageClose, 106);
    showLook(ImageTray, 128);
}

void Form1::PicMove_MouseMove(int, int, double, double) {
    showLook(ImageOpen, 131);
    showLook(ImageOption, 134);
    showLook(ImageFullScreen, 136);
    showLook(ImageResume, 136);
    showLook(ImgCapture, 140);
}

}  // namespace zd
