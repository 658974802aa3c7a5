#include "popups/PopupMenu.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QPainter>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <cmath>

#include "app/Functions.h"
#include "app/Windows.h"
#include "platform/Services.h"
#include "popups/Form2.h"
#include "popups/MenuGeometry.h"

namespace zd {

namespace {

const QColor kFrameColour(224, 224, 224);
const QColor kHighlightColour(192, 192, 255);
const QColor kBannerText(192, 192, 255);
// Long enough for the window system to hand the activation from one window to the next.
constexpr int kFocusSettleMs = 40;

using Action = void (*)();
struct MenuAction {
    int index;
    Action run;
};

const MenuAction kPanelActions[] = {
    {0, OpenMovie}, {2, RaiseOptionsWindow}, {4, ShowAbout}, {6, ShowHelp}, {8, QuitProgram},
};
const MenuAction kFloatingActions[] = {
    {0, ShowMainWindow},  {2, HideMainWindow}, {4, ShowOptionsWindow}, {6, HideFloatWindow},
    {8, ShowFloatWindow}, {10, ShowAbout},     {12, ShowHelp},         {14, QuitProgram},
};
const MenuAction kPlayListActions[] = {
    {0, PlaySelectedEntry},
    {2,
     [] {
         RemoveSelectedEntry();
         platform::playAppSound(QStringLiteral("sound/recycle.wav"));
     }},
    {4, ShowEntryProperties},
};

// The product name one letter per line: the runs of blanks make the word wrap of the narrow
// banner break after every letter.
QString bannerText() {
    const QString name = QStringLiteral("ZephyrDeck");
    QStringList letters;
    for (QChar c : name)
        letters << QString(c);
    return letters.join(QStringLiteral("          "));
}

PictureBox* strip(QWidget* parent, const char* name, const QColor& colour) {
    auto* box = new PictureBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setBackColor(colour);
    return box;
}

}  // namespace

MenuSeparator::MenuSeparator(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void MenuSeparator::setLine(double x1, double y1, double x2, double y2) {
    x1_ = x1;
    y1_ = y1;
    x2_ = x2;
    y2_ = y2;
    // A horizontal line one pixel thick.
    const double left = std::min(x1, x2);
    setTwipsGeometry(this, {left, std::min(y1, y2), std::abs(x2 - x1) + twipsPerPixelX(),
                            std::abs(y2 - y1) + twipsPerPixelY()});
}

void MenuSeparator::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setPen(palette().color(QPalette::WindowText));
    p.drawLine(0, 0, width() - 1, height() - 1);
}

PopupMenuForm::PopupMenuForm(Kind kind) : kind_(kind) {
    static const char* const names[] = {"Form4", "Form5", "Form6"};
    setObjectName(QString::fromLatin1(names[static_cast<int>(kind)]));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Tool);
    setBackColor(kFrameColour);
    setFont(QFont(QStringLiteral("宋体"), 9));

    Pic2 = strip(this, "Pic2", kFrameColour);
    Pic3 = strip(this, "Pic3", kFrameColour);
    Pic1 = strip(this, "Pic1", kFrameColour);
    if (kind != Kind::PlayList) {
        Label1 = new LabelControl(Pic1);
        Label1->setObjectName(QStringLiteral("Label1"));
        QFont banner(QStringLiteral("@MS UI Gothic"), 9);
        banner.setBold(true);
        Label1->setFont(banner);
        Label1->setForeColor(kBannerText);
        Label1->setBackColor(kFrameColour);
        Label1->setWordWrap(true);
        Label1->setText(bannerText());
        setTwipsGeometry(Label1, {105, kind == Kind::MainWindow ? 0.0 : 360.0, 255, 2895});
    }
    Pic4 = strip(this, "Pic4", QApplication::palette().color(QPalette::Base));
    QPalette itemColours = Pic4->palette();
    itemColours.setColor(QPalette::WindowText, QApplication::palette().color(QPalette::WindowText));
    Pic4->setPalette(itemColours);

    menu.push_back(nullptr);
    itemLabel(0);
    separator.push_back(new MenuSeparator(Pic4));
    separator[0]->hide();

