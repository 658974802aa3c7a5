#include "options/Dialog.h"

#include "app/AdvancedLink.h"
#include "app/FlashControl.h"
#include "app/PathRules.h"
#include "app/PlayerLink.h"
#include "app/clsEx_Drag.h"
#include "controls/Placement.h"
#include "controls/Slider.h"
#include "controls/xpcheckbox.h"
#include "controls/xpcmdbutton.h"
#include "platform/Services.h"
#include "resources/Resources.h"

namespace zd {

namespace {

constexpr double kDesignWidth = 5295;
constexpr double kDesignHeight = 3855;
constexpr double kDesignTop = 3315;

// The design positions of the colour sliders, kept while no stored value says otherwise.
constexpr int kDesignRed = 90;
constexpr int kDesignGreen = 130;
constexpr int kDesignBlue = 190;
// The skin's colour values are the slider positions raised by this much.
constexpr qint32 kSkinBase = 50;

controls::xpcmdbutton* button(QWidget* parent, const char* name, const QString& caption,
                              const TwipRect& rect) {
    auto* b = place(new controls::xpcmdbutton(parent), name, rect);
    b->setCaption(caption);
    return b;
}

LabelControl* label(QWidget* parent, const char* name, const QString& caption,
                    const TwipRect& rect) {
    auto* l = place(new LabelControl(parent), name, rect);
    l->setText(caption);
    l->setOpaque(false);
    return l;
}

TextBox* hiddenBox(QWidget* parent, const char* name, const QString& text) {
    auto* box = new TextBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setText(text);
    box->hide();
    return box;
}

}  // namespace

Dialog::Dialog(Preferences& preferences, PlayerLink& player, FloatingLink& floating,
               MenuLink& menus, AdvancedLink& advanced, ProgramActions& program)
    : preferences_(preferences),
      player_(player),
      floating_(floating),
      menus_(menus),
      advanced_(advanced),
      program_(program) {
    setObjectName(QStringLiteral("Dialog"));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setWindowTitle(QStringLiteral("ZephyrDeck"));
    setWindowIcon(res::programIcon());
    setBackColor(QColor(224, 224, 224));
    setFont(QFont(QStringLiteral("宋体"), 9));
    setTwipsGeometry(this, {0, kDesignTop, kDesignWidth, kDesignHeight});
    buildControls();
    connectPages();
    connectPlayList();
    connect(&preferences_, &Preferences::changed, this, &Dialog::showPreference);
}

Dialog::~Dialog() {
    // The controls go ahead of the play list they show, and their last signals (the views let
    // go of their selection as they go) must not reach a window that is no longer whole.
    for (QObject* child : findChildren<QObject*>())
        disconnect(child, nullptr, this, nullptr);
    delete Frame3;
}

void Dialog::buildControls() {
    PicMove2 = place(new PictureBox(this), "PicMove2", {0, 0, 5385, 315});
    PicMove2->setPicture(res::picture(QStringLiteral("options-title")));
    Image1 = place(new ImageControl(this), "Image1", {5010, 60, 195, 195});
    Image1->setPicture(res::bitmap(138));

    Tabutton1 = button(this, "Tabutton1", QStringLiteral("播放"), {0, 300, 1335, 375});
    Tabutton2 = button(this, "Tabutton2", QStringLiteral("背景颜色"), {1320, 300, 1335, 375});
    Tabutton3 = button(this, "Tabutton3", QStringLiteral("列表"), {2640, 300, 1335, 375});
    Tabutton4 = button(this, "Tabutton4", QStringLiteral("帮助"), {3960, 300, 1335, 375});

    const TwipRect page{0, 600, 5295, 3255};
    Frame1 = place(new PictureBox(this), "Frame1", page);
    Frame2 = place(new PictureBox(this), "Frame2", page);
    Frame3 = place(new PictureBox(this), "Frame3", page);
    Frame4 = place(new PictureBox(this), "Frame4", page);

    // Play page.
    Label5 = label(Frame1, "Label5", QStringLiteral("输入帧数："), {240, 480, 975, 255});
    TxtFrame = place(new TextBox(Frame1), "TxtFrame", {1320, 480, 855, 270});
    FlatBttn1 = button(Frame1, "FlatBttn1", QStringLiteral("Go"), {2280, 480, 375, 255});
    Label6 = label(Frame1, "Label6", QStringLiteral("输入URL\\拖拽文件\\拖拽URL："),
                   {240, 1200, 2655, 255});
    TxtURL = place(new TextBox(Frame1), "TxtURL", {240, 1560, 4215, 270});
    FlatBttn2 = button(Frame1, "FlatBttn2", QStringLiteral("Go"), {4560, 1560, 375, 255});
    FlatBttn3 = button(Frame1, "FlatBttn3", QStringLiteral("…"), {4200, 1920, 255, 255});
    Label4 = label(Frame1, "Label4", QStringLiteral("抓图将被保存到："), {240, 2040, 1455, 255});
    TxtPath = place(new TextBox(Frame1), "TxtPath", {1920, 2040, 1575, 270});
    ImgPath = place(new ImageControl(Frame1), "ImgPath", {3600, 2040, 255, 240});
    ImgPath->setPicture(res::bitmap(140));
    Check2 = place(new controls::xpcheckbox(Frame1), "Check2", {240, 2520, 2055, 255});
    Check2->setCaption(QStringLiteral("以白色为播放背景"));
    Check2->setBackColor(Frame1->backColor());
    Command2er = button(Frame1, "Command2er", QStringLiteral("确定"), {4320, 2760, 735, 255});
    Text7 = hiddenBox(Frame1, "Text7", QStringLiteral("0"));
    Text8 = hiddenBox(Frame1, "Text8", QString());

    // Colour page.
    Slider1 = place(new controls::Slider(Frame2), "Slider1", {240, 480, 2775, 255});
    Slider2 = place(new controls::Slider(Frame2), "Slider2", {240, 1080, 2775, 255});
    Slider3 = place(new controls::Slider(Frame2), "Slider3", {240, 1680, 2775, 255});
    const int design[] = {kDesignRed, kDesignGreen, kDesignBlue};
    int n = 0;
    for (controls::Slider* slider : {Slider1, Slider2, Slider3}) {
        slider->setMax(255);
        slider->setMin(0);
        slider->setSmallChange(1);
        slider->setLargeChange(5);
        slider->setValue(design[n++]);
    }
    Label1 = label(Frame2, "Label1", QString(), {3120, 480, 1215, 255});
    Label2 = label(Frame2, "Label2", QString(), {3120, 1080, 1215, 255});
    Label3 = label(Frame2, "Label3", QString(), {3120, 1680, 1215, 255});
    for (LabelControl* l : {Label1, Label2, Label3}) {
        l->setOpaque(true);
        l->setBackColor(QColor(192, 192, 255));
    }
    Picture1 = place(new PictureBox(Frame2), "Picture1", {4440, 480, 615, 255});
    Picture2 = place(new PictureBox(Frame2), "Picture2", {4440, 1080, 615, 255});
    Picture3 = place(new PictureBox(Frame2), "Picture3", {4440, 1680, 615, 255});
    Picture4 = place(new PictureBox(Frame2), "Picture4", {240, 2040, 1575, 855});
    Check1 = place(new controls::xpcheckbox(Frame2), "Check1", {2160, 2280, 1455, 255});
    Check1->setCaption(QStringLiteral("由下到上"));
    Check1->setBackColor(Frame2->backColor());
    ComAdvanced = button(Frame2, "ComAdvanced", QStringLiteral("高级"), {3840, 2280, 1095, 255});
    Command1 = button(Frame2, "Command1", QStringLiteral("预览"), {2640, 2760, 735, 255});
    ComUse = button(Frame2, "ComUse", QStringLiteral("应用"), {3480, 2760, 735, 255});
    Command2 = button(Frame2, "Command2", QStringLiteral("关闭"), {4320, 2760, 735, 255});
    Text1 = hiddenBox(Frame2, "Text1", QStringLiteral("0"));
    Text2 = hiddenBox(Frame2, "Text2", QStringLiteral("0"));
    Text3 = hiddenBox(Frame2, "Text3", QStringLiteral("0"));
    Text4 = hiddenBox(Frame2, "Text4", QStringLiteral("0"));

    // Play-list page.
    List1 = place(new PlayListView(playList_, PlayList::NameColumn, true, Frame3), "List1",
                  {240, 360, 2655, 2190});
    QPalette listColours = List1->palette();
    listColours.setColor(QPalette::Base, QColor(64, 64, 64));
    listColours.setColor(QPalette::Text, QColor(192, 192, 255));
    List1->setPalette(listColours);
    // Hidden, but with List1's size, so it scrolls the way List1 does.
    List2 = place(new PlayListView(playList_, PlayList::PathColumn, false, Frame3), "List2",
                  {240, 360, 2655, 2190});
    List2->hide();
    SFlash2 = place(new FlashControl(Frame3), "SFlash2", {3000, 360, 2175, 2175});
    ComPlay = button(Frame3, "ComPlay", QStringLiteral("播放"), {2400, 2760, 735, 255});
    ComDelete = button(Frame3, "ComDelete", QStringLiteral("清空列表"), {3240, 2760, 855, 255});
    ComOk = button(Frame3, "ComOk", QStringLiteral("确定"), {4320, 2760, 735, 255});
    Text5 = hiddenBox(Frame3, "Text5", QStringLiteral("0"));
    Text6 = hiddenBox(Frame3, "Text6", QStringLiteral("0"));

    // Help page.
    Image2 = place(new ImageControl(Frame4), "Image2", {240, 240, 4920, 2475});
    Image2->setPicture(res::picture(QStringLiteral("help-page")));
    Label7 = label(Frame4, "Label7", QStringLiteral("跟我联系：") + QLatin1String(kContactAddress),
                   {240, 2760, 3135, 255});
    Label7->setForeColor(QColor(192, 192, 255));
    buttonhelp = button(Frame4, "buttonhelp", QStringLiteral("帮助"), {3480, 2760, 735, 255});
    xpcmdbutton1 = button(Frame4, "xpcmdbutton1", QStringLiteral("确定"), {4320, 2760, 735, 255});

    // The boxes show a border only while the mouse is over them.
    for (TextBox* box : {TxtFrame, TxtURL, TxtPath})
        box->setBorder(false);
    // The frame box takes typed digits only (no input method, no dropped text).
    TxtFrame->setAttribute(Qt::WA_InputMethodEnabled, false);
    TxtFrame->setAcceptDrops(false);
    TxtPath->setAcceptDrops(false);

    Frame2->hide();
    Frame3->hide();
    Frame4->hide();
}

SkinColours Dialog::skinColours() const {
    return {Slider1->Value() + kSkinBase, Slider2->Value() + kSkinBase,
            Slider3->Value() + kSkinBase, Check1->Value() != 0};
}

void Dialog::showPreference(Preferences::Item item) {
    using Item = Preferences::Item;
    TextBox* box = nullptr;
    switch (item) {
        case Item::SkinRed:
            box = Text1;
            break;
        case Item::SkinGreen:
            box = Text2;
            break;
        case Item::SkinBlue:
            box = Text3;
            break;
        case Item::SkinTopDown:
            box = Text4;
            break;
        case Item::WhiteBackground:
            box = Text7;
            break;
        case Item::CaptureFolder:
            box = Text8;
            break;
        case Item::MenuOpacity:
        case Item::FloatingColour:
            return;  // the advanced window's
    }
    box->setText(preferences_.text(item));
}

void Dialog::showPreferences() {
    using Item = Preferences::Item;
    for (Item item : {Item::SkinRed, Item::SkinGreen, Item::SkinBlue, Item::SkinTopDown,
                      Item::WhiteBackground, Item::CaptureFolder})
        showPreference(item);
}

void Dialog::applyPlaybackBackground() {
    // Ticked: no override, the movie's own colour shows; unticked: 1, practically black.
    player_.movie().setBackgroundColor(Check2->Value() == 1 ? FlashControl::kNoBackgroundOverride
                                                            : 1);
}

void Dialog::formLoad() {
    // Its left edge by the screen width; the top keeps its design value.
    setLeftTwips(static_cast<float>(platform::screenMetrics().widthTwips() / 2.58));
    // Only the address box accepts dropped files.
    obj = std::make_unique<clsEx_Drag>();
    connect(obj.get(), &clsEx_Drag::GetFileName, this, &Dialog::obj_GetFileName);
    obj->Start_SubClass(TxtURL);
    // Text dropped on the address box belongs to the play page (the filter runs before the
    // box's own drop handling, which would insert the text).
    TxtURL->installEventFilter(this);
    for (TextBox* box : {TxtFrame, TxtURL, TxtPath})
        box->setBackColor(QColor(235, 235, 235));
    // The stored options, shown by the hidden boxes and set into the controls.
    preferences_.loadOptions();
    showPreferences();
    TxtPath->setText(Text8->text());
    using Item = Preferences::Item;
    const std::pair<controls::Slider*, Item> sliders[] = {
        {Slider1, Item::SkinRed}, {Slider2, Item::SkinGreen}, {Slider3, Item::SkinBlue}};
    for (const auto& [slider, item] : sliders) {
        if (const std::optional<int> position = preferences_.skinPart(item))
            slider->setValue(*position);
    }
    if (const std::optional<bool> ticked = preferences_.tick(Item::SkinTopDown))
        Check1->setValue(*ticked ? 1 : 0);
    if (const std::optional<bool> ticked = preferences_.tick(Item::WhiteBackground))
        Check2->setValue(*ticked ? 1 : 0);
    // The playback background applies at once.
    applyPlaybackBackground();
    // Captions and previews of the colour page.
    Label1->setText(QStringLiteral(" Red = ") + QString::number(Slider1->Value()));
    Label2->setText(QStringLiteral(" Green = ") + QString::number(Slider2->Value()));
    Label3->setText(QStringLiteral(" Blue = ") + QString::number(Slider3->Value()));
    paintPreviews();
    loadPlayList();
    // The play page is the page seen first and takes dropped text; the window stays on top
    // (its flags).
    Frame1->setAcceptDrops(true);
    Frame1->installEventFilter(this);
    Frame1->raise();
    playList_.removeEmptyEntries();
}

void Dialog::loadPlayList() {
    const PlayList::StoredCounts counts = playList_.load();
    Text5->setText(counts.names);
    Text6->setText(counts.paths);
    if (playList_.count() == 0)
        ComPlay->setEnabled(false);
    // Entries saved twice (a save can fall between an append and the duplicate pass).
    removeDuplicatePairs();
}

bool Dialog::saveLists() {
    return playList_.save();
}

void Dialog::removeEmptyEntries() {
    playList_.removeEmptyEntries();
    playList_.select(0);
}

void Dialog::browseCaptureFolder() {
    std::optional<QString> folder =
        platform::commonDialogs().browseForFolder(this, QStringLiteral("抓图将被保存到："));
    if (!folder)
        return;
    const qsizetype end = folder->indexOf(QChar(u'\0'));
    if (end >= 0)
        folder->truncate(end);
    TxtPath->setText(*folder);
    preferences_.setCaptureFolder(TxtPath->text());
}

void Dialog::raiseFromOptionsButton() {
    if (!isVisible()) {
        show();
        removeEmptyEntries();
        // A move there and back repaints the window in place.
        setLeftTwips(leftTwips() + 1);
        setLeftTwips(leftTwips() - 1);
    }
    if (isVisible()) {
        // Hidden and shown again: in front of every other window, where it was.
        hide();
        showForm();
        removeEmptyEntries();
    }
}

void Dialog::showAndClean() {
    show();
    removeEmptyEntries();
}

void Dialog::askForCaptureFolder() {
    showForm();
    browseCaptureFolder();
}

void Dialog::obj_GetFileName(const QString& sFile) {
    TxtURL->setText(sFile);
    player_.movie().setMovie(TxtURL->text());
    playList_.append(StripPath(sFile), sFile);
    saveLists();
}

}  // namespace zd
