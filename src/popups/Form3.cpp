#include "popups/Form3.h"

#include <QCursor>
#include <QDropEvent>
#include <QMimeData>
#include <QToolTip>
#include <optional>

#include "app/AdvancedLink.h"
#include "app/FlashControl.h"
#include "app/MenuItems.h"
#include "app/MenuLink.h"
#include "app/MovieList.h"
#include "app/OptionsLink.h"
#include "app/PathRules.h"
#include "app/PlayerLink.h"
#include "app/clsEx_Drag.h"
#include "controls/ClassicEvents.h"
#include "controls/FocusWait.h"
#include "controls/MouseEventSource.h"
#include "controls/WindowDrag.h"
#include "platform/Services.h"
#include "popups/FloatRules.h"
#include "resources/Resources.h"

namespace zd {

namespace {

const QColor kDesignFormColour(64, 64, 64);
const QColor kDesignPictureColour(128, 128, 128);

LineControl* line(QWidget* parent, const char* name, double x1, double y1, double x2, double y2) {
    auto* edge = new LineControl(parent);
    edge->setObjectName(QString::fromLatin1(name));
    edge->setLine(x1, y1, x2, y2);
    return edge;
}

}  // namespace

Form3::Form3(PlayerLink& player, OptionsLink& options, MenuLink& menus, AdvancedLink& advanced)
    : player_(player), options_(options), menus_(menus), advanced_(advanced) {
    setObjectName(QStringLiteral("Form3"));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Tool);
    setWindowIcon(res::programIcon());
    setBackColor(kDesignFormColour);
    setTwipsGeometry(this, {0, 0, 735, 750});

    Image1 = new PictureBox(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    setTwipsGeometry(Image1, {0, 0, 730, 735});
    Image1->setBackColor(kDesignPictureColour);
    Image1->setPicture(res::programIconPixmap());
    Image1->setToolTip(floating::dropTip());
    Line4 = line(Image1, "Line4", 5, 5, 720, 5);
    Line3 = line(Image1, "Line3", 5, 5, 5, 725);
    Line1 = line(Image1, "Line1", 720, 0, 720, 720);
    Line2 = line(Image1, "Line2", 0, 727, 727, 727);

    TmrProgress = new FormTimer(10, this);
    TmrProgress->setObjectName(QStringLiteral("TmrProgress"));
    connect(TmrProgress, &QTimer::timeout, this, &Form3::TmrProgress_Timer);

    connect(Image1->events(), &MouseEventSource::mouseDown, this, &Form3::Image1_MouseDown);
    // The left button drags the window.
    new WindowDrag(Image1);
    connect(Image1->events(), &MouseEventSource::mouseUp, this, &Form3::Image1_MouseUp);
    connect(Image1->events(), &MouseEventSource::dblClick, this, &Form3::Image1_DblClick);
}

Form3::~Form3() = default;

void Form3::formLoad() {
    // On top of every window, at the top of the screen with its left edge in the middle.
    setLeftTwips(floating::windowLeft(platform::screenMetrics().widthTwips()));
    setTopTwips(0);
    // Dragged text arrives on the picture. Taken before the drop object attaches, so that
    // detaching it leaves the picture taking text.
    Image1->setAcceptDrops(true);
    Image1->installEventFilter(this);
    // Dropped files reach the drop object first (its filter is the later one, so it is asked
    // before this window's).
    obj = std::make_unique<clsEx_Drag>();
    connect(obj.get(), &clsEx_Drag::GetFileName, this, &Form3::obj_GetFileName);
    obj->Start_SubClass(Image1);
    // Loading the window shows it, translucent.
    setWindowOpacity(floating::kOpacity / 255.0);
    SetTopMostWindow(this, true);
    // The colour kept by the advanced window (which loads, invisibly, when it is not loaded).
    if (const std::optional<QColor> colour = advanced_.floatingColour()) {
        Image1->setBackColor(*colour);
        setBackColor(*colour);
    }
}

void Form3::Image1_MouseDown(int, int, double, double) {
    menus_.hideMenu(MenuLink::Menu::Floating);
}

void Form3::Image1_MouseUp(int button, int, double x, double y) {
    if (button != kRightButton)
        return;
    // The menu closes once the focus leaves its owner, so the owner takes it first.
    WaitForFocus(Image1);
    menus_.showMenu(MenuLink::Menu::Floating, this, menuitems::floating(), leftTwips() + x,
                    topTwips() + y + 50, menuitems::kMenuWidth);
    platform::playAppSound(QStringLiteral("sound/menu.wav"));
}

void Form3::Image1_DblClick() {
    player_.bringPlayerBack();
    hide();
}

bool Form3::eventFilter(QObject* watched, QEvent* event) {
    if (watched != Image1)
        return Form::eventFilter(watched, event);
    switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            // As on the options window's play page: a file manager's drag carries the files'
            // names as text too, and files belong to the drop object.
            if (!clsEx_Drag::isDroppedText(drop->mimeData()))
                return false;
            drop->setDropAction(Qt::CopyAction);
            drop->accept();
            if (event->type() == QEvent::Drop)
                Image1_OLEDragDrop(drop->mimeData());
            return true;
        }
        default:
            return Form::eventFilter(watched, event);
    }
}

void Form3::Image1_OLEDragDrop(const QMimeData* data) {
    if (!data || !data->hasFormat(QStringLiteral("text/plain")))
        return;
    const QString text = data->text();
    player_.movie().setMovie(text);
    options_.setAddress(text);
    TmrProgress->setEnabled(true);
    showLoadingProgress();
}

void Form3::TmrProgress_Timer() {
    showLoadingProgress();
}

void Form3::showLoadingProgress() {
    const std::optional<qint32> percent = player_.movie().percentLoaded();
    // No movie to follow (the load failed or another window emptied the control): polling on
    // would never end.
    if (!percent || *percent >= 100) {
        TmrProgress->setEnabled(false);
        setTip(floating::dropTip());
        return;
    }
    setTip(floating::progressTip(*percent));
}

void Form3::setTip(const QString& tip) {
    if (Image1->toolTip() == tip)
        return;
    Image1->setToolTip(tip);
    // A tooltip already up shows the new text at once.
    if (QToolTip::isVisible() && Image1->underMouse())
        QToolTip::showText(QCursor::pos(), tip, Image1);
}

void Form3::obj_GetFileName(const QString& sFile) {
    options_.setAddress(sFile);
    player_.movie().setMovie(sFile);
    MovieList& list = options_.playList();
    list.append(StripPath(sFile), sFile);
    list.save();
}

}  // namespace zd