    Timer1 = new FormTimer(kFocusSettleMs, this);
    Timer1->setSingleShot(true);
    connect(Timer1, &QTimer::timeout, this, &PopupMenuForm::Timer1_Timer);
    connect(qApp, &QApplication::focusChanged, this, &PopupMenuForm::focusMayHaveMoved);
    connect(qApp, &QGuiApplication::focusWindowChanged, this, &PopupMenuForm::focusMayHaveMoved);
    connect(qApp, &QGuiApplication::applicationStateChanged, this,
            &PopupMenuForm::focusMayHaveMoved);
}

void PopupMenuForm::formLoad() {
    // Reading the advanced window's label loads that window (invisibly) when it is not loaded.
    const int alpha = menu::menuOpacity(form2().Label1->caption());
    setWindowOpacity(alpha / 255.0);
}

LabelControl* PopupMenuForm::itemLabel(int index) {
    if (index < static_cast<int>(menu.size()) && menu[index])
        return menu[index];
    auto* label = new LabelControl(Pic4);
    label->setObjectName(QStringLiteral("menu"));
    label->setProperty("Index", index);
    label->setOpaque(false);
    label->setBackColor(kHighlightColour);
    label->setForeColor(Qt::black);
    connect(label->events(), &MouseEventSource::mouseMove, this,
            [this, index] { menu_MouseMove(index); });
    connect(label->events(), &MouseEventSource::mouseUp, this,
            [this, index] { menu_MouseUp(index); });
    if (index >= static_cast<int>(menu.size()))
        menu.resize(index + 1, nullptr);
    menu[index] = label;
    return label;
}

void PopupMenuForm::unloadItem(int index) {
    LabelControl* label = menu[index];
    if (!label)
        return;
    label->setCaption(QString());
    label->setForeColor(Qt::black);
    label->setOpaque(false);
    label->hide();
    // Often unloaded from inside the label's own mouse handler.
    label->deleteLater();
    menu[index] = nullptr;
}

void PopupMenuForm::unloadSeparatorsFrom(int number) {
    for (int k = std::max(number, 1); k < static_cast<int>(separator.size()); ++k) {
        separator[k]->hide();
        separator[k]->deleteLater();
    }
    separator.resize(std::max(number, 1));
}

void PopupMenuForm::showMenu(QWidget* owner, const QStringList& items, double leftTwips,
                             double topTwips, double widthTwips) {
    owner_ = owner ? owner->window() : nullptr;
    hide();
    const menu::MenuLayout layout = menu::menuLayout(items, leftTwips, topTwips, widthTwips);
    setTwipsGeometry(this, layout.window);
    setTwipsGeometry(Pic2, layout.topStrip);
    setTwipsGeometry(Pic3, layout.bottomStrip);
    setTwipsGeometry(Pic1, layout.leftStrip);
    setTwipsGeometry(Pic4, layout.itemArea);

    // Labels left from an earlier showing that this list has no item for go, so the menu shows
    // exactly these items.
    const int count = static_cast<int>(std::min<qsizetype>(items.size(), menu::kMaxEntries));
    for (int k = 1; k < static_cast<int>(menu.size()); ++k) {
        if (k >= count || menu::isSeparator(items.at(k)))
            unloadItem(k);
    }
    menu.resize(std::max(count, 1));
    for (const menu::SeparatorLine& line : layout.separators) {
        if (line.number >= static_cast<int>(separator.size()))
            separator.push_back(new MenuSeparator(Pic4));
        MenuSeparator* sep = separator[line.number];
        sep->setLine(line.x1, line.y1, line.x2, line.y2);
        sep->show();
    }
    unloadSeparatorsFrom(static_cast<int>(layout.separators.size()) + 1);
    for (const menu::ItemSlot& slot : layout.items) {
        LabelControl* label = itemLabel(slot.index);
        setTwipsGeometry(label, slot.rect);
        label->setCaption(items.at(slot.index));
        label->setForeColor(Qt::black);
        label->setOpaque(false);
        label->show();
    }

    SetTopMostWindow(this, true);
    showForm();
    watching_ = true;
}

void PopupMenuForm::menu_MouseMove(int index) {
    for (LabelControl* label : menu) {
        if (!label)
            continue;
        label->setOpaque(false);
        label->setForeColor(Qt::black);
    }
    if (index < static_cast<int>(menu.size()) && menu[index]) {
        menu[index]->setOpaque(true);
        menu[index]->setForeColor(Qt::white);
    }
}

void PopupMenuForm::menu_MouseUp(int index) {
    PopupMenuCommand(index);
}

