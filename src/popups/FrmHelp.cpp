#include "popups/FrmHelp.h"

#include <QLinearGradient>
#include <QPainter>

#include "app/Gradient.h"
#include "controls/ClassicEvents.h"
#include "controls/MouseEventSource.h"
#include "controls/Placement.h"
#include "controls/WindowDrag.h"
#include "platform/Services.h"
#include "resources/Resources.h"

namespace zd {

namespace {

const QColor kTitleColour(192, 0, 0);

struct Rgb {
    qint32 red;
    qint32 green;
    qint32 blue;
};
constexpr Rgb kPanelLight{204, 219, 237};
constexpr Rgb kButtonHover{190, 210, 230};
constexpr Rgb kButtonPressed{210, 220, 240};

void paint(QWidget* target, Rgb start, bool topDown) {
    PaintGradient(target, start.red, start.green, start.blue, topDown);
}

// The close button's face in its state's colour: lit from the top or from the bottom, framed,
// with a cross. The panels' 63-band gradient would reach black within the button's 17 pixels.
void paintButton(PictureBox* button, Rgb start, bool topDown) {
    QImage& face = button->canvas();
    const QColor light(start.red, start.green, start.blue);
    const QColor shade = light.darker(125);
    QPainter p(&face);
    QLinearGradient fill(0, 0, 0, face.height());
    fill.setColorAt(0, topDown ? light : shade);
    fill.setColorAt(1, topDown ? shade : light);
    p.fillRect(face.rect(), fill);
    p.setPen(light.darker(170));
    p.drawRect(face.rect().adjusted(0, 0, -1, -1));
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(kTitleColour, 2));
    const QRectF cross = QRectF(face.rect()).adjusted(4.5, 4.5, -4.5, -4.5);
    p.drawLine(cross.topLeft(), cross.bottomRight());
    p.drawLine(cross.topRight(), cross.bottomLeft());
    p.end();
    button->update();
}

}  // namespace

FrmHelp::FrmHelp() {
    setObjectName(QStringLiteral("FrmHelp"));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setWindowTitle(QStringLiteral("对话框标题"));
    setWindowIcon(res::programIcon());
    setTwipsGeometry(this, {0, 0, 5805, 3990});

    // Made from the back to the front: the artwork lies over both panels.
    Pic1 = place(new PictureBox(this), "Pic1", {0, 0, 5800, 1935});
    Pic1->setBackColor(QColor(224, 224, 224));
    Label2 = place(new LabelControl(Pic1), "Label2", {120, 75, 4095, 255});
    Label2->setText(QStringLiteral("关于Quillon的ZephyrDeck Flash播放器"));
    Label2->setOpaque(false);
    Label2->setForeColor(kTitleColour);
    QFont title(QStringLiteral("宋体-18030"), 9);
    title.setBold(true);
    Label2->setFont(title);
    Label2->setFitText(true);
    // Under the close button, inside the panel (it reached past the panel's edge).
    Label1 = place(new LabelControl(Pic1), "Label1", {5410, 360, 390, 210});
    Label1->setFitText(true);
    Label1->setText(QStringLiteral("关闭"));
    Label1->setOpaque(false);
    Label1->setForeColor(kTitleColour);
    Label1->hide();
    PicButton1 = place(new PictureBox(Pic1), "PicButton1", {5480, 70, 255, 255});

    Pic2 = place(new PictureBox(this), "Pic2", {0, 1920, 5800, 2055});
    Pic2->setBackColor(QColor(192, 192, 192));
    Image1 = place(new ImageControl(Pic2), "Image1", {360, 1600, 1935, 450});
    Image1->setPicture(res::picture(QStringLiteral("version")));

    Picture1 = place(new PictureBox(this), "Picture1", {350, 360, 5100, 3165});
    Picture1->setPicture(res::picture(QStringLiteral("about")));

    connect(PicButton1->events(), &MouseEventSource::mouseMove, this,
            &FrmHelp::PicButton1_MouseMove);
    connect(PicButton1->events(), &MouseEventSource::mouseDown, this,
            &FrmHelp::PicButton1_MouseDown);
    connect(PicButton1->events(), &MouseEventSource::mouseUp, this, &FrmHelp::PicButton1_MouseUp);
    connect(PicButton1->events(), &MouseEventSource::click, this, &FrmHelp::PicButton1_Click);
    connect(Pic1->events(), &MouseEventSource::mouseMove, this, &FrmHelp::Pic1_MouseMove);
    // The panels, the artwork and the title drag the window; the close button does not.
    for (QWidget* part : {static_cast<QWidget*>(Pic1), static_cast<QWidget*>(Pic2),
                          static_cast<QWidget*>(Picture1), static_cast<QWidget*>(Label2)})
        new WindowDrag(part);
}

void FrmHelp::formLoad() {
    const platform::ScreenMetrics screen = platform::screenMetrics();
    setLeftTwips((screen.widthTwips() - widthTwips()) / 2);
    setTopTwips((screen.heightTwips() - heightTwips()) / 2);
    paint(Pic1, kPanelLight, true);
    paint(Pic2, kPanelLight, false);
    paintButton(PicButton1, kPanelLight, false);
}

void FrmHelp::PicButton1_MouseMove() {
    paintButton(PicButton1, kButtonHover, false);
    Label1->show();
}

void FrmHelp::PicButton1_MouseDown() {
    paintButton(PicButton1, kButtonPressed, true);
}

void FrmHelp::PicButton1_MouseUp() {
    paintButton(PicButton1, kPanelLight, false);
}

void FrmHelp::PicButton1_Click() {
    platform::playAppSound(QStringLiteral("sound/ok.wav"));
    emit unloadRequested();
}

void FrmHelp::Pic1_MouseMove() {
    paintButton(PicButton1, kPanelLight, false);
    Label1->hide();
}

}  // namespace zd
