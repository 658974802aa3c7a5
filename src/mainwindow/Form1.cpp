#include "mainwindow/Form1.h"

#include <QCloseEvent>
#include <QFont>

#include "app/Class1.h"
#include "app/FlashControl.h"
#include "app/ProgramActions.h"
#include "app/Settings.h"
#include "app/clsEx_Drag.h"
#include "controls/FlatScrollBar.h"
#include "mainwindow/CSystrayIcon.h"
#include "mainwindow/LayoutRules.h"
#include "resources/Resources.h"

namespace zd {

Form1::Form1(ProgramActions& program, OptionsLink& options, FloatingLink& floating, MenuLink& menus,
             AdvancedLink& advanced)
    : program_(program),
      options_(options),
      floating_(floating),
      menus_(menus),
      advanced_(advanced) {
    setObjectName(QStringLiteral("Form1"));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setWindowTitle(QStringLiteral("ZephyrDeck"));
    setWindowIcon(res::programIcon());
    setBackColor(QColor(224, 224, 224));
    setFont(QFont(QStringLiteral("宋体"), 9));
    setTwipsGeometry(this, {0, 0, kDesignWidth, kDesignHeight});
    buildControls();
    playback = new PlaybackState(*SwFlash, *Scroll, *TmrPlay, this);
    fullScreen = new FullScreenMode(*this);
    connectController();
    connectOpen();
    connectLayout();
    connectCommands();
    connectCapture();
    connectTray();
}

Form1::~Form1() = default;

template <class T>
T* Form1::addControl(T* control, const char* name, const TwipRect& design, bool visible) {
    control->setObjectName(QString::fromLatin1(name));
    setTwipsGeometry(control, design);
    control->setVisible(visible);
    controls_.push_back(control);
    return control;
}

template <class T>
T* Form1::addTimer(T* timer, const char* name) {
    timer->setObjectName(QString::fromLatin1(name));
    controls_.push_back(timer);
    return timer;
}

void Form1::buildControls() {
    Text3 = addControl(new TextBox(this), "Text3", {2040, 2880, 615, 270}, false);
    Text3->setText(QStringLiteral("0"));
    Pic3 = addControl(new PictureBox(this), "Pic3", {3720, 600, 975, 495}, false);
    Text2 = addControl(new TextBox(this), "Text2", {4320, 2760, 855, 270}, false);
    Text1 = addControl(new TextBox(this), "Text1", {4320, 2400, 855, 270}, false);
    TimerScroll2 = addTimer(new FormTimer(10, this), "TimerScroll2");
    TimerScroll = addTimer(new FormTimer(10, this), "TimerScroll");

    Picture1 = addControl(new PictureBox(this), "Picture1", {0, 0, 5295, 375});
    Picture1->setBackColor(QColor(192, 192, 192));
    ImageTray = addControl(new ImageControl(Picture1), "ImageTray", {3120, 0, 270, 270});
    ImageTray->setToolTip(QStringLiteral("缩小到系统托盘"));
    ImageTray->setPicture(res::bitmap(128));
    ImageClose = addControl(new ImageControl(Picture1), "ImageClose", {3960, 0, 270, 270});
    ImageClose->setToolTip(QStringLiteral("关闭"));
    ImageClose->setPicture(res::bitmap(106));
    ImageMax = addControl(new ImageControl(Picture1), "ImageMax", {3720, 0, 270, 270});
    ImageMax->setToolTip(QStringLiteral("最大化"));
    ImageMax->setPicture(res::bitmap(116));
    ImageMin = addControl(new ImageControl(Picture1), "ImageMin", {3480, 0, 270, 270});
    ImageMin->setToolTip(QStringLiteral("最小化"));
    ImageMin->setPicture(res::bitmap(119));

    SwFlash = addControl(new FlashControl(this), "SwFlash", {480, 360, 4500, 4500});

    PicMove = addControl(new PictureBox(this), "PicMove", {0, 360, 5295, 4935});
    PicMove->setPicture(res::picture(QStringLiteral("panel")));
    Timerfull = addTimer(new FormTimer(10, this), "Timerfull");
    TmrIfMove2 = addTimer(new FormTimer(1000, this), "TmrIfMove2");
    TmrIfMove1 = addTimer(new FormTimer(1, this), "TmrIfMove1");
    Picture2 = addControl(new PictureBox(PicMove), "Picture2", {5040, 1200, 255, 615}, false);
    Picture2->setPicture(res::programIconPixmap());
    Scroll = addControl(new controls::FlatScrollBar(PicMove), "Scroll", {480, 4560, 4455, 135});
    TmrPlay = addTimer(new FormTimer(1, this), "TmrPlay");
    HScroll1 = addControl(new controls::FlatScrollBar(PicMove), "HScroll1", {3840, 4730, 1095, 90});
    ImgCapture = addControl(new ImageControl(PicMove), "ImgCapture", {3360, 4680, 255, 240}, false);
    ImgCapture->setToolTip(QStringLiteral("抓图"));
    ImgCapture->setPicture(res::bitmap(140));
    ImageStop = addControl(new ImageControl(PicMove), "ImageStop", {120, 4320, 255, 150});
    ImageStop->setToolTip(QStringLiteral("停止"));
    ImageStop->setPicture(res::bitmap(127));
    ImageOption = addControl(new ImageControl(PicMove), "ImageOption", {120, 1320, 255, 240});
    ImageOption->setToolTip(QStringLiteral("选项"));
    ImageOption->setPicture(res::bitmap(134));

    QFont counterFont(QStringLiteral("宋体"));
    counterFont.setPointSizeF(6.75);
    Label2 = addControl(new LabelControl(PicMove), "Label2", {0, 3960, 375, 255});
    Label1 = addControl(new LabelControl(PicMove), "Label1", {0, 3720, 375, 255});
    for (LabelControl* label : {Label2, Label1}) {
        label->setBackColor(Qt::white);
        label->setForeColor(QColor(0, 192, 0));
        label->setFont(counterFont);
        // The column is narrow: a long count is drawn smaller rather than cut ("/162帧").
        label->setFitText(true);
    }

    ImageBegin = addControl(new ImageControl(PicMove), "ImageBegin", {120, 4560, 255, 150});
    ImageBegin->setToolTip(QStringLiteral("开始播放"));
    ImageBegin->setPicture(res::bitmap(125));
    ImageResume =
        addControl(new ImageControl(PicMove), "ImageResume", {5040, 4560, 255, 240}, false);
    ImageResume->setToolTip(QStringLiteral("恢复"));
    ImageResume->setPicture(res::bitmap(136));
    ImaListBar1 =
        addControl(new ImageControl(PicMove), "ImaListBar1", {4860, 4560, 315, 330}, false);
    ImaListBar1->setToolTip(QStringLiteral("锁定"));
    ImaListBar1->setPicture(res::picture(QStringLiteral("lock")));
    ImaListBar2 =
        addControl(new ImageControl(PicMove), "ImaListBar2", {4860, 4560, 300, 315}, false);
    ImaListBar2->setToolTip(QStringLiteral("解除锁定"));
    ImaListBar2->setPicture(res::picture(QStringLiteral("unlock")));
    ImageOpen = addControl(new ImageControl(PicMove), "ImageOpen", {120, 600, 255, 240});
    ImageOpen->setToolTip(QStringLiteral("打开文件"));
    ImageOpen->setPicture(res::bitmap(131));
    ImageFullScreen =
        addControl(new ImageControl(PicMove), "ImageFullScreen", {120, 960, 255, 240});
    ImageFullScreen->setToolTip(QStringLiteral("全屏播放"));
    ImageFullScreen->setPicture(res::bitmap(136));
    imascrollbox3 = addControl(new ImageControl(PicMove), "imascrollbox3", {120, 2400, 270, 270});
    imascrollbox3->setToolTip(QStringLiteral("缩小窗口"));
    imascrollbox3->setPicture(res::bitmap(104));
    imascrollbox1 = addControl(new ImageControl(PicMove), "imascrollbox1", {120, 2160, 270, 270});
    imascrollbox1->setToolTip(QStringLiteral("放大窗口"));
    imascrollbox1->setPicture(res::bitmap(102));
    ImagePause = addControl(new ImageControl(PicMove), "ImagePause", {120, 4560, 255, 150}, false);
    ImagePause->setToolTip(QStringLiteral("停止播放"));
    ImagePause->setPicture(res::bitmap(123));

    // The movie lies over the panel; the title bar over both.
    SwFlash->raise();
    Picture1->raise();
}

QString Form1::layoutTag(QObject* control) {
    return control->property("Tag").toString();
}

void Form1::setLayoutTag(QObject* control, const QString& tag) {
    control->setProperty("Tag", tag);
}

bool Form1::hasFont(QObject* control) {
    return qobject_cast<PictureBox*>(control) || qobject_cast<TextBox*>(control) ||
           qobject_cast<LabelControl*>(control);
}

void Form1::writeLayoutTags() {
    for (QObject* control : controls_) {
        auto* widget = qobject_cast<QWidget*>(control);
        if (!widget) {
            setLayoutTag(control, QString());  // a timer has no geometry
            continue;
        }
        std::optional<double> fontSize;
        if (hasFont(control))
            fontSize = widget->font().pointSizeF();
        setLayoutTag(control, layout::formatLayoutTag(twipsGeometry(widget), fontSize));
    }
}

void Form1::loadCounter() {
    Text3->setText(settings::read(QStringLiteral("Myapp9"), QStringLiteral("Text3")));
    counterLoaded_ = true;
}

void Form1::saveCounter() {
    if (counterLoaded_)
        settings::write(QStringLiteral("MyApp9"), QStringLiteral("Text3"), Text3->text());
}

void Form1::removeTrayIcon() {
    // A failure to remove the icon changes nothing here.
    if (SysIcon)
        SysIcon->HideIcon();
}

void Form1::closeEvent(QCloseEvent* event) {
    // Closed by the window manager or the session: the program's own exit path, so nothing is
    // lost; the exit routine removes this window itself.
    event->ignore();
    program_.quitProgram();
}

}  // namespace zd