void PopupMenuForm::PopupMenuCommand(int index) {
    // The watch goes first, so it never sees a half-cleared menu.
    watching_ = false;
    Timer1->stop();
    for (int k = 1; k < static_cast<int>(menu.size()); ++k)
        unloadItem(k);
    menu.resize(1);
    unloadSeparatorsFrom(1);
    LabelControl* first = menu[0];
    first->hide();
    first->setCaption(QString());
    first->setForeColor(Qt::black);
    first->setOpaque(false);
    first->show();
    hide();
    runAction(index);
}

void PopupMenuForm::runAction(int index) {
    const MenuAction* begin = nullptr;
    const MenuAction* end = nullptr;
    switch (kind_) {
        case Kind::MainWindow:
            begin = std::begin(kPanelActions);
            end = std::end(kPanelActions);
            break;
        case Kind::Floating:
            begin = std::begin(kFloatingActions);
            end = std::end(kFloatingActions);
            break;
        case Kind::PlayList:
            begin = std::begin(kPlayListActions);
            end = std::end(kPlayListActions);
            break;
    }
    for (const MenuAction* action = begin; action != end; ++action) {
        if (action->index == index) {
            action->run();
            return;
        }
    }
}

void PopupMenuForm::focusMayHaveMoved() {
    if (watching_)
        Timer1->start();
}

bool PopupMenuForm::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate || event->type() == QEvent::WindowDeactivate)
        focusMayHaveMoved();
    return Form::event(event);
}

void PopupMenuForm::Timer1_Timer() {
    if (!watching_)
        return;
    const QWidget* active = QApplication::activeWindow();
    if (active && (active == this || active == owner_))
        return;
    PopupMenuCommand(-1);
}

void ShowPopupMenu(PopupMenuForm& menu, QWidget* owner, const QStringList& items, double leftTwips,
                   double topTwips, double widthTwips) {
    menu.showMenu(owner, items, leftTwips, topTwips, widthTwips);
}

void SetTopMostWindow(QWidget* form, bool onTop) {
    if (!form)
        return;
    if (form->windowFlags().testFlag(Qt::WindowStaysOnTopHint) != onTop)
        form->setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
    const bool withoutActivating = form->testAttribute(Qt::WA_ShowWithoutActivating);
    form->setAttribute(Qt::WA_ShowWithoutActivating, true);
    form->show();
    form->raise();
    form->setAttribute(Qt::WA_ShowWithoutActivating, withoutActivating);
}

bool WaitForFocus(QWidget* control, int timeoutMs) {
    if (!control)
        return false;
    QElapsedTimer clock;
    clock.start();
    // Wakes the wait below even when no event comes.
    QTimer beat;
    beat.start(5);
    bool activationAsked = false;
    for (;;) {
        QWidget* window = control->window();
        if (!control->isVisible() || window->isMinimized())
            return false;
        QCoreApplication::processEvents();
        QWidget* noted = QApplication::focusWidget();
        if (!window->isActiveWindow() && !activationAsked) {
            window->activateWindow();
            activationAsked = true;
        }
        control->setFocus(Qt::OtherFocusReason);
        if (noted == control)
            return true;
        if (clock.elapsed() >= timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}

QStringList panelMenuItems() {
    return {QStringLiteral("打开"), QStringLiteral("-"),    QStringLiteral("选项"),
            QStringLiteral("-"),    QStringLiteral("关于"), QStringLiteral("-"),
            QStringLiteral("帮助"), QStringLiteral("-"),    QStringLiteral("退出")};
}

QStringList floatingMenuItems() {
    return {QStringLiteral("打开主窗口"),   QStringLiteral("-"),
            QStringLiteral("关闭主窗口"),   QStringLiteral("-"),
            QStringLiteral("选项窗口"),     QStringLiteral("-"),
            QStringLiteral("隐藏悬浮窗口"), QStringLiteral("-"),
            QStringLiteral("显示悬浮窗口"), QStringLiteral("-"),
            QStringLiteral("关于"),         QStringLiteral("-"),
            QStringLiteral("帮助"),         QStringLiteral("-"),
            QStringLiteral("退出")};
}

QStringList playListMenuItems() {
    return {QStringLiteral("播放文件"), QStringLiteral("-"), QStringLiteral("从列表中删除"),
            QStringLiteral("-"), QStringLiteral("文件属性")};
}

}  // namespace zd
