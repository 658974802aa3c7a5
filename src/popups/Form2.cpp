#include "popups/Form2.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "app/OptionsLink.h"
#include "app/ProgramActions.h"
#include "controls/ClassicEvents.h"
#include "controls/MouseEventSource.h"
#include "controls/Placement.h"
#include "controls/Slider.h"
#include "controls/xpcmdbutton.h"
#include "platform/Services.h"
#include "resources/Resources.h"

namespace zd {

namespace {

const QColor kPanelColour(224, 224, 224);
// Flags of the colour dialog: open with the custom-colour part expanded.
constexpr int kFullOpen = 2;

LabelControl* transparentLabel(QWidget* parent, const char* name, const QString& caption,
                               const TwipRect& rect) {
    auto* label = place(new LabelControl(parent), name, rect);
    label->setText(caption);
    label->setOpaque(false);
    return label;
}

controls::xpcmdbutton* button(QWidget* parent, const char* name, const QString& caption,
                              const TwipRect& rect) {
    auto* b = place(new controls::xpcmdbutton(parent), name, rect);
    b->setCaption(caption);
    b->setFont(QFont(QStringLiteral("宋体"), 9));
    return b;
}

qint16 toInt16(double twips) {
    return static_cast<qint16>(std::clamp<long>(std::lround(twips), -32768, 32767));
}

}  // namespace

Form2::Form2(Preferences& preferences, OptionsLink& options, ProgramActions& program)
    : preferences_(preferences), options_(options), program_(program) {
    setObjectName(QStringLiteral("Form2"));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setWindowTitle(QStringLiteral("高级"));
    setWindowIcon(res::programIcon());
    setBackColor(kPanelColour);
    setFont(QFont(QStringLiteral("宋体"), 9));
    setTwipsGeometry(this, {0, 0, 3135, 3540});

    Picture1 = place(new PictureBox(this), "Picture1", {0, 0, 3135, 3615});
    Picture1->setPicture(res::picture(QStringLiteral("advanced-skin")));
    Image1 = place(new ImageControl(Picture1), "Image1", {2880, 60, 195, 195});
    Image1->setPicture(res::bitmap(138));
    Label5 =
        transparentLabel(Picture1, "Label5", QStringLiteral("菜单透明度"), {240, 1200, 975, 255});
    Label1 = place(new LabelControl(Picture1), "Label1", {2400, 1440, 495, 255});
    Label1->setBackColor(kPanelColour);
    Label1->setText(QStringLiteral("245"));
    Label4 = transparentLabel(Picture1, "Label4", QStringLiteral("设置将在下一次打开时生效"),
                              {120, 2160, 2415, 255});
    Label3 = place(new LabelControl(Picture1), "Label3", {1800, 600, 855, 255});
    Label3->setBackColor(Qt::white);
    Label2 = new LabelControl(Picture1);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->hide();

    Slider1 = place(new controls::Slider(this), "Slider1", {120, 1440, 2175, 315});
    Slider1->setMax(255);
    Slider1->setMin(0);
    Slider1->setValue(245);
    label6 = place(new TextBox(this), "label6", {120, 1800, 2055, 255});
    label6->setBackColor(kPanelColour);
    xpcmdbutton1 =
        button(this, "xpcmdbutton1", QStringLiteral("悬浮窗口背景色"), {240, 600, 1455, 255});
    xpcmdbutton4 =
        button(this, "xpcmdbutton4", QStringLiteral("关闭ZephyrDeck"), {240, 2520, 1695, 255});
    xpcmdbutton2 = button(this, "xpcmdbutton2", QStringLiteral("保存"), {1320, 3000, 735, 255});
    xpcmdbutton3 = button(this, "xpcmdbutton3", QStringLiteral("关闭"), {2160, 3000, 735, 255});

    connect(Slider1, &controls::Slider::Scroll, this, &Form2::Slider1_Scroll);
    connect(xpcmdbutton1, &controls::xpcmdbutton::Click, this, &Form2::xpcmdbutton1_Click);
    connect(Label3->events(), &MouseEventSource::click, this, &Form2::Label3_Click);
    connect(xpcmdbutton2, &controls::xpcmdbutton::Click, this, &Form2::xpcmdbutton2_Click);
    connect(xpcmdbutton3, &controls::xpcmdbutton::Click, this, &Form2::xpcmdbutton3_Click);
    connect(xpcmdbutton4, &controls::xpcmdbutton::Click, this, &Form2::xpcmdbutton4_Click);
    connect(Image1->events(), &MouseEventSource::click, this, &Form2::Image1_Click);
    connect(Image1->events(), &MouseEventSource::mouseMove, this, &Form2::Image1_MouseMove);
    connect(Picture1->events(), &MouseEventSource::mouseDown, this, &Form2::Picture1_MouseDown);
    connect(Picture1->events(), &MouseEventSource::mouseMove, this, &Form2::Picture1_MouseMove);
    connect(Picture1->events(), &MouseEventSource::mouseUp, this, &Form2::Picture1_MouseUp);
    connect(&preferences_, &Preferences::changed, this, &Form2::showPreference);
}

void Form2::showPreference(Preferences::Item item) {
    if (item == Preferences::Item::MenuOpacity)
        Label1->setCaption(preferences_.text(item));
    if (item == Preferences::Item::FloatingColour)
        Label2->setCaption(preferences_.text(item));
}

void Form2::formLoad() {
    preferences_.loadAdvanced();
    Label1->setCaption(preferences_.text(Preferences::Item::MenuOpacity));
    if (const std::optional<int> opacity = preferences_.menuOpacityPosition())
        Slider1->setValue(*opacity);
    Label2->setCaption(preferences_.text(Preferences::Item::FloatingColour));
    if (const std::optional<QColor> colour = preferences_.floatingColour())
        Label3->setBackColor(*colour);
    dragging_ = false;
    const platform::ScreenMetrics screen = platform::screenMetrics();
    setLeftTwips(screen.widthTwips() - widthTwips() - 2400);
    setTopTwips(1500);
    options_.hideOptionsWindow();
}

void Form2::formUnload() {
    options_.showAndCleanOptionsWindow();
}

QString Form2::opacityMark(int value) {
    switch (value) {
        case 0:
            return QStringLiteral("全透明");
        case 245:
            return QStringLiteral("默认");
        case 255:
            return QStringLiteral("不透明");
        default:
            return QString();
    }
}

void Form2::Slider1_Scroll() {
    preferences_.setMenuOpacity(Slider1->Value());
    label6->setText(opacityMark(Slider1->Value()));
}

void Form2::xpcmdbutton1_Click() {
    CommonDialog1.Flags = kFullOpen;
    // Cancel changes nothing: neither the colour the dialog remembers nor the window's.
    const std::optional<QColor> chosen =
        platform::commonDialogs().chooseColor(this, CommonDialog1.Color);
    if (!chosen)
        return;
    CommonDialog1.Color = *chosen;
    preferences_.setFloatingColour(*chosen);
    Label3->setBackColor(*chosen);
}

void Form2::Label3_Click() {
    xpcmdbutton1_Click();
}

void Form2::xpcmdbutton2_Click() {
    preferences_.saveAdvanced();
    platform::playAppSound(QStringLiteral("sound/ok.wav"));
}

void Form2::xpcmdbutton3_Click() {
    emit unloadRequested();
    options_.showAndCleanOptionsWindow();
}

void Form2::xpcmdbutton4_Click() {
    program_.quitProgram();
}

void Form2::Image1_Click() {
    emit unloadRequested();
}

void Form2::Image1_MouseMove() {
    Image1->setPicture(res::bitmap(139));
}

void Form2::Picture1_MouseDown(int button, int, double x, double y) {
    if (button != kLeftButton)
        return;
    dragX_ = toInt16(x);
    dragY_ = toInt16(y);
    dragging_ = true;
}

void Form2::Picture1_MouseMove(int, int, double x, double y) {
    Image1->setPicture(res::bitmap(138));
    if (!dragging_)
        return;
    // The skin stays under the mouse: the window follows by the distance the mouse went.
    setLeftTwips(leftTwips() + toInt16(x - dragX_));
    setTopTwips(topTwips() + toInt16(y - dragY_));
}

void Form2::Picture1_MouseUp(int, int, double, double) {
    dragging_ = false;
}

}  // namespace zd
