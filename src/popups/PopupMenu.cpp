#include "popups/PopupMenu.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWindow>
#include <algorithm>

#include "app/AdvancedLink.h"
#include "controls/FocusWait.h"
#include "controls/MouseEventSource.h"
#include "popups/MenuGeometry.h"

namespace zd {

namespace {

const QColor kFrameColour(224, 224, 224);
const QColor kHighlightColour(192, 192, 255);
const QColor kBannerText(192, 192, 255);
// Long enough for the window system to hand the activation from one window to the next.
constexpr int kFocusSettleMs = 40;
// The banner label's design height (twips): one letter of the name per line.
constexpr double kBannerHeight = 2895;

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

PopupMenuForm::PopupMenuForm(Kind kind, Actions actions, AdvancedLink& advanced)
    : kind_(kind), actions_(std::move(actions)), advanced_(advanced) {
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
        setTwipsGeometry(Label1, {105, kind == Kind::MainWindow ? 0.0 : 360.0, 255, kBannerHeight});
        // The banner is cut by the menu's height: its letters are drawn smaller to show whole.
        Label1->setFitText(true);
    }
    Pic4 = strip(this, "Pic4", QApplication::palette().color(QPalette::Base));
    QPalette itemColours = Pic4->palette();
    itemColours.setColor(QPalette::WindowText, QApplication::palette().color(QPalette::WindowText));
    Pic4->setPalette(itemColours);

    menu.push_back(nullptr);
    itemLabel(0);
    separator.push_back(new LineControl(Pic4));
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
    // Asking for the opacity loads the advanced window (invisibly) when it is not loaded.
    setWindowOpacity(advanced_.menuOpacity() / 255.0);
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
    if (Label1) {
        // The banner's visible part: the left strip below the banner's top.
        TwipRect banner = twipsGeometry(Label1);
        banner.height = std::min(kBannerHeight, layout.leftStrip.height - banner.top);
        setTwipsGeometry(Label1, banner);
    }

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
            separator.push_back(new LineControl(Pic4));
        LineControl* sep = separator[line.number];
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
    const auto action = actions_.find(index);
    if (action != actions_.end() && action->second)
        action->second();
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

}  // namespace zd
